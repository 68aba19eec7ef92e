// The process-wide cache: reloading changed files, eviction, and several
// threads and processes sharing one file.
#include "ini_test_support.h"

#include <fcntl.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using CacheTest = IniTest;

// Another program rewrites the file; its time moves by `seconds`.
void rewrite(const std::string& file, const std::string& contents, int seconds)
{
  struct stat st = {};
  ::stat(file.c_str(), &st);
  writeFile(file, contents);
  st.st_mtim.tv_sec += seconds;
  struct timespec times[2] = {st.st_mtim, st.st_mtim};
  ::utimensat(AT_FDCWD, file.c_str(), times, 0);
}

TEST_F(CacheTest, ChangesByOtherProgramsAreSeenByTimeOrSize)
{
  std::string f = path("zorva.ini");
  writeFile(f, "[S]\nk=1\n");
  EXPECT_EQ(get(f, "S", "k"), "1");
  writeFile(f, "[S]\nk=22\n");
  EXPECT_EQ(get(f, "S", "k"), "22");
  rewrite(f, "[S]\nk=33\n", 10);
  EXPECT_EQ(get(f, "S", "k"), "33");
  std::filesystem::remove(f);
  EXPECT_EQ(get(f, "S", "k"), "<absent>");
}

TEST_F(CacheTest, TheThirtyThirdFileEvictsTheLeastRecentlyUsed)
{
  std::vector<std::string> files;
  for (int i = 0; i < 33; ++i) {
    files.push_back(path("F" + std::to_string(i) + ".ini"));
    writeFile(files.back(), "[S]\nk=old\n");
    EXPECT_EQ(get(files.back(), "S", "k"), "old");
  }
  rewrite(files[32], "[S]\nk=new\n", 0);
  rewrite(files[0], "[S]\nk=new\n", 0);
  EXPECT_EQ(get(files[32], "S", "k"), "old");
  EXPECT_EQ(get(files[0], "S", "k"), "new");
  // File names follow the file system: a name differing in case is another file.
  EXPECT_EQ(get(path("f1.ini"), "S", "k"), "<absent>");
}

// Counts the entries of a written file, failing on any line that is not a
// header, a blank line or an entry whose value `expected` gives for its key.
template <class Expected> size_t countEntries(const std::string& text, Expected expected)
{
  EXPECT_EQ(text.find('\0'), std::string::npos);
  std::istringstream lines(text);
  size_t entries = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || (line.front() == '[' && line.back() == ']')) continue;
    size_t equals = line.find('=');
    bool wellFormed =
        equals != std::string::npos && line.substr(equals + 1) == expected(line.substr(0, equals));
    EXPECT_TRUE(wellFormed) << "malformed line: " << line.substr(0, 80);
    ++entries;
  }
  return entries;
}

TEST_F(CacheTest, ThreadsShareFilesWithoutLosingWrites)
{
  const std::string files[2] = {path("one.ini"), path("two.ini")};
  constexpr int kThreads = 6, kWrites = 40;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      char buffer[64];
      for (int i = 0; i < kWrites; ++i) {
        std::string key = "t" + std::to_string(t) + "k" + std::to_string(i);
        const char* file = files[i % 2].c_str();
        WritePrivateProfileString(("S" + std::to_string(i % 3)).c_str(), key.c_str(), key.c_str(), file);
        GetPrivateProfileString("S0", "t0k0", "", buffer, sizeof buffer, file);
        GetPrivateProfileSection("S1", buffer, sizeof buffer, file);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (const auto& file : files)
    EXPECT_EQ(countEntries(readFile(file), [](const std::string& key) { return key; }),
              kThreads * kWrites / 2u);
}

TEST_F(CacheTest, WritersInSeveralProcessesNeverCorruptTheFile)
{
  const std::string f = path("zorva.ini");
  constexpr int kProcesses = 4, kWrites = 40;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Long values make a torn or doubly written file likely to show.
      for (int i = 0; i < kWrites; ++i) {
        std::string key = std::to_string(p) + "k" + std::to_string(i);
        WritePrivateProfileString("Shared", key.c_str(), std::string(2000, char('a' + p)).c_str(), f.c_str());
      }
      ::_exit(0);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  // The last writer held at least all of its own keys.
  size_t entries = countEntries(readFile(f), [](const std::string& key) {
    return key.size() > 2 && key[1] == 'k' ? std::string(2000, char('a' + key[0] - '0')) : std::string("?");
  });
  EXPECT_GE(entries, size_t(kWrites));
  EXPECT_FALSE(std::filesystem::exists(path(".zorva.ini.new")));
}

} // namespace
