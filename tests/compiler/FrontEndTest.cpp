// The checked tree the code generator receives: layout, folded constants, conversions,
// resolved names, numbering; and whole programs that must check.
#include "CompilerTesting.h"

namespace {

using namespace Ast;
using CompilerTesting::Checked;
using CompilerTesting::DeclOf;

Type* TypeNamed(const CompilationUnit& unit, std::string_view name) {
  Decl* d = DeclOf(unit, name);
  return d != nullptr ? static_cast<TypeDecl*>(d)->type : nullptr;
}

const Value& ConstNamed(const CompilationUnit& unit, std::string_view name) {
  static const Value none;
  Decl* d = DeclOf(unit, name);
  return d != nullptr ? static_cast<ConstDecl*>(d)->value : none;
}

TEST(FrontEndTest, TypesHaveTheFixedLayout) {
  auto unit = Checked(R"(MODULE M;
    TYPE
      R = RECORD a: CHAR; b: INTEGER; c: CHAR END;
      L = RECORD c: CHAR; l: LONGINT END;
      V = RECORD
            tag: CHAR;
            CASE kind: BOOLEAN OF
              TRUE: x: CHAR; y: REAL
            | FALSE: z: INTEGER
            END;
            after: CHAR
          END;
      S32 = SET OF [0..31]; S33 = SET OF [0..32]; S65 = SET OF [1..65]; SC = SET OF CHAR;
      E = (e0, e1, e2);
      A = ARRAY [1..3], ['a'..'b'] OF R;
      P = POINTER TO R;
      Q = PROCEDURE (VAR ARRAY OF CHAR): BOOLEAN;
      Sub = [-3..3];
    END M.)");
  ASSERT_NE(unit, nullptr);
  const auto offsets = [&](std::string_view name) {
    std::vector<int> v;
    for (const Field* f : TypeNamed(*unit, name)->fields) v.push_back(f->offset);
    return v;
  };
  struct Layout {
    const char* name;
    int size, align;
  };
  for (const Layout& l : std::initializer_list<Layout>{{"R", 12, 4},
                                                       {"L", 16, 8},
                                                       {"V", 24, 8},
                                                       {"S32", 4, 4},
                                                       {"S33", 8, 8},
                                                       {"S65", 16, 8},
                                                       {"SC", 32, 8},
                                                       {"E", 1, 1},
                                                       {"A", 72, 4},
                                                       {"P", 8, 8},
                                                       {"Q", 8, 8},
                                                       {"Sub", 4, 4}}) {
    const Type* t = TypeNamed(*unit, l.name);
    EXPECT_EQ(t->size, l.size) << l.name;
    EXPECT_EQ(t->align, l.align) << l.name;
  }
  EXPECT_EQ(offsets("R"), (std::vector<int>{0, 4, 8}));
  // tag, kind, x and y of one variant, z of the other from the same start, after.
  EXPECT_EQ(offsets("V"), (std::vector<int>{0, 1, 2, 8, 4, 16}));
  const Type* a = TypeNamed(*unit, "A");
  EXPECT_EQ(a->kind, TypeKind::Array);
  EXPECT_EQ(a->low, 1);
  EXPECT_EQ(a->length, 3);
  EXPECT_EQ(a->base->kind, TypeKind::Array);
  EXPECT_EQ(a->base->low, 'a');
  EXPECT_EQ(TypeNamed(*unit, "S65")->low, 1);
  EXPECT_EQ(TypeNamed(*unit, "Sub")->base, unit->integerType);
}

TEST(FrontEndTest, EnumerationsBeyond256ValuesTakeTwoBytes) {
  std::string source = "MODULE M; TYPE E = (v0";
  for (int i = 1; i < 300; ++i) source += ", v" + std::to_string(i);
  source += "); END M.";
  auto unit = Checked(source);
  ASSERT_NE(unit, nullptr);
  EXPECT_EQ(TypeNamed(*unit, "E")->size, 2);
  EXPECT_EQ(TypeNamed(*unit, "E")->high, 299);
}

TEST(FrontEndTest, ConstantExpressionsAreFolded) {
  auto unit = Checked(R"(MODULE M;
    FROM SYSTEM IMPORT TSIZE, ADDRESS;
    TYPE Color = (red, green, blue); Rec = RECORD a: CHAR; b: LONGREAL END;
    CONST
      d1 = -7 DIV 2; m1 = -7 MOD 2;          (* -(7 DIV 2), -(7 MOD 2) *)
      d2 = (-7) DIV 2; m2 = (-7) MOD 2;      (* Euclidean *)
      d3 = 7 DIV (-2); m3 = 7 MOD (-2);
      big = 0FFFFFFFFFFFFFFFFH; oct = 17B; ch = 101C; hex = 0FFH;
      r = 1.5E2 / 4.0; f = FLOAT(7) * 0.5; t = TRUNC(-2.7);
      s = {1, 3..5} + {8} - {4}; in = 3 IN s; sub = {1} <= s;
      c = CAP("q"); o = ORD("A") + ORD(blue); chr = CHR(66); v = VAL(Color, 1);
      mx = MAX(INTEGER); mn = MIN(LONGINT); mc = MAX(CARDINAL); hb = MAX(CHAR);
      sz = SIZE(Rec) + TSIZE(ADDRESS); odd = ODD(-3); ab = ABS(-5); cmp = "a" < "b";
      logic = (1 < 2) & ~(2 < 1) OR FALSE; str = "text";
    END M.)");
  ASSERT_NE(unit, nullptr);
  const auto i = [&](std::string_view name) { return ConstNamed(*unit, name).i; };
  EXPECT_EQ(i("d1"), -3);
  EXPECT_EQ(i("m1"), -1);
  EXPECT_EQ(i("d2"), -4);
  EXPECT_EQ(i("m2"), 1);
  EXPECT_EQ(i("d3"), -3);
  EXPECT_EQ(i("m3"), 1);
  EXPECT_EQ(static_cast<std::uint64_t>(i("big")), UINT64_MAX);
  EXPECT_EQ(static_cast<ConstDecl*>(DeclOf(*unit, "big"))->type, unit->longCardType);
  EXPECT_EQ(i("oct"), 15);
  EXPECT_EQ(i("ch"), 'A');
  EXPECT_EQ(i("hex"), 255);
  EXPECT_EQ(ConstNamed(*unit, "r").r, 37.5);
  EXPECT_EQ(ConstNamed(*unit, "f").r, 3.5);
  EXPECT_EQ(i("t"), -2);
  EXPECT_EQ(ConstNamed(*unit, "s").set[0], 0b100101010u);
  EXPECT_EQ(i("in"), 1);
  EXPECT_EQ(i("sub"), 1);
  EXPECT_EQ(i("c"), 'Q');
  EXPECT_EQ(i("o"), 67);
  EXPECT_EQ(i("chr"), 'B');
  EXPECT_EQ(i("v"), 1);
  EXPECT_EQ(i("mx"), INT32_MAX);
  EXPECT_EQ(i("mn"), INT64_MIN);
  EXPECT_EQ(i("mc"), UINT32_MAX);
  EXPECT_EQ(i("hb"), 255);
  EXPECT_EQ(i("sz"), 24);
  EXPECT_EQ(i("odd"), 1);
  EXPECT_EQ(i("ab"), 5);
  EXPECT_EQ(i("cmp"), 1);
  EXPECT_EQ(i("logic"), 1);
  EXPECT_EQ(static_cast<ConstDecl*>(DeclOf(*unit, "str"))->text, "text");
}

// Assignments between integer types convert with a range check where the target cannot
// hold every value of the source; constants are converted at compile time.
TEST(FrontEndTest, AssignmentsMakeConversionsExplicit) {
  auto unit = Checked(R"(MODULE M;
    VAR i: INTEGER; c: CARDINAL; l: LONGINT; s: [0..10]; ch: CHAR; r: REAL; lr: LONGREAL;
    BEGIN
      c := i; l := i; i := s; s := c; c := 7; ch := "x"; lr := r; i := i + s
    END M.)");
  ASSERT_NE(unit, nullptr);
  const StmtList& body = unit->module->body;
  ASSERT_EQ(body.size(), 8u);
  struct Expect {
    bool convert, checked;
  };
  const Expect expected[] = {{true, true},   {true, false},  {true, false}, {true, true},
                             {false, false}, {false, false}, {true, false}};
  for (std::size_t k = 0; k < std::size(expected); ++k) {
    const Expr* v = static_cast<const Assign*>(body[k])->value;
    EXPECT_EQ(v->type, static_cast<const Assign*>(body[k])->target->type) << k;
    EXPECT_EQ(v->kind == ExprKind::Convert, expected[k].convert) << k;
    if (v->kind == ExprKind::Convert) {
      EXPECT_EQ(static_cast<const Convert*>(v)->checked, expected[k].checked) << k;
    }
  }
  const auto* seven = static_cast<const Literal*>(static_cast<const Assign*>(body[4])->value);
  EXPECT_EQ(seven->type, unit->cardinalType);
  EXPECT_EQ(seven->value.i, 7);
  // i + s: the subrange of untyped bounds mixes with INTEGER.
  const auto* sum = static_cast<const Binary*>(static_cast<const Assign*>(body[7])->value);
  EXPECT_EQ(sum->type, unit->integerType);
  EXPECT_EQ(sum->right->kind, ExprKind::Convert);
}

TEST(FrontEndTest, NamesResolveToTheirDeclarations) {
  auto unit = Checked(R"(MODULE M;
    VAR g: INTEGER;
    PROCEDURE Outer(a: INTEGER; VAR b: ARRAY OF CHAR; c: ARRAY OF INTEGER);
      VAR l: CHAR; k: INTEGER;
      PROCEDURE Inner(): INTEGER;
      BEGIN RETURN a + k + Later() END Inner;
    BEGIN k := HIGH(b); l := b[0]; Inner2
    END Outer;
    PROCEDURE Later(): INTEGER; BEGIN RETURN g END Later;
    PROCEDURE Inner2; END Inner2;
    VAR h: CHAR;
    BEGIN h := "a"
    END M.)");
  ASSERT_NE(unit, nullptr);
  ASSERT_EQ(unit->procedures.size(), 5u);
  const Procedure* outer = unit->procedures[1];
  const Procedure* later = unit->procedures[2];
  const Procedure* inner = unit->procedures[4];
  EXPECT_EQ(outer->name, "Outer");
  EXPECT_EQ(later->name, "Later");
  EXPECT_EQ(unit->procedures[3]->name, "Inner2");
  EXPECT_EQ(inner->name, "Inner");
  EXPECT_EQ(inner->level, 1);
  EXPECT_EQ(inner->outer, outer);
  EXPECT_EQ(outer->paramWords, 5);
  EXPECT_EQ(outer->params[2]->offset, 3);
  EXPECT_EQ(outer->params[1]->varKind, VarKind::VarParam);
  EXPECT_TRUE(outer->params[1]->IsOpenArray());
  EXPECT_EQ(outer->localSize, 8);
  // RETURN a + k + Later(): a parameter and a local of Outer, a procedure declared later.
  const auto* ret = static_cast<const Return*>(inner->body[0]);
  const auto* sum = static_cast<const Binary*>(ret->value);
  const auto* ak = static_cast<const Binary*>(sum->left);
  EXPECT_EQ(static_cast<const VarRef*>(ak->left)->var, outer->params[0]);
  EXPECT_EQ(static_cast<const VarRef*>(ak->right)->var->proc, outer);
  EXPECT_EQ(static_cast<const CallExpr*>(sum->right)->proc, later);
  // k := HIGH(b) converts the CARDINAL HIGH to INTEGER.
  const auto* high = static_cast<const Convert*>(static_cast<const Assign*>(outer->body[0])->value);
  EXPECT_EQ(static_cast<const StdFunc*>(high->operand)->which, StdProc::High);
  // Globals: g then h, declared after the procedures that use them.
  EXPECT_EQ(static_cast<Variable*>(DeclOf(*unit, "h"))->offset, 4);
  EXPECT_EQ(unit->dataSize, 5);
}

TEST(FrontEndTest, WithForCaseAndLoopsAreResolved) {
  auto unit = Checked(R"(MODULE M;
    TYPE R = RECORD x, y: INTEGER END;
    VAR r: R; a: ARRAY [0..3] OF R; i: INTEGER; ch: CHAR;
    BEGIN
      WITH a[i] DO x := y END;
      FOR i := 10 TO 0 BY -2 DO END;
      CASE ch OF "a".."c", "x": | "0": ELSE END;
      LOOP EXIT END
    END M.)");
  ASSERT_NE(unit, nullptr);
  const StmtList& body = unit->module->body;
  const auto* with = static_cast<const With*>(body[0]);
  const auto* assign = static_cast<const Assign*>(with->body[0]);
  const auto* x = static_cast<const FieldRef*>(assign->target);
  EXPECT_EQ(x->record->kind, ExprKind::WithRec);
  EXPECT_EQ(static_cast<const WithRef*>(x->record)->with, with);
  EXPECT_EQ(x->field->offset, 0);
  EXPECT_EQ(static_cast<const FieldRef*>(assign->value)->field->offset, 4);
  EXPECT_EQ(static_cast<const For*>(body[1])->step, -2);
  const auto* cs = static_cast<const Case*>(body[2]);
  ASSERT_EQ(cs->arms.size(), 2u);
  EXPECT_EQ(cs->arms[0].labels.size(), 2u);
  EXPECT_EQ(cs->arms[0].labels[0].low, 'a');
  EXPECT_EQ(cs->arms[0].labels[0].high, 'c');
  EXPECT_TRUE(cs->hasElse);
  const auto* loop = static_cast<const Loop*>(body[3]);
  EXPECT_EQ(static_cast<const Exit*>(loop->body[0])->loop, loop);
  EXPECT_EQ(body[3]->pos.line, 8);
  EXPECT_EQ(body[3]->pos.column, 7);
}

TEST(FrontEndTest, NewCallsTheAllocateInScopeWithTheSize) {
  CompilerTesting::Start();
  CompilerTesting::Native("Storage", Modules::Key{{1, 2, 3}},
                          "DEFINITION MODULE Storage; FROM SYSTEM IMPORT ADDRESS;"
                          " PROCEDURE ALLOCATE(VAR a: ADDRESS; size: CARDINAL);"
                          " PROCEDURE DEALLOCATE(VAR a: ADDRESS; size: CARDINAL); END Storage.",
                          2);
  auto unit = Checked(R"(MODULE M;
    FROM Storage IMPORT ALLOCATE, DEALLOCATE;
    TYPE List = POINTER TO Node; Node = RECORD next: List; v: CHAR END;
    VAR p: List;
    BEGIN NEW(p); DISPOSE(p)
    END M.)");
  ASSERT_NE(unit, nullptr);
  ASSERT_EQ(unit->imports.size(), 1u);
  EXPECT_EQ(unit->imports[0]->name, "Storage");
  EXPECT_EQ(unit->imports[0]->key.word[2], 3);
  for (int k = 0; k < 2; ++k) {
    const CallExpr* call = static_cast<const CallStmt*>(unit->module->body[k])->call;
    EXPECT_EQ(call->proc->name, k == 0 ? "ALLOCATE" : "DEALLOCATE");
    EXPECT_EQ(call->proc->module->slot, 1);
    EXPECT_EQ(call->proc->number, k + 1);
    EXPECT_EQ(static_cast<const Literal*>(call->args[1].value)->value.i, 16);
  }
}

// An open array parameter receives an address and a HIGH: the HIGH of each kind of
// actual, in elements of the formal's element type (words or bytes for WORD and BYTE).
TEST(FrontEndTest, OpenArrayArgumentsCarryTheirHigh) {
  auto unit = Checked(R"(MODULE M;
    FROM SYSTEM IMPORT WORD, BYTE;
    VAR a: ARRAY [1..5] OF CHAR; r: RECORD x: LONGINT; c: CHAR END; n: INTEGER;
    PROCEDURE S(s: ARRAY OF CHAR); END S;
    PROCEDURE W(VAR w: ARRAY OF WORD); END W;
    PROCEDURE B(b: ARRAY OF BYTE); END B;
    PROCEDURE Pass(VAR t: ARRAY OF CHAR); BEGIN S(t); B(t) END Pass;
    BEGIN S(a); S("abc"); S("x"); S(""); W(r); W(n); B(r)
    END M.)");
  ASSERT_NE(unit, nullptr);
  const auto high = [](const Stmt* s) {
    return static_cast<const CallStmt*>(s)->call->args[0].high;
  };
  const auto literal = [&](const Stmt* s) { return static_cast<const Literal*>(high(s))->value.i; };
  const StmtList& body = unit->module->body;
  const std::int64_t expected[] = {4, 3, 0, 0, 3, 0, 15};
  for (std::size_t k = 0; k < std::size(expected); ++k)
    EXPECT_EQ(literal(body[k]), expected[k]) << k;
  const StmtList& pass = unit->procedures[4]->body;
  EXPECT_EQ(static_cast<const StdFunc*>(high(pass[0]))->which, StdProc::High);
  // (SIZE(t) + 0) DIV 1 - 1 bytes for the open array passed on as bytes.
  EXPECT_EQ(high(pass[1])->kind, ExprKind::Binary);
}

TEST(FrontEndTest, SetsWithRunTimeElements) {
  auto unit = Checked(R"(MODULE M;
    TYPE Small = SET OF [3..9];
    VAR s: Small; i: [3..9]; b: BOOLEAN; bits: BITSET; k: CARDINAL;
    BEGIN s := Small{3, i, 5..i}; b := 12 IN s; b := k IN bits; INCL(bits, k)
    END M.)");
  ASSERT_NE(unit, nullptr);
  const StmtList& body = unit->module->body;
  const auto* set = static_cast<const SetExpr*>(static_cast<const Assign*>(body[0])->value);
  ASSERT_EQ(set->kind, ExprKind::Set);
  EXPECT_EQ(set->constant.set[0], 1u); // element 3 is bit 0
  EXPECT_EQ(set->elements.size(), 2u);
  // An element outside the set's range is simply not in it.
  EXPECT_EQ(static_cast<const Literal*>(static_cast<const Assign*>(body[1])->value)->value.i, 0);
  const auto* in = static_cast<const Binary*>(static_cast<const Assign*>(body[2])->value);
  EXPECT_EQ(in->op, BinaryOp::In);
  EXPECT_EQ(in->left->type, unit->cardinalType);
  // INCL checks the element against BITSET's range.
  const auto* incl = static_cast<const StdProcCall*>(body[3]);
  EXPECT_TRUE(static_cast<const Convert*>(incl->args[1])->checked);
}

} // namespace
