#include "programs/DialogToolsModule.h"

#include <algorithm>
#include <cstring>

#include "dialog/ColorPicker.h"
#include "dialog/Help.h"
#include "modules/Definitions.h"
#include "programs/DialogModule.h"
#include "textio/TextIO.h"
#include "vm/Trap.h"
#include "vm/Vm.h"

namespace DialogToolsModule {

namespace {

using Native::Call;

constexpr char kInvalidProcedure[] = "invalid procedure";

// The pick in hand: where the program's colour lives and what to call.
struct Pick {
  std::uint64_t red = 0, green = 0, blue = 0;
  std::uint64_t changed = 0;
};
Pick current;

std::int32_t Int(const Call& c, int i) { return static_cast<std::int32_t>(c.args[i]); }
std::uint16_t Component(std::uint64_t word) {
  return static_cast<std::uint16_t>(
      std::min<std::uint32_t>(static_cast<std::uint32_t>(word), 0xFFFF));
}
std::uint32_t Load32(std::uint64_t address) {
  std::uint32_t v = 0;
  std::memcpy(&v, reinterpret_cast<const void*>(address), sizeof v);
  return v;
}
void Store32(std::uint64_t address, std::uint32_t v) {
  std::memcpy(reinterpret_cast<void*>(address), &v, sizeof v);
}

void WriteColour(const Pick& p, const Dialog::RGBColor& c) {
  Store32(p.red, c.red);
  Store32(p.green, c.green);
  Store32(p.blue, c.blue);
}

// Every change goes into the program's variables before its procedure runs.
Dialog::RGBColor* picked = nullptr;
void ChangedColour(Dialog::DialogRecord&) {
  if (picked != nullptr) WriteColour(current, *picked);
  if (current.changed != 0) Vm::CallProcedure(current.changed, {});
}

void PickProc(Call& c) {
  Dialog::DialogRecord* owner = DialogModule::RecordOf(c.args[0]);
  const std::uint64_t changed = c.args[6];
  if (changed != 0 && !Vm::IsCompiledEntry(changed) && Native::ProcedureOf(changed) == nullptr)
    Vm::Trap(kInvalidProcedure);
  c.result = 0;
  if (TextIO::Console()) return;
  Dialog::RGBColor colour{Component(Load32(c.args[1])), Component(Load32(c.args[2])),
                          Component(Load32(c.args[3]))};
  // A pick from the procedure of another keeps the outer one's variables for after it.
  const Pick outer = current;
  Dialog::RGBColor* outerColour = picked;
  current = Pick{c.args[1], c.args[2], c.args[3], changed};
  picked = &colour;
  struct Callbacks {
    Callbacks() { DialogModule::BeginCallbacks(); }
    ~Callbacks() { DialogModule::EndCallbacks(); }
  } callbacks;
  const bool kept = ColorPicker::Pick(owner, colour, Int(c, 4), Int(c, 5), ChangedColour);
  WriteColour(current, colour);
  current = outer;
  picked = outerColour;
  c.result = kept ? 1 : 0;
}

void UsesPaletteProc(Call& c) { c.result = ColorPicker::UsesPalette() ? 1 : 0; }
void PaletteSizeProc(Call& c) {
  c.result = static_cast<std::uint64_t>(static_cast<std::int64_t>(ColorPicker::PaletteSize()));
}
void ColorOfProc(Call& c) {
  const Dialog::RGBColor colour = ColorPicker::ColorOf(Int(c, 0));
  WriteColour(Pick{c.args[1], c.args[2], c.args[3], 0}, colour);
}
void IndexOfProc(Call& c) {
  c.result = static_cast<std::uint64_t>(static_cast<std::int64_t>(ColorPicker::IndexOf(
      Dialog::RGBColor{Component(c.args[0]), Component(c.args[1]), Component(c.args[2])})));
}

// Whether the running program loaded a help file: its tips and the tip window go with
// the run, as its dialogs do.
bool programHelp = false;

void LoadHelpProc(Call& c) {
  programHelp = true;
  c.result = Help::Load(c.Text(0)) ? 1 : 0;
}
void SetToolTipsProc(Call& c) { Help::SetTipsOn((c.args[0] & 0xFF) != 0); }
void ToolTipsOnProc(Call& c) { c.result = Help::TipsOn() ? 1 : 0; }
void CloseHelpProc(Call&) {
  Help::Close();
  programHelp = false;
}

// The end of a run: the program's dialogs are disposed of, then its help.
void EndRun() {
  if (programHelp) Help::Close();
  programHelp = false;
}

} // namespace

void ReleaseHelp() { EndRun(); }

Native::ModuleSpec ColorPickerSpec() {
  return Native::ModuleSpec{
      "ColorPicker",
      Modules::Key{{0x4350, 0x0001, 0x0001}},
      Definitions::Text("ColorPicker"),
      {
          {"Pick", PickProc, "vVVVvvv:v"},
          {"UsesPalette", UsesPaletteProc, ":v"},
          {"PaletteSize", PaletteSizeProc, ":v"},
          {"ColorOf", ColorOfProc, "vVVV"},
          {"IndexOf", IndexOfProc, "vvv:v"},
      },
  };
}

Native::ModuleSpec ToolTipsSpec() {
  return Native::ModuleSpec{
      "ToolTips",
      Modules::Key{{0x5454, 0x0001, 0x0001}},
      Definitions::Text("ToolTips"),
      {
          {"LoadHelp", LoadHelpProc, "a:v"},
          {"SetToolTips", SetToolTipsProc, "v"},
          {"ToolTipsOn", ToolTipsOnProc, ":v"},
          {"CloseHelp", CloseHelpProc, ""},
      },
  };
}

void Add() {
  ColorPicker::Init();
  Help::Init();
  Native::Add(ColorPickerSpec());
  Native::Add(ToolTipsSpec());
}

} // namespace DialogToolsModule
