#include "instrument_test_support.h"

using Notes = StartedInstrument;

TEST_F(Notes, MonophonicReturnsToTheHighestHeldKey)
{
  ASSERT_EQ(z->getVoiceCount(), 1);
  for (int note : {60, 64, 62}) z->setNoteOn(note, 100);
  EXPECT_EQ(z->getVoice(0).note, 62);

  // 64 is not the sounding key: the voice stays on 62. The last release keeps the note.
  const std::tuple<int, int, bool> releases[] = {{64, 62, true}, {62, 60, true}, {60, 60, false}};
  for (auto [key, note, gate] : releases) {
    z->setNoteOff(key);
    EXPECT_EQ(z->getVoice(0).note, note) << key;
    EXPECT_EQ(z->getVoice(0).gate, gate) << key;
  }

  // Release order from the top: 64 sounding, releasing it returns to 62.
  for (int note : {60, 62, 64}) z->setNoteOn(note, 100);
  z->setNoteOff(64);
  EXPECT_EQ(z->getVoice(0).note, 62);
}

TEST_F(Notes, StealingTakesTheOldestAndRepeatedKeysTheirOwnVoice)
{
  setParam(*z, kVoices, 3); // 4 voices
  ASSERT_EQ(z->getVoiceCount(), 4);
  for (int note : {60, 62, 64, 65}) z->setNoteOn(note, 100);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(z->getVoice(i).active);

  z->setNoteOn(67, 100);
  EXPECT_EQ(z->getVoice(0).note, 67);

  const int before = z->getVoice(1).startStamp;
  z->setNoteOn(62, 100);
  EXPECT_EQ(z->getVoice(1).note, 62);
  EXPECT_GT(z->getVoice(1).startStamp, before);

  // The oldest is now voice 2 (64); voice 1 was restarted last but one.
  z->setNoteOn(69, 100);
  EXPECT_EQ(z->getVoice(2).note, 69);
}

TEST_F(Notes, FreeVoiceBeforeStealingAndFinishedVoiceKeepsItsNote)
{
  setParam(*z, kVoices, 3);
  z->setNoteOn(60, 100);
  z->setNoteOn(62, 100);
  z->setNoteOff(60);
  render(*z, 44 * 4); // release 0: voice 0 ends at the next steps
  ASSERT_FALSE(z->getVoice(0).active);
  EXPECT_EQ(z->getVoice(0).note, 60);

  // A new key takes the lowest free voice.
  z->setNoteOn(64, 100);
  EXPECT_EQ(z->getVoice(0).note, 64);
  z->setNoteOn(60, 100);
  EXPECT_EQ(z->getVoice(2).note, 60);
}

TEST_F(Notes, SustainPedalHoldsReleasedKeys)
{
  setParam(*z, kVoices, 1);
  noteOn(*z, 60);
  controller(*z, 64, 1); // 1/127 counts as down
  noteOff(*z, 60);
  render(*z, 44 * 20);
  EXPECT_TRUE(z->getVoice(0).active);
  for (int i = 0; i < Zorva::kMaxVoices; ++i) EXPECT_TRUE(z->getVoice(i).sustained) << i;

  controller(*z, 64, 0);
  render(*z, 44 * 20);
  EXPECT_FALSE(z->getVoice(0).active);
}

TEST_F(Notes, ModWheelAndPitchBendFeedTheSharedSources)
{
  controller(*z, 1, 127);
  send(*z, 0xE0, 0, 32); // bend -0.5
  render(*z, 44);
  EXPECT_EQ(z->getModWheel(), 1.0);
  EXPECT_EQ(z->getPitchBend(), -0.5);
  EXPECT_EQ(z->getPositivePitchBend(), 0.0);

  send(*z, 0xE0, 0, 80); // bend 0.25
  render(*z, 44);
  EXPECT_EQ(z->getPositivePitchBend(), 0.25);
  EXPECT_EQ(*z->getVoice(0).getModSource(10), 0.25); // "PBnd+"
  EXPECT_EQ(*z->getVoice(5).getModSource(16), 0.25); // "PBend"
  EXPECT_EQ(*z->getVoice(63).getModSource(11), 1.0); // "Wheel"

  z->Reset();
  EXPECT_EQ(z->getModWheel(), 0.0);
  EXPECT_EQ(z->getPitchBend(), 0.0);
}

TEST_F(Notes, VoiceCountChangeReleasesAndResends)
{
  setParam(*z, kVolume, 1.5);
  z->setNoteOn(60, 100);
  z->paramChanges = 0;

  setParam(*z, kVoices, 0); // unchanged: nothing released, nothing re-sent
  EXPECT_TRUE(z->getVoice(0).gate);
  EXPECT_EQ(z->paramChanges, 1);
  EXPECT_EQ(z->getVoice(5).volume, 0.0);

  setParam(*z, kVoices, 31); // 64 voices
  EXPECT_EQ(z->getVoiceCount(), 64);
  EXPECT_FALSE(z->getVoice(0).gate);
  EXPECT_EQ(z->numPressedKeys, 0);
  EXPECT_EQ(z->paramChanges, 2 + kNumParams);
  EXPECT_EQ(z->getVoice(63).volume, 1.5);

  // Voices beyond the count are left alone.
  setParam(*z, kVoices, 1);
  setParam(*z, kVolume, 0.5);
  EXPECT_EQ(z->getVoice(1).volume, 0.5);
  EXPECT_EQ(z->getVoice(2).volume, 1.5);
}

TEST_F(Notes, ChannelModeMessagesReleaseEverything)
{
  setParam(*z, kVoices, 3);
  for (int note : {60, 64}) z->setNoteOn(note, 100);
  controller(*z, 123, 0);
  render(*z, 1);
  EXPECT_FALSE(z->getVoice(0).gate);
  EXPECT_FALSE(z->getVoice(1).gate);
  EXPECT_EQ(z->numPressedKeys, 0);

  // 120-122 are queued and do nothing to the notes.
  z->setNoteOn(60, 100);
  controller(*z, 120, 0);
  controller(*z, 122, 127);
  render(*z, 44);
  EXPECT_TRUE(z->getVoice(0).gate);
}

TEST_F(Notes, KeyBufferHoldsAtMost128KeysAndNoBadNote)
{
  for (int note = 0; note < 128; ++note) z->addPressedKey(127 - note);
  EXPECT_EQ(z->numPressedKeys, 128);
  z->addPressedKey(200);
  EXPECT_EQ(z->numPressedKeys, 128);
  for (int i = 0; i < 128; ++i) ASSERT_EQ(z->pressedKeys[i], i);

  // Malformed note bytes never reach a voice.
  send(*z, 0x90, 200, 100);
  EXPECT_TRUE(z->midiQueue.Empty());
}
