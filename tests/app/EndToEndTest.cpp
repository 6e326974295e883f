// The velmarin executable on Qt's offscreen platform, driven from its command line.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImageReader>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>

#include "platform/Startup.h"

namespace {

struct Outcome {
  int exitCode = -1;
  QString out;
  QString err;
};

Outcome RunVelmarin(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral(VELMARIN_EXE), QStringList{"-platform", "offscreen"} + args);
  Outcome o;
  if (!p.waitForFinished(60000)) {
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
  const Outcome o = RunVelmarin({"--keys", "F12", "--dump", dump});
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

TEST_F(EndToEnd, FirstPaintIsReported) {
  const Outcome o = RunVelmarin({"--first-paint"});
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_TRUE(o.out.startsWith("first-paint-ms ")) << o.out.toStdString();
}

} // namespace
