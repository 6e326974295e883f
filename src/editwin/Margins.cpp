#include "editwin/Margins.h"

#include <algorithm>
#include <vector>

#include "editwin/EditorState.h"
#include "platform/Toolbox.h"
#include "windows/ANSITerm.h"

namespace Margins {

namespace {

constexpr std::int32_t kBlack = 33;
// The strip left of the first cell: ANSITerm keeps 5 pixels, the first column's cell
// begins one pixel before its glyph.
constexpr std::int32_t kBarWidth = 4;

struct State {
  MarkProc mark = nullptr;
  std::vector<const ANSITerm::TextWindow*> marked; // terminals that show a mark now
};
State state;

} // namespace

void SetMarkProc(MarkProc proc) { state.mark = proc; }

void Draw(ANSITerm::TextWindow* t, Buffer::Ref b, std::int32_t topLine, std::int32_t rows) {
  if (t == nullptr || t->window == nullptr || b == nullptr) return;
  const auto was = std::find(state.marked.begin(), state.marked.end(), t);
  std::vector<std::int32_t> colours(static_cast<std::size_t>(std::max(0, rows)), 0);
  bool any = false;
  if (state.mark != nullptr) {
    for (std::int32_t row = 1; row <= rows; ++row) {
      colours[static_cast<std::size_t>(row - 1)] = state.mark(b, topLine + row - 1);
      any = any || colours[static_cast<std::size_t>(row - 1)] != 0;
    }
  }
  if (!any && was == state.marked.end()) return;
  if (any && was == state.marked.end()) state.marked.push_back(t);
  if (!any && was != state.marked.end()) state.marked.erase(was);
  const Toolbox::Port port = Toolbox::GetPort();
  Toolbox::SetPort(t->window);
  const std::int32_t left = t->content.left;
  for (std::int32_t row = 1; row <= rows; ++row) {
    const std::int32_t top = t->textTop + (row - 1) * t->lineHeight;
    const std::int32_t colour = colours[static_cast<std::size_t>(row - 1)];
    Toolbox::EraseRect(Toolbox::Rect{left, top, left + kBarWidth, top + t->lineHeight});
    if (colour == 0) continue;
    Toolbox::ForeColor(colour);
    Toolbox::PaintRect(Toolbox::Rect{left, top + 1, left + kBarWidth, top + t->lineHeight - 1});
    Toolbox::ForeColor(kBlack);
  }
  // The port of whatever drew before (a program's graphics window) comes back.
  if (port.offscreen != nullptr)
    Toolbox::SetPortOffscreen(port.offscreen);
  else if (port.window != nullptr)
    Toolbox::SetPort(port.window);
}

void DrawCurrent() {
  const Editor::EditorState& e = Editor::State();
  if (e.helpShowing) return;
  Draw(e.terminal, e.current, e.topLine, e.rows);
}

} // namespace Margins
