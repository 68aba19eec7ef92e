#include "apps/render/schedule.h"
#include "tests/render/midi_builder.h"

#include <gtest/gtest.h>

using namespace render;
using namespace render_test;

namespace {

// Records what the loop does; each processed block gets its number as sample
// values, and the target sounds until `mSoundsUntil` frames have been rendered.
struct FakeTarget : RenderTarget
{
  struct Delivery
  {
    int64_t mBlockStart;
    int mOffset;
    uint8_t mData1;
  };
  struct Block
  {
    int64_t mStart;
    int mFrames;
    double mTempo;
    double mQuarters;
  };
  std::vector<Delivery> mDeliveries;
  std::vector<Block> mBlocks;
  int64_t mRendered = 0;
  int64_t mSoundsUntil = 0;
  double mTempo = 0, mQuarters = 0;

  void SetTransport(double tempo, double quarters, bool running) override
  {
    EXPECT_TRUE(running);
    mTempo = tempo;
    mQuarters = quarters;
  }
  void SendMidi(int offset, uint8_t, uint8_t data1, uint8_t) override
  {
    mDeliveries.push_back({mRendered, offset, data1});
  }
  void ProcessBlock(double* left, double* right, int frames) override
  {
    for (int i = 0; i < frames; ++i) left[i] = right[i] = double(mBlocks.size());
    mBlocks.push_back({mRendered, frames, mTempo, mQuarters});
    mRendered += frames;
  }
  bool IsSounding() const override { return mRendered < mSoundsUntil; }
};

struct CountingSink : BlockSink
{
  int64_t mFrames = 0;
  int64_t mFailAfter = -1;
  bool WriteBlock(const double*, const double*, int frames, std::string& error) override
  {
    if (mFailAfter >= 0 && mFrames >= mFailAfter) {
      error = "disk full";
      return false;
    }
    mFrames += frames;
    return true;
  }
};

MidiFile FileWithNotesAt(const std::vector<uint32_t>& ticks)
{
  // 1000 ticks per second (timecode 25 x 40) keeps frames easy to predict.
  Track t;
  uint32_t last = 0;
  for (size_t i = 0; i < ticks.size(); ++i) t.Ev(ticks[i] - last, {0x90, uint8_t(i), 1}), last = ticks[i];
  const Bytes bytes = Smf(0, 0xE728, {t.End()});
  MidiFile file;
  std::string error;
  EXPECT_TRUE(ParseMidiFile(bytes.data(), bytes.size(), file, error)) << error;
  return file;
}

} // namespace

TEST(Schedule, EventsArriveBeforeTheirBlockWithTheirOffset)
{
  // Ticks are milliseconds; at 44100 Hz tick t is frame floor(44.1 t + 0.5).
  const std::vector<uint32_t> ticks = {0, 1, 11, 12, 12, 23, 500, 999};
  const MidiFile file = FileWithNotesAt(ticks);
  for (int block : {512, 100, 1}) {
    FakeTarget target;
    CountingSink sink;
    const RenderSettings settings{.mBlockSize = block, .mLengthSeconds = 1.0};
    const RenderResult result = RunRender(file, settings, target, sink);
    EXPECT_EQ(std::tuple(result.mOk, result.mFrames, sink.mFrames), std::tuple(true, 44100, 44100));
    ASSERT_EQ(target.mDeliveries.size(), ticks.size()) << block;
    for (size_t i = 0; i < ticks.size(); ++i) {
      const int64_t frame = (int64_t(ticks[i]) * 441 + 5) / 10;
      const auto& d = target.mDeliveries[i];
      EXPECT_EQ(d.mData1, i); // merged order kept, also within one frame
      EXPECT_EQ(d.mBlockStart, frame / block * block) << "block " << block << " event " << i;
      EXPECT_EQ(d.mOffset, frame % block) << "block " << block << " event " << i;
    }
    // Full blocks, the last one shorter.
    for (size_t b = 0; b + 1 < target.mBlocks.size(); ++b) EXPECT_EQ(target.mBlocks[b].mFrames, block);
    EXPECT_EQ(target.mBlocks.back().mFrames, 44100 % block ? 44100 % block : block);
  }
}

TEST(Schedule, FixedLengthOrAFailingSinkEndsTheRender)
{
  const MidiFile file = FileWithNotesAt({0, 1500});
  FakeTarget target;
  target.mSoundsUntil = 1 << 30;
  CountingSink sink;
  RenderSettings settings{.mRate = 48000, .mLengthSeconds = 1.00001}; // 48000.48 frames
  EXPECT_EQ(RunRender(file, settings, target, sink).mFrames, 48000);
  EXPECT_EQ(MaxRenderFrames(file, settings), 48000); // what the WAV writer sizes its header for
  EXPECT_EQ(target.mDeliveries.size(), 1u);
  settings.mLengthSeconds = 0.0;
  EXPECT_EQ(RunRender(file, settings, target, sink).mFrames, 0);

  // A sink that fails stops the render at that block.
  FakeTarget stopped;
  CountingSink full;
  full.mFailAfter = 1024;
  settings.mLengthSeconds = 1.0;
  const RenderResult result = RunRender(file, settings, stopped, full);
  EXPECT_FALSE(result.mOk);
  EXPECT_EQ(result.mError, "disk full");
  EXPECT_EQ(stopped.mBlocks.size(), 3u);
}

TEST(Schedule, DefaultLengthRunsUntilVoicesEndAtMostOneMinuteAfterLastEvent)
{
  const MidiFile file = FileWithNotesAt({0, 1000}); // last event: frame 44100
  const RenderSettings settings{.mBlockSize = 1000, .mLengthSeconds = std::nullopt};
  CountingSink sink;

  // Nothing sounds: stop right after the last event's block; voices releasing:
  // when they end; voices that never end: a minute after the last event.
  const std::pair<int64_t, int64_t> cases[] = {
      {0, 45000}, {50500, 51000}, {int64_t(1) << 40, 44100 + 60 * 44100}};
  for (const auto& [soundsUntil, frames] : cases) {
    FakeTarget target;
    target.mSoundsUntil = soundsUntil;
    EXPECT_EQ(RunRender(file, settings, target, sink).mFrames, frames);
    EXPECT_GE(MaxRenderFrames(file, settings), frames);
    EXPECT_EQ(target.mBlocks.back().mFrames, frames % 1000 ? frames % 1000 : 1000);
  }

  FakeTarget empty;
  EXPECT_EQ(RunRender(FileWithNotesAt({}), settings, empty, sink).mFrames, 0);
}

TEST(Schedule, TransportFollowsTempoMapAtBlockStarts)
{
  // 96 ticks per quarter; 120 bpm, then 60 bpm from 1 s (tick 192) on.
  const Bytes bytes = Smf(0, 96, {Track().Tempo(192, 1000000).Ev(192, {0x80, 1, 0}).End()});
  MidiFile file;
  std::string error;
  ASSERT_TRUE(ParseMidiFile(bytes.data(), bytes.size(), file, error));
  FakeTarget target;
  CountingSink sink;
  const RenderSettings settings{.mRate = 1000, .mBlockSize = 300, .mLengthSeconds = 2.0};
  ASSERT_TRUE(RunRender(file, settings, target, sink).mOk);
  const double tempos[] = {120, 120, 120, 120, 60, 60, 60};
  const double quarters[] = {0.0, 0.6, 1.2, 1.8, 2.2, 2.5, 2.8};
  ASSERT_EQ(target.mBlocks.size(), 7u);
  for (size_t b = 0; b < 7; ++b) {
    EXPECT_EQ(target.mBlocks[b].mTempo, tempos[b]) << b;
    EXPECT_NEAR(target.mBlocks[b].mQuarters, quarters[b], 1e-12) << b;
  }
}
