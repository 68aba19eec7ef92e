#include "zorva/engine/envelope.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kLn10 = 2.302585092994046;
constexpr double kAttackTarget = 1.1111111111111112; // 10/9: the attack ends at 1 on the way there
constexpr double kReleaseTarget = -0.1111111111111111;
} // namespace

void Envelope::reset(double sampleRate)
{
  rateScale = kLn10 / sampleRate;
  stage = kOff;
  value = 0.0;
  still = false;
}

double Envelope::coefficientFor(double p) const
{
  // Beyond 1 the approach would overshoot and oscillate around its target;
  // only reachable at absurdly low sample rates, where one sample must do.
  return std::min(std::pow(10.0, p * -4.5 + 2.3) * rateScale, 1.0);
}

void Envelope::start()
{
  still = false;
  stage = kAttack;
  target = kAttackTarget;
  coefficient = coefficientFor(attack);
}

void Envelope::stop()
{
  still = false;
  stage = kRelease;
  target = kReleaseTarget;
  coefficient = coefficientFor(release);
}

void Envelope::setAttack(double p)
{
  attack = p;
  still = false;
  if (stage == kAttack) coefficient = coefficientFor(attack);
}

void Envelope::setDecay(double p)
{
  decay = p;
  still = false;
  if (stage == kDecay) coefficient = coefficientFor(decay);
}

void Envelope::setSustain(double level)
{
  sustain = level;
  still = false;
  if (stage == kDecay) target = sustain;
}

void Envelope::setRelease(double p)
{
  release = p;
  still = false;
  if (stage == kRelease) coefficient = coefficientFor(release);
}
