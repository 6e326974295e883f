// Rendering of the toolbox's drawing operations into QImage pixels, and the fonts
// the ports name by number.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/Backend.h"

namespace QtUi {

// A font as the ports draw with it. A fixed-pitch font draws every character in a
// cell of whole pixels (its advance rounded up, the rest added as letter spacing), so
// its text lies on the grid of the rectangles a terminal computes from CharWidth.
// Measures are taken on the device the face draws on (a printer's page when it has
// one, else the screen).
struct Face {
  QFont font;
  QFontMetrics metrics;
  const QPaintDevice* device = nullptr; // nullptr: the screen
  std::int32_t cell = 0;                // the cell width of a fixed-pitch font; 0 when proportional
  qreal pitch = 0;                      // how far one character of a fixed-pitch font moves the pen
  // What each character is drawn as in a fixed-pitch font, measured the first time it
  // is drawn: a text shows few of the 256, and measuring one takes a layout.
  mutable std::array<char16_t, 256> drawn{};
  mutable std::bitset<256> measured;
  // The widths of texts of a proportional face measured so far (labels are measured
  // again with every redraw); emptied when it grows large.
  mutable std::unordered_map<std::string, std::int32_t> widths;
  std::int32_t Width(std::string_view text) const; // how far drawing text moves the pen
  QString Text(std::string_view text) const;       // the characters drawn for text
  Toolbox::FontInfo Info() const;
};

// The faces of port states, made once per (number, size, style). Sizes are points at
// dpi, so text measures the same on every image. With a device (a printer), the faces
// are measured as they are drawn there.
class Fonts {
public:
  explicit Fonts(double dpi, const QPaintDevice* device = nullptr) : dpi_(dpi), device_(device) {}
  const Face& Get(const Toolbox::PortState& state);
  double Dpi() const { return dpi_; }

private:
  double dpi_;
  const QPaintDevice* device_;
  std::unordered_map<std::uint64_t, std::unique_ptr<Face>> cache_;
};

// The pixels of a port (a window's backing image or an off-screen bitmap); nullptr
// when the port has none.
using ImageOf = std::function<QImage*(const Toolbox::Port&)>;

// Draws cmd into target with the port state it carries; returns the part of target it
// may have changed (empty when none).
QRect Render(QImage& target, const Toolbox::DrawCommand& cmd, Fonts& fonts, const ImageOf& imageOf);

// Draws cmd with p on a device whose pixels cannot be read back (a printer's page):
// scrolling and block transfers find nothing there.
void RenderOn(QPainter& p, const Toolbox::DrawCommand& cmd, Fonts& fonts);

// Replays a picture into an image of its frame's size on white; false when the file
// cannot be written.
bool SavePictureAsPng(const Toolbox::Picture& pic, const QString& path, Fonts& fonts,
                      const ImageOf& imageOf);

// Replays a picture as scalable vectors (SVG) on white; false when the file cannot be
// written.
bool SavePictureAsSvg(const Toolbox::Picture& pic, const QString& path, Fonts& fonts,
                      const ImageOf& imageOf);

QColor ToQColor(const Toolbox::RGBColor& c);

// The desktop's family that shows a face the workstation names: the classic faces of
// dialog files, help files and settings ("MS Sans", "Times New Roman", "Courier New", ...)
// stand for the desktop's sans-serif, serif and fixed-pitch families; other names are
// families of their own.
QString DesktopFamily(const QString& face);

} // namespace QtUi
