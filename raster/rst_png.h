#pragma once
// PNG images in and out of bitmaps.

#include "raster/rst_bitmap.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Largest image accepted, in pixels (256 MB of bitmap): a hostile header
// cannot make the decoder allocate more than this.
inline constexpr int64_t kRstMaxPngPixels = int64_t(1) << 26;

// Decodes any PNG (palette, grey, 16-bit, interlaced, with or without alpha)
// into a memory bitmap with premultiplied alpha. On failure returns nullptr
// and, when error is given, a short reason; a bad file never crashes.
std::unique_ptr<RstBitmap> RstDecodePng(const uint8_t* data, size_t size, std::string* error = nullptr);
std::unique_ptr<RstBitmap> RstLoadPng(const std::string& path, std::string* error = nullptr);

// Encodes as 8-bit RGBA with straight alpha. Empty on failure.
std::vector<uint8_t> RstEncodePng(const RstBitmap& bitmap, std::string* error = nullptr);
bool RstSavePng(const RstBitmap& bitmap, const std::string& path, std::string* error = nullptr);
