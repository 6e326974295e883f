// Dialogs of programs in the real executable on Qt's offscreen platform: a dialog with
// an item of every kind drawn with the desktop's controls, and the example control
// panel driven by clicks, a shortcut and a drag from the key script.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTemporaryDir>
#include <cmath>

#include "Velmarin.h"

namespace {

// The command text runs at F12; its first two lines are the shell's own.
constexpr char kEveryKind[] = R"(MODULE Command;
(* the directory line *)
IMPORT Dialog;
FROM SYSTEM IMPORT ADR;
VAR d: Dialog.Handle; on, off, check, radio1, radio2, lamp: BOOLEAN; multi, mode: INTEGER;
  x, y: REAL; text: ARRAY [0 .. 31] OF CHAR;
BEGIN
  on := TRUE; off := FALSE; check := TRUE; radio1 := TRUE; radio2 := FALSE; lamp := TRUE;
  multi := 2; mode := 1; x := 1.0; y := 2.0; text := "edit me";
  IF Dialog.Init(d, FALSE, FALSE, "Every kind", "Kinds", Dialog.SansFont, 10, 21,
                 10, 330, 420, 280, 0) THEN
    Dialog.DefineItemStyled(d, 1, Dialog.User, "mark", FALSE, "", 0, 6, 6, 6, 0, 0,
                            Dialog.SansFont, 10, 0, 0, FALSE, 65535, 0, 65535);
    Dialog.DefineItem(d, 2, Dialog.Button, "cancel", FALSE, "Cancel", 250, 260, 70, 22);
    Dialog.DefineItem(d, 3, Dialog.Switch, "on", FALSE, "Switch on", 10, 30, 90, 22);
    Dialog.BindValue(d, 3, ADR(on), Dialog.BooleanValue);
    Dialog.DefineItem(d, 4, Dialog.Switch, "off", FALSE, "Switch off", 110, 30, 90, 22);
    Dialog.BindValue(d, 4, ADR(off), Dialog.BooleanValue);
    Dialog.DefineItem(d, 5, Dialog.RadioButton, "r1", FALSE, "Radio one", 10, 56, 100, 16);
    Dialog.BindValue(d, 5, ADR(radio1), Dialog.BooleanValue);
    Dialog.DefineItem(d, 6, Dialog.RadioButton, "r2", FALSE, "Radio two", 110, 56, 100, 16);
    Dialog.BindValue(d, 6, ADR(radio2), Dialog.BooleanValue);
    Dialog.DefineItem(d, 7, Dialog.CheckBox, "c", FALSE, "Check box", 10, 80, 100, 16);
    Dialog.BindValue(d, 7, ADR(check), Dialog.BooleanValue);
    Dialog.DefineItem(d, 8, Dialog.MultiCheck, "m", FALSE, "Multicheck", 110, 80, 100, 16);
    Dialog.BindValue(d, 8, ADR(multi), Dialog.IntegerValue);
    Dialog.DefineItem(d, 9, Dialog.Text, "t", FALSE, "Static text", 10, 104, 100, 16);
    Dialog.DefineItem(d, 10, Dialog.FramedText, "ft", FALSE, "Framed text", 110, 104, 100, 18);
    Dialog.DefineItem(d, 11, Dialog.FramedNumber, "fn", FALSE, "", 10, 130, 90, 18);
    Dialog.BindValue(d, 11, ADR(x), Dialog.RealValue);
    Dialog.SetNumber(d, 11, " V", Dialog.FixedFormat, Dialog.RealValue, 6, 2, 0.0, 0.0, 0.0,
                     1.0, FALSE, 0);
    Dialog.DefineItem(d, 12, Dialog.FramedBool, "fb", FALSE, "Lamp", 110, 130, 90, 18);
    Dialog.BindValue(d, 12, ADR(lamp), Dialog.BooleanValue);
    Dialog.DefineItem(d, 13, Dialog.Drag, "dx", FALSE, "", 10, 156, 90, 18);
    Dialog.BindValue(d, 13, ADR(x), Dialog.RealValue);
    Dialog.SetNumber(d, 13, "", Dialog.FixedFormat, Dialog.RealValue, 6, 2, 0.1, 0.0, 10.0,
                     1.0, FALSE, 0);
    Dialog.DefineItem(d, 14, Dialog.Drag, "dy", FALSE, "", 110, 156, 90, 18);
    Dialog.BindValue(d, 14, ADR(y), Dialog.RealValue);
    Dialog.SetNumber(d, 14, "", Dialog.FixedFormat, Dialog.RealValue, 6, 2, 0.1, 0.0, 10.0,
                     1.0, FALSE, 0);
    Dialog.DefineItem(d, 15, Dialog.Drag2, "d2", FALSE, "Drag both", 220, 156, 90, 22);
    Dialog.SetDrag2(d, 15, 13, 14);
    Dialog.DefineItem(d, 16, Dialog.EditText, "e", FALSE, "", 10, 184, 190, 20);
    Dialog.BindText(d, 16, text);
    Dialog.DefineItem(d, 17, Dialog.List, "l", FALSE, "", 10, 212, 120, 22);
    Dialog.InitList(d, 17, 0, "");
    Dialog.AddListEntry(d, 17, "slow"); Dialog.AddListEntry(d, 17, "medium");
    Dialog.BindValue(d, 17, ADR(mode), Dialog.IntegerValue);
    Dialog.DefineItem(d, 18, Dialog.TrueFalse, "tf", FALSE, "", 140, 212, 80, 22);
    Dialog.InitList(d, 18, 0, "");
    Dialog.BindValue(d, 18, ADR(on), Dialog.BooleanValue);
    Dialog.DefineItem(d, 19, Dialog.HighLow, "hl", FALSE, "", 230, 212, 80, 22);
    Dialog.InitList(d, 19, 0, "");
    Dialog.DefineItem(d, 20, Dialog.Pane, "pane", FALSE, "Pane", 330, 212, 80, 22);
    Dialog.DefineItem(d, 21, Dialog.Array, "a", FALSE, "", 230, 130, 80, 50);
    IF Dialog.Open(d, Dialog.DocumentWindow, NIL, NIL, FALSE, TRUE, TRUE, FALSE, FALSE) THEN
      WHILE Dialog.Shown(d) DO IF Dialog.Poll(100) THEN END END
    END
  END
END Command.
)";

constexpr char kControlPanelCommand[] = R"(MODULE Command;
(* the directory line *)
IMPORT c;
BEGIN
  c.tload("ControlPanel.mod"); c.comp("ControlPanel.mod"); c.execute("ControlPanel");
  c.store("/Shell/List")
END Command.
)";

class DialogQt : public ::testing::Test {
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

  // Runs velmarin in the test's directory with the command text and the keys; its
  // exit code.
  int Run(const char* command, const QString& keys, const QString& shot) {
    QFile file(dir.filePath("Command"));
    if (!file.open(QIODevice::WriteOnly)) return -1;
    file.write(command);
    file.close();
    return RunVelmarin({"--keys", keys, "--screenshot", dir.filePath(shot)}, dir.path()).exitCode;
  }

  // Points of a dialog in pixels, as Open scales them.
  static double Scale() {
    return QGuiApplication::primaryScreen()->logicalDotsPerInch() * 0.9 / 72.0;
  }
  static int Px(double points) { return int(std::lround(points * Scale())); }
  // An item's rectangle (left, bottom, width, height in points) in pixels of the image,
  // from the dialog's content origin.
  static QRect Item(QPoint origin, int left, int bottom, int width, int height) {
    return QRect(origin.x() + Px(left), origin.y() + Px(bottom - height), Px(width), Px(height));
  }

  QTemporaryDir dir;
  static QGuiApplication* app;
};
QGuiApplication* DialogQt::app = nullptr;

int Darkest(const QImage& image, const QRect& r) {
  int darkest = 255;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      darkest = std::min(darkest, qGray(image.pixel(x, y)));
  return darkest;
}

double MeanGrey(const QImage& image, const QRect& r) {
  double sum = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) sum += qGray(image.pixel(x, y));
  return sum / (r.width() * r.height());
}

TEST_F(DialogQt, EveryKindIsDrawnWithTheDesktopsControls) {
  ASSERT_EQ(Run(kEveryKind, "F12", "kinds.png"), 0);
  const QImage image = QImage(dir.filePath("kinds.png")).convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(image.isNull());
  // The magenta item at (0, 0) marks the dialog's content origin.
  QPoint origin(-1, -1);
  for (int y = 0; y < image.height() && origin.x() < 0; ++y)
    for (int x = 0; x < image.width() && origin.x() < 0; ++x)
      if (image.pixel(x, y) == qRgb(255, 0, 255)) origin = QPoint(x, y);
  ASSERT_GE(origin.x(), 0);
  const QRgb background = qRgb(0xF0, 0xF0, 0xF0);
  // Around every item the dialog's background; inside, what the control draws.
  const int items[][4] = {{250, 260, 70, 22}, {10, 30, 90, 22},    {10, 56, 100, 16},
                          {10, 80, 100, 16},  {110, 104, 100, 18}, {10, 130, 90, 18},
                          {10, 156, 90, 18},  {220, 156, 90, 22},  {10, 184, 190, 20},
                          {10, 212, 120, 22}, {230, 212, 80, 22},  {230, 130, 80, 50}};
  for (const auto& i : items) {
    const QRect r = Item(origin, i[0], i[1], i[2], i[3]);
    EXPECT_EQ(image.pixel(r.left() - 3, r.center().y()), background) << i[0] << "," << i[1];
    EXPECT_EQ(image.pixel(r.center().x(), r.bottom() + 3), background) << i[0] << "," << i[1];
    EXPECT_LT(Darkest(image, r), 0xC8) << i[0] << "," << i[1];
  }
  // A switched-on switch and a lit lamp are darker than a switch that is off.
  const double on = MeanGrey(image, Item(origin, 14, 27, 82, 16));
  const double off = MeanGrey(image, Item(origin, 114, 27, 82, 16));
  EXPECT_LT(on + 10, off);
  EXPECT_LT(MeanGrey(image, Item(origin, 114, 127, 82, 12)) + 10, off);
  // The check box's box holds its mark; the edit field is white where no text is.
  const QRect box = Item(origin, 13, 78, 12, 12);
  EXPECT_LT(Darkest(image, box), 0x60);
  const QRect field = Item(origin, 170, 180, 20, 10);
  EXPECT_EQ(Darkest(image, field), 0xFF);
}

TEST_F(DialogQt, TheControlPanelTakesClicksAShortcutAndADrag) {
  ASSERT_TRUE(
      QFile::copy(VELMARIN_EXAMPLES_DIR "/ControlPanel.mod", dir.filePath("ControlPanel.mod")));
  ASSERT_TRUE(
      QFile::copy(VELMARIN_EXAMPLES_DIR "/ControlPanel.hlp", dir.filePath("ControlPanel.hlp")));
  // The check box "Light", a shortcut for "Pump", ten steps up on "Gain", RETURN on "Stop".
  const QString keys = QString("F12 CLICK@%1,%2 p DRAG@%3,%4,0,-20 RETURN")
                           .arg(Px(155))
                           .arg(Px(22))
                           .arg(Px(115))
                           .arg(Px(53));
  ASSERT_EQ(Run(kControlPanelCommand, keys, "panel.png"), 0);
  QFile list(dir.filePath("List"));
  ASSERT_TRUE(list.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromLatin1(list.readAll()).split('\n', Qt::SkipEmptyParts);
  ASSERT_GE(lines.size(), 5);
  EXPECT_EQ(lines[0], "pump off light on  gain  1.00  name 'tank 1'  mode medium");
  EXPECT_EQ(lines[1], "pump off light off gain  1.00  name 'tank 1'  mode medium");
  EXPECT_EQ(lines[2], "pump on  light off gain  1.00  name 'tank 1'  mode medium");
  EXPECT_EQ(lines[3], "pump on  light off gain  1.50  name 'tank 1'  mode medium");
  EXPECT_EQ(lines.back(), "Stopped.");
}

// A recording made with the panel's Macros dialog: R starts it, the pump's shortcut, a
// drag on "Gain" and RETURN on "Stop" are recorded; the panel stops with the recording
// still going, so it asks for the macro's index and name and writes ControlPanel.mac.
// velmarin --run --macro plays the file back through the same values, one line per action
// as the user's session printed them.
TEST_F(DialogQt, ARecordedMacroIsWrittenAndPlayedBackByTheRunner) {
  ASSERT_TRUE(
      QFile::copy(VELMARIN_EXAMPLES_DIR "/ControlPanel.mod", dir.filePath("ControlPanel.mod")));
  ASSERT_TRUE(
      QFile::copy(VELMARIN_EXAMPLES_DIR "/ControlPanel.hlp", dir.filePath("ControlPanel.hlp")));
  const QString keys =
      QString("F12 r p DRAG@%1,%2,0,-20 RETURN '1' RETURN 'demo' RETURN").arg(Px(115)).arg(Px(53));
  ASSERT_EQ(Run(kControlPanelCommand, keys, "recorded.png"), 0);
  QFile list(dir.filePath("List"));
  ASSERT_TRUE(list.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromLatin1(list.readAll()).split('\n', Qt::SkipEmptyParts);
  const QString all = lines.join('|');
  EXPECT_TRUE(all.contains("Start of MACRO recording: |pump on  light on  gain  1.00  name 'tank "
                           "1'  mode medium|pump on  light on  gain  1.50"))
      << all.toStdString();
  EXPECT_TRUE(all.endsWith("Stopped.|End of MACRO recording. |MACRO stored in: \"demo\".|Macros "
                           "stored in ControlPanel.mac."))
      << all.toStdString();
  QFile file(dir.filePath("ControlPanel.mac"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromLatin1(file.readAll()), "MACRO-FILE          1\n"
                                                 "  1 : demo\n"
                                                 "  P  pump            TRUE\n"
                                                 "  P  gain            1.50\n"
                                                 "  P  stop\n");
  const Outcome o = RunVelmarin({"--run", "ControlPanel.mod", "--macro", "ControlPanel.mac"},
                                dir.path(), 60000, Platform::NoDisplay);
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_EQ(o.out, "pump off light on  gain  1.00  name 'tank 1'  mode medium\n"
                   "pump on  light on  gain  1.00  name 'tank 1'  mode medium\n"
                   "pump on  light on  gain  1.50  name 'tank 1'  mode medium\n"
                   "Stopped.\n");
}

// The macro editor takes keys while the program polls its dialogs: lines typed there run
// with ENTER (keypad), one sets the panel's gain, the next presses Stop, both in a range
// opened with the keypad's select and extended with its line key; F12 there only beeps
// (it would compile the text inside the running program).
TEST_F(DialogQt, TheMacroEditorRunsALineWhileTheProgramPolls) {
  ASSERT_TRUE(
      QFile::copy(VELMARIN_EXAMPLES_DIR "/ControlPanel.mod", dir.filePath("ControlPanel.mod")));
  ASSERT_TRUE(
      QFile::copy(VELMARIN_EXAMPLES_DIR "/ControlPanel.hlp", dir.filePath("ControlPanel.hlp")));
  const QString keys = "F12 MENU@Macros/Open_Macros_Editor 'P  gain 2.5' RETURN 'P  stop' RETURN "
                       "UP UP F12 KPDOT KP0 KP0 KPENTER";
  ASSERT_EQ(Run(kControlPanelCommand, keys, "editor.png"), 0);
  QFile list(dir.filePath("List"));
  ASSERT_TRUE(list.open(QIODevice::ReadOnly));
  const QString all = QString::fromLatin1(list.readAll()).split('\n', Qt::SkipEmptyParts).join('|');
  EXPECT_TRUE(all.endsWith("pump off light on  gain  2.50  name 'tank 1'  mode medium|Stopped."))
      << all.toStdString();
}

// The example control panel driven through its windows by title.
class ControlPanelQt : public DialogQt {
protected:
  void SetUp() override {
    for (const char* file : {"ControlPanel.mod", "ControlPanel.hlp"})
      ASSERT_TRUE(QFile::copy(QString(VELMARIN_EXAMPLES_DIR "/") + file, dir.filePath(file)));
    pump = At("Control_Panel", 10, 30, 80, 22);
    gain = At("Control_Panel", 80, 62, 70, 18);
    gainLabel = At("Control_Panel", 10, 62, 60, 16);
    mode = At("Control_Panel", 80, 124, 110, 20);
    stop = At("Control_Panel", 200, 170, 80, 22);
    relative = At("Macros", 90, 30, 80, 22);
    macro1 = At("Macros", 10, 60, 64, 22);
  }
  // The middle of an item (left, bottom, width, height in points) in pixels of the
  // window of the title, as the key script names it.
  static QString At(const char* window, int left, int bottom, int width, int height) {
    return QString("%1:%2,%3")
        .arg(window)
        .arg(Px(left + width / 2.0))
        .arg(Px(bottom - height / 2.0));
  }
  // Runs the panel with the keys; what the program wrote (the List), one string a line
  // joined by '|'.
  QString Panel(const QString& keys, const QString& shot = "panel.png") {
    EXPECT_EQ(Run(kControlPanelCommand, keys, shot), 0) << keys.toStdString();
    QFile list(dir.filePath("List"));
    if (!list.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(list.readAll()).split('\n', Qt::SkipEmptyParts).join('|');
  }
  QString MacroFile() {
    QFile file(dir.filePath("ControlPanel.mac"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
  }
  QString pump, gain, gainLabel, mode, stop, relative, macro1;
  // Whether the shot shows a tool tip's pale yellow.
  bool TipShown(const QString& shot) {
    const QImage image = QImage(dir.filePath(shot)).convertToFormat(QImage::Format_RGB32);
    int tip = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) tip += image.pixel(x, y) == qRgb(0xFF, 0xFF, 0xE0);
    return tip > 200;
  }
};

// R (the Macros dialog's Record key, not front only) starts a recording; the click on
// the panel's Pump that follows is recorded, not dropped; R again stores it.
TEST_F(ControlPanelQt, RecordingWithTheRecordKeyTakesClicks) {
  const QString all = Panel("F12 r CLICK@" + pump + " r '1' RETURN 'pump' RETURN CLICK@" + stop);
  EXPECT_TRUE(all.contains("Start of MACRO recording: |pump on  light on ")) << all.toStdString();
  EXPECT_TRUE(all.contains("MACRO stored in: \"pump\".")) << all.toStdString();
  EXPECT_EQ(MacroFile().toStdString(),
            "MACRO-FILE          1\n  1 : pump\n  P  pump            TRUE\n");
}

// The Mode list's pop-up takes the script's keys; a recording made with the relative
// switch keeps the step from medium to fast (+1), and played from medium again gives fast.
TEST_F(ControlPanelQt, APopUpChoiceRecordedRelativeAndPlayed) {
  const QString all = Panel("F12 r CLICK@" + relative + " CLICK@" + mode +
                            " DOWN DOWN DOWN RETURN r '1' RETURN 'faster' RETURN CLICK@" + mode +
                            " DOWN DOWN RETURN CLICK@" + macro1 + " WAIT@1000 CLICK@" + stop);
  EXPECT_TRUE(all.contains("mode fast|End of MACRO recording. ")) << all.toStdString();
  EXPECT_TRUE(all.endsWith("mode medium|pump off light on  gain  1.00  name 'tank 1'  mode "
                           "fast|Stopped.|Macros stored in ControlPanel.mac."))
      << all.toStdString();
  EXPECT_EQ(MacroFile().toStdString(),
            "MACRO-FILE          1\n  1 : faster\n"
            "  M  relative        TRUE\n  P  mode            1; medium\n");
}

// A Control-click on Gain opens its configuration; the key field there takes G, which the
// configuration reports; RETURN ("Done") closes it and G then works the item.
TEST_F(ControlPanelQt, AControlClickOpensTheConfiguration) {
  const QString key = At("Configure:_\"P_gain\"_(drag,macro)", 188, 129, 66, 16);
  const QString all = Panel("F12 C-CLICK@" + gain + " CLICK@" + key + " g RETURN CLICK@" + stop);
  EXPECT_TRUE(all.contains("New key: g")) << all.toStdString();
  EXPECT_TRUE(all.endsWith("Stopped.")) << all.toStdString();
}

// Resting on Pump shows its tip; resting on the Gain label (no tip) shows nothing until
// Control is held, which shows the label's address.
TEST_F(ControlPanelQt, ATipAfterRestingAndTheAddressWithControlHeld) {
  Panel("F12 MOVE@" + pump + " WAIT@1200", "tip.png");
  EXPECT_TRUE(TipShown("tip.png"));
  Panel("F12 MOVE@" + gainLabel + " WAIT@1200", "none.png");
  EXPECT_FALSE(TipShown("none.png"));
  Panel("F12 MOVE@" + gainLabel + " C-WAIT@1200", "address.png");
  EXPECT_TRUE(TipShown("address.png"));
}

} // namespace
