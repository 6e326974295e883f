// Playing back recorded item actions on the headless backend: a macro of 63 actions on a
// dialog's switch, drag, list and edit field that calls itself at its end, played until
// n actions were applied. Play/1000 is the baseline; Play/10000 may take at most 12 times
// as long (no growth per action). Each run reports the time per action.
#include <benchmark/benchmark.h>

#include <cstring>

#include "dialog/Dialog.h"
#include "macros/Macros.h"
#include "platform/Events.h"
#include "platform/headless/HeadlessBackend.h"
#include "store/Buffer.h"
#include "textio/TextIO.h"

namespace {

using Dialog::ItemKind;
using Dialog::ValueType;

enum { kSwitch = 1, kGain, kMode, kName, kMacro, kItems = kMacro };

bool on = false;
double gain = 0;
std::int32_t mode = 0;
char name[32] = {};
std::int64_t applied = 0;

void Changed(Dialog::DialogRecord&, std::int16_t) { ++applied; }

void Layout(Dialog::DialogRecord& d) {
  Dialog::DefineItem(d, kSwitch, ItemKind::Switch, "switch", true, "On", 10, 30, 60, 20);
  Dialog::BindValue(d, kSwitch, &on, ValueType::Boolean);
  Dialog::DefineItem(d, kGain, ItemKind::Drag, "gain", true, "", 80, 30, 60, 20);
  Dialog::BindValue(d, kGain, &gain, ValueType::Real64);
  Dialog::SetNumber(d, kGain, "", Dialog::NumberFormat::Fixed, ValueType::Real64, 6, 2, 0.01, 0,
                    100, 1, false, 0);
  Dialog::DefineItem(d, kMode, ItemKind::List, "mode", true, "", 150, 30, 80, 20);
  Dialog::InitList(d, kMode, 0, "");
  for (const char* e : {"slow", "medium", "fast"}) Dialog::AddListEntry(d, kMode, base::CharsOf(e));
  Dialog::BindValue(d, kMode, &mode, ValueType::Int32);
  Dialog::DefineItem(d, kName, ItemKind::EditText, "name", true, "", 10, 60, 100, 20);
  Dialog::BindText(d, kName, name, sizeof name - 1);
  Dialog::DefineItem(d, kMacro, ItemKind::Button, "macro 1", true, "empty", 120, 60, 60, 20);
}

void Play(benchmark::State& state) {
  const std::int64_t n = state.range(0);
  Headless::Config config;
  Headless::HeadlessBackend backend(config);
  if (!Headless::StartPlatform(backend)) return state.SkipWithError("no platform");
  Buffer::Init();
  Buffer::ShellTree tree;
  if (!Buffer::ShellStart(tree)) return state.SkipWithError("no store");
  TextIO::SetConsoleFiles(nullptr, std::tmpfile());
  TextIO::SetConsole(true);
  Dialog::DialogRecord d;
  Dialog::DialogItem* items[kItems + 1] = {};
  if (!Dialog::Init(d, items, kItems, false, false, "Bench", "Bench", 0, 10, kItems, 20, 300, 300,
                    200, 0))
    return state.SkipWithError("no dialog");
  Dialog::DialogProcs procs;
  procs.itemChanged = Changed;
  Dialog::SetProcs(d, procs, 'B');
  if (!Dialog::Open(d, Toolbox::kDocumentWindow, Layout, nullptr, false, Dialog::WindowOptions{},
                    false))
    return state.SkipWithError("not open");
  while (Events::PumpOnce(false)) {}
  Macros::DialogItems macroItems;
  macroItems.firstMacro = macroItems.lastMacro = kMacro;
  if (!Macros::Init(&d, 1, 1, macroItems)) return state.SkipWithError("no macros");
  Macros::MacroSlot& slot = Macros::Slots()[1];
  for (int i = 0; i < 63; ++i) {
    Macros::MacroEntry& e = slot.entries[i];
    e = Macros::EmptyEntry();
    e.idChar = 'B';
    e.item = static_cast<std::int16_t>(kSwitch + i % 4);
    switch (e.item) {
    case kSwitch:
      Macros::SetEntryValue(e, ValueType::Boolean, i % 8 == 0);
      break;
    case kGain:
      Macros::SetEntryValue(e, ValueType::Real64, i * 0.5);
      break;
    case kMode:
      Macros::SetEntryValue(e, ValueType::Char, i % 3);
      break;
    default:
      std::snprintf(e.text, sizeof e.text, "step %d", i);
      break;
    }
  }
  slot.entries[63] = Macros::EmptyEntry();
  slot.entries[63].idChar = 'B';
  slot.entries[63].item = kMacro;
  for (auto _ : state) {
    applied = 0;
    Macros::Execute(1);
    // The headless backend keeps every drawing command for tests to read: it lets go of
    // them every 1,000 actions, so that its list does not grow with n.
    std::int64_t clearAt = 1000;
    while (applied < n) {
      Macros::Step();
      if (applied >= clearAt) {
        backend.ClearDisplayList();
        clearAt += 1000;
      }
    }
    Macros::StopExecuting();
  }
  state.counters["per_action"] =
      benchmark::Counter(static_cast<double>(state.iterations() * n),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  Macros::Release();
  Dialog::Dispose(d);
  Headless::StopPlatform();
}

BENCHMARK(Play)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
