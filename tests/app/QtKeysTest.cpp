#include "platform/qt/QtKeys.h"

#include <gtest/gtest.h>

namespace {

using Mods = Qt::KeyboardModifiers;
constexpr Mods kNone = Qt::NoModifier;
constexpr Mods kKeypad = Qt::KeypadModifier;

struct Case {
  int qtKey;
  Mods modifiers;
  const char* text;
  std::uint32_t vkey;
  bool extended;
  int ch;
};

TEST(QtKeysTranslate, QtKeysBecomeVirtualKeysWithTheirCharacters) {
  const Case cases[] = {
      // The cursor block is extended; the keypad is not, whatever the Num Lock state.
      {Qt::Key_Up, kNone, "", 38, true, -1},
      {Qt::Key_Up, kKeypad, "", 104, false, -1},
      {Qt::Key_8, kKeypad, "8", 104, false, '8'},
      {Qt::Key_Home, kNone, "", 36, true, -1},
      {Qt::Key_Home, kKeypad, "", 103, false, -1},
      {Qt::Key_PageDown, kKeypad, "", 99, false, -1},
      {Qt::Key_Insert, kNone, "", 45, true, -1},
      {Qt::Key_Insert, kKeypad, "", 96, false, -1},
      {Qt::Key_Delete, kNone, "\x7f", 46, true, -1},
      {Qt::Key_Delete, kKeypad, "", 110, false, -1},
      {Qt::Key_Clear, kKeypad, "", 101, false, -1},
      {Qt::Key_Period, kKeypad, ".", 110, false, '.'},
      {Qt::Key_Slash, kKeypad, "/", 111, true, '/'},
      {Qt::Key_Asterisk, kKeypad, "*", 106, false, '*'},
      {Qt::Key_Plus, kKeypad, "+", 107, false, '+'},
      {Qt::Key_Minus, kKeypad, "-", 109, false, '-'},
      {Qt::Key_Return, kNone, "\r", 13, false, 13},
      {Qt::Key_Enter, kKeypad, "\r", 13, true, 13},
      {Qt::Key_Tab, kNone, "\t", 9, false, 9},
      {Qt::Key_Backtab, Qt::ShiftModifier, "", 9, false, 9},
      {Qt::Key_Backspace, kNone, "\b", 8, false, 8},
      {Qt::Key_Escape, kNone, "\x1b", 27, false, 27},
      {Qt::Key_F1, kNone, "", 112, false, -1},
      {Qt::Key_F10, kNone, "", 121, false, -1},
      {Qt::Key_F15, kNone, "", 126, false, -1},
      // Characters follow Qt's text, which knows the keyboard layout.
      {Qt::Key_A, kNone, "a", 65, false, 'a'},
      {Qt::Key_A, Qt::ShiftModifier, "A", 65, false, 'A'},
      {Qt::Key_Exclam, Qt::ShiftModifier, "!", 49, false, '!'},
      {Qt::Key_Semicolon, kNone, ";", 186, false, ';'},
      {Qt::Key_BracketLeft, kNone, "[", 219, false, '['},
      {Qt::Key_Space, kNone, " ", 32, false, ' '},
      {Qt::Key_Adiaeresis, kNone, "\xE4", 0, false, 0xE4},
      // Control: letters give control characters, digits none.
      {Qt::Key_A, Qt::ControlModifier, "\x01", 65, false, 1},
      {Qt::Key_Q, Qt::ControlModifier, "", 81, false, 17},
      {Qt::Key_1, Qt::ControlModifier, "1", 49, false, -1},
      {Qt::Key_BracketLeft, Qt::ControlModifier, "\x1b", 219, false, 27},
      {Qt::Key_Backspace, Qt::ControlModifier, "", 8, false, 127},
      {Qt::Key_Shift, Qt::ShiftModifier, "", 16, false, -1},
  };
  for (const Case& c : cases) {
    const KeyScript::KeyPress p =
        QtUi::TranslateKey(c.qtKey, c.modifiers, QString::fromLatin1(c.text), false);
    EXPECT_EQ(p.vkey, c.vkey) << "Qt key " << std::hex << c.qtKey;
    EXPECT_EQ(p.extended, c.extended) << "Qt key " << std::hex << c.qtKey;
    EXPECT_EQ(p.ch, c.ch) << "Qt key " << std::hex << c.qtKey;
  }
}

TEST(QtKeysTranslate, KeyStateCarriesModifiersAndCapsLock) {
  const KeyScript::KeyPress p = QtUi::TranslateKey(
      Qt::Key_X, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier, "", true);
  EXPECT_EQ(p.keyState, 256u | 512u | 1024u | 4096u);
  EXPECT_EQ(QtUi::KeyStateOf(Qt::MetaModifier | Qt::KeypadModifier, false), 2048u);
  // Without Qt's text, Caps Lock decides the case as the platform would.
  EXPECT_EQ(QtUi::TranslateKey(Qt::Key_B, kNone, "", true).ch, 'B');
  EXPECT_EQ(QtUi::TranslateKey(Qt::Key_B, Qt::ShiftModifier, "", true).ch, 'b');
}

// Key scripts typed into Qt's own dialogs go through the reverse table.
TEST(QtKeysReverse, VirtualKeysComeBackAsTheSameQtKeys) {
  const Case cases[] = {
      {Qt::Key_Up, kNone, "", 38, true, 0},          {Qt::Key_8, kKeypad, "", 104, false, 0},
      {Qt::Key_Return, kNone, "", 13, false, 0},     {Qt::Key_Enter, kNone, "", 13, true, 0},
      {Qt::Key_Escape, kNone, "", 27, false, 0},     {Qt::Key_F10, kNone, "", 121, false, 0},
      {Qt::Key_Y, kNone, "", 'Y', false, 0},         {Qt::Key_Slash, kKeypad, "", 111, true, 0},
      {Qt::Key_Semicolon, kNone, "", 186, false, 0}, {Qt::Key_Delete, kNone, "", 46, true, 0},
  };
  for (const Case& c : cases) {
    Mods mods;
    EXPECT_EQ(QtUi::QtKeyFor(c.vkey, c.extended, mods), c.qtKey) << c.vkey;
    EXPECT_EQ(mods, c.modifiers) << c.vkey;
  }
}

} // namespace
