#pragma once

// Standard MIDI File reader (formats 0 and 1) with an exact tempo map.
//
// Times are kept as exact fractions of a second so that an event's frame,
// floor(t * rate + 0.5), is the same on every machine and never suffers from
// accumulated rounding over thousands of tempo changes. Doubles appear only
// where a caller asks for one (SecondsAt, tempo and position for the transport).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace render {

using Wide = unsigned __int128;

// mNum / mDen seconds.
struct ExactTime
{
  Wide mNum = 0;
  uint64_t mDen = 1;
};

class TempoMap
{
public:
  static constexpr uint32_t kDefaultMicrosPerQuarter = 500000; // 120 beats per minute

  TempoMap() { SetMetrical(480); }

  // Ticks per quarter note (division with bit 15 clear).
  void SetMetrical(uint32_t ticksPerQuarter);
  // Timecode division: framesPerSecond is 24, 25, 29 (meaning 30000/1001) or 30.
  void SetTimecode(uint32_t framesPerSecond, uint32_t ticksPerFrame);

  // Changes must arrive in tick order; a later change at the same tick wins.
  void AddChange(uint64_t tick, uint32_t microsPerQuarter);
  void Reserve(size_t changes) { mSegments.reserve(changes + 1); }

  ExactTime TimeAt(uint64_t tick) const;
  double SecondsAt(uint64_t tick) const;
  // floor(t * rate + 0.5), computed exactly.
  int64_t FrameAt(uint64_t tick, int64_t rate) const;

  // The transport at the start of frame `frame`: the tempo in force there
  // (in beats per minute) and the position in quarter notes.
  double TempoAtFrame(int64_t frame, int64_t rate) const;
  double QuarterNotesAtFrame(int64_t frame, int64_t rate) const;

  size_t NumSegments() const { return mSegments.size(); }
  bool IsTimecode() const { return mTimecode; }

private:
  struct Segment
  {
    uint64_t mTick;
    Wide mTimeNum; // segment start, over mDen
    uint32_t mMicrosPerQuarter;
    double mQuarters; // position at segment start
  };

  void Restart();
  size_t SegmentAtFrame(int64_t frame, int64_t rate) const;

  bool mTimecode = false;
  uint32_t mTicksPerQuarter = 480;
  // For timecode: seconds = tick * mTimecodeMul / mDen.
  uint64_t mTimecodeMul = 1;
  uint64_t mDen = 1;
  std::vector<Segment> mSegments; // never empty; the first starts at tick 0
};

// One channel message as it will reach the instrument. Program change and
// channel pressure carry one data byte; their data2 is 0.
struct MidiEvent
{
  uint64_t mTick = 0;
  uint32_t mTrack = 0;
  uint32_t mOrder = 0; // position within its track
  uint8_t mStatus = 0;
  uint8_t mData1 = 0;
  uint8_t mData2 = 0;
};

struct MidiFile
{
  int mFormat = 0;
  int mNumTracks = 0;
  uint16_t mDivision = 0;
  // Merged by tick, then track, then order within the track.
  std::vector<MidiEvent> mEvents;
  TempoMap mTempo;
};

// Larger inputs are refused rather than risking huge allocations: a genuine
// performance file is a few hundred kilobytes at most.
constexpr size_t kMaxMidiFileBytes = 64u << 20;
// Events later than this are refused: rendering them would run for days.
constexpr uint64_t kMaxEventSeconds = 24 * 60 * 60;

// Both return false with a message naming the problem (and where it is)
// for anything that is not a well-formed format 0 or 1 file.
bool ParseMidiFile(const uint8_t* data, size_t size, MidiFile& out, std::string& error);
// ReadMidiFile takes a regular file, or "-" (or /dev/stdin) for standard input.
bool ReadMidiFile(const std::string& path, MidiFile& out, std::string& error);

} // namespace render
