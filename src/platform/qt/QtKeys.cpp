#include "platform/qt/QtKeys.h"

#include <QList>
#include <array>

#include "base/Charset.h"

namespace QtUi {

namespace {

struct FixedKey {
  int qtKey;
  std::uint32_t vkey;
  bool extended;
  std::uint32_t keypadVkey; // the code when the key comes from the keypad; 0: the same
};

// Keys with a code of their own. The navigation keys are extended in the cursor
// block; on the keypad (Num Lock off) they are its digit keys.
constexpr std::array kFixedKeys = {
    FixedKey{Qt::Key_Backspace, 8, false, 0}, FixedKey{Qt::Key_Tab, 9, false, 0},
    FixedKey{Qt::Key_Backtab, 9, false, 0},   FixedKey{Qt::Key_Clear, 12, false, 101},
    FixedKey{Qt::Key_Return, 13, false, 0},   FixedKey{Qt::Key_Enter, 13, true, 0},
    FixedKey{Qt::Key_Shift, 16, false, 0},    FixedKey{Qt::Key_Control, 17, false, 0},
    FixedKey{Qt::Key_Alt, 18, false, 0},      FixedKey{Qt::Key_Pause, 19, false, 0},
    FixedKey{Qt::Key_CapsLock, 20, false, 0}, FixedKey{Qt::Key_Escape, 27, false, 0},
    FixedKey{Qt::Key_Space, 32, false, 0},    FixedKey{Qt::Key_PageUp, 33, true, 105},
    FixedKey{Qt::Key_PageDown, 34, true, 99}, FixedKey{Qt::Key_End, 35, true, 97},
    FixedKey{Qt::Key_Home, 36, true, 103},    FixedKey{Qt::Key_Left, 37, true, 100},
    FixedKey{Qt::Key_Up, 38, true, 104},      FixedKey{Qt::Key_Right, 39, true, 102},
    FixedKey{Qt::Key_Down, 40, true, 98},     FixedKey{Qt::Key_Print, 44, true, 0},
    FixedKey{Qt::Key_Insert, 45, true, 96},   FixedKey{Qt::Key_Delete, 46, true, 110},
    FixedKey{Qt::Key_Meta, 91, true, 0},      FixedKey{Qt::Key_Menu, 93, true, 0},
    FixedKey{Qt::Key_NumLock, 144, true, 0},  FixedKey{Qt::Key_ScrollLock, 145, false, 0},
};

// The keypad's operator keys by the character Qt reports.
struct KeypadOperator {
  int qtKey;
  std::uint32_t vkey;
  bool extended;
};
constexpr std::array kKeypadOperators = {
    KeypadOperator{Qt::Key_Asterisk, 106, false}, KeypadOperator{Qt::Key_Plus, 107, false},
    KeypadOperator{Qt::Key_Minus, 109, false},    KeypadOperator{Qt::Key_Period, 110, false},
    KeypadOperator{Qt::Key_Comma, 110, false},    KeypadOperator{Qt::Key_Slash, 111, true},
};

// The character of Qt's text for a key, when it is one character that can be typed
// (not a control character): its code in the set, or the substitute for a character
// the set does not have.
int TextCharacter(const QString& text) {
  const QList<uint> characters = text.toUcs4();
  if (characters.size() != 1) return -1;
  const char32_t c = characters[0];
  if (c < 32 || (c >= 127 && c < 160)) return -1;
  const int code = Charset::FromUnicode(c);
  return static_cast<unsigned char>(code < 0 ? Charset::kSubstitute : char(code));
}

} // namespace

std::uint32_t KeyStateOf(Qt::KeyboardModifiers modifiers, bool capsLock) {
  std::uint32_t state = 0;
  if (modifiers & Qt::AltModifier) state |= 256;
  if (modifiers & Qt::ShiftModifier) state |= 512;
  if (capsLock) state |= 1024;
  if (modifiers & Qt::MetaModifier) state |= 2048;
  if (modifiers & Qt::ControlModifier) state |= 4096;
  return state;
}

KeyScript::KeyPress TranslateKey(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text,
                                 bool capsLock) {
  KeyScript::KeyPress press;
  press.keyState = KeyStateOf(modifiers, capsLock);
  const bool keypad = modifiers & Qt::KeypadModifier;
  const bool control = modifiers & Qt::ControlModifier;

  for (const FixedKey& k : kFixedKeys) {
    if (k.qtKey != qtKey) continue;
    if (keypad && k.keypadVkey != 0) {
      // A keypad digit key with Num Lock off: no character, as on the platform.
      press.vkey = k.keypadVkey;
      return press;
    }
    press.vkey = k.vkey;
    press.extended = k.extended;
    press.ch = KeyScript::KeyCharacter(k.vkey, press.keyState);
    return press;
  }
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
    press.vkey = 112 + static_cast<std::uint32_t>(qtKey - Qt::Key_F1);
    return press;
  }

  // Keys that type characters: the character comes from Qt's text, which follows the
  // keyboard layout, except with Control, where the platform's control characters rule.
  bool found = false;
  if (keypad) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
      press.vkey = 96 + static_cast<std::uint32_t>(qtKey - Qt::Key_0);
      found = true;
    }
    for (const KeypadOperator& k : kKeypadOperators) {
      if (!found && k.qtKey == qtKey) {
        press.vkey = k.vkey;
        press.extended = k.extended;
        found = true;
      }
    }
  }
  if (!found && qtKey >= 0x20 && qtKey <= 0x7E) {
    bool shift = false;
    found = KeyScript::KeyForCharacter(static_cast<char>(qtKey), press.vkey, shift);
  }
  if (!found) press.vkey = 0;
  const int typed = TextCharacter(text);
  if (control || typed < 0)
    press.ch = press.vkey == 0 ? -1 : KeyScript::KeyCharacter(press.vkey, press.keyState);
  else
    press.ch = typed;
  return press;
}

int QtKeyFor(std::uint32_t vkey, bool extended, Qt::KeyboardModifiers& modifiers) {
  for (const FixedKey& k : kFixedKeys) {
    if (k.vkey == vkey && k.extended == extended) return k.qtKey;
  }
  if ((vkey >= 'A' && vkey <= 'Z') || (vkey >= '0' && vkey <= '9')) return int(vkey);
  if (vkey >= 112 && vkey <= 135) return Qt::Key_F1 + int(vkey - 112);
  if (vkey >= 96 && vkey <= 105) {
    modifiers |= Qt::KeypadModifier;
    return Qt::Key_0 + int(vkey - 96);
  }
  for (const KeypadOperator& k : kKeypadOperators) {
    if (k.vkey == vkey) {
      modifiers |= Qt::KeypadModifier;
      return k.qtKey;
    }
  }
  const int ch = KeyScript::KeyCharacter(vkey, 0);
  return ch > 32 && ch < 127 ? ch : int(Qt::Key_unknown);
}

} // namespace QtUi
