// Buses, stream formats, connections, the render pull and the editor views.
#include "IPluginAU.h"

#include "graphics/IGraphics.h"

#include <algorithm>
#include <cstring>

namespace {

// A buffer list in fixed storage, shaped like the platform's, for one bus.
constexpr int kMaxBusChannels = 64;
struct BusBufferList
{
  UInt32 mNumberBuffers;
  AudioBuffer mBuffers[kMaxBusChannels];
};

} // namespace

IPluginAU::BusChannels* IPluginAU::GetBus(AudioUnitScope scope, AudioUnitElement busIdx)
{
  const int idx = busIdx < 0x7fffffff ? int(busIdx) : -1;
  if (scope == kAudioUnitScope_Input) return mInBuses.Get(idx);
  if (scope == kAudioUnitScope_Output || scope == kAudioUnitScope_Global) return mOutBuses.Get(idx);
  return nullptr;
}

int IPluginAU::NHostChannelsConnected(PtrList<BusChannels>* pBuses, int excludeIdx)
{
  bool init = false;
  int nCh = 0;
  for (int i = 0; i < pBuses->GetSize(); ++i) {
    const int n = pBuses->Get(i)->mNHostChannels;
    if (i != excludeIdx && n >= 0) {
      nCh += n;
      init = true;
    }
  }
  return init ? nCh : -1;
}

bool IPluginAU::CheckLegalIO(AudioUnitScope scope, int busIdx, int nChannels)
{
  if (scope == kAudioUnitScope_Input) {
    const int nIn = std::max(NHostChannelsConnected(&mInBuses, busIdx), 0) + nChannels;
    const int nOut = mActive ? NHostChannelsConnected(&mOutBuses) : -1;
    return LegalIO(nIn, nOut);
  }
  const int nIn = mActive ? NHostChannelsConnected(&mInBuses) : -1;
  const int nOut = std::max(NHostChannelsConnected(&mOutBuses, busIdx), 0) + nChannels;
  return LegalIO(nIn, nOut);
}

void IPluginAU::AssessInputConnections()
{
  MutexLock lock(mMutex);
  SetInputChannelConnections(0, NInChannels(), false);
  // A disconnected input reads its scratch buffer, which still holds the last
  // block a connection delivered into it: it must read silence instead.
  ZeroScratchBuffers();
  std::fill(mInScratchBuf.begin(), mInScratchBuf.end(), 0.0f);
  for (int i = 0; i < mInBuses.GetSize(); ++i) {
    BusChannels* bus = mInBuses.Get(i);
    InputBusConnection* conn = mInBusConnections.Get(i);
    if (conn->mUpstreamRenderProc && conn->mUpstreamObj)
      conn->mInputType = eDirectFastProc;
    else if (conn->mUpstreamUnit)
      conn->mInputType = eDirectNoFastProc;
    else if (conn->mUpstreamRenderCallback.inputProc)
      conn->mInputType = eRenderCallback;
    else
      conn->mInputType = eNotConnected;

    bus->mConnected = conn->mInputType != eNotConnected;
    if (!bus->mConnected) continue;
    if (bus->mNHostChannels < 0) bus->mNHostChannels = bus->mNPlugChannels;
    const int nConnected = std::min(bus->mNHostChannels, bus->mNPlugChannels);
    SetInputChannelConnections(bus->mPlugChannelStartIdx, nConnected, true);
    SetInputChannelConnections(bus->mPlugChannelStartIdx + nConnected,
                               std::max(bus->mNPlugChannels - nConnected, 0), false);
  }
}

void IPluginAU::ClearConnections()
{
  for (BusChannels* bus : mInBuses) {
    bus->mConnected = false;
    bus->mNHostChannels = -1;
  }
  for (InputBusConnection* conn : mInBusConnections) *conn = InputBusConnection();
  for (BusChannels* bus : mOutBuses) bus->mConnected = false;
}

void IPluginAU::SetBlockSize(int blockSize)
{
  const size_t n = size_t(std::max(blockSize, 0));
  mInScratchBuf.assign(size_t(NInChannels()) * n, 0.0f);
  mOutScratchBuf.assign(size_t(NOutChannels()) * n, 0.0f);
  IPluginBase::SetBlockSize(blockSize);
}

// --- stream formats and connections ---

OSStatus IPluginAU::GetStreamFormat(AudioUnitScope scope, AudioUnitElement element, UInt32* pDataSize,
                                    Boolean* pWriteable, void* pData)
{
  const BusChannels* bus = GetBus(scope, element);
  if (!bus) return kAudioUnitErr_InvalidProperty;
  *pDataSize = sizeof(AudioStreamBasicDescription);
  *pWriteable = true;
  if (pData) {
    auto* asbd = static_cast<AudioStreamBasicDescription*>(pData);
    std::memset(asbd, 0, sizeof *asbd);
    asbd->mSampleRate = mSampleRate;
    asbd->mFormatID = kAudioFormatLinearPCM;
    asbd->mFormatFlags =
        kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
    asbd->mBytesPerPacket = 4;
    asbd->mFramesPerPacket = 1;
    asbd->mBytesPerFrame = 4;
    asbd->mChannelsPerFrame = UInt32(bus->mNHostChannels >= 0 ? bus->mNHostChannels : bus->mNPlugChannels);
    asbd->mBitsPerChannel = 32;
  }
  return noErr;
}

OSStatus IPluginAU::SetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                    const AudioStreamBasicDescription* asbd)
{
  BusChannels* bus = GetBus(scope, element);
  if (!bus) return kAudioUnitErr_InvalidProperty;
  bus->mNHostChannels = 0;
  const int nChannels = asbd->mChannelsPerFrame <= kMaxBusChannels ? int(asbd->mChannelsPerFrame) : -1;
  // Samples are exchanged only as separate buffers of 32-bit floats; any other
  // layout would be read or written as something it is not.
  const bool floats = (asbd->mFormatFlags & kAudioFormatFlagIsFloat) &&
                      (asbd->mBitsPerChannel == 32 || asbd->mBitsPerChannel == 0);
  const bool separate = nChannels <= 1 || (asbd->mFormatFlags & kAudioFormatFlagIsNonInterleaved);
  const bool accepted = nChannels >= 1 && asbd->mFormatID == kAudioFormatLinearPCM && floats && separate &&
                        CheckLegalIO(scope, int(element), nChannels);
  if (accepted) {
    bus->mNHostChannels = nChannels;
    if (asbd->mSampleRate > 0.0) SetSampleRate(asbd->mSampleRate);
  }
  AssessInputConnections();
  return accepted ? OSStatus(noErr) : OSStatus(kAudioUnitErr_InvalidProperty);
}

OSStatus IPluginAU::SetConnection(AudioUnitScope scope, const AudioUnitConnection* conn)
{
  if (scope != kAudioUnitScope_Global && scope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidProperty;
  InputBusConnection* input = conn->destInputNumber < UInt32(mInBusConnections.GetSize())
                                  ? mInBusConnections.Get(int(conn->destInputNumber))
                                  : nullptr;
  if (!input) return kAudioUnitErr_InvalidProperty;
  *input = InputBusConnection();
  if (!conn->sourceAudioUnit) {
    AssessInputConnections();
    return noErr;
  }
  AudioStreamBasicDescription asbd;
  UInt32 size = sizeof asbd;
  OSStatus err = AudioUnitGetProperty(conn->sourceAudioUnit, kAudioUnitProperty_StreamFormat,
                                      kAudioUnitScope_Output, conn->sourceOutputNumber, &asbd, &size);
  if (err == noErr) {
    UInt32 setSize = sizeof asbd;
    err = SetProperty(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, conn->destInputNumber, &setSize,
                      &asbd);
  }
  if (err == noErr) {
    input->mUpstreamUnit = conn->sourceAudioUnit;
    input->mUpstreamBusIdx = int(conn->sourceOutputNumber);
    AudioUnitRenderProc proc = nullptr;
    size = sizeof proc;
    if (AudioUnitGetProperty(conn->sourceAudioUnit, kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global,
                             kAudioUnitRenderSelect, &proc, &size) == noErr &&
        proc) {
      input->mUpstreamRenderProc = proc;
      input->mUpstreamObj = GetComponentInstanceStorage(conn->sourceAudioUnit);
    }
  }
  AssessInputConnections();
  return err;
}

OSStatus IPluginAU::SetRenderCallback(AudioUnitScope scope, AudioUnitElement element,
                                      const AURenderCallbackStruct* cb)
{
  if (scope != kAudioUnitScope_Input || element >= UInt32(mInBusConnections.GetSize()))
    return kAudioUnitErr_InvalidProperty;
  InputBusConnection* input = mInBusConnections.Get(int(element));
  *input = InputBusConnection();
  if (cb->inputProc) input->mUpstreamRenderCallback = *cb;
  AssessInputConnections();
  return noErr;
}

// --- rendering ---

OSStatus IPluginAU::RenderProc(void* plugin, AudioUnitRenderActionFlags*, const AudioTimeStamp* timestamp,
                               UInt32 outputBusIdx, UInt32 nFrames, AudioBufferList* bufferList)
{
  auto* plug = static_cast<IPluginAU*>(plugin);
  if (!timestamp || !(timestamp->mFlags & kAudioTimeStampSampleTimeValid) ||
      outputBusIdx >= UInt32(plug->mOutBuses.GetSize()) || nFrames > UInt32(plug->mBlockSize) || !bufferList)
    return kAudioUnitErr_InvalidPropertyValue;
  // A host buffer too short for the frames asked for would be written past its end.
  const UInt32 bytes = nFrames * sizeof(float);
  for (UInt32 i = 0; i < bufferList->mNumberBuffers; ++i) {
    const AudioBuffer& b = bufferList->mBuffers[i];
    if (b.mData && b.mDataByteSize < bytes) return kAudioUnitErr_InvalidPropertyValue;
  }

  for (int i = 0; i < plug->mRenderNotify.GetSize(); ++i) {
    const RenderNotify* n = plug->mRenderNotify.Get(i);
    AudioUnitRenderActionFlags flags = kAudioUnitRenderAction_PreRender;
    n->mProc(n->mRefCon, &flags, timestamp, outputBusIdx, nFrames, bufferList);
  }

  if (timestamp->mSampleTime != plug->mLastRenderSampleTime) {
    for (int b = 0; b < plug->mInBuses.GetSize(); ++b) {
      BusChannels* bus = plug->mInBuses.Get(b);
      const InputBusConnection* conn = plug->mInBusConnections.Get(b);
      if (!bus->mConnected) continue;
      BusBufferList list;
      const int nCh = std::clamp(bus->mNHostChannels, 0, kMaxBusChannels);
      list.mNumberBuffers = UInt32(nCh);
      for (int c = 0; c < nCh; ++c) {
        AudioBuffer& buf = list.mBuffers[c];
        buf.mNumberChannels = 1;
        buf.mDataByteSize = bytes;
        const int ch = bus->mPlugChannelStartIdx + c;
        buf.mData = conn->mInputType == eRenderCallback && ch < plug->NInChannels()
                        ? plug->mInScratchBuf.data() + size_t(ch) * nFrames
                        : nullptr;
      }
      auto* abl = reinterpret_cast<AudioBufferList*>(&list);
      AudioUnitRenderActionFlags flags = 0;
      OSStatus err = noErr;
      switch (conn->mInputType) {
      case eDirectFastProc:
        err = conn->mUpstreamRenderProc(conn->mUpstreamObj, &flags, timestamp, UInt32(conn->mUpstreamBusIdx),
                                        nFrames, abl);
        break;
      case eDirectNoFastProc:
        err = AudioUnitRender(conn->mUpstreamUnit, &flags, timestamp, UInt32(conn->mUpstreamBusIdx), nFrames,
                              abl);
        break;
      case eRenderCallback:
        err = conn->mUpstreamRenderCallback.inputProc(conn->mUpstreamRenderCallback.inputProcRefCon, &flags,
                                                      timestamp, UInt32(b), nFrames, abl);
        break;
      default: break;
      }
      if (err != noErr) return err;
      for (int c = 0; c < nCh; ++c) {
        float* data = static_cast<float*>(list.mBuffers[c].mData);
        plug->AttachInputBuffers(bus->mPlugChannelStartIdx + c, 1, &data, int(nFrames));
      }
    }
    plug->mLastRenderSampleTime = timestamp->mSampleTime;
  }

  BusChannels* out = plug->mOutBuses.Get(int(outputBusIdx));
  const int nHost = out->mNHostChannels >= 0 ? out->mNHostChannels : out->mNPlugChannels;
  const int nBuffers = int(std::min<UInt32>(bufferList->mNumberBuffers, kMaxBusChannels));
  // Compared with the channels actually connected, not only with the host's
  // count: a bus rendered once with fewer buffers must take them all again.
  const int nConnected = std::clamp(std::min(nHost, nBuffers), 0, out->mNPlugChannels);
  bool changed = !out->mConnected;
  for (int i = 0; i < out->mNPlugChannels; ++i)
    changed |= plug->IsOutChannelConnected(out->mPlugChannelStartIdx + i) != (i < nConnected);
  if (changed) {
    plug->SetOutputChannelConnections(out->mPlugChannelStartIdx, nConnected, true);
    plug->SetOutputChannelConnections(out->mPlugChannelStartIdx + nConnected,
                                      std::max(out->mNPlugChannels - nConnected, 0), false);
    out->mConnected = true;
  }
  // Buffers beyond the bus's own channels have no plug-in channel to take.
  const int nAttach = std::min(nBuffers, out->mNPlugChannels);
  for (int i = 0; i < nAttach; ++i) {
    AudioBuffer& buf = bufferList->mBuffers[i];
    const int ch = out->mPlugChannelStartIdx + i;
    if (!buf.mData) {
      buf.mData = plug->mOutScratchBuf.data() + size_t(ch) * nFrames;
      buf.mDataByteSize = bytes;
    }
    float* data = static_cast<float*>(buf.mData);
    plug->AttachOutputBuffers(ch, 1, &data);
  }

  int lastConnected = plug->mOutBuses.GetSize() - 1;
  for (int i = 0; i < plug->mOutBuses.GetSize(); ++i)
    if (!plug->mOutBuses.Get(i)->mConnected) {
      lastConnected = i - 1;
      break;
    }
  if (int(outputBusIdx) == lastConnected) {
    for (int i = lastConnected + 1; i < plug->mOutBuses.GetSize(); ++i)
      plug->SetOutputChannelConnections(plug->mOutBuses.Get(i)->mPlugChannelStartIdx, 2, false);
    if (plug->mIsBypassed)
      plug->PassThroughBuffers(0.0f, int(nFrames));
    else
      plug->ProcessBuffers(0.0f, int(nFrames));
  }

  for (int i = 0; i < plug->mRenderNotify.GetSize(); ++i) {
    const RenderNotify* n = plug->mRenderNotify.Get(i);
    AudioUnitRenderActionFlags flags = kAudioUnitRenderAction_PostRender;
    n->mProc(n->mRefCon, &flags, timestamp, outputBusIdx, nFrames, bufferList);
  }
  return noErr;
}

// --- views ---

void* IPluginAU::ViewForAudioUnit()
{
  IGraphics* gui = GetGUI();
  if (!gui) return nullptr;
  void* view = gui->OpenWindow(nullptr);
  OnGUIOpen();
  return view;
}

OSStatus IPluginAU::IPluginAUCarbonViewEntry(ComponentParameters* params, void* storage)
{
  if (!params) return badComponentSelector;
  auto* record = static_cast<IPluginAUViewInstance*>(storage);
  switch (params->what) {
  case kComponentOpenSelect: {
    auto* view = new IPluginAUViewInstance;
    view->mViewCI = reinterpret_cast<AudioUnitCarbonView>(params->params[0]);
    SetComponentInstanceStorage(view->mViewCI, reinterpret_cast<Handle>(view));
    return noErr;
  }
  case kAudioUnitCarbonViewCreateSelect: {
    // (audio unit, window, parent control, location, size, control out), stored last first.
    if (!record) return badComponentSelector;
    constexpr int n = 6;
    auto unit = reinterpret_cast<AudioUnit>(params->params[n - 1]);
    void* window = reinterpret_cast<void*>(params->params[n - 2]);
    void* parentControl = reinterpret_cast<void*>(params->params[n - 3]);
    auto outControl = reinterpret_cast<void**>(params->params[0]);
    auto* plug = reinterpret_cast<IPluginAU*>(GetComponentInstanceStorage(unit));
    IGraphics* gui = plug ? plug->GetGUI() : nullptr;
    if (!gui) return badComponentSelector;
    record->mPlug = plug;
    void* control = gui->OpenWindow(window, parentControl);
    if (outControl) *outControl = control;
    return noErr;
  }
  case kComponentCloseSelect:
    if (record) {
      if (record->mPlug && record->mPlug->GetGUI()) record->mPlug->GetGUI()->CloseWindow();
      delete record;
    }
    return noErr;
  default: return badComponentSelector;
  }
}
