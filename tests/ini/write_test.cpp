// Writing: file layout, skipped rewrites, refused input and safe replacement.
#include "ini_test_support.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::string_literals;
using WriteTest = IniTest;

TEST_F(WriteTest, WrittenFileIsSortedWithABlankLineAfterEachSection)
{
  std::string f = path("zorva.ini");
  const char* c = f.c_str();
  writeFile(f, "[b]\nx=1\n");
  ASSERT_EQ(::chmod(c, 0640), 0);
  EXPECT_EQ(WritePrivateProfileString("MIDI Control", "CC2", "4", c), 1);
  EXPECT_EQ(WritePrivateProfileString("midi control", "CC10", "5", c), 1);
  EXPECT_EQ(WritePrivateProfileString("MIDI Control", "cc1", "33", c), 1);
  EXPECT_EQ(WritePrivateProfileString("A", "key ", " spaced", c), 1);
  EXPECT_EQ(WritePrivateProfileString("MIDI CONTROL", "CC1", "34", c), 1);
  EXPECT_EQ(readFile(f), "[A]\nkey = spaced\n\n[b]\nx=1\n\n[MIDI Control]\ncc1=34\nCC10=5\nCC2=4\n\n");
  EXPECT_EQ(get(f, "a", "KEY "), "spaced");
  struct stat st
  {
  };
  ASSERT_EQ(::stat(c, &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_FALSE(std::filesystem::exists(path(".zorva.ini.new")));
}

TEST_F(WriteTest, UnchangedValuesAndMissingDeletionsDoNotRewrite)
{
  std::string f = path("zorva.ini");
  const char* c = f.c_str();
  EXPECT_EQ(WritePrivateProfileString("S", "k", nullptr, c), 1);
  EXPECT_EQ(WritePrivateProfileSection("S", "", c), 1);
  EXPECT_FALSE(std::filesystem::exists(f));

  ASSERT_EQ(WritePrivateProfileString("S", "k", "Value", c), 1);
  ino_t written = inodeOf(f);
  EXPECT_EQ(WritePrivateProfileString("s", "K", "Value", c), 1);
  EXPECT_EQ(WritePrivateProfileString("S", "other", nullptr, c), 1);
  EXPECT_EQ(WritePrivateProfileString("T", nullptr, nullptr, c), 1);
  EXPECT_EQ(inodeOf(f), written);

  EXPECT_EQ(WritePrivateProfileString("S", "k", "value", c), 1); // values compare with case
  EXPECT_NE(inodeOf(f), written);
  EXPECT_EQ(WritePrivateProfileString("S", "k", nullptr, c), 1);
  EXPECT_EQ(readFile(f), "[S]\n\n");
  EXPECT_EQ(WritePrivateProfileString("S", nullptr, nullptr, c), 1);
  EXPECT_EQ(readFile(f), "");
}

TEST_F(WriteTest, InputThatWouldNotReadBackIsRefused)
{
  std::string f = path("zorva.ini");
  const char* c = f.c_str();
  ASSERT_EQ(WritePrivateProfileString("Startup Bank", "File", "/banks/a.fxb", c), 1);
  const std::string before = readFile(f);
  EXPECT_EQ(WritePrivateProfileString(nullptr, "k", "v", c), 0);
  EXPECT_EQ(WritePrivateProfileString("S", "", "v", c), 0);
  EXPECT_EQ(WritePrivateProfileString("Startup Bank", "File", "/x.fxb\n[MIDI Control]\nCC1=3", c), 0);
  EXPECT_EQ(WritePrivateProfileString("Startup Bank", "File", "/x.fxb\r", c), 0);
  for (const char* key : {"a=b", " lead", "[k]"}) EXPECT_EQ(WritePrivateProfileString("S", key, "v", c), 0);
  for (const char* section : {"", "a]b", "a\nb"})
    EXPECT_EQ(WritePrivateProfileString(section, "k", "v", c), 0);
  EXPECT_EQ(readFile(f), before);
  EXPECT_EQ(get(f, "Startup Bank", "File"), "/banks/a.fxb");
}

TEST_F(WriteTest, ReplacingASection)
{
  std::string f = path("zorva.ini");
  const char* c = f.c_str();
  ASSERT_EQ(WritePrivateProfileString("MIDI Control", "CC3", "9", c), 1);
  std::string contents =
      "CC1=33\0no equals\0=empty key\0CC7 = 4\0cc1=34\0k="s + std::string(9000, 'v') + "\0\0"s;
  EXPECT_EQ(WritePrivateProfileSection("midi control", contents.c_str(), c), 1);
  EXPECT_EQ(get(f, "MIDI Control", nullptr), "CC1|CC7 |k||"); // an existing key keeps its spelling
  EXPECT_EQ(get(f, "MIDI Control", "CC1"), "34");
  EXPECT_EQ(get(f, "MIDI Control", "k").size(), 8191u - 2);

  EXPECT_EQ(WritePrivateProfileSection("MIDI Control", "", c), 1);
  EXPECT_EQ(readFile(f), "[MIDI Control]\n\n");
}

TEST_F(WriteTest, FailedReplacementKeepsTheFileAndLeavesNoTemporary)
{
  std::string f = path("zorva.ini");
  writeFile(f, "[S]\nk=1\n");
  // A folder where the temporary file belongs: it cannot be created.
  std::filesystem::create_directory(path(".zorva.ini.new"));
  EXPECT_EQ(WritePrivateProfileString("S", "k", "2", f.c_str()), 1);
  EXPECT_EQ(readFile(f), "[S]\nk=1\n");
  // The change stays in memory and goes out with the next write.
  std::filesystem::remove(path(".zorva.ini.new"));
  EXPECT_EQ(WritePrivateProfileString("S", "j", "3", f.c_str()), 1);
  EXPECT_EQ(readFile(f), "[S]\nj=3\nk=2\n\n");

  // A folder in place of the file: the rename fails.
  std::filesystem::create_directories(path("cfg/occupant"));
  EXPECT_EQ(WritePrivateProfileString("S", "k", "v", path("cfg").c_str()), 1);
  EXPECT_FALSE(std::filesystem::exists(path(".cfg.new")));

  // A child process with a file-size limit: the write fails half-way.
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::_exit(WritePrivateProfileString("S", "k", std::string(100000, 'n').c_str(), f.c_str()) == 1 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(readFile(f), "[S]\nj=3\nk=2\n\n");
  EXPECT_FALSE(std::filesystem::exists(path(".zorva.ini.new")));
}

} // namespace
