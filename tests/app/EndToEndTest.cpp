// The velmarin executable on Qt's offscreen platform, driven from its command line as a
// user would drive it: the driver's options, every way a window closes, Quit with
// modified text, and a soak of random key scripts. These run the real Qt backend, whose
// focus changes and re-entrant notifications the headless backend does not have.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QMap>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "Velmarin.h"
#include "platform/Startup.h"

namespace {

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

TEST_F(EndToEnd, BadKeyScriptIsAUsageError) {
  const QString shot = dir.filePath("never.png");
  const Outcome o = RunVelmarin({"--keys", "RETURN NOSUCHKEY", "--screenshot", shot});
  EXPECT_EQ(o.exitCode, 64);
  EXPECT_TRUE(o.err.contains("token 2 \"NOSUCHKEY\": unknown key name")) << o.err.toStdString();
  EXPECT_FALSE(QFile::exists(shot));
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

// The caret shows again once a platform dialog has closed: what the user sees after
// cancelling a file dialog and typing is what typing alone shows.
TEST_F(EndToEnd, TheCaretComesBackAfterAFileDialog) {
  const QString plain = dir.filePath("plain.png");
  ASSERT_EQ(RunVelmarin({"--keys", "'abc'", "--screenshot", plain}).exitCode, 0);
  for (const char* dialog : {"C-o ESC", "C-n ESC", "MENU@File/Set_Directory ESC"}) {
    const QString shot = dir.filePath("dialog.png");
    const Outcome o = RunVelmarin({"--keys", QString(dialog) + " 'abc'", "--screenshot", shot});
    ASSERT_EQ(o.exitCode, 0) << dialog << "\n" << o.err.toStdString();
    EXPECT_EQ(QImage(shot), QImage(plain)) << dialog;
  }
}

// Where two screenshots of the same size differ: runs of pixel rows changed over the same
// width, one for each row of cells that changed.
struct Band {
  int top = 0, bottom = 0, left = 1 << 20, right = -1;
};
std::vector<Band> Differences(const QImage& a, const QImage& b) {
  std::vector<Band> bands;
  for (int y = 0; y < a.height(); ++y) {
    int left = 1 << 20, right = -1;
    for (int x = 0; x < a.width(); ++x)
      if (a.pixel(x, y) != b.pixel(x, y)) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
    if (right < 0) continue;
    if (bands.empty() || bands.back().bottom != y - 1 || bands.back().left != left ||
        bands.back().right != right)
      bands.push_back(Band{y, y, left, right});
    bands.back().bottom = y;
  }
  return bands;
}

// A select range over "abc", an empty line and "def" shows each line end inside it as one
// highlighted cell: the pixels that closing the range changes lie in three bands, the
// empty line's as wide as one cell, the others as four.
TEST_F(EndToEnd, AnEmptyLineInASelectRangeShowsOneHighlightedCell) {
  const QString keys = "'abc' RETURN RETURN 'def' RETURN UP UP UP KPDOT KP0 KP0 KP0";
  const QString open = dir.filePath("open.png"), closed = dir.filePath("closed.png");
  ASSERT_EQ(RunVelmarin({"--keys", keys, "--screenshot", open}, dir.path()).exitCode, 0);
  ASSERT_EQ(
      RunVelmarin({"--keys", keys + " GOLD KPDOT", "--screenshot", closed}, dir.path()).exitCode,
      0);
  const QImage a(open), b(closed);
  ASSERT_EQ(a.size(), b.size());
  const std::vector<Band> bands = Differences(a, b);
  ASSERT_GE(bands.size(), 3u);
  const double cell = (bands[0].right - bands[0].left + 1) / 4.0;
  EXPECT_NEAR(bands[1].right - bands[1].left + 1, cell, cell / 4);
  EXPECT_EQ(bands[1].left, bands[0].left);
  EXPECT_NEAR(bands[2].right - bands[2].left + 1, 4 * cell, cell / 4);
}

// Texts changing under windows that show them, drawn when the key is done. A program's
// output leaves the List at its end: two lines more change every row of the List, in the
// frame's lower part. A select range written to the List from the Command window shows
// there as one new row, the only one that differs from writing it to a text no window shows.
// (A row of cells may split into bands where its letters are of different heights.)
TEST_F(EndToEnd, WindowsShowTheTextsThatChangeUnderThem) {
  // Every run starts in the same empty directory, which the command text names.
  const QString work = dir.filePath("work"), file = dir.filePath("shot.png");
  const auto shot = [&](const QString& keys) {
    QDir(work).removeRecursively();
    QDir().mkpath(work);
    const Outcome o = RunVelmarin({"--keys", keys, "--screenshot", file}, work);
    EXPECT_EQ(o.exitCode, 0) << o.err.toStdString();
    return QImage(file);
  };
  const auto output = [](int lines) {
    return QString("C-n 'P.mod' RETURN 'MODULE P; FROM InOut IMPORT WriteString, WriteLn, "
                   "WriteInt; VAR i: INTEGER;' RETURN 'BEGIN FOR i := 1 TO %1 DO "
                   "WriteString(\"row\"); WriteInt(i, 3); WriteLn END END P.' RETURN F12 F5 "
                   "'c.execute(\"P\");' F12")
        .arg(lines);
  };
  const QImage forty = shot(output(40)), fortyTwo = shot(output(42));
  ASSERT_EQ(forty.size(), fortyTwo.size());
  const std::vector<Band> rows = Differences(forty, fortyTwo);
  EXPECT_GE(rows.size(), 8u);
  for (const Band& band : rows) EXPECT_GT(band.top, forty.height() / 2);

  const QString select = "'hello' KPDOT KP5 KP1 GOLD 'w' ";
  const QImage toList = shot(select + "'/Shell/List' RETURN");
  const QImage elsewhere = shot(select + "'/User/Other' RETURN");
  ASSERT_EQ(toList.size(), elsewhere.size());
  const std::vector<Band> written = Differences(toList, elsewhere);
  ASSERT_FALSE(written.empty());
  EXPECT_GT(written.front().top, toList.height() / 2);
  // One row of cells: less high than two of the ten rows the program's output changed.
  EXPECT_LT(written.back().bottom - written.front().top,
            (rows.back().bottom - rows.front().top) / 5);
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
  // With a file name for it, a screenshot is taken as the keys are consumed.
  Typed Run(const QString& keys, int timeoutMs = 120000, const QString& shot = {}) {
    const QString dumpFile = dir.filePath("dump.txt");
    QFile::remove(dumpFile);
    QStringList args{"--keys", keys, "--dump", dumpFile};
    if (!shot.isEmpty()) args << "--screenshot" << shot;
    const Outcome o =
        RunVelmarin(args, dir.path(), timeoutMs, Platform::Offscreen, {}, state.path());
    Typed t{o.exitCode, {}, o.err};
    QFile f(dumpFile);
    if (f.open(QIODevice::ReadOnly)) t.dump = QString::fromUtf8(f.readAll());
    return t;
  }
  QString CommandFile() const {
    QFile f(dir.filePath("Command"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
  }
  QString FileText(const QString& name) const {
    QFile f(dir.filePath(name));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
  }
  // The workstations' recovery files.
  QStringList RecoveryFiles() const {
    return QDir(state.filePath("velmarin/recovery")).entryList({"*.rec"}, QDir::Files, QDir::Name);
  }
  QTemporaryDir state;
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
      {"own window, its buffer deleted", foo + "GOLD E 'bar' RETURN y F5 GOLD D 'foo' RETURN y 'x'",
       "x"},
      {"own window, its buffer edited again", foo + "F5 GOLD E 'foo' RETURN 'x'", "abcx"},
      // A prompt or the help screen in a window that File > Close takes away ends first.
      {"own window closed under Find", foo + "GOLD KPMUL 'ab' MENU@File/Close 'x'", "abcx"},
      {"own window closed under Edit buffer", foo + "GOLD E 'b' MENU@File/Close 'x'", "abcx"},
      {"own window closed under the help screen", foo + "F1 MENU@File/Close 'x'", "abcx"},
      // In the one-window mode the Command window stays and shows the command text again.
      {"one window, Ctrl+F4", "GOLD E 'foo' RETURN y 'abc' C-F4 'x' GOLD E 'foo' RETURN", "abc"},
      {"one window, close box", "GOLD E 'foo' RETURN y 'abc' CLOSEBOX 'x' F5", "x"},
      {"List window, Ctrl+F4", "F7 C-F4 F5 'x'", "x"},
      {"List window, close box", "F7 CLOSEBOX F5 'x'", "x"},
      {"a click after Ctrl+F6", foo + "C-F6 CLICK C-F6 CLICK 'x'", "abcx"},
  };
  for (const auto& c : cases) {
    const Typed o = Run(c.keys);
    ASSERT_EQ(o.exitCode, 0) << c.name << "\n" << o.err.toStdString();
    EXPECT_TRUE(o.dump.split('\n').contains(c.typed)) << c.name << "\n" << o.dump.toStdString();
  }
  // The x typed after closing foo in the one-window mode went into the command text.
  EXPECT_TRUE(Run("GOLD E 'foo' RETURN y 'abc' C-F4 'x'").dump.startsWith("MODULE Command;"));
}

// Deleting a buffer the workstation holds is refused, and what uses it goes on: the
// Notebook opens (Control+L), a text loads through the terminal's heap.
TEST_F(Desktop, DeletingWhatTheWorkstationHoldsIsRefused) {
  QFile file(dir.filePath("big.txt"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("one\ntwo\n");
  file.close();
  const Typed o = Run("'c.del(\"/Shell/Notebook\"); c.del(\"/Shell/ANSITerm.Heap\"); "
                      "c.tload(\"big.txt\");' F12 C-l");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_TRUE(o.dump.endsWith("message: del - Buffer is in use.\n")) << o.dump.toStdString();
}

// A command that fails raises the store's check alert; its default, BREAK, ends the run
// of the command text with its report ("BREAK called."), not the workstation.
TEST_F(Desktop, BreakInAnAlertEndsTheRunOnly) {
  const Typed o = Run("'c.cdir(\"/Nope/X\");' F12 RETURN RETURN 'x'");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_TRUE(o.dump.contains("c.cdir(\"/Nope/X\");x\n")) << o.dump.toStdString();
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

  // Escape on the question about one text is Cancel too: nothing stored, nothing ended.
  o = Run("'hello' C-q y ESC 'x'");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_TRUE(o.dump.split('\n').contains("hellox")) << o.dump.toStdString();
  EXPECT_FALSE(QFile::exists(dir.filePath("Command")));

  // The frame's close box goes the same way.
  o = Run("'hello' FRAMECLOSE y RETURN");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_TRUE(CommandFile().contains("\nhello\n"));
}

// Quit while a program computes asks at once whether to stop it. No, or Cancel on the
// question about modified texts that Yes leads to, lets it run on (Control+C then
// interrupts it, and the x lands in the command text); Yes and No to saving ends the
// workstation. The frame's close box asks the same.
TEST_F(Desktop, QuitWhileAProgramComputesAsksFirst) {
  QFile command(dir.filePath("Command"));
  ASSERT_TRUE(command.open(QIODevice::WriteOnly));
  command.write("MODULE Command;\n(* the directory line *)\nBEGIN\n  LOOP END\nEND Command.\n");
  command.close();
  const QString edited = "GOLD E 'foo' RETURN y 'abc' F5 F12 WAIT@300 ";
  const struct {
    QString keys;
    bool runsOn;
  } cases[] = {
      {"F12 WAIT@300 C-q n WAIT@200 C-c RETURN 'x'", true},
      {"F12 WAIT@300 C-q y 'x'", false},
      {edited + "C-q y ESC WAIT@200 C-c RETURN 'x'", true},
      {edited + "FRAMECLOSE y n 'x'", false},
  };
  for (const auto& c : cases) {
    const Typed o = Run(c.keys, 30000);
    ASSERT_EQ(o.exitCode, 0) << c.keys.toStdString() << "\n" << o.err.toStdString();
    EXPECT_EQ(o.dump.contains("xBEGIN"), c.runsOn) << c.keys.toStdString();
  }
}

// Where the windows are once the keys are typed (--geometry): the client area's size
// and the frame of each shown window by its title.
struct Layout {
  QSize client;
  QMap<QString, QRect> windows;
};

class Arranging : public Desktop {
protected:
  Layout Arrange(const QString& keys) {
    const QString file = dir.filePath("geometry.txt");
    QFile::remove(file);
    const Outcome o = RunVelmarin({"--keys", keys, "--geometry", file}, dir.path(), 120000,
                                  Platform::Offscreen, {}, state.path());
    EXPECT_EQ(o.exitCode, 0) << keys.toStdString() << "\n" << o.err.toStdString();
    Layout layout;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return layout;
    for (const QString& line : QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts)) {
      const QStringList w = line.split(' ');
      if (w[0] == "client" && w.size() == 3) layout.client = QSize(w[1].toInt(), w[2].toInt());
      if (w[0] == "window" && w.size() >= 6)
        layout.windows[w.mid(5).join(' ')] =
            QRect(QPoint(w[1].toInt(), w[2].toInt()), QPoint(w[3].toInt() - 1, w[4].toInt() - 1));
    }
    return layout;
  }
  // The rectangle r of the area from taken to the same proportions of the area to.
  static QRect Scaled(const QRect& r, QSize from, QSize to) {
    auto x = [&](int v) { return v * to.width() / double(from.width()); };
    auto y = [&](int v) { return v * to.height() / double(from.height()); };
    return QRect(QPoint(qRound(x(r.left())), qRound(y(r.top()))),
                 QPoint(qRound(x(r.right() + 1)) - 1, qRound(y(r.bottom() + 1)) - 1));
  }
  static bool Near(const QRect& a, const QRect& b) {
    return std::abs(a.left() - b.left()) <= 1 && std::abs(a.top() - b.top()) <= 1 &&
           std::abs(a.right() - b.right()) <= 1 && std::abs(a.bottom() - b.bottom()) <= 1;
  }
};

// Windows > Tile and Cascade with three windows open (multi-window mode): every window
// wholly inside the client area; tiled, none over another and no area left empty.
TEST_F(Arranging, TileAndCascadeKeepThreeWindowsInsideTheFrame) {
  const QString three = "GOLD M GOLD E 'a1' RETURN y 'abc' ";
  for (const char* command : {"Tile", "Cascade"}) {
    const Layout l = Arrange(three + "MENU@Windows/" + command + " 'x'");
    ASSERT_EQ(l.windows.size(), 3) << command;
    const QRect client(QPoint(0, 0), l.client);
    int covered = 0;
    for (auto it = l.windows.begin(); it != l.windows.end(); ++it) {
      EXPECT_TRUE(client.contains(it.value())) << command << " " << it.key().toStdString();
      covered += it.value().width() * it.value().height();
      for (auto other = l.windows.begin(); other != it && QString(command) == "Tile"; ++other)
        EXPECT_FALSE(it.value().intersects(other.value()))
            << it.key().toStdString() << " over " << other.key().toStdString();
    }
    if (QString(command) == "Tile") {
      EXPECT_EQ(covered, l.client.width() * l.client.height());
    } else {
      // Back to front down the steps: List, Command, then a1 in front.
      EXPECT_LT(l.windows["List"].top(), l.windows["Command"].top());
      EXPECT_LT(l.windows["Command"].top(), l.windows["a1"].top());
      EXPECT_EQ(l.windows["a1"].size(), l.windows["List"].size());
    }
  }
}

// The frame enlarged: the Command and List windows keep their shares of the client area;
// the one the user has moved stays where the user put it, the other still follows.
TEST_F(Arranging, TheShellWindowsFollowTheFrameUntilMoved) {
  const Layout start = Arrange("");
  ASSERT_TRUE(start.windows.contains("Command") && start.windows.contains("List"));
  const Layout grown = Arrange("RESIZE@1200,900 'x'");
  ASSERT_GT(grown.client.width(), start.client.width());
  ASSERT_GT(grown.client.height(), start.client.height());
  for (const char* title : {"Command", "List"})
    EXPECT_TRUE(
        Near(grown.windows[title], Scaled(start.windows[title], start.client, grown.client)))
        << title;

  const Layout placed = Arrange("PLACE@List:40,420,300,120 'x'");
  // The drag's content of 300 by 120 at 40,420, in a frame of caption and borders.
  EXPECT_NEAR(placed.windows["List"].width(), 300, 20);
  EXPECT_NEAR(placed.windows["List"].bottom(), 540, 20);
  const Layout moved = Arrange("PLACE@List:40,420,300,120 RESIZE@1200,900 'x'");
  EXPECT_EQ(moved.windows["List"], placed.windows["List"]);
  EXPECT_TRUE(Near(moved.windows["Command"], grown.windows["Command"]));
}

// The menus open from the keyboard: Alt and a title's underlined letter, then arrows and
// RETURN choose an item without a Control key (File > Close); Escape closes the menu and
// the keys after it reach the text; F10 stays the program's key.
TEST_F(Desktop, MenusOpenWithAltAndTheirLetter) {
  Typed o = Run("GOLD E 'foo' RETURN y A-f DOWN DOWN DOWN DOWN RETURN 'x'");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_TRUE(o.dump.startsWith("MODULE Command;")) << o.dump.toStdString();
  EXPECT_TRUE(o.dump.split('\n').contains("x")) << o.dump.toStdString();
  for (const char* keys : {"A-f ESC 'x'", "A-w ESC 'x'", "F10 'x'"}) {
    o = Run(keys);
    ASSERT_EQ(o.exitCode, 0) << keys << "\n" << o.err.toStdString();
    EXPECT_TRUE(o.dump.split('\n').contains("x")) << keys << "\n" << o.dump.toStdString();
  }
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

// The README's first ten minutes, key by key: a program written in the workstation,
// compiled with F12, run from the command text with its output in the List; a compile
// error; a trap report, and F12 after it on the line of the error.
TEST_F(Desktop, TheFirstTenMinutesGoAsTheReadmeSays) {
  const QString hello = "C-n 'Hello.mod' RETURN 'MODULE Hello;' RETURN "
                        "'FROM InOut IMPORT WriteString, WriteLn;' RETURN 'BEGIN' RETURN "
                        "'  WriteString(\"Hello, world\"); WriteLn' RETURN 'END Hello.' F12 ";
  Typed o = Run(hello + "F5 'c.execute(\"Hello\");' F12 F7");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_TRUE(o.dump.split('\n').contains("Hello, world")) << o.dump.toStdString();

  QFile::remove(dir.filePath("Hello.mod"));
  o = Run(hello + "MENU@Windows/Hello GOLD KP4 BACKSPACE F12");
  EXPECT_TRUE(o.dump.endsWith("END Hello\nmessage: '.' expected\n")) << o.dump.toStdString();

  const QString squares = "C-n 'Squares.mod' RETURN 'MODULE Squares;' RETURN "
                          "'FROM InOut IMPORT WriteInt, WriteLn;' RETURN "
                          "'VAR a: ARRAY [1..3] OF INTEGER; i: INTEGER;' RETURN 'BEGIN' RETURN "
                          "'  FOR i := 1 TO 4 DO a[i] := i * i; WriteInt(a[i], 4) END;' RETURN "
                          "'  WriteLn' RETURN 'END Squares.' F12 F5 'c.execute(\"Squares\");' F12 "
                          "RETURN ";
  QFile::remove(dir.filePath("Hello.mod"));
  QFile::remove(dir.filePath("Command"));
  o = Run(squares + "F7");
  EXPECT_TRUE(o.dump.contains("   1   4   9\nRun-time error: index out of range\n"
                              "  in Squares, line 5\n  called from Command, line 8\n"))
      << o.dump.toStdString();
  QFile::remove(dir.filePath("Squares.mod"));
  o = Run(squares + "F12 'X'");
  EXPECT_EQ(o.dump.split('\n').value(4),
            "X  FOR i := 1 TO 4 DO a[i] := i * i; WriteInt(a[i], 4) END;")
      << o.dump.toStdString();
}

// A program that writes past its array in line 5, typed into a new text; the cursor
// ends on line 5.
const QString kSquares = "C-n 'Squares.mod' RETURN 'MODULE Squares;' RETURN "
                         "'FROM InOut IMPORT WriteInt, WriteLn;' RETURN "
                         "'VAR a: ARRAY [1..3] OF INTEGER; i: INTEGER;' RETURN 'BEGIN' RETURN "
                         "'  FOR i := 1 TO 4 DO a[i] := i * i; WriteInt(a[i], 4) END;' RETURN "
                         "'  WriteLn' RETURN 'END Squares.' UP UP ";
// It compiled, and run from the command text.
const QString kRunSquares = "F12 F5 'c.execute(\"Squares\");' F12 ";

// F9 sets a breakpoint, shown as a red bar in the margin left of the text (the text does
// not move); after a trap the Debug window lists its calls.
TEST_F(Desktop, BreakpointMarksAndTheDebugWindowAfterATrap) {
  // The red pixels of a screenshot: how many, and the rectangle they fill.
  struct Red {
    int count = 0;
    QRect box;
  };
  const auto red = [](const QImage& image) {
    Red r;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (image.pixel(x, y) == qRgb(255, 0, 0)) {
          ++r.count;
          r.box |= QRect(x, y, 1, 1);
        }
    return r;
  };
  const QString plain = dir.filePath("plain.png"), marked = dir.filePath("marked.png");
  Typed o = Run(kSquares, 120000, plain);
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  QFile::remove(dir.filePath("Squares.mod"));
  o = Run(kSquares + "F9", 120000, marked);
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_TRUE(o.dump.endsWith("message: Breakpoint set on line 5.\n")) << o.dump.toStdString();
  const QImage before(plain), after(marked);
  ASSERT_EQ(before.size(), after.size());
  EXPECT_EQ(red(before).count, 0);
  const Red bar = red(after);
  EXPECT_EQ(bar.count, bar.box.width() * bar.box.height());
  EXPECT_LE(bar.box.width(), 4);
  EXPECT_GE(bar.box.height(), 8);
  // The marked line's text stays where it was.
  for (int y = bar.box.top(); y <= bar.box.bottom(); ++y)
    for (int x = bar.box.right() + 1; x < before.width(); ++x)
      ASSERT_EQ(before.pixel(x, y), after.pixel(x, y)) << x << "," << y;

  QFile::remove(dir.filePath("Squares.mod"));
  QFile::remove(dir.filePath("Command"));
  o = Run(kSquares + kRunSquares + "RETURN MENU@Debug/Debug_Window");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_TRUE(o.dump.startsWith("Run-time error: index out of range\n\n"
                                "Calls (F9 on one shows its line and variables):\n"
                                "> Squares, line 5\n  Command, line 8\n"))
      << o.dump.toStdString();
}

// A run stops at a breakpoint with the Debug window's rows for the stop, refuses F12's
// compilation while it waits, and Quit then ends the run and the workstation.
TEST_F(Desktop, ARunStopsAtABreakpoint) {
  const Typed o = Run(kSquares + "F9 " + kRunSquares + "MENU@Debug/Debug_Window");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  if (!o.dump.startsWith("Stopped at a breakpoint.")) {
    GTEST_SKIP() << "runs do not stop at breakpoints yet";
  }
  EXPECT_TRUE(o.dump.contains("\n> Squares, line 5\n")) << o.dump.toStdString();
  // The globals: i by its value, the array folded.
  EXPECT_TRUE(o.dump.contains(QRegularExpression("\n +i: INTEGER = -?\\d+\n")))
      << o.dump.toStdString();
  EXPECT_TRUE(o.dump.contains("\n  + a: ARRAY")) << o.dump.toStdString();

  // While it waits, F12 compiles nothing.
  QFile::remove(dir.filePath("Squares.mod"));
  QFile::remove(dir.filePath("Command"));
  const Typed refused = Run(kSquares + "F9 " + kRunSquares + "F12");
  ASSERT_EQ(refused.exitCode, 0) << refused.err.toStdString();
  EXPECT_TRUE(refused.dump.endsWith(
      "message: A run is stopped: Continue (F6) or Stop (Shift+F6) it first.\n"))
      << refused.dump.toStdString();
}

// The Help menu points at the walkthrough and lists the modules programs import, in the
// List; its about box still answers its first item.
TEST_F(Desktop, HelpMenuShowsTheFirstStepsAndTheLibraryModules) {
  Typed o = Run("MENU@Help/First_Ten_Minutes");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_TRUE(o.dump.contains("\nThe first ten minutes (the README walks through them in full):\n"))
      << o.dump.toStdString();
  EXPECT_TRUE(o.dump.contains("c.execute(\"Hello\");")) << o.dump.toStdString();
  o = Run("MENU@Help/Library_Modules");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  for (const char* module :
       {"\nInOut: Read ReadString", "\nTextIO: ", "\nGraphics: ", "\nDialog: "})
    EXPECT_TRUE(o.dump.contains(module)) << module << "\n" << o.dump.toStdString();
  o = Run("MENU@Help/About RETURN 'x'");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_TRUE(o.dump.split('\n').contains("x")) << o.dump.toStdString();
}

// The boxes the platform's file dialog opens itself take the script's keys: a name not
// found is answered (RETURN), then the dialog cancelled (ESC); "already exists, replace?"
// answered No (its default), then cancelled; the file stays as it was.
TEST_F(Desktop, TheFileDialogsOwnQuestionsTakeTheKeys) {
  QFile file(dir.filePath("exists.txt"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("kept\n");
  file.close();
  for (const QString& keys : {QString("C-o 'nosuch.txt' RETURN RETURN ESC 'x'"),
                              "C-n '" + file.fileName() + "' RETURN RETURN ESC 'x'"}) {
    const Typed o = Run(keys, 60000);
    ASSERT_EQ(o.exitCode, 0) << keys.toStdString() << "\n" << o.err.toStdString();
    EXPECT_TRUE(o.dump.split('\n').contains("x")) << keys.toStdString() << o.dump.toStdString();
  }
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), "kept\n");
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

// A store that fails asks "QUIT anyway ?"; No (its default, and Escape) keeps the program
// and the text; Yes ends it.
TEST_F(Desktop, AFailedStoreAsksAgain) {
  ASSERT_TRUE(QDir(dir.path()).mkdir("Command")); // no file can replace a directory
  for (const char* no : {"RETURN", "ESC"}) {
    const Typed o = Run(QStringLiteral("'hello' C-q y RETURN %1 'x'").arg(no));
    ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
    EXPECT_TRUE(o.dump.split('\n').contains("hellox")) << no << "\n" << o.dump.toStdString();
  }
  Typed o;
  o = Run("'hello' C-q y RETURN y 'x'");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_FALSE(o.dump.contains("hellox"));
}

// What pdftotext makes of a PDF with args (the PDF and "-" follow them).
QString PdfText(const QStringList& args, const QString& pdf) {
  QProcess p;
  p.start("pdftotext", args + QStringList{pdf, "-"});
  return p.waitForFinished(60000) ? QString::fromLatin1(p.readAllStandardOutput()) : QString();
}

// Writes lines as a text file in dir; its path.
QString TextFile(const QTemporaryDir& dir, const QString& name, const QStringList& lines) {
  QFile file(dir.filePath(name));
  if (file.open(QIODevice::WriteOnly)) file.write((lines.join('\n') + '\n').toLatin1());
  return file.fileName();
}

// Print (Control+P) of an opened 200-line text to a PDF file, without the platform's
// dialogs (VELMARIN_PRINT_PDF) but with the margins dialog, confirmed by RETURN: every
// line once, in order, the first page beginning with the first lines.
TEST_F(Desktop, PrintingATextMakesAPdfOfItsLines) {
  QStringList text;
  for (int i = 1; i <= 200; ++i) text << QStringLiteral("line %1").arg(i);
  const QString file = TextFile(dir, "long.txt", text);
  const QString pdf = dir.filePath("long.pdf");
  qputenv("VELMARIN_PRINT_PDF", pdf.toLocal8Bit());
  const Typed o = Run("C-o '" + file + "' RETURN C-p RETURN");
  qunsetenv("VELMARIN_PRINT_PDF");
  ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
  ASSERT_TRUE(QFile::exists(pdf));

  QProcess images;
  images.start("pdftoppm", {"-r", "30", "-png", pdf, dir.filePath("page")});
  ASSERT_TRUE(images.waitForFinished(60000));
  const QStringList pages = QDir(dir.path()).entryList({"page*.png"}, QDir::Files, QDir::Name);
  // pdftotext ends every page with a form feed; its layout spreads the characters of a
  // fixed-pitch face, so blanks are compared as one.
  QStringList printed = PdfText({"-layout"}, pdf).split('\f');
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

// Lines are measured with the font as the printer draws it: with the default margins and
// with none, every printed character lies inside the printable area less the margins
// (the PDF's own text positions), and wrapping loses none of them.
TEST_F(Desktop, PrintedLinesStayInsideTheMargins) {
  const QString file =
      TextFile(dir, "wide.txt",
               {QString(61, 'x'), QString("word ").repeated(40).trimmed(), QString(200, 'y')});
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  const QRectF paper = printer.pageLayout().paintRect(QPageLayout::Point);
  const struct {
    const char* name;
    QString margins; // the keys of the margins dialog
    double left, right;
  } cases[] = {{"default margins", "RETURN", 0.125, 0.1},
               {"no margins", "C-a '0' TAB '0' TAB '0' TAB '0' RETURN", 0.0, 0.0}};
  const QRegularExpression word(
      R"re(<word xMin="([0-9.]+)" yMin="[0-9.]+" xMax="([0-9.]+)" yMax="[0-9.]+">([^<]*)</word>)re");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString pdf = dir.filePath("wide.pdf");
    QFile::remove(pdf);
    qputenv("VELMARIN_PRINT_PDF", pdf.toLocal8Bit());
    const Typed o = Run("C-o '" + file + "' RETURN C-p " + c.margins);
    qunsetenv("VELMARIN_PRINT_PDF");
    ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
    const double left = paper.left() + paper.width() * c.left;
    const double right = paper.right() - paper.width() * c.right;
    QString all;
    for (const QRegularExpressionMatch& m : word.globalMatch(PdfText({"-bbox"}, pdf))) {
      EXPECT_GE(m.captured(1).toDouble(), left - 0.5) << m.captured(3).toStdString();
      EXPECT_LE(m.captured(2).toDouble(), right + 0.5) << m.captured(3).toStdString();
      all += m.captured(3);
    }
    EXPECT_EQ(all.count('x'), 61);
    EXPECT_EQ(all.count("word"), 40);
    EXPECT_EQ(all.count('y'), 200);
  }
}

// The Module menu's items that compile and run modules. The program P reads a directory
// name, makes it and stores the List (which lists the directories made) into the file
// "List". Execute while P waits for its line asks "Execute an additional user process?"
// and runs a second P inside the first only after Yes.
TEST_F(Desktop, ModuleMenuRunsModulesAndAsksBeforeASecondOne) {
  const QString program = TextFile(dir, "P.mod", {R"(MODULE P;
IMPORT c, TextIO;
VAR s: ARRAY [0..31] OF CHAR;
BEGIN
  TextIO.ReadLine(s); c.cdir(s); c.ldir("/User"); c.store("/Shell/List")
END P.)"});
  const QString run = "C-o '" + program + "' RETURN MENU@Module/Compile_and_Execute ";
  const struct {
    QString keys;
    QStringList made, notMade;
  } cases[] = {
      {run + "MENU@Module/Execute y '/User/inner' RETURN '/User/outer' RETURN",
       {"inner", "outer"},
       {}},
      {run + "MENU@Module/Execute n '/User/inner' RETURN", {"inner"}, {"outer"}},
      {"C-o '" + program +
           "' RETURN MENU@Module/Compile_and_Load MENU@Module/Execute_Module "
           "'P' RETURN '/User/one' RETURN",
       {"one"},
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys.toStdString());
    QFile::remove(dir.filePath("List"));
    const Typed o = Run(c.keys);
    ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
    QFile list(dir.filePath("List"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly)) << o.dump.toStdString();
    const QString listed = QString::fromLatin1(list.readAll());
    for (const QString& d : c.made)
      EXPECT_TRUE(listed.contains("Directory  /User/" + d)) << d.toStdString();
    for (const QString& d : c.notMade) EXPECT_FALSE(listed.contains(d)) << d.toStdString();
  }
}

// The Notebook's menu is in the bar while the Notebook is in front, also after each of its
// dialogs (here cancelled): its Save can be chosen and writes the Notebook's file.
TEST_F(Desktop, NotebookMenuStaysAfterItsDialogs) {
  qputenv("VELMARIN_PRINT_PDF", dir.filePath("notebook.pdf").toLocal8Bit());
  for (const char* item : {"Set_Length", "Merge", "Save_As", "Font_Size", "Print"}) {
    SCOPED_TRACE(item);
    for (const QString& f : QDir(dir.path()).entryList({"Notebook_*.txt"}))
      QFile::remove(dir.filePath(f));
    const Typed o = Run(QString("C-l MENU@Notebook/") + item + " ESC MENU@Notebook/Save");
    ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList({"Notebook_*.txt"}).size(), 1);
  }
  qunsetenv("VELMARIN_PRINT_PDF");
}

// Workstations that keep running, typing their keys, until the test ends them.
class Recovering : public Desktop {
protected:
  struct Running {
    QProcess process;
    QTemporaryDir config;
    ~Running() {
      process.kill();
      process.waitForFinished();
    }
  };
  std::unique_ptr<Running> Start(const QString& keys, const QProcessEnvironment& extra = {}) {
    auto r = std::make_unique<Running>();
    StartVelmarin(r->process, r->config, {"--keys", keys}, dir.path(), state.path(), extra);
    EXPECT_TRUE(r->process.waitForStarted());
    return r;
  }
  // Waits until n recovery files exist; false when they do not come within 20 seconds.
  bool WaitForFiles(int n) {
    QElapsedTimer t;
    t.start();
    while (RecoveryFiles().size() != n) {
      if (t.elapsed() > 20000) return false;
      QThread::msleep(50);
    }
    return true;
  }
  // Keys that type into a new text and into a loaded one (the last key).
  QString TypeIntoTwoTexts() {
    QFile file(dir.filePath("loaded.txt"));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("line one\nline two\n");
    file.close();
    QFile::remove(dir.filePath("new.txt"));
    return "C-n '" + dir.filePath("new.txt") + "' RETURN 'typed into new' RETURN 'second' C-o '" +
           dir.filePath("loaded.txt") + "' RETURN 'X'";
  }
  // The next start recovers both texts (RETURN: Recover), and Quit stores them.
  void ExpectBothRecovered(const char* how) {
    const Typed o = Run("RETURN RETURN C-q y RETURN RETURN");
    ASSERT_EQ(o.exitCode, 0) << how << "\n" << o.err.toStdString();
    EXPECT_EQ(FileText("new.txt"), "typed into new\nsecond\n") << how;
    EXPECT_EQ(FileText("loaded.txt"), "Xline one\nline two\n") << how;
    EXPECT_TRUE(RecoveryFiles().isEmpty()) << how << RecoveryFiles().join(' ').toStdString();
  }
};

// Typed into a new and a loaded text, then killed (SIGKILL) or crashed (SIGSEGV, through
// a trigger for the tests) 3 seconds after the journal has both: the next start offers
// both and Recover brings back the exact texts.
TEST_F(Recovering, TextsComeBackAfterTheWorkstationDies) {
  for (const char* how : {"SIGKILL", "SIGSEGV"}) {
    QProcessEnvironment extra;
    const bool crash = std::string(how) == "SIGSEGV";
    if (crash) extra.insert(QStringLiteral("VELMARIN_TEST_CRASH"), QStringLiteral("1"));
    auto a = Start(TypeIntoTwoTexts(), extra);
    ASSERT_TRUE(WaitForFiles(2)) << how;
    QThread::msleep(3000);
    ::kill(static_cast<pid_t>(a->process.processId()), crash ? SIGUSR1 : SIGKILL);
    ASSERT_TRUE(a->process.waitForFinished(10000)) << how;
    // Under the sanitizers a fault ends the process with their report and status 1.
    EXPECT_TRUE(a->process.exitStatus() == QProcess::CrashExit || a->process.exitCode() != 0)
        << how;
    ExpectBothRecovered(how);
  }
}

// A second workstation never takes the files of one that runs: it offers nothing (its
// RETURN goes into its own command text); once the first is gone, the next start
// recovers its text.
TEST_F(Recovering, TwoWorkstationsNeverTakeEachOthersTexts) {
  auto a = Start("'typed in A'");
  ASSERT_TRUE(WaitForFiles(1));
  const Typed b = Run("RETURN");
  ASSERT_EQ(b.exitCode, 0) << b.err.toStdString();
  EXPECT_FALSE(b.dump.contains("typed in A")) << b.dump.toStdString();
  EXPECT_EQ(RecoveryFiles().size(), 1);
  a.reset(); // killed
  const Typed c = Run("RETURN");
  ASSERT_EQ(c.exitCode, 0) << c.err.toStdString();
  EXPECT_TRUE(c.dump.split('\n').contains("typed in A")) << c.dump.toStdString();
  EXPECT_TRUE(RecoveryFiles().isEmpty());
}

// SIGTERM (the end of the desktop session), SIGHUP and SIGINT, and the frame's window
// destroyed from outside (0 here: by a window manager, which leaves nobody to ask), end
// the workstation with status 0 and its modified texts' recovery files written, asking
// nothing.
TEST_F(Recovering, SignalsKeepTheTextsAndEndTheWorkstation) {
  for (int signal : {SIGTERM, SIGHUP, SIGINT, 0}) {
    auto a = Start(signal != 0 ? "'line for the signal'"
                               : "'line for the signal' WAIT@2500 FRAMEDESTROY");
    ASSERT_TRUE(WaitForFiles(1)) << signal;
    QElapsedTimer t;
    t.start();
    if (signal != 0) ::kill(static_cast<pid_t>(a->process.processId()), signal);
    ASSERT_TRUE(a->process.waitForFinished(10000)) << signal;
    EXPECT_LT(t.elapsed(), signal != 0 ? 2000 : 4000) << signal;
    EXPECT_EQ(a->process.exitStatus(), QProcess::NormalExit) << signal;
    EXPECT_EQ(a->process.exitCode(), 0) << signal;
    ASSERT_EQ(RecoveryFiles().size(), 1) << signal;
    const Typed c = Run("RETURN");
    EXPECT_TRUE(c.dump.split('\n').contains("line for the signal")) << signal;
    EXPECT_TRUE(RecoveryFiles().isEmpty()) << signal;
  }
  // With nothing modified it ends as quickly, and leaves nothing behind.
  auto a = Start("");
  QThread::msleep(1000);
  ::kill(static_cast<pid_t>(a->process.processId()), SIGTERM);
  ASSERT_TRUE(a->process.waitForFinished(10000));
  EXPECT_EQ(a->process.exitCode(), 0);
  EXPECT_TRUE(RecoveryFiles().isEmpty());
}

// Random key scripts over the whole key list, windows opening and closing on the way:
// the program must survive them all and end normally.
std::string RandomScript(unsigned seed, int tokens) {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> k = {"RETURN", "TAB",   "ESC",   "BACKSPACE", "SPACE",   "DELETE",
                                  "GOLD",   "HOME",  "END",   "PGUP",      "PGDN",    "UP",
                                  "DOWN",   "LEFT",  "RIGHT", "KPENTER",   "KPMINUS", "KPPLUS",
                                  "KPDOT",  "KPDIV", "KPMUL", "CLICK",     "CLOSEBOX"};
    for (int i = 1; i <= 15; ++i) k.push_back("F" + std::to_string(i));
    for (int i = 0; i <= 9; ++i) k.push_back("KP" + std::to_string(i));
    return k;
  }();
  static const std::string letters = "abcdefghijklmnopqrstuvwxyz0123456789";
  static const std::string goldLetters = "cdeflmrstwx";
  std::mt19937 random(seed);
  auto pick = [&random](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  std::string script;
  for (int i = 0; i < tokens; ++i) {
    const std::size_t kind = pick(10);
    std::string token;
    if (kind < 3) {
      token = letters.substr(pick(letters.size()), 1);
    } else if (kind < 7) {
      token = keys[pick(keys.size())];
      const std::size_t prefix = pick(20);
      if (prefix < 2)
        token = "C-" + token;
      else if (prefix < 4)
        token = "S-" + token;
      else if (prefix < 5 && token != "CLICK" && token != "CLOSEBOX")
        token = "A-" + token;
      if (token.find('-') != std::string::npos &&
          (token.ends_with("CLICK") || token.ends_with("CLOSEBOX")))
        token = token.substr(2);
    } else if (kind < 9) {
      token = "GOLD " + (pick(2) == 0 ? goldLetters.substr(pick(goldLetters.size()), 1)
                                      : keys[pick(keys.size())]);
    } else {
      // Control keys, but not Q: quitting would end the soak early.
      static const std::vector<std::string> control = {"a",  "b",         "c",      "d", "e", "f",
                                                       "h",  "j",         "u",      "w", "z", "F4",
                                                       "F6", "BACKSPACE", "DELETE", "2", "5"};
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
