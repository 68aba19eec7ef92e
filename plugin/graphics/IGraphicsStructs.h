#pragma once

#include <algorithm>
#include <string>

class RstBitmap;
class RstFont;

// A rectangle in window pixels, origin top-left, y downwards; R and B are exclusive
// for drawing. All four at 0 is the empty rectangle.
struct IRECT
{
  int L = 0, T = 0, R = 0, B = 0;

  IRECT() = default;
  IRECT(int l, int t, int r, int b) : L(l), T(t), R(r), B(b) {}

  bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
  void Clear() { L = T = R = B = 0; }
  int W() const { return R - L; }
  int H() const { return B - T; }
  float MW() const { return 0.5f * static_cast<float>(L + R); }
  float MH() const { return 0.5f * static_cast<float>(T + B); }

  bool operator==(const IRECT& o) const = default;

  // Touching along the right or bottom edge counts: controls drawn with inclusive
  // edges overlap their neighbours by one pixel there.
  bool Intersects(const IRECT& o) const
  {
    return !Empty() && !o.Empty() && R >= o.L && L < o.R && B >= o.T && T < o.B;
  }

  bool Contains(int x, int y) const { return x >= L && x < R && y >= T && y < B; }

  // The common part; empty when there is none.
  IRECT Intersect(const IRECT& o) const
  {
    const IRECT r(std::max(L, o.L), std::max(T, o.T), std::min(R, o.R), std::min(B, o.B));
    return r.L < r.R && r.T < r.B ? r : IRECT();
  }

  IRECT Union(const IRECT& o) const
  {
    if (Empty()) return o;
    if (o.Empty()) return *this;
    return IRECT(std::min(L, o.L), std::min(T, o.T), std::max(R, o.R), std::max(B, o.B));
  }
};

struct IColor
{
  int A = 255, R = 0, G = 0, B = 0;

  IColor() = default;
  IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}
  bool operator==(const IColor& o) const = default;
};

inline const IColor COLOR_TRANSPARENT(0, 0, 0, 0);
inline const IColor COLOR_BLACK(255, 0, 0, 0);
inline const IColor COLOR_GRAY(255, 127, 127, 127);
inline const IColor COLOR_WHITE(255, 255, 255, 255);
inline const IColor COLOR_RED(255, 255, 0, 0);
inline const IColor COLOR_GREEN(255, 0, 255, 0);
inline const IColor COLOR_BLUE(255, 0, 0, 255);
inline const IColor COLOR_YELLOW(255, 255, 255, 0);
inline const IColor COLOR_ORANGE(255, 255, 127, 0);

inline const IColor DEFAULT_TEXT_COLOR = COLOR_BLACK;
inline const IColor DEFAULT_TEXT_ENTRY_BGCOLOR = COLOR_WHITE;
inline const IColor DEFAULT_TEXT_ENTRY_FGCOLOR = COLOR_BLACK;

// How a bitmap is blended onto the surface, and with what opacity.
struct IChannelBlend
{
  enum EBlendMethod { kBlendNone = 0, kBlendClobber = 1, kBlendAdd = 2, kBlendColorDodge = 3 };

  EBlendMethod mMethod = kBlendNone;
  float mWeight = 1.0f;

  IChannelBlend(EBlendMethod method = kBlendNone, float weight = 1.0f) : mMethod(method), mWeight(weight) {}
};

struct IText
{
  enum EStyle { kStyleNormal = 0, kStyleBold = 1, kStyleItalic = 2 };
  enum EAlign { kAlignNear = 0, kAlignCenter = 1, kAlignFar = 2 };
  enum EQuality {
    kQualityDefault = 0,
    kQualityNonAntiAliased = 1,
    kQualityAntiAliased = 2,
    kQualityClearType = 3
  };

  static constexpr int kMaxFontNameLen = 32;

  std::string mFont = "Monaco"; // at most kMaxFontNameLen characters
  int mSize = 10;               // pixels
  IColor mColor = DEFAULT_TEXT_COLOR;
  IColor mTextEntryBGColor = DEFAULT_TEXT_ENTRY_BGCOLOR;
  IColor mTextEntryFGColor = DEFAULT_TEXT_ENTRY_FGCOLOR;
  EStyle mStyle = kStyleNormal;
  EAlign mAlign = kAlignCenter;
  int mOrientation = 0; // degrees counter-clockwise
  EQuality mQuality = kQualityDefault;
  // The font cache's entry for this style, filled lazily; owned by the cache.
  RstFont* mCached = nullptr;

  IText() = default;
  IText(int size, const IColor& color = DEFAULT_TEXT_COLOR, const char* font = nullptr,
        EStyle style = kStyleNormal, EAlign align = kAlignCenter, int orientation = 0,
        EQuality quality = kQualityDefault)
      : mFont(font ? font : "Monaco"), mSize(size), mColor(color), mStyle(style), mAlign(align),
        mOrientation(orientation), mQuality(quality)
  {
  }
};

// A decoded image, as one strip of N frames stacked vertically or laid side by side.
struct IBitmap
{
  RstBitmap* mData = nullptr; // owned by the bitmap cache
  int W = 0, H = 0;           // of the whole image
  int N = 1;                  // frames
  bool mFramesAreHorizontal = false;

  IBitmap() = default;
  IBitmap(RstBitmap* data, int w, int h, int n = 1, bool framesAreHorizontal = false)
      : mData(data), W(w), H(h), N(n), mFramesAreHorizontal(framesAreHorizontal)
  {
  }

  int FrameWidth() const { return mFramesAreHorizontal && N > 0 ? W / N : W; }
  int FrameHeight() const { return !mFramesAreHorizontal && N > 0 ? H / N : H; }
};

// Which way a knob or fader is dragged.
enum EDirection { kVertical = 0, kHorizontal = 1 };

// Mouse buttons and modifier keys of an event: left, right (or the platform's
// alternate click), shift, control, alt/option.
struct IMouseMod
{
  bool L = false, R = false, S = false, C = false, A = false;

  IMouseMod() = default;
  IMouseMod(bool l, bool r = false, bool s = false, bool c = false, bool a = false)
      : L(l), R(r), S(s), C(c), A(a)
  {
  }
};
