#include "fwbase_test_plug.h"
#include "graphics/headless/IGraphicsHeadless.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// Writes channel number + 1 (plus the input) into every output so the routing
// is visible; with mAccumulate it adds 1 instead, so scratch contents show.
class MarkingPlug : public TestPlug
{
public:
  using TestPlug::TestPlug;
  void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override
  {
    mLastOut0 = outputs[0];
    for (int c = 0; c < NOutChannels(); ++c)
      for (int s = 0; s < nFrames; ++s)
        outputs[c][s] = mAccumulate ? outputs[c][s] + 1.0 : c + 1 + (c < NInChannels() ? inputs[c][s] : 0.0);
  }
  bool mAccumulate = false;
  double* mLastOut0 = nullptr;
};

// Records what the plug-in base tells its editor.
class RecordingEditor : public IGraphicsHeadless
{
public:
  struct Call
  {
    int mIdx;
    double mValue;
    bool mNormalized;
  };
  RecordingEditor(IPluginBase* plug, bool* deleted) : IGraphicsHeadless(plug, 100, 50), mDeleted(deleted) {}
  ~RecordingEditor() override { *mDeleted = true; }
  void SetParameterFromPlug(int idx, double value, bool normalized) override
  {
    mCalls.push_back({idx, value, normalized});
  }
  void PrepDraw() override { mPreparedAfter = static_cast<int>(mCalls.size()); }
  std::vector<Call> mCalls;
  int mPreparedAfter = -1;
  bool* mDeleted;
};

TEST(PluginBase, ChannelStringsGiveConfigurationsAndChannels)
{
  auto io = [](const TestPlug& p) { return std::tuple(p.NChannelIO(), p.NInChannels(), p.NOutChannels()); };
  TestPlug inst;
  EXPECT_EQ(io(inst), std::tuple(2, 0, 2));
  // -1 leaves a side open.
  for (auto [in, out, legal] :
       {std::tuple{0, 2, true}, {0, 1, true}, {-1, 1, true}, {0, -1, true}, {1, 2, false}, {0, 3, false}})
    EXPECT_EQ(inst.LegalIO(in, out), legal) << in << "-" << out;

  TestPlug two(1, false, "1-1 2-2");
  EXPECT_EQ(io(two), std::tuple(2, 2, 2));
  EXPECT_FALSE(two.LegalIO(1, 2));
}

TEST(PluginBase, ScratchBuffersFollowBlockSizeChanges)
{
  MarkingPlug inst;
  inst.mAccumulate = true;
  inst.SetOutputChannelConnections(0, 2, false);
  inst.SetBlockSize(512);
  inst.ProcessBuffers(0.0, 512);
  inst.SetBlockSize(512); // same size: the scratch buffers keep their contents
  inst.ProcessBuffers(0.0, 512);
  EXPECT_EQ(inst.GetBlockSize(), 512);
  EXPECT_EQ(inst.mLastOut0[511], 2.0);

  inst.SetBlockSize(256); // a new size starts from zeros
  inst.ProcessBuffers(0.0, 256);
  EXPECT_EQ(inst.mLastOut0[255], 1.0);
  inst.ZeroScratchBuffers();
  inst.ProcessBuffers(0.0, 256);
  EXPECT_EQ(inst.mLastOut0[0], 1.0);

  // Disconnected channels render into scratch, which growing must not leave on freed storage.
  MarkingPlug grown;
  grown.SetOutputChannelConnections(0, 1, false);
  grown.SetOutputChannelConnections(1, 1, true);
  grown.SetBlockSize(64);
  grown.SetBlockSize(4096);
  std::vector<double> host(4096, -1.0);
  double* outs[] = {host.data(), nullptr};
  grown.AttachOutputBuffers(0, 2, outs);
  grown.ProcessBuffers(0.0, 4096);
  EXPECT_EQ(host[0], 2.0); // the first pointer went to the connected second channel
  EXPECT_EQ(host[4095], 2.0);
}

TEST(PluginBase, FloatPathsConvertReplaceAndNeverOverrun)
{
  MarkingPlug inst(1, false, "2-2");
  inst.SetBlockSize(8);
  inst.SetInputChannelConnections(0, 2, true);
  inst.SetOutputChannelConnections(0, 2, true);
  std::vector<float> in0(8, 0.5f), in1(8, 0.25f), out0(8, 9.0f), out1(8, 9.0f);
  float* ins[] = {in0.data(), in1.data()};
  float* outs[] = {out0.data(), out1.data()};
  inst.AttachInputBuffers(0, 2, ins, 8);
  inst.AttachOutputBuffers(0, 2, outs);
  inst.ProcessBuffers(0.0f, 8);
  EXPECT_EQ(out0[7], 1.5f);
  EXPECT_EQ(out1[0], 2.25f);

  // A disconnected input consumes no pointer.
  inst.SetInputChannelConnections(0, 1, false);
  float* oneIn[] = {in1.data()};
  inst.AttachInputBuffers(0, 2, oneIn, 8);
  inst.ProcessBuffers(0.0f, 8);
  EXPECT_EQ(out1[0], 2.25f);

  // A request beyond the block size is cut to it.
  MarkingPlug small;
  small.SetBlockSize(16);
  small.SetOutputChannelConnections(0, 2, true);
  std::vector<float> a(32, 7.0f), b(32, 7.0f);
  float* ab[] = {a.data(), b.data()};
  small.AttachOutputBuffers(0, 2, ab);
  small.ProcessBuffers(0.0f, 32);
  EXPECT_EQ(a[15], 1.0f);
  EXPECT_EQ(a[16], 0.0f); // never rendered: silence, not stale data
  EXPECT_EQ(b[31], 0.0f);
}

TEST(PluginBase, HostIsInformedOfParameterChangesWithinABoundedRecord)
{
  TestPlug inst;
  inst.SetParameterFromGUI(TestPlug::kSteps, 0.34); // -5 ... 10: 0.34 * 15 - 5 = 0.1 -> 0
  EXPECT_EQ(inst.GetParam(TestPlug::kSteps)->Value(), 0.0);
  auto events = inst.GetParamEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].mKind, IPluginStandalone::kValueChange);
  EXPECT_EQ(events[0].mParamIdx, TestPlug::kSteps);
  EXPECT_EQ(events[0].mNormalized, 0.34);
  EXPECT_EQ(inst.mChanges, std::vector<int>{TestPlug::kSteps});

  for (int idx : {99, -1}) inst.SetParameterFromGUI(idx, 0.5); // no such parameter: ignored
  EXPECT_EQ(inst.GetParamEvents().size(), 1u);

  inst.ClearRecords();
  inst.mChanges.clear();
  inst.DirtyParameters();
  events = inst.GetParamEvents();
  ASSERT_EQ(events.size(), static_cast<size_t>(inst.NParams()));
  EXPECT_EQ(events[4].mParamIdx, 4);
  EXPECT_DOUBLE_EQ(events[4].mNormalized, inst.GetParam(4)->GetNormalized());
  inst.OnParamReset();
  EXPECT_EQ(inst.mChanges, (std::vector<int>{0, 1, 2, 3, 4}));

  // The record is bounded, so rendering never allocates.
  inst.ClearRecords();
  for (int i = 0; i < IPluginStandalone::kMaxRecordedEvents + 10; ++i) inst.InformHostOfParamChange(0, 0.5);
  EXPECT_EQ(inst.GetParamEvents().size(), static_cast<size_t>(IPluginStandalone::kMaxRecordedEvents));
  EXPECT_EQ(inst.GetDroppedEventCount(), 10);
}

TEST(PluginBase, EditorIsToldValuesAndOwnedByThePlugin)
{
  bool deleted = false;
  {
    TestPlug inst;
    inst.AttachGraphics(nullptr);
    EXPECT_EQ(inst.GetGUI(), nullptr);
    auto* editor = new RecordingEditor(&inst, &deleted);
    inst.GetParam(TestPlug::kCutoff)->Set(5000.0);
    inst.AttachGraphics(editor);
    EXPECT_EQ(inst.GetGUI(), editor);
    ASSERT_EQ(editor->mCalls.size(), 5u);
    EXPECT_EQ(editor->mPreparedAfter, 5);
    EXPECT_TRUE(editor->mCalls[4].mNormalized);
    EXPECT_DOUBLE_EQ(editor->mCalls[4].mValue, inst.GetParam(TestPlug::kCutoff)->GetNormalized());

    editor->mCalls.clear();
    inst.RedrawParamControls();
    ASSERT_EQ(editor->mCalls.size(), 5u);
    EXPECT_FALSE(editor->mCalls[4].mNormalized);
    EXPECT_EQ(editor->mCalls[4].mValue, 5000.0);
    EXPECT_FALSE(deleted);
  }
  EXPECT_TRUE(deleted);
}

} // namespace
