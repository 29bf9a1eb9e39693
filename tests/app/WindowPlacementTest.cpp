// A remembered window position is kept while enough of the window lies on a screen, else the
// window moves wholly onto the nearest screen.
#include <app/WindowPlacement.h>

#include <gtest/gtest.h>

using nimbolt::Point;
using nimbolt::Rect;
using nimbolt::Size;

TEST(WindowPlacement, KeepsOrBringsBackTheWindow)
{
    const Rect left { 0, 0, 800, 600 };
    const Rect right { 800, 0, 1824, 768 }; // taller, to the right of the first
    struct Row {
        const char* what;
        std::vector<Rect> screens;
        Point position;
        Size window;
        Point expected;
    };
    const Row rows[] = {
        { "inside the first screen stays", { left, right }, { 100, 80 }, { 40, 30 }, { 100, 80 } },
        { "inside the second screen stays", { left, right }, { 900, 700 }, { 40, 30 }, { 900, 700 } },
        { "32 pixels on the screen stay", { left }, { 768, 100 }, { 100, 50 }, { 768, 100 } },
        { "31 pixels on the screen move wholly onto it", { left }, { 769, 100 }, { 100, 50 }, { 700, 100 } },
        { "a small window must lie wholly on a screen", { left }, { 795, 100 }, { 10, 10 }, { 790, 100 } },
        { "far off goes to the nearest screen's corner", { left, right }, { 5000, 5000 }, { 40, 30 }, { 1784, 738 } },
        { "below the shorter screen goes to the nearer one", { left, right }, { 700, 650 }, { 40, 30 }, { 700, 570 } },
        { "larger than its screen: top-left corner on it", { left }, { -990, 0 }, { 1000, 700 }, { 0, 0 } },
        { "no screens: unchanged", {}, { -5000, 7 }, { 40, 30 }, { -5000, 7 } },
    };
    for (const Row& row : rows)
        EXPECT_EQ(nimbolt::placeOnScreens(row.position, row.window, row.screens), row.expected) << row.what;
}
