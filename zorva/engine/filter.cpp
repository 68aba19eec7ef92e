#include "zorva/engine/filter.h"

Filter::Filter()
{
  init(44100.0);
  reset();
}

void Filter::reset()
{
  lastCutoffIndex = kStale;
  s1 = 0.0;
  s2 = 1.0;
  s3 = 0.0;
  s4 = -1.0;
  loopGain = 0.0;
  gain = 0.0;
  secondGain = 0.0;
  pole = 0.0;
  normaliser = 0.0;
}

void Filter::init(double sampleRate)
{
  freq2rad = freq2RadTable(sampleRate);
  lastCutoffIndex = kStale;
}

void Filter::computeCoefficients(std::int32_t index)
{
  lastCutoffIndex = index;
  const double w = freq2rad[index];
  const double inv = 1.0 / (2.0 + w);
  const double a = (w - 2.0) * inv;
  const double gL = w * inv;
  const double gH = 2.0 * inv;
  pole = a;
  double g2;
  switch (mode) {
  case kLowpass:
    gain = gL;
    g2 = gL * gL;
    loopGain = g2 * g2;
    feedback = 4.0 * resonance;
    normaliser = 1.0 / (1.0 + feedback * loopGain);
    break;
  case kHighpass:
    gain = gH;
    g2 = gH * gH;
    loopGain = g2 * g2;
    feedback = 4.0 * resonance;
    normaliser = 1.0 / (1.0 + feedback * loopGain);
    break;
  case kBandpass:
    gain = gL;
    secondGain = gH;
    g2 = gH * gL;
    loopGain = g2 * g2;
    feedback = 4.0 * resonance;
    normaliser = 1.0 / (1.0 - feedback * loopGain);
    break;
  default: // allpass and phaser
    g2 = a * a;
    loopGain = g2 * g2;
    feedback = 0.999 * resonance;
    normaliser = 1.0 / (1.0 + feedback * loopGain);
    break;
  }
}
