#include <base/Assert.h>

#include <cstdio>
#include <cstdlib>

#if defined(NIMBOLT_CHECKS)
namespace nimbolt {

void assertionFailed(const char* condition, const char* file, int line)
{
    std::fflush(stdout);
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
    std::abort();
}

}
#endif
