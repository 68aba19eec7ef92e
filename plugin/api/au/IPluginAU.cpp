#include "IPluginAU.h"

#include "IPluginAUPresets.h"
#include "graphics/IGraphics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace {

// Two instances are never constructed at the same time.
std::recursive_mutex gMakePlugMutex;

// Request arguments are stored last first; idx counts from the first argument.
template <class T> T Arg(const ComponentParameters* params, int idx, int n)
{
  const long raw = params->params[n - 1 - idx];
  if constexpr (std::is_same_v<T, Float32>) {
    Float32 f;
    std::memcpy(&f, &raw, sizeof f);
    return f;
  } else if constexpr (std::is_pointer_v<T>) {
    return reinterpret_cast<T>(raw);
  } else {
    return static_cast<T>(raw);
  }
}

// The largest host block accepted; beyond it the scratch buffers would be absurd.
constexpr UInt32 kMaxFramesPerSlice = 1u << 20;

// Bytes a host must supply to set a property; 0 for properties that are not set.
UInt32 MinSetSize(AudioUnitPropertyID propID)
{
  switch (propID) {
  case kAudioUnitProperty_ClassInfo: return sizeof(CFPropertyListRef);
  case kAudioUnitProperty_MakeConnection: return sizeof(AudioUnitConnection);
  case kAudioUnitProperty_SampleRate: return sizeof(Float64);
  case kAudioUnitProperty_StreamFormat: return sizeof(AudioStreamBasicDescription);
  case kAudioUnitProperty_MaximumFramesPerSlice: return sizeof(UInt32);
  case kAudioUnitProperty_BypassEffect: return sizeof(UInt32);
  case kAudioUnitProperty_SetRenderCallback: return sizeof(AURenderCallbackStruct);
  case kAudioUnitProperty_HostCallbacks: return sizeof(HostCallbackInfo);
  case kAudioUnitProperty_CurrentPreset:
  case kAudioUnitProperty_PresentPreset: return sizeof(AUPreset);
  case kAudioUnitProperty_OfflineRender: return sizeof(UInt32);
  case kAudioUnitProperty_AUHostIdentifier: return sizeof(AUHostIdentifier);
  default: return 0;
  }
}

// UTF-8 of a string of any length; empty for anything that is not a string.
std::string ToUTF8(CFStringRef str)
{
  if (!str || CFGetTypeID(str) != CFStringGetTypeID()) return {};
  const CFIndex size = CFStringGetMaximumSizeForEncoding(CFStringGetLength(str), kCFStringEncodingUTF8) + 1;
  std::vector<char> buf(static_cast<size_t>(size), 0);
  if (!CFStringGetCString(str, buf.data(), size, kCFStringEncodingUTF8)) return {};
  return buf.data();
}

CFStringRef MakeCFString(const char* text)
{
  return CFStringCreateWithCString(kCFAllocatorDefault, text ? text : "", kCFStringEncodingUTF8);
}

// The value for key if it is present and of the given type.
const void* TypedValue(CFDictionaryRef dict, const char* key, CFTypeID type)
{
  CFStringRef keyStr = MakeCFString(key);
  const void* value = CFDictionaryGetValue(dict, keyStr);
  CFRelease(keyStr);
  return value && CFGetTypeID(value) == type ? value : nullptr;
}

void PutNumber(CFMutableDictionaryRef dict, const char* key, SInt32 value)
{
  CFStringRef keyStr = MakeCFString(key);
  CFNumberRef num = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value);
  CFDictionarySetValue(dict, keyStr, num);
  CFRelease(num);
  CFRelease(keyStr);
}

bool GetNumber(CFDictionaryRef dict, const char* key, SInt32* value)
{
  auto num = static_cast<CFNumberRef>(TypedValue(dict, key, CFNumberGetTypeID()));
  return num && CFNumberGetValue(num, kCFNumberSInt32Type, value);
}

} // namespace

IPluginAU::IPluginAU(IPluginInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets,
                     const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
                     int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks,
                     bool plugIsInst)
    : IPluginBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion, uniqueID,
                  mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInst, kAPIAU),
      mOSXBundleID(std::move(instanceInfo.mOSXBundleID)),
      mCocoaViewFactoryClassName(std::move(instanceInfo.mCocoaViewFactoryClassName))
{
  int maxNIn = 0, maxNOut = 0;
  for (const ChannelIO* io : mChannelIO) {
    maxNIn = std::max(maxNIn, io->mIn);
    maxNOut = std::max(maxNOut, io->mOut);
  }
  // Channel configurations of the form "n-m" carry no side chain here.
  if (maxNIn > 0) {
    auto* bus = new BusChannels;
    bus->mNPlugChannels = maxNIn;
    mInBuses.Add(bus);
    SetInputBusLabel(0, "input");
    SetInputBusLabel(1, "aux input");
  }
  if (plugIsInst) {
    const int nBuses = (maxNOut + 1) / 2;
    for (int i = 0; i < nBuses; ++i) {
      auto* bus = new BusChannels;
      bus->mPlugChannelStartIdx = 2 * i;
      bus->mNPlugChannels = std::min(2, maxNOut - 2 * i);
      mOutBuses.Add(bus);
      char label[32];
      std::snprintf(label, sizeof label, "output %i", i + 1);
      SetOutputBusLabel(i, label);
    }
  } else if (maxNOut > 0) {
    auto* bus = new BusChannels;
    bus->mNPlugChannels = maxNOut;
    mOutBuses.Add(bus);
    SetOutputBusLabel(0, "output");
  }
  for (int i = 0; i < mInBuses.GetSize(); ++i) mInBusConnections.Add(new InputBusConnection);
  AssessInputConnections();
  SetBlockSize(1024);
}

IPluginAU::~IPluginAU() = default;

// --- the component entry ---

OSStatus IPluginAU::IPluginAUEntry(ComponentParameters* params, void* storage, IPluginAUFactory makePlug)
{
  if (!params) return badComponentSelector;
  const int select = params->what;

  if (select == kComponentOpenSelect) {
    auto ci = Arg<ComponentInstance>(params, 0, 1);
    IPluginAU* plug = nullptr;
    try {
      std::lock_guard<std::recursive_mutex> lock(gMakePlugMutex);
      plug = makePlug ? makePlug() : nullptr;
    } catch (...) {
      plug = nullptr;
    }
    if (!plug) return kAudioUnitErr_FailedInitialization;
    plug->HostSpecificInit();
    plug->PruneUninitializedPresets();
    plug->mCI = ci;
    SetComponentInstanceStorage(ci, reinterpret_cast<Handle>(plug));
    return noErr;
  }

  auto* plug = static_cast<IPluginAU*>(storage);
  if (select == kComponentCloseSelect) {
    if (plug) {
      plug->ClearConnections();
      delete plug;
    }
    return noErr;
  }
  if (select == kComponentCanDoSelect) {
    const int asked = Arg<SInt16>(params, 0, 1);
    return (asked >= 1 && asked <= 7) || (asked >= 9 && asked <= 11) || (asked >= 14 && asked <= 17);
  }
  if (!plug) return badComponentSelector;
  if (select == kComponentVersionSelect) return plug->mVersion;

  MutexLock lock(plug->mMutex);
  switch (select) {
  case kAudioUnitInitializeSelect: return plug->DoInitialize();
  case kAudioUnitUninitializeSelect:
    plug->mActive = false;
    plug->OnActivate(false);
    return noErr;
  case kAudioUnitGetPropertyInfoSelect: {
    auto pSize = Arg<UInt32*>(params, 3, 5);
    auto pWritable = Arg<Boolean*>(params, 4, 5);
    UInt32 size = 0;
    Boolean writable = false;
    const OSStatus err =
        plug->GetProperty(Arg<AudioUnitPropertyID>(params, 0, 5), Arg<AudioUnitScope>(params, 1, 5),
                          Arg<AudioUnitElement>(params, 2, 5), &size, &writable, nullptr);
    if (pSize) *pSize = size;
    if (pWritable) *pWritable = writable;
    return err;
  }
  case kAudioUnitGetPropertySelect: {
    const auto propID = Arg<AudioUnitPropertyID>(params, 0, 5);
    const auto scope = Arg<AudioUnitScope>(params, 1, 5);
    const auto element = Arg<AudioUnitElement>(params, 2, 5);
    auto pData = Arg<void*>(params, 3, 5);
    auto pSize = Arg<UInt32*>(params, 4, 5);
    UInt32 size = 0;
    Boolean writable = false;
    OSStatus err = plug->GetProperty(propID, scope, element, &size, &writable, nullptr);
    if (err != noErr) return err;
    // The answer is written only into a buffer that can hold it.
    if (!pData || !pSize || *pSize < size) return kAudioUnitErr_InvalidPropertyValue;
    err = plug->GetProperty(propID, scope, element, &size, &writable, pData);
    if (err == noErr) *pSize = size;
    return err;
  }
  case kAudioUnitSetPropertySelect: {
    auto size = Arg<UInt32>(params, 4, 5);
    return plug->SetProperty(Arg<AudioUnitPropertyID>(params, 0, 5), Arg<AudioUnitScope>(params, 1, 5),
                             Arg<AudioUnitElement>(params, 2, 5), &size, Arg<const void*>(params, 3, 5));
  }
  case kAudioUnitGetParameterSelect:
    return GetParamProc(plug, Arg<AudioUnitParameterID>(params, 0, 4), Arg<AudioUnitScope>(params, 1, 4),
                        Arg<AudioUnitElement>(params, 2, 4), Arg<AudioUnitParameterValue*>(params, 3, 4));
  case kAudioUnitSetParameterSelect:
    return SetParamProc(plug, Arg<AudioUnitParameterID>(params, 0, 5), Arg<AudioUnitScope>(params, 1, 5),
                        Arg<AudioUnitElement>(params, 2, 5), Arg<Float32>(params, 3, 5),
                        Arg<UInt32>(params, 4, 5));
  case kAudioUnitResetSelect: return noErr;
  case kAudioUnitAddPropertyListenerSelect: {
    const auto propID = Arg<AudioUnitPropertyID>(params, 0, 3);
    auto proc = Arg<AudioUnitPropertyListenerProc>(params, 1, 3);
    for (const PropertyListener* l : plug->mPropertyListeners)
      if (l->mPropID == propID && l->mListenerProc == proc) return noErr;
    plug->mPropertyListeners.Add(new PropertyListener{propID, proc, Arg<void*>(params, 2, 3)});
    return noErr;
  }
  case kAudioUnitRemovePropertyListenerSelect:
  case kAudioUnitRemovePropertyListenerWithUserDataSelect: {
    const bool withUserData = select == kAudioUnitRemovePropertyListenerWithUserDataSelect;
    const int n = withUserData ? 3 : 2;
    const auto propID = Arg<AudioUnitPropertyID>(params, 0, n);
    auto proc = Arg<AudioUnitPropertyListenerProc>(params, 1, n);
    void* userData = withUserData ? Arg<void*>(params, 2, n) : nullptr;
    for (int i = 0; i < plug->mPropertyListeners.GetSize(); ++i) {
      const PropertyListener* l = plug->mPropertyListeners.Get(i);
      if (l->mPropID == propID && l->mListenerProc == proc && (!withUserData || l->mProcArgs == userData)) {
        plug->mPropertyListeners.Delete(i);
        break;
      }
    }
    return noErr;
  }
  case kAudioUnitRenderSelect:
    return RenderProc(plug, Arg<AudioUnitRenderActionFlags*>(params, 0, 5),
                      Arg<const AudioTimeStamp*>(params, 1, 5), Arg<UInt32>(params, 2, 5),
                      Arg<UInt32>(params, 3, 5), Arg<AudioBufferList*>(params, 4, 5));
  case kAudioUnitAddRenderNotifySelect:
    plug->mRenderNotify.Add(new RenderNotify{Arg<AURenderCallback>(params, 0, 2), Arg<void*>(params, 1, 2)});
    return noErr;
  case kAudioUnitRemoveRenderNotifySelect: {
    auto proc = Arg<AURenderCallback>(params, 0, 2);
    for (int i = 0; i < plug->mRenderNotify.GetSize(); ++i)
      if (plug->mRenderNotify.Get(i)->mProc == proc) {
        plug->mRenderNotify.Delete(i);
        break;
      }
    return noErr;
  }
  case kAudioUnitScheduleParametersSelect:
    return plug->ScheduleParameters(Arg<const AudioUnitParameterEvent*>(params, 0, 2),
                                    Arg<UInt32>(params, 1, 2));
  case kMusicDeviceMIDIEventSelect: {
    IMidiMsg msg(Arg<int>(params, 3, 4), Arg<uint8_t>(params, 0, 4), Arg<uint8_t>(params, 1, 4),
                 Arg<uint8_t>(params, 2, 4));
    plug->ProcessMidiMsg(&msg);
    return noErr;
  }
  case kMusicDeviceSysExSelect: {
    auto data = Arg<const UInt8*>(params, 0, 2);
    const auto length = Arg<UInt32>(params, 1, 2);
    ISysEx sysex(0, data, data ? static_cast<int>(std::min<UInt32>(length, 0x7fffffff)) : 0);
    plug->ProcessSysEx(&sysex);
    return noErr;
  }
  case kMusicDevicePrepareInstrumentSelect:
  case kMusicDeviceReleaseInstrumentSelect: return noErr;
  case kMusicDeviceStartNoteSelect: {
    auto pNoteID = Arg<NoteInstanceID*>(params, 2, 5);
    const auto offset = Arg<int>(params, 3, 5);
    auto pNoteParams = Arg<const MusicDeviceNoteParams*>(params, 4, 5);
    if (!pNoteParams) return kAudioUnitErr_InvalidPropertyValue;
    // Out-of-range pitches and velocities never become notes.
    const Float32 pitch = pNoteParams->mPitch, velocity = pNoteParams->mVelocity;
    if (!(pitch >= 0.0f && pitch < 128.0f) || !(velocity >= 0.0f && velocity < 128.0f))
      return kAudioUnitErr_InvalidPropertyValue;
    const int note = static_cast<int>(pitch);
    if (pNoteID) *pNoteID = static_cast<NoteInstanceID>(note);
    IMidiMsg msg;
    msg.MakeNoteOnMsg(note, static_cast<int>(velocity), offset, 0);
    plug->ProcessMidiMsg(&msg);
    return noErr;
  }
  case kMusicDeviceStopNoteSelect: {
    // Only a note this unit handed out can be stopped.
    const auto noteID = Arg<NoteInstanceID>(params, 1, 3);
    if (noteID > 127) return kAudioUnitErr_InvalidPropertyValue;
    IMidiMsg msg;
    msg.MakeNoteOffMsg(int(noteID), Arg<int>(params, 2, 3), 0);
    plug->ProcessMidiMsg(&msg);
    return noErr;
  }
  default: return badComponentSelector;
  }
}

OSStatus IPluginAU::DoInitialize()
{
  const int nIn = NHostChannelsConnected(&mInBuses);
  const int nOut = NHostChannelsConnected(&mOutBuses);
  if (!(nIn == 0 && nOut == 0) && !LegalIO(nIn, nOut)) return badComponentSelector;
  mActive = true;
  OnParamReset();
  OnActivate(true);
  return noErr;
}

OSStatus IPluginAU::ScheduleParameters(const AudioUnitParameterEvent* events, UInt32 nEvents)
{
  if (!events && nEvents) return kAudioUnitErr_InvalidPropertyValue;
  for (UInt32 i = 0; i < nEvents; ++i) {
    const AudioUnitParameterEvent& e = events[i];
    if (e.eventType != kParameterEvent_Immediate) continue;
    const OSStatus err = SetParamProc(this, e.parameter, e.scope, e.element, e.eventValues.immediate.value,
                                      e.eventValues.immediate.bufferOffset);
    if (err != noErr) return err;
  }
  return noErr;
}

// --- parameters ---

OSStatus IPluginAU::GetParamProc(void* plugin, AudioUnitParameterID paramID, AudioUnitScope scope,
                                 AudioUnitElement, AudioUnitParameterValue* value)
{
  if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidProperty;
  auto* plug = static_cast<IPluginAU*>(plugin);
  MutexLock lock(plug->mMutex);
  IParam* param = paramID < static_cast<UInt32>(plug->NParams()) ? plug->GetParam(int(paramID)) : nullptr;
  if (!param) return kAudioUnitErr_InvalidElement;
  if (!value) return kAudioUnitErr_InvalidPropertyValue;
  *value = static_cast<AudioUnitParameterValue>(param->Value());
  return noErr;
}

OSStatus IPluginAU::SetParamProc(void* plugin, AudioUnitParameterID paramID, AudioUnitScope scope,
                                 AudioUnitElement, AudioUnitParameterValue value, UInt32)
{
  if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidProperty;
  auto* plug = static_cast<IPluginAU*>(plugin);
  MutexLock lock(plug->mMutex);
  IParam* param = paramID < static_cast<UInt32>(plug->NParams()) ? plug->GetParam(int(paramID)) : nullptr;
  if (!param) return kAudioUnitErr_InvalidElement;
  param->Set(value);
  if (IGraphics* gui = plug->GetGUI()) gui->SetParameterFromPlug(int(paramID), value, false);
  plug->OnParamChange(int(paramID));
  return noErr;
}

OSStatus IPluginAU::GetParamInfo(AudioUnitElement element, AudioUnitParameterInfo* info)
{
  std::memset(info, 0, sizeof *info);
  info->flags = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable |
                kAudioUnitParameterFlag_HasCFNameString | kAudioUnitParameterFlag_CFNameRelease;
  const IParam* param = GetParam(int(element));
  if (!param) return kAudioUnitErr_InvalidElement;
  const char* name = param->GetNameForHost();
  std::strncpy(info->name, name, sizeof info->name - 1);
  info->cfNameString = MakeCFString(name);
  switch (param->Type()) {
  case IParam::kTypeInt:
  case IParam::kTypeEnum: info->unit = kAudioUnitParameterUnit_Indexed; break;
  case IParam::kTypeBool: info->unit = kAudioUnitParameterUnit_Boolean; break;
  default: {
    const char* label = param->GetLabelForHost();
    if (label && *label) {
      info->unit = kAudioUnitParameterUnit_CustomUnit;
      info->unitName = MakeCFString(label);
    } else {
      info->unit = kAudioUnitParameterUnit_Generic;
    }
  }
  }
  double lo = 0.0, hi = 0.0;
  param->GetBounds(&lo, &hi);
  info->minValue = static_cast<AudioUnitParameterValue>(lo);
  info->maxValue = static_cast<AudioUnitParameterValue>(hi);
  info->defaultValue = static_cast<AudioUnitParameterValue>(param->Value());
  const char* group = param->GetParamGroupForHost();
  if (group && *group) {
    int clump = 0;
    for (size_t i = 0; i < mParamGroups.size(); ++i)
      if (mParamGroups[i] == group) clump = int(i) + 1;
    if (!clump) {
      mParamGroups.emplace_back(group);
      clump = int(mParamGroups.size());
    }
    info->clumpID = UInt32(clump);
    info->flags |= kAudioUnitParameterFlag_HasClump;
  }
  return noErr;
}

// --- properties ---

OSStatus IPluginAU::GetProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement element,
                                UInt32* pDataSize, Boolean* pWriteable, void* pData)
{
  *pWriteable = false;
  const bool global = scope == kAudioUnitScope_Global;
  auto answer = [&](UInt32 size, bool writable) {
    *pDataSize = size;
    *pWriteable = writable;
  };
  IParam* param = element < static_cast<UInt32>(NParams()) ? GetParam(int(element)) : nullptr;

  switch (propID) {
  case kAudioUnitProperty_ClassInfo:
    answer(sizeof(CFPropertyListRef), true);
    return pData ? GetState(static_cast<CFPropertyListRef*>(pData)) : noErr;
  case kAudioUnitProperty_MakeConnection:
    if (!global && scope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidProperty;
    answer(sizeof(AudioUnitConnection), true);
    return noErr;
  case kAudioUnitProperty_SampleRate:
    answer(sizeof(Float64), true);
    if (pData) *static_cast<Float64*>(pData) = mSampleRate;
    return noErr;
  case kAudioUnitProperty_ParameterList: {
    const int n = global ? NParams() : 0;
    answer(UInt32(n) * sizeof(AudioUnitParameterID), false);
    if (pData)
      for (int i = 0; i < n; ++i) static_cast<AudioUnitParameterID*>(pData)[i] = AudioUnitParameterID(i);
    return noErr;
  }
  case kAudioUnitProperty_ParameterInfo:
    if (!global) return kAudioUnitErr_InvalidProperty;
    if (!param) return kAudioUnitErr_InvalidElement;
    answer(sizeof(AudioUnitParameterInfo), false);
    return pData ? GetParamInfo(element, static_cast<AudioUnitParameterInfo*>(pData)) : noErr;
  case kAudioUnitProperty_FastDispatch: {
    void* proc = nullptr;
    switch (element) {
    case kAudioUnitRenderSelect: proc = reinterpret_cast<void*>(&RenderProc); break;
    case kAudioUnitSetParameterSelect: proc = reinterpret_cast<void*>(&SetParamProc); break;
    case kAudioUnitGetParameterSelect: proc = reinterpret_cast<void*>(&GetParamProc); break;
    default: return kAudioUnitErr_InvalidElement;
    }
    answer(sizeof(void*), false);
    if (pData) *static_cast<void**>(pData) = proc;
    return noErr;
  }
  case kAudioUnitProperty_StreamFormat: return GetStreamFormat(scope, element, pDataSize, pWriteable, pData);
  case kAudioUnitProperty_ElementCount: {
    answer(sizeof(UInt32), false);
    UInt32 n = 0;
    if (global)
      n = 1;
    else if (scope == kAudioUnitScope_Input)
      n = UInt32(mInBuses.GetSize());
    else if (scope == kAudioUnitScope_Output)
      n = UInt32(mOutBuses.GetSize());
    if (pData) *static_cast<UInt32*>(pData) = n;
    return noErr;
  }
  case kAudioUnitProperty_Latency:
    if (!global) return kAudioUnitErr_InvalidProperty;
    answer(sizeof(Float64), false);
    if (pData) *static_cast<Float64*>(pData) = double(mLatency) / mSampleRate;
    return noErr;
  case kAudioUnitProperty_SupportedNumChannels: {
    if (!global) return kAudioUnitErr_InvalidProperty;
    const int n = NChannelIO();
    answer(UInt32(n) * sizeof(AUChannelInfo), false);
    if (pData)
      for (int i = 0; i < n; ++i) {
        static_cast<AUChannelInfo*>(pData)[i].inChannels = SInt16(GetChannelIO(i)->mIn);
        static_cast<AUChannelInfo*>(pData)[i].outChannels = SInt16(GetChannelIO(i)->mOut);
      }
    return noErr;
  }
  case kAudioUnitProperty_MaximumFramesPerSlice:
    if (!global) return kAudioUnitErr_InvalidProperty;
    answer(sizeof(UInt32), true);
    if (pData) *static_cast<UInt32*>(pData) = UInt32(mBlockSize);
    return noErr;
  case kAudioUnitProperty_ParameterValueStrings: {
    if (!global) return kAudioUnitErr_InvalidProperty;
    if (!param) return kAudioUnitErr_InvalidElement;
    const int n = param->GetNDisplayTexts();
    if (!n) {
      answer(0, false);
      return kAudioUnitErr_InvalidProperty;
    }
    answer(sizeof(CFArrayRef), false);
    if (pData) {
      CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, n, &kCFTypeArrayCallBacks);
      for (int i = 0; i < n; ++i) {
        CFStringRef text = MakeCFString(param->GetDisplayText(i));
        CFArrayAppendValue(array, text);
        CFRelease(text);
      }
      *static_cast<CFArrayRef*>(pData) = array;
    }
    return noErr;
  }
  case kAudioUnitProperty_GetUIComponentList:
    if (!GetGUI()) return kAudioUnitErr_InvalidProperty;
    answer(sizeof(ComponentDescription), false);
    if (pData) {
      auto* cd = static_cast<ComponentDescription*>(pData);
      cd->componentType = kAudioUnitCarbonViewComponentType;
      cd->componentSubType = OSType(mUniqueID);
      cd->componentManufacturer = OSType(mMfrID);
      cd->componentFlags = 0;
      cd->componentFlagsMask = 0;
    }
    return noErr;
  case kAudioUnitProperty_AudioChannelLayout: return kAudioUnitErr_InvalidPropertyValue;
  case kAudioUnitProperty_TailTime:
    if (!global) return kAudioUnitErr_InvalidProperty;
    answer(sizeof(Float64), false);
    if (pData) *static_cast<Float64*>(pData) = double(mTailSize) / mSampleRate;
    return noErr;
  case kAudioUnitProperty_BypassEffect:
    if (!global) return kAudioUnitErr_InvalidProperty;
    answer(sizeof(UInt32), true);
    if (pData) *static_cast<UInt32*>(pData) = mIsBypassed ? 1 : 0;
    return noErr;
  case kAudioUnitProperty_LastRenderError:
    if (!global) return kAudioUnitErr_InvalidProperty;
    answer(sizeof(OSStatus), false);
    if (pData) *static_cast<OSStatus*>(pData) = noErr;
    return noErr;
  case kAudioUnitProperty_SetRenderCallback:
    if ((!global && scope != kAudioUnitScope_Input) || element >= UInt32(mInBusConnections.GetSize()))
      return kAudioUnitErr_InvalidProperty;
    answer(sizeof(AURenderCallbackStruct), true);
    return noErr;
  case kAudioUnitProperty_FactoryPresets: {
    answer(sizeof(CFArrayRef), false);
    if (!pData) return noErr;
    CFMutableArrayRef presets =
        CFArrayCreateMutable(kCFAllocatorDefault, NPresets(), &kCFAUPresetArrayCallBacks);
    if (!presets) return coreFoundationUnknownErr;
    for (int i = 0; i < NPresets(); ++i) {
      CFStringRef name = MakeCFString(GetPresetName(i));
      CFAUPresetRef preset = CFAUPresetCreate(kCFAllocatorDefault, i, name);
      CFRelease(name);
      if (!preset) {
        CFRelease(presets);
        return coreFoundationUnknownErr;
      }
      CFArrayAppendValue(presets, preset);
      CFAUPresetRelease(preset);
    }
    *static_cast<CFArrayRef*>(pData) = presets;
    return noErr;
  }
  case kAudioUnitProperty_HostCallbacks:
    if (!global) return kAudioUnitErr_InvalidProperty;
    answer(sizeof(HostCallbackInfo), true);
    return noErr;
  case kAudioUnitProperty_CurrentPreset:
  case kAudioUnitProperty_PresentPreset:
    answer(sizeof(AUPreset), true);
    if (pData) {
      auto* preset = static_cast<AUPreset*>(pData);
      preset->presetNumber = mCurrentPresetIdx;
      preset->presetName = MakeCFString(GetPresetName(mCurrentPresetIdx));
    }
    return noErr;
  case kAudioUnitProperty_ElementName: {
    const std::string* label = nullptr;
    if (scope == kAudioUnitScope_Output) {
      label = GetOutputBusLabel(int(element));
    } else if (scope == kAudioUnitScope_Input) {
      if (element > 1) return kAudioUnitErr_InvalidElement;
      label = GetInputBusLabel(int(element));
    } else {
      return kAudioUnitErr_InvalidScope;
    }
    if (!label) return kAudioUnitErr_InvalidElement;
    answer(sizeof(CFStringRef), false);
    if (pData) *static_cast<CFStringRef*>(pData) = MakeCFString(label->c_str());
    return noErr;
  }
  case kAudioUnitProperty_CocoaUI: {
    if (!GetGUI()) return kAudioUnitErr_InvalidProperty;
    CFStringRef bundleID = MakeCFString(mOSXBundleID.c_str());
    CFBundleRef bundle = CFBundleGetBundleWithIdentifier(bundleID);
    CFRelease(bundleID);
    if (!bundle) return kAudioUnitErr_InvalidProperty;
    answer(sizeof(AudioUnitCocoaViewInfo), false);
    if (pData) {
      auto* info = static_cast<AudioUnitCocoaViewInfo*>(pData);
      info->mCocoaAUViewBundleLocation = CFBundleCopyBundleURL(bundle);
      info->mCocoaAUViewClass[0] = MakeCFString(mCocoaViewFactoryClassName.c_str());
    }
    return noErr;
  }
  case kAudioUnitProperty_SupportedChannelLayoutTags: {
    if (!IsInst() || mOutBuses.GetSize() == 1) return kAudioUnitErr_InvalidProperty;
    const BusChannels* bus = GetBus(scope, element);
    if (!bus) return kAudioUnitErr_InvalidElement;
    answer(sizeof(AudioChannelLayoutTag), false);
    if (pData) {
      AudioChannelLayoutTag tag = kAudioChannelLayoutTag_Unknown;
      if (bus->mNPlugChannels == 1)
        tag = kAudioChannelLayoutTag_Mono;
      else if (bus->mNPlugChannels == 2)
        tag = kAudioChannelLayoutTag_Stereo;
      *static_cast<AudioChannelLayoutTag*>(pData) = tag;
    }
    return noErr;
  }
  case kAudioUnitProperty_ParameterStringFromValue: {
    if (!global) return kAudioUnitErr_InvalidProperty;
    answer(sizeof(AudioUnitParameterStringFromValue), false);
    if (!pData) return noErr;
    auto* request = static_cast<AudioUnitParameterStringFromValue*>(pData);
    IParam* p = request->inParamID < UInt32(NParams()) ? GetParam(int(request->inParamID)) : nullptr;
    if (!p) return kAudioUnitErr_InvalidElement;
    // No value given means the current one.
    const double value = request->inValue ? double(*request->inValue) : p->Value();
    char text[kMaxParamDisplayLen] = {};
    p->GetDisplayForHost(value, false, text, true);
    std::snprintf(mParamDisplayStr, sizeof mParamDisplayStr, "%s", text);
    request->outString = MakeCFString(mParamDisplayStr);
    return noErr;
  }
  case kAudioUnitProperty_ParameterIDName: {
    if (!global) return kAudioUnitErr_InvalidProperty;
    answer(sizeof(AudioUnitParameterIDName), false);
    if (!pData) return noErr;
    auto* request = static_cast<AudioUnitParameterIDName*>(pData);
    IParam* p = request->inID < UInt32(NParams()) ? GetParam(int(request->inID)) : nullptr;
    if (!p) return kAudioUnitErr_InvalidElement;
    std::string name = p->GetNameForHost();
    if (request->inDesiredLength != kAudioUnitParameterName_Full) {
      const int n = std::clamp<int>(request->inDesiredLength, 0, 31);
      if (name.size() > size_t(n)) name.resize(size_t(n));
    }
    request->outName = MakeCFString(name.c_str());
    return noErr;
  }
  case kAudioUnitProperty_ParameterClumpName: {
    if (!global) return kAudioUnitErr_InvalidProperty;
    answer(sizeof(AudioUnitParameterNameInfo), false);
    if (!pData) return noErr;
    auto* request = static_cast<AudioUnitParameterNameInfo*>(pData);
    if (request->inID < 1 || request->inID > mParamGroups.size()) return kAudioUnitErr_InvalidPropertyValue;
    request->outName = MakeCFString(mParamGroups[request->inID - 1].c_str());
    return noErr;
  }
  case kAudioUnitProperty_ParameterValueFromString: {
    if (!global) return kAudioUnitErr_InvalidProperty;
    answer(sizeof(AudioUnitParameterValueFromString), false);
    if (!pData) return noErr;
    auto* request = static_cast<AudioUnitParameterValueFromString*>(pData);
    IParam* p = request->inParamID < UInt32(NParams()) ? GetParam(int(request->inParamID)) : nullptr;
    if (!p) return kAudioUnitErr_InvalidElement;
    if (!request->inString || CFGetTypeID(request->inString) != CFStringGetTypeID())
      return kAudioUnitErr_InvalidPropertyValue;
    const std::string text = ToUTF8(request->inString);
    if (p->GetNDisplayTexts()) {
      int value = 0;
      if (p->MapDisplayText(text.c_str(), &value)) request->outValue = AudioUnitParameterValue(value);
    } else {
      request->outValue = AudioUnitParameterValue(std::strtod(text.c_str(), nullptr));
    }
    return noErr;
  }
  case kMusicDeviceProperty_InstrumentCount:
    if (!global || !IsInst()) return kAudioUnitErr_InvalidProperty;
    answer(sizeof(UInt32), false);
    if (pData) *static_cast<UInt32*>(pData) = 1;
    return noErr;
  default: return kAudioUnitErr_InvalidProperty;
  }
}

OSStatus IPluginAU::SetProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement element,
                                UInt32* pDataSize, const void* pData)
{
  NotifyPropertyListeners(propID, scope);

  const UInt32 needed = MinSetSize(propID);
  if (!needed) return kAudioUnitErr_InvalidProperty;
  // A value the host did not fully supply is never read.
  if (!pData || !pDataSize || *pDataSize < needed) return kAudioUnitErr_InvalidPropertyValue;

  switch (propID) {
  case kAudioUnitProperty_ClassInfo: return SetState(*static_cast<const CFPropertyListRef*>(pData));
  case kAudioUnitProperty_MakeConnection:
    return SetConnection(scope, static_cast<const AudioUnitConnection*>(pData));
  case kAudioUnitProperty_SampleRate: {
    const Float64 rate = *static_cast<const Float64*>(pData);
    if (!(rate > 0.0) || !std::isfinite(rate)) return kAudioUnitErr_InvalidPropertyValue;
    SetSampleRate(rate);
    Reset();
    return noErr;
  }
  case kAudioUnitProperty_StreamFormat:
    return SetStreamFormat(scope, element, static_cast<const AudioStreamBasicDescription*>(pData));
  case kAudioUnitProperty_MaximumFramesPerSlice: {
    const UInt32 frames = *static_cast<const UInt32*>(pData);
    if (frames < 1 || frames > kMaxFramesPerSlice) return kAudioUnitErr_InvalidPropertyValue;
    SetBlockSize(int(frames));
    Reset();
    return noErr;
  }
  case kAudioUnitProperty_BypassEffect:
    mIsBypassed = *static_cast<const UInt32*>(pData) != 0;
    OnActivate(!mIsBypassed);
    Reset();
    return noErr;
  case kAudioUnitProperty_SetRenderCallback:
    return SetRenderCallback(scope, element, static_cast<const AURenderCallbackStruct*>(pData));
  case kAudioUnitProperty_HostCallbacks:
    if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidProperty;
    std::memcpy(&mHostCallbacks, pData, sizeof mHostCallbacks);
    return noErr;
  case kAudioUnitProperty_CurrentPreset:
  case kAudioUnitProperty_PresentPreset:
    RestorePreset(static_cast<const AUPreset*>(pData)->presetNumber);
    return noErr;
  case kAudioUnitProperty_OfflineRender: mIsOffline = *static_cast<const UInt32*>(pData) != 0; return noErr;
  case kAudioUnitProperty_AUHostIdentifier: {
    const auto* id = static_cast<const AUHostIdentifier*>(pData);
    const std::string name = ToUTF8(id->hostName);
    const UInt8 minor = id->hostVersion.minorAndBugRev;
    const int version = (int(id->hostVersion.majorRev) << 16) | ((minor & 0xF0) << 4) | (minor & 0x0F);
    SetHost(name.c_str(), version);
    OnHostIdentified();
    return noErr;
  }
  default: return kAudioUnitErr_InvalidProperty;
  }
}

void IPluginAU::NotifyPropertyListeners(AudioUnitPropertyID propID, AudioUnitScope scope)
{
  // A listener may remove itself while it is called.
  for (int i = 0; i < mPropertyListeners.GetSize(); ++i) {
    const PropertyListener* l = mPropertyListeners.Get(i);
    if (l->mPropID == propID && l->mListenerProc) l->mListenerProc(l->mProcArgs, mCI, propID, scope, 0);
  }
}

// --- state ---

OSStatus IPluginAU::GetState(CFPropertyListRef* ppPropList)
{
  ComponentDescription cd;
  const OSErr err = GetComponentInfo(reinterpret_cast<Component>(mCI), &cd, nullptr, nullptr, nullptr);
  if (err != noErr) return err;
  CFMutableDictionaryRef dict = CFDictionaryCreateMutable(
      kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  PutNumber(dict, "version", mVersion);
  PutNumber(dict, "type", SInt32(cd.componentType));
  PutNumber(dict, "subtype", SInt32(cd.componentSubType));
  PutNumber(dict, "manufacturer", SInt32(cd.componentManufacturer));
  CFStringRef key = MakeCFString("name");
  CFStringRef name = MakeCFString(GetPresetName(mCurrentPresetIdx));
  CFDictionarySetValue(dict, key, name);
  CFRelease(name);
  CFRelease(key);
  ByteChunk chunk;
  if (SerializeState(&chunk)) {
    key = MakeCFString("data");
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, chunk.GetData(), chunk.Size());
    CFDictionarySetValue(dict, key, data);
    CFRelease(data);
    CFRelease(key);
  }
  *ppPropList = dict;
  return noErr;
}

OSStatus IPluginAU::SetState(CFPropertyListRef pPropList)
{
  ComponentDescription cd;
  const OSErr err = GetComponentInfo(reinterpret_cast<Component>(mCI), &cd, nullptr, nullptr, nullptr);
  if (err != noErr) return err;
  // Anything but a dictionary, or a key holding the wrong kind of value, is
  // refused before a value is read.
  if (!pPropList || CFGetTypeID(pPropList) != CFDictionaryGetTypeID())
    return kAudioUnitErr_InvalidPropertyValue;
  auto dict = static_cast<CFDictionaryRef>(pPropList);
  SInt32 version, type, subtype, mfr;
  auto name = static_cast<CFStringRef>(TypedValue(dict, "name", CFStringGetTypeID()));
  if (!GetNumber(dict, "version", &version) || !GetNumber(dict, "type", &type) ||
      !GetNumber(dict, "subtype", &subtype) || !GetNumber(dict, "manufacturer", &mfr) || !name)
    return kAudioUnitErr_InvalidPropertyValue;
  if (OSType(type) != cd.componentType || OSType(subtype) != cd.componentSubType ||
      OSType(mfr) != cd.componentManufacturer)
    return kAudioUnitErr_InvalidPropertyValue;

  // Without usable data the dictionary is refused whole: not even the program
  // it names is selected.
  auto data = static_cast<CFDataRef>(TypedValue(dict, "data", CFDataGetTypeID()));
  if (!data) return kAudioUnitErr_InvalidPropertyValue;

  RestorePreset(ToUTF8(name).c_str());
  ByteChunk chunk;
  chunk.PutBytes(CFDataGetBytePtr(data), int(std::min<CFIndex>(CFDataGetLength(data), 0x7fffffff)));
  if (UnserializeState(&chunk, 0) == 0) return kAudioUnitErr_InvalidPropertyValue;
  RedrawParamControls();
  return noErr;
}

// --- telling the host ---

void IPluginAU::SendAUEvent(AudioUnitEventType type, int paramIdx)
{
  AudioUnitEvent event;
  std::memset(&event, 0, sizeof event);
  event.mEventType = type;
  event.mArgument.mParameter.mAudioUnit = mCI;
  event.mArgument.mParameter.mParameterID = AudioUnitParameterID(paramIdx);
  event.mArgument.mParameter.mScope = kAudioUnitScope_Global;
  event.mArgument.mParameter.mElement = 0;
  AUEventListenerNotify(nullptr, nullptr, &event);
}

void IPluginAU::BeginInformHostOfParamChange(int paramIdx)
{
  SendAUEvent(kAudioUnitEvent_BeginParameterChangeGesture, paramIdx);
}

void IPluginAU::InformHostOfParamChange(int paramIdx, double)
{
  SendAUEvent(kAudioUnitEvent_ParameterValueChange, paramIdx);
}

void IPluginAU::EndInformHostOfParamChange(int paramIdx)
{
  SendAUEvent(kAudioUnitEvent_EndParameterChangeGesture, paramIdx);
}

void IPluginAU::InformHostOfProgramChange()
{
  NotifyPropertyListeners(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global);
}

void IPluginAU::SetLatency(int samples)
{
  NotifyPropertyListeners(kAudioUnitProperty_Latency, kAudioUnitScope_Global);
  IPluginBase::SetLatency(samples);
}

bool IPluginAU::SendMidiMsg(IMidiMsg*)
{
  return false;
}

void IPluginAU::ResizeGraphics(int, int)
{
  if (GetGUI()) OnWindowResize();
}

EHost IPluginAU::GetHost()
{
  if (mHost == kHostUninit) {
    CFBundleRef bundle = CFBundleGetMainBundle();
    const std::string id = bundle ? ToUTF8(CFBundleGetIdentifier(bundle)) : std::string();
    SetHost(id.c_str(), 0);
  }
  return mHost;
}

void IPluginAU::HostSpecificInit()
{
  GetHost();
  OnHostIdentified();
}

// --- host time ---

double IPluginAU::GetTempo()
{
  if (mHostCallbacks.beatAndTempoProc) {
    Float64 beat = 0.0, tempo = 0.0;
    mHostCallbacks.beatAndTempoProc(mHostCallbacks.hostUserData, &beat, &tempo);
    if (tempo > 0.0) mHostTempo = tempo;
  }
  return mHostTempo;
}

double IPluginAU::GetSamplePos()
{
  if (!mHostCallbacks.transportStateProc) return 0.0;
  Boolean playing = false, changed = false, cycling = false;
  Float64 sample = 0.0, cycleStart = 0.0, cycleEnd = 0.0;
  mHostCallbacks.transportStateProc(mHostCallbacks.hostUserData, &playing, &changed, &sample, &cycling,
                                    &cycleStart, &cycleEnd);
  return std::trunc(sample + 0.5);
}

void IPluginAU::GetTimeSig(int* pNum, int* pDenom)
{
  if (!mHostCallbacks.musicalTimeLocationProc) return;
  UInt32 delta = 0, denom = 0;
  Float32 num = 0.0f;
  Float64 downBeat = 0.0;
  mHostCallbacks.musicalTimeLocationProc(mHostCallbacks.hostUserData, &delta, &num, &denom, &downBeat);
  if (pNum) *pNum = int(num);
  if (pDenom) *pDenom = int(denom);
}

void IPluginAU::GetTime(ITimeInfo* pTimeInfo)
{
  if (!pTimeInfo) return;
  void* user = mHostCallbacks.hostUserData;
  if (mHostCallbacks.beatAndTempoProc) {
    Float64 beat = 0.0, tempo = 0.0;
    mHostCallbacks.beatAndTempoProc(user, &beat, &tempo);
    if (tempo > 0.0) pTimeInfo->mTempo = tempo;
    if (beat > 0.0) pTimeInfo->mPPQPos = beat;
  }
  if (mHostCallbacks.transportStateProc) {
    Boolean playing = false, changed = false, cycling = false;
    Float64 sample = 0.0, cycleStart = 0.0, cycleEnd = 0.0;
    mHostCallbacks.transportStateProc(user, &playing, &changed, &sample, &cycling, &cycleStart, &cycleEnd);
    if (sample > 0.0) pTimeInfo->mSamplePos = sample;
    if (cycleStart > 0.0) pTimeInfo->mCycleStart = cycleStart;
    if (cycleEnd > 0.0) pTimeInfo->mCycleEnd = cycleEnd;
    pTimeInfo->mTransportIsRunning = playing;
    pTimeInfo->mTransportLoopEnabled = cycling;
  }
  if (mHostCallbacks.musicalTimeLocationProc) {
    UInt32 delta = 0, denom = 0;
    Float32 num = 0.0f;
    Float64 downBeat = 0.0;
    mHostCallbacks.musicalTimeLocationProc(user, &delta, &num, &denom, &downBeat);
    pTimeInfo->mNumerator = int(num);
    pTimeInfo->mDenominator = int(denom);
    if (downBeat > 0.0) pTimeInfo->mLastBar = downBeat;
  }
}
