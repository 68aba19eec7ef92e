#include "instrument_test_support.h"

using MidiLearn = StartedInstrument;

namespace {
// The panel's MIDI-learn switch, as far as learning sees it.
class LearnSwitch : public IControl
{
public:
  explicit LearnSwitch(IPluginBase* plug) : IControl(plug, IRECT(0, 0, 10, 10)) {}
  bool Draw(IGraphics*) override { return true; }
  void SetValueFromPlug(double value) override
  {
    lastValue = value;
    IControl::SetValueFromPlug(value);
  }
  void SetDirty(bool push) override
  {
    ++dirtied;
    IControl::SetDirty(push);
  }
  double lastValue = -1.0;
  int dirtied = 0;
};
} // namespace

TEST_F(MidiLearn, EitherHalfFirstCompletesTheBinding)
{
  LearnSwitch learnSwitch(z.get());
  z->midiLearnControl = &learnSwitch;

  z->doMidiLearn(true);
  z->SetParameterFromGUI(kFlt1Reso, 0.3);
  EXPECT_TRUE(z->midiLearnActive);
  EXPECT_EQ(learnSwitch.dirtied, 0);
  controller(*z, 7, 64);
  EXPECT_EQ(z->midiCCParam[7], kFlt1Reso);
  EXPECT_FALSE(z->midiLearnActive);
  EXPECT_EQ(learnSwitch.lastValue, 0.0);
  EXPECT_EQ(learnSwitch.dirtied, 1);
  EXPECT_TRUE(z->midiQueue.Empty()); // the learning controller moved nothing

  z->doMidiLearn(true);
  controller(*z, 8, 64);
  EXPECT_TRUE(z->midiLearnActive);
  z->SetParameterFromGUI(kVolume, 0.3);
  EXPECT_EQ(z->midiCCParam[8], kVolume);
  EXPECT_FALSE(z->midiLearnActive);

  // A second controller for the same parameter replaces the first.
  z->doMidiLearn(true);
  controller(*z, 11, 1);
  z->SetParameterFromGUI(kVolume, 0.4);
  EXPECT_EQ(z->midiCCParam[8], -1);
  EXPECT_EQ(z->midiCCParam[11], kVolume);
  z->midiLearnControl = nullptr;
}

TEST_F(MidiLearn, UnlearnByControllerOrByParameter)
{
  z->midiCCParam[7] = kVolume;
  z->midiCCParam[9] = kVolume; // as a hand-edited configuration file may have it
  z->midiCCParam[10] = kFlt1Reso;

  for (int cc : {10, 3}) { // 3 is already unbound: that still ends the operation
    z->doMidiUnlearn(true);
    controller(*z, cc, 5);
    EXPECT_EQ(z->midiCCParam[cc], -1) << cc;
    EXPECT_FALSE(z->midiLearnActive) << cc;
    EXPECT_FALSE(z->midiUnlearnMode) << cc;
  }

  z->doMidiUnlearn(true);
  z->SetParameterFromGUI(kVolume, 0.2);
  EXPECT_EQ(z->midiCCParam[7], -1);
  EXPECT_EQ(z->midiCCParam[9], -1);
  EXPECT_FALSE(z->midiLearnActive);

  // Switched off before anything arrived: nothing happens.
  z->midiCCParam[7] = kVolume;
  z->doMidiUnlearn(true);
  z->doMidiUnlearn(false);
  z->SetParameterFromGUI(kVolume, 0.3);
  controller(*z, 7, 5);
  EXPECT_EQ(z->midiCCParam[7], kVolume);
}

// 120-122 have no entry in the controller table: they can be neither learned
// nor unlearned, and in play they are never looked up.
TEST_F(MidiLearn, ControllersWithoutATableEntryAreNotLearnable)
{
  z->doMidiLearn(true);
  for (int cc : {120, 121, 122}) controller(*z, cc, 64);
  EXPECT_TRUE(z->midiLearnActive);
  EXPECT_EQ(z->midiLearnCC, -1);
  z->setMidiLearnCC(122);
  z->setMidiLearnParam(kVolume);
  EXPECT_TRUE(z->midiLearnActive);
  controller(*z, 2, 64);
  EXPECT_EQ(z->midiCCParam[2], kVolume);

  z->doMidiUnlearn(true);
  z->setMidiLearnCC(121);
  EXPECT_TRUE(z->midiLearnActive);
  z->doMidiUnlearn(false);

  // Channel-mode messages keep releasing notes while learning.
  z->setNoteOn(60, 100);
  z->doMidiLearn(true);
  controller(*z, 123, 0);
  render(*z, 1);
  EXPECT_FALSE(z->getVoice(0).gate);
  EXPECT_TRUE(z->midiLearnActive);
}

// A voice-count change re-sends every parameter; that is not the user touching
// them, so a pending learn must keep the parameter actually moved.
TEST_F(MidiLearn, ResendingParametersDoesNotHijackALearn)
{
  z->doMidiLearn(true);
  z->SetParameterFromGUI(kVoices, 3.0 / 31.0);
  ASSERT_EQ(z->getVoiceCount(), 4);
  controller(*z, 20, 64);
  EXPECT_EQ(z->midiCCParam[20], kVoices);

  z->doMidiLearn(true);
  z->SetParameterFromGUI(kFlt2Reso, 0.5);
  z->OnActivate(true);
  controller(*z, 21, 64);
  EXPECT_EQ(z->midiCCParam[21], kFlt2Reso);

  // Nor does restoring a program or pasting one.
  z->doMidiLearn(true);
  z->SetParameterFromGUI(kFlt1Reso, 0.5);
  IMidiMsg programChange(0, 0xC0, 3, 0);
  z->ProcessMidiMsg(&programChange);
  render(*z, 1);
  EXPECT_EQ(z->GetCurrentPresetIdx(), 3); // a program change acts even while learning
  EXPECT_TRUE(z->midiLearnActive);
  z->copyPreset();
  z->pastePreset();
  controller(*z, 22, 64);
  EXPECT_EQ(z->midiCCParam[22], kFlt1Reso);
}

TEST_F(MidiLearn, LearnedControllersDriveTheirParameterWhenDue)
{
  z->midiCCParam[7] = kFlt2Reso;
  z->midiCCParam[1] = kVolume;  // learned, but stays the mod wheel
  z->midiCCParam[64] = kVolume; // learned, but stays the pedal
  z->midiCCParam[30] = 150;     // outside the table: ignored
  z->midiCCParam[31] = -7;
  z->hostParamChanges = 0;

  controller(*z, 7, 127, 100);
  EXPECT_EQ(z->GetParam(kFlt2Reso)->Value(), 0.0); // not due before rendering
  render(*z, 88, 88);
  EXPECT_EQ(z->GetParam(kFlt2Reso)->Value(), 0.0); // offset 122 is due at 132
  render(*z, 1, 1);
  EXPECT_EQ(z->GetParam(kFlt2Reso)->Value(), 1.0);
  EXPECT_EQ(z->getVoice(0).filter[1].getResonance(), 1.0);
  EXPECT_EQ(z->hostParamChanges, 1);

  const double volume = z->GetParam(kVolume)->Value();
  for (int cc : {1, 64, 30, 31}) controller(*z, cc, 100);
  render(*z, 44);
  EXPECT_EQ(z->GetParam(kVolume)->Value(), volume);
  EXPECT_EQ(z->getModWheel(), 100.0 / 127.0);
  EXPECT_EQ(z->hostParamChanges, 1);
}

// Repeating a value must neither re-apply it nor tell the host, whatever the
// parameter's range: a repeated "Mode 1" would reset the filter each time.
TEST_F(MidiLearn, RepeatedValueOnAnyRangeIsNoChange)
{
  z->midiCCParam[12] = kFlt1Mode;   // list 0 ... 6
  z->midiCCParam[13] = kVolume;     // 0 ... 2
  z->midiCCParam[14] = kFlt1Cutoff; // shape 0.5
  for (int round = 0; round < 2; ++round) {
    z->paramChanges = z->hostParamChanges = 0;
    for (int cc : {12, 13, 14}) controller(*z, cc, 64);
    render(*z, 44);
    EXPECT_EQ(z->paramChanges, round == 0 ? 3 : 0) << "round " << round;
    EXPECT_EQ(z->hostParamChanges, round == 0 ? 3 : 0) << "round " << round;
  }
  EXPECT_EQ(z->GetParam(kFlt1Mode)->Value(), 3.0);
}
