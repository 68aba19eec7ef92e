#pragma once

// A test host for the Audio Unit build: it registers the component, opens it
// through its entry and drives it only through the platform's calls, as a
// well-behaved host does (formats and maximum frames set before Initialize,
// sample times advancing by the frames rendered, one render per output bus).

#include "plugin/api/au/platform/StandIn.h"
#include "tests/common/test_folder.h"
#include "zorva/zorva_au_entry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

constexpr OSType kZorvaSubtype = 0x31723736; // '1r76'
constexpr OSType kZorvaMfr = 0x54616d73;     // 'Tams'

inline Component ZorvaComponent()
{
  static Component component =
      StandInRegisterComponent({kAudioUnitType_MusicDevice, kZorvaSubtype, kZorvaMfr, 0, 0}, &Zorva_Entry);
  return component;
}

// What the host reports through its callbacks.
struct HostTransport
{
  double mBeat = 0.0, mTempo = 120.0, mSample = 0.0;
  bool mPlaying = false;
  float mNumerator = 4.0f;
  UInt32 mDenominator = 4;
  double mDownBeat = 0.0;

  template <class T, class V> static void Put(T* to, V value)
  {
    if (to) *to = T(value);
  }
  static OSStatus BeatAndTempo(void* user, Float64* beat, Float64* tempo)
  {
    auto* t = static_cast<HostTransport*>(user);
    Put(beat, t->mBeat);
    Put(tempo, t->mTempo);
    return noErr;
  }
  static OSStatus TimeLocation(void* user, UInt32* delta, Float32* num, UInt32* denom, Float64* downBeat)
  {
    auto* t = static_cast<HostTransport*>(user);
    Put(delta, 0), Put(num, t->mNumerator), Put(denom, t->mDenominator), Put(downBeat, t->mDownBeat);
    return noErr;
  }
  static OSStatus Transport(void* user, Boolean* playing, Boolean* changed, Float64* sample, Boolean* cycling,
                            Float64* cycleStart, Float64* cycleEnd)
  {
    auto* t = static_cast<HostTransport*>(user);
    Put(playing, t->mPlaying), Put(changed, false), Put(sample, t->mSample), Put(cycling, false);
    Put(cycleStart, 0.0), Put(cycleEnd, 0.0);
    return noErr;
  }
  HostCallbackInfo Callbacks() { return {this, &BeatAndTempo, &TimeLocation, &Transport}; }
};

constexpr AudioUnitScope kGlobal = kAudioUnitScope_Global, kOutput = kAudioUnitScope_Output,
                         kInput = kAudioUnitScope_Input;

// Every test gets empty configuration folders; the factory bank is the build's.
class AUHostTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    StandInClearNotifiedEvents();
    mUnit = StandInOpenComponent(ZorvaComponent());
    ASSERT_NE(mUnit, nullptr);
  }
  void TearDown() override
  {
    if (mUnit) StandInCloseComponent(mUnit);
  }

  IPluginAU* Plug() { return reinterpret_cast<IPluginAU*>(GetComponentInstanceStorage(mUnit)); }

  // A parameter's plain value as the host reads it; NaN when refused.
  AudioUnitParameterValue Param(AudioUnitParameterID id)
  {
    AudioUnitParameterValue v = 0.0f;
    return AudioUnitGetParameter(mUnit, id, kGlobal, 0, &v) == noErr ? v : NAN;
  }
  template <class T>
  OSStatus Get(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, T& value,
               AudioUnit unit = nullptr)
  {
    UInt32 size = sizeof(T);
    return AudioUnitGetProperty(unit ? unit : mUnit, id, scope, element, &value, &size);
  }
  template <class T>
  OSStatus Set(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, const T& value,
               AudioUnit unit = nullptr)
  {
    return AudioUnitSetProperty(unit ? unit : mUnit, id, scope, element, &value, sizeof(T));
  }

  static AudioStreamBasicDescription FloatFormat(UInt32 channels, double rate = 44100.0)
  {
    const UInt32 flags =
        kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
    return {rate, kAudioFormatLinearPCM, flags, 4, 1, 4, channels, 32, 0};
  }

  void Prepare(UInt32 maxFrames, UInt32 channels = 2)
  {
    ASSERT_EQ(Set(kAudioUnitProperty_SampleRate, kGlobal, 0, Float64(44100.0)), noErr);
    ASSERT_EQ(Set(kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, 0, maxFrames), noErr);
    ASSERT_EQ(Set(kAudioUnitProperty_StreamFormat, kOutput, 0, FloatFormat(channels)), noErr);
    ASSERT_EQ(AudioUnitInitialize(mUnit), noErr);
  }

  // One pull of a unit's output bus into the host's own buffers (null data: the
  // unit's), each of bytes (0: the frames' worth).
  OSStatus RenderOn(AudioUnit unit, double sampleTime, UInt32 frames, std::vector<float*> channels,
                    UInt32 bytes = 0, UInt32 bus = 0, UInt32 timeFlags = kAudioTimeStampSampleTimeValid)
  {
    struct
    {
      UInt32 n;
      AudioBuffer b[2];
    } list = {UInt32(channels.size()), {}};
    for (size_t i = 0; i < channels.size(); ++i)
      list.b[i] = {1, bytes ? bytes : UInt32(frames * sizeof(float)), channels[i]};
    AudioTimeStamp ts = {};
    ts.mSampleTime = sampleTime;
    ts.mFlags = timeFlags;
    AudioUnitRenderActionFlags flags = 0;
    const OSStatus err =
        AudioUnitRender(unit, &flags, &ts, bus, frames, reinterpret_cast<AudioBufferList*>(&list));
    mLastBuffers.assign({static_cast<float*>(list.b[0].mData),
                         channels.size() > 1 ? static_cast<float*>(list.b[1].mData) : nullptr});
    return err;
  }
  OSStatus Render(double sampleTime, UInt32 frames, std::vector<float*> channels)
  {
    return RenderOn(mUnit, sampleTime, frames, std::move(channels));
  }

  TempFolder mFolder{"zorva-au"};
  const std::filesystem::path mDir = mFolder.dir();
  ZorvaFolders mEnv{mDir.string(), ZORVA_SHARE_DIR};
  AudioUnit mUnit = nullptr;
  std::vector<float*> mLastBuffers;
};
