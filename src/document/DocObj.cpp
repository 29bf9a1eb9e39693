#include <document/DocObj.h>

#include <base/Assert.h>

#include <cstdio>
#include <cstring>
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
    return adoptRef(text ? createString(text->bytes(), text->length()) : createString("", 0));
}

RefPtr<DocObj> DocObj::createText(ScriptString* text, PropertyTable& members)
{
    RefPtr<DocObj> node = adoptRef(new (std::nothrow) DocObj(members));
    if (node)
        node->m_text = text ? text : adoptRef(createString("", 0)).ptr();
    return node;
}

RefPtr<DocObj> DocObj::createNode(MarkupNode& markup, PropertyTable& members, const ScriptArray& arrayTemplate)
{
    if (markup.kind == MarkupNodeKind::TextNode)
        return createText(stringOfText(markup.text).ptr(), members);
    if (markup.kind != MarkupNodeKind::ElementNode && markup.kind != MarkupNodeKind::EmptyElementNode)
        return nullptr;
    RefPtr<DocObj> node = adoptRef(new (std::nothrow) DocObj(members));
    if (!node)
        return nullptr;
    node->m_tagName = stringOfText(markup.text);
    if (const MarkupText* id = findAttributeValue(&markup, "id"))
        node->m_id = stringOfText(id);
    node->m_all = adoptRef(createArray(&arrayTemplate, nullptr));
    node->m_children = adoptRef(createArray(&arrayTemplate, nullptr));
    if (!node->m_tagName || !node->m_all || !node->m_children)
        return nullptr;
    const AttributeList* list = markup.attributes;
    if (list && list->attributeCount() > 0) {
        node->m_attributes = adoptRef(createArray(&arrayTemplate, nullptr));
        for (int32_t index = 0; node->m_attributes && index < list->attributeCount(); ++index) {
            char name[256];
            MarkupText* value = nullptr;
            if (!list->attributeName(index, sizeof name, name).ok() || !list->attributeValue(index, value).ok()
                || !value)
                continue;
            RefPtr<ScriptString> text = stringOfText(value);
            if (text) {
                (void)node->m_attributes->appendItem(
                    static_cast<int32_t>(std::strlen(name)), name, makeStringValue(text.ptr()));
            }
        }
    }
    return node;
}

// The key a node is filed under in its parent's collections: its id, cut to 255 bytes.
struct NodeKey {
    explicit NodeKey(const DocObj& node)
    {
        if (node.id()) {
            length = node.id()->copyText(text, sizeof text);
            name = text;
        }
    }
    char text[256];
    const char* name { nullptr };
    int32_t length { 0 };
};

void DocObj::appendChild(DocObj& child)
{
    NodeKey key(child);
    ScriptValue value = ScriptValue::object(&child);
    (void)m_children->appendItem(key.length, key.name, value);
    (void)m_all->appendItem(key.length, key.name, value);
    if (child.m_all) {
        for (int32_t index = 0; index < child.m_all->count(); ++index) {
            ScriptValue entry;
            if (!child.m_all->getItem(index, nullptr, entry).ok())
                continue;
            if (DocObj* below = docObjOf(entry)) {
                NodeKey belowKey(*below);
                (void)m_all->appendItem(belowKey.length, belowKey.name, entry);
            } else {
                (void)m_all->appendItem(0, nullptr, entry);
            }
            releaseValue(entry);
        }
    }
    m_nodes.push_back(child);
}

RefPtr<DocObj> DocObj::build(MarkupNode& markup, AtomTable& atoms)
{
    RefPtr<PropertyTable> members = adoptRef(buildMemberTable(atoms, s_members));
    RefPtr<ScriptArray> arrayTemplate = adoptRef(createArray(nullptr, &atoms));
    if (!members || !arrayTemplate)
        return nullptr;
    RefPtr<DocObj> top = createNode(markup, *members, *arrayTemplate);
    if (!top || top->isText())
        return top;

    // Children are finished before they join their parent, so that a parent's all collection
    // takes each child's complete one. Each frame is an element being filled and the markup
    // child it reads next.
    struct Frame {
        Ref<DocObj> node;
        ListNode* next;
    };
    std::vector<Frame> stack;
    stack.push_back({ *top, markup.children ? markup.children->firstNode() : nullptr });
    while (!stack.empty()) {
        Frame& frame = stack.back();
        ListNode* link = frame.next;
        if (!link || !link->next) {
            Ref<DocObj> finished = frame.node;
            stack.pop_back();
            if (!stack.empty())
                stack.back().node->appendChild(*finished);
            continue;
        }
        frame.next = link->next;
        MarkupNode& child = *markupNodeOf(link);
        RefPtr<DocObj> node = createNode(child, *members, *arrayTemplate);
        if (!node)
            continue;
        if (node->isText())
            frame.node->appendChild(*node);
        else
            stack.push_back({ *node, child.children ? child.children->firstNode() : nullptr });
    }
    return top;
}

DocObj::~DocObj()
{
    char tag[256] = "unknown";
    char id[256] = "unknown";
    if (m_tagName)
        m_tagName->copyText(tag, sizeof tag);
    if (m_id)
        m_id->copyText(id, sizeof id);
    std::printf("DocObj Destroy(%s,%s)\n", tag, id);
    m_tagName = nullptr;
    m_id = nullptr;
    m_text = nullptr;
    m_all = nullptr;
    m_children = nullptr;
    m_attributes = nullptr;
    m_element = nullptr;
    m_nodes.clear();
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
        *result = ScriptValue::object(RefPtr<ScriptArray>(array).leakRef());
    return Status::Ok;
}

static Status stringResult(const RefPtr<ScriptString>& string, ScriptValue* result)
{
    if (string)
        *result = makeStringValue(RefPtr<ScriptString>(string).leakRef());
    return Status::Ok;
}

Status DocObj::getAll(ScriptValue* result) { return objectResult(m_all, result); }

Status DocObj::getChildren(ScriptValue* result) { return objectResult(m_children, result); }

Status DocObj::getAttributes(ScriptValue* result) { return objectResult(m_attributes, result); }

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
    if (isText() || !m_all || !m_children)
        return Status::Ok;
    RefPtr<ScriptString> text = adoptRef(valueToString(value));
    RefPtr<DocObj> textNode = createText(text.ptr(), *m_members);
    invalidateSubtree();
    ScriptArray* emptyAll = nullptr;
    ScriptArray* emptyChildren = nullptr;
    if (!m_all->newEmpty(emptyAll).ok() || !m_children->newEmpty(emptyChildren).ok()) {
        if (emptyAll)
            emptyAll->release();
        return Status::Ok;
    }
    // The old children go with the old collections unless something else holds them.
    Ref<DocObj> protect(*this);
    m_all = adoptRef(emptyAll);
    m_children = adoptRef(emptyChildren);
    std::vector<Ref<DocObj>> oldNodes = std::move(m_nodes);
    m_nodes.clear();
    oldNodes.clear();
    if (textNode)
        appendChild(*textNode);
    return Status::Ok;
}

}
