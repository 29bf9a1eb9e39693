// The markup parser: tree shapes, lookups, long tokens, limits; document tests show deep nesting.
#include <support/MarkupTreeDump.h>
#include <markup/MarkupReader.h>

#include <cstring>
#include <gtest/gtest.h>

using namespace nimbolt;
using namespace std::string_view_literals;

namespace {

struct ShapeCase {
    const char* what;
    std::string_view input;
    const char* dump;
};

const ShapeCase shapeCases[] = {
    // Attributes.
    { "bare, single-quoted and valueless attributes", "<a x=1 y='2' z>", "a[x=\"1\" y=\"2\" z]{}" },
    { "white space around = and inside quotes", "<a x = \"one  two\" y= 3 >", "a[x=\"one  two\" y=\"3\"]{}" },
    { "a quoted value holds > < = and a quote", "<a t=\"x > <y> = 'q'\">", "a[t=\"x > <y> = 'q'\"]{}" },
    { "an empty quoted value is a value", "<a x=\"\" y=''>", "a[x=\"\" y=\"\"]{}" },
    { "a bare value ends at /, the rest is valueless", "<img src=a/b.png>", "img[src=\"a\" b.png]{}" },
    { "a quoted value keeps its /", "<img src=\"a/b.png\"/>", "img[src=\"a/b.png\"]/" },
    { "a second word leaves the first valueless", "<a x y=2>", "a[x y=\"2\"]{}" },
    { "= with nothing after it leaves the name valueless", "<a x=>", "a[x]{}" },
    { "= without a name is dropped", "<a =x>", "a[x]{}" },
    { "a second = gives no value and is dropped", "<a x==y>", "a[x y]{}" },
    { "equal names are both kept, in order", "<a x=1 x=2>", "a[x=\"1\" x=\"2\"]{}" },
    { "an unterminated quote runs to the end of input", "<a t=\"abc", "a[t=\"abc\"]{}" },
    { "an unclosed tag ends where the next tag begins", "<a x<b>", "a[x]{b{}}" },
    { "a / inside a tag is dropped", "<a / x>", "a[x]{}" },
    { "a ? inside a tag ends a word and is dropped", "<a x?y>", "a[x y]{}" },
    { "a valueless attribute before />", "<br clear/>", "br[clear]/" },
    { "end tag attributes are read and dropped", "<a>t</a junk=1>", "a{\"t\"}" },
    { "tag names take letters, digits and - . : _", "<my-tag.v2:x_y/>", "my-tag.v2:x_y/" },
    { "tag names start with A to Z, a to z, _ or :", "<r><Az/><Za/><_1/><:2/></r>", "r{Az/ Za/ _1/ :2/}" },
    // Text.
    { "a reference splits the text", "<p>Hello &amp; bye</p>", "p{\"Hello \" \"amp\" \"bye\"}" },
    { "leading white space is dropped, trailing kept", "<p>  a b  <i>c</i></p>", "p{\"a b  \" i{\"c\"}}" },
    { "white space between tags makes no node", "<a>\n  <b/>\r\n\t</a>", "a{b/}" },
    { "< followed by a space stays text", "<p>a < b</p>", "p{\"a < b\"}" },
    { "< followed by a digit stays text", "<p>1<2</p>", "p{\"1<2\"}" },
    { "<!-- inside an element is text", "<p><!-- note --></p>", "p{\"<!-- note -->\"}" },
    { "& not followed by a name stays text", "<p>a & b</p>", "p{\"a & b\"}" },
    { "the byte ending a failed reference starts nothing", "<p>a&b&c; d</p>", "p{\"a&b&c; d\"}" },
    { "a < ending a failed reference is text", "<p>x&y<b>z</p>", "p{\"x&y<b>z\"}" },
    { "a reference at the end of a text run", "<p>x &lt;</p>", "p{\"x \" \"lt\"}" },
    { "two references in a row", "<p>&a;&b;</p>", "p{\"a\" \"b\"}" },
    { "bytes from 0x80 up are text", "<p>\x82\xA0\x93\xFA</p>", "p{\"\\x82\\xA0\\x93\\xFA\"}" },
    { "a nul byte is text", "<p>a\0b</p>"sv, "p{\"a\\x00b\"}" },
    { "0xFF ends the input in text", "<p>ab\xFF" "cd</p>", "p{\"ab\"}" },
    { "0xFF ends the input in a quoted value", "<a x=\"1\xFF" "2\">", "a[x=\"1\"]{}" },
    { "a script's text is split at a reference", "<script>var s = \"x&lt;y\"; if (a < b) f();</script>",
        "script{\"var s = \\\"x\" \"lt\" \"y\\\"; if (a < b) f();\"}" },
    { "a script splits at <b", "<script>if (a<b) go();</script>", "script{\"if (a\" b[) go();]{}}" },
    // Structure.
    { "an end tag closes the element just opened by <b", "<p>a<b</p>", "p{\"a\" b{}}" },
    { "any end tag closes the innermost element", "<a><b>x</z>y</q></a>", "a{b{\"x\"} \"y\"}" },
    { "end of input closes every open element", "<a><b><c>text", "a{b{c{\"text\"}}}" },
    { "nothing after the first node belongs to it", "<a>1</a><b>2</b>", "a{\"1\"}" },
    { "an empty element is a whole document", "<a/><b/>", "a/" },
    { "siblings of each kind", "<r><div id=a/>t<div>u</div></r>", "r{div[id=\"a\"]/ \"t\" div{\"u\"}}" },
    { "text at the top gives a text root", "hello <a>", "\"hello \"" },
    { "a reference at the top gives a text root", "  &amp; x", "\"amp\"" },
    { "an end tag at the top gives an end tag root", "</a x=1>", "/a[x=\"1\"]" },
    { "<! not followed by a name at the top is text", "<!-- c --><a/>", "\"<!-- c -->\"" },
    { "a declaration at the top gives no document", "<!DOCTYPE html><html></html>", "(none)" },
    { "a processing instruction at the top gives no document", "<?xml version=\"1.0\"?><a/>", "(none)" },
    { "white space before a declaration", "\r\n <!x>", "(none)" },
    { "empty input gives no document", "", "(none)" },
    { "white space only gives no document", " \t\r\n ", "(none)" },
    { "0xFF first gives no document", "\xFF<a/>", "(none)" },
    { "a declaration inside an element ends it; the rest is the parent's", "<r><a>x<!y z=\"1\">w</a>q</r>",
        "r{a{\"x\"} \"z\" \"1\"}" },
    { "a processing instruction inside an element ends it", "<r><a><?p q?>t</a></r>", "r{a{} \"q\"}" },
    { "a stray / where a node belongs is skipped", "<r><a><!x / y></a></r>", "r{a{} \"y\"}" },
    { "a stray = where a node belongs is skipped", "<r><a><!x = y></a></r>", "r{a{} \"y\"}" },
};

TEST(MarkupParser, TreeShapes)
{
    for (const ShapeCase& row : shapeCases)
        EXPECT_EQ(dumpMarkupTree(parseMarkupBytes(row.input).get()), row.dump) << row.what;
}

TEST(MarkupParser, Lookups)
{
    MarkupTree tree = parseMarkupBytes("<a v=\"hello\" e=\"\" n w=x v=\"second\">");
    struct Case { const char* what; const char* name; int32_t capacity, result; const char* text; };
    const Case cases[] = {
        { "the first of two equal names wins", "v", 16, 5, "hello" },
        { "a small capacity keeps capacity - 1 bytes", "v", 3, 2, "he" },
        { "an empty value copies nothing", "e", 8, 0, "" },
        { "a bare value", "w", 8, 1, "x" },
        { "a valueless attribute gives -1", "n", 8, -1, nullptr },
        { "an absent attribute gives -1", "q", 8, -1, nullptr },
        { "names are case-sensitive", "V", 8, -1, nullptr },
        { "a longer name does not match", "vv", 8, -1, nullptr },
        { "the empty name does not match", "", 8, -1, nullptr },
    };
    for (const Case& row : cases) {
        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        StatusOr<int32_t> copied = getAttributeText(tree.get(), row.name, buffer, row.capacity);
        EXPECT_EQ(copied.ok() ? copied.value() : copied.status().code(), row.result) << row.what;
        std::string expected = row.text ? std::string(row.text) + '\0' : "";
        expected.resize(sizeof buffer, '#');
        EXPECT_EQ(std::string(buffer, sizeof buffer), expected) << row.what << ": nothing after the zero";
    }
    EXPECT_EQ(findAttributeValue(tree.get(), "v")->view(), "hello");
    EXPECT_EQ(findAttributeValue(tree.get(), "n"), nullptr) << "valueless";
    EXPECT_EQ(findAttributeValue(tree.get(), nullptr), nullptr);
    EXPECT_EQ(findAttributeValue(parseMarkupBytes("v").get(), "v"), nullptr) << "a text node";

    tree = parseMarkupBytes("<r><x/>body<body id=1>in</body><body id=2/><head/></r>");
    EXPECT_EQ(dumpMarkupTree(findChildElement(tree.get(), "body")), "body[id=\"1\"]{\"in\"}");
    EXPECT_EQ(tree->children->cursorIndex(), 2) << "the walk leaves the cursor on the element found";
    EXPECT_EQ(dumpMarkupTree(findChildElement(tree.get(), "head")), "head/");
    MarkupNode* x = findChildElement(tree.get(), "x");
    EXPECT_EQ(dumpMarkupTree(x), "x/");
    EXPECT_EQ(findChildElement(x, "x"), nullptr) << "an empty element has no child list";
    for (const char* name : { "bod", "bodyx", "in" })
        EXPECT_EQ(findChildElement(tree.get(), name), nullptr) << name;
    EXPECT_EQ(findChildElement(parseMarkupBytes("body").get(), "body"), nullptr);
    ASSERT_TRUE(tree->children->removeAt(2));
    EXPECT_EQ(dumpMarkupTree(tree.get()), "r{x/ \"body\" body[id=\"2\"]/ head/}") << "removed, and freed";
}

std::string patternText(size_t size, const char* alphabet)
{
    std::string text(size, ' ');
    for (size_t i = 0; i < size; ++i)
        text[i] = alphabet[(i * 7 + i / 13) % std::strlen(alphabet)];
    return text;
}

// Every token is collected whole, however far it runs past the reader's first buffer of 1 KiB.
TEST(MarkupParser, LongTokensAreKeptWhole)
{
    // A tag name, an attribute name and both kinds of value, text, a reference, a long script-like
    // text and a text followed by a tag name, each far longer than the reader's first buffer.
    std::string name = "n" + patternText(40000, "abcdefghijklmnopqrstuvwxyz-.:_0123456789");
    std::string attributeName(3000, 'k'), bare = patternText(5000, "abcdefghij.-:;!");
    std::string quoted = patternText(5000, "ab cd>e<f=/?'");
    std::string text = patternText(40000, "abc def;\n(){}\"'=/?>");
    std::string entity = "e" + patternText(2000, "abc.-_:0"), script, tagName(5000, 't');
    while (script.size() < 100000)
        script += "if (a < b && c <= d) x = \"<\" + y;\r\n";
    std::string tag = "<" + name + " " + attributeName + " b=" + bare + " q=\"" + quoted + "\">";
    MarkupTree tree = parseMarkupBytes(
        tag + std::string(40000, ' ') + text + "&" + entity + ";" + script + "<" + tagName + ">");
    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->text->view(), name);
    ASSERT_EQ(tree->attributes->attributeCount(), 3);
    std::string nameBuffer(4000, '#');
    ASSERT_TRUE(tree->attributes->attributeName(0, 4000, nameBuffer.data()).ok());
    EXPECT_EQ(nameBuffer.c_str(), attributeName);
    EXPECT_EQ(findAttributeValue(tree.get(), "b")->view(), bare);
    EXPECT_EQ(findAttributeValue(tree.get(), "q")->view(), quoted);
    std::vector<std::string_view> children;
    for (ListNode* item = tree->children->firstNode(); item && item->next; item = item->next)
        children.push_back(markupNodeOf(item)->text->view());
    EXPECT_TRUE(children == (std::vector<std::string_view> { text, entity, script, tagName })) << "in order";
}

// Elements and texts count against the limit; end tags do not.
TEST(MarkupParser, TreesOfMoreNodesThanTheLimitAreRefused)
{
    struct Row { const char* what; const char* input; int32_t limit; const char* dump; };
    const Row rows[] = {
        { "three elements, limit 3", "<a><b/><c/></a>", 3, "a{b/ c/}" },
        { "three elements, limit 2", "<a><b/><c/></a>", 2, "(null)" },
        { "an element, a text and an element, limit 3", "<a>x<b/></a>", 3, "a{\"x\" b/}" },
        { "the same, limit 2", "<a>x<b/></a>", 2, "(null)" },
        { "end tags are not counted", "<a><b></b><c></c></a>", 3, "a{b{} c{}}" },
        { "a text root, limit 1", "t", 1, "\"t\"" },
    };
    for (const Row& row : rows) {
        MarkupStream stream = MarkupStream::fromMemory(row.input, std::strlen(row.input));
        MarkupTree tree(parseMarkup(stream, row.limit));
        EXPECT_EQ(tree ? dumpMarkupTree(tree.get()) : "(null)", row.dump) << row.what;
    }
}

TEST(MarkupParser, WhereReadingStops)
{
    struct Case { const char* what; std::string_view input; int next; };
    const Case cases[] = {
        { "after the end tag", "<a>x</a>rest", 'r' },
        { "after an empty element", "<a/>rest", 'r' },
        { "after an unclosed element closed by an end tag", "<a><b>x</b></a>rest", 'r' },
    };
    for (const Case& row : cases) {
        MarkupStream stream = MarkupStream::fromMemory(row.input.data(), row.input.size());
        MarkupTree tree(parseMarkup(stream));
        EXPECT_TRUE(tree) << row.what;
        EXPECT_EQ(stream.readByte(), row.next) << row.what;
    }

}

// Three tokens wait at most: the one after a text run and the two the tree builder gives back. One
// more would be lost, so the reader fails instead, and then gives no more tokens.
TEST(MarkupParser, ItsReaderFailsWhenGivenBackMoreThanItHolds)
{
    MarkupStream stream = MarkupStream::fromMemory("x", 1);
    MarkupReader reader(stream);
    reader.pushBack({});
    for (int i = 0; i < 3; ++i)
        reader.pushBack({ MarkupTokenKind::Equals, nullptr });
    EXPECT_FALSE(reader.failed()) << "the end of input is not held, three tokens are";
    reader.pushBack({ MarkupTokenKind::StrayMark, nullptr });
    EXPECT_TRUE(reader.failed());
    EXPECT_EQ(reader.readToken().kind, MarkupTokenKind::None);
}

}
