// velmarin --run FILE.mod --debug as a programmer meets it on a terminal, and as a script
// drives it: the commands on standard input, what the debugger and the program say on
// standard output. Every run goes once translated and once in the interpreter alone
// (--no-jit): the debugger says the same both ways.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <thread>

#include "Velmarin.h"

namespace {

// The program stepped through: recursion, a nested procedure, a line without code (11).
constexpr const char* kWalk = R"(MODULE walk;
FROM InOut IMPORT WriteInt, WriteLn;

VAR total: INTEGER;

PROCEDURE Fact(n: INTEGER): INTEGER;
BEGIN
  IF n <= 1 THEN
    RETURN 1
  END;
  (* no code on this line *)
  RETURN n * Fact(n - 1)
END Fact;

PROCEDURE Add(k: INTEGER);

  PROCEDURE Twice(j: INTEGER): INTEGER;
  BEGIN
    RETURN 2 * j
  END Twice;

BEGIN
  total := total + Twice(k)
END Add;

BEGIN
  total := 0;
  Add(1);
  Add(2);
  WriteInt(Fact(4), 0); WriteLn;
  WriteInt(total, 0); WriteLn
END walk.
)";

// A run-time error of each kind, chosen by the number it reads, two procedures deep.
constexpr const char* kKinds = R"(MODULE kinds;
FROM InOut IMPORT ReadInt, WriteString, WriteLn;
TYPE Colour = (red, green, blue);
VAR which, zero: INTEGER; a: ARRAY [0..3] OF INTEGER; p: POINTER TO INTEGER;
    c: Colour;

PROCEDURE Nested(k: INTEGER): INTEGER;
  PROCEDURE Inner(m: INTEGER): INTEGER;
  BEGIN
    CASE m OF
      1: a[m + 4] := 0
    | 2: p := NIL; p^ := 1
    | 3: RETURN m DIV zero
    | 4: HALT
    | 5: c := blue; CASE c OF red: m := 0 | green: m := 1 END
    | 6: m := 7
    END;
    IF m = 0 THEN RETURN m END
  END Inner;
BEGIN
  RETURN Inner(k)
END Nested;

BEGIN
  ReadInt(which); zero := 0;
  WriteString("kind"); WriteLn;
  which := Nested(which)
END kinds.
)";

class LineDebugger : public ::testing::Test {
protected:
  void Write(const QString& name, const QByteArray& text) {
    QFile file(dir.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }
  // Copies programs of the test corpus into the test's directory.
  void Corpus(const QStringList& names) {
    for (const QString& name : names)
      ASSERT_TRUE(QFile::copy(QStringLiteral(VELMARIN_PROGRAMS_DIR "/") + name, dir.filePath(name)))
          << name.toStdString();
  }
  Outcome Debug(const QString& program, const QByteArray& script, bool jit) {
    QStringList args{"--run", program, "--debug"};
    if (!jit) args << "--no-jit";
    return RunVelmarin(args, dir.path(), 60000, Platform::NoDisplay, script);
  }
  // The script gives out the same way translated and interpreted.
  void Expect(const QString& program, const QByteArray& script, const QString& out) {
    for (const bool jit : {true, false}) {
      const Outcome o = Debug(program, script, jit);
      EXPECT_EQ(o.exitCode, 0) << (jit ? "translated" : "interpreted");
      EXPECT_EQ(o.out.toStdString(), out.toStdString()) << (jit ? "translated" : "interpreted");
    }
  }
  QTemporaryDir dir;
};

TEST_F(LineDebugger, NextStepAndFinishThroughRecursionAndNestedProcedures) {
  Write("walk.mod", kWalk);
  // Line 11 has no code: its breakpoint goes to line 12. Next stops again where the
  // recursion passes the breakpoint; finish returns to the caller's line; a deeper
  // activation returning does not end a next. Step goes into the nested procedure and
  // back out; run starts over.
  Expect("walk.mod",
         "break 11\nrun\nbt\nnext\nnext\nfinish\nfinish\nnext\ndelete 1\nb 28\nrun\nstep\nstep\n"
         "step\nstep\nnext\nnext\nstep\nc\n",
         "(debug) Breakpoint 1 at walk.mod:12\n"
         "(debug) Breakpoint 1, walk.Fact at walk.mod:12\n"
         "12\t  RETURN n * Fact(n - 1)\n"
         "(debug) #0  walk.Fact at walk.mod:12\n"
         "#1  walk at walk.mod:30\n"
         "(debug) Breakpoint 1, walk.Fact at walk.mod:12\n"
         "12\t  RETURN n * Fact(n - 1)\n"
         "(debug) Breakpoint 1, walk.Fact at walk.mod:12\n"
         "12\t  RETURN n * Fact(n - 1)\n"
         "(debug) walk.Fact at walk.mod:12\n"
         "12\t  RETURN n * Fact(n - 1)\n"
         "(debug) walk.Fact at walk.mod:12\n"
         "12\t  RETURN n * Fact(n - 1)\n"
         "(debug) walk at walk.mod:30\n"
         "30\t  WriteInt(Fact(4), 0); WriteLn;\n"
         "(debug) (debug) Breakpoint 2 at walk.mod:28\n"
         "(debug) Breakpoint 2, walk at walk.mod:28\n"
         "28\t  Add(1);\n"
         "(debug) walk.Add at walk.mod:23\n"
         "23\t  total := total + Twice(k)\n"
         "(debug) walk.Add.Twice at walk.mod:19\n"
         "19\t    RETURN 2 * j\n"
         "(debug) walk.Add at walk.mod:23\n"
         "23\t  total := total + Twice(k)\n"
         "(debug) walk.Add at walk.mod:24\n"
         "24\tEND Add;\n"
         "(debug) walk at walk.mod:29\n"
         "29\t  Add(2);\n"
         "(debug) walk at walk.mod:30\n"
         "30\t  WriteInt(Fact(4), 0); WriteLn;\n"
         "(debug) walk.Fact at walk.mod:8\n"
         "8\t  IF n <= 1 THEN\n"
         "(debug) 24\n6\nThe program ended.\n"
         "(debug) \n");
}

// Under translation only the procedures that may be below a breakpoint stay interpreted:
// here Apply, which reaches Twice through a procedure value, so finish and next go on in
// Apply line by line; after continue the run goes on translated and stops again.
TEST_F(LineDebugger, StepsOutOfAProcedureCalledThroughAValue) {
  Write("values.mod", R"(MODULE values;
FROM InOut IMPORT WriteInt, WriteLn;
TYPE Op = PROCEDURE (INTEGER): INTEGER;
VAR f: Op; i, s: INTEGER;
PROCEDURE Twice(n: INTEGER): INTEGER;
BEGIN
  RETURN 2 * n
END Twice;
PROCEDURE Apply(g: Op; n: INTEGER): INTEGER;
  VAR r: INTEGER;
BEGIN
  r := g(n);
  r := r + 1;
  RETURN r
END Apply;
BEGIN
  f := Twice; s := 0;
  FOR i := 1 TO 5 DO s := s + Apply(f, i) END;
  WriteInt(s, 0); WriteLn
END values.
)");
  Expect("values.mod", "b 7 if n = 3\nrun\nfinish\nnext\nprint r\ncondition 1 n = 5\nc\nbt\nc\n",
         "(debug) Breakpoint 1 at values.mod:7\n"
         "(debug) Breakpoint 1, values.Twice at values.mod:7\n"
         "7\t  RETURN 2 * n\n"
         "(debug) values.Apply at values.mod:12\n"
         "12\t  r := g(n);\n"
         "(debug) values.Apply at values.mod:13\n"
         "13\t  r := r + 1;\n"
         "(debug) r = 6\n"
         "(debug) (debug) Breakpoint 1, values.Twice at values.mod:7\n"
         "7\t  RETURN 2 * n\n"
         "(debug) #0  values.Twice at values.mod:7\n"
         "#1  values.Apply at values.mod:12\n"
         "#2  values at values.mod:18\n"
         "(debug) 35\n"
         "The program ended.\n"
         "(debug) \n");
}

TEST_F(LineDebugger, HitCountsSkipPassesAndFailedConditionsStop) {
  Write("walk.mod", kWalk);
  // Two passes ignored: the third, in Fact(2), stops.
  Expect("walk.mod", "b 12\nignore 1 2\nrun\nbt\ninfo breakpoints\n",
         "(debug) Breakpoint 1 at walk.mod:12\n"
         "(debug) Will ignore next 2 crossings of breakpoint 1.\n"
         "(debug) Breakpoint 1, walk.Fact at walk.mod:12\n"
         "12\t  RETURN n * Fact(n - 1)\n"
         "(debug) #0  walk.Fact at walk.mod:12\n"
         "#1  walk.Fact at walk.mod:12\n"
         "#2  walk.Fact at walk.mod:12\n"
         "#3  walk at walk.mod:30\n"
         "(debug) 1  walk.mod:12  hits 3\n"
         "(debug) \n");
  // A condition that cannot be evaluated stops the run and says why.
  const Outcome o = Debug("walk.mod", "b 23 if nosuch = 1\nrun\nbt\n", false);
  EXPECT_TRUE(o.out.contains("\n(debug) The condition nosuch = 1 cannot be evaluated: "))
      << o.out.toStdString();
  EXPECT_TRUE(o.out.contains("\nBreakpoint 1, walk.Add at walk.mod:23\n")) << o.out.toStdString();
}

TEST_F(LineDebugger, BreakpointsAcrossModules) {
  Corpus({"separate.mod", "Stacks.def", "Stacks.mod", "Counters.def", "Counters.mod"});
  // Counters' code runs before the stop: its breakpoint is placed in code already made
  // ready to run.
  Expect("separate.mod",
         "b Stacks.mod:30\nb Nowhere.mod:3\ninfo breakpoints\nrun\nbt\ndelete 1\n"
         "b Counters:6\nc\nfinish\nc\nc\nc\n",
         "(debug) Breakpoint 1 at Stacks.mod:30\n"
         "(debug) Breakpoint 2 at Nowhere.mod:3 (pending)\n"
         "(debug) 1  Stacks.mod:30  hits 0\n"
         "2  Nowhere.mod:3 (pending)  hits 0\n"
         "(debug) Counters body\nseparate body\n"
         "Breakpoint 1, Stacks.Empty at Stacks.mod:30\n"
         "30\t  RETURN s^.top = NIL\n"
         "(debug) #0  Stacks.Empty at Stacks.mod:30\n"
         "#1  separate at separate.mod:16\n"
         "(debug) (debug) Breakpoint 3 at Counters:6\n"
         "(debug)    1   4   9  16  25\ndisposed\n  1000\n"
         "Breakpoint 3, Counters.Tick at Counters.mod:6\n"
         "6\t  count := count + by\n"
         "(debug) separate at separate.mod:23\n"
         "23\t  Counters.Tick(5); Counters.Tick(7);\n"
         "(debug) Breakpoint 3, Counters.Tick at Counters.mod:6\n"
         "6\t  count := count + by\n"
         "(debug)   1012\n"
         "Breakpoint 3, Counters.Tick at Counters.mod:6\n"
         "6\t  count := count + by\n"
         "(debug)   1\nThe program ended.\n"
         "(debug) \n");
}

TEST_F(LineDebugger, BreakpointAndStepsInACoroutine) {
  Corpus({"coroutines.mod"});
  // Next over a TRANSFER goes on once the consumer runs again.
  Expect("coroutines.mod", "b 33\nrun\nbt\nnext\nnext\nnext\nquit\n",
         "(debug) Breakpoint 1 at coroutines.mod:33\n"
         "(debug) produced 1\nconsumed 1\n"
         "Breakpoint 1, coroutines.Consume at coroutines.mod:33\n"
         "33\t    INC(count); INC(sum, item);\n"
         "(debug) #0  coroutines.Consume at coroutines.mod:33\n"
         "(debug) coroutines.Consume at coroutines.mod:34\n"
         "34\t    TRANSFER(consumer, producer)\n"
         "(debug) produced 4\n"
         "coroutines.Consume at coroutines.mod:31\n"
         "31\t    IF NOT full THEN EXIT END;\n"
         "(debug) coroutines.Consume at coroutines.mod:32\n"
         "32\t    WriteString(\"consumed \"); WriteInt(item, 1); WriteLn;\n"
         "(debug) ");
}

TEST_F(LineDebugger, FramesStayAfterEachKindOfTrapUntilTheNextRun) {
  Write("kinds.mod", kKinds);
  const struct {
    const char* kind;
    const char* message;
    const char* line;
  } cases[] = {
      {"1", "index out of range", "11\t      1: a[m + 4] := 0"},
      {"2", "NIL dereference", "12\t    | 2: p := NIL; p^ := 1"},
      {"3", "division by zero", "13\t    | 3: RETURN m DIV zero"},
      {"4", "HALT called.", "14\t    | 4: HALT"},
      {"5", "Case error.", "15\t    | 5: c := blue; CASE c OF red: m := 0 | green: m := 1 END"},
      {"6", "Function return error.", "19\t  END Inner;"},
  };
  for (const auto& c : cases) {
    const std::string line = c.line;
    const QString where = "kinds.Nested.Inner at kinds.mod:" +
                          QString::fromStdString(line.substr(0, line.find('\t')));
    Expect("kinds.mod", QByteArray("run\n") + c.kind + "\nbt\nframe 2\nup\ndown\nrun\n9\nbt\n",
           QString("(debug) kind\nProgram stopped: ") + c.message + "\n" + where + "\n" + c.line +
               "\n(debug) #0  " + where +
               "\n#1  kinds.Nested at kinds.mod:21\n#2  kinds at kinds.mod:27\n"
               "(debug) #2  kinds at kinds.mod:27\n27\t  which := Nested(which)\n"
               "(debug) Initial frame selected; you cannot go up.\n"
               "(debug) #1  kinds.Nested at kinds.mod:21\n21\t  RETURN Inner(k)\n"
               // The next run, a case error of its own.
               "(debug) kind\nProgram stopped: Case error.\n"
               "kinds.Nested.Inner at kinds.mod:10\n10\t    CASE m OF\n"
               "(debug) #0  kinds.Nested.Inner at kinds.mod:10\n"
               "#1  kinds.Nested at kinds.mod:21\n#2  kinds at kinds.mod:27\n(debug) \n");
  }
}

TEST_F(LineDebugger, TrapInACoroutineShowsItsProcessFrames) {
  Corpus({"trap_process.mod"});
  const Outcome o = Debug("trap_process.mod", "run\nbt\n", true);
  EXPECT_TRUE(o.out.contains("Program stopped: stack overflow\n"
                             "trap_process.Down at trap_process.mod:15\n"))
      << o.out.toStdString();
  EXPECT_TRUE(o.out.contains("#1  trap_process.Down at trap_process.mod:18\n"));
  EXPECT_TRUE(o.out.endsWith("  trap_process.Run at trap_process.mod:24\n(debug) \n"));
}

TEST_F(LineDebugger, InterruptEndsTheRunWithItsFramesToRead) {
  Write("spin.mod", "MODULE spin;\nVAR i: INTEGER;\nBEGIN\n  i := 0;\n  LOOP\n"
                    "    i := (i + 1) MOD 1000\n  END\nEND spin.\n");
  for (const bool jit : {true, false}) {
    QProcess p;
    QTemporaryDir config;
    QStringList args{"--run", "spin.mod", "--debug"};
    if (!jit) args << "--no-jit";
    StartVelmarin(p, config, args, dir.path(), {}, {}, Platform::NoDisplay);
    ASSERT_TRUE(p.waitForStarted());
    // Control+C from the first prompt on, until the run has stopped.
    QByteArray out;
    while (!out.contains("(debug) ") && p.waitForReadyRead(30000)) out += p.readAllStandardOutput();
    p.write("run\n");
    p.waitForBytesWritten();
    for (int i = 0; i < 100 && !out.contains("Program stopped"); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      ::kill(static_cast<pid_t>(p.processId()), SIGINT);
      p.waitForReadyRead(200);
      out += p.readAllStandardOutput();
    }
    p.write("bt\n");
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(30000));
    out += p.readAllStandardOutput();
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(out.toStdString(),
              "(debug) Program stopped: Interrupted.\nspin at spin.mod:6\n"
              "6\t    i := (i + 1) MOD 1000\n(debug) #0  spin at spin.mod:6\n(debug) \n");
  }
}

TEST_F(LineDebugger, QuitWhileStoppedEndsTheRunWithoutAReport) {
  Write("walk.mod", kWalk);
  for (const QByteArray script : {"b 29\nrun\nquit\nnext\n", "b 29\nrun\n"}) {
    const Outcome o = Debug("walk.mod", script, true);
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_TRUE(o.out.startsWith("(debug) Breakpoint 1 at walk.mod:29\n"
                                 "(debug) Breakpoint 1, walk at walk.mod:29\n29\t  Add(2);\n"
                                 "(debug) "));
    EXPECT_FALSE(o.out.contains("24")) << "the program went on";
    EXPECT_EQ(o.err, "");
  }
}

TEST_F(LineDebugger, BadCommandsGetOneLineEach) {
  Write("walk.mod", kWalk);
  Expect("walk.mod",
         "frobnicate\nbreak\nbreak walk.mod:x\nb 0\nnext\nfinish\nbt\nprint total\n"
         "info\ncondition 7 n = 1\nignore 1\ndelete x\nframe 1\nset total = 1\nlist 999\n"
         "b 27\nr\nfinish\nframe 3\nup\ndown\nprint\nset var\nq\n",
         "(debug) Undefined command: \"frobnicate\".\n"
         "(debug) break needs FILE:LINE or LINE, with \"if CONDITION\" after it when wanted.\n"
         "(debug) break needs FILE:LINE or LINE, with \"if CONDITION\" after it when wanted.\n"
         "(debug) break needs FILE:LINE or LINE, with \"if CONDITION\" after it when wanted.\n"
         "(debug) The program is not being run.\n"
         "(debug) The program is not being run.\n"
         "(debug) No stack.\n"
         "(debug) No stack.\n"
         "(debug) info needs breakpoints, locals or globals.\n"
         "(debug) No breakpoint number 7.\n"
         "(debug) ignore needs a breakpoint number and a count.\n"
         "(debug) Bad breakpoint number \"x\".\n"
         "(debug) No stack.\n"
         "(debug) set needs var VARIABLE = VALUE.\n"
         "(debug) Line number 994 out of range; walk.mod has 32 lines.\n"
         "(debug) Breakpoint 1 at walk.mod:27\n"
         "(debug) Breakpoint 1, walk at walk.mod:27\n27\t  total := 0;\n"
         "(debug) \"finish\" not meaningful in the outermost frame.\n"
         "(debug) No frame 3.\n"
         "(debug) Initial frame selected; you cannot go up.\n"
         "(debug) Bottom (innermost) frame selected; you cannot go down.\n"
         "(debug) print needs an expression.\n"
         "(debug) set needs var VARIABLE = VALUE.\n"
         "(debug) ");
}

} // namespace

namespace {

// The variables the debugger shows are the values the program itself writes; a value set
// at a stop (set var answers nothing) is what the program goes on with.
TEST_F(LineDebugger, VariablesShowWhatTheProgramWrites) {
  Write("values.mod", "MODULE values;\nFROM InOut IMPORT WriteInt, WriteLn;\nVAR count: INTEGER;\n"
                      "PROCEDURE Sum(n: INTEGER): INTEGER;\n  VAR s, i: INTEGER;\nBEGIN\n"
                      "  s := 0;\n  FOR i := 1 TO n DO s := s + i END;\n  RETURN s\nEND Sum;\n"
                      "BEGIN\n  count := 7;\n  WriteInt(Sum(4), 0); WriteLn;\n"
                      "  WriteInt(count, 0); WriteLn\nEND values.\n");
  for (const bool jit : {true, false}) {
    const Outcome o = Debug("values.mod",
                            "b 9\nrun\nprint s\nprint n * 2\ninfo locals\ndisplay count\nup\n"
                            "info globals\nset var count = 9\nc\n",
                            jit);
    for (const char* line :
         {"\n(debug) s = 10\n", "\n(debug) n * 2 = 8\n", "\n(debug) n = 4\ns = 10\n",
          "\n(debug) 1: count = 7\n", "\n(debug) count = 7\n",
          "\n(debug) (debug) 10\n9\nThe program ended.\n"})
      EXPECT_TRUE(o.out.contains(line)) << line << " in\n" << o.out.toStdString();
  }
}

} // namespace
