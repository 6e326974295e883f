// The commands that touch characters, each on a text decoded from UTF-8 (characters of
// the set) and on one that keeps a UTF-8 file with characters outside the set as its
// bytes: in the second, no byte of a character the user did not edit may change.
#include <gtest/gtest.h>

#include <string>

#include "../editor/EditorFixture.h"
#include "base/Charset.h"
#include "shell/FileCommands.h"
#include "shell/FindAll.h"

namespace {

using Charset::Coding;
using Texts = EditorFixture::Texts;

// "Grüße für Mädchen, 20°C": as characters of the set, and as UTF-8.
const std::string kSet = "Gr\xFC\xDF"
                         "e f\xFCr M\xE4"
                         "dchen, 20\xB0"
                         "C";
const std::string kUtf8 = "Gr\xC3\xBC\xC3\x9F"
                          "e f\xC3\xBCr M\xC3\xA4"
                          "dchen, 20\xC2\xB0"
                          "C";
const std::string kPi = "\xCF\x80", kAlmost = "\xE2\x89\x88";

class CodingTest : public EditorFixture {
protected:
  // A text as a load of a UTF-8 file makes it: decoded (lines of the set) or kept.
  Buffer::Ref EditAs(Coding coding, const Texts& lines, std::string_view path = "/User/Test") {
    Buffer::Ref b = Edit(lines, path);
    EXPECT_TRUE(Lines::SetForm(b, Lines::Form{coding}));
    return b;
  }
  static std::string Clipboard() {
    std::string text;
    Toolbox::GetClipboardText(text);
    return text;
  }
};

TEST_F(CodingTest, ChangeCaseTakesTheLettersOfTheSetButNoByteOfKeptUtf8) {
  // A range that starts with a small letter goes to capitals.
  EditAs(Coding::Utf8, {"f\xFCr " + kSet});
  Type("GOLD 2 8 GOLD KP1");
  EXPECT_EQ(Lines(), Texts({"F\xDCR GR\xDC\xDF"
                            "E F\xDCR M\xC4"
                            "DCHEN, 20\xB0"
                            "C"}))
      << "ß has no capital in the set";
  EditAs(Coding::Utf8Bytes, {"f\xC3\xBCr " + kUtf8 + " " + kPi});
  Type("GOLD 4 5 GOLD KP1");
  EXPECT_EQ(Lines(), Texts({"F\xC3\xBCR GR\xC3\xBC\xC3\x9F"
                            "E F\xC3\xBCR M\xC3\xA4"
                            "DCHEN, 20\xC2\xB0"
                            "C " +
                            kPi}));
}

TEST_F(CodingTest, StripMarksAndTabsLeaveKeptUtf8Alone) {
  EditAs(Coding::Utf8, {kSet + " ;"});
  FileCommands::StripMarks();
  EXPECT_EQ(Lines(), Texts({"Gr\xFC\xDF"
                            "e f\xFCr M\xE4"
                            "dchen, 20C;"}))
      << "the degree sign has the code of a mark; the letters are no marks";
  EXPECT_EQ(Message(), "1 marks removed.");

  const std::string kept = kUtf8 + " " + kPi + "\t" + kAlmost;
  EditAs(Coding::Utf8Bytes, {kept + "  "});
  FileCommands::StripMarks();
  EXPECT_EQ(Lines(), Texts({kept})) << "only the trailing blanks go";
  FileCommands::StripTabs();
  EXPECT_TRUE(Lines()[0].starts_with(kUtf8 + " " + kPi + " ")) << Lines()[0];
  EXPECT_TRUE(Lines()[0].ends_with(" " + kAlmost)) << Lines()[0];
  EXPECT_EQ(Lines()[0].find('\t'), std::string::npos);
  EXPECT_EQ(Message(), "TABs stripped: 1");
}

TEST_F(CodingTest, FindAndReplaceMatchWhatTheUserSees) {
  for (const Coding coding : {Coding::Utf8, Coding::Utf8Bytes}) {
    const bool kept = coding == Coding::Utf8Bytes;
    SCOPED_TRACE(kept ? "kept" : "decoded");
    EditAs(coding, {"x", kept ? kPi + " " + kUtf8 : kSet});
    SetSearch("f\xFCr");
    Type("KPMUL");
    EXPECT_EQ(Cursor().line, 2);
    EXPECT_EQ(Cursor().column, kept ? 12 : 7);
    backend.SetForeignClipboard("fuer");
    Type("GOLD KP9");
    EXPECT_EQ(Lines()[1], kept ? kPi + " Gr\xC3\xBC\xC3\x9F"
                                       "e fuer M\xC3\xA4"
                                       "dchen, 20\xC2\xB0"
                                       "C"
                               : "Gr\xFC\xDF"
                                 "e fuer M\xE4"
                                 "dchen, 20\xB0"
                                 "C");
    SetSearch("\xC3");
    Type("HOME KPMUL");
    EXPECT_EQ(Message(), "Search string not found")
        << "a character of the set never matches a byte of another character";
  }
}

TEST_F(CodingTest, UndoAndUndeleteGiveKeptUtf8BackAsItWas) {
  const std::string line = "x " + kPi + kAlmost + " " + kUtf8;
  EditAs(Coding::Utf8Bytes, {line});
  Type("GOLD 2 KP3 GOLD 5 DELETE");
  EXPECT_EQ(Lines(), Texts({"x  " + kUtf8}));
  Type("GOLD '!'");
  EXPECT_EQ(Lines(), Texts({line})) << "undo";
  Type("GOLD KP5 GOLD 2 KP3 KPPLUS");
  EXPECT_EQ(Lines(), Texts({"x " + kUtf8}));
  Type("GOLD KPPLUS");
  EXPECT_EQ(Lines(), Texts({line})) << "undelete word";
}

TEST_F(CodingTest, FindSelectionOfACharacterOutsideTheSetIsRefused) {
  EditAs(Coding::Utf8Bytes, {kPi + "x " + kPi});
  Type("KPDOT GOLD 2 KP3 GOLD KPDIV");
  EXPECT_EQ(Message(), "Selection holds characters beyond Windows-1252");
  EditAs(Coding::Utf8Bytes, {"M\xC3\xA4"
                             "dchen M\xC3\xA4"
                             "dchen"});
  Type("KPDOT GOLD 3 KP3 GOLD KPDIV");
  EXPECT_EQ(Search(), "M\xE4") << "the search string holds characters of the set";
  EXPECT_EQ(Cursor().column, 10);
}

TEST_F(CodingTest, FindAllAndReplaceAllSearchEachTextInItsOwnCoding) {
  EditAs(Coding::Utf8, {kSet}, "/User/Decoded");
  EditAs(Coding::Utf8Bytes, {kPi + " " + kUtf8}, "/User/Kept");
  EditAs(Coding::Bytes,
         {"M\xE4"
          "dchen"},
         "/User/Latin");
  MakeText({"M\xC3\xA4"
            "dchen"},
           "/User/Mojibake"); // UTF-8 seen as characters: no hit
  Shell::ClearList();
  backend.AnswerStrings(true, {"M\xE4"
                               "dchen",
                               "M\xC4"
                               "DCHEN"});
  FindAll::ReplaceAll();
  EXPECT_EQ(Message(), "Search string replaced in 3 module(s).");
  EXPECT_EQ(LinesOf(Buffer::Find("/User/Decoded")), Texts({"Gr\xFC\xDF"
                                                           "e f\xFCr M\xC4"
                                                           "DCHEN, 20\xB0"
                                                           "C"}));
  EXPECT_EQ(LinesOf(Buffer::Find("/User/Kept")), Texts({kPi + " Gr\xC3\xBC\xC3\x9F"
                                                              "e f\xC3\xBCr M\xC3\x84"
                                                              "DCHEN, 20\xC2\xB0"
                                                              "C"}));
  EXPECT_EQ(LinesOf(Buffer::Find("/User/Latin")), Texts({"M\xC4"
                                                         "DCHEN"}));
  EXPECT_EQ(LinesOf(Buffer::Find("/User/Mojibake")), Texts({"M\xC3\xA4"
                                                            "dchen"}));
}

TEST_F(CodingTest, PastingAndTypingGiveEachTextWhatItCanHold) {
  // The desktop's clipboard is UTF-8: π has no place in a decoded text.
  EditAs(Coding::Utf8, {""});
  backend.SetForeignClipboard("5 \xE2\x82\xAC, " + kPi + " " + kAlmost + " 3");
  Type("GOLD KP6");
  EXPECT_EQ(Lines(), Texts({"5 \x80, ? ? 3"}));
  EXPECT_EQ(Message(), "2 character(s) beyond Windows-1252 became ?");

  EditAs(Coding::Utf8Bytes, {""});
  Type("GOLD KP6 '\xE9' GOLD 2 3 3 GOLD KP3");
  EXPECT_EQ(Lines(), Texts({"5 \xE2\x82\xAC, " + kPi + " " + kAlmost + " 3\xC3\xA9\xC3\xA9"}))
      << "typed and special characters as UTF-8";

  // Copied from a kept text, π reaches the clipboard as it is.
  Type("GOLD KP5 KPDOT GOLD KP4 GOLD '#'");
  EXPECT_EQ(Clipboard(),
            "5 \xE2\x82\xAC, " + kPi + " " + kAlmost + " 3\xC3\xA9\xC3\xA9" + std::string(1, '\0'));
  EditAs(Coding::Bytes, {"M"});
  Type("END GOLD KP6");
  EXPECT_EQ(Lines(), Texts({"M5 \x80, ? ? 3\xE9\xE9"}));
}

} // namespace
