#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

// Growable byte buffer behind every state chunk, program and bank file.
// Values go in the machine's own (little-endian) order; program and bank file
// headers are big-endian and use the *BE helpers. Every read is bounds-checked
// and answers -1 instead of touching bytes outside the buffer, so a hostile
// file can end a read early but never reach past its end.
class ByteChunk
{
public:
  static constexpr int kGrowBytes = 4096;

  template <class T>
  requires(std::is_trivially_copyable_v<T> && !std::is_pointer_v<T>) int Put(const T& value)
  {
    return PutBytes(&value, static_cast<int>(sizeof(T)));
  }
  template <class T>
  requires(std::is_trivially_copyable_v<T>) int Put(const T* pValue)
  {
    return PutBytes(pValue, static_cast<int>(sizeof(T)));
  }

  // Answers pos + sizeof(T), or -1 (value untouched) if the bytes are not all there.
  template <class T>
  requires(std::is_trivially_copyable_v<T> && !std::is_pointer_v<T>) int Get(T* pValue, int pos) const
  {
    return GetBytes(pValue, static_cast<int>(sizeof(T)), pos);
  }
  template <class T>
  requires(std::is_trivially_copyable_v<T> && !std::is_pointer_v<T>) int Get(T& value, int pos) const
  {
    return GetBytes(&value, static_cast<int>(sizeof(T)), pos);
  }

  // Length-prefixed text (32-bit length, characters, no NUL).
  int PutStr(const char* text);
  // Answers pos + 4 + length whenever a usable length was read, even if the
  // characters are missing (the next read then fails); -1 if the length itself
  // cannot be read, is negative, or the answer would overflow. The text is
  // only replaced for a positive length whose characters are all present.
  int GetStr(std::string& text, int pos) const;

  int PutBytes(const void* data, int n);
  int GetBytes(void* data, int n, int pos) const;

  // Big-endian forms for the program and bank file headers.
  int PutBE(uint32_t value) { return Put(ToBigEndian(value)); }
  int PutBE(int32_t value) { return PutBE(static_cast<uint32_t>(value)); }
  int PutBE(float value) { return PutBE(std::bit_cast<uint32_t>(value)); }
  int GetBE(uint32_t* pValue, int pos) const;
  int GetBE(int32_t* pValue, int pos) const;
  int GetBE(float* pValue, int pos) const;

  // Appends another chunk's bytes.
  int PutChunk(const ByteChunk& other) { return PutBytes(other.GetData(), other.Size()); }

  void Clear() { mBytes.clear(); }
  int Size() const { return static_cast<int>(mBytes.size()); }
  // Grows with zeros or cuts; answers the new size.
  int Resize(int n);
  uint8_t* GetData() { return mBytes.data(); }
  const uint8_t* GetData() const { return mBytes.data(); }
  bool IsEqual(const ByteChunk& other) const { return mBytes == other.mBytes; }

  static uint32_t ToBigEndian(uint32_t v)
  {
    if constexpr (std::endian::native == std::endian::little)
      return ((v & 0xFFu) << 24) | ((v & 0xFF00u) << 8) | ((v >> 8) & 0xFF00u) | (v >> 24);
    else
      return v;
  }

private:
  // True if [pos, pos + n) lies inside the buffer; immune to int overflow.
  bool Holds(int pos, int n) const
  {
    return pos >= 0 && n >= 0 && static_cast<int64_t>(pos) + n <= static_cast<int64_t>(mBytes.size());
  }
  void Reserve(size_t bytes);

  std::vector<uint8_t> mBytes;
};

// Standard Base64 alphabet ("+" 62, "/" 63). Decoding stops at the first
// character outside the alphabet (so padding ends it) and never writes more
// than maxBytes; answers the number of bytes written.
int Base64Decode(const char* text, uint8_t* out, int maxBytes);
std::string Base64Encode(const uint8_t* data, int n);

// Four-character code as a 32-bit integer, first character most significant.
constexpr int32_t FourCC(const char (&code)[5])
{
  return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(code[0])) << 24) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 16) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 8) |
                              static_cast<uint32_t>(static_cast<uint8_t>(code[3])));
}
