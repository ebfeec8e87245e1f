// The formula language inside the platform: its tokens and its syntax tree,
// shared by the lexer, the parser, the compiler and the evaluator.
//
// Grammar, lowest precedence first:
//   formula    := statement (";" statement)*        empty statements allowed
//   statement  := "REM" string | "SELECT" expr
//               | ["FIELD" | "DEFAULT" | "ENVIRONMENT"] name ":=" expr | expr
//   expr       := logical ("&" | "|") ...            left to right
//   logical    := "!" logical | compare
//   compare    := sum (comparison sum)*              = != =! <> >< < > <= >= and *-permuted
//   sum        := product (("+" | "-") product)*     and *+ *-
//   product    := sign (("*" | "/") sign)*           and ** */
//   sign       := ("+" | "-") sign | list
//   list       := element (":" element)*
//   element    := ("+" | "-") element | primary
//   primary    := number | string | [keyword] | name | "(" expr ")"
//               | @function ["(" [argument (";" argument)*] ")"]
//   argument   := an assignment or an expression
// Names, keywords and @function names are compared ignoring case.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "talix_platform/types.h"

namespace plat::formula {

// Parentheses, argument lists and prefix operators nested deeper than this
// are refused, so that neither parsing nor evaluation can exhaust the stack.
constexpr int kMaxNesting = 256;

// The longest source whose compiled form still has a 16-bit length.
constexpr size_t kMaxSourceLength = 65528;

enum class Op : BYTE {
    None,
    Assign,        // :=
    List,          // :
    Add,
    Subtract,
    Multiply,
    Divide,
    Equal,
    NotEqual,
    Less,
    Greater,
    LessEqual,
    GreaterEqual,
    And,
    Or,
    Not,
};

enum class TokenKind : BYTE {
    End,        // after the last token
    Number,
    Text,       // "..." or {...}; text holds the content with escapes resolved
    Keyword,    // [...]; text holds the content
    Name,
    Function,   // @name; text holds the name without "@"
    Operator,
    Open,
    Close,
    Semicolon,
};

struct Token {
    TokenKind kind = TokenKind::End;
    size_t offset = 0;   // byte offset in the source
    size_t length = 0;   // bytes of source the token spans
    std::string text;
    double number = 0;
    Op op = Op::None;
    bool permuted = false;   // the operator was written with a leading "*"
};

struct SyntaxError {
    size_t offset = 0;
    std::string message;
};

// Splits LMBCS source into tokens, the last one End. False on a lexical
// error (unterminated string, unknown character ...).
bool Tokenize(std::string_view source, std::vector<Token>* tokens, SyntaxError* error);

enum class NodeKind : BYTE {
    Number,
    Text,
    Keyword,
    Name,
    Call,     // text: function name without "@"; operands: the arguments
    Prefix,   // op: Add, Subtract or Not; operands[0]
    Chain,    // operands joined by ops[i] between operands[i] and operands[i + 1]
    Assign,   // text: target; assign: its kind; operands[0]: the value
    Select,   // operands[0]
    Remark,
};

enum class AssignKind : BYTE { Variable, Field, Default, Environment };

struct ChainOp {
    Op op = Op::None;
    bool permuted = false;
};

struct Node {
    NodeKind kind = NodeKind::Number;
    size_t offset = 0;
    double number = 0;
    std::string text;
    Op op = Op::None;
    AssignKind assign = AssignKind::Variable;
    std::vector<std::unique_ptr<Node>> operands;
    std::vector<ChainOp> ops;
};

// The statements of a formula in order.
struct Formula {
    std::vector<std::unique_ptr<Node>> statements;
};

// Parses LMBCS source. False on a syntax error, which names the offset.
bool Parse(std::string_view source, Formula* formula, SyntaxError* error);

// ASCII letters folded to lower case; other bytes kept. Names compare this way.
std::string FoldName(std::string_view name);

} // namespace plat::formula
