// The Audio Unit adapter seen from a host: properties, parameters, formats,
// rendering, MIDI, host time, class info, presets, listeners and views.
#include "au_host.h"

#include "plugin/graphics/IGraphics.h"
#include "zorva/param_ids.h"

#include <algorithm>
#include <cstring>
#include <tuple>

namespace {

std::string Text(CFStringRef s)
{
  char buf[256] = {};
  const bool ok = CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingUTF8);
  CFRelease(s);
  return ok ? buf : "<none>";
}

CFStringRef Str(const char* text)
{
  return CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
}

CFNumberRef Num(SInt32 v)
{
  return CFNumberCreate(nullptr, kCFNumberSInt32Type, &v);
}

// What the listeners and render notifications were told, in order.
using Calls = std::vector<std::string>;

void Listener(void* user, AudioUnit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement)
{
  static_cast<Calls*>(user)->push_back("prop " + std::to_string(id));
}

OSStatus Notify(void* user, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*, UInt32, UInt32,
                AudioBufferList*)
{
  static_cast<Calls*>(user)->push_back(*flags == kAudioUnitRenderAction_PreRender ? "pre" : "post");
  return noErr;
}

} // namespace

TEST_F(AUHostTest, AnswersItsPropertiesAndRefusesWrongScopesElementsAndSizes)
{
  for (int selector : {1, 7, 9, 11, 14, 17})
    EXPECT_EQ(StandInCallComponent(mUnit, kComponentCanDoSelect, {selector}), 1);
  for (int selector : {0, 8, 12, 13, 18, 257})
    EXPECT_EQ(StandInCallComponent(mUnit, kComponentCanDoSelect, {selector}), 0);
  EXPECT_EQ(StandInCallComponent(mUnit, 13, {}), badComponentSelector);

  UInt32 outputs = 0, inputs = 9, instruments = 0;
  EXPECT_EQ(Get(kAudioUnitProperty_ElementCount, kOutput, 0, outputs), noErr);
  EXPECT_EQ(Get(kAudioUnitProperty_ElementCount, kInput, 0, inputs), noErr);
  EXPECT_EQ(Get(kMusicDeviceProperty_InstrumentCount, kGlobal, 0, instruments), noErr);
  EXPECT_EQ(std::tuple(outputs, inputs, instruments), std::tuple(1u, 0u, 1u));
  AUChannelInfo io[2] = {};
  ASSERT_EQ(Get(kAudioUnitProperty_SupportedNumChannels, kGlobal, 0, io), noErr);
  EXPECT_EQ(std::tuple(io[0].outChannels, io[1].outChannels), std::tuple(1, 2));
  AudioStreamBasicDescription asbd = {};
  ASSERT_EQ(Get(kAudioUnitProperty_StreamFormat, kOutput, 0, asbd), noErr);
  EXPECT_EQ(std::tuple(asbd.mFormatFlags, asbd.mChannelsPerFrame), std::tuple(0x29u, 2u));
  CFStringRef name = nullptr;
  ASSERT_EQ(Get(kAudioUnitProperty_ElementName, kOutput, 0, name), noErr);
  EXPECT_EQ(Text(name), "output 1");
  Float64 seconds = -1.0;
  EXPECT_EQ(Get(kAudioUnitProperty_Latency, kGlobal, 0, seconds), noErr);
  EXPECT_EQ(seconds, 0.0);
  EXPECT_EQ(Get(kAudioUnitProperty_TailTime, kGlobal, 0, seconds), noErr);
  void* proc = nullptr;
  EXPECT_EQ(Get(kAudioUnitProperty_FastDispatch, kGlobal, kAudioUnitRenderSelect, proc), noErr);
  EXPECT_EQ(proc, reinterpret_cast<void*>(&IPluginAU::RenderProc));

  // Wrong buses, scopes and elements, and what the unit does not have.
  using Refusal = std::tuple<AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, UInt32, OSStatus>;
  std::vector<Refusal> refusals = {
      {kAudioUnitProperty_StreamFormat, kOutput, 1, sizeof asbd, kAudioUnitErr_InvalidProperty},
      {kAudioUnitProperty_StreamFormat, kInput, 0, sizeof asbd, kAudioUnitErr_InvalidProperty},
      {kAudioUnitProperty_ElementName, kOutput, 1, sizeof name, kAudioUnitErr_InvalidElement},
      {kAudioUnitProperty_ElementName, kGlobal, 0, sizeof name, kAudioUnitErr_InvalidScope},
      {kAudioUnitProperty_Latency, kOutput, 0, sizeof seconds, kAudioUnitErr_InvalidProperty},
      {kAudioUnitProperty_FastDispatch, kGlobal, 257, sizeof proc, kAudioUnitErr_InvalidElement},
      {kAudioUnitProperty_AudioChannelLayout, kOutput, 0, 4, kAudioUnitErr_InvalidPropertyValue},
      {kAudioUnitProperty_SetRenderCallback, kInput, 0, 4, kAudioUnitErr_InvalidProperty},
      // A short buffer is never written.
      {kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, 0, 2, kAudioUnitErr_InvalidPropertyValue}};
  for (AudioUnitPropertyID id : {6u, 7u, 9u, 10u, 15u, 17u, 25u, 26u, 29u, 37u, 32u, 999u})
    refusals.emplace_back(id, kGlobal, 0, 4, kAudioUnitErr_InvalidProperty);
  for (auto [id, scope, element, size, error] : refusals) {
    unsigned char buffer[64];
    std::memset(buffer, 0x55, sizeof buffer);
    EXPECT_EQ(AudioUnitGetProperty(mUnit, id, scope, element, buffer, &size), error) << id << " " << scope;
    EXPECT_EQ(buffer[0], 0x55) << id;
  }
  UInt32 any = 0;
  EXPECT_EQ(Set(kAudioUnitProperty_LastRenderError, kGlobal, 0, any), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(AudioUnitSetProperty(mUnit, kAudioUnitProperty_SampleRate, kGlobal, 0, &any, 2),
            kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(Set(kAudioUnitProperty_SampleRate, kGlobal, 0, Float64(0.0)), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(Set(kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, 0, UInt32(0)),
            kAudioUnitErr_InvalidPropertyValue);

  // Sizes and writability come first.
  auto info = [&](AudioUnitPropertyID id, AudioUnitScope scope) {
    UInt32 size = 0;
    Boolean writable = true;
    const OSStatus err = AudioUnitGetPropertyInfo(mUnit, id, scope, 0, &size, &writable);
    return std::tuple(err, size, int(writable));
  };
  EXPECT_EQ(info(kAudioUnitProperty_ParameterList, kGlobal), std::tuple(noErr, 400u, 0));
  EXPECT_EQ(info(kAudioUnitProperty_ParameterList, kOutput), std::tuple(noErr, 0u, 0));
  EXPECT_EQ(info(kAudioUnitProperty_MaximumFramesPerSlice, kGlobal), std::tuple(noErr, 4u, 1));
}

TEST_F(AUHostTest, ExposesParametersInTheirOwnUnitsWithTheirTextsAndAnnouncesEditorGestures)
{
  AudioUnitParameterInfo info = {};
  ASSERT_EQ(Get(kAudioUnitProperty_ParameterInfo, kGlobal, kVolume, info), noErr);
  EXPECT_STREQ(info.name, "Volume");
  EXPECT_EQ(Text(info.cfNameString), "Volume");
  EXPECT_EQ(std::tuple(info.flags, info.unit, info.maxValue),
            std::tuple(0xC8000010u, kAudioUnitParameterUnit_Generic, 2.0f));
  ASSERT_EQ(Get(kAudioUnitProperty_ParameterInfo, kGlobal, kFreeRun, info), noErr);
  EXPECT_EQ(info.unit, UInt32(kAudioUnitParameterUnit_Indexed));
  CFRelease(info.cfNameString);
  EXPECT_EQ(Get(kAudioUnitProperty_ParameterInfo, kGlobal, 100, info), kAudioUnitErr_InvalidElement);
  EXPECT_EQ(Get(kAudioUnitProperty_ParameterInfo, kOutput, 0, info), kAudioUnitErr_InvalidProperty);

  // Plain units both ways, clamped to the range; only the global scope.
  ASSERT_EQ(AudioUnitSetParameter(mUnit, kVolume, kGlobal, 0, 1.5f, 0), noErr);
  AudioUnitParameterValue value = 0.0f;
  EXPECT_EQ(Param(kVolume), 1.5f);
  ASSERT_EQ(AudioUnitSetParameter(mUnit, kVolume, kGlobal, 0, 9.0f, 0), noErr);
  EXPECT_EQ(Param(kVolume), 2.0f);
  EXPECT_EQ(AudioUnitSetParameter(mUnit, kVolume, kOutput, 0, 1.0f, 0), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(AudioUnitGetParameter(mUnit, 100, kGlobal, 0, &value), kAudioUnitErr_InvalidElement);

  // Scheduled: immediate events apply in order, ramps are ignored, an error stops the call.
  AudioUnitParameterEvent events[3] = {};
  events[0] = {kGlobal, 0, kVolume, kParameterEvent_Immediate, {}};
  events[0].eventValues.immediate.value = 0.5f;
  events[1] = {kGlobal, 0, kPitchBendRange, kParameterEvent_Ramped, {}};
  events[2] = {kOutput, 0, kPitchBendRange, kParameterEvent_Immediate, {}};
  EXPECT_EQ(AudioUnitScheduleParameters(mUnit, events, 3), kAudioUnitErr_InvalidProperty);
  EXPECT_EQ(Param(kVolume), 0.5f);

  for (auto [length, name] : {std::pair{4, "Free"}, {40, "Free Run"}}) {
    AudioUnitParameterIDName idName = {kFreeRun, length, nullptr};
    ASSERT_EQ(Get(kAudioUnitProperty_ParameterIDName, kGlobal, 0, idName), noErr);
    EXPECT_EQ(Text(idName.outName), name);
  }

  CFArrayRef texts = nullptr;
  ASSERT_EQ(Get(kAudioUnitProperty_ParameterValueStrings, kGlobal, kFreeRun, texts), noErr);
  ASSERT_EQ(CFArrayGetCount(texts), 2);
  auto second = static_cast<CFStringRef>(CFArrayGetValueAtIndex(texts, 1));
  EXPECT_EQ(Text(CFStringCreateCopy(nullptr, second)), "On") << "the text of the value 1";
  CFRelease(texts);
  EXPECT_EQ(Get(kAudioUnitProperty_ParameterValueStrings, kGlobal, kVolume, texts),
            kAudioUnitErr_InvalidProperty);

  const AudioUnitParameterValue two = 2.0f;
  AudioUnitParameterStringFromValue toText = {kVolume, &two, nullptr};
  ASSERT_EQ(Get(kAudioUnitProperty_ParameterStringFromValue, kGlobal, 0, toText), noErr);
  EXPECT_NE(Text(toText.outString), "<none>");

  // Texts match exactly; no match leaves the value unset.
  for (auto [id, text, want] : {std::tuple{kFreeRun, "on", -7.0f}, {kVolume, "0.25", 0.25f}}) {
    AudioUnitParameterValueFromString fromText = {AudioUnitParameterID(id), Str(text), -7.0f};
    ASSERT_EQ(Get(kAudioUnitProperty_ParameterValueFromString, kGlobal, 0, fromText), noErr);
    EXPECT_EQ(fromText.outValue, want) << text;
    CFRelease(fromText.inString);
  }

  AudioUnitParameterNameInfo clump = {0, -1, nullptr};
  EXPECT_EQ(Get(kAudioUnitProperty_ParameterClumpName, kGlobal, 0, clump),
            kAudioUnitErr_InvalidPropertyValue);

  // Gestures from the editor are announced to the host.
  StandInClearNotifiedEvents();
  Plug()->BeginInformHostOfParamChange(kVolume);
  Plug()->SetParameterFromGUI(kVolume, 0.25);
  Plug()->EndInformHostOfParamChange(kVolume);
  const std::vector<AudioUnitEvent> notified = StandInNotifiedEvents();
  ASSERT_EQ(notified.size(), 3u);
  const UInt32 kinds[] = {kAudioUnitEvent_BeginParameterChangeGesture, kAudioUnitEvent_ParameterValueChange,
                          kAudioUnitEvent_EndParameterChangeGesture};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(notified[i].mEventType, kinds[i]);
    EXPECT_EQ(notified[i].mArgument.mParameter.mAudioUnit, mUnit);
    EXPECT_EQ(notified[i].mArgument.mParameter.mParameterID, UInt32(kVolume));
  }
  EXPECT_EQ(Param(kVolume), 0.5f) << "the host reads the plain value back";
}

TEST_F(AUHostTest, NegotiatesStreamFormatsAndInitializesOnlyALegalConfiguration)
{
  EXPECT_EQ(Set(kAudioUnitProperty_StreamFormat, kOutput, 0, FloatFormat(1, 48000.0)), noErr);
  Float64 rate = 0.0;
  EXPECT_EQ(Get(kAudioUnitProperty_SampleRate, kGlobal, 0, rate), noErr);
  EXPECT_EQ(rate, 48000.0);
  AudioStreamBasicDescription integers = FloatFormat(2);
  integers.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
  integers.mBitsPerChannel = 16;
  AudioStreamBasicDescription interleaved = FloatFormat(2);
  interleaved.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked;
  for (const AudioStreamBasicDescription& bad : {FloatFormat(3), FloatFormat(0), integers, interleaved}) {
    EXPECT_EQ(Set(kAudioUnitProperty_StreamFormat, kOutput, 0, bad), kAudioUnitErr_InvalidProperty);
    AudioStreamBasicDescription now = {};
    ASSERT_EQ(Get(kAudioUnitProperty_StreamFormat, kOutput, 0, now), noErr);
    EXPECT_EQ(now.mChannelsPerFrame, 0u) << "a refused format leaves the bus without channels";
  }
  EXPECT_EQ(AudioUnitInitialize(mUnit), badComponentSelector);
  EXPECT_EQ(Set(kAudioUnitProperty_StreamFormat, kOutput, 0, FloatFormat(2)), noErr);
  EXPECT_EQ(AudioUnitInitialize(mUnit), noErr);
  // While initialized the output may still change between the legal configurations.
  EXPECT_EQ(Set(kAudioUnitProperty_StreamFormat, kOutput, 0, FloatFormat(1)), noErr);
  EXPECT_EQ(AudioUnitUninitialize(mUnit), noErr);
}

TEST_F(AUHostTest, RendersOnThePullWithTheHostsOrItsOwnBuffers)
{
  Calls calls;
  ASSERT_EQ(AudioUnitAddRenderNotify(mUnit, &Notify, &calls), noErr);
  Prepare(1024);
  std::vector<float> left(1025), right(1025);
  EXPECT_EQ(Render(0, 1025, {left.data(), right.data()}), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(RenderOn(mUnit, 0, 64, {left.data(), right.data()}, 256, 0, 0),
            kAudioUnitErr_InvalidPropertyValue)
      << "no sample time";
  EXPECT_EQ(RenderOn(mUnit, 0, 64, {left.data(), right.data()}, 256, 1), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_EQ(RenderOn(mUnit, 0, 65, {left.data(), right.data()}, 256), kAudioUnitErr_InvalidPropertyValue)
      << "65 frames do not fit the host's 256-byte buffers";
  EXPECT_TRUE(calls.empty()) << "refused before anything is touched";

  // A held chord, rendered into the host's buffers, then into the unit's own.
  ASSERT_EQ(MusicDeviceMIDIEvent(mUnit, 0x90, 60, 100, 0), noErr);
  ASSERT_EQ(MusicDeviceMIDIEvent(mUnit, 0x90, 67, 100, 10), noErr);
  ASSERT_EQ(Render(0, 512, {left.data(), right.data()}), noErr);
  EXPECT_EQ(calls, (std::vector<std::string>{"pre", "post"}));
  EXPECT_GT(*std::max_element(left.begin(), left.begin() + 512), 0.001f);
  ASSERT_EQ(Render(512, 512, {nullptr, nullptr}), noErr);
  ASSERT_TRUE(mLastBuffers[0] && mLastBuffers[1]);
  EXPECT_GT(*std::max_element(mLastBuffers[1], mLastBuffers[1] + 512), 0.001f)
      << "the samples are in the unit's scratch after the call";

  // One buffer: output 1 is rendered to its scratch, output 0 reaches the host.
  std::fill(left.begin(), left.end(), 0.0f);
  ASSERT_EQ(Render(1024, 512, {left.data()}), noErr);
  EXPECT_GT(*std::max_element(left.begin(), left.begin() + 512), 0.001f);
  EXPECT_TRUE(Plug()->IsOutChannelConnected(0));
  EXPECT_FALSE(Plug()->IsOutChannelConnected(1));
  EXPECT_EQ(AudioUnitRemoveRenderNotify(mUnit, &Notify, &calls), noErr);
  ASSERT_EQ(Render(1536, 512, {left.data(), right.data()}), noErr);
  EXPECT_EQ(calls.size(), 6u);
  EXPECT_TRUE(Plug()->IsOutChannelConnected(1));
}

TEST_F(AUHostTest, TakesNotesThroughTheMusicDeviceCalls)
{
  Prepare(512);
  NoteInstanceID id = 0;
  const MusicDeviceNoteParams note = {2, 60.7f, 100.9f};
  ASSERT_EQ(MusicDeviceStartNote(mUnit, 0, 0, &id, 5, &note), noErr);
  EXPECT_EQ(id, 60u);
  const MusicDeviceNoteParams wild = {2, 1e9f, NAN};
  EXPECT_EQ(MusicDeviceStartNote(mUnit, 0, 0, &id, 0, &wild), kAudioUnitErr_InvalidPropertyValue);
  std::vector<float> left(512), right(512);
  ASSERT_EQ(Render(0, 512, {left.data(), right.data()}), noErr);
  EXPECT_GT(*std::max_element(left.begin(), left.end()), 0.001f);
  ASSERT_EQ(MusicDeviceStopNote(mUnit, 0, id, 0), noErr);
  EXPECT_EQ(MusicDeviceStopNote(mUnit, 0, 300, 0), kAudioUnitErr_InvalidPropertyValue);
  const UInt8 sysex[] = {0xF0, 0x7E, 0x00, 0xF7};
  EXPECT_EQ(MusicDeviceSysEx(mUnit, sysex, sizeof sysex), noErr);
  EXPECT_EQ(StandInCallComponent(mUnit, kMusicDevicePrepareInstrumentSelect, {0}), noErr);
}

TEST_F(AUHostTest, ReadsTempoAndTransportFromTheHostCallbacksWhenThereAreAny)
{
  IPluginAU* plug = Plug();
  EXPECT_EQ(std::pair(plug->GetTempo(), plug->GetSamplePos()), std::pair(120.0, 0.0));
  int num = -1, denom = -1;
  plug->GetTimeSig(&num, &denom);
  EXPECT_EQ(num, -1) << "without a callback nothing is written";
  ITimeInfo info;
  plug->GetTime(&info);
  EXPECT_EQ(info.mPPQPos, -1.0);

  HostTransport host;
  ASSERT_EQ(Set(kAudioUnitProperty_HostCallbacks, kGlobal, 0, host.Callbacks()), noErr);
  host = {6.5, 90.0, 1234.6, true, 7.0f, 8, 4.0}; // beat, tempo, sample, playing, 7/8, bar at 4
  EXPECT_EQ(std::pair(plug->GetTempo(), plug->GetSamplePos()), std::pair(90.0, 1235.0));
  plug->GetTimeSig(&num, &denom);
  EXPECT_EQ(std::tuple(num, denom), std::tuple(7, 8));
  plug->GetTime(&info);
  EXPECT_EQ(std::tuple(info.mTempo, info.mPPQPos, info.mLastBar, info.mTransportIsRunning),
            std::tuple(90.0, 6.5, 4.0, true));
  // A reported 0 never overwrites: the last positive value stays.
  host.mTempo = 0.0;
  host.mBeat = 0.0;
  plug->GetTime(&info);
  EXPECT_EQ(std::tuple(info.mTempo, info.mPPQPos, plug->GetTempo()), std::tuple(90.0, 6.5, 90.0));
}

TEST_F(AUHostTest, SavesAndRestoresTheClassInfoAndRefusesForeignOrMalformedOnes)
{
  ASSERT_EQ(AudioUnitSetParameter(mUnit, kVolume, kGlobal, 0, 1.25f, 0), noErr);
  const int savedProgram = Plug()->GetCurrentPresetIdx();
  ASSERT_NE(savedProgram, 2);
  CFPropertyListRef saved = nullptr;
  ASSERT_EQ(Get(kAudioUnitProperty_ClassInfo, kGlobal, 0, saved), noErr);
  auto dict = static_cast<CFDictionaryRef>(saved);
  CFStringRef dataKey = Str("data"), typeKey = Str("type");
  auto data = static_cast<CFDataRef>(CFDictionaryGetValue(dict, dataKey));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(CFDataGetLength(data), 800);
  SInt32 type = 0;
  ASSERT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(dict, typeKey)),
                               kCFNumberSInt32Type, &type));
  EXPECT_EQ(OSType(type), OSType(kAudioUnitType_MusicDevice)) << "the registered codes, not the plug-in's";

  ASSERT_EQ(AudioUnitSetParameter(mUnit, kVolume, kGlobal, 0, 0.5f, 0), noErr);
  ASSERT_EQ(Set(kAudioUnitProperty_ClassInfo, kGlobal, 0, saved), noErr);
  EXPECT_EQ(Param(kVolume), 1.25f);

  // Copies of the saved dictionary with one thing wrong.
  auto variant = [&](const char* key, CFTypeRef value) {
    CFMutableDictionaryRef copy = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                            &kCFTypeDictionaryValueCallBacks);
    for (const char* k : {"version", "type", "subtype", "manufacturer", "name", "data"}) {
      CFStringRef ks = Str(k);
      const void* v = std::strcmp(k, key) != 0 ? CFDictionaryGetValue(dict, ks) : value;
      if (v) CFDictionarySetValue(copy, ks, v);
      CFRelease(ks);
    }
    if (value) CFRelease(value);
    return copy;
  };
  const AUPreset other = {2, nullptr};
  ASSERT_EQ(Set(kAudioUnitProperty_PresentPreset, kGlobal, 0, other), noErr);
  ASSERT_EQ(AudioUnitSetParameter(mUnit, kVolume, kGlobal, 0, 0.5f, 0), noErr);
  const CFTypeRef hostile[] = {Str("not a dictionary"),
                               variant("subtype", Num(0x41424344)),
                               variant("manufacturer", Num(0x41424344)),
                               variant("type", Str("aumu")),
                               variant("version", nullptr),
                               variant("name", Num(3)),
                               variant("data", Str("not data")),
                               variant("data", nullptr)};
  for (size_t i = 0; i < std::size(hostile); ++i) {
    EXPECT_EQ(Set(kAudioUnitProperty_ClassInfo, kGlobal, 0, CFPropertyListRef(hostile[i])),
              kAudioUnitErr_InvalidPropertyValue)
        << i;
    CFRelease(hostile[i]);
    // A refused dictionary changes nothing, not even the program.
    EXPECT_EQ(std::tuple(Param(kVolume), Plug()->GetCurrentPresetIdx()), std::tuple(0.5f, 2)) << i;
  }
  EXPECT_EQ(Set(kAudioUnitProperty_ClassInfo, kGlobal, 0, CFPropertyListRef(nullptr)),
            kAudioUnitErr_InvalidPropertyValue);

  // Data four bytes short is still a state: the last value is lost, the rest restored.
  CFMutableDictionaryRef truncated = variant("data", CFDataCreate(nullptr, CFDataGetBytePtr(data), 796));
  EXPECT_EQ(Set(kAudioUnitProperty_ClassInfo, kGlobal, 0, CFPropertyListRef(truncated)), noErr);
  EXPECT_EQ(Param(kVolume), 1.25f);
  EXPECT_EQ(Plug()->GetCurrentPresetIdx(), savedProgram) << "the program named in the dictionary";
  CFRelease(truncated);

  CFRelease(dataKey);
  CFRelease(typeKey);
  CFRelease(saved);
}

TEST_F(AUHostTest, ListsAndSelectsFactoryPresetsAndTellsListeners)
{
  CFArrayRef presets = nullptr;
  ASSERT_EQ(Get(kAudioUnitProperty_FactoryPresets, kGlobal, 0, presets), noErr);
  ASSERT_EQ(CFArrayGetCount(presets), Plug()->NPresets());
  auto third = [&] { return static_cast<const AUPreset*>(CFArrayGetValueAtIndex(presets, 2)); };
  EXPECT_EQ(third()->presetNumber, 2);
  const std::string name = Text(CFStringCreateCopy(nullptr, third()->presetName));
  EXPECT_EQ(name, Plug()->GetPresetName(2));

  Calls calls, other;
  ASSERT_EQ(AudioUnitAddPropertyListener(mUnit, kAudioUnitProperty_PresentPreset, &Listener, &calls), noErr);
  ASSERT_EQ(AudioUnitAddPropertyListener(mUnit, kAudioUnitProperty_PresentPreset, &Listener, &other), noErr);
  const AUPreset choice = {2, nullptr};
  ASSERT_EQ(Set(kAudioUnitProperty_PresentPreset, kGlobal, 0, choice), noErr);
  EXPECT_EQ(calls.size(), 1u) << "before the change, and only one listener for one procedure";
  EXPECT_TRUE(other.empty());
  AUPreset current = {};
  ASSERT_EQ(Get(kAudioUnitProperty_CurrentPreset, kGlobal, 0, current), noErr);
  EXPECT_EQ(current.presetNumber, 2);
  EXPECT_EQ(Text(current.presetName), name);

  // A program change made inside the instrument is announced to the same listeners.
  calls.clear();
  Plug()->InformHostOfProgramChange();
  EXPECT_EQ(calls, (std::vector<std::string>{"prop 36"}));

  // Removed with its user data although can-do denies the selector: removing the
  // other's leaves this one listening, removing this one's silences it.
  for (Calls* user : {&other, &calls}) {
    ASSERT_EQ(
        AudioUnitRemovePropertyListenerWithUserData(mUnit, kAudioUnitProperty_PresentPreset, &Listener, user),
        noErr);
    ASSERT_EQ(Set(kAudioUnitProperty_PresentPreset, kGlobal, 0, choice), noErr);
    EXPECT_EQ(calls.size(), 2u);
  }

  // The records survive the array's own release of them.
  CFRetain(presets);
  CFRelease(presets);
  EXPECT_EQ(Text(CFStringCreateCopy(nullptr, third()->presetName)), name);
  CFRelease(presets);
}

TEST_F(AUHostTest, HandsTheEditorToTheViewFactoryAndTheViewEntry)
{
  ComponentDescription ui = {};
  ASSERT_EQ(Get(kAudioUnitProperty_GetUIComponentList, kGlobal, 0, ui), noErr);
  EXPECT_EQ(ui.componentType, OSType(kAudioUnitCarbonViewComponentType));
  EXPECT_EQ(ui.componentSubType, kZorvaSubtype);

  AudioUnitCocoaViewInfo cocoa = {};
  EXPECT_EQ(Get(kAudioUnitProperty_CocoaUI, kGlobal, 0, cocoa), kAudioUnitErr_InvalidProperty)
      << "no bundle of that identifier is installed";
  StandInRegisterBundle("com.tamsodyne.audiounit.Zorva",
                        "file:///Library/Audio/Plug-Ins/Components/Zorva.component");
  ASSERT_EQ(Get(kAudioUnitProperty_CocoaUI, kGlobal, 0, cocoa), noErr);
  EXPECT_STREQ(StandInURLText(cocoa.mCocoaAUViewBundleLocation),
               "file:///Library/Audio/Plug-Ins/Components/Zorva.component");
  CFRelease(cocoa.mCocoaAUViewBundleLocation);
  EXPECT_EQ(Text(cocoa.mCocoaAUViewClass[0]), "Zorva_View");

  Zorva_View factory;
  EXPECT_EQ(factory.uiViewForAudioUnit(nullptr, 0, 0), nullptr);
  EXPECT_NE(factory.uiViewForAudioUnit(mUnit, 100, 100), nullptr);
  EXPECT_NE(Plug()->GetGUI()->GetWindow(), nullptr);

  static Component view = StandInRegisterComponent(
      {kAudioUnitCarbonViewComponentType, kZorvaSubtype, kZorvaMfr, 0, 0}, &Zorva_ViewEntry);
  ComponentInstance viewCI = StandInOpenComponent(view);
  ASSERT_NE(viewCI, nullptr);
  void* control = nullptr;
  EXPECT_EQ(
      StandInCallComponent(viewCI, kAudioUnitCarbonViewCreateSelect,
                           {reinterpret_cast<long>(mUnit), 0, 0, 0, 0, reinterpret_cast<long>(&control)}),
      noErr);
  EXPECT_EQ(StandInCloseComponent(viewCI), noErr);
  EXPECT_EQ(Plug()->GetGUI()->GetWindow(), nullptr);
}
