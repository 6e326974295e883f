#include "editwin/EditorState.h"

#include <algorithm>

#include "base/Strings.h"

namespace Editor {

namespace {

EditorState state;

} // namespace

EditorState& State() { return state; }

void InitState() { state = EditorState{}; }

Buffer::Ref EditedText() { return state.current; }
ANSITerm::TextWindow* EditTerminal() { return state.terminal; }
Toolbox::WindowObject* EditWindow() { return state.window; }

void SetEditWindow(Toolbox::WindowObject* window, ANSITerm::TextWindow* terminal) {
  state.window = window;
  state.terminal = terminal;
}

void TextMoved(Buffer::Ref from, Buffer::Ref to) {
  if (from == nullptr) return;
  if (state.current == from) state.current = to;
  if (state.editBuffer == from) state.editBuffer = to;
}

Position TextCursor() { return state.cursor; }
bool Selecting() { return state.selectActive; }
Position SelectAnchor() { return state.anchor; }

void SetCursor(Position p) {
  state.cursor = p;
  state.desiredColumn = p.column;
  if (p.column - 1 < state.leftOffset || p.column > state.leftOffset + state.width)
    state.leftOffset = std::max(0, p.column - std::max(1, state.width));
  if (p.line < state.topLine) state.topLine = p.line;
  if (p.line >= state.topLine + state.rows) state.topLine = p.line - state.rows + 1;
}

std::int32_t TabWidth() { return state.tabWidth; }
bool PositionShown() { return state.showPosition; }
void SetPositionShown(bool on) { state.showPosition = on; }
const char* SearchString() { return state.searchString; }
void SetSearchString(base::Chars text) { Strings::Assign(state.searchString, text); }

} // namespace Editor
