#pragma once

// The offline render loop: MIDI events placed on exact frames, delivered just
// before the block that contains them, the transport set per block, and the
// audio handed block by block to a sink.

#include "apps/render/midi_file.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace render {

// What the render loop drives: the instrument, seen from a host.
class RenderTarget
{
public:
  virtual ~RenderTarget() = default;
  virtual void SetTransport(double tempo, double quarterNotes, bool running) = 0;
  // A short message at `offset` frames into the block about to be processed.
  virtual void SendMidi(int offset, uint8_t status, uint8_t data1, uint8_t data2) = 0;
  virtual void ProcessBlock(double* left, double* right, int frames) = 0;
  // True while any voice still makes sound.
  virtual bool IsSounding() const = 0;
};

class BlockSink
{
public:
  virtual ~BlockSink() = default;
  virtual bool WriteBlock(const double* left, const double* right, int frames, std::string& error) = 0;
};

struct TimedMessage
{
  int64_t mFrame = 0;
  uint8_t mStatus = 0;
  uint8_t mData1 = 0;
  uint8_t mData2 = 0;
};

// floor(seconds * rate + 0.5)
int64_t FramesForSeconds(double seconds, int rate);

// Every channel event of the file on its frame, in the file's merged order.
std::vector<TimedMessage> ScheduleEvents(const MidiFile& file, int rate);

// With no explicit length the render stops after the block in which the last
// event has been delivered and no voice sounds any more, or this long after
// the last event, whichever comes first.
constexpr int kMaxTailSeconds = 60;

struct RenderSettings
{
  int mRate = 44100;
  int mBlockSize = 512;
  std::optional<double> mLengthSeconds; // none: until the voices have ended
};

// Called after each block with the frames done so far and the frames
// expected (the fixed length, or the frame after the last event).
using ProgressFunc = std::function<void(int64_t done, int64_t expected)>;

struct RenderResult
{
  int64_t mFrames = 0;
  bool mOk = false;
  std::string mError;
};

// The most frames RunRender can produce with these settings: the fixed
// length, else the last event plus the longest tail.
int64_t MaxRenderFrames(const MidiFile& file, const RenderSettings& settings);

RenderResult RunRender(const MidiFile& file, const RenderSettings& settings, RenderTarget& target,
                       BlockSink& sink, const ProgressFunc& progress = {});

} // namespace render
