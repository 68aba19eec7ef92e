// Reading INI files as users and other programs leave them.
#include "ini_test_support.h"

#include <climits>
#include <cstring>

namespace {

using namespace std::string_literals;
using ReadTest = IniTest;

TEST_F(ReadTest, MissingFileReadsAsEmpty)
{
  std::string f = path("none.ini");
  EXPECT_EQ(get(f, "Startup Bank", "File", "dflt"), "dflt");
  EXPECT_EQ(GetPrivateProfileInt("MIDI Control", "CC7", -1, f.c_str()), -1);
  char buffer[8] = {1, 1, 1, 1};
  EXPECT_EQ(GetPrivateProfileString(nullptr, nullptr, "", buffer, 8, f.c_str()), 0);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], '\0');
}

TEST_F(ReadTest, EntriesCommentsAndStrayLines)
{
  std::string f = path("a.ini");
  writeFile(f, "before=ignored\n"
               "[Main]\n"
               "  key = value  \n"
               "plain line without equals\n"
               "=no key\n"
               ";note=becomes a key\n"
               "; a comment\n"
               "empty=\n"
               "[unterminated\n"
               "after=kept in Main\n"
               "\t[ Spaced ]\t\n"
               "x=1\n");
  EXPECT_EQ(get(f, "Main", "key "), "value");
  EXPECT_EQ(get(f, "Main", "key"), "<absent>");
  EXPECT_EQ(get(f, "Main", ";note"), "becomes a key");
  EXPECT_EQ(get(f, "Main", "empty"), "");
  EXPECT_EQ(get(f, "Main", "after"), "kept in Main");
  EXPECT_EQ(get(f, "Main", "before"), "<absent>");
  EXPECT_EQ(get(f, " Spaced ", "x"), "1");
  EXPECT_EQ(get(f, "Spaced", "x"), "<absent>");

  char buffer[256];
  int n = GetPrivateProfileString("Main", nullptr, "", buffer, sizeof buffer, f.c_str());
  EXPECT_EQ(list(buffer, n + 1), ";note|after|empty|key ||");
  n = GetPrivateProfileString(nullptr, nullptr, "", buffer, sizeof buffer, f.c_str());
  EXPECT_EQ(list(buffer, n + 1), " Spaced |Main||");
}

TEST_F(ReadTest, SectionNamesIgnoreCaseAndLaterHeaderWins)
{
  std::string f = path("a.ini");
  writeFile(f, "[Startup Bank]\nFile=first\nOld=1\n[Other]\nk=1\n[startup bank]\nfile=second\n"
               "[]\norphan=1\n[Other]\nK=2\nk=3\n");
  EXPECT_EQ(get(f, "STARTUP BANK", "FILE"), "second");
  EXPECT_EQ(get(f, "Startup Bank", "Old"), "<absent>");
  // Equal keys in one section: the last line wins.
  EXPECT_EQ(get(f, "other", "k"), "3");
  EXPECT_EQ(get(f, "other", "orphan"), "<absent>");
  char buffer[64];
  int n = GetPrivateProfileString(nullptr, nullptr, "", buffer, sizeof buffer, f.c_str());
  EXPECT_EQ(list(buffer, n), "Other|Startup Bank|");
}

TEST_F(ReadTest, LineEndingsNulBytesAndUnterminatedLastLine)
{
  std::string f = path("a.ini");
  writeFile(f, "[S]\r\nk=v\r\n\r\nk2 = x \r\nmac=1\rnul=ab\0cd=ef\nnext=1\n[T\0]\nz=1\nlast=end"s);
  EXPECT_EQ(get(f, "S", "k"), "v");
  EXPECT_EQ(get(f, "S", "k2 "), "x");
  EXPECT_EQ(get(f, "S", "mac"), "1");
  // The text of a line ends at a NUL; what follows must not become a key.
  EXPECT_EQ(get(f, "S", "nul"), "ab");
  EXPECT_EQ(get(f, "S", "cd"), "<absent>");
  EXPECT_EQ(get(f, "S", "next"), "1");
  // "[T" has no "]", so S stays current.
  EXPECT_EQ(get(f, "S", "z"), "1");
  EXPECT_EQ(get(f, "S", "last"), "end");
}

TEST_F(ReadTest, ValuesLoseBlanksAndOnePairOfQuotes)
{
  std::string f = path("a.ini");
  writeFile(f, "[S]\nquoted=  \"a b\"  \nlone=\"\nsingle='x'\nmixed=\"x'\nempty=\"\"\ninner=\"'a'\"\n"
               "long=abcdef\n");
  EXPECT_EQ(get(f, "S", "quoted"), "a b");
  EXPECT_EQ(get(f, "S", "lone"), "\"");
  EXPECT_EQ(get(f, "S", "single"), "x");
  EXPECT_EQ(get(f, "S", "mixed"), "\"x'");
  EXPECT_EQ(get(f, "S", "empty"), "");
  EXPECT_EQ(get(f, "S", "inner"), "'a'");

  EXPECT_EQ(get(f, "S", "long", "", 3), "ab");
  EXPECT_EQ(get(f, "S", "none", "  dflt  "), "  dflt  ");
  EXPECT_EQ(get(f, "S", "none", nullptr), "");
  char untouched[2] = {'#', '#'};
  EXPECT_EQ(GetPrivateProfileString("S", "long", "", untouched, 0, f.c_str()), 0);
  EXPECT_EQ(untouched[0], '#');
}

TEST_F(ReadTest, IntegersTakeTheLeadingNumber)
{
  std::string f = path("a.ini");
  writeFile(f, "[S]\na=12x\nzero=0\nzeros=007\nneg=-5\nword=abc\nempty=\nhuge=99999999999\nnegzero=-0\n");
  const char* c = f.c_str();
  EXPECT_EQ(GetPrivateProfileInt("S", "a", 7, c), 12);
  EXPECT_EQ(GetPrivateProfileInt("S", "zero", 7, c), 0);
  EXPECT_EQ(GetPrivateProfileInt("S", "zeros", 3, c), 7);
  EXPECT_EQ(GetPrivateProfileInt("S", "neg", 7, c), -5);
  EXPECT_EQ(GetPrivateProfileInt("S", "word", 7, c), 7);
  EXPECT_EQ(GetPrivateProfileInt("S", "empty", 7, c), 7);
  EXPECT_EQ(GetPrivateProfileInt("S", "missing", 7, c), 7);
  EXPECT_EQ(GetPrivateProfileInt("S", "huge", 7, c), INT_MAX);
  EXPECT_EQ(GetPrivateProfileInt("S", "negzero", 7, c), 7);
  EXPECT_EQ(GetPrivateProfileInt("S", nullptr, 7, c), 7);
}

TEST_F(ReadTest, ListsAreCutToTheBufferAndEndInTwoNuls)
{
  std::string f = path("a.ini");
  writeFile(f, "[S]\nalpha=1\nbeta= 2 \n[T]\n");
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  int n = GetPrivateProfileString("S", nullptr, "", buffer, 8, f.c_str());
  EXPECT_EQ(n, 6);
  EXPECT_EQ(list(buffer, 9), "alpha|||#");

  n = GetPrivateProfileSection("S", buffer, sizeof buffer, f.c_str());
  EXPECT_EQ(list(buffer, n + 2), "alpha=1|beta=2||");
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(GetPrivateProfileSection("S", buffer, 1, f.c_str()), 0);
  EXPECT_EQ(list(buffer, 2), "|#");
  EXPECT_EQ(GetPrivateProfileSection("T", buffer, sizeof buffer, f.c_str()), 0);
  EXPECT_EQ(list(buffer, 2), "||");
  EXPECT_EQ(GetPrivateProfileSection("Unknown", buffer, sizeof buffer, f.c_str()), 0);
  EXPECT_EQ(list(buffer, 2), "||");
}

TEST_F(ReadTest, LongLinesAreReadWholeUpTo32MiB)
{
  std::string f = path("a.ini");
  const size_t limit = size_t(32) << 20;
  std::string body =
      "[S]\nbig=" + std::string(3u << 20, 'v') + "\nhuge=" + std::string(limit, 'w') + "=tail\nafter=1\n";
  writeFile(f, body);
  EXPECT_EQ(get(f, "S", "big", "", 4 << 20).size(), size_t(3) << 20);
  std::string huge = get(f, "S", "huge", "", static_cast<int>(limit) + 16);
  EXPECT_EQ(huge.size(), limit - 5);
  EXPECT_EQ(huge.find('='), std::string::npos);
  EXPECT_EQ(get(f, "S", "after"), "1");
  EXPECT_EQ(get(f, "S", "tail"), "<absent>");
}

TEST_F(ReadTest, TooMuchBeforeTheFirstSectionIsNotAnIniFile)
{
  std::string junk;
  while (junk.size() < 200000) junk += "this is not ini text at all\n";
  std::string nearLimit = path("near.ini"), overLimit = path("over.ini");
  writeFile(nearLimit, junk + "[S]\nk=v\n");
  EXPECT_EQ(get(nearLimit, "S", "k"), "v");
  writeFile(overLimit, junk + junk + "[S]\nk=v\n");
  EXPECT_EQ(get(overLimit, "S", "k"), "<absent>");
  // An unterminated header line of megabytes is no section either.
  std::string longHeader = path("header.ini");
  writeFile(longHeader, "[" + std::string(1 << 20, 's') + "\n[S]\nk=v\n");
  EXPECT_EQ(get(longHeader, "S", "k"), "<absent>");
}

TEST_F(ReadTest, StructsAreCheckedForSizeDigitsAndChecksum)
{
  std::string f = path("a.ini");
  const unsigned char bytes[3] = {0x01, 0x02, 0xFF};
  ASSERT_EQ(WritePrivateProfileStruct("S", "blk", bytes, 3, f.c_str()), 1);
  EXPECT_EQ(get(f, "S", "blk"), "0102FF02");

  unsigned char out[4] = {};
  EXPECT_EQ(GetPrivateProfileStruct("S", "blk", out, 3, f.c_str()), 1);
  EXPECT_EQ(std::memcmp(out, bytes, 3), 0);
  EXPECT_EQ(GetPrivateProfileStruct("S", "blk", out, 2, f.c_str()), 0);
  EXPECT_EQ(GetPrivateProfileStruct("S", "blk", out, 4, f.c_str()), 0);
  EXPECT_EQ(GetPrivateProfileStruct("S", "missing", out, 3, f.c_str()), 0);

  writeFile(f, "[S]\nlower=0102ff02\nquoted=\"0102FF02\"\nbadsum=0102FF03\nbaddigit=01G2FF02\n"
               "odd=0102FF0\nempty=00\nhuge=" +
                   std::string(1 << 20, 'A') + "\n");
  EXPECT_EQ(GetPrivateProfileStruct("S", "lower", out, 3, f.c_str()), 1);
  EXPECT_EQ(GetPrivateProfileStruct("S", "quoted", out, 3, f.c_str()), 1);
  EXPECT_EQ(GetPrivateProfileStruct("S", "badsum", out, 3, f.c_str()), 0);
  std::memset(out, 0, sizeof out);
  EXPECT_EQ(GetPrivateProfileStruct("S", "baddigit", out, 3, f.c_str()), 0);
  EXPECT_EQ(out[0], 0x01);
  EXPECT_EQ(GetPrivateProfileStruct("S", "odd", out, 3, f.c_str()), 0);
  EXPECT_EQ(GetPrivateProfileStruct("S", "empty", out, 0, f.c_str()), 1);
  EXPECT_EQ(GetPrivateProfileStruct("S", "huge", out, 4, f.c_str()), 0);
  EXPECT_EQ(GetPrivateProfileStruct("S", "huge", out, -1, f.c_str()), 0);

  std::vector<unsigned char> block(1000), back(1000);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<unsigned char>(i * 37 + 11);
  ASSERT_EQ(WritePrivateProfileStruct("S", "block", block.data(), 1000, f.c_str()), 1);
  EXPECT_EQ(GetPrivateProfileStruct("S", "block", back.data(), 1000, f.c_str()), 1);
  EXPECT_EQ(back, block);

  EXPECT_EQ(WritePrivateProfileStruct("S", "block", nullptr, 1000, f.c_str()), 1);
  EXPECT_EQ(get(f, "S", "block"), "<absent>");
}

} // namespace
