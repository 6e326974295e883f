// Dialogs: windows whose content is a fixed, numbered array of typed items (buttons,
// switches, check boxes, texts and numbers, numbers dragged with the mouse, edit fields,
// pop-up lists, panes and others), built by the workstation's tools and by programs.
//
// The owner declares the array of item addresses, defines every item once and binds
// items to its own variables; the framework keeps each item's layout and look in one
// record (in the dialog's item buffer), draws the items with the desktop's controls,
// turns events into item actions and calls the owner back through its procedures.
//
// Coordinates: programs give rectangles and positions in points; Open multiplies them
// by Startup::ScreenScale, after which they are pixels of the dialog's window (y grows
// downwards). Dialog files hold them divided by that scale again.
//
// Every operation on an item ignores an index outside 1..highest.
#pragma once

#include <cstdint>

#include "base/Chars.h"
#include "platform/Toolbox.h"
#include "store/Buffer.h"

namespace ANSITerm {
struct TextWindow;
}

namespace Dialog {

using base::Chars;
using base::VarChars;
using Toolbox::Point;
using Toolbox::Rect;
using Toolbox::RGBColor;

// ---- Items ----

// What an item of a kind has and does, for the files that treat kinds alike.
enum KindTrait : std::uint8_t {
  kTraitPressed = 1,     // a click or its key presses it (buttons, switches, boxes, panes)
  kTraitTracks = 2,      // its action follows the mouse button while it is held
  kTraitHighCol = 4,     // it keeps a High Col colour
  kTraitList = 8,        // it holds a list of entries, its value an index
  kTraitFormat = 16,     // its number has a format
  kTraitText = 32,       // its text may be the variable itself
  kTraitSavedLength = 64 // dialog files keep its length
};

// The kinds, one row each: the name, the code, the word the configuration shows
// (KindName) and the traits.
#define DIALOG_ITEM_KINDS(X)                                                                       \
  X(NotKnown, 0, "notknown", 0)                                                                    \
  X(Button, 1, "button", kTraitPressed | kTraitTracks)                                             \
  X(Switch, 2, "switch", kTraitPressed | kTraitTracks | kTraitHighCol)                             \
  X(RadioButton, 3, "radiobutton", kTraitPressed | kTraitTracks)                                   \
  X(CheckBox, 4, "checkbox", kTraitPressed | kTraitTracks)                                         \
  X(MultiCheck, 5, "multicheck", kTraitPressed | kTraitTracks | kTraitFormat)                      \
  X(Text, 6, "text", kTraitText)                                                                   \
  X(FramedText, 7, "framedtext", kTraitText)                                                       \
  X(FramedNumber, 8, "framednumber", kTraitFormat | kTraitSavedLength)                             \
  X(FramedBool, 9, "framedbool", kTraitPressed | kTraitTracks | kTraitHighCol)                     \
  X(Drag, 10, "drag", kTraitTracks | kTraitFormat | kTraitSavedLength)                             \
  X(TrueFalse, 11, "truefalse", kTraitTracks | kTraitList | kTraitSavedLength)                     \
  X(HighLow, 12, "highlow", kTraitTracks | kTraitList | kTraitSavedLength)                         \
  X(Drag2, 13, "drag2", kTraitTracks | kTraitSavedLength)                                          \
  X(EditText, 14, "edittext", kTraitText)                                                          \
  X(List, 15, "list", kTraitTracks | kTraitList | kTraitSavedLength)                               \
  X(Array, 16, "array", kTraitFormat)                                                              \
  X(Offscreen, 17, "offscreen", kTraitHighCol)                                                     \
  X(GWindow, 18, "gwindow", kTraitHighCol)                                                         \
  X(User, 19, "user", kTraitHighCol)                                                               \
  X(Pane, 20, "pane", kTraitPressed | kTraitTracks | kTraitHighCol)

enum class ItemKind : std::uint8_t {
#define DIALOG_KIND_CODE(name, code, word, traits) name = code,
  DIALOG_ITEM_KINDS(DIALOG_KIND_CODE)
#undef DIALOG_KIND_CODE
};
// "button", ...; "illegal" for a code outside the table.
Chars KindName(std::uint8_t kind);
// Whether items of the kind have the trait; a kind outside the table has none.
bool HasTrait(ItemKind kind, KindTrait trait);

// The type of the variable behind an item: how many bytes it has and how they are read.
enum class ValueType : std::uint8_t {
  Real64 = 0,  // "real": LONGREAL, REAL
  Real32 = 1,  // "real": a 32-bit real
  Int32 = 2,   // "integer": INTEGER, CARDINAL, a list index
  Int16 = 3,   // "integer": a 16-bit integer
  Set16 = 4,   // "set16" ("hex" in hexadecimal format): 16 bits
  Boolean = 5, // "boolean": one byte
  Char = 6,    // "char": one byte; of a list item "list index", 16 bits
  String = 7,  // "string": the item's text variable
};
// Bytes of a variable of the type (of a list index for Char with list); 0 for String.
std::int32_t ValueSize(ValueType type, bool list);

enum class NumberFormat : std::uint8_t {
  Integer = 0,
  Hexadecimal = 1,
  Fixed = 2,
  Scientific = 3,
  Engineering = 4,
};
enum class Alignment : std::uint8_t { Left = 0, Center = 1, Right = 2, Last = 3 };

// Text style bits; the empty set is "normal".
inline constexpr std::uint8_t kBold = 1, kItalic = 2, kUnderline = 4, kOutline = 8, kShadow = 16,
                              kCondense = 32, kExtend = 64;

inline constexpr std::size_t kNameHigh = 79; // item names and texts: 80 characters
inline constexpr std::size_t kUnitHigh = 7;  // units: 8 characters
// The sum of "Back Col"'s components at or below which an item's text is drawn light.
inline constexpr std::uint32_t kInversionLimit = 78000;
// The background of dialogs whose owner gives none.
inline constexpr RGBColor kSystemBackColor{0xF0F0, 0xF0F0, 0xF0F0};

struct DialogRecord;
struct DialogItem;

// An item procedure, called with the dialog and the item's index: action (after the item
// was used), change (while its value is dragged), background (before it is drawn) and
// frame (after it is drawn; a button's draws its frame).
using ItemProc = void (*)(DialogRecord& d, std::int16_t item);
// The frames of buttons and of the default button (item 1 with the key RETURN).
void ButtonFrame(DialogRecord& d, std::int16_t item);
void DefaultButtonFrame(DialogRecord& d, std::int16_t item);

// The kind-specific area of an item, 80 bytes.
struct CheckArea { // "checkbox", "multicheck"
  Rect box;
  std::uint16_t boxSize;
  std::uint16_t boxSize2;
  std::uint8_t boxState[3];
};
struct DragArea {     // "drag"; its first 40 bytes go into dialog files
  double step;        // values stay on multiples of it
  double initialRate; // 0.1 for proportional dragging, else 0
  double rate;
  double rateFactor;  // the rate is multiplied by it when the drag reverses: 0.25
  std::int16_t steps; // accumulated in one direction
  std::int16_t pixelsPerStep;
  std::int16_t runLength; // steps in one direction after which the rate starts again
  std::uint8_t direction; // 0, 1 fresh; 2 rising; 3 falling
  bool reversed;          // the value falls when the mouse rises
};
struct Drag2Area { // "drag2": the "drag" items it moves horizontally and vertically
  std::int16_t horizontal;
  std::int16_t vertical;
};
struct ListArea {           // "truefalse", "highlow", "list"
  Toolbox::Menu* menu;      // the entries
  std::uint16_t* second;    // the toggle set (nullptr: ownSecond)
  std::int16_t firstToggle; // 0: no toggles
  std::int16_t count;
  std::int16_t label; // highlighted while the menu is open; 0 none
  char key2;          // the second key: steps the value up
  std::uint8_t code2;
  std::uint16_t ownSecond;
};
struct SurfaceArea { // "offscreen", "gwindow": High Col, then the drawing surface
  RGBColor highCol;
  Toolbox::Offscreen* surface; // while the dialog is open
};
union KindArea {
  RGBColor highCol; // "switch", "framedbool", "pane", "offscreen", "gwindow", "user"
  SurfaceArea surface;
  CheckArea check;
  char text[80]; // "framednumber"
  DragArea drag;
  Drag2Area drag2;
  ListArea list;
  std::uint8_t raw[80];
  KindArea() : raw{} {}
};
static_assert(sizeof(KindArea) == 80);
static_assert(sizeof(DragArea) == 40);

struct DialogItem {
  ItemKind kind;
  ValueType valueType;
  char keyChar;         // upper case when the key may come with any modifier
  std::uint8_t keyCode; // the KeyCode of the shortcut; 0 or 1: none
  bool executable;
  bool visible;
  bool enabled;
  bool textEntry; // a "drag" edited as text instead of dragged
  char name[80];  // the identity in dialog files and macros
  char text[80];  // the label; item 0's is the window title
  char unit[8];
  std::int16_t positionX; // the text offset inside the rectangle
  std::int16_t positionY;
  std::uint16_t font;
  std::uint16_t size; // points
  std::uint8_t style;
  Alignment alignment;
  bool inverted; // text light on a dark back colour
  NumberFormat format;
  std::uint8_t numberOption;
  bool pressed; // drawn pressed or lit
  bool anyModifier;
  std::uint16_t length; // characters of the value field ("Length")
  std::uint16_t digits; // after the decimal point ("Digits")
  std::uint16_t lineHeight;
  bool clearOnEdit;
  std::uint8_t keyModifiers; // low five bits
  bool frontOnly;
  bool macro;
  RGBColor backCol;
  bool programAction; // lists: the action runs on every use; "drag": instead of dragging
  std::uint8_t actionByte;
  void* value; // the variable; the item's own slot when none is bound
  double factor;
  alignas(8) std::uint8_t slot[8];
  double minimum;
  double maximum;
  KindArea area;
  ItemProc action;
  ItemProc change;
  ItemProc background;
  ItemProc frame;
  Rect rect;
  std::int32_t paneOrigin; // panes: the vertical origin of the pane's rectangle
  std::int16_t pane;       // 0: shown on every pane
  std::uint8_t spare[3];   // FALSE, FALSE, TRUE
  std::uint16_t tip;       // the number of its tool tip (Help); 0: none
};

// ---- Dialogs ----

// The dialog procedures; a nullptr entry has the default behaviour.
using VetoProc = bool (*)(DialogRecord& d, std::int16_t item);
using IndexProc = void (*)(DialogRecord& d, std::int16_t item);
using DialogProc = void (*)(DialogRecord& d);
using KeyProc = void (*)(DialogRecord& d, std::uint8_t code, char ch, std::uint8_t modifiers);
struct DialogProcs {
  VetoProc preAction = nullptr;    // TRUE vetoes the item's action; default FALSE
  IndexProc itemChanged = nullptr; // an item's value or layout changed
  DialogProc activate = nullptr;
  DialogProc deactivate = nullptr;
  KeyProc eventBefore = nullptr;
  KeyProc unhandledKey = nullptr;
  KeyProc eventAfter = nullptr;
  DialogProc drawn = nullptr;      // the whole dialog was drawn
  VetoProc mayClose = nullptr;     // asked with 0 on the close box; default TRUE
  VetoProc mayMove = nullptr;      // an item is about to be moved or resized; default TRUE
  VetoProc mayConfigure = nullptr; // an item's configuration is about to open; default TRUE
};

// The window placement: the content rectangle in frame client coordinates and the layer.
struct Placement {
  Rect rect;
  std::int32_t layer = 0;
};

// What Open passes to the window layer.
struct WindowOptions {
  bool visible = true;
  bool closeBox = true;
  bool floating = false;
};

struct DialogRecord {
  char tag[8] = {};            // "DIAL" once opened
  std::int16_t version = 0;    // compared with dialog files
  std::int16_t highest = 0;    // items are 0..highest; item 0 the template and title
  std::int16_t focus = 0;      // the "drag" or "edittext" item with the text cursor
  std::int16_t highestKey = 0; // the highest item with a shortcut
  bool open = false;
  bool configurable = false; // option- and control-clicks edit the layout
  bool storable = false;     // may be stored and loaded
  bool iconized = false;
  bool shown = false;
  bool modal = false;
  bool active = false;    // its window is the front window
  bool activated = false; // its activate procedure has run
  char idChar = 0;        // its identifier in macro texts
  Toolbox::Window window = nullptr;
  DialogRecord* next = nullptr; // the next known dialog
  Buffer::Ref itemBuffer = nullptr;
  DialogItem** items = nullptr;
  DialogProcs procs;
  Placement normal;
  Placement iconizedPlacement;
  char name[80] = {};
  std::int16_t pane = 0; // the current pane
  bool drawn = false;
  int windowKind = 0;
  WindowOptions options;
};

// The module body.
void Init();

// ---- The model ----

// Sets the dialog up with highest + 1 items in a buffer named after name (or title):
// false with an alert when that buffer exists, the dialog is open or memory runs out.
// items[0..itemsHigh] receives the item addresses; itemsHigh must be at least highest.
[[nodiscard]] bool Init(DialogRecord& d, DialogItem** items, std::int16_t itemsHigh,
                        bool configurable, bool storable, Chars title, Chars name,
                        std::uint16_t font, std::uint16_t size, std::int16_t highest,
                        std::int32_t left, std::int32_t bottom, std::int32_t width,
                        std::int32_t height, std::int16_t version);
// The buffer name of a dialog name: 32 characters of it and "DialBuffer", with '/'
// and ' ' made '_'.
void BufferName(Chars name, VarChars bufferName);
void DefineItem(DialogRecord& d, std::int32_t index, ItemKind kind, Chars name, bool macro,
                Chars text, std::int32_t left, std::int32_t bottom, std::int32_t width,
                std::int32_t height);
void DefineItemStyled(DialogRecord& d, std::int32_t index, ItemKind kind, Chars name, bool macro,
                      Chars text, std::int32_t left, std::int32_t bottom, std::int32_t width,
                      std::int32_t height, std::int16_t x, std::int16_t y, std::uint16_t font,
                      std::uint16_t size, std::uint8_t style, Alignment alignment, bool inverted,
                      std::uint16_t red, std::uint16_t green, std::uint16_t blue);
// "text", "framedtext" and "edittext": the item shows variable[0..high]; nullptr binds
// its own text (high 79).
void BindText(DialogRecord& d, std::int32_t index, char* variable, std::uint16_t high);
// The variable an item shows and changes, read as type (nullptr: the item's own slot).
void BindValue(DialogRecord& d, std::int32_t index, void* variable, ValueType type);
void SetNumber(DialogRecord& d, std::int32_t index, Chars unit, NumberFormat format, ValueType type,
               std::uint16_t length, std::uint16_t digits, double step, double minimum,
               double maximum, double factor, bool fine, std::uint8_t option);
void SetItemKey(DialogRecord& d, std::int32_t index, std::uint8_t code, char ch,
                std::uint8_t modifiers, bool anyModifier, bool frontOnly);
// The second key of a list, which steps its value up.
void SetSecondKey(DialogRecord& d, std::int32_t index, std::uint8_t code, char ch);
// The "drag" items a "drag2" item moves: horizontal with the pointer's horizontal moves,
// vertical with its vertical ones.
void SetDrag2(DialogRecord& d, std::int32_t index, std::int16_t horizontal, std::int16_t vertical);
// A list's toggle set: the variable of 16 bits whose bit k is entry first + k's check
// mark (nullptr: the item's own), and first, the first toggle entry (0: no toggles).
void BindToggles(DialogRecord& d, std::int32_t index, std::uint16_t* variable, std::int16_t first);
// The procedures (nullptr entries: the defaults) and the identifier; an identifier
// another known dialog has is reported on the text output, with the log on.
void SetProcs(DialogRecord& d, const DialogProcs& procs, char idChar);
// The item's procedures; nullptr: the default (nothing; a button's frame).
void SetItemProcs(DialogRecord& d, std::int32_t index, ItemProc action, ItemProc change,
                  ItemProc background, ItemProc frame);
void SetPaneRect(DialogRecord& d, std::int32_t index, std::int32_t left, std::int32_t width,
                 std::int32_t height);
void SetPane(DialogRecord& d, std::int16_t pane, std::int32_t first, std::int32_t last);
// Makes pane the current one and draws the dialog again.
void SelectPane(DialogRecord& d, std::int16_t pane);

// Defines the items (layout), loads the dialog's file when load is set (a failed load
// runs layout again), runs setup, then opens the window, scaled by ScreenScale. True
// when the dialog is open.
[[nodiscard]] bool Open(DialogRecord& d, int windowKind, DialogProc layout, DialogProc setup,
                        bool load, const WindowOptions& options, bool modal);
// Closes the window; the dialog is no longer known. Its items stay.
void Close(DialogRecord& d);
// Close, then the item buffer and the lists' menus are freed.
void Dispose(DialogRecord& d);

// ---- Lists ("truefalse", "highlow", "list"; entries from 1) ----
void InitList(DialogRecord& d, std::int32_t index, std::int32_t labelItem, Chars title);
// A text beginning with '-' appends a separator.
void AddListEntry(DialogRecord& d, std::int32_t index, Chars text);
void SetListEntryText(DialogRecord& d, std::int32_t index, std::int32_t entry, Chars text);
void EnableListEntry(DialogRecord& d, std::int32_t index, std::int32_t entry, bool enable);
bool ListEntryEnabled(DialogRecord& d, std::int32_t index, std::int32_t entry);
// The entry's text cut to Length - 1 characters, without surrounding blanks and
// character 202, followed by the unit.
void GetListEntryText(DialogRecord& d, std::int32_t index, std::int32_t entry, VarChars text);

// ---- Items' state and values ----
DialogItem* Item(DialogRecord& d, std::int32_t index);
// visible, on every pane or the current one.
bool Shown(const DialogRecord& d, std::int32_t index);
// executable, enabled and shown.
bool Active(const DialogRecord& d, std::int32_t index);
// The variable as a number (booleans 0 or 1, characters their code), and setting it,
// integers rounded half away from zero.
double ValueOf(const DialogItem& item);
// The bytes of a variable of the type (of a list index for Char with list) as a number.
double ValueAt(const void* bytes, ValueType type, bool list);
void SetValue(DialogItem& item, double value);
// A list's index (from 0) and its toggle set.
std::int32_t ListIndex(const DialogItem& item);
std::uint16_t ListSecond(const DialogItem& item);
// The text an item shows: the number formatted with its unit, a list's entry, a text.
void DisplayText(DialogRecord& d, std::int32_t index, VarChars text);
// The Offscreen of an "offscreen" or "gwindow" item of an open dialog, else nullptr.
Toolbox::Offscreen* Surface(DialogRecord& d, std::int32_t index);

// ---- Drawing ----
void DrawItem(DialogRecord& d, std::int32_t index);
void DrawDialog(DialogRecord& d);

// ---- Events ----

// The hooks around every item action: before (FALSE vetoes it; default TRUE), after, and
// the record hook of the macro recorder (item -1: a key no item took, -2: a menu command).
using BeforeHook = bool (*)(DialogRecord& d, std::int16_t item);
using AfterHook = void (*)(DialogRecord& d, std::int16_t item);
void SetBeforeActionHook(BeforeHook hook); // nullptr: the default
void SetAfterActionHook(AfterHook hook);
void SetRecordHook(AfterHook hook);
// Every event the event step takes is offered to it first (the macro recorder's).
using EventHook = void (*)(std::uint8_t code, char ch, std::uint8_t modifiers, Toolbox::Window w);
void SetEventHook(EventHook hook);
// Events of windows that are no dialog's go here first (the Notebook, the macro
// editor); TRUE when it took the event.
using WindowEventProc = bool (*)(Toolbox::Window w, std::uint8_t code, char ch,
                                 std::uint8_t modifiers);
void SetWindowEventProc(WindowEventProc proc);
// The terminal of such a window that reads its own keys (keypad keys by its keypad
// mode) while it is in front: the macro editor's; nullptr when there is none.
using KeyTerminalProc = ANSITerm::TextWindow* (*)();
void SetKeyTerminalProc(KeyTerminalProc proc);
// A control-click on an item of a configurable dialog (the configuration's).
using ConfigureProc = void (*)(DialogRecord& d, std::int16_t item, Point where);
void SetConfigureProc(ConfigureProc proc);
// Every event the event step takes, null events (KeyNone) included, goes here first (the
// tool tips'); w is the event's window, nullptr for a null event.
using TipProc = void (*)(std::uint8_t code, std::uint8_t modifiers, Toolbox::Window w);
void SetTipProc(TipProc proc);
// Whether a modal loop (RunModal) runs.
bool ModalRunning();
// Runs before every event step and every round of Poll, between events: the macro
// player and the macro text interpreter advance from here.
using IdleHook = void (*)();
void SetIdleHook(IdleHook hook);
// A report framed by "##" marks: the output line ended, the text in inverse video on the
// text output, the line ended and a beep.
void Report(Chars text);
// An item action that macro playback performs: whether the item may take it (active,
// not vetoed by preAction or the before-action hook, bound to a variable), and, after
// its variable was set, the rest of the action (a shown button or switch drawn pressed,
// the action procedure while the execute flag is on, the after-action hook and the
// announcement of the change).
bool MayApply(DialogRecord& d, std::int16_t item);
void Applied(DialogRecord& d, std::int16_t item);
// While FALSE the items' action procedures do not run (default TRUE).
void SetExecute(bool on);
bool Execute();
// While a macro plays, "drag" items are edited as text and "drag2" items not dragged.
void SetPlayback(bool on);
bool Playback();
void SetTrace(bool on);
bool Tracing();

// The item being acted on (0 when none) with the key event that led to it, and the
// value it had before (the macro recorder's).
struct Acting {
  std::int16_t item = 0;
  std::uint8_t code = 0;
  char ch = 0;
  std::uint8_t modifiers = 0;
  std::uint32_t time = 0;
  alignas(8) std::uint8_t value[8] = {};
  char text[80] = {};
  std::uint16_t second = 0;
};
const Acting& ActingItem();
bool LastResult();

// The current dialog (a closed dummy when there is none), and the known dialogs, newest
// first; the dialog whose window is w, or nullptr.
DialogRecord& Current();
void SetCurrent(DialogRecord& d);
DialogRecord* Known();
DialogRecord* DialogOf(Toolbox::Window w);

// Takes the next event (waiting for one) and hands it on; true when one was taken.
bool EventStep();
// Handles the events that arrive within ms milliseconds, one event step each, without
// waiting longer; true when an item was acted on or a key taken meanwhile. While the text
// output is the console (the command-line runner, which has no user) it lets the time
// pass instead of waiting for events.
bool Poll(std::uint32_t ms);
// The item handler of a dialog for one key event; true when handled.
bool HandleItems(DialogRecord& d, std::uint8_t code, char ch, std::uint8_t modifiers);
// Whether the item's shortcut matches the key event (and the item is active); where
// (local) is the pointer for mouse codes.
bool MatchesKey(DialogRecord& d, std::int32_t index, std::uint8_t code, char ch,
                std::uint8_t modifiers, Point where);
// The update dispatch: redraws w when it is a dialog's window; true then.
bool UpdateWindow(Toolbox::Window w);
// Makes d current and runs the event step until done is TRUE; procedure (when not
// nullptr) runs after every step. The event trace is on while "WriteKey.On" exists.
void RunModal(Toolbox::Window w, DialogRecord& d, DialogProc procedure, const bool& done);

// ---- Item actions ----

// Performs the item's action on the current dialog: true when something was done.
bool ItemHit(std::int16_t item, bool isDouble, char ch, std::uint8_t modifiers, bool edit,
             bool withHooks, std::int32_t x, std::int32_t y);
// Edits the item (an "edittext", or a number as text) in place on the current dialog.
bool EditItem(std::int16_t item);
// The mouse-drag loop: the horizontal item follows the pointer's horizontal moves, the
// vertical one its vertical moves (upwards raises it); 0 for none.
bool DragValues(std::int16_t item, std::int16_t horizontalItem, std::int16_t verticalItem);
// The pop-up menu of a list item of the current dialog.
bool PopUpList(std::int16_t item);
// Converts text (mode: the number format) divided by factor and checks it against
// minimum..maximum (no range when minimum >= maximum): inside, result is set; outside,
// strict beeps and reports, else the nearer bound is taken. False when result is not set.
bool CheckNumber(Chars text, double minimum, double maximum, double factor, double& result,
                 NumberFormat mode, bool strict);

// ---- Dialog files ----

// The file name of the dialog when fileName is empty (its name, ".dia", blanks as '_',
// no '/', ':' or '\').
void FileName(const DialogRecord& d, VarChars fileName);
// Writes the layout and look to the file: false after an alert.
bool Store(DialogRecord& d, Chars fileName);
// Reads them back, matching items by name: false when the load failed (alert when
// verbose). A missing file is no failure when not verbose.
bool Load(DialogRecord& d, Chars fileName, bool verbose);

namespace Testing {
// The scale Open and the files use instead of Startup::ScreenScale (0: that one).
void SetScreenScale(double scale);
} // namespace Testing

} // namespace Dialog
