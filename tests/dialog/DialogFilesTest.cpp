// Dialog files: what a store writes, round trips with scaling, records matched by name,
// longer and shorter records, version conflicts, and bad files that leave the dialog
// usable.
#include "DialogTesting.h"

#include <fstream>
#include <iterator>

#include "base/ByteOrder.h"

namespace {

using Dialog::DialogItem;
using Dialog::DialogRecord;
using Dialog::ItemKind;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kHeader = 512, kRecord = 312;

class DialogFilesTest : public DialogFixture {
protected:
  // Items "one" .. "three" (a button, a check box, a drag item) in the given order.
  void Layout(DialogRecord& d, std::initializer_list<const char*> names, std::int32_t shift = 0) {
    int index = 1;
    for (const char* name : names) {
      const std::string n = name;
      const ItemKind kind = n == "one"   ? ItemKind::Button
                            : n == "two" ? ItemKind::CheckBox
                                         : ItemKind::Drag;
      Dialog::DefineItem(d, index, kind, base::CharsOf(name), true, base::CharsOf(name), 10 + shift,
                         30 * index + 30, 90, 20);
      ++index;
    }
  }
  Bytes Read(const std::string& name) {
    std::ifstream in(dir + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void Write(const std::string& name, const Bytes& bytes) {
    std::ofstream out(dir + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  static Toolbox::Rect RecordRect(const Bytes& b, std::size_t record) {
    const std::uint8_t* p = b.data() + kHeader + record * kRecord + 216;
    return Toolbox::Rect{std::int32_t(ByteOrder::Get32(p)), std::int32_t(ByteOrder::Get32(p + 4)),
                         std::int32_t(ByteOrder::Get32(p + 8)),
                         std::int32_t(ByteOrder::Get32(p + 12))};
  }
  // A stored dialog "Saved" of version 3 with items one, two, three, as bytes.
  Bytes Saved() {
    Make(saved, savedItems, "Saved", false, kHighest, 3);
    Layout(saved, {"one", "two", "three"});
    EXPECT_TRUE(Dialog::Store(saved, ""));
    return Read("Saved.dia");
  }
  DialogRecord d, saved;
  DialogItem* items[kHighest + 1] = {};
  DialogItem* savedItems[kHighest + 1] = {};
};

TEST_F(DialogFilesTest, AStoreWritesTheHeaderAndOneRecordPerItem) {
  const Bytes b = Saved();
  ASSERT_EQ(b.size(), kHeader + (kHighest + 1) * kRecord);
  EXPECT_EQ(ByteOrder::Get32(&b[0]), 3u);
  EXPECT_EQ(ByteOrder::Get32(&b[4]), kHeader);
  EXPECT_EQ(ByteOrder::Get32(&b[8]), kRecord);
  EXPECT_EQ(ByteOrder::Get16(&b[12]), 3u);
  EXPECT_EQ(ByteOrder::Get16(&b[14]), 1u);
  EXPECT_EQ(b[16], 1);
  // Item 0 holds the title; the others their names and, at scale 1, their rectangles.
  EXPECT_STREQ(reinterpret_cast<const char*>(&b[kHeader + 86]), "Saved");
  EXPECT_STREQ(reinterpret_cast<const char*>(&b[kHeader + kRecord]), "one");
  EXPECT_EQ(RecordRect(b, 2), (Toolbox::Rect{10, 70, 100, 90}));
  // The length of a check box is not stored; its box is.
  EXPECT_EQ(ByteOrder::Get16(&b[kHeader + 2 * kRecord + 190]), 0u);
  EXPECT_EQ(ByteOrder::Get32(&b[kHeader + 2 * kRecord + 232]), 13u);
}

TEST_F(DialogFilesTest, FilesHoldPointsWhateverTheScreensScale) {
  Make(d, items, "Scaled Dialog/2");
  Layout(d, {"one", "two"});
  Dialog::Testing::SetScreenScale(2.0);
  Open(d);
  EXPECT_EQ(items[1]->rect, (Toolbox::Rect{20, 80, 200, 120}));
  ASSERT_TRUE(Dialog::Store(d, ""));
  const Bytes b = Read("Scaled_Dialog2.dia");
  EXPECT_EQ(RecordRect(b, 1), (Toolbox::Rect{10, 40, 100, 60}));
  // Into the open dialog the file comes back at the screen's scale.
  items[1]->rect = Toolbox::Rect{};
  ASSERT_TRUE(Dialog::Load(d, "", true));
  EXPECT_EQ(items[1]->rect, (Toolbox::Rect{20, 80, 200, 120}));
}

TEST_F(DialogFilesTest, RecordsFindTheirItemsByName) {
  Saved();
  Make(d, items, "Renumbered");
  Layout(d, {"three", "x", "one", "two"}, 100);
  items[2]->name[0] = 'y';
  ASSERT_TRUE(Dialog::Load(d, "Saved.dia", true));
  EXPECT_EQ(items[1]->rect.left, 10); // "three"
  EXPECT_EQ(items[1]->rect.top, 100);
  EXPECT_EQ(items[2]->rect.left, 110); // no record of its name
  EXPECT_EQ(items[3]->rect.top, 40);   // "one"
  EXPECT_EQ(items[4]->kind, ItemKind::CheckBox);
  EXPECT_EQ(d.version, 3);
  EXPECT_STREQ(items[0]->text, "Saved");
}

TEST_F(DialogFilesTest, AnotherVersionIsLoadedOnlyWhenTheUserSaysSo) {
  Saved();
  Make(d, items, "Versions", false, kHighest, 2);
  Layout(d, {"one"}, 50);
  EXPECT_FALSE(Dialog::Load(d, "Saved.dia", true)); // unanswered: Abort
  EXPECT_EQ(items[1]->rect.left, 60);
  backend.AnswerThreeButtons(1);
  EXPECT_TRUE(Dialog::Load(d, "Saved.dia", true));
  EXPECT_EQ(items[1]->rect.left, 10);
  EXPECT_EQ(d.version, 3);
  EXPECT_EQ(backend.AlertLog(),
            (std::vector<std::string>{"Version conflict loading \"Saved.dia\":",
                                      "Version conflict loading \"Saved.dia\":"}));
}

TEST_F(DialogFilesTest, LongerRecordsAreSkippedAndShorterOnesKeepTheRest) {
  const Bytes saved = Saved();
  auto rewritten = [&](std::uint32_t length) {
    Bytes b(saved.begin(), saved.begin() + kHeader);
    ByteOrder::Put32(&b[8], length);
    for (std::size_t r = 0; r <= kHighest; ++r) {
      const auto* record = &saved[kHeader + r * kRecord];
      const std::size_t keep = std::min<std::size_t>(length, kRecord);
      b.insert(b.end(), record, record + keep);
      b.insert(b.end(), length - keep, 0xEE);
    }
    return b;
  };
  Write("Long.dia", rewritten(600));
  Make(d, items, "Long", false, kHighest, 3);
  Layout(d, {"one", "two", "three"}, 200);
  ASSERT_TRUE(Dialog::Load(d, "Long.dia", true));
  EXPECT_EQ(items[3]->rect, (Toolbox::Rect{10, 100, 100, 120}));
  Write("Short.dia", rewritten(200));
  Layout(d, {"one", "two", "three"}, 200);
  items[2]->text[0] = 'T';
  ASSERT_TRUE(Dialog::Load(d, "Short.dia", true));
  EXPECT_STREQ(items[2]->text, "two"); // within the record
  EXPECT_EQ(items[2]->rect.left, 210); // beyond it
}

TEST_F(DialogFilesTest, MissingAndBadFilesLeaveTheDialogUsable) {
  Make(d, items, "Bad");
  Layout(d, {"one"});
  EXPECT_TRUE(Dialog::Load(d, "", false));
  EXPECT_FALSE(Dialog::Load(d, "", true));
  const Bytes saved = Saved();
  Write("Truncated.dia", Bytes(saved.begin(), saved.begin() + 300));
  EXPECT_FALSE(Dialog::Load(d, "Truncated.dia", true));
  Bytes header(saved.begin(), saved.begin() + kHeader);
  Write("Empty.dia", header);
  EXPECT_FALSE(Dialog::Load(d, "Empty.dia", true));
  Bytes wrong = saved;
  ByteOrder::Put32(&wrong[4], 500);
  Write("Wrong.dia", wrong);
  EXPECT_FALSE(Dialog::Load(d, "Wrong.dia", true));
  wrong = saved;
  wrong[16] = 2;
  Write("Cpu.dia", wrong);
  EXPECT_FALSE(Dialog::Load(d, "Cpu.dia", false));
  EXPECT_EQ(backend.AlertLog(),
            (std::vector<std::string>{
                "Error loading 'Bad.dia':   file not found",
                "Error loading 'Truncated.dia':   end of file",
                "Error loading 'Empty.dia':   end of file",
                "Header Length conflict loading \"Wrong.dia\":\" loading aborted.",
                "Version conflict (wrong CPU) loading \"Cpu.dia\":\" loading aborted."}));
  // Garbage after a good header: whatever it holds goes into the items it names.
  Bytes garbage(saved.begin(), saved.begin() + kHeader + kRecord);
  for (std::size_t i = 0; i < 5 * kRecord; ++i) garbage.push_back(std::uint8_t(i * 37 + 11));
  Write("Garbage.dia", garbage);
  EXPECT_TRUE(Dialog::Load(d, "Garbage.dia", true));
  bool on = false;
  Dialog::BindValue(d, 1, &on, Dialog::ValueType::Boolean);
  Open(d);
  Click(d, 1);
  EXPECT_TRUE(on);
}

TEST_F(DialogFilesTest, StoreFailuresAreReported) {
  Make(d, items, "Fails");
  d.storable = false;
  EXPECT_FALSE(Dialog::Store(d, ""));
  EXPECT_FALSE(Dialog::Load(d, "", true));
  d.storable = true;
  EXPECT_FALSE(Dialog::Store(d, "/nonexistent/dir/x.dia"));
  char name[16] = "";
  Dialog::FileName(d, name);
  EXPECT_STREQ(name, "Fails.dia");
  EXPECT_EQ(backend.AlertLog(),
            (std::vector<std::string>{
                "Error: this dialog cannot be stored!", "Error: dialog not setup to be read!",
                "Error storing '/nonexistent/dir/x.dia':   directory not found"}));
}

} // namespace
