#include "zorva/zorva.h"

#include "plugin/graphics/IGraphics.h"
#include "zorva/engine/pitch.h"

#include <algorithm>
#include <cmath>

namespace {
// Whether a learned controller's normalised value would move the parameter.
// Compared as the value the parameter would take (quantised as SetNormalized
// does) so that a controller repeating itself neither resets a filter mode nor
// bothers the host, whatever the parameter's range and taper.
bool wouldChange(const IParam& param, double normalized)
{
  double value = param.GetNonNormalized(normalized);
  if (param.Type() != IParam::kTypeDouble)
    value = std::floor(value / param.GetStep() + 0.5) * param.GetStep();
  value = std::min(value, param.GetMax());
  return value != param.Value();
}
} // namespace

void Zorva::ProcessDoubleReplacing(double** /*inputs*/, double** outputs, int nFrames)
{
  process(outputs, nFrames);
}

void Zorva::ProcessFloatReplacing(float** /*inputs*/, float** outputs, int nFrames)
{
  process(outputs, nFrames);
}

template <typename T> void Zorva::process(T** outputs, int nFrames)
{
  T* left = outputs[0];
  T* right = outputs[1];
  if (nFrames > 0) {
    std::fill_n(left, nFrames, T(0));
    std::fill_n(right, nFrames, T(0));
  }

  if (lfoSync[0] || lfoSync[1] || lfoSync[2]) handleSync2Host();
  if (nFrames < 1) return;

  // Without a Reset at 1000 Hz or more the step would be 0 and no frame would
  // ever be rendered.
  const int step = std::max(controlStep, 1);
  int left_ = nFrames;
  int pos = 0;
  while (left_ > 0) {
    int n;
    if (controlStepLeft <= 0) {
      handleMidiEvents();
      advanceCutoffs();
      for (int i = 0; i < voiceCount; ++i) voices[i].update(cutoffPitch[0], cutoffPitch[1]);
      n = step;
      if (step > left_) {
        controlStepLeft = step - left_;
        n = left_;
      }
    } else if (controlStepLeft >= left_) {
      controlStepLeft -= left_;
      n = left_;
    } else {
      n = controlStepLeft;
      controlStepLeft = 0;
    }

    voiceGroups.render(voices, voiceCount, left + pos, right + pos, n);

    if (softClipOn) {
      for (int i = pos; i < pos + n; ++i) {
        left[i] = T(softClip(double(left[i])));
        right[i] = T(softClip(double(right[i])));
      }
    }
    pos += n;
    left_ -= n;
  }
}

template void Zorva::process<double>(double** outputs, int nFrames);
template void Zorva::process<float>(float** outputs, int nFrames);

void Zorva::advanceCutoffs()
{
  for (int k = 0; k < 2; ++k) {
    if (cutoffRampCounter[k] > 0) {
      --cutoffRampCounter[k];
      cutoffValue[k] += cutoffRampIncrement[k];
    }
    cutoffPitch[k] = int(cutoffValue[k] * double(kMaxPitch));
  }
}

void Zorva::handleMidiEvents()
{
  const int step = std::max(controlStep, 1);
  while (!midiQueue.Empty()) {
    const IMidiMsg* msg = midiQueue.Peek();
    if (msg->mOffset > step) break;

    switch (msg->StatusMsg()) {
    case IMidiMsg::kNoteOn:
      if (msg->Velocity() > 0) {
        setNoteOn(msg->NoteNumber(), msg->Velocity());
        break;
      }
      [[fallthrough]];
    case IMidiMsg::kNoteOff: setNoteOff(msg->NoteNumber()); break;
    case IMidiMsg::kProgramChange: RestorePreset(msg->Program()); break;
    case IMidiMsg::kPitchWheel:
      pitchBend = msg->PitchWheel();
      positivePitchBend = std::max(0.0, pitchBend);
      break;
    case IMidiMsg::kControlChange: {
      const IMidiMsg::EControlChangeMsg cc = msg->ControlChangeIdx();
      if (cc == IMidiMsg::kSustainOnOff) {
        const bool down = msg->ControlChange(cc) > 0.0;
        for (Voice& voice : voices) voice.setSustain(down);
      } else if (cc == IMidiMsg::kModWheel) {
        modWheel = msg->ControlChange(cc);
      } else if (cc > IMidiMsg::kLocalControl) {
        allNotesOff();
      } else if (cc >= 0 && cc < kNumLearnableControllers) {
        const int paramIdx = midiCCParam[cc];
        IParam* param = GetParam(paramIdx);
        if (paramIdx >= 0 && paramIdx < kNumParams && param) {
          const double normalized = msg->ControlChange(cc);
          if (wouldChange(*param, normalized)) {
            SetParameterFromGUI(paramIdx, normalized);
            if (IGraphics* gui = GetGUI()) gui->SetParameterFromPlug(paramIdx, normalized, true);
          }
        }
      }
      break;
    }
    default: break;
    }
    midiQueue.Remove();
  }
  midiQueue.Flush(step);
}

void Zorva::handleSync2Host()
{
  GetTime(&timeInfo);
  // != is also true when either side is NaN.
  if (timeInfo.mTempo != lastTempo) {
    lastTempo = timeInfo.mTempo;
    for (Voice& voice : voices) voice.setTempo(lastTempo);
  }
  if (timeInfo.mPPQPos != lastPosition) {
    lastPosition = timeInfo.mPPQPos;
    for (Voice& voice : voices) voice.synchronize(lastPosition, timeInfo.mTransportIsRunning);
  }
}
