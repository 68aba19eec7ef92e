#pragma once

#include "ini/profile_ini.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>

// Every test gets its own folder, so its paths are new to the process-wide cache.
class IniTest : public ::testing::Test
{
public:
  void SetUp() override
  {
    std::string pattern = (std::filesystem::temp_directory_path() / "zorva-ini-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    mDir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(mDir); }

  std::string path(const std::string& name) const { return (mDir / name).string(); }

  static void writeFile(const std::string& file, const std::string& bytes)
  {
    std::ofstream(file, std::ios::binary) << bytes;
  }
  static std::string readFile(const std::string& file)
  {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static ino_t inodeOf(const std::string& file)
  {
    struct stat st
    {
    };
    return ::stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
  }

  // A value, or a double-NUL list (NULs shown as "|") when section or key is null.
  static std::string get(const std::string& file, const char* section, const char* key,
                         const char* fallback = "<absent>", int size = 1 << 16)
  {
    std::string out(static_cast<size_t>(size), '\0');
    int n = GetPrivateProfileString(section, key, fallback, out.data(), size, file.c_str());
    out.resize(static_cast<size_t>(n) + (section && key ? 0 : 1));
    for (char& c : out)
      if (c == '\0') c = '|';
    return out;
  }

  std::filesystem::path mDir;
};
