#include "zorva/zorva.h"

#include "plugin/graphics/IControl.h"
#include "plugin/graphics/IGraphics.h"
#include "zorva/param_ids.h"
#include "zorva/pitch.h"
#include "zorva/zorva_param.h"

#include <algorithm>

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
  // The panel's controls come later; until then the links stay empty. A new
  // learn switch starts off, so learning cannot stay active behind it.
  midiLearnActive = false;
  midiLearnControl = nullptr;
  programMenu = nullptr;
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
