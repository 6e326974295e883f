#include "base/Charset.h"

#include <gtest/gtest.h>

#include <string>

using namespace Charset;

namespace {

// Characters of the set written as their codes, for texts a test spells out.
std::string Codes(std::initializer_list<int> codes) {
  std::string s;
  for (int c : codes) s += char(c);
  return s;
}

const std::string kGruesse = "Gr\xC3\xBC\xC3\x9F"
                             "e f\xC3\xBCr M\xC3\xA4"
                             "dchen \xE2\x80\x94 20\xC2\xB0"
                             "C, 5 \xE2\x82\xAC";

} // namespace

TEST(Charset, EveryCodeMapsToOneCharacterAndBack) {
  for (int c = 0; c < 256; ++c) {
    const char32_t u = ToUnicode(char(c));
    EXPECT_EQ(FromUnicode(u), c) << c;
    std::string utf8;
    AppendUtf8(u, utf8);
    std::string back;
    EXPECT_EQ(FromUtf8(utf8, back), 0u);
    EXPECT_EQ(back, std::string(1, char(c)));
  }
  EXPECT_EQ(ToUnicode(char(0x80)), U'€');
  EXPECT_EQ(ToUnicode(char(0x97)), U'—');
  EXPECT_EQ(ToUnicode(char(0x81)), char32_t(0x81)) << "a free code is its control character";
  EXPECT_EQ(FromUnicode(U'π'), -1);
  EXPECT_EQ(FromUnicode(char32_t(0x85)), -1) << "code 133 is the ellipsis, not NEL";
}

TEST(Charset, ClassifiesHostTexts) {
  EXPECT_EQ(Classify("MODULE M;"), Utf8Kind::Ascii);
  EXPECT_EQ(Classify(kGruesse), Utf8Kind::InSet);
  EXPECT_EQ(Classify("\xCF\x80 \xE2\x89\x88 3.14"), Utf8Kind::BeyondSet);
  EXPECT_EQ(Classify("\xEF\xBB\xBFx"), Utf8Kind::BeyondSet) << "a byte order mark";
  const char* const invalid[] = {
      "Gr\xFC\xDF"
      "e",                // Latin-1
      "\xC3",             // cut short
      "\xC0\xAF",         // overlong
      "\xED\xA0\x80",     // a surrogate
      "\xF4\x90\x80\x80", // beyond U+10FFFF
      "a\x80",            // a stray continuation byte
      "\xE2\x82"
      "x", // a missing continuation byte
  };
  for (const char* s : invalid) EXPECT_EQ(Classify(s), Utf8Kind::Invalid) << s;
}

TEST(Charset, ConvertsBetweenTheSetAndUtf8) {
  std::string inside;
  EXPECT_EQ(FromUtf8(kGruesse, inside), 0u);
  EXPECT_EQ(inside,
            Codes({'G', 'r', 0xFC, 0xDF, 'e', ' ', 'f', 0xFC, 'r', ' ', 'M', 0xE4, 'd', 'c', 'h',
                   'e', 'n', ' ',  0x97, ' ', '2', '0', 0xB0, 'C', ',', ' ', '5',  ' ', 0x80}));
  EXPECT_EQ(ToUtf8(inside), kGruesse);

  std::string substituted;
  EXPECT_EQ(FromUtf8("\xCF\x80=\xFF!", substituted), 2u);
  EXPECT_EQ(substituted, "?=?!") << "one substitute per character outside the set or bad byte";

  const std::string pi = "\xCF\x80";
  std::string held, fromHeld, same;
  EXPECT_EQ(Recode(Coding::Utf8, Coding::Utf8Bytes, Codes({0xFC}), held), 0u);
  EXPECT_EQ(held, "\xC3\xBC");
  EXPECT_EQ(Recode(Coding::Utf8Bytes, Coding::Bytes, pi + "\xC3\xBC", fromHeld), 1u);
  EXPECT_EQ(fromHeld, "?" + Codes({0xFC}));
  EXPECT_EQ(Recode(Coding::Bytes, Coding::Utf8, Codes({0xFC}), same), 0u);
  EXPECT_EQ(same, Codes({0xFC})) << "texts of the set hold the same characters";
  EXPECT_EQ(Utf8Of(Coding::Utf8Bytes, pi + "\xFC"), pi + "\xC3\xBC")
      << "a byte that is no UTF-8 shows as the character of its code";
  EXPECT_EQ(Utf8Of(Coding::Utf8, Codes({0x80})), "\xE2\x82\xAC");
}

TEST(Charset, ReaderCompletesCharactersAcrossPieces) {
  Utf8Reader reader;
  const std::string euro = "\xE2\x82\xAC";
  const char* p = euro.data();
  char ch = 0;
  EXPECT_EQ(reader.Read(p, euro.data() + 1, ch), Utf8Reader::Step::Partial);
  EXPECT_TRUE(reader.Pending());
  EXPECT_EQ(reader.Read(p, euro.data() + 3, ch), Utf8Reader::Step::Character);
  EXPECT_EQ(ch, char(0x80));
  EXPECT_EQ(p, euro.data() + 3);
  EXPECT_FALSE(reader.Pending());

  const std::string pi = "\xCF\x80", latin = "\xFC";
  p = pi.data();
  EXPECT_EQ(reader.Read(p, p + 2, ch), Utf8Reader::Step::Beyond);
  p = latin.data();
  EXPECT_EQ(reader.Read(p, p + 1, ch), Utf8Reader::Step::Invalid);
}

TEST(Charset, CaseOfTheLettersOfTheSet) {
  const std::string small = Codes({'a', 'z', 0xE0, 0xFC, 0xFE, 0x9A, 0x9C, 0x9E, 0xFF});
  const std::string capital = Codes({'A', 'Z', 0xC0, 0xDC, 0xDE, 0x8A, 0x8C, 0x8E, 0x9F});
  for (std::size_t i = 0; i < small.size(); ++i) {
    EXPECT_TRUE(IsLower(small[i]) && IsUpper(capital[i])) << i;
    EXPECT_EQ(Upper(small[i]), capital[i]) << i;
    EXPECT_EQ(Lower(capital[i]), small[i]) << i;
  }
  for (int c : {0xDF, 0xB5, 0x83}) {
    EXPECT_TRUE(IsLower(char(c)));
    EXPECT_EQ(Upper(char(c)), char(c)) << "no capital in the set: " << c;
  }
  for (int c : {int('1'), 0xD7, 0xF7, 0xB0, 0x80}) {
    EXPECT_FALSE(IsUpper(char(c)) || IsLower(char(c))) << c;
    EXPECT_EQ(Upper(char(c)), char(c));
    EXPECT_EQ(Lower(char(c)), char(c));
  }
}

TEST(Charset, FileNamesPartByPart) {
  const std::string utf8Dir = "/home/j\xC3\xBCrgen/", beyondDir = "/tmp/\xCF\x80/";
  EXPECT_EQ(FromHostName(utf8Dir + "a.mod"), "/home/j" + Codes({0xFC}) + "rgen/a.mod");
  EXPECT_EQ(HostName(FromHostName(utf8Dir + "a.mod")), utf8Dir + "a.mod");
  EXPECT_EQ(FromHostName(beyondDir), beyondDir) << "a part outside the set stays as it is";
  // A name typed inside after such a directory is encoded on its own.
  EXPECT_EQ(HostName(beyondDir + Codes({'G', 'r', 0xFC, 0xDF, 'e'})), beyondDir +
                                                                          "Gr\xC3\xBC\xC3\x9F"
                                                                          "e");
  EXPECT_EQ(HostName("plain/name.txt"), "plain/name.txt");
}
