#include "platform/KeyScript.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Toolbox::PlatformMessage;
using Kind = PlatformMessage::Kind;

namespace {

std::vector<PlatformMessage> Parsed(const std::string& script) {
  std::vector<PlatformMessage> out;
  std::string error;
  EXPECT_TRUE(KeyScript::Parse(script, out, error)) << error;
  return out;
}

// The messages in a compact form: "K65/0" key down, "S121/0" system key down with the
// key state, "+" after an extended key, "'a'" a character.
std::string Shown(const std::vector<PlatformMessage>& messages) {
  std::string s;
  for (const PlatformMessage& m : messages) {
    if (!s.empty()) s += ' ';
    if (m.kind == Kind::Character) {
      const unsigned char c = static_cast<unsigned char>(m.ch);
      s += c >= 32 ? "'" + std::string(1, m.ch) + "'" : "^" + std::to_string(c);
      continue;
    }
    s += m.kind == Kind::SysKeyDown ? 'S' : 'K';
    s += std::to_string(m.vkey) + "/" + std::to_string(m.keyState);
    if (m.extended) s += '+';
  }
  return s;
}

TEST(KeyScriptText, TypesEachCharacterAsKeyDownThenCharacter) {
  EXPECT_EQ(Shown(Parsed("'aB 1!'")), "K65/0 'a' K66/512 'B' K32/0 ' ' K49/0 '1' K49/512 '!'");
  // Characters no key of the keyboard types come as a character after key 0.
  EXPECT_EQ(Shown(Parsed("'\xE9'")), "K0/0 '\xE9'");
  // A script in UTF-8, as a shell gives it, types the characters of the set.
  EXPECT_EQ(Shown(Parsed("'\xC3\xA9\xE2\x82\xAC\xCF\x80'")),
            "K0/0 '\xE9' K0/0 '\x80' K191/512 '?'");
}

TEST(KeyScriptText, ClipboardTextIsUtf8ForTheDesktop) {
  const std::vector<PlatformMessage> utf8 = Parsed("CLIPBOARD'5 \xE2\x82\xAC, \xCF\x80' x");
  ASSERT_EQ(utf8.size(), 3u);
  EXPECT_EQ(utf8[0].kind, Kind::ClipboardText);
  EXPECT_EQ(utf8[0].text, "5 \xE2\x82\xAC, \xCF\x80");
  const std::vector<PlatformMessage> set = Parsed("clipboard\"it\"\"s \x80\"");
  ASSERT_EQ(set.size(), 1u);
  EXPECT_EQ(set[0].text, "it\"s \xE2\x82\xAC") << "a script of the set's characters";
}

TEST(KeyScriptText, OpeningQuoteIsTypedByDoublingIt) {
  EXPECT_EQ(Shown(Parsed("'it''s'")), Shown(Parsed("\"it's\"")));
  EXPECT_EQ(Shown(Parsed("'''' \"\"\"\"")), "K222/0 ''' K222/512 '\"'");
  EXPECT_TRUE(Parsed("''").empty());
}

TEST(KeyScriptNames, NamedKeysGiveTheirCodesAndCharacters) {
  struct Case {
    const char* script;
    const char* shown;
  };
  const Case cases[] = {
      {"RETURN", "K13/0 ^13"},   {"ENTER", "K13/0 ^13"},   {"KPENTER", "K13/0+ ^13"},
      {"TAB", "K9/0 ^9"},        {"ESC", "K27/0 ^27"},     {"BACKSPACE", "K8/0 ^8"},
      {"UP", "K38/0+"},          {"pgdn", "K34/0+"},       {"GOLD", "K45/0+"},
      {"INSERT", "K45/0+"},      {"DELETE", "K46/0+"},     {"KP8", "K104/0 '8'"},
      {"KP0", "K96/0 '0'"},      {"KPDIV", "K111/0+ '/'"}, {"KPMUL", "K106/0 '*'"},
      {"KPMINUS", "K109/0 '-'"}, {"KPDOT", "K110/0 '.'"},  {"F1", "K112/0"},
      {"F10", "S121/0"},         {"F15", "K126/0"},        {"7", "K55/0 '7'"},
      {"q", "K81/0 'q'"},        {"Q", "K81/512 'Q'"},
  };
  for (const Case& c : cases) EXPECT_EQ(Shown(Parsed(c.script)), c.shown) << c.script;
}

TEST(KeyScriptPrefixes, AddModifiersAsThePlatformTranslatesThem) {
  // Control with a letter gives the control character; with a digit, none.
  EXPECT_EQ(Shown(Parsed("C-q C-Q c-a")), "K81/4096 ^17 K81/4096 ^17 K65/4096 ^1");
  EXPECT_EQ(Shown(Parsed("C-1")), "K49/4096");
  EXPECT_EQ(Shown(Parsed("S-a S-RIGHT")), "K65/512 'A' K39/512+");
  EXPECT_EQ(Shown(Parsed("C-S-END")), "K35/4608+");
  // Alt makes a system key, which the platform does not translate into a character.
  EXPECT_EQ(Shown(Parsed("A-x")), "S88/256");
  EXPECT_EQ(Shown(Parsed("C-A-x")), "K88/4352");
  EXPECT_EQ(Shown(Parsed("C-RETURN")), "K13/4096 ^10");
}

TEST(KeyScriptMouse, ClicksAndDragsAtPointsOfTheFrontWindow) {
  const std::vector<PlatformMessage> out = Parsed("CLICK@10,20 drag@5,6,-3,4");
  const Kind kinds[] = {Kind::ButtonDown, Kind::ButtonUp, Kind::ButtonDown, Kind::MouseMove,
                        Kind::ButtonUp};
  const Toolbox::Point places[] = {{10, 20}, {10, 20}, {5, 6}, {2, 10}, {2, 10}};
  ASSERT_EQ(out.size(), 5u);
  for (std::size_t i = 0; i < out.size(); ++i) {
    EXPECT_EQ(out[i].kind, kinds[i]) << i;
    EXPECT_EQ(out[i].where, places[i]) << i;
    EXPECT_TRUE(out[i].frontLocal && out[i].window == nullptr) << i;
  }
}

// A title before the place names the window; prefixes hold their keys over the action.
TEST(KeyScriptMouse, ActionsOnNamedWindowsWithModifiersAndPauses) {
  const std::vector<PlatformMessage> out =
      Parsed("C-CLICK@Control_Panel:10,20 dclick@3,4 S-MOVE@Macros:7,8 C-WAIT@1500 DCLICK");
  ASSERT_EQ(out.size(), 12u);
  EXPECT_EQ(out[0].windowTitle, "Control Panel");
  EXPECT_EQ(out[0].where, (Toolbox::Point{10, 20}));
  EXPECT_EQ(out[0].keyState, 4096u);
  EXPECT_EQ(out[0].buttonFlags, 1u | 8u);
  EXPECT_EQ(out[1].kind, Kind::ButtonUp);
  for (std::size_t i = 2; i < 6; ++i) {
    EXPECT_EQ(out[i].kind, i % 2 == 0 ? Kind::ButtonDown : Kind::ButtonUp) << i;
    EXPECT_TRUE(out[i].frontLocal && out[i].windowTitle.empty()) << i;
  }
  EXPECT_EQ(out[6].kind, Kind::MouseMove);
  EXPECT_EQ(out[6].windowTitle, "Macros");
  EXPECT_EQ(out[6].keyState, 512u);
  EXPECT_EQ(out[7].kind, Kind::Timer);
  EXPECT_EQ(out[7].waitMs, 1500u);
  EXPECT_EQ(out[7].keyState, 4096u);
  // A double click in the middle of the front window: two clicks there.
  for (std::size_t i = 8; i < 12; ++i) EXPECT_EQ(out[i].where, KeyScript::kFrontCentre) << i;
}

// A menu command names its menu and item; '_' stands for a blank. The frame's window
// takes a size, a window (named or in front) a place and a size as a user's drag gives.
TEST(KeyScriptMouse, MenuCommandsAndWindowPlacesCarryWhatTheyName) {
  const std::vector<PlatformMessage> out =
      Parsed("menu@Macros/Open_Macros_Editor RESIZE@1200,900 place@List:10,-20,300,200 "
             "PLACE@1,2,3,4");
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0].kind, Kind::MenuCommand);
  EXPECT_EQ(out[0].menuCommand, 0u);
  EXPECT_EQ(out[0].menuPath, "Macros/Open Macros Editor");
  EXPECT_EQ(out[1].kind, Kind::FrameSized);
  EXPECT_EQ(out[1].where, (Toolbox::Point{1200, 900}));
  EXPECT_EQ(out[2].kind, Kind::Moved);
  EXPECT_TRUE(out[2].place);
  EXPECT_EQ(out[2].windowTitle, "List");
  EXPECT_EQ(out[2].where, (Toolbox::Point{10, -20}));
  EXPECT_EQ(out[2].size, (Toolbox::Point{300, 200}));
  EXPECT_TRUE(out[3].place && out[3].windowTitle.empty() && out[3].window == nullptr);
}

TEST(KeyScriptErrors, NameTheTokenAndLeaveTheOutputAlone) {
  struct Case {
    const char* script;
    const char* error;
  };
  const Case cases[] = {
      {"RETURN FOO", "key script: token 2 \"FOO\": unknown key name"},
      {"'abc", "key script: token 1 \"'abc\": the text has no closing quote"},
      {"'ab'c", "key script: token 1 \"'ab'c\": a blank must follow the closing quote"},
      {"C-", "key script: token 1 \"C-\": a prefix must be followed by a key"},
      {"UP C-S-", "key script: token 2 \"C-S-\": a prefix must be followed by a key"},
      {"C-[", "key script: token 1 \"C-[\": only letters and digits may be written without quotes"},
      {"'a\x01'",
       "key script: token 1 \"'a\x01'\": the text holds a control character no key types"},
      {"F16", "key script: token 1 \"F16\": unknown key name"},
      {"KP10", "key script: token 1 \"KP10\": unknown key name"},
      {"X-a", "key script: token 1 \"X-a\": unknown key name"},
      {"CLICK@1,2,3", "key script: token 1 \"CLICK@1,2,3\": unknown key name"},
      {"DRAG@1,2,x,4", "key script: token 1 \"DRAG@1,2,x,4\": unknown key name"},
      {"MENU@File", "key script: token 1 \"MENU@File\": unknown key name"},
      {"MENU@/Open", "key script: token 1 \"MENU@/Open\": unknown key name"},
      {"C-MENU@File/Open", "key script: token 1 \"C-MENU@File/Open\": unknown key name"},
      {"WAIT@0", "key script: token 1 \"WAIT@0\": unknown key name"},
      {"WAIT@600001", "key script: token 1 \"WAIT@600001\": unknown key name"},
      {"CLICK@:1,2", "key script: token 1 \"CLICK@:1,2\": unknown key name"},
      {"RESIZE@0,400", "key script: token 1 \"RESIZE@0,400\": unknown key name"},
      {"RESIZE@-5,400", "key script: token 1 \"RESIZE@-5,400\": unknown key name"},
      {"C-RESIZE@800,600", "key script: token 1 \"C-RESIZE@800,600\": unknown key name"},
      {"PLACE@1,2,0,4", "key script: token 1 \"PLACE@1,2,0,4\": unknown key name"},
      {"PLACE@List:1,2,3", "key script: token 1 \"PLACE@List:1,2,3\": unknown key name"},
  };
  for (const Case& c : cases) {
    std::vector<PlatformMessage> out(1);
    std::string error;
    EXPECT_FALSE(KeyScript::Parse(c.script, out, error)) << c.script;
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(out.size(), 1u) << c.script;
  }
}

} // namespace
