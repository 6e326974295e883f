// Loads arbitrary bytes as a help file for an open dialog and checks that the tips it
// attached are sound: every tip number names a tip, every tip's window fits the limits,
// and the tip of an item shows when the mouse rests on it.

#include "FuzzPlatform.h"
#include "dialog/Dialog.h"
#include "dialog/Help.h"
#include "platform/Events.h"
#include "platform/Startup.h"
#include "store/FileSystem.h"

namespace {

using Dialog::ItemKind;

constexpr std::int16_t kHighest = 4;

struct World {
  Headless::HeadlessBackend backend;
  Dialog::DialogRecord d;
  Dialog::DialogItem* items[kHighest + 1] = {};
  std::string path;

  World() {
    path = StartFuzzPlatform(backend, "Fuzz.hlp");
    if (!Dialog::Init(d, items, kHighest, false, false, "Fuzz", "Fuzz", 0, 10, kHighest, 10, 210,
                      300, 200, 0))
      std::abort();
    Dialog::DialogProcs procs;
    Dialog::SetProcs(d, procs, 'p');
    const char* names[] = {"a", "b", "1", "long name"};
    for (int i = 1; i <= kHighest; ++i)
      Dialog::DefineItem(d, i, ItemKind::Button, base::CharsOf(names[i - 1]), false, "x", 10,
                         40 * i, 100, 30);
    if (!Dialog::Open(d, Toolbox::kDocumentWindow, nullptr, nullptr, false, Dialog::WindowOptions{},
                      false))
      std::abort();
    Help::Init();
    Help::SetTipsOn(true);
  }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static World w;
  WriteFuzzInput(w.path, data, size);
  w.backend.ClearDisplayList();
  const bool loaded = Help::Load(base::CharsOf(w.path.c_str()));
  if (loaded != Help::Loaded() || (loaded && Help::TipCount() < 1)) std::abort();
  for (std::int32_t i = 1; i <= Help::TipCount(); ++i) {
    const Help::Tip* tip = Help::TipAt(i);
    if (tip == nullptr || tip->width < 1 || tip->width > 400 || tip->height < 1 ||
        tip->height > 400)
      std::abort();
  }
  for (std::int16_t i = 1; i <= kHighest; ++i) {
    const std::uint16_t tip = w.d.items[i]->tip;
    if (tip != 0 && Help::TipAt(tip) == nullptr) std::abort();
    if (tip == 0) continue;
    // The mouse comes to rest on the item: its tip shows.
    const Toolbox::Rect frame = Toolbox::GetWindowRect(w.d.window);
    const Toolbox::Rect& r = w.d.items[i]->rect;
    for (const Toolbox::Point p : {Toolbox::Point{frame.left + 1, frame.top + 1},
                                   Toolbox::Point{frame.left + (r.left + r.right) / 2,
                                                  frame.top + (r.top + r.bottom) / 2}}) {
      Toolbox::PlatformMessage m;
      m.kind = Toolbox::PlatformMessage::Kind::MouseMove;
      m.window = w.d.window;
      m.where = p;
      w.backend.Inject(m);
      Startup::RunToEnd([&] {
        while (w.backend.Pending() > 0 || Events::QueuedCount() > 0) Dialog::EventStep();
      });
    }
    if (!Help::TipShown()) std::abort();
  }
  return 0;
}
