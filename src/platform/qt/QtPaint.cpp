#include "platform/qt/QtPaint.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QFrame>
#include <QPainterPath>
#include <QPolygonF>
#include <QStyle>
#include <QStyleOption>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "base/Charset.h"
#include "platform/qt/QtText.h"

namespace QtUi {

using Toolbox::DrawCommand;
using Toolbox::Pattern;
using Toolbox::PenModeKind;
using Toolbox::PortState;

namespace {

QRectF ToQRect(const Toolbox::Rect& r) { return QRectF(r.left, r.top, r.Width(), r.Height()); }

QRect ClipOf(const PortState& s) {
  return QRect(s.clip.left, s.clip.top, std::max(0, s.clip.Width()), std::max(0, s.clip.Height()));
}

Qt::BrushStyle StyleOf(Pattern p) {
  switch (p) {
  case Pattern::Gray:
    return Qt::Dense4Pattern;
  case Pattern::LightGray:
    return Qt::Dense5Pattern;
  case Pattern::DarkGray:
    return Qt::Dense3Pattern;
  default:
    return Qt::SolidPattern;
  }
}

// Sets the painter up to lay pattern down in the pen mode: copy paints the fore colour
// (the back colour for the white pattern), XOR exchanges the fore and back colours
// where it paints (so painting twice restores the pixels), invert inverts them.
void SetInk(QPainter& p, const PortState& s, Pattern pattern, PenModeKind mode) {
  const QColor fore = ToQColor(s.foreColor);
  const QColor back = ToQColor(s.backColor);
  switch (mode) {
  case PenModeKind::Xor: {
    const QColor x(fore.rgb() ^ back.rgb());
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setBrush(QBrush(x, StyleOf(pattern == Pattern::White ? Pattern::Black : pattern)));
    break;
  }
  case PenModeKind::Invert:
    p.setCompositionMode(QPainter::RasterOp_NotDestination);
    p.setBrush(QBrush(Qt::black, StyleOf(pattern == Pattern::White ? Pattern::Black : pattern)));
    break;
  case PenModeKind::Copy:
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (pattern == Pattern::White)
      p.setBrush(QBrush(back));
    else
      p.setBrush(QBrush(fore, StyleOf(pattern)));
    break;
  }
  p.setPen(Qt::NoPen);
}

// The area a pen of size (w, h) covers moving from a to b: the convex hull of the pen
// rectangle at both ends (the pen hangs below and to the right of its position).
QPainterPath PenStroke(Toolbox::Point a, Toolbox::Point b, Toolbox::Point size) {
  const double w = std::max(1, size.h), h = std::max(1, size.v);
  std::vector<QPointF> pts;
  for (const Toolbox::Point& p : {a, b}) {
    pts.emplace_back(p.h, p.v);
    pts.emplace_back(p.h + w, p.v);
    pts.emplace_back(p.h + w, p.v + h);
    pts.emplace_back(p.h, p.v + h);
  }
  std::sort(pts.begin(), pts.end(), [](const QPointF& x, const QPointF& y) {
    return x.x() < y.x() || (x.x() == y.x() && x.y() < y.y());
  });
  auto cross = [](const QPointF& o, const QPointF& x, const QPointF& y) {
    return (x.x() - o.x()) * (y.y() - o.y()) - (x.y() - o.y()) * (y.x() - o.x());
  };
  std::vector<QPointF> hull(2 * pts.size());
  std::size_t k = 0;
  for (std::size_t i = 0; i < pts.size(); ++i) {
    while (k >= 2 && cross(hull[k - 2], hull[k - 1], pts[i]) <= 0) --k;
    hull[k++] = pts[i];
  }
  for (std::size_t i = pts.size() - 1, t = k + 1; i > 0; --i) {
    while (k >= t && cross(hull[k - 2], hull[k - 1], pts[i - 1]) <= 0) --k;
    hull[k++] = pts[i - 1];
  }
  hull.resize(k > 0 ? k - 1 : 0);
  QPainterPath path;
  path.addPolygon(QPolygonF(QList<QPointF>(hull.begin(), hull.end())));
  path.closeSubpath();
  return path;
}

// The outline of a shape for Frame: the shape less the shape inset by the pen size.
QPainterPath Ring(const std::function<QPainterPath(const QRectF&)>& shape, const QRectF& r,
                  Toolbox::Point pen) {
  QPainterPath outer = shape(r);
  const QRectF inner = r.adjusted(pen.h, pen.v, -pen.h, -pen.v);
  if (inner.width() <= 0 || inner.height() <= 0) return outer;
  return outer.subtracted(shape(inner));
}

// Toolbox arcs start at twelve o'clock and run clockwise in degrees; Qt's start at
// three o'clock and run counter-clockwise.
QPainterPath Wedge(const QRectF& r, int startAngle, int arcAngle) {
  QPainterPath path;
  path.moveTo(r.center());
  path.arcTo(r, 90.0 - startAngle, -double(arcAngle));
  path.closeSubpath();
  return path;
}

void Text(QPainter& p, const DrawCommand& cmd, Fonts& fonts) {
  const PortState& s = cmd.state;
  const Face& face = fonts.Get(s);
  const bool inverse = s.textMode == Toolbox::kTextInverse;
  const QColor ink = ToQColor(inverse ? s.backColor : s.foreColor);
  const QColor paper = ToQColor(inverse ? s.foreColor : s.backColor);
  // Text is drawn opaque: the cells behind it take the paper colour, so redrawing a
  // line needs no erasing first.
  const std::int32_t top = cmd.a.v - face.metrics.ascent();
  if (s.textMode != Toolbox::kTextOr)
    p.fillRect(QRect(cmd.a.h, top, face.Width(cmd.text), face.metrics.height()), paper);
  p.setFont(face.font);
  p.setPen(ink);
  if (!s.utf8Text || face.cell == 0) {
    p.drawText(QPoint(cmd.a.h, cmd.a.v), face.Text(cmd.text));
    return;
  }
  // Text kept as UTF-8: the cells of a character's bytes are blank, and the character is
  // drawn on its own in the first of them, so that no glyph moves the cells after it.
  std::string cells(cmd.text);
  std::vector<std::pair<std::size_t, QString>> characters;
  for (std::size_t i = 0; i < cells.size();) {
    char32_t u = 0;
    const std::size_t n =
        (cells[i] & 0x80) != 0 ? Charset::DecodeOne(std::string_view(cmd.text).substr(i), u) : 0;
    if (n < 2) {
      ++i;
      continue;
    }
    characters.emplace_back(i, QString::fromUcs4(&u, 1));
    std::fill_n(cells.begin() + std::ptrdiff_t(i), n, ' ');
    i += n;
  }
  p.drawText(QPoint(cmd.a.h, cmd.a.v), face.Text(cells));
  for (const auto& [at, character] : characters)
    p.drawText(QPoint(cmd.a.h + std::int32_t(at) * face.cell, cmd.a.v), character);
}

void Scroll(QPainter& p, QImage& target, const DrawCommand& cmd) {
  const QRect r = ToQRect(cmd.rect).toRect().intersected(target.rect());
  if (r.isEmpty()) return;
  const QImage moved = target.copy(r);
  p.setClipRect(r, Qt::IntersectClip);
  p.fillRect(r, ToQColor(cmd.state.backColor));
  p.drawImage(r.topLeft() + QPoint(cmd.a.h, cmd.a.v), moved);
}

void RenderWith(QPainter& p, QImage& target, const DrawCommand& cmd, Fonts& fonts,
                const ImageOf& imageOf);

// Whether cmd is drawn with antialiasing: the shapes of a port that asks for it (a
// graphics window's lines and circles); rectangles and segments (plots, markers) stay on
// whole pixels, and pen modes other than copy need every pixel whole to be undone.
bool Smooth(const DrawCommand& cmd) {
  if (!cmd.state.smooth || cmd.state.penMode != PenModeKind::Copy ||
      cmd.verb == DrawCommand::Verb::Invert)
    return false;
  switch (cmd.op) {
  case DrawCommand::Op::Line:
  case DrawCommand::Op::RoundRect:
  case DrawCommand::Op::Oval:
  case DrawCommand::Op::Arc:
  case DrawCommand::Op::Poly:
    return true;
  default:
    return false;
  }
}

// A control's chrome as the application's style draws it, in the port's back colour.
void Control(QPainter& p, const DrawCommand& cmd) {
  const QRect r = ToQRect(cmd.rect).toRect();
  QStyle* style = QApplication::style();
  if (style == nullptr || r.isEmpty()) return;
  const std::uint32_t bits = cmd.controlState;
  QStyle::State state = QStyle::State_None;
  if ((bits & Toolbox::kControlDisabled) == 0) state |= QStyle::State_Enabled;
  state |= (bits & Toolbox::kControlPressed) != 0 ? QStyle::State_Sunken : QStyle::State_Raised;
  if ((bits & Toolbox::kControlOn) != 0)
    state |= QStyle::State_On;
  else if ((bits & Toolbox::kControlMixed) != 0)
    state |= QStyle::State_NoChange;
  else
    state |= QStyle::State_Off;
  if ((bits & Toolbox::kControlFocused) != 0) state |= QStyle::State_HasFocus;
  // Controls of a dialog share its colour: the palette is made once for it.
  static QPalette palette;
  static std::optional<Toolbox::RGBColor> paletteFor;
  if (paletteFor != cmd.state.backColor) {
    palette = QApplication::palette();
    const QColor back = ToQColor(cmd.state.backColor);
    palette.setColor(QPalette::Window, back);
    palette.setColor(QPalette::Button, back);
    paletteFor = cmd.state.backColor;
  }
  switch (cmd.control) {
  case Toolbox::ControlKind::PushButton: {
    QStyleOptionButton o;
    o.rect = r;
    o.state = state;
    o.palette = palette;
    if ((bits & Toolbox::kControlDefault) != 0) o.features |= QStyleOptionButton::DefaultButton;
    style->drawControl(QStyle::CE_PushButtonBevel, &o, &p, nullptr);
    break;
  }
  case Toolbox::ControlKind::CheckBox:
  case Toolbox::ControlKind::RadioButton: {
    QStyleOptionButton o;
    o.rect = r;
    o.state = state & ~QStyle::State_Sunken;
    o.palette = palette;
    style->drawPrimitive(cmd.control == Toolbox::ControlKind::CheckBox
                             ? QStyle::PE_IndicatorCheckBox
                             : QStyle::PE_IndicatorRadioButton,
                         &o, &p, nullptr);
    break;
  }
  case Toolbox::ControlKind::Frame: {
    QStyleOptionFrame o;
    o.rect = r;
    o.state = (state & ~QStyle::State_Raised) | QStyle::State_Sunken;
    o.palette = palette;
    o.lineWidth = 1;
    o.frameShape = QFrame::Panel;
    style->drawControl(QStyle::CE_ShapedFrame, &o, &p, nullptr);
    break;
  }
  case Toolbox::ControlKind::LineEdit: {
    QStyleOptionFrame o;
    o.rect = r;
    o.state = (state & ~QStyle::State_Raised) | QStyle::State_Sunken;
    o.palette = palette;
    o.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &o, nullptr);
    style->drawPrimitive(QStyle::PE_PanelLineEdit, &o, &p, nullptr);
    break;
  }
  case Toolbox::ControlKind::ComboBox: {
    QStyleOptionComboBox o;
    o.rect = r;
    o.state = state;
    o.palette = palette;
    o.editable = false;
    o.frame = true;
    o.subControls = QStyle::SC_All;
    style->drawComplexControl(QStyle::CC_ComboBox, &o, &p, nullptr);
    break;
  }
  }
}

// Lays a shape down as the verb has it: fill paints the shape with the painter's brush;
// outline, the shape less its inside by the pen size, is made only to frame it (its
// path arithmetic costs more than the painting).
void Shape(QPainter& p, const DrawCommand& cmd, const std::function<void()>& fill,
           const std::function<QPainterPath()>& outline) {
  const PortState& s = cmd.state;
  switch (cmd.verb) {
  case DrawCommand::Verb::Frame:
    SetInk(p, s, s.penPattern, s.penMode);
    p.drawPath(outline());
    break;
  case DrawCommand::Verb::Paint:
    SetInk(p, s, s.penPattern, s.penMode);
    fill();
    break;
  case DrawCommand::Verb::Erase:
    SetInk(p, s, Pattern::White, PenModeKind::Copy);
    fill();
    break;
  case DrawCommand::Verb::Invert:
    SetInk(p, s, Pattern::Black, PenModeKind::Invert);
    fill();
    break;
  case DrawCommand::Verb::Fill:
    // A pattern fill lays the back colour where the pattern is clear.
    SetInk(p, s, Pattern::White, PenModeKind::Copy);
    fill();
    SetInk(p, s, cmd.fillPattern, PenModeKind::Copy);
    fill();
    break;
  }
}

// Fills path with the painter's brush.
std::function<void()> Filling(QPainter& p, const QPainterPath& path) {
  return [&p, &path] { p.drawPath(path); };
}

void RenderWith(QPainter& p, QImage& target, const DrawCommand& cmd, Fonts& fonts,
                const ImageOf& imageOf) {
  const PortState& s = cmd.state;
  const QRectF r = ToQRect(cmd.rect);
  p.save();
  p.setClipRect(ClipOf(s), Qt::IntersectClip);
  p.setRenderHint(QPainter::Antialiasing, Smooth(cmd));
  switch (cmd.op) {
  case DrawCommand::Op::Line:
    SetInk(p, s, s.penPattern, s.penMode);
    p.drawPath(PenStroke(cmd.a, cmd.b, s.penSize));
    break;
  case DrawCommand::Op::Rect: {
    auto rect = [](const QRectF& x) {
      QPainterPath path;
      path.addRect(x);
      return path;
    };
    // A rectangle fills without a path: the terminals erase and invert by rectangles.
    Shape(
        p, cmd, [&p, &r] { p.fillRect(r, p.brush()); }, [&] { return Ring(rect, r, s.penSize); });
    break;
  }
  case DrawCommand::Op::RoundRect: {
    const double ow = cmd.a.h / 2.0, oh = cmd.a.v / 2.0;
    auto round = [ow, oh](const QRectF& x) {
      QPainterPath path;
      path.addRoundedRect(x, std::min(ow, x.width() / 2), std::min(oh, x.height() / 2));
      return path;
    };
    const QPainterPath filled = round(r);
    Shape(p, cmd, Filling(p, filled), [&] { return Ring(round, r, s.penSize); });
    break;
  }
  case DrawCommand::Op::Oval: {
    auto oval = [](const QRectF& x) {
      QPainterPath path;
      path.addEllipse(x);
      return path;
    };
    const QPainterPath filled = oval(r);
    Shape(p, cmd, Filling(p, filled), [&] { return Ring(oval, r, s.penSize); });
    break;
  }
  case DrawCommand::Op::Arc: {
    const QPainterPath wedge = Wedge(r, cmd.a.h, cmd.a.v);
    auto oval = [](const QRectF& x) {
      QPainterPath path;
      path.addEllipse(x);
      return path;
    };
    Shape(p, cmd, Filling(p, wedge), [&] {
      return Ring(oval, r, s.penSize)
          .intersected(Wedge(r.adjusted(-1, -1, 1, 1), cmd.a.h, cmd.a.v));
    });
    break;
  }
  case DrawCommand::Op::Poly: {
    if (cmd.points.empty()) break;
    QPolygonF poly;
    for (const Toolbox::Point& pt : cmd.points) poly << QPointF(pt.h, pt.v);
    QPainterPath filled;
    filled.addPolygon(poly);
    filled.closeSubpath();
    Shape(p, cmd, Filling(p, filled), [&] {
      if (cmd.points.size() == 1) return PenStroke(cmd.points[0], cmd.points[0], s.penSize);
      QPainterPath framed;
      for (std::size_t i = 0; i + 1 < cmd.points.size(); ++i)
        framed = framed.united(PenStroke(cmd.points[i], cmd.points[i + 1], s.penSize));
      return framed;
    });
    break;
  }
  case DrawCommand::Op::Segments: {
    SetInk(p, s, s.penPattern, s.penMode);
    const int w = std::max(1, s.penSize.h), h = std::max(1, s.penSize.v);
    for (std::size_t i = 0; i + 1 < cmd.points.size(); i += 2) {
      const Toolbox::Point a = cmd.points[i], b = cmd.points[i + 1];
      // A plot's columns are upright: their pen area is a rectangle, filled at once.
      if (a.h == b.h || a.v == b.v)
        p.fillRect(QRect(QPoint(std::min(a.h, b.h), std::min(a.v, b.v)),
                         QPoint(std::max(a.h, b.h) + w - 1, std::max(a.v, b.v) + h - 1)),
                   p.brush());
      else
        p.drawPath(PenStroke(a, b, s.penSize));
    }
    break;
  }
  case DrawCommand::Op::Text:
    Text(p, cmd, fonts);
    break;
  case DrawCommand::Op::Control:
    Control(p, cmd);
    break;
  case DrawCommand::Op::Scroll:
    Scroll(p, target, cmd);
    break;
  case DrawCommand::Op::CopyBits: {
    QImage* source = imageOf(cmd.source);
    if (source == nullptr) break;
    const QRectF from = ToQRect(cmd.srcRect);
    if (source == &target) {
      const QImage copy = target.copy(from.toRect());
      p.drawImage(r, copy);
    } else {
      p.drawImage(r, *source, from);
    }
    break;
  }
  case DrawCommand::Op::Picture: {
    const Toolbox::Picture* pic = cmd.picture;
    if (pic == nullptr || pic->frame.Empty()) break;
    p.translate(r.left(), r.top());
    p.scale(r.width() / pic->frame.Width(), r.height() / pic->frame.Height());
    p.translate(-pic->frame.left, -pic->frame.top);
    for (const DrawCommand& c : pic->commands) RenderWith(p, target, c, fonts, imageOf);
    break;
  }
  }
  p.restore();
}

} // namespace

QColor ToQColor(const Toolbox::RGBColor& c) { return QColor::fromRgba64(c.red, c.green, c.blue); }

namespace {

// The kind of face a classic name stands for: the faces of dialog files, help files and
// the settings were named for another desktop; here each is shown in the desktop's own
// family of its kind. Any other name is a family of this desktop.
enum class FaceKind { Named, Sans, Serif, Fixed };

FaceKind KindOf(const QString& face) {
  static const struct {
    const char* name;
    FaceKind kind;
  } kClassic[] = {
      {"System", FaceKind::Fixed},      {"FixedSys", FaceKind::Fixed},
      {"Courier New", FaceKind::Fixed}, {"Courier", FaceKind::Fixed},
      {"Monaco", FaceKind::Fixed},      {"Terminal", FaceKind::Fixed},
      {"MS Sans", FaceKind::Sans},      {"MS Sans Serif", FaceKind::Sans},
      {"MS Shell Dlg", FaceKind::Sans}, {"Arial", FaceKind::Sans},
      {"Helvetica", FaceKind::Sans},    {"Geneva", FaceKind::Sans},
      {"Chicago", FaceKind::Sans},      {"Times New Roman", FaceKind::Serif},
      {"Times", FaceKind::Serif},       {"New York", FaceKind::Serif},
  };
  for (const auto& c : kClassic)
    if (face.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0) return c.kind;
  return FaceKind::Named;
}

bool Typewriter(const QString& face) { return KindOf(face) == FaceKind::Fixed; }

// The family the desktop resolves a generic family or a style hint to.
QString Resolved(const QString& family, QFont::StyleHint hint) {
  QFont font(family);
  font.setStyleHint(hint);
  return QFontInfo(font).family();
}

// The metrics of font as it is drawn on device (the screen when nullptr).
QFontMetricsF MetricsF(const QFont& font, const QPaintDevice* device) {
  return device != nullptr ? QFontMetricsF(font, device) : QFontMetricsF(font);
}

QFontMetrics Metrics(const QFont& font, const QPaintDevice* device) {
  return device != nullptr ? QFontMetrics(font, device) : QFontMetrics(font);
}

// How far a character of a fixed-pitch face moves the pen inside a text, letter spacing
// included (a text of one character leaves its spacing out).
qreal Pitch(const Face& face) {
  constexpr int kSample = 64;
  return MetricsF(face.font, face.device).horizontalAdvance(QString(kSample, QChar('M'))) / kSample;
}

// Gives a fixed-pitch face its cells: the advance rounded up to whole pixels, the rest
// added after each character as letter spacing.
void MakeCells(Face& face) {
  const qreal advance = MetricsF(face.font, face.device).horizontalAdvance(QChar('M'));
  if (advance <= 0) return;
  face.cell = std::int32_t(std::ceil(advance));
  const qreal spacing = face.cell - advance;
  face.font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
  // A device of another resolution than the screen's (a printer's page) scales the
  // spacing by the ratio of the two. Scaled back, and rounded down to the 64ths of a
  // pixel a font keeps, it moves characters by at most a cell there too, so that no text
  // comes out longer than it measures.
  const qreal scaled = Pitch(face) - advance;
  if (spacing > 0 && scaled > spacing)
    face.font.setLetterSpacing(QFont::AbsoluteSpacing,
                               std::floor(spacing * spacing / scaled * 64.0) / 64.0);
  face.pitch = Pitch(face);
  if (face.pitch > face.cell) {
    face.font.setLetterSpacing(QFont::AbsoluteSpacing, 0.0);
    face.pitch = advance;
  }
  face.metrics = Metrics(face.font, face.device);
}

// What a fixed-pitch face draws for c. Characters that do not advance by one cell
// (controls, which Qt lays out as nothing or as tabs, and the soft hyphen, which it
// hides) are drawn as a space, or a hyphen for the soft hyphen.
QChar DrawnAs(const Face& face, unsigned char c) {
  constexpr qreal kSame = 1.0 / 128; // half of the 64ths of a pixel a font keeps
  if (!face.measured[c]) {
    const QChar ch(char16_t(Charset::ToUnicode(char(c))));
    // Measured as a string: only that counts the letter spacing that makes the cells.
    const qreal advance = MetricsF(face.font, face.device).horizontalAdvance(QString(ch));
    const bool fits = std::abs(advance - face.pitch) < kSame;
    face.drawn[c] = fits ? ch.unicode() : c == 0xAD ? u'-' : u' ';
    face.measured[c] = true;
  }
  return face.drawn[c];
}

} // namespace

std::int32_t Face::Width(std::string_view text) const {
  if (cell > 0) return cell * std::int32_t(text.size());
  constexpr std::size_t kMeasuredTexts = 4096;
  const std::string key(text);
  if (auto it = widths.find(key); it != widths.end()) return it->second;
  const std::int32_t width = metrics.horizontalAdvance(ToQt(text));
  if (widths.size() >= kMeasuredTexts) widths.clear();
  widths.emplace(key, width);
  return width;
}

QString Face::Text(std::string_view text) const {
  if (cell == 0) return ToQt(text);
  QString s(qsizetype(text.size()), Qt::Uninitialized);
  for (std::size_t i = 0; i < text.size(); ++i) s[qsizetype(i)] = DrawnAs(*this, uchar(text[i]));
  return s;
}

Toolbox::FontInfo Face::Info() const {
  return Toolbox::FontInfo{metrics.ascent(), metrics.descent(),
                           cell > 0 ? cell : metrics.maxWidth(), metrics.leading()};
}

QString DesktopFamily(const QString& face) {
  switch (KindOf(face)) {
  case FaceKind::Sans: {
    static const QString sans =
        Resolved(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family(), QFont::SansSerif);
    return sans;
  }
  case FaceKind::Serif: {
    static const QString serif = Resolved(QStringLiteral("serif"), QFont::Serif);
    return serif;
  }
  case FaceKind::Fixed: {
    static const QString fixed =
        Resolved(QFontDatabase::systemFont(QFontDatabase::FixedFont).family(), QFont::TypeWriter);
    return fixed;
  }
  case FaceKind::Named:
    break;
  }
  return face;
}

const Face& Fonts::Get(const PortState& s) {
  const std::uint64_t key = (std::uint64_t(std::uint32_t(s.fontNumber)) << 32) |
                            (std::uint64_t(std::uint16_t(s.fontSize)) << 16) |
                            std::uint16_t(s.fontStyle);
  auto it = cache_.find(key);
  if (it != cache_.end()) return *it->second;
  char name[33] = {};
  Toolbox::FontName(s.fontNumber, name);
  const QString named = ToQt(name);
  QFont font(DesktopFamily(named));
  // A family this desktop lacks comes out in the nearest of its kind.
  font.setStyleHint(Typewriter(named) ? QFont::TypeWriter : QFont::SansSerif);
  const int size = s.fontSize > 0 ? s.fontSize : 10;
  font.setPixelSize(std::max(1, int(std::lround(size * dpi_ / 72.0))));
  font.setBold(s.fontStyle & Toolbox::kBold);
  font.setItalic(s.fontStyle & Toolbox::kItalic);
  font.setUnderline(s.fontStyle & Toolbox::kUnderline);
  // Terminals need a fixed-pitch face; where the hint finds none, the system's fixed
  // font stands in.
  if (Typewriter(named) && !QFontInfo(font).fixedPitch())
    font.setFamily(QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
  auto face = std::make_unique<Face>(Face{font, Metrics(font, device_), device_, 0, 0, {}, {}, {}});
  if (QFontInfo(font).fixedPitch()) MakeCells(*face);
  return *cache_.emplace(key, std::move(face)).first->second;
}

namespace {

// The box of the points with the pen hanging below and to the right of each.
QRect PenBox(const std::vector<Toolbox::Point>& points, Toolbox::Point pen) {
  auto [left, right] =
      std::minmax_element(points.begin(), points.end(), [](auto& x, auto& y) { return x.h < y.h; });
  auto [top, bottom] =
      std::minmax_element(points.begin(), points.end(), [](auto& x, auto& y) { return x.v < y.v; });
  return QRect(QPoint(left->h, top->v),
               QPoint(right->h + std::max(1, pen.h) - 1, bottom->v + std::max(1, pen.v) - 1));
}

// The part of the target cmd may change, within the port's clip. Shapes stay inside their
// rectangle or pen box (smooth ones a pixel beyond); text may reach
// past its box by the font's largest bearings and a pixel of rounding; a picture may
// draw anywhere.
QRect Reach(const QImage& target, const DrawCommand& cmd, Fonts& fonts) {
  const PortState& s = cmd.state;
  QRect r;
  switch (cmd.op) {
  case DrawCommand::Op::Line:
    r = PenBox({cmd.a, cmd.b}, s.penSize);
    break;
  case DrawCommand::Op::Poly:
  case DrawCommand::Op::Segments:
    if (!cmd.points.empty()) r = PenBox(cmd.points, s.penSize);
    break;
  case DrawCommand::Op::Text: {
    const Face& face = fonts.Get(s);
    const QFontMetrics& m = face.metrics;
    const int left = std::max(0, -m.minLeftBearing()) + 1;
    const int right = std::max(0, -m.minRightBearing()) + 1;
    r = QRect(cmd.a.h - left, cmd.a.v - m.ascent() - 1, face.Width(cmd.text) + left + right,
              m.ascent() + m.descent() + 2);
    break;
  }
  case DrawCommand::Op::Picture:
    r = target.rect();
    break;
  default:
    r = QRect(cmd.rect.left, cmd.rect.top, cmd.rect.Width(), cmd.rect.Height()).normalized();
    break;
  }
  // Smooth edges may shade the pixels next to the shape.
  if (Smooth(cmd)) r.adjust(-1, -1, 1, 1);
  return r.intersected(ClipOf(s)).intersected(target.rect());
}

} // namespace

QRect Render(QImage& target, const DrawCommand& cmd, Fonts& fonts, const ImageOf& imageOf) {
  {
    QPainter p(&target);
    RenderWith(p, target, cmd, fonts, imageOf);
  }
  return Reach(target, cmd, fonts);
}

void RenderOn(QPainter& p, const DrawCommand& cmd, Fonts& fonts) {
  QImage nothing(1, 1, QImage::Format_RGB32);
  RenderWith(p, nothing, cmd, fonts, [](const Toolbox::Port&) { return nullptr; });
}

bool SavePictureAsPng(const Toolbox::Picture& pic, const QString& path, Fonts& fonts,
                      const ImageOf& imageOf) {
  const int w = std::max(1, pic.frame.Width()), h = std::max(1, pic.frame.Height());
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter p(&image);
    p.translate(-pic.frame.left, -pic.frame.top);
    for (const DrawCommand& c : pic.commands) RenderWith(p, image, c, fonts, imageOf);
  }
  return image.save(path, "PNG");
}

namespace {

// One QSvgGenerator document of the commands [from, to) of pic, on white when background.
QByteArray SvgOf(const Toolbox::Picture& pic, std::size_t from, std::size_t to, bool background,
                 Fonts& fonts, const ImageOf& imageOf) {
  const int w = std::max(1, pic.frame.Width()), h = std::max(1, pic.frame.Height());
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(QSize(w, h));
  svg.setViewBox(QRect(0, 0, w, h));
  svg.setResolution(int(std::lround(fonts.Dpi())));
  // Scrolling and block transfers from the picture's own pixels need an image to take
  // them from; a picture saved as vectors has none, so they find a blank one.
  QImage scratch(w, h, QImage::Format_RGB32);
  scratch.fill(Qt::white);
  QPainter p;
  if (!p.begin(&svg)) return {};
  if (background) p.fillRect(QRect(0, 0, w, h), Qt::white);
  p.translate(-pic.frame.left, -pic.frame.top);
  for (std::size_t i = from; i < to; ++i) RenderWith(p, scratch, pic.commands[i], fonts, imageOf);
  if (!p.end()) return {};
  return buffer.data();
}

} // namespace

bool SavePictureAsSvg(const Toolbox::Picture& pic, const QString& path, Fonts& fonts,
                      const ImageOf& imageOf) {
  // The generator draws no clipping: each run of commands with the same clip becomes a
  // group with its clip path (none where the clip holds the whole picture), so that the
  // file shows what the window shows, a viewport's drawing cut at its edges.
  const QRect frame(pic.frame.left, pic.frame.top, std::max(1, pic.frame.Width()),
                    std::max(1, pic.frame.Height()));
  QByteArray head, defs, groups;
  auto add = [&](std::size_t from, std::size_t to, const QRect& clip) {
    const QByteArray doc = SvgOf(pic, from, to, from == 0, fonts, imageOf);
    const qsizetype open = doc.indexOf("<defs>"), close = doc.indexOf("</defs>");
    const qsizetype end = doc.lastIndexOf("</svg>");
    if (open < 0 || close < open || end < close) return false;
    if (head.isEmpty())
      head = doc.left(open).replace("version=\"1.2\" baseProfile=\"tiny\"", "version=\"1.1\"");
    defs += doc.mid(open + 6, close - open - 6);
    const QByteArray body = doc.mid(close + 7, end - close - 7);
    if (clip.contains(frame)) {
      groups += body;
      return true;
    }
    const QRect r = clip.intersected(frame).translated(-frame.topLeft());
    const QByteArray id = "clip" + QByteArray::number(from);
    defs += "<clipPath id=\"" + id + "\"><rect x=\"" + QByteArray::number(r.x()) + "\" y=\"" +
            QByteArray::number(r.y()) + "\" width=\"" + QByteArray::number(r.width()) +
            "\" height=\"" + QByteArray::number(r.height()) + "\"/></clipPath>\n";
    groups += "<g clip-path=\"url(#" + id + ")\">" + body + "</g>\n";
    return true;
  };
  std::size_t from = 0;
  for (std::size_t i = 1; i <= pic.commands.size(); ++i) {
    if (i < pic.commands.size() && pic.commands[i].state.clip == pic.commands[from].state.clip)
      continue;
    if (!add(from, i, ClipOf(pic.commands[from].state))) return false;
    from = i;
  }
  if (pic.commands.empty() && !add(0, 0, frame)) return false;
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const QByteArray all = head + "<defs>\n" + defs + "</defs>\n" + groups + "</svg>\n";
  return file.write(all) == all.size() && file.flush();
}

} // namespace QtUi
