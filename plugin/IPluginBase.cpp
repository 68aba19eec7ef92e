#include "IPluginBase.h"

#include "Log.h"
#include "graphics/IGraphics.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The editor library sits above the framework and is linked only into programs
// that have an editor. The framework reaches the editor through its virtual table
// alone; the sanitizer's dynamic-type check would need the editor's type
// information at link time, so it is left out of the few calls that do this.
#define ZORVA_EDITOR_CALLS __attribute__((no_sanitize("vptr")))

namespace {

void CopyName(char* dest, const char* src)
{
  std::snprintf(dest, kMaxEffectNameLen, "%s", src ? src : "");
}

// Reads a decimal count the way "%d" would, clamped to the int range; false if
// there are no digits (the position is then left as it was).
bool ReadCount(const char*& p, int* pCount)
{
  char* end = nullptr;
  const long v = std::strtol(p, &end, 10);
  if (end == p) return false;
  *pCount = static_cast<int>(std::clamp<long>(v, INT_MIN, INT_MAX));
  p = end;
  return true;
}

// One "in-out" token; a part that cannot be read counts 0.
IPluginBase::ChannelIO ParseChannelIO(const std::string& token)
{
  IPluginBase::ChannelIO io{0, 0};
  const char* p = token.c_str();
  if (ReadCount(p, &io.mIn) && *p == '-') {
    ++p;
    ReadCount(p, &io.mOut);
  }
  return io;
}

} // namespace

void GetVersionParts(int version, int* pMajor, int* pMinor, int* pPatch)
{
  const unsigned v = static_cast<unsigned>(version);
  *pMajor = static_cast<int>(v >> 16);
  *pMinor = static_cast<int>((v >> 8) & 0xFF);
  *pPatch = static_cast<int>(v & 0xFF);
}

int GetDecimalVersion(int version)
{
  int major, minor, patch;
  GetVersionParts(version, &major, &minor, &patch);
  return major * 10000 + minor * 100 + patch;
}

void GetVersionStr(int version, char* text)
{
  int major, minor, patch;
  GetVersionParts(version, &major, &minor, &patch);
  std::snprintf(text, kMaxVersionStrLen, "v%d.%d.%d", major, minor, patch);
}

IPluginBase::IPluginBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
                         const char* productName, const char* mfrName, int vendorVersion, int uniqueID,
                         int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst,
                         EAPI plugAPI)
    : mUniqueID(uniqueID), mMfrID(mfrID), mVersion(vendorVersion), mAPI(plugAPI),
      mStateChunks(plugDoesChunks), mIsInst(plugIsInst), mDoesMIDI(plugDoesMidi), mLatency(latency)
{
  Trace(__func__, __LINE__, "%s", effectName ? effectName : "");

  mParams.Reserve(nParams);
  for (int i = 0; i < nParams; ++i) mParams.Add(new IParam);
  mPresets.Reserve(nPresets);
  for (int i = 0; i < nPresets; ++i) mPresets.Add(new IPreset);

  CopyName(mEffectName, effectName);
  CopyName(mProductName, productName);
  CopyName(mMfrName, mfrName);

  int nInputs = 0, nOutputs = 0;
  if (channelIOStr) {
    std::string text(channelIOStr);
    size_t pos = 0;
    // Blank-separated tokens; runs of blanks and a trailing blank add nothing.
    while ((pos = text.find_first_not_of(' ', pos)) != std::string::npos) {
      const size_t end = std::min(text.find(' ', pos), text.size());
      const ChannelIO io = ParseChannelIO(text.substr(pos, end - pos));
      mChannelIO.Add(new ChannelIO(io));
      nInputs = std::max(nInputs, io.mIn);
      nOutputs = std::max(nOutputs, io.mOut);
      pos = end;
    }
  }

  mInData.assign(static_cast<size_t>(nInputs), nullptr);
  mOutData.assign(static_cast<size_t>(nOutputs), nullptr);
  for (int i = 0; i < nInputs; ++i) {
    InChannel* ch = mInChannels.Add(new InChannel);
    ch->mSrc = &mInData[i];
  }
  for (int i = 0; i < nOutputs; ++i) {
    OutChannel* ch = mOutChannels.Add(new OutChannel);
    ch->mDest = &mOutData[i];
  }
}

ZORVA_EDITOR_CALLS IPluginBase::~IPluginBase()
{
  // The editor goes first: its controls may still refer to parameters.
  delete mGraphics;
  mGraphics = nullptr;
}

// ---------------------------------------------------------------------------
// Default virtuals

void IPluginBase::Reset()
{
  MutexLock lock(mMutex);
}

void IPluginBase::OnParamChange(int /*paramIdx*/)
{
  MutexLock lock(mMutex);
}

void IPluginBase::OnActivate(bool /*active*/)
{
  MutexLock lock(mMutex);
}

void IPluginBase::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames)
{
  if (nFrames <= 0) return;
  const int nIn = NInChannels(), nOut = NOutChannels();
  for (int i = 0; i < nOut; ++i) {
    double* out = outputs[i];
    if (!out) continue;
    if (i < nIn && inputs[i]) {
      if (inputs[i] != out) std::memmove(out, inputs[i], sizeof(double) * static_cast<size_t>(nFrames));
    } else {
      std::fill(out, out + nFrames, 0.0);
    }
  }
}

void IPluginBase::ProcessMidiMsg(IMidiMsg* msg)
{
  SendMidiMsg(msg);
}

bool IPluginBase::MidiNoteName(int /*noteNumber*/, char* text)
{
  if (text) text[0] = '\0';
  return false;
}

void IPluginBase::SetParameterFromGUI(int paramIdx, double normalizedValue)
{
  MutexLock lock(mMutex);
  IParam* param = GetParam(paramIdx);
  if (!param) return;
  param->SetNormalized(normalizedValue);
  InformHostOfParamChange(paramIdx, normalizedValue);
  OnParamChange(paramIdx);
}

ZORVA_EDITOR_CALLS void IPluginBase::AttachGraphics(IGraphics* pGraphics)
{
  if (!pGraphics) return;
  MutexLock lock(mMutex);
  for (int i = 0; i < NParams(); ++i) pGraphics->SetParameterFromPlug(i, GetParam(i)->GetNormalized(), true);
  pGraphics->PrepDraw();
  if (mGraphics != pGraphics) delete mGraphics;
  mGraphics = pGraphics;
}

void IPluginBase::SetLatency(int samples)
{
  mLatency = samples;
}

ZORVA_EDITOR_CALLS void IPluginBase::RedrawParamControls()
{
  if (!mGraphics) return;
  for (int i = 0; i < NParams(); ++i) mGraphics->SetParameterFromPlug(i, GetParam(i)->Value(), false);
}

void IPluginBase::SetBlockSize(int blockSize)
{
  if (blockSize == mBlockSize) return;
  const size_t n = blockSize > 0 ? static_cast<size_t>(blockSize) : 0;
  // Slots that point at a scratch buffer must follow it to its new storage.
  auto resize = [n](std::vector<double>& buf, double** slot) {
    const bool slotOnScratch = *slot == buf.data();
    buf.assign(n, 0.0);
    if (slotOnScratch) *slot = buf.data();
  };
  for (InChannel* ch : mInChannels) resize(ch->mScratchBuf, ch->mSrc);
  for (OutChannel* ch : mOutChannels) resize(ch->mScratchBuf, ch->mDest);
  mBlockSize = blockSize;
}

// ---------------------------------------------------------------------------
// Channels

bool IPluginBase::LegalIO(int nIn, int nOut) const
{
  for (const ChannelIO* io : mChannelIO) {
    if ((nIn < 0 || nIn == io->mIn) && (nOut < 0 || nOut == io->mOut)) return true;
  }
  return false;
}

void IPluginBase::LimitToStereoIO()
{
  if (NInChannels() > 2) SetInputChannelConnections(2, NInChannels() - 2, false);
  for (int i = 2; i < NOutChannels(); ++i) mOutChannels.Get(i)->mConnected = true;
}

void IPluginBase::SetInputChannelConnections(int idx, int n, bool connected)
{
  const int end = std::min(idx + n, NInChannels());
  for (int i = std::max(idx, 0); i < end; ++i) {
    InChannel* ch = mInChannels.Get(i);
    ch->mConnected = connected;
    if (!connected) *ch->mSrc = ch->mScratchBuf.data();
  }
}

void IPluginBase::SetOutputChannelConnections(int idx, int n, bool connected)
{
  const int end = std::min(idx + n, NOutChannels());
  for (int i = std::max(idx, 0); i < end; ++i) {
    OutChannel* ch = mOutChannels.Get(i);
    ch->mConnected = connected;
    if (!connected) *ch->mDest = ch->mScratchBuf.data();
  }
}

bool IPluginBase::IsInChannelConnected(int chIdx) const
{
  const InChannel* ch = mInChannels.Get(chIdx);
  return ch && ch->mConnected;
}

bool IPluginBase::IsOutChannelConnected(int chIdx) const
{
  const OutChannel* ch = mOutChannels.Get(chIdx);
  return ch && ch->mConnected;
}

void IPluginBase::SetInputLabel(int idx, const char* label)
{
  if (InChannel* ch = mInChannels.Get(idx)) ch->mLabel = label ? label : "";
}

void IPluginBase::SetOutputLabel(int idx, const char* label)
{
  if (OutChannel* ch = mOutChannels.Get(idx)) ch->mLabel = label ? label : "";
}

const char* IPluginBase::GetInputLabel(int idx) const
{
  const InChannel* ch = mInChannels.Get(idx);
  return ch ? ch->mLabel.c_str() : "";
}

const char* IPluginBase::GetOutputLabel(int idx) const
{
  const OutChannel* ch = mOutChannels.Get(idx);
  return ch ? ch->mLabel.c_str() : "";
}

void IPluginBase::SetInputBusLabel(int idx, const char* label)
{
  if (idx != 0 && idx != 1) return;
  mInputBusLabels.Delete(idx);
  mInputBusLabels.Insert(idx, new std::string(label ? label : ""));
}

void IPluginBase::SetOutputBusLabel(int idx, const char* label)
{
  if (idx != 0 && idx != 1) return;
  mOutputBusLabels.Delete(idx);
  mOutputBusLabels.Insert(idx, new std::string(label ? label : ""));
}

// ---------------------------------------------------------------------------
// Buffers

int IPluginBase::ScratchFrames(int nFrames) const
{
  return std::clamp(nFrames, 0, std::max(mBlockSize, 0));
}

void IPluginBase::AttachInputBuffers(int idx, int n, double** data, int /*nFrames*/)
{
  const int end = std::min(idx + n, NInChannels());
  for (int i = std::max(idx, 0); i < end; ++i) {
    InChannel* ch = mInChannels.Get(i);
    if (ch->mConnected) *ch->mSrc = *data++;
  }
}

void IPluginBase::AttachInputBuffers(int idx, int n, float** data, int nFrames)
{
  const int frames = ScratchFrames(nFrames);
  const int end = std::min(idx + n, NInChannels());
  for (int i = std::max(idx, 0); i < end; ++i) {
    InChannel* ch = mInChannels.Get(i);
    if (!ch->mConnected) continue;
    const float* src = *data++;
    double* scratch = ch->mScratchBuf.data();
    if (src) std::copy(src, src + frames, scratch);
    *ch->mSrc = scratch;
  }
}

void IPluginBase::AttachOutputBuffers(int idx, int n, double** data)
{
  const int end = std::min(idx + n, NOutChannels());
  for (int i = std::max(idx, 0); i < end; ++i) {
    OutChannel* ch = mOutChannels.Get(i);
    if (ch->mConnected) *ch->mDest = *data++;
  }
}

void IPluginBase::AttachOutputBuffers(int idx, int n, float** data)
{
  const int end = std::min(idx + n, NOutChannels());
  for (int i = std::max(idx, 0); i < end; ++i) {
    OutChannel* ch = mOutChannels.Get(i);
    if (!ch->mConnected) continue;
    *ch->mDest = ch->mScratchBuf.data();
    ch->mFDest = *data++;
  }
}

void IPluginBase::ProcessBuffers(double, int nFrames)
{
  // The host's own buffers may be longer than the block size; scratch buffers are not.
  bool scratchInPlay = false;
  for (const InChannel* ch : mInChannels) scratchInPlay |= !ch->mConnected;
  for (const OutChannel* ch : mOutChannels) scratchInPlay |= !ch->mConnected;
  const int frames = scratchInPlay ? ScratchFrames(nFrames) : std::max(nFrames, 0);
  ProcessDoubleReplacing(mInData.data(), mOutData.data(), frames);
}

void IPluginBase::CopyOutputsToFloat(int nFrames, bool accumulate)
{
  const int frames = ScratchFrames(nFrames);
  for (int i = 0; i < NOutChannels(); ++i) {
    OutChannel* ch = mOutChannels.Get(i);
    if (!ch->mConnected || !ch->mFDest) continue;
    const double* src = mOutData[i];
    float* dest = ch->mFDest;
    if (accumulate) {
      for (int s = 0; s < frames; ++s) dest[s] += static_cast<float>(src[s]);
    } else {
      for (int s = 0; s < frames; ++s) dest[s] = static_cast<float>(src[s]);
      // Frames beyond the block size were never rendered: hand back silence.
      if (nFrames > frames) std::fill(dest + frames, dest + nFrames, 0.0f);
    }
  }
}

void IPluginBase::ProcessBuffers(float, int nFrames)
{
  ProcessDoubleReplacing(mInData.data(), mOutData.data(), ScratchFrames(nFrames));
  CopyOutputsToFloat(nFrames, false);
}

void IPluginBase::ProcessBuffersAccumulating(float, int nFrames)
{
  ProcessDoubleReplacing(mInData.data(), mOutData.data(), ScratchFrames(nFrames));
  CopyOutputsToFloat(nFrames, true);
}

void IPluginBase::PassThroughBuffers(double, int nFrames)
{
  IPluginBase::ProcessDoubleReplacing(mInData.data(), mOutData.data(), std::max(nFrames, 0));
}

void IPluginBase::PassThroughBuffers(float, int nFrames)
{
  IPluginBase::ProcessDoubleReplacing(mInData.data(), mOutData.data(), ScratchFrames(nFrames));
  CopyOutputsToFloat(nFrames, false);
}

void IPluginBase::ZeroScratchBuffers()
{
  auto zero = [this](std::vector<double>& buf) {
    std::fill_n(buf.begin(), std::min<size_t>(buf.size(), static_cast<size_t>(std::max(mBlockSize, 0))), 0.0);
  };
  for (InChannel* ch : mInChannels) zero(ch->mScratchBuf);
  for (OutChannel* ch : mOutChannels) zero(ch->mScratchBuf);
}

// ---------------------------------------------------------------------------
// Host and timing

void IPluginBase::SetHost(const char* name, int version)
{
  mHost = LookUpHost(name ? name : "");
  mHostVersion = version;
}

int IPluginBase::GetHostVersion(bool decimal)
{
  GetHost();
  return decimal ? GetDecimalVersion(mHostVersion) : mHostVersion;
}

void IPluginBase::GetHostVersionStr(char* text)
{
  GetHost();
  GetVersionStr(mHostVersion, text);
}

int IPluginBase::GetEffectVersion(bool decimal) const
{
  return decimal ? GetDecimalVersion(mVersion) : mVersion;
}

void IPluginBase::GetEffectVersionStr(char* text) const
{
  GetVersionStr(mVersion, text);
}

const char* IPluginBase::GetAPIString()
{
  switch (GetAPI()) {
  case kAPIVST2: return "VST2";
  case kAPIVST3: return "VST3";
  case kAPIAU: return "AU";
  case kAPIRTAS: return "RTAS";
  case kAPIAAX: return "AAX";
  case kAPISA: return "Standalone";
  case kAPILV2: return "LV2";
  default: return "";
  }
}

double IPluginBase::GetSamplesPerBeat()
{
  const double tempo = GetTempo();
  return tempo > 0.0 ? mSampleRate * 60.0 / tempo : 0.0;
}

// ---------------------------------------------------------------------------
// Parameters

void IPluginBase::OnParamReset()
{
  for (int i = 0; i < NParams(); ++i) OnParamChange(i);
}

void IPluginBase::DirtyParameters()
{
  MutexLock lock(mMutex);
  for (int i = 0; i < NParams(); ++i) InformHostOfParamChange(i, GetParam(i)->GetNormalized());
}

bool IPluginBase::SendMidiMsgs(std::vector<IMidiMsg>* msgs)
{
  bool ok = true;
  if (!msgs) return ok;
  for (IMidiMsg& msg : *msgs) ok &= SendMidiMsg(&msg);
  return ok;
}
