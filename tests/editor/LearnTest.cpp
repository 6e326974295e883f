// Learned macros as key scripts: learning, replaying with a count, the refusals, the
// early stop on a failed search, replay without drawing, the 512-key limit, and the
// Learn menu's slots with the macro file's image.
#include <algorithm>
#include <string>

#include "base/ByteOrder.h"

#include "EditorFixture.h"

namespace {

using Editor::MacroState;
using Editor::Position;
using Texts = EditorFixture::Texts;

class LearnTest : public EditorFixture {
protected:
  // What a Learn menu item shows.
  struct Item {
    std::string text;
    bool enabled = false;
    bool checked = false;
    friend bool operator==(const Item&, const Item&) = default;
  };
  static Item MenuItem(std::int32_t item) {
    char text[80];
    Item i;
    EXPECT_TRUE(Editor::LearnMenuItem(item, text, i.enabled, i.checked));
    i.text = text;
    return i;
  }
  // Learns keys and stores them in a slot under a name.
  void StoreIn(const char* slot, const char* keys, const char* name) {
    Type(std::string("GOLD L ") + keys + " GOLD S");
    backend.AnswerStrings(true, {slot});
    backend.AnswerStrings(true, {name});
    Editor::StoreMacro();
  }

  // The recorded keys as "code:char" (the char only for character keys).
  static std::vector<std::string> Recorded() {
    std::vector<std::string> keys;
    const Editor::LearnedMacro& m = E().macro;
    for (std::int32_t i = 1; i < m.length; ++i) {
      const Editor::MacroKey& k = m.keys[i - 1];
      keys.push_back(k.code == KeyEvents::KeyCharacter ? std::string(1, k.ch)
                                                       : std::to_string(k.code));
    }
    return keys;
  }
};

const std::string kGold = std::to_string(KeyEvents::KeyInsert);

TEST_F(LearnTest, LearnedKeysReplayCountTimes) {
  Edit({""});
  Type("GOLD L");
  EXPECT_EQ(Message(), "Learning a macro ...");
  Type("'ab' GOLD S");
  EXPECT_EQ(Message(), "Stop learning a macro.");
  EXPECT_EQ(Recorded(), (std::vector<std::string>{"a", "b", kGold, "S"}));
  Type("GOLD 3 GOLD X");
  EXPECT_EQ(Lines(), Texts({"abababab"}));
  EXPECT_EQ(E().macro.state, MacroState::None);
  EXPECT_EQ(ScreenRow(1), "abababab");
}

TEST_F(LearnTest, RefusalsSayWhy) {
  Edit({""});
  Type("GOLD X");
  EXPECT_EQ(Message(), "No macro defined.");
  Type("GOLD S");
  EXPECT_EQ(Message(), "No macro definition in progress.");
  Editor::MenuExecute();
  EXPECT_EQ(Message(), "No macro defined.");
  Type("GOLD L");
  Editor::ExecuteSlot(1);
  EXPECT_EQ(Message(), "Macro not loaded: a Macro is still active!");
  Editor::StoreMacro();
  EXPECT_EQ(Message(), "Cannot store Macro: a Macro is still being recorded!");
  Editor::MenuExecute();
  EXPECT_EQ(Message(), "Macro execution not allowed in macro definition.  Ignored.");
  EXPECT_EQ(Lines(), Texts({""}));
}

TEST_F(LearnTest, ExecuteWhileLearningIsRefusedAndNotRecorded) {
  Edit({""});
  Type("GOLD L 'a' GOLD 2 GOLD X");
  EXPECT_EQ(Message(), "Macro execution not allowed in macro definition.  Ignored.");
  EXPECT_EQ(E().macro.state, MacroState::Learning);
  Type("'b' GOLD S");
  // Neither the X nor the GOLD and count before it: the replay types b as b.
  EXPECT_EQ(Recorded(), (std::vector<std::string>{"a", "b", kGold, "S"}));
  Type("GOLD X");
  EXPECT_EQ(Lines(), Texts({"abab"}));
}

TEST_F(LearnTest, MacroStopsAtOnceWhenASearchFails) {
  Edit({"x1 x2 x3"});
  SetSearch("x");
  Type("GOLD L KPMUL DELETE GOLD S");
  EXPECT_EQ(Lines(), Texts({"x1 2 x3"}));
  Type("GOLD 9 GOLD X");
  // The second run's search fails: its DELETE and the other runs never happen.
  EXPECT_EQ(Lines(), Texts({"x1 2 3"}));
  EXPECT_EQ(Message(), "Search string not found");
  EXPECT_EQ(E().macro.state, MacroState::None);
  EXPECT_EQ(Cursor(), (Position{1, 6}));
}

TEST_F(LearnTest, ReplayedPromptsTakeTheirRecordedAnswers) {
  Edit({""});
  MakeText({"src"}, "/User/Src");
  Type("GOLD L GOLD R 'Src' RETURN GOLD S");
  EXPECT_EQ(Lines(), Texts({"src"}));
  Type("GOLD 2 GOLD X");
  EXPECT_EQ(Lines(), Texts({"srcsrcsrc"}));
}

TEST_F(LearnTest, UnseenReplayStoresMessagesAndDrawsOnceAtTheEnd) {
  static LearnTest* self = nullptr;
  static std::vector<std::string> shown; // the message line when F6 ran
  static std::vector<std::string> held;  // the message the editor held then
  self = this;
  E().functionKeys[KeyEvents::KeyF6] = [](std::int32_t, bool) {
    Editor::ShowEditMessage("noted");
    shown.push_back(self->MessageRow());
    held.push_back(Message());
  };
  Edit({""});
  E().showWhileExecuting = false;
  Type("GOLD L 'a' F6 GOLD S");
  backend.ClearDisplayList();
  Type("GOLD 3 GOLD X");
  EXPECT_EQ(Lines(), Texts({"aaaa"}));
  EXPECT_EQ(held, (std::vector<std::string>(4, "noted")));
  EXPECT_EQ(shown, (std::vector<std::string>{"noted", "", "", ""}));
  // Nothing was drawn while the macro ran; the screen was drawn once when it ended.
  EXPECT_EQ(ScreenRow(1), "aaaa");
  int texts = 0;
  for (const Headless::Drawn& d : backend.DisplayList()) {
    if (d.command.op == Toolbox::DrawCommand::Op::Text && !d.command.text.empty()) ++texts;
  }
  EXPECT_LE(texts, 2); // the repeat count's message and the final row
}

TEST_F(LearnTest, OnlyTheFirst512KeysAreKept) {
  Edit({""});
  std::string keys = "GOLD L";
  for (int i = 0; i < 300; ++i) keys += " RETURN";
  for (int i = 0; i < 300; ++i) keys += " a";
  Type(keys + " GOLD S");
  EXPECT_EQ(E().macro.length, 513);
  EXPECT_EQ(Lines().size(), 301u);
  // No recorded GOLD S ends the runs: the macro runs once whatever the count.
  Type("GOLD 5 GOLD X");
  EXPECT_EQ(E().macro.state, MacroState::None);
  EXPECT_EQ(Lines().size(), 601u);
  EXPECT_EQ(Lines().back(), std::string(212, 'a'));
}

TEST_F(LearnTest, MenuCommandsAppendTheirKeysWhileLearning) {
  Edit({"abc"});
  Editor::AppendMacroKey(KeyEvents::KeyCharacter, 'z');
  EXPECT_EQ(E().macro.length, 1); // not learning: nothing
  Type("GOLD L");
  Editor::AppendMacroKey(KeyEvents::KeyCharacter, 'z');
  Type("GOLD S GOLD X");
  EXPECT_EQ(Lines(), Texts({"zabc"}));
}

// Control+C typed while a macro runs a million times stops it: what it did stays and
// the keys after it are typed as usual.
TEST_F(LearnTest, ControlCInterruptsAnExecutingMacro) {
  Edit({""});
  Type("GOLD L 'a' RETURN GOLD S");
  Type("GOLD '1000000' GOLD X C-c");
  EXPECT_EQ(E().macro.state, MacroState::None);
  EXPECT_EQ(Message(), "Interrupted.");
  Type("'z'");
  const Texts lines = Lines();
  EXPECT_GT(lines.size(), 2u);
  EXPECT_LT(lines.size(), 100000u);
  EXPECT_EQ(lines[lines.size() - 2], "a");
  EXPECT_EQ(lines.back(), "z");
}

// A count whose lines could never fit in the text is refused before anything changes.
TEST_F(LearnTest, HugeCountsAreRefusedAndChangeNothing) {
  Edit({"abc"});
  for (const char* keys : {"KP2 GOLD '999999999' RETURN 'x'", "KP2 GOLD '999999999' GOLD KP0 'x'",
                           "KP2 F4 GOLD '999999999' F2 'x'"}) {
    Edit({"abc"});
    Type(keys);
    EXPECT_EQ(Lines(), Texts({"abcx"})) << keys;
  }
  Edit({"abc"});
  Type("KP2 GOLD '999999999' RETURN");
  EXPECT_EQ(Message(), "Repeat count too large for this text.");
}

// Store asks for a slot until it gets one from 1 to 9 and for a name; the slot comes back
// from the macro file's image and replays from the Learn menu, once.
TEST_F(LearnTest, StoredSlotsSurviveTheirImageAndReplay) {
  static int menuUpdates = 0;
  Editor::SetLearnMenuProc([] { ++menuUpdates; });
  Edit({""});
  Type("GOLD L 'ab' GOLD S");
  Editor::StoreMacro();
  EXPECT_EQ(backend.Unanswered().back(), "AskStrings: Macro index [1..9]: ");
  backend.AnswerStrings(true, {"12"});
  backend.AnswerStrings(true, {"2"});
  backend.AnswerStrings(true, {"twice"});
  Editor::StoreMacro();
  EXPECT_EQ(Message(), "Macro \"twice\" saved in buffer 2");
  EXPECT_EQ(std::count(backend.SoundLog().begin(), backend.SoundLog().end(), "Beep 1"), 1);
  EXPECT_EQ(MenuItem(6), (Item{"twice", true, false}));

  const std::string image = Editor::MacroImage();
  ASSERT_EQ(image.size(), Editor::kMacroFileSize);
  Editor::ResetMacroSlots();
  EXPECT_EQ(MenuItem(6), (Item{"Macro 2", false, false}));
  EXPECT_EQ(Editor::ReadMacroImage(image), Editor::MacroFileCheck::Accepted);
  E().macro = Editor::LearnedMacro{};
  Editor::ExecuteSlot(2);
  EXPECT_EQ(Lines(), Texts({"abab"}));
  EXPECT_EQ(E().macro.state, MacroState::None);

  EXPECT_EQ(MenuItem(16), (Item{"", true, true}));
  Editor::ToggleShowWhileExecuting();
  EXPECT_EQ(MenuItem(16), (Item{"", true, false}));
  EXPECT_EQ(menuUpdates, 4);
}

TEST_F(LearnTest, StoringWithoutAMacroClearsTheSlot) {
  Edit({""});
  StoreIn("3", "'abc'", "abc");
  ASSERT_EQ(MenuItem(7), (Item{"abc", true, false}));
  E().macro = Editor::LearnedMacro{};
  Editor::StoreMacro(); // cancelled: nothing changes
  EXPECT_EQ(backend.Unanswered().back(), "AskStrings: Macro to clear [1..9]:");
  EXPECT_EQ(MenuItem(7), (Item{"abc", true, false}));
  backend.AnswerStrings(true, {"3"});
  Editor::StoreMacro();
  EXPECT_EQ(Message(), "Macro[3] cleared.");
  EXPECT_EQ(MenuItem(7), (Item{"Macro 3", false, false}));
}

// An image that is not a whole macro file of this version, or holds a slot no keyboard
// could have recorded, leaves every slot empty.
TEST_F(LearnTest, DamagedMacroImagesLeaveEverySlotEmpty) {
  const std::string empty = Editor::MacroImage();
  Edit({""});
  StoreIn("1", "'ab'", "ab");
  const std::string good = Editor::MacroImage();
  const std::size_t slot1 = 12;
  const auto with = [&](std::size_t at, std::uint32_t value) {
    std::string s = good;
    ByteOrder::Put32(s.data() + at, value);
    return s;
  };
  std::string mouseKey = good;
  mouseKey[slot1 + 36 + 1] = static_cast<char>(KeyEvents::KeyMouse);
  using Check = Editor::MacroFileCheck;
  const struct {
    std::string image;
    Check check;
  } cases[] = {
      {good.substr(0, good.size() - 1), Check::WrongLength},
      {"MACX" + good.substr(4), Check::WrongType},
      {with(8, 499), Check::WrongVersion},
      {with(slot1, 0), Check::BadSlot},
      {with(slot1, Editor::kMacroKeys + 2), Check::BadSlot},
      {mouseKey, Check::BadSlot},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Editor::ReadMacroImage(good), Check::Accepted);
    EXPECT_EQ(Editor::ReadMacroImage(c.image), c.check);
    EXPECT_EQ(Editor::MacroImage(), empty);
  }
}

} // namespace
