#include "raster/rst_bitmap.h"

#include "raster/rst_font.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <numbers>
#include <utility>

namespace {

cairo_operator_t ToOperator(RstMode mode)
{
  switch (mode) {
  case RstMode::kBlend: return CAIRO_OPERATOR_OVER;
  case RstMode::kCopy: return CAIRO_OPERATOR_SOURCE;
  case RstMode::kAdd: return CAIRO_OPERATOR_ADD;
  case RstMode::kDodge: return CAIRO_OPERATOR_COLOR_DODGE;
  case RstMode::kAlphaMask: return CAIRO_OPERATOR_DEST_IN;
  }
  return CAIRO_OPERATOR_OVER;
}

// How a shape meets the destination. A shape cutting with kAlphaMask must
// leave everything outside it alone: keeping a fraction a of the destination
// is removing a fraction 1 - a, which the renderer does only where it draws.
struct ShapeInk
{
  cairo_operator_t op;
  RstColor color;
};

ShapeInk InkFor(RstColor color, RstMode mode)
{
  if (mode == RstMode::kAlphaMask) return {CAIRO_OPERATOR_DEST_OUT, {uint8_t(255 - color.a), 0, 0, 0}};
  return {ToOperator(mode), color};
}

// Coordinates and radii beyond this lie far outside any bitmap; calls using
// them draw nothing. Curves are flattened into segments in proportion to
// their radius, and the renderer's fixed-point transforms lose exactness.
constexpr double kFar = 4.0 * RstBitmap::kMaxSide;

bool IsFar(const RstRect& r)
{
  return std::abs(double(r.l)) > kFar || std::abs(double(r.t)) > kFar || std::abs(double(r.r)) > kFar ||
         std::abs(double(r.b)) > kFar;
}

bool AllFinite(std::initializer_list<double> values)
{
  return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// The opacity to draw with, or false when the call should draw nothing
// (a weight of zero, negative or not a number).
bool Opacity(const RstPaint& paint, double& opacity)
{
  if (!(paint.weight > 0.0f)) return false;
  opacity = paint.weight >= 1.0f ? 1.0 : double(paint.weight);
  return true;
}

void SetSourceColor(cairo_t* cr, RstColor color, double alphaScale)
{
  cairo_set_source_rgba(cr, color.r / 255.0, color.g / 255.0, color.b / 255.0, color.a / 255.0 * alphaScale);
}

// One cairo context per call keeps calls independent: no clip, transform or
// error state can leak from one drawing operation into the next.
class Context
{
public:
  Context(cairo_surface_t* surface, const RstPaint& paint) : mCr(cairo_create(surface))
  {
    cairo_set_operator(mCr, ToOperator(paint.mode));
    cairo_set_antialias(mCr, paint.antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
  }
  ~Context() { cairo_destroy(mCr); }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;
  cairo_t* get() const { return mCr; }

private:
  cairo_t* mCr;
};

template <class BuildPath>
void FillPath(cairo_surface_t* surface, RstColor color, const RstPaint& paint, BuildPath buildPath)
{
  double opacity;
  if (!surface || !Opacity(paint, opacity)) return;
  Context ctx(surface, paint);
  cairo_t* cr = ctx.get();
  const ShapeInk ink = InkFor(color, paint.mode);
  cairo_set_operator(cr, ink.op);
  buildPath(cr);
  // A partial weight on a copy interpolates with the destination (cairo does
  // that for a clip or a mask) rather than making the copied colour thinner.
  if (paint.mode == RstMode::kCopy) {
    cairo_clip(cr);
    SetSourceColor(cr, ink.color, 1.0);
    cairo_paint_with_alpha(cr, opacity);
  } else {
    SetSourceColor(cr, ink.color, opacity);
    cairo_fill(cr);
  }
}

template <class BuildPath>
void StrokePath(cairo_surface_t* surface, RstColor color, const RstPaint& paint, BuildPath buildPath)
{
  double opacity;
  if (!surface || !Opacity(paint, opacity)) return;
  Context ctx(surface, paint);
  cairo_t* cr = ctx.get();
  cairo_set_line_width(cr, 1.0);
  // Square caps make an aliased line cover both of its end pixels; round ones
  // keep antialiased ends soft.
  cairo_set_line_cap(cr, paint.antialias ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_SQUARE);
  const ShapeInk ink = InkFor(color, paint.mode);
  cairo_set_operator(cr, ink.op);
  buildPath(cr);
  if (paint.mode != RstMode::kCopy || opacity >= 1.0) {
    SetSourceColor(cr, ink.color, paint.mode == RstMode::kCopy ? 1.0 : opacity);
    cairo_stroke(cr);
    return;
  }
  // A stroke cannot be a clip, so its coverage times the weight is rendered
  // into a small alpha mask first.
  double x1, y1, x2, y2;
  cairo_stroke_extents(cr, &x1, &y1, &x2, &y2);
  cairo_path_t* path = cairo_copy_path(cr);
  cairo_new_path(cr);
  cairo_rectangle(cr, std::floor(x1), std::floor(y1), std::ceil(x2) - std::floor(x1),
                  std::ceil(y2) - std::floor(y1));
  cairo_clip(cr);
  cairo_push_group_with_content(cr, CAIRO_CONTENT_ALPHA);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  cairo_append_path(cr, path);
  cairo_set_source_rgba(cr, 0, 0, 0, opacity);
  cairo_stroke(cr);
  cairo_pattern_t* mask = cairo_pop_group(cr);
  cairo_set_operator(cr, ink.op);
  SetSourceColor(cr, ink.color, 1.0);
  cairo_mask(cr, mask);
  cairo_pattern_destroy(mask);
  cairo_path_destroy(path);
}

// Integer rectangle clipping in 64 bits, so hostile coordinates cannot overflow.
struct Span
{
  int64_t l, t, r, b;
  bool IsEmpty() const { return r <= l || b <= t; }
};

Span Intersect(Span a, Span b)
{
  return {std::max(a.l, b.l), std::max(a.t, b.t), std::min(a.r, b.r), std::min(a.b, b.b)};
}

Span ToSpan(const RstRect& r)
{
  return {r.l, r.t, r.r, r.b};
}

// Copy of part of a bitmap, for operations whose source is their destination.
std::unique_ptr<RstBitmap> CopyRegion(const RstBitmap& src, const Span& region)
{
  auto copy = RstBitmap::Create(int(region.r - region.l), int(region.b - region.t));
  if (copy)
    copy->Blit(0, 0, src, {int(region.l), int(region.t), int(region.r), int(region.b)}, {RstMode::kCopy});
  return copy;
}

} // namespace

RstRect RstFrameRect(int width, int height, int nFrames, int frame, bool horizontal)
{
  if (width < 0 || height < 0) return {};
  nFrames = std::max(nFrames, 1);
  frame = std::clamp(frame, 1, nFrames);
  if (horizontal) {
    const int x = int(0.5 + double(width) * (frame - 1) / nFrames);
    return {x, 0, x + width / nFrames, height};
  }
  const int y = int(0.5 + double(height) * (frame - 1) / nFrames);
  return {0, y, width, y + height / nFrames};
}

std::unique_ptr<RstBitmap> RstBitmap::Create(int width, int height, RstBitmapKind kind)
{
  if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) return nullptr;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  return std::unique_ptr<RstBitmap>(new RstBitmap(surface, width, height, kind));
}

RstBitmap::RstBitmap(cairo_surface_t* surface, int width, int height, RstBitmapKind kind)
    : mSurface(surface), mWidth(width), mHeight(height), mKind(kind)
{
}

RstBitmap::~RstBitmap()
{
  cairo_surface_destroy(mSurface);
}

void RstBitmap::Replace(cairo_surface_t* surface, int width, int height)
{
  cairo_surface_destroy(mSurface);
  mSurface = surface;
  mWidth = width;
  mHeight = height;
}

bool RstBitmap::Resize(int width, int height)
{
  auto fresh = Create(width, height, mKind);
  if (!fresh) return false;
  Replace(std::exchange(fresh->mSurface, nullptr), width, height);
  return true;
}

bool RstBitmap::CopyFrom(const RstBitmap& src)
{
  if (&src == this) return true;
  if (!Resize(src.mWidth, src.mHeight)) return false;
  if (mWidth == 0) return true;
  for (int y = 0; y < mHeight; ++y) std::memcpy(Row(y), src.Row(y), size_t(mWidth) * sizeof(RstPixel));
  MarkDirty();
  return true;
}

RstPixel* RstBitmap::Row(int y)
{
  if (y < 0 || y >= mHeight) return nullptr;
  cairo_surface_flush(mSurface);
  return reinterpret_cast<RstPixel*>(cairo_image_surface_get_data(mSurface) + ptrdiff_t(y) * RowSpan());
}

const RstPixel* RstBitmap::Row(int y) const
{
  return const_cast<RstBitmap*>(this)->Row(y);
}

int RstBitmap::RowSpan() const
{
  return cairo_image_surface_get_stride(mSurface);
}

void RstBitmap::MarkDirty()
{
  cairo_surface_mark_dirty(mSurface);
}

RstPixel RstBitmap::GetPixel(int x, int y) const
{
  if (x < 0 || x >= mWidth) return 0;
  const RstPixel* row = Row(y);
  return row ? row[x] : 0;
}

void RstBitmap::PutPixel(int x, int y, RstColor color, const RstPaint& paint)
{
  if (x < 0 || y < 0 || x >= mWidth || y >= mHeight) return;
  RstPaint pixelPaint = paint;
  pixelPaint.antialias = false;
  FillRect({x, y, x + 1, y + 1}, color, pixelPaint);
}

void RstBitmap::Line(double x1, double y1, double x2, double y2, RstColor color, const RstPaint& paint)
{
  if (!AllFinite({x1, y1, x2, y2})) return;
  // The renderer drops zero-length strokes; a line from a point to itself is that point.
  if (x1 == x2 && y1 == y2) {
    if (std::abs(x1) < kMaxSide && std::abs(y1) < kMaxSide)
      PutPixel(int(std::lround(x1)), int(std::lround(y1)), color, paint);
    return;
  }
  StrokePath(mSurface, color, paint, [&](cairo_t* cr) {
    cairo_move_to(cr, x1 + 0.5, y1 + 0.5);
    cairo_line_to(cr, x2 + 0.5, y2 + 0.5);
  });
}

void RstBitmap::Arc(double cx, double cy, double radius, double a1, double a2, RstColor color,
                    const RstPaint& paint)
{
  if (!AllFinite({cx, cy, radius, a1, a2}) || radius < 0 || radius > kFar) return;
  // An end before the start wraps round once; beyond a full turn there is
  // nothing more to draw.
  constexpr double kTurn = 2.0 * std::numbers::pi;
  double sweep = a2 - a1;
  if (sweep > kTurn) sweep = kTurn;
  if (sweep < 0) sweep = std::fmod(sweep, kTurn) + kTurn;
  a1 = std::fmod(a1, kTurn);
  a2 = a1 + sweep;
  StrokePath(mSurface, color, paint, [&](cairo_t* cr) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx + 0.5, cy + 0.5, radius, a1 - kTurn / 4, a2 - kTurn / 4);
  });
}

void RstBitmap::Circle(double cx, double cy, double radius, RstColor color, const RstPaint& paint)
{
  if (!AllFinite({cx, cy, radius}) || radius < 0 || radius > kFar) return;
  StrokePath(mSurface, color, paint, [&](cairo_t* cr) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx + 0.5, cy + 0.5, radius, 0, 2.0 * std::numbers::pi);
    cairo_close_path(cr);
  });
}

void RstBitmap::RoundRect(int l, int t, int r, int b, double cornerRadius, RstColor color,
                          const RstPaint& paint)
{
  if (!AllFinite({cornerRadius}) || r < l || b < t) return;
  const double left = l + 0.5, top = t + 0.5, right = r + 0.5, bottom = b + 0.5;
  const double radius = std::clamp(cornerRadius, 0.0, std::min({right - left, bottom - top, 2 * kFar}) / 2.0);
  constexpr double kQuarter = std::numbers::pi / 2.0;
  StrokePath(mSurface, color, paint, [&](cairo_t* cr) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, right - radius, top + radius, radius, -kQuarter, 0);
    cairo_arc(cr, right - radius, bottom - radius, radius, 0, kQuarter);
    cairo_arc(cr, left + radius, bottom - radius, radius, kQuarter, 2 * kQuarter);
    cairo_arc(cr, left + radius, top + radius, radius, 2 * kQuarter, 3 * kQuarter);
    cairo_close_path(cr);
  });
}

void RstBitmap::FillRect(const RstRect& rect, RstColor color, const RstPaint& paint)
{
  const Span area = Intersect(ToSpan(rect), ToSpan(Bounds()));
  if (area.IsEmpty()) return;
  FillPath(mSurface, color, paint, [&](cairo_t* cr) {
    cairo_rectangle(cr, double(area.l), double(area.t), double(area.r - area.l), double(area.b - area.t));
  });
}

void RstBitmap::FillCircle(double cx, double cy, double radius, RstColor color, const RstPaint& paint)
{
  if (!AllFinite({cx, cy, radius}) || radius < 0 || radius > kFar) return;
  FillPath(mSurface, color, paint, [&](cairo_t* cr) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx + 0.5, cy + 0.5, radius + 0.5, 0, 2.0 * std::numbers::pi);
    cairo_close_path(cr);
  });
}

void RstBitmap::FillTriangle(double x1, double y1, double x2, double y2, double x3, double y3, RstColor color,
                             const RstPaint& paint)
{
  if (!AllFinite({x1, y1, x2, y2, x3, y3})) return;
  FillPath(mSurface, color, paint, [&](cairo_t* cr) {
    cairo_move_to(cr, x1, y1);
    cairo_line_to(cr, x2, y2);
    cairo_line_to(cr, x3, y3);
    cairo_close_path(cr);
  });
}

void RstBitmap::FillConvexPolygon(const int* xs, const int* ys, int count, RstColor color,
                                  const RstPaint& paint)
{
  if (!xs || !ys || count < 3) return;
  FillPath(mSurface, color, paint, [&](cairo_t* cr) {
    cairo_move_to(cr, xs[0], ys[0]);
    for (int i = 1; i < count; ++i) cairo_line_to(cr, xs[i], ys[i]);
    cairo_close_path(cr);
  });
}

void RstBitmap::Blit(int dstX, int dstY, const RstBitmap& src, const RstRect& srcRect, const RstPaint& paint)
{
  double opacity;
  if (!Opacity(paint, opacity)) return;
  const Span wanted = ToSpan(srcRect);
  const Span from = Intersect(wanted, ToSpan(src.Bounds()));
  if (from.IsEmpty()) return;
  // Where the clipped source lands, then that clipped to this bitmap.
  const int64_t originX = int64_t(dstX) - wanted.l, originY = int64_t(dstY) - wanted.t;
  const Span to =
      Intersect({from.l + originX, from.t + originY, from.r + originX, from.b + originY}, ToSpan(Bounds()));
  if (to.IsEmpty()) return;

  if (&src == this) {
    const Span needed = {to.l - originX, to.t - originY, to.r - originX, to.b - originY};
    auto copy = CopyRegion(src, needed);
    if (copy) Blit(int(to.l), int(to.t), *copy, copy->Bounds(), paint);
    return;
  }

  Context ctx(mSurface, paint);
  cairo_t* cr = ctx.get();
  cairo_set_source_surface(cr, src.mSurface, double(originX), double(originY));
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_rectangle(cr, double(to.l), double(to.t), double(to.r - to.l), double(to.b - to.t));
  cairo_clip(cr);
  cairo_paint_with_alpha(cr, opacity);
}

void RstBitmap::BlitScaled(const RstRect& dstRect, const RstBitmap& src, const RstRect& srcRect,
                           const RstPaint& paint)
{
  double opacity;
  if (!Opacity(paint, opacity) || dstRect.IsEmpty() || srcRect.IsEmpty() || IsFar(dstRect) || IsFar(srcRect))
    return;
  const Span wanted = ToSpan(srcRect), from = Intersect(wanted, ToSpan(src.Bounds()));
  if (from.IsEmpty()) return;
  // The whole of srcRect maps onto dstRect; only the part of it that exists
  // in src is drawn, where it would have been.
  const double scaleX = double(wanted.r - wanted.l) / (int64_t(dstRect.r) - dstRect.l);
  const double scaleY = double(wanted.b - wanted.t) / (int64_t(dstRect.b) - dstRect.t);
  const Span shown = {dstRect.l + std::llround((from.l - wanted.l) / scaleX),
                      dstRect.t + std::llround((from.t - wanted.t) / scaleY),
                      dstRect.l + std::llround((from.r - wanted.l) / scaleX),
                      dstRect.t + std::llround((from.b - wanted.t) / scaleY)};
  const Span to = Intersect(shown, ToSpan(Bounds()));
  if (to.IsEmpty()) return;

  if (&src == this) {
    auto copy = CopyRegion(src, from);
    const RstRect inCopy{int(wanted.l - from.l), int(wanted.t - from.t), int(wanted.r - from.l),
                         int(wanted.b - from.t)};
    if (copy) BlitScaled(dstRect, *copy, inCopy, paint);
    return;
  }

  // A sub-surface with padded edges: filtering near the border repeats the
  // frame's own edge pixels instead of reading its neighbours or transparency.
  cairo_surface_t* frame = cairo_surface_create_for_rectangle(
      src.mSurface, double(from.l), double(from.t), double(from.r - from.l), double(from.b - from.t));
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(frame);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
  cairo_matrix_t toSource;
  cairo_matrix_init_translate(&toSource, double(wanted.l - from.l), double(wanted.t - from.t));
  cairo_matrix_scale(&toSource, scaleX, scaleY);
  cairo_matrix_translate(&toSource, -double(dstRect.l), -double(dstRect.t));
  cairo_pattern_set_matrix(pattern, &toSource);

  Context ctx(mSurface, paint);
  cairo_t* cr = ctx.get();
  cairo_set_source(cr, pattern);
  cairo_rectangle(cr, double(to.l), double(to.t), double(to.r - to.l), double(to.b - to.t));
  cairo_clip(cr);
  cairo_paint_with_alpha(cr, opacity);
  cairo_pattern_destroy(pattern);
  cairo_surface_destroy(frame);
}

void RstBitmap::BlitRotated(const RstBitmap& src, const RstRect& srcRect, double srcPivotX, double srcPivotY,
                            double dstPivotX, double dstPivotY, double angle, const RstPaint& paint)
{
  double opacity;
  if (!Opacity(paint, opacity) || !AllFinite({srcPivotX, srcPivotY, dstPivotX, dstPivotY, angle})) return;
  if (IsFar(srcRect) || std::abs(dstPivotX) > kFar || std::abs(dstPivotY) > kFar ||
      std::abs(srcPivotX) > kFar || std::abs(srcPivotY) > kFar)
    return;
  const Span from = Intersect(ToSpan(srcRect), ToSpan(src.Bounds()));
  if (from.IsEmpty() || mWidth == 0 || mHeight == 0) return;
  // From here on the pivot is relative to the part of srcRect that exists.
  srcPivotX += double(srcRect.l - from.l);
  srcPivotY += double(srcRect.t - from.t);

  if (&src == this) {
    auto copy = CopyRegion(src, from);
    if (copy) BlitRotated(*copy, copy->Bounds(), srcPivotX, srcPivotY, dstPivotX, dstPivotY, angle, paint);
    return;
  }

  const double width = double(from.r - from.l), height = double(from.b - from.t);
  cairo_surface_t* frame =
      cairo_surface_create_for_rectangle(src.mSurface, double(from.l), double(from.t), width, height);
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(frame);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_NONE);
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_BILINEAR);
  // Destination point d shows source point s = R(-angle) (d - dstPivot) + srcPivot.
  cairo_matrix_t toSource;
  cairo_matrix_init_translate(&toSource, srcPivotX, srcPivotY);
  cairo_matrix_rotate(&toSource, -angle);
  cairo_matrix_translate(&toSource, -dstPivotX, -dstPivotY);
  cairo_pattern_set_matrix(pattern, &toSource);

  Context ctx(mSurface, paint);
  cairo_t* cr = ctx.get();
  cairo_set_source(cr, pattern);
  if (paint.mode == RstMode::kCopy) {
    // Copy replaces only what the rotated image covers, not its whole box.
    cairo_matrix_t toDest = toSource;
    cairo_matrix_invert(&toDest);
    const double corners[4][2] = {{0, 0}, {width, 0}, {width, height}, {0, height}};
    for (const auto& corner : corners) {
      double x = corner[0], y = corner[1];
      cairo_matrix_transform_point(&toDest, &x, &y);
      cairo_line_to(cr, x, y);
    }
    cairo_close_path(cr);
    cairo_clip(cr);
  }
  cairo_paint_with_alpha(cr, opacity);
  cairo_pattern_destroy(pattern);
  cairo_surface_destroy(frame);
}

bool RstBitmap::DrawText(const RstFont& font, std::string_view text, const RstRect& rect, RstAlign align,
                         RstColor color)
{
  if (!font.NativeFont()) return false;
  const std::string utf8 = RstToUtf8(text);
  if (utf8.empty() || IsFar(rect)) return true;
  const int width = font.Measure(utf8).w;
  int x = rect.l;
  if (align == RstAlign::kCenter) x = rect.l + (rect.Width() - width) / 2;
  if (align == RstAlign::kFar) x = rect.r - width;

  Context ctx(mSurface, {});
  cairo_t* cr = ctx.get();
  cairo_translate(cr, x, rect.t);
  if (font.Spec().orientation != 0.0) cairo_rotate(cr, -font.Spec().orientation * std::numbers::pi / 180.0);
  cairo_set_scaled_font(cr, font.NativeFont());
  SetSourceColor(cr, color, 1.0);
  cairo_move_to(cr, 0, font.Ascent());
  cairo_show_text(cr, utf8.c_str());
  return true;
}
