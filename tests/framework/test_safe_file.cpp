#include "plugin/SafeFile.h"
#include "tests/common/scratch_folder.h"
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
  ScratchFolder folder;
  std::filesystem::create_directory(folder.Path("real"));
  writeFile(folder.Path("real/bank.fxb"), "old");
  chmod(folder.Path("real/bank.fxb").c_str(), 0640);
  symlink("real/bank.fxb", folder.Path("link.fxb").c_str());

  std::string error;
  ASSERT_TRUE(WriteFileSafely(folder.Path("link.fxb"), "new", 3, &error)) << error;
  EXPECT_TRUE(S_ISLNK(ModeOf(folder.Path("link.fxb"))));
  EXPECT_EQ(readFile(folder.Path("real/bank.fxb")), "new");
  EXPECT_EQ(ModeOf(folder.Path("real/bank.fxb")) & 0777, 0640u);
  EXPECT_EQ(folder.Count(), 2u); // real/ and the link: no temporary left
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path("real")), {}), 1);

  const mode_t mask = umask(022);
  ASSERT_TRUE(WriteFileSafely(folder.Path("fresh"), "x", 1));
  umask(mask);
  EXPECT_EQ(ModeOf(folder.Path("fresh")) & 0777, 0644u);

  // A FIFO would hang the writer or be swapped for a plain file; a folder cannot be replaced.
  mkfifo(folder.Path("fifo").c_str(), 0644);
  EXPECT_FALSE(WriteFileSafely(folder.Path("fifo"), "x", 1, &error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos);
  EXPECT_TRUE(S_ISFIFO(ModeOf(folder.Path("fifo"))));
  EXPECT_FALSE(WriteFileSafely(folder.Path("real"), "x", 1));
  EXPECT_EQ(folder.Count(), 4u);
}

TEST(SafeFile, SignalRemovesOpenTemporariesAndTheRegisteredFolder)
{
  ScratchFolder folder;
  writeFile(folder.Path("out.wav"), "old");
  std::filesystem::create_directory(folder.Path("config"));
  writeFile(folder.Path("config/zorva.ini"), "[x]\n");
  const pid_t child = fork();
  if (child == 0) {
    SafeFileWriter writer;
    if (!writer.Open(folder.Path("out.wav")) || !writer.Write("partial", 7)) _exit(10);
    RegisterTempFolder(folder.Path("config"));
    InstallTempCleanupOnSignals();
    raise(SIGTERM);
    _exit(11);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  EXPECT_EQ(readFile(folder.Path("out.wav")), "old");
  EXPECT_EQ(folder.Count(), 1u);
}
