#include "IPluginStandalone.h"

IPluginStandalone::IPluginStandalone(const IPluginInstanceInfo& instanceInfo, int nParams,
                                     const char* channelIOStr, int nPresets, const char* effectName,
                                     const char* productName, const char* mfrName, int vendorVersion,
                                     int uniqueID, int mfrID, int latency, bool plugDoesMidi,
                                     bool plugDoesChunks, bool plugIsInst)
    : IPluginStandalone(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion,
                        uniqueID, mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInst)
{
  mInstanceInfo = instanceInfo;
}

IPluginStandalone::IPluginStandalone(int nParams, const char* channelIOStr, int nPresets,
                                     const char* effectName, const char* productName, const char* mfrName,
                                     int vendorVersion, int uniqueID, int mfrID, int latency,
                                     bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst)
    : IPluginBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion, uniqueID,
                  mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInst, kAPISA)
{
  mParamEvents.reserve(kMaxRecordedEvents);
  mSentMidi.reserve(kMaxRecordedEvents);
}

void IPluginStandalone::Record(EParamEventKind kind, int paramIdx, double normalized)
{
  MutexLock lock(mMutex);
  if (mParamEvents.size() < kMaxRecordedEvents)
    mParamEvents.push_back({kind, paramIdx, normalized});
  else
    ++mDropped;
}

void IPluginStandalone::BeginInformHostOfParamChange(int paramIdx)
{
  Record(kBeginGesture, paramIdx, 0.0);
}

void IPluginStandalone::InformHostOfParamChange(int paramIdx, double normalizedValue)
{
  Record(kValueChange, paramIdx, normalizedValue);
}

void IPluginStandalone::EndInformHostOfParamChange(int paramIdx)
{
  Record(kEndGesture, paramIdx, 0.0);
}

void IPluginStandalone::InformHostOfProgramChange()
{
  MutexLock lock(mMutex);
  ++mProgramChanges;
}

double IPluginStandalone::GetSamplePos()
{
  // An unset position (-1) reads as the timeline start, as a host without a transport answers.
  return mTimeInfo.mSamplePos > 0.0 ? mTimeInfo.mSamplePos : 0.0;
}

double IPluginStandalone::GetTempo()
{
  return mTimeInfo.mTempo;
}

void IPluginStandalone::GetTimeSig(int* pNum, int* pDenom)
{
  if (pNum) *pNum = mTimeInfo.mNumerator;
  if (pDenom) *pDenom = mTimeInfo.mDenominator;
}

void IPluginStandalone::GetTime(ITimeInfo* pTimeInfo)
{
  if (pTimeInfo) *pTimeInfo = mTimeInfo;
}

void IPluginStandalone::SetTransport(double tempo, double ppqPos, bool running)
{
  mTimeInfo.mTempo = tempo;
  mTimeInfo.mPPQPos = ppqPos;
  mTimeInfo.mTransportIsRunning = running;
}

EHost IPluginStandalone::GetHost()
{
  if (mHost == kHostUninit) SetHost("standalone", 0);
  return mHost;
}

void IPluginStandalone::ResizeGraphics(int /*w*/, int /*h*/)
{
  if (GetGUI()) OnWindowResize();
}

bool IPluginStandalone::SendMidiMsg(IMidiMsg* msg)
{
  if (!msg) return false;
  MutexLock lock(mMutex);
  if (mSentMidi.size() >= kMaxRecordedEvents) {
    ++mDropped;
    return false;
  }
  mSentMidi.push_back(*msg);
  return true;
}

std::vector<IPluginStandalone::ParamEvent> IPluginStandalone::GetParamEvents()
{
  MutexLock lock(mMutex);
  return mParamEvents;
}

std::vector<IMidiMsg> IPluginStandalone::GetSentMidi()
{
  MutexLock lock(mMutex);
  return mSentMidi;
}

int IPluginStandalone::GetProgramChangeCount()
{
  MutexLock lock(mMutex);
  return mProgramChanges;
}

int IPluginStandalone::GetDroppedEventCount()
{
  MutexLock lock(mMutex);
  return mDropped;
}

void IPluginStandalone::ClearRecords()
{
  MutexLock lock(mMutex);
  mParamEvents.clear();
  mSentMidi.clear();
  mProgramChanges = 0;
  mDropped = 0;
}
