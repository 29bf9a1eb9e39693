#include <script/runtime/MemoryBudget.h>

#include <new>

namespace nimbolt {

MemoryBudget* MemoryBudget::create(size_t limit) { return new (std::nothrow) MemoryBudget(limit); }

}
