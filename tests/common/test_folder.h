#pragma once

// A private folder for one test, whole-file reads and writes, and the
// environment that points the instrument at its configuration and resources.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

inline std::string readFile(const std::string& file)
{
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& file, const std::string& bytes)
{
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// A fresh folder under the system's temporary one, removed with the object.
class TempFolder
{
public:
  explicit TempFolder(const std::string& tag = "zorva-test")
  {
    std::string pattern = (std::filesystem::temp_directory_path() / (tag + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder");
    mDir = pattern;
  }
  ~TempFolder()
  {
    std::error_code ignored;
    std::filesystem::remove_all(mDir, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& dir() const { return mDir; }
  std::string path(const std::string& name) const { return (mDir / name).string(); }

private:
  std::filesystem::path mDir;
};

// ZORVA_CONFIG_DIR and ZORVA_RESOURCES point at the given folders while the object lives.
class ZorvaFolders
{
public:
  ZorvaFolders(const std::string& config, const std::string& resources)
  {
    setenv("ZORVA_CONFIG_DIR", config.c_str(), 1);
    setenv("ZORVA_RESOURCES", resources.c_str(), 1);
  }
  ~ZorvaFolders()
  {
    unsetenv("ZORVA_CONFIG_DIR");
    unsetenv("ZORVA_RESOURCES");
  }
  ZorvaFolders(const ZorvaFolders&) = delete;
  ZorvaFolders& operator=(const ZorvaFolders&) = delete;
};
