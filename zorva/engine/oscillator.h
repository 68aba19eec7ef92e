#pragma once

#include <cstdint>

// Band-limited wavetable oscillator with a second read point (pulse width,
// saw-pulse, phase-offset saw), soft and hard sync, FM and shape modulation.
// Phases are 28-bit: 2^28 is one cycle, a phase's table index is phase >> 16.
class Oscillator
{
public:
  static constexpr int kTableSize = 4096;
  static constexpr int kNumTables = 11; // table L holds 2^(10 - L) harmonics
  static constexpr std::int32_t kPhaseCycle = std::int32_t(1) << 28;
  static constexpr std::int32_t kPhaseMask = kPhaseCycle - 1;

  enum Waveform { kSawtooth = 0, kPulse = 1, kSawPulse = 2, kSine = 3 };
  enum SyncMode { kSyncOff = 0, kSyncSoft = 1, kSyncHard = 2 };

  // Builds the shared wavetables on first use (thread-safe) and starts at
  // 44100 Hz with every phase and the increment at 0.
  Oscillator();

  // Selects the phase-increment table for the rate; when the rate differs
  // from this oscillator's, its phases and increment restart at 0. May
  // allocate: call from the voice's setSampleRate, outside rendering. Rates
  // that are not positive finite numbers are ignored.
  void init(double sampleRate);

  // Restarts the cycle, keeping the offset between the two read points.
  void restart()
  {
    secondPhase = (secondPhase - phase) & kPhaseMask;
    phase = 0;
  }

  // Control-rate update: increment, second read point and tables from the
  // pitch (1/128 semitone) plus offset, bend and FM.
  void update(double pitch);

  void setPBendRange(int semitones) { bendRange = semitones * 128; }
  void setTranspose(int semitones)
  {
    transpose = semitones;
    pitchOffset = transpose * 128 + tuning;
  }
  void setTuning(int fine)
  {
    tuning = fine;
    pitchOffset = transpose * 128 + tuning;
  }

  // Renders n samples of the normal and the smooth output. wrap[i] is read
  // for sync (before it is overwritten) and then set when the main phase
  // began a new cycle at sample i.
  void process(double* out, double* smoothOut, int n, bool* wrap) { run<true>(out, smoothOut, 1, n, wrap); }

  // As process, writing sample i at out[i * stride]: voice groups interleave
  // their lanes' outputs.
  void process(double* out, double* smoothOut, int stride, int n, bool* wrap)
  {
    run<true>(out, smoothOut, stride, n, wrap);
  }

  // Advances the phases exactly as process would, writing only the wrap flags.
  void silence(int n, bool* wrap) { run<false>(nullptr, nullptr, 1, n, wrap); }

  // Shared read-only tables, for the voice and for tests.
  static const double* waveTable(int level);
  // Phase increment per sample for every pitch 0 ... 17280 at the rate, held
  // below one cycle per sample. Built once per rate; may allocate and lock.
  // A rate that is not a positive finite number gets the 44100 Hz table.
  static const std::int32_t* phaseIncrementTable(double sampleRate);

  // What an unrouted source pointer reads, so that no pointer is ever null.
  static constexpr double kNoModulation = 0.0;

  // The voice's parameter handling. Sources are the addresses of values
  // their owners keep current; FM amounts are already scaled to 1/128
  // semitone per unit of source.
  void setBendSource(const double* source) { bend = source; }
  void setWaveform(int wave) { waveform = wave; }
  void setShape(double amount) { shape = amount; }
  void setShapeModAmount(double amount) { shapeModAmount = amount; }
  void setShapeModSource(const double* source) { shapeModSource = source; }
  void setFM1Amount(double amount) { fm1Amount = amount; }
  void setFM1Source(const double* source) { fm1Source = source; }
  void setFM2Amount(double amount) { fm2Amount = amount; }
  void setFM2Source(const double* source) { fm2Source = source; }
  void setSyncMode(int mode) { syncMode = mode; }

  const double* getBendSource() const { return bend; }
  const double* getShapeModSource() const { return shapeModSource; }
  const double* getFM1Source() const { return fm1Source; }
  const double* getFM2Source() const { return fm2Source; }
  std::int32_t getPhase() const { return phase; }
  std::int32_t getSecondPhase() const { return secondPhase; }
  std::int32_t getIncrement() const { return increment; }
  bool isReversed() const { return reversed; }
  const double* getTable() const { return table; }
  const double* getSmoothTable() const { return smoothTable; }
  int getSyncMode() const { return syncMode; }

  // The running state, copied into registers for a run. The voice advances
  // its oscillators one sample at a time inside its filter loop, whose
  // feedback chain leaves the processor idle enough to do it there.
  struct Cursor
  {
    const double* table;
    const double* smoothTable;
    double mix;
    std::int32_t increment, phase, secondPhase;
    bool reversed;

    // One sample: syncWrap says whether the sync source began a new cycle
    // at this sample. Returns whether this oscillator's main phase did.
    template <bool Render, int Sync, int Direction>
    [[gnu::always_inline]] bool step(bool syncWrap, double* out, double* smoothOut);
  };
  Cursor cursor() const
  {
    // a + mix * b gives a - b (pulse), a - 0.5 b (saw-pulse) or a + 0.5 b,
    // exactly, since scaling by -1 or +-0.5 is exact.
    const double mix = waveform == kPulse ? -1.0 : waveform == kSawPulse ? -0.5 : 0.5;
    return {table, smoothTable, mix, increment, phase, secondPhase, reversed};
  }
  void setCursor(const Cursor& c)
  {
    phase = c.phase;
    secondPhase = c.secondPhase;
    reversed = c.reversed;
  }

private:
  const double* bend = &kNoModulation;
  std::int32_t bendRange = 0;
  std::int32_t transpose = 0;
  std::int32_t tuning = 0;
  std::int32_t waveform = kSawtooth;
  double shape = 0.0;
  double shapeModAmount = 0.0;
  const double* shapeModSource = &kNoModulation;
  double fm1Amount = 0.0;
  const double* fm1Source = &kNoModulation;
  double fm2Amount = 0.0;
  const double* fm2Source = &kNoModulation;
  std::int32_t syncMode = kSyncOff;
  std::int32_t pitchOffset = 0;
  const double* table;
  const double* smoothTable;
  std::int32_t phase = 0;
  std::int32_t secondPhase = 0;
  std::int32_t increment = 0;
  bool reversed = false;

  // The rate this oscillator's increment table belongs to.
  double sampleRate = 0.0;
  const std::int32_t* freq2PhInc = nullptr;

  template <bool Render> void run(double* out, double* smoothOut, int stride, int n, bool* wrap);
  template <bool Render, int Sync, int Direction>
  void loop(double* out, double* smoothOut, int stride, int n, bool* wrap);
};

// One loop per sync mode and, where it cannot change within the run, per
// direction: the per-sample tests would otherwise cost a third of the loop.
template <bool Render>
inline void Oscillator::run(double* out, double* smoothOut, int stride, int n, bool* wrap)
{
  if (syncMode == kSyncSoft)
    loop<Render, kSyncSoft, 0>(out, smoothOut, stride, n, wrap);
  else if (syncMode == kSyncHard)
    reversed ? loop<Render, kSyncHard, -1>(out, smoothOut, stride, n, wrap)
             : loop<Render, kSyncHard, 1>(out, smoothOut, stride, n, wrap);
  else
    reversed ? loop<Render, kSyncOff, -1>(out, smoothOut, stride, n, wrap)
             : loop<Render, kSyncOff, 1>(out, smoothOut, stride, n, wrap);
}

// Direction 1: forward, -1: backward, 0: as reversed says, flipped by soft sync.
template <bool Render, int Sync, int Direction>
inline bool Oscillator::Cursor::step(bool syncWrap, double* out, double* smoothOut)
{
  if constexpr (Sync == kSyncSoft) {
    if (syncWrap) reversed = !reversed;
  } else if constexpr (Sync == kSyncHard) {
    if (syncWrap) {
      secondPhase = (secondPhase - phase) & kPhaseMask;
      phase = 0;
    }
  }
  if constexpr (Render) {
    const int ia = phase >> 16;
    const int ib = secondPhase >> 16;
    *out = table[ia] + mix * table[ib];
    *smoothOut = smoothTable[ia] + mix * smoothTable[ib];
  }
  if (Direction == 0 ? reversed : Direction < 0) {
    phase -= increment;
    secondPhase = (secondPhase - increment) & kPhaseMask;
    const bool wrapped = phase < 0;
    phase &= kPhaseMask;
    return wrapped;
  }
  phase += increment;
  secondPhase = (secondPhase + increment) & kPhaseMask;
  const bool wrapped = phase >= kPhaseCycle;
  phase &= kPhaseMask;
  return wrapped;
}

template <bool Render, int Sync, int Direction>
inline void Oscillator::loop(double* out, double* smoothOut, int stride, int n, bool* wrap)
{
  Cursor c = cursor();
  if (Direction != 0) c.reversed = Direction < 0;
  for (int i = 0; i < n; ++i) {
    double* o = Render ? out + i * stride : nullptr;
    double* so = Render ? smoothOut + i * stride : nullptr;
    wrap[i] = c.step<Render, Sync, Direction>(Sync != kSyncOff && wrap[i], o, so);
  }
  setCursor(c);
}
