// Element fonts and clock time formats. Attributes, members, repaints, bodies, clocks and
// background pictures are shown by the render cases.
#include <elements/Element.h>
#include <elements/TimeFormat.h>
#include <script/runtime/ScriptArray.h>

#include <gtest/gtest.h>

#include <cstring>

namespace nimbolt::test {
namespace {

// The fixture is the document the elements live in, asked for nothing but their members.
class ElementTest : public ::testing::Test,
                    public ElementCanvas,
                    public ElementScripting,
                    public ElementWindow,
                    public TimeSource {
protected:
    void invalidate(const Rect*) override { }
    Status evaluate(ScriptObject*, ScriptString&, ScriptValue*) override { return Status::SomeError; }
    PropertyTable* elementMembers() override { return m_members.ptr(); }
    RefPtr<ElementPicture> createImage(int32_t, int32_t, int32_t) override { return nullptr; }
    Status lockBackBuffer(SurfaceInfo&) override { return Status::Failed; }
    Status unlockBackBuffer(const SurfaceInfo&) override { return Status::Failed; }
    DeviceContext* getDC() override { return nullptr; }
    void releaseDC(DeviceContext*) override { }
    void resizeTo(int32_t, int32_t) override { }
    void resizeBy(int32_t, int32_t) override { }
    void setRegion(std::optional<Region>, const Surface*) override { }
    bool showsOpacity() const override { return false; }
    std::tm localTime() override { return {}; }

    // A div made from string attributes, as a document node carries them.
    RefPtr<Element> div(std::initializer_list<std::pair<const char*, const char*>> attributes)
    {
        Ref<ScriptArray> array = createArray(nullptr, nullptr).releaseNonNull();
        for (const auto& [name, value] : attributes) {
            RefPtr<ScriptString> text = createString(value);
            (void)array->appendItem(static_cast<int32_t>(std::strlen(name)), name, makeStringValue(text.ptr()));
        }
        return createElement("div", m_link, *array);
    }

private:
    Ref<ElementHostLink> m_link { ElementHostLink::create(*this, *this, *this, *this) };
    RefPtr<AtomTable> m_atoms { AtomTable::create() };
    RefPtr<PropertyTable> m_members { Element::buildMembers(*m_atoms) };
};

TEST_F(ElementTest, OnlyASizeOrWeightOtherThanTheDefaultMakesAFont)
{
    EXPECT_FALSE(div({ { "fontSize", "0" }, { "fontWeight", "400" } })->style().font);
    EXPECT_EQ(div({ { "fontWeight", "700" } })->style().fontSpec, (FontSpec { 16, 0, 700, 0, 0, 0 }));
    EXPECT_EQ(div({ { "fontSize", "20" } })->style().fontSpec, (FontSpec { 20, 0, 400, 0, 0, 0 }));
}

TEST(TimeFormat, ConversionsOfEachLocaleAndTheUnknownLeavesTheCurrentOne)
{
    // Monday 7 December 2026, 15:04:05, day 341 of a year that began on a Thursday: its weeks from
    // Sunday (%U) began on 4 January, those from Monday (%W) on 5 January. Sunday 6 December is
    // the last day of Monday week 48 and the first of Sunday week 49.
    const std::tm monday { 5, 4, 15, 7, 11, 2026 - 1900, 1, 340 }, sunday { 0, 0, 0, 6, 11, 2026 - 1900, 0, 339 };
    struct Row { const char* what; const std::tm& time; const char* pattern; TimeLocale locale; const char* text; };
    const Row rows[] = {
        { "C names", monday, "%a %b %p", TimeLocale::C, "Mon Dec PM" },
        { "English names in full", monday, "%A %B", TimeLocale::English, "Monday December" },
        { "Japanese: moon, month 12, after noon", monday, "%a %b %p", TimeLocale::Japanese,
            "\x8C\x8E 12 \x8C\xDF\x8C\xE3" },
        { "Japanese in full", monday, "%A %B", TimeLocale::Japanese, "\x8C\x8E\x97\x6A\x93\xFA 12\x8C\x8E" },
        { "numbers, composites, unknown and lone %", monday, "%c|%x|%j|%I|%#d|%y|%%|%q|%", TimeLocale::C,
            "12/07/26 15:04:05|12/07/26|341|03|7|26|%|%q|%" },
        { "short composites", monday, "%D|%F|%R|%T|%X|%h|%Y|%C", TimeLocale::C,
            "12/07/26|2026-12-07|15:04|15:04:05|15:04:05|Dec|2026|20" },
        { "Japanese date and time", monday, "%c", TimeLocale::Japanese, "2026/12/07 15:04:05" },
        { "a Monday starts a Monday week", monday, "%U %W %u %w", TimeLocale::C, "49 49 1 1" },
        { "the offset of a time that carries none", monday, "%z|", TimeLocale::C, "+0000|" },
        { "a Sunday, at midnight; %# at the end", sunday, "%U %W %u %w %I %p %e %#d", TimeLocale::C,
            "49 48 7 0 12 AM  6 6" },
    };
    for (const Row& row : rows) {
        char text[256];
        int32_t length = formatTime(row.pattern, row.time, row.locale, text, sizeof text);
        EXPECT_EQ(std::string(text, static_cast<size_t>(length)), row.text) << row.what;
    }
    char cut[6];
    EXPECT_EQ(formatTime("%H:%M:%S", monday, TimeLocale::C, cut, sizeof cut), 5);
    EXPECT_STREQ(cut, "15:04") << "cut to the capacity";
    EXPECT_EQ(formatTime("%H", monday, TimeLocale::C, cut, 0), 0) << "no room, nothing written";
    EXPECT_EQ(formatTime(std::string_view("%#d", 2), monday, TimeLocale::C, cut, sizeof cut), 2);
    EXPECT_STREQ(cut, "%#") << "the pattern ends at its length";

    // Names set the locale in turn; an unknown one (or one cut short) leaves the one before.
    struct Name { const char* name; bool known; TimeLocale locale; };
    const Name names[] = { { "japanese", true, TimeLocale::Japanese }, { "klingon", false, TimeLocale::Japanese },
        { "English_United States.1252", true, TimeLocale::English }, { "POSIX", true, TimeLocale::C },
        { "JA_jp", true, TimeLocale::Japanese }, { "engl", false, TimeLocale::Japanese },
        { "e", false, TimeLocale::Japanese }, { "Eng", true, TimeLocale::English },
        { "jpn", true, TimeLocale::Japanese }, { "american", true, TimeLocale::English },
        { "C", true, TimeLocale::C } };
    for (const Name& row : names) {
        EXPECT_EQ(setTimeLocale(row.name), row.known) << row.name;
        EXPECT_EQ(currentTimeLocale(), row.locale) << row.name;
    }
}

}
}
