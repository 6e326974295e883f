// Keystrokes of the editor on a 1,000,000-line text in the headless backend, each
// through HandleEditKey with the screen kept up to date, the cursor in the middle of
// the text: typing a character, RETURN, del l, PASTE of 1,000 lines from the clipboard.
// Goal: every keystroke below 1 ms.
//
// fndnxt to the one match 900,000 lines below the cursor, against a plain memmem scan
// over the same lines in the same run, line by line as the text holds them. Goal: at
// most 2 times memmem.
//
// Each is reported as the median of its repetitions; the work that puts the text back
// after a keystroke is not timed.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "base/Strings.h"
#include "editor/Editor.h"
#include "editwin/EditWindows.h"
#include "editwin/ShellStart.h"
#include "platform/Events.h"
#include "platform/Toolbox.h"
#include "platform/headless/HeadlessBackend.h"
#include "store/Buffer.h"
#include "store/Lines.h"
#include "windows/KeyEvents.h"

namespace {

constexpr std::int32_t kLines = 1'000'000;
constexpr std::int32_t kMiddle = kLines / 2;
constexpr std::int32_t kPasteLines = 1'000;
constexpr std::int32_t kMatchLine = 900'001;
constexpr char kNeedle[] = "needle";
constexpr int kRepetitions = 9;
constexpr double kMinSeconds = 0.05; // per repetition

// The shell started on the headless backend, the big text being edited.
struct World {
  Headless::HeadlessBackend backend;
  Buffer::Ref text = nullptr;

  World() {
    Toolbox::InstallBackend(&backend);
    Toolbox::Init();
    static_cast<void>(Events::InitEventQueue());
    Shell::SetEditorStartProc(Editor::Init);
    static_cast<void>(Shell::CreateShell());
    static_cast<void>(Shell::OpenShellWindows());
    Shell::EnterCommandWindow();
    text = Buffer::Create("/User/Big", Buffer::BufferKind::Text);
    char line[80];
    for (std::int32_t n = 1; n <= kLines; ++n) {
      std::snprintf(line, sizeof line, "%07d  PROCEDURE Quick%d(VAR fox: Jumps); (* lazy dog *)",
                    static_cast<int>(n), static_cast<int>(n % 97));
      static_cast<void>(Lines::Append(text, line));
    }
    static_cast<void>(Lines::Set(text, kMatchLine, "    found := needle;"));
    EditWindows::ShowBuffer(text, EditWindows::kRefresh | EditWindows::kActivate);
  }
};

World& TheWorld() {
  static World world;
  return world;
}

void Key(std::uint8_t kind, char ch = 0, std::uint8_t modifiers = 0) {
  static_cast<void>(Editor::HandleEditKey(kind, ch, modifiers));
}

void Goto(std::int32_t line, std::int32_t column) {
  Editor::PlaceCursor(line, column, Editor::State().scrollMargin);
}

void BM_TypeCharacter(benchmark::State& state) {
  World& w = TheWorld();
  Goto(kMiddle, 10);
  for (auto _ : state) {
    Key(KeyEvents::KeyCharacter, 'x');
    state.PauseTiming();
    Key(KeyEvents::KeyDeleteLeft);
    w.backend.ClearDisplayList();
    state.ResumeTiming();
  }
}

void BM_Return(benchmark::State& state) {
  World& w = TheWorld();
  Goto(kMiddle, 10);
  for (auto _ : state) {
    Key(KeyEvents::KeyCharacter, 13);
    state.PauseTiming();
    Key(KeyEvents::KeyDeleteLeft);
    w.backend.ClearDisplayList();
    state.ResumeTiming();
  }
}

void BM_DeleteLine(benchmark::State& state) {
  World& w = TheWorld();
  for (auto _ : state) {
    state.PauseTiming();
    Goto(kMiddle, 1);
    w.backend.ClearDisplayList();
    state.ResumeTiming();
    Key(KeyEvents::KeyKeypadMinus); // del l
    state.PauseTiming();
    static_cast<void>(Lines::Insert(w.text, kMiddle, 1));
    static_cast<void>(Lines::Set(w.text, kMiddle, "0500000  PROCEDURE Again;"));
    state.ResumeTiming();
  }
}

void BM_Paste1000Lines(benchmark::State& state) {
  World& w = TheWorld();
  std::string clip;
  for (std::int32_t n = 1; n <= kPasteLines; ++n)
    clip += "pasted line " + std::to_string(n) + "\r\n";
  clip.pop_back();
  clip.pop_back();
  for (auto _ : state) {
    state.PauseTiming();
    w.backend.SetForeignClipboard(clip);
    Goto(kMiddle, 1);
    w.backend.ClearDisplayList();
    state.ResumeTiming();
    Key(KeyEvents::KeyInsert);
    Key(KeyEvents::KeyKeypad6); // PASTE
    state.PauseTiming();
    if (Editor::State().cursor.line != kMiddle + kPasteLines - 1) state.SkipWithError("not pasted");
    Lines::Delete(w.text, kMiddle, kPasteLines - 1);
    static_cast<void>(Lines::Set(w.text, kMiddle, "0500000  PROCEDURE Again;"));
    state.ResumeTiming();
  }
}

void BM_FindNext(benchmark::State& state) {
  World& w = TheWorld();
  Strings::Assign(Editor::State().searchString, kNeedle);
  for (auto _ : state) {
    state.PauseTiming();
    Goto(kMatchLine - 900'000, 1);
    w.backend.ClearDisplayList();
    state.ResumeTiming();
    Key(KeyEvents::KeyKeypadMultiply); // fndnxt
    state.PauseTiming();
    if (Editor::State().cursor.line != kMatchLine) state.SkipWithError("not found");
    state.ResumeTiming();
  }
}

// The same lines searched with memmem, one line at a time.
void BM_MemmemScan(benchmark::State& state) {
  World& w = TheWorld();
  const std::size_t needle = std::strlen(kNeedle);
  for (auto _ : state) {
    std::int32_t found = 0;
    for (std::int32_t n = kMatchLine - 900'000 + 1; n <= kLines && found == 0; ++n) {
      const std::string_view line = Lines::View(w.text, n);
      if (memmem(line.data(), line.size(), kNeedle, needle) != nullptr) found = n;
    }
    benchmark::DoNotOptimize(found);
    if (found != kMatchLine) state.SkipWithError("not found");
  }
}

// For scale: one memmem over a copy of those lines laid end to end, as if the text were
// one block of memory.
void BM_MemmemBlock(benchmark::State& state) {
  World& w = TheWorld();
  std::string block;
  for (std::int32_t n = kMatchLine - 900'000 + 1; n <= kLines; ++n) {
    block += Lines::View(w.text, n);
    block += '\n';
  }
  const std::size_t needle = std::strlen(kNeedle);
  for (auto _ : state) {
    const void* found = memmem(block.data(), block.size(), kNeedle, needle);
    benchmark::DoNotOptimize(found);
    if (found == nullptr) state.SkipWithError("not found");
  }
}

#define KEYSTROKE(name)                                                                            \
  BENCHMARK(name)                                                                                  \
      ->Unit(benchmark::kMicrosecond)                                                              \
      ->Repetitions(kRepetitions)                                                                  \
      ->MinTime(kMinSeconds)                                                                       \
      ->DisplayAggregatesOnly(true)

KEYSTROKE(BM_TypeCharacter);
KEYSTROKE(BM_Return);
KEYSTROKE(BM_DeleteLine);
KEYSTROKE(BM_Paste1000Lines);
KEYSTROKE(BM_FindNext);
KEYSTROKE(BM_MemmemScan);
KEYSTROKE(BM_MemmemBlock);

} // namespace

BENCHMARK_MAIN();
