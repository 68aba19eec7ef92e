#include "AudioUnit.h"
#include "StandIn.h"

#include <cstring>
#include <memory>
#include <mutex>

// Components and instances share a header, so GetComponentInfo accepts either,
// as the platform does.
struct ComponentRecord
{
  int mKind = 1;
  ComponentDescription mDesc = {};
  ComponentRoutineProcPtr mEntry = nullptr;
};

struct ComponentInstanceRecord
{
  int mKind = 2;
  ComponentRecord* mComponent = nullptr;
  Handle mStorage = nullptr;
};

namespace {

std::mutex gMutex;
std::vector<std::unique_ptr<ComponentRecord>> gComponents;
std::vector<AudioUnitEvent> gEvents;

OSStatus Call(ComponentInstance ci, SInt16 what, const std::vector<long>& args)
{
  if (!ci || !ci->mComponent) return badComponentSelector;
  // Room for the arguments and the instance; stored last argument first.
  std::vector<long> block(sizeof(ComponentParameters) / sizeof(long) + args.size() + 1, 0);
  auto* params = reinterpret_cast<ComponentParameters*>(block.data());
  params->what = what;
  params->paramSize = static_cast<UInt8>(args.size() * sizeof(long));
  const size_t n = args.size();
  for (size_t i = 0; i < n; ++i) params->params[n - 1 - i] = args[i];
  params->params[n] = reinterpret_cast<long>(ci);
  return ci->mComponent->mEntry(params, ci->mStorage);
}

template <class T> long L(T v)
{
  if constexpr (std::is_pointer_v<T>)
    return reinterpret_cast<long>(v);
  else
    return static_cast<long>(v);
}

long F(Float32 v)
{
  long l = 0;
  std::memcpy(&l, &v, sizeof v);
  return l;
}

} // namespace

OSErr GetComponentInfo(Component component, ComponentDescription* desc, Handle, Handle, Handle)
{
  if (!component) return -2003; // badComponentInstance
  const ComponentRecord* record = component;
  if (component->mKind == 2) record = reinterpret_cast<ComponentInstanceRecord*>(component)->mComponent;
  if (!record || record->mKind != 1) return -2003;
  if (desc) *desc = record->mDesc;
  return noErr;
}

Handle GetComponentInstanceStorage(ComponentInstance instance)
{
  return instance ? instance->mStorage : nullptr;
}

void SetComponentInstanceStorage(ComponentInstance instance, Handle storage)
{
  if (instance) instance->mStorage = storage;
}

OSStatus AUEventListenerNotify(AUEventListenerRef, void*, const AudioUnitEvent* inEvent)
{
  if (!inEvent) return -50; // paramErr
  std::lock_guard<std::mutex> lock(gMutex);
  gEvents.push_back(*inEvent);
  return noErr;
}

Component StandInRegisterComponent(const ComponentDescription& desc, ComponentRoutineProcPtr entry)
{
  std::lock_guard<std::mutex> lock(gMutex);
  auto record = std::make_unique<ComponentRecord>();
  record->mDesc = desc;
  record->mEntry = entry;
  gComponents.push_back(std::move(record));
  return gComponents.back().get();
}

ComponentInstance StandInOpenComponent(Component component)
{
  if (!component || component->mKind != 1) return nullptr;
  auto* ci = new ComponentInstanceRecord;
  ci->mComponent = component;
  if (Call(ci, kComponentOpenSelect, {L(ci)}) != noErr) {
    delete ci;
    return nullptr;
  }
  return ci;
}

OSStatus StandInCloseComponent(ComponentInstance instance)
{
  if (!instance) return -2003;
  const OSStatus err = Call(instance, kComponentCloseSelect, {L(instance)});
  delete instance;
  return err;
}

OSStatus StandInCallComponent(ComponentInstance instance, SInt16 what, const std::vector<long>& args)
{
  return Call(instance, what, args);
}

std::vector<AudioUnitEvent> StandInNotifiedEvents()
{
  std::lock_guard<std::mutex> lock(gMutex);
  return gEvents;
}

void StandInClearNotifiedEvents()
{
  std::lock_guard<std::mutex> lock(gMutex);
  gEvents.clear();
}

OSStatus AudioUnitInitialize(AudioUnit u)
{
  return Call(u, kAudioUnitInitializeSelect, {});
}
OSStatus AudioUnitUninitialize(AudioUnit u)
{
  return Call(u, kAudioUnitUninitializeSelect, {});
}

OSStatus AudioUnitGetPropertyInfo(AudioUnit u, AudioUnitPropertyID id, AudioUnitScope scope,
                                  AudioUnitElement element, UInt32* outDataSize, Boolean* outWritable)
{
  return Call(u, kAudioUnitGetPropertyInfoSelect,
              {L(id), L(scope), L(element), L(outDataSize), L(outWritable)});
}

OSStatus AudioUnitGetProperty(AudioUnit u, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element, void* outData, UInt32* ioDataSize)
{
  return Call(u, kAudioUnitGetPropertySelect, {L(id), L(scope), L(element), L(outData), L(ioDataSize)});
}

OSStatus AudioUnitSetProperty(AudioUnit u, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element, const void* inData, UInt32 inDataSize)
{
  return Call(u, kAudioUnitSetPropertySelect, {L(id), L(scope), L(element), L(inData), L(inDataSize)});
}

OSStatus AudioUnitGetParameter(AudioUnit u, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue* outValue)
{
  return Call(u, kAudioUnitGetParameterSelect, {L(id), L(scope), L(element), L(outValue)});
}

OSStatus AudioUnitSetParameter(AudioUnit u, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue value, UInt32 bufferOffset)
{
  return Call(u, kAudioUnitSetParameterSelect, {L(id), L(scope), L(element), F(value), L(bufferOffset)});
}

OSStatus AudioUnitReset(AudioUnit u, AudioUnitScope scope, AudioUnitElement element)
{
  return Call(u, kAudioUnitResetSelect, {L(scope), L(element)});
}

OSStatus AudioUnitAddPropertyListener(AudioUnit u, AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                      void* userData)
{
  return Call(u, kAudioUnitAddPropertyListenerSelect, {L(id), L(proc), L(userData)});
}

OSStatus AudioUnitRemovePropertyListener(AudioUnit u, AudioUnitPropertyID id,
                                         AudioUnitPropertyListenerProc proc)
{
  return Call(u, kAudioUnitRemovePropertyListenerSelect, {L(id), L(proc)});
}

OSStatus AudioUnitRemovePropertyListenerWithUserData(AudioUnit u, AudioUnitPropertyID id,
                                                     AudioUnitPropertyListenerProc proc, void* userData)
{
  return Call(u, kAudioUnitRemovePropertyListenerWithUserDataSelect, {L(id), L(proc), L(userData)});
}

OSStatus AudioUnitAddRenderNotify(AudioUnit u, AURenderCallback proc, void* refCon)
{
  return Call(u, kAudioUnitAddRenderNotifySelect, {L(proc), L(refCon)});
}

OSStatus AudioUnitRemoveRenderNotify(AudioUnit u, AURenderCallback proc, void* refCon)
{
  return Call(u, kAudioUnitRemoveRenderNotifySelect, {L(proc), L(refCon)});
}

OSStatus AudioUnitScheduleParameters(AudioUnit u, const AudioUnitParameterEvent* events, UInt32 numEvents)
{
  return Call(u, kAudioUnitScheduleParametersSelect, {L(events), L(numEvents)});
}

OSStatus AudioUnitRender(AudioUnit u, AudioUnitRenderActionFlags* ioActionFlags,
                         const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber, UInt32 inNumberFrames,
                         AudioBufferList* ioData)
{
  return Call(u, kAudioUnitRenderSelect,
              {L(ioActionFlags), L(inTimeStamp), L(inOutputBusNumber), L(inNumberFrames), L(ioData)});
}

OSStatus MusicDeviceMIDIEvent(AudioUnit u, UInt32 inStatus, UInt32 inData1, UInt32 inData2,
                              UInt32 inOffsetSampleFrame)
{
  return Call(u, kMusicDeviceMIDIEventSelect, {L(inStatus), L(inData1), L(inData2), L(inOffsetSampleFrame)});
}

OSStatus MusicDeviceSysEx(AudioUnit u, const UInt8* inData, UInt32 inLength)
{
  return Call(u, kMusicDeviceSysExSelect, {L(inData), L(inLength)});
}

OSStatus MusicDeviceStartNote(AudioUnit u, MusicDeviceInstrumentID inInstrument, MusicDeviceGroupID inGroupID,
                              NoteInstanceID* outNoteInstanceID, UInt32 inOffsetSampleFrame,
                              const MusicDeviceNoteParams* inParams)
{
  return Call(u, kMusicDeviceStartNoteSelect,
              {L(inInstrument), L(inGroupID), L(outNoteInstanceID), L(inOffsetSampleFrame), L(inParams)});
}

OSStatus MusicDeviceStopNote(AudioUnit u, MusicDeviceGroupID inGroupID, NoteInstanceID inNoteInstanceID,
                             UInt32 inOffsetSampleFrame)
{
  return Call(u, kMusicDeviceStopNoteSelect, {L(inGroupID), L(inNoteInstanceID), L(inOffsetSampleFrame)});
}
