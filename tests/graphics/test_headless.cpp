#include "graphics_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace zorva_test;

class ProbeControl : public IControl
{
public:
  using IControl::IControl;
  bool Draw(IGraphics*) override { return true; }
  void OnMouseDown(int, int, const IMouseMod&) override { mEvents.push_back("down"); }
  void OnMouseUp(int, int, const IMouseMod&) override { mEvents.push_back("up"); }
  void OnMouseDrag(int, int, int dX, int dY, const IMouseMod&) override
  {
    mEvents.push_back("drag " + std::to_string(dX) + "," + std::to_string(dY));
  }
  void TextFromTextEntry(const char* text) override { mEvents.push_back(std::string("text ") + text); }

  std::vector<std::string> mEvents;
};

class Headless : public ::testing::Test
{
protected:
  Headless()
  {
    mGfx = new IGraphicsHeadless(&mPlug, 200, 100);
    mBackground = Attach(IRECT(0, 0, 200, 100));
  }
  ~Headless() override
  {
    if (mPlug.GetGUI() != mGfx) delete mGfx;
  }

  ProbeControl* Attach(const IRECT& rect, int paramIdx = -1)
  {
    auto* control = new ProbeControl(&mPlug, rect, paramIdx);
    mGfx->AttachControl(control);
    return control;
  }

  TestPlug mPlug;
  IGraphicsHeadless* mGfx; // owned by mPlug once attached
  ProbeControl* mBackground;
};

// Every editor test scripts its answers; without a script the answer is the
// cautious one, and a closed window asks nothing.
TEST_F(Headless, UnscriptedQuestionsAnswerNoOrCancel)
{
  EXPECT_EQ(mGfx->ShowMessageBox("Really?", "Init", IGraphics::kMsgBoxTypeYesNo), 7);
  EXPECT_EQ(mGfx->ShowMessageBox("Go on?", "Q", IGraphics::kMsgBoxTypeYesNoCancel), 2);

  std::string name = "bank.fxb", dir = "/music/banks/";
  mGfx->QueueFileAnswer("/elsewhere/mine.fxb");
  mGfx->PromptForFile(&name, IGraphics::kFileSave, &dir, "fxb");
  EXPECT_EQ(name, ""); // closed window: nothing asked
  EXPECT_EQ(mGfx->Questions().size(), 2u);

  mGfx->OpenWindow(nullptr);
  mGfx->PromptForFile(&name, IGraphics::kFileSave, &dir, "fxb"); // takes the queued answer
  name = "x.fxp";
  mGfx->PromptForFile(&name, IGraphics::kFileOpen, &dir, "fxp"); // unscripted: cancelled
  EXPECT_EQ(name, "");
  EXPECT_EQ(dir, "/elsewhere/");
}

TEST_F(Headless, AttachingToThePlugInSyncsControlsAndSetsTheirDefaultsAndResizeClears)
{
  mPlug.GetParam(kSteps)->Set(4);
  ProbeControl* steps = Attach(IRECT(10, 10, 20, 20), kSteps);
  // Before any value from the plug-in there is no default to go back to.
  steps->SetValue(0.7);
  steps->OnMouseDblClick(15, 15, IMouseMod());
  EXPECT_EQ(steps->GetValue(), 0.7);
  EXPECT_TRUE(mPlug.mInformed.empty());

  mPlug.AttachGraphics(mGfx);
  EXPECT_EQ(mPlug.GetGUI(), mGfx);
  EXPECT_DOUBLE_EQ(steps->GetValue(), 0.4);

  // Double click goes back to the first value the plug-in gave.
  mGfx->SetParameterFromPlug(kSteps, 0.9, true);
  steps->OnMouseDblClick(15, 15, IMouseMod());
  EXPECT_DOUBLE_EQ(steps->GetValue(), 0.4);
  EXPECT_DOUBLE_EQ(mPlug.GetParam(kSteps)->Value(), 4.0);

  mGfx->SetParameterFromPlug(99, 1.0, false); // unknown parameter: ignored
  mGfx->SetControlFromPlug(99, 1.0);

  mGfx->Resize(300, 150);
  EXPECT_EQ(mGfx->NControls(), 0);
  EXPECT_EQ(mGfx->Width(), 300);
  EXPECT_EQ(mPlug.mResized, (std::vector<std::pair<int, int>>{{300, 150}}));
}

TEST_F(Headless, MouseGoesToTheFrontmostReachableControl)
{
  ProbeControl* back = Attach(IRECT(10, 10, 50, 50), kGain);
  ProbeControl* front = Attach(IRECT(20, 20, 40, 40), kSteps);

  mGfx->OnMouseDown(25, 25, IMouseMod(true));
  mGfx->OnMouseDrag(25, 25, IMouseMod(true)); // no movement: nobody hears it
  mGfx->OnMouseDrag(28, 22, IMouseMod(true));
  mGfx->OnMouseDrag(60, 60, IMouseMod(true)); // outside, but captured
  mGfx->OnMouseUp(60, 60, IMouseMod(true));
  EXPECT_EQ(front->mEvents, (std::vector<std::string>{"down", "drag 3,-3", "drag 32,38", "up"}));
  EXPECT_EQ(mPlug.mEvents, (std::vector<std::string>{"begin 2", "end 2"}));
  EXPECT_EQ(mGfx->GetMouseCapture(), -1);

  front->Hide(true);
  mGfx->OnMouseDown(25, 25, IMouseMod(true));
  back->Hide(true);
  mGfx->OnMouseDown(25, 25, IMouseMod(true));
  EXPECT_EQ(back->mEvents, (std::vector<std::string>{"down"}));
  EXPECT_EQ(mBackground->mEvents, (std::vector<std::string>{"down"}));
}

TEST_F(Headless, TextEntryAnswersGoThroughTheParameter)
{
  mGfx->OpenWindow(nullptr);
  ProbeControl* gain = Attach(IRECT(10, 10, 20, 20), kGain);
  mPlug.GetParam(kGain)->Set(12.5);
  IRECT where(0, 0, 40, 16);

  mGfx->QueueTextEntryAnswer("50 dB");
  mGfx->PromptUserInput(gain, mPlug.GetParam(kGain), &where);
  ASSERT_NE(mGfx->LastQuestion(), nullptr);
  EXPECT_EQ(mGfx->LastQuestion()->mKind, IGraphicsHeadless::Question::kTextEntry);
  EXPECT_EQ(mGfx->LastQuestion()->mText, "12.50");
  EXPECT_EQ(mGfx->LastQuestion()->mRect, where);
  EXPECT_DOUBLE_EQ(gain->GetValue(), 0.5);
  EXPECT_DOUBLE_EQ(mPlug.GetParam(kGain)->Value(), 50.0);

  // Nonsense reads as 0; list parameters map their texts, case and all.
  mGfx->SetFromStringAfterPrompt(gain, mPlug.GetParam(kGain), "loud");
  EXPECT_EQ(gain->GetValue(), 0.0);
  ProbeControl* mode = Attach(IRECT(30, 10, 40, 20), kMode);
  mGfx->SetFromStringAfterPrompt(mode, mPlug.GetParam(kMode), "High");
  EXPECT_EQ(mode->GetValue(), 1.0);
  mGfx->SetFromStringAfterPrompt(mode, mPlug.GetParam(kMode), "high");
  EXPECT_EQ(mode->GetValue(), 0.0);

  // Without a parameter the text goes to the control itself.
  mGfx->QueueTextEntryAnswer("My Program");
  mGfx->CreateTextEntry(mode, IText(), where, "old", nullptr);
  EXPECT_EQ(mode->mEvents.back(), "text My Program");

  mGfx->PromptUserInput(nullptr, mPlug.GetParam(kGain), &where); // incomplete: nothing asked
  EXPECT_EQ(mGfx->Questions().size(), 2u);
}

TEST_F(Headless, RightClickPromptsInAFieldCentredOnTheControl)
{
  ProbeControl* gain = Attach(IRECT(100, 50, 131, 71), kGain);
  mPlug.AttachGraphics(mGfx);
  mGfx->OpenWindow(nullptr);

  gain->IControl::OnMouseDown(110, 60, IMouseMod(false, true));
  EXPECT_TRUE(mGfx->Questions().empty()); // prompting starts disabled

  gain->DisablePrompt(false);
  gain->IControl::OnMouseDown(110, 60, IMouseMod(true));
  EXPECT_TRUE(mGfx->Questions().empty()); // a left click asks nothing
  mGfx->QueueTextEntryAnswer("75");
  gain->IControl::OnMouseDown(110, 60, IMouseMod(false, true));
  ASSERT_EQ(mGfx->Questions().size(), 1u);
  EXPECT_EQ(mGfx->LastQuestion()->mRect, IRECT(95, 52, 135, 68));
  EXPECT_DOUBLE_EQ(mPlug.GetParam(kGain)->Value(), 75.0);
  EXPECT_EQ(mPlug.mInformed.back(), std::make_pair(int(kGain), 0.75));
}

TEST(IRECT, EdgesAndUnion)
{
  const IRECT a(0, 0, 10, 10);
  EXPECT_TRUE(a.Intersects(IRECT(10, 0, 20, 10)));  // touching the right edge counts
  EXPECT_TRUE(a.Intersects(IRECT(0, 10, 10, 20)));  // and the bottom edge
  EXPECT_FALSE(IRECT(10, 0, 20, 10).Intersects(a)); // but not the left
  EXPECT_FALSE(a.Intersects(IRECT()));
  EXPECT_TRUE(a.Contains(0, 9));
  EXPECT_FALSE(a.Contains(10, 5));
  EXPECT_EQ(IRECT().Union(a), a);
  EXPECT_EQ(a.Union(IRECT(5, -5, 12, 8)), IRECT(0, -5, 12, 10));
  EXPECT_EQ(IRECT(1, 2, 4, 7).MW(), 2.5f);
}

// Without the override and without a factory bank anywhere near, still a folder.
TEST(Paths, PluginPathWithoutTheOverrideIsAFolder)
{
  TestPlug plug;
  IGraphicsHeadless gfx(&plug, 10, 10);
  std::string path;
  unsetenv("ZORVA_RESOURCES");
  gfx.PluginPath(&path);
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_EQ(path.back(), '/');
}

} // namespace
