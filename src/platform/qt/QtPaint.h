// Rendering of the toolbox's drawing operations into QImage pixels, and the fonts
// the ports name by number.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>

#include "platform/Backend.h"

namespace QtUi {

// The fonts of port states, made once per (number, size, style). Sizes are points at
// the screen's logical resolution, so text measures the same on every image.
class Fonts {
public:
  explicit Fonts(double dpi) : dpi_(dpi) {}
  const QFont& Font(const Toolbox::PortState& state);
  const QFontMetrics& Metrics(const Toolbox::PortState& state);

private:
  struct Entry {
    QFont font;
    QFontMetrics metrics;
  };
  const Entry& Get(const Toolbox::PortState& state);
  double dpi_;
  std::unordered_map<std::uint64_t, std::unique_ptr<Entry>> cache_;
};

// The pixels of a port (a window's backing image or an off-screen bitmap); nullptr
// when the port has none.
using ImageOf = std::function<QImage*(const Toolbox::Port&)>;

// Draws cmd into target with the port state it carries.
void Render(QImage& target, const Toolbox::DrawCommand& cmd, Fonts& fonts, const ImageOf& imageOf);

// Replays a picture into an image of its frame's size on white; false when the file
// cannot be written.
bool SavePictureAsPng(const Toolbox::Picture& pic, const QString& path, Fonts& fonts,
                      const ImageOf& imageOf);

QColor ToQColor(const Toolbox::RGBColor& c);

} // namespace QtUi
