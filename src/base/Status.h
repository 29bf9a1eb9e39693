// The 32-bit status every operation of the script side returns: zero or a positive count is
// success, a negative number is failure. -1 is an unspecific failure; -1000 ... -1014 are the
// error codes whose messages scripts see.
#pragma once

#include <cstdint>

namespace nimbolt {

enum class ErrorCode : int32_t {
    SomeError = -1000,
    StackOverflow = -1001,
    StackUnderflow = -1002,
    NotAnObject = -1003,
    InvalidLvalue = -1004,
    UnknownObjectName = -1005,
    NotSupportOperator = -1006,
    ReadOnlyMember = -1007,
    NotAMember = -1008,
    InvalidToken = -1009,
    Parse = -1010,
    ContinueMismatch = -1011,
    BreakMismatch = -1012,
    TooLong = -1013,
    OutOfMemory = -1014,
};

class [[nodiscard]] Status {
public:
    constexpr Status() = default;
    constexpr Status(int32_t code)
        : m_code(code)
    {
    }
    constexpr Status(ErrorCode code)
        : m_code(static_cast<int32_t>(code))
    {
    }

    constexpr bool ok() const { return m_code >= 0; }
    constexpr int32_t code() const { return m_code; }
    // A failure that carries one of the named error codes (below -1000) rather than -1 or -1000.
    constexpr bool isErrorCode() const { return m_code < -1000; }

    friend constexpr bool operator==(Status a, Status b) { return a.m_code == b.m_code; }

    static const Status Ok;
    static const Status Failed;
    static const Status SomeError;
    static const Status StackOverflow;
    static const Status StackUnderflow;
    static const Status NotAnObject;
    static const Status InvalidLvalue;
    static const Status UnknownObjectName;
    static const Status NotSupportOperator;
    static const Status ReadOnlyMember;
    static const Status NotAMember;
    static const Status InvalidToken;
    static const Status Parse;
    static const Status ContinueMismatch;
    static const Status BreakMismatch;
    static const Status TooLong;
    static const Status OutOfMemory;

private:
    int32_t m_code { 0 };
};

inline constexpr Status Status::Ok { 0 };
inline constexpr Status Status::Failed { -1 };
inline constexpr Status Status::SomeError { ErrorCode::SomeError };
inline constexpr Status Status::StackOverflow { ErrorCode::StackOverflow };
inline constexpr Status Status::StackUnderflow { ErrorCode::StackUnderflow };
inline constexpr Status Status::NotAnObject { ErrorCode::NotAnObject };
inline constexpr Status Status::InvalidLvalue { ErrorCode::InvalidLvalue };
inline constexpr Status Status::UnknownObjectName { ErrorCode::UnknownObjectName };
inline constexpr Status Status::NotSupportOperator { ErrorCode::NotSupportOperator };
inline constexpr Status Status::ReadOnlyMember { ErrorCode::ReadOnlyMember };
inline constexpr Status Status::NotAMember { ErrorCode::NotAMember };
inline constexpr Status Status::InvalidToken { ErrorCode::InvalidToken };
inline constexpr Status Status::Parse { ErrorCode::Parse };
inline constexpr Status Status::ContinueMismatch { ErrorCode::ContinueMismatch };
inline constexpr Status Status::BreakMismatch { ErrorCode::BreakMismatch };
inline constexpr Status Status::TooLong { ErrorCode::TooLong };
inline constexpr Status Status::OutOfMemory { ErrorCode::OutOfMemory };

// Drops a status where the contract says its outcome changes nothing for the caller; the reason
// says why (for instance "the report is best effort", "the attribute is optional").
inline void ignoreStatus([[maybe_unused]] Status status, [[maybe_unused]] const char* why) { }

}

// Returns the status from the enclosing function when it is a failure.
#define NIMBOLT_TRY(expression)                                  \
    do {                                                         \
        if (::nimbolt::Status try_status_ = (expression); !try_status_.ok()) \
            return try_status_;                                  \
    } while (0)
