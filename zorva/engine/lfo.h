#pragma once

#include <cstdint>

// Low-frequency oscillator, advanced once per control step. A cycle is a
// whole number of control steps; the counter runs down through it.
class LFO
{
public:
  enum Wave : int32_t { kSine = 0, kSquare, kSawDown, kSawUp, kSampleHold, kThreeStep };
  static constexpr int kNumSyncRates = 20;
  static const double syncRates[kNumSyncRates]; // cycle length in beats per division

  LFO();

  void reset();
  void start();
  void update();

  void setRate(double hz);
  void setSync(bool on);
  void setTempo(double bpm);
  void setPeriod();
  void synchronize(double position, bool running);

  // The LFOs' own noise, shared by every LFO in the process.
  static double getNoise();
  static void setNoiseSeed(int32_t seed);
  static int32_t noiseSeed();

  // The voice's parameter handling.
  void setWaveform(int wave) { waveform = wave; }
  void setRetrigger(bool on) { retrigger = on; }
  void setModAmount(double amount) { modAmount = amount; }
  void setModSource(const double* source) { modSource = source; }

  double getOutput() const { return output; }
  double getUnipolarOutput() const { return unipolarOutput; }
  bool getRetrigger() const { return retrigger; }
  // Control steps in a cycle, and those left in the present one.
  int32_t getPeriod() const { return period; }
  int32_t getCounter() const { return counter; }
  double getSecondsPerBeat() const { return secondsPerBeat; }

private:
  // The voice hands out the outputs' addresses as modulation sources and
  // lets an unrouted depth source follow the instrument's shared values.
  friend class Voice;

  int32_t syncedPeriod() const;
  void applyFreePeriod();

  double output = 0.0;
  double unipolarOutput = 0.0;
  int32_t waveform = kSine;
  int32_t period = 1;
  double rate = 0.0;
  double modAmount = 0.0;
  bool synced = false;
  bool retrigger = false;
  const double* modSource;
  int32_t freePeriod = 0;
  int32_t counter = 1;
  int32_t lastCounter = -1;
  double beatsPerCycle = 0.5;
  double cyclesPerBeat = 2.0;
  double secondsPerBeat = 0.5;
  double heldValue = 0.0;
  bool locked = false;
};
