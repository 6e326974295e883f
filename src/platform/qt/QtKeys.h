// Qt key events in the terms of the classic desktop platform: the virtual key code,
// the extended-key flag and the character the key translates into.
//
// The keypad always reports keypad codes, whatever the Num Lock state: with Num Lock
// off its digit keys arrive from Qt as navigation keys with the keypad modifier and
// become 96..105 here (not extended), while the cursor block's arrows, Home, End,
// Page Up/Down, Insert and Delete are extended. The keypad Enter is 13, extended.
#pragma once

#include <QString>
#include <Qt>
#include <cstdint>

#include "platform/KeyScript.h"

namespace QtUi {

// The key press of a Qt key with its modifiers and text. capsLock is the toggle state
// as far as it is known. vkey 0 marks a key the platform has no code for (its
// character, when it has one, still arrives).
KeyScript::KeyPress TranslateKey(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text,
                                 bool capsLock);

// The modifier state in event-record form (256 Alt, 512 Shift, 1024 Caps Lock,
// 2048 Meta, 4096 Control).
std::uint32_t KeyStateOf(Qt::KeyboardModifiers modifiers, bool capsLock);

// The Qt key that gives a virtual key (the reverse of TranslateKey, for typing key
// scripts into Qt's own widgets); keypad keys add the keypad modifier. Qt::Key_unknown
// for codes without a Qt key.
int QtKeyFor(std::uint32_t vkey, bool extended, Qt::KeyboardModifiers& modifiers);

} // namespace QtUi
