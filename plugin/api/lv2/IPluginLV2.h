#pragma once

#include "IPluginBase.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/log/logger.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

// What the plug-in's editor tells the host through the LV2 UI: the UI sets
// itself here while its window is open, so that panel changes become port
// writes and the host's automation and the sound agree.
class IPluginLV2UIHost
{
public:
  virtual ~IPluginLV2UIHost() = default;
  virtual void WriteParam(int paramIdx, float plainValue) = 0;
  virtual void RequestResize(int w, int h) = 0;
};

// The host binding for LV2. Ports: one control input per parameter in index
// order, then the MIDI and time atom input, then the left and right outputs.
// Everything a host calls on the audio thread (Run) neither allocates nor
// waits for a lock: when the editor holds the plug-in lock, the port changes
// and the controller messages of that block wait for the next one.
class IPluginLV2 : public IPluginBase
{
public:
  IPluginLV2(const IPluginInstanceInfo& instanceInfo, int nParams, const char* channelIOStr, int nPresets,
             const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
             int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst);

  void BeginInformHostOfParamChange(int /*paramIdx*/) override {}
  void InformHostOfParamChange(int paramIdx, double normalizedValue) override;
  void EndInformHostOfParamChange(int /*paramIdx*/) override {}
  void InformHostOfProgramChange() override {}
  double GetSamplePos() override { return mTimeInfo.mSamplePos > 0.0 ? mTimeInfo.mSamplePos : 0.0; }
  double GetTempo() override { return mTimeInfo.mTempo; }
  void GetTimeSig(int* pNum, int* pDenom) override;
  void GetTime(ITimeInfo* pTimeInfo) override;
  EHost GetHost() override;
  void ResizeGraphics(int w, int h) override;
  // There is no MIDI output port.
  bool SendMidiMsg(IMidiMsg* /*msg*/) override { return false; }

  // --- the LV2 instance, called by the plug-in's descriptor ---

  int EventsPort() const { return NParams(); }
  int LeftPort() const { return NParams() + 1; }
  int RightPort() const { return NParams() + 2; }

  // Maps the URIDs and reads the block length options; false (with a log
  // message) when the host offers no URID map.
  bool LV2Init(double sampleRate, const LV2_Feature* const* features);
  void LV2ConnectPort(uint32_t port, void* data);
  void LV2Activate();
  void LV2Run(uint32_t nFrames);
  LV2_State_Status LV2Save(LV2_State_Store_Function store, LV2_State_Handle handle);
  LV2_State_Status LV2Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

  // The whole state: every program (name, used flag, values), the current
  // program and the live parameter values. Restoring checks the entire chunk
  // before touching anything, so a truncated or hostile one changes nothing.
  bool SerializeWholeState(ByteChunk* chunk);
  bool UnserializeWholeState(const ByteChunk& chunk);

  // --- the editor, on the UI thread ---

  void SetUIHost(IPluginLV2UIHost* host);
  // Hands the UI the parameters the audio thread changed (learned controllers).
  void ForwardPendingParamChanges();

  LV2_Log_Logger& Logger() { return mLogger; }

private:
  struct Urids
  {
    LV2_URID atomBlank, atomObject, atomFloat, atomDouble, atomInt, atomLong, atomChunk, midiEvent;
    LV2_URID timePosition, timeBeat, timeBarBeat, timeBar, timeBpm, timeSpeed, timeFrame, timeBeatUnit,
        timeBeatsPerBar;
    LV2_URID stateKey;
  };

  void ApplyControlPorts();
  void ReadPosition(const LV2_Atom_Object* obj, int64_t frame);
  void DeliverMidi(const uint8_t* msg, uint32_t size, int offset, bool locked);
  void RenderInto(float* left, float* right, int nFrames);
  void MarkPending(int paramIdx);

  LV2_URID_Map* mMap = nullptr;
  LV2_Log_Logger mLogger{};
  Urids mUrid{};
  std::vector<const float*> mControls;
  std::vector<float> mLastSeen;
  bool mAdoptPorts = false; // after a state restore the ports' values are taken as seen
  const LV2_Atom_Sequence* mEvents = nullptr;
  float* mOut[2] = {nullptr, nullptr};
  int mMaxBlock = 0;
  std::vector<double> mScratch[2];

  // Controller and program messages that arrived while the lock was taken,
  // given at the start of the next block that gets it.
  static constexpr int kMaxDeferred = 256;
  IMidiMsg mDeferred[kMaxDeferred];
  int mNDeferred = 0;

  ITimeInfo mTimeInfo;
  int mBeatUnit = 4;
  double mSpeed = 0.0;

  IPluginLV2UIHost* mUIHost = nullptr;
  std::thread::id mUIThread;
  std::atomic<uint64_t> mPending[4] = {};
};
