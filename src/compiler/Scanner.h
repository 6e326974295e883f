// The scanner: the tokens of a Modula-2 text with their line and column (both 1-based).
// Comments (* ... *) nest; pragmas <* ... *> are skipped. Numbers: decimal, octal (17B),
// hexadecimal (0FFH), characters (101C) and reals with an optional scale factor (1.5E-3).
// Strings are enclosed in either quote and end on their line.
#pragma once

#include <cstdint>
#include <string_view>

#include "compiler/Arena.h"
#include "compiler/Ast.h"

namespace Scanner {

#define VELMARIN_KEYWORDS(X)                                                                       \
  X(And, "AND")                                                                                    \
  X(Array, "ARRAY")                                                                                \
  X(Begin, "BEGIN")                                                                                \
  X(By, "BY")                                                                                      \
  X(Case, "CASE")                                                                                  \
  X(Const, "CONST")                                                                                \
  X(Definition, "DEFINITION")                                                                      \
  X(Div, "DIV")                                                                                    \
  X(Do, "DO")                                                                                      \
  X(Else, "ELSE")                                                                                  \
  X(Elsif, "ELSIF")                                                                                \
  X(End, "END")                                                                                    \
  X(Exit, "EXIT")                                                                                  \
  X(Export, "EXPORT")                                                                              \
  X(For, "FOR")                                                                                    \
  X(From, "FROM")                                                                                  \
  X(If, "IF")                                                                                      \
  X(Implementation, "IMPLEMENTATION")                                                              \
  X(Import, "IMPORT")                                                                              \
  X(In, "IN")                                                                                      \
  X(Loop, "LOOP")                                                                                  \
  X(Mod, "MOD")                                                                                    \
  X(Module, "MODULE")                                                                              \
  X(Not, "NOT")                                                                                    \
  X(Of, "OF")                                                                                      \
  X(Or, "OR")                                                                                      \
  X(Pointer, "POINTER")                                                                            \
  X(Procedure, "PROCEDURE")                                                                        \
  X(Qualified, "QUALIFIED")                                                                        \
  X(Record, "RECORD")                                                                              \
  X(Repeat, "REPEAT")                                                                              \
  X(Return, "RETURN")                                                                              \
  X(Set, "SET")                                                                                    \
  X(Then, "THEN")                                                                                  \
  X(To, "TO")                                                                                      \
  X(Type, "TYPE")                                                                                  \
  X(Until, "UNTIL")                                                                                \
  X(Var, "VAR")                                                                                    \
  X(While, "WHILE")                                                                                \
  X(With, "WITH")

#define VELMARIN_SYMBOLS(X)                                                                        \
  X(Plus, "+")                                                                                     \
  X(Minus, "-")                                                                                    \
  X(Times, "*")                                                                                    \
  X(Slash, "/")                                                                                    \
  X(Becomes, ":=")                                                                                 \
  X(Ampersand, "&")                                                                                \
  X(Period, ".")                                                                                   \
  X(Comma, ",")                                                                                    \
  X(Semicolon, ";")                                                                                \
  X(LParen, "(")                                                                                   \
  X(RParen, ")")                                                                                   \
  X(LBracket, "[")                                                                                 \
  X(RBracket, "]")                                                                                 \
  X(LBrace, "{")                                                                                   \
  X(RBrace, "}")                                                                                   \
  X(Caret, "^")                                                                                    \
  X(Equal, "=")                                                                                    \
  X(Hash, "#")                                                                                     \
  X(Less, "<")                                                                                     \
  X(Greater, ">")                                                                                  \
  X(LessEqual, "<=")                                                                               \
  X(GreaterEqual, ">=")                                                                            \
  X(Range, "..")                                                                                   \
  X(Colon, ":")                                                                                    \
  X(Bar, "|")                                                                                      \
  X(Tilde, "~")

#define VELMARIN_TOKEN_ENUM(name, text) name,
enum class Tok : std::uint8_t {
  Eof,
  Ident,
  Integer, // value in `value`; `big` when it exceeds MAX(LONGINT)
  Real,    // value in `real`
  Char,    // nnnC: value in `value`
  String,  // characters in `text`
  Error,   // a malformed token: the message in `text`
  VELMARIN_SYMBOLS(VELMARIN_TOKEN_ENUM) VELMARIN_KEYWORDS(VELMARIN_TOKEN_ENUM)
};
#undef VELMARIN_TOKEN_ENUM

struct Token {
  Tok kind = Tok::Eof;
  Ast::Pos pos;
  std::string_view text; // identifiers (interned), strings, error messages
  std::uint64_t value = 0;
  double real = 0.0;
};

// How a token kind is named in messages: "';'", "END", "identifier", ...
std::string_view Describe(Tok kind);
// The keyword a word is (Tok::Ident when it is none).
Tok KeywordOf(std::string_view word);

class Lexer {
public:
  // Scans source, interning identifiers in arena. The text must stay alive.
  Lexer(std::string_view source, Ast::Arena& arena);
  Token Next();

private:
  void SkipSpaceAndComments(Token& error);
  Token Number();
  Ast::Pos Here() const { return {line_, static_cast<std::int32_t>(at_ - lineStart_) + 1}; }

  std::string_view src_;
  std::size_t at_ = 0;
  std::size_t lineStart_ = 0;
  std::int32_t line_ = 1;
  Ast::Arena& arena_;
};

} // namespace Scanner
