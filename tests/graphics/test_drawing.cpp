#include "graphics_test_support.h"
#include "plugin/graphics/IControls.h"
#include "tests/common/test_folder.h"

#include <gtest/gtest.h>

using namespace zorva_test;

namespace {

class Drawing : public ::testing::Test
{
protected:
  Drawing()
  {
    mGfx = new IGraphicsHeadless(&mPlug, 120, 80);
    std::filesystem::create_directories(mImages.dir() / "img");
    mGfx->SetPluginPath(mImages.dir().string());
    mPlug.AttachGraphics(mGfx);
    mGfx->OpenWindow(nullptr);
  }

  static IColor Colour(RstColor c) { return IColor(c.a, c.r, c.g, c.b); }
  // Resource IDs must be unique per process: the image cache outlives every test.
  static int FreshID()
  {
    static int next = 50000;
    return next++;
  }
  // A strip of frames stacked top to bottom, frame k filled with colours[k].
  void WriteStrip(const std::string& name, int w, int frameH, const std::vector<RstColor>& colours) const
  {
    auto bitmap = RstBitmap::Create(w, frameH * static_cast<int>(colours.size()));
    for (size_t k = 0; k < colours.size(); ++k) {
      const int t = frameH * static_cast<int>(k);
      bitmap->FillRect(RstRect{0, t, w, t + frameH}, colours[k], RstPaint{RstMode::kCopy});
    }
    ASSERT_TRUE(RstSavePng(*bitmap, mImages.path("img/" + name)));
  }

  TempFolder mImages{"zorva-gfx"};
  TestPlug mPlug;
  IGraphicsHeadless* mGfx; // owned by mPlug
};

TEST_F(Drawing, ImagesAreSharedByIDAcrossEditors)
{
  WriteStrip("knob.png", 10, 8, {kRed, kGreen, kBlue});
  const int id = FreshID();
  const IBitmap first = mGfx->LoadIBitmap(id, "resources/img/knob.png", 3);
  ASSERT_NE(first.mData, nullptr);
  EXPECT_EQ(first.W, 10);
  EXPECT_EQ(first.H, 24);
  EXPECT_EQ(first.FrameHeight(), 8);

  TestPlug otherPlug;
  IGraphicsHeadless other(&otherPlug, 10, 10);
  other.SetPluginPath("/nonexistent");
  // The ID is the key: the second editor never looks at the file system.
  const IBitmap shared = other.LoadIBitmap(id, "resources/img/elsewhere.png", 3, true);
  EXPECT_EQ(shared.mData, first.mData);
  EXPECT_TRUE(shared.mFramesAreHorizontal);
}

TEST_F(Drawing, MissingAndHostileImagesFailCleanly)
{
  writeFile(mImages.path("img/truncated.png"), std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0", 18));
  writeFile(mImages.path("img/text.png"), "not an image at all");
  WriteStrip("good.bmp", 4, 4, {kRed});
  WriteStrip("../escape.png", 4, 4, {kRed}); // lands beside img/, inside the folder
  for (const char* name :
       {"resources/img/missing.png", "resources/img/truncated.png", "resources/img/text.png",
        "resources/img/good.bmp", "resources/img/../../escape.png", "", "/etc/passwd.png"}) {
    SCOPED_TRACE(name);
    const IBitmap bitmap = mGfx->LoadIBitmap(FreshID(), name);
    EXPECT_EQ(bitmap.mData, nullptr);
    EXPECT_EQ(bitmap.W, 0);
  }
  EXPECT_EQ(mGfx->LoadIBitmap(FreshID(), nullptr).mData, nullptr);

  // Controls built from a missing image still take part without drawing.
  const IBitmap missing = mGfx->LoadIBitmap(FreshID(), "resources/img/missing.png", 2);
  auto* sw = new ISwitchControl(&mPlug, 5, 5, kOnOff, missing);
  mGfx->AttachPanelBackground(COLOR_BLACK);
  mGfx->AttachControl(sw);
  mGfx->DrawAll();
  EXPECT_EQ(mGfx->GetPixel(5, 5), COLOR_BLACK);
}

TEST_F(Drawing, BackgroundFramesAndClippingToTheRedrawnRegion)
{
  WriteStrip("bg.png", 120, 80, {kBlue});
  WriteStrip("switch.png", 20, 10, {kRed, kGreen});
  mGfx->AttachBackground(FreshID(), "resources/img/bg.png");
  auto* sw =
      new ISwitchControl(&mPlug, 10, 10, kOnOff, mGfx->LoadIBitmap(FreshID(), "resources/img/switch.png", 2));
  mGfx->AttachControl(sw);
  EXPECT_EQ(sw->GetRECT(), IRECT(10, 10, 30, 20));
  EXPECT_EQ(mGfx->GetControl(0)->GetRECT(), IRECT(0, 0, 120, 80));

  EXPECT_TRUE(mGfx->Tick());
  EXPECT_EQ(mGfx->GetPixel(0, 0), Colour(kBlue));
  EXPECT_EQ(mGfx->GetPixel(15, 15), Colour(kRed));

  mGfx->OnMouseDown(15, 15, IMouseMod(true));
  IRECT dirty;
  ASSERT_TRUE(mGfx->IsDirty(&dirty));
  EXPECT_EQ(dirty, IRECT(10, 10, 30, 20));
  // Only part of the switch is repainted: the rest keeps the old frame.
  mGfx->Draw(IRECT(10, 10, 20, 20));
  EXPECT_EQ(mGfx->GetPixel(12, 15), Colour(kGreen));
  EXPECT_EQ(mGfx->GetPixel(25, 15), Colour(kRed));
  EXPECT_EQ(mGfx->LastScreenRect(), IRECT(10, 10, 20, 20));
}

TEST_F(Drawing, ShapesAndTextLandWhereTheyAreAskedAndFontsAreShared)
{
  mGfx->FillIRect(COLOR_WHITE, IRECT(0, 0, 120, 80));
  mGfx->DrawRect(COLOR_BLUE, IRECT(30, 30, 40, 40)); // R and B included
  EXPECT_EQ(mGfx->GetPoint(40, 40), COLOR_BLUE);
  EXPECT_EQ(mGfx->GetPoint(35, 35), COLOR_WHITE);
  IChannelBlend half(IChannelBlend::kBlendNone, 0.5f);
  mGfx->FillIRect(COLOR_BLACK, IRECT(0, 60, 10, 70), &half);
  EXPECT_NEAR(mGfx->GetPoint(5, 65).R, 128, 1);
  EXPECT_EQ(mGfx->GetPoint(-1, 0), COLOR_TRANSPARENT);

  // Text, centred; fonts are shared across editors.
  IText text(12, COLOR_BLACK, "Arial", IText::kStyleNormal, IText::kAlignCenter);
  IRECT untouched(1, 2, 3, 4);
  EXPECT_TRUE(mGfx->DrawIText(&text, "", &untouched));
  EXPECT_EQ(untouched, IRECT(1, 2, 3, 4));

  mGfx->FillIRect(COLOR_WHITE, IRECT(0, 0, 120, 80));
  IRECT where(0, 40, 120, 60);
  ASSERT_TRUE(mGfx->DrawIText(&text, "MMMM", &where));
  int dark = 0, left = 120, right = 0;
  for (int y = 40; y < 60; ++y)
    for (int x = 0; x < 120; ++x)
      if (mGfx->GetPoint(x, y).R < 128) ++dark, left = std::min(left, x), right = std::max(right, x);
  EXPECT_GT(dark, 20);
  EXPECT_NEAR(left + right, 120, 4); // centred

  TestPlug otherPlug;
  IGraphicsHeadless other(&otherPlug, 10, 10);
  IText same(12, COLOR_RED, "Arial");
  ASSERT_NE(text.mCached, nullptr);
  EXPECT_EQ(other.CacheFont(&same), text.mCached); // the colour is not part of the key
  IText bold(12, COLOR_BLACK, "Arial", IText::kStyleBold);
  EXPECT_NE(other.CacheFont(&bold), text.mCached);
}

} // namespace
