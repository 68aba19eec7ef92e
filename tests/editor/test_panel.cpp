#include "editor_test_support.h"
#include "plugin/IParam.h"
#include "zorva/editor/zorva_editor.h"
#include "zorva/param_ids.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {
const IMouseMod kLeft(true);
const IMouseMod kRight(false, true);
constexpr int kYes = IGraphics::kMsgBoxYes;
} // namespace

class PanelTest : public EditorTest
{
protected:
  template <typename T> T* find(int paramIdx) const { return findControl<T>(gui, paramIdx); }
  void click(const IRECT& r, const IMouseMod& mod = kLeft)
  {
    const int x = (r.L + r.R) / 2, y = (r.T + r.B) / 2;
    gui->OnMouseDown(x, y, mod);
    gui->OnMouseUp(x, y, mod);
  }
  void click(IControl* c, const IMouseMod& mod = kLeft) { click(c->GetRECT(), mod); }
  // The menu the panel showed last, as the platform lists it.
  std::vector<std::string> lastMenu() const
  {
    return gui->LastQuestion() ? gui->LastQuestion()->mItems : std::vector<std::string>();
  }
  void openOptions() { click(find<ITdOptionMenu>(PanelCommand::kFileMenu)); }
  ITdPresetMenu* display() const { return find<ITdPresetMenu>(-1); }
};

TEST_F(PanelTest, EveryParameterHasAControlShowingItsValue)
{
  std::vector<int> controls(kNumParams, 0);
  for (int i = 0; i < gui->NControls(); ++i) {
    IControl* c = gui->GetControl(i);
    if (c->ParamIdx() < 0 || c->ParamIdx() >= kNumParams) continue;
    ++controls[c->ParamIdx()];
    EXPECT_NEAR(c->GetValue(), z->GetParam(c->ParamIdx())->GetNormalized(), 1e-9) << c->ParamIdx();
    if (auto* knob = dynamic_cast<ITdKnobMultiControlText*>(c)) {
      // Each knob comes right after its minus and plus buttons.
      ASSERT_GE(i, 2);
      EXPECT_EQ(gui->GetControl(i - 2)->ParamIdx(), -c->ParamIdx());
      EXPECT_EQ(gui->GetControl(i - 1)->ParamIdx(), -c->ParamIdx());
      EXPECT_FALSE(knob->ValueText().empty());
    }
  }
  for (int p = 0; p < kNumParams; ++p)
    EXPECT_EQ(controls[p], p == kFlt1Mode || p == kFlt2Mode ? 2 : 1) << z->GetParam(p)->GetNameForHost();

  gui->Tick();
  char number[8];
  std::snprintf(number, sizeof(number), "%02d", z->GetCurrentPresetIdx());
  EXPECT_EQ(display()->NumberShown(), number);
  EXPECT_EQ(display()->NameShown(), z->GetPresetName(z->GetCurrentPresetIdx()));
}

TEST_F(PanelTest, ProgramMenuIsGroupedBySixteenAndButtonsWrapAroundTheBank)
{
  z->changePreset(20);
  const std::string target = std::string("37: ") + z->GetPresetName(37);
  gui->QueueMenuChoice("32 - 47/" + target);
  click(IRECT(162, 460, 184, 476));
  EXPECT_EQ(lastMenu(), (std::vector<std::string>{"> 00 - 15", "> 16 - 31", "> 32 - 47", "> 48 - 63"}));
  EXPECT_EQ(z->GetCurrentPresetIdx(), 37);

  click(IRECT(162, 460, 184, 476)); // dismissed
  EXPECT_EQ(z->GetCurrentPresetIdx(), 37);
  gui->QueueMenuChoice(std::string("00 - 15/03: ") + z->GetPresetName(3));
  click(IRECT(162, 460, 184, 476));
  EXPECT_EQ(z->GetCurrentPresetIdx(), 3);

  // The program buttons wrap around the bank.
  z->changePreset(0);
  click(find<ITdUtilityKick>(PanelCommand::kPreviousProgram));
  EXPECT_EQ(z->GetCurrentPresetIdx(), 63);
  click(find<ITdUtilityKick>(PanelCommand::kNextProgram));
  EXPECT_EQ(z->GetCurrentPresetIdx(), 0);
  click(find<ITdUtilityKick>(PanelCommand::kNextProgram));
  EXPECT_EQ(z->GetCurrentPresetIdx(), 1);
  gui->Tick();
  EXPECT_EQ(display()->NumberShown(), "01");
}

TEST_F(PanelTest, RenamingInTheNameFieldUpdatesProgramAndHost)
{
  const int current = z->GetCurrentPresetIdx();
  const int before = z->programChanges;
  gui->QueueTextEntryAnswer("Glass Pad");
  click(IRECT(213, 460, 405, 476));
  EXPECT_EQ(gui->LastQuestion()->mKind, IGraphicsHeadless::Question::kTextEntry);
  EXPECT_EQ(std::string(z->GetPresetName(current)), "Glass Pad");
  EXPECT_EQ(z->programChanges, before + 1);
  gui->Tick();
  EXPECT_EQ(display()->NameShown(), "Glass Pad");

  // A name longer than the program record keeps to it; only 32 characters show.
  gui->QueueTextEntryAnswer(std::string(400, 'x'));
  click(IRECT(213, 460, 405, 476));
  EXPECT_EQ(std::string(z->GetPresetName(current)).size(), ITdPresetMenu::kMaxName);
  gui->Tick();
  EXPECT_EQ(display()->NameShown(), std::string(32, 'x'));
}

TEST_F(PanelTest, MidiLearnSwitchLearnsUnlearnsAndChangesModeOnlyWhileOff)
{
  auto* learn = find<ITdSwitchMidiLearn>(PanelCommand::kMidiLearn);
  ASSERT_EQ(z->midiLearnControl, learn);
  EXPECT_TRUE(learn->IsLearnMode());

  click(learn);
  EXPECT_TRUE(z->midiLearnActive);
  click(learn, kRight);
  EXPECT_TRUE(learn->IsLearnMode()) << "no mode change while learning";
  // Move a knob, then the controller: the pair is learned and the switch drops.
  const IRECT& knob = find<ITdKnobMultiControlText>(kVolume)->GetKnobRECT();
  gui->OnMouseDown(knob.L + 5, knob.T + 20, kLeft);
  gui->OnMouseDrag(knob.L + 5, knob.T + 10, kLeft);
  gui->OnMouseUp(knob.L + 5, knob.T + 10, kLeft);
  IMidiMsg cc(0, 0xB0, 20, 64);
  z->ProcessMidiMsg(&cc);
  EXPECT_EQ(z->midiCCParam[20], kVolume);
  EXPECT_EQ(learn->GetValue(), 0.0);

  click(learn, kRight);
  EXPECT_FALSE(learn->IsLearnMode());
  click(learn);
  z->ProcessMidiMsg(&cc);
  EXPECT_EQ(z->midiCCParam[20], -1);
  click(learn, kRight);
  EXPECT_TRUE(learn->IsLearnMode());
}

TEST_F(PanelTest, PlusAndMinusStepTheKnobWithinItsRange)
{
  setPlain(kOsc1Pitch, -24);
  z->RedrawParamControls();
  auto* knob = find<ITdKnobMultiControlText>(kOsc1Pitch);
  // The buttons sit half under the knob, which takes the clicks it covers.
  auto pressOutsideKnob = [&](int command, bool plus) {
    for (int i = 0; i < gui->NControls(); ++i) {
      auto* button = dynamic_cast<ITdPlusMinusKick*>(gui->GetControl(i));
      if (!button || button->ParamIdx() != command) continue;
      const IRECT& r = button->GetRECT();
      const int x = plus ? r.R - 1 : r.L, y = (r.T + r.B) / 2;
      if (plus != (x >= knob->GetRECT().R)) continue;
      ASSERT_FALSE(knob->GetRECT().Contains(x, y));
      gui->OnMouseDown(x, y, kLeft);
      gui->OnMouseUp(x, y, kLeft);
      return;
    }
    FAIL() << "no button";
  };
  pressOutsideKnob(-kOsc1Pitch, false);
  EXPECT_EQ(plain(kOsc1Pitch), -24);
  EXPECT_EQ(knob->GetValue(), 0.0);
  pressOutsideKnob(-kOsc1Pitch, true);
  EXPECT_EQ(plain(kOsc1Pitch), -23);
  EXPECT_NEAR(knob->GetValue(), z->GetParam(kOsc1Pitch)->GetNormalized(), 1e-12);
  EXPECT_EQ(knob->ValueText(), "-23");

  // Where button and text band overlap, the knob takes the click.
  const IRECT& band = knob->GetRECT();
  gui->OnMouseDown(band.R - 2, knob->GetKnobRECT().B + 2, kLeft);
  gui->OnMouseUp(band.R - 2, knob->GetKnobRECT().B + 2, kLeft);
  EXPECT_EQ(plain(kOsc1Pitch), -23);
}

TEST_F(PanelTest, SyncedLfoRateVoiceDigitsAndModeViewsFollowTheirParameters)
{
  auto* rate = find<ITdLFORateControl>(kLFO1Rate);
  ASSERT_EQ(z->lfoRateControls[0], rate);
  auto* sync = find<ITdLFOSyncControl>(kLFO1Sync);
  if (sync->GetValue() >= 0.5) click(sync);
  EXPECT_EQ(rate->ValueText().find('/'), std::string::npos);
  click(sync);
  EXPECT_EQ(plain(kLFO1Sync), 1.0);
  for (auto [value, text] : {std::pair{0.5, "1/2T"}, {0.0, "8/1"}, {1.0, "1/32"}}) {
    rate->SetValueFromUserInput(value);
    EXPECT_EQ(rate->ValueText(), text);
  }

  // The voice digits show the count.
  auto* digits = find<ITdDigitsPopUpMenu>(kVoices);
  for (auto [position, shown] : {std::pair{8, "09"}, {31, "64"}, {0, "01"}}) {
    setPlain(kVoices, position);
    z->RedrawParamControls();
    EXPECT_EQ(digits->DigitsShown(), shown);
  }

  // The selector and the picture of filter 1's mode move together.
  auto* selector = find<ITdSwitchFramesControl>(kFlt1Mode);
  auto* picture = find<ISwitchPopUpControl>(kFlt1Mode);
  ASSERT_NE(picture, static_cast<ISwitchPopUpControl*>(nullptr));
  click(selector->GetFrameRects()[2]);
  EXPECT_EQ(plain(kFlt1Mode), 2);
  EXPECT_EQ(picture->GetValue(), selector->GetValue());
  gui->QueueMenuChoice(0);
  click(picture);
  EXPECT_EQ(plain(kFlt1Mode), 0);
  EXPECT_EQ(selector->GetValue(), 0.0);
}

TEST_F(PanelTest, OptionMenuStatesAndCommands)
{
  openOptions();
  const std::vector<std::string> menu = lastMenu();
  ASSERT_EQ(menu.size(), 16u);
  EXPECT_EQ(menu[1], "Paste Program (off)");
  EXPECT_EQ(menu[12], "Load Startup Bank (off)");
  EXPECT_EQ(menu[13], "Unselect Startup Bank (off)");
  EXPECT_EQ(menu[15], "> Go Online...");

  gui->QueueMenuChoice("Copy Program");
  openOptions();
  openOptions();
  EXPECT_EQ(lastMenu()[1], "Paste Program");

  const std::string name = z->GetPresetName(z->GetCurrentPresetIdx());
  z->changePreset((z->GetCurrentPresetIdx() + 1) % 64);
  gui->QueueMenuChoice("Paste Program");
  gui->QueueMessageBoxAnswer(kYes);
  openOptions();
  EXPECT_EQ(z->GetPresetName(z->GetCurrentPresetIdx()), name);

  // A startup bank enables its two entries.
  gui->QueueMenuChoice("Save Bank");
  gui->QueueFileAnswer(path("startup.fxb"));
  openOptions();
  gui->QueueMenuChoice("Select Startup Bank");
  gui->QueueFileAnswer(path("startup.fxb"));
  openOptions();
  openOptions();
  EXPECT_EQ(lastMenu()[12], "Load Startup Bank");
  EXPECT_EQ(lastMenu()[13], "Unselect Startup Bank");

  gui->QueueMenuChoice("Go Online.../Visit www.tamsodyne.com");
  openOptions();
  ASSERT_EQ(gui->OpenedURLs().size(), 1u);
  gui->QueueMenuChoice("Go Online.../Check Online for Update");
  openOptions();
  EXPECT_EQ(gui->LastQuestion()->mTitle, "Check Online for Update");
  EXPECT_EQ(gui->LastQuestion()->mText, "An error occurred while contacting 127.0.0.1.");
  EXPECT_EQ(gui->NPendingAnswers(), 0);
}

TEST_F(PanelTest, ReloadConfigurationRebuildsThePanelEvenWhenDeclined)
{
  click(z->midiLearnControl, kRight); // unlearn mode on the old switch
  const int nControls = gui->NControls();
  z->midiCCParam[5] = kVolume;
  gui->QueueMenuChoice("Reload Configuration");
  openOptions(); // declined: the unscripted answer is No
  EXPECT_EQ(z->midiCCParam[5], kVolume);
  EXPECT_EQ(gui->NControls(), nControls);
  auto* learn = find<ITdSwitchMidiLearn>(PanelCommand::kMidiLearn);
  EXPECT_EQ(z->midiLearnControl, learn);
  EXPECT_TRUE(learn->IsLearnMode()) << "a new switch";

  gui->QueueMenuChoice("Reload Configuration");
  gui->QueueMessageBoxAnswer(kYes);
  openOptions();
  EXPECT_EQ(z->midiCCParam[5], -1);
  // The new panel works and shows the current values.
  click(find<ITdUtilityKick>(PanelCommand::kNextProgram));
  EXPECT_NEAR(find<ITdKnobMultiControlText>(kVolume)->GetValue(), z->GetParam(kVolume)->GetNormalized(),
              1e-9);
}

TEST_F(PanelTest, DrawnPanelFollowsValuesAndTheProgramName)
{
  gui->Draw(IRECT(0, 0, gui->Width(), gui->Height()));
  auto snapshot = [&](const IRECT& r) {
    std::vector<int> pixels;
    for (int y = r.T; y < r.B; ++y) {
      for (int x = r.L; x < r.R; ++x) {
        const IColor c = gui->GetPoint(x, y);
        pixels.push_back((c.A << 24) | (c.R << 16) | (c.G << 8) | c.B);
      }
    }
    return pixels;
  };
  const auto* volume = find<ITdKnobMultiControlText>(kVolume);
  const IRECT nameRect(213, 460, 405, 476);
  const auto knobBefore = snapshot(volume->GetKnobRECT());
  const auto textBefore = snapshot(volume->GetTextRECT());
  const auto nameBefore = snapshot(nameRect);

  setPlain(kVolume, plain(kVolume) > 1.0 ? 0.0 : 2.0);
  z->RedrawParamControls();
  gui->QueueTextEntryAnswer("Another Name");
  click(nameRect);
  ASSERT_TRUE(gui->Tick());
  EXPECT_NE(snapshot(volume->GetKnobRECT()), knobBefore);
  EXPECT_NE(snapshot(volume->GetTextRECT()), textBefore);
  EXPECT_NE(snapshot(nameRect), nameBefore);
}
