#include "plugin/SafeFile.h"
#include "tests/common/test_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

static mode_t ModeOf(const std::string& path)
{
  struct stat info = {};
  lstat(path.c_str(), &info);
  return info.st_mode;
}

TEST(SafeFile, ReplacesThroughLinksKeepingModeAndRefusesNonRegularTargets)
{
  TempFolder folder;
  std::filesystem::create_directory(folder.path("real"));
  writeFile(folder.path("real/bank.fxb"), "old");
  chmod(folder.path("real/bank.fxb").c_str(), 0640);
  symlink("real/bank.fxb", folder.path("link.fxb").c_str());

  std::string error;
  ASSERT_TRUE(WriteFileSafely(folder.path("link.fxb"), "new", 3, &error)) << error;
  EXPECT_TRUE(S_ISLNK(ModeOf(folder.path("link.fxb"))));
  EXPECT_EQ(readFile(folder.path("real/bank.fxb")), "new");
  EXPECT_EQ(ModeOf(folder.path("real/bank.fxb")) & 0777, 0640u);
  EXPECT_EQ(folder.Count(), 2u); // real/ and the link: no temporary left
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path("real")), {}), 1);

  const mode_t mask = umask(022);
  ASSERT_TRUE(WriteFileSafely(folder.path("fresh"), "x", 1));
  umask(mask);
  EXPECT_EQ(ModeOf(folder.path("fresh")) & 0777, 0644u);

  // A FIFO would hang the writer or be swapped for a plain file; a folder cannot be replaced.
  mkfifo(folder.path("fifo").c_str(), 0644);
  EXPECT_FALSE(WriteFileSafely(folder.path("fifo"), "x", 1, &error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos);
  EXPECT_TRUE(S_ISFIFO(ModeOf(folder.path("fifo"))));
  EXPECT_FALSE(WriteFileSafely(folder.path("real"), "x", 1));
  EXPECT_EQ(folder.Count(), 4u);
}

TEST(SafeFile, SignalRemovesOpenTemporariesAndTheRegisteredFolder)
{
  TempFolder folder;
  writeFile(folder.path("out.wav"), "old");
  std::filesystem::create_directory(folder.path("config"));
  writeFile(folder.path("config/zorva.ini"), "[x]\n");
  const pid_t child = fork();
  if (child == 0) {
    SafeFileWriter writer;
    if (!writer.Open(folder.path("out.wav")) || !writer.Write("partial", 7)) _exit(10);
    RegisterTempFolder(folder.path("config"));
    InstallTempCleanupOnSignals();
    raise(SIGTERM);
    _exit(11);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  EXPECT_EQ(readFile(folder.path("out.wav")), "old");
  EXPECT_EQ(folder.Count(), 1u);
}
