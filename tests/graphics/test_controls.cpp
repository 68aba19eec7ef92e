#include "graphics_test_support.h"
#include "plugin/graphics/IControls.h"

#include <gtest/gtest.h>

using namespace zorva_test;

namespace {

// Strips are made in memory: controls only need their geometry here.
class Controls : public ::testing::Test
{
protected:
  Controls()
  {
    mGfx = new IGraphicsHeadless(&mPlug, 300, 200);
    mGfx->AttachPanelBackground(COLOR_BLACK);
    mPlug.AttachGraphics(mGfx);
    mGfx->OpenWindow(nullptr);
  }

  IBitmap Strip(int w, int h, int frames, bool horizontal = false)
  {
    auto bitmap = RstBitmap::Create(w, h);
    RstBitmap* raw = bitmap.release();
    mGfx->RetainBitmap(raw);
    return IBitmap(raw, w, h, frames, horizontal);
  }

  template <class T> T* Attach(T* control)
  {
    mGfx->AttachControl(control);
    return control;
  }

  void Click(int x, int y, IMouseMod mod = IMouseMod(true))
  {
    mGfx->OnMouseDown(x, y, mod);
    mGfx->OnMouseUp(x, y, mod);
  }

  TestPlug mPlug;
  IGraphicsHeadless* mGfx; // owned by mPlug
};

TEST_F(Controls, SwitchesStepThroughTheirFramesAndRedrawOnlyOnChange)
{
  auto* two = Attach(new ISwitchControl(&mPlug, 0, 0, kOnOff, Strip(10, 20, 2)));
  auto* five = Attach(new ISwitchControl(&mPlug, 50, 0, kSteps, Strip(10, 50, 5)));
  EXPECT_EQ(five->GetRECT(), IRECT(50, 0, 60, 10));

  std::vector<double> seen;
  for (int i = 0; i < 3; ++i) {
    Click(5, 5);
    seen.push_back(two->GetValue());
  }
  EXPECT_EQ(seen, (std::vector<double>{1.0, 0.0, 1.0}));
  EXPECT_EQ(mPlug.GetParam(kOnOff)->Value(), 1.0);
  EXPECT_EQ(mPlug.mEvents,
            (std::vector<std::string>{"begin 3", "end 3", "begin 3", "end 3", "begin 3", "end 3"}));

  seen.clear();
  std::vector<int> frames;
  for (int i = 0; i < 6; ++i) {
    Click(55, 5, IMouseMod(false, true)); // a right click steps as well
    seen.push_back(five->GetValue());
    frames.push_back(five->FrameForValue());
  }
  EXPECT_EQ(seen, (std::vector<double>{0.25, 0.5, 0.75, 1.0, 0.0, 0.25}));
  EXPECT_EQ(frames, (std::vector<int>{2, 3, 4, 5, 1, 2}));

  // A double click is two steps, not a reset.
  mGfx->SetParameterFromPlug(kSteps, 0.0, true);
  mGfx->OnMouseDown(55, 5, IMouseMod(true));
  mGfx->OnMouseDblClick(55, 5, IMouseMod(true));
  EXPECT_EQ(five->GetValue(), 0.5);

  // A host moving a parameter redraws its control, but only when the value changed.
  while (mGfx->Tick()) {}
  mGfx->SetParameterFromPlug(kSteps, 0.5, true);
  EXPECT_FALSE(five->IsDirty());
  mGfx->SetParameterFromPlug(kSteps, 0.75, true);
  EXPECT_TRUE(five->IsDirty());
  EXPECT_TRUE(mGfx->Tick());
}

TEST_F(Controls, KnobDragIsTenTimesFinerWithControlOrShift)
{
  auto* knob = Attach(new IKnobMultiControl(&mPlug, 100, 100, kGain, Strip(40, 400, 10)));
  mGfx->SetParameterFromPlug(kGain, 50.0, false);
  auto dragUp = [&](IMouseMod mod) {
    const double before = knob->GetValue();
    mGfx->OnMouseDown(120, 120, mod);
    mGfx->OnMouseDrag(120, 110, mod);
    mGfx->OnMouseUp(120, 110, mod);
    return knob->GetValue() - before;
  };
  const double coarse = dragUp(IMouseMod(true));
  EXPECT_DOUBLE_EQ(coarse, 10.0 / 40.0 / 4.0);
  EXPECT_NEAR(dragUp(IMouseMod(true, false, false, true)), coarse / 10.0, 1e-12);
  EXPECT_NEAR(dragUp(IMouseMod(true, false, true)), coarse / 10.0, 1e-12);
  EXPECT_DOUBLE_EQ(mPlug.GetParam(kGain)->Value(), 100.0 * knob->GetValue());

  const double before = knob->GetValue();
  mGfx->OnMouseWheel(120, 120, IMouseMod(), -3);
  EXPECT_NEAR(knob->GetValue(), before - 0.03, 1e-12);
  mGfx->OnMouseWheel(120, 120, IMouseMod(false, false, false, true), 2);
  EXPECT_NEAR(knob->GetValue(), before - 0.028, 1e-12);

  // Far beyond the end: clamped, and the host hears the clamped value.
  mGfx->OnMouseDown(120, 120, IMouseMod(true));
  mGfx->OnMouseDrag(120, -2000, IMouseMod(true));
  EXPECT_EQ(knob->GetValue(), 1.0);
  EXPECT_EQ(mPlug.mInformed.back(), std::make_pair(int(kGain), 1.0));
}

TEST_F(Controls, FramesAndContacts)
{
  auto* frames = Attach(new ISwitchFramesControl(&mPlug, 0, 0, kMode, Strip(30, 30, 3), true));
  EXPECT_EQ(frames->GetRECT(), IRECT(0, 0, 30, 10));
  Click(25, 5);
  EXPECT_EQ(mPlug.GetParam(kMode)->Int(), 2);
  Click(12, 5);
  EXPECT_EQ(mPlug.GetParam(kMode)->Int(), 1);

  auto* contact = Attach(new IContactControl(&mPlug, 150, 0, kOnOff, Strip(10, 20, 2)));
  mGfx->OnMouseDown(155, 5, IMouseMod(true));
  EXPECT_EQ(mPlug.GetParam(kOnOff)->Value(), 1.0);
  mGfx->OnMouseUp(155, 5, IMouseMod(true));
  EXPECT_EQ(contact->GetValue(), 0.0);
  EXPECT_EQ(mPlug.GetParam(kOnOff)->Value(), 0.0);
}

// A list parameter offers its texts with the current one checked; a dismissed
// menu or a choice of no entry changes nothing.
TEST_F(Controls, PopUpSwitchOffersTheTextsOfItsParameter)
{
  auto* popup = Attach(new ISwitchPopUpControl(&mPlug, 0, 0, kMode, Strip(10, 20, 2)));
  mPlug.GetParam(kMode)->Set(1);
  mGfx->SetParameterFromPlug(kMode, 1, false);
  mGfx->QueueMenuChoice("High");
  Click(5, 5);
  ASSERT_NE(mGfx->LastQuestion(), nullptr);
  EXPECT_EQ(mGfx->LastQuestion()->mItems, (std::vector<std::string>{"Low", "Mid [x]", "High"}));
  EXPECT_EQ(mPlug.GetParam(kMode)->Int(), 2);
  EXPECT_EQ(popup->GetValue(), 1.0);
  EXPECT_EQ(mPlug.mInformed.back(), std::make_pair(int(kMode), 1.0));

  Click(5, 5);
  mGfx->QueueMenuChoice("Nonsense");
  Click(5, 5);
  EXPECT_EQ(mPlug.GetParam(kMode)->Int(), 2);
  EXPECT_EQ(mPlug.mInformed.back(), std::make_pair(int(kMode), 1.0));
  EXPECT_EQ(mGfx->NPendingAnswers(), 0);
}

} // namespace
