#pragma once

// Builds Standard MIDI Files in memory for the tests.

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace render_test {

using Bytes = std::vector<uint8_t>;

inline void PutVlq(Bytes& out, uint32_t v)
{
  uint8_t groups[5];
  int n = 0;
  do groups[n++] = v & 0x7F, v >>= 7;
  while (v);
  while (n--) out.push_back(uint8_t(groups[n] | (n ? 0x80 : 0)));
}

struct Track
{
  Bytes mBytes;
  Track& Ev(uint32_t delta, std::initializer_list<uint8_t> bytes)
  {
    PutVlq(mBytes, delta);
    mBytes.insert(mBytes.end(), bytes);
    return *this;
  }
  Track& Tempo(uint32_t delta, uint32_t micros)
  {
    return Ev(delta, {0xFF, 0x51, 0x03, uint8_t(micros >> 16), uint8_t(micros >> 8), uint8_t(micros)});
  }
  Track& End(uint32_t delta = 0) { return Ev(delta, {0xFF, 0x2F, 0x00}); }
};

inline void PutBe(Bytes& out, uint32_t v, int bytes)
{
  while (bytes--) out.push_back(uint8_t(v >> (8 * bytes)));
}

inline Bytes Chunk(const char* id, const Bytes& body)
{
  Bytes out(id, id + 4);
  PutBe(out, uint32_t(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

inline Bytes Smf(uint16_t format, uint16_t division, const std::vector<Track>& tracks, int declared = -1)
{
  Bytes header;
  PutBe(header, format, 2);
  PutBe(header, declared < 0 ? uint32_t(tracks.size()) : uint32_t(declared), 2);
  PutBe(header, division, 2);
  Bytes out = Chunk("MThd", header);
  for (const Track& t : tracks) {
    Bytes c = Chunk("MTrk", t.mBytes);
    out.insert(out.end(), c.begin(), c.end());
  }
  return out;
}

} // namespace render_test
