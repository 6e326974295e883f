#include "editor/EditorState.h"

namespace Editor {

namespace {

EditorState state;

} // namespace

EditorState& State() { return state; }

void InitState() { state = EditorState{}; }

} // namespace Editor
