#pragma once

#include "IPluginBase.h"

#include <vector>

// The adapter with no host behind it: whoever owns the instance (the offline
// renderer, the standalone application, tests) drives it directly and sets the
// transport. What a host would be told is recorded instead, so the owner can
// read it back. The records are reserved up front and stop growing when full,
// so learned controllers applied while rendering never allocate.
class IPluginStandalone : public IPluginBase
{
public:
  enum EParamEventKind { kBeginGesture = 0, kValueChange = 1, kEndGesture = 2 };
  struct ParamEvent
  {
    EParamEventKind mKind;
    int mParamIdx;
    double mNormalized; // value changes only
  };

  static constexpr int kMaxRecordedEvents = 4096;

  IPluginStandalone(const IPluginInstanceInfo& instanceInfo, int nParams, const char* channelIOStr,
                    int nPresets, const char* effectName, const char* productName, const char* mfrName,
                    int vendorVersion, int uniqueID, int mfrID, int latency, bool plugDoesMidi,
                    bool plugDoesChunks, bool plugIsInst);
  IPluginStandalone(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
                    const char* productName, const char* mfrName, int vendorVersion, int uniqueID, int mfrID,
                    int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst);

  void BeginInformHostOfParamChange(int paramIdx) override;
  void InformHostOfParamChange(int paramIdx, double normalizedValue) override;
  void EndInformHostOfParamChange(int paramIdx) override;
  void InformHostOfProgramChange() override;
  bool IsRenderingOffline() override { return mIsOffline; }
  double GetSamplePos() override;
  double GetTempo() override;
  void GetTimeSig(int* pNum, int* pDenom) override;
  void GetTime(ITimeInfo* pTimeInfo) override;
  // Identified lazily as the standalone host.
  EHost GetHost() override;
  void ResizeGraphics(int w, int h) override;
  bool SendMidiMsg(IMidiMsg* msg) override;

  // The transport the instrument sees; set it from the thread that renders.
  void SetTimeInfo(const ITimeInfo& timeInfo) { mTimeInfo = timeInfo; }
  void SetTransport(double tempo, double ppqPos, bool running);
  const ITimeInfo& GetTimeInfo() const { return mTimeInfo; }
  const IPluginInstanceInfo& GetInstanceInfo() const { return mInstanceInfo; }
  void SetRenderingOffline(bool offline) { mIsOffline = offline; }

  // What a host would have been told. Reading and clearing take the plug-in lock.
  std::vector<ParamEvent> GetParamEvents();
  std::vector<IMidiMsg> GetSentMidi();
  int GetProgramChangeCount();
  // Events dropped because a record was full.
  int GetDroppedEventCount();
  void ClearRecords();

private:
  void Record(EParamEventKind kind, int paramIdx, double normalized);

  IPluginInstanceInfo mInstanceInfo;
  ITimeInfo mTimeInfo;
  bool mIsOffline = false;
  std::vector<ParamEvent> mParamEvents;
  std::vector<IMidiMsg> mSentMidi;
  int mProgramChanges = 0;
  int mDropped = 0;
};
