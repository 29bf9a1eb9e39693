// Documents in a window without a display, for what the render cases cannot show: the back
// buffer, repaints, the mouse walk, ticks, images, reloads during a script, hostile input.
#include <document/Document.h>
#include <document/DocumentFile.h>
#include <document/DocumentWarning.h>
#include <headless/HeadlessWindowSystem.h>

#include <support/PixelMemory.h>
#include <support/TraceCapture.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace nimbolt::test {
namespace {

namespace fs = std::filesystem;

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = fs::temp_directory_path() / ("nimbolt-document-" + std::to_string(::getpid()));
        fs::create_directories(m_folder);
        document = Document::create(system, system);
        ASSERT_TRUE(document);
    }
    void TearDown() override
    {
        document->shutdown();
        document = nullptr;
        std::error_code error;
        fs::current_path(fs::temp_directory_path(), error);
        fs::remove_all(m_folder, error);
    }

    std::string write(const std::string& name, const std::string& text)
    {
        fs::path path = m_folder / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    // Loads a document made of a head script and a body.
    testing::AssertionResult load(const std::string& script, std::string body, const char* name = "a.nbm")
    {
        Status status = document->load(write(name, "<nbml><head><script>" + script + "</script></head>" + body
                                                       + "</nbml>"));
        return status.ok() ? testing::AssertionSuccess() : testing::AssertionFailure() << status.code();
    }
    ScriptValue global(const char* name)
    {
        ScriptValue value;
        ScriptEngine* engine = document->runner()->engine();
        engine->getVariable(engine->atomTable().intern(name), value);
        return value;
    }
    int32_t integer(const char* name)
    {
        ScriptValue value = global(name);
        EXPECT_EQ(value.tag, ValueTag::Integer) << name;
        return value.payload.integer;
    }
    std::string text(const char* name)
    {
        ScriptValue value = global(name);
        std::string result(value.tag == ValueTag::String ? stringOf(value)->view() : "(not a string)");
        releaseValue(value);
        return result;
    }
    void run(const std::string& script)
    {
        (void)document->runner()->runText(script.data(), static_cast<int32_t>(script.size()));
    }
    HeadlessWindow& window() { return *static_cast<HeadlessWindow*>(document->window()); }
    std::vector<std::string> boxes()
    {
        std::vector<std::string> lines;
        for (const auto& record : system.records())
            lines.push_back(record.caption + ": " + record.text);
        return lines;
    }
    // The pixel of the painted window as 0xRRGGBB.
    uint32_t pixel(int32_t x, int32_t y)
    {
        RefPtr<Surface> picture = window().paint();
        SurfaceInfo info;
        (void)picture->getInfo(info);
        const uint8_t* p = info.bits + y * info.stride + x * 3;
        return static_cast<uint32_t>(p[2]) << 16 | p[1] << 8 | p[0];
    }

    HeadlessWindowSystem system { std::tm {}, { 800, 600 }, 24 };
    RefPtr<Document> document;

private:
    fs::path m_folder;
};

TEST_F(DocumentTest, TheMouseReachesEveryElementUnderItInWalkOrderAndHiddenOnesOnlyThroughChildren)
{
    ASSERT_TRUE(load("log = '';", R"(<body type="screen" width="100" height="100" bgcolor="#ffffff"
        onmousedown="log = log + 'B';" onmouseover="log = log + '(B';">
        <div id="p" width="60" height="60" bgcolor="#ff0000" onmousedown="log = log + 'P';"
             onmouseover="log = log + '(P';" onmousemove="log = log + 'p';" onmouseout="log = log + 'P)';">
          <div id="c" left="10" top="10" width="10" height="10" bgcolor="#0000ff" onmousedown="log = log + 'C';"
               onmouseover="log = log + '(C';" onmousemove="log = log + 'c';" onmouseout="log = log + 'C)';"></div></div>
        <div id="q" left="5" top="5" width="30" height="30" onmousedown="log = log + 'Q';"></div></body>)"));
    window().events().windowMouseButton(MouseButtonEvent::Down, 7, 7);
    EXPECT_EQ(text("log"), "QPB") << "the later sibling first, the body last";
    run("log = '';");
    for (int32_t at : { 2, 15, 50, 80 })
        window().events().windowMouseMove(at, at);
    // The button's hit tests left the body and p entered: the first move is a move for p.
    EXPECT_EQ(text("log"), "p" "(Cp" "C)p" "P)");

    run("log = ''; window.document.all['p'].visible = 0;");
    EXPECT_EQ(pixel(15, 15), 0xFFFFFFu) << "the whole subtree goes";
    window().events().windowMouseButton(MouseButtonEvent::Down, 15, 15);
    EXPECT_EQ(text("log"), "QCB") << "hidden p is not hit, its child still is";
    run("window.document.all['p'].visible = 1;");
    EXPECT_EQ(pixel(15, 15), 0x0000FFu);
}

// The desktop keeps the pointer out of a shaped window's holes; the document does not count on it.
TEST_F(DocumentTest, AButtonOutsideTheWindowsShapeReachesNoHandler)
{
    Bytes bmp = smallBmp(); // the top-left pixel (index 0, the key) is the only one outside
    write("shape.bmp", std::string(bmp.begin(), bmp.end()));
    ASSERT_TRUE(load("n = 0; held = window.document;", R"(<body background="shape.bmp" onmousedown="n = n + 1;"></body>)"));
    ASSERT_TRUE(window().isShaped());
    window().events().windowMouseButton(MouseButtonEvent::Down, 0, 0);
    EXPECT_EQ(integer("n"), 0);
    window().events().windowMouseButton(MouseButtonEvent::Down, 1, 0);
    EXPECT_EQ(integer("n"), 1);
    // The next document's window has no shape, though a script still holds the old body.
    ASSERT_TRUE(load("", R"(<body type="screen" width="4" height="4" onmousedown="n = n + 1;"></body>)", "b.nbm"));
    window().events().windowMouseButton(MouseButtonEvent::Down, 0, 0);
    EXPECT_EQ(integer("n"), 2);
}

TEST_F(DocumentTest, TheBackBufferOnlyGrowsAndOffersAPalette)
{
    ASSERT_TRUE(load("", R"(<body type="screen" width="100" height="50"></body>)"));
    Surface* first = document->backBuffer();
    ASSERT_TRUE(first);
    run("window.resizeTo(80, 40);");
    EXPECT_EQ(document->backBuffer(), first) << "smaller: the buffer stays";
    EXPECT_EQ(window().clientSize(), (Size { 80, 40 }));
    run("window.resizeTo(100, 50);");
    EXPECT_EQ(document->backBuffer(), first) << "as large as before: still the same";
    run("window.resizeTo(120, 30);");
    SurfaceInfo info;
    ASSERT_EQ(document->backBuffer()->getInfo(info), Status::Ok);
    EXPECT_EQ(info.width, 120);
    EXPECT_EQ(info.height, 50) << "the larger of every height so far";
    EXPECT_EQ(info.bitsPerPixel, 24);
    // The colours it offers an 8-bit display: grey ramps 255 * k / 20 at 10 + k and
    // (255 * k + 2805) / 20 at 236 + k for k = 0 ... 9, and the 6 x 6 x 6 cube in steps of 51
    // between them, red changing fastest; as 0xRRGGBB.
    ColorTableEntry palette[256];
    ASSERT_EQ(document->backBuffer()->getPalette(0, 256, palette), Status::Ok);
    const std::pair<int32_t, uint32_t> entries[] = { { 9, 0 }, { 11, 0x0C0C0C }, { 19, 0x727272 }, { 21, 0x330000 },
        { 26, 0x003300 }, { 56, 0x000033 }, { 235, 0xFFFFFF }, { 236, 0x8C8C8C }, { 237, 0x999999 },
        { 242, 0xD8D8D8 }, { 245, 0xFFFFFF }, { 246, 0 } };
    for (auto [index, colour] : entries) {
        const ColorTableEntry& entry = palette[index];
        EXPECT_EQ(static_cast<uint32_t>(entry.red << 16 | entry.green << 8 | entry.blue), colour) << index;
    }
}

// The render cases show the interval's calls.
TEST_F(DocumentTest, TicksReachEveryElementLastFirstASecondAfterTheWindow)
{
    ASSERT_TRUE(load("", R"(<body type="screen" width="200" height="200">
        <clock id="one" fmt="%S" locale="C"></clock>
        <div left="50"><clock id="two" top="50" fmt="%S" locale="C"></clock></div>
        <clock id="three" top="100" fmt="%S" locale="C"></clock></body>)"));
    window().clearInvalidations();
    system.advance(999);
    EXPECT_TRUE(window().invalidations().empty()) << "the first tick comes a second after the window";
    system.advance(1);
    std::vector<int32_t> tops;
    for (const Rect& rect : window().invalidations())
        tops.push_back(rect.top);
    EXPECT_EQ(tops, (std::vector<int32_t> { 100, 50, 0 }));
    // A function the host defined has no document origin: the error names only what ran it.
    run("function fail() { missing(); } window.setInterval(fail, 1000);");
    system.advance(1000);
    EXPECT_EQ(boxes(), (std::vector<std::string> { "ScriptError: (0) some error\nat setInterval callback: 'missing' is not defined" }));
}

TEST_F(DocumentTest, ImagesHoldTheSurfacesTheyAskFor)
{
    ASSERT_TRUE(load(R"(
        var none = new Image(); var flat = new Image(10, 0); var deep = new Image(32, 24); var one = new Image(10);
        var mid = new Image(32, 32, 8); var low = new Image(32, 32, 4);
        before = none.src; none.src = "missing.bmp"; after = none.src;
    )",
        "<body type=\"screen\"></body>"));
    auto infoOf = [&](const char* name) {
        ScriptValue value = global(name);
        auto* picture = dynamic_cast<ElementPicture*>(value.objectPayload());
        RefPtr<Surface> surface = picture ? picture->surface() : nullptr;
        SurfaceInfo info;
        if (surface)
            (void)surface->getInfo(info);
        releaseValue(value);
        return info;
    };
    for (auto [name, depth] :
        { std::pair { "none", 0 }, { "flat", 0 }, { "one", 0 }, { "deep", 24 }, { "mid", 16 }, { "low", 8 } })
        EXPECT_EQ(infoOf(name).bitsPerPixel, depth) << name;
    EXPECT_EQ(infoOf("deep").width, 32);
    EXPECT_EQ(infoOf("deep").height, 24);
    EXPECT_EQ(global("before").tag, ValueTag::Undefined);
    EXPECT_EQ(text("after"), "missing.bmp") << "the name stays, loaded or not";
}

TEST_F(DocumentTest, CyclesOneDocumentLeftBehindGoWhenTheNextLoads)
{
    // Each load rebinds the global to a new array holding itself; the one before is then held by
    // nothing but itself, and goes when the load after that begins.
    size_t used = 0;
    for (int i = 0; i < 7; ++i) {
        ASSERT_TRUE(load("a = new Array(); a[0] = a; a[1] = new Array();", "<body type=\"screen\"></body>"));
        used = i == 1 ? document->runner()->engine()->memoryBudget().used() : used;
    }
    ASSERT_GT(used, 0u);
    EXPECT_EQ(document->runner()->engine()->memoryBudget().used(), used);
}

TEST_F(DocumentTest, ALoadDuringABoxFreesNothingTheWaitingScriptStillUses)
{
    std::string other = write("other.nbm", "<nbml><body type=\"screen\"><div id=\"z\"></div></body></nbml>");
    ASSERT_TRUE(load("var moved = 0; var seen = 0;", R"(<body type="screen" width="50" height="50">
        <div id="a" width="20" height="20" onmousedown="window.alert('wait'); this.moveTo(5, 5);
            this.innerText = 'after'; moved = this.left; seen = window.document.all['z'].id;"></div></body>)"));
    bool loaded = false;
    system.setRecordListener([&](const HeadlessWindowSystem::Record&) {
        if (!std::exchange(loaded, true)) {
            EXPECT_EQ(document->load(other), Status::Ok);
        }
    });
    TraceCapture traces;
    window().events().windowMouseButton(MouseButtonEvent::Down, 3, 3);
    EXPECT_EQ(boxes(), (std::vector<std::string> { "alert: wait" }));
    EXPECT_EQ(integer("moved"), 5) << "the old node and element lived on for the handler";
    EXPECT_EQ(traces.count("DocObj Destroy(div,a)\n"), 1u) << traces.text();
    EXPECT_EQ(text("seen"), "z") << "the handler saw the new document";
    system.setRecordListener(nullptr);
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(document->load(other), Status::Ok);
    document->shutdown();
    EXPECT_EQ(document->load(other), Status::Failed) << "a shut document loads nothing";
}

TEST(DocumentText, Utf8BecomesShiftJisAndShiftJisStaysAsItIs)
{
    // "日本" in UTF-8 and in Shift-JIS; "ñ" has no Shift-JIS form.
    const std::string utf8 = "<t>\xE6\x97\xA5\xE6\x9C\xAC</t>", shiftJis = "<t>\x93\xFA\x96\x7B</t>";
    testing::internal::CaptureStderr();
    EXPECT_EQ(documentText(utf8, "a.nbm"), shiftJis);
    EXPECT_EQ(documentText("\xEF\xBB\xBF<t>x</t>", "b.nbm"), "<t>x</t>") << "the mark goes, ASCII stays";
    EXPECT_EQ(documentText(shiftJis, "c.nbm"), shiftJis) << "Shift-JIS is not well-formed UTF-8";
    EXPECT_EQ(documentText("\xC3\xB1\xE6\x97\xA5", "d.nbm"), "?\x93\xFA");
    EXPECT_EQ(documentText("\x82\xA0\xC3", "e.nbm"), "\x82\xA0\xC3") << "broken UTF-8 is taken as Shift-JIS";
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
        "nimbolt: d.nbm: characters that Shift-JIS cannot hold became \"?\"\n");
}

// Damaged and hostile documents: each is refused, bounded or run, and nothing recurses natively.

TEST_F(DocumentTest, AHundredThousandNestedElementsAreBuiltDrawnClickedAndReleased)
{
    std::string nested = R"(<body type="screen" width="40" height="40" bgcolor="#ffffff">)";
    for (int i = 0; i < 100000; ++i)
        nested += "<div>";
    nested += R"(<div width="30" height="30" bgcolor="#ff0000" onmousedown="hit = 1;">x</div></body>)";
    ASSERT_TRUE(load("hit = 0;", nested));
    EXPECT_EQ(pixel(20, 20), 0xFF0000u) << "the innermost element is drawn";
    EXPECT_EQ(pixel(35, 35), 0xFFFFFFu);
    window().events().windowMouseButton(MouseButtonEvent::Down, 20, 20);
    window().events().windowMouseMove(21, 21);
    system.advance(1000);
    EXPECT_EQ(integer("hit"), 1);
    // Below the body: divs 0 ... 100,000 and the text; below div k, 100,000 - k divs and the text.
    // Div 20's all is first read after div 50,000 lost its children, and still lists them.
    run(R"(var all = window.document.all; count = all.length; all[50000].innerText = 'y';
           kept = all[20].all.length; replaced = all[50000].all.length;
           var data = window.createDocument('a.nbm'); dataCount = data.all.length; data = 0;)");
    EXPECT_EQ(integer("count"), 100002);
    EXPECT_EQ(integer("kept"), 99981);
    EXPECT_EQ(integer("replaced"), 1);
    EXPECT_EQ(integer("dataCount"), 100006) << "head, script, its text and body come first";
    EXPECT_EQ(pixel(20, 20), 0xFFFFFFu) << "the innermost element went with div 50,000's children";
    ASSERT_EQ(document->loadText("<nbml><body type=\"screen\"></body></nbml>", "small.nbm"), Status::Ok);
}

TEST_F(DocumentTest, ADocumentReadingItselfAThousandTimesKeepsOneCopy)
{
    ASSERT_TRUE(load("", R"(<body type="screen"><div id="a">text</div></body>)", "self.nbm"));
    TraceCapture traces;
    run("for (var i = 0; i < 1000; i++) d = window.createDocument('self.nbm'); n = d.all.length;");
    // Each copy holds nbml, head, script, body, div and text; all but the last copy are gone.
    EXPECT_EQ(integer("n"), 5);
    EXPECT_EQ(traces.count("DocObj Destroy("), 999u * 6);
    // New text lets the document's own children go: no collection can list them any more.
    run("window.document.innerText = '';");
    EXPECT_EQ(traces.count("DocObj Destroy(div,a)\n"), 1000u);
}

TEST_F(DocumentTest, ReleaseTracesCutTagAndIdAt255Bytes)
{
    std::string tag(300, 't'), id(300, 'i');
    ASSERT_TRUE(load("", "<body type=\"screen\"><" + tag + " id=\"" + id + "\"></" + tag + "></body>"));
    TraceCapture traces;
    ASSERT_EQ(document->loadText("<nbml><body type=\"screen\"></body></nbml>", "small.nbm"), Status::Ok);
    EXPECT_EQ(traces.count("DocObj Destroy(" + tag.substr(45) + "," + id.substr(45) + ")\n"), 1u) << traces.text();
}

// Files over the byte limit are refused unread (the sparse file costs no disk). Pictures whose
// headers claim more than a picture may have, with or without the pixels, are refused; the
// elements show their colour instead.
TEST_F(DocumentTest, FilesAndPicturesLargerThanTheLimitOrLyingAboutTheirSizeAreRefused)
{
    std::string large = write("large.nbm", "<a>");
    fs::resize_file(large, MaxDocumentBytes + 1);
    EXPECT_FALSE(readDocumentFile(large));
    fs::resize_file(large, MaxDocumentBytes);
    EXPECT_EQ(readDocumentFile(large).value_or("").size(), MaxDocumentBytes);

    Bytes bmp = makeBmp(16384, 16384, 8, 0, { {}, { 0, 0, 255, 0 } }, Bytes(8, 1));
    write("big.bmp", std::string(bmp.begin(), bmp.end()));
    // A PNG signature and its header chunk (16384 x 16384, 8-bit RGB) with its checksum, no data.
    write("big.png",
        std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\x40\0\0\0\x40\0\x08\x02\0\0\0\x26\xAA\x87\xD3", 33));
    // A GIF whose screen and frame are 65535 x 65535, cut after the frame's header.
    write("big.gif", std::string("GIF89a\xFF\xFF\xFF\xFF\0\0\0,\0\0\0\0\xFF\xFF\xFF\xFF\0\x08", 25));
    ASSERT_TRUE(load("", R"(<body type="screen" width="30" height="10">
        <div left="0" width="10" height="10" bgcolor="#ff0000" background="big.bmp"></div>
        <div left="10" width="10" height="10" bgcolor="#00ff00" background="big.png"></div>
        <div left="20" width="10" height="10" bgcolor="#0000ff" background="big.gif"></div></body>)"));
    EXPECT_EQ(pixel(5, 5), 0xFF0000u);
    EXPECT_EQ(pixel(15, 5), 0x00FF00u);
    EXPECT_EQ(pixel(25, 5), 0x0000FFu);
}

// A document full of unknown names tells the first hundred and that there are more, once; another
// document is told its own again.
TEST_F(DocumentTest, WarningsAreToldOncePerDocumentAndAtMostAHundred)
{
    static std::vector<std::string> told;
    told.clear();
    setWarningSink([](std::string_view text) { told.emplace_back(text); });
    std::string text = "<nbml><body type=\"screen\">";
    for (int i = 0; i < 150; ++i)
        text += "<e" + std::to_string(i) + "></e" + std::to_string(i) + ">";
    text += "</body></nbml>";
    ASSERT_EQ(document->loadText(text, "many.nbm"), Status::Ok);
    ASSERT_EQ(document->loadText(text, "many.nbm"), Status::Ok);
    ASSERT_EQ(told.size(), 101u);
    EXPECT_EQ(told[99], "many.nbm: unknown element <e99>");
    EXPECT_EQ(told[100], "more problems of this document are not told");
    ASSERT_EQ(document->loadText(text, "other.nbm"), Status::Ok);
    EXPECT_EQ(told.size(), 202u);
    setWarningSink(nullptr);
}

}
}
