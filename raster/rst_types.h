#pragma once
// Small value types shared by the raster library's bitmaps, fonts and images.

#include <cstdint>

// One pixel as stored in a bitmap: premultiplied ARGB in the machine's byte
// order, alpha in the top byte. Premultiplied so that blending and filtering
// never bleed the colour of transparent pixels into their neighbours.
using RstPixel = uint32_t;

// A colour as people write it: straight (not premultiplied) alpha, 0..255.
struct RstColor
{
  uint8_t a = 0, r = 0, g = 0, b = 0;
  constexpr bool operator==(const RstColor&) const = default;
};

constexpr RstPixel RstPremultiply(RstColor c)
{
  auto mul = [](unsigned v, unsigned a) { return (v * a + 127u) / 255u; };
  return (RstPixel(c.a) << 24) | (RstPixel(mul(c.r, c.a)) << 16) | (RstPixel(mul(c.g, c.a)) << 8) |
         RstPixel(mul(c.b, c.a));
}

constexpr RstColor RstUnpremultiply(RstPixel p)
{
  const unsigned a = p >> 24;
  if (a == 0) return {};
  auto div = [a](unsigned v) {
    const unsigned straight = (v * 255u + a / 2u) / a;
    return uint8_t(straight > 255u ? 255u : straight);
  };
  return {uint8_t(a), div((p >> 16) & 0xFF), div((p >> 8) & 0xFF), div(p & 0xFF)};
}

constexpr uint8_t RstAlpha(RstPixel p)
{
  return uint8_t(p >> 24);
}
constexpr uint8_t RstRed(RstPixel p)
{
  return uint8_t(p >> 16);
}
constexpr uint8_t RstGreen(RstPixel p)
{
  return uint8_t(p >> 8);
}
constexpr uint8_t RstBlue(RstPixel p)
{
  return uint8_t(p);
}

// Pixel rectangle: a pixel (x, y) is the unit square [x, x + 1) x [y, y + 1),
// so r and b are exclusive.
struct RstRect
{
  int l = 0, t = 0, r = 0, b = 0;
  constexpr int Width() const { return r - l; }
  constexpr int Height() const { return b - t; }
  constexpr bool IsEmpty() const { return r <= l || b <= t; }
  constexpr bool operator==(const RstRect&) const = default;
};

struct RstSize
{
  int w = 0, h = 0;
  constexpr bool operator==(const RstSize&) const = default;
};

// How a source (a colour or a bitmap) is combined with the destination.
enum class RstMode {
  kBlend,     // source over destination, using the source's alpha
  kCopy,      // the source replaces the destination, alpha included
  kAdd,       // source added to destination, saturating
  kDodge,     // colour dodge: brightens the destination by the source
  kAlphaMask, // destination multiplied by the source's alpha, where the call draws;
              // a rotated blit reaches the whole bitmap, clearing what its image misses
};

// Everything about a drawing call besides its geometry and colour. The weight
// is the opacity of the whole operation: with kCopy it interpolates between
// destination and source, with the other modes it scales the source.
struct RstPaint
{
  RstMode mode = RstMode::kBlend;
  float weight = 1.0f;
  bool antialias = false;
};

enum class RstAlign { kNear, kCenter, kFar };

// Source rectangle of frame `frame` (1-based) of a film strip of nFrames equal
// frames laid top to bottom or, when horizontal, left to right. Frames outside
// 1..nFrames are clamped, so a bad value never reads another image's memory.
RstRect RstFrameRect(int width, int height, int nFrames, int frame, bool horizontal);
