// The Audio Unit build renders what the offline renderer renders, and its
// instances come and go without leaving anything behind.
#include "au_host.h"

#include "apps/render/midi_file.h"
#include "apps/render/schedule.h"

#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

bool ReadStereoWav(const std::string& path, std::vector<float>& left, std::vector<float>& right)
{
  SF_INFO info = {};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) return false;
  std::vector<float> interleaved(size_t(info.frames) * 2);
  const sf_count_t got = sf_readf_float(file, interleaved.data(), info.frames);
  sf_close(file);
  if (info.channels != 2 || got != info.frames) return false;
  left.resize(size_t(got));
  right.resize(size_t(got));
  for (sf_count_t i = 0; i < got; ++i) {
    left[size_t(i)] = interleaved[size_t(2 * i)];
    right[size_t(i)] = interleaved[size_t(2 * i + 1)];
  }
  return true;
}

} // namespace

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
    std::vector<float> wantL, wantR;
    ASSERT_TRUE(ReadStereoWav(wav, wantL, wantR));

    StandInCloseComponent(mUnit);
    mUnit = StandInOpenComponent(ZorvaComponent());
    ASSERT_NE(mUnit, nullptr);
    HostTransport transport;
    transport.mPlaying = true;
    ASSERT_EQ(Set(kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, transport.Callbacks()), noErr);
    ASSERT_EQ(Set(kAudioUnitProperty_OfflineRender, kAudioUnitScope_Global, 0, UInt32(1)), noErr);
    Prepare(UInt32(block));

    const int64_t total = render::FramesForSeconds(seconds, kRate);
    ASSERT_EQ(int64_t(wantL.size()), total);
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

    int64_t mismatches = 0, first = -1;
    for (int64_t i = 0; i < total; ++i)
      if (std::memcmp(&left[size_t(i)], &wantL[size_t(i)], sizeof(float)) ||
          std::memcmp(&right[size_t(i)], &wantR[size_t(i)], sizeof(float))) {
        if (first < 0) first = i;
        ++mismatches;
      }
    EXPECT_EQ(mismatches, 0) << "first difference at frame " << first;
    EXPECT_GT(*std::max_element(wantL.begin(), wantL.end()), 0.01f) << "the song must make sound";
  }
}

TEST_F(AUHostTest, OpeningAndClosingAThousandTimesLeavesNothingBehind)
{
  StandInCloseComponent(mUnit);
  mUnit = nullptr;
  // Without artwork and factory bank an instance is quick to build; neither
  // holds anything of the adapter's.
  setenv("ZORVA_RESOURCES", mDir.c_str(), 1);
  const long before = StandInLiveCFObjects();
  for (int i = 0; i < 1000; ++i) {
    AudioUnit unit = StandInOpenComponent(ZorvaComponent());
    ASSERT_NE(unit, nullptr);
    // A little traffic that creates and hands over Core Foundation objects.
    CFPropertyListRef state = nullptr;
    UInt32 size = sizeof state;
    ASSERT_EQ(
        AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state, &size),
        noErr);
    ASSERT_EQ(
        AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state, size),
        noErr);
    CFRelease(state);
    CFArrayRef presets = nullptr;
    size = sizeof presets;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0,
                                   &presets, &size),
              noErr);
    CFRelease(presets);
    ASSERT_EQ(StandInCloseComponent(unit), noErr);
  }
  EXPECT_EQ(StandInLiveCFObjects(), before);
}
