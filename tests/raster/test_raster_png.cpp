// PNG decoding and encoding, including files that lie.

#include "raster_test_util.h"
#include "tests/common/test_folder.h"

#include <png.h>
#include <zlib.h>

#include <cstring>

namespace {

// Every pixel different, with alpha from fully clear to opaque.
std::unique_ptr<RstBitmap> Gradient(int w, int h)
{
  auto b = RstBitmap::Create(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b->PutPixel(x, y, {uint8_t(x * 255 / (w - 1)), uint8_t(17 * x), uint8_t(31 * y), uint8_t(255 - 9 * x)},
                  {RstMode::kCopy});
  return b;
}

// Offset of the first chunk of that type (its length field), or 0.
size_t FindChunk(const std::vector<uint8_t>& png, const char* type)
{
  for (size_t at = 8; at + 12 <= png.size(); at += 12 + png_get_uint_32(&png[at]))
    if (std::memcmp(&png[at + 4], type, 4) == 0) return at;
  return 0;
}

// Rewrites the header's size and its checksum, so only the size is a lie.
std::vector<uint8_t> WithDimensions(std::vector<uint8_t> png, uint32_t w, uint32_t h)
{
  const size_t ihdr = FindChunk(png, "IHDR");
  png_save_uint_32(&png[ihdr + 8], w);
  png_save_uint_32(&png[ihdr + 12], h);
  png_save_uint_32(&png[ihdr + 8 + 13], uint32_t(crc32(0, &png[ihdr + 4], 4 + 13)));
  return png;
}

TEST(RasterPng, RoundTripKeepsEveryPixelOfAnImageWithAlpha)
{
  auto original = Gradient(16, 9);
  std::string error;
  const std::vector<uint8_t> png = RstEncodePng(*original, &error);
  ASSERT_FALSE(png.empty()) << error;
  auto decoded = RstDecodePng(png.data(), png.size(), &error);
  ASSERT_NE(decoded, nullptr) << error;
  ASSERT_EQ(decoded->Width(), 16);
  ASSERT_EQ(decoded->Height(), 9);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 16; ++x)
      ASSERT_EQ(decoded->GetPixel(x, y), original->GetPixel(x, y)) << x << "," << y;

  // Through a file; a full disk must not turn an old screenshot into a fragment.
  TempFolder disk("zorva-disk", "64k");
  ASSERT_TRUE(RstSavePng(*original, disk.path("shot.png"), &error)) << error;
  auto loaded = RstLoadPng(disk.path("shot.png"), &error);
  ASSERT_NE(loaded, nullptr) << error;
  EXPECT_EQ(loaded->GetPixel(7, 4), original->GetPixel(7, 4));
  if (disk.Mounted()) {
    disk.Fill();
    EXPECT_FALSE(RstSavePng(*original, disk.path("shot.png"), &error));
    EXPECT_NE(RstLoadPng(disk.path("shot.png")), nullptr);
  }

  auto empty = RstBitmap::Create(0, 0);
  EXPECT_TRUE(RstEncodePng(*empty, &error).empty());
  EXPECT_FALSE(error.empty());
}

TEST(RasterPng, StraightAlphaInTheFileBecomesPremultiplied)
{
  // Written straight through libpng: half-transparent pure red and a clear pixel with colour.
  const uint8_t rgba[] = {255, 0, 0, 128, 10, 200, 30, 0, 40, 80, 120, 255};
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = 3;
  image.height = 1;
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> png(1024);
  png_alloc_size_t size = png.size();
  ASSERT_TRUE(png_image_write_to_memory(&image, png.data(), &size, 0, rgba, 0, nullptr));
  auto b = RstDecodePng(png.data(), size);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetPixel(0, 0), 0x80800000u);
  EXPECT_EQ(b->GetPixel(1, 0), 0u);
  EXPECT_EQ(b->GetColor(2, 0), (RstColor{255, 40, 80, 120}));
}

TEST(RasterPng, TruncatedDamagedAndNonPngInputFailsWithAReason)
{
  const std::vector<uint8_t> good = RstEncodePng(*Gradient(8, 8));
  ASSERT_NE(RstDecodePng(good.data(), good.size()), nullptr);
  std::string error;
  // Cut anywhere before the end marker; with only the marker missing the
  // image is complete and checked, and loads.
  const size_t iend = FindChunk(good, "IEND");
  ASSERT_NE(iend, 0u);
  EXPECT_NE(RstDecodePng(good.data(), iend), nullptr);
  for (size_t cut = 0; cut < iend; ++cut) {
    error.clear();
    EXPECT_EQ(RstDecodePng(good.data(), cut, &error), nullptr) << cut;
    EXPECT_FALSE(error.empty()) << cut;
  }

  std::vector<uint8_t> badCrc = good;
  const size_t idat = FindChunk(badCrc, "IDAT");
  ASSERT_NE(idat, 0u);
  badCrc[idat + 8 + 2] ^= 0x55;
  error.clear();
  EXPECT_EQ(RstDecodePng(badCrc.data(), badCrc.size(), &error), nullptr);
  EXPECT_FALSE(error.empty());

  const char text[] = "GIF89a, not a PNG at all";
  EXPECT_EQ(RstDecodePng(reinterpret_cast<const uint8_t*>(text), sizeof text, &error), nullptr);
  EXPECT_EQ(RstDecodePng(nullptr, 100, &error), nullptr);
  EXPECT_EQ(RstLoadPng("/nonexistent/zorva/knob.png", &error), nullptr);
  EXPECT_NE(error.find("/nonexistent/zorva/knob.png"), std::string::npos);
}

TEST(RasterPng, HugeDimensionsAreRefusedBeforeAnythingIsAllocated)
{
  const std::vector<uint8_t> good = RstEncodePng(*Gradient(8, 8));
  std::string error;
  // Each side within limits, together far beyond them.
  const auto wide = WithDimensions(good, 30000, 30000);
  EXPECT_EQ(RstDecodePng(wide.data(), wide.size(), &error), nullptr);
  EXPECT_NE(error.find("too large"), std::string::npos) << error;
  // Plausible dimensions that the data does not fill.
  const auto tall = WithDimensions(good, 8, 4000);
  EXPECT_EQ(RstDecodePng(tall.data(), tall.size(), &error), nullptr);
}

} // namespace
