#pragma once

#include "zorva/engine/voice.h"
#include "zorva/engine/voice_group.h"
#include "zorva/synth.h"

class IControl;
class ITdLFORateControl;
class ITdOptionMenu;

// The instrument: 64 voices of which the first voiceCount play, the control-rate
// scheduler that cuts host blocks into steps of about a millisecond, voice
// allocation, the smoothed filter cutoffs and the parameter dispatcher.
class Zorva : public Synth
{
public:
  static constexpr int kMaxVoices = 64;
  static constexpr int kNumVoiceCounts = 32;
  // The voice counts that the positions of "Voices" select.
  static const int nVoices[kNumVoiceCounts];
  // Pitch units per unit of modulation amount: an amount of 1 at a source of 1
  // moves pitch or cutoff by about one octave.
  static constexpr double kModAmountScale = 1536.2;
  static constexpr int kCutoffRampSteps = 100;

  explicit Zorva(IPluginInstanceInfo instanceInfo = defaultInstanceInfo());
  ~Zorva() override;

  void Reset() override;
  void OnParamChange(int paramIdx) override;
  void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;
  void ProcessFloatReplacing(float** inputs, float** outputs, int nFrames) override;
  void RedrawParamControls() override;
  void PresetsChangedByHost() override;
  void allNotesOff() override;
  void initParameters() override;

  void setNoteOn(int note, int velocity);
  void setNoteOff(int note);
  void handleMidiEvents();
  void handleSync2Host();
  // Builds the front panel on the editor's window object.
  void createGraphics() override;

  // The voices' shared white noise, about -1 ... +1.
  static double getNoise();
  // Slope 1 at 0, exactly +-1 from +-3 on.
  static double softClip(double x);

  int getVoiceCount() const { return voiceCount; }
  const Voice& getVoice(int idx) const { return voices[idx]; }
  int getCutoffPitch(int filter) const { return cutoffPitch[filter]; }
  double getPitchBend() const { return pitchBend; }
  double getPositivePitchBend() const { return positivePitchBend; }
  double getModWheel() const { return modWheel; }
  bool isSoftClipOn() const { return softClipOn; }

  // Angular frequency per sample for each cutoff pitch, the table of this
  // instance's sample rate (shared with other instances at that rate).
  const double* freq2rad = nullptr;

  // Links to controls of the panel, not owned; renewed by every build.
  IControl* programMenu = nullptr; // the program display
  IControl* indicatorLight = nullptr;
  ITdLFORateControl* lfoRateControls[3] = {nullptr, nullptr, nullptr};

private:
  void fillOptionMenu(ITdOptionMenu* control);
  template <typename T> void process(T** outputs, int nFrames);
  void advanceCutoffs();

  Voice voices[kMaxVoices];
  VoiceGroups voiceGroups;
  int voiceCount = 1;
  bool softClipOn = false;
  bool lfoSync[3] = {false, false, false};
  double lastPosition = -1.0;
  double lastTempo = 0.0;
  int cutoffPitch[2] = {17280, 17280};
  int cutoffRampCounter[2] = {0, 0};
  double cutoffValue[2] = {1.0, 1.0};
  double cutoffRampIncrement[2] = {0.0, 0.0};
  int noteCounter = 0;
  double pitchBend = 0.0;
  double positivePitchBend = 0.0;
  double modWheel = 0.0;
};
