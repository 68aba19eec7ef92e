// A small panel drawn with every operation, saved for a person to look at
// (to the folder in ZORVA_RASTER_SCENE_DIR, else the test temp folder).

#include "raster_test_util.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace {

// A knob film strip as the artwork has them: frames stacked, pointer turning.
std::unique_ptr<RstBitmap> KnobStrip(int size, int frames)
{
  auto strip = RstBitmap::Create(size, size * frames);
  const RstPaint smooth{RstMode::kBlend, 1.0f, true};
  for (int f = 0; f < frames; ++f) {
    const double c = (size - 1) / 2.0, top = f * size;
    strip->FillCircle(c, top + c, c - 2, {255, 60, 60, 70}, smooth);
    strip->Circle(c, top + c, c - 2, {255, 150, 150, 160}, smooth);
    const double angle = -0.75 * std::numbers::pi + 1.5 * std::numbers::pi * f / (frames - 1);
    strip->Line(c + std::sin(angle) * 4, top + c - std::cos(angle) * 4, c + std::sin(angle) * (c - 4),
                top + c - std::cos(angle) * (c - 4), {255, 255, 200, 60}, smooth);
  }
  return strip;
}

TEST(RasterScene, PanelSceneDrawsAndSaves)
{
  auto surface = RstBitmap::Create(360, 200, RstBitmapKind::kSystem);
  ASSERT_NE(surface, nullptr);
  surface->FillRect(surface->Bounds(), {255, 32, 34, 40}, {RstMode::kCopy});
  for (int y = 0; y < 200; y += 4) surface->Line(0, y, 359, y, {255, 40, 42, 50});

  auto strip = KnobStrip(40, 9);
  for (int i = 0; i < 5; ++i) {
    const RstRect frame = RstFrameRect(strip->Width(), strip->Height(), 9, 1 + 2 * i, false);
    surface->Blit(10 + 50 * i, 10, *strip, frame);
  }
  surface->BlitScaled({260, 4, 340, 84}, *strip, RstFrameRect(40, 360, 9, 7, false));
  const RstRect first = RstFrameRect(40, 360, 9, 1, false);
  surface->BlitRotated(*strip, first, 20, 20, 30, 90, std::numbers::pi / 3);
  surface->BlitRotated(*strip, first, 20, 20, 80, 90, std::numbers::pi / 3, {RstMode::kBlend, 0.25f});

  surface->FillRect({120, 70, 180, 110}, {255, 200, 40, 40});
  surface->FillRect({150, 90, 210, 130}, {255, 40, 200, 40}, {RstMode::kAdd});
  surface->FillRect({180, 70, 240, 110}, {255, 128, 128, 128}, {RstMode::kDodge});
  surface->RoundRect(250, 100, 350, 140, 8, {255, 255, 127, 0}, {RstMode::kBlend, 1.0f, true});
  const int xs[] = {260, 290, 300, 270}, ys[] = {150, 145, 185, 190};
  surface->FillConvexPolygon(xs, ys, 4, {200, 80, 140, 255}, {RstMode::kBlend, 1.0f, true});
  surface->FillTriangle(310, 190, 350, 190, 330, 150, {255, 255, 255, 0});
  surface->Arc(200, 170, 20, -std::numbers::pi / 2, std::numbers::pi / 2, {255, 0, 255, 255},
               {RstMode::kBlend, 1, true});

  auto version = RstFont::Create({"Helvetica", 13, false, false, 0, true});
  auto value = RstFont::Create({"Arial", 11, true, false, 0, true});
  auto mono = RstFont::Create({"Monaco", 10, false, false, 0, false});
  auto turned = RstFont::Create({"Arial", 11, false, true, 90, true});
  ASSERT_TRUE(version && value && mono && turned);
  EXPECT_TRUE(surface->DrawText(*version, "VERSION 2.1.4", {10, 150, 120, 164}, RstAlign::kCenter,
                                {128, 255, 255, 255}));
  EXPECT_TRUE(
      surface->DrawText(*value, "440.0 Hz", {10, 120, 120, 134}, RstAlign::kFar, {160, 255, 255, 192}));
  EXPECT_TRUE(surface->DrawText(*mono, "00 Init Program", {10, 175, 200, 190}, RstAlign::kNear, kWhite));
  EXPECT_TRUE(surface->DrawText(*turned, "Caf\xE9", {240, 60, 300, 80}, RstAlign::kNear, kWhite));

  std::string error;
  const char* dir = std::getenv("ZORVA_RASTER_SCENE_DIR");
  const std::string path = std::string(dir ? dir : testing::TempDir().c_str()) + "/raster_scene.png";
  ASSERT_TRUE(RstSavePng(*surface, path, &error)) << error;
}

} // namespace
