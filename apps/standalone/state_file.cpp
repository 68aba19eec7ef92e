#include "apps/standalone/state_file.h"

#include "plugin/IPluginBase.h"
#include "plugin/SafeFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace standalone {

namespace {

constexpr int32_t kStateMagic = FourCC("ZSst");
constexpr int32_t kStateVersion = 1;
constexpr std::uintmax_t kMaxStateBytes = 16u << 20;

// Walks the layout without touching the instrument: every program's name, flag
// and parameter values, then the current program and the live values.
bool CheckLayout(const ByteChunk& chunk, int pos, int nPresets, int nParams)
{
  const int stateBytes = nParams * int(sizeof(double));
  std::string name;
  for (int i = 0; i < nPresets; ++i) {
    pos = chunk.GetStr(name, pos);
    if (pos < 0 || pos > chunk.Size()) return false;
    uint8_t flag = 0;
    pos = chunk.Get(&flag, pos);
    if (pos < 0 || flag > 1) return false;
    if (flag) {
      if (int64_t(pos) + stateBytes > chunk.Size()) return false;
      pos += stateBytes;
    }
  }
  return int64_t(pos) + stateBytes == chunk.Size();
}

} // namespace

std::string DefaultStatePath()
{
  namespace fs = std::filesystem;
  const char* xdg = std::getenv("XDG_STATE_HOME");
  fs::path base;
  if (xdg && *xdg == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = fs::path(home && *home ? home : ".") / ".local" / "state";
  }
  return (base / "zorva" / "standalone.state").string();
}

void SerializeWholeState(IPluginBase& plug, ByteChunk& chunk)
{
  MutexLock lock(plug.GetMutex());
  IPluginBase::InitChunkWithFrameworkVer(&chunk);
  chunk.Put(kStateMagic);
  chunk.Put(kStateVersion);
  chunk.Put(int32_t(plug.NPresets()));
  chunk.Put(int32_t(plug.NParams()));
  chunk.Put(int32_t(plug.GetCurrentPresetIdx()));
  plug.SerializePresets(&chunk);
  plug.SerializeState(&chunk);
}

bool UnserializeWholeState(IPluginBase& plug, const ByteChunk& chunk, std::string& error)
{
  int pos = 0;
  int32_t magic = 0, version = 0, nPresets = 0, nParams = 0, current = 0;
  if (IPluginBase::GetFrameworkVerFromChunk(&chunk, &pos) == 0 || (pos = chunk.Get(&magic, pos)) < 0 ||
      magic != kStateMagic || (pos = chunk.Get(&version, pos)) < 0) {
    error = "not a Zorva state file";
    return false;
  }
  if (version != kStateVersion) {
    error = "state written by another version of Zorva (layout " + std::to_string(version) + ")";
    return false;
  }
  pos = chunk.Get(&nPresets, pos);
  pos = chunk.Get(&nParams, pos);
  pos = chunk.Get(&current, pos);
  MutexLock lock(plug.GetMutex());
  if (pos < 0 || nPresets != plug.NPresets() || nParams != plug.NParams() || current < 0 ||
      current >= nPresets || !CheckLayout(chunk, pos, nPresets, nParams)) {
    error = "damaged or truncated state";
    return false;
  }
  pos = plug.UnserializePresets(&chunk, pos);
  plug.RestorePreset(current);
  // The live values last: they hold edits made since the program was chosen.
  plug.UnserializeState(&chunk, pos);
  plug.RedrawParamControls();
  return true;
}

LoadResult LoadStateFile(IPluginBase& plug, const std::string& path, std::string& error)
{
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec && !fs::exists(status)) {
    if (ec == std::errc::no_such_file_or_directory) return LoadResult::kMissing;
    error = path + ": " + ec.message();
    return LoadResult::kUnreadable;
  }
  if (!fs::exists(status)) return LoadResult::kMissing;
  if (!fs::is_regular_file(status) || fs::file_size(path, ec) > kMaxStateBytes || ec) {
    error = path + ": not a regular file of a sensible size";
    return LoadResult::kUnreadable;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot be read: " + std::strerror(errno);
    return LoadResult::kUnreadable;
  }
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = path + ": read error";
    return LoadResult::kUnreadable;
  }
  ByteChunk chunk;
  chunk.PutBytes(bytes.data(), int(bytes.size()));
  if (!UnserializeWholeState(plug, chunk, error)) {
    error = path + ": " + error;
    return LoadResult::kUnreadable;
  }
  return LoadResult::kLoaded;
}

bool SaveStateFile(IPluginBase& plug, const std::string& path, std::string& error)
{
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, ec);
  ByteChunk chunk;
  SerializeWholeState(plug, chunk);
  return WriteFileSafely(path, chunk.GetData(), size_t(chunk.Size()), &error);
}

} // namespace standalone
