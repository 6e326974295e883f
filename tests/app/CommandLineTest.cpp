// The velmarin executable's command line as a user meets it in a shell, most of it on a
// machine without a display: the usage, the version, usage errors and missing files with
// their exit statuses, options in any order, files opened in edit windows, and --run of
// programs that draw, saved with --screenshot.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <unistd.h>

#include "Velmarin.h"

namespace {

class CommandLine : public ::testing::Test {
protected:
  // Writes a text file into the test's directory; its path.
  QString Write(const QString& name, const QByteArray& text) {
    QFile file(dir.filePath(name));
    if (file.open(QIODevice::WriteOnly)) file.write(text);
    return file.fileName();
  }
  Outcome Run(const QStringList& args, Platform platform = Platform::NoDisplay) {
    return RunVelmarin(args, dir.path(), 60000, platform);
  }
  QTemporaryDir dir;
};

// One line on standard error, beginning with the program's name.
void ExpectOneLine(const Outcome& o, const QString& text) {
  EXPECT_TRUE(o.err.startsWith("velmarin: ")) << o.err.toStdString();
  EXPECT_TRUE(o.err.contains(text)) << o.err.toStdString();
  EXPECT_EQ(o.err.count('\n'), 1) << o.err.toStdString();
  EXPECT_TRUE(o.out.isEmpty()) << o.out.toStdString();
}

TEST_F(CommandLine, HelpAndVersionNeedNoDisplay) {
  const Outcome help = Run({"--help"});
  ASSERT_EQ(help.exitCode, 0) << help.err.toStdString();
  EXPECT_TRUE(help.out.startsWith("Usage: velmarin [OPTION]... [FILE]...\n"));
  for (const char* option :
       {"--help", "--version", "--run PROGRAM.mod", "--macro FILE.mac", "--macro-number N",
        "--screenshot FILE.png", "--keys KEYS", "--dump FILE", "--no-compiler", "--no-jit",
        "--debug", "--ready-time", "-platform NAME"})
    EXPECT_TRUE(help.out.contains(QString("\n  ") + option + " ")) << option;
  for (const char* status : {"\n  0 ", "\n  1 ", "\n  2 ", "\n  64 ", "\n  66 "})
    EXPECT_TRUE(help.out.contains(status)) << status;
  for (const QString& line : help.out.split('\n')) EXPECT_LE(line.size(), 79) << line.toStdString();
  EXPECT_TRUE(help.err.isEmpty());

  const Outcome version = Run({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_TRUE(
      QRegularExpression("^Velmarin Version [0-9]+\\.[0-9]+\n$").match(version.out).hasMatch())
      << version.out.toStdString();
}

TEST_F(CommandLine, UsageErrorsAreOneLineAndStatus64) {
  const struct {
    QStringList args;
    const char* message;
  } cases[] = {
      {{"--bogus"}, "unknown option --bogus (velmarin --help lists the options)"},
      {{"-x", "file.txt"}, "unknown option -x"},
      {{"--run"}, "--run needs PROGRAM.mod"},
      {{"--run="}, "--run needs PROGRAM.mod"},
      {{"--screenshot"}, "--screenshot needs FILE.png"},
      {{"--keys"}, "--keys needs KEYS"},
      {{"-platform"}, "-platform needs an argument"},
      {{"--version=2"}, "--version takes no argument"},
      {{"--run", "a.mod", "--macro", "m.mac", "--macro-number", "0"},
       "--macro-number needs a number from 1 to 64"},
      {{"--run", "a.mod", "--macro-number", "x"}, "--macro-number needs a number from 1 to 64"},
      {{"--macro", "m.mac"}, "--macro goes with --run"},
      {{"--run", "a.mod", "--macro-number", "2"}, "--macro-number goes with --macro"},
      {{"--run", "a.mod", "--dump", "d.txt"}, "--dump does not go with --run"},
      {{"--run", "a.mod", "--keys", "RETURN"}, "--keys does not go with --run"},
      {{"--debug"}, "--debug goes with --run"},
      {{"--run", "a.mod", "--debug", "--screenshot", "s.png"},
       "--debug does not go with --screenshot"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const Outcome o = Run(c.args);
    EXPECT_EQ(o.exitCode, 64);
    ExpectOneLine(o, c.message);
  }
}

TEST_F(CommandLine, MissingFilesAreNamedWithStatus66) {
  const QString program = Write("ok.mod", "MODULE ok; END ok.\n");
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder.mod"));
  const struct {
    QStringList args;
    const char* message;
  } cases[] = {
      {{"--run", "missing.mod"}, "missing.mod: no such file"},
      {{"--run", "folder.mod"}, "folder.mod: is a directory"},
      {{"--run", "nodir/x.mod"}, "nodir/x.mod: no such file"},
      {{"--run", program, "--macro", "missing.mac"}, "missing.mac: no such file"},
      // The workstation checks its files before it looks for a display.
      {{"missing.txt"}, "missing.txt: no such file"},
      {{program, "folder.mod"}, "folder.mod: is a directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const Outcome o = Run(c.args);
    EXPECT_EQ(o.exitCode, 66);
    ExpectOneLine(o, c.message);
  }
  if (::geteuid() == 0) return; // root reads every file
  const QString locked = Write("locked.mod", "MODULE locked; END locked.\n");
  ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::WriteOwner));
  const Outcome o = Run({"--run", locked});
  EXPECT_EQ(o.exitCode, 66);
  ExpectOneLine(o, "locked.mod: cannot be read (Permission denied)");
}

TEST_F(CommandLine, WithoutADisplayTheWorkstationSaysSoAndStops) {
  const Outcome o = Run({});
  EXPECT_EQ(o.exitCode, 1);
  ExpectOneLine(o, "no display");
}

TEST_F(CommandLine, OptionsComeInAnyOrder) {
  const QString hello =
      Write("hello.mod", "MODULE hello;\nFROM InOut IMPORT WriteString, WriteLn;\n"
                         "BEGIN WriteString(\"Hello\"); WriteLn END hello.\n");
  const QStringList orders[] = {
      {"-platform", "offscreen", "--run", hello},
      {"--run", hello, "-platform", "offscreen"},
      {"--run=" + hello},
      {"--run", hello, "--", "--not-an-option"}, // the program's arguments
  };
  for (const QStringList& args : orders) {
    SCOPED_TRACE(args.join(' ').toStdString());
    const Outcome o = Run(args);
    EXPECT_EQ(o.exitCode, 0) << o.err.toStdString();
    EXPECT_EQ(o.out, "Hello\n");
  }
}

// Each file named on the command line opens in an edit window; the last one is edited.
TEST_F(CommandLine, FilesOpenInEditWindows) {
  const QString first = Write("first.txt", "one\n");
  const QString second = Write("second.txt", "two\n");
  const QString dump = dir.filePath("dump.txt");
  const Outcome o = Run({first, second, "--keys", "'X' MENU@Windows/first.txt 'Y'", "--dump", dump},
                        Platform::Offscreen);
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  QFile file(dump);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromLatin1(file.readAll()).split('\n').first(), "Yone");
  // The typing went into the texts, not the files.
  QFile untouched(second);
  ASSERT_TRUE(untouched.open(QIODevice::ReadOnly));
  EXPECT_EQ(untouched.readAll(), "two\n");
}

// --run with --screenshot draws the program's windows off screen and saves them as it
// ends: the front one under the name given, the others numbered; also after a trap.
TEST_F(CommandLine, RunScreenshotSavesTheWindowsAProgramLeaves) {
  const QString program = Write("two.mod", R"(MODULE two;
FROM Graphics IMPORT Window, OpenWindow, SetWorld, DrawAxes;
VAR back, front: Window; i: INTEGER; a: ARRAY [0..1] OF INTEGER;
BEGIN
  back := OpenWindow("back", 10, 10, 300, 200);
  front := OpenWindow("front", 40, 40, 240, 160);
  SetWorld(0.0, 0.0, 1.0, 1.0); DrawAxes(FALSE);
  i := 2; a[i] := 0
END two.
)");
  ASSERT_TRUE(QDir(dir.path()).mkdir("programs"));
  ASSERT_TRUE(QFile::rename(program, dir.filePath("programs/two.mod")));
  // A relative name is the caller's, not the program's directory.
  const Outcome o = Run({"--run", "programs/two.mod", "--screenshot", "shot.png"});
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_TRUE(o.err.startsWith("Run-time error: ")) << o.err.toStdString();
  EXPECT_EQ(QImageReader(dir.filePath("shot.png")).size(), QSize(240, 160));
  EXPECT_EQ(QImageReader(dir.filePath("shot-2.png")).size().width(), 300);
  EXPECT_FALSE(QFile::exists(dir.filePath("shot-3.png")));

  const QString none = Write("none.mod", "MODULE none; END none.\n");
  const Outcome empty = Run({"--run", none, "--screenshot", dir.filePath("none.png")});
  EXPECT_EQ(empty.exitCode, 1);
  ExpectOneLine(empty, "the program left no window for the screenshot");

  const QString wrong = Write("wrong.mod", "MODULE wrong; BEGIN x := 1 END wrong.\n");
  const Outcome error = Run({"--run", wrong, "--screenshot", dir.filePath("wrong.png")});
  EXPECT_EQ(error.exitCode, 2);
  EXPECT_TRUE(error.err.contains("wrong.mod:1:21: error: ")) << error.err.toStdString();
  EXPECT_FALSE(QFile::exists(dir.filePath("wrong.png")));
}

} // namespace
