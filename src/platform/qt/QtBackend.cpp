#include "platform/qt/QtBackend.h"

#include <QApplication>
#include <QBackingStore>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QColorDialog>
#include <QCursor>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSessionManager>
#include <QSettings>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleHints>
#include <QTextStream>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

#include "platform/Events.h"
#include "platform/KeyScript.h"
#include "platform/Signals.h"
#include "platform/Startup.h"
#include "platform/qt/QtKeys.h"
#include "platform/qt/QtPaint.h"
#include "platform/qt/QtText.h"

namespace QtUi {

using Toolbox::PlatformMessage;
using Toolbox::Window;
using Kind = PlatformMessage::Kind;

namespace {

class Canvas;
class ChildFrame;

// The frame window's 55 ms timer drives the null events.
constexpr int kTimerPeriodMs = 55;
// The file dialogs' first size in pixels: names, sizes, types and dates side by side.
constexpr int kFileDialogWidth = 820;
constexpr int kFileDialogHeight = 500;
// Every so many ticks (about a second) the frame's window is looked for.
constexpr std::uint32_t kFrameCheckTicks = 18;

Toolbox::Point ToPoint(QPoint p) { return Toolbox::Point{p.x(), p.y()}; }
Toolbox::Rect ToRect(const QRect& r) {
  return Toolbox::Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}
QRect ToQRect(const Toolbox::Rect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

// Menus show texts as they are: '&' is not a mnemonic mark.
QString MenuText(const std::string& s) { return ToQt(s).replace('&', "&&"); }

// A menu title or a button label with its mnemonic: the first of its letters that no title
// or label before it has taken (Alt and the letter open a menu, the letter presses a button).
QString WithMnemonic(const std::string& title, QString& taken) {
  const QString text = ToQt(title);
  QString marked;
  bool done = false;
  for (const QChar c : text) {
    if (!done && c.isLetterOrNumber() && !taken.contains(c.toLower())) {
      taken += c.toLower();
      marked += '&';
      done = true;
    }
    marked += c == '&' ? QStringLiteral("&&") : QString(c);
  }
  return marked;
}

std::uint32_t ButtonFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  std::uint32_t flags = 0;
  if (buttons & Qt::LeftButton) flags |= 1;
  if (buttons & Qt::RightButton) flags |= 2;
  if (modifiers & Qt::ShiftModifier) flags |= 4;
  if (modifiers & Qt::ControlModifier) flags |= 8;
  if (buttons & Qt::MiddleButton) flags |= 16;
  return flags;
}

int ButtonNumber(Qt::MouseButton b) {
  switch (b) {
  case Qt::LeftButton:
    return 1;
  case Qt::MiddleButton:
    return 2;
  case Qt::RightButton:
    return 3;
  default:
    return 0;
  }
}

Qt::CursorShape QtCursor(Toolbox::CursorShape shape) {
  switch (shape) {
  case Toolbox::CursorShape::IBeam:
    return Qt::IBeamCursor;
  case Toolbox::CursorShape::Cross:
    return Qt::CrossCursor;
  case Toolbox::CursorShape::Busy:
    return Qt::WaitCursor;
  case Toolbox::CursorShape::Hand:
    return Qt::PointingHandCursor;
  default:
    return Qt::ArrowCursor;
  }
}

// The program's icon: the splash window's wave over a baseline.
QIcon ProgramIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(40, 40, 40), 1.5));
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 5, 5);
  p.setPen(QPen(QColor(0, 70, 160), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  const QPointF wave[] = {{5, 16}, {9, 7}, {13, 25}, {17, 7}, {21, 25}, {25, 16}};
  p.drawPolyline(wave, 6);
  p.setPen(QPen(QColor(40, 40, 40), 1.5));
  p.drawLine(QPointF(5, 27), QPointF(27, 27));
  return QIcon(pixmap);
}

} // namespace

struct Child {
  Window window = nullptr;
  ChildFrame* sub = nullptr;
  Canvas* canvas = nullptr;
  QImage image;
  QRegion invalid;
  bool paintQueued = false;
  int kind = 0;
  bool plain = false;          // a plain border, no caption
  bool closing = false;        // being destroyed: what Qt reports of it now goes nowhere
  bool onScreen = false;       // the canvas has painted the image since it was last drawn into
  QRect drawn;                 // the part of the image drawn into since the canvas last painted
  std::uint64_t paintedAt = 0; // when the canvas last painted (0: never), in paints
  bool paintedOnTop = false;   // it was then the front window
  QRect known; // the content rectangle in frame client coordinates, as last set or told
};

// A printer and, while a document prints, the painter on its pages and the progress
// dialog.
struct PrintJob {
  std::unique_ptr<QPrinter> printer;
  std::unique_ptr<Fonts> fonts;      // measured on the printer
  std::unique_ptr<QPainter> painter; // from the first page of a document to its end
  QPointer<QProgressDialog> progress;
  bool cancelled = false;
  bool toFile = false; // VELMARIN_PRINT_PDF: a file, and no dialogs
};

struct QtBackend::State {
  QtBackend* self = nullptr;
  QMainWindow* frame = nullptr;
  QMdiArea* area = nullptr;
  QTimer* timer = nullptr;
  std::uint32_t ticks = 0;
  Fonts fonts{96.0};
  std::deque<PlatformMessage> messages;
  std::map<Window, std::unique_ptr<Child>> children;
  std::map<Toolbox::Offscreen*, std::unique_ptr<QImage>> offscreens;
  std::map<Toolbox::Printer*, std::unique_ptr<PrintJob>> printers;
  std::vector<QMenu*> menus;
  std::map<int, Toolbox::Rect> margins; // of the window kinds, as the style draws them
  bool capsLock = false;
  bool numLock = true;
  std::set<std::uint32_t> pressed;
  Toolbox::CursorShape cursor = Toolbox::CursorShape::Arrow;
  bool cursorHidden = false;
  bool selecting = false; // the program brings a window to front (not a click)
  bool creating = false;  // a window is being created
  // While a key message is dispatched, the modifier state is the one it came with:
  // the key was pressed then, and injected keys have no live state at all.
  const PlatformMessage* keyMessage = nullptr;
  QString rememberedFilter;
  QString fileButton;        // the next file dialog's accepting button, when not the platform's
  bool menusChanged = false; // the bar is built anew before Qt next runs
  void BuildMenu(QMenu* qm, const Toolbox::Menu* menu, int depth);
  void BuildMenuBar();

  // The driver.
  std::deque<PlatformMessage> injected;
  QString screenshotFile;
  QString geometryFile;
  bool screenshotDone = false;
  bool screenshotOk = true;
  bool terminating = false;
  bool reportReady = false;
  bool waiting = false; // the program waits for input in Pump
  bool unattended = false;
  std::uint32_t skipped = 0; // milliseconds the unattended waits took no time for
  // A script's pause: until when nothing is typed, and the modifiers it holds (as a
  // mouse action does from its press on).
  bool pausing = false;
  // A pause begun while a program computes: the keys after it are typed as it ends,
  // whether or not the program waits for input then.
  bool pausedWhileBusy = false;
  bool pressedByScript = false; // the script's button is down
  std::uint32_t pauseEnd = 0;
  std::uint32_t held = 0;
  double t0Ms = 0;
  double readyMs = -1;      // the ready time, once it has come
  std::uint64_t paints = 0; // canvas paints so far

  void Post(PlatformMessage m) {
    // Qt reports focus and geometry changes of a window while it takes it down; the
    // program has already let go of that window, so nothing about it is queued.
    if (m.window != nullptr) {
      const Child* c = ChildOf(m.window);
      if (c == nullptr || c->closing) return;
    }
    if (m.time == 0) m.time = self->TickCount();
    if (m.kind == Kind::Timer) {
      // Like the platform's timer, a timer message waits at most once in the queue.
      for (const PlatformMessage& q : messages)
        if (q.kind == Kind::Timer) return;
    }
    messages.push_back(std::move(m));
  }
  Child* ChildOf(Window w) {
    auto it = children.find(w);
    return it == children.end() ? nullptr : it->second.get();
  }
  Child* ChildOf(const QMdiSubWindow* sub);
  PrintJob* JobOf(Toolbox::Printer* p) {
    auto it = printers.find(p);
    return it == printers.end() ? nullptr : it->second.get();
  }
  QWidget* Viewport() const;
  QRect ContentOf(const Child& c) const;
  // The room the window's decorations take around its content.
  QMargins Decorations(const Child& c) const;
  void OnKey(QKeyEvent* e, Window w);
  void OnKeyRelease(QKeyEvent* e);
  // Text an input method committed: one character message for each of its characters.
  void OnComposed(const QString& text, Window w);
  void OnMouse(QWidget* source, QMouseEvent* e, Window w);
  void OnGeometry(Child& c);
  // Moved and Sized messages for what changed of c's known content since before.
  void TellGeometry(const Child& c, const QRect& before);
  void OnMinimised(Child& c);
  void Invalidate(Child& c, const QRegion& r);
  void GrowImage(Child& c, QSize size);
  void ApplyCursor();
  bool Driving() const {
    return !injected.empty() || pausing || (!screenshotFile.isEmpty() && !screenshotDone);
  }
  // Whether a script's pause goes on; ends it when its time is over.
  bool Paused();
  // Whether the frame's window is gone from the desktop: destroyed from outside (the
  // X server knows it no more), or by the key script's FRAMEDESTROY.
  bool FrameGone();
  // Starts the pause the script's next message asks for; false when it is none.
  bool StartPause();
  // Moves the next injected key press (its key message and the character after it)
  // into the message queue; a system key (Alt combinations, F10), and any key while a
  // menu of the bar is open, goes the way the user's does, through Qt (the menus'
  // mnemonics, the menu).
  void InjectNextKey();
  // Types the script's next key press (it must be one) into target as Qt key events,
  // posted: to its focus widget, unless it is a menu.
  void TypeKeyInto(QWidget* target);
  // Carries out a script's click or close box on the front window (or the frame's
  // close box) as the user's would arrive; false when the next message is a key.
  bool InjectAction(Window front);
  // The front-most shown window of the title (case ignored), or nullptr.
  Child* Titled(const std::string& title);
  void TakeScreenshot(QWidget* dialog);
  // With a geometry file set: the client area's size and the frame rectangle (caption and
  // borders) of each shown window, front first, in client coordinates.
  void WriteGeometry();
  // With the ready time asked for: notes it once the program waits for input and the
  // front window's canvas has painted what was drawn into it.
  void CheckReady();
  // Once the ready time is noted: saves the screenshot if one is asked for, prints the
  // time and ends the process.
  void FinishIfReady();
  // Qt's events, after which a ready time noted while painting is reported.
  void ProcessEvents(QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);
  void CanvasPainted(Child& c);
  // Copies what was drawn into c's image since its canvas last painted straight to the
  // frame's backing store and shows it; false when that would not show what a paint
  // of the frame would: c is not in front, or was not when it last painted, or a window
  // over it painted since.
  bool ShowDirectly(Child& c);
  // Types the script's next key into the innermost of what Qt runs a loop of its own for
  // (a pop-up menu, or a dialog and the boxes it opens in turn); owner is the outermost.
  // Once the keys are used up and a screenshot is asked for, shoots it with what is open
  // and ends all of it.
  void Feed(QWidget* owner, QTimer* feeder);
  QImage* ImageOf(const Toolbox::Port& port);
};

namespace {

class FrameWindow : public QMainWindow {
public:
  explicit FrameWindow(QtBackend::State* s) : s_(s) { setAcceptDrops(true); }

protected:
  void closeEvent(QCloseEvent* e) override {
    // The program decides: the request becomes its Quit command.
    e->ignore();
    PlatformMessage m;
    m.kind = Kind::FrameClose;
    s_->Post(m);
  }
  void keyPressEvent(QKeyEvent* e) override { s_->OnKey(e, nullptr); }
  void keyReleaseEvent(QKeyEvent* e) override { s_->OnKeyRelease(e); }
  void dragEnterEvent(QDragEnterEvent* e) override {
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
  }
  void dropEvent(QDropEvent* e) override {
    PlatformMessage m;
    m.kind = Kind::DropFiles;
    for (const QUrl& url : e->mimeData()->urls())
      if (url.isLocalFile()) m.files.push_back(QtToUtf8(url.toLocalFile()));
    if (m.files.empty()) return;
    e->acceptProposedAction();
    s_->Post(std::move(m));
  }

private:
  QtBackend::State* s_;
};

// The content of a child window: paints from the backing image and reports keys,
// mouse and focus.
class Canvas : public QWidget {
public:
  Canvas(QtBackend::State* s, Child* c) : s_(s), c_(c) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Characters composed by an input method (dead keys, compose) arrive as its text.
    setAttribute(Qt::WA_InputMethodEnabled);
  }

protected:
  void paintEvent(QPaintEvent* e) override {
    // Rectangle by rectangle, each the clip: Qt then copies the pixels, where a clip
    // with the scroll bars cut out would have it blend them span by span (and hand
    // large areas to other threads). The scroll bars paint over their own part.
    QRegion region = e->region();
    for (const QObject* o : children())
      if (const auto* child = qobject_cast<const QWidget*>(o); child && child->isVisible())
        region -= child->geometry();
    QPainter p(this);
    for (const QRect& r : region) {
      p.setClipRect(r);
      p.drawImage(r, c_->image, r);
    }
    p.end();
    s_->CanvasPainted(*c_);
  }
  void resizeEvent(QResizeEvent* e) override { s_->GrowImage(*c_, e->size()); }
  // Tab is a key of the program, not a move of the focus.
  bool focusNextPrevChild(bool) override { return false; }
  // Alt and a letter open the menu of that mnemonic, unless an item of the program's
  // dialogs claims the key: then it comes here as the program's key.
  bool event(QEvent* e) override {
    if (e->type() == QEvent::ShortcutOverride) {
      auto* key = static_cast<QKeyEvent*>(e);
      const int k = key->key();
      const bool letter = (k >= Qt::Key_A && k <= Qt::Key_Z) || (k >= Qt::Key_0 && k <= Qt::Key_9);
      if (letter && (key->modifiers() & Qt::AltModifier) && Events::KeyClaimed(char(k))) {
        e->accept();
        return true;
      }
    }
    return QWidget::event(e);
  }
  void keyPressEvent(QKeyEvent* e) override { s_->OnKey(e, c_->window); }
  void keyReleaseEvent(QKeyEvent* e) override { s_->OnKeyRelease(e); }
  void inputMethodEvent(QInputMethodEvent* e) override {
    s_->OnComposed(e->commitString(), c_->window);
    e->accept();
  }
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override {
    return query == Qt::ImEnabled ? QVariant(true) : QWidget::inputMethodQuery(query);
  }
  void mousePressEvent(QMouseEvent* e) override { s_->OnMouse(this, e, c_->window); }
  void mouseReleaseEvent(QMouseEvent* e) override { s_->OnMouse(this, e, c_->window); }
  void mouseMoveEvent(QMouseEvent* e) override { s_->OnMouse(this, e, c_->window); }
  void focusInEvent(QFocusEvent*) override { Focus(Kind::FocusIn); }
  void focusOutEvent(QFocusEvent* e) override {
    // A menu opening over the window does not take the focus from it.
    if (e->reason() != Qt::PopupFocusReason) Focus(Kind::FocusOut);
  }

private:
  void Focus(Kind kind) {
    PlatformMessage m;
    m.kind = kind;
    m.window = c_->window;
    s_->Post(m);
  }
  QtBackend::State* s_;
  Child* c_;
};

class ChildFrame : public QMdiSubWindow {
public:
  ChildFrame(QtBackend::State* s, Child* c, Qt::WindowFlags flags)
      : QMdiSubWindow(nullptr, flags), s_(s), c_(c) {
    setAttribute(Qt::WA_DeleteOnClose, false);
  }

protected:
  void closeEvent(QCloseEvent* e) override {
    // The close box asks the program, which disposes of the window when it agrees.
    e->ignore();
    PlatformMessage m;
    m.kind = Kind::Close;
    m.window = c_->window;
    s_->Post(m);
  }
  void moveEvent(QMoveEvent* e) override {
    QMdiSubWindow::moveEvent(e);
    s_->OnGeometry(*c_);
  }
  void resizeEvent(QResizeEvent* e) override {
    QMdiSubWindow::resizeEvent(e);
    s_->OnGeometry(*c_);
  }
  void changeEvent(QEvent* e) override {
    QMdiSubWindow::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange && isMinimized()) s_->OnMinimised(*c_);
  }

private:
  QtBackend::State* s_;
  Child* c_;
};

// Mouse moves over the frame's client area outside the windows.
class ViewportWatcher : public QObject {
public:
  ViewportWatcher(QtBackend::State* s, QObject* parent) : QObject(parent), s_(s) {}

protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::MouseMove) {
      PlatformMessage m;
      m.kind = Kind::MouseMove;
      m.where = ToPoint(static_cast<QMouseEvent*>(e)->position().toPoint());
      s_->Post(m);
    } else if (e->type() == QEvent::Resize) {
      // The client area took a new size: the windows laid out over it follow.
      const QSize size = static_cast<QResizeEvent*>(e)->size();
      PlatformMessage m;
      m.kind = Kind::FrameSized;
      m.where = Toolbox::Point{size.width(), size.height()};
      s_->Post(m);
    }
    return QObject::eventFilter(o, e);
  }

private:
  QtBackend::State* s_;
};

} // namespace

Child* QtBackend::State::ChildOf(const QMdiSubWindow* sub) {
  for (auto& [w, c] : children)
    if (c->sub == sub) return c.get();
  return nullptr;
}

QMargins QtBackend::State::Decorations(const Child& c) const {
  const int border = c.plain ? 1 : 0;
  return c.sub->contentsMargins() + QMargins(border, border, border, border);
}

QWidget* QtBackend::State::Viewport() const { return area->viewport(); }

QRect QtBackend::State::ContentOf(const Child& c) const {
  return QRect(c.canvas->mapTo(Viewport(), QPoint(0, 0)), c.canvas->size());
}

void QtBackend::State::OnKey(QKeyEvent* e, Window w) {
  const int key = e->key();
  const Qt::KeyboardModifiers mods = e->modifiers();
  // Qt does not tell the toggle states; the keys that depend on them do.
  if (key >= Qt::Key_A && key <= Qt::Key_Z && e->text().size() == 1) {
    const bool upper = e->text()[0].isUpper();
    capsLock = upper != bool(mods & Qt::ShiftModifier);
  }
  if (mods & Qt::KeypadModifier) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) numLock = true;
    if (key >= Qt::Key_Home && key <= Qt::Key_PageDown) numLock = false;
  }
  if (key == Qt::Key_CapsLock) capsLock = !capsLock;
  const KeyScript::KeyPress press = TranslateKey(key, mods, e->text(), capsLock);
  if (press.vkey == 0 && press.ch < 0) return;
  pressed.insert(press.vkey);
  std::vector<PlatformMessage> out;
  KeyScript::AppendMessages(press, out);
  for (PlatformMessage& m : out) {
    m.window = w;
    Post(std::move(m));
  }
}

void QtBackend::State::OnComposed(const QString& text, Window w) {
  for (const char32_t c : text.toUcs4()) {
    const KeyScript::KeyPress press =
        TranslateKey(0, Qt::NoModifier, QString::fromUcs4(&c, 1), capsLock);
    if (press.ch < 0) continue;
    PlatformMessage m;
    m.kind = Kind::Character;
    m.ch = static_cast<char>(press.ch);
    m.window = w;
    Post(std::move(m));
  }
}

void QtBackend::State::OnKeyRelease(QKeyEvent* e) {
  if (e->isAutoRepeat()) return;
  const KeyScript::KeyPress press = TranslateKey(e->key(), e->modifiers(), e->text(), capsLock);
  pressed.erase(press.vkey);
}

void QtBackend::State::OnMouse(QWidget* source, QMouseEvent* e, Window w) {
  PlatformMessage m;
  m.window = w;
  m.where = ToPoint(source->mapTo(Viewport(), e->position().toPoint()));
  switch (e->type()) {
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonDblClick:
    m.kind = Kind::ButtonDown;
    m.button = ButtonNumber(e->button());
    if (m.button == 0) return;
    m.buttonFlags = ButtonFlags(e->buttons(), e->modifiers());
    break;
  case QEvent::MouseButtonRelease:
    m.kind = Kind::ButtonUp;
    m.button = ButtonNumber(e->button());
    m.buttonFlags = ButtonFlags(e->buttons(), e->modifiers());
    break;
  default:
    m.kind = Kind::MouseMove;
    break;
  }
  Post(std::move(m));
}

void QtBackend::State::OnGeometry(Child& c) {
  if (c.sub->isMinimized() || !c.sub->isVisible()) return;
  const QRect now = ContentOf(c);
  if (creating) {
    // A window being created tells nothing of its own placement.
    c.known = now;
    return;
  }
  const QRect before = c.known;
  c.known = now;
  TellGeometry(c, before);
}

void QtBackend::State::TellGeometry(const Child& c, const QRect& before) {
  const QRect now = c.known;
  if (now.topLeft() != before.topLeft()) {
    PlatformMessage m;
    m.kind = Kind::Moved;
    m.window = c.window;
    m.where = ToPoint(now.topLeft());
    Post(m);
  }
  if (now.size() != before.size()) {
    PlatformMessage m;
    m.kind = Kind::Sized;
    m.window = c.window;
    m.where = Toolbox::Point{now.width(), now.height()};
    m.sizeType = c.sub->isMaximized() ? 2 : 0;
    Post(m);
  }
}

void QtBackend::State::OnMinimised(Child& c) {
  PlatformMessage m;
  m.kind = Kind::Sized;
  m.window = c.window;
  m.sizeType = 1;
  m.where = Toolbox::Point{c.known.width(), c.known.height()};
  Post(m);
}

void QtBackend::State::Invalidate(Child& c, const QRegion& r) {
  c.invalid += r;
  if (c.invalid.isEmpty() || c.paintQueued) return;
  c.paintQueued = true;
  PlatformMessage m;
  m.kind = Kind::Paint;
  m.window = c.window;
  Post(m);
}

void QtBackend::State::GrowImage(Child& c, QSize size) {
  const QSize old = c.image.size();
  if (size.width() <= old.width() && size.height() <= old.height()) return;
  QImage grown(size.expandedTo(old), QImage::Format_RGB32);
  grown.fill(ToQColor(c.window->port.backColor));
  {
    QPainter p(&grown);
    p.drawImage(0, 0, c.image);
  }
  c.image = std::move(grown);
  Invalidate(c, QRegion(QRect(QPoint(0, 0), size)) - QRegion(QRect(QPoint(0, 0), old)));
}

void QtBackend::State::ApplyCursor() {
  const QMdiSubWindow* front = area != nullptr ? area->currentSubWindow() : nullptr;
  for (auto& [w, c] : children) {
    if (c->sub == front)
      c->canvas->setCursor(QtCursor(cursor));
    else
      c->canvas->unsetCursor();
  }
}

bool QtBackend::State::FrameGone() {
  if (frame == nullptr) return false;
  const QWindow* window = frame->windowHandle();
  if (window == nullptr || window->handle() == nullptr) return true;
#if QT_CONFIG(xcb)
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection =
      x11 != nullptr && QGuiApplication::platformName() == "xcb" ? x11->connection() : nullptr;
  if (connection != nullptr) {
    xcb_generic_error_t* error = nullptr;
    std::free(xcb_get_window_attributes_reply(
        connection,
        xcb_get_window_attributes(connection, static_cast<xcb_window_t>(window->winId())), &error));
    const bool gone = error != nullptr && error->error_code == XCB_WINDOW;
    std::free(error);
    return gone;
  }
#endif
  return false;
}

bool QtBackend::State::Paused() {
  if (pausing && static_cast<std::int32_t>(self->TickCount() - pauseEnd) >= 0) {
    pausing = false;
    held = 0;
  }
  return pausing;
}

bool QtBackend::State::StartPause() {
  const PlatformMessage& m = injected.front();
  if (m.kind != Kind::Timer || m.waitMs == 0) return false;
  pausing = true;
  pauseEnd = self->TickCount() + m.waitMs;
  held = m.keyState;
  injected.pop_front();
  return true;
}

void QtBackend::State::InjectNextKey() {
  if (injected.empty() || Paused() || StartPause()) return;
  const PlatformMessage& next = injected.front();
  const bool key = next.kind == Kind::KeyDown || next.kind == Kind::SysKeyDown;
  if (QWidget* popup = QApplication::activePopupWidget()) {
    // A menu of the bar is open: it takes the keys; anything else closes it, as a click
    // beside it would.
    if (key)
      TypeKeyInto(popup);
    else
      popup->close();
    return;
  }
  Window front = self->FrontWindow();
  // The system keys (Alt combinations, F10) are where the desktop may take a key first.
  if (next.kind == Kind::SysKeyDown) {
    Child* c = ChildOf(front);
    TypeKeyInto(c != nullptr ? static_cast<QWidget*>(c->canvas) : frame);
    return;
  }
  if (InjectAction(front)) return;
  held = 0;
  do {
    PlatformMessage m = std::move(injected.front());
    injected.pop_front();
    m.window = front;
    Post(std::move(m));
  } while (!injected.empty() && injected.front().kind == Kind::Character);
}

Child* QtBackend::State::Titled(const std::string& title) {
  const QString wanted = ToQt(title);
  const QList<QMdiSubWindow*> stack = area->subWindowList(QMdiArea::StackingOrder);
  for (auto it = stack.rbegin(); it != stack.rend(); ++it)
    if ((*it)->isVisible() && (*it)->windowTitle().compare(wanted, Qt::CaseInsensitive) == 0)
      return ChildOf(*it);
  return nullptr;
}

namespace {

Qt::KeyboardModifiers ModifiersOf(std::uint32_t keyState) {
  Qt::KeyboardModifiers mods;
  if (keyState & 512) mods |= Qt::ShiftModifier;
  if (keyState & 4096) mods |= Qt::ControlModifier;
  if (keyState & 256) mods |= Qt::AltModifier;
  return mods;
}

} // namespace

bool QtBackend::State::InjectAction(Window front) {
  PlatformMessage& m = injected.front();
  if (m.frontLocal) {
    // A press, move or release at a point of the front window's content (or of the
    // window of the title), one per wait of the program, so that it sees the button held
    // in between; the modifiers are held from the press on.
    const PlatformMessage local = m;
    injected.pop_front();
    Child* c = local.windowTitle.empty() ? ChildOf(front) : Titled(local.windowTitle);
    if (c == nullptr) {
      std::fprintf(stderr, "velmarin: key script: no window \"%s\" to click\n",
                   local.windowTitle.empty() ? "in front" : local.windowTitle.c_str());
      return true;
    }
    held = local.keyState;
    const QPointF at(local.where.h, local.where.v);
    const QPointF global = c->canvas->mapToGlobal(at);
    QCursor::setPos(global.toPoint());
    const QEvent::Type type = local.kind == Kind::ButtonDown ? QEvent::MouseButtonPress
                              : local.kind == Kind::ButtonUp ? QEvent::MouseButtonRelease
                                                             : QEvent::MouseMove;
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    // A move between a script's press and release drags; MOVE alone only moves.
    if (type == QEvent::MouseButtonPress) pressedByScript = true;
    if (type == QEvent::MouseButtonRelease) pressedByScript = false;
    const Qt::MouseButtons down = pressedByScript ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent e(type, at, global, button, down, ModifiersOf(local.keyState));
    QCoreApplication::sendEvent(c->canvas, &e);
    return true;
  }
  if (m.kind == Kind::ClipboardText) {
    QGuiApplication::clipboard()->setText(Utf8ToQt(m.text));
    injected.pop_front();
    return true;
  }
  if (Child* c = ChildOf(front); c != nullptr && m.kind == Kind::KeyDown && m.vkey == 0 &&
                                 injected.size() > 1 && injected[1].kind == Kind::Character) {
    // A character no key of the keyboard types (é, €) comes as the desktop delivers a
    // dead key's or a layout's character: a key event with its text.
    const QString text = ToQt(std::string_view(&injected[1].ch, 1));
    injected.pop_front();
    injected.pop_front();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QCoreApplication::sendEvent(c->canvas, &press);
    return true;
  }
  if (m.kind == Kind::FrameSized) {
    // As a window manager resizes the frame's window at the user's drag of its border.
    frame->resize(m.where.h, m.where.v);
    injected.pop_front();
    return true;
  }
  if (m.kind == Kind::Moved && m.place) {
    // As the user drags the window's caption and border: Qt reports the change itself.
    const PlatformMessage place = m;
    injected.pop_front();
    Child* c = place.windowTitle.empty() ? ChildOf(front) : Titled(place.windowTitle);
    if (c == nullptr) {
      std::fprintf(stderr, "velmarin: key script: no window \"%s\" to place\n",
                   place.windowTitle.empty() ? "in front" : place.windowTitle.c_str());
      return true;
    }
    const QMargins d = Decorations(*c);
    c->sub->setGeometry(QRect(place.where.h, place.where.v, place.size.h, place.size.v) + d);
    return true;
  }
  const bool click = m.kind == Kind::ButtonDown && m.where == KeyScript::kFrontCentre;
  if (m.kind != Kind::Close && m.kind != Kind::FrameClose && !click) return false;
  const Kind kind = m.kind;
  const bool destroyed = m.destroyed;
  const Qt::KeyboardModifiers mods = ModifiersOf(m.keyState);
  held = m.keyState;
  injected.pop_front();
  // The actions take Qt's own way: a close box asks through closeEvent, a click comes
  // as mouse events to the window's content.
  Child* c = ChildOf(front);
  if (kind == Kind::FrameClose && destroyed) {
    if (QWindow* window = frame->windowHandle()) window->destroy();
  } else if (kind == Kind::FrameClose) {
    frame->close();
  } else if (kind == Kind::Close) {
    if (c != nullptr) c->sub->close();
  } else {
    if (!injected.empty() && injected.front().kind == Kind::ButtonUp) injected.pop_front();
    if (c != nullptr) {
      const QPointF centre(c->canvas->width() / 2, c->canvas->height() / 2);
      const QPointF global = c->canvas->mapToGlobal(centre);
      QMouseEvent press(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton,
                        mods);
      QMouseEvent release(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton, Qt::NoButton,
                          mods);
      QCoreApplication::sendEvent(c->canvas, &press);
      QCoreApplication::sendEvent(c->canvas, &release);
    }
  }
  return true;
}

void QtBackend::State::WriteGeometry() {
  if (geometryFile.isEmpty()) return;
  QFile file(geometryFile);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    screenshotOk = false;
    std::fprintf(stderr, "velmarin: cannot write the geometry %s\n",
                 geometryFile.toLocal8Bit().constData());
    return;
  }
  QTextStream out(&file);
  const QSize client = Viewport()->size();
  out << "client " << client.width() << ' ' << client.height() << '\n';
  const QList<QMdiSubWindow*> stack = area->subWindowList(QMdiArea::StackingOrder);
  for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
    if (!(*it)->isVisible()) continue;
    const QRect g = (*it)->geometry();
    out << "window " << g.left() << ' ' << g.top() << ' ' << g.left() + g.width() << ' '
        << g.top() + g.height() << ' ' << (*it)->windowTitle() << '\n';
  }
  out.flush();
  if (file.error() != QFileDevice::NoError) screenshotOk = false;
}

void QtBackend::State::TakeScreenshot(QWidget* dialog) {
  screenshotDone = true;
  WriteGeometry();
  if (menusChanged) BuildMenuBar();
  QPixmap shot = frame->grab();
  if (dialog != nullptr) {
    // The dialog over the frame, and over it the boxes it opened in turn: the innermost
    // (dialog) last.
    QPainter p(&shot);
    std::vector<QWidget*> shown;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w != frame && w != dialog && w->isVisible() && (w->isModal() || w->isWindow()))
        shown.push_back(w);
    shown.push_back(dialog);
    for (QWidget* w : shown)
      p.drawPixmap(w->mapToGlobal(QPoint(0, 0)) - frame->mapToGlobal(QPoint(0, 0)), w->grab());
  }
  screenshotOk = shot.save(screenshotFile, "PNG");
  if (!screenshotOk)
    std::fprintf(stderr, "velmarin: cannot write the screenshot %s\n",
                 screenshotFile.toLocal8Bit().constData());
}

void QtBackend::State::Feed(QWidget* owner, QTimer* feeder) {
  // The innermost: a pop-up over everything, else the last modal box, else the owner
  // (whether or not the platform has made it active yet).
  QWidget* inner = QApplication::activePopupWidget();
  if (inner == nullptr) inner = QApplication::activeModalWidget();
  if (inner == nullptr) inner = owner;
  if (Paused()) return;
  while (!injected.empty()) {
    if (StartPause()) return;
    PlatformMessage& next = injected.front();
    if (next.frontLocal && next.kind == Kind::ButtonUp) {
      // The release of the click that opened a pop-up list goes to the program's window.
      InjectAction(self->FrontWindow());
      continue;
    }
    if (next.kind != Kind::KeyDown && next.kind != Kind::SysKeyDown) {
      // A click or command elsewhere: a pop-up menu closes, as a click beside it would;
      // a dialog cannot take it.
      if (qobject_cast<QMenu*>(inner) != nullptr) {
        inner->close();
        return;
      }
      std::fprintf(stderr, "velmarin: key script: a dialog is open, token skipped\n");
      injected.pop_front();
      continue;
    }
    TypeKeyInto(inner);
    return;
  }
  if (screenshotFile.isEmpty() || screenshotDone) {
    feeder->stop();
    return;
  }
  // The keys are used up: the shot shows what is open, then all of it ends, innermost
  // first, and the program with it.
  TakeScreenshot(inner);
  terminating = true;
  for (int open = 0; open < 16; ++open) {
    QWidget* w = QApplication::activePopupWidget();
    if (w == nullptr) w = QApplication::activeModalWidget();
    if (w == nullptr) break;
    if (auto* d = qobject_cast<QDialog*>(w))
      d->reject();
    else
      w->close();
  }
  owner->close();
  feeder->stop();
}

void QtBackend::State::TypeKeyInto(QWidget* inner) {
  PlatformMessage down = std::move(injected.front());
  injected.pop_front();
  held = 0;
  QString text;
  if (!injected.empty() && injected.front().kind == Kind::Character) {
    text = ToQt(std::string_view(&injected.front().ch, 1));
    injected.pop_front();
  }
  Qt::KeyboardModifiers mods = ModifiersOf(down.keyState);
  const int key = QtKeyFor(down.vkey, down.extended, mods);
  // Alt with a letter types no character, but a menu's mnemonic is matched by its letter.
  if (text.isEmpty() && (mods & Qt::AltModifier) && key >= Qt::Key_A && key <= Qt::Key_Z)
    text = QChar(key).toLower();
  QWidget* target = inner->focusWidget() != nullptr && qobject_cast<QMenu*>(inner) == nullptr
                        ? inner->focusWidget()
                        : inner;
  // Posted, not sent: a key that opens a box of its own (the file dialog's "not found")
  // runs that box's loop from the event loop, where the driver goes on typing, rather than
  // from inside this call. Qt offers a key that comes this way to the shortcuts first.
  QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, mods, text));
  QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key, mods, text));
}

void QtBackend::State::CheckReady() {
  // Messages collected but not yet handed over may still change what the program shows.
  if (readyMs >= 0 || !waiting || !messages.empty() || area == nullptr) return;
  const Child* c = ChildOf(area->currentSubWindow());
  if (c == nullptr || !c->onScreen) return;
  const double now =
      std::chrono::duration<double, std::milli>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  readyMs = now - t0Ms;
}

void QtBackend::State::FinishIfReady() {
  if (readyMs < 0) return;
  // Not while painting: the screenshot paints the frame anew.
  if (!screenshotFile.isEmpty() && !screenshotDone) TakeScreenshot(nullptr);
  std::printf("ready-ms %.1f\n", readyMs);
  std::fflush(stdout);
  std::_Exit(screenshotOk ? 0 : 1);
}

void QtBackend::State::ProcessEvents(QEventLoop::ProcessEventsFlags flags) {
  QCoreApplication::processEvents(flags);
  if (reportReady) FinishIfReady();
}

void QtBackend::State::CanvasPainted(Child& c) {
  c.onScreen = true;
  c.drawn = QRect();
  c.paintedAt = ++paints;
  const QList<QMdiSubWindow*> stack = area->subWindowList(QMdiArea::StackingOrder);
  c.paintedOnTop = !stack.isEmpty() && stack.last() == c.sub;
  if (reportReady) CheckReady();
}

bool QtBackend::State::ShowDirectly(Child& c) {
  QBackingStore* store = frame != nullptr ? frame->backingStore() : nullptr;
  if (store == nullptr || c.paintedAt == 0 || !c.paintedOnTop || !c.canvas->isVisible() ||
      c.sub->isMinimized())
    return false;
  const QList<QMdiSubWindow*> stack = area->subWindowList(QMdiArea::StackingOrder);
  if (stack.isEmpty() || stack.last() != c.sub) return false;
  for (const auto& [w, other] : children)
    if (other->paintedAt > c.paintedAt && other->sub->geometry().intersects(c.sub->geometry()))
      return false;
  // The part of the canvas the viewport shows, less its scroll bars.
  QWidget* viewport = Viewport();
  const QPoint inViewport = c.canvas->mapTo(viewport, QPoint(0, 0));
  QRegion region = QRegion(c.drawn) & c.canvas->rect() & viewport->rect().translated(-inViewport);
  for (const QObject* o : c.canvas->children())
    if (const auto* child = qobject_cast<const QWidget*>(o); child != nullptr && child->isVisible())
      region -= child->geometry();
  c.drawn = QRect();
  if (region.isEmpty()) return true;
  const QPoint at = c.canvas->mapTo(frame, QPoint(0, 0));
  const QRegion shown = region.translated(at);
  store->beginPaint(shown);
  {
    QPainter p(store->paintDevice());
    for (const QRect& r : region) p.drawImage(r.translated(at), c.image, r);
  }
  store->endPaint();
  store->flush(shown, frame->windowHandle());
  return true;
}

QImage* QtBackend::State::ImageOf(const Toolbox::Port& port) {
  if (port.window != nullptr) {
    Child* c = ChildOf(port.window);
    return c != nullptr ? &c->image : nullptr;
  }
  if (port.offscreen != nullptr) {
    auto it = offscreens.find(port.offscreen);
    return it != offscreens.end() ? it->second.get() : nullptr;
  }
  return nullptr;
}

// ---- Construction and the driver ----

QtBackend::QtBackend() : s_(std::make_unique<State>()) {
  s_->self = this;
  s_->fonts = Fonts(LogicalDpi());
  QApplication::setQuitOnLastWindowClosed(false);
}

QtBackend::~QtBackend() { DestroyFrame(); }

void QtBackend::SetInjectedKeys(std::vector<PlatformMessage> keys) {
  s_->injected.assign(keys.begin(), keys.end());
}

void QtBackend::SetScreenshotFile(const QString& path) { s_->screenshotFile = path; }

void QtBackend::SetGeometryFile(const QString& path) { s_->geometryFile = path; }

bool QtBackend::ScreenshotSucceeded() const { return s_->screenshotOk; }

void QtBackend::ReportReady(double t0Ms) {
  s_->reportReady = true;
  s_->t0Ms = t0Ms;
}

QImage QtBackend::PortImage(const Toolbox::Port& port) const {
  const QImage* image = s_->ImageOf(port);
  return image != nullptr ? *image : QImage();
}

void QtBackend::StartFeeder(QTimer& feeder, QWidget& owner) {
  if (!s_->Driving()) return;
  QObject::connect(&feeder, &QTimer::timeout, [this, &owner, &feeder] {
    if (owner.isVisible()) s_->Feed(&owner, &feeder);
  });
  // Slower than a button's animated click (100 ms), so that a key that answers the
  // dialog has done so before the next key arrives.
  feeder.start(150);
}

int QtBackend::RunModal(QDialog& dialog) {
  if (s_->terminating) return QDialog::Rejected;
  QTimer feeder;
  StartFeeder(feeder, dialog);
  return dialog.exec();
}

// ---- The frame ----

bool QtBackend::CreateFrame(const std::string& title, std::int32_t width, std::int32_t height) {
  QApplication::setWindowIcon(ProgramIcon());
  auto* frame = new FrameWindow(s_.get());
  s_->frame = frame;
  s_->area = new QMdiArea(frame);
  // A frame made smaller than the windows in it scrolls to them.
  s_->area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  s_->area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  frame->setCentralWidget(s_->area);
  // The menu bar takes its height from the start, so the client area in which the shell
  // lays out its windows does not shrink when the menus arrive a step later.
  QMenuBar* bar = frame->menuBar();
  bar->addMenu(QStringLiteral("File"));
  bar->setMinimumHeight(bar->sizeHint().height());
  bar->clear();
  frame->setWindowTitle(ToQt(title));
  frame->resize(width, height);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect sr = screen->geometry();
    frame->move(sr.left() + (sr.width() - width) / 2, sr.top() + (sr.height() - height) / 2);
  }
  QWidget* viewport = s_->area->viewport();
  viewport->setMouseTracking(true);
  viewport->installEventFilter(new ViewportWatcher(s_.get(), viewport));
  QObject::connect(s_->area, &QMdiArea::subWindowActivated, [this](QMdiSubWindow* sub) {
    Child* c = s_->ChildOf(sub);
    s_->ApplyCursor();
    if (c == nullptr || s_->selecting || QGuiApplication::mouseButtons() == Qt::NoButton) return;
    // A click brought the window to front.
    PlatformMessage m;
    m.kind = Kind::ActivateClick;
    m.window = c->window;
    s_->Post(m);
  });
  // The application, not the frame, is active or inactive: a dialog of the program in
  // front of the frame keeps it active, and it is active again once any of its windows
  // has the focus.
  QObject::connect(qApp, &QGuiApplication::applicationStateChanged, frame,
                   [this](Qt::ApplicationState state) {
                     PlatformMessage m;
                     m.kind = Kind::FrameActivate;
                     m.deactivated = state != Qt::ApplicationActive;
                     s_->Post(m);
                   });
  // The end of the user's session runs Quit, which asks about modified texts and saves
  // them, before the session manager goes on; when the user keeps the program, the
  // session end is cancelled.
  QObject::connect(qApp, &QGuiApplication::commitDataRequest, frame,
                   [this](QSessionManager& manager) {
                     manager.allowsInteraction();
                     if (!Startup::EndSessionRequest()) {
                       manager.cancel();
                       return;
                     }
                     PlatformMessage m;
                     m.kind = Kind::Quit;
                     s_->Post(m);
                   });
  s_->timer = new QTimer(frame);
  QObject::connect(s_->timer, &QTimer::timeout, [this] {
    // A frame destroyed from outside (by a window manager) leaves nothing to answer a
    // question: the workstation ends as at the end of the desktop session.
    if (++s_->ticks % kFrameCheckTicks == 0 && s_->FrameGone()) Signals::Request();
    // Also inside a dialog's own loop, where the program takes no messages.
    Events::TimerTick();
    PlatformMessage m;
    m.kind = Kind::Timer;
    m.where = MousePosition();
    s_->Post(m);
  });
  s_->timer->start(kTimerPeriodMs);
  frame->show();
  frame->activateWindow();
  return true;
}

void QtBackend::DestroyFrame() {
  if (s_->frame == nullptr) return;
  // The program ended (Quit) before the injected keys ran out: the screenshot shows the
  // frame as it was at the end.
  if (!s_->screenshotFile.isEmpty() && !s_->screenshotDone) s_->TakeScreenshot(nullptr);
  for (auto& [w, c] : s_->children) delete c->sub;
  s_->children.clear();
  s_->messages.clear();
  s_->menus.clear(); // the menu bar's children, deleted with the frame
  delete s_->frame;
  s_->frame = nullptr;
  s_->area = nullptr;
  s_->timer = nullptr;
}

void QtBackend::SetFrameTitle(const std::string& title) {
  if (s_->frame != nullptr) s_->frame->setWindowTitle(ToQt(title));
}

Toolbox::Rect QtBackend::FrameClientRect() {
  if (s_->area == nullptr) return {};
  const QSize size = s_->area->viewport()->size();
  return Toolbox::Rect{0, 0, size.width(), size.height()};
}

Toolbox::Rect QtBackend::ScreenRect() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? ToRect(screen->geometry()) : Toolbox::Rect{0, 0, 800, 600};
}

double QtBackend::LogicalDpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
}

// ---- Pumping and time ----

bool QtBackend::Pump(bool wait) {
  bool handled = false;
  do {
    if (s_->terminating) Startup::Terminate();
    if (s_->menusChanged) s_->BuildMenuBar();
    if (s_->reportReady) {
      s_->waiting = wait && s_->messages.empty();
      s_->CheckReady();
      s_->FinishIfReady();
    }
    if (!wait && Events::Watching() && !s_->injected.empty() &&
        (s_->pausedWhileBusy || s_->injected.front().waitMs != 0)) {
      // A program computes: the script's WAIT lets it, then types on (Quit while it runs).
      s_->ProcessEvents();
      s_->pausedWhileBusy = true;
      s_->InjectNextKey();
    } else if (wait) {
      s_->pausedWhileBusy = false;
    }
    if (wait && s_->messages.empty()) {
      // The program waits for input: the driver types its next key, or, with all
      // typed, takes the screenshot and ends the program (at the ready time when that
      // is asked for).
      if (!s_->injected.empty() || s_->Paused()) {
        s_->ProcessEvents();
        s_->InjectNextKey();
      } else if (!s_->screenshotFile.isEmpty() && !s_->screenshotDone && !s_->reportReady) {
        s_->ProcessEvents();
        // A menu of the bar left open shows in the shot.
        s_->TakeScreenshot(QApplication::activePopupWidget());
        Startup::Terminate();
      } else if (s_->unattended) {
        s_->ProcessEvents();
        if (s_->messages.empty()) {
          s_->skipped += kTimerPeriodMs;
          PlatformMessage m;
          m.kind = Kind::Timer;
          m.where = MousePosition();
          s_->Post(m);
        }
      }
    }
    // Messages already queued are handed over first: what the program draws in answer
    // to them is then painted in one go with whatever Qt has to paint.
    if (s_->messages.empty()) {
      s_->ProcessEvents(QEventLoop::AllEvents);
      if (wait && s_->messages.empty()) s_->ProcessEvents(QEventLoop::WaitForMoreEvents);
    }
    s_->waiting = false;
    while (!s_->messages.empty()) {
      PlatformMessage m = std::move(s_->messages.front());
      s_->messages.pop_front();
      if (m.kind == Kind::Paint) {
        Child* c = s_->ChildOf(m.window);
        if (c == nullptr) continue;
        c->paintQueued = false;
        if (c->invalid.isEmpty()) continue;
        c->invalid = QRegion();
      }
      handled = true;
      const bool key =
          m.kind == Kind::KeyDown || m.kind == Kind::SysKeyDown || m.kind == Kind::Character;
      const PlatformMessage* outer = s_->keyMessage;
      s_->keyMessage = key ? &m : nullptr;
      try {
        Events::Dispatch(m);
      } catch (...) {
        s_->keyMessage = outer;
        throw;
      }
      s_->keyMessage = outer;
    }
  } while (wait && !handled);
  return handled;
}

std::uint32_t QtBackend::TickCount() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(
             duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count()) +
         s_->skipped;
}

void QtBackend::Delay(std::uint32_t ms) {
  if (!s_->unattended) {
    Backend::Delay(ms);
    return;
  }
  s_->ProcessEvents();
  s_->skipped += ms;
}

void QtBackend::SetUnattended(bool on) { s_->unattended = on; }

void QtBackend::GetDateTime(Toolbox::DateTime& t) {
  const QDateTime now = QDateTime::currentDateTime();
  const QDate d = now.date();
  const QTime tm = now.time();
  t.year = std::uint16_t(d.year());
  t.month = std::uint16_t(d.month());
  t.day = std::uint16_t(d.day());
  t.hour = std::uint16_t(tm.hour());
  t.minute = std::uint16_t(tm.minute());
  t.second = std::uint16_t(tm.second());
  t.milliseconds = std::uint16_t(tm.msec());
  t.weekday = std::uint16_t(d.dayOfWeek() % 7); // 0 Sunday
}

std::uint32_t QtBackend::DoubleClickTime() {
  return std::uint32_t(QGuiApplication::styleHints()->mouseDoubleClickInterval());
}

std::uint32_t QtBackend::CaretTime() {
  // Qt's flash time is a whole on-off cycle; the caret time is one phase.
  const int flash = QGuiApplication::styleHints()->cursorFlashTime();
  return flash > 0 ? std::uint32_t(flash / 2) : 0xFFFFFFFFu;
}

bool QtBackend::KeyIsDown(std::uint32_t vkey) {
  const std::uint32_t state = KeyState();
  const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
  switch (vkey) {
  case 1:
    return buttons & Qt::LeftButton;
  case 2:
    return buttons & Qt::RightButton;
  case 4:
    return buttons & Qt::MiddleButton;
  case 16:
    return state & 512;
  case 17:
    return state & 4096;
  case 18:
    return state & 256;
  case 20:
    return s_->capsLock;
  case 144:
    return s_->numLock;
  case 145:
    return false;
  default:
    return s_->pressed.count(vkey) != 0;
  }
}

std::uint32_t QtBackend::KeyState() {
  if (s_->keyMessage != nullptr) return s_->keyMessage->keyState;
  // A script's keys held over a pause or a mouse action count as held.
  return KeyStateOf(QGuiApplication::queryKeyboardModifiers(), s_->capsLock) | s_->held;
}

Toolbox::Point QtBackend::MousePosition() {
  if (s_->area == nullptr) return {};
  return ToPoint(s_->Viewport()->mapFromGlobal(QCursor::pos()));
}

void QtBackend::SetMousePosition(Toolbox::Point p) {
  if (s_->area != nullptr) QCursor::setPos(s_->Viewport()->mapToGlobal(QPoint(p.h, p.v)));
}

bool QtBackend::ButtonDown() { return QGuiApplication::mouseButtons() != Qt::NoButton; }

// ---- Windows ----

namespace {

Qt::WindowFlags FlagsOf(int kind, bool closeBox) {
  const Qt::WindowFlags close =
      closeBox ? Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint : Qt::WindowFlags();
  switch (kind) {
  case Toolbox::kDocumentWindow:
    return Qt::SubWindow;
  case Toolbox::kCaptionWindow:
    return Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
           Qt::WindowMinimizeButtonHint | close;
  case Toolbox::kToolWindow:
    return Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint | close;
  default:
    return Qt::SubWindow | Qt::FramelessWindowHint;
  }
}

bool Plain(int kind) {
  return kind != Toolbox::kDocumentWindow && kind != Toolbox::kCaptionWindow &&
         kind != Toolbox::kToolWindow;
}

} // namespace

Toolbox::Rect QtBackend::WindowMargins(int kind) {
  if (s_->area == nullptr) return {};
  auto known = s_->margins.find(kind);
  if (known == s_->margins.end()) {
    // The style decides: a window of the kind that is never shown tells.
    QMdiSubWindow probe(nullptr, FlagsOf(kind, true));
    probe.setWidget(new QWidget);
    s_->area->addSubWindow(&probe, FlagsOf(kind, true));
    QMargins m = probe.contentsMargins();
    if (Plain(kind)) m += QMargins(1, 1, 1, 1);
    s_->area->removeSubWindow(&probe);
    known =
        s_->margins.emplace(kind, Toolbox::Rect{m.left(), m.top(), m.right(), m.bottom()}).first;
  }
  return known->second;
}

void* QtBackend::CreateWindow(Window w, const Toolbox::Rect& bounds, const std::string& title,
                              int kind, bool closeBox, bool visible) {
  if (s_->area == nullptr) return nullptr;
  const Qt::WindowFlags flags = FlagsOf(kind, closeBox);
  auto child = std::make_unique<Child>();
  Child* c = child.get();
  c->window = w;
  c->kind = kind;
  c->plain = Plain(kind);
  c->image =
      QImage(std::max(1, bounds.Width()), std::max(1, bounds.Height()), QImage::Format_RGB32);
  c->image.fill(ToQColor(w->port.backColor));
  c->known = ToQRect(bounds);
  s_->children.emplace(w, std::move(child));

  s_->creating = true;
  c->sub = new ChildFrame(s_.get(), c, flags);
  c->canvas = new Canvas(s_.get(), c);
  if (c->plain) {
    // A plain window has a one-pixel border and nothing else.
    auto* border = new QFrame;
    border->setFrameStyle(QFrame::Box | QFrame::Plain);
    border->setLineWidth(1);
    auto* layout = new QVBoxLayout(border);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(c->canvas);
    c->sub->setWidget(border);
  } else {
    c->sub->setWidget(c->canvas);
  }
  c->sub->setWindowTitle(ToQt(title));
  s_->area->addSubWindow(c->sub, flags);
  // The decorations lie around the content rectangle the program asked for.
  const QMargins m = s_->Decorations(*c);
  const QRect outer = ToQRect(bounds).marginsAdded(m);
  c->sub->setGeometry(outer);
  if (kind != Toolbox::kDocumentWindow) c->sub->setFixedSize(outer.size());
  if (visible) {
    c->sub->show();
    c->known = s_->ContentOf(*c);
  }
  s_->creating = false;
  s_->Invalidate(*c, QRegion(0, 0, bounds.Width(), bounds.Height()));
  return c;
}

void QtBackend::DestroyWindow(Window w) {
  Child* c = s_->ChildOf(w);
  if (c == nullptr) return;
  // Closing first: removing the window moves the focus, and Qt tells the window so.
  c->closing = true;
  s_->area->removeSubWindow(c->sub);
  delete c->sub;
  s_->children.erase(w);
  auto& q = s_->messages;
  q.erase(std::remove_if(q.begin(), q.end(),
                         [w](const PlatformMessage& m) {
                           return m.window == w ||
                                  (m.scrollBar != nullptr && m.scrollBar->window == w);
                         }),
          q.end());
}

void QtBackend::ShowWindow(Window w, bool shown) {
  Child* c = s_->ChildOf(w);
  if (c == nullptr) return;
  // A floating window (a tool tip) shows above the others; the active one stays active.
  QMdiSubWindow* active = s_->area != nullptr ? s_->area->activeSubWindow() : nullptr;
  c->sub->setVisible(shown);
  if (shown && (w->flags & Toolbox::kFloatingFlag) != 0 && active != nullptr && active != c->sub &&
      s_->area->activeSubWindow() != active) {
    s_->selecting = true;
    s_->area->setActiveSubWindow(active);
    c->sub->raise();
    s_->selecting = false;
  }
  if (shown) s_->Invalidate(*c, QRegion(c->image.rect()));
}

void QtBackend::SelectWindow(Window w) {
  Child* c = s_->ChildOf(w);
  if (c == nullptr) return;
  s_->selecting = true;
  s_->area->setActiveSubWindow(c->sub);
  c->sub->raise();
  c->canvas->setFocus();
  s_->selecting = false;
}

void QtBackend::RaiseWindow(Window w) {
  if (Child* c = s_->ChildOf(w)) c->sub->raise();
}

void QtBackend::FlushWindow(Window w) {
  Child* c = s_->ChildOf(w);
  if (c == nullptr) return;
  // Like drawing on the platform's screen, only this window's drawing shows at once;
  // other windows paint when the program next pumps. A synchronous paint of the frame
  // would paint them too, and then again when what they show changes before the pump.
  if (s_->ShowDirectly(*c)) return;
  // A widget shown since the last paint asks for its first paint with a posted event;
  // taking those along paints such widgets once, now, rather than again at the next pump.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateLater);
  c->canvas->repaint(c->drawn.isEmpty() ? c->canvas->rect() : c->drawn);
}

Window QtBackend::FrontWindow() {
  if (s_->area == nullptr) return nullptr;
  Child* c = s_->ChildOf(s_->area->currentSubWindow());
  return c != nullptr ? c->window : nullptr;
}

std::vector<Window> QtBackend::Windows() {
  std::vector<Window> result;
  if (s_->area == nullptr) return result;
  const auto list = s_->area->subWindowList(QMdiArea::StackingOrder);
  for (auto it = list.rbegin(); it != list.rend(); ++it)
    if (Child* c = s_->ChildOf(*it)) result.push_back(c->window);
  return result;
}

void QtBackend::SetTitle(Window w, const std::string& title) {
  if (Child* c = s_->ChildOf(w)) c->sub->setWindowTitle(ToQt(title));
}

std::string QtBackend::Title(Window w) {
  Child* c = s_->ChildOf(w);
  return c != nullptr ? FromQt(c->sub->windowTitle()) : std::string();
}

void QtBackend::MoveWindow(Window w, Toolbox::Point topLeft) {
  Child* c = s_->ChildOf(w);
  if (c == nullptr) return;
  c->known.moveTopLeft(QPoint(topLeft.h, topLeft.v));
  const QMargins m = s_->Decorations(*c);
  c->sub->move(topLeft.h - m.left(), topLeft.v - m.top());
}

void QtBackend::SizeWindow(Window w, std::int32_t width, std::int32_t height) {
  Child* c = s_->ChildOf(w);
  if (c == nullptr) return;
  c->known.setSize(QSize(width, height));
  const QMargins m = s_->Decorations(*c);
  const QSize outer(width + m.left() + m.right(), height + m.top() + m.bottom());
  if (c->kind != Toolbox::kDocumentWindow)
    c->sub->setFixedSize(outer);
  else
    c->sub->resize(outer);
}

void QtBackend::ArrangeWindow(Window w, const Toolbox::Rect& content) {
  Child* c = s_->ChildOf(w);
  if (c == nullptr) return;
  if (c->sub->isMinimized() || c->sub->isMaximized()) c->sub->showNormal();
  const QRect wanted(content.left, content.top, content.Width(), content.Height());
  const QRect outer = wanted + s_->Decorations(*c);
  if (c->kind != Toolbox::kDocumentWindow) c->sub->setFixedSize(outer.size());
  const QRect before = c->known;
  c->known = wanted;
  c->sub->setGeometry(outer);
  // Unlike MoveWindow and SizeWindow, the change is told as a user's drag tells it (a
  // hidden window hears of it when shown, as of any other).
  if (c->sub->isVisible()) s_->TellGeometry(*c, before);
}

Toolbox::Rect QtBackend::ContentRect(Window w) {
  Child* c = s_->ChildOf(w);
  return c != nullptr ? ToRect(c->known) : Toolbox::Rect{};
}

bool QtBackend::IsVisible(Window w) {
  Child* c = s_->ChildOf(w);
  return c != nullptr && c->sub->isVisible();
}

void QtBackend::Invalidate(Window w, const Toolbox::Rect& r, bool on) {
  Child* c = s_->ChildOf(w);
  if (c == nullptr) return;
  if (on)
    s_->Invalidate(*c, QRegion(ToQRect(r)));
  else
    c->invalid -= QRegion(ToQRect(r));
}

// ---- Scroll bars ----

void* QtBackend::CreateScrollBar(Window w, Toolbox::ScrollBar* bar, const Toolbox::Rect& bounds,
                                 bool vertical) {
  Child* c = s_->ChildOf(w);
  if (c == nullptr) return nullptr;
  auto* qbar = new QScrollBar(vertical ? Qt::Vertical : Qt::Horizontal, c->canvas);
  qbar->setGeometry(ToQRect(bounds));
  qbar->setFocusPolicy(Qt::NoFocus);
  State* s = s_.get();
  auto post = [s, bar](int request, std::int32_t thumb) {
    PlatformMessage m;
    m.kind = Kind::Scroll;
    m.window = bar->window;
    m.scrollBar = bar;
    m.vertical = bar->vertical;
    m.request = request;
    m.thumb = thumb;
    s->Post(m);
  };
  // The bar does not move by itself: the program answers a request by setting the
  // value. Only dragging the thumb moves it until the program is told where it ended.
  QObject::connect(qbar, &QAbstractSlider::actionTriggered, [qbar, bar, post](int action) {
    int request = -1;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      request = 0;
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      request = 1;
      break;
    case QAbstractSlider::SliderPageStepSub:
      request = 2;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      request = 3;
      break;
    default:
      return;
    }
    qbar->setSliderPosition(bar->value);
    post(request, 0);
  });
  QObject::connect(qbar, &QAbstractSlider::sliderReleased, [qbar, post] {
    post(4, qbar->sliderPosition());
    post(8, 0);
  });
  qbar->show();
  return qbar;
}

void QtBackend::DestroyScrollBar(Toolbox::ScrollBar* bar) {
  auto& q = s_->messages;
  q.erase(std::remove_if(q.begin(), q.end(),
                         [bar](const PlatformMessage& m) { return m.scrollBar == bar; }),
          q.end());
  delete static_cast<QScrollBar*>(bar->handle);
}

void QtBackend::UpdateScrollBar(Toolbox::ScrollBar* bar) {
  auto* qbar = static_cast<QScrollBar*>(bar->handle);
  if (qbar == nullptr) return;
  const QSignalBlocker block(qbar);
  qbar->setRange(bar->minimum, std::max(bar->minimum, bar->maximum));
  qbar->setValue(bar->value);
  qbar->setGeometry(ToQRect(bar->bounds));
  qbar->setVisible(bar->shown);
}

// ---- Drawing ----

void QtBackend::Draw(Toolbox::Port port, const Toolbox::DrawCommand& cmd) {
  if (port.printer != nullptr) {
    PrintJob* job = s_->JobOf(port.printer);
    if (job != nullptr && job->painter != nullptr && job->painter->isActive())
      RenderOn(*job->painter, cmd, PrinterFonts(port.printer));
    return;
  }
  QImage* target = s_->ImageOf(port);
  if (target == nullptr) return;
  const QRect changed =
      Render(*target, cmd, s_->fonts, [this](const Toolbox::Port& p) { return s_->ImageOf(p); });
  if (port.window == nullptr || changed.isEmpty()) return;
  // Only what changed is painted again: the whole canvas would take its scroll bars
  // along, which Qt paints anew with every paint that covers them.
  if (Child* c = s_->ChildOf(port.window)) {
    c->onScreen = false;
    c->drawn |= changed;
    c->canvas->update(changed);
  }
}

std::int32_t QtBackend::TextWidth(const Toolbox::PortState& state, std::string_view text) {
  return s_->fonts.Get(state).Width(text);
}

Toolbox::FontInfo QtBackend::GetFontInfo(const Toolbox::PortState& state) {
  return s_->fonts.Get(state).Info();
}

std::string QtBackend::FontFamily(const std::string& face) {
  return FromQt(DesktopFamily(ToQt(face)));
}

void* QtBackend::CreateOffscreen(Toolbox::Offscreen* o, std::int32_t width, std::int32_t height) {
  if (width <= 0 || height <= 0) return nullptr;
  auto image = std::make_unique<QImage>(width, height, QImage::Format_RGB32);
  if (image->isNull()) return nullptr;
  image->fill(Qt::white);
  QImage* handle = image.get();
  s_->offscreens[o] = std::move(image);
  return handle;
}

void QtBackend::DestroyOffscreen(Toolbox::Offscreen* o) { s_->offscreens.erase(o); }

std::int32_t QtBackend::SavePicture(const Toolbox::Picture& pic, const std::string& hostPath) {
  const QString path = Utf8ToQt(hostPath);
  const ImageOf imageOf = [this](const Toolbox::Port& p) { return s_->ImageOf(p); };
  const bool svg = path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive);
  if (svg ? SavePictureAsSvg(pic, path, s_->fonts, imageOf)
          : SavePictureAsPng(pic, path, s_->fonts, imageOf))
    return 0;
  // The file system's codes: a missing directory on the way, or no access.
  return QFileInfo(path).dir().exists() ? -5 : -3;
}

void QtBackend::SetCursorShape(Toolbox::CursorShape shape) {
  s_->cursor = shape;
  s_->ApplyCursor();
}

void QtBackend::ShowCursor(bool shown) {
  if (shown == !s_->cursorHidden) return;
  s_->cursorHidden = !shown;
  if (shown)
    QGuiApplication::restoreOverrideCursor();
  else
    QGuiApplication::setOverrideCursor(Qt::BlankCursor);
}

// ---- Menus ----

namespace {

bool IsSeparator(const std::string& text) { return text == "-" || text.rfind("(-", 0) == 0; }

} // namespace

// Changes come in runs (a menu filled, every item enabled in turn); the bar is built
// once for them, before Qt next shows anything.
void QtBackend::MenuBarChanged() { s_->menusChanged = true; }

void QtBackend::State::BuildMenu(QMenu* qm, const Toolbox::Menu* menu, int depth) {
  State* s = this;
  for (std::size_t i = 0; i < menu->items.size(); ++i) {
    const Toolbox::MenuItem& item = menu->items[i];
    if (IsSeparator(item.text)) {
      qm->addSeparator();
      continue;
    }
    const Toolbox::Menu* sub = item.submenu != 0 ? Toolbox::GetMenu(item.submenu) : nullptr;
    if (sub != nullptr && sub != menu && depth < 4) {
      QMenu* child = qm->addMenu(MenuText(item.text));
      child->setEnabled(item.enabled);
      BuildMenu(child, sub, depth + 1);
      continue;
    }
    QAction* a = qm->addAction(MenuText(item.text));
    a->setEnabled(item.enabled);
    a->setCheckable(item.checked);
    a->setChecked(item.checked);
    const std::uint32_t command =
        Toolbox::MenuCommand(std::uint32_t(menu->id), std::uint32_t(i + 1));
    QObject::connect(a, &QAction::triggered, [s, command] {
      PlatformMessage m;
      m.kind = Kind::MenuCommand;
      m.menuCommand = command;
      s->Post(m);
    });
    QObject::connect(a, &QAction::hovered, [s, command] {
      PlatformMessage m;
      m.kind = Kind::MenuSelect;
      m.menuCommand = command;
      s->Post(m);
    });
  }
}

void QtBackend::State::BuildMenuBar() {
  menusChanged = false;
  if (frame == nullptr) return;
  QMenuBar* bar = frame->menuBar();
  bar->clear();
  for (QMenu* m : menus) m->deleteLater();
  menus.clear();
  QString taken;
  for (const Toolbox::Menu* menu : Toolbox::MenuBar()) {
    QMenu* qm = bar->addMenu(WithMnemonic(menu->title, taken));
    menus.push_back(qm);
    BuildMenu(qm, menu, 0);
  }
}

std::int32_t QtBackend::PopUpMenu(const Toolbox::Menu& menu, Toolbox::Point where) {
  if (s_->area == nullptr || s_->terminating) return 0;
  QMenu popup(s_->frame);
  for (std::size_t i = 0; i < menu.items.size(); ++i) {
    const Toolbox::MenuItem& item = menu.items[i];
    if (IsSeparator(item.text)) {
      popup.addSeparator();
      continue;
    }
    QAction* a = popup.addAction(MenuText(item.text));
    a->setEnabled(item.enabled);
    a->setCheckable(item.checked);
    a->setChecked(item.checked);
    a->setData(int(i + 1));
  }
  // A script chooses with its keys.
  QTimer feeder;
  StartFeeder(feeder, popup);
  const QAction* chosen = popup.exec(s_->Viewport()->mapToGlobal(QPoint(where.h, where.v)));
  return chosen != nullptr ? chosen->data().toInt() : 0;
}

// ---- Alerts and standard dialogs ----

namespace {

// A message box whose Escape, without a button to answer it, ends the box unanswered
// (the toolbox then answers as the caller says).
class AlertBox : public QMessageBox {
public:
  using QMessageBox::QMessageBox;

protected:
  void keyPressEvent(QKeyEvent* e) override {
    if (e->matches(QKeySequence::Cancel) && escapeButton() == nullptr) {
      reject();
      return;
    }
    QMessageBox::keyPressEvent(e);
  }
};

// The text of an alert as the box shows it: a carriage return breaks the line, and a path
// too long for the line it is on is elided in the middle, so that no line breaks inside
// a path.
QString AlertText(const std::string& text, const QMessageBox& box) {
  const QFontMetrics metrics(box.font());
  const QScreen* screen = QGuiApplication::primaryScreen();
  // As wide as the desktop's message box lets a line be beside its icon before it wraps
  // it (half the screen, at most 500 pixels, for the box).
  const int limit = std::min(screen != nullptr ? screen->geometry().width() / 2 : 500, 500) -
                    box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize) - 64;
  QStringList lines = ToQt(text)
                          .replace(QLatin1String("\r\n"), QLatin1String("\n"))
                          .replace(QLatin1Char('\r'), QLatin1Char('\n'))
                          .split(QLatin1Char('\n'));
  for (QString& line : lines) {
    const int over = metrics.horizontalAdvance(line) - limit;
    if (over <= 0) continue;
    // The longest word that holds a '/' is the path; quotes around it stay whole.
    qsizetype at = -1, length = 0;
    for (qsizetype i = 0; i < line.size();) {
      qsizetype j = i;
      while (j < line.size() && line[j] != ' ') ++j;
      const QStringView word = QStringView(line).mid(i, j - i);
      if (word.contains(QLatin1Char('/')) && j - i > length) {
        at = i;
        length = j - i;
      }
      i = j + 1;
    }
    if (at < 0) continue;
    while (length > 0 && (line[at] == '"' || line[at] == '\'')) ++at, --length;
    while (length > 0 && (line[at + length - 1] == '"' || line[at + length - 1] == '\'')) --length;
    const QString path = line.mid(at, length);
    const int room = std::max(metrics.horizontalAdvance(QStringLiteral("/.../")),
                              metrics.horizontalAdvance(path) - over);
    line.replace(at, length, metrics.elidedText(path, Qt::ElideMiddle, room));
  }
  return lines.join(QLatin1Char('\n'));
}

} // namespace

// The desktop's message box for every alert and question: the question icon when it asks
// (a choice of answers; for three labelled buttons, a text ending in a question mark), the
// warning icon for a warning.
int QtBackend::MessageBox(const std::string& text, int code) {
  AlertBox box(s_->frame);
  box.setWindowTitle(s_->frame != nullptr ? s_->frame->windowTitle() : QString());
  box.setTextFormat(Qt::PlainText);
  box.setText(AlertText(text, box));
  using SB = QMessageBox::StandardButton;
  QMessageBox::Icon icon = QMessageBox::Warning;
  switch (code) {
  case Toolbox::kAlertYesNoDefaultNo:
  case Toolbox::kAlertYesNoDefaultYes:
    box.setStandardButtons(SB::Yes | SB::No);
    box.setDefaultButton(code == Toolbox::kAlertYesNoDefaultNo ? SB::No : SB::Yes);
    icon = QMessageBox::Question;
    break;
  case Toolbox::kAlertYesNoCancelDefaultYes:
  case Toolbox::kAlertYesNoCancelDefaultNo:
  case Toolbox::kAlertYesNoCancelDefaultCancel:
    box.setStandardButtons(SB::Yes | SB::No | SB::Cancel);
    box.setDefaultButton(code == Toolbox::kAlertYesNoCancelDefaultYes  ? SB::Yes
                         : code == Toolbox::kAlertYesNoCancelDefaultNo ? SB::No
                                                                       : SB::Cancel);
    icon = QMessageBox::Question;
    break;
  default:
    box.setStandardButtons(SB::Ok);
    if (code == Toolbox::kAlertOkNoIcon) icon = QMessageBox::NoIcon;
    break;
  }
  box.setIcon(icon);
  RunModal(box);
  // Closing the box answers like its escape button (OK, No or Cancel, as the
  // buttons allow); a box ended by the driver answers Cancel.
  switch (box.standardButton(box.clickedButton())) {
  case SB::Yes:
  case SB::Ok:
    return 1;
  case SB::No:
    return 3;
  case SB::Cancel:
    return 2;
  default:
    return s_->terminating || box.clickedButton() == nullptr ? 2 : 0;
  }
}

int QtBackend::ThreeButtonAlert(const std::string& text, const std::string labels[3],
                                int defaultButton) {
  AlertBox box(s_->frame);
  box.setWindowTitle(s_->frame != nullptr ? s_->frame->windowTitle() : QString());
  box.setTextFormat(Qt::PlainText);
  const QString shown = AlertText(text, box);
  box.setText(shown);
  box.setIcon(shown.trimmed().endsWith('?') ? QMessageBox::Question : QMessageBox::Warning);
  // Left to right as the labels come (one role keeps their order); Return presses the
  // button with the focus, the default one first, a label's letter its button.
  QPushButton* buttons[3] = {};
  QString taken;
  for (int i = 0; i < 3; ++i) {
    if (labels[i].empty()) continue;
    buttons[i] = box.addButton(WithMnemonic(labels[i], taken), QMessageBox::ActionRole);
    buttons[i]->setAutoDefault(true);
  }
  if (defaultButton >= 1 && defaultButton <= 3 && buttons[defaultButton - 1] != nullptr) {
    box.setDefaultButton(buttons[defaultButton - 1]);
    buttons[defaultButton - 1]->setFocus();
  }
  RunModal(box);
  // Escape, or the driver ending the box while the program ends, answers nothing.
  for (int i = 0; i < 3; ++i)
    if (buttons[i] != nullptr && box.clickedButton() == buttons[i]) return i + 1;
  return 0;
}

bool QtBackend::AskStrings(const std::vector<std::string>& prompts,
                           std::vector<std::string>& answers) {
  QDialog dialog(s_->frame);
  dialog.setWindowTitle(s_->frame != nullptr ? s_->frame->windowTitle() : QString());
  auto* layout = new QVBoxLayout(&dialog);
  std::vector<QLineEdit*> edits;
  answers.resize(prompts.size());
  for (std::size_t i = 0; i < prompts.size(); ++i) {
    layout->addWidget(new QLabel(ToQt(prompts[i])));
    auto* edit = new QLineEdit(ToQt(answers[i]));
    edit->selectAll();
    layout->addWidget(edit);
    edits.push_back(edit);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  if (!edits.empty()) edits.front()->setFocus();
  if (RunModal(dialog) != QDialog::Accepted) return false;
  for (std::size_t i = 0; i < edits.size(); ++i) answers[i] = FromQt(edits[i]->text());
  return true;
}

int QtBackend::FindDialog(Toolbox::FindDialogKind kind, std::string& search,
                          std::string& replacement, bool& backwards, bool& lineNumbers) {
  const bool replace = kind == Toolbox::FindDialogKind::Replace;
  QDialog dialog(s_->frame);
  dialog.setWindowTitle(replace ? QStringLiteral("Replace") : QStringLiteral("Find"));
  auto* grid = new QGridLayout(&dialog);
  auto field = [](const std::string& text) {
    auto* edit = new QLineEdit(ToQt(text));
    edit->setMaxLength(255);
    edit->selectAll();
    return edit;
  };
  QLineEdit* searchEdit = field(search);
  grid->addWidget(
      new QLabel(replace ? QStringLiteral("Replace:") : QStringLiteral("Line to Find:")), 0, 0);
  grid->addWidget(searchEdit, 0, 1);
  int row = 1;
  QLineEdit* replacementEdit = nullptr;
  if (replace) {
    replacementEdit = field(replacement);
    grid->addWidget(new QLabel(QStringLiteral("With:")), row, 0);
    grid->addWidget(replacementEdit, row++, 1);
  }
  auto* backwardsBox = new QCheckBox(QStringLiteral("Search Backwards"));
  backwardsBox->setChecked(backwards);
  grid->addWidget(backwardsBox, row++, 1);
  QCheckBox* lineNumbersBox = nullptr;
  if (!replace) {
    lineNumbersBox = new QCheckBox(QStringLiteral("Search Line Number"));
    lineNumbersBox->setChecked(lineNumbers);
    grid->addWidget(lineNumbersBox, row++, 1);
  }
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto button = [&dialog, buttons](const QString& label, int result, bool isDefault) {
    auto* b = new QPushButton(label);
    b->setAutoDefault(true);
    b->setDefault(isDefault);
    QObject::connect(b, &QPushButton::clicked, [&dialog, result] { dialog.done(result); });
    buttons->addWidget(b);
  };
  if (replace) {
    button(QStringLiteral("Replace"), Toolbox::kFindButton, true);
    button(QStringLiteral("Replace All"), Toolbox::kFindReplaceAll, false);
    button(QStringLiteral("Find"), Toolbox::kFindFindButton, false);
  } else {
    button(QStringLiteral("Find"), Toolbox::kFindButton, true);
  }
  button(QStringLiteral("Cancel"), Toolbox::kFindCancel, false);
  grid->addLayout(buttons, row, 0, 1, 2);
  searchEdit->setFocus();
  // Escape and the close box reject the dialog (0): they answer Cancel.
  const int answer = RunModal(dialog);
  if (answer != Toolbox::kFindButton && answer != Toolbox::kFindReplaceAll &&
      answer != Toolbox::kFindFindButton)
    return Toolbox::kFindCancel;
  search = FromQt(searchEdit->text());
  if (replacementEdit != nullptr) replacement = FromQt(replacementEdit->text());
  backwards = backwardsBox->isChecked();
  if (lineNumbersBox != nullptr) lineNumbers = lineNumbersBox->isChecked();
  return answer;
}

bool QtBackend::ChooseColor(const std::string& prompt, Toolbox::RGBColor& color) {
  QColorDialog dialog(ToQColor(color), s_->frame);
  dialog.setWindowTitle(ToQt(prompt));
  if (s_->Driving()) dialog.setOption(QColorDialog::DontUseNativeDialog);
  if (RunModal(dialog) != QDialog::Accepted) return false;
  const QRgba64 c = dialog.selectedColor().rgba64();
  color = Toolbox::RGBColor{c.red(), c.green(), c.blue()};
  return true;
}

bool QtBackend::ChooseFont(std::string& face, std::int32_t& size, std::int32_t& style) {
  QFont initial(ToQt(face));
  if (size > 0) initial.setPointSize(size);
  initial.setBold(style & Toolbox::kBold);
  initial.setItalic(style & Toolbox::kItalic);
  initial.setUnderline(style & Toolbox::kUnderline);
  QFontDialog dialog(initial, s_->frame);
  if (s_->Driving()) dialog.setOption(QFontDialog::DontUseNativeDialog);
  if (RunModal(dialog) != QDialog::Accepted) return false;
  const QFont chosen = dialog.selectedFont();
  face = FromQt(chosen.family());
  size = chosen.pointSize();
  style = (chosen.bold() ? Toolbox::kBold : 0) | (chosen.italic() ? Toolbox::kItalic : 0) |
          (chosen.underline() ? Toolbox::kUnderline : 0);
  return true;
}

void QtBackend::SetFileDialogButton(const std::string& label) { s_->fileButton = ToQt(label); }

namespace {

// The file dialogs' size and columns, as the user last left them, kept beside the
// workstation's settings: the desktop's own state, not the settings file's.
QSettings FileDialogSettings() {
  return QSettings(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                       QStringLiteral("/velmarin/desktop.conf"),
                   QSettings::IniFormat);
}

// A file dialog at the size it was last left at, the first time large enough for the
// names, sizes and dates of its files side by side, within the screen.
void SizeFileDialog(QFileDialog& dialog) {
  QSettings settings = FileDialogSettings();
  dialog.setViewMode(QFileDialog::Detail);
  dialog.restoreState(settings.value(QStringLiteral("FileDialog/state")).toByteArray());
  QSize size = settings.value(QStringLiteral("FileDialog/size")).toSize();
  if (!size.isValid()) size = QSize(kFileDialogWidth, kFileDialogHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    size = size.boundedTo(screen->availableGeometry().size());
  dialog.resize(size);
  // Sizes, types and dates are shown whole; the name takes the rest.
  if (auto* view = dialog.findChild<QTreeView*>()) {
    QHeaderView* header = view->header();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setStretchLastSection(false);
  }
}

void KeepFileDialogSize(const QFileDialog& dialog) {
  QSettings settings = FileDialogSettings();
  settings.setValue(QStringLiteral("FileDialog/size"), dialog.size());
  settings.setValue(QStringLiteral("FileDialog/state"), dialog.saveState());
}

} // namespace

bool QtBackend::AskFileName(int mode, const std::string& prompt, const std::string& filter,
                            std::string& name) {
  // "*.*" would hide names without a dot here, so all files are "*".
  const QString allFiles = QStringLiteral("All Files (*)");
  QStringList filters;
  const QString pattern = ToQt(filter).trimmed().replace(';', ' ');
  if (!pattern.isEmpty() && pattern != "*" && pattern != "*.*") filters << pattern;
  filters << allFiles;

  QFileDialog dialog(s_->frame, ToQt(prompt));
  if (s_->Driving()) dialog.setOption(QFileDialog::DontUseNativeDialog);
  if (!s_->fileButton.isEmpty()) dialog.setLabelText(QFileDialog::Accept, s_->fileButton);
  const QString proposed = Utf8ToQt(name);
  switch (mode) {
  case 2:
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    break;
  case 4:
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    break;
  default:
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    break;
  }
  if (mode != 4) {
    dialog.setNameFilters(filters);
    if (filters.contains(s_->rememberedFilter)) dialog.selectNameFilter(s_->rememberedFilter);
  }
  if (!proposed.isEmpty()) {
    const QFileInfo info(proposed);
    if (info.isDir())
      dialog.setDirectory(proposed);
    else {
      if (!info.path().isEmpty()) dialog.setDirectory(info.path());
      dialog.selectFile(info.fileName());
    }
  }
  SizeFileDialog(dialog);
  while (true) {
    const bool accepted = RunModal(dialog) == QDialog::Accepted;
    KeepFileDialogSize(dialog);
    if (!accepted || dialog.selectedFiles().isEmpty()) return false;
    const QString chosen = dialog.selectedFiles().front();
    if (mode == 2) {
      // The platform's save dialog refuses read-only files.
      const QFileInfo info(chosen);
      if (info.exists() && !info.isWritable()) {
        QMessageBox::warning(&dialog, dialog.windowTitle(),
                             QStringLiteral("%1 is read-only.").arg(info.fileName()));
        if (s_->terminating) return false;
        continue;
      }
    }
    if (mode != 4) s_->rememberedFilter = dialog.selectedNameFilter();
    name = QtToUtf8(chosen);
    return true;
  }
}

// ---- Clipboard and sound ----

// The workstation's clipboard text (UTF-8) has CR LF line ends and may end in a 0 byte;
// other programs on this platform expect LF and no 0, so the text is converted on the
// way out. The import of the paste buffer accepts LF as well as CR LF.
void QtBackend::SetClipboardText(const std::string& text) {
  std::string host;
  host.reserve(text.size());
  for (std::size_t i = 0; i < text.size() && text[i] != 0; ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    host += text[i];
  }
  QGuiApplication::clipboard()->setText(Utf8ToQt(host));
}

bool QtBackend::GetClipboardText(std::string& text) {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (data == nullptr || !data->hasText()) return false;
  text = QtToUtf8(data->text());
  return true;
}

void QtBackend::Beep(int) { QApplication::beep(); }

// ---- Printing ----

namespace {

// The printable area of a page in device units, and their resolution.
void TakePage(Toolbox::Printer* p, const QPrinter& printer) {
  const int resolution = printer.resolution();
  const QRect r = printer.pageLayout().paintRectPixels(resolution);
  p->page = Toolbox::Rect{0, 0, r.width(), r.height()};
  p->resolution = resolution;
}

} // namespace

Fonts& QtBackend::PrinterFonts(Toolbox::Printer* p) {
  PrintJob* job = s_->JobOf(p);
  if (job->fonts == nullptr || job->fonts->Dpi() != job->printer->resolution())
    job->fonts = std::make_unique<Fonts>(job->printer->resolution(), job->printer.get());
  return *job->fonts;
}

void* QtBackend::CreatePrinter(Toolbox::Printer* p) {
  auto job = std::make_unique<PrintJob>();
  job->printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  const QByteArray file = qgetenv("VELMARIN_PRINT_PDF");
  job->toFile = !file.isEmpty();
  if (job->toFile) {
    job->printer->setOutputFormat(QPrinter::PdfFormat);
    job->printer->setOutputFileName(QString::fromLocal8Bit(file));
  } else if (!job->printer->isValid()) {
    // No printer installed: the pages go to a PDF file, which the print dialog names.
    job->printer->setOutputFormat(QPrinter::PdfFormat);
  }
  TakePage(p, *job->printer);
  PrintJob* handle = job.get();
  s_->printers[p] = std::move(job);
  return handle;
}

void QtBackend::DestroyPrinter(Toolbox::Printer* p) {
  PrintJob* job = s_->JobOf(p);
  if (job == nullptr) return;
  if (job->painter != nullptr && job->painter->isActive()) job->painter->end();
  delete job->progress;
  s_->printers.erase(p);
}

bool QtBackend::PageSetupDialog(Toolbox::Printer* p) {
  PrintJob* job = s_->JobOf(p);
  if (job == nullptr) return false;
  if (job->toFile) return true;
  QPageSetupDialog dialog(job->printer.get(), s_->frame);
  if (RunModal(dialog) != QDialog::Accepted) return false;
  TakePage(p, *job->printer);
  return true;
}

bool QtBackend::PrintDialog(Toolbox::Printer* p) {
  PrintJob* job = s_->JobOf(p);
  if (job == nullptr) return false;
  if (job->toFile) return true;
  QPrintDialog dialog(job->printer.get(), s_->frame);
  // The whole text or its select range prints: the dialog offers no page ranges.
  dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
  if (RunModal(dialog) != QDialog::Accepted) return false;
  TakePage(p, *job->printer);
  return true;
}

bool QtBackend::MarginsDialog(Toolbox::PrintMargins& m, std::string& face) {
  QDialog dialog(s_->frame);
  dialog.setWindowTitle(QStringLiteral("Set Margins"));
  auto* grid = new QGridLayout(&dialog);
  // Margins are shown in percent of the printable width or height.
  auto margin = [&grid](const char* label, double fraction, int row) {
    auto* box = new QDoubleSpinBox;
    box->setRange(0.0, 45.0);
    box->setDecimals(1);
    box->setSingleStep(0.5);
    box->setSuffix(QStringLiteral(" %"));
    box->setValue(fraction * 100.0);
    grid->addWidget(new QLabel(ToQt(label)), row, 0);
    grid->addWidget(box, row, 1);
    return box;
  };
  QDoubleSpinBox* left = margin("Left Margin", m.left, 0);
  QDoubleSpinBox* right = margin("Right Margin", m.right, 1);
  QDoubleSpinBox* top = margin("Top Margin", m.top, 2);
  QDoubleSpinBox* bottom = margin("Bottom Margin", m.bottom, 3);
  std::string chosenFace = face;
  std::int32_t chosenSize = m.fontSize;
  auto* fontLabel = new QLabel;
  auto showFont = [fontLabel, &chosenFace, &chosenSize] {
    fontLabel->setText(ToQt(chosenFace) + QStringLiteral(", %1 pt").arg(chosenSize));
  };
  showFont();
  auto* fontButton = new QPushButton(QStringLiteral("Text Font"));
  fontButton->setAutoDefault(false);
  QObject::connect(fontButton, &QPushButton::clicked, [this, &chosenFace, &chosenSize, showFont] {
    std::string f = chosenFace;
    std::int32_t size = chosenSize;
    std::int32_t style = 0;
    if (!ChooseFont(f, size, style)) return;
    chosenFace = f;
    chosenSize = size;
    showFont();
  });
  grid->addWidget(fontButton, 4, 0);
  grid->addWidget(fontLabel, 4, 1);
  auto* wrap = new QCheckBox(QStringLiteral("Text Wrapping"));
  wrap->setChecked(m.wrap);
  grid->addWidget(wrap, 5, 0, 1, 2);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  grid->addWidget(buttons, 6, 0, 1, 2);
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  left->setFocus();
  if (RunModal(dialog) != QDialog::Accepted) return false;
  m.left = left->value() / 100.0;
  m.right = right->value() / 100.0;
  m.top = top->value() / 100.0;
  m.bottom = bottom->value() / 100.0;
  m.wrap = wrap->isChecked();
  m.fontSize = chosenSize;
  face = chosenFace;
  return true;
}

bool QtBackend::BeginDocument(Toolbox::Printer* p, const std::string& title) {
  PrintJob* job = s_->JobOf(p);
  if (job == nullptr) return false;
  QPrinter& printer = *job->printer;
  printer.setDocName(ToQt(title));
  if (printer.outputFormat() == QPrinter::PdfFormat && printer.outputFileName().isEmpty())
    printer.setOutputFileName(QDir::current().filePath(ToQt(title) + QStringLiteral(".pdf")));
  TakePage(p, printer);
  job->cancelled = false;
  auto* progress = new QProgressDialog(QStringLiteral("Hit cancel to stop printing:"),
                                       QStringLiteral("Cancel"), 0, 0, s_->frame);
  progress->setWindowTitle(QStringLiteral("Printing"));
  progress->setWindowModality(Qt::WindowModal);
  progress->setMinimumDuration(0);
  progress->setAutoClose(false);
  progress->setAutoReset(false);
  QObject::connect(progress, &QProgressDialog::canceled, [job] { job->cancelled = true; });
  progress->show();
  job->progress = progress;
  QCoreApplication::processEvents();
  return true;
}

bool QtBackend::BeginPage(Toolbox::Printer* p) {
  PrintJob* job = s_->JobOf(p);
  if (job == nullptr) return false;
  // The progress dialog's Cancel is seen between pages.
  QCoreApplication::processEvents();
  if (job->cancelled) return false;
  if (job->painter == nullptr) {
    job->painter = std::make_unique<QPainter>();
    if (!job->painter->begin(job->printer.get())) {
      job->painter.reset();
      return false;
    }
    return true;
  }
  return job->printer->newPage();
}

void QtBackend::EndPage(Toolbox::Printer* p) {
  PrintJob* job = s_->JobOf(p);
  if (job != nullptr && job->progress != nullptr)
    job->progress->setLabelText(
        QStringLiteral("Hit cancel to stop printing:\n%1 pages").arg(p->pages));
  QCoreApplication::processEvents();
}

void QtBackend::EndDocument(Toolbox::Printer* p) {
  PrintJob* job = s_->JobOf(p);
  if (job == nullptr) return;
  if (job->painter != nullptr) {
    if (job->painter->isActive()) job->painter->end();
    job->painter.reset();
  }
  delete job->progress;
}

std::int32_t QtBackend::PrinterTextWidth(Toolbox::Printer* p, const Toolbox::PortState& state,
                                         std::string_view text) {
  if (s_->JobOf(p) == nullptr) return TextWidth(state, text);
  return PrinterFonts(p).Get(state).Width(text);
}

Toolbox::FontInfo QtBackend::PrinterFontInfo(Toolbox::Printer* p, const Toolbox::PortState& state) {
  if (s_->JobOf(p) == nullptr) return GetFontInfo(state);
  return PrinterFonts(p).Get(state).Info();
}

// FIXME: Qt Widgets has no sound output; tones are silent until a sound library is
// part of the build.
void QtBackend::PlayTone(double, double) {}
void QtBackend::StopTone() {}

} // namespace QtUi
