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

struct timespec modificationTime(const std::string& file)
{
  struct stat st
  {
  };
  ::stat(file.c_str(), &st);
  return st.st_mtim;
}

void setModificationTime(const std::string& file, struct timespec when)
{
  struct timespec times[2] = {when, when};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

// Another program rewrites the file, leaving its size and time as they were.
void rewriteUnnoticeably(const std::string& file, const std::string& contents)
{
  struct timespec before = modificationTime(file);
  IniTest::writeFile(file, contents);
  setModificationTime(file, before);
}

TEST_F(CacheTest, ChangesByOtherProgramsAreSeenByTimeOrSize)
{
  std::string f = path("zorva.ini");
  writeFile(f, "[S]\nk=1\n");
  EXPECT_EQ(get(f, "S", "k"), "1");

  writeFile(f, "[S]\nk=22\n");
  EXPECT_EQ(get(f, "S", "k"), "22");

  struct timespec later = modificationTime(f);
  later.tv_sec += 10;
  writeFile(f, "[S]\nk=33\n");
  setModificationTime(f, later);
  EXPECT_EQ(get(f, "S", "k"), "33");

  rewriteUnnoticeably(f, "[S]\nk=44\n");
  EXPECT_EQ(get(f, "S", "k"), "33");

  std::filesystem::remove(f);
  EXPECT_EQ(get(f, "S", "k"), "<absent>");
}

TEST_F(CacheTest, TheThirtyThirdFileEvictsTheLeastRecentlyUsed)
{
  std::vector<std::string> files;
  for (int i = 0; i < 33; ++i) {
    files.push_back(path("f" + std::to_string(i) + ".ini"));
    writeFile(files.back(), "[S]\nk=old\n");
  }
  for (const auto& f : files) EXPECT_EQ(get(f, "S", "k"), "old");

  rewriteUnnoticeably(files[32], "[S]\nk=new\n");
  rewriteUnnoticeably(files[0], "[S]\nk=new\n");
  EXPECT_EQ(get(files[32], "S", "k"), "old");
  EXPECT_EQ(get(files[0], "S", "k"), "new");
}

TEST_F(CacheTest, FileNamesDifferingInCaseAreDifferentFiles)
{
  std::string upper = path("Zorva.ini"), lower = path("zorva.ini");
  ASSERT_EQ(WritePrivateProfileString("S", "k", "upper", upper.c_str()), 1);
  ASSERT_EQ(WritePrivateProfileString("S", "k", "lower", lower.c_str()), 1);
  EXPECT_EQ(get(upper, "S", "k"), "upper");
  EXPECT_EQ(readFile(upper), "[S]\nk=upper\n\n");
  EXPECT_EQ(readFile(lower), "[S]\nk=lower\n\n");
}

// Every line of a written file is a header, an entry of the expected form, or
// the blank line after a section.
// "<tag><digits>k<digits>", the keys the writers below use.
bool isWriterKey(const std::string& s, char tag)
{
  size_t k = s.find('k');
  auto digits = [](const std::string& d) {
    return !d.empty() && d.find_first_not_of("0123456789") == std::string::npos;
  };
  return s.size() > 1 && s[0] == tag && k != std::string::npos && digits(s.substr(1, k - 1)) &&
         digits(s.substr(k + 1));
}

template <class EntryCheck> void expectWellFormed(const std::string& text, EntryCheck isExpectedEntry)
{
  EXPECT_EQ(text.find('\0'), std::string::npos);
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || (line.front() == '[' && line.back() == ']')) continue;
    EXPECT_TRUE(isExpectedEntry(line)) << "malformed line: " << line.substr(0, 80);
  }
}

TEST_F(CacheTest, ThreadsShareFilesWithoutLosingWrites)
{
  const std::string shared = path("shared.ini"), second = path("second.ini");
  constexpr int kThreads = 6, kWrites = 40;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kWrites; ++i) {
        std::string key = "t" + std::to_string(t) + "k" + std::to_string(i);
        const std::string& file = i % 2 ? second : shared;
        WritePrivateProfileString(("S" + std::to_string(i % 3)).c_str(), key.c_str(), key.c_str(),
                                  file.c_str());
        char buffer[64];
        GetPrivateProfileString("S0", "t0k0", "", buffer, sizeof buffer, file.c_str());
        GetPrivateProfileSection("S1", buffer, sizeof buffer, file.c_str());
      }
    });
  }
  for (auto& thread : threads) thread.join();

  for (const auto& file : {shared, second}) {
    std::string text = readFile(file);
    expectWellFormed(text, [](const std::string& line) {
      size_t equals = line.find('=');
      return equals != std::string::npos && isWriterKey(line.substr(0, equals), 't') &&
             line.substr(equals + 1) == line.substr(0, equals);
    });
    size_t lines = 0;
    for (char c : text) lines += c == '=';
    EXPECT_EQ(lines, size_t(kThreads * kWrites / 2));
  }
  EXPECT_EQ(get(second, "S2", "t5k35"), "t5k35");
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
        std::string key = "p" + std::to_string(p) + "k" + std::to_string(i);
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
  expectWellFormed(readFile(f), [](const std::string& line) {
    size_t equals = line.find('=');
    if (equals == std::string::npos || !isWriterKey(line.substr(0, equals), 'p')) return false;
    char owner = char('a' + (line[1] - '0'));
    return line.substr(equals + 1) == std::string(2000, owner);
  });
  EXPECT_FALSE(std::filesystem::exists(path(".zorva.ini.new")));
  // Each process last wrote with all of its own keys in its cache.
  char names[1 << 14];
  int n = GetPrivateProfileString("Shared", nullptr, "", names, sizeof names, f.c_str());
  EXPECT_GE(n, kWrites * 4);
}

} // namespace
