// The line-input editor through the editor's "Find: " prompt: the preset answer, the
// editing keys, the history, keys that end the input and act afterwards, the Edit-menu
// requests and what the message line shows meanwhile.
#include <string>

#include "EditorFixture.h"
#include "editor/LineInput.h"
#include "editwin/ShellStart.h"

namespace {

using Editor::Position;
using Texts = EditorFixture::Texts;

class LineInputTest : public EditorFixture {
protected:
  // Answers "Find: " with keys; returns the search string it left.
  std::string Find(const std::string& keys) {
    Type("GOLD F " + keys);
    return Search();
  }
};

TEST_F(LineInputTest, EditingKeysOnThePresetAnswer) {
  const struct {
    const char* keys;
    const char* answer;
  } cases[] = {
      {"x", "x"},                        // typing replaces the preset
      {"LEFT x", "xabc def"},            // "left" first: to the start, then typing edits
      {"LEFT RIGHT x", "axbc def"},      //
      {"BACKSPACE", ""},                 // deleting first clears the preset too
      {"LEFT DELETE", "bc def"},         // the character under the cursor
      {"C-e BACKSPACE", "abc de"},       // a control key touches: later keys edit
      {"C-d C-d x", "abc dxef"},         // Control/D left
      {"C-e C-h x", "xabc def"},         // Control/H to the start
      {"C-e C-d C-d C-f x", "abc dexf"}, // Control/E end, Control/F right
      {"C-j", "abc "},                   // the previous word
      {"C-j C-j", ""},                   // blanks, then the word before them
      {"C-d C-d C-d C-u", "def"},        // Control/U to the start of the line
      {"LEFT RIGHT ESC", "bc def"},      // ESC likewise
      {"'zz' C-z", "abc def"},           // Control/Z restores the preset
      {"LEFT 'zz' C-z x", "abc defx"},   // and typing then edits it
      {"HOME END PGUP x", "x"},          // keys without a function leave it untouched
  };
  Edit({"abc def"});
  for (const auto& c : cases) {
    SetSearch("abc def");
    EXPECT_EQ(Find(std::string(c.keys) + " RETURN"), c.answer) << c.keys;
  }
}

TEST_F(LineInputTest, OverwriteModeAndAFullLine) {
  Edit({""});
  SetSearch("abc");
  EXPECT_EQ(Find("LEFT C-a 'xy' RETURN"), "xyc");
  // The mode lasts into the next input; at the end of the line typing appends.
  EXPECT_EQ(Find("LEFT x C-e 'yz' RETURN"), "xycyz");
  EXPECT_EQ(Find("LEFT C-a x RETURN"), "xxycyz");

  const std::string full(Editor::kTextHigh, 'k');
  EXPECT_EQ(Find("'" + full + "m' RETURN"), full);
  EXPECT_EQ(backend.SoundLog(), std::vector<std::string>({"Beep 1"}));
}

TEST_F(LineInputTest, HistoryRecallsEarlierAnswers) {
  Edit({""});
  for (const char* answer : {"one", "two", "three"}) Find(std::string("'") + answer + "' RETURN");
  EXPECT_EQ(Find("'now' UP UP RETURN"), "two");
  // Ten steps go round the whole ring back to the line being edited.
  std::string keys = "'again'";
  for (int i = 0; i < 10; ++i) keys += " UP";
  EXPECT_EQ(Find(keys + " RETURN"), "again");
  EXPECT_EQ(Find("'x' UP RETURN"), "again");
  EXPECT_EQ(Find("'x' UP DOWN RETURN"), "x");
  // A recalled line is edited, not replaced, by typing.
  EXPECT_EQ(Find("'y' UP 's' RETURN"), "xs");
}

int f6Calls = 0;
void CountF6(std::int32_t, bool) { ++f6Calls; }

TEST_F(LineInputTest, FunctionKeyEndsTheInputAndThenActsOnceInMacrosToo) {
  Edit({"a q b q c q"});
  Find("'q' F5");
  EXPECT_EQ(Search(), "q");
  EXPECT_EQ(E().current, Shell::CommandText()); // F5 showed the Command window

  Edit({"a q b q c q"});
  E().functionKeys[KeyEvents::KeyF6] = CountF6;
  Type("GOLD L GOLD F 'q' F6 GOLD S");
  EXPECT_EQ(Cursor(), (Position{1, 3})); // the answer was taken and found
  EXPECT_EQ(f6Calls, 1);
  SetSearch("zzz");
  Type("GOLD X");
  EXPECT_EQ(Search(), "q");
  EXPECT_EQ(Cursor(), (Position{1, 7}));
  EXPECT_EQ(f6Calls, 2);
  // Unseen, the prompt is answered without being drawn.
  E().showWhileExecuting = false;
  Type("GOLD X");
  EXPECT_EQ(Cursor(), (Position{1, 11}));
  EXPECT_EQ(f6Calls, 3);
}

TEST_F(LineInputTest, WindowEventEndsTheInputUnanswered) {
  Edit({"abc"});
  SetSearch("b");
  Inject("GOLD F 'zz'");
  Toolbox::PlatformMessage moved;
  moved.kind = Toolbox::PlatformMessage::Kind::Moved;
  moved.window = E().window;
  moved.where = Toolbox::Point{20, 30};
  backend.Inject(moved);
  Type("x");
  EXPECT_EQ(Search(), "b");
  EXPECT_EQ(Lines(), Texts({"xabc"})); // no search ran; x was typed into the text
}

TEST_F(LineInputTest, LongAnswerScrollsWithinTheFieldOnTheMessageLine) {
  const std::string answer = std::string(150, 'a') + "xyz";
  Edit({" " + answer});
  std::string shown;
  bool inverse[3] = {};
  Position cursor;
  WhenWaiting([&] {
    shown = MessageRow();
    inverse[0] = MessageInverse(1);
    inverse[1] = MessageInverse(6);
    inverse[2] = MessageInverse(7);
    cursor = TerminalCursor();
    Inject("LEFT RETURN");
  });
  Type("GOLD F '" + answer + "'");
  // The question in inverse video; the end of the answer in view with the cursor after it.
  ASSERT_GT(shown.size(), 10u);
  EXPECT_EQ(shown.substr(0, 6), "Find: ");
  EXPECT_EQ(shown.substr(shown.size() - 4), "axyz");
  EXPECT_TRUE(inverse[0] && inverse[1] && !inverse[2]);
  EXPECT_EQ(cursor.column, static_cast<int>(shown.size()) + 1);
  // Afterwards the message line and the cursor are the editor's again.
  EXPECT_EQ(Cursor(), (Position{1, 2}));
  EXPECT_EQ(MessageRow(), "");
}

// The Edit menu sends its Cut, Copy and Paste to a running line input.
void EditRequest(std::uint32_t command) { LineInput::SetEditRequest(command & 0xFFFF); }

TEST_F(LineInputTest, EditMenuExchangesTheAnswerWithThePasteBuffer) {
  Edit({""});
  KeyEvents::SetMenuCommandProc(EditRequest);
  auto menu = [&](int request) { backend.InjectMenuCommand(static_cast<std::uint32_t>(request)); };

  Inject("GOLD F 'abc'");
  menu(3); // copy
  Type("RETURN");
  EXPECT_EQ(LinesOf(Buffer::Find("/Shell/Edit.Paste")), Texts({"abc"}));

  // Paste replaces an untouched answer, and inserts into a touched one.
  backend.SetForeignClipboard("xyz");
  Inject("GOLD F");
  menu(1);
  menu(1);
  Type("RETURN");
  EXPECT_EQ(Search(), "xyzxyz");

  Inject("GOLD F");
  menu(2); // cut
  Type("'q' RETURN");
  EXPECT_EQ(Search(), "q");
  EXPECT_EQ(LinesOf(Buffer::Find("/Shell/Edit.Paste")), Texts({"xyzxyz"}));
  EXPECT_FALSE(LineInput::Running());
}

// A menu command chosen while a prompt waits for a key closes the window the prompt is
// in (File > Close): the prompt ends there unanswered, and the next key goes to the text
// the Command window shows then. Nothing is drawn where the prompt was (the sanitizers
// see that).
void CloseCurrentWindow(std::uint32_t) { EditWindows::CloseBufferWindow(Editor::State().current); }

TEST_F(LineInputTest, APromptWhoseWindowClosesEndsUnanswered) {
  KeyEvents::SetMenuCommandProc(CloseCurrentWindow);
  for (const char* prompt : {"GOLD KPMUL 'ab'", "GOLD E 'other'", "GOLD F"}) {
    const Buffer::Ref b = MakeText({"text"}, "/User/Own");
    ASSERT_TRUE(EditWindows::OpenBufferWindow(b, EditWindows::Placement::Automatic));
    SetSearch("before");
    Inject(prompt);
    backend.InjectMenuCommand(1);
    Type("'x' RETURN");
    EXPECT_FALSE(EditWindows::HasOwnWindow(b)) << prompt;
    EXPECT_EQ(E().current, b) << prompt;
    EXPECT_EQ(Lines(), Texts({"x", "text"})) << prompt;
    EXPECT_EQ(Search(), "before") << prompt;
    EXPECT_EQ(Buffer::Find("/User/other"), nullptr) << prompt;
    EXPECT_FALSE(LineInput::Running());
  }
}

} // namespace
