// The code generator end to end on small programs: compiled by the front end, installed
// by the module manager, run by the machine. Output goes through the test's own native
// module Out; NEW and DISPOSE through its module Mem. Programs run both in the interpreter
// and translated into the processor's code, with the same output and traps.
#include "compiler/Codegen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "../store/StoreTesting.h"
#include "LargeModule.h"
#include "ProgramWorld.h"
#include "base/ByteOrder.h"
#include "compiler/Compiler.h"
#include "jit/Jit.h"
#include "modules/NativeModules.h"
#include "vm/Debug.h"
#include "vm/Heap.h"
#include "vm/Isa.h"
#include "vm/Trap.h"
#include "vm/Vm.h"

namespace {

std::string out;

void Int(Native::Call& c) { out += std::to_string(static_cast<std::int32_t>(c.args[0])) + " "; }
void LongInt(Native::Call& c) { out += std::to_string(static_cast<std::int64_t>(c.args[0])) + " "; }
void Card(Native::Call& c) { out += std::to_string(static_cast<std::uint32_t>(c.args[0])) + " "; }
void Real(Native::Call& c) {
  char s[40];
  std::snprintf(s, sizeof s, "%g ", std::bit_cast<double>(c.args[0]));
  out += s;
}
void Char(Native::Call& c) { out += static_cast<char>(c.args[0]); }
void Str(Native::Call& c) { out += base::ToString(c.Text(0)); }
void Ln(Native::Call&) { out += "\n"; }
void Bool(Native::Call& c) { out += c.args[0] != 0 ? "T " : "F "; }
void Apply(Native::Call& c) {
  const std::uint64_t x = c.args[1];
  c.result = Vm::CallProcedure(c.args[0], std::span<const std::uint64_t>(&x, 1));
}
const char kOut[] = R"(DEFINITION MODULE Out;
  TYPE F = PROCEDURE(INTEGER): INTEGER;
  VAR count: INTEGER;
  PROCEDURE Int(i: INTEGER);
  PROCEDURE LongInt(i: LONGINT);
  PROCEDURE Card(c: CARDINAL);
  PROCEDURE Real(r: REAL);
  PROCEDURE Char(c: CHAR);
  PROCEDURE Str(s: ARRAY OF CHAR);
  PROCEDURE Ln;
  PROCEDURE Bool(b: BOOLEAN);
  PROCEDURE Apply(p: F; x: INTEGER): INTEGER;
END Out.
)";

class CodegenTest : public StoreTesting::StoreTest {
protected:
  void SetUp() override {
    StoreTest::SetUp();
    library = ProgramWorld::Make();
    ASSERT_NE(library, nullptr);
    Native::Add({"Out",
                 {{0x4F75, 1, 1}},
                 kOut,
                 {{"Int", Int, 1},
                  {"LongInt", LongInt, 1},
                  {"Card", Card, 1},
                  {"Real", Real, 1},
                  {"Char", Char, 1},
                  {"Str", Str, 2},
                  {"Ln", Ln, 0},
                  {"Bool", Bool, 1},
                  {"Apply", Apply, 2}},
                 nullptr,
                 8});
    ASSERT_TRUE(Native::RegisterAll(library));
    out.clear();
    Vm::SetReportProc([](const Vm::TrapReport&) {});
  }
  void TearDown() override {
    Jit::Remove();
    Vm::SetInterruptProc(nullptr);
    StoreTest::TearDown();
  }

  // Compiles and installs; "" or the first error as "LINE:COLUMN: MESSAGE".
  std::string Compile(const std::string& source) {
    Codegen::SetSourcePath("/User/test.mod");
    const Compiler::Result r =
        Compiler::CompileSource(source, {Buffer::Find("/Symbol"), Buffer::Find("/Object")});
    if (!r.ok) return std::to_string(r.line) + ":" + std::to_string(r.column) + ": " + r.message;
    if (r.object != nullptr && Modules::Install(library, r.object) == nullptr)
      return "not installed";
    return "";
  }
  // Compiles and runs a program: what it wrote, then the trap's message if one ended it.
  std::string Run(const std::string& source) {
    const std::string error = Compile(source);
    if (!error.empty()) return "error " + error;
    const std::size_t name = source.find("MODULE ") + 7;
    Modules::Ref m =
        Modules::Find(library, source.substr(name, source.find_first_of(";[ ", name) - name));
    if (Modules::Info(m).state != Modules::ModuleState::Ready) return "not ready";
    out.clear();
    Vm::RunBody(m, Modules::Body(m));
    if (Vm::LastRunTrapped()) out += "trap " + Vm::LastReport().message;
    return out;
  }

  Buffer::Ref library = nullptr;
};

std::string Program(const std::string& declarations, const std::string& body) {
  return "MODULE P;\nIMPORT Out;\nFROM Out IMPORT Int, LongInt, Card, Real, Char, Str, Ln, "
         "Bool;\n" +
         declarations + "\nBEGIN\n" + body + "\nEND P.\n";
}

struct Case {
  const char* name;
  const char* declarations;
  const char* body;
  const char* output;
};

const Case kCases[] = {
    {"Arithmetic", "VAR i, j: INTEGER; c: CARDINAL; l: LONGINT;",
     "i := 7; j := -2; Int(i + j); Int(i * j); Int(i DIV j); Int(i MOD j); Int((-i) DIV 2); "
     "Int((-i) MOD 2); Int(-i DIV 2);"
     "c := 10; Card(c DIV 3); Card(c MOD 3); l := 1000000; LongInt(l * l)",
     "5 -14 -3 1 -4 1 -3 3 1 1000000000000 "},
    {"Overflow", "VAR i: INTEGER;", "i := MAX(INTEGER); INC(i)", "trap integer overflow"},
    {"CardinalBelowZero", "VAR c: CARDINAL;", "c := 0; DEC(c)", "trap integer overflow"},
    {"UnassignedVariableNamed", "VAR scale, n: INTEGER;",
     "n := 3; Int(n * 1000); Int(scale * 1000)",
     "3000 trap integer overflow (the variable scale was never assigned?)"},
    {"Reals", "VAR x, y: REAL; i: INTEGER;",
     "x := 1.5; y := x * 4.0 - 1.0; Real(y); Real(y / 4.0); i := TRUNC(y); Int(i); Real(FLOAT(i) + "
     "0.5);"
     "IF x < y THEN Str('lt') END",
     "5 1.25 5 5.5 lt"},
    {"RealDivisionByZero", "VAR x: REAL;", "x := 0.0; Real(1.0 / x)", "trap division by zero"},
    {"ControlFlow", "VAR i, s: INTEGER;",
     "s := 0; FOR i := 1 TO 10 DO IF ODD(i) THEN s := s + i END END; Int(s);"
     "i := 0; WHILE i < 5 DO INC(i, 2) END; Int(i);"
     "REPEAT DEC(i) UNTIL i <= 0; Int(i);"
     "LOOP INC(i); IF i = 3 THEN EXIT END END; Int(i);"
     "FOR i := 10 TO 1 BY -3 DO Int(i) END; FOR i := 1 TO 0 DO Int(99) END",
     "25 6 0 3 10 7 4 1 "},
    {"Case", "VAR i: INTEGER;",
     "FOR i := 0 TO 5 DO CASE i OF 0: Char('a') | 1..2: Char('b') | 4: Char('c') ELSE Char('-') "
     "END END;"
     "CASE i OF 100: Char('x') | 1000000: Char('y') ELSE Char('z') END;"
     "CASE i OF 1: Char('q') END",
     "abb-c-ztrap Case error."},
    {"Arrays",
     "VAR a: ARRAY [1..5] OF INTEGER; m: ARRAY [0..2], [0..2] OF CHAR; i: INTEGER; k, j: CARDINAL;",
     "FOR i := 1 TO 5 DO a[i] := i * i END; Int(a[3] + a[5]);"
     "FOR k := 0 TO 2 DO FOR j := 0 TO 2 DO m[k, j] := CHR(ORD('a') + k * 3 + j) END END;"
     "Char(m[2, 1]); Char(m[0][2]); i := 6; Int(a[i])",
     "34 hctrap index out of range"},
    {"RecordsAndWith",
     "TYPE R = RECORD x, y: INTEGER; name: ARRAY [0..7] OF CHAR END;"
     "VAR r, s: R; rs: ARRAY [0..3] OF R; i: INTEGER;",
     "r.x := 1; r.y := 2; r.name := 'abc'; s := r; Int(s.x + s.y); Str(s.name); Ln;"
     "FOR i := 0 TO 3 DO WITH rs[i] DO x := i; y := 10 * i END END; Int(rs[2].x + rs[3].y)",
     "3 abc\n32 "},
    {"Strings",
     "VAR s: ARRAY [0..9] OF CHAR; t: ARRAY [0..2] OF CHAR;"
     "PROCEDURE Len(a: ARRAY OF CHAR): CARDINAL; VAR n: CARDINAL;"
     "BEGIN n := 0; WHILE (n <= HIGH(a)) & (a[n] # 0C) DO INC(n) END; RETURN n END Len;",
     "s := 'hello'; Card(Len(s)); Card(Len('ab')); Card(Len('')); t := 'xyz'; Card(Len(t)); "
     "Card(HIGH(s))",
     "5 2 0 3 9 "},
    {"OpenArraysAreCopiedWhenChanged",
     "VAR a: ARRAY [0..3] OF INTEGER; i: INTEGER;"
     "PROCEDURE Sum(VAR v: ARRAY OF INTEGER): INTEGER; VAR i, s: INTEGER;"
     "BEGIN s := 0; FOR i := 0 TO HIGH(v) DO s := s + v[i] END; RETURN s END Sum;"
     "PROCEDURE Clear(v: ARRAY OF INTEGER): INTEGER;"
     "BEGIN v[0] := 100; RETURN Sum(v) END Clear;"
     "PROCEDURE Set(VAR v: ARRAY OF INTEGER); BEGIN v[HIGH(v)] := -1 END Set;",
     "FOR i := 0 TO 3 DO a[i] := i END; Int(Clear(a)); Int(Sum(a)); Set(a); Int(a[3])",
     "106 6 -1 "},
    {"NestedProceduresReachOuterVariables",
     "PROCEDURE Outer(n: INTEGER): INTEGER;"
     "  VAR total: INTEGER; a: ARRAY [0..2] OF INTEGER;"
     "  PROCEDURE Add(k: INTEGER); BEGIN total := total + k; a[1] := total END Add;"
     "  PROCEDURE Twice; PROCEDURE Inner; BEGIN Add(n) END Inner; BEGIN Inner; Inner END Twice;"
     "BEGIN total := 0; Twice; Add(1); RETURN total * 10 + a[1] END Outer;",
     "Int(Outer(5))", "121 "},
    {"VarParametersOfRegisterVariables",
     "VAR g: INTEGER;"
     "PROCEDURE Swap(VAR a, b: INTEGER); VAR t: INTEGER; BEGIN t := a; a := b; b := t END Swap;"
     "PROCEDURE Local(): INTEGER; VAR x, y: INTEGER; c: CHAR;"
     "PROCEDURE SetC(VAR ch: CHAR); BEGIN ch := 'Q' END SetC;"
     "BEGIN x := -3; y := 4; Swap(x, y); SetC(c); Char(c); RETURN x * 10 + y END Local;",
     "Int(Local()); g := 1", "Q37 "},
    {"Pointers",
     "FROM Mem IMPORT ALLOCATE, DEALLOCATE;"
     "TYPE List = POINTER TO Node; Node = RECORD value: INTEGER; next: List END;"
     "VAR head, p: List; i, s: INTEGER;",
     "head := NIL; FOR i := 1 TO 4 DO NEW(p); p^.value := i; p^.next := head; head := p END;"
     "s := 0; p := head; WHILE p # NIL DO s := s * 10 + p^.value; p := p^.next END; Int(s);"
     "p := head; DISPOSE(head); Int(p^.value)",
     "4321 trap dereference of a disposed pointer"},
    {"NilDereference", "TYPE P = POINTER TO INTEGER; VAR p: P;", "p := NIL; p^ := 1",
     "trap NIL dereference"},
    {"Sets",
     "TYPE Small = SET OF [0..9]; Big = SET OF [0..99];"
     "VAR s: Small; b, c: Big; i: INTEGER; bs: BITSET;",
     "s := Small{1, 3..5}; INCL(s, 9); EXCL(s, 4); FOR i := 0 TO 9 DO IF i IN s THEN Int(i) END "
     "END;"
     "b := Big{2, 50..52, 99}; c := b + Big{7}; INCL(c, 60); FOR i := 0 TO 99 DO IF i IN c THEN "
     "Int(i) END END;"
     "Bool(b <= c); Bool(c <= b); Bool(b = c - Big{7, 60}); bs := {0, 31}; Bool(31 IN bs); i := "
     "10; INCL(s, i)",
     "1 3 5 9 2 7 50 51 52 60 99 T F T T trap value out of range"},
    {"ProcedureValues",
     "TYPE F = PROCEDURE(INTEGER): INTEGER; VAR f: F; g: PROC;"
     "PROCEDURE Sq(x: INTEGER): INTEGER; BEGIN RETURN x * x END Sq;"
     "PROCEDURE Neg(x: INTEGER): INTEGER; BEGIN RETURN -x END Neg;"
     "PROCEDURE Hello; BEGIN Str('hi') END Hello;",
     "f := Sq; Int(f(7)); f := Neg; Int(f(7)); Int(Out.Apply(Sq, 9)); g := Hello; g; g := NIL; g",
     "49 -7 81 hitrap call of a NIL procedure"},
    {"SubrangesAndConversions",
     "TYPE Digit = [0..9]; Color = (red, green, blue); VAR d: Digit; c: Color; i: INTEGER; ch: "
     "CHAR;",
     "d := 9; c := green; INC(c); Int(ORD(c)); ch := CHR(66); Char(ch); Int(ORD(CAP('q')));"
     "i := -1; Card(CARDINAL(ABS(i))); i := 10; d := i",
     "2 B81 1 trap value out of range"},
    {"FunctionWithoutReturn",
     "PROCEDURE F(x: INTEGER): INTEGER; BEGIN IF x > 0 THEN RETURN x END END F;",
     "Int(F(1)); Int(F(0))", "1 trap Function return error."},
    {"HaltAndImportedVariables", "", "Out.count := 41; INC(Out.count); Int(Out.count); HALT",
     "42 trap HALT called."},
    {"DeepRecursion",
     "PROCEDURE D(n: CARDINAL): CARDINAL; BEGIN IF n = 0 THEN RETURN 0 END; RETURN D(n - 1) + 1 "
     "END D;",
     "Card(D(100000))", "100000 "},
    {"ProcessesKeepTheirFramesAcrossTransfers",
     "FROM SYSTEM IMPORT PROCESS, NEWPROCESS, TRANSFER, WORD, ADR;"
     "VAR main, a, b: PROCESS; wa, wb: ARRAY [0..511] OF WORD; g: INTEGER;"
     "PROCEDURE Count(VAR me: PROCESS; step: INTEGER); VAR n: INTEGER;"
     "BEGIN n := 0; LOOP INC(n, step); g := n; TRANSFER(me, main) END END Count;"
     "PROCEDURE A; BEGIN Count(a, 1) END A; PROCEDURE B; BEGIN Count(b, 100) END B;",
     "NEWPROCESS(A, ADR(wa), SIZE(wa), a); NEWPROCESS(B, ADR(wb), SIZE(wb), b);"
     "TRANSFER(main, a); Int(g); TRANSFER(main, b); Int(g); TRANSFER(main, a); Int(g);"
     "TRANSFER(main, b); Int(g)",
     "1 100 2 200 "},
    {"TransferToAProcessNeverMade", "FROM SYSTEM IMPORT PROCESS, TRANSFER; VAR p, q: PROCESS;",
     "TRANSFER(p, q)", "trap TRANSFER to a process that NEWPROCESS did not make"},
    {"WorkspaceOutsideTheProgram",
     "FROM SYSTEM IMPORT PROCESS, NEWPROCESS, ADDRESS; VAR p: PROCESS;"
     "PROCEDURE W; END W;",
     "NEWPROCESS(W, ADDRESS(4096), 1000, p)",
     "trap NEWPROCESS: the workspace is not memory of the program"},
    {"NilProcessProcedure",
     "FROM SYSTEM IMPORT PROCESS, NEWPROCESS, WORD, ADR; VAR p: PROCESS; w: ARRAY [0..99] OF WORD;"
     "q: PROC;",
     "q := NIL; NEWPROCESS(q, ADR(w), SIZE(w), p)", "trap call of a NIL procedure"},
    {"WorkspaceOfTheRunningProcess",
     "FROM SYSTEM IMPORT PROCESS, NEWPROCESS, TRANSFER, WORD, ADR;"
     "VAR main, p, q: PROCESS; w: ARRAY [0..511] OF WORD;"
     "PROCEDURE W; BEGIN Str('in W '); NEWPROCESS(W, ADR(w), SIZE(w), q) END W;",
     "NEWPROCESS(W, ADR(w), SIZE(w), p); TRANSFER(main, p)",
     "in W trap NEWPROCESS: the workspace of the running process"},
    {"DisposedWorkspaceHoldsNoProcess",
     "FROM SYSTEM IMPORT PROCESS, NEWPROCESS, TRANSFER, ADDRESS; FROM Mem IMPORT ALLOCATE, "
     "DEALLOCATE;"
     "VAR main, p: PROCESS; w: ADDRESS; PROCEDURE W; BEGIN Str('never') END W;",
     "ALLOCATE(w, 2000); NEWPROCESS(W, w, 2000, p); DEALLOCATE(w, 2000); TRANSFER(main, p)",
     "trap TRANSFER to a process that NEWPROCESS did not make"},
    {"DisposeOfTheRunningWorkspace",
     "FROM SYSTEM IMPORT PROCESS, NEWPROCESS, TRANSFER, ADDRESS; FROM Mem IMPORT ALLOCATE, "
     "DEALLOCATE;"
     "VAR main, p: PROCESS; w: ADDRESS; PROCEDURE W; BEGIN DEALLOCATE(w, 2000) END W;",
     "ALLOCATE(w, 2000); NEWPROCESS(W, w, 2000, p); TRANSFER(main, p)", "trap Running workspace."},
    {"TransferOutOfACallBack",
     "FROM SYSTEM IMPORT PROCESS, NEWPROCESS, TRANSFER, WORD, ADR;"
     "VAR main, p, inner: PROCESS; w, wi: ARRAY [0..1023] OF WORD;"
     "PROCEDURE I; BEGIN Str('inner '); TRANSFER(inner, p) END I;"
     "PROCEDURE F(x: INTEGER): INTEGER; BEGIN NEWPROCESS(I, ADR(wi), SIZE(wi), inner);"
     "  TRANSFER(p, inner); Str('back '); TRANSFER(p, main); RETURN x END F;"
     "PROCEDURE W; BEGIN Int(Out.Apply(F, 1)) END W;",
     "NEWPROCESS(W, ADR(w), SIZE(w), p); TRANSFER(main, p)",
     "inner back trap TRANSFER to a process waiting outside this call from a library module"},
    // FOR loops over arrays: translated code drops the checks that cannot fail and keeps
    // the others.
    {"ForLoopsInBounds", "VAR a: ARRAY [1..5], [0..3] OF INTEGER; i, j, s: INTEGER;",
     "FOR i := 1 TO 5 DO FOR j := 0 TO 3 DO a[i, j] := i * j END END; s := 0;"
     "FOR i := 5 TO 1 DO s := s + 100 END; FOR i := 1 TO 5 DO s := s + a[i, 3] END; Int(s)",
     "45 "},
    {"ForLoopPastTheEnd", "VAR a: ARRAY [1..5] OF INTEGER; i: INTEGER;",
     "FOR i := 1 TO 6 DO a[i] := i; Int(i) END", "1 2 3 4 5 trap index out of range"},
    {"ForLoopPastTheEndCallingNothing", "VAR a: ARRAY [1..5] OF INTEGER; i: INTEGER;",
     "FOR i := 1 TO 6 DO a[i] := i END", "trap index out of range"},
    {"ForLoopBeforeTheStart", "VAR a: ARRAY [1..5] OF INTEGER; i: INTEGER;",
     "FOR i := 0 TO 3 DO a[i] := i END", "trap index out of range"},
    {"ForLoopVariableLimit", "VAR a: ARRAY [1..5] OF INTEGER; i, n: INTEGER;",
     "n := 7; FOR i := 1 TO n DO a[i] := i; Int(i) END", "1 2 3 4 5 trap index out of range"},
    {"ForLoopIndexChangedInside", "VAR a: ARRAY [1..5] OF INTEGER; i, k: INTEGER;",
     "FOR i := 1 TO 5 DO k := i; a[k] := 1; k := k + 3; a[k] := 2 END", "trap index out of range"},
    {"ForLoopVariableAssignedInside", "VAR a: ARRAY [1..5] OF INTEGER; i: INTEGER;",
     "FOR i := 1 TO 5 DO a[i] := 1; Int(i); i := i + 2 END", "1 2 3 4 5 "},
    {"LocalModules",
     "MODULE Counter; IMPORT Int; EXPORT Next; VAR n: INTEGER;"
     "PROCEDURE Next(): INTEGER; BEGIN INC(n); RETURN n END Next; BEGIN n := 10; Int(n) END "
     "Counter;",
     "Int(Next()); Int(Next())", "10 11 12 "},
};

class ProgramTest : public CodegenTest, public ::testing::WithParamInterface<Case> {};

TEST_P(ProgramTest, WritesWhatItComputes) {
  const Case& c = GetParam();
  EXPECT_EQ(Run(Program(c.declarations, c.body)), c.output);
  const Vm::TrapReport interpreted = Vm::LastReport();
  if (!Jit::Install()) GTEST_SKIP() << "programs are not translated on this host";
  EXPECT_EQ(Run(Program(c.declarations, c.body)), c.output) << "translated";
  EXPECT_EQ(Vm::ReportLines(Vm::LastReport()), Vm::ReportLines(interpreted)) << "translated";
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A module and its importer: the importer's body runs the module's body first, once, and
// calls through the import slot; the trap report names both modules with their lines.
TEST_F(CodegenTest, ImplementationModulesInitialiseFirstAndReportTheirLines) {
  ASSERT_EQ(Compile("DEFINITION MODULE Stack;\n  PROCEDURE Push(x: INTEGER);\n"
                    "  PROCEDURE Pop(): INTEGER;\nEND Stack.\n"),
            "");
  ASSERT_EQ(Compile("IMPLEMENTATION MODULE Stack;\nFROM Out IMPORT Str;\n"
                    "VAR data: ARRAY [0..3] OF INTEGER; top: INTEGER;\n"
                    "PROCEDURE Push(x: INTEGER);\nBEGIN\n  data[top] := x;\n  INC(top)\nEND Push;\n"
                    "PROCEDURE Pop(): INTEGER;\nBEGIN\n  DEC(top); RETURN data[top]\nEND Pop;\n"
                    "BEGIN\n  top := 0; Str('init ')\nEND Stack.\n"),
            "");
  const std::string main = "MODULE Main;\nFROM Out IMPORT Int;\nIMPORT Stack;\nVAR i: INTEGER;\n"
                           "BEGIN\n  FOR i := 1 TO 3 DO Stack.Push(i) END;\n"
                           "  Int(Stack.Pop()); Int(Stack.Pop());\n"
                           "  FOR i := 1 TO 5 DO\n    Stack.Push(i)\n  END\nEND Main.\n";
  EXPECT_EQ(Run(main), "init 3 2 trap index out of range");
  std::vector<std::string> calls;
  for (const Vm::Position& p : Vm::LastReport().calls)
    calls.push_back(p.module + "." + p.procedure + ":" + std::to_string(p.line));
  EXPECT_EQ(calls, (std::vector<std::string>{"Stack.Push:6", "Main.:9"}));
  // A second run: Stack's body does not run again (its stack is still full), Main's does.
  Modules::Ref m = Modules::Find(library, "Main");
  out.clear();
  Vm::RunBody(m, Modules::Body(m));
  EXPECT_EQ(out, "");
  EXPECT_EQ(Vm::LastReport().calls.front().line, 6);
}

// A process whose workspace is too small traps "stack overflow" in the process, and the
// memory around its workspace keeps its values.
TEST_F(CodegenTest, ATooSmallWorkspaceTrapsInItsProcessAndTouchesNothingElse) {
  EXPECT_EQ(Run("MODULE P;\nFROM SYSTEM IMPORT PROCESS, NEWPROCESS, TRANSFER, ADR;\n"
                "VAR main, p: PROCESS; i: INTEGER; space: ARRAY [0..299] OF INTEGER;\n"
                "PROCEDURE D(n: INTEGER): INTEGER;\nBEGIN\n  IF n = 0 THEN RETURN 0 END;\n"
                "  RETURN D(n - 1) + 1\nEND D;\n"
                "PROCEDURE R;\nBEGIN\n  i := D(1000)\nEND R;\n"
                "BEGIN\n  FOR i := 0 TO 299 DO space[i] := 12345 END;\n"
                "  NEWPROCESS(R, ADR(space[50]), 400, p); TRANSFER(main, p)\nEND P.\n"),
            "trap stack overflow");
  std::vector<std::string> calls;
  for (const Vm::Position& p : Vm::LastReport().calls)
    calls.push_back(p.procedure + ":" + std::to_string(p.line));
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls.front(), "D:4");
  EXPECT_EQ(calls.back(), "R:11");
  const Modules::ModuleInfo info = Modules::Info(Modules::Find(library, "P"));
  std::vector<std::int32_t> words(static_cast<std::size_t>(info.imageSize) / 4);
  std::memcpy(words.data(), info.image, words.size() * 4);
  const auto first = std::find(words.begin(), words.end(), 12345);
  ASSERT_LE(first + 300, words.end());
  EXPECT_EQ(std::count(first, first + 50, 12345), 50);
  EXPECT_EQ(std::count(first + 150, first + 300, 12345), 150);
}

// The seeds of the compiler's fuzz target compile, and their objects install.
TEST_F(CodegenTest, FuzzSeedsCompileAndInstall) {
  int seeds = 0;
  for (const auto& entry : std::filesystem::directory_iterator(VELMARIN_COMPILER_SEEDS)) {
    std::ifstream in(entry.path());
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(Compile(text.str()), "") << entry.path().filename();
    ++seeds;
  }
  EXPECT_GE(seeds, 4);
}

// A module whose code fits an object's 16-bit sections keeps the object's usual form; a
// larger one takes the large form, its code the large layout, with procedures beyond word
// 65535 and branches that reach over more than 32767 words. Both install and run.
TEST_F(CodegenTest, ModulesOfAnySizeCompileInstallAndRun) {
  for (const int lines : {1000, 50000, -1000, -50000}) {
    // Negative: the same translated.
    if (lines < 0 && !Jit::Install()) break;
    const LargeModule::Module m = LargeModule::Make("Huge", std::abs(lines));
    ASSERT_EQ(Compile(m.definition), "");
    ASSERT_EQ(Compile(m.implementation), "");
    Buffer::Ref object = Buffer::Find("/Object/Huge.obj");
    ASSERT_NE(object, nullptr);
    const auto* bytes = static_cast<const std::uint8_t*>(object->data);
    const bool large = std::abs(lines) > 1000;
    EXPECT_EQ(ByteOrder::Get16(bytes + 2), large ? 42 : 34);
    const Modules::ModuleInfo info = Modules::Info(Modules::Find(library, "Huge"));
    EXPECT_EQ(info.codeSize > 8 * 0xFFFF, large) << info.codeSize;
    EXPECT_EQ(Run("MODULE P; IMPORT Out, Huge; BEGIN Out.Int(Huge.Total()); Out.Int(Huge.Fail(0)) "
                  "END P."),
              std::to_string(m.total) + " trap division by zero");
    EXPECT_EQ(Vm::LastReport().calls.front().line, m.failLine);
  }
}

// Ctrl+C ends a translated loop within 100 ms, with the report of the loop's line: one that
// calls nothing, and one that calls translated code (which carries the count to the next
// look for Ctrl+C in a register, and must hand it back).
TEST_F(CodegenTest, CtrlCInterruptsATranslatedLoop) {
  if (!Jit::Install()) GTEST_SKIP() << "programs are not translated on this host";
  using Clock = std::chrono::steady_clock;
  static Clock::time_point pressed;
  Vm::SetInterruptProc([] { return Clock::now() >= pressed; });
  for (const bool calls : {false, true}) {
    pressed = Clock::now() + std::chrono::milliseconds(200);
    const std::string next = calls ? "PROCEDURE Next(k: INTEGER): INTEGER;\n"
                                     "BEGIN RETURN (k + 1) MOD 7 END Next;\n"
                                   : "";
    const std::string step = calls ? "n := Next(n)" : "n := (n + 1) MOD 7";
    EXPECT_EQ(Run("MODULE Spin;\nVAR n: INTEGER;\n" + next + "PROCEDURE Loop;\nBEGIN\n  LOOP " +
                  step + " END\nEND Loop;\nBEGIN\n  n := 0; Loop\nEND Spin.\n"),
              "trap Interrupted.");
    const auto late = Clock::now() - pressed;
    EXPECT_LT(late, std::chrono::milliseconds(100)) << calls;
    EXPECT_GE(Jit::Translated(), calls ? 3 : 2);
    const auto& report = Vm::LastReport().calls;
    // Stopped in the loop, or in Next as the loop called it.
    ASSERT_EQ(report.size(), calls && report[0].procedure == "Next" ? 3u : 2u);
    EXPECT_EQ(report[report.size() - 2].procedure, "Loop");
    EXPECT_EQ(report[report.size() - 2].line, calls ? 7 : 5);
    EXPECT_EQ(report.back().line, calls ? 10 : 8);
  }
}

// A module compiled again runs its new code: what was translated of the old one goes with
// it, even where the new code lies at the same addresses.
TEST_F(CodegenTest, ARecompiledModuleRunsItsNewCodeTranslated) {
  if (!Jit::Install()) GTEST_SKIP() << "programs are not translated on this host";
  for (const char* value : {"1", "2", "3"}) {
    const std::string program = std::string("MODULE R;\nIMPORT Out;\nPROCEDURE V(): INTEGER;\n"
                                            "BEGIN RETURN ") +
                                value + " END V;\nBEGIN\n  Out.Int(V())\nEND R.\n";
    EXPECT_EQ(Run(program), std::string(value) + " ");
  }
  EXPECT_GE(Jit::Translated(), 2);
}

#if !defined(__SANITIZE_ADDRESS__)
// A wild address read in translated code is reported at its line, as the interpreter
// reports it, and the run after it is translated again from the start.
TEST_F(CodegenTest, AWildAddressInTranslatedCodeReportsItsLine) {
  if (!Jit::Install()) GTEST_SKIP() << "programs are not translated on this host";
  const std::string program = "MODULE W;\nFROM SYSTEM IMPORT ADDRESS;\nIMPORT Out;\n"
                              "VAR p: POINTER TO INTEGER;\nPROCEDURE Read(): INTEGER;\nBEGIN\n"
                              "  p := ADDRESS(8);\n  RETURN p^\nEND Read;\n"
                              "BEGIN\n  Out.Int(1); Out.Int(Read())\nEND W.\n";
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(Run(program), "1 trap invalid address");
    EXPECT_EQ(Vm::ReportLines(Vm::LastReport()),
              (std::vector<std::string>{"Run-time error: invalid address", "  in W.Read, line 8",
                                        "  called from W, line 11"}));
  }
}
#endif

} // namespace

namespace {

// The variable slots of each frame of the last trap (parameters and locals, up to the
// ENTER's first temporary), innermost first.
std::vector<std::vector<std::uint64_t>> TrapVariables() {
  std::vector<std::vector<std::uint64_t>> frames;
  for (const Vm::Debug::Frame& f : Vm::Debug::LastTrap().frames) {
    const Modules::ModuleInfo info = Modules::Info(f.module);
    std::uint64_t entry = 0;
    for (std::int32_t i = 0; i < info.procedureCount; ++i) {
      std::uint64_t e;
      std::memcpy(&e, info.table + i * 8, sizeof e);
      if (e <= reinterpret_cast<std::uint64_t>(f.pc) && e > entry) entry = e;
    }
    const std::uint64_t temps = Vm::FieldA(*reinterpret_cast<const std::uint64_t*>(entry));
    frames.emplace_back(f.fp, f.fp + temps);
  }
  return frames;
}

} // namespace

// Translated code keeps a loop's variables in registers: after a trap the frames read
// the same values as the interpreter's.
TEST_F(CodegenTest, TrapFramesHoldTheVariablesTranslatedAsInterpreted) {
  const std::string source =
      "MODULE T;\nFROM Out IMPORT Int;\nVAR a: ARRAY [0..9] OF INTEGER;\n"
      "PROCEDURE P(n: INTEGER): INTEGER;\n  VAR i, s, t: INTEGER;\nBEGIN\n  s := 0; t := 1;\n"
      "  FOR i := 0 TO n DO\n    s := s + i * 3; t := t * 2 MOD 1000;\n    a[i] := s\n  END;\n"
      "  RETURN s + t\nEND P;\nBEGIN\n  Int(P(20))\nEND T.\n";
  ASSERT_EQ(Run(source), "trap index out of range");
  const auto interpreted = TrapVariables();
  ASSERT_EQ(interpreted.size(), 2u);
  // n, i, s, t of P at i = 10.
  ASSERT_GE(interpreted[0].size(), 4u);
  EXPECT_EQ(interpreted[0][0], 20u);
  if (!Jit::Install()) GTEST_SKIP() << "programs are not translated on this host";
  ASSERT_EQ(Run(source), "trap index out of range");
  EXPECT_EQ(TrapVariables(), interpreted);
}

namespace {
std::uint64_t calledBack = 0;
std::uint64_t squareEntry = 0;
Vm::Debug::Resume CallBack(const Vm::Debug::Stop&) {
  const std::uint64_t seven[] = {7};
  calledBack = Vm::CallProcedure(squareEntry, seven);
  return Vm::Debug::Resume::Continue;
}
} // namespace

// While a run waits at a stop, the workstation may call the program's procedures: their
// frames leave the stopped one as it was.
TEST_F(CodegenTest, ProceduresCalledWhileStoppedLeaveTheStoppedFrame) {
  const std::string source = "MODULE C;\nFROM Out IMPORT Int;\n"
                             "PROCEDURE Square(x: INTEGER): INTEGER;\nBEGIN\n  RETURN x * x\n"
                             "END Square;\n"
                             "PROCEDURE G(a: INTEGER): INTEGER;\n  VAR b, c: INTEGER;\nBEGIN\n"
                             "  b := a + 1; c := b * 2;\n  RETURN a + b + c\nEND G;\n"
                             "BEGIN\n  Int(G(5))\nEND C.\n";
  ASSERT_EQ(Compile(source), "");
  std::memcpy(&squareEntry, Modules::Info(Modules::Find(library, "C")).table + 8,
              sizeof squareEntry);
  Vm::Debug::SetStopProc(CallBack);
  Vm::Debug::SetBreakpoints({{"C", 11}});
  calledBack = 0;
  EXPECT_EQ(Run(source), "23 ");
  EXPECT_EQ(calledBack, 49u);
  Vm::Debug::SetStopProc(nullptr);
  Vm::Debug::SetBreakpoints({});
}
