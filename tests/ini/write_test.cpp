// Writing: file layout, skipped rewrites, refused input and safe replacement.
#include "ini_test_support.h"
#include "tests/common/test_folder.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

struct WriteTest : IniTest
{
  const std::string f = path("zorva.ini");
  const char* c = f.c_str();
};

TEST_F(WriteTest, WrittenFileIsSortedWithABlankLineAfterEachSection)
{
  writeFile(f, "[b]\nx=1\n");
  ASSERT_EQ(::chmod(c, 0640), 0);
  EXPECT_EQ(WritePrivateProfileString("MIDI Control", "CC2", "4", c), 1);
  EXPECT_EQ(WritePrivateProfileString("midi control", "CC10", "5", c), 1);
  EXPECT_EQ(WritePrivateProfileString("MIDI Control", "cc1", "33", c), 1);
  EXPECT_EQ(WritePrivateProfileString("A", "key ", " spaced", c), 1);
  EXPECT_EQ(WritePrivateProfileString("MIDI CONTROL", "CC1", "34", c), 1);
  EXPECT_EQ(readFile(f), "[A]\nkey = spaced\n\n[b]\nx=1\n\n[MIDI Control]\ncc1=34\nCC10=5\nCC2=4\n\n");
  EXPECT_EQ(get(f, "a", "KEY "), "spaced");
  EXPECT_EQ(std::filesystem::status(f).permissions(), std::filesystem::perms(0640));
  EXPECT_FALSE(std::filesystem::exists(path(".zorva.ini.new")));
}

TEST_F(WriteTest, UnchangedValuesAndMissingDeletionsDoNotRewrite)
{
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
  ASSERT_EQ(WritePrivateProfileString("S", "k", "v", c), 1);
  EXPECT_EQ(WritePrivateProfileSection("s", "", c), 1); // emptying a section keeps its header
  EXPECT_EQ(readFile(f), "[S]\n\n");
  EXPECT_EQ(WritePrivateProfileString("S", nullptr, nullptr, c), 1);
  EXPECT_EQ(readFile(f), "");
}

TEST_F(WriteTest, InputThatWouldNotReadBackIsRefused)
{
  ASSERT_EQ(WritePrivateProfileString("Startup Bank", "File", "/banks/a.fxb", c), 1);
  const std::string before = readFile(f);
  for (const char* value : {"/x.fxb\n[MIDI Control]\nCC1=3", "/x.fxb\r"})
    EXPECT_EQ(WritePrivateProfileString("Startup Bank", "File", value, c), 0);
  for (const char* key : {"", "a=b", " lead", "[k]"})
    EXPECT_EQ(WritePrivateProfileString("S", key, "v", c), 0);
  for (const char* section : {static_cast<const char*>(nullptr), "", "a]b", "a\nb"})
    EXPECT_EQ(WritePrivateProfileString(section, "k", "v", c), 0);
  EXPECT_EQ(readFile(f), before);
  EXPECT_EQ(get(f, "Startup Bank", "File"), "/banks/a.fxb");
}

TEST_F(WriteTest, FailedWritesAreReportedAndKeepTheFile)
{
  writeFile(f, "[S]\nk=1\n");
  // Whatever sits at a temporary's name is never written through.
  writeFile(path("victim"), "victim");
  ASSERT_EQ(::symlink(path("victim").c_str(), path(".zorva.ini.new").c_str()), 0);
  EXPECT_EQ(WritePrivateProfileString("S", "k", "2", f.c_str()), 1);
  EXPECT_EQ(readFile(path("victim")), "victim");
  EXPECT_EQ(readFile(f), "[S]\nk=2\n\n");

  // A linked configuration stays linked; the file it names is updated.
  std::filesystem::create_directory(path("real"));
  writeFile(path("real/zorva.ini"), "[Startup Bank]\nFile=/banks/mine.fxb\n");
  ASSERT_EQ(::symlink("real/zorva.ini", path("link.ini").c_str()), 0);
  EXPECT_EQ(WritePrivateProfileString("S", "k", "3", path("link.ini").c_str()), 1);
  EXPECT_TRUE(std::filesystem::is_symlink(path("link.ini")));
  EXPECT_EQ(get(path("real/zorva.ini"), "Startup Bank", "File"), "/banks/mine.fxb");
  EXPECT_EQ(get(path("real/zorva.ini"), "S", "k"), "3");

  // Files that exist but cannot be read whole are never replaced.
  std::filesystem::create_directories(path("cfg/occupant"));
  EXPECT_EQ(WritePrivateProfileString("S", "k", "v", path("cfg").c_str()), 0);
  const std::string notIni = std::string(300000, 'x') + "\n[S]\nk=1\n";
  writeFile(path("big.ini"), notIni);
  EXPECT_EQ(WritePrivateProfileString("S", "k", "v", path("big.ini").c_str()), 0);
  EXPECT_EQ(readFile(path("big.ini")), notIni);
  if (::geteuid() != 0) { // root reads any file
    ::chmod(f.c_str(), 0200);
    EXPECT_EQ(WritePrivateProfileString("S", "j", "1", f.c_str()), 0);
    ::chmod(f.c_str(), 0600);
    EXPECT_EQ(readFile(f), "[S]\nk=2\n\n");
  }

  // A write that fails half-way (file-size limit) is reported; the cache keeps
  // what the file holds.
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const int result = WritePrivateProfileString("S", "k", std::string(100000, 'n').c_str(), f.c_str());
    ::_exit(result == 0 && get(f, "S", "k") == "2" ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(readFile(f), "[S]\nk=2\n\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(mDir), {}), 7); // no temporary left

  TempFolder disk("zorva-disk", "64k");
  if (!disk.Mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
  const std::string g = disk.path("zorva.ini");
  EXPECT_EQ(WritePrivateProfileString("S", "k", "1", g.c_str()), 1);
  ASSERT_TRUE(disk.MakeReadOnly());
  EXPECT_EQ(WritePrivateProfileString("S", "k", "2", g.c_str()), 0);
  EXPECT_EQ(get(g, "S", "k"), "1");
}
