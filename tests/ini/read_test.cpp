// Reading INI files as users and other programs leave them.
#include "ini_test_support.h"

using namespace std::string_literals;
struct ReadTest : IniTest
{
  const std::string f = path("a.ini");
};

TEST_F(ReadTest, EntriesCommentsAndStrayLines)
{
  EXPECT_EQ(get(f, "Main", "key", "dflt"), "dflt"); // no file yet
  writeFile(f, "before=ignored\n[Main]\n  key = value  \nplain line\n=no key\n;note=becomes a key\n"
               "; a comment\nempty=\n[unterminated\nafter=kept in Main\n\t[ Spaced ]\t\nx=1\n");
  EXPECT_EQ(get(f, "Main", "key "), "value");
  EXPECT_EQ(get(f, "Main", "key"), "<absent>");
  EXPECT_EQ(get(f, "Main", ";note"), "becomes a key");
  EXPECT_EQ(get(f, "Main", "empty"), "");
  EXPECT_EQ(get(f, "Main", "after"), "kept in Main");
  EXPECT_EQ(get(f, "Main", "before"), "<absent>");
  EXPECT_EQ(get(f, " Spaced ", "x"), "1");
  EXPECT_EQ(get(f, "Main", nullptr), ";note|after|empty|key ||");
  EXPECT_EQ(get(f, nullptr, nullptr), " Spaced |Main||");
}

TEST_F(ReadTest, NamesIgnoreCaseAndTheLaterOccurrenceWins)
{
  writeFile(f, "[Startup Bank]\nFile=first\nOld=1\n[Other]\nk=1\n[startup bank]\nfile=second\n"
               "[]\norphan=1\n[Other]\nK=2\nk=3\n");
  EXPECT_EQ(get(f, "STARTUP BANK", "FILE"), "second");
  EXPECT_EQ(get(f, "Startup Bank", "Old"), "<absent>");
  EXPECT_EQ(get(f, "other", "k"), "3");
  EXPECT_EQ(get(f, "other", "orphan"), "<absent>");
  EXPECT_EQ(get(f, nullptr, nullptr), "Other|Startup Bank||");
}

TEST_F(ReadTest, LineEndingsNulBytesAndUnterminatedLastLine)
{
  writeFile(f, "[S]\r\nk=v\r\n\r\nk2 = x \r\nmac=1\rnul=ab\0cd=ef\nnext=1\n[T\0]\nz=1\nlast=end"s);
  EXPECT_EQ(get(f, "S", "k"), "v");
  EXPECT_EQ(get(f, "S", "k2 "), "x");
  EXPECT_EQ(get(f, "S", "mac"), "1");
  // The text of a line ends at a NUL; what follows must not become a key.
  EXPECT_EQ(get(f, "S", "nul"), "ab");
  EXPECT_EQ(get(f, "S", "cd"), "<absent>");
  // "[T" has no "]", so S stays current.
  EXPECT_EQ(get(f, "S", "z"), "1");
  EXPECT_EQ(get(f, "S", "last"), "end");
}

TEST_F(ReadTest, QuotedAndCutValues)
{
  writeFile(f, "[S]\nquoted=  \"a b\"  \nlone=\"\nsingle='x'\nmixed=\"x'\nlong=abcdef\n");
  EXPECT_EQ(get(f, "S", "quoted"), "a b");
  EXPECT_EQ(get(f, "S", "lone"), "\"");
  EXPECT_EQ(get(f, "S", "single"), "x");
  EXPECT_EQ(get(f, "S", "mixed"), "\"x'");
  EXPECT_EQ(get(f, "S", "long", "", 3), "ab");
  EXPECT_EQ(get(f, "S", "none", "  dflt  "), "  dflt  ");
}

TEST_F(ReadTest, HostileFiles)
{
  const size_t limit = size_t(32) << 20;
  writeFile(f, "[S]\nhuge=" + std::string(limit, 'w') + "=tail\nafter=1\n");
  EXPECT_EQ(get(f, "S", "huge", "", static_cast<int>(limit) + 16), std::string(limit - 5, 'w'));
  EXPECT_EQ(get(f, "S", "after"), "1");
  EXPECT_EQ(get(f, "S", "tail"), "<absent>");

  // More than 256 KiB before the first header: not an INI file.
  writeFile(f, std::string(300000, 'x') + "\n[S]\nk=v\n");
  EXPECT_EQ(get(f, "S", "k"), "<absent>");
  writeFile(f, "[" + std::string(1 << 20, 's') + "\n[S]\nk=v\n");
  EXPECT_EQ(get(f, "S", "k"), "<absent>");

  // A pipe or device in place of the file must neither hang nor be read.
  ASSERT_EQ(::mkfifo(path("fifo.ini").c_str(), 0600), 0);
  EXPECT_EQ(get(path("fifo.ini"), "S", "k"), "<absent>");
  EXPECT_EQ(get("/dev/zero", "S", "k"), "<absent>");
}
