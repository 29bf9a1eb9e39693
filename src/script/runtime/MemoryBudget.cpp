#include <script/runtime/MemoryBudget.h>

#include <new>

namespace nimbolt {

RefPtr<MemoryBudget> MemoryBudget::create(size_t limit) { return adoptRef(new (std::nothrow) MemoryBudget(limit)); }

}
