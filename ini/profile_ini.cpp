#include "ini/profile_ini.h"

#include "plugin/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kNumContexts = 32;
constexpr size_t kReadPiece = 8192;
constexpr size_t kMaxLineLength = size_t(32) << 20;
// More than this before the first section header: not an INI file.
constexpr size_t kMaxBytesBeforeFirstSection = size_t(256) << 10;
constexpr size_t kMaxSectionEntryLength = 8191;
constexpr int kNumericBufferSize = 512;

// A lock held by a stuck process must not freeze the host; the locks are
// advisory, so a reader goes ahead without one and a writer gives up.
constexpr auto kReadLockWait = std::chrono::seconds(2);
constexpr auto kWriteLockWait = std::chrono::seconds(5);

struct IniKey
{
  std::string key;
  std::string value;
};

struct IniSection
{
  std::string name;
  std::vector<IniKey> keys;
};

struct iniFileContext
{
  uint64_t accessStamp = 0;
  int64_t fileTime = 0;
  // Whole seconds alone miss a same-sized rewrite within one second.
  int64_t fileTimeNsec = 0;
  uint64_t fileSize = 0;
  // The file exists but could not be read whole: writing would replace what
  // we never saw (a startup bank, learned controllers), so writes are refused.
  bool unreadable = false;
  std::optional<std::string> fileName;
  std::vector<IniSection> sections;
};

iniFileContext s_ctxs[kNumContexts];
uint64_t s_accessCounter = 0;
std::recursive_mutex m_mutex;
std::string s_lineBuffer;

unsigned char foldCase(char c)
{
  unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

int compareNoCase(std::string_view a, std::string_view b)
{
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char ca = foldCase(a[i]), cb = foldCase(b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool isBlank(char c)
{
  return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view s)
{
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view trimLine(std::string_view s)
{
  while (!s.empty() && (isBlank(s.back()) || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  return s;
}

// The value as callers see it: unpadded, and without one pair of quotes that
// protect leading or trailing blanks.
std::string_view prepareValue(std::string_view v)
{
  v = trimBlanks(v);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  return v;
}

bool hasLineBreak(std::string_view s)
{
  return s.find_first_of("\r\n") != std::string_view::npos;
}

// Names and values the parser would read back differently are refused rather
// than silently changed or lost on the next load.
bool isStorableSectionName(std::string_view s)
{
  return !s.empty() && !hasLineBreak(s) && s.find(']') == std::string_view::npos;
}

bool isStorableKey(std::string_view s)
{
  return !s.empty() && !hasLineBreak(s) && s.find('=') == std::string_view::npos && !isBlank(s.front()) &&
         s.front() != '[';
}

bool isStorableValue(std::string_view s)
{
  return !hasLineBreak(s);
}

// --- sorted arrays, searched by bisection ------------------------------------

std::vector<IniSection>::iterator lowerSection(std::vector<IniSection>& sections, std::string_view name)
{
  return std::lower_bound(
      sections.begin(), sections.end(), name,
      [](const IniSection& s, std::string_view n) { return compareNoCase(s.name, n) < 0; });
}

IniSection* findSection(iniFileContext& ctx, std::string_view name)
{
  auto it = lowerSection(ctx.sections, name);
  return (it != ctx.sections.end() && compareNoCase(it->name, name) == 0) ? &*it : nullptr;
}

IniSection& findOrCreateSection(iniFileContext& ctx, std::string_view name)
{
  auto it = lowerSection(ctx.sections, name);
  if (it != ctx.sections.end() && compareNoCase(it->name, name) == 0) return *it;
  return *ctx.sections.insert(it, IniSection{std::string(name), {}});
}

bool removeSection(iniFileContext& ctx, std::string_view name)
{
  auto it = lowerSection(ctx.sections, name);
  if (it == ctx.sections.end() || compareNoCase(it->name, name) != 0) return false;
  ctx.sections.erase(it);
  return true;
}

std::vector<IniKey>::iterator lowerKey(IniSection& section, std::string_view key)
{
  return std::lower_bound(section.keys.begin(), section.keys.end(), key,
                          [](const IniKey& k, std::string_view n) { return compareNoCase(k.key, n) < 0; });
}

IniKey* findKey(IniSection& section, std::string_view key)
{
  auto it = lowerKey(section, key);
  return (it != section.keys.end() && compareNoCase(it->key, key) == 0) ? &*it : nullptr;
}

void setKey(IniSection& section, std::string_view key, std::string_view value)
{
  auto it = lowerKey(section, key);
  if (it != section.keys.end() && compareNoCase(it->key, key) == 0)
    it->value.assign(value);
  else
    section.keys.insert(it, IniKey{std::string(key), std::string(value)});
}

bool removeKey(IniSection& section, std::string_view key)
{
  auto it = lowerKey(section, key);
  if (it == section.keys.end() || compareNoCase(it->key, key) != 0) return false;
  section.keys.erase(it);
  return true;
}

// Keys are appended unsorted while parsing; of equal keys the last line wins,
// as a later section header wins over an earlier one.
void finishSection(IniSection& section)
{
  auto& keys = section.keys;
  std::stable_sort(keys.begin(), keys.end(),
                   [](const IniKey& a, const IniKey& b) { return compareNoCase(a.key, b.key) < 0; });
  size_t out = 0;
  for (size_t i = 0; i < keys.size(); ++i) {
    bool lastOfRun = i + 1 == keys.size() || compareNoCase(keys[i].key, keys[i + 1].key) != 0;
    if (!lastOfRun) continue;
    if (out != i) keys[out] = std::move(keys[i]);
    ++out;
  }
  keys.resize(out);
}

// --- files --------------------------------------------------------------------

struct FileStamp
{
  int64_t time = 0;
  int64_t timeNsec = 0;
  uint64_t size = 0;
};

FileStamp stampOf(const struct stat& st)
{
  return FileStamp{static_cast<int64_t>(st.st_mtim.tv_sec), static_cast<int64_t>(st.st_mtim.tv_nsec),
                   static_cast<uint64_t>(st.st_size)};
}

FileStamp stampOfPath(const std::string& path)
{
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return FileStamp{};
  return stampOf(st);
}

void storeStamp(iniFileContext& ctx, const FileStamp& stamp)
{
  ctx.fileTime = stamp.time;
  ctx.fileTimeNsec = stamp.timeNsec;
  ctx.fileSize = stamp.size;
}

bool sameStamp(const iniFileContext& ctx, const FileStamp& stamp)
{
  return ctx.fileTime == stamp.time && ctx.fileTimeNsec == stamp.timeNsec && ctx.fileSize == stamp.size;
}

template <class Duration> bool lockWithin(int fd, int operation, Duration wait)
{
  auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (::flock(fd, operation | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

class FileDescriptor
{
public:
  explicit FileDescriptor(int fd) : mFd(fd) {}
  ~FileDescriptor()
  {
    if (mFd >= 0) ::close(mFd);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return mFd; }

private:
  int mFd;
};

// Reads lines ended by LF or CR (so CR LF yields an empty extra line). Text
// after a NUL byte or beyond the line limit is dropped up to the line's end:
// stored names and values are NUL-terminated, and a cut line must not spill
// into a new one.
class LineReader
{
public:
  explicit LineReader(int fd) : mFd(fd) {}

  // Stops early, with `consumed` above `budget`, once the line cannot fit it.
  bool next(std::string& line, size_t& consumed, size_t budget)
  {
    line.clear();
    consumed = 0;
    bool dropping = false;
    for (;;) {
      if (mPos == mLen && !fill()) return consumed > 0;
      const char* start = mBuffer + mPos;
      size_t available = mLen - mPos;
      size_t length = 0;
      while (length < available && start[length] != '\n' && start[length] != '\r') ++length;
      bool ended = length < available;
      consumed += length + (ended ? 1 : 0);
      mPos += length + (ended ? 1 : 0);
      if (!dropping) {
        size_t keep = std::min(length, kMaxLineLength - line.size());
        const void* nul = std::memchr(start, '\0', keep);
        if (nul) keep = static_cast<size_t>(static_cast<const char*>(nul) - start);
        line.append(start, keep);
        dropping = keep < length;
      }
      if (ended || consumed > budget) return true;
    }
  }

private:
  bool fill()
  {
    for (;;) {
      ssize_t n = ::read(mFd, mBuffer, sizeof mBuffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) mFailed = true;
      if (n <= 0) return false;
      mPos = 0;
      mLen = static_cast<size_t>(n);
      return true;
    }
  }

public:
  bool mFailed = false;

private:
  int mFd;
  char mBuffer[kReadPiece];
  size_t mPos = 0;
  size_t mLen = 0;
};

// False when the file could not be read whole or is not an INI file.
bool parseFile(iniFileContext& ctx, int fd)
{
  LineReader reader(fd);
  std::string& line = s_lineBuffer;
  IniSection* current = nullptr;
  bool sectionStarted = false;
  size_t bytesBeforeFirstSection = 0;
  size_t consumed = 0;
  for (;;) {
    size_t budget = sectionStarted ? SIZE_MAX : kMaxBytesBeforeFirstSection - bytesBeforeFirstSection;
    if (!reader.next(line, consumed, budget)) break;
    if (!sectionStarted) {
      bytesBeforeFirstSection += consumed;
      if (bytesBeforeFirstSection > kMaxBytesBeforeFirstSection) {
        reader.mFailed = true;
        break;
      }
    }
    std::string_view text = trimLine(line);
    if (!text.empty() && text.front() == '[') {
      size_t close = text.find(']');
      if (close == std::string_view::npos) continue;
      sectionStarted = true;
      if (current) finishSection(*current);
      current = nullptr;
      std::string_view name = text.substr(1, close - 1);
      if (name.empty()) continue;
      current = &findOrCreateSection(ctx, name);
      current->keys.clear();
      continue;
    }
    if (!current) continue;
    size_t equals = text.find('=');
    if (equals == std::string_view::npos || equals == 0) continue;
    current->keys.push_back(
        IniKey{std::string(text.substr(0, equals)), std::string(text.substr(equals + 1))});
  }
  if (current) finishSection(*current);
  // A megabyte line must not stay allocated for the life of the process.
  if (line.capacity() > kReadPiece) std::string().swap(line);
  return !reader.mFailed;
}

void loadFile(iniFileContext& ctx)
{
  storeStamp(ctx, FileStamp{});
  ctx.unreadable = false;
  const std::string& path = *ctx.fileName;
  if (path.empty()) return;
  // Non-blocking so that a FIFO in place of the file cannot hang the caller.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) {
    ctx.unreadable = errno != ENOENT;
    return;
  }
  struct stat st;
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    ctx.unreadable = true;
    return;
  }
  bool locked = lockWithin(fd.get(), LOCK_SH, kReadLockWait);
  ctx.unreadable = !parseFile(ctx, fd.get());
  if (::fstat(fd.get(), &st) == 0) storeStamp(ctx, stampOf(st));
  if (locked) ::flock(fd.get(), LOCK_UN);
}

iniFileContext& GetFileContext(const char* file)
{
  iniFileContext* ctx = nullptr;
  for (auto& candidate : s_ctxs) {
    if (!candidate.fileName || *candidate.fileName == file) {
      ctx = &candidate;
      break;
    }
  }
  if (!ctx) {
    ctx = std::min_element(
        std::begin(s_ctxs), std::end(s_ctxs),
        [](const iniFileContext& a, const iniFileContext& b) { return a.accessStamp < b.accessStamp; });
  }
  ctx->accessStamp = ++s_accessCounter;
  if (ctx->fileName && *ctx->fileName == file && sameStamp(*ctx, stampOfPath(*ctx->fileName))) return *ctx;
  ctx->sections.clear();
  ctx->fileName = file;
  loadFile(*ctx);
  return *ctx;
}

std::string serialize(const iniFileContext& ctx)
{
  std::string text;
  for (const auto& section : ctx.sections) {
    text += '[';
    text += section.name;
    text += "]\n";
    for (const auto& key : section.keys) {
      if (key.key.empty()) continue;
      text += key.key;
      text += '=';
      text += key.value;
      text += '\n';
    }
    text += '\n';
  }
  return text;
}

// False when the file on disk does not hold the cache's contents: the cache
// is then dropped, so the next read shows what the file really holds.
bool WriteBackFile(iniFileContext& ctx)
{
  if (!ctx.fileName || ctx.fileName->empty()) return false;
  SafeFileWriter file;
  const std::string text = serialize(ctx);
  struct stat st;
  bool written = file.Open(*ctx.fileName) && file.Write(text.data(), text.size()) &&
                 ::fstat(file.Fd(), &st) == 0 && file.Commit();
  if (written) {
    storeStamp(ctx, stampOf(st));
  } else {
    file.Abort();
    ctx.fileName.reset();
    ctx.sections.clear();
    storeStamp(ctx, FileStamp{});
  }
  return written;
}

// --- copying out ----------------------------------------------------------------

int copyText(std::string_view text, char* out, int size)
{
  if (!out || size < 1) return 0;
  size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
  return static_cast<int>(n);
}

// Fills a buffer with a double-NUL-terminated list, cut to fit.
class ListWriter
{
public:
  ListWriter(char* out, int size) : mOut(out), mCapacity(size >= 2 ? static_cast<size_t>(size) - 2 : 0) {}

  void append(std::string_view piece)
  {
    size_t n = std::min(piece.size(), mCapacity - mLength);
    std::memcpy(mOut + mLength, piece.data(), n);
    mLength += n;
  }
  void appendNul() { append(std::string_view("\0", 1)); }

  int finish()
  {
    mOut[mLength] = '\0';
    mOut[mLength + 1] = '\0';
    return static_cast<int>(mLength);
  }

private:
  char* mOut;
  size_t mCapacity;
  size_t mLength = 0;
};

int hexDigit(char c)
{
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int hexByte(const char* p)
{
  int high = hexDigit(p[0]), low = hexDigit(p[1]);
  return (high < 0 || low < 0) ? -1 : high * 16 + low;
}

} // namespace

int GetPrivateProfileString(const char* section, const char* key, const char* defaultValue, char* out,
                            int size, const char* file)
{
  if (!out || size < 1) return 0;
  std::lock_guard<std::recursive_mutex> lock(m_mutex);

  if (!section || !key) {
    if (size < 2) {
      out[0] = '\0';
      return 0;
    }
    ListWriter list(out, size);
    if (!file) return list.finish();
    iniFileContext& ctx = GetFileContext(file);
    if (!section) {
      for (const auto& s : ctx.sections) {
        list.append(s.name);
        list.appendNul();
      }
    } else if (IniSection* s = findSection(ctx, section)) {
      for (const auto& k : s->keys) {
        if (k.key.empty()) continue;
        list.append(k.key);
        list.appendNul();
      }
    }
    return list.finish();
  }

  if (file) {
    iniFileContext& ctx = GetFileContext(file);
    if (IniSection* s = findSection(ctx, section)) {
      if (IniKey* k = findKey(*s, key)) return copyText(prepareValue(k->value), out, size);
    }
  }
  return copyText(defaultValue ? defaultValue : "", out, size);
}

int GetPrivateProfileInt(const char* section, const char* key, int defaultValue, const char* file)
{
  // Without both names the string call would list names, not read a value.
  if (!section || !key) return defaultValue;
  char text[kNumericBufferSize];
  if (GetPrivateProfileString(section, key, "", text, sizeof text, file) == 0) return defaultValue;
  long number = std::strtol(text, nullptr, 10);
  if (number == 0 && text[0] != '0') return defaultValue;
  return static_cast<int>(std::clamp<long>(number, INT_MIN, INT_MAX));
}

int WritePrivateProfileString(const char* section, const char* key, const char* value, const char* file)
{
  if (!section || !file) return 0;
  if (key && !*key) return 0;
  if (key && value && !(isStorableSectionName(section) && isStorableKey(key) && isStorableValue(value)))
    return 0;
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  iniFileContext& ctx = GetFileContext(file);
  if (ctx.unreadable) return 0;

  if (!key) {
    if (removeSection(ctx, section)) return WriteBackFile(ctx) ? 1 : 0;
    return 1;
  }
  if (!value) {
    IniSection* s = findSection(ctx, section);
    if (s && removeKey(*s, key)) return WriteBackFile(ctx) ? 1 : 0;
    return 1;
  }
  IniSection& s = findOrCreateSection(ctx, section);
  if (IniKey* k = findKey(s, key); k && k->value == value) return 1;
  setKey(s, key, value);
  return WriteBackFile(ctx) ? 1 : 0;
}

int GetPrivateProfileSection(const char* section, char* out, int size, const char* file)
{
  if (!out || size < 1) return 0;
  if (size < 2) {
    out[0] = '\0';
    return 0;
  }
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  ListWriter list(out, size);
  if (!section || !file) return list.finish();
  iniFileContext& ctx = GetFileContext(file);
  if (IniSection* s = findSection(ctx, section)) {
    for (const auto& k : s->keys) {
      if (k.key.empty()) continue;
      list.append(k.key);
      list.append("=");
      list.append(prepareValue(k.value));
      list.appendNul();
    }
  }
  return list.finish();
}

int WritePrivateProfileSection(const char* section, const char* contents, const char* file)
{
  if (!section || !file) return 0;
  std::vector<std::string_view> entries;
  for (const char* p = contents; p && *p;) {
    size_t length = std::strlen(p);
    entries.emplace_back(p, std::min(length, kMaxSectionEntryLength));
    p += length + 1;
  }

  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  iniFileContext& ctx = GetFileContext(file);
  if (ctx.unreadable) return 0;
  IniSection* s = findSection(ctx, section);
  if (!s && entries.empty()) return 1;
  if (!s && !isStorableSectionName(section)) return 0;
  if (!s) s = &findOrCreateSection(ctx, section);
  s->keys.clear();
  for (std::string_view entry : entries) {
    size_t equals = entry.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view key = entry.substr(0, equals), value = entry.substr(equals + 1);
    if (isStorableKey(key) && isStorableValue(value)) setKey(*s, key, value);
  }
  return WriteBackFile(ctx) ? 1 : 0;
}

int GetPrivateProfileStruct(const char* section, const char* key, void* out, int size, const char* file)
{
  if (!section || !key || !out || size < 0 || !file) return 0;
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  iniFileContext& ctx = GetFileContext(file);
  IniSection* s = findSection(ctx, section);
  IniKey* k = s ? findKey(*s, key) : nullptr;
  if (!k) return 0;
  std::string_view hex = prepareValue(k->value);
  const size_t count = static_cast<size_t>(size);
  if (hex.size() != 2 * count + 2) return 0;

  auto* bytes = static_cast<unsigned char*>(out);
  unsigned sum = 0;
  for (size_t i = 0; i < count; ++i) {
    int byte = hexByte(hex.data() + 2 * i);
    if (byte < 0) return 0;
    bytes[i] = static_cast<unsigned char>(byte);
    sum += static_cast<unsigned>(byte);
  }
  int checksum = hexByte(hex.data() + 2 * count);
  return (checksum >= 0 && static_cast<unsigned>(checksum) == (sum & 0xFF)) ? 1 : 0;
}

int WritePrivateProfileStruct(const char* section, const char* key, const void* data, int size,
                              const char* file)
{
  if (!key || !data) return WritePrivateProfileString(section, key, nullptr, file);
  if (size < 0) return 0;
  static const char kDigits[] = "0123456789ABCDEF";
  const auto* bytes = static_cast<const unsigned char*>(data);
  const size_t count = static_cast<size_t>(size);
  std::string hex;
  hex.reserve(2 * count + 2);
  unsigned sum = 0;
  for (size_t i = 0; i < count; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 0xF];
    sum += bytes[i];
  }
  hex += kDigits[(sum >> 4) & 0xF];
  hex += kDigits[sum & 0xF];
  return WritePrivateProfileString(section, key, hex.c_str(), file);
}
