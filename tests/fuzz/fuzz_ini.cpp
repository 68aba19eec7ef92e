// Arbitrary bytes as an INI file: every read must stay in bounds, and what the
// store writes back must parse to exactly what it held.
#include "ini/profile_ini.h"
#include "tests/common/test_folder.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// Removed at exit, with the rest of the static objects.
std::string workFolder()
{
  static const TempFolder folder("zorva-fuzz-ini");
  return folder.dir().string();
}

// Each input gets its own modification time, so the cache cannot mistake it
// for the previous one of the same size.
void setTime(const std::string& path, int64_t stamp)
{
  struct timespec times[2] = {{static_cast<time_t>(stamp), 0}, {static_cast<time_t>(stamp), 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::vector<std::string> splitList(const std::vector<char>& buffer, int length)
{
  std::vector<std::string> names;
  for (int i = 0; i < length;) {
    std::string name(&buffer[static_cast<size_t>(i)]);
    i += static_cast<int>(name.size()) + 1;
    names.push_back(name);
  }
  return names;
}

// Everything the store holds for a file, in listing order.
std::string snapshot(const std::string& file, int bufferSize)
{
  std::vector<char> buffer(static_cast<size_t>(bufferSize));
  int n = GetPrivateProfileString(nullptr, nullptr, "", buffer.data(), bufferSize, file.c_str());
  std::string all;
  for (const auto& section : splitList(buffer, n)) {
    all += "[" + section + "]\n";
    int m = GetPrivateProfileSection(section.c_str(), buffer.data(), bufferSize, file.c_str());
    all.append(buffer.data(), static_cast<size_t>(m));
    all += "\n";
  }
  return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static int64_t stamp = 1000000;
  const std::string file = workFolder() + "/fuzz.ini";
  const std::string copy = workFolder() + "/copy.ini";
  writeFile(file, std::string(reinterpret_cast<const char*>(data), size));
  setTime(file, ++stamp);
  const int bufferSize = static_cast<int>(2 * size + 256);
  std::vector<char> buffer(static_cast<size_t>(bufferSize));
  const char* f = file.c_str();

  int n = GetPrivateProfileString(nullptr, nullptr, "", buffer.data(), bufferSize, f);
  std::vector<std::string> sections = splitList(buffer, n);
  for (size_t s = 0; s < sections.size() && s < 16; ++s) {
    const char* section = sections[s].c_str();
    char tiny[3];
    GetPrivateProfileSection(section, tiny, sizeof tiny, f);
    GetPrivateProfileString(section, nullptr, "", tiny, sizeof tiny, f);
    n = GetPrivateProfileString(section, nullptr, "", buffer.data(), bufferSize, f);
    std::vector<std::string> keys = splitList(buffer, n);
    for (size_t k = 0; k < keys.size() && k < 32; ++k) {
      const char* key = keys[k].c_str();
      int length = GetPrivateProfileString(section, key, "", buffer.data(), bufferSize, f);
      GetPrivateProfileString(section, key, "", tiny, sizeof tiny, f);
      GetPrivateProfileInt(section, key, -1, f);
      std::vector<unsigned char> block(static_cast<size_t>(length) / 2 + 1);
      GetPrivateProfileStruct(section, key, block.data(), length > 2 ? (length - 2) / 2 : 0, f);
    }
  }

  // Changing one key writes the whole file back; parsing that file again
  // must give exactly what the store held.
  WritePrivateProfileString("Fuzz", "Key", std::to_string(stamp).c_str(), f);
  int blockSize = static_cast<int>(size < 64 ? size : 64);
  if (WritePrivateProfileStruct("Fuzz", "Block", data, blockSize, f) != 1) std::abort();
  std::vector<unsigned char> back(static_cast<size_t>(blockSize) + 1);
  if (GetPrivateProfileStruct("Fuzz", "Block", back.data(), blockSize, f) != 1) std::abort();
  if (blockSize && std::memcmp(back.data(), data, static_cast<size_t>(blockSize)) != 0) std::abort();

  std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing); // throws
  setTime(copy, stamp);
  if (snapshot(file, bufferSize + 512) != snapshot(copy, bufferSize + 512)) std::abort();
  return 0;
}
