#include "compiler/Scanner.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string>

namespace Scanner {

namespace {

struct Keyword {
  std::string_view text;
  Tok kind;
};

#define VELMARIN_KEYWORD_ROW(name, text) Keyword{text, Tok::name},
constexpr std::array kKeywords = {VELMARIN_KEYWORDS(VELMARIN_KEYWORD_ROW)};
#undef VELMARIN_KEYWORD_ROW

// The keywords are listed in alphabetical order, so a binary search finds them.

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F'); }

} // namespace

Tok KeywordOf(std::string_view word) {
  auto it = std::lower_bound(kKeywords.begin(), kKeywords.end(), word,
                             [](const Keyword& k, std::string_view w) { return k.text < w; });
  return it != kKeywords.end() && it->text == word ? it->kind : Tok::Ident;
}

std::string_view Describe(Tok kind) {
  switch (kind) {
  case Tok::Eof:
    return "end of text";
  case Tok::Ident:
    return "identifier";
  case Tok::Integer:
    return "number";
  case Tok::Real:
    return "real number";
  case Tok::Char:
    return "character";
  case Tok::String:
    return "string";
  case Tok::Error:
    return "error";
#define VELMARIN_SYMBOL_TEXT(name, text)                                                           \
  case Tok::name:                                                                                  \
    return "'" text "'";
    VELMARIN_SYMBOLS(VELMARIN_SYMBOL_TEXT)
#undef VELMARIN_SYMBOL_TEXT
#define VELMARIN_KEYWORD_TEXT(name, text)                                                          \
  case Tok::name:                                                                                  \
    return text;
    VELMARIN_KEYWORDS(VELMARIN_KEYWORD_TEXT)
#undef VELMARIN_KEYWORD_TEXT
  }
  return "?";
}

Lexer::Lexer(std::string_view source, Ast::Arena& arena) : src_(source), arena_(arena) {}

void Lexer::SkipSpaceAndComments(Token& error) {
  while (at_ < src_.size()) {
    const char c = src_[at_];
    if (c == '\n') {
      ++at_;
      ++line_;
      lineStart_ = at_;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
      ++at_;
    } else if ((c == '(' || c == '<') && at_ + 1 < src_.size() && src_[at_ + 1] == '*') {
      // A comment nests; a pragma <* ... *> does not and is skipped as a whole.
      const bool pragma = c == '<';
      const Ast::Pos start = Here();
      int depth = 0;
      do {
        if (at_ + 1 < src_.size() && src_[at_] == '(' && src_[at_ + 1] == '*' && !pragma) {
          ++depth;
          at_ += 2;
        } else if (at_ + 1 < src_.size() && (src_[at_] == '(' || src_[at_] == '<') &&
                   src_[at_ + 1] == '*' && pragma && depth == 0) {
          depth = 1;
          at_ += 2;
        } else if (at_ + 1 < src_.size() && src_[at_] == '*' &&
                   src_[at_ + 1] == (pragma ? '>' : ')')) {
          --depth;
          at_ += 2;
        } else {
          if (src_[at_] == '\n') {
            ++line_;
            lineStart_ = at_ + 1;
          }
          ++at_;
        }
      } while (depth > 0 && at_ < src_.size());
      if (depth > 0) {
        error.kind = Tok::Error;
        error.pos = start;
        error.text = pragma ? "pragma not closed" : "comment not closed";
        return;
      }
    } else {
      return;
    }
  }
}

Token Lexer::Next() {
  Token t;
  SkipSpaceAndComments(t);
  if (t.kind == Tok::Error) return t;
  t.pos = Here();
  if (at_ >= src_.size()) {
    t.kind = Tok::Eof;
    return t;
  }
  const char c = src_[at_];
  if (IsLetter(c)) {
    const std::size_t start = at_;
    while (at_ < src_.size() && (IsLetter(src_[at_]) || IsDigit(src_[at_]) || src_[at_] == '_'))
      ++at_;
    const std::string_view word = src_.substr(start, at_ - start);
    t.kind = KeywordOf(word);
    if (t.kind == Tok::Ident) t.text = arena_.Intern(word);
  } else if (IsDigit(c)) {
    const Ast::Pos start = t.pos;
    t = Number();
    t.pos = start;
  } else if (c == '"' || c == '\'') {
    const std::size_t start = ++at_;
    while (at_ < src_.size() && src_[at_] != c && src_[at_] != '\n') ++at_;
    if (at_ >= src_.size() || src_[at_] != c) {
      t.kind = Tok::Error;
      t.text = "string not terminated";
    } else {
      t.kind = Tok::String;
      t.text = arena_.Copy(src_.substr(start, at_ - start));
      ++at_;
    }
  } else {
    const char d = at_ + 1 < src_.size() ? src_[at_ + 1] : 0;
    ++at_;
    switch (c) {
    case '+':
      t.kind = Tok::Plus;
      break;
    case '-':
      t.kind = Tok::Minus;
      break;
    case '*':
      t.kind = Tok::Times;
      break;
    case '/':
      t.kind = Tok::Slash;
      break;
    case '&':
      t.kind = Tok::Ampersand;
      break;
    case ',':
      t.kind = Tok::Comma;
      break;
    case ';':
      t.kind = Tok::Semicolon;
      break;
    case '(':
      t.kind = Tok::LParen;
      break;
    case ')':
      t.kind = Tok::RParen;
      break;
    case '[':
      t.kind = Tok::LBracket;
      break;
    case ']':
      t.kind = Tok::RBracket;
      break;
    case '{':
      t.kind = Tok::LBrace;
      break;
    case '}':
      t.kind = Tok::RBrace;
      break;
    case '^':
      t.kind = Tok::Caret;
      break;
    case '=':
      t.kind = Tok::Equal;
      break;
    case '#':
      t.kind = Tok::Hash;
      break;
    case '|':
      t.kind = Tok::Bar;
      break;
    case '~':
      t.kind = Tok::Tilde;
      break;
    case '.':
      if (d == '.') ++at_;
      t.kind = d == '.' ? Tok::Range : Tok::Period;
      break;
    case ':':
      if (d == '=') ++at_;
      t.kind = d == '=' ? Tok::Becomes : Tok::Colon;
      break;
    case '<':
      if (d == '=' || d == '>') ++at_;
      t.kind = d == '=' ? Tok::LessEqual : d == '>' ? Tok::Hash : Tok::Less;
      break;
    case '>':
      if (d == '=') ++at_;
      t.kind = d == '=' ? Tok::GreaterEqual : Tok::Greater;
      break;
    default:
      t.kind = Tok::Error;
      t.text = "illegal character";
      break;
    }
  }
  return t;
}

// Digits and the letters A..F, then an H (hexadecimal), or a final B (octal) or C
// (character, octal), or only decimal digits, possibly a real: digits "." digits and an
// optional scale factor E [+|-] digits.
Token Lexer::Number() {
  Token t;
  const std::size_t start = at_;
  while (at_ < src_.size() && IsHexDigit(src_[at_])) ++at_;
  std::string_view digits = src_.substr(start, at_ - start);
  const auto accumulate = [&](std::string_view ds, unsigned base) {
    std::uint64_t v = 0;
    for (char ch : ds) {
      const unsigned d = IsDigit(ch) ? unsigned(ch - '0') : unsigned(ch - 'A' + 10);
      if (d >= base) return false;
      if (v > (UINT64_MAX - d) / base) {
        t.kind = Tok::Error;
        t.text = "number too large";
        return true;
      }
      v = v * base + d;
    }
    t.value = v;
    return true;
  };
  const bool decimal = std::all_of(digits.begin(), digits.end(), IsDigit);
  t.kind = Tok::Integer;
  if (at_ < src_.size() && src_[at_] == 'H') {
    ++at_;
    accumulate(digits, 16);
  } else if (decimal && at_ < src_.size() && src_[at_] == '.' &&
             !(at_ + 1 < src_.size() && src_[at_ + 1] == '.')) {
    ++at_;
    while (at_ < src_.size() && IsDigit(src_[at_])) ++at_;
    if (at_ < src_.size() && src_[at_] == 'E') {
      std::size_t e = at_ + 1;
      if (e < src_.size() && (src_[e] == '+' || src_[e] == '-')) ++e;
      if (e < src_.size() && IsDigit(src_[e])) {
        at_ = e;
        while (at_ < src_.size() && IsDigit(src_[at_])) ++at_;
      } else {
        t.kind = Tok::Error;
        t.text = "digit expected in scale factor";
        return t;
      }
    }
    std::string text(src_.substr(start, at_ - start));
    double value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size()) {
      t.kind = Tok::Error;
      t.text = "real number out of range";
    } else {
      t.kind = Tok::Real;
      t.real = value;
    }
  } else if (!decimal && digits.size() > 1 && (digits.back() == 'B' || digits.back() == 'C')) {
    t.kind = digits.back() == 'B' ? Tok::Integer : Tok::Char;
    if (!accumulate(digits.substr(0, digits.size() - 1), 8)) {
      t.kind = Tok::Error;
      t.text = "illegal number";
    } else if (t.kind == Tok::Char && t.value > 255) {
      t.kind = Tok::Error;
      t.text = "character code too large";
    }
  } else if (decimal) {
    accumulate(digits, 10);
  } else {
    t.kind = Tok::Error;
    t.text = "illegal number";
  }
  if (t.kind != Tok::Error && at_ < src_.size() &&
      (IsLetter(src_[at_]) || IsDigit(src_[at_]) || src_[at_] == '_')) {
    t.kind = Tok::Error;
    t.text = "illegal number";
  }
  return t;
}

} // namespace Scanner
