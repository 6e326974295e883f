// The Qt backend in-process on Qt's offscreen platform: what drawing leaves in the
// pixels, and which event records Qt's events become.
#include "QtTesting.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Events.h"
#include "platform/Toolbox.h"
#include "platform/qt/QtPaint.h"

using Toolbox::Rect;
using Toolbox::Window;

namespace {

int frameCloses = 0;

class QtBackendTest : public QtFixture {
protected:
  void SetUp() override {
    QtFixture::SetUp();
    Records();
  }

  // Hands Qt's events to the event queue and takes the records (null events aside):
  // "K104" virtual key, "C1" character, "W8" window event with its detail, "M..." a
  // menu command's message.
  std::string Records() {
    while (backend->Pump(false)) {}
    std::string s;
    Events::EventRecord r;
    while (Events::QueuedCount() > 0) {
      Events::GetNextEvent(0, r);
      std::string one;
      if (r.what == Events::KeyDown)
        one = r.detail == Events::VirtualKey ? "K" + std::to_string(r.message)
                                             : "C" + std::to_string(r.message & 0xFF);
      else if (r.what == Events::WindowEvent && r.detail == Events::MenuDetail)
        one = "M" + std::to_string(r.message);
      else if (r.what == Events::WindowEvent)
        one = "W" + std::to_string(r.detail);
      if (one.empty()) continue;
      s += (s.empty() ? "" : " ") + one;
    }
    return s;
  }
  Window NewWindow(const Rect& bounds) {
    Window w = Toolbox::NewWindow(bounds, "W", true, Toolbox::kDocumentWindow, true, nullptr);
    Toolbox::SetPort(w);
    Toolbox::EraseRect(Toolbox::GetPortRect(w));
    Records();
    return w;
  }
  QMdiSubWindow* SubWindowOf(Window w) {
    auto* area = qobject_cast<QMdiArea*>(frame->centralWidget());
    for (QMdiSubWindow* sub : area->subWindowList())
      if (sub->windowTitle() == QString::fromStdString(backend->Title(w))) return sub;
    return nullptr;
  }
  bool Black(Window w, int x, int y) {
    return backend->PortImage(Toolbox::Port{w, nullptr, &w->port}).pixel(x, y) == qRgb(0, 0, 0);
  }
};

TEST_F(QtBackendTest, WindowContentLiesAtItsBoundsInsideTheDecorations) {
  Window w = NewWindow(Rect{60, 50, 260, 150});
  EXPECT_EQ(Toolbox::GetWindowRect(w), (Rect{60, 50, 260, 150}));
  const QMdiSubWindow* sub = SubWindowOf(w);
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub->widget()->mapTo(frame->centralWidget(), QPoint(0, 0)), QPoint(60, 50));
  EXPECT_EQ(backend->PortImage(Toolbox::GetPort()).size(), QSize(200, 100));
}

TEST_F(QtBackendTest, FramesLieInsideTheirRectangleAndInvertingTwiceRestores) {
  Window w = NewWindow(Rect{0, 0, 100, 100});
  Toolbox::PenSize(2, 2);
  Toolbox::FrameRect(Rect{10, 10, 30, 30});
  EXPECT_TRUE(Black(w, 10, 10));
  EXPECT_TRUE(Black(w, 11, 28));
  EXPECT_FALSE(Black(w, 12, 12));
  EXPECT_TRUE(Black(w, 29, 29));
  EXPECT_FALSE(Black(w, 30, 30));
  Toolbox::PenNormal();
  Toolbox::InvertRect(Rect{0, 0, 20, 20});
  EXPECT_FALSE(Black(w, 10, 10));
  EXPECT_TRUE(Black(w, 15, 15));
  Toolbox::InvertRect(Rect{0, 0, 20, 20});
  EXPECT_TRUE(Black(w, 10, 10));
  EXPECT_FALSE(Black(w, 15, 15));
  // XOR paints black over white and takes it away again.
  Toolbox::PenMode(Toolbox::PenModeKind::Xor);
  Toolbox::PaintRect(Rect{50, 50, 60, 60});
  EXPECT_TRUE(Black(w, 55, 55));
  Toolbox::PaintRect(Rect{50, 50, 60, 60});
  EXPECT_FALSE(Black(w, 55, 55));
}

TEST_F(QtBackendTest, ScrollRectMovesPixelsAndErasesWhatItUncovers) {
  Window w = NewWindow(Rect{0, 0, 100, 100});
  Toolbox::PaintRect(Rect{0, 0, 10, 10});
  Toolbox::ScrollRect(Rect{0, 0, 50, 50}, 20, 0);
  EXPECT_FALSE(Black(w, 5, 5));
  EXPECT_TRUE(Black(w, 25, 5));
  // Nothing moves out of the rectangle.
  Toolbox::ScrollRect(Rect{0, 0, 50, 50}, 20, 0);
  Toolbox::ScrollRect(Rect{0, 0, 50, 50}, 20, 0);
  EXPECT_FALSE(Black(w, 65, 5));
}

TEST_F(QtBackendTest, CopyBitsBringsAnOffscreenBitmapIntoTheWindow) {
  Window w = NewWindow(Rect{0, 0, 100, 100});
  Toolbox::Offscreen* o = Toolbox::NewOffscreen(20, 20);
  ASSERT_NE(o, nullptr);
  Toolbox::SetPortOffscreen(o);
  Toolbox::PaintRect(Rect{0, 0, 10, 20});
  const Toolbox::Port source = Toolbox::GetPort();
  Toolbox::SetPort(w);
  Toolbox::CopyBits(source, Toolbox::GetPort(), Rect{0, 0, 20, 20}, Rect{40, 40, 60, 60});
  EXPECT_TRUE(Black(w, 45, 45));
  EXPECT_FALSE(Black(w, 55, 45));
  Toolbox::DisposeOffscreen(o);
}

TEST_F(QtBackendTest, InverseTextPaintsItsCellsInTheForeColour) {
  Window w = NewWindow(Rect{0, 0, 200, 50});
  Toolbox::FontInfo info;
  Toolbox::GetFontInfo(info);
  Toolbox::TextMode(Toolbox::kTextInverse);
  Toolbox::MoveTo(10, 30);
  Toolbox::DrawString("ii");
  EXPECT_EQ(Toolbox::GetPen().h, 10 + Toolbox::TextWidth("ii"));
  EXPECT_TRUE(Black(w, 10, 30 - info.ascent));
  EXPECT_FALSE(Black(w, 10, 30 - info.ascent - 1));
}

// A terminal row as a terminal draws it: runs of text each moved to its cell, the
// middle run inverse (a selection), and the block caret inverted over column 89. Every
// stroke of "|" must sit at the same place in its cell, so that text, selection and
// caret share one grid at any size and resolution.
class CellGridTest : public QtBackendTest,
                     public ::testing::WithParamInterface<std::tuple<int, double>> {};

TEST_P(CellGridTest, TextSelectionAndCaretShareOneGrid) {
  const auto [points, dpi] = GetParam();
  QtUi::Fonts fonts(dpi);
  Toolbox::PortState s;
  s.fontSize = points;
  const QtUi::Face& face = fonts.Get(s);
  const int cw = face.Width("M"), left = 4, top = 2, baseline = top + face.metrics.ascent();
  const int bottom = baseline + face.metrics.descent();
  std::string row(100, '|');
  row.replace(5, 3, "\t\xAD\x9C"); // drawn as one cell each, not as Qt lays them out
  QImage image(left + 101 * cw, bottom + 2, QImage::Format_RGB32);
  image.fill(Qt::white);
  auto render = [&](Toolbox::DrawCommand c) { QtUi::Render(image, c, fonts, nullptr); };
  for (auto [from, to, mode] : {std::tuple{0, 40, Toolbox::kTextCopy},
                                {40, 60, Toolbox::kTextInverse},
                                {60, 100, Toolbox::kTextCopy}}) {
    Toolbox::DrawCommand c;
    c.op = Toolbox::DrawCommand::Op::Text;
    c.state = s;
    c.state.textMode = mode;
    c.a = {left + from * cw, baseline};
    c.text = row.substr(from, to - from);
    render(c);
  }
  Toolbox::DrawCommand caret;
  caret.op = Toolbox::DrawCommand::Op::Rect;
  caret.verb = Toolbox::DrawCommand::Verb::Invert;
  caret.state = s;
  caret.rect = Rect{left + 88 * cw - 1, top, left + 89 * cw - 1, bottom};
  render(caret);

  auto black = [&](int x, int y) { return qGray(image.pixel(x, y)) < 128; };
  EXPECT_FALSE(black(left + 40 * cw - 1, top));
  EXPECT_TRUE(black(left + 40 * cw, top));
  EXPECT_TRUE(black(left + 60 * cw - 1, top));
  EXPECT_FALSE(black(left + 60 * cw, top));
  // The first column of a cell holding ink, on white or (selected, under the caret) on
  // black; -1 when the stroke has left its cell.
  auto onBlack = [](int column) { return (column >= 40 && column < 60) || column == 88; };
  auto stroke = [&](int column) {
    for (int x = left + column * cw; x < left + (column + 1) * cw; ++x)
      for (int y = top; y < bottom; ++y)
        if (black(x, y) != onBlack(column)) return x - left - column * cw;
    return -1;
  };
  const int plain = stroke(0), selected = stroke(40);
  ASSERT_GE(plain, 0);
  EXPECT_NEAR(selected, plain, 1); // light ink on black may come out a pixel wider
  for (int column = 1; column < 100; ++column) {
    if (column >= 5 && column <= 7) continue;
    EXPECT_EQ(stroke(column), onBlack(column) ? selected : plain) << column;
  }

  // Proportional faces keep their own widths.
  s.fontNumber = Toolbox::FontNumber("Arial");
  EXPECT_LT(fonts.Get(s).Width("iiiiiiii"), fonts.Get(s).Width("MMMMMMMM"));
}

INSTANTIATE_TEST_SUITE_P(SizesAndResolutions, CellGridTest,
                         ::testing::Combine(::testing::Values(9, 10, 12, 13, 16),
                                            ::testing::Values(96.0, 120.0, 144.0)));

TEST_F(QtBackendTest, KeysArriveAsTheEventQueueExpectsThem) {
  Window w = NewWindow(Rect{0, 0, 100, 100});
  QWidget* canvas = SubWindowOf(w)->widget();
  auto press = [canvas](int key, Qt::KeyboardModifiers mods, const QString& text) {
    QKeyEvent e(QEvent::KeyPress, key, mods, text);
    QCoreApplication::sendEvent(canvas, &e);
  };
  press(Qt::Key_Up, Qt::KeypadModifier, "");
  press(Qt::Key_Up, Qt::NoModifier, "");
  press(Qt::Key_A, Qt::ControlModifier, "\x01");
  press(Qt::Key_1, Qt::ControlModifier, "1");
  press(Qt::Key_B, Qt::NoModifier, "b");
  press(Qt::Key_Enter, Qt::KeypadModifier, "\r");
  EXPECT_EQ(Records(), "K104 K38 C1 K49 C98 K13");

  // Characters of the set: a dead key's é, and the text of an input method with a
  // character outside the set, which becomes the substitute.
  press(Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("é"));
  QInputMethodEvent composed;
  composed.setCommitString(QString::fromUtf8("ü€π"));
  QCoreApplication::sendEvent(canvas, &composed);
  EXPECT_EQ(Records(), "C233 C252 C128 C63");
}

TEST_F(QtBackendTest, CloseRequestsGoToTheProgram) {
  Window w = NewWindow(Rect{0, 0, 100, 100});
  QMdiSubWindow* sub = SubWindowOf(w);
  sub->close();
  EXPECT_EQ(Records(), "W8");
  EXPECT_TRUE(sub->isVisible());
  frameCloses = 0;
  Events::SetFrameCloseProc([] { ++frameCloses; });
  frame->close();
  Records();
  EXPECT_EQ(frameCloses, 1);
  EXPECT_TRUE(frame->isVisible());
  Events::SetFrameCloseProc(nullptr);
}

// Qt moves the focus while a window goes and tells the window so; none of that may
// reach the queue, whose records would name freed memory.
TEST_F(QtBackendTest, ADisposedWindowLeavesNothingQueued) {
  Window a = NewWindow(Rect{0, 0, 100, 100});
  NewWindow(Rect{120, 0, 220, 100});
  Toolbox::SelectWindow(a);
  Records();
  const Window gone = a;
  Toolbox::DisposeWindow(a);
  while (backend->Pump(false)) {}
  Events::EventRecord r;
  while (Events::QueuedCount() > 0) {
    Events::GetNextEvent(0, r);
    EXPECT_NE(r.window, gone);
  }
}

TEST_F(QtBackendTest, TheFrameScrollsToWindowsOutsideIt) {
  auto* area = qobject_cast<QMdiArea*>(frame->centralWidget());
  NewWindow(Rect{40, 60, 140, 160}); // its caption inside the frame too
  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
  EXPECT_FALSE(area->verticalScrollBar()->isVisible());
  NewWindow(Rect{100, 1500, 200, 1600});
  // The area lays out its scroll bars a few events later.
  for (int i = 0; i < 10 && !area->verticalScrollBar()->isVisible(); ++i)
    QCoreApplication::processEvents();
  EXPECT_TRUE(area->verticalScrollBar()->isVisible());
}

// Every alert and question is the desktop's message box over the frame: a question with
// the question icon, a warning with the warning icon, a long path elided in the middle so
// that its line does not break; a labelled button answers to its first letter.
TEST_F(QtBackendTest, AlertsAreTheDesktopsMessageBoxes) {
  struct Seen {
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QPoint centre;
    int labelHeight = 0;
    int lineHeight = 0;
  };
  // Looks at the box once it shows, then types key into it.
  auto answer = [](Seen& seen, int key, const QString& text) {
    QTimer::singleShot(200, [&seen, key, text] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      seen.text = box->text();
      seen.icon = box->icon();
      seen.centre = box->geometry().center();
      if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        seen.labelHeight = label->height();
        seen.lineHeight = label->fontMetrics().height();
      }
      QCoreApplication::postEvent(box, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
    });
  };
  const std::string path = "/home/someone/projects/with/a/rather/deep/tree/of/folders/Command";
  const std::string labels[3] = {"Yes", "No", "Cancel"};
  Seen quit, file, check, failed;
  answer(quit, Qt::Key_Escape, "");
  EXPECT_EQ(backend->MessageBox("Quitting Velmarin:\r\rSave Modified Text ?",
                                Toolbox::kAlertYesNoCancelDefaultCancel),
            2);
  answer(file, Qt::Key_N, "n");
  EXPECT_EQ(backend->ThreeButtonAlert("Save modified file : \"" + path + "\" ?", labels, 1), 2);
  const std::string checkLabels[3] = {"Continue", "No Check", "BREAK"};
  answer(check, Qt::Key_Escape, "");
  EXPECT_EQ(backend->ThreeButtonAlert("Output handle/adr Error!", checkLabels, 3), 0);
  answer(failed, Qt::Key_Return, "\r");
  EXPECT_EQ(backend->MessageBox("The file could not be stored.", Toolbox::kAlertOk), 1);

  EXPECT_EQ(quit.icon, QMessageBox::Question);
  EXPECT_EQ(quit.text, "Quitting Velmarin:\n\nSave Modified Text ?");
  EXPECT_EQ(file.icon, QMessageBox::Question);
  EXPECT_TRUE(file.text.startsWith("Save modified file : \"/home/")) << file.text.toStdString();
  EXPECT_TRUE(file.text.endsWith("/Command\" ?")) << file.text.toStdString();
  EXPECT_TRUE(file.text.contains(QChar(0x2026))) << file.text.toStdString();
  EXPECT_GT(file.lineHeight, 0);
  EXPECT_LT(file.labelHeight, 2 * file.lineHeight) << "the path's line broke";
  EXPECT_EQ(check.icon, QMessageBox::Warning);
  EXPECT_EQ(failed.icon, QMessageBox::Warning);
  // Over the middle of the frame, not in a corner of it.
  for (const Seen* seen : {&quit, &file, &check}) {
    const QPoint off = seen->centre - frame->geometry().center();
    EXPECT_LT(off.manhattanLength(), 120) << seen->text.toStdString();
  }
}

// The titles get mnemonics, each the first letter no title before it has: Alt and the
// letter open the menu, unless an item of the program claims the key, which then arrives
// as the program's.
TEST_F(QtBackendTest, MenusMirrorTheBarAndLeaveCommandKeysToTheToolbox) {
  Toolbox::Menu* menu = Toolbox::NewMenu(3, "File");
  Toolbox::AppendItem(menu, "New");
  Toolbox::AppendItem(menu, "Open & Run");
  Toolbox::SetItemCmd(menu, 2, 'O');
  Toolbox::DisableItem(menu, 1);
  Toolbox::InsertMenu(menu, 0);
  Toolbox::Menu* find = Toolbox::NewMenu(4, "Find & Go");
  Toolbox::AppendItem(find, "Next");
  Toolbox::InsertMenu(find, 0);
  Toolbox::DrawMenuBar();
  backend->Pump(false); // the bar is built once for a run of changes
  const QList<QAction*> bar = frame->menuBar()->actions();
  ASSERT_EQ(bar.size(), 2);
  EXPECT_EQ(bar[0]->text(), "&File");
  EXPECT_EQ(bar[1]->text(), "F&ind && Go");
  const QList<QAction*> items = bar[0]->menu()->actions();
  ASSERT_EQ(items.size(), 2);
  EXPECT_FALSE(items[0]->isEnabled());
  EXPECT_EQ(items[1]->text(), "Open && Run\tCtrl+O");
  EXPECT_TRUE(items[1]->shortcut().isEmpty());
  items[1]->trigger();
  EXPECT_EQ(Records(), "M" + std::to_string(3 * 65536 + 2));

  Window w = NewWindow(Rect{0, 0, 100, 100});
  QWidget* canvas = SubWindowOf(w)->widget();
  canvas->setFocus();
  auto altPress = [canvas](int key) {
    // Posted as a driver or a test types: Qt offers it to the shortcuts first.
    QKeyEvent e(QEvent::KeyPress, key, Qt::AltModifier, QString(QChar(key).toLower()));
    QCoreApplication::sendEvent(canvas, &e);
    QCoreApplication::processEvents();
  };
  altPress(Qt::Key_I);
  EXPECT_EQ(QApplication::activePopupWidget(), bar[1]->menu());
  if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  Records();
  Events::SetKeyClaimProc([](char key) { return key == 'F'; });
  altPress(Qt::Key_F);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  EXPECT_EQ(Records(), "C102");
  Events::SetKeyClaimProc(nullptr);
}

} // namespace

namespace {

// A file dialog opens large enough to show each file's size, type and date whole beside its
// name,
// and opens again at the size the user left it at (kept in the configuration directory).
TEST_F(QtBackendTest, FileDialogsShowWholeColumnsAndKeepTheirSize) {
  QTemporaryDir config, files;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  QFile file(files.filePath("a_rather_long_name_for_a_module_of_the_program.mod"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  struct Seen {
    QSize size;
    bool whole = false;
  };
  auto look = [](Seen& seen, QSize resizeTo) {
    QTimer::singleShot(600, [&seen, resizeTo] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      seen.size = dialog->size();
      if (auto* view = dialog->findChild<QTreeView*>()) {
        seen.whole = view->isVisible();
        // The name column keeps room for a name; the others show their texts whole.
        seen.whole = seen.whole && view->header()->sectionSize(0) >= 150;
        for (int column = 1; column < 4; ++column)
          seen.whole =
              seen.whole && view->header()->sectionSize(column) >=
                                static_cast<QAbstractItemView*>(view)->sizeHintForColumn(column);
      }
      if (resizeTo.isValid()) dialog->resize(resizeTo);
      dialog->reject();
    });
  };
  std::string name = files.filePath("x.mod").toStdString();
  Seen first, second;
  look(first, QSize(640, 420));
  EXPECT_FALSE(backend->AskFileName(1, "Open", "*.mod", name));
  EXPECT_GE(first.size.width(), 640);
  EXPECT_GE(first.size.height(), 420);
  EXPECT_TRUE(first.whole);
  look(second, QSize());
  EXPECT_FALSE(backend->AskFileName(1, "Open", "*.mod", name));
  EXPECT_EQ(second.size, QSize(640, 420));
  EXPECT_TRUE(second.whole);
  qunsetenv("XDG_CONFIG_HOME");
}

} // namespace
