// Writes a MIDI file that holds N notes (36, 37, ...) at velocity 100 for the
// given number of seconds at 120 beats per minute: the render benchmark's load.
//
//   make-held-notes N SECONDS OUTPUT.mid

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

int main(int argc, char** argv)
{
  if (argc != 4) {
    std::fprintf(stderr, "usage: make-held-notes N SECONDS OUTPUT.mid\n");
    return 2;
  }
  const int notes = std::atoi(argv[1]);
  const long ticks = std::atol(argv[2]) * 2 * 480; // 120 bpm, 480 ticks per quarter
  if (notes < 1 || notes > 92 || ticks < 1) return 2;

  std::vector<uint8_t> track;
  auto delta = [&](long value) {
    uint8_t bytes[5];
    int n = 0;
    do {
      bytes[n++] = uint8_t(value & 0x7F);
      value >>= 7;
    } while (value);
    while (n--) track.push_back(uint8_t(bytes[n] | (n ? 0x80 : 0)));
  };
  for (int i = 0; i < notes; ++i) {
    delta(0);
    track.insert(track.end(), {0x90, uint8_t(36 + i), 100});
  }
  for (int i = 0; i < notes; ++i) {
    delta(i == 0 ? ticks : 0);
    track.insert(track.end(), {0x80, uint8_t(36 + i), 0});
  }
  delta(0);
  track.insert(track.end(), {0xFF, 0x2F, 0x00});

  std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
  const uint32_t size = uint32_t(track.size());
  file.insert(file.end(), {uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size)});
  file.insert(file.end(), track.begin(), track.end());
  std::ofstream out(argv[3], std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  return out.good() ? 0 : 1;
}
