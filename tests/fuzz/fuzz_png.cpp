// Any bytes given to the PNG decoder either fail with a reason or give a
// sound premultiplied bitmap that the drawing operations can take.

#include "raster/raster.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  std::string error;
  auto image = RstDecodePng(data, size, &error);
  if (!image) {
    if (error.empty()) std::abort();
    return 0;
  }
  const int w = image->Width(), h = image->Height();
  if (w <= 0 || h <= 0 || int64_t(w) * h > kRstMaxPngPixels) std::abort();
  for (int y = 0; y < h; ++y) {
    const RstPixel* row = image->Row(y);
    for (int x = 0; x < w; ++x) {
      const RstPixel p = row[x];
      if (RstRed(p) > RstAlpha(p) || RstGreen(p) > RstAlpha(p) || RstBlue(p) > RstAlpha(p)) std::abort();
    }
  }

  // Whatever came in must be drawable the ways the panel draws its images.
  auto canvas = RstBitmap::Create(48, 48);
  canvas->Blit(-3, -3, *image, RstFrameRect(w, h, 3, 2, false));
  canvas->BlitScaled({0, 0, 48, 48}, *image, RstFrameRect(w, h, 2, 1, true), {RstMode::kDodge, 0.5f});
  canvas->BlitRotated(*image, image->Bounds(), w / 2.0, h / 2.0, 24, 24, 1.0, {RstMode::kCopy});

  // Small images survive a save and load unchanged.
  if (int64_t(w) * h <= 4096) {
    const std::vector<uint8_t> png = RstEncodePng(*image, &error);
    auto again = png.empty() ? nullptr : RstDecodePng(png.data(), png.size(), &error);
    if (!again || again->Width() != w || again->Height() != h) std::abort();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (again->GetPixel(x, y) != image->GetPixel(x, y)) std::abort();
  }
  return 0;
}
