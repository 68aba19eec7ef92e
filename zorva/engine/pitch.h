#pragma once

#include <cmath>
#include <map>
#include <memory>
#include <mutex>

// Pitches inside the engine are in 1/128 semitone counted from MIDI note 0:
// MIDI note n is n * 128, and 17280 (note 135) is the top of every table.
constexpr int kMaxPitch = 17280;
constexpr int kPitchTableSize = kMaxPitch + 1;

// Frequency in Hz of a pitch in 1/128 semitone, interpolated linearly between
// the semitones of two rounded tables (above and below MIDI note 0). Pitches
// beyond +-17279 are held at the ends of the tables. Synth::convert2Hz
// forwards here so that the engine does not depend on the host adapter.
double convert2Hz(int pitch);

// Angular frequency per sample for every pitch 0 ... 17280 at the given rate:
// entry i = convert2Hz(i) * 2 pi / sampleRate. One table per sample rate in
// use, built on first request and kept for the life of the process, so that
// instances running at different rates never detune each other. May allocate
// and lock: call it when the rate is set, never while rendering. A rate that
// is not a positive finite number is answered with the 44100 Hz table.
const double* freq2RadTable(double sampleRate);

// The table of Table for a sample rate, built by fill(table, rate) on first
// request. One table per rate in use, kept for the life of the process and
// shared by every instance at that rate: instances at different rates must
// never share one, or the second would detune the first. Locks and may
// allocate: call it when the rate is set, never while rendering. A rate that
// is not a positive finite number gets the 44100 Hz table.
template <typename Table, typename Fill> const Table& tableForSampleRate(double sampleRate, Fill fill)
{
  static std::mutex lock;
  static std::map<double, std::unique_ptr<Table>> tables;
  if (!(sampleRate > 0.0) || !std::isfinite(sampleRate)) sampleRate = 44100.0;
  std::lock_guard<std::mutex> guard(lock);
  std::unique_ptr<Table>& table = tables[sampleRate];
  if (!table) {
    table = std::make_unique<Table>();
    fill(*table, sampleRate);
  }
  return *table;
}
