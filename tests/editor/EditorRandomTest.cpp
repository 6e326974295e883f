// Long random key sequences on a text: after every key the cursor and the select range
// lie inside the text, the view shows the cursor, no line outgrows 255 characters, and
// the buffer store stays sound.
#include <random>
#include <string>

#include "EditorFixture.h"

namespace {

using Kind = Toolbox::PlatformMessage::Kind;

// Keys and short key sequences, picked at random. Counts stay small so that a replayed
// macro cannot grow the text beyond what the checks can walk quickly.
constexpr const char* kTokens[] = {
    "a",          "b",          "x",          "' '",          "RETURN",       "'.'",
    "'^'",        "7",          "RETURN",     "TAB",          "BACKSPACE",    "DELETE",
    "ESC",        "C-j",        "C-u",        "C-w",          "C-a",          "C-DELETE",
    "UP",         "DOWN",       "LEFT",       "RIGHT",        "S-UP",         "S-DOWN",
    "S-LEFT",     "S-RIGHT",    "C-LEFT",     "C-RIGHT",      "HOME",         "END",
    "PGUP",       "PGDN",       "S-HOME",     "S-END",        "KP0",          "KP1",
    "KP2",        "KP3",        "KP4",        "KP5",          "KP6",          "KP7",
    "KP8",        "KP9",        "KPENTER",    "KPMINUS",      "KPPLUS",       "KPDOT",
    "KPMUL",      "KPDIV",      "F2",         "F3",           "F4",           "F5",
    "F7",         "F8",         "F12",        "GOLD 2",       "GOLD 9",       "GOLD 3 GOLD",
    "GOLD ESC",   "GOLD KP0",   "GOLD KP1",   "GOLD KP2",     "GOLD KP3",     "GOLD KP4",
    "GOLD KP5",   "GOLD KP6",   "GOLD KP9",   "GOLD KPENTER", "GOLD KPMINUS", "GOLD KPPLUS",
    "GOLD KPDOT", "GOLD KPDIV", "GOLD KPMUL", "GOLD c",       "GOLD l",       "GOLD s",
    "GOLD x",     "GOLD t",     "GOLD m",     "GOLD f",       "GOLD r",       "GOLD w",
    "GOLD e",     "GOLD d",     "GOLD '!'",   "GOLD '@'",     "GOLD '#'",     "GOLD '$'"};
// Typing that makes lines long quickly.
constexpr const char* kPhrases[] = {"'PROCEDURE Foo;' RETURN",
                                    "'abcdefghijklmnopqrstuvwxyz0123456789'"};

class EditorRandomTest : public EditorFixture {
protected:
  // The editor's invariants after a key; context names the key.
  void Check(int key) {
    const Editor::EditorState& e = E();
    ASSERT_NE(e.current, nullptr) << key;
    const std::int32_t count = Lines::Count(e.current);
    const std::int32_t last = std::max(1, count);
    const auto inside = [&](Editor::Position p) {
      return p.line >= 1 && p.line <= last && p.column >= 1 &&
             p.column <= Lines::Length(e.current, p.line) + 1;
    };
    ASSERT_TRUE(inside(e.cursor)) << key << ": " << e.cursor.line << "," << e.cursor.column;
    if (e.selectActive) {
      ASSERT_TRUE(inside(e.anchor)) << key << ": " << e.anchor.line << "," << e.anchor.column;
    }
    ASSERT_GE(e.topLine, 1) << key;
    ASSERT_LE(e.topLine, e.cursor.line) << key;
    ASSERT_LT(e.cursor.line, e.topLine + e.rows) << key;
    ASSERT_GE(e.leftOffset, 0) << key;
    ASSERT_GT(e.cursor.column, e.leftOffset) << key;
    ASSERT_LE(e.cursor.column, e.leftOffset + e.width) << key;
    for (std::int32_t n = 1; n <= count; ++n) {
      ASSERT_LE(Lines::Length(e.current, n), 255) << key << ": line " << n;
    }
  }

  void Feed(unsigned seed, int tokens) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::size_t> pick(0,
                                                    std::size(kTokens) + std::size(kPhrases) - 1);
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<int> row(0, 23);
    std::uniform_int_distribution<int> column(1, 100);
    for (int i = 0; i < tokens; ++i) {
      const int p = percent(random);
      if (p < 4) {
        const int r = row(random);
        const int c = column(random);
        const int clicks = p < 2 ? 1 : p == 2 ? 2 : 3;
        for (int k = 0; k < clicks; ++k) {
          backend.Inject(Mouse(Kind::ButtonDown, r, c, p == 0 ? 512 : 0));
          backend.Inject(Mouse(Kind::ButtonUp, r, c, 0));
        }
      } else if (p < 5) {
        backend.Inject(Mouse(Kind::ButtonDown, row(random), column(random), 0));
        backend.Inject(Mouse(Kind::MouseMove, row(random), column(random), 0));
        backend.InjectTimer();
        backend.Inject(Mouse(Kind::ButtonUp, row(random), column(random), 0));
      } else {
        const std::size_t k = pick(random);
        Inject(k < std::size(kTokens) ? kTokens[k] : kPhrases[k - std::size(kTokens)]);
      }
    }
  }

  // Fixture::Run with the checks after every key.
  void RunChecked() {
    int key = 0;
    Run([&] {
      Check(++key);
      if (key % 256 == 0) backend.ClearDisplayList();
      return !HasFatalFailure();
    });
  }
};

TEST_F(EditorRandomTest, RandomKeysKeepTheEditorConsistent) {
  for (const unsigned seed : {1u, 2u, 3u, 4u, 5u}) {
    Edit({"MODULE Random;", "  PROCEDURE P(x: INTEGER);", "  BEGIN", "    x := 12.5e3 + y_1;",
          "  END P;", std::string(250, 'w'), "", "END Random."});
    Feed(seed, 4000);
    RunChecked();
    ASSERT_FALSE(HasFatalFailure()) << "seed " << seed;
    EXPECT_EQ(Buffer::Testing::CheckStore(), "") << "seed " << seed;
  }
}

} // namespace
