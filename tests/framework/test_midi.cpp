#include "IMidiQueue.h"
#include "IPluginStructs.h"

#include <gtest/gtest.h>

namespace {

TEST(IMidiMsg, BuildsAndDecodesNotes)
{
  IMidiMsg on;
  on.MakeNoteOnMsg(60, 100, 17, 3);
  EXPECT_EQ(on.mStatus, 0x93);
  EXPECT_EQ(on.mOffset, 17);
  EXPECT_EQ(on.StatusMsg(), IMidiMsg::kNoteOn);
  EXPECT_EQ(on.Channel(), 3);
  EXPECT_EQ(on.NoteNumber(), 60);
  EXPECT_EQ(on.Velocity(), 100);
  EXPECT_EQ(on.Program(), -1);

  IMidiMsg off;
  off.MakeNoteOffMsg(61, 5);
  EXPECT_EQ(off.mStatus, 0x80);
  EXPECT_EQ(off.StatusMsg(), IMidiMsg::kNoteOff);
  EXPECT_EQ(off.NoteNumber(), 61);
  EXPECT_EQ(off.Velocity(), 0);

  // Velocity 0 stays a note on; the engine decides it means off.
  IMidiMsg zero(0, 0x90, 64, 0);
  EXPECT_EQ(zero.StatusMsg(), IMidiMsg::kNoteOn);
  EXPECT_EQ(zero.Velocity(), 0);

  // A channel out of range must not change the kind of message.
  IMidiMsg bad;
  bad.MakeNoteOnMsg(60, 100, 0, 16);
  EXPECT_EQ(bad.StatusMsg(), IMidiMsg::kNoteOn);
}

TEST(IMidiMsg, DecodesEveryOtherKindAndClears)
{
  const IMidiMsg program(0, 0xC2, 12, 0);
  EXPECT_EQ(program.StatusMsg(), IMidiMsg::kProgramChange);
  EXPECT_EQ(program.Program(), 12);
  EXPECT_EQ(program.NoteNumber(), -1);

  const IMidiMsg cc(0, 0xB0, 64, 127);
  EXPECT_EQ(cc.StatusMsg(), IMidiMsg::kControlChange);
  EXPECT_EQ(cc.ControlChangeIdx(), IMidiMsg::kSustainOnOff);
  EXPECT_EQ(cc.ControlChange(IMidiMsg::kSustainOnOff), 1.0);
  EXPECT_EQ(cc.ControlChange(IMidiMsg::kModWheel), -1.0);
  EXPECT_EQ(program.ControlChange(IMidiMsg::EControlChangeMsg(12)), -1.0);

  for (uint8_t status : {0xF8, 0x45, 0xF0, 0x00}) {
    const IMidiMsg msg(0, status, 1, 2);
    EXPECT_EQ(msg.StatusMsg(), IMidiMsg::kNone) << int(status);
    EXPECT_EQ(msg.NoteNumber(), -1);
    EXPECT_EQ(msg.Program(), -1);
  }

  // The pitch wheel spans -1 to just below 1.
  EXPECT_EQ(IMidiMsg(0, 0xE0, 0x7F, 0x7F).PitchWheel(), 8191.0 / 8192.0);
  EXPECT_EQ(IMidiMsg(0, 0xE2, 0, 0).PitchWheel(), -1.0);
  EXPECT_EQ(IMidiMsg(0, 0xE0, 0, 64).PitchWheel(), 0.0);
  EXPECT_EQ(IMidiMsg(0, 0x90, 60, 100).PitchWheel(), 0.0);

  IMidiMsg msg(9, 0xE0, 1, 2);
  msg.Clear();
  EXPECT_EQ(msg.mOffset, 0);
  EXPECT_EQ(msg.mStatus | msg.mData1 | msg.mData2, 0);
}

TEST(IMidiQueue, KeepsTimeOrderAndArrivalOrderForEqualOffsets)
{
  IMidiQueue q;
  EXPECT_EQ(q.Peek(), nullptr);
  const int offsets[] = {10, 5, 5, 20, 0};
  for (int i = 0; i < 5; ++i) q.Add(IMidiMsg(offsets[i], 0x90, uint8_t(i), 100));
  EXPECT_EQ(q.ToDo(), 5);
  for (int expected : {4, 1, 2, 0, 3}) {
    EXPECT_EQ(q.Peek()->mData1, expected);
    q.Remove();
  }
  q.Remove(); // on an empty queue: harmless
  EXPECT_TRUE(q.Empty());
  q.Add(IMidiMsg(3, 0x90, 9, 1));
  EXPECT_EQ(q.ToDo(), 1);
}

// Through compaction, growth and Resize (also to 0, before the host has
// announced a block size) no message is lost or reordered.
TEST(IMidiQueue, NoMessageLostOrReorderedAcrossCompactionGrowthAndResize)
{
  for (int blockSize : {-1, 0, 100, 513}) {
    IMidiQueue q;
    if (blockSize >= 0) q.Resize(blockSize);
    int added = 0, taken = 0;
    for (; added < 3000; ++added) {
      q.Add(IMidiMsg(added, 0x90, uint8_t(added & 0x7F), 1));
      if (added % 3 == 0) {
        ASSERT_EQ(q.Peek()->mOffset, taken) << blockSize;
        q.Remove();
        ++taken;
      }
      if (added == 1500) q.Resize(64);
    }
    for (; !q.Empty(); q.Remove(), ++taken) ASSERT_EQ(q.Peek()->mOffset, taken) << blockSize;
    EXPECT_EQ(taken, added) << blockSize;
  }
}

} // namespace
