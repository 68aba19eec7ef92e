#pragma once

#include "IPluginBase.h"

#if defined(__APPLE__)
#include <AudioToolbox/AudioToolbox.h>
#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>
#else
#include "platform/AudioUnit.h"
#endif

#include <string>

class IPluginAU;

// Builds the plug-in behind a new component instance; supplied by the instrument.
using IPluginAUFactory = IPluginAU* (*)();

// The Audio Unit host binding: answers the component requests, exposes the
// parameters in their own units, keeps the state as the class-info dictionary
// and renders on the host's pull.
class IPluginAU : public IPluginBase
{
public:
  IPluginAU(IPluginInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets,
            const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
            int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst);
  ~IPluginAU() override;

  // Host-facing operations of the plug-in base.
  void BeginInformHostOfParamChange(int paramIdx) override;
  void InformHostOfParamChange(int paramIdx, double normalizedValue) override;
  void EndInformHostOfParamChange(int paramIdx) override;
  void InformHostOfProgramChange() override;
  bool IsRenderingOffline() override { return mIsOffline; }
  double GetSamplePos() override;
  double GetTempo() override;
  void GetTimeSig(int* pNum, int* pDenom) override;
  void GetTime(ITimeInfo* pTimeInfo) override;
  EHost GetHost() override;
  void ResizeGraphics(int w, int h) override;
  void HostSpecificInit() override;
  void SetLatency(int samples) override;
  bool SendMidiMsg(IMidiMsg* msg) override;
  void SetBlockSize(int blockSize) override;

  // The component entry: every request of the host arrives here.
  static OSStatus IPluginAUEntry(ComponentParameters* params, void* storage, IPluginAUFactory makePlug);
  // The editor view entry (open, create, close).
  static OSStatus IPluginAUCarbonViewEntry(ComponentParameters* params, void* storage);

  // The fast-dispatch procedures; storage is the plug-in.
  static OSStatus GetParamProc(void* plug, AudioUnitParameterID paramID, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue* value);
  static OSStatus SetParamProc(void* plug, AudioUnitParameterID paramID, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue value, UInt32 bufferOffset);
  static OSStatus RenderProc(void* plug, AudioUnitRenderActionFlags* actionFlags,
                             const AudioTimeStamp* timestamp, UInt32 outputBusIdx, UInt32 nFrames,
                             AudioBufferList* bufferList);

  // The editor view of the view factory: null without an editor.
  void* ViewForAudioUnit();

  const std::string& GetBundleID() const { return mOSXBundleID; }

protected:
  enum EAUInputType { eNotConnected = 0, eDirectFastProc = 1, eDirectNoFastProc = 2, eRenderCallback = 3 };

  struct BusChannels
  {
    bool mConnected = false;
    int mNHostChannels = -1;
    int mNPlugChannels = 0;
    int mPlugChannelStartIdx = 0;
  };

  struct InputBusConnection
  {
    void* mUpstreamObj = nullptr;
    AudioUnit mUpstreamUnit = nullptr;
    int mUpstreamBusIdx = 0;
    AudioUnitRenderProc mUpstreamRenderProc = nullptr;
    AURenderCallbackStruct mUpstreamRenderCallback = {nullptr, nullptr};
    EAUInputType mInputType = eNotConnected;
  };

  struct PropertyListener
  {
    AudioUnitPropertyID mPropID;
    AudioUnitPropertyListenerProc mListenerProc;
    void* mProcArgs;
  };

  struct RenderNotify
  {
    AURenderCallback mProc;
    void* mRefCon;
  };

  OSStatus GetProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement element,
                       UInt32* pDataSize, Boolean* pWriteable, void* pData);
  OSStatus SetProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement element,
                       UInt32* pDataSize, const void* pData);
  OSStatus GetParamInfo(AudioUnitElement element, AudioUnitParameterInfo* info);
  OSStatus GetState(CFPropertyListRef* ppPropList);
  OSStatus SetState(CFPropertyListRef pPropList);
  OSStatus GetStreamFormat(AudioUnitScope scope, AudioUnitElement element, UInt32* pDataSize,
                           Boolean* pWriteable, void* pData);
  OSStatus SetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                           const AudioStreamBasicDescription* asbd);
  OSStatus SetConnection(AudioUnitScope scope, const AudioUnitConnection* conn);
  OSStatus SetRenderCallback(AudioUnitScope scope, AudioUnitElement element,
                             const AURenderCallbackStruct* cb);
  OSStatus DoInitialize();
  OSStatus ScheduleParameters(const AudioUnitParameterEvent* events, UInt32 nEvents);
  void NotifyPropertyListeners(AudioUnitPropertyID propID, AudioUnitScope scope);
  void SendAUEvent(AudioUnitEventType type, int paramIdx);

  BusChannels* GetBus(AudioUnitScope scope, AudioUnitElement busIdx);
  int NHostChannelsConnected(PtrList<BusChannels>* pBuses, int excludeIdx = -1);
  bool CheckLegalIO(AudioUnitScope scope, int busIdx, int nChannels);
  void AssessInputConnections();
  void ClearConnections();

  std::string mOSXBundleID;
  std::string mCocoaViewFactoryClassName;
  char mParamDisplayStr[32] = {};
  ComponentInstance mCI = nullptr;
  bool mActive = false;
  bool mIsOffline = false;
  double mLastRenderSampleTime = -1.0;
  double mHostTempo = 120.0;
  HostCallbackInfo mHostCallbacks = {nullptr, nullptr, nullptr, nullptr};
  std::vector<float> mInScratchBuf, mOutScratchBuf;
  PtrList<RenderNotify> mRenderNotify{true};
  PtrList<BusChannels> mInBuses{true}, mOutBuses{true};
  PtrList<InputBusConnection> mInBusConnections{true};
  PtrList<PropertyListener> mPropertyListeners{true};
};

// The record behind an open editor view entry.
struct IPluginAUViewInstance
{
  AudioUnitCarbonView mViewCI = nullptr;
  IPluginAU* mPlug = nullptr;
};
