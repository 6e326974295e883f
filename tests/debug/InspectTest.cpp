// The variables of a run that trapped, read by what the compiler recorded: programs
// compiled and run by the machine stop in procedures with variables of every kind, and
// what the debugger shows of them must be what the programs themselves print.
#include "debug/Inspect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <random>
#include <string>

#include "../store/StoreTesting.h"
#include "../vm/ProgramWorld.h"
#include "compiler/Codegen.h"
#include "compiler/Compiler.h"
#include "modules/NativeModules.h"
#include "vm/Heap.h"
#include "vm/Trap.h"
#include "vm/Vm.h"

namespace {

std::string out;

void Int(Native::Call& c) { out += std::to_string(static_cast<std::int64_t>(c.args[0])) + " "; }
void Card(Native::Call& c) { out += std::to_string(c.args[0]) + " "; }
void Real(Native::Call& c) {
  char s[40];
  double r;
  std::memcpy(&r, &c.args[0], 8);
  out += std::string(s, std::to_chars(s, s + sizeof s, r).ptr) + " ";
}

const char kOut[] = R"(DEFINITION MODULE Out;
  PROCEDURE Int(i: LONGINT);
  PROCEDURE Card(c: LONGCARD);
  PROCEDURE Real(r: REAL);
END Out.
)";

class InspectTest : public StoreTesting::StoreTest {
protected:
  void SetUp() override {
    StoreTest::SetUp();
    library = ProgramWorld::Make();
    ASSERT_NE(library, nullptr);
    Native::Add(
        {"Out", {{0x4F75, 1, 1}}, kOut, {{"Int", Int, 1}, {"Card", Card, 1}, {"Real", Real, 1}}});
    ASSERT_TRUE(Native::RegisterAll(library));
    out.clear();
    Vm::SetReportProc([](const Vm::TrapReport&) {});
  }
  void TearDown() override {
    Codegen::SetSymbols(true);
    StoreTest::TearDown();
  }

  // Compiles, installs and runs a program that must trap; the trap's frames.
  const std::vector<Vm::Debug::Frame>& Trap(const std::string& source, const char* message) {
    Codegen::SetSourcePath("/User/test.mod");
    const Compiler::Result r =
        Compiler::CompileSource(source, {Buffer::Find("/Symbol"), Buffer::Find("/Object")});
    EXPECT_TRUE(r.ok) << r.line << ":" << r.column << ": " << r.message;
    module = r.ok ? Modules::Install(library, r.object) : nullptr;
    EXPECT_NE(module, nullptr);
    static const std::vector<Vm::Debug::Frame> none;
    if (module == nullptr) return none;
    out.clear();
    Vm::RunBody(module, Modules::Body(module));
    EXPECT_TRUE(Vm::LastRunTrapped());
    EXPECT_EQ(Vm::LastReport().message.substr(0, std::strlen(message)), message);
    EXPECT_FALSE(Vm::Debug::LastTrap().frames.empty());
    return Vm::Debug::LastTrap().frames;
  }

  // "name: type = text" of each value.
  static std::string Rows(const std::vector<Inspect::Value>& values) {
    std::string s;
    for (const Inspect::Value& v : values) s += v.name + ": " + v.type + " = " + v.text + "\n";
    return s;
  }
  static std::string Eval(const Vm::Debug::Frame& f, const std::string& e) {
    const Inspect::Result r = Inspect::Evaluate(f, e);
    return r.ok ? r.value.text : "error " + r.error;
  }

  Buffer::Ref library = nullptr;
  Modules::Ref module = nullptr;
};

const char kKinds[] = R"(MODULE Kinds;
IMPORT Out;
TYPE Colour = (red, green, blue);
  Small = [1..10];
  Point = RECORD x, y: INTEGER END;
  Node = POINTER TO NodeRec;
  NodeRec = RECORD value: INTEGER; next: Node END;
  Name = ARRAY [0..7] OF CHAR;
  Colours = SET OF Colour;
VAR g: INTEGER; gname: Name; row: ARRAY [0..2] OF INTEGER; gp: Point;
  many: ARRAY [0..99] OF Colour; grid: ARRAY Colour OF CHAR; total: LONGINT;

PROCEDURE Show(i: INTEGER; c: CARDINAL; ch: CHAR; b: BOOLEAN; r: REAL; col: Colour;
               s: BITSET; sm: Small; VAR v: INTEGER; p: Point; open: ARRAY OF INTEGER;
               name: ARRAY OF CHAR; n: Node);
VAR l: LONGINT; a: ARRAY [1..3] OF INTEGER; cs: Colours; k: INTEGER; nl: CHAR;
  dir: (north, south);
BEGIN
  l := -5000000000; a[1] := 10; a[2] := 20; a[3] := 30; cs := Colours{red, blue}; k := 7;
  nl := CHR(10); dir := south;
  Out.Int(i); Out.Card(c); Out.Card(ORD(ch)); Out.Int(ORD(b)); Out.Real(r); Out.Int(ORD(col));
  Out.Int(sm); Out.Int(v); Out.Int(p.x); Out.Int(p.y); Out.Int(HIGH(open)); Out.Int(HIGH(name));
  Out.Int(l); Out.Int(a[2]); Out.Int(k);
  HALT
END Show;

BEGIN
  g := 99; gname := "abc"; row[0] := 10; row[1] := 20; row[2] := 30; gp.x := 3; gp.y := 4;
  FOR g := 0 TO 99 DO many[g] := red END; many[50] := blue;
  grid[red] := 'r'; grid[green] := 'G'; grid[blue] := 'b'; total := 12345678901; g := 99;
  Show(-42, 4000000000, 'x', TRUE, 2.5, green, {1, 3..5}, 7, g, gp, row, gname, NIL)
END Kinds.
)";

TEST_F(InspectTest, LocalsOfEveryKindShowWhatTheProgramPrints) {
  const auto& frames = Trap(kKinds, "HALT");
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(out, "-42 4000000000 120 1 2.5 1 7 99 3 4 2 7 -5000000000 20 7 ");
  EXPECT_EQ(Rows(Inspect::Locals(frames[0])), R"(i: INTEGER = -42
c: CARDINAL = 4000000000
ch: CHAR = 'x' (120)
b: BOOLEAN = TRUE
r: REAL = 2.5
col: Colour = green
s: BITSET = {1, 3..5}
sm: Small = 7
v: INTEGER = 99
p: Point = (x = 3, y = 4)
open: ARRAY OF INTEGER = [10, 20, 30] (HIGH 2)
name: ARRAY OF CHAR = "abc" (HIGH 7)
n: Node = NIL
l: LONGINT = -5000000000
a: ARRAY [1..3] OF INTEGER = [10, 20, 30]
cs: Colours = {red, blue}
k: INTEGER = 7
nl: CHAR = 12C
dir: (north, south) = south
)");
  EXPECT_EQ(Rows(Inspect::Globals(frames[1])), R"(g: INTEGER = 99
gname: Name = "abc"
row: ARRAY [0..2] OF INTEGER = [10, 20, 30]
gp: Point = (x = 3, y = 4)
many: ARRAY [0..99] OF Colour = [red, red, red, red, red, red, red, red, ...]
grid: ARRAY Colour OF CHAR = "rGb"
total: LONGINT = 12345678901
)");
  // The module body has no variables of its own.
  EXPECT_TRUE(Inspect::Locals(frames[1]).empty());
}

TEST_F(InspectTest, RecordsAndArraysUnfoldAPageAtATime) {
  const auto& frames = Trap(kKinds, "HALT");
  ASSERT_FALSE(frames.empty());
  const std::vector<Inspect::Value> globals = Inspect::Globals(frames[0]);
  ASSERT_EQ(globals.size(), 7u);
  const Inspect::Value& many = globals[4];
  EXPECT_EQ(many.children, 100u);
  const std::vector<Inspect::Value> page = Inspect::Children(many, 48, 5);
  EXPECT_EQ(Rows(page), "[48]: Colour = red\n[49]: Colour = red\n[50]: Colour = blue\n"
                        "[51]: Colour = red\n[52]: Colour = red\n");
  EXPECT_EQ(Inspect::Children(many, 98, 10).size(), 2u);
  EXPECT_TRUE(Inspect::Children(many, 100, 10).empty());
  // An array indexed by an enumeration names its elements by the constants.
  EXPECT_EQ(Inspect::Children(globals[5], 1, 1)[0].name, "[green]");
  const std::vector<Inspect::Value> fields = Inspect::Children(globals[3], 0, 10);
  EXPECT_EQ(Rows(fields), "x: INTEGER = 3\ny: INTEGER = 4\n");
  // An open array parameter unfolds into its actual's elements.
  const std::vector<Inspect::Value> locals = Inspect::Locals(frames[0]);
  EXPECT_EQ(Rows(Inspect::Children(locals[10], 1, 5)), "[1]: INTEGER = 20\n[2]: INTEGER = 30\n");
  EXPECT_EQ(Inspect::Children(locals[11], 0, 8).size(), 8u);
}

struct Expression {
  const char* text;
  const char* value;
};

TEST_F(InspectTest, ExpressionsOverTheFrameAreTypedAndChecked) {
  const auto& frames = Trap(kKinds, "HALT");
  ASSERT_FALSE(frames.empty());
  const Expression cases[] = {
      {"i + 2", "-40"},
      {"i DIV 5", "-9"},
      {"i MOD 5", "3"},
      {"-i * 2", "84"},
      {"i * 100000000000", "-4200000000000"},
      {"c > 5", "TRUE"},
      {"ORD(ch)", "120"},
      {"CHR(65)", "'A' (65)"},
      {"101C", "'A' (65)"},
      {"ODD(k) & (k = 7)", "TRUE"},
      {"ABS(i)", "42"},
      {"HIGH(open)", "2"},
      {"HIGH(a)", "3"},
      {"col = green", "TRUE"},
      {"blue", "blue"},
      {"a[2] * 2 + a[1]", "50"},
      {"p.x + p.y", "7"},
      {"open[HIGH(open)]", "30"},
      {"name = 'abc'", "TRUE"},
      {"gname = \"abd\"", "FALSE"},
      {"name[1]", "'b' (98)"},
      {"r * 2.0", "5.0"},
      {"r / 2.0 < 1.5", "TRUE"},
      {"NOT b OR (k = 7)", "TRUE"},
      {"n = NIL", "TRUE"},
      {"(i > 0) AND (n^.value = 1)", "FALSE"},
      {"(i < 0) OR (n^.value = 1)", "TRUE"},
      {"(i < 0) OR n^.value", "error Incompatible types."},
      {"s", "{1, 3..5}"},
      {"v", "99"},
      {"0FFH + 17B", "270"},
      {"(n^.value = 1)", "error NIL dereference."},
      {"(i < 0) AND (n^.value = 1)", "error NIL dereference."},
      {"a[4]", "error Index out of range."},
      {"a[0]", "error Index out of range."},
      {"open[3]", "error Index out of range."},
      {"nothing", "error Unknown name: nothing"},
      {"i +", "error Syntax error."},
      {"a[1", "error Syntax error."},
      {"p.z", "error No field z."},
      {"i^", "error Not a pointer."},
      {"i.x", "error Not a record."},
      {"i DIV 0", "error Division by zero."},
      {"9223372036854775807 + 1", "error Overflow."},
      {"b + 1", "error Incompatible types."},
      {"col = 1", "error Incompatible types."},
      {"CHR(300)", "error Value out of range."},
  };
  for (const Expression& e : cases) EXPECT_EQ(Eval(frames[0], e.text), e.value) << e.text;
  // Results carry their types; designators their declared ones.
  EXPECT_EQ(Inspect::Evaluate(frames[0], "p").value.type, "Point");
  EXPECT_EQ(Inspect::Evaluate(frames[0], "p").value.children, 2u);
  EXPECT_EQ(Inspect::Evaluate(frames[0], "c > 5").value.type, "BOOLEAN");
  EXPECT_EQ(Inspect::Evaluate(frames[0], "r * 2.0").value.type, "REAL");
  EXPECT_EQ(Inspect::Evaluate(frames[0], "sm + 1").value.type, "Small");
  // Nesting has a bound, not the host's stack.
  EXPECT_EQ(Eval(frames[0], std::string(100000, '(') + "1"), "error Expression too complex.");
  std::string nots;
  for (int i = 0; i < 100000; ++i) nots += "NOT ";
  EXPECT_EQ(Eval(frames[0], nots + "b"), "error Expression too complex.");
  // The body's frame sees the module's variables, not Show's.
  EXPECT_EQ(Eval(frames[1], "g + row[2]"), "129");
  EXPECT_EQ(Eval(frames[1], "k"), "error Unknown name: k");
}

TEST_F(InspectTest, AssignmentsCheckTheVariablesTypes) {
  const auto& frames = Trap(kKinds, "HALT");
  ASSERT_FALSE(frames.empty());
  const Vm::Debug::Frame& f = frames[0];
  const Expression cases[] = {
      {"k", "-3"},         {"sm", "10"},        {"ch", "'q'"},    {"b", "FALSE"}, {"col", "blue"},
      {"r", "1.25"},       {"r", "3"},          {"v", "100"},     {"a[2]", "-7"}, {"p.y", "k * 2"},
      {"c", "4294967295"}, {"l", "-1"},         {"cs", "{}"},     {"sm", "11"},   {"sm", "0"},
      {"c", "-1"},         {"i", "2147483648"}, {"ch", "5"},      {"col", "3"},   {"b", "1"},
      {"p", "3"},          {"i + 1", "3"},      {"k", "nothing"}, {"a[9]", "1"},
  };
  std::string results;
  for (const Expression& e : cases) {
    const std::string error = Inspect::Assign(f, e.text, e.value);
    results +=
        std::string(e.text) + " := " + e.value + ": " + (error.empty() ? "done" : error) + "\n";
  }
  EXPECT_EQ(results, R"(k := -3: done
sm := 10: done
ch := 'q': done
b := FALSE: done
col := blue: done
r := 1.25: done
r := 3: done
v := 100: done
a[2] := -7: done
p.y := k * 2: done
c := 4294967295: done
l := -1: done
cs := {}: Only numbers, CHAR, BOOLEAN and enumerations can be changed.
sm := 11: Value out of range.
sm := 0: Value out of range.
c := -1: Value out of range.
i := 2147483648: Value out of range.
ch := 5: Incompatible types.
col := 3: Incompatible types.
b := 1: Incompatible types.
p := 3: Only numbers, CHAR, BOOLEAN and enumerations can be changed.
i + 1 := 3: Not a variable.
k := nothing: Unknown name: nothing
a[9] := 1: Index out of range.
)");
  const std::string changed = R"(i: INTEGER = -42
c: CARDINAL = 4294967295
ch: CHAR = 'q' (113)
b: BOOLEAN = FALSE
r: REAL = 3.0
col: Colour = blue
s: BITSET = {1, 3..5}
sm: Small = 10
v: INTEGER = 100
p: Point = (x = 3, y = -6)
)";
  EXPECT_EQ(Rows(Inspect::Locals(f)).substr(0, changed.size()), changed);
  EXPECT_EQ(Eval(f, "p.y"), "-6");
  EXPECT_EQ(Eval(f, "a[2]"), "-7");
  EXPECT_EQ(Eval(f, "l"), "-1");
  // A variable of a frame slot takes the whole slot, as the machine keeps it.
  const Inspect::Value k = Inspect::Evaluate(f, "k").value;
  std::int64_t slot;
  std::memcpy(&slot, reinterpret_cast<const void*>(k.address), 8);
  EXPECT_EQ(slot, -3);
  // The VAR parameter wrote the caller's variable.
  EXPECT_EQ(Eval(frames[1], "g"), "100");
}

TEST_F(InspectTest, EachFrameOfARecursionHasItsOwnValues) {
  const auto& frames = Trap(R"(MODULE Rec;
VAR a: ARRAY [0..3] OF INTEGER; depth: INTEGER;
PROCEDURE Down(n: INTEGER; VAR d: INTEGER);
VAR twice: INTEGER;
BEGIN
  twice := 2 * n; INC(d);
  IF n = 0 THEN a[n - 1] := 0 ELSE Down(n - 1, d) END
END Down;
BEGIN depth := 0; Down(4, depth)
END Rec.
)",
                            "index out of range");
  ASSERT_EQ(frames.size(), 6u);
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(Rows(Inspect::Locals(frames[k])),
              "n: INTEGER = " + std::to_string(k) +
                  "\nd: INTEGER = 5\ntwice: INTEGER = " + std::to_string(2 * k) + "\n");
    EXPECT_EQ(frames[k].where.procedure, "Down");
  }
}

TEST_F(InspectTest, NestedProceduresSeeTheirOuterVariablesThroughStaticLinks) {
  const auto& frames = Trap(R"(MODULE Nest;
IMPORT Out;
PROCEDURE Outer(x: INTEGER);
VAR total: INTEGER; arr: ARRAY [0..3] OF INTEGER;
  PROCEDURE Inner(y: INTEGER);
  VAR z: INTEGER;
    PROCEDURE Deepest;
    VAR j: INTEGER;
    BEGIN
      z := z + total + y; arr[2] := z; Out.Int(z); Out.Int(total);
      FOR j := 0 TO 9 DO arr[j] := j END
    END Deepest;
  BEGIN z := y * 2; Deepest END Inner;
BEGIN total := x + 1; arr[0] := 5; Inner(x * 10) END Outer;
BEGIN Outer(3)
END Nest.
)",
                            "index out of range");
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(out, "94 4 ");
  EXPECT_EQ(frames[0].where.procedure, "Outer.Inner.Deepest");
  EXPECT_EQ(Rows(Inspect::Locals(frames[0])), "j: INTEGER = 4\n");
  EXPECT_EQ(Eval(frames[0], "z"), "94");
  EXPECT_EQ(Eval(frames[0], "total + y + x"), "37");
  EXPECT_EQ(Eval(frames[0], "arr"), "[0, 1, 2, 3]");
  EXPECT_EQ(Rows(Inspect::Locals(frames[1])), "y: INTEGER = 30\nz: INTEGER = 94\n");
  EXPECT_EQ(Rows(Inspect::Locals(frames[2])),
            "x: INTEGER = 3\ntotal: INTEGER = 4\narr: ARRAY [0..3] OF INTEGER = [0, 1, 2, 3]\n");
  // Up-level variables change where they live.
  EXPECT_EQ(Inspect::Assign(frames[0], "total", "40"), "");
  EXPECT_EQ(Eval(frames[2], "total"), "40");
}

TEST_F(InspectTest, PointersAreFollowedAndNeverReadWhereNothingIs) {
  const auto& frames = Trap(R"(MODULE List;
FROM Mem IMPORT ALLOCATE, DEALLOCATE;
FROM SYSTEM IMPORT ADDRESS;
TYPE Node = POINTER TO RECORD value: INTEGER; next: Node END;
VAR head, p, wild: Node; i: INTEGER; f: PROCEDURE(INTEGER): INTEGER;
PROCEDURE Twice(x: INTEGER): INTEGER; BEGIN RETURN 2 * x END Twice;
BEGIN
  head := NIL;
  FOR i := 1 TO 3 DO NEW(p); p^.value := i; p^.next := head; head := p END;
  wild := Node(ADDRESS(16)); f := Twice;
  p := NIL; i := p^.value
END List.
)",
                            "NIL");
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(Eval(frames[0], "head^.value"), "3");
  EXPECT_EQ(Eval(frames[0], "head^.next^.next^.value"), "1");
  EXPECT_EQ(Eval(frames[0], "head^.next^.next^.next^.value"), "error NIL dereference.");
  EXPECT_EQ(Eval(frames[0], "head^.next^.next^.next = NIL"), "TRUE");
  EXPECT_EQ(Eval(frames[0], "p"), "NIL");
  EXPECT_EQ(Eval(frames[0], "f"), "Twice");
  EXPECT_EQ(Eval(frames[0], "wild"), "10H");
  EXPECT_EQ(Eval(frames[0], "wild^.value"), "error invalid address");
  EXPECT_EQ(Eval(frames[0], "wild^"), "error invalid address");
  EXPECT_EQ(Inspect::Assign(frames[0], "wild^.value", "1"), "invalid address");
  const Inspect::Value head = Inspect::Evaluate(frames[0], "head").value;
  ASSERT_EQ(head.children, 1u);
  const std::vector<Inspect::Value> target = Inspect::Children(head, 0, 1);
  ASSERT_EQ(target.size(), 1u);
  EXPECT_EQ(target[0].name, "head^");
  EXPECT_EQ(target[0].text.substr(0, 19), "(value = 3, next = ");
  const Inspect::Value wild = Inspect::Evaluate(frames[0], "wild").value;
  ASSERT_EQ(Inspect::Children(wild, 0, 1).size(), 1u);
  EXPECT_EQ(Inspect::Children(wild, 0, 1)[0].text, "invalid address");
}

// Module variables that a loop keeps in slots, and a control variable that lives in
// memory but is counted in a slot, show their current values, not the stale ones.
TEST_F(InspectTest, VariablesKeptInSlotsByLoopsShowTheirCurrentValues) {
  const auto& frames = Trap(R"(MODULE Loops;
VAR i, k, s: INTEGER; a: ARRAY [0..9] OF INTEGER;
BEGIN
  FOR i := 0 TO 9 DO a[i] := i END;
  s := 0; k := 0;
  IF i = 9 THEN WHILE TRUE DO s := s + a[k]; INC(k) END END
END Loops.
)",
                            "index out of range");
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(Eval(frames[0], "k"), "10");
  EXPECT_EQ(Eval(frames[0], "s"), "45");
  EXPECT_EQ(Eval(frames[0], "i"), "9");
  const auto& fill = Trap(R"(MODULE Loops2;
PROCEDURE Fill;
VAR j: INTEGER; b: ARRAY [0..3] OF INTEGER;
  PROCEDURE Look(): INTEGER; BEGIN RETURN j END Look;
BEGIN
  FOR j := 0 TO 9 DO b[j] := j END
END Fill;
BEGIN Fill
END Loops2.
)",
                          "index out of range");
  ASSERT_EQ(fill.size(), 2u);
  EXPECT_EQ(Rows(Inspect::Locals(fill[0])),
            "j: INTEGER = 4\nb: ARRAY [0..3] OF INTEGER = [0, 1, 2, 3]\n");
  EXPECT_EQ(Inspect::Assign(fill[0], "j", "2"), "");
  EXPECT_EQ(Eval(fill[0], "j"), "2");
}

TEST_F(InspectTest, EveryKindOfTrapLeavesItsLocalsReadable) {
  const struct {
    const char* statement;
    const char* message;
  } traps[] = {
      {"HALT", "HALT"},
      {"a[k + 5] := 1", "index out of range"},
      {"k := p^", "NIL"},
      {"CASE k OF 1: k := 2 END", "Case error"},
      {"k := MAX(INTEGER) - 2 + k", "integer overflow"},
  };
  for (const auto& t : traps) {
    SCOPED_TRACE(t.statement);
    const std::string source = std::string(R"(MODULE T;
PROCEDURE Go(x: CARDINAL);
VAR k: INTEGER; a: ARRAY [0..9] OF INTEGER; p: POINTER TO INTEGER;
BEGIN k := 5; p := NIL; )") + t.statement +
                               R"(
END Go;
BEGIN Go(8)
END T.
)";
    const auto& frames = Trap(source, t.message);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(Rows(Inspect::Locals(frames[0])).substr(0, 31), "x: CARDINAL = 8\nk: INTEGER = 5\n");
  }
}

TEST_F(InspectTest, ModuleDataInAHeapBlockIsFound) {
  const auto& frames = Trap(R"(MODULE Big;
VAR big: ARRAY [0..20000] OF INTEGER; n: INTEGER; name: ARRAY [0..3] OF CHAR;
BEGIN big[20000] := 7; n := 3; name := "xy"; HALT
END Big.
)",
                            "HALT");
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(Eval(frames[0], "big[20000] + n"), "10");
  EXPECT_EQ(Eval(frames[0], "name"), "\"xy\"");
  EXPECT_EQ(Inspect::Assign(frames[0], "big[19999]", "8"), "");
  EXPECT_EQ(Eval(frames[0], "big[19999]"), "8");
}

TEST_F(InspectTest, ProcessesFramesAreReadable) {
  const auto& frames = Trap(R"(MODULE Co;
FROM SYSTEM IMPORT PROCESS, NEWPROCESS, TRANSFER, ADR, WORD;
VAR main, worker: PROCESS; space: ARRAY [0..1023] OF WORD;
PROCEDURE Work;
VAR count: INTEGER;
BEGIN count := 12; HALT
END Work;
BEGIN
  NEWPROCESS(Work, ADR(space), SIZE(space), worker);
  TRANSFER(main, worker)
END Co.
)",
                            "HALT");
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames[0].where.procedure, "Work");
  EXPECT_EQ(Rows(Inspect::Locals(frames[0])), "count: INTEGER = 12\n");
}

// An object without the symbols, as compilers before them wrote, still installs and its
// traps are still reported; the debugger shows no variables.
TEST_F(InspectTest, ObjectsWithoutSymbolsStillRunAndReport) {
  Codegen::SetSymbols(false);
  const auto& frames = Trap(kKinds, "HALT");
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].where.procedure, "Show");
  const std::string kinds = kKinds;
  const auto halt = kinds.find("  HALT\n");
  EXPECT_EQ(frames[0].where.line, 1 + std::count(kinds.begin(), kinds.begin() + halt, '\n'));
  EXPECT_TRUE(Inspect::Locals(frames[0]).empty());
  EXPECT_TRUE(Inspect::Globals(frames[0]).empty());
  EXPECT_EQ(Eval(frames[0], "k"), "error No symbol information.");
  EXPECT_EQ(Inspect::Assign(frames[0], "k", "1"), "No symbol information.");
}

// Random text, and random changes of good expressions, never crash the evaluator.
TEST_F(InspectTest, EvaluatingAnyTextNeverCrashes) {
  const auto& frames = Trap(kKinds, "HALT");
  ASSERT_FALSE(frames.empty());
  const std::string pieces[] = {
      "a",   "[",   "]",   "^",  ".",    "(",    ")",     "n",
      "p",   "x",   "1",   "-",  "+",    "*",    "DIV",   "MOD",
      "=",   "#",   "'",   "\"", "open", "name", "HIGH",  "ORD",
      "CHR", "NOT", "AND", "OR", ",",    "0FFH", "1.5E3", "9999999999999999999",
      " ",   "s"};
  std::mt19937 random(30);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int n = static_cast<int>(random() % 12);
    for (int i = 0; i < n; ++i) {
      if (random() % 8 == 0)
        text += static_cast<char>(random() % 256);
      else
        text += pieces[random() % std::size(pieces)];
    }
    const Inspect::Result r = Inspect::Evaluate(frames[0], text);
    EXPECT_TRUE(r.ok || !r.error.empty()) << text;
  }
}

} // namespace
