// The parser with each of its allocations failing in turn, through a replaced operator new.
#include <support/MarkupTreeDump.h>

#include <gtest/gtest.h>
#include <new>
#include <string>

namespace {

int s_failingCall = -1;
int s_calls = 0;

}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    if (s_failingCall >= 0 && s_calls++ == s_failingCall)
        return nullptr;
    return ::operator new(size);
}

using namespace nimbolt;

namespace {

TEST(MarkupAllocation, EveryFailureGivesNoTreeOrTheWholeTree)
{
    std::string longText(3000, 'z');
    std::string input = "<html><head><title>T</title><script>a &lt; b</script></head>"
                        "<body type=mascot a b=1 c=2 d=3 e=4 f=5 g=6 h=7 i=8 j=9><div id=x/>text<p>"
        + longText + "</p></body></html>";
    std::string whole = "html{head{title{\"T\"} script{\"a \" \"lt\" \"b\"}} body[type=\"mascot\" a b=\"1\" "
                        "c=\"2\" d=\"3\" e=\"4\" f=\"5\" g=\"6\" h=\"7\" i=\"8\" j=\"9\"]"
                        "{div[id=\"x\"]/ \"text\" p{\""
        + longText + "\"}}}";
    int failures = 0, wholeDespiteFailure = 0;
    for (int call = 0;; ++call) {
        s_calls = 0;
        s_failingCall = call;
        MarkupTree tree = parseMarkupBytes(input);
        s_failingCall = -1;
        bool failed = s_calls > call;
        if (!failed) {
            EXPECT_EQ(dumpMarkupTree(tree.get()), whole) << "without a failure";
            break;
        }
        ++failures;
        if (tree) {
            // Only the chunk an attribute list makes ahead of need may fail without harm: the
            // next append makes it again.
            EXPECT_EQ(dumpMarkupTree(tree.get()), whole) << "allocation " << call << " failed";
            ++wholeDespiteFailure;
        }
    }
    EXPECT_GT(failures, 40) << "every allocation of the parse was made to fail once";
    EXPECT_EQ(wholeDespiteFailure, 1) << "the body's ninth attribute retries the early chunk";
}

}
