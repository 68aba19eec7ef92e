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

TEST_F(Controls, SwitchesStepThroughTheirFramesAndWrap)
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

  // Double click returns to the first value the plug-in gave.
  mGfx->OnMouseDblClick(120, 120, IMouseMod(true));
  EXPECT_DOUBLE_EQ(knob->GetValue(), 0.5);
}

TEST_F(Controls, ValuesFromThePlugInRedrawOnlyWhenTheyChange)
{
  auto* knob = Attach(new IKnobLineControl(&mPlug, IRECT(10, 10, 50, 50), kGain, COLOR_WHITE));
  mGfx->SetParameterFromPlug(kGain, 0.3, true);
  while (mGfx->Tick()) {}
  mGfx->SetParameterFromPlug(kGain, 0.3, true);
  EXPECT_FALSE(knob->IsDirty());
  mGfx->SetParameterFromPlug(kGain, 0.0, true); // straight down-left: the pointer at -135 degrees
  EXPECT_TRUE(knob->IsDirty());
  EXPECT_TRUE(mGfx->Tick());
  EXPECT_GT(mGfx->GetPixel(18, 42).R, 100); // antialiased: not every pixel is fully covered
  EXPECT_EQ(mGfx->GetPixel(42, 42), COLOR_BLACK);
}

TEST_F(Controls, FaderHandleFollowsTheMouse)
{
  auto* fader = Attach(new IFaderControl(&mPlug, 10, 10, 110, kGain, Strip(20, 10, 1)));
  EXPECT_EQ(fader->GetRECT(), IRECT(10, 10, 30, 120));
  Click(15, 15); // handle centre at the top: full value
  EXPECT_DOUBLE_EQ(fader->GetValue(), 1.0);
  EXPECT_EQ(fader->GetHandleRECT(), IRECT(10, 10, 30, 20));
  mGfx->OnMouseDown(15, 65, IMouseMod(true));
  EXPECT_DOUBLE_EQ(fader->GetValue(), 0.5);
  mGfx->OnMouseDrag(15, 300, IMouseMod(true));
  EXPECT_EQ(fader->GetValue(), 0.0);
  EXPECT_EQ(fader->GetHandleRECT(), IRECT(10, 110, 30, 120));

  auto* handleOnly =
      Attach(new IFaderControl(&mPlug, 100, 10, 60, kSteps, Strip(10, 20, 1), kHorizontal, true));
  EXPECT_EQ(handleOnly->GetRECT(), IRECT(100, 10, 160, 30));
  Click(150, 15); // on the track, not the handle: the background takes it
  EXPECT_EQ(handleOnly->GetValue(), 0.0);
  mGfx->OnMouseDown(105, 15, IMouseMod(true));
  mGfx->OnMouseDrag(135, 15, IMouseMod(true));
  EXPECT_DOUBLE_EQ(handleOnly->GetValue(), 0.6);
}

TEST_F(Controls, FramesRadioButtonsContactsAndInvisibleSwitches)
{
  auto* frames = Attach(new ISwitchFramesControl(&mPlug, 0, 0, kMode, Strip(30, 30, 3), true));
  EXPECT_EQ(frames->GetRECT(), IRECT(0, 0, 30, 10));
  Click(25, 5);
  EXPECT_EQ(mPlug.GetParam(kMode)->Int(), 2);
  Click(12, 5);
  EXPECT_EQ(mPlug.GetParam(kMode)->Int(), 1);

  auto* radio = Attach(new IRadioButtonsControl(&mPlug, IRECT(100, 0, 110, 50), kSteps, 3, Strip(10, 20, 2)));
  EXPECT_EQ(radio->GetButtonRects().back(), IRECT(100, 40, 110, 50));
  Click(105, 45);
  EXPECT_EQ(radio->GetValue(), 1.0);
  Click(105, 30); // between buttons: nothing
  EXPECT_EQ(radio->GetValue(), 1.0);

  auto* contact = Attach(new IContactControl(&mPlug, 150, 0, kOnOff, Strip(10, 20, 2)));
  mGfx->OnMouseDown(155, 5, IMouseMod(true));
  EXPECT_EQ(mPlug.GetParam(kOnOff)->Value(), 1.0);
  mGfx->OnMouseUp(155, 5, IMouseMod(true));
  EXPECT_EQ(contact->GetValue(), 0.0);
  EXPECT_EQ(mPlug.GetParam(kOnOff)->Value(), 0.0);

  auto* invisible = Attach(new IInvisibleSwitchControl(&mPlug, IRECT(200, 0, 220, 20), kOnOff));
  Click(210, 10);
  EXPECT_EQ(invisible->GetValue(), 1.0);
  Click(210, 10);
  EXPECT_EQ(invisible->GetValue(), 0.0);
  EXPECT_TRUE(invisible->IsPromptDisabled());
}

TEST_F(Controls, PopUpSwitchCaptionAndLinkedDisplays)
{
  auto* popup = Attach(new ISwitchPopUpControl(&mPlug, 0, 0, kMode, Strip(10, 20, 2)));
  mGfx->QueueMenuChoice("Mid");
  Click(5, 5);
  EXPECT_EQ(mPlug.GetParam(kMode)->Int(), 1);
  EXPECT_EQ(popup->GetValue(), 0.5);

  IText text;
  auto* caption = Attach(new ICaptionControl(&mPlug, IRECT(50, 50, 90, 70), kGain, text));
  mGfx->QueueTextEntryAnswer("25");
  mGfx->OnMouseDblClick(60, 60, IMouseMod(true));
  EXPECT_DOUBLE_EQ(mPlug.GetParam(kGain)->Value(), 25.0);
  EXPECT_EQ(mGfx->LastQuestion()->mRect, IRECT(50, 52, 90, 68));
  mGfx->DrawAll();
  EXPECT_EQ(caption->GetString(), "25.00 dB");

  auto* value = Attach(new ITextControl(&mPlug, IRECT(0, 100, 80, 120), text));
  auto* name = Attach(new ITextControl(&mPlug, IRECT(0, 120, 80, 140), text));
  auto* knob = Attach(new IKnobMultiControl(&mPlug, 100, 100, kGain, Strip(40, 40, 1)));
  knob->SetValDisplayControl(value);
  knob->SetNameDisplayControl(name);
  mGfx->SetParameterFromPlug(kGain, 25.0, false);
  mGfx->OnMouseWheel(110, 110, IMouseMod(), 10);
  EXPECT_EQ(value->GetString(), "35.00 dB");
  EXPECT_EQ(name->GetString(), "Gain");
  // The plug-in's own changes leave the linked texts alone.
  mGfx->SetParameterFromPlug(kGain, 0.0, true);
  EXPECT_EQ(value->GetString(), "35.00 dB");
}

TEST_F(Controls, LinksFileSelectorAndOverlay)
{
  Attach(new IURLControl(&mPlug, IRECT(0, 0, 10, 10), "https://example.org/", "https://backup.example.org/"));
  mGfx->SetOpenURLResult(false);
  Click(5, 5);
  EXPECT_EQ(mGfx->OpenedURLs(),
            (std::vector<std::string>{"https://example.org/", "https://backup.example.org/"}));
  Attach(new IURLControl(&mPlug, IRECT(20, 0, 30, 10), "", ""));
  Click(25, 5);
  EXPECT_EQ(mGfx->OpenedURLs().size(), 2u);

  auto* selector = Attach(
      new IFileSelectorControl(&mPlug, IRECT(40, 0, 60, 20), -1, IGraphics::kFileOpen, "/banks/", "fxb"));
  mGfx->QueueFileAnswer("/banks/mine.fxb");
  Click(50, 10);
  EXPECT_EQ(selector->GetLastSelectedFile(), "/banks/mine.fxb");
  EXPECT_EQ(selector->GetState(), IFileSelectorControl::kFSDone);
  EXPECT_EQ(mGfx->LastQuestion()->mExtensions, "fxb");

  auto* overlay =
      Attach(new IBitmapOverlayControl(&mPlug, 100, 100, kOnOff, Strip(50, 100, 2), IRECT(0, 180, 10, 190)));
  mGfx->DrawAll(); // off: listens only on its target area
  Click(5, 185);
  EXPECT_EQ(overlay->GetValue(), 1.0);
  mGfx->DrawAll();
  EXPECT_EQ(overlay->GetTargetRECT(), overlay->GetRECT());
}

} // namespace
