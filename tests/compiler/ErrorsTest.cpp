// Erroneous modules, each with the place and words of its first error.
#include "CompilerTesting.h"

namespace {

using CompilerTesting::ErrorOf;

struct Case {
  const char* source;
  const char* error;
};

// Each source is wrapped as "MODULE M;" + declarations and statements + "END M.".
constexpr Case kModuleErrors[] = {
    // Scanning.
    {"BEGIN s := \"abc END M.", "1:22: string not terminated"},
    {"(* (* *) BEGIN", "1:11: comment not closed"},
    {"BEGIN ? END M.", "1:17: illegal character"},
    {"CONST c = 99999999999999999999;", "1:21: number too large"},
    {"CONST c = 19B;", "1:21: illegal number"},
    {"CONST c = 400C;", "1:21: character code too large"},
    // Syntax.
    {"VAR i: INTEGER BEGIN", "1:26: ';' expected"},
    {"VAR : INTEGER;", "1:15: END expected"},
    {"BEGIN i = 1", "1:19: ':=' expected"},
    {"PROCEDURE Bar; BEGIN END Foo;", "1:36: END Bar expected"},
    {"BEGIN IF TRUE DO END", "1:25: THEN expected"},
    {"BEGIN x := ;", "1:22: expression expected"},
    {"BEGIN WriteLn WriteLn", "1:25: ';' expected"},
    {"begin", "1:11: keywords are upper case: BEGIN"},
    {"VAR i: INTEGER; BEGIN IF i = 1 then i := 2 END", "1:42: keywords are upper case: THEN"},
    {"VAR i: INTEGER; BEGIN i := 1 end", "1:40: keywords are upper case: END"},
    // The END a statement took was the module's: the statement lacks its own.
    {"VAR i: INTEGER; BEGIN WHILE i < 9 DO IF i = 1 THEN i := 2 END",
     "2:1: END of WHILE at line 1 expected"},
    {"VAR i: INTEGER; BEGIN WHILE i < 9 DO i := 1 END i := 2", "1:59: ';' expected"},
    // Declarations.
    {"BEGIN Foo", "1:17: undeclared identifier: Foo"},
    {"VAR x: INTEGER; x: CHAR;", "1:27: identifier declared twice: x"},
    {"VAR x: INTEGER; y: x;", "1:30: not a type: x"},
    {"TYPE T = ARRAY [0..1] OF T;", "1:36: recursive declaration of T"},
    {"VAR v: INTEGER; CONST c = v;", "1:37: constant expression expected"},
    {"TYPE S = [5..1];", "1:20: lower bound greater than upper bound"},
    {"TYPE S = SET OF INTEGER;", "1:27: set base type has more than 256 values"},
    {"TYPE A = ARRAY INTEGER OF REAL;", "1:26: array too large"},
    {"TYPE R = RECORD a: INTEGER; a: CHAR END;", "1:39: identifier declared twice: a"},
    {"TYPE P = POINTER TO Q;", "1:31: undeclared identifier: Q"},
    // Expressions and constants.
    {"VAR i: INTEGER; b: BOOLEAN; BEGIN i := b", "1:50: type mismatch: INTEGER := BOOLEAN"},
    // Two types that read the same.
    {"VAR a: ARRAY [0..2] OF CHAR; b: ARRAY [0..2] OF CHAR; BEGIN a := b",
     "1:76: different types: declare both with one type name"},
    {"TYPE R = RECORD x: INTEGER END; VAR r: R; PROCEDURE Q(VAR a: R); END Q;"
     "PROCEDURE P; TYPE R = RECORD x: INTEGER END; VAR q: R; BEGIN Q(q) END P;",
     "1:145: different types in argument 1: declare both with one type name"},
    {"VAR i: INTEGER; c: CARDINAL; BEGIN i := i + c",
     "1:53: incompatible types in expression: INTEGER + CARDINAL"},
    {"VAR b: BOOLEAN; BEGIN b := b + b", "1:40: operator + not allowed on BOOLEAN"},
    {"VAR i: INTEGER; BEGIN i := i / 2", "1:40: '/' is for reals and sets; use DIV for integers"},
    {"CONST c = 1 DIV 0;", "1:27: division by zero"},
    {"CONST c = MAX(INTEGER) + 1;", "1:34: overflow in constant expression"},
    {"VAR ch: CHAR; BEGIN ch := CHR(300)", "1:41: constant out of range for CHAR: 300"},
    {"VAR c: CARDINAL; BEGIN c := -1", "1:39: constant out of range for CARDINAL: -1"},
    {"VAR r: REAL; BEGIN r := 1", "1:35: type mismatch: REAL := integer constant"},
    {"VAR s: ARRAY [0..2] OF CHAR; BEGIN s := \"abcd\"",
     "1:51: string too long for ARRAY [0..2] OF CHAR"},
    {"VAR x: INTEGER; BEGIN x := INTEGER", "1:38: not a value: INTEGER"},
    {"VAR x: INTEGER; BEGIN x(1)", "1:33: not a procedure: x"},
    {"VAR x: INTEGER; BEGIN x := x.f", "1:39: not a record: x"},
    {"VAR x: INTEGER; BEGIN x := x[1]", "1:40: not an array: x"},
    {"VAR x: INTEGER; BEGIN x := x^", "1:39: not a pointer: x"},
    {"VAR r: RECORD a: INTEGER END; BEGIN r.b := 1", "1:48: undeclared field: b"},
    {"VAR i: INTEGER; BEGIN IF i THEN END", "1:36: BOOLEAN expression expected"},
    {"VAR i: INTEGER; BEGIN i := 1; := 2", "1:41: statement expected"},
    {"BEGIN 3 := 4", "1:17: statement expected"},
    {"CONST c = 3; BEGIN c := 4", "1:30: variable expected on the left of :="},
    // Calls.
    {"PROCEDURE P(a: INTEGER); END P; BEGIN P(1, 2)", "1:54: too many parameters"},
    {"PROCEDURE P(a, b: INTEGER); END P; BEGIN P(1)", "1:54: too few parameters"},
    {"PROCEDURE P(VAR a: INTEGER); END P; BEGIN P(3)", "1:55: VAR parameter needs a variable"},
    {"VAR c: CARDINAL; PROCEDURE P(VAR a: INTEGER); END P; BEGIN P(c)",
     "1:72: type mismatch in argument 1: VAR INTEGER := CARDINAL"},
    {"PROCEDURE P(s: ARRAY OF CHAR); END P; BEGIN P(1)",
     "1:57: type mismatch in argument 1: ARRAY OF CHAR := integer constant"},
    {"VAR i: INTEGER; PROCEDURE P; END P; BEGIN i := P()", "1:58: not a function procedure: P"},
    {"PROCEDURE F(): INTEGER; BEGIN RETURN 1 END F; BEGIN F()",
     "1:63: function procedure used as a statement: F"},
    {"VAR p: PROC; PROCEDURE P; PROCEDURE Q; END Q; BEGIN p := Q END P;",
     "1:68: local procedure used as a value: Q"},
    {"TYPE P = POINTER TO INTEGER; VAR p: P; BEGIN NEW(p)",
     "1:56: ALLOCATE not in scope (import it from Storage)"},
    {"VAR i: INTEGER; BEGIN INC(3)", "1:37: VAR parameter needs a variable"},
    {"VAR i: INTEGER; BEGIN i := ABS(TRUE)", "1:42: number expected"},
    {"VAR p: PROCEDURE (INTEGER); PROCEDURE Q(c: CHAR); END Q; BEGIN p := Q",
     "1:79: type mismatch: PROCEDURE (INTEGER) := PROCEDURE (CHAR)"},
    {"FROM SYSTEM IMPORT WORD; VAR c: CHAR; PROCEDURE W(w: WORD); END W; BEGIN W(c)",
     "1:86: type mismatch in argument 1: WORD := CHAR"},
    {"VAR c: CHAR; s: BITSET; BEGIN s := BITSET(c)",
     "1:46: type transfer needs types of the same size: BITSET(CHAR)"},
    // Scopes: a local module sees only what it imports.
    {"VAR g: INTEGER; MODULE L; BEGIN g := 1 END L;", "1:43: undeclared identifier: g"},
    {"MODULE L; EXPORT QUALIFIED x; VAR x: INTEGER; END L; BEGIN x := 1",
     "1:70: undeclared identifier: x"},
    {"MODULE L; EXPORT y; VAR x: INTEGER; END L;", "1:28: undeclared identifier: y"},
    // Statements.
    {"VAR i: INTEGER; BEGIN CASE i OF 1, 3: | 2..4: END", "1:51: duplicate CASE label: 3"},
    {"VAR c: CHAR; BEGIN CASE c OF \"a\"..\"z\": | \"x\": END",
     "1:52: duplicate CASE label: \"x\""},
    {"PROCEDURE P; BEGIN RETURN 1 END P;", "1:37: RETURN with value in a proper procedure"},
    {"PROCEDURE F(): INTEGER; BEGIN RETURN END F;",
     "1:41: RETURN without value in a function procedure"},
    {"PROCEDURE F(x: INTEGER): INTEGER; BEGIN x := 1 END F;",
     "1:58: function procedure without RETURN: F"},
    {"BEGIN RETURN 1", "1:24: RETURN with value in a module body"},
    {"BEGIN EXIT", "1:17: EXIT not inside a LOOP"},
    {"VAR i: INTEGER; BEGIN FOR i := 1 TO 2 BY 0 DO END", "1:52: FOR step must not be zero"},
    {"VAR i: INTEGER; BEGIN FOR i := 1 TO 2 BY i DO END", "1:52: constant expression expected"},
    {"PROCEDURE P(VAR i: INTEGER); BEGIN FOR i := 1 TO 2 DO END END P;",
     "1:50: FOR needs a local variable: i"},
    {"VAR i: INTEGER; BEGIN WITH i DO END", "1:38: record expected in WITH"},
};

TEST(ErrorsTest, EachModuleStopsAtItsFirstError) {
  for (const Case& c : kModuleErrors) {
    const std::string source = std::string("MODULE M; ") + c.source + "\nEND M.";
    EXPECT_EQ(ErrorOf(source), c.error) << c.source;
  }
}

TEST(ErrorsTest, UnitLevelErrors) {
  CompilerTesting::Start();
  EXPECT_EQ(ErrorOf("MODULE M; IMPORT Nowhere; END M."), "1:18: module not found: Nowhere");
  EXPECT_EQ(ErrorOf("MODULE VeryLongModuleNameHere; END VeryLongModuleNameHere."),
            "1:1: module name longer than 16 characters");
  EXPECT_EQ(ErrorOf("MODULE M; FROM SYSTEM IMPORT FOO; END M."),
            "1:30: SYSTEM does not export FOO");
  EXPECT_EQ(ErrorOf("PROCEDURE P; END P."), "1:1: MODULE expected");
  EXPECT_EQ(ErrorOf("MODULE M; END N."), "1:15: END M expected");
  // A statement still open at the end of the text; a name that only reads as a keyword.
  EXPECT_EQ(ErrorOf("MODULE M; VAR i: INTEGER; BEGIN\n  FOR i := 1 TO 2 DO i := 3"),
            "2:28: END of FOR at line 2 expected");
  EXPECT_EQ(ErrorOf("MODULE M; VAR end: INTEGER; BEGIN end := 1 END M."), "ok");
  // The driver: a text buffer goes through the whole compiler; the front end's own
  // build has no code generator.
  const Compiler::Result r =
      Compiler::Compile(CompilerTesting::Text("/User/M.mod", "MODULE M;\nEND M."), {});
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, "code generation not available");
  EXPECT_EQ(Compiler::Compile(nullptr, {}).message, "not a text");
}

// Nesting is bounded, so no text exhausts the stack of the parser, the checker or the
// code generator.
TEST(ErrorsTest, DeepNestingIsAnErrorNotACrash) {
  const auto repeat = [](std::string_view s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
  };
  const std::string parens =
      "MODULE M; CONST c = " + repeat("(", 5000) + "1" + repeat(")", 5000) + "; END M.";
  EXPECT_EQ(ErrorOf(parens).substr(ErrorOf(parens).find(' ') + 1), "expression too deeply nested");
  // A chain of operators is not nesting: its length is free.
  const std::string chain = "MODULE M; VAR i: INTEGER; BEGIN i := i" + repeat(" + i * 2", 20000) +
                            "; IF (i = 1)" + repeat(" OR (i = 1)", 20000) + " THEN END END M.";
  EXPECT_EQ(ErrorOf(chain), "ok");
  const std::string ifs =
      "MODULE M; BEGIN " + repeat("IF TRUE THEN ", 5000) + repeat("END ", 5000) + "END M.";
  EXPECT_EQ(ErrorOf(ifs).substr(ErrorOf(ifs).find(' ') + 1), "statements too deeply nested");
  const std::string types =
      "MODULE M; TYPE T = " + repeat("ARRAY [0..1] OF ", 5000) + "CHAR; END M.";
  EXPECT_EQ(ErrorOf(types).substr(ErrorOf(types).find(' ') + 1), "types too deeply nested");
  std::string forward = "MODULE M; CONST ";
  for (int i = 0; i < 5000; ++i)
    forward += "c" + std::to_string(i) + " = c" + std::to_string(i + 1) + "; ";
  forward += "c5000 = 1; END M.";
  EXPECT_EQ(ErrorOf(forward).substr(ErrorOf(forward).find(' ') + 1),
            "declarations refer forward too deeply");
}

} // namespace
