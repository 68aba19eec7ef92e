#include "zorva/engine/voice.h"

#include <atomic>
#include <cmath>

#include "zorva/param_ids.h"

namespace {

// Instances may render on different threads; a lost update between them only
// perturbs a random sequence, but the access itself must not be a data race.
std::atomic<std::int32_t> noiseState{1};

// Parameter records deliver values inside their ranges; this only keeps a
// stray value (NaN, huge) from becoming an undefined integer conversion.
int truncated(double value)
{
  if (!(value > -1e6)) return value < 0.0 ? -1000000 : 0;
  if (value > 1e6) return 1000000;
  return static_cast<int>(value);
}

bool isOn(double value)
{
  return value >= 0.5;
}

// Amplitude and LFO depth: a positive amount lets the source open the level,
// a negative one lets it close it.
double modulationFactor(double amount, double source)
{
  return amount >= 0.0 ? 1.0 + amount * (source - 1.0) : 1.0 + amount * source;
}

} // namespace

double WhiteNoise::next()
{
  const std::int32_t s = advance(noiseState.load(std::memory_order_relaxed));
  noiseState.store(s, std::memory_order_relaxed);
  return value(s);
}

void WhiteNoise::fill(double* out, int n)
{
  std::int32_t s = noiseState.load(std::memory_order_relaxed);
  for (int i = 0; i < n; ++i) {
    s = advance(s);
    out[i] = value(s);
  }
  noiseState.store(s, std::memory_order_relaxed);
}

std::int32_t WhiteNoise::seed()
{
  return noiseState.load(std::memory_order_relaxed);
}

void WhiteNoise::setSeed(std::int32_t seed)
{
  noiseState.store(seed, std::memory_order_relaxed);
}

Voice::Voice() : bend(&unsetShared[0]), positiveBend(&unsetShared[1]), wheel(&unsetShared[2])
{
  // Until the instrument sends its parameters every slot reads the zero
  // source; the levels are already 0, so the voice is silent.
  for (auto& o : osc) {
    o.setShapeModSource(&zeroSource);
    o.setFM1Source(&zeroSource);
    o.setFM2Source(&zeroSource);
  }
  for (auto& f : filter) {
    f.setCutoffMod1Source(&zeroSource);
    f.setCutoffMod2Source(&zeroSource);
    f.setCutoffMod3Source(&zeroSource);
  }
  for (auto& l : lfo) l.setModSource(&zeroSource);
  for (auto& slots : am)
    for (auto& slot : slots) slot.source = &zeroSource;
  panSource[0] = panSource[1] = &zeroSource;
  setSampleRate(44100.0);
  osc2Synced = false;
}

void Voice::setSharedSources(const double* pitchBend, const double* positivePitchBend, const double* modWheel)
{
  const double* const from[3] = {bend, positiveBend, wheel};
  const double* const to[3] = {pitchBend, positivePitchBend, modWheel};
  auto moved = [&](const double* slot) {
    for (int i = 0; i < 3; ++i)
      if (slot == from[i]) return to[i];
    return slot;
  };
  auto follow = [&](const double*& slot) { slot = moved(slot); };
  for (auto& o : osc) {
    o.setBendSource(moved(o.getBendSource()));
    o.setShapeModSource(moved(o.getShapeModSource()));
    o.setFM1Source(moved(o.getFM1Source()));
    o.setFM2Source(moved(o.getFM2Source()));
  }
  for (auto& f : filter) {
    follow(f.cutoffMod1Source);
    follow(f.cutoffMod2Source);
    follow(f.cutoffMod3Source);
  }
  for (auto& l : lfo) follow(l.modSource);
  for (auto& slots : am)
    for (auto& slot : slots) follow(slot.source);
  for (auto& source : panSource) follow(source);
  bend = pitchBend;
  positiveBend = positivePitchBend;
  wheel = modWheel;
}

void Voice::setSampleRate(double sampleRate)
{
  active = gate = sustained = false;
  osc1Needed = osc2Needed = ringNeeded = noiseNeeded = false;
  leftGain[0] = leftGain[1] = rightGain[0] = rightGain[1] = 0.0;
  pitch = 6144.0;
  glideIncrement = 0.0;
  glideSteps = 0;
  note = 48;
  velocity = 0;
  startStamp = 0;
  zeroSource = 0.0;
  oneSource = 1.0;
  stepBegun = false;

  const bool usable = sampleRate > 0.0 && sampleRate < 1e9;
  blockLength = usable ? static_cast<int32_t>(sampleRate) / 1000 : 0;
  if (blockLength != allocatedLength || !wrap) {
    allocatedLength = blockLength;
    // Below 1000 Hz the step is 0 samples long; one entry still lets a
    // stray call render in runs of one sample instead of never finishing.
    const size_t size = blockLength > 0 ? static_cast<size_t>(blockLength) : 1;
    for (auto* buffer : {&osc1Out, &osc2Out, &osc1Smooth, &osc2Smooth, &noise}) buffer->assign(size, 0.0);
    wrap = std::make_unique<bool[]>(size);
  }

  for (auto& o : osc) {
    o.init(sampleRate);
    o.setBendSource(bend);
  }
  for (auto& f : filter) f.init(sampleRate);
  for (auto& l : lfo) l.reset();
  for (auto& e : env) e.reset(sampleRate);
}

void Voice::setNoteOn(int noteNumber, int noteVelocity, int stamp)
{
  const double target = noteNumber * 128.0;
  const double glideLength = portamento * 1000.0; // control steps of about 1 ms
  if (portamento > 0.0 && glideLength >= 1.0) {
    glideSteps = glideLength < 2147483647.0 ? static_cast<int32_t>(glideLength) : 2147483647;
    glideIncrement = (target - pitch) / glideLength;
  } else {
    pitch = target;
    glideSteps = 0;
    glideIncrement = 0.0;
  }

  active = true;
  gate = true;
  note = noteNumber;
  velocity = noteVelocity;
  startStamp = stamp;

  if (!freeRun)
    for (auto& o : osc) o.restart();
  for (auto& l : lfo) l.start();
  for (auto& e : env) e.start();

  noteSource = noteNumber * (1.0 / 60.0);
  centredNoteSource = (noteNumber - 48) * (1.0 / 60.0);
  velocitySource = noteVelocity * 0.007874015748031496;
}

void Voice::startRelease()
{
  for (auto& e : env) e.stop();
}

void Voice::setNoteOff()
{
  gate = false;
  if (!sustained) startRelease();
}

void Voice::setSustain(bool on)
{
  sustained = on;
  if (!sustained && !gate) startRelease();
}

void Voice::synchronize(double position, bool running)
{
  for (auto& l : lfo) l.synchronize(position, running);
}

void Voice::setTempo(double bpm)
{
  for (auto& l : lfo) l.setTempo(bpm);
}

void Voice::update(double cutoffPitch1, double cutoffPitch2)
{
  if (!active) {
    // Free-running LFOs keep their phase while the voice is silent.
    for (auto& l : lfo)
      if (!l.getRetrigger()) l.update();
    return;
  }

  for (auto& e : env) e.update();
  stepBegun = true;

  if (glideSteps >= 1) {
    pitch += glideIncrement;
    if (--glideSteps == 0) pitch = note * 128.0;
  }

  for (auto& l : lfo) l.update();
  for (auto& o : osc) o.update(pitch);
  filter[0].setBaseCutoff(cutoffPitch1);
  filter[1].setBaseCutoff(cutoffPitch2);
  updateOutputGains(0);
  updateOutputGains(1);

  active = env[0].isOn();

  ringNeeded = ringIn1 > 0.0 || ringIn2 > 0.0;
  if (ringNeeded) {
    osc1Needed = osc2Needed = true;
  } else {
    osc1Needed = osc1In1 > 0.0 || osc1In2 > 0.0;
    osc2Needed = osc2In1 > 0.0 || osc2In2 > 0.0;
  }
  noiseNeeded = noiseIn1 > 0.0 || noiseIn2 > 0.0;
}

void Voice::updateOutputGains(int k)
{
  if (ampLevel[k] <= 0.0) {
    leftGain[k] = rightGain[k] = 0.0;
    return;
  }
  const double base = ampLevel[k] * volume;
  const double f1 = modulationFactor(am[k][0].amount, *am[k][0].source);
  const double f2 = modulationFactor(am[k][1].amount, *am[k][1].source);
  const double amp = f2 * (f1 * base);
  if (amp < 0.0) return;
  double p = panAmount[k] * *panSource[k] + panPosition[k];
  p = p < 0.0 ? 0.0 : (p > 1.0 ? 1.0 : p);
  leftGain[k] = (1.0 - p) * amp;
  rightGain[k] = p * amp;
}

const double* Voice::getModSource(int position) const
{
  switch (position) {
  case kSrcOn: return &oneSource;
  case kSrcLFO1Uni: return &lfo[0].unipolarOutput;
  case kSrcLFO2Uni: return &lfo[1].unipolarOutput;
  case kSrcLFO3Uni: return &lfo[2].unipolarOutput;
  case kSrcEnv1: return &env[0].value;
  case kSrcEnv2: return &env[1].value;
  case kSrcEnv3: return &env[2].value;
  case kSrcVelocity: return &velocitySource;
  case kSrcNoteUni: return &noteSource;
  case kSrcPitchBendUni: return positiveBend;
  case kSrcWheel: return wheel;
  case kSrcLFO1: return &lfo[0].output;
  case kSrcLFO2: return &lfo[1].output;
  case kSrcLFO3: return &lfo[2].output;
  case kSrcNote: return &centredNoteSource;
  case kSrcPitchBend: return bend;
  default: return &zeroSource;
  }
}

void Voice::setParam(int index, double value)
{
  const double* source = getModSource(truncated(value));

  switch (index) {
  case kFreeRun: freeRun = isOn(value); return;
  case kPortamento: portamento = value; return;
  case kPitchBendRange:
    for (auto& o : osc) o.setPBendRange(truncated(value));
    return;
  case kVolume: volume = value; return;
  case kOsc2Sync:
    osc[1].setSyncMode(truncated(value));
    osc2Synced = value > 0.0;
    return;
  case kFlt1Osc1In: osc1In1 = value; return;
  case kFlt1Osc2In: osc2In1 = value; return;
  case kFlt1RingIn: ringIn1 = value; return;
  case kFlt1NoiseIn: noiseIn1 = value; return;
  case kFlt2Osc1In: osc1In2 = value; return;
  case kFlt2Osc2In: osc2In2 = value; return;
  case kFlt2RingIn: ringIn2 = value; return;
  case kFlt2NoiseIn: noiseIn2 = value; return;
  case kFlt2Flt1In: flt1In2 = value; return;
  default: break;
  }

  // The two oscillators' blocks share one layout, 10 apart; "Sync 2" sits
  // between oscillator 2's tuning and its FM slots.
  if (index >= kOsc1Wave && index <= kOsc2FM2Src) {
    const int k = index >= kOsc2Wave ? 1 : 0;
    int slot = index - (k == 0 ? kOsc1Wave : kOsc2Wave);
    if (k == 1 && index > kOsc2Sync) --slot;
    Oscillator& o = osc[k];
    switch (slot) {
    case 0: o.setWaveform(truncated(value)); break;
    case 1: o.setShape(value); break;
    case 2: o.setShapeModAmount(value); break;
    case 3: o.setShapeModSource(source); break;
    case 4: o.setTranspose(truncated(value)); break;
    case 5: o.setTuning(truncated(value)); break;
    case 6: o.setFM1Amount(value); break;
    case 7: o.setFM1Source(source); break;
    case 8: o.setFM2Amount(value); break;
    case 9: o.setFM2Source(source); break;
    default: break;
    }
    return;
  }

  // Filter controls: mode, (cutoff, handled by the instrument), resonance,
  // three cutoff-modulation slots; filter 2's block is 14 further on.
  if ((index >= kFlt1Mode && index <= kFlt1CF3Src) || (index >= kFlt2Mode && index <= kFlt2CF3Src)) {
    const int k = index >= kFlt2Mode ? 1 : 0;
    Filter& f = filter[k];
    switch (index - (k == 0 ? kFlt1Mode : kFlt2Mode)) {
    case 0: f.setMode(truncated(value)); break;
    case 2: f.setResonance(value); break;
    case 3: f.setCutoffMod1Amount(value); break;
    case 4: f.setCutoffMod1Source(source); break;
    case 5: f.setCutoffMod2Amount(value); break;
    case 6: f.setCutoffMod2Source(source); break;
    case 7: f.setCutoffMod3Amount(value); break;
    case 8: f.setCutoffMod3Source(source); break;
    default: break; // the cutoff itself
    }
    return;
  }

  if (index >= kAmp1Level && index <= kPan2ModSrc) {
    const int k = index >= kAmp2Level ? 1 : 0;
    switch (index - (k == 0 ? kAmp1Level : kAmp2Level)) {
    case 0: ampLevel[k] = value; break;
    case 1: am[k][0].amount = value; break;
    case 2: am[k][0].source = source; break;
    case 3: am[k][1].amount = value; break;
    case 4: am[k][1].source = source; break;
    case 5: panPosition[k] = value; break;
    case 6: panAmount[k] = value; break;
    case 7: panSource[k] = source; break;
    default: break;
    }
    return;
  }

  if (index >= kLFO1Wave && index <= kLFO3ModSrc) {
    LFO& l = lfo[(index - kLFO1Wave) / 6];
    switch ((index - kLFO1Wave) % 6) {
    case 0: l.setWaveform(truncated(value)); break;
    case 1: l.setSync(isOn(value)); break;
    case 2: l.setRetrigger(isOn(value)); break;
    case 3: l.setRate(value); break;
    case 4: l.setModAmount(value); break;
    case 5: l.setModSource(source); break;
    default: break;
    }
    return;
  }

  if (index >= kEnv1Attack && index <= kEnv3Release) {
    Envelope& e = env[(index - kEnv1Attack) / 4];
    switch ((index - kEnv1Attack) % 4) {
    case 0: e.setAttack(value); break;
    case 1: e.setDecay(value); break;
    case 2: e.setSustain(value); break;
    case 3: e.setRelease(value); break;
    default: break;
    }
  }
  // "Voices", "SoftClip" and the two cutoffs belong to the instrument;
  // anything else is not a parameter.
}
