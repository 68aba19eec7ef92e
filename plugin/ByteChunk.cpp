#include "ByteChunk.h"

#include <climits>

void ByteChunk::Reserve(size_t bytes)
{
  if (bytes <= mBytes.capacity()) return;
  const size_t granted = (bytes + kGrowBytes - 1) / kGrowBytes * kGrowBytes;
  mBytes.reserve(granted);
}

int ByteChunk::PutBytes(const void* data, int n)
{
  if (n <= 0 || !data) return Size();
  const size_t old = mBytes.size();
  Reserve(old + static_cast<size_t>(n));
  mBytes.resize(old + static_cast<size_t>(n));
  std::memcpy(mBytes.data() + old, data, static_cast<size_t>(n));
  return Size();
}

int ByteChunk::GetBytes(void* data, int n, int pos) const
{
  if (!Holds(pos, n)) return -1;
  if (n > 0) std::memcpy(data, mBytes.data() + pos, static_cast<size_t>(n));
  return pos + n;
}

int ByteChunk::PutStr(const char* text)
{
  const size_t len = text ? std::strlen(text) : 0;
  const int32_t n = len > INT32_MAX ? INT32_MAX : static_cast<int32_t>(len);
  Put(n);
  return PutBytes(text, n);
}

int ByteChunk::GetStr(std::string& text, int pos) const
{
  int32_t len = 0;
  const int afterLen = Get(&len, pos);
  if (afterLen < 0 || len < 0) return -1;
  const int64_t next = static_cast<int64_t>(afterLen) + len;
  if (next > INT_MAX) return -1;
  if (len > 0 && Holds(afterLen, len)) {
    const char* start = reinterpret_cast<const char*>(mBytes.data() + afterLen);
    text.assign(start, strnlen(start, static_cast<size_t>(len)));
  }
  return static_cast<int>(next);
}

int ByteChunk::GetBE(uint32_t* pValue, int pos) const
{
  uint32_t raw;
  const int next = Get(&raw, pos);
  if (next >= 0) *pValue = ToBigEndian(raw);
  return next;
}

int ByteChunk::GetBE(int32_t* pValue, int pos) const
{
  uint32_t v;
  const int next = GetBE(&v, pos);
  if (next >= 0) *pValue = static_cast<int32_t>(v);
  return next;
}

int ByteChunk::GetBE(float* pValue, int pos) const
{
  uint32_t v;
  const int next = GetBE(&v, pos);
  if (next >= 0) *pValue = std::bit_cast<float>(v);
  return next;
}

int ByteChunk::Resize(int n)
{
  const size_t size = n > 0 ? static_cast<size_t>(n) : 0;
  Reserve(size);
  mBytes.resize(size, 0);
  return Size();
}

namespace {
const char kBase64Chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c)
{
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}
} // namespace

int Base64Decode(const char* text, uint8_t* out, int maxBytes)
{
  if (!text || !out || maxBytes <= 0) return 0;
  int written = 0;
  uint32_t acc = 0;
  int bits = 0;
  for (const char* p = text; *p && written < maxBytes; ++p) {
    const int v = Base64Value(*p);
    if (v < 0) break;
    acc = (acc << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out[written++] = static_cast<uint8_t>((acc >> bits) & 0xFF);
    }
  }
  return written;
}

std::string Base64Encode(const uint8_t* data, int n)
{
  std::string text;
  if (!data || n <= 0) return text;
  text.reserve(static_cast<size_t>(n + 2) / 3 * 4);
  for (int i = 0; i < n; i += 3) {
    const uint32_t b0 = data[i];
    const uint32_t b1 = i + 1 < n ? data[i + 1] : 0;
    const uint32_t b2 = i + 2 < n ? data[i + 2] : 0;
    const uint32_t triple = (b0 << 16) | (b1 << 8) | b2;
    text += kBase64Chars[(triple >> 18) & 63];
    text += kBase64Chars[(triple >> 12) & 63];
    text += i + 1 < n ? kBase64Chars[(triple >> 6) & 63] : '=';
    text += i + 2 < n ? kBase64Chars[triple & 63] : '=';
  }
  return text;
}
