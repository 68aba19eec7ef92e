#include "apps/render/midi_file.h"
#include "tests/render/midi_builder.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace render;
using namespace render_test;

namespace {

MidiFile Parse(const Bytes& bytes)
{
  MidiFile file;
  std::string error;
  EXPECT_TRUE(ParseMidiFile(bytes.data(), bytes.size(), file, error)) << error;
  return file;
}

} // namespace

TEST(MidiFile, TempoMapWithSeveralChangesAcrossTracks)
{
  // Tempo lives in track 0, the notes in track 1; 480 ticks per quarter.
  Track tempo;
  tempo.Tempo(960, 250000).Tempo(480, 1000000).End();
  Track notes;
  for (int i = 0; i < 5; ++i) notes.Ev(i == 2 || i == 3 ? 240 : 480, {0x90, 60, 100});
  notes.End();
  const MidiFile file = Parse(Smf(1, 480, {tempo, notes}));
  ASSERT_EQ(file.mEvents.size(), 5u);
  // 120 bpm for two quarters, 240 bpm for one, then 60 bpm.
  const double expected[] = {0.5, 1.0, 1.125, 1.25, 2.25};
  const int64_t frames[] = {22050, 44100, 49613, 55125, 99225}; // 49612.5 rounds up
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_DOUBLE_EQ(file.mTempo.SecondsAt(file.mEvents[i].mTick), expected[i]);
    EXPECT_EQ(file.mTempo.FrameAt(file.mEvents[i].mTick, 44100), frames[i]);
  }
  const std::tuple<int64_t, double, double> points[] = {{0, 120, 0},     {44099, 120, 44099 / 44100.0 * 2},
                                                        {44100, 240, 2}, {49612, 240, 2 + 5512 / 44100.0 * 4},
                                                        {55125, 60, 3},  {99225, 60, 4}};
  for (const auto& [frame, tempo, quarters] : points) {
    EXPECT_EQ(file.mTempo.TempoAtFrame(frame, 44100), tempo) << frame;
    EXPECT_DOUBLE_EQ(file.mTempo.QuarterNotesAtFrame(frame, 44100), quarters) << frame;
  }
}

TEST(MidiFile, TimesStayExactOverManyTempoChanges)
{
  // 10000 changes between two awkward tempos, one note after each: a double
  // running sum would drift; the frames must match integer arithmetic.
  Track t;
  for (int i = 0; i < 10000; ++i) t.Tempo(i ? 7 : 0, i % 2 ? 333331 : 499999).Ev(0, {0x90, 60, 1});
  const MidiFile file = Parse(Smf(0, 96, {t.End()}));
  ASSERT_EQ(file.mEvents.size(), 10000u);
  unsigned __int128 micros = 0; // microseconds * 96 up to the current tick
  for (int i = 0; i < 10000; ++i) {
    const int64_t rate = 48000;
    const int64_t frame = int64_t((2 * micros * rate + 96000000) / (2 * 96000000ull));
    ASSERT_EQ(file.mTempo.FrameAt(file.mEvents[size_t(i)].mTick, rate), frame) << i;
    micros += 7u * (i % 2 ? 333331u : 499999u);
  }
  // Half-frame ties round up: one tick of 0.5 s is frame 1 at 1 Hz and 2 at 3 Hz.
  const MidiFile tie = Parse(Smf(0, 1, {Track().Ev(1, {0x80, 1, 0}).End()}));
  EXPECT_EQ(tie.mTempo.FrameAt(1, 1), 1);
  EXPECT_EQ(tie.mTempo.FrameAt(1, 3), 2);
}

TEST(MidiFile, TimecodeDivisionIgnoresTempoForTimes)
{
  // 25 fps x 40 ticks = 1000 ticks per second; 29.97 fps uses 30000/1001.
  const Track t = Track().Tempo(0, 1000000).Ev(1500, {0x90, 60, 1}).End();
  const MidiFile pal = Parse(Smf(0, uint16_t((uint8_t(-25) << 8) | 40), {t}));
  EXPECT_EQ(pal.mTempo.SecondsAt(1500), 1.5);
  EXPECT_EQ(pal.mTempo.TempoAtFrame(0, 1000), 60.0);
  EXPECT_DOUBLE_EQ(pal.mTempo.QuarterNotesAtFrame(1500, 1000), 1.5);
  const MidiFile ntsc = Parse(Smf(0, uint16_t((uint8_t(-29) << 8) | 100), {t}));
  EXPECT_EQ(ntsc.mTempo.FrameAt(2997, 48000), 48000);   // 0.999999 s
  EXPECT_EQ(ntsc.mTempo.FrameAt(30000, 30000), 300300); // 10.01 s
}

TEST(MidiFile, MergesByTickThenTrackThenOrder)
{
  Track a, b, c;
  a.Ev(10, {0x90, 1, 1}).Ev(0, {0x90, 2, 1}).End();
  b.Ev(5, {0x91, 3, 1}).Ev(5, {0x91, 4, 1}).End();
  c.Ev(10, {0xC2, 5}).Ev(0, {0x92, 6, 1}).Ev(0, {0xD2, 7}).End();
  const MidiFile file = Parse(Smf(1, 96, {a, b, c}));
  std::vector<int> order;
  for (const MidiEvent& e : file.mEvents) order.push_back(e.mData1);
  EXPECT_EQ(order, (std::vector<int>{3, 1, 2, 4, 5, 6, 7}));
  EXPECT_EQ(file.mEvents[4].mStatus, 0xC2);
  EXPECT_EQ(file.mEvents[4].mData2, 0); // one-byte message
  EXPECT_EQ(file.mNumTracks, 3);
}

TEST(MidiFile, RunningStatusSysexMetaAndUnknownChunksAreHandled)
{
  Track t;
  t.Ev(0, {0x90, 60, 100})
      .Ev(1, {62, 100})                              // running status
      .Ev(0, {0xF0, 0x03, 0x7E, 0x7F, 0xF7})         // sysex
      .Ev(0, {0xF7, 0x02, 0x01, 0x02})               // escape
      .Ev(0, {0xFF, 0x01, 0x04, 'a', 'b', 'c', 'd'}) // text meta
      .Ev(1, {64, 0})                                // running status survives them
      .Ev(0, {0xC0, 5})
      .Ev(0, {6}) // running program change
      .End()
      .Ev(0, {0x90, 1, 1}); // after end of track: ignored
  Bytes bytes = Smf(1, 96, {t});
  const Bytes junk = Chunk("XFIH", {1, 2, 3});
  bytes.insert(bytes.begin() + 14, junk.begin(), junk.end()); // before the track
  const MidiFile file = Parse(bytes);
  ASSERT_EQ(file.mEvents.size(), 5u);
  EXPECT_EQ(file.mEvents[1].mData1, 62);
  EXPECT_EQ(std::tuple(file.mEvents[2].mData1, file.mEvents[2].mTick), std::tuple(64, 2u));
  EXPECT_EQ(std::tuple(file.mEvents[4].mStatus, file.mEvents[4].mData1), std::tuple(0xC0, 6));
}

TEST(MidiFile, MalformedFilesGiveClearErrors)
{
  const Track ok = Track().Ev(0, {0x90, 60, 1}).End();
  Bytes truncatedChunk = Smf(0, 96, {ok}), longHeader = truncatedChunk, bigHeader = truncatedChunk;
  truncatedChunk.resize(truncatedChunk.size() - 2);
  longHeader[7] = 200;
  bigHeader[4] = 0xFF;

  const std::vector<std::pair<Bytes, std::string>> cases = {
      {{'R', 'I', 'F', 'F'}, "not a Standard MIDI File"},
      {Smf(2, 96, {ok}), "format 2"},
      {Smf(3, 96, {ok}), "unknown MIDI file format 3"},
      {Smf(1, 96, {ok}, 65535), "after 1 of 65535 tracks"},
      {Smf(0, 0, {ok}), "0 ticks per quarter"},
      {Smf(0, 0xE000 | 10, {ok}), "32 frames per second"},
      {Smf(0, 0xE700, {ok}), "0 ticks per frame"},
      {truncatedChunk, "past the end of the file"},
      {longHeader, "past the end of the file"},
      {bigHeader, "past the end of the file"},
      {Smf(0, 96, {Track{{0x80, 0x80, 0x80, 0x80, 0x01, 0x90, 1, 1}}}), "longer than 4 bytes"},
      {Smf(0, 96, {Track().Ev(0, {60, 100})}), "no running status"},
      {Smf(0, 96, {Track().Ev(0, {0xF2, 1, 1})}), "0xF2"},
      {Smf(0, 96, {Track().Ev(0, {0x90, 60})}), "channel message runs past"},
      {Smf(0, 96, {Track().Ev(0, {0x90, 60, 0x90})}), "where a data byte"},
      {Smf(0, 96, {Track().Ev(0, {0xFF, 0x01, 0x7F, 'x'})}), "meta event runs past"},
      {Smf(0, 96, {Track().Ev(0, {0xF0, 0x8F, 0xFF, 0xFF, 0x7F})}), "sysex event runs past"},
      {Smf(0, 96, {Track().Ev(0, {0xFF, 0x51, 0x02, 1, 2})}), "fewer than 3"},
      {Smf(0, 96, {Track().Tempo(0, 0)}), "0 microseconds"},
      {Smf(0, 96, {Track{{0x00, 0x90, 1, 1, 0x81}}}), "variable-length number runs past"},
      {Smf(0, 96, {Track{{0x00, 0x90, 1, 1, 0x01}}}), "track ends after a delta"},
      {Smf(0, 1, {Track().Tempo(0, 0xFFFFFF).Ev(0x0FFFFFFF, {0x90, 1, 1})}), "beyond 24 hours"},
  };
  MidiFile file;
  std::string error;
  for (const auto& [bytes, fragment] : cases) {
    EXPECT_FALSE(ParseMidiFile(bytes.data(), bytes.size(), file, error));
    EXPECT_TRUE(file.mEvents.empty());
    EXPECT_NE(error.find(fragment), std::string::npos) << "got: " << error;
  }
  EXPECT_FALSE(ReadMidiFile("/nonexistent/zorva.mid", file, error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST(MidiFile, MillionTempoChangesParse)
{
  Track t;
  t.mBytes.reserve(7000010);
  for (int i = 0; i < 1000000; ++i) t.Tempo(1, 400000 + uint32_t(i % 1000));
  t.Ev(0, {0x90, 60, 1}).End();
  const MidiFile file = Parse(Smf(0, 480, {t}));
  EXPECT_EQ(file.mTempo.NumSegments(), 1000001u);
  EXPECT_GT(file.mTempo.QuarterNotesAtFrame(44100 * 60, 44100), 0.0);
}
