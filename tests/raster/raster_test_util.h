#pragma once

#include "raster/raster.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>

inline constexpr RstColor kTransparent{0, 0, 0, 0};
inline constexpr RstColor kBlack{255, 0, 0, 0};
inline constexpr RstColor kWhite{255, 255, 255, 255};
inline constexpr RstColor kRed{255, 255, 0, 0};
inline constexpr RstColor kGreen{255, 0, 255, 0};
inline constexpr RstColor kBlue{255, 0, 0, 255};

inline std::ostream& operator<<(std::ostream& os, const RstColor& c)
{
  return os << "(a " << int(c.a) << ", r " << int(c.r) << ", g " << int(c.g) << ", b " << int(c.b) << ")";
}

// Channels within tolerance: the renderer rounds 8-bit products its own way.
inline testing::AssertionResult ColorNear(RstColor actual, RstColor expected, int tolerance = 1)
{
  const auto near = [&](uint8_t a, uint8_t b) { return std::abs(int(a) - int(b)) <= tolerance; };
  if (near(actual.a, expected.a) && near(actual.r, expected.r) && near(actual.g, expected.g) &&
      near(actual.b, expected.b))
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << "got " << actual << ", expected " << expected;
}

inline std::unique_ptr<RstBitmap> FilledBitmap(int w, int h, RstColor color)
{
  auto bitmap = RstBitmap::Create(w, h);
  bitmap->FillRect(bitmap->Bounds(), color, {RstMode::kCopy});
  return bitmap;
}
