// Pictures as Windows metafiles (".WMF"): the placeable header, the metafile header and
// one record per drawing operation, with pens, brushes and fonts as objects. Other
// programs read these files; the controls of dialogs become plain shapes, and the
// operations that depend on the pixels already drawn (inversion, scrolling, copied
// bitmaps) are left out.
#pragma once

#include <cstdint>
#include <string>

#include "base/Chars.h"
#include "platform/Backend.h"

namespace Metafile {

// The picture as the bytes of a metafile; dpi is the picture's units (pixels) per inch.
std::string Encode(const Toolbox::Picture& pic, double dpi);
// Writes the picture to the host file: 0, or a negative file system code.
[[nodiscard]] std::int32_t Write(const Toolbox::Picture& pic, base::Chars hostPath);

} // namespace Metafile
