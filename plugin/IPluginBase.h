#pragma once

#include "ByteChunk.h"
#include "Containers.h"
#include "Hosts.h"
#include "IParam.h"
#include "IPluginStructs.h"
#include "IPreset.h"

#include <string>
#include <vector>

class IGraphics;
class NChanDelayLine;

// Per-instance identity that a host binding needs beyond the constructor's
// numbers (bundle identifier, editor view factory); adapters without a bundle ignore it.
struct IPluginInstanceInfo
{
  std::string mOSXBundleID;
  std::string mCocoaViewFactoryClassName;
};

// The plug-in interface a build serves; the values are reported to hosts.
enum EAPI : int {
  kAPIVST2 = 0,
  kAPIVST3 = 1,
  kAPIAU = 2,
  kAPIRTAS = 3,
  kAPIAAX = 4,
  kAPISA = 5,
  kAPILV2 = 6
};

// Versions are 0xMMMMmmpp: major in the upper 16 bits, minor in bits 8-15, patch in 0-7.
void GetVersionParts(int version, int* pMajor, int* pMinor, int* pPatch);
// 0x00020104 gives 20104.
int GetDecimalVersion(int version);
// Writes "v2.1.4"; text holds at least kMaxVersionStrLen bytes.
constexpr int kMaxVersionStrLen = 16;
void GetVersionStr(int version, char* text);

// The first program slot that holds nothing, or null.
IPreset* GetNextUninitializedPreset(const PtrList<IPreset>* presets);
// Writes "user preset N", N one more than the programs already named so;
// text holds at least kMaxPresetNameLen bytes.
void MakeDefaultUserPresetName(const PtrList<IPreset>* presets, char* text);

// The host-independent core of a plug-in instance: parameters, programs, channel
// records with their scratch buffers, identity, and the recursive lock that
// serialises parameter, program and state changes. A host adapter derives from it
// and implements the host-facing pure virtuals; the instrument derives from the
// adapter.
class IPluginBase
{
public:
  struct ChannelIO
  {
    int mIn, mOut;
  };

  // A disconnected channel's slot points at its own scratch buffer, so processing
  // code never sees a null channel pointer.
  struct InChannel
  {
    bool mConnected = false;
    double** mSrc = nullptr;
    std::vector<double> mScratchBuf;
    std::string mLabel;
  };
  struct OutChannel
  {
    bool mConnected = false;
    double** mDest = nullptr;
    float* mFDest = nullptr;
    std::vector<double> mScratchBuf;
    std::string mLabel;
  };

  // channelIOStr: blank-separated "in-out" pairs, e.g. "0-1 0-2"; null for none.
  IPluginBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
              const char* productName, const char* mfrName, int vendorVersion, int uniqueID, int mfrID,
              int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst, EAPI plugAPI);
  virtual ~IPluginBase();
  IPluginBase(const IPluginBase&) = delete;
  IPluginBase& operator=(const IPluginBase&) = delete;

  // --- the virtual interface, in slot order ---

  virtual void Reset();
  virtual void OnParamChange(int paramIdx);
  // Default: pass-through; inputs are copied to outputs, remaining outputs silenced.
  virtual void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames);
  virtual void ProcessFloatReplacing(float** /*inputs*/, float** /*outputs*/, int /*nFrames*/) {}
  virtual void OnGUIOpen() {}
  virtual void OnGUIClose() {}
  virtual void OnIdle() {}
  virtual void OnActivate(bool active);
  virtual void ProcessMidiMsg(IMidiMsg* msg);
  virtual void ProcessSysEx(ISysEx* /*msg*/) {}
  virtual bool MidiNoteName(int noteNumber, char* text);
  virtual bool SerializeState(ByteChunk* chunk) { return SerializeParams(chunk); }
  // Answers the position after the state, or a negative value if it ran out.
  virtual int UnserializeState(const ByteChunk* chunk, int startPos)
  {
    return UnserializeParams(chunk, startPos);
  }
  // data must hold NParams() doubles from the double index startPos on.
  virtual bool CompareState(const unsigned char* data, int startPos);
  virtual void OnWindowResize() {}
  virtual bool HostRequestingAboutBox() { return false; }
  virtual void OnHostIdentified() {}
  virtual void PopupHostContextMenuForParam(int /*paramIdx*/, int /*x*/, int /*y*/) {}
  virtual void SetParameterFromGUI(int paramIdx, double normalizedValue);
  virtual void BeginInformHostOfParamChange(int paramIdx) = 0;
  virtual void InformHostOfParamChange(int paramIdx, double normalizedValue) = 0;
  virtual void EndInformHostOfParamChange(int paramIdx) = 0;
  virtual void InformHostOfProgramChange() = 0;
  virtual bool IsRenderingOffline() { return false; }
  virtual double GetSamplePos() = 0;
  virtual double GetTempo() = 0;
  virtual void GetTimeSig(int* pNum, int* pDenom) = 0;
  virtual void GetTime(ITimeInfo* pTimeInfo) = 0;
  virtual EHost GetHost() { return mHost; }
  virtual EAPI GetAPI() { return mAPI; }
  virtual void ResizeGraphics(int w, int h) = 0;
  virtual void HostSpecificInit() {}
  // Takes ownership of the editor; null is ignored.
  virtual void AttachGraphics(IGraphics* pGraphics);
  virtual void SetLatency(int samples);
  virtual bool SendMidiMsg(IMidiMsg* msg) = 0;
  virtual bool SendSysEx(ISysEx* /*msg*/) { return false; }
  virtual void RedrawParamControls();
  virtual void DirtyPTCompareState() {}
  virtual void PresetsChangedByHost() {}
  virtual void SetBlockSize(int blockSize);

  // --- accessors ---

  IParam* GetParam(int idx) const { return mParams.Get(idx); }
  int NParams() const { return mParams.GetSize(); }
  int NInChannels() const { return mInChannels.GetSize(); }
  int NOutChannels() const { return mOutChannels.GetSize(); }
  double GetSampleRate() const { return mSampleRate; }
  int GetBlockSize() const { return mBlockSize; }
  int GetLatency() const { return mLatency; }
  unsigned GetTailSize() const { return mTailSize; }
  bool DoesStateChunks() const { return mStateChunks; }
  bool DoesMIDI() const { return mDoesMIDI; }
  bool IsInst() const { return mIsInst; }
  bool IsBypassed() const { return mIsBypassed; }
  int GetUniqueID() const { return mUniqueID; }
  int GetMfrID() const { return mMfrID; }
  const char* GetEffectName() const { return mEffectName; }
  const char* GetProductName() const { return mProductName; }
  const char* GetMfrName() const { return mMfrName; }
  IGraphics* GetGUI() const { return mGraphics; }
  Mutex& GetMutex() { return mMutex; }

  // --- channel configuration ---

  int NChannelIO() const { return mChannelIO.GetSize(); }
  const ChannelIO* GetChannelIO(int idx) const { return mChannelIO.Get(idx); }
  // A negative count matches any count.
  bool LegalIO(int nIn, int nOut) const;
  void LimitToStereoIO();
  void SetInputChannelConnections(int idx, int n, bool connected);
  void SetOutputChannelConnections(int idx, int n, bool connected);
  bool IsInChannelConnected(int chIdx) const;
  bool IsOutChannelConnected(int chIdx) const;
  void SetInputLabel(int idx, const char* label);
  void SetOutputLabel(int idx, const char* label);
  const char* GetInputLabel(int idx) const;
  const char* GetOutputLabel(int idx) const;
  void SetInputBusLabel(int idx, const char* label);
  void SetOutputBusLabel(int idx, const char* label);
  const std::string* GetInputBusLabel(int idx) const { return mInputBusLabels.Get(idx); }
  const std::string* GetOutputBusLabel(int idx) const { return mOutputBusLabels.Get(idx); }

  // --- buffers; the adapter attaches them before each processing call ---
  // No locking here: rendering may run without the plug-in lock. A call must
  // not ask for more frames than the block size while scratch buffers are in
  // play; larger requests are cut to the block size rather than overrun them.

  void AttachInputBuffers(int idx, int n, double** data, int nFrames);
  void AttachInputBuffers(int idx, int n, float** data, int nFrames);
  void AttachOutputBuffers(int idx, int n, double** data);
  void AttachOutputBuffers(int idx, int n, float** data);
  void ProcessBuffers(double /*sampleType*/, int nFrames);
  void ProcessBuffers(float /*sampleType*/, int nFrames);
  void ProcessBuffersAccumulating(float /*sampleType*/, int nFrames);
  void PassThroughBuffers(double /*sampleType*/, int nFrames);
  void PassThroughBuffers(float /*sampleType*/, int nFrames);
  void ZeroScratchBuffers();

  // --- host and timing ---

  void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }
  void SetBypassed(bool bypassed) { mIsBypassed = bypassed; }
  void SetHost(const char* name, int version);
  int GetHostVersion(bool decimal);
  void GetHostVersionStr(char* text);
  int GetEffectVersion(bool decimal) const;
  void GetEffectVersionStr(char* text) const;
  const char* GetAPIString();
  const char* GetArchString() const { return "x64"; }
  // Samples per beat at the host's tempo; 0 without a tempo.
  double GetSamplesPerBeat();

  // --- parameters and editor ---

  // Calls OnParamChange for every parameter; the caller holds the lock.
  void OnParamReset();
  // Tells the host every parameter's value again.
  void DirtyParameters();
  bool SendMidiMsgs(std::vector<IMidiMsg>* msgs);

  // --- state ---

  // Appends every parameter's plain value as a little-endian double.
  bool SerializeParams(ByteChunk* chunk);
  // Sets every parameter from doubles at pos, then notifies them all; answers the
  // position after the last value, -1 if the chunk ran out.
  int UnserializeParams(const ByteChunk* chunk, int startPos);
  // Name, initialised flag and state of every program.
  bool SerializePresets(ByteChunk* chunk);
  int UnserializePresets(const ByteChunk* chunk, int startPos);

  static constexpr int32_t kFrameworkMagic = 0x70666674; // "tffp" in chunk byte order
  static constexpr int32_t kFrameworkVersion = 0x00010000;
  static void InitChunkWithFrameworkVer(ByteChunk* chunk);
  // The stamp's version, pos moved past it; 0 and pos unchanged if there is no stamp.
  static int GetFrameworkVerFromChunk(const ByteChunk* chunk, int* pPos);

  // --- programs ---

  int NPresets() const { return mPresets.GetSize(); }
  int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }
  IPreset* GetPreset(int idx) const { return mPresets.Get(idx); }
  void MakeDefaultPreset(const char* name = nullptr, int nPresets = 1);
  void EnsureDefaultPreset();
  // One value per parameter in index order: int for bool, int and enum parameters,
  // double otherwise. Answers false when no slot is free.
  bool MakePreset(const char* name, ...);
  // nParamsNamed pairs of (parameter index, value), value typed as for MakePreset;
  // unnamed parameters keep their current value.
  bool MakePresetFromNamedParams(const char* name, int nParamsNamed, ...);
  bool MakePresetFromChunk(const char* name, const ByteChunk* chunk);
  bool MakePresetFromBlob(const char* name, const char* base64, int size);
  void PruneUninitializedPresets();
  bool RestorePreset(int idx);
  bool RestorePreset(const char* name);
  // "" for an index outside the list.
  const char* GetPresetName(int idx) const;
  void ModifyCurrentPreset(const char* name = nullptr);

  // --- program and bank files ---

  bool SaveProgramAsFXP(const std::string& file);
  bool SaveBankAsFXB(const std::string& file);
  bool LoadProgramFromFXP(const std::string& file);
  bool LoadBankFromFXB(const std::string& file);
  // The same formats in memory; the file operations use these.
  bool SaveProgramAsFXP(ByteChunk* out);
  bool SaveBankAsFXB(ByteChunk* out);
  bool LoadProgramFromFXP(const ByteChunk& file);
  bool LoadBankFromFXB(const ByteChunk& file);
  // Why the last program or bank load failed ("truncated", "wrong identifier"...).
  const std::string& LastFileError() const { return mFileError; }

  // Source-code dumps for building a plug-in's factory programs.
  bool DumpPresetSrcCode(const char* file, const char* paramEnumNames[]);
  bool DumpPresetBlob(const char* file);
  bool DumpBankBlob(const char* file);

  // --- constants of the program and bank formats ---

  static constexpr int kFXPHeaderSize = 56;  // up to the data of a program record
  static constexpr int kFXBHeaderSize = 156; // up to the first program record
  static constexpr int kFXPNameLen = 28;

protected:
  // Records of one program in parameter form, shared by FXP and FXB.
  void PutFXPParamRecord(ByteChunk* out, const char* name, const ByteChunk* state);
  // Marks the next free slot as used and names it ("Empty" for null); null when none is left.
  IPreset* TakeNextUninitializedPreset(const char* name);
  int ScratchFrames(int nFrames) const;
  void CopyOutputsToFloat(int nFrames, bool accumulate);

  PtrList<ChannelIO> mChannelIO{true};
  Mutex mMutex;
  char mEffectName[kMaxEffectNameLen] = {};
  char mProductName[kMaxEffectNameLen] = {};
  char mMfrName[kMaxEffectNameLen] = {};
  int mUniqueID, mMfrID, mVersion;
  EAPI mAPI;
  EHost mHost = kHostUninit;
  int mHostVersion = 0;
  bool mStateChunks, mIsInst, mDoesMIDI;
  bool mIsBypassed = false;
  int mCurrentPresetIdx = 0;
  std::string mFileError;
  double mSampleRate = 44100.0;
  int mBlockSize = 0;
  int mLatency;
  unsigned mTailSize = 0;
  NChanDelayLine* mDelay = nullptr; // never created: pass-through is a plain copy
  std::vector<std::string> mParamGroups;
  IGraphics* mGraphics = nullptr; // owned
  PtrList<IParam> mParams{true};
  PtrList<IPreset> mPresets{true};
  std::vector<double*> mInData, mOutData;
  PtrList<InChannel> mInChannels{true};
  PtrList<OutChannel> mOutChannels{true};
  PtrList<std::string> mInputBusLabels{true};
  PtrList<std::string> mOutputBusLabels{true};
};
