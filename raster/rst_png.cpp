#include "raster/rst_png.h"

#include "plugin/SafeFile.h"

#include <png.h>

#include <cstring>
#include <fstream>

namespace {

bool Fail(std::string* error, const std::string& reason)
{
  if (error) *error = reason;
  return false;
}

std::string Reason(const png_image& image, const char* fallback)
{
  return image.message[0] ? std::string(image.message) : std::string(fallback);
}

// Finishes a read begun from a file or from memory; the header is already known.
std::unique_ptr<RstBitmap> FinishRead(png_image& image, std::string* error)
{
  const int64_t width = image.width, height = image.height;
  if (width > RstBitmap::kMaxSide || height > RstBitmap::kMaxSide || width * height > kRstMaxPngPixels) {
    png_image_free(&image);
    Fail(error, "PNG image too large: " + std::to_string(width) + " x " + std::to_string(height));
    return nullptr;
  }
  auto bitmap = RstBitmap::Create(int(width), int(height));
  if (!bitmap) {
    png_image_free(&image);
    Fail(error, "out of memory for PNG image");
    return nullptr;
  }
  // Straight RGBA bytes are decoded straight into the bitmap's rows (same
  // size per pixel), then turned into premultiplied pixels in place.
  image.format = PNG_FORMAT_RGBA;
  uint8_t* first = reinterpret_cast<uint8_t*>(bitmap->Row(0));
  if (!png_image_finish_read(&image, nullptr, first, bitmap->RowSpan(), nullptr)) {
    Fail(error, Reason(image, "damaged PNG image"));
    png_image_free(&image);
    return nullptr;
  }
  for (int y = 0; y < bitmap->Height(); ++y) {
    RstPixel* row = bitmap->Row(y);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(row);
    for (int x = 0; x < bitmap->Width(); ++x) {
      const uint8_t* rgba = bytes + 4 * x;
      row[x] = RstPremultiply({rgba[3], rgba[0], rgba[1], rgba[2]});
    }
  }
  bitmap->MarkDirty();
  return bitmap;
}

} // namespace

std::unique_ptr<RstBitmap> RstDecodePng(const uint8_t* data, size_t size, std::string* error)
{
  if (!data || size == 0) {
    Fail(error, "empty PNG data");
    return nullptr;
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) {
    Fail(error, Reason(image, "not a PNG image"));
    png_image_free(&image);
    return nullptr;
  }
  return FinishRead(image, error);
}

std::unique_ptr<RstBitmap> RstLoadPng(const std::string& path, std::string* error)
{
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    Fail(error, path + ": " + Reason(image, "cannot read PNG image"));
    png_image_free(&image);
    return nullptr;
  }
  auto bitmap = FinishRead(image, error);
  if (!bitmap && error) *error = path + ": " + *error;
  return bitmap;
}

std::vector<uint8_t> RstEncodePng(const RstBitmap& bitmap, std::string* error)
{
  if (bitmap.Width() == 0 || bitmap.Height() == 0) {
    Fail(error, "cannot write an empty image");
    return {};
  }
  std::vector<uint8_t> rgba(size_t(bitmap.Width()) * size_t(bitmap.Height()) * 4);
  uint8_t* out = rgba.data();
  for (int y = 0; y < bitmap.Height(); ++y) {
    const RstPixel* row = bitmap.Row(y);
    for (int x = 0; x < bitmap.Width(); ++x, out += 4) {
      const RstColor c = RstUnpremultiply(row[x]);
      out[0] = c.r;
      out[1] = c.g;
      out[2] = c.b;
      out[3] = c.a;
    }
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(bitmap.Width());
  image.height = png_uint_32(bitmap.Height());
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr)) {
    Fail(error, Reason(image, "cannot encode PNG image"));
    return {};
  }
  std::vector<uint8_t> encoded(size);
  if (!png_image_write_to_memory(&image, encoded.data(), &size, 0, rgba.data(), 0, nullptr)) {
    Fail(error, Reason(image, "cannot encode PNG image"));
    return {};
  }
  encoded.resize(size);
  return encoded;
}

bool RstSavePng(const RstBitmap& bitmap, const std::string& path, std::string* error)
{
  const std::vector<uint8_t> encoded = RstEncodePng(bitmap, error);
  if (encoded.empty()) return false;
  std::string why;
  if (!WriteFileSafely(path, encoded.data(), encoded.size(), &why)) return Fail(error, why);
  return true;
}
