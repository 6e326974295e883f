// The velmarin executable on Qt's offscreen platform, driven from its command line as a
// user would drive it: the driver's options, every way a window closes, Quit with
// modified text, and a soak of random key scripts. These run the real Qt backend, whose
// focus changes and re-entrant notifications the headless backend does not have.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <random>
#include <string>
#include <vector>

#include "platform/Startup.h"

namespace {

struct Outcome {
  int exitCode = -1; // -1: crashed or hung
  QString out;
  QString err;
};

// Runs velmarin in workDir (the start directory, where the command text's file
// "Command" lives; the test's own when empty).
Outcome RunVelmarin(const QStringList& args, const QString& workDir = {}, int timeoutMs = 60000) {
  QProcess p;
  if (!workDir.isEmpty()) p.setWorkingDirectory(workDir);
  // A configuration directory of its own: no run reads or writes the user's settings.
  QTemporaryDir config;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
  p.setProcessEnvironment(environment);
  p.start(QStringLiteral(VELMARIN_EXE), QStringList{"-platform", "offscreen"} + args);
  Outcome o;
  if (!p.waitForFinished(timeoutMs)) {
    p.kill();
    p.waitForFinished();
    return o;
  }
  o.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  o.out = QString::fromLocal8Bit(p.readAllStandardOutput());
  o.err = QString::fromLocal8Bit(p.readAllStandardError());
  return o;
}

class EndToEnd : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    static int argc = 3;
    static char arg0[] = "test", arg1[] = "-platform", arg2[] = "offscreen";
    static char* argv[] = {arg0, arg1, arg2, nullptr};
    app = new QGuiApplication(argc, argv);
  }
  static void TearDownTestSuite() {
    delete app;
    app = nullptr;
  }
  // The frame's size on the same platform and screen as velmarin's.
  static QSize ExpectedFrame() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect g = screen->geometry();
    const Toolbox::Point size =
        Startup::FrameSize(screen->logicalDotsPerInch(),
                           Toolbox::Rect{g.left(), g.top(), g.right() + 1, g.bottom() + 1});
    return QSize(size.h, size.v);
  }
  QTemporaryDir dir;
  static QGuiApplication* app;
};
QGuiApplication* EndToEnd::app = nullptr;

TEST_F(EndToEnd, ScreenshotAfterStartUpShowsTheWholeFrame) {
  const QString shot = dir.filePath("out.png");
  const Outcome o = RunVelmarin({"--screenshot", shot});
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  QImageReader png(shot);
  EXPECT_EQ(png.format(), "png");
  EXPECT_EQ(png.size(), ExpectedFrame());
}

TEST_F(EndToEnd, InjectedKeysAreConsumedBeforeTheScreenshot) {
  const QString shot = dir.filePath("keys.png");
  const Outcome o = RunVelmarin({"--keys", "'abc' RETURN C-w KP8 S-RIGHT", "--screenshot", shot});
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_EQ(QImageReader(shot).size(), ExpectedFrame());
}

TEST_F(EndToEnd, TypedTextIsInTheDumpAndTheScreenshot) {
  const QString shot = dir.filePath("typed.png");
  const QString dump = dir.filePath("typed.txt");
  const Outcome o = RunVelmarin({"--keys", "'hello' RETURN", "--dump", dump, "--screenshot", shot});
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_EQ(QImageReader(shot).size(), ExpectedFrame());
  QFile file(dump);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromLatin1(file.readAll()).split('\n');
  // The command text with the typed line where the cursor starts (line count - 2), the
  // message line last.
  ASSERT_GE(lines.size(), 4);
  EXPECT_TRUE(lines[0].startsWith("MODULE Command;")) << lines[0].toStdString();
  const qsizetype hello = lines.indexOf("hello");
  ASSERT_GE(hello, 0);
  ASSERT_GE(hello, 2);
  EXPECT_EQ(lines[hello - 2], "BEGIN");
  EXPECT_EQ(lines[hello + 1], "");
  EXPECT_EQ(lines[lines.size() - 3], "END Command.");
  EXPECT_EQ(lines[lines.size() - 2], "message: ");
  EXPECT_EQ(lines.back(), ""); // the file ends with a line end
}

TEST_F(EndToEnd, DumpAloneEndsTheRunWithTheMessageLine) {
  const QString dump = dir.filePath("message.txt");
  const Outcome o = RunVelmarin({"--no-compiler", "--keys", "F12", "--dump", dump});
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  QFile file(dump);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().endsWith("\nmessage: Compiler not available !\n"));
  EXPECT_EQ(RunVelmarin({"--dump", dir.filePath("missing/dir/d.txt")}).exitCode, 1);
}

TEST_F(EndToEnd, ControlQQuitsAndTheKeysAfterItAreNotTyped) {
  const QString dump = dir.filePath("quit.txt");
  const QString shot = dir.filePath("quit.png");
  const Outcome o =
      RunVelmarin({"--keys", "'abc' C-q 'def'", "--dump", dump, "--screenshot", shot});
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_EQ(QImageReader(shot).size(), ExpectedFrame()); // taken as the program ended
  QFile file(dump);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  EXPECT_TRUE(text.contains("\nabc\n"));
  EXPECT_FALSE(text.contains("def"));
}

TEST_F(EndToEnd, BadKeyScriptIsRefusedWithExitCode2) {
  const QString shot = dir.filePath("never.png");
  const Outcome o = RunVelmarin({"--keys", "RETURN NOSUCHKEY", "--screenshot", shot});
  EXPECT_EQ(o.exitCode, 2);
  EXPECT_TRUE(o.err.contains("token 2 \"NOSUCHKEY\": unknown key name")) << o.err.toStdString();
  EXPECT_FALSE(QFile::exists(shot));
  EXPECT_EQ(RunVelmarin({"--keys"}).exitCode, 2);
}

TEST_F(EndToEnd, UnwritableScreenshotFailsTheRun) {
  const Outcome o = RunVelmarin({"--screenshot", dir.filePath("missing/dir/out.png")});
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_TRUE(o.err.contains("cannot write the screenshot")) << o.err.toStdString();
}

// The start-up benchmark's figure is taken once the editor waits for its first key with
// the command text on the screen: the frame then is the one a user finds at rest.
TEST_F(EndToEnd, ReadyTimeIsTakenWithTheCommandTextShown) {
  const QString ready = dir.filePath("ready.png");
  const QString idle = dir.filePath("idle.png");
  const Outcome o = RunVelmarin({"--ready-time", "--screenshot", ready});
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  ASSERT_TRUE(o.out.startsWith("ready-ms ")) << o.out.toStdString();
  bool number = false;
  EXPECT_GT(o.out.mid(9).trimmed().toDouble(&number), 0.0);
  EXPECT_TRUE(number) << o.out.toStdString();
  ASSERT_EQ(RunVelmarin({"--screenshot", idle}).exitCode, 0);
  const QImage shown(ready);
  ASSERT_FALSE(shown.isNull());
  EXPECT_EQ(shown, QImage(idle));
}

// The keys typed into a program started in the test's directory, and what its text
// and message line were at the end.
class Desktop : public EndToEnd {
protected:
  struct Typed {
    int exitCode = -1;
    QString dump;
    QString err;
  };
  Typed Run(const QString& keys, int timeoutMs = 120000) {
    const QString dumpFile = dir.filePath("dump.txt");
    QFile::remove(dumpFile);
    const Outcome o = RunVelmarin({"--keys", keys, "--dump", dumpFile}, dir.path(), timeoutMs);
    Typed t{o.exitCode, {}, o.err};
    QFile f(dumpFile);
    if (f.open(QIODevice::ReadOnly)) t.dump = QString::fromUtf8(f.readAll());
    return t;
  }
  QString CommandFile() const {
    QFile f(dir.filePath("Command"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
  }
};

// Every way a window closes, each followed by typing into whatever is in front then.
TEST_F(Desktop, EveryWayAWindowClosesLeavesAWorkingProgram) {
  const QString foo = "GOLD M GOLD E 'foo' RETURN y 'abc' ";
  const struct {
    const char* name;
    QString keys;
    const char* typed; // a line of the dump
  } cases[] = {
      {"help screen, a key", "F1 RIGHT 'x'", "x"},
      {"help screen, a click", "F1 CLICK 'x'", "x"},
      {"help screen, its close box", "F1 CLOSEBOX 'x'", "x"},
      // The Command window shows the buffer of a current window that closes.
      {"own window, Ctrl+F4", foo + "C-F4 'x'", "abcx"},
      {"own window, close box", foo + "CLOSEBOX 'x'", "abcx"},
      {"own window, its buffer deleted",
       foo + "GOLD E 'bar' RETURN y F5 GOLD D 'foo' RETURN y 'x'", "x"},
      {"own window, its buffer edited again", foo + "F5 GOLD E 'foo' RETURN 'x'", "abcx"},
      {"List window, Ctrl+F4", "F7 C-F4 F5 'x'", "x"},
      {"List window, close box", "F7 CLOSEBOX F5 'x'", "x"},
      {"a click after Ctrl+F6", foo + "C-F6 CLICK C-F6 CLICK 'x'", "abcx"},
  };
  for (const auto& c : cases) {
    const Typed o = Run(c.keys);
    ASSERT_EQ(o.exitCode, 0) << c.name << "\n" << o.err.toStdString();
    EXPECT_TRUE(o.dump.split('\n').contains(c.typed)) << c.name << "\n" << o.dump.toStdString();
  }
}

// The frame's close box is Quit: nothing modified, it ends at once.
TEST_F(Desktop, FrameCloseBoxQuits) {
  const Typed o = Run("FRAMECLOSE 'x'");
  EXPECT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_FALSE(o.dump.contains("x\n"));
  EXPECT_FALSE(QFile::exists(dir.filePath("Command")));
}

// Quit after editing the command text asks "Save Modified Text ?" (Yes, Cancel, No) and
// then about each modified text (Yes, No, Cancel; RETURN takes Yes).
TEST_F(Desktop, QuitWithModifiedTextSavesOnlyWhenAskedTo) {
  Typed o = Run("'hello' C-q y RETURN 'x'");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_TRUE(CommandFile().contains("\nhello\n")) << CommandFile().toStdString();
  EXPECT_FALSE(o.dump.contains("hellox"));
  QFile::remove(dir.filePath("Command"));

  o = Run("'hello' C-q n 'x'");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_FALSE(QFile::exists(dir.filePath("Command")));

  // Cancel keeps the program running with the text as it was.
  o = Run("'hello' C-q ESC 'x'");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_TRUE(o.dump.split('\n').contains("hellox")) << o.dump.toStdString();
  EXPECT_FALSE(QFile::exists(dir.filePath("Command")));

  // The frame's close box goes the same way.
  o = Run("'hello' FRAMECLOSE y RETURN");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_TRUE(CommandFile().contains("\nhello\n"));
}

// The File menu's Open (Control+O) with the file typed into the platform's file dialog,
// an edit, and Save (Control+S): the file on disk holds the change.
TEST_F(Desktop, OpenEditAndSaveAFileThroughTheFileMenu) {
  QFile file(dir.filePath("hello.txt"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("line one\nline two\n");
  file.close();
  const Typed o = Run("C-o '" + dir.filePath("hello.txt") + "' RETURN 'X' C-s");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_TRUE(o.dump.endsWith("message: Saved:   " + dir.filePath("hello.txt") + "\n"))
      << o.dump.toStdString();
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), "Xline one\nline two\n");
}

// A Linux desktop's UTF-8: é typed through a key event and "€ π" pasted from the
// desktop's clipboard into the command text, whose characters are the set's; a file
// with characters outside the set opens with a word on the message line, takes π from
// the clipboard as it is, and is saved with every other byte as it was.
TEST_F(Desktop, Utf8IsTypedPastedOpenedAndSavedAsWritten) {
  Typed o = Run(QString::fromUtf8("'é' CLIPBOARD'€ π' GOLD KP6"));
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_TRUE(o.dump.split('\n').contains(QString::fromUtf8("é€ ?"))) << o.dump.toStdString();
  EXPECT_TRUE(o.dump.endsWith("message: 1 character(s) beyond Windows-1252 became ?\n"))
      << o.dump.toStdString();

  const QString comment = QString::fromUtf8("(* Grüße für Mädchen — 20°C, 5 €, π ≈ 3.14 *)");
  QFile file(dir.filePath("comment.mod"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write((comment + "\r\nEND\r\n").toUtf8());
  file.close();
  o = Run("C-o '" + file.fileName() + "' RETURN");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_EQ(o.dump, comment + "\nEND\nmessage: UTF-8 beyond Windows-1252 kept as bytes: '" +
                        file.fileName() + "'\n");
  o = Run(QString::fromUtf8("C-o '") + file.fileName() +
          QString::fromUtf8("' RETURN CLIPBOARD'π€' GOLD KP6 'é' C-s"));
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(file.readAll()), QString::fromUtf8("π€é") + comment + "\r\nEND\r\n");
}

// A store that fails asks "QUIT anyway ?"; No (its default) keeps the program and the
// text; Yes ends it.
TEST_F(Desktop, AFailedStoreAsksAgain) {
  ASSERT_TRUE(QDir(dir.path()).mkdir("Command")); // no file can replace a directory
  Typed o = Run("'hello' C-q y RETURN RETURN 'x'");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_TRUE(o.dump.split('\n').contains("hellox")) << o.dump.toStdString();
  o = Run("'hello' C-q y RETURN y 'x'");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_FALSE(o.dump.contains("hellox"));
}

// Print (Control+P) of an opened 200-line text to a PDF file, without the platform's
// dialogs (VELMARIN_PRINT_PDF) but with the margins dialog, confirmed by RETURN: every
// line once, in order, the first page beginning with the first lines.
TEST_F(Desktop, PrintingATextMakesAPdfOfItsLines) {
  QStringList text;
  for (int i = 1; i <= 200; ++i) text << QStringLiteral("line %1").arg(i);
  QFile file(dir.filePath("long.txt"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write((text.join('\n') + '\n').toLatin1());
  file.close();
  const QString pdf = dir.filePath("long.pdf");
  qputenv("VELMARIN_PRINT_PDF", pdf.toLocal8Bit());
  const Typed o = Run("C-o '" + file.fileName() + "' RETURN C-p RETURN");
  qunsetenv("VELMARIN_PRINT_PDF");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  ASSERT_TRUE(QFile::exists(pdf));

  QProcess images;
  images.start("pdftoppm", {"-r", "30", "-png", pdf, dir.filePath("page")});
  ASSERT_TRUE(images.waitForFinished(60000));
  const QStringList pages = QDir(dir.path()).entryList({"page*.png"}, QDir::Files, QDir::Name);
  QProcess words;
  words.start("pdftotext", {"-layout", pdf, "-"});
  ASSERT_TRUE(words.waitForFinished(60000));
  // pdftotext ends every page with a form feed; its layout spreads the characters of a
  // fixed-pitch face, so blanks are compared as one.
  QStringList printed = QString::fromLatin1(words.readAllStandardOutput()).split('\f');
  printed.removeLast();
  ASSERT_GE(pages.size(), 2) << pages.join(' ').toStdString();
  ASSERT_EQ(printed.size(), pages.size());
  QStringList lines;
  for (const QString& page : printed)
    for (const QString& line : page.split('\n', Qt::SkipEmptyParts)) lines << line.simplified();
  EXPECT_EQ(lines.join('\n').toStdString(), text.join('\n').toStdString());
  EXPECT_TRUE(printed.front().simplified().startsWith("line 1 line 2 line 3 "));
  EXPECT_FALSE(QImage(dir.filePath(pages.front())).isNull());
}

// Random key scripts over the whole key list, windows opening and closing on the way:
// the program must survive them all and end normally.
std::string RandomScript(unsigned seed, int tokens) {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> k = {"RETURN", "TAB",  "ESC",    "BACKSPACE", "SPACE", "DELETE",
                                  "GOLD",   "HOME", "END",    "PGUP",      "PGDN",  "UP",
                                  "DOWN",   "LEFT", "RIGHT",  "KPENTER",   "KPMINUS", "KPPLUS",
                                  "KPDOT",  "KPDIV", "KPMUL", "CLICK",     "CLOSEBOX"};
    for (int i = 1; i <= 15; ++i) k.push_back("F" + std::to_string(i));
    for (int i = 0; i <= 9; ++i) k.push_back("KP" + std::to_string(i));
    return k;
  }();
  static const std::string letters = "abcdefghijklmnopqrstuvwxyz0123456789";
  static const std::string goldLetters = "cdeflmrstwx";
  std::mt19937 random(seed);
  auto pick = [&random](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
  std::string script;
  for (int i = 0; i < tokens; ++i) {
    const std::size_t kind = pick(10);
    std::string token;
    if (kind < 3) {
      token = letters.substr(pick(letters.size()), 1);
    } else if (kind < 7) {
      token = keys[pick(keys.size())];
      const std::size_t prefix = pick(20);
      if (prefix < 2) token = "C-" + token;
      else if (prefix < 4) token = "S-" + token;
      else if (prefix < 5 && token != "CLICK" && token != "CLOSEBOX") token = "A-" + token;
      if (token.find('-') != std::string::npos && (token.ends_with("CLICK") || token.ends_with("CLOSEBOX")))
        token = token.substr(2);
    } else if (kind < 9) {
      token = "GOLD " + (pick(2) == 0 ? goldLetters.substr(pick(goldLetters.size()), 1)
                                      : keys[pick(keys.size())]);
    } else {
      // Control keys, but not Q: quitting would end the soak early.
      static const std::vector<std::string> control = {"a", "b", "c", "d", "e", "f", "h",
                                                       "j", "u", "w", "z", "F4", "F6",
                                                       "BACKSPACE", "DELETE", "2", "5"};
      token = "C-" + control[pick(control.size())];
    }
    script += token + " ";
  }
  return script;
}

class KeySoak : public Desktop, public ::testing::WithParamInterface<unsigned> {};

TEST_P(KeySoak, RandomKeysEndNormally) {
  const std::string script = RandomScript(GetParam(), 2000);
  const Typed o = Run(QString::fromStdString(script), 600000);
  EXPECT_EQ(o.exitCode, 0) << "seed " << GetParam() << "\n" << o.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Seeds, KeySoak, ::testing::Values(1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u));

} // namespace
