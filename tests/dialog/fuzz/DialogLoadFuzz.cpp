// Loads arbitrary bytes as a dialog file into an open dialog and checks that the dialog
// stays usable: its items draw, and a click and a key reach them.

#include "FuzzPlatform.h"
#include "dialog/Dialog.h"
#include "platform/Events.h"
#include "platform/Startup.h"
#include "store/FileSystem.h"

namespace {

using Dialog::ItemKind;

constexpr std::int16_t kHighest = 6;

struct World {
  Headless::HeadlessBackend backend;
  Dialog::DialogRecord d;
  Dialog::DialogItem* items[kHighest + 1] = {};
  std::string path;
  bool on = false;
  double gain = 1;

  World() {
    path = StartFuzzPlatform(backend, "Fuzz.dia");
    if (!Dialog::Init(d, items, kHighest, true, true, "Fuzz", "Fuzz", 0, 10, kHighest, 10, 210, 300,
                      200, 0))
      std::abort();
    const ItemKind kinds[] = {ItemKind::Switch, ItemKind::CheckBox,     ItemKind::Drag,
                              ItemKind::List,   ItemKind::FramedNumber, ItemKind::Drag2};
    const char* names[] = {"switch", "check", "drag", "list", "number", "drag2"};
    for (int i = 1; i <= kHighest; ++i)
      Dialog::DefineItem(d, i, kinds[i - 1], base::CharsOf(names[i - 1]), true,
                         base::CharsOf(names[i - 1]), 10, 30 * i, 100, 20);
    Dialog::BindValue(d, 1, &on, Dialog::ValueType::Boolean);
    Dialog::BindValue(d, 3, &gain, Dialog::ValueType::Real64);
    Dialog::InitList(d, 4, 0, "");
    Dialog::AddListEntry(d, 4, "a");
    Dialog::SetDrag2(d, 6, 3, 3);
    Dialog::SetItemKey(d, 1, 2, 's', 0, true, false);
    if (!Dialog::Open(d, Toolbox::kDocumentWindow, nullptr, nullptr, false, Dialog::WindowOptions{},
                      false))
      std::abort();
  }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static World w;
  WriteFuzzInput(w.path, data, size);
  // The backend keeps every drawing and alert: the drawing goes at each input, and only
  // some inputs load verbosely, so that the alerts do not fill the memory.
  w.backend.ClearDisplayList();
  const bool verbose = size > 0 && (data[0] & 0x3F) == 0;
  static_cast<void>(Dialog::Load(w.d, base::CharsOf(w.path), verbose));
  Dialog::DrawDialog(w.d);
  // A key and a click reach the items whatever the file did to them.
  Toolbox::PlatformMessage key;
  key.kind = Toolbox::PlatformMessage::Kind::Character;
  key.ch = 's';
  w.backend.Inject(key);
  const Toolbox::Rect frame = Toolbox::GetWindowRect(w.d.window);
  for (auto kind :
       {Toolbox::PlatformMessage::Kind::ButtonDown, Toolbox::PlatformMessage::Kind::ButtonUp}) {
    Toolbox::PlatformMessage m;
    m.kind = kind;
    m.window = w.d.window;
    m.button = 1;
    m.where = Toolbox::Point{frame.left + 50, frame.top + 20};
    w.backend.Inject(m);
  }
  Startup::RunToEnd([&] {
    while (w.backend.Pending() > 0 || Events::QueuedCount() > 0) Dialog::EventStep();
  });
  return 0;
}
