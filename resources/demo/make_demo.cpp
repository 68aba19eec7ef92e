// Writes the demo song: about 30 seconds that walk through the factory bank
// with program changes, pad chords under the sustain pedal, a bass line, keys,
// a gliding lead with pitch bend and vibrato on the mod wheel, tempo-synced
// gating and a brass ending.
//
//   make-demo OUTPUT.mid

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kTicksPerQuarter = 480;
constexpr int kBar = 4 * kTicksPerQuarter;
constexpr int kEighth = kTicksPerQuarter / 2;
constexpr int kSixteenth = kTicksPerQuarter / 4;

// Program numbers in the factory bank.
enum Program {
  kWarmPad = 16,
  kPulseBass = 9,
  kElectricPiano = 32,
  kMonoGlideLead = 1,
  kGatedSaw = 48,
  kBrassSection = 26,
  kStringEnsemble = 24,
};

struct Event
{
  int tick;
  int order; // keeps events of one tick in the order they were written
  std::vector<uint8_t> bytes;
};

class Track
{
public:
  void add(int tick, std::vector<uint8_t> bytes) { events.push_back({tick, int(events.size()), bytes}); }
  void note(int tick, int length, int key, int velocity)
  {
    add(tick, {0x90, uint8_t(key), uint8_t(velocity)});
    add(tick + length, {0x80, uint8_t(key), 0});
  }
  void chord(int tick, int length, std::initializer_list<int> keys, int velocity)
  {
    for (int key : keys) note(tick, length, key, velocity);
  }
  void program(int tick, int number) { add(tick, {0xC0, uint8_t(number)}); }
  void controller(int tick, int number, int value) { add(tick, {0xB0, uint8_t(number), uint8_t(value)}); }
  void pitchBend(int tick, int value) // -8192 ... 8191
  {
    const int raw = value + 8192;
    add(tick, {0xE0, uint8_t(raw & 0x7F), uint8_t(raw >> 7)});
  }

  std::vector<uint8_t> chunk() const
  {
    std::multimap<std::pair<int, int>, const Event*> sorted;
    for (const Event& e : events) {
      // Note-offs before note-ons of the same tick, so a repeated key restarts.
      const bool off = (e.bytes[0] & 0xF0) == 0x80;
      sorted.insert({{e.tick, off ? -1 : e.order}, &e});
    }
    std::vector<uint8_t> data;
    int last = 0;
    for (const auto& [key, e] : sorted) {
      putVarLen(data, uint32_t(e->tick - last));
      last = e->tick;
      data.insert(data.end(), e->bytes.begin(), e->bytes.end());
    }
    putVarLen(data, 0);
    data.insert(data.end(), {0xFF, 0x2F, 0x00});
    return data;
  }

private:
  static void putVarLen(std::vector<uint8_t>& out, uint32_t value)
  {
    uint8_t bytes[4];
    int n = 0;
    do {
      bytes[n++] = value & 0x7F;
      value >>= 7;
    } while (value);
    while (n--) out.push_back(uint8_t(bytes[n] | (n ? 0x80 : 0)));
  }

  std::vector<Event> events;
};

void put32(std::vector<uint8_t>& out, uint32_t v)
{
  out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

Track tempoTrack()
{
  Track t;
  t.add(0, {0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08}); // 4/4
  t.add(0, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});       // 120 beats per minute
  return t;
}

Track song()
{
  Track t;
  int bar = 0;

  // Bars 1-3: pad chords, the pedal holding each into the next.
  t.program(0, kWarmPad);
  const std::initializer_list<int> padChords[] = {{48, 55, 59, 64}, {45, 52, 55, 60}, {41, 48, 52, 57}};
  for (const auto& chord : padChords) {
    const int at = bar * kBar;
    t.controller(at, 64, 127);
    t.chord(at, kBar - kEighth, chord, 84);
    t.controller(at + kBar - 10, 64, 0);
    ++bar;
  }

  // Bars 4-5: a mono bass line in eighths.
  t.program(bar * kBar, kPulseBass);
  const int bassLine[] = {36, 36, 48, 36, 43, 36, 46, 48, 33, 33, 45, 33, 40, 43, 45, 47};
  for (int i = 0; i < 16; ++i) t.note(bar * kBar + i * kEighth, kEighth - 40, bassLine[i], i % 2 ? 90 : 112);
  bar += 2;

  // Bars 6-7: electric piano, left-hand bass and right-hand chords.
  t.program(bar * kBar, kElectricPiano);
  const std::initializer_list<int> keysChords[] = {
      {60, 64, 67, 71}, {57, 60, 64, 67}, {53, 57, 60, 64}, {55, 59, 62, 65}};
  const int keysBass[] = {36, 33, 29, 31};
  for (int i = 0; i < 4; ++i) {
    const int at = bar * kBar + i * 2 * kTicksPerQuarter;
    t.note(at, 2 * kTicksPerQuarter - 60, keysBass[i], 96);
    t.chord(at + kEighth, kTicksPerQuarter + kEighth - 60, keysChords[i], 76);
  }
  bar += 2;

  // Bars 8-10: gliding lead, a bend up into the long note and vibrato on the wheel.
  t.program(bar * kBar, kMonoGlideLead);
  const struct
  {
    int beat16, length16, key;
  } melody[] = {{0, 3, 72},  {3, 3, 74},  {6, 2, 76},  {8, 6, 79},  {14, 2, 76}, {16, 4, 74},
                {20, 4, 72}, {24, 8, 71}, {32, 2, 72}, {34, 2, 74}, {36, 12, 76}};
  const int leadStart = bar * kBar;
  for (const auto& n : melody)
    t.note(leadStart + n.beat16 * kSixteenth, n.length16 * kSixteenth - 20, n.key, 100);
  for (int step = 0; step <= 8; ++step) // a whole-tone bend up and back around the long G
    t.pitchBend(leadStart + 8 * kSixteenth + step * 30, step <= 4 ? step * 1024 : (8 - step) * 1024);
  t.pitchBend(leadStart + 9 * kSixteenth, 0);
  for (int step = 0; step <= 16; ++step) // the wheel brings in vibrato on the last note
    t.controller(leadStart + 36 * kSixteenth + step * kSixteenth / 2, 1, step * 127 / 16);
  t.controller(leadStart + 48 * kSixteenth, 1, 0);
  bar += 3;

  // Bars 11-12: tempo-synced gate over two chords.
  t.program(bar * kBar, kGatedSaw);
  t.chord(bar * kBar, kBar - 30, {45, 52, 57, 60, 64}, 90);
  t.chord((bar + 1) * kBar, kBar - 30, {41, 48, 53, 57, 60}, 90);
  bar += 2;

  // Bars 13-14: brass stabs, then a held string chord to close.
  t.program(bar * kBar, kBrassSection);
  const int stabs[] = {0, 3, 6, 10, 12}; // in sixteenths
  for (int s : stabs) t.chord(bar * kBar + s * kSixteenth, kEighth, {55, 59, 62, 67}, 110);
  ++bar;
  t.program(bar * kBar, kStringEnsemble);
  t.chord(bar * kBar, 2 * kBar, {48, 55, 60, 64, 67, 72}, 88);
  return t;
}

} // namespace

int main(int argc, char** argv)
{
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-demo OUTPUT.mid\n");
    return 2;
  }
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 0, 0};
  file[12] = uint8_t(kTicksPerQuarter >> 8);
  file[13] = uint8_t(kTicksPerQuarter & 0xFF);
  for (const Track& track : {tempoTrack(), song()}) {
    const std::vector<uint8_t> data = track.chunk();
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    put32(file, uint32_t(data.size()));
    file.insert(file.end(), data.begin(), data.end());
  }
  std::ofstream out(argv[1], std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  return out.good() ? 0 : 1;
}
