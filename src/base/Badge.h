// A key that only T can make: an operation one class grants another takes a Badge<T> first, so
// the signature says who may call it and the compiler refuses anyone else. It holds nothing.
#pragma once

namespace nimbolt {

template<typename T>
class Badge {
public:
    Badge(const Badge&) = delete;
    Badge& operator=(const Badge&) = delete;

private:
    friend T;
    constexpr Badge() = default;
};

}
