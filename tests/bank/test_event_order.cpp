// Events a host hands over for one block act at their own frames and in the
// order they arrived, whatever the block size.

#include "tests/bank/render_path.h"

#include <algorithm>
#include <cmath>
#include <utility>

using namespace render_test;

namespace {

// 441 ticks per quarter at 10 ms per quarter: one tick is one frame.
Bytes FrameExactSong(const std::vector<std::pair<uint32_t, std::vector<uint8_t>>>& events)
{
  Track track;
  track.Tempo(0, 10000);
  uint32_t now = 0;
  for (const auto& [frame, bytes] : events) {
    PutVlq(track.mBytes, frame - now);
    track.mBytes.insert(track.mBytes.end(), bytes.begin(), bytes.end());
    now = frame;
  }
  return Smf(0, 441, {track.End()});
}

double PeakFrom(const Stereo& audio, size_t from)
{
  double peak = 0.0;
  for (size_t i = from; i < audio.left.size(); ++i)
    peak = std::max({peak, std::fabs(audio.left[i]), std::fabs(audio.right[i])});
  return peak;
}

} // namespace

TEST(EventOrder, AllNotesOffReleasesTheNotesThatCameBeforeIt)
{
  // One frame apart inside a block, and a note near the end of a 512-frame
  // block (left over for the next control step) with the release on the first
  // frame of the next block. An ordinary note follows.
  for (uint32_t on : {300u, 1020u}) {
    const uint32_t off = on == 300 ? 301 : 1024;
    const Bytes song = FrameExactSong(
        {{on, {0x90, 60, 100}}, {off, {0xB0, 123, 0}}, {10000, {0x90, 72, 100}}, {20000, {0x80, 72, 0}}});
    for (int block : {1, 64, 512}) {
      const Stereo audio = RenderProgram(song, 0, block, 1.5);
      EXPECT_GT(PeakFrom(audio, 0), 0.01) << "block " << block;
      EXPECT_LT(PeakFrom(audio, kRate), 1e-4) << "note at " << on << ", block " << block << ": it hangs";
    }
  }
}

TEST(EventOrder, ProgramChangeActsAtItsFrame)
{
  const std::vector<std::pair<uint32_t, std::vector<uint8_t>>> notes = {{0, {0x90, 48, 100}},
                                                                        {20000, {0x80, 48, 0}}};
  auto withChange = notes;
  withChange.insert(withChange.begin() + 1, {400, {0xC0, 40}});
  for (int block : {1, 64, 512}) {
    const Stereo plain = RenderProgram(FrameExactSong(notes), 0, block, 0.5);
    const Stereo changed = RenderProgram(FrameExactSong(withChange), 0, block, 0.5);
    size_t differs = 0;
    while (differs < plain.left.size() && plain.left[differs] == changed.left[differs]) ++differs;
    EXPECT_NEAR(double(differs), 400.0, 2 * 44) << "block " << block;
  }
}
