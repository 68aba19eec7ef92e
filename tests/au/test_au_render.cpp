// The Audio Unit build renders what the offline renderer renders, and its
// instances come and go without leaving anything behind.
#include "au_host.h"

#include "apps/render/midi_file.h"
#include "apps/render/schedule.h"

#include "tests/common/samples.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

// Assumes a host that reports its transport through the callbacks (tempo and
// beat of the tempo map at each block start, playing) and sends every event
// with its offset into the block about to be rendered.
TEST_F(AUHostTest, RendersTheDemoSongSampleForSampleAsTheRenderer)
{
  constexpr int kRate = 44100;
  render::MidiFile midi;
  std::string error;
  ASSERT_TRUE(render::ReadMidiFile(ZORVA_DEMO_MID, midi, error)) << error;
  const std::vector<render::TimedMessage> events = render::ScheduleEvents(midi, kRate);

  for (const int block : {1, 64, 512, 4096}) {
    SCOPED_TRACE("block size " + std::to_string(block));
    // Block size 1 is slow on both sides: its first seconds hold every kind of event.
    const double seconds = block == 1 ? 4.0 : 31.0;
    const std::string wav = (mDir / "render.wav").string();
    const std::string command = std::string(ZORVA_RENDER_EXE) + " '" + ZORVA_DEMO_MID + "' -o '" + wav +
                                "' --format f32 --quiet --block " + std::to_string(block) + " --length " +
                                std::to_string(seconds) + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::vector<std::vector<float>> want = readWavChannels(wav);
    ASSERT_EQ(want.size(), 2u);

    StandInCloseComponent(mUnit);
    mUnit = StandInOpenComponent(ZorvaComponent());
    ASSERT_NE(mUnit, nullptr);
    HostTransport transport;
    transport.mPlaying = true;
    ASSERT_EQ(Set(kAudioUnitProperty_HostCallbacks, kGlobal, 0, transport.Callbacks()), noErr);
    ASSERT_EQ(Set(kAudioUnitProperty_OfflineRender, kGlobal, 0, UInt32(1)), noErr);
    Prepare(UInt32(block));

    const int64_t total = render::FramesForSeconds(seconds, kRate);
    std::vector<float> left(static_cast<size_t>(total)), right(static_cast<size_t>(total));
    size_t next = 0;
    for (int64_t start = 0; start < total; start += block) {
      const int frames = int(std::min<int64_t>(block, total - start));
      transport.mTempo = midi.mTempo.TempoAtFrame(start, kRate);
      transport.mBeat = midi.mTempo.QuarterNotesAtFrame(start, kRate);
      transport.mSample = double(start);
      for (; next < events.size() && events[next].mFrame < start + frames; ++next) {
        const render::TimedMessage& m = events[next];
        ASSERT_EQ(MusicDeviceMIDIEvent(mUnit, m.mStatus, m.mData1, m.mData2, UInt32(m.mFrame - start)),
                  noErr);
      }
      ASSERT_EQ(Render(double(start), UInt32(frames), {left.data() + start, right.data() + start}), noErr);
    }

    EXPECT_EQ(firstDifference(left, want[0]), -1);
    EXPECT_EQ(firstDifference(right, want[1]), -1);
    EXPECT_GT(*std::max_element(want[0].begin(), want[0].end()), 0.01f) << "the song must make sound";
  }
}

TEST_F(AUHostTest, OpeningAndClosingAThousandTimesLeavesNothingBehind)
{
  StandInCloseComponent(std::exchange(mUnit, nullptr));
  // Without artwork and factory bank an instance is quick to build; neither
  // holds anything of the adapter's.
  setenv("ZORVA_RESOURCES", mDir.c_str(), 1);
  const long before = StandInLiveCFObjects();
  for (int i = 0; i < 1000; ++i) {
    mUnit = StandInOpenComponent(ZorvaComponent());
    ASSERT_NE(mUnit, nullptr);
    // A little traffic that creates and hands over Core Foundation objects.
    CFPropertyListRef state = nullptr;
    CFArrayRef presets = nullptr;
    ASSERT_EQ(Get(kAudioUnitProperty_ClassInfo, kGlobal, 0, state), noErr);
    ASSERT_EQ(Set(kAudioUnitProperty_ClassInfo, kGlobal, 0, state), noErr);
    ASSERT_EQ(Get(kAudioUnitProperty_FactoryPresets, kGlobal, 0, presets), noErr);
    CFRelease(state);
    CFRelease(presets);
    ASSERT_EQ(StandInCloseComponent(std::exchange(mUnit, nullptr)), noErr);
  }
  EXPECT_EQ(StandInLiveCFObjects(), before);
}
