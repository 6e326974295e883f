// The colour picker: the user chooses an RGBColor for a dialog item or a program. On a
// screen with a palette, or when the marker file "Win32Col.On" exists, it is the modal
// dialog "Color Picker" with a grid of the palette's colours (the sixteen-colour table
// with the marker); on deeper screens it is the platform's colour chooser. The colour
// changes with every choice and the caller's procedure is called, so that the caller
// can redraw at once; "Cancel" restores the colour it had at entry.
#pragma once

#include <cstdint>
#include <vector>

#include "dialog/Dialog.h"

namespace ColorPicker {

using Dialog::DialogRecord;
using Dialog::RGBColor;

// Called after every change of the colour, with the owner dialog current.
using ChangedProc = void (*)(DialogRecord& owner);

// The module body: looks for the marker file "Win32Col.On" once.
void Init();

// Lets the user choose colour, the picker's window at left, top + 3 of the frame (80 for
// a coordinate below 1); changed (nullptr: none) follows every change. Returns when the
// picker closes: true when the user kept a colour ("Done"), false after "Cancel", which
// restored the colour of entry.
bool Pick(DialogRecord* owner, RGBColor& colour, std::int32_t left, std::int32_t top,
          ChangedProc changed);
// Whether the picker shows the palette grid: the marker file exists, or the screen has
// a palette (fewer than 9 bits per pixel).
bool UsesPalette();
// The palette: its size, the colour of an index (black outside it) and the index of
// the palette colour nearest to a colour.
std::int32_t PaletteSize();
RGBColor ColorOf(std::int32_t index);
std::int32_t IndexOf(const RGBColor& colour);

// The grid of n colours: n > 2 gives round(sqrt(n)) columns and as many rows as needed,
// fewer colours a grid of 2 by 1.
struct Grid {
  std::int32_t n, cols, rows;
};
Grid GridOf(std::int32_t n);
// The index a selection of i ends on: wrapped into 0..n-1 and kept inside the grid.
std::int32_t Selected(const Grid& g, std::int32_t i);

namespace Testing {
// A screen of that palette (empty: a deep screen, the platform's case).
void SetScreenPalette(const std::vector<RGBColor>& palette);
// As if the marker file "Win32Col.On" existed (or not).
void SetMarker(bool on);
} // namespace Testing

} // namespace ColorPicker
