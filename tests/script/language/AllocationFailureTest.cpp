// Each allocation of a run failing in turn (a replaced non-throwing operator new) ends cleanly.
#include <support/ScriptHarness.h>

#include <gtest/gtest.h>

#include <new>

namespace {

int s_failingCall = -1;
int s_calls = 0;

bool failsNow() { return s_failingCall >= 0 && s_calls++ == s_failingCall; }

}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return failsNow() ? nullptr : ::operator new(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return failsNow() ? nullptr : ::operator new[](size); }

namespace nimbolt::test {
namespace {

TEST(AllocationFailure, EveryFailingAllocationOfARunEndsCleanly)
{
    const char* text = "function F(a) { this.a = a; }\n"
                       "o = new F(\"x\" + 1);\n"
                       "l = new Array(1, 2);\n"
                       "l[40] = o.a + \"y\";\n"
                       "m = new Math();\n"
                       "s = l[40] + m.abs(-2) + (1.5 + \"\");\n";
    const int32_t strings = ScriptString::liveCount();
    int32_t failures = 0;
    for (int call = 0;; ++call) {
        SCOPED_TRACE(call);
        bool failed = false;
        {
            ScriptHarness harness;
            s_calls = 0;
            s_failingCall = call;
            Status status = harness.run(text);
            s_failingCall = -1;
            failed = s_calls > call;
            // Memory that runs out before the text runs fails runText itself; later failures are
            // reported through the site.
            EXPECT_TRUE(status == Status::Ok || (status == Status::Failed && harness.site().runBegins == 0));
            EXPECT_TRUE(harness.balanced());
            EXPECT_EQ(harness.runner().getState(), RunnerState::Ready);
            EXPECT_LE(harness.site().errors.size(), 1u);
            if (!failed) {
                EXPECT_EQ(harness.globalText("s"), "x1y21.500000");
                EXPECT_TRUE(harness.site().errors.empty());
            }
        }
        EXPECT_EQ(ScriptString::liveCount(), strings);
        if (!failed)
            break;
        ++failures;
    }
    EXPECT_GT(failures, 20) << "every allocation of the run was made to fail once";
}

TEST(AllocationFailure, AValueWithoutRoomForItsTextGivesAnEmptyText)
{
    char buffer[8] = "xxxxxxx";
    s_calls = 0;
    s_failingCall = 0;
    EXPECT_EQ(valueText(ScriptValue::integer(5), buffer, sizeof buffer), 0);
    s_failingCall = -1;
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(valueText(ScriptValue::integer(5), buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "5");
}

}
}
