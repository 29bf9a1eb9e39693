// Token kinds of the script language. Single-character operators are their ASCII codes; the
// literal kinds equal the ValueTags of their values, so a literal token's kind and value already
// form a ScriptValue.
#pragma once

#include <cstdint>

namespace nimbolt {

namespace TokenKind {
enum : int32_t {
    // Multi-character operators, in the order the lexer tries them.
    UnsignedShiftRightAssign = 300, // >>>=
    ShiftLeftAssign = 301, // <<=
    ShiftRightAssign = 302, // >>=
    UnsignedShiftRight = 303, // >>>
    ShiftRight = 304, // >>
    ShiftLeft = 305, // <<
    Equals = 306, // ==
    NotEquals = 307, // !=
    LessOrEqual = 308, // <=
    GreaterOrEqual = 309, // >=
    LogicalAnd = 310, // &&
    LogicalOr = 311, // ||
    Decrement = 312, // --
    Increment = 313, // ++
    AddAssign = 314, // +=
    SubtractAssign = 315, // -=
    ModuloAssign = 316, // %=
    MultiplyAssign = 317, // *=
    DivideAssign = 318, // /=
    AndAssign = 319, // &=
    OrAssign = 320, // |=
    XorAssign = 321, // ^=

    // Given by the parser to prefix operator nodes.
    UnaryPlus = 322,
    Negate = 323,
    PreIncrement = 324,
    PreDecrement = 325,

    EndOfInput = 400,
    InvalidToken = 401,
    IntegerLiteral = 402,
    RealLiteral = 403,
    Identifier = 404,
    StringLiteral = 405,

    // Reserved words.
    NaN = 500,
    Null = 501,
    Undefined = 502,
    Break = 503,
    Continue = 504,
    For = 505,
    In = 506,
    If = 507,
    Else = 508,
    Return = 509,
    While = 510,
    Do = 511,
    Function = 512,
    New = 513,
    Delete = 514,
    This = 515,
    Var = 516,
    With = 517,
    Goto = 518,
    Switch = 519,
    Case = 520,
    Default = 521,
};
}

}
