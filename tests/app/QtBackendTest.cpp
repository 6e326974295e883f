// The Qt backend in-process on Qt's offscreen platform: what drawing leaves in the
// pixels, and which event records Qt's events become.
#include "platform/qt/QtBackend.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <string>
#include <vector>

#include "platform/Events.h"
#include "platform/Toolbox.h"

using Toolbox::Rect;
using Toolbox::Window;

namespace {

int frameCloses = 0;

class QtBackendTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    static int argc = 3;
    static char arg0[] = "test", arg1[] = "-platform", arg2[] = "offscreen";
    static char* argv[] = {arg0, arg1, arg2, nullptr};
    app = new QApplication(argc, argv);
  }
  static void TearDownTestSuite() {
    delete app;
    app = nullptr;
  }
  void SetUp() override {
    backend = std::make_unique<QtUi::QtBackend>();
    Toolbox::InstallBackend(backend.get());
    Toolbox::Init();
    ASSERT_TRUE(Events::InitEventQueue());
    ASSERT_TRUE(backend->CreateFrame("Test", 760, 570));
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* m = qobject_cast<QMainWindow*>(w)) frame = m;
    ASSERT_NE(frame, nullptr);
    Records();
  }
  void TearDown() override {
    Toolbox::Shutdown();
    backend->DestroyFrame();
    Events::FreeEventQueue();
    Toolbox::InstallBackend(nullptr);
    backend.reset();
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
        one = (r.detail == Events::VirtualKey ? "K" : "C") + std::to_string(r.message);
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

  static QApplication* app;
  std::unique_ptr<QtUi::QtBackend> backend;
  QMainWindow* frame = nullptr;
};
QApplication* QtBackendTest::app = nullptr;

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

TEST_F(QtBackendTest, MenusMirrorTheBarAndLeaveCommandKeysToTheToolbox) {
  Toolbox::Menu* menu = Toolbox::NewMenu(3, "File");
  Toolbox::AppendItem(menu, "New");
  Toolbox::AppendItem(menu, "Open & Run");
  Toolbox::SetItemCmd(menu, 2, 'O');
  Toolbox::DisableItem(menu, 1);
  Toolbox::InsertMenu(menu, 0);
  Toolbox::DrawMenuBar();
  const QList<QAction*> bar = frame->menuBar()->actions();
  ASSERT_EQ(bar.size(), 1);
  EXPECT_EQ(bar[0]->text(), "File");
  const QList<QAction*> items = bar[0]->menu()->actions();
  ASSERT_EQ(items.size(), 2);
  EXPECT_FALSE(items[0]->isEnabled());
  EXPECT_EQ(items[1]->text(), "Open && Run\tCtrl+O");
  EXPECT_TRUE(items[1]->shortcut().isEmpty());
  items[1]->trigger();
  EXPECT_EQ(Records(), "M" + std::to_string(3 * 65536 + 2));
}

} // namespace
