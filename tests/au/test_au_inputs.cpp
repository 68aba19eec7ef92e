// Input buses of the adapter, seen through a plain two-channel effect: the host
// feeds it by render callback or by connecting another unit's output.
#include "au_host.h"

namespace {

class PassThroughEffect : public IPluginAU
{
public:
  PassThroughEffect()
      : IPluginAU({"org.example.effect", "Effect_View"}, 1, "2-2", 1, "Effect", "", "Example", 0x00010000,
                  0x65666678, 0x4578706c, 0, false, false, false)
  {
    GetParam(0)->InitDouble("Gain", 1.0, 0.0, 1.0, 0.01);
    MakeDefaultPreset();
  }
};

OSStatus EffectEntry(ComponentParameters* params, void* storage)
{
  return IPluginAU::IPluginAUEntry(params, storage, []() -> IPluginAU* { return new PassThroughEffect; });
}

struct Source
{
  int pulls = 0;
  static OSStatus Render(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp* ts, UInt32 bus,
                         UInt32 frames, AudioBufferList* list)
  {
    auto* self = static_cast<Source*>(refCon);
    ++self->pulls;
    if (bus != 0 || list->mNumberBuffers != 2) return -1;
    for (UInt32 c = 0; c < 2; ++c)
      for (UInt32 i = 0; i < frames; ++i)
        static_cast<float*>(list->mBuffers[c].mData)[i] = float(ts->mSampleTime + i) * (c ? -1e-4f : 1e-4f);
    return noErr;
  }
};

} // namespace

class AUInputTest : public AUHostTest
{
protected:
  void SetUp() override
  {
    AUHostTest::SetUp();
    static Component effect =
        StandInRegisterComponent({kAudioUnitType_Effect, 0x65666678, 0x4578706c, 0, 0}, &EffectEntry);
    mEffect = StandInOpenComponent(effect);
    ASSERT_NE(mEffect, nullptr);
  }
  void TearDown() override
  {
    StandInCloseComponent(mEffect);
    AUHostTest::TearDown();
  }
  OSStatus RenderEffect(double sampleTime, std::vector<float>& left, std::vector<float>& right)
  {
    return RenderOn(mEffect, sampleTime, UInt32(left.size()), {left.data(), right.data()});
  }
  AudioUnit mEffect = nullptr;
};

TEST_F(AUInputTest, PullsItsInputOncePerTimestampThroughTheHostsCallback)
{
  UInt32 count = 0;
  ASSERT_EQ(Get(kAudioUnitProperty_ElementCount, kInput, 0, count, mEffect), noErr);
  EXPECT_EQ(count, 1u);
  CFStringRef name = nullptr;
  ASSERT_EQ(Get(kAudioUnitProperty_ElementName, kInput, 0, name, mEffect), noErr);
  CFRelease(name);

  Source source;
  const AURenderCallbackStruct callback = {&Source::Render, &source};
  EXPECT_EQ(Set(kAudioUnitProperty_SetRenderCallback, kInput, 1, callback, mEffect),
            kAudioUnitErr_InvalidProperty);
  ASSERT_EQ(Set(kAudioUnitProperty_SetRenderCallback, kInput, 0, callback, mEffect), noErr);
  ASSERT_EQ(AudioUnitInitialize(mEffect), noErr);

  std::vector<float> left(64), right(64);
  ASSERT_EQ(RenderEffect(128, left, right), noErr);
  EXPECT_EQ(std::pair(left[3], right[3]), std::pair(131 * 1e-4f, 131 * -1e-4f));
  ASSERT_EQ(RenderEffect(128, left, right), noErr);
  EXPECT_EQ(source.pulls, 1) << "a second output pull of the same cycle reuses the input";
  ASSERT_EQ(RenderEffect(192, left, right), noErr);
  EXPECT_EQ(source.pulls, 2);
}

TEST_F(AUInputTest, RendersAConnectedUnitThroughItsFastRenderProcedure)
{
  Prepare(512);
  const AudioUnitConnection connection = {mUnit, 0, 0};
  ASSERT_EQ(Set(kAudioUnitProperty_MakeConnection, kInput, 0, connection, mEffect), noErr);
  ASSERT_EQ(AudioUnitInitialize(mEffect), noErr);
  ASSERT_EQ(MusicDeviceMIDIEvent(mUnit, 0x90, 64, 110, 0), noErr);
  std::vector<float> left(256), right(256);
  ASSERT_EQ(RenderEffect(0, left, right), noErr);
  EXPECT_GT(*std::max_element(left.begin(), left.end()), 0.001f) << "the instrument's note passes through";

  const AudioUnitConnection none = {nullptr, 0, 0};
  ASSERT_EQ(Set(kAudioUnitProperty_MakeConnection, kInput, 0, none, mEffect), noErr);
  ASSERT_EQ(RenderEffect(256, left, right), noErr);
  EXPECT_EQ(*std::max_element(left.begin(), left.end()), 0.0f);
}
