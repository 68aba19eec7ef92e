#include "zorva/zorva.h"

#include "plugin/graphics/IControl.h"
#include "plugin/graphics/IGraphics.h"
#include "zorva/editor/zorva_editor.h"
#include "zorva/engine/pitch.h"
#include "zorva/param_ids.h"
#include "zorva/zorva_param.h"

#include <algorithm>
#include <iterator>

const int Zorva::nVoices[Zorva::kNumVoiceCounts] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                                    12, 13, 14, 15, 16, 18, 20, 22, 24, 26, 28,
                                                    30, 32, 36, 40, 44, 48, 52, 56, 60, 64};

Zorva::Zorva(IPluginInstanceInfo instanceInfo) : Synth(std::move(instanceInfo))
{
  voiceCount = 1;
  controlStep = 0;
  modWheel = positivePitchBend = pitchBend = 0.0;
  freq2rad = freq2RadTable(GetSampleRate());
  for (Voice& voice : voices) voice.setSharedSources(&pitchBend, &positivePitchBend, &modWheel);
  initParameters();
  programMenu = nullptr;
  createGraphics();
  AttachGraphics(graphics);
  initPresets();
}

Zorva::~Zorva() = default;

void Zorva::initParameters()
{
  initZorvaParameters([this](int index) { return GetParam(index); });
}

void Zorva::createGraphics()
{
  midiLearnControl = nullptr;
  programMenu = nullptr;
  indicatorLight = nullptr;
  std::fill(std::begin(lfoRateControls), std::end(lfoRateControls), nullptr);
  IGraphics* gui = graphics;
  if (!gui) return;

  gui->Resize(kEditorWidth, kEditorHeight);
  gui->HandleMouseOver(false);
  gui->AttachBackground(101, "resources/img/back.png");
  const IBitmap left = gui->LoadIBitmap(106, "resources/img/left.png", 2);
  const IBitmap right = gui->LoadIBitmap(107, "resources/img/right.png", 2);
  const IBitmap button = gui->LoadIBitmap(102, "resources/img/button.png", 2);
  const IBitmap buttonOff = gui->LoadIBitmap(103, "resources/img/button_off.png", 1);
  const IBitmap knob = gui->LoadIBitmap(105, "resources/img/knob.png", 65);
  const IBitmap syncTristate = gui->LoadIBitmap(108, "resources/img/sync_tristate.png", 3);
  const IBitmap switch4 = gui->LoadIBitmap(110, "resources/img/switch4.png", 4);
  const IBitmap switch6 = gui->LoadIBitmap(111, "resources/img/switch6.png", 6);
  const IBitmap switch7 = gui->LoadIBitmap(112, "resources/img/switch7.png", 7);
  const IBitmap filterModes = gui->LoadIBitmap(113, "resources/img/filtermodes.png", 7);
  const IBitmap led = gui->LoadIBitmap(115, "resources/img/LED_on.png", 1);

  auto attachKnob = [&](int x, int y, int paramIdx) {
    gui->AttachControl(new ITdKnobMultiControlText(this, gui, x, y, paramIdx, knob));
  };
  auto attachPopup = [&](int x, int y, int paramIdx) {
    gui->AttachControl(new ITdSwitchPopUpControl(this, x, y, paramIdx, buttonOff));
  };
  auto attachFrames = [&](int x, int y, int paramIdx, const IBitmap& bitmap, bool reverse = false) {
    gui->AttachControl(new ITdSwitchFramesControl(this, x, y, paramIdx, bitmap, reverse));
  };
  auto attachSwitch = [&](int x, int y, int paramIdx, const char* label) {
    gui->AttachControl(new ITdSwitchControl(this, x, y, paramIdx, button, label));
  };

  // Programs, options, global settings.
  auto* presetMenu = new ITdPresetMenu(this, IRECT(162, 460, 184, 476), IRECT(213, 460, 405, 476));
  gui->AttachControl(presetMenu);
  programMenu = presetMenu;
  gui->AttachControl(new ITdUtilityKick(this, 140, 459, PanelCommand::kPreviousProgram, left, this));
  gui->AttachControl(new ITdUtilityKick(this, 188, 459, PanelCommand::kNextProgram, right, this));
  auto* optionMenu = new ITdOptionMenu(this, IRECT(364, 488, 404, 504));
  fillOptionMenu(optionMenu);
  gui->AttachControl(optionMenu);
  const IText versionText(13, IColor(128, 255, 255, 255), "Helvetica");
  gui->AttachControl(new ITextControl(this, IRECT(20, 500, 128, 514), versionText, "VERSION 2.1.4"));
  // A new learn switch starts off, so learning cannot stay active behind it.
  midiLearnActive = false;
  auto* learn = new ITdSwitchMidiLearn(this, 363, 515, PanelCommand::kMidiLearn, button);
  gui->AttachControl(learn);
  midiLearnControl = learn;
  indicatorLight = new IBitmapControl(this, 408, 548, led);
  gui->AttachControl(indicatorLight);
  indicatorLight->Hide(true);
  attachKnob(144, 508, kVolume);
  attachKnob(200, 508, kPitchBendRange);
  attachKnob(256, 508, kPortamento);
  attachSwitch(307, 543, kFreeRun, "FREE");
  gui->AttachControl(new ITdDigitsPopUpMenu(this, gui, IRECT(316, 516, 340, 532), kVoices));
  attachSwitch(363, 543, kSoftClip, "CLIP");

  // Oscillator 1.
  attachFrames(52, 64, kOsc1Wave, switch4);
  attachKnob(24, 136, kOsc1Pitch);
  attachKnob(80, 136, kOsc1Tune);
  attachKnob(24, 216, kOsc1Shape);
  attachKnob(80, 216, kOsc1ShapeModAmt);
  attachPopup(76, 284, kOsc1ShapeModSrc);
  attachKnob(24, 328, kOsc1FM1Amt);
  attachPopup(20, 396, kOsc1FM1Src);
  attachKnob(80, 328, kOsc1FM2Amt);
  attachPopup(76, 396, kOsc1FM2Src);

  // Oscillator 2.
  attachFrames(158, 64, kOsc2Wave, switch4);
  attachFrames(218, 62, kOsc2Sync, syncTristate);
  attachKnob(158, 136, kOsc2Pitch);
  attachKnob(214, 136, kOsc2Tune);
  attachKnob(158, 216, kOsc2Shape);
  attachKnob(214, 216, kOsc2ShapeModAmt);
  attachPopup(210, 284, kOsc2ShapeModSrc);
  attachKnob(158, 328, kOsc2FM1Amt);
  attachPopup(154, 396, kOsc2FM1Src);
  attachKnob(214, 328, kOsc2FM2Amt);
  attachPopup(210, 396, kOsc2FM2Src);

  // Filter 1 and its amplifier.
  attachKnob(320, 56, kFlt1Osc1In);
  attachKnob(376, 56, kFlt1Osc2In);
  attachKnob(432, 56, kFlt1RingIn);
  attachKnob(488, 56, kFlt1NoiseIn);
  attachFrames(348, 148, kFlt1Mode, switch7, true);
  gui->AttachControl(new ISwitchPopUpControl(this, 456, 136, kFlt1Mode, filterModes));
  attachKnob(292, 216, kFlt1Cutoff);
  attachKnob(348, 216, kFlt1Reso);
  attachKnob(404, 216, kFlt1CF1Amt);
  attachPopup(400, 284, kFlt1CF1Src);
  attachKnob(460, 216, kFlt1CF2Amt);
  attachPopup(456, 284, kFlt1CF2Src);
  attachKnob(516, 216, kFlt1CF3Amt);
  attachPopup(512, 284, kFlt1CF3Src);
  attachKnob(292, 328, kPan1);
  attachKnob(348, 328, kPan1ModAmt);
  attachPopup(344, 396, kPan1ModSrc);
  attachKnob(404, 328, kAmp1AM1Amt);
  attachPopup(400, 396, kAmp1AM1Src);
  attachKnob(460, 328, kAmp1AM2Amt);
  attachPopup(456, 396, kAmp1AM2Src);
  attachKnob(516, 328, kAmp1Level);

  // Filter 2 and its amplifier.
  attachKnob(594, 56, kFlt2Flt1In);
  attachKnob(650, 56, kFlt2Osc1In);
  attachKnob(706, 56, kFlt2Osc2In);
  attachKnob(762, 56, kFlt2RingIn);
  attachKnob(818, 56, kFlt2NoiseIn);
  attachFrames(650, 148, kFlt2Mode, switch7, true);
  gui->AttachControl(new ISwitchPopUpControl(this, 758, 136, kFlt2Mode, filterModes));
  attachKnob(594, 216, kFlt2Cutoff);
  attachKnob(650, 216, kFlt2Reso);
  attachKnob(706, 216, kFlt2CF1Amt);
  attachPopup(702, 284, kFlt2CF1Src);
  attachKnob(762, 216, kFlt2CF2Amt);
  attachPopup(758, 284, kFlt2CF2Src);
  attachKnob(818, 216, kFlt2CF3Amt);
  attachPopup(814, 284, kFlt2CF3Src);
  attachKnob(594, 328, kPan2);
  attachKnob(650, 328, kPan2ModAmt);
  attachPopup(646, 396, kPan2ModSrc);
  attachKnob(706, 328, kAmp2AM1Amt);
  attachPopup(702, 396, kAmp2AM1Src);
  attachKnob(762, 328, kAmp2AM2Amt);
  attachPopup(758, 396, kAmp2AM2Src);
  attachKnob(818, 328, kAmp2Level);

  // The three LFOs, one row each.
  const int lfoParams[3][6] = {{kLFO1Wave, kLFO1Retrig, kLFO1Rate, kLFO1Sync, kLFO1ModAmt, kLFO1ModSrc},
                               {kLFO2Wave, kLFO2Retrig, kLFO2Rate, kLFO2Sync, kLFO2ModAmt, kLFO2ModSrc},
                               {kLFO3Wave, kLFO3Retrig, kLFO3Rate, kLFO3Sync, kLFO3ModAmt, kLFO3ModSrc}};
  for (int k = 0; k < 3; ++k) {
    const int* p = lfoParams[k];
    const int y = 56 + 136 * k;
    attachFrames(908, y + 8, p[0], switch6, true);
    attachSwitch(903, y + 68, p[1], "RETRIG");
    auto* rate = new ITdLFORateControl(this, gui, 988, y, p[2], knob, p[3]);
    gui->AttachControl(rate);
    lfoRateControls[k] = rate;
    gui->AttachControl(new ITdLFOSyncControl(this, 983, y + 68, p[3], button, rate));
    attachKnob(1044, y, p[4]);
    attachPopup(1040, y + 68, p[5]);
  }

  // The three envelopes, A D S R from left to right.
  const int envX[3] = {448, 670, 892};
  for (int e = 0; e < 3; ++e) {
    for (int stage = 0; stage < 4; ++stage)
      attachKnob(envX[e] + 50 * stage, 508, kEnv1Attack + 4 * e + stage);
  }

  RedrawParamControls();
}

void Zorva::fillOptionMenu(ITdOptionMenu* control)
{
  IPopupMenu& menu = control->GetMenu();
  menu.AddItem("Copy Program", File::kCopyProgram);
  menu.AddItem("Paste Program", File::kPasteProgram);
  menu.AddItem("Init Program", File::kInitProgram);
  menu.AddSeparator(3);
  menu.AddItem("Load Program", File::kLoadProgram);
  menu.AddItem("Save Program", File::kSaveProgram);
  menu.AddItem("Load Bank", File::kLoadBank);
  menu.AddItem("Save Bank", File::kSaveBank);
  menu.AddSeparator(8);
  menu.AddItem("Reload Configuration", File::kReloadConfig);
  menu.AddItem("Save Configuration", File::kSaveConfig);
  menu.AddItem("Select Startup Bank", File::kSelectStartupBank);
  menu.AddItem("Load Startup Bank", File::kLoadStartupBank);
  menu.AddItem("Unselect Startup Bank", File::kUnselectStartupBank);
  menu.AddSeparator(14);
  IPopupMenu& online = control->GetOnlineMenu();
  online.AddItem("Check Online for Update", File::kCheckOnline);
  online.AddItem("Visit www.tamsodyne.com", File::kVisitWebsite);
  menu.AddItem("Go Online...", ITdOptionMenu::kOnlineItem, &online);
}

void Zorva::Reset()
{
  Synth::Reset();
  MutexLock lock(mMutex);
  const double rate = GetSampleRate();
  freq2rad = freq2RadTable(rate);
  lastPosition = -1.0;
  lastTempo = 0.0;
  noteCounter = 0;
  modWheel = positivePitchBend = pitchBend = 0.0;
  for (int k = 0; k < 2; ++k) {
    cutoffValue[k] = 1.0;
    cutoffRampIncrement[k] = 0.0;
    cutoffPitch[k] = kMaxPitch;
    cutoffRampCounter[k] = 0;
  }
  for (Voice& voice : voices) {
    voice.setSharedSources(&pitchBend, &positivePitchBend, &modWheel);
    voice.setSampleRate(rate);
  }
  voiceGroups.setStepLength(voices[0].allocatedLength);
}

void Zorva::OnParamChange(int paramIdx)
{
  MutexLock lock(mMutex);
  Synth::OnParamChange(paramIdx);
  const IParam* param = GetParam(paramIdx);
  if (!param) return;
  double value = param->Value();
  const bool on = value >= 0.5;

  switch (paramIdx) {
  case kVoices:
    // Tested as a double first: a NaN or huge value must not become an index.
    if (value >= 0.0 && value < kNumVoiceCounts) {
      const int count = nVoices[int(value)];
      if (count != voiceCount) {
        allNotesOff();
        voiceCount = count;
        // The voices now in use may have missed changes while they were idle.
        resendAllParams();
      }
    }
    return;
  case kSoftClip: softClipOn = on; break;
  case kLFO1Sync: lfoSync[0] = on; break;
  case kLFO2Sync: lfoSync[1] = on; break;
  case kLFO3Sync: lfoSync[2] = on; break;
  case kOsc1FM1Amt:
  case kOsc1FM2Amt:
  case kOsc2FM1Amt:
  case kOsc2FM2Amt:
  case kFlt1CF1Amt:
  case kFlt1CF2Amt:
  case kFlt1CF3Amt:
  case kFlt2CF1Amt:
  case kFlt2CF2Amt:
  case kFlt2CF3Amt: value *= kModAmountScale; break;
  case kFlt1Mode:
  case kFlt2Mode:
    if (IGraphics* gui = GetGUI(); gui && gui->WindowIsOpen())
      gui->SetParameterFromPlug(paramIdx, value, false);
    break;
  case kFlt1Cutoff:
  case kFlt2Cutoff: {
    // The filters follow a cutoff change in a straight line over 100 steps,
    // so that knob moves and automation do not click.
    const int k = paramIdx == kFlt1Cutoff ? 0 : 1;
    cutoffRampCounter[k] = kCutoffRampSteps;
    cutoffRampIncrement[k] = (value - cutoffValue[k]) / 100.0;
    break;
  }
  default: break;
  }

  for (int i = 0; i < voiceCount; ++i) voices[i].setParam(paramIdx, value);
}

void Zorva::setNoteOn(int note, int velocity)
{
  addPressedKey(note);

  int chosen = -1;
  for (int i = 0; i < voiceCount && chosen < 0; ++i) {
    if (voices[i].note == note) chosen = i;
  }
  for (int i = 0; i < voiceCount && chosen < 0; ++i) {
    if (!voices[i].active) chosen = i;
  }
  if (chosen < 0) {
    chosen = 0;
    for (int i = 1; i < voiceCount; ++i) {
      if (voices[i].startStamp < voices[chosen].startStamp) chosen = i;
    }
  }

  ++noteCounter;
  voices[chosen].setNoteOn(note, velocity, noteCounter);
}

void Zorva::setNoteOff(int note)
{
  removePressedKey(note);

  Voice& first = voices[0];
  if (voiceCount == 1 && first.active && first.note == note && numPressedKeys > 0) {
    // Monophonic: fall back to the highest key still held, without a release.
    first.replayNote(pressedKeys[numPressedKeys - 1]);
    return;
  }
  for (int i = 0; i < voiceCount; ++i) {
    if (voices[i].active && voices[i].note == note) {
      voices[i].setNoteOff();
      return;
    }
  }
}

void Zorva::allNotesOff()
{
  clearKeyBuffer();
  for (Voice& voice : voices) {
    voice.setSustain(false);
    voice.setNoteOff();
  }
}

double Zorva::getNoise()
{
  return WhiteNoise::next();
}

double Zorva::softClip(double x)
{
  if (x < -3.0) return -1.0;
  if (x > 3.0) return 1.0;
  const double x2 = x * x;
  return x * (x2 + 27.0) / (9.0 * x2 + 27.0);
}

void Zorva::RedrawParamControls()
{
  Synth::RedrawParamControls();
  if (programMenu) programMenu->SetDirty(false);
}

void Zorva::PresetsChangedByHost()
{
  RedrawParamControls();
}
