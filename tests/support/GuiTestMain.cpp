// Test programs that draw text need a GUI application; this one has no display.
#include <platform/GuiSession.h>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    nimbolt::GuiSession session(argc, argv, nimbolt::GuiDisplay::None);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
