// The dialog model: items' templates and per-kind settings, the failures of Init, keys
// and the default button, identifiers, lists, and the scaling of Open.
#include "DialogTesting.h"

#include "base/Strings.h"

namespace {

using Dialog::DialogItem;
using Dialog::DialogRecord;
using Dialog::ItemKind;

class DialogModelTest : public DialogFixture {
protected:
  DialogRecord d, e;
  DialogItem* items[kHighest + 1] = {};
  DialogItem* more[kHighest + 1] = {};
};

TEST_F(DialogModelTest, CheckBoxBoxesFollowTheItemsHeight) {
  Make(d, items, "Boxes");
  struct Case {
    int height, size, half;
  };
  const Case cases[] = {{12, 9, 3}, {13, 11, 4}, {14, 11, 4}, {15, 14, 6}, {30, 14, 6}};
  for (const Case& c : cases) {
    Dialog::DefineItem(d, 1, ItemKind::CheckBox, "box", false, "Box", 10, 100, 80, c.height);
    const Dialog::CheckArea& a = items[1]->area.check;
    EXPECT_EQ(a.boxSize, c.size) << c.height;
    EXPECT_EQ(a.boxSize2, c.size + 1) << c.height;
    EXPECT_EQ(a.box.left, 13);
    EXPECT_EQ(a.box.right - a.box.left, 2 * c.half) << c.height;
    EXPECT_EQ(a.box.top + a.box.bottom, 2 * ((100 - c.height + 100) / 2)) << c.height;
  }
}

TEST_F(DialogModelTest, DarkBackColoursInvertTheText) {
  Make(d, items, "Colours");
  items[0]->backCol = Toolbox::RGBColor{26000, 26000, 26000};
  Dialog::DefineItem(d, 1, ItemKind::Text, "", false, "t", 0, 20, 50, 16);
  EXPECT_TRUE(items[1]->inverted);
  items[0]->backCol = Toolbox::RGBColor{26000, 26000, 26001};
  Dialog::DefineItem(d, 1, ItemKind::Text, "", false, "t", 0, 20, 50, 16);
  EXPECT_FALSE(items[1]->inverted);
}

TEST_F(DialogModelTest, TheTemplateAndTheKindsSettings) {
  Make(d, items, "Template");
  const DialogItem& t = *items[0];
  EXPECT_TRUE(t.executable && t.enabled && t.frontOnly && !t.visible);
  EXPECT_EQ(t.format, Dialog::NumberFormat::Fixed);
  EXPECT_EQ(t.length, 3);
  EXPECT_EQ(t.lineHeight, 13);
  EXPECT_EQ(t.factor, 1.0);
  EXPECT_EQ(t.backCol, Dialog::kSystemBackColor);
  Dialog::DefineItem(d, 1, ItemKind::Drag, "d", true, "", 0, 20, 50, 16);
  EXPECT_EQ(items[1]->value, items[1]->slot);
  EXPECT_EQ(items[1]->area.drag.pixelsPerStep, 2);
  EXPECT_EQ(items[1]->area.drag.runLength, 50);
  Dialog::DefineItem(d, 2, ItemKind::HighLow, "h", false, "", 0, 40, 50, 16);
  EXPECT_EQ(items[2]->length, 5);
  EXPECT_EQ(items[2]->digits, 4);
  Dialog::DefineItem(d, 3, ItemKind::FramedNumber, "n", false, "label", 0, 60, 50, 16);
  EXPECT_STREQ(items[3]->area.text, "label");
  EXPECT_FALSE(items[3]->executable);
  Dialog::DefineItemStyled(d, 4, ItemKind::Text, "s", false, "x", 0, 80, 50, 16, 0, 5, 0, 12,
                           Dialog::kBold, Dialog::Alignment::Right, false, 1, 2, 3);
  EXPECT_EQ(items[4]->positionX, 3);
  EXPECT_EQ(items[4]->lineHeight, 15);
  // Indices outside 1..highest are ignored.
  Dialog::DefineItem(d, kHighest + 1, ItemKind::Button, "x", false, "", 0, 0, 1, 1);
  Dialog::DefineItem(d, 0, ItemKind::Button, "x", false, "", 0, 0, 1, 1);
  EXPECT_EQ(items[0]->kind, ItemKind::NotKnown);
}

TEST_F(DialogModelTest, BufferNamesAndInitFailures) {
  char name[64];
  Dialog::BufferName("My Dialog/1", name);
  EXPECT_STREQ(name, "My_Dialog_1DialBuffer");
  Make(d, items, "My Dialog/1");
  EXPECT_NE(Buffer::Find("/Shell/My_Dialog_1DialBuffer"), nullptr);
  EXPECT_FALSE(Dialog::Init(e, more, kHighest, false, false, "x", "My Dialog/1", 0, 10, kHighest, 0,
                            100, 100, 100, 0));
  Open(d);
  Dialog::Close(d);
  Dialog::Dispose(d);
  ASSERT_TRUE(Dialog::Init(d, items, kHighest, false, false, "T", "Again", 0, 10, kHighest, 0, 100,
                           100, 100, 0));
  Open(d);
  DialogItem* again[kHighest + 1];
  EXPECT_FALSE(Dialog::Init(d, again, kHighest, false, false, "T", "Other", 0, 10, kHighest, 0, 100,
                            100, 100, 0));
  EXPECT_EQ(backend.AlertLog(),
            (std::vector<std::string>{"Dialog buffer \"My_Dialog_1DialBuffer\" already exists!",
                                      "Cannot initialize \"Other\": already open!"}));
}

TEST_F(DialogModelTest, SetNumberLengthsAndRanges) {
  Make(d, items, "Numbers");
  Dialog::DefineItem(d, 1, ItemKind::Drag, "d", false, "", 0, 20, 50, 16);
  Dialog::SetNumber(d, 1, "mV", Dialog::NumberFormat::Integer, Dialog::ValueType::Int32, 78, 0, 1,
                    -5, 5, 0, true, 7);
  EXPECT_EQ(items[1]->length, 79);
  EXPECT_EQ(items[1]->factor, 1.0); // a factor of 0 is not taken
  EXPECT_EQ(items[1]->area.drag.initialRate, 0.1);
  EXPECT_EQ(items[1]->minimum, -5);
  EXPECT_STREQ(items[1]->unit, "mV");
  Dialog::SetNumber(d, 1, "", Dialog::NumberFormat::Fixed, Dialog::ValueType::Real64, 79, 2, 1, 0,
                    0, 2, false, 0);
  EXPECT_EQ(items[1]->length, 79);
  EXPECT_EQ(items[1]->factor, 2.0);
}

TEST_F(DialogModelTest, ReturnMakesItemOneTheDefaultButton) {
  Make(d, items, "Keys");
  Dialog::DefineItem(d, 1, ItemKind::Button, "ok", false, "OK", 0, 20, 50, 16);
  Dialog::DefineItem(d, 2, ItemKind::Button, "no", false, "No", 0, 40, 50, 16);
  Dialog::SetItemKey(d, 2, KeyEvents::KeyCharacter, 13, 0, false, true);
  EXPECT_EQ(items[2]->frame, Dialog::ButtonFrame);
  Dialog::SetItemKey(d, 1, KeyEvents::KeyCharacter, 13, 0, false, true);
  EXPECT_EQ(items[1]->frame, Dialog::DefaultButtonFrame);
  // Item procedures without a frame procedure keep it.
  Dialog::SetItemProcs(d, 1, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(items[1]->frame, Dialog::DefaultButtonFrame);
  Dialog::SetItemKey(d, 5, KeyEvents::KeyCharacter, 'x', 16, true, false);
  EXPECT_EQ(items[5]->keyChar, 'X');
  EXPECT_EQ(items[5]->keyModifiers, 0);
  EXPECT_EQ(d.highestKey, 5);
}

TEST_F(DialogModelTest, ATakenIdentifierIsReportedWithTheKnownOnes) {
  Make(d, items, "First");
  Dialog::SetProcs(d, {}, 'a');
  Open(d);
  Make(e, more, "Second");
  Dialog::SetProcs(e, {}, 'A');
  EXPECT_TRUE(TextIO::Logging());
  EXPECT_EQ(Output(), "IDchar \"A\" (Second) is already taken: \n   a -> First\n");
}

TEST_F(DialogModelTest, ListEntries) {
  Make(d, items, "Lists");
  Dialog::DefineItem(d, 1, ItemKind::List, "l", false, "", 0, 20, 80, 16);
  Dialog::InitList(d, 1, 2, "Hz");
  Dialog::AddListEntry(d, 1, "  fifty\xCA ");
  Dialog::AddListEntry(d, 1, "-ignored");
  Dialog::AddListEntry(d, 1, "sixty");
  Dialog::SetListEntryText(d, 1, 3, "");
  Dialog::EnableListEntry(d, 1, 3, false);
  EXPECT_EQ(items[1]->area.list.count, 3);
  EXPECT_EQ(items[1]->area.list.label, 2);
  char text[80];
  Dialog::GetListEntryText(d, 1, 1, text);
  EXPECT_STREQ(text, "fiftyHz");
  Dialog::GetListEntryText(d, 1, 2, text);
  EXPECT_STREQ(text, "-Hz");
  EXPECT_FALSE(Dialog::ListEntryEnabled(d, 1, 3));
  EXPECT_TRUE(Dialog::ListEntryEnabled(d, 1, 1));
  Dialog::GetListEntryText(d, 1, 4, text);
  EXPECT_STREQ(text, "");
  // "truefalse" and "highlow" have their entries without InitList.
  Dialog::DefineItem(d, 2, ItemKind::TrueFalse, "tf", false, "", 0, 40, 80, 16);
  Dialog::DefineItem(d, 3, ItemKind::HighLow, "hl", false, "", 0, 60, 80, 16);
  Open(d);
  Dialog::GetListEntryText(d, 2, 2, text);
  EXPECT_STREQ(text, "TRUE");
  Dialog::GetListEntryText(d, 3, 1, text);
  EXPECT_STREQ(text, "LOW");
  EXPECT_EQ(items[3]->area.list.count, 2);
}

TEST_F(DialogModelTest, AnInvertedItemOnALightColourHasADarkFace) {
  auto dark = [](const Toolbox::RGBColor& c) {
    return std::uint32_t{c.red} + c.green + c.blue <= Dialog::kInversionLimit;
  };
  Make(d, items, "Faces");
  Dialog::DefineItem(d, 1, ItemKind::Button, "m1", false, "empty", 10, 30, 60, 20);
  items[1]->inverted = true;
  Open(d);
  backend.ClearDisplayList();
  Dialog::DrawItem(d, 1);
  bool darkFace = false;
  for (const Headless::Drawn& x : backend.DisplayList()) {
    const Toolbox::DrawCommand& c = x.command;
    if (c.op == Toolbox::DrawCommand::Op::Text) {
      EXPECT_TRUE(darkFace) << "the face comes first";
      EXPECT_EQ(c.state.foreColor, (Toolbox::RGBColor{0xFFFF, 0xFFFF, 0xFFFF}));
      EXPECT_TRUE(dark(c.state.backColor));
    }
    if (c.op == Toolbox::DrawCommand::Op::Control) darkFace = dark(c.state.backColor);
  }
  EXPECT_TRUE(darkFace);
}

TEST_F(DialogModelTest, OpenScalesPointsToPixels) {
  Dialog::Testing::SetScreenScale(1.5);
  Make(d, items, "Scaled");
  Dialog::DefineItem(d, 1, ItemKind::CheckBox, "c", false, "C", 10, 40, 100, 20);
  Dialog::SetPane(d, 2, 1, 100);
  Open(d);
  EXPECT_EQ(items[1]->rect, (Toolbox::Rect{15, 30, 165, 60}));
  EXPECT_EQ(items[1]->area.check.box, (Toolbox::Rect{20, 36, 38, 54}));
  EXPECT_EQ(items[1]->pane, 2);
  EXPECT_EQ(Toolbox::GetWindowRect(d.window), (Toolbox::Rect{30, 75, 630, 525}));
  EXPECT_EQ(d.iconizedPlacement.rect, (Toolbox::Rect{30, 75, 234, 76}));
  EXPECT_TRUE(d.open);
  EXPECT_EQ(Dialog::DialogOf(d.window), &d);
  EXPECT_STREQ(d.tag, "DIAL");
  // The item is on pane 2, which is not the current one.
  EXPECT_FALSE(Dialog::Shown(d, 1));
  Dialog::SelectPane(d, 2);
  EXPECT_TRUE(Dialog::Shown(d, 1));
}

} // namespace
