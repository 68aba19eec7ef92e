#pragma once

#include "ini/profile_ini.h"
#include "tests/common/test_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>

// Every test gets its own folder, so its paths are new to the process-wide cache.
class IniTest : public ::testing::Test
{
public:
  std::string path(const std::string& name) const { return (mDir / name).string(); }

  static ino_t inodeOf(const std::string& file)
  {
    struct stat st = {};
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

  TempFolder mFolder{"zorva-ini"};
  const std::filesystem::path mDir = mFolder.dir();
};
