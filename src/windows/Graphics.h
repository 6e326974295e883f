// Graphics windows: platform windows whose ports draw in world coordinates. A graphics
// port holds a world window, the transform from world to pixel coordinates, and the
// pen, text, marker and colour settings; every drawing operation converts its world
// coordinates with that transform, makes the port's window the current toolbox port,
// draws and restores the port that was current before. A window may hold several
// ports (viewports), each with its own pixel area and world windows.
//
// Window and port records come from the buffer store's heap "/Shell/Graphics.Heap". A
// graphics window's refCon is its record, which begins with the kind tag "WIND"; a
// port's record begins with "GRAF". The drawing a window receives is also kept as a
// picture, so that it can be saved as PNG or SVG.
//
// The operations without a port argument work on the current graphics port (the one
// NewGraphWindow, NewViewport or SetGraphPort made current) and do nothing without one.
#pragma once

#include <cstdint>
#include <vector>

#include "base/Chars.h"
#include "platform/Toolbox.h"
#include "store/Buffer.h"

namespace Graphics {

using base::Chars;
using Toolbox::Point;
using Toolbox::Rect;
using Toolbox::RGBColor;

struct GraphWindow;
struct GraphPort;

inline constexpr int kMarkerKinds = 6;           // dot, plus, star, diamond, cross, square
inline constexpr std::int32_t kDefaultFont = 22; // "Courier New"
inline constexpr std::int32_t kDefaultTextSize = 12;
inline constexpr std::int32_t kDefaultMarkerSize = 4;
// In a reduced trace a marker is drawn on every tenth column unless the port says else.
inline constexpr std::int32_t kDefaultMarkerSpacing = 10;

// A world window and the transform of a viewport to it.
struct World {
  double xMin, yMin, xMax, yMax;
};
struct Transform {
  double xOffset, xScale, yOffset, yScale;
};

// One column of a reduced trace, or one point of a sparse one: two 16-bit pixels.
struct ColumnPair {
  std::int16_t a, b;
  friend bool operator==(const ColumnPair&, const ColumnPair&) = default;
};

// Called after a trace drawn with finish set (Plot); nullptr: nothing.
using FinishProc = void (*)(GraphPort* port);

struct GraphPort {
  char kind[4];        // "GRAF"; the first character is cleared on disposal
  GraphWindow* window; // the window the port draws in
  GraphPort* next;     // the window's other ports
  GraphPort* latestViewport;
  std::uint32_t id; // never reused, so that a stale handle is told from a new port
  std::int32_t left, right, top, bottom; // the pixel area mapped to the world window
  World world;                           // 0, 0, 1, 1
  Transform transform;
  World world2; // -32767, -32767, 32767, 32767: the integer traces'
  Transform transform2;
  std::int32_t textFont, textSize;
  std::int32_t penSize;
  std::int32_t markerSize;
  std::uint8_t markerKind;
  std::uint8_t penMode;    // 0 copy, 1 XOR, 2 and 3 invert
  std::uint8_t colorIndex; // in the colour table
  std::uint8_t textFace;
  std::uint8_t textMode;
  bool setUp;  // clear: the clip is set to the content area before the next drawing
  bool shared; // a viewport drawing with its window's clip rather than its own area
  RGBColor foreColor, backColor;
  Rect clip;
  // The last trace (Plot).
  ColumnPair* columns; // from the window's heap; reused by later traces
  std::int32_t columnCapacity;
  std::int32_t usedPairs;
  std::int32_t firstPixelX;
  bool sparse;     // the pairs are (x, y) points
  bool increasing; // x grows from one sample to the next
  bool drawLines;
  bool drawMarkers;
  std::int32_t markerSpacing; // reduced traces: a marker on every so many columns
  FinishProc finish;          // the flag of the finish argument: set when not nullptr
};

struct GraphWindow {
  char kind[4];            // "WIND"; the first character is cleared on disposal
  Toolbox::Window window;  // the platform window
  Buffer::Ref heap;        // where the records came from
  GraphPort* port;         // the port of the whole window
  std::int32_t windowKind; // Toolbox::kDocumentWindow, ...
  double scale;            // 1; markers are scaled by it
  bool redraw;             // the window's size changed since its port was laid out
  Rect bounds;             // content rectangle in frame client coordinates
  std::uint32_t id;
  GraphWindow* next;         // the other live graphics windows
  Toolbox::Picture* picture; // the drawing received, for saving
  bool pictureLost;          // the picture no longer tells the pixels (too long, scrolled)
  Toolbox::Printer* printer; // a printer's page rather than a platform window
};

// What NewGraphWindow opens.
struct WindowSpec {
  int kind = Toolbox::kDocumentWindow;
  Rect bounds{40, 40, 440, 340};
  Chars title = "Graphics";
  bool visible = true;
  bool closeBox = true;
  std::int32_t fontNumber = kDefaultFont;
  std::int32_t fontSize = kDefaultTextSize;
};

void Init();
// Finds or creates the heap "/Shell/Graphics.Heap"; false when it cannot be had (start-up
// then ends with "Graphics not initialized!").
[[nodiscard]] bool InitGraphics();

// ---- Windows and ports ----
// The rules every graphics window's rectangle obeys before it is created or moved: the
// font size limited to 6..48; the corners ordered; the rectangle inside the frame's
// client area less one pixel at the right and bottom, its top at least the menu bar's
// height plus 3 down, with room for the caption and borders of a window of the kind;
// at least 20 pixels wide and 10 high.
void LimitBounds(Rect& bounds, std::int32_t& fontSize, int kind = Toolbox::kDocumentWindow);
// A new window with its port made current, or nullptr (no heap, memory or window).
[[nodiscard]] GraphWindow* NewGraphWindow(const WindowSpec& spec);
// Closes the window and frees its ports; w becomes nullptr.
void DisposeGraphWindow(GraphWindow*& w);
// The window and port records of a printer's page, from heap: the port's viewport is the
// page and it draws with the font and size; its drawing goes to the page being printed.
// Such a window is not among the live graphics windows. nullptr when heap has no room
// for the window record; the window's port is nullptr when it has none for the port's.
[[nodiscard]] GraphWindow* NewPrinterWindow(Buffer::Ref heap, Toolbox::Printer* printer,
                                            std::int32_t fontNumber, std::int32_t fontSize);
// Gives a printer window's records back to its heap; w becomes nullptr.
void DisposePrinterWindow(GraphWindow*& w);
bool IsGraphWindow(const GraphWindow* w);
bool IsGraphPort(const GraphPort* p);
// The graphics window whose platform window is w, or nullptr.
GraphWindow* GraphWindowOf(Toolbox::Window w);
// The user closed the window's close box: the graphics window is closed through the
// procedure its owner installed (else disposed). False when w is no graphics window.
bool CloseByUser(Toolbox::Window w);
using CloseProc = void (*)(GraphWindow* w);
void SetUserCloseProc(CloseProc proc);
// The port of the whole window (nullptr for a window that is not live).
GraphPort* WindowPort(GraphWindow* w);
// The live window or port with that id, or nullptr.
GraphWindow* FindWindow(std::uint32_t id);
GraphPort* FindPort(std::uint32_t id);
// The live graphics windows, the front-most first.
std::vector<GraphWindow*> GraphWindows();
// Moves and sizes the window to bounds (limited as above); its port takes the new
// content area as its viewport and recomputes both transforms.
void MoveGraphWindow(GraphWindow* w, Rect bounds);
// A port for the pixel area (window coordinates; top and bottom ordered) of parent's
// window with parent's settings and world windows and its own transforms, made
// current; its clip is the area unless shared. nullptr when the heap is full.
[[nodiscard]] GraphPort* NewViewport(GraphPort* parent, std::int32_t left, std::int32_t right,
                                     std::int32_t top, std::int32_t bottom, bool share);
// Outlines the port's pixel area inset by (dh, dv).
void FrameViewport(GraphPort* p, std::int32_t dh, std::int32_t dv);
void SetGraphPort(GraphPort* p);
GraphPort* CurrentGraphPort();

// ---- World windows and transforms ----
// Stores the world window and computes the transform; a window of no width or height,
// or not finite, is ignored.
void SetWorld(double xMin, double yMin, double xMax, double yMax);
void SetWorld2(double xMin, double yMin, double xMax, double yMax);
// The transform of a viewport to a world window (xMin one pixel inside the left edge,
// xMax one inside the right, yMin one above the bottom, yMax one below the top).
Transform TransformOf(std::int32_t left, std::int32_t right, std::int32_t top, std::int32_t bottom,
                      const World& world);
// h = (x + xOffset) * xScale, v = (y + yOffset) * yScale, rounded half away from zero.
void WorldToPixel(double x, double y, std::int32_t& h, std::int32_t& v);
void PixelToWorld(std::int32_t h, std::int32_t v, double& x, double& y);
// A coordinate rounded half away from zero, kept within +-2^20 (not a number: -2^20).
std::int32_t RoundPixel(double v);

// ---- Drawing in world coordinates ----
void WorldLine(double x1, double y1, double x2, double y2);
void WorldLine(float x1, float y1, float x2, float y2);
// The current marker centred on the point.
void WorldMarker(double x, double y);
void WorldMarker(float x, float y);
// Kinds 0..5; others are ignored. Sizes below 0 are ignored.
void SetMarkerKind(std::int32_t kind);
void SetMarkerSize(std::int32_t size);
// Appends the segments of a marker around the pixel point (pairs of ends for
// Toolbox::DrawSegments); s is the marker size times the window's scale.
void AppendMarker(std::vector<Point>& ends, int kind, std::int32_t s, std::int32_t x,
                  std::int32_t y);
// The rectangle of the two corners, ordered after conversion, both corner pixels in it.
void FrameWorldRect(double x1, double y1, double x2, double y2);
void PaintWorldRect(double x1, double y1, double x2, double y2);
// Fills the port's area with its background colour.
void EraseViewport();
// The circle of radius |r * yScale| pixels around the point; nothing for r <= 0 or not
// a number.
void WorldCircle(double x, double y, double r);
// The text with its baseline starting at the point.
void TextAt(double x, double y, Chars text);
// The font's line height and the text's width in world units (positive).
double WorldTextHeight();
double WorldTextWidth(Chars text);
// Moves the pixels of the converted rectangle so that its corner (x1, y1) lands on the
// converted point (x, y); skipped when nothing would move or the moved rectangle would
// leave the viewport.
void ScrollWorld(double x1, double y1, double x2, double y2, double x, double y);
// The converted corners, ordered; true when the rectangle lies inside the viewport.
bool RectInView(double x1, double y1, double x2, double y2, std::int32_t& left, std::int32_t& top,
                std::int32_t& right, std::int32_t& bottom);

// ---- Pen, text and colours of the current port ----
void SetPenSize(std::int32_t size);
void SetPenMode(std::int32_t mode);
void SetTextFont(std::int32_t number);
void SetTextSize(std::int32_t size);
void SetTextFace(std::int32_t face);
// Text goes over what is drawn (the start); with on, in a box of the background colour.
void SetTextBackground(bool on);
// The colour table: named colours for pens, markers, fills and text.
std::int32_t ColorCount();
// The colour of an index (black outside the table) and its name ("" outside).
RGBColor ColorOf(std::int32_t index);
Chars ColorName(std::int32_t index);
// The index of a colour name (case is ignored), or -1.
std::int32_t ColorNumber(Chars name);
// Foreground (pen, markers, fills, text) and background (erasing) by table index;
// indexes outside the table are ignored.
void SetColor(std::int32_t index);
void SetBackColor(std::int32_t index);
void SetRGBColor(const RGBColor& color);

// ---- Axes ----
// A step of 1, 2 or 5 times a power of ten that cuts range into at most maxSteps steps
// (at least one); 0 for a range that is not positive or not finite.
double NiceStep(double range, std::int32_t maxSteps);
// The label of a tick at value when ticks are step apart: as few decimals as the step
// needs, scientific notation for very large and very small steps.
void TickLabel(double value, double step, base::VarChars label);
// Axes along the bottom and left edges of the current port's world window, with ticks
// and labels at nice steps outside it; with grid, light lines across at each tick.
void DrawAxes(bool grid);

// ---- Pictures ----
// Writes what the window shows: SVG when the file name ends in ".svg", PNG otherwise,
// (the headless backend writes its text form). 0 or a negative file result.
std::int32_t SavePicture(GraphWindow* w, Chars hostPath);

// ---- For the plotting procedures ----
// Prepares the port's drawing state (its window the current toolbox port, its clip,
// pen, text and colours) and records into the window's picture; the destructor puts
// the previous port back.
class Drawing {
public:
  explicit Drawing(GraphPort* p);
  ~Drawing();
  Drawing(const Drawing&) = delete;
  Drawing& operator=(const Drawing&) = delete;

private:
  Toolbox::Port savedPort_;
  Toolbox::Picture* savedPicture_;
  GraphWindow* window_;
};
// The finish procedure ports start with: shows what was drawn in the port's window at
// once, while the program goes on computing.
void ShowAtOnce(GraphPort* p);
// The port's heap block of pairs, enlarged to at least count; nullptr when the heap
// cannot give it.
ColumnPair* ColumnBuffer(GraphPort* p, std::int32_t count);

} // namespace Graphics
