// NIMBOLT_ASSERT states an invariant the code relies on. It is checked in the test build
// (NIMBOLT_CHECKS defined), where a broken invariant stops the program with its place, and costs
// nothing in users' builds.
#pragma once

#if defined(NIMBOLT_CHECKS)
namespace nimbolt {
[[noreturn]] void assertionFailed(const char* condition, const char* file, int line);
}
#define NIMBOLT_ASSERT(condition) \
    ((condition) ? static_cast<void>(0) : ::nimbolt::assertionFailed(#condition, __FILE__, __LINE__))
#else
#define NIMBOLT_ASSERT(condition) static_cast<void>(0)
#endif
