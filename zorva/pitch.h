#pragma once

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
