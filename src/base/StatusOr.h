// The result of an operation that gives a value or fails with a status: exactly one of the two
// is there. NIMBOLT_TRY_VALUE unwraps it, returning the status from the enclosing function on
// failure.
#pragma once

#include <base/Assert.h>
#include <base/Status.h>

#include <optional>
#include <utility>

namespace nimbolt {

template<typename T>
class [[nodiscard]] StatusOr {
public:
    StatusOr(T value)
        : m_value(std::move(value))
    {
    }
    StatusOr(Status status)
        : m_status(status)
    {
        NIMBOLT_ASSERT(!status.ok());
    }

    bool ok() const { return m_value.has_value(); }
    Status status() const { return m_status; }
    T& value()
    {
        NIMBOLT_ASSERT(ok());
        return *m_value;
    }
    T releaseValue()
    {
        NIMBOLT_ASSERT(ok());
        return std::move(*m_value);
    }

private:
    Status m_status { Status::Ok };
    std::optional<T> m_value;
};

}

// The value of a StatusOr expression, or a return of its status from the enclosing function.
#define NIMBOLT_TRY_VALUE(expression)            \
    ({                                           \
        auto try_result_ = (expression);         \
        if (!try_result_.ok())                   \
            return try_result_.status();         \
        try_result_.releaseValue();              \
    })
