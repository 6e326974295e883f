// The parser: recursive descent over the scanner's tokens, building the syntax tree. The
// first error ends the parse; nesting is bounded so that no text can exhaust the stack
// of the parser, the checker or the code generator.
#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "compiler/Scanner.h"
#include "compiler/Syntax.h"

namespace Syntax {

namespace {

using Scanner::Tok;
using Scanner::Token;

constexpr int kMaxNesting = 100; // statements, declarations, types, parentheses
constexpr int kMaxHeight = 400;  // the depth of an expression's tree

struct Failure {
  Ast::Pos pos;
  std::string message;
};

class Parser {
public:
  Parser(std::string_view source, Ast::Arena& arena) : lex_(source, arena), arena_(arena) {
    Advance();
  }

  Node* Unit();

private:
  // Tokens.
  void Advance() {
    prev_ = tok_;
    tok_ = lex_.Next();
    if (tok_.kind == Tok::Error) Fail(tok_.pos, std::string(tok_.text));
  }
  bool Is(Tok k) const { return tok_.kind == k; }
  bool Accept(Tok k) {
    if (!Is(k)) return false;
    Advance();
    return true;
  }
  void Expect(Tok k) {
    if (!Is(k)) Fail(tok_.pos, std::string(Scanner::Describe(k)) + " expected");
    Advance();
  }
  std::string_view Ident() {
    if (!Is(Tok::Ident)) Fail(tok_.pos, "identifier expected");
    std::string_view name = tok_.text;
    Advance();
    return name;
  }
  // A syntax error; at a keyword written in lower case ("begin"), that is the error.
  [[noreturn]] void Fail(Ast::Pos pos, std::string message) {
    for (const Token* t : {&tok_, &prev_}) {
      if (t->kind != Tok::Ident || (t == &prev_ && !LowerCaseKeyword(prev_.text, true))) continue;
      if (LowerCaseKeyword(t->text, false))
        throw Failure{t->pos, "keywords are upper case: " + Upper(t->text)};
    }
    throw Failure{pos, std::move(message)};
  }
  static std::string Upper(std::string_view word) {
    std::string upper(word);
    for (char& c : upper) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    return upper;
  }
  // Whether word is a keyword in lower case; with often, only one of those no program
  // takes for a name of its own (begin, end, then, ...), which a syntax error right after
  // it is blamed on.
  static bool LowerCaseKeyword(std::string_view word, bool often) {
    for (char c : word)
      if (c < 'a' || c > 'z') return false;
    if (Scanner::KeywordOf(Upper(word)) == Tok::Ident) return false;
    static constexpr std::string_view kOften[] = {"begin", "end",  "then",      "do",    "elsif",
                                                  "until", "else", "procedure", "module"};
    return !often || std::find(std::begin(kOften), std::end(kOften), word) != std::end(kOften);
  }
  // A structured statement begins at pos; its END closes it (EndOf).
  void Open(const char* what, Ast::Pos pos) { open_.push_back(Closed{what, pos, {}}); }
  [[noreturn]] void MissingEnd(const char* what, Ast::Pos begin, Ast::Pos at) {
    Fail(at,
         std::string("END of ") + what + " at line " + std::to_string(begin.line) + " expected");
  }
  void EndOf(const char* what, Ast::Pos pos) {
    if (!Is(Tok::End)) MissingEnd(what, pos, tok_.pos);
    if (!open_.empty()) open_.pop_back();
    closed_ = Closed{what, pos, tok_.pos};
    Advance();
  }

  Node* New(K kind, Ast::Pos pos) { return arena_.New<Node>(kind, pos); }
  Node* NewIdent() {
    Node* n = New(K::Ident, tok_.pos);
    n->name = Ident();
    return n;
  }
  // Bounds the depth of nested constructs of each kind; Leave on the way out.
  enum Nest { kStatements, kExpressions, kTypes, kDeclarations };
  void Enter(Nest kind) {
    static const char* const what[] = {"statements", "expression", "types", "declarations"};
    if (++nesting_[kind] > kMaxNesting)
      Fail(tok_.pos, std::string(what[kind]) + " too deeply nested");
  }
  void Leave(Nest kind) { --nesting_[kind]; }
  // n, whose tallest part is h high.
  Node* Grow(Node* n, int h) {
    if (h + 1 > kMaxHeight) Fail(n->pos, "expression too deeply nested");
    n->height = static_cast<std::uint16_t>(h + 1);
    return n;
  }
  Node* Height(Node* n, std::initializer_list<const Node*> parts) {
    int h = 0;
    for (const Node* p : parts)
      if (p != nullptr && p->height > h) h = p->height;
    return Grow(n, h);
  }
  // An operator of a chain a + b - c ...: the walkers of the tree follow its left
  // operands in a loop, so only its right operand adds to the height.
  Node* Chain(Node* b) { return Grow(b, std::max<int>(b->a->height - 1, b->b->height)); }
  int ListHeight(const Node* list) {
    int h = 0;
    for (; list != nullptr; list = list->next)
      if (list->height > h) h = list->height;
    return h;
  }

  // Lists are built through a tail pointer.
  struct ListBuilder {
    Node* head = nullptr;
    Node** tail = &head;
    void Add(Node* n) {
      *tail = n;
      tail = &n->next;
    }
  };

  Node* IdentList();
  Node* Qualident();
  void EndName(std::string_view name);

  // Modules and declarations.
  Node* Module(Ast::ModuleKind kind, Ast::Pos pos);
  Node* Imports();
  Node* Declarations(bool definition);
  void ConstDecls(ListBuilder& list);
  void TypeDecls(ListBuilder& list, bool definition);
  void VarDecls(ListBuilder& list);
  Node* ProcDecl(bool definition);
  Node* FormalType();

  // Types.
  Node* Type();
  Node* SimpleType();
  Node* FieldLists();
  Node* LabelList();

  // Statements and expressions.
  Node* Statements();
  Node* Statement();
  Node* Expression();
  Node* SimpleExpression();
  Node* Term();
  Node* Factor();
  Node* Designator();
  Node* Selectors(Node* d);
  Node* ExpList(Tok close);
  Node* SetConstructor(Node* type);
  Node* Element();

  Scanner::Lexer lex_;
  Ast::Arena& arena_;
  Token tok_;
  Token prev_;
  // The structured statement the last END closed, and where that END stood.
  struct Closed {
    const char* what = nullptr;
    Ast::Pos begin, end;
  };
  Closed closed_;
  std::vector<Closed> open_;             // the structured statements whose END is still to come
  std::vector<std::string_view> blocks_; // the modules and procedures whose bodies are open
  int nesting_[4] = {0, 0, 0, 0};
};

Node* Parser::IdentList() {
  ListBuilder list;
  list.Add(NewIdent());
  while (Accept(Tok::Comma)) list.Add(NewIdent());
  return list.head;
}

Node* Parser::Qualident() {
  Node* n = NewIdent();
  while (Is(Tok::Period)) {
    Advance();
    Node* s = New(K::Select, tok_.pos);
    s->a = n;
    s->name = Ident();
    n = s;
  }
  return n;
}

// The name after END must repeat the name of the module or procedure.
void Parser::EndName(std::string_view name) {
  if (!Is(Tok::Ident) || tok_.text != name)
    Fail(tok_.pos, "END " + std::string(name) + " expected");
  Advance();
}

Node* Parser::Unit() {
  const Ast::Pos pos = tok_.pos;
  Ast::ModuleKind kind = Ast::ModuleKind::Program;
  if (Accept(Tok::Definition)) {
    kind = Ast::ModuleKind::Definition;
  } else if (Accept(Tok::Implementation)) {
    kind = Ast::ModuleKind::Implementation;
  } else if (!Is(Tok::Module)) {
    Fail(tok_.pos, "MODULE expected");
  }
  Expect(Tok::Module);
  Node* m = Module(kind, pos);
  Expect(Tok::Period);
  return m;
}

// After MODULE: name, priority, imports, export, declarations, body and END name.
Node* Parser::Module(Ast::ModuleKind kind, Ast::Pos pos) {
  Node* m = New(K::ModuleDecl, pos);
  m->op = static_cast<std::uint8_t>(kind);
  m->name = Ident();
  if (kind != Ast::ModuleKind::Definition && Accept(Tok::LBracket)) {
    m->e = Expression();
    Expect(Tok::RBracket);
  }
  Expect(Tok::Semicolon);
  m->a = Imports();
  if (Is(Tok::Export)) {
    Node* x = New(K::Export, tok_.pos);
    Advance();
    if (Accept(Tok::Qualified)) x->flag = 1;
    x->a = IdentList();
    Expect(Tok::Semicolon);
    m->b = x;
  }
  const bool definition = kind == Ast::ModuleKind::Definition;
  m->c = Declarations(definition);
  blocks_.push_back(m->name);
  if (!definition && Accept(Tok::Begin)) m->d = Statements();
  blocks_.pop_back();
  m->end = tok_.pos;
  Expect(Tok::End);
  EndName(m->name);
  return m;
}

Node* Parser::Imports() {
  ListBuilder list;
  while (Is(Tok::From) || Is(Tok::Import)) {
    Node* i = New(K::Import, tok_.pos);
    if (Accept(Tok::From)) i->name = Ident();
    Expect(Tok::Import);
    i->a = IdentList();
    Expect(Tok::Semicolon);
    list.Add(i);
  }
  return list.head;
}

Node* Parser::Declarations(bool definition) {
  ListBuilder list;
  for (;;) {
    if (Accept(Tok::Const)) {
      ConstDecls(list);
    } else if (Accept(Tok::Type)) {
      TypeDecls(list, definition);
    } else if (Accept(Tok::Var)) {
      VarDecls(list);
    } else if (Is(Tok::Procedure)) {
      list.Add(ProcDecl(definition));
      Expect(Tok::Semicolon);
    } else if (Is(Tok::Module) && !definition) {
      const Ast::Pos pos = tok_.pos;
      Advance();
      Enter(kDeclarations);
      list.Add(Module(Ast::ModuleKind::Local, pos));
      Leave(kDeclarations);
      Expect(Tok::Semicolon);
    } else {
      return list.head;
    }
  }
}

void Parser::ConstDecls(ListBuilder& list) {
  while (Is(Tok::Ident)) {
    Node* d = New(K::ConstDecl, tok_.pos);
    d->name = Ident();
    Expect(Tok::Equal);
    d->a = Expression();
    Expect(Tok::Semicolon);
    list.Add(d);
  }
}

void Parser::TypeDecls(ListBuilder& list, bool definition) {
  while (Is(Tok::Ident)) {
    Node* d = New(K::TypeDecl, tok_.pos);
    d->name = Ident();
    if (!definition || Is(Tok::Equal)) {
      Expect(Tok::Equal);
      d->a = Type();
    }
    Expect(Tok::Semicolon);
    list.Add(d);
  }
}

void Parser::VarDecls(ListBuilder& list) {
  while (Is(Tok::Ident)) {
    Node* d = New(K::VarDecl, tok_.pos);
    d->a = IdentList();
    Expect(Tok::Colon);
    d->b = Type();
    Expect(Tok::Semicolon);
    list.Add(d);
  }
}

// PROCEDURE name [( sections )] [: result] ; and, outside definitions, the block.
Node* Parser::ProcDecl(bool definition) {
  Node* p = New(K::ProcDecl, tok_.pos);
  Expect(Tok::Procedure);
  p->name = Ident();
  if (Accept(Tok::LParen)) {
    p->flag |= 2;
    ListBuilder sections;
    if (!Is(Tok::RParen)) {
      do {
        Node* s = New(K::Section, tok_.pos);
        if (Accept(Tok::Var)) s->flag = 1;
        s->a = IdentList();
        Expect(Tok::Colon);
        s->b = FormalType();
        sections.Add(s);
      } while (Accept(Tok::Semicolon));
    }
    Expect(Tok::RParen);
    p->a = sections.head;
    if (Accept(Tok::Colon)) p->b = Qualident();
  }
  if (definition) return p;
  Expect(Tok::Semicolon);
  Enter(kDeclarations);
  p->flag |= 1;
  p->c = Declarations(false);
  blocks_.push_back(p->name);
  if (Accept(Tok::Begin)) p->d = Statements();
  blocks_.pop_back();
  p->end = tok_.pos;
  Expect(Tok::End);
  EndName(p->name);
  Leave(kDeclarations);
  return p;
}

Node* Parser::FormalType() {
  Node* f = New(K::FormalType, tok_.pos);
  if (Accept(Tok::Array)) {
    Expect(Tok::Of);
    f->flag |= 2;
  }
  f->a = Qualident();
  return f;
}

Node* Parser::Type() {
  Enter(kTypes);
  Node* t = nullptr;
  const Ast::Pos pos = tok_.pos;
  if (Accept(Tok::Array)) {
    t = New(K::ArrayType, pos);
    ListBuilder indexes;
    do indexes.Add(SimpleType());
    while (Accept(Tok::Comma));
    t->a = indexes.head;
    Expect(Tok::Of);
    t->b = Type();
  } else if (Accept(Tok::Record)) {
    t = New(K::RecordType, pos);
    t->a = FieldLists();
    Expect(Tok::End);
  } else if (Accept(Tok::Set)) {
    t = New(K::SetType, pos);
    Expect(Tok::Of);
    t->a = SimpleType();
  } else if (Accept(Tok::Pointer)) {
    t = New(K::PointerType, pos);
    Expect(Tok::To);
    t->a = Type();
  } else if (Accept(Tok::Procedure)) {
    t = New(K::ProcType, pos);
    if (Accept(Tok::LParen)) {
      t->flag = 1;
      ListBuilder formals;
      if (!Is(Tok::RParen)) {
        do {
          const Ast::Pos fpos = tok_.pos;
          const bool isVar = Accept(Tok::Var);
          Node* f = FormalType();
          f->pos = fpos;
          if (isVar) f->flag |= 1;
          formals.Add(f);
        } while (Accept(Tok::Comma));
      }
      Expect(Tok::RParen);
      t->a = formals.head;
      if (Accept(Tok::Colon)) t->b = Qualident();
    }
  } else {
    t = SimpleType();
  }
  Leave(kTypes);
  return t;
}

// A type name, an enumeration or a subrange (possibly with its base type's name).
Node* Parser::SimpleType() {
  const Ast::Pos pos = tok_.pos;
  if (Accept(Tok::LParen)) {
    Node* t = New(K::Enum, pos);
    t->a = IdentList();
    Expect(Tok::RParen);
    return t;
  }
  Node* base = nullptr;
  if (Is(Tok::Ident)) {
    base = Qualident();
    if (!Is(Tok::LBracket)) return base;
  }
  if (!Is(Tok::LBracket)) Fail(tok_.pos, "type expected");
  Node* t = New(K::Subrange, tok_.pos);
  Advance();
  t->a = Expression();
  Expect(Tok::Range);
  t->b = Expression();
  Expect(Tok::RBracket);
  t->c = base;
  return t;
}

Node* Parser::FieldLists() {
  ListBuilder list;
  do {
    if (Is(Tok::Ident)) {
      Node* f = New(K::FieldList, tok_.pos);
      f->a = IdentList();
      Expect(Tok::Colon);
      f->b = Type();
      list.Add(f);
    } else if (Is(Tok::Case)) {
      Enter(kTypes);
      Node* v = New(K::Variants, tok_.pos);
      Advance();
      // CASE [tag] : Type OF, or the older CASE tag : Type with the tag required.
      if (Is(Tok::Ident)) {
        Node* first = Qualident();
        if (Accept(Tok::Colon)) {
          if (first->kind != K::Ident) Fail(first->pos, "identifier expected");
          v->name = first->name;
          v->pos = first->pos;
          v->a = Qualident();
        } else {
          v->a = first;
        }
      } else {
        Expect(Tok::Colon);
        v->a = Qualident();
      }
      Expect(Tok::Of);
      ListBuilder variants;
      do {
        if (Is(Tok::Bar) || Is(Tok::Else) || Is(Tok::End)) continue;
        Node* arm = New(K::Variant, tok_.pos);
        arm->a = LabelList();
        Expect(Tok::Colon);
        arm->b = FieldLists();
        variants.Add(arm);
      } while (Accept(Tok::Bar));
      v->b = variants.head;
      if (Accept(Tok::Else)) v->c = FieldLists();
      Expect(Tok::End);
      Leave(kTypes);
      list.Add(v);
    }
  } while (Accept(Tok::Semicolon));
  return list.head;
}

Node* Parser::LabelList() {
  ListBuilder list;
  do list.Add(Element());
  while (Accept(Tok::Comma));
  return list.head;
}

// An expression, or a range lo..hi.
Node* Parser::Element() {
  Node* lo = Expression();
  if (!Is(Tok::Range)) return lo;
  Node* r = New(K::Range, lo->pos);
  Advance();
  r->a = lo;
  r->b = Expression();
  return Height(r, {r->a, r->b});
}

Node* Parser::Statements() {
  Enter(kStatements);
  ListBuilder list;
  do {
    if (Node* s = Statement()) list.Add(s);
    // Without ";" the next token must end the sequence.
    if (!Is(Tok::Semicolon) && !Is(Tok::End) && !Is(Tok::Else) && !Is(Tok::Elsif) &&
        !Is(Tok::Until) && !Is(Tok::Bar)) {
      // "END Name" right after a statement's END: that END was the block's, and a
      // statement inside lacks its own.
      if (Is(Tok::Ident) && !blocks_.empty() && tok_.text == blocks_.back() &&
          prev_.kind == Tok::End && closed_.what != nullptr && closed_.end.line == prev_.pos.line &&
          closed_.end.column == prev_.pos.column)
        MissingEnd(closed_.what, closed_.begin, prev_.pos);
      if (Is(Tok::Eof) && !open_.empty())
        MissingEnd(open_.back().what, open_.back().begin, tok_.pos);
      Fail(tok_.pos, "';' expected");
    }
  } while (Accept(Tok::Semicolon));
  Leave(kStatements);
  return list.head;
}

Node* Parser::Statement() {
  const Ast::Pos pos = tok_.pos;
  switch (tok_.kind) {
  case Tok::Ident: {
    Node* d = Designator();
    if (Accept(Tok::Becomes)) {
      Node* s = New(K::Assign, pos);
      s->a = d;
      s->b = Expression();
      return s;
    }
    if (Is(Tok::Equal)) Fail(tok_.pos, "':=' expected");
    if (Is(Tok::LParen)) {
      Node* c = New(K::Call, tok_.pos);
      Advance();
      c->a = d;
      c->b = ExpList(Tok::RParen);
      d = Height(c, {d});
    }
    Node* s = New(K::CallStmt, pos);
    s->a = d;
    return s;
  }
  case Tok::If: {
    Advance();
    Open("IF", pos);
    Node* s = New(K::If, pos);
    ListBuilder arms;
    do {
      Node* arm = New(K::Arm, tok_.pos);
      arm->a = Expression();
      Expect(Tok::Then);
      arm->b = Statements();
      arms.Add(arm);
    } while (Accept(Tok::Elsif));
    s->a = arms.head;
    if (Accept(Tok::Else)) {
      s->flag = 1;
      s->b = Statements();
    }
    EndOf("IF", pos);
    return s;
  }
  case Tok::Case: {
    Advance();
    Open("CASE", pos);
    Node* s = New(K::Case, pos);
    s->a = Expression();
    Expect(Tok::Of);
    ListBuilder arms;
    do {
      if (Is(Tok::Bar) || Is(Tok::Else) || Is(Tok::End)) continue;
      Node* arm = New(K::Arm, tok_.pos);
      arm->a = LabelList();
      Expect(Tok::Colon);
      arm->b = Statements();
      arms.Add(arm);
    } while (Accept(Tok::Bar));
    s->b = arms.head;
    if (Accept(Tok::Else)) {
      s->flag = 1;
      s->c = Statements();
    }
    EndOf("CASE", pos);
    return s;
  }
  case Tok::While: {
    Advance();
    Open("WHILE", pos);
    Node* s = New(K::While, pos);
    s->a = Expression();
    Expect(Tok::Do);
    s->b = Statements();
    EndOf("WHILE", pos);
    return s;
  }
  case Tok::Repeat: {
    Advance();
    Node* s = New(K::Repeat, pos);
    s->b = Statements();
    Expect(Tok::Until);
    s->a = Expression();
    return s;
  }
  case Tok::Loop: {
    Advance();
    Open("LOOP", pos);
    Node* s = New(K::Loop, pos);
    s->b = Statements();
    EndOf("LOOP", pos);
    return s;
  }
  case Tok::For: {
    Advance();
    Open("FOR", pos);
    Node* s = New(K::For, pos);
    s->e = NewIdent();
    s->name = s->e->name;
    Expect(Tok::Becomes);
    s->a = Expression();
    Expect(Tok::To);
    s->b = Expression();
    if (Accept(Tok::By)) s->c = Expression();
    Expect(Tok::Do);
    s->d = Statements();
    EndOf("FOR", pos);
    return s;
  }
  case Tok::With: {
    Advance();
    Open("WITH", pos);
    Node* s = New(K::With, pos);
    s->a = Designator();
    Expect(Tok::Do);
    s->b = Statements();
    EndOf("WITH", pos);
    return s;
  }
  case Tok::Exit:
    Advance();
    return New(K::Exit, pos);
  case Tok::Return: {
    Advance();
    Node* s = New(K::Return, pos);
    if (!Is(Tok::Semicolon) && !Is(Tok::End) && !Is(Tok::Else) && !Is(Tok::Elsif) &&
        !Is(Tok::Until) && !Is(Tok::Bar))
      s->a = Expression();
    return s;
  }
  case Tok::Semicolon:
  case Tok::End:
  case Tok::Else:
  case Tok::Elsif:
  case Tok::Until:
  case Tok::Bar:
    return nullptr; // the empty statement
  default:
    Fail(tok_.pos, "statement expected");
  }
}

Node* Parser::Expression() {
  Enter(kExpressions);
  Node* left = SimpleExpression();
  if (Is(Tok::Equal) || Is(Tok::Hash) || Is(Tok::Less) || Is(Tok::LessEqual) || Is(Tok::Greater) ||
      Is(Tok::GreaterEqual) || Is(Tok::In)) {
    Node* b = New(K::Binary, tok_.pos);
    b->op = static_cast<std::uint8_t>(tok_.kind);
    Advance();
    b->a = left;
    b->b = SimpleExpression();
    left = Height(b, {b->a, b->b});
  }
  Leave(kExpressions);
  return left;
}

Node* Parser::SimpleExpression() {
  Node* left = nullptr;
  if (Is(Tok::Plus) || Is(Tok::Minus)) {
    Node* u = New(K::Unary, tok_.pos);
    u->op = static_cast<std::uint8_t>(tok_.kind);
    Advance();
    u->a = Term();
    left = Height(u, {u->a});
  } else {
    left = Term();
  }
  while (Is(Tok::Plus) || Is(Tok::Minus) || Is(Tok::Or)) {
    Node* b = New(K::Binary, tok_.pos);
    b->op = static_cast<std::uint8_t>(tok_.kind);
    Advance();
    b->a = left;
    b->b = Term();
    left = Chain(b);
  }
  return left;
}

Node* Parser::Term() {
  Node* left = Factor();
  while (Is(Tok::Times) || Is(Tok::Slash) || Is(Tok::Div) || Is(Tok::Mod) || Is(Tok::And) ||
         Is(Tok::Ampersand)) {
    Node* b = New(K::Binary, tok_.pos);
    b->op = static_cast<std::uint8_t>(Is(Tok::Ampersand) ? Tok::And : tok_.kind);
    Advance();
    b->a = left;
    b->b = Factor();
    left = Chain(b);
  }
  return left;
}

Node* Parser::Factor() {
  const Ast::Pos pos = tok_.pos;
  switch (tok_.kind) {
  case Tok::Integer: {
    Node* n = New(K::Number, pos);
    n->value = tok_.value;
    Advance();
    return n;
  }
  case Tok::Real: {
    Node* n = New(K::Real, pos);
    n->real = tok_.real;
    Advance();
    return n;
  }
  case Tok::Char: {
    Node* n = New(K::CharLit, pos);
    n->value = tok_.value;
    Advance();
    return n;
  }
  case Tok::String: {
    Node* n = New(K::String, pos);
    n->name = tok_.text;
    Advance();
    return n;
  }
  case Tok::LBrace:
    return SetConstructor(nullptr);
  case Tok::LParen: {
    Advance();
    Node* e = Expression();
    Expect(Tok::RParen);
    return e;
  }
  case Tok::Not:
  case Tok::Tilde: {
    Node* u = New(K::Unary, pos);
    u->op = static_cast<std::uint8_t>(Tok::Not);
    Advance();
    Enter(kExpressions);
    u->a = Factor();
    Leave(kExpressions);
    return Height(u, {u->a});
  }
  case Tok::Ident: {
    Node* d = Designator();
    if (Is(Tok::LBrace)) return SetConstructor(d);
    if (Is(Tok::LParen)) {
      Node* c = New(K::Call, tok_.pos);
      Advance();
      c->a = d;
      c->b = ExpList(Tok::RParen);
      return Grow(c, std::max<int>(d->height, ListHeight(c->b)));
    }
    return d;
  }
  default:
    Fail(pos, "expression expected");
  }
}

Node* Parser::Designator() {
  Node* d = NewIdent();
  return Selectors(d);
}

Node* Parser::Selectors(Node* d) {
  for (;;) {
    const Ast::Pos pos = tok_.pos;
    if (Accept(Tok::Period)) {
      Node* s = New(K::Select, pos);
      s->a = d;
      s->name = Ident();
      d = Height(s, {d});
    } else if (Accept(Tok::LBracket)) {
      Node* s = New(K::Index, pos);
      s->a = d;
      s->b = ExpList(Tok::RBracket);
      if (s->b == nullptr) Fail(tok_.pos, "expression expected");
      d = Grow(s, std::max<int>(d->height, ListHeight(s->b)));
    } else if (Accept(Tok::Caret)) {
      Node* s = New(K::Deref, pos);
      s->a = d;
      d = Height(s, {d});
    } else {
      return d;
    }
  }
}

// Expressions separated by commas up to the closing token (already past the opening).
Node* Parser::ExpList(Tok close) {
  ListBuilder list;
  if (!Is(close)) {
    do list.Add(Expression());
    while (Accept(Tok::Comma));
  }
  Expect(close);
  return list.head;
}

Node* Parser::SetConstructor(Node* type) {
  Node* s = New(K::SetCons, type != nullptr ? type->pos : tok_.pos);
  Expect(Tok::LBrace);
  s->a = type;
  ListBuilder elements;
  if (!Is(Tok::RBrace)) {
    do elements.Add(Element());
    while (Accept(Tok::Comma));
  }
  Expect(Tok::RBrace);
  s->b = elements.head;
  return Grow(s, ListHeight(s->b));
}

} // namespace

Node* Parse(std::string_view source, Ast::Arena& arena, Error& error) {
  try {
    Parser parser(source, arena);
    return parser.Unit();
  } catch (const Failure& f) {
    error.pos = f.pos;
    error.message = f.message;
    return nullptr;
  }
}

} // namespace Syntax
