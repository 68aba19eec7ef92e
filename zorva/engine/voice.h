#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "zorva/engine/envelope.h"
#include "zorva/engine/filter.h"
#include "zorva/engine/lfo.h"
#include "zorva/engine/oscillator.h"

// White noise for the voices' mixers: one state for every voice of every
// instance (the instrument's getNoise draws from the same sequence).
class WhiteNoise
{
public:
  static double next();
  // n consecutive values of the sequence.
  static void fill(double* out, int n);
  static std::int32_t seed();
  static void setSeed(std::int32_t seed);

  // The sequence's rule, for loops that keep the state in a register.
  static std::int32_t advance(std::int32_t s)
  {
    // 32-bit wrap-around multiply, done unsigned so that the overflow is defined.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(s) * 16807u);
  }
  static double value(std::int32_t s) { return s * 4.6566129e-10; }
};

// One complete signal path: two oscillators, mixer with ring modulator and
// noise, two filters in parallel or series, amplitude and pan per filter,
// three LFOs and three envelopes. Envelope 1 scales the output and ends the
// voice. Modulation slots hold the address of the value their source keeps
// current, so reading a source costs one load.
class Voice
{
public:
  // Positions of the modulation-source lists.
  enum ModSource {
    kSrcOff = 0,
    kSrcOn,
    kSrcLFO1Uni,
    kSrcLFO2Uni,
    kSrcLFO3Uni,
    kSrcEnv1,
    kSrcEnv2,
    kSrcEnv3,
    kSrcVelocity,
    kSrcNoteUni,
    kSrcPitchBendUni,
    kSrcWheel,
    kSrcLFO1,
    kSrcLFO2,
    kSrcLFO3,
    kSrcNote,
    kSrcPitchBend,
    kNumModSources
  };

  struct AmSlot
  {
    double amount = 0.0;
    const double* source = nullptr;
  };

  Oscillator osc[2];
  Filter filter[2];
  LFO lfo[3];
  Envelope env[3];

  int32_t blockLength = 0;
  int32_t allocatedLength = 0;

  double zeroSource = 0.0;
  double oneSource = 1.0;
  double noteSource = 0.0;
  double centredNoteSource = 0.0;
  double velocitySource = 0.0;
  // The instrument's shared values, read as "PBend", "PBnd+" and "Wheel".
  const double* bend;
  const double* positiveBend;
  const double* wheel;

  bool freeRun = false;
  bool osc2Synced = false;
  double volume = 0.0;
  double portamento = 0.0;

  double osc1In1 = 0.0, osc2In1 = 0.0, osc1In2 = 0.0, osc2In2 = 0.0;
  double ringIn1 = 0.0, ringIn2 = 0.0, noiseIn1 = 0.0, noiseIn2 = 0.0;
  double flt1In2 = 0.0;

  // Per filter: amplifier level, two AM slots, pan position, amount, source.
  double ampLevel[2] = {0.0, 0.0};
  AmSlot am[2][2];
  double panPosition[2] = {0.0, 0.0};
  double panAmount[2] = {0.0, 0.0};
  const double* panSource[2];

  bool active = false;
  bool gate = false;
  bool sustained = false;
  bool osc1Needed = false, osc2Needed = false, ringNeeded = false, noiseNeeded = false;

  double leftGain[2] = {0.0, 0.0};
  double rightGain[2] = {0.0, 0.0};

  double pitch = 6144.0; // 1/128 semitone
  double glideIncrement = 0.0;
  int32_t glideSteps = 0;
  int32_t note = 48;
  int32_t velocity = 0;
  int32_t startStamp = 0;

  Voice();
  // Modulation slots point into the voice itself: a copy would read its
  // original's sources.
  Voice(const Voice&) = delete;
  Voice& operator=(const Voice&) = delete;

  // Points the voice at the instrument's pitch bend, positive pitch bend and
  // mod wheel; slots already routed to one of them follow.
  void setSharedSources(const double* pitchBend, const double* positivePitchBend, const double* modWheel);

  // Allocates: call outside rendering.
  void setSampleRate(double sampleRate);

  void setNoteOn(int noteNumber, int noteVelocity, int stamp);
  void replayNote(int noteNumber) { setNoteOn(noteNumber, velocity, startStamp); }
  void setNoteOff();
  void setSustain(bool on);

  void synchronize(double position, bool running);
  void setTempo(double bpm);

  // Once per control step, before the step's samples.
  void update(double cutoffPitch1, double cutoffPitch2);

  // Add nFrames samples of the voice's output to the two buffers.
  void process(double* left, double* right, int nFrames);
  void process(float* left, float* right, int nFrames);
  // As process, compiled for AVX-512: call only where VoiceGroups says the
  // processor runs it.
  void processWide(double* left, double* right, int nFrames);
  void processWide(float* left, float* right, int nFrames);

  void setParam(int index, double value);
  const double* getModSource(int position) const;

private:
  // Renders sounding voices several at a time from the same state.
  template <int W> friend struct VoiceLanes;

  template <typename T> [[gnu::always_inline]] inline void render(T* left, T* right, int nFrames);
  template <typename T>
  [[gnu::always_inline]] inline void renderRun(T* __restrict left, T* __restrict right, int n);
  void updateOutputGains(int k);
  void startRelease();

  // The pitch bend, positive pitch bend and mod wheel read until the
  // instrument provides its own.
  double unsetShared[3] = {0.0, 0.0, 0.0};

  // Set by update: the envelopes have already advanced for the step's first
  // sample. A run that continues a step advances them before its first one.
  bool stepBegun = false;

  std::vector<double> osc1Out, osc2Out, osc1Smooth, osc2Smooth, noise;
  std::unique_ptr<bool[]> wrap;
};
