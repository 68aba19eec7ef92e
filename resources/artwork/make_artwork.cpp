// make-artwork OUTPUT_DIR [PREVIEW.png]
//
// Draws every image of the front panel and writes OUTPUT_DIR/NAME.png. With a
// second argument it also composes the whole panel, each control at its place
// in a plausible state, for judging the look without the editor.
//
// Shapes are rendered by supersampling plain geometry here rather than by the
// raster library's strokes, so that every pixel comes out of the same
// arithmetic on every machine; the library draws the text and writes the PNGs.

#include "resources/artwork/artwork_layout.h"

#include "raster/raster.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

// fontconfig's configuration parser loses a few bytes once per process; this
// program runs during sanitizer builds, so it must not fail on that.
extern "C" const char* __asan_default_options()
{
  return "fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions()
{
  return "leak:FcInitLoadConfigAndFonts\n";
}

namespace {

using namespace artwork;

constexpr double kPi = 3.14159265358979323846;

// ---- palette ---------------------------------------------------------------

constexpr RstColor Rgb(int r, int g, int b, int a = 255)
{
  return {uint8_t(a), uint8_t(r), uint8_t(g), uint8_t(b)};
}

RstColor Mix(RstColor a, RstColor b, double t)
{
  t = std::clamp(t, 0.0, 1.0);
  auto m = [t](uint8_t x, uint8_t y) { return uint8_t(std::lround(x + (y - x) * t)); };
  return {m(a.a, b.a), m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

RstColor WithAlpha(RstColor c, double alpha)
{
  c.a = uint8_t(std::lround(c.a * std::clamp(alpha, 0.0, 1.0)));
  return c;
}

constexpr RstColor kPanelTop = Rgb(40, 43, 49);
constexpr RstColor kPanelBottom = Rgb(27, 29, 33);
constexpr RstColor kSectionFill = Rgb(33, 36, 41);
constexpr RstColor kSectionEdge = Rgb(62, 67, 76);
constexpr RstColor kSectionShadow = Rgb(12, 13, 15, 160);
constexpr RstColor kTitleBar = Rgb(24, 26, 30);
constexpr RstColor kTitleText = Rgb(236, 160, 64);
constexpr RstColor kCaption = Rgb(196, 201, 210);
constexpr RstColor kCaptionDim = Rgb(128, 136, 148);
constexpr RstColor kWell = Rgb(13, 15, 18);
constexpr RstColor kWellEdge = Rgb(70, 75, 84);
constexpr RstColor kAmber = Rgb(255, 156, 46);
constexpr RstColor kAmberDark = Rgb(74, 42, 18);
constexpr RstColor kAmberGlow = Rgb(255, 120, 20);
constexpr RstColor kIconOff = Rgb(142, 148, 158);
constexpr RstColor kCapTop = Rgb(78, 83, 92);
constexpr RstColor kCapBottom = Rgb(38, 41, 46);

// ---- supersampled shading --------------------------------------------------

// Colour of the shape at a point in edge coordinates (pixel (x, y) spans
// x..x+1); alpha 0 outside.
using Shader = std::function<RstColor(double x, double y)>;

// Composites a shader over area with 4 x 4 samples per pixel.
void Shade(RstBitmap& bmp, RstRect area, const Shader& shader)
{
  area.l = std::max(area.l, 0);
  area.t = std::max(area.t, 0);
  area.r = std::min(area.r, bmp.Width());
  area.b = std::min(area.b, bmp.Height());
  constexpr int kSub = 4;
  for (int y = area.t; y < area.b; ++y) {
    RstPixel* row = bmp.Row(y);
    for (int x = area.l; x < area.r; ++x) {
      double a = 0, r = 0, g = 0, b = 0;
      for (int j = 0; j < kSub; ++j)
        for (int i = 0; i < kSub; ++i) {
          const RstColor c = shader(x + (i + 0.5) / kSub, y + (j + 0.5) / kSub);
          const double ca = c.a / 255.0;
          a += ca;
          r += c.r * ca;
          g += c.g * ca;
          b += c.b * ca;
        }
      constexpr double n = kSub * kSub;
      a /= n;
      if (a <= 0) continue;
      r /= n;
      g /= n;
      b /= n;
      const RstPixel d = row[x];
      const double keep = 1.0 - a;
      auto chan = [keep](double src, unsigned dst) {
        return RstPixel(std::clamp(std::lround(src + dst * keep), 0L, 255L));
      };
      const RstPixel outA = chan(a * 255.0, RstAlpha(d));
      row[x] = (outA << 24) | (chan(r, RstRed(d)) << 16) | (chan(g, RstGreen(d)) << 8) | chan(b, RstBlue(d));
    }
  }
  bmp.MarkDirty();
}

double SegmentDistance(double px, double py, double ax, double ay, double bx, double by)
{
  const double dx = bx - ax, dy = by - ay;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  const double ex = px - (ax + t * dx), ey = py - (ay + t * dy);
  return std::sqrt(ex * ex + ey * ey);
}

bool InRoundRect(double x, double y, double l, double t, double r, double b, double radius)
{
  if (x < l || x >= r || y < t || y >= b) return false;
  const double cx = std::clamp(x, l + radius, r - radius);
  const double cy = std::clamp(y, t + radius, b - radius);
  return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
}

// Rounded rectangle with a vertical gradient.
void FillRoundRect(RstBitmap& bmp, double l, double t, double r, double b, double radius, RstColor top,
                   RstColor bottom)
{
  Shade(bmp, {int(std::floor(l)), int(std::floor(t)), int(std::ceil(r)), int(std::ceil(b))},
        [=](double x, double y) {
          if (!InRoundRect(x, y, l, t, r, b, radius)) return RstColor{};
          return Mix(top, bottom, (y - t) / (b - t));
        });
}

// A bezel: an edge colour ring around a gradient face.
void Bezel(RstBitmap& bmp, double l, double t, double r, double b, double radius, RstColor edge, RstColor top,
           RstColor bottom)
{
  FillRoundRect(bmp, l, t, r, b, radius, edge, edge);
  FillRoundRect(bmp, l + 1, t + 1, r - 1, b - 1, std::max(0.0, radius - 1), top, bottom);
}

void FillDisc(RstBitmap& bmp, double cx, double cy, double radius, RstColor top, RstColor bottom)
{
  Shade(bmp,
        {int(std::floor(cx - radius)), int(std::floor(cy - radius)), int(std::ceil(cx + radius)),
         int(std::ceil(cy + radius))},
        [=](double x, double y) {
          const double dx = x - cx, dy = y - cy;
          if (dx * dx + dy * dy > radius * radius) return RstColor{};
          return Mix(top, bottom, (dy + radius) / (2 * radius));
        });
}

// A lamp: a disc with a soft halo when lit.
void Lamp(RstBitmap& bmp, double cx, double cy, double radius, bool lit)
{
  if (lit) {
    const double halo = radius * 2.2;
    Shade(bmp, {int(cx - halo) - 1, int(cy - halo) - 1, int(cx + halo) + 2, int(cy + halo) + 2},
          [=](double x, double y) {
            const double d = std::hypot(x - cx, y - cy);
            if (d >= halo) return RstColor{};
            return WithAlpha(kAmberGlow, 0.45 * (1 - d / halo) * (1 - d / halo));
          });
  }
  FillDisc(bmp, cx, cy, radius + 0.8, Rgb(8, 9, 10), Rgb(60, 64, 70));
  Shade(bmp, {int(cx - radius) - 1, int(cy - radius) - 1, int(cx + radius) + 2, int(cy + radius) + 2},
        [=](double x, double y) {
          const double d = std::hypot(x - cx, y - cy);
          if (d > radius) return RstColor{};
          const double hot = std::hypot(x - (cx - radius * 0.3), y - (cy - radius * 0.3)) / radius;
          return lit ? Mix(Rgb(255, 240, 200), kAmber, hot * 1.2) : Mix(Rgb(110, 66, 34), kAmberDark, hot);
        });
}

using Polyline = std::vector<std::pair<double, double>>;

void Stroke(RstBitmap& bmp, const Polyline& pts, double width, RstColor color, RstRect clip)
{
  if (pts.size() < 2) return;
  double l = 1e9, t = 1e9, r = -1e9, b = -1e9;
  for (auto [x, y] : pts) {
    l = std::min(l, x), t = std::min(t, y), r = std::max(r, x), b = std::max(b, y);
  }
  const double half = width / 2;
  RstRect area{int(std::floor(l - half)) - 1, int(std::floor(t - half)) - 1, int(std::ceil(r + half)) + 1,
               int(std::ceil(b + half)) + 1};
  area.l = std::max(area.l, clip.l), area.t = std::max(area.t, clip.t);
  area.r = std::min(area.r, clip.r), area.b = std::min(area.b, clip.b);
  Shade(bmp, area, [&](double x, double y) {
    for (size_t i = 1; i < pts.size(); ++i) {
      const auto [ax, ay] = pts[i - 1];
      const auto [bx, by] = pts[i];
      if (std::min(ax, bx) - half > x || std::max(ax, bx) + half < x) continue;
      if (SegmentDistance(x, y, ax, ay, bx, by) <= half) return color;
    }
    return RstColor{};
  });
}

// Graph of f over [0, 1) in the box, f's range -1..1 mapped to bottom..top.
Polyline Graph(const std::function<double(double)>& f, double l, double t, double r, double b, int samples)
{
  Polyline pts;
  for (int i = 0; i <= samples; ++i) {
    const double u = double(i) / samples;
    const double v = std::clamp(f(std::min(u, 0.99999)), -1.0, 1.0);
    pts.push_back({l + u * (r - l), b - (v + 1) / 2 * (b - t)});
  }
  return pts;
}

// ---- fonts and text --------------------------------------------------------

const RstFont& Font(double size, bool bold)
{
  static std::map<std::pair<double, bool>, std::unique_ptr<RstFont>> fonts;
  auto& font = fonts[{size, bold}];
  if (!font) {
    RstFontSpec spec;
    spec.face = "Helvetica";
    spec.size = size;
    spec.bold = bold;
    font = RstFont::Create(spec);
    if (!font) {
      std::fprintf(stderr, "make-artwork: no font available\n");
      std::exit(1);
    }
  }
  return *font;
}

void Text(RstBitmap& bmp, std::string_view text, int l, int t, int r, double size, bool bold, RstColor color,
          RstAlign align = RstAlign::kCenter)
{
  bmp.DrawText(Font(size, bold), text, {l, t, r, t + 20}, align, color);
}

// Text vertically centred on y.
void TextMid(RstBitmap& bmp, std::string_view text, int l, double y, int r, double size, bool bold,
             RstColor color, RstAlign align = RstAlign::kCenter)
{
  const RstFont& font = Font(size, bold);
  const int top = int(std::lround(y - font.LineHeight() / 2.0));
  bmp.DrawText(font, text, {l, top, r, top + font.LineHeight()}, align, color);
}

// ---- waveforms and responses -----------------------------------------------

double OscWave(int wave, double u)
{
  const double ph = std::fmod(u * 2, 1.0); // two cycles
  switch (wave) {
  case 0: return 2 * ph - 1;                     // sawtooth
  case 1: return ph < 0.35 ? 1 : -1;             // pulse
  case 2: return ph < 0.5 ? 2 * ph : 2 * ph - 2; // saw plus pulse
  default: return std::sin(2 * kPi * ph);        // sine
  }
}

double LfoWave(int wave, double u)
{
  const double ph = std::fmod(u * 2, 1.0);
  switch (wave) {
  case 0: return std::sin(2 * kPi * ph);
  case 1: return ph < 0.5 ? 1 : -1;
  case 2: return 1 - 2 * ph;
  case 3: return 2 * ph - 1;
  case 4: {
    static constexpr double held[] = {0.4, -0.8, 0.9, 0.1, -0.3, 0.7, -1.0, 0.3};
    return held[std::min(7, int(u * 8))];
  }
  default: return ph < 1.0 / 3 ? 1 : ph < 2.0 / 3 ? 0 : -1;
  }
}

// Magnitude (dB) of each filter mode at f = frequency / cutoff.
double ModeResponseDb(int mode, double f)
{
  constexpr double q = 2.2; // a little resonance shows where the cutoff is
  const double re = 1 - f * f, im = f / q;
  const double den = std::sqrt(re * re + im * im);
  switch (mode) {
  case 2: return 20 * std::log10(1 / den);
  case 3: return 20 * std::log10(f * f / den);
  case 4: return 20 * std::log10(im / den);
  case 6: {
    // four first-order allpass stages mixed with the dry signal: two notches
    const double phase = -8 * std::atan(f);
    return 20 * std::log10(std::max(1e-3, std::fabs(std::cos(phase / 2))));
  }
  default: return 0;
  }
}

// ---- the images ------------------------------------------------------------

std::unique_ptr<RstBitmap> NewStrip(const ImageSpec& spec)
{
  return RstBitmap::Create(spec.width, spec.Height());
}

void DrawKnob(RstBitmap& bmp, int oy, double value)
{
  const double cx = 20, cy = oy + 20;
  constexpr double kSweep = 135.0 * kPi / 180.0;
  const double pointer = -kSweep + 2 * kSweep * value;
  // shadow under the cap
  Shade(bmp, {0, oy, 40, oy + 40}, [=](double x, double y) {
    const double d = std::hypot(x - cx, y - (cy + 1.5));
    if (d > 16.5) return RstColor{};
    return WithAlpha(Rgb(0, 0, 0), 0.55 * std::min(1.0, (16.5 - d) / 3));
  });
  // value ring: the lit part runs from the minimum to the pointer
  Shade(bmp, {0, oy, 40, oy + 40}, [=](double x, double y) {
    const double dx = x - cx, dy = y - cy;
    const double d = std::hypot(dx, dy);
    if (d < 16.4 || d > 19.2) return RstColor{};
    const double angle = std::atan2(dx, -dy);
    if (std::fabs(angle) > kSweep) return RstColor{};
    return angle <= pointer ? Mix(Rgb(255, 190, 90), kAmber, (d - 16.4) / 2.8) : Rgb(12, 13, 16);
  });
  // knurled skirt, then the cap
  Shade(bmp, {0, oy, 40, oy + 40}, [=](double x, double y) {
    const double dx = x - cx, dy = y - cy;
    const double d = std::hypot(dx, dy);
    if (d > 14.2) return RstColor{};
    const double shade = (dy + 14.2) / 28.4;
    RstColor c = Mix(Rgb(96, 102, 112), Rgb(22, 24, 28), shade);
    if (d > 11.8) {
      const double ridge = std::cos(std::atan2(dx, -dy) * 24 - pointer * 24);
      c = Mix(c, Rgb(10, 11, 13), 0.25 + 0.2 * ridge);
    }
    return c;
  });
  FillDisc(bmp, cx, cy, 11.2, kCapTop, kCapBottom);
  FillDisc(bmp, cx, cy, 10.2, Rgb(58, 62, 70), Rgb(44, 47, 53));
  // pointer
  const double sx = std::sin(pointer), sy = -std::cos(pointer);
  Stroke(bmp, {{cx + sx * 3.5, cy + sy * 3.5}, {cx + sx * 10.5, cy + sy * 10.5}}, 2.2, Rgb(245, 245, 240),
         {0, oy, 40, oy + 40});
}

std::unique_ptr<RstBitmap> MakeKnob(const ImageSpec& spec)
{
  auto bmp = NewStrip(spec);
  for (int f = 0; f < spec.frames; ++f) DrawKnob(*bmp, f * spec.frameHeight, double(f) / (spec.frames - 1));
  return bmp;
}

// Labelled switch: the control writes its label into (5, 3)..(W-6, H-6); the
// lamp strip sits below it.
std::unique_ptr<RstBitmap> MakeButton(const ImageSpec& spec)
{
  auto bmp = NewStrip(spec);
  const double w = spec.width, h = spec.frameHeight;
  for (int f = 0; f < 2; ++f) {
    const bool on = f == 1;
    const double oy = f * h;
    Bezel(*bmp, 0, oy, w, oy + h, 3, Rgb(10, 11, 13), on ? Rgb(70, 74, 82) : kCapTop,
          on ? Rgb(44, 47, 53) : kCapBottom);
    // lamp strip
    if (on) {
      Shade(*bmp, {0, int(oy), int(w), int(oy + h)}, [=](double x, double y) {
        const double dx = std::max({0.0, 9 - x, x - (w - 9)});
        const double d = std::hypot(dx, std::max({0.0, oy + 18.5 - y, y - (oy + 20.5)}));
        if (d > 4) return RstColor{};
        return WithAlpha(kAmberGlow, 0.5 * (1 - d / 4));
      });
    }
    FillRoundRect(*bmp, 8, oy + 18, w - 8, oy + 21, 1, on ? Rgb(255, 214, 140) : kAmberDark,
                  on ? kAmber : Rgb(50, 30, 14));
  }
  return bmp;
}

// Source selector: a recessed window for the source name.
std::unique_ptr<RstBitmap> MakeButtonOff(const ImageSpec& spec)
{
  auto bmp = NewStrip(spec);
  const double w = spec.width, h = spec.frameHeight;
  Bezel(*bmp, 0, 0, w, h, 3, kWellEdge, Rgb(10, 11, 14), Rgb(22, 24, 28));
  return bmp;
}

std::unique_ptr<RstBitmap> MakeArrow(const ImageSpec& spec, bool right)
{
  auto bmp = NewStrip(spec);
  const double w = spec.width, h = spec.frameHeight;
  for (int f = 0; f < 2; ++f) {
    const bool down = f == 1;
    const double oy = f * h;
    Bezel(*bmp, 0, oy, w, oy + h, 3, Rgb(10, 11, 13), down ? Rgb(40, 43, 48) : kCapTop,
          down ? Rgb(56, 60, 67) : kCapBottom);
    const double cx = w / 2 + (down ? 0.5 : 0), cy = oy + h / 2 + (down ? 0.5 : 0);
    const double dir = right ? 1 : -1;
    Shade(*bmp, {0, int(oy), int(w), int(oy + h)}, [=](double x, double y) {
      const double u = (x - cx) * dir + 2.5; // 0 at the base, 5 at the tip
      if (u < 0 || u > 5.5 || std::fabs(y - cy) > (5.5 - u) * 0.8) return RstColor{};
      return down ? kAmber : Rgb(220, 224, 230);
    });
  }
  return bmp;
}

std::unique_ptr<RstBitmap> MakePlusMinus(const ImageSpec& spec, bool plus)
{
  auto bmp = NewStrip(spec);
  const double s = spec.width, h = spec.frameHeight;
  for (int f = 0; f < 2; ++f) {
    const bool down = f == 1;
    const double oy = f * h;
    const double c = s / 2;
    FillDisc(*bmp, c, oy + c, 5.5, Rgb(8, 9, 10), Rgb(8, 9, 10));
    FillDisc(*bmp, c, oy + c, 4.6, down ? Rgb(40, 43, 48) : Rgb(92, 98, 108),
             down ? Rgb(60, 64, 70) : Rgb(40, 43, 48));
    const RstColor mark = down ? kAmber : Rgb(230, 232, 236);
    Shade(*bmp, {0, int(oy), int(s), int(oy + h)}, [=](double x, double y) {
      const double dx = std::fabs(x - c), dy = std::fabs(y - (oy + c));
      const bool bar = dx <= 2.6 && dy <= 0.6;
      const bool post = plus && dx <= 0.6 && dy <= 2.6;
      return bar || post ? mark : RstColor{};
    });
  }
  return bmp;
}

// A column of options, one row each, the lit row marked by a lamp and its
// picture or name drawn lit. litRow(frame) gives the lit row of a frame.
template <class DrawRow, class LitRow>
std::unique_ptr<RstBitmap> MakeSelector(const ImageSpec& spec, int rows, LitRow litRow, DrawRow drawRow)
{
  auto bmp = NewStrip(spec);
  const int w = spec.width, h = spec.frameHeight;
  const double rowH = double(h) / rows;
  for (int f = 0; f < spec.frames; ++f) {
    // each frame drawn on its own, so that no text spills into a neighbour
    auto frame = RstBitmap::Create(w, h);
    Bezel(*frame, 0, 0, w, h, 3, Rgb(52, 56, 63), Rgb(15, 17, 20), Rgb(20, 22, 26));
    const int lit = litRow(f);
    for (int row = 0; row < rows; ++row) {
      const double top = row * rowH;
      if (row == lit)
        FillRoundRect(*frame, 1.5, top + 0.5, w - 1.5, top + rowH - 0.5, 1.5, Rgb(58, 40, 22),
                      Rgb(44, 30, 17));
      const double lampR = std::min(2.6, rowH * 0.3);
      Lamp(*frame, 3.5 + lampR, top + rowH / 2, lampR, row == lit);
      drawRow(*frame, row, int(std::lround(5 + 2 * lampR)), top, w - 2, top + rowH, row == lit);
    }
    bmp->Blit(0, f * h, *frame, frame->Bounds(), {RstMode::kCopy});
  }
  return bmp;
}

std::unique_ptr<RstBitmap> MakeWaveSelector(const ImageSpec& spec, bool lfo, bool reverse)
{
  const int n = spec.frames;
  return MakeSelector(
      spec, n, [=](int f) { return reverse ? n - 1 - f : f; },
      [=](RstBitmap& bmp, int row, int l, double t, int r, double b, bool lit) {
        const double pad = (b - t) * 0.2;
        auto wave = [=](double u) { return lfo ? LfoWave(row, u) : OscWave(row, u); };
        Stroke(bmp, Graph(wave, l + 1, t + pad, r - 2, b - pad, 120), (b - t) > 10 ? 1.4 : 1.1,
               lit ? kAmber : kIconOff, {0, int(t), bmp.Width(), int(std::ceil(b))});
      });
}

std::unique_ptr<RstBitmap> MakeTextSelector(const ImageSpec& spec, std::vector<std::string_view> names,
                                            bool reverse, double size)
{
  const int n = spec.frames;
  return MakeSelector(
      spec, n, [=](int f) { return reverse ? n - 1 - f : f; },
      [=](RstBitmap& bmp, int row, int l, double t, int r, double b, bool lit) {
        TextMid(bmp, names[row], l + 1, (t + b) / 2 + 0.6, r, size, true, lit ? Rgb(255, 196, 110) : kIconOff,
                RstAlign::kNear);
      });
}

// Seven-segment digits in a dark window.
std::unique_ptr<RstBitmap> MakeDigits(const ImageSpec& spec)
{
  // segments a..g, as bits 0..6
  static constexpr uint8_t kSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
  auto bmp = NewStrip(spec);
  const double w = spec.width, h = spec.frameHeight;
  for (int d = 0; d < 10; ++d) {
    const double oy = d * h;
    bmp->FillRect({0, int(oy), int(w), int(oy + h)}, Rgb(10, 8, 6));
    // segment ends in a 10 x 16 cell, slanted slightly to the right
    const double l = 2.2, r = 7.6, top = oy + 2, mid = oy + 8, bot = oy + 14;
    const double slant = 0.12;
    auto sx = [&](double x, double y) { return x + (oy + 8 - y) * slant; };
    struct Seg
    {
      double x1, y1, x2, y2;
    };
    const Seg segs[7] = {{l, top, r, top}, {r, top, r, mid}, {r, mid, r, bot}, {l, bot, r, bot},
                         {l, mid, l, bot}, {l, top, l, mid}, {l, mid, r, mid}};
    for (int s = 0; s < 7; ++s) {
      const bool on = kSegments[d] >> s & 1;
      const Seg& g = segs[s];
      const bool horizontal = g.y1 == g.y2;
      const double inset = 0.9;
      const double x1 = g.x1 + (horizontal ? inset : 0), x2 = g.x2 - (horizontal ? inset : 0);
      const double y1 = g.y1 + (horizontal ? 0 : inset), y2 = g.y2 - (horizontal ? 0 : inset);
      Stroke(*bmp, {{sx(x1, y1), y1}, {sx(x2, y2), y2}}, 1.7, on ? Rgb(255, 150, 40) : Rgb(40, 24, 12),
             {0, int(oy), int(w), int(oy + h)});
    }
  }
  return bmp;
}

std::unique_ptr<RstBitmap> MakeFilterModes(const ImageSpec& spec)
{
  static constexpr std::string_view kNames[7] = {"OFF",      "BYPASS",  "LOWPASS", "HIGHPASS",
                                                 "BANDPASS", "ALLPASS", "PHASER"};
  auto bmp = NewStrip(spec);
  const int w = spec.width, h = spec.frameHeight;
  for (int m = 0; m < 7; ++m) {
    const int oy = m * h;
    Bezel(*bmp, 0, oy, w, oy + h, 4, kWellEdge, Rgb(12, 16, 20), Rgb(8, 10, 13));
    const RstRect plot{3, oy + 3, w - 3, oy + h - 3};
    // grid: decades and 12 dB lines
    for (int k = 1; k < 4; ++k) {
      const int gx = plot.l + k * plot.Width() / 4;
      bmp->FillRect({gx, plot.t, gx + 1, plot.b}, Rgb(34, 44, 52));
    }
    for (int k = 1; k < 4; ++k) {
      const int gy = plot.t + k * plot.Height() / 4;
      bmp->FillRect({plot.l, gy, plot.r, gy + 1}, Rgb(34, 44, 52));
    }
    // x: 2 decades either side of the cutoff; y: +12 dB at the top, -36 dB at the bottom
    const double zeroDbY = plot.t + plot.Height() * 0.25;
    auto yOf = [&](double db) { return plot.t + (12 - db) / 48.0 * plot.Height(); };
    Polyline curve;
    if (m == 0) {
      curve = {{double(plot.l), plot.b - 1.5}, {double(plot.r), plot.b - 1.5}};
    } else {
      for (int i = 0; i <= 160; ++i) {
        const double u = i / 160.0;
        const double f = std::pow(10.0, -2 + 4 * u);
        const double db = std::clamp(ModeResponseDb(m, f), -40.0, 14.0);
        curve.push_back({plot.l + u * plot.Width(), yOf(db)});
      }
    }
    // soft fill under the curve
    Shade(*bmp, plot, [&](double x, double y) {
      const double u = (x - plot.l) / plot.Width();
      const size_t i = std::min(curve.size() - 1, size_t(u * (curve.size() - 1) + 0.5));
      if (m == 0 || y < curve[i].second) return RstColor{};
      return WithAlpha(kAmber, 0.16 * (1 - (y - curve[i].second) / plot.Height()));
    });
    if (m == 5) {
      // an allpass only turns the phase: show it, dimmer, beside the flat level
      Polyline phase;
      for (int i = 0; i <= 160; ++i) {
        const double u = i / 160.0;
        const double f = std::pow(10.0, -2 + 4 * u);
        const double turns = 2 * std::atan(f) / kPi; // 0..1 of a full turn down
        phase.push_back({plot.l + u * plot.Width(), zeroDbY + turns * (plot.b - 4 - zeroDbY)});
      }
      Stroke(*bmp, phase, 1.0, Rgb(96, 150, 190), plot);
    }
    Stroke(*bmp, curve, 1.6, m == 0 ? Rgb(90, 64, 40) : kAmber, plot);
    Text(*bmp, kNames[m], plot.l + 2, plot.t, plot.r - 3, 8, true, Rgb(150, 176, 196), RstAlign::kFar);
  }
  return bmp;
}

std::unique_ptr<RstBitmap> MakeLedOn(const ImageSpec& spec)
{
  auto bmp = NewStrip(spec);
  Lamp(*bmp, spec.width / 2.0, spec.frameHeight / 2.0, 3.6, true);
  return bmp;
}

// ---- background ------------------------------------------------------------

struct Section
{
  int l, t, r, b;
  std::string_view title;
};

void DrawSection(RstBitmap& bmp, const Section& s)
{
  FillRoundRect(bmp, s.l + 1, s.t + 2, s.r + 1, s.b + 2, 6, kSectionShadow, kSectionShadow);
  Bezel(bmp, s.l, s.t, s.r, s.b, 6, kSectionEdge, kSectionFill, Mix(kSectionFill, kPanelBottom, 0.6));
  if (!s.title.empty()) {
    FillRoundRect(bmp, s.l + 4, s.t + 4, s.r - 4, s.t + 18, 3, kTitleBar, kTitleBar);
    TextMid(bmp, s.title, s.l + 4, s.t + 11, s.r - 4, 10, true, kTitleText);
  }
}

// A thin divider with a title set into it.
void Divider(RstBitmap& bmp, int l, int r, int y, std::string_view title)
{
  bmp.FillRect({l, y, r, y + 1}, kSectionEdge);
  bmp.FillRect({l, y + 1, r, y + 2}, Rgb(20, 22, 25));
  if (title.empty()) return;
  const RstFont& font = Font(9, true);
  const int tw = font.Measure(title).w + 10;
  const int cx = (l + r) / 2;
  bmp.FillRect({cx - tw / 2, y - 5, cx + tw / 2, y + 7}, kSectionFill);
  TextMid(bmp, title, cx - tw / 2, y + 1, cx + tw / 2, 9, true, kTitleText);
}

void Well(RstBitmap& bmp, const int (&rect)[4], int grow)
{
  Bezel(bmp, rect[0] - grow, rect[1] - grow, rect[2] + grow, rect[3] + grow, 3, kWellEdge, Rgb(8, 9, 11),
        Rgb(16, 18, 21));
}

void Screw(RstBitmap& bmp, double cx, double cy)
{
  FillDisc(bmp, cx, cy, 4.5, Rgb(12, 13, 15), Rgb(70, 74, 82));
  FillDisc(bmp, cx, cy, 3.6, Rgb(120, 125, 134), Rgb(52, 56, 62));
  Stroke(bmp, {{cx - 2.4, cy + 1.2}, {cx + 2.4, cy - 1.2}}, 1.0, Rgb(24, 26, 30),
         {0, 0, bmp.Width(), bmp.Height()});
}

std::unique_ptr<RstBitmap> MakeBack(const ImageSpec& spec)
{
  auto bmp = NewStrip(spec);
  const int w = spec.width, h = spec.frameHeight;
  // brushed-metal dark panel: a gradient with fine deterministic grain
  for (int y = 0; y < h; ++y) {
    RstPixel* row = bmp->Row(y);
    const RstColor base = Mix(kPanelTop, kPanelBottom, double(y) / h);
    uint32_t seed = 0x9E3779B9u ^ uint32_t(y * 2654435761u);
    for (int x = 0; x < w; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int grain = int(seed >> 29) - 3; // -3..4
      auto c = [grain](uint8_t v) { return RstPixel(std::clamp(int(v) + grain / 2, 0, 255)); };
      row[x] = 0xFF000000u | c(base.r) << 16 | c(base.g) << 8 | c(base.b);
    }
  }
  bmp->MarkDirty();

  const Section sections[] = {
      {10, 20, 134, 430, "OSCILLATOR 1"},
      {142, 20, 268, 430, "OSCILLATOR 2"},
      {280, 20, 568, 430, "MIXER 1"},
      {582, 20, 870, 430, "MIXER 2"},
      {882, 20, 1092, 430, ""},
      {134, 440, 436, 578, ""},
      {442, 440, 648, 578, "ENVELOPE 1 \u00B7 AMP"},
      {664, 440, 870, 578, "ENVELOPE 2"},
      {886, 440, 1092, 578, "ENVELOPE 3"},
  };
  for (const Section& s : sections) DrawSection(*bmp, s);
  // subsections inside the filter columns and the LFO column
  for (int col = 0; col < 2; ++col) {
    const int l = col == 0 ? 284 : 586, r = col == 0 ? 564 : 866;
    Divider(*bmp, l + 4, r - 4, 122, col == 0 ? "FILTER 1" : "FILTER 2");
    // the amplifier title sits where cutoff and resonance have no selectors
    const int ax = col == 0 ? 292 : 594;
    bmp->FillRect({ax - 4, 307, r - 4, 308}, kSectionEdge);
    FillRoundRect(*bmp, ax - 2, 287, ax + 98, 301, 3, kTitleBar, kTitleBar);
    TextMid(*bmp, col == 0 ? "AMP & PAN 1" : "AMP & PAN 2", ax - 2, 294, ax + 98, 9, true, kTitleText);
  }
  // the title bar of the LFO section is replaced by one per LFO
  for (int n = 0; n < 3; ++n) {
    const int top = 20 + 136 * n;
    if (n > 0) Divider(*bmp, 886, 1088, top - 2, "");
    FillRoundRect(*bmp, 886, top + 4, 1088, top + 18, 3, kTitleBar, kTitleBar);
    char title[8];
    std::snprintf(title, sizeof title, "LFO %d", n + 1);
    TextMid(*bmp, title, 886, top + 11, 1088, 10, true, kTitleText);
  }

  // a faint envelope shape fills each envelope section's header
  for (const int l : {442, 664, 886}) {
    Polyline adsr;
    const double x0 = l + 16, base = 489, peak = 470, sustain = 481;
    for (int i = 0; i <= 24; ++i) // attack: a rising curve that overshoots its end
      adsr.push_back({x0 + i * 1.6, base - (base - peak) * (1 - std::exp(-i / 10.0)) / (1 - std::exp(-2.4))});
    for (int i = 1; i <= 24; ++i) // decay towards the sustain level
      adsr.push_back({x0 + 38.4 + i * 1.8, sustain - (sustain - peak) * std::exp(-i / 8.0)});
    adsr.push_back({x0 + 125, sustain});
    for (int i = 1; i <= 24; ++i) // release
      adsr.push_back(
          {x0 + 125 + i * 2.2, base - (base - sustain) * (std::exp(-i / 7.0) - std::exp(-24 / 7.0))});
    Stroke(*bmp, adsr, 1.3, Rgb(92, 99, 112), bmp->Bounds());
  }

  // programs and global
  Text(*bmp, "ZORVA", 12, 446, 130, 30, true, Rgb(230, 232, 236));
  bmp->FillRect({22, 484, 120, 486}, kAmber);
  Text(*bmp, "POLYPHONIC", 12, 520, 130, 9, true, kCaptionDim);
  Text(*bmp, "SYNTHESIZER", 12, 531, 130, 9, true, kCaptionDim);
  Screw(*bmp, 20, 566);
  Screw(*bmp, 116, 566);
  Text(*bmp, "PROGRAM", 138, 443, 200, 9, true, kTitleText, RstAlign::kNear);
  Well(*bmp, kProgramNumber, 1);
  Well(*bmp, kProgramName, 1);
  Text(*bmp, "GLOBAL", 138, 481, 200, 9, true, kTitleText, RstAlign::kNear);
  bmp->FillRect({180, 486, 358, 487}, kSectionEdge);
  bmp->FillRect({190, 448, 430, 449}, kSectionEdge);
  // the file menu's button is part of the background; the control only takes the click
  Bezel(*bmp, kFileMenu[0], kFileMenu[1], kFileMenu[2], kFileMenu[3], 3, Rgb(10, 11, 13), kCapTop,
        kCapBottom);
  TextMid(*bmp, "MENU", kFileMenu[0], (kFileMenu[1] + kFileMenu[3]) / 2.0, kFileMenu[2], 9, true,
          Rgb(220, 224, 230));
  Well(*bmp, kVoiceDigits, 2);
  // the MIDI light's dark lamp shows while the light itself is hidden
  Lamp(*bmp, 414, 554, 3.6, false);

  // captions over the controls
  for (const Placement& p : kPlacements) {
    if (p.caption.empty()) continue;
    const ImageSpec& img = Image(p.image);
    const bool selector = p.image == "button_off";
    const int top = p.y - (selector ? 11 : 13);
    Text(*bmp, p.caption, p.x - 8, top, p.x + img.width + 8, selector ? 8 : 9, true,
         selector ? kCaptionDim : kCaption);
  }
  return bmp;
}

std::unique_ptr<RstBitmap> MakeImage(const ImageSpec& spec)
{
  const std::string_view n = spec.name;
  if (n == "back") return MakeBack(spec);
  if (n == "button") return MakeButton(spec);
  if (n == "button_off") return MakeButtonOff(spec);
  if (n == "knob") return MakeKnob(spec);
  if (n == "left") return MakeArrow(spec, false);
  if (n == "right") return MakeArrow(spec, true);
  if (n == "sync_tristate") return MakeTextSelector(spec, {"OFF", "SOFT", "HARD"}, false, 8);
  if (n == "digits") return MakeDigits(spec);
  if (n == "switch4") return MakeWaveSelector(spec, false, false);
  if (n == "switch6") return MakeWaveSelector(spec, true, true);
  if (n == "switch7")
    return MakeTextSelector(spec, {"OFF", "BYPASS", "LOWPASS", "HIGHPASS", "BANDPASS", "ALLPASS", "PHASER"},
                            true, 7.5);
  if (n == "filtermodes") return MakeFilterModes(spec);
  if (n == "LED_on") return MakeLedOn(spec);
  if (n == "button_plus") return MakePlusMinus(spec, true);
  if (n == "button_minus") return MakePlusMinus(spec, false);
  return nullptr;
}

// ---- the application icon -------------------------------------------------

// The panel in miniature: a dark face with one amber-lit knob, drawn for any
// size so that every icon size is sharp.
std::unique_ptr<RstBitmap> MakeIcon(int size)
{
  auto bmp = RstBitmap::Create(size, size);
  const double s = size / 128.0;
  FillRoundRect(*bmp, 4 * s, 6 * s, 124 * s, 126 * s, 22 * s, kSectionShadow, kSectionShadow);
  Bezel(*bmp, 4 * s, 2 * s, 124 * s, 122 * s, 22 * s, kSectionEdge, kPanelTop, kPanelBottom);
  const double cx = 64 * s, cy = 64 * s, ring = 42 * s;
  constexpr double kSweep = 135.0 * kPi / 180.0;
  auto arc = [&](double from, double to) {
    Polyline pts;
    for (int i = 0; i <= 64; ++i) {
      const double a = from + (to - from) * i / 64;
      pts.emplace_back(cx + ring * std::sin(a), cy - ring * std::cos(a));
    }
    return pts;
  };
  const RstRect all{0, 0, size, size};
  const double lit = kSweep * 0.45;
  Stroke(*bmp, arc(-kSweep, kSweep), 9 * s, kAmberDark, all);
  Stroke(*bmp, arc(-kSweep, lit), 9 * s, kAmber, all);
  FillDisc(*bmp, cx, cy + 2 * s, 30 * s, Rgb(8, 9, 10, 200), Rgb(8, 9, 10, 200));
  FillDisc(*bmp, cx, cy, 29 * s, kCapTop, kCapBottom);
  Stroke(*bmp,
         {{cx + 8 * s * std::sin(lit), cy - 8 * s * std::cos(lit)},
          {cx + 25 * s * std::sin(lit), cy - 25 * s * std::cos(lit)}},
         5 * s, kAmber, all);
  return bmp;
}

// ---- preview ---------------------------------------------------------------

void BlitFrame(RstBitmap& dst, const RstBitmap& src, const ImageSpec& spec, int x, int y, int frame)
{
  dst.Blit(x, y, src, RstFrameRect(src.Width(), src.Height(), spec.frames, frame, false));
}

std::unique_ptr<RstBitmap> Preview(const std::map<std::string_view, std::unique_ptr<RstBitmap>>& images)
{
  auto out = RstBitmap::Create(1096, 586);
  auto get = [&](std::string_view n) -> const RstBitmap& { return *images.at(n); };
  out->Blit(0, 0, get("back"), get("back").Bounds());
  const RstFont& value = Font(11, false);
  const RstFont& label = Font(11, false);
  int i = 0;
  for (const Placement& p : kPlacements) {
    const ImageSpec& spec = Image(p.image);
    int frame = 1 + (i * 7) % spec.frames;
    // both filters shown in "Lowpass", selector and picture agreeing
    if (p.image == "switch7") frame = 5;
    if (p.image == "filtermodes") frame = 3;
    ++i;
    if (p.image == "LED_on") continue; // hidden at start
    if (p.image == "digits") {
      BlitFrame(*out, get("digits"), spec, kVoiceDigits[0] + 2, kVoiceDigits[1], 1);
      BlitFrame(*out, get("digits"), spec, kVoiceDigits[0] + 12, kVoiceDigits[1], 9);
      continue;
    }
    if (p.image == "knob") {
      const ImageSpec& pm = Image("button_minus");
      const int kb = p.y + spec.frameHeight;
      BlitFrame(*out, get("button_minus"), pm, p.x - 4, kb - 6, 1);
      BlitFrame(*out, get("button_plus"), pm, p.x + spec.width - 7, kb - 6, 1);
      BlitFrame(*out, get("knob"), spec, p.x, p.y, frame);
      out->DrawText(value, "0.50", {p.x - 4, kb + 6, p.x + spec.width + 4, kb + 16}, RstAlign::kCenter,
                    Rgb(255, 255, 192, 160));
      continue;
    }
    BlitFrame(*out, get(p.image), spec, p.x, p.y, frame);
    const RstRect r{p.x, p.y, p.x + spec.width, p.y + spec.frameHeight};
    if (p.image == "button_off")
      out->DrawText(label, "LFO2+", {r.l, r.t + 3, r.r, r.b}, RstAlign::kCenter, Rgb(255, 255, 255, 192));
    if (p.image == "button") {
      const char* text = p.x == 307   ? "FREE"
                         : p.y == 515 ? "LEARN"
                         : p.y == 543 ? "CLIP"
                         : p.x == 903 ? "RETRIG"
                                      : "SYNC";
      out->DrawText(label, text, {r.l + 5, r.t + 3, r.r - 6, r.b - 6}, RstAlign::kCenter,
                    Rgb(255, 255, 255, 192));
    }
  }
  const RstFont& display = Font(13, false);
  auto rect = [](const int(&a)[4]) { return RstRect{a[0], a[1], a[2], a[3]}; };
  out->DrawText(display, "00", rect(kProgramNumber), RstAlign::kCenter, Rgb(255, 255, 192, 160));
  out->DrawText(display, "Init", rect(kProgramName), RstAlign::kCenter, Rgb(255, 255, 192, 160));
  out->DrawText(Font(13, false), "VERSION 2.1.4", rect(kVersionText), RstAlign::kCenter,
                Rgb(255, 255, 255, 128));
  return out;
}

} // namespace

int main(int argc, char** argv)
{
  // The application icon at one size: make-artwork --icon SIZE OUTPUT.png
  if (argc == 4 && std::string_view(argv[1]) == "--icon") {
    const int size = std::atoi(argv[2]);
    std::string error;
    if (size < 16 || size > 1024 || !RstSavePng(*MakeIcon(size), argv[3], &error)) {
      std::fprintf(stderr, "make-artwork: cannot draw the %s px icon into %s %s\n", argv[2], argv[3],
                   error.c_str());
      return 1;
    }
    return 0;
  }
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: make-artwork OUTPUT_DIR [PREVIEW.png]\n"
                         "       make-artwork --icon SIZE OUTPUT.png\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  std::map<std::string_view, std::unique_ptr<RstBitmap>> images;
  for (const ImageSpec& spec : kImages) {
    auto bmp = MakeImage(spec);
    if (!bmp || bmp->Width() != spec.width || bmp->Height() != spec.Height()) {
      std::fprintf(stderr, "make-artwork: could not draw %s\n", std::string(spec.name).c_str());
      return 1;
    }
    std::string error;
    const std::string path = (dir / (std::string(spec.name) + ".png")).string();
    if (!RstSavePng(*bmp, path, &error)) {
      std::fprintf(stderr, "make-artwork: %s: %s\n", path.c_str(), error.c_str());
      return 1;
    }
    images[spec.name] = std::move(bmp);
  }
  if (argc == 3) {
    std::string error;
    if (!RstSavePng(*Preview(images), argv[2], &error)) {
      std::fprintf(stderr, "make-artwork: %s: %s\n", argv[2], error.c_str());
      return 1;
    }
  }
  return 0;
}
