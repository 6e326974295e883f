// The example programs a newcomer learns from, each run as the README runs it
// (velmarin --run, standard input from NAME.in when there is one) with the output it
// must write; those that draw also drawn off screen and saved with --screenshot. They
// run in a copy of the examples, so that nothing a run writes lands in the sources.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "Velmarin.h"

namespace {

QByteArray Contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class Examples : public ::testing::Test {
protected:
  void SetUp() override {
    const QDir examples(VELMARIN_EXAMPLES_DIR);
    for (const QString& f : examples.entryList(QDir::Files))
      ASSERT_TRUE(QFile::copy(examples.filePath(f), dir.filePath(f))) << f.toStdString();
  }
  Outcome Run(const QStringList& args, const QByteArray& input = {}) {
    return RunVelmarin(args, dir.path(), 60000, Platform::NoDisplay, input);
  }
  // The program modules among the examples (the module pair's implementation is none).
  static QStringList Programs() {
    QStringList programs;
    const QDir examples(VELMARIN_EXAMPLES_DIR);
    for (const QString& f : examples.entryList({"*.mod"}, QDir::Files, QDir::Name))
      if (Contents(examples.filePath(f)).startsWith("MODULE ")) programs << f.chopped(4);
    return programs;
  }
  QTemporaryDir dir;
};

TEST_F(Examples, EachWritesWhatItShould) {
  const QStringList programs = Programs();
  ASSERT_GE(programs.size(), 7);
  for (const QString& name : programs) {
    SCOPED_TRACE(name.toStdString());
    const QString expected = QStringLiteral(VELMARIN_EXPECTED_DIR "/%1.out").arg(name);
    ASSERT_TRUE(QFile::exists(expected)) << "an example without its expected output";
    const Outcome o = Run({"--run", name + ".mod"},
                          Contents(QStringLiteral(VELMARIN_EXPECTED_DIR "/%1.in").arg(name)));
    EXPECT_EQ(o.exitCode, 0) << o.err.toStdString();
    EXPECT_EQ(o.out.toStdString(), Contents(expected).toStdString());
    EXPECT_TRUE(o.err.isEmpty()) << o.err.toStdString();
  }
}

// The README's replay of the macro that ships with the control panel.
TEST_F(Examples, TheControlPanelsMacroReplays) {
  const Outcome o = Run({"--run", "ControlPanel.mod", "--macro", "ControlPanel.mac"});
  EXPECT_EQ(o.exitCode, 0) << o.err.toStdString();
  EXPECT_EQ(o.out.toStdString(),
            Contents(VELMARIN_EXPECTED_DIR "/ControlPanel.macro.out").toStdString());
  EXPECT_EQ(Contents(dir.filePath("ControlPanel.mac")),
            Contents(VELMARIN_EXAMPLES_DIR "/ControlPanel.mac"));
}

// The plot and the dialog drawn off screen: the window the program leaves, of its size,
// with the colours it drew in.
TEST_F(Examples, ThePlotAndTheDialogAreSaved) {
  const struct {
    const char* name;
    QSize size;
    bool (*drawn)(QRgb); // what some of the window's pixels must be
  } cases[] = {
      {"DampedSine", QSize(600, 380),
       [](QRgb p) { return qBlue(p) > 140 && qRed(p) < 60 && qGreen(p) < 120; }}, // the wave
      {"Temperature", QSize(), [](QRgb p) { return qGray(p) < 60; }}, // the labels' text
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString shot = dir.filePath(QString(c.name) + ".png");
    const Outcome o = Run({"--run", QString(c.name) + ".mod", "--screenshot", shot});
    ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
    EXPECT_TRUE(o.err.isEmpty()) << o.err.toStdString();
    const QImage image = QImage(shot).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(image.isNull());
    if (c.size.isValid()) {
      EXPECT_EQ(image.size(), c.size);
    }
    int drawn = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) drawn += c.drawn(image.pixel(x, y)) ? 1 : 0;
    EXPECT_GT(drawn, 100);
  }
}

} // namespace
