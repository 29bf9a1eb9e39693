// Cycles of arrays, functions and instances; a probe inside each shows by its count if it lives.
#include <gtest/gtest.h>
#include <support/CountingObject.h>
#include <support/ScriptHarness.h>

namespace nimbolt::test {
namespace {

struct CycleRow {
    const char* what;
    const char* build;
    const char* drop;
    const char* held; // a global of the cycle the host keeps across the drop
    size_t freed;
};

const CycleRow cycleRows[] = {
    { "an array holding itself", "var a = new Array(); a[0] = a; a[1] = probe;", "a = 0;", "a", 1 },
    { "two arrays holding each other",
        "var a = new Array(); var b = new Array(); a[0] = b; b[0] = a; b[1] = probe;", "a = 0; b = 0;", "a", 2 },
    { "a prototype holding an instance of its own constructor",
        "function P() {} P.prototype.n = new P(); P.prototype.p = probe;", "P = 0;", "P", 2 },
    { "an instance holding itself; its constructor stays bound",
        "function Q() { this.me = this; this.p = probe; } var q = new Q();", "q = 0;", "q", 1 },
    { "an instance reached through a function's member",
        "function R() { this.p = probe; } R.prototype.list = new Array(); R.prototype.list[0] = new R();",
        "R = 0;", "R", 3 },
};

TEST(Cycles, UnboundCyclesGoBetweenRunsAndBoundOrHeldOnesStay)
{
    for (const CycleRow& row : cycleRows) {
        SCOPED_TRACE(row.what);
        ObjectLog log;
        CountingObject* probe = CountingObject::create(log);
        ScriptHarness harness;
        harness.defineGlobal("probe", objectValue(probe));
        ASSERT_TRUE(harness.run(row.build).ok());
        ASSERT_TRUE(harness.site().errors.empty());
        EXPECT_EQ(harness.engine().collectCycles(), 0u);
        // Ours, the global's and the cycle's.
        EXPECT_EQ(probe->refCount(), 3);

        // What the host holds stays with everything it reaches.
        ScriptValue kept = harness.global(row.held);
        ASSERT_TRUE(harness.run(row.drop).ok());
        EXPECT_EQ(harness.engine().collectCycles(), 0u);
        EXPECT_EQ(probe->refCount(), 3);
        releaseValue(kept);
        EXPECT_EQ(harness.engine().collectCycles(), row.freed);
        EXPECT_EQ(probe->refCount(), 2);
        EXPECT_EQ(harness.engine().collectCycles(), 0u);

        // Built again and left bound: closing the runner lets go of the globals and the cycle.
        ASSERT_TRUE(harness.run(row.build).ok());
        EXPECT_EQ(probe->refCount(), 3);
        ASSERT_TRUE(harness.runner().toggleOpen().ok());
        EXPECT_EQ(probe->refCount(), 1);
        probe->release();
        EXPECT_EQ(log.destroyed, 1);
        ASSERT_TRUE(harness.runner().toggleOpen().ok());
    }
}

}
}
