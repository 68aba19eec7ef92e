#include "IPluginLV2.h"

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/time/time.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace {
// Without a host's block length option: blocks longer than this are rendered
// in pieces.
constexpr int kDefaultMaxBlock = 4096;
constexpr const char* kStateKey = "urn:tamsodyne:zorva#state";

const void* findFeature(const LV2_Feature* const* features, const char* uri)
{
  for (int i = 0; features && features[i]; ++i)
    if (std::strcmp(features[i]->URI, uri) == 0) return features[i]->data;
  return nullptr;
}

// Any of the atom number types a host may use for a time:Position field.
bool readNumber(const LV2_Atom* atom, LV2_URID f, LV2_URID d, LV2_URID i, LV2_URID l, double* out)
{
  if (!atom) return false;
  if (atom->type == f && atom->size >= sizeof(float))
    *out = reinterpret_cast<const LV2_Atom_Float*>(atom)->body;
  else if (atom->type == d && atom->size >= sizeof(double))
    *out = reinterpret_cast<const LV2_Atom_Double*>(atom)->body;
  else if (atom->type == i && atom->size >= sizeof(int32_t))
    *out = reinterpret_cast<const LV2_Atom_Int*>(atom)->body;
  else if (atom->type == l && atom->size >= sizeof(int64_t))
    *out = double(reinterpret_cast<const LV2_Atom_Long*>(atom)->body);
  else
    return false;
  return std::isfinite(*out);
}
} // namespace

IPluginLV2::IPluginLV2(const IPluginInstanceInfo& /*instanceInfo*/, int nParams, const char* channelIOStr,
                       int nPresets, const char* effectName, const char* productName, const char* mfrName,
                       int vendorVersion, int uniqueID, int mfrID, int latency, bool plugDoesMidi,
                       bool plugDoesChunks, bool plugIsInst)
    : IPluginBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion, uniqueID,
                  mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInst, kAPILV2)
{
}

void IPluginLV2::GetTimeSig(int* pNum, int* pDenom)
{
  if (pNum) *pNum = mTimeInfo.mNumerator;
  if (pDenom) *pDenom = mTimeInfo.mDenominator;
}

void IPluginLV2::GetTime(ITimeInfo* pTimeInfo)
{
  if (pTimeInfo) *pTimeInfo = mTimeInfo;
}

EHost IPluginLV2::GetHost()
{
  if (mHost == kHostUninit) SetHost("", 0);
  return mHost;
}

void IPluginLV2::ResizeGraphics(int w, int h)
{
  if (GetGUI()) OnWindowResize();
  if (mUIHost && std::this_thread::get_id() == mUIThread) mUIHost->RequestResize(w, h);
}

// --- parameters from the editor ---

void IPluginLV2::InformHostOfParamChange(int paramIdx, double /*normalizedValue*/)
{
  const IParam* param = GetParam(paramIdx);
  if (!param) return;
  // Port writes may only come from the UI thread; a change made on the audio
  // thread (a learned controller) waits for the UI's next idle call.
  if (mUIHost && std::this_thread::get_id() == mUIThread)
    mUIHost->WriteParam(paramIdx, float(param->Value()));
  else
    MarkPending(paramIdx);
}

void IPluginLV2::MarkPending(int paramIdx)
{
  if (paramIdx < 0 || paramIdx >= 64 * 4) return;
  mPending[paramIdx / 64].fetch_or(uint64_t(1) << (paramIdx % 64), std::memory_order_relaxed);
}

void IPluginLV2::SetUIHost(IPluginLV2UIHost* host)
{
  MutexLock lock(mMutex);
  mUIHost = host;
  mUIThread = std::this_thread::get_id();
  for (auto& word : mPending) word.store(0);
}

void IPluginLV2::ForwardPendingParamChanges()
{
  if (!mUIHost) return;
  for (int w = 0; w < 4; ++w) {
    uint64_t bits = mPending[w].exchange(0, std::memory_order_relaxed);
    while (bits) {
      const int bit = __builtin_ctzll(bits);
      bits &= bits - 1;
      if (const IParam* param = GetParam(w * 64 + bit))
        mUIHost->WriteParam(w * 64 + bit, float(param->Value()));
    }
  }
}

// --- the LV2 instance ---

bool IPluginLV2::LV2Init(double sampleRate, const LV2_Feature* const* features)
{
  mMap = static_cast<LV2_URID_Map*>(const_cast<void*>(findFeature(features, LV2_URID__map)));
  lv2_log_logger_init(&mLogger, mMap,
                      static_cast<LV2_Log_Log*>(const_cast<void*>(findFeature(features, LV2_LOG__log))));
  if (!mMap) {
    lv2_log_error(&mLogger, "%s: the host offers no URID map (%s); cannot run\n", GetEffectName(),
                  LV2_URID__map);
    return false;
  }
  auto map = [this](const char* uri) { return mMap->map(mMap->handle, uri); };
  mUrid = {map(LV2_ATOM__Blank),          map(LV2_ATOM__Object),      map(LV2_ATOM__Float),
           map(LV2_ATOM__Double),         map(LV2_ATOM__Int),         map(LV2_ATOM__Long),
           map(LV2_ATOM__Chunk),          map(LV2_MIDI__MidiEvent),   map(LV2_TIME__Position),
           map(LV2_TIME__beat),           map(LV2_TIME__barBeat),     map(LV2_TIME__bar),
           map(LV2_TIME__beatsPerMinute), map(LV2_TIME__speed),       map(LV2_TIME__frame),
           map(LV2_TIME__beatUnit),       map(LV2_TIME__beatsPerBar), map(kStateKey)};

  int maxBlock = 0, nominal = 0;
  if (auto* options = static_cast<const LV2_Options_Option*>(findFeature(features, LV2_OPTIONS__options))) {
    const LV2_URID maxKey = map(LV2_BUF_SIZE__maxBlockLength),
                   nominalKey = map(LV2_BUF_SIZE__nominalBlockLength);
    for (; options->key; ++options) {
      if (options->type != mUrid.atomInt || options->size < sizeof(int32_t)) continue;
      const int32_t value = *static_cast<const int32_t*>(options->value);
      if (options->key == maxKey) maxBlock = value;
      if (options->key == nominalKey) nominal = value;
    }
  }
  mMaxBlock = maxBlock > 0 ? maxBlock : std::max(nominal, kDefaultMaxBlock);
  mMaxBlock = std::min(mMaxBlock, 1 << 20);
  SetSampleRate(sampleRate);

  mControls.assign(NParams(), nullptr);
  // Hosts start the ports at their declared defaults: those are not changes, so
  // the instrument keeps the program it opened with.
  mLastSeen.resize(NParams());
  for (int i = 0; i < NParams(); ++i) mLastSeen[i] = float(GetParam(i)->GetDefault());
  return true;
}

void IPluginLV2::LV2ConnectPort(uint32_t port, void* data)
{
  if (port < mControls.size())
    mControls[port] = static_cast<const float*>(data);
  else if (int(port) == EventsPort())
    mEvents = static_cast<const LV2_Atom_Sequence*>(data);
  else if (int(port) == LeftPort())
    mOut[0] = static_cast<float*>(data);
  else if (int(port) == RightPort())
    mOut[1] = static_cast<float*>(data);
}

void IPluginLV2::LV2Activate()
{
  MutexLock lock(mMutex);
  for (auto& buf : mScratch) buf.assign(size_t(mMaxBlock), 0.0);
  SetBlockSize(mMaxBlock);
  Reset();
  OnActivate(true);
  mNDeferred = 0;
}

void IPluginLV2::ApplyControlPorts()
{
  for (int i = 0; i < int(mControls.size()); ++i) {
    if (!mControls[i]) continue;
    const float v = *mControls[i];
    if (mAdoptPorts) {
      mLastSeen[i] = v;
      continue;
    }
    if (v == mLastSeen[i] || std::isnan(v)) continue;
    mLastSeen[i] = v;
    IParam* param = GetParam(i);
    const double value = param->Type() == IParam::kTypeDouble ? double(v) : std::round(double(v));
    // The editor's own change comes back through the host rounded to a
    // float; the parameter already holds it.
    if (float(param->Value()) == float(value)) continue;
    param->Set(value);
    OnParamChange(i);
  }
  mAdoptPorts = false;
}

void IPluginLV2::DeliverMidi(const uint8_t* msg, uint32_t size, int offset, bool locked)
{
  if (size < 1 || size > 3 || msg[0] < 0x80 || msg[0] >= 0xF0) return;
  IMidiMsg m(offset, msg[0], size > 1 ? msg[1] : 0, size > 2 ? msg[2] : 0);
  const int kind = m.StatusMsg();
  // Controllers and program changes may take the plug-in lock (learn,
  // programs); without it they wait for the next block.
  if (!locked && (kind == IMidiMsg::kControlChange || kind == IMidiMsg::kProgramChange)) {
    if (mNDeferred < kMaxDeferred) {
      m.mOffset = 0;
      mDeferred[mNDeferred++] = m;
    }
    return;
  }
  ProcessMidiMsg(&m);
}

void IPluginLV2::ReadPosition(const LV2_Atom_Object* obj, int64_t frame)
{
  const LV2_Atom *beat = nullptr, *barBeat = nullptr, *bpm = nullptr, *speed = nullptr, *beatUnit = nullptr,
                 *posFrame = nullptr, *beatsPerBar = nullptr;
  lv2_atom_object_get(obj, mUrid.timeBeat, &beat, mUrid.timeBarBeat, &barBeat, mUrid.timeBpm, &bpm,
                      mUrid.timeSpeed, &speed, mUrid.timeBeatUnit, &beatUnit, mUrid.timeFrame, &posFrame,
                      mUrid.timeBeatsPerBar, &beatsPerBar, 0);
  auto number = [this](const LV2_Atom* atom, double* out) {
    return readNumber(atom, mUrid.atomFloat, mUrid.atomDouble, mUrid.atomInt, mUrid.atomLong, out);
  };
  double value = 0.0;
  if (number(beatUnit, &value) && value >= 1.0 && value <= 64.0) mBeatUnit = int(value);
  if (number(beatsPerBar, &value) && value >= 1.0 && value <= 64.0) mTimeInfo.mNumerator = int(value);
  mTimeInfo.mDenominator = mBeatUnit;
  // The instrument counts in quarter notes.
  const double toQuarters = 4.0 / mBeatUnit;
  if (number(bpm, &value) && value > 0.0) mTimeInfo.mTempo = value * toQuarters;
  if (number(speed, &value)) mSpeed = value;
  mTimeInfo.mTransportIsRunning = mSpeed != 0.0;
  // The position is wanted at the start of the block.
  const double quartersPerFrame = mSpeed * mTimeInfo.mTempo / (60.0 * GetSampleRate());
  if (number(beat, &value))
    mTimeInfo.mPPQPos = value * toQuarters - double(frame) * quartersPerFrame;
  else if (number(barBeat, &value))
    mTimeInfo.mPPQPos = value * toQuarters - double(frame) * quartersPerFrame;
  if (number(posFrame, &value)) mTimeInfo.mSamplePos = value - double(frame) * mSpeed;
}

void IPluginLV2::RenderInto(float* left, float* right, int nFrames)
{
  double* outs[2] = {mScratch[0].data(), mScratch[1].data()};
  // The double path converted once at the end gives exactly the renderer's
  // 32-bit float output.
  ProcessDoubleReplacing(nullptr, outs, nFrames);
  for (int i = 0; i < nFrames; ++i) {
    left[i] = float(outs[0][i]);
    right[i] = float(outs[1][i]);
  }
}

void IPluginLV2::LV2Run(uint32_t nFrames)
{
  const bool locked = mMutex.TryEnter();
  if (locked) {
    for (int i = 0; i < mNDeferred; ++i) ProcessMidiMsg(&mDeferred[i]);
    mNDeferred = 0;
    ApplyControlPorts();
  }
  const int frames = int(std::min<uint32_t>(nFrames, 1u << 30));
  if (mEvents) {
    LV2_ATOM_SEQUENCE_FOREACH(mEvents, ev)
    {
      const int offset = int(std::clamp<int64_t>(ev->time.frames, 0, std::max(frames - 1, 0)));
      if (ev->body.type == mUrid.midiEvent) {
        DeliverMidi(static_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(&ev->body)), ev->body.size, offset,
                    locked);
      } else if (ev->body.type == mUrid.atomObject || ev->body.type == mUrid.atomBlank) {
        const auto* obj = reinterpret_cast<const LV2_Atom_Object*>(&ev->body);
        if (obj->body.otype == mUrid.timePosition) ReadPosition(obj, offset);
      }
    }
  }

  if (mOut[0] && mOut[1] && !mScratch[0].empty()) {
    for (int done = 0; done < frames;) {
      const int n = std::min(frames - done, mMaxBlock);
      RenderInto(mOut[0] + done, mOut[1] + done, n);
      done += n;
    }
  }
  if (locked) mMutex.Leave();

  if (mTimeInfo.mTransportIsRunning) {
    mTimeInfo.mPPQPos += double(frames) * mSpeed * mTimeInfo.mTempo / (60.0 * GetSampleRate());
    if (mTimeInfo.mSamplePos >= 0.0) mTimeInfo.mSamplePos += double(frames) * mSpeed;
  }
}

// --- state ---

bool IPluginLV2::SerializeWholeState(ByteChunk* chunk)
{
  MutexLock lock(mMutex);
  InitChunkWithFrameworkVer(chunk);
  chunk->Put(int32_t(mCurrentPresetIdx));
  return SerializePresets(chunk) && SerializeState(chunk);
}

bool IPluginLV2::UnserializeWholeState(const ByteChunk& chunk)
{
  MutexLock lock(mMutex);
  // Every program and the live values have the size of the current state.
  ByteChunk current;
  if (!SerializeState(&current)) return false;
  const int stateSize = current.Size();
  auto finiteValues = [&](int pos) {
    for (int k = 0; k + 8 <= stateSize; k += 8) {
      double v = 0.0;
      if (chunk.Get(&v, pos + k) < 0 || !std::isfinite(v)) return false;
    }
    return pos + stateSize <= chunk.Size();
  };

  int pos = 0;
  if (GetFrameworkVerFromChunk(&chunk, &pos) != kFrameworkVersion) return false;
  int32_t currentProgram = -1;
  pos = chunk.Get(&currentProgram, pos);
  if (pos < 0 || currentProgram < 0 || currentProgram >= NPresets()) return false;
  const int presetsStart = pos;
  for (int i = 0; i < NPresets(); ++i) {
    int32_t nameLen = -1;
    if (chunk.Get(&nameLen, pos) < 0 || nameLen < 0 || nameLen >= IPreset::kMaxNameLen) return false;
    pos += 4 + nameLen;
    uint8_t used = 2;
    pos = chunk.Get(&used, pos);
    if (pos < 0 || used > 1) return false;
    if (used) {
      if (!finiteValues(pos)) return false;
      pos += stateSize;
    }
  }
  const int liveStart = pos;
  if (!finiteValues(liveStart) || liveStart + stateSize != chunk.Size()) return false;

  mCurrentPresetIdx = currentProgram;
  UnserializePresets(&chunk, presetsStart);
  UnserializeState(&chunk, liveStart);
  RedrawParamControls();
  // The session's values are in place; the host's ports, whatever it restores
  // into them, are not changes.
  mAdoptPorts = true;
  return true;
}

LV2_State_Status IPluginLV2::LV2Save(LV2_State_Store_Function store, LV2_State_Handle handle)
{
  ByteChunk chunk;
  if (!SerializeWholeState(&chunk)) return LV2_STATE_ERR_UNKNOWN;
  return store(handle, mUrid.stateKey, chunk.GetData(), size_t(chunk.Size()), mUrid.atomChunk,
               LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status IPluginLV2::LV2Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle)
{
  size_t size = 0;
  uint32_t type = 0, flags = 0;
  const void* data = retrieve(handle, mUrid.stateKey, &size, &type, &flags);
  if (!data) return LV2_STATE_ERR_NO_PROPERTY;
  if (type != mUrid.atomChunk) return LV2_STATE_ERR_BAD_TYPE;
  ByteChunk chunk;
  if (size > (1u << 24) || chunk.PutBytes(data, int(size)) != int(size) || !UnserializeWholeState(chunk)) {
    lv2_log_error(&mLogger, "%s: the saved state is damaged or not Zorva's; nothing was changed\n",
                  GetEffectName());
    return LV2_STATE_ERR_UNKNOWN;
  }
  return LV2_STATE_SUCCESS;
}
