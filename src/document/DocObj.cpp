#include <document/DocObj.h>

#include <base/Assert.h>
#include <base/Trace.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>

namespace nimbolt {

const MemberTableRow DocObj::s_members[] = {
    { "all", getter<&DocObj::getAll> },
    { "children", getter<&DocObj::getChildren> },
    { "visible", property<&DocObj::getVisible, &DocObj::putVisible> },
    { "innerText", property<&DocObj::getInnerText, &DocObj::putInnerText> },
    { "id", getter<&DocObj::getId> },
    { "tagName", getter<&DocObj::getTagName> },
    { "attributes", getter<&DocObj::getAttributes> },
    { nullptr, nullptr },
};

DocObj* docObjOf(const ScriptValue& value)
{
    return value.tag == ValueTag::Object ? dynamic_cast<DocObj*>(value.objectPayload()) : nullptr;
}

static RefPtr<ScriptString> stringOfText(const MarkupText* text)
{
    return text ? createString(text->bytes(), text->length()) : createString("", 0);
}

RefPtr<DocObj> DocObj::createText(ScriptString* text, PropertyTable& members, ScriptArray& arrayTemplate)
{
    RefPtr<DocObj> node = adoptRef(new (std::nothrow) DocObj(members, arrayTemplate));
    if (node)
        node->m_text = text ? text : createString("", 0).ptr();
    return node;
}

// What the nodes of one tree share while it is built: the member table, the array template and
// the strings of the tag names seen so far (a data document repeats a few names many times).
struct DocObj::TreeBuilder {
    static constexpr size_t MaxSharedTags = 32;

    Ref<PropertyTable> members;
    Ref<ScriptArray> arrayTemplate;
    std::vector<Ref<ScriptString>> tags;

    RefPtr<ScriptString> tagString(const MarkupText* name)
    {
        std::string_view text = name ? name->view() : std::string_view();
        for (const Ref<ScriptString>& tag : tags) {
            if (tag->view() == text)
                return tag.ptr();
        }
        RefPtr<ScriptString> tag = stringOfText(name);
        if (tag && tags.size() < MaxSharedTags)
            tags.push_back(*tag);
        return tag;
    }

    // The node of one markup node, without its children; null for other kinds of markup node
    // and when memory runs out.
    RefPtr<DocObj> createNode(MarkupNode& markup)
    {
        if (markup.kind == MarkupNodeKind::TextNode)
            return createText(stringOfText(markup.text.get()).ptr(), *members, *arrayTemplate);
        if (markup.kind != MarkupNodeKind::ElementNode && markup.kind != MarkupNodeKind::EmptyElementNode)
            return nullptr;
        RefPtr<DocObj> node = adoptRef(new (std::nothrow) DocObj(*members, *arrayTemplate));
        if (!node)
            return nullptr;
        node->m_tagName = tagString(markup.text.get());
        if (!node->m_tagName)
            return nullptr;
        if (const MarkupText* id = findAttributeValue(&markup, "id")) {
            node->m_id = stringOfText(id);
            if (!node->m_id)
                return nullptr;
        }
        if (markup.attributes)
            node->keepAttributes(*markup.attributes);
        return node;
    }
};

void DocObj::keepAttributes(const AttributeList& list)
{
    for (int32_t index = 0; index < list.attributeCount(); ++index) {
        char name[256];
        MarkupText* value = nullptr;
        if (!list.attributeName(index, sizeof name, name).ok() || !list.attributeValue(index, value).ok() || !value)
            continue;
        auto nameLength = static_cast<uint8_t>(std::strlen(name));
        auto valueLength = static_cast<uint32_t>(value->length());
        m_attributeTexts += static_cast<char>(nameLength);
        m_attributeTexts.append(name, nameLength);
        m_attributeTexts.append(reinterpret_cast<const char*>(&valueLength), sizeof valueLength);
        m_attributeTexts.append(value->view());
    }
}

RefPtr<ScriptArray> DocObj::attributes()
{
    if (m_attributes || m_attributeTexts.empty())
        return m_attributes;
    RefPtr<ScriptArray> array = createArray(m_arrayTemplate.ptr(), nullptr);
    if (!array)
        return nullptr;
    std::string_view texts = m_attributeTexts;
    while (!texts.empty()) {
        auto nameLength = static_cast<uint8_t>(texts[0]);
        std::string_view name = texts.substr(1, nameLength);
        uint32_t valueLength = 0;
        std::memcpy(&valueLength, texts.data() + 1 + nameLength, sizeof valueLength);
        std::string_view value = texts.substr(1 + nameLength + sizeof valueLength, valueLength);
        texts.remove_prefix(1 + nameLength + sizeof valueLength + valueLength);
        RefPtr<ScriptString> text = createString(value);
        if (text)
            ignoreStatus(array->appendItem(static_cast<int32_t>(name.size()), name.data(), makeStringValue(text.ptr())),
                "an attribute that finds no memory is left out of the array");
    }
    m_attributes = array;
    m_attributeTexts = std::string();
    return m_attributes;
}

// A node is filed in its parent's collections under its id, cut to 255 bytes (an empty id is a
// name too), and only by position when it has none.
static void appendNode(ScriptArray& array, DocObj& node)
{
    const RefPtr<ScriptString>& id = node.id();
    std::string_view key = id ? id->view().substr(0, 255) : std::string_view();
    const char* name = !id ? nullptr : key.empty() ? "" : key.data();
    ignoreStatus(array.appendItem(static_cast<int32_t>(key.size()), name, ScriptValue::object(&node)),
        "a node that finds no memory is left out of the collection");
}

RefPtr<ScriptArray> DocObj::childArray()
{
    if (m_children || isText())
        return m_children;
    RefPtr<ScriptArray> array = createArray(m_arrayTemplate.ptr(), nullptr);
    if (!array)
        return nullptr;
    for (const Ref<DocObj>& child : m_nodes)
        appendNode(*array, *child);
    m_children = array;
    return m_children;
}

RefPtr<ScriptArray> DocObj::all()
{
    if (m_all || isText())
        return m_all;
    RefPtr<ScriptArray> array = createArray(m_arrayTemplate.ptr(), nullptr);
    if (!array)
        return nullptr;
    // Every node below this one in document order: a node, then everything below it as it was
    // built.
    struct Frame {
        const std::vector<Ref<DocObj>>* children;
        size_t next;
    };
    std::vector<Frame> stack { { &m_nodes, 0 } };
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.children->size()) {
            stack.pop_back();
            continue;
        }
        DocObj& child = *(*frame.children)[frame.next++];
        appendNode(*array, child);
        if (!child.builtChildren().empty())
            stack.push_back({ &child.builtChildren(), 0 });
    }
    m_all = array;
    return m_all;
}

void DocObj::appendChild(DocObj& child)
{
    if (m_children)
        appendNode(*m_children, child);
    if (m_all)
        appendNode(*m_all, child);
    child.m_parent = this;
    m_nodes.push_back(child);
}

bool DocObj::hasLazyAncestor() const
{
    for (const DocObj* ancestor = m_parent; ancestor; ancestor = ancestor->m_parent) {
        if (!ancestor->m_all)
            return true;
    }
    return false;
}

RefPtr<DocObj> DocObj::build(MarkupNode& markup, AtomTable& atoms)
{
    RefPtr<PropertyTable> members = buildMemberTable(atoms, s_members);
    RefPtr<ScriptArray> arrayTemplate = createArray(nullptr, &atoms);
    if (!members || !arrayTemplate)
        return nullptr;
    TreeBuilder builder { *members, *arrayTemplate, {} };
    RefPtr<DocObj> top = builder.createNode(markup);
    if (!top || top->isText())
        return top;

    // Each frame is an element being filled and the markup child it reads next.
    struct Frame {
        DocObj* node;
        ListNode* next;
    };
    std::vector<Frame> stack;
    stack.push_back({ top.ptr(), markup.children ? markup.children->firstNode() : nullptr });
    while (!stack.empty()) {
        Frame& frame = stack.back();
        ListNode* link = frame.next;
        if (!link || !link->next) {
            stack.pop_back();
            continue;
        }
        frame.next = link->next;
        MarkupNode& child = *markupNodeOf(link);
        RefPtr<DocObj> node = builder.createNode(child);
        if (!node)
            continue;
        frame.node->appendChild(*node);
        if (!node->isText() && child.children)
            stack.push_back({ node.ptr(), child.children->firstNode() });
    }
    return top;
}

DocObj::~DocObj()
{
    // "DocObj Destroy(tag,id)": each name up to its first zero byte and at most MaxTraced bytes.
    constexpr size_t MaxTraced = 255;
    auto traced = [](const RefPtr<ScriptString>& name) {
        std::string_view text = name ? name->view().substr(0, MaxTraced) : std::string_view("unknown");
        return text.substr(0, text.find('\0'));
    };
    std::string_view tag = traced(m_tagName);
    std::string_view id = traced(m_id);
    char line[sizeof("DocObj Destroy(,)\n") + 2 * MaxTraced];
    size_t length = 0;
    for (std::string_view part : { std::string_view("DocObj Destroy("), tag, std::string_view(","), id,
             std::string_view(")\n") }) {
        std::memcpy(line + length, part.data(), part.size());
        length += part.size();
    }
    writeTrace(std::string_view(line, length));
    m_tagName = nullptr;
    m_id = nullptr;
    m_text = nullptr;
    m_all = nullptr;
    m_children = nullptr;
    m_attributes = nullptr;
    m_element = nullptr;
    for (const Ref<DocObj>& child : m_nodes)
        child->m_parent = nullptr;
    for (const Ref<DocObj>& child : m_builtNodes)
        child->m_parent = nullptr;
    m_nodes.clear();
    m_builtNodes.clear();
}

int32_t DocObj::release()
{
    int32_t count = --m_refCount;
    NIMBOLT_ASSERT(count >= 0);
    if (count == 0)
        destroyDeferred();
    return count;
}

Status DocObj::invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    if (op != InvokeOp::PutMember && op != InvokeOp::GetMember && op != InvokeOp::CallMember)
        return Status::SomeError;
    if (m_members->find(atom))
        return dispatchMember(*m_members, this, atom, op, argc, args, result);
    if (m_element)
        return RefPtr<Element>(m_element)->invoke(atom, op, argc, args, result);
    return Status::NotAMember;
}

void DocObj::setElement(Element* element)
{
    m_element = element;
    if (m_element)
        m_element->setHasText(std::any_of(m_nodes.begin(), m_nodes.end(), [](const Ref<DocObj>& child) { return child->isText(); }));
}

void DocObj::invalidateSubtree()
{
    std::vector<DocObj*> pending { this };
    while (!pending.empty()) {
        DocObj* node = pending.back();
        pending.pop_back();
        if (!node->m_element)
            continue;
        node->m_element->invalidateRect();
        for (auto it = node->m_nodes.rbegin(); it != node->m_nodes.rend(); ++it)
            pending.push_back(it->ptr());
    }
}

static Status objectResult(const RefPtr<ScriptArray>& array, ScriptValue* result)
{
    if (array)
        *result = ScriptValue::object(Ref<ScriptArray>(*array));
    return Status::Ok;
}

static Status stringResult(const RefPtr<ScriptString>& string, ScriptValue* result)
{
    if (string)
        *result = makeStringValue(Ref<ScriptString>(*string));
    return Status::Ok;
}

Status DocObj::getAll(ScriptValue* result) { return objectResult(all(), result); }

Status DocObj::getChildren(ScriptValue* result) { return objectResult(childArray(), result); }

Status DocObj::getAttributes(ScriptValue* result) { return objectResult(attributes(), result); }

Status DocObj::getId(ScriptValue* result) { return stringResult(m_id, result); }

Status DocObj::getTagName(ScriptValue* result) { return stringResult(m_tagName, result); }

Status DocObj::getVisible(ScriptValue* result)
{
    if (m_element)
        *result = ScriptValue::integer(m_element->visible());
    return Status::Ok;
}

Status DocObj::putVisible(const ScriptValue& value, ScriptValue* result)
{
    if (!m_element)
        return Status::Ok;
    int32_t visible = valueToInteger(value);
    m_element->setVisible(visible);
    invalidateSubtree();
    *result = ScriptValue::integer(visible);
    return Status::Ok;
}

Status DocObj::getInnerText(ScriptValue* result)
{
    for (const Ref<DocObj>& child : m_nodes) {
        if (child->isText())
            return stringResult(child->m_text, result);
    }
    return Status::Ok;
}

Status DocObj::putInnerText(const ScriptValue& value, ScriptValue*)
{
    if (isText())
        return Status::Ok;
    RefPtr<ScriptString> text = valueToString(value);
    RefPtr<DocObj> textNode = createText(text.ptr(), *m_members, *m_arrayTemplate);
    invalidateSubtree();
    // The old children go with the old collections unless something else holds them (an
    // ancestor that may still list them); the new collections are made from the new child when
    // asked for.
    Ref<DocObj> protect(*this);
    m_all = nullptr;
    m_children = nullptr;
    std::vector<Ref<DocObj>> dropped;
    if (!hasLazyAncestor()) {
        dropped = std::move(m_nodes);
        if (m_keepsBuiltNodes)
            std::move(m_builtNodes.begin(), m_builtNodes.end(), std::back_inserter(dropped));
        m_builtNodes.clear();
        m_keepsBuiltNodes = false;
    } else if (!m_keepsBuiltNodes) {
        m_builtNodes = std::move(m_nodes);
        m_keepsBuiltNodes = true;
    } else {
        dropped = std::move(m_nodes);
    }
    m_nodes.clear();
    for (const Ref<DocObj>& child : dropped)
        child->m_parent = nullptr;
    dropped.clear();
    if (textNode)
        appendChild(*textNode);
    // The new text may reach further down than the old.
    if (m_element) {
        m_element->setHasText(static_cast<bool>(textNode));
        m_element->invalidateRect();
    }
    return Status::Ok;
}

}
