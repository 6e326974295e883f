// The metafile writer: a 22-byte placeable header (the picture's bounds and units per
// inch), the 18-byte metafile header, then records of 16-bit words, each its size in
// words, its function number and its parameters (most in reverse order of the drawing
// call's). Pens, brushes and fonts are objects in a table: a new one takes the lowest
// free slot, is selected, and the one it replaces is deleted.
#include "dialog/Metafile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/Strings.h"
#include "store/FileSystem.h"

namespace Metafile {

namespace {

using Toolbox::DrawCommand;
using Toolbox::Point;
using Toolbox::Rect;
using Toolbox::RGBColor;
using Op = DrawCommand::Op;
using Verb = DrawCommand::Verb;

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::uint16_t kMemoryMetafile = 1;
constexpr std::uint16_t kHeaderWords = 9;
constexpr std::uint16_t kVersion = 0x0300;

// Record functions.
constexpr std::uint16_t kEof = 0x0000, kSetBkColor = 0x0201, kSetBkMode = 0x0102,
                        kSetMapMode = 0x0103, kSetPolyFillMode = 0x0106, kSetTextColor = 0x0209,
                        kSetWindowOrg = 0x020B, kSetWindowExt = 0x020C, kSelectObject = 0x012D,
                        kSetTextAlign = 0x012E, kDeleteObject = 0x01F0, kLineTo = 0x0213,
                        kMoveTo = 0x0214, kCreatePen = 0x02FA, kCreateFont = 0x02FB,
                        kCreateBrush = 0x02FC, kPolygon = 0x0324, kPolyline = 0x0325,
                        kEllipse = 0x0418, kRectangle = 0x041B, kTextOut = 0x0521,
                        kRoundRect = 0x061C, kArc = 0x0817, kPie = 0x081A, kExtTextOut = 0x0A32;

constexpr std::uint16_t kMapText = 1, kTransparent = 1, kOpaque = 2, kAlternate = 1;
constexpr std::uint16_t kBaseline = 24; // TA_BASELINE | TA_LEFT
constexpr std::uint16_t kClipped = 4;   // ETO_CLIPPED
constexpr std::uint16_t kPenSolid = 0, kPenNull = 5, kBrushSolid = 0, kBrushNull = 1;
constexpr std::int16_t kNormalWeight = 400, kBoldWeight = 700;
constexpr std::size_t kFaceBytes = 32;

constexpr RGBColor kWhite{0xFFFF, 0xFFFF, 0xFFFF};
constexpr RGBColor kBlack{0, 0, 0};
constexpr RGBColor kShade{0x8080, 0x8080, 0x8080};   // the outline of controls
constexpr RGBColor kPressed{0xC8C8, 0xC8C8, 0xC8C8}; // a button held down
// The arrow part of a pop-up list.
constexpr std::int32_t kArrowWidth = 18;

std::int16_t Clamp16(std::int64_t v) {
  return static_cast<std::int16_t>(std::clamp<std::int64_t>(v, -32768, 32767));
}

std::uint32_t ColorRef(const RGBColor& c) {
  return std::uint32_t(c.red >> 8) | std::uint32_t(c.green >> 8) << 8 |
         std::uint32_t(c.blue >> 8) << 16;
}

// A colour between two: amount 0 gives a, 1 gives b.
RGBColor Mix(const RGBColor& a, const RGBColor& b, double amount) {
  auto m = [amount](std::uint16_t x, std::uint16_t y) {
    return static_cast<std::uint16_t>(std::lround(x + (double(y) - x) * amount));
  };
  return RGBColor{m(a.red, b.red), m(a.green, b.green), m(a.blue, b.blue)};
}

bool operator!=(const RGBColor& a, const RGBColor& b) { return !(a == b); }

struct Pen {
  std::uint16_t style = kPenNull;
  std::int16_t width = 0;
  RGBColor color;
  friend bool operator==(const Pen&, const Pen&) = default;
};
struct Brush {
  std::uint16_t style = kBrushNull;
  RGBColor color;
  friend bool operator==(const Brush&, const Brush&) = default;
};
struct Font {
  std::string face;
  std::int16_t height = 0;
  std::int16_t weight = kNormalWeight;
  bool italic = false;
  bool underline = false;
  friend bool operator==(const Font&, const Font&) = default;
};

class Writer {
public:
  explicit Writer(double dpi) : dpi_(dpi) {}

  void Words(std::uint16_t function, std::initializer_list<std::int32_t> params) {
    std::string bytes;
    for (std::int32_t p : params) Put16(bytes, static_cast<std::uint16_t>(Clamp16(p)));
    Bytes(function, bytes);
  }
  // A record of parameter bytes (an even number of them).
  void Bytes(std::uint16_t function, const std::string& params) {
    const auto size = static_cast<std::uint32_t>(3 + params.size() / 2);
    maxRecord_ = std::max(maxRecord_, size);
    Put32(records_, size);
    Put16(records_, function);
    records_ += params;
  }

  void Start(const Rect& frame) {
    Words(kSetMapMode, {kMapText});
    Words(kSetWindowOrg, {frame.top, frame.left});
    Words(kSetWindowExt, {frame.Height(), frame.Width()});
    Words(kSetBkMode, {kTransparent});
    Words(kSetTextAlign, {kBaseline});
    Words(kSetPolyFillMode, {kAlternate});
  }

  void UsePen(const Pen& p) {
    if (hasPen_ && p == pen_) return;
    std::string b;
    Put16(b, p.style);
    Put16(b, static_cast<std::uint16_t>(p.width));
    Put16(b, 0);
    Put32(b, ColorRef(p.color));
    Replace(penSlot_, hasPen_, kCreatePen, b);
    pen_ = p;
  }
  void UseBrush(const Brush& br) {
    if (hasBrush_ && br == brush_) return;
    std::string b;
    Put16(b, br.style);
    Put32(b, ColorRef(br.color));
    Put16(b, 0);
    Replace(brushSlot_, hasBrush_, kCreateBrush, b);
    brush_ = br;
  }
  void UseFont(const Font& f) {
    if (hasFont_ && f == font_) return;
    std::string b;
    Put16(b, static_cast<std::uint16_t>(f.height));
    Put16(b, 0); // width: the face's own
    Put16(b, 0); // escapement
    Put16(b, 0); // orientation
    Put16(b, static_cast<std::uint16_t>(f.weight));
    b += static_cast<char>(f.italic);
    b += static_cast<char>(f.underline);
    b += '\0'; // strike-out
    b += '\0'; // character set: ANSI
    b += '\0'; // output precision
    b += '\0'; // clip precision
    b += '\0'; // quality
    b += '\0'; // pitch and family
    std::string face = f.face.substr(0, kFaceBytes - 1);
    face.resize(kFaceBytes, '\0');
    b += face;
    Replace(fontSlot_, hasFont_, kCreateFont, b);
    font_ = f;
  }
  void TextColors(const RGBColor& ink, bool opaque, const RGBColor& paper) {
    if (!hasText_ || ink != ink_) Color(kSetTextColor, ink);
    if (!hasText_ || opaque != opaque_) Words(kSetBkMode, {opaque ? kOpaque : kTransparent});
    if (opaque && (!hasText_ || paper != paper_)) Color(kSetBkColor, paper);
    hasText_ = true;
    ink_ = ink;
    opaque_ = opaque;
    paper_ = paper;
  }

  double Dpi() const { return dpi_; }

  std::string Finish(const Rect& frame) {
    Words(kEof, {});
    std::string out;
    // The placeable header, its checksum the XOR of its first ten words.
    std::string placeable;
    Put32(placeable, kPlaceableKey);
    Put16(placeable, 0);
    for (std::int32_t v : {frame.left, frame.top, frame.right, frame.bottom})
      Put16(placeable, static_cast<std::uint16_t>(Clamp16(v)));
    Put16(placeable, static_cast<std::uint16_t>(std::clamp(std::lround(dpi_), 1L, 65535L)));
    Put32(placeable, 0);
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < placeable.size(); i += 2)
      sum ^= static_cast<std::uint16_t>(static_cast<unsigned char>(placeable[i]) |
                                        static_cast<unsigned char>(placeable[i + 1]) << 8);
    Put16(placeable, sum);
    out += placeable;
    Put16(out, kMemoryMetafile);
    Put16(out, kHeaderWords);
    Put16(out, kVersion);
    Put32(out, static_cast<std::uint32_t>(kHeaderWords + records_.size() / 2));
    Put16(out, static_cast<std::uint16_t>(slots_.size()));
    Put32(out, maxRecord_);
    Put16(out, 0);
    out += records_;
    return out;
  }

private:
  static void Put16(std::string& s, std::uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
  }
  static void Put32(std::string& s, std::uint32_t v) {
    Put16(s, static_cast<std::uint16_t>(v & 0xFFFF));
    Put16(s, static_cast<std::uint16_t>(v >> 16));
  }
  void Color(std::uint16_t function, const RGBColor& c) {
    std::string b;
    Put32(b, ColorRef(c));
    Bytes(function, b);
  }
  // Creates an object (it takes the lowest free slot), selects it and deletes the one
  // it replaces, which is no longer selected then.
  void Replace(std::uint16_t& slot, bool& has, std::uint16_t create, const std::string& params) {
    std::uint16_t fresh = 0;
    while (fresh < slots_.size() && slots_[fresh]) ++fresh;
    if (fresh == slots_.size()) slots_.push_back(false);
    slots_[fresh] = true;
    Bytes(create, params);
    Words(kSelectObject, {fresh});
    if (has) {
      Words(kDeleteObject, {slot});
      slots_[slot] = false;
    }
    slot = fresh;
    has = true;
  }

  double dpi_;
  std::string records_;
  std::uint32_t maxRecord_ = 3;
  std::vector<bool> slots_;
  Pen pen_;
  Brush brush_;
  Font font_;
  std::uint16_t penSlot_ = 0, brushSlot_ = 0, fontSlot_ = 0;
  bool hasPen_ = false, hasBrush_ = false, hasFont_ = false;
  RGBColor ink_, paper_;
  bool opaque_ = false, hasText_ = false;
};

// ---- Drawing operations as records ----

void Box(Writer& w, std::uint16_t function, const Rect& r) {
  w.Words(function, {r.bottom, r.right, r.top, r.left});
}

void Outlined(Writer& w, const RGBColor& line, const RGBColor* fill, std::int16_t width = 1) {
  w.UsePen(Pen{kPenSolid, width, line});
  w.UseBrush(fill != nullptr ? Brush{kBrushSolid, *fill} : Brush{});
}

RGBColor PatternColor(const DrawCommand& c) {
  const RGBColor& ink = c.state.foreColor;
  const RGBColor& paper = c.state.backColor;
  switch (c.fillPattern) {
  case Toolbox::Pattern::White:
    return paper;
  case Toolbox::Pattern::Gray:
    return Mix(ink, paper, 0.5);
  case Toolbox::Pattern::LightGray:
    return Mix(ink, paper, 0.75);
  case Toolbox::Pattern::DarkGray:
    return Mix(ink, paper, 0.25);
  default:
    return ink;
  }
}

// Pen and brush for a shape drawn with the verb; false for what needs the pixels
// (inversion).
bool ShapeTools(Writer& w, const DrawCommand& c) {
  const Toolbox::PortState& s = c.state;
  if (s.penMode != Toolbox::PenModeKind::Copy && c.verb == Verb::Frame) return false;
  RGBColor fill;
  switch (c.verb) {
  case Verb::Frame:
    Outlined(w,
             s.penPattern == Toolbox::Pattern::Black ? s.foreColor
                                                     : Mix(s.foreColor, s.backColor, 0.5),
             nullptr, static_cast<std::int16_t>(std::max(1, s.penSize.h)));
    return true;
  case Verb::Paint:
    fill = s.foreColor;
    break;
  case Verb::Erase:
    fill = s.backColor;
    break;
  case Verb::Fill:
    fill = PatternColor(c);
    break;
  case Verb::Invert:
    return false;
  }
  Outlined(w, fill, &fill);
  return true;
}

Point ArcPoint(const Rect& r, std::int32_t degrees) {
  const double a = degrees * 3.14159265358979323846 / 180.0;
  const double cx = (r.left + r.right) / 2.0, cy = (r.top + r.bottom) / 2.0;
  return Point{static_cast<std::int32_t>(std::lround(cx + r.Width() / 2.0 * std::sin(a))),
               static_cast<std::int32_t>(std::lround(cy - r.Height() / 2.0 * std::cos(a)))};
}

void PolyRecord(Writer& w, std::uint16_t function, const std::vector<Point>& points);

void Put16(std::string& b, std::int32_t v) {
  const auto u = static_cast<std::uint16_t>(Clamp16(v));
  b += static_cast<char>(u & 0xFF);
  b += static_cast<char>(u >> 8);
}

// Whether the command's clip cuts into the picture's frame.
bool Clips(const Rect& clip, const Rect& frame) {
  return clip.left > frame.left || clip.top > frame.top || clip.right < frame.right ||
         clip.bottom < frame.bottom;
}

// Text at its baseline point; cut to the clip when that is smaller than the picture (the
// labels of items keep inside their rectangles).
void Text(Writer& w, const DrawCommand& c, const Rect& frame) {
  const Toolbox::PortState& s = c.state;
  char face[64];
  Toolbox::FontName(s.fontNumber, face);
  Font f;
  f.face = face;
  const std::int32_t size = s.fontSize > 0 ? s.fontSize : 10;
  f.height = Clamp16(-std::lround(size * w.Dpi() / 72.0));
  f.weight = (s.fontStyle & Toolbox::kBold) != 0 ? kBoldWeight : kNormalWeight;
  f.italic = (s.fontStyle & Toolbox::kItalic) != 0;
  f.underline = (s.fontStyle & Toolbox::kUnderline) != 0;
  w.UseFont(f);
  const bool inverse = (s.textMode & Toolbox::kTextInverse) != 0;
  const bool opaque = s.textMode == Toolbox::kTextCopy || inverse;
  w.TextColors(inverse ? s.backColor : s.foreColor, opaque, inverse ? s.foreColor : s.backColor);
  const auto n = static_cast<std::int32_t>(std::min<std::size_t>(c.text.size(), 32000));
  std::string text = c.text.substr(0, static_cast<std::size_t>(n));
  if (n % 2 != 0) text += '\0';
  std::string b;
  if (!Clips(s.clip, frame)) {
    Put16(b, n);
    b += text;
    Put16(b, c.a.v);
    Put16(b, c.a.h);
    w.Bytes(kTextOut, b);
    return;
  }
  Put16(b, c.a.v);
  Put16(b, c.a.h);
  Put16(b, n);
  Put16(b, kClipped);
  for (std::int32_t v : {s.clip.left, s.clip.top, s.clip.right, s.clip.bottom}) Put16(b, v);
  b += text;
  w.Bytes(kExtTextOut, b);
}

// The controls of dialogs as plain shapes in the port's back colour.
void Control(Writer& w, const DrawCommand& c) {
  const Rect& r = c.rect;
  const std::uint32_t st = c.controlState;
  const bool on = (st & Toolbox::kControlOn) != 0;
  const RGBColor line = (st & Toolbox::kControlDisabled) != 0 ? Mix(kShade, kWhite, 0.5) : kShade;
  const RGBColor face = (st & Toolbox::kControlPressed) != 0 ? kPressed : c.state.backColor;
  switch (c.control) {
  case Toolbox::ControlKind::PushButton: {
    const bool heavy = (st & Toolbox::kControlDefault) != 0;
    Outlined(w, heavy ? kBlack : line, &face, heavy ? 2 : 1);
    w.Words(kRoundRect, {6, 6, r.bottom, r.right, r.top, r.left});
    break;
  }
  case Toolbox::ControlKind::CheckBox:
    Outlined(w, line, &kWhite);
    Box(w, kRectangle, r);
    if (on) {
      w.UsePen(Pen{kPenSolid, 2, kBlack});
      const std::int32_t x = r.left, y = r.top, wd = r.Width(), ht = r.Height();
      w.Words(kMoveTo, {y + ht / 2, x + wd / 5});
      w.Words(kLineTo, {y + ht * 3 / 4, x + wd * 2 / 5});
      w.Words(kLineTo, {y + ht / 4, x + wd * 4 / 5});
    } else if ((st & Toolbox::kControlMixed) != 0) {
      Outlined(w, kBlack, &kBlack);
      Rect inner = r;
      Toolbox::InsetRect(inner, r.Width() / 4, r.Height() / 4);
      Box(w, kRectangle, inner);
    }
    break;
  case Toolbox::ControlKind::RadioButton:
    Outlined(w, line, &kWhite);
    Box(w, kEllipse, r);
    if (on) {
      Outlined(w, kBlack, &kBlack);
      Rect inner = r;
      Toolbox::InsetRect(inner, r.Width() / 3, r.Height() / 3);
      Box(w, kEllipse, inner);
    }
    break;
  case Toolbox::ControlKind::Frame:
    Outlined(w, line, nullptr);
    Box(w, kRectangle, r);
    break;
  case Toolbox::ControlKind::LineEdit:
    Outlined(w, (st & Toolbox::kControlFocused) != 0 ? kBlack : line, &kWhite);
    Box(w, kRectangle, r);
    break;
  case Toolbox::ControlKind::ComboBox: {
    Outlined(w, line, &face);
    Box(w, kRectangle, r);
    const std::int32_t cx = r.right - kArrowWidth / 2, cy = (r.top + r.bottom) / 2;
    Outlined(w, kBlack, &kBlack);
    PolyRecord(w, kPolygon, {Point{cx - 4, cy - 2}, Point{cx + 4, cy - 2}, Point{cx, cy + 3}});
    break;
  }
  }
}

void PolyRecord(Writer& w, std::uint16_t function, const std::vector<Point>& points) {
  // The count is a 16-bit word: a longer line keeps its first 32767 points.
  const std::size_t n = std::min<std::size_t>(points.size(), 32767);
  std::string b;
  Put16(b, static_cast<std::int32_t>(n));
  for (std::size_t i = 0; i < n; ++i) {
    Put16(b, points[i].h);
    Put16(b, points[i].v);
  }
  w.Bytes(function, b);
}

void Command(Writer& w, const DrawCommand& c, const Rect& frame) {
  switch (c.op) {
  case Op::Line:
    if (c.state.penMode != Toolbox::PenModeKind::Copy) return;
    w.UsePen(Pen{kPenSolid, static_cast<std::int16_t>(std::max(1, c.state.penSize.h)),
                 c.state.foreColor});
    w.Words(kMoveTo, {c.a.v, c.a.h});
    w.Words(kLineTo, {c.b.v, c.b.h});
    break;
  case Op::Segments:
    w.UsePen(Pen{kPenSolid, static_cast<std::int16_t>(std::max(1, c.state.penSize.h)),
                 c.state.foreColor});
    for (std::size_t i = 0; i + 1 < c.points.size(); i += 2) {
      w.Words(kMoveTo, {c.points[i].v, c.points[i].h});
      w.Words(kLineTo, {c.points[i + 1].v, c.points[i + 1].h});
    }
    break;
  case Op::Rect:
    if (ShapeTools(w, c)) Box(w, kRectangle, c.rect);
    break;
  case Op::RoundRect:
    if (ShapeTools(w, c)) {
      const Rect& r = c.rect;
      w.Words(kRoundRect, {c.a.v, c.a.h, r.bottom, r.right, r.top, r.left});
    }
    break;
  case Op::Oval:
    if (ShapeTools(w, c)) Box(w, kEllipse, c.rect);
    break;
  case Op::Arc:
    if (ShapeTools(w, c)) {
      // Clockwise from the start angle; the record's arc runs counter-clockwise.
      const Rect& r = c.rect;
      const std::int32_t from = c.a.v >= 0 ? c.a.h : c.a.h + c.a.v;
      const std::int32_t to = c.a.v >= 0 ? c.a.h + c.a.v : c.a.h;
      const Point start = ArcPoint(r, to), end = ArcPoint(r, from);
      w.Words(c.verb == Verb::Frame ? kArc : kPie,
              {end.v, end.h, start.v, start.h, r.bottom, r.right, r.top, r.left});
    }
    break;
  case Op::Poly:
    if (c.points.size() >= 2 && ShapeTools(w, c))
      PolyRecord(w, c.verb == Verb::Frame ? kPolyline : kPolygon, c.points);
    break;
  case Op::Text:
    if (!c.text.empty() && !c.state.clip.Empty()) Text(w, c, frame);
    break;
  case Op::Control:
    Control(w, c);
    break;
  case Op::Scroll:
  case Op::CopyBits:
  case Op::Picture:
    break;
  }
}

} // namespace

std::string Encode(const Toolbox::Picture& pic, double dpi) {
  Writer w(dpi > 0 ? dpi : 96.0);
  w.Start(pic.frame);
  for (const DrawCommand& c : pic.commands) Command(w, c, pic.frame);
  return w.Finish(pic.frame);
}

std::int32_t Write(const Toolbox::Picture& pic, base::Chars hostPath) {
  const std::string bytes = Encode(pic, Toolbox::LogicalDpi());
  std::int32_t count = static_cast<std::int32_t>(bytes.size());
  if (!FileSystem::WriteWhole(hostPath, count, std::span<const char>(bytes.data(), bytes.size())))
    return FileSystem::Result() != 0 ? FileSystem::Result() : -1;
  return 0;
}

} // namespace Metafile
