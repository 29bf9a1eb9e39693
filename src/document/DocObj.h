// A document node as scripts see it: an element node (tag name, id, attributes, children) or a
// piece of text. Every element node has two script arrays: children, its direct children, and
// all, every node below it in document order, each entry also named by its node's id (the last
// of equal ids wins a lookup). A node passes the member names it lacks on to its displayed
// element, so document.all["x"].moveTo(…) moves the element of the node whose id is x.
//
// The node keeps its children in a private list of its own, which the window walks to draw and
// to dispatch the mouse: scripts may store anything into the arrays, but never change the tree
// the window walks. The arrays (and the attributes array) are made from that list and the kept
// attribute texts the first time they are asked for, so a large tree costs only what is read of
// it. An ancestor's all holds the nodes that were below it when the tree was built, so a node
// whose children are replaced while an ancestor has not made its all yet keeps its first
// children for that ancestor to find. Destruction is traced on standard output.
#pragma once

#include <base/DeferredRelease.h>
#include <elements/Element.h>
#include <markup/MarkupNode.h>
#include <script/runtime/MemberTable.h>
#include <script/runtime/ScriptArray.h>
#include <script/runtime/ScriptString.h>

#include <string>
#include <vector>

namespace nimbolt {

class DocObj final : public ScriptObject, private DeferredRelease {
public:
    // The node tree of a markup node and everything below it (count 1), sharing one member table;
    // null when the markup node is neither an element nor text, or memory runs out. Building
    // needs no recursion, however deep the markup.
    static RefPtr<DocObj> build(MarkupNode& markup, AtomTable& atoms);

    int32_t release() override;
    Status invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result) override;

    bool isText() const { return !m_tagName; }
    const RefPtr<ScriptString>& tagName() const { return m_tagName; }
    const RefPtr<ScriptString>& id() const { return m_id; }
    const RefPtr<ScriptString>& text() const { return m_text; }
    // The collections, made on first use; null for a text node (and when memory runs out).
    RefPtr<ScriptArray> all();
    RefPtr<ScriptArray> childArray();
    RefPtr<ScriptArray> attributes();
    const RefPtr<Element>& element() const { return m_element; }
    void setElement(Element* element);
    // The children in document order, as the window walks them.
    const std::vector<Ref<DocObj>>& childNodes() const { return m_nodes; }

    // Asks the element of the node and of every node below it for a repaint; a node without
    // element ends the descent there.
    void invalidateSubtree();

private:
    struct TreeBuilder;

    DocObj(PropertyTable& members, ScriptArray& arrayTemplate)
        : m_members(members)
        , m_arrayTemplate(arrayTemplate)
    {
    }
    ~DocObj() override;

    static RefPtr<DocObj> createText(ScriptString* text, PropertyTable& members, ScriptArray& arrayTemplate);
    void appendChild(DocObj& child);
    void keepAttributes(const AttributeList& list);
    // The children the tree was built with, as an ancestor's all lists them.
    const std::vector<Ref<DocObj>>& builtChildren() const { return m_keepsBuiltNodes ? m_builtNodes : m_nodes; }
    // Whether an ancestor may still make its all from the built children.
    bool hasLazyAncestor() const;

    Status getAll(ScriptValue* result);
    Status getChildren(ScriptValue* result);
    Status getVisible(ScriptValue* result);
    Status putVisible(const ScriptValue& value, ScriptValue* result);
    Status getInnerText(ScriptValue* result);
    Status putInnerText(const ScriptValue& value, ScriptValue* result);
    Status getId(ScriptValue* result);
    Status getTagName(ScriptValue* result);
    Status getAttributes(ScriptValue* result);
    static const MemberTableRow s_members[];

    RefPtr<ScriptString> m_tagName;
    RefPtr<ScriptString> m_id;
    RefPtr<ScriptString> m_text;
    RefPtr<ScriptArray> m_all;
    RefPtr<ScriptArray> m_children;
    RefPtr<ScriptArray> m_attributes;
    RefPtr<Element> m_element;
    std::vector<Ref<DocObj>> m_nodes;
    // The children the tree was built with, once they were replaced while still needed.
    std::vector<Ref<DocObj>> m_builtNodes;
    bool m_keepsBuiltNodes { false };
    // Not counted: the node that holds this one among its children; cleared when it lets go.
    DocObj* m_parent { nullptr };
    // The attributes until the attributes array is made: for each, a length byte and the name
    // (at most 255 bytes), then a 4-byte length and the value.
    std::string m_attributeTexts;
    Ref<PropertyTable> m_members;
    // An empty array whose member table every collection of the tree shares.
    Ref<ScriptArray> m_arrayTemplate;
};

// The node that a value holds, or null when it holds none.
DocObj* docObjOf(const ScriptValue& value);

}
