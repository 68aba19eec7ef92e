#pragma once
// A 32-bit bitmap and every drawing operation on it.

#include "raster/rst_types.h"

#include <memory>
#include <string_view>

struct _cairo_surface;
class RstFont;

enum class RstBitmapKind {
  kMemory, // images, scratch surfaces
  kSystem, // the editor's drawing surface, copied to a window by the platform layer
};

class RstBitmap
{
public:
  // Largest side the library accepts (also the limit of its renderer).
  static constexpr int kMaxSide = 32767;

  // A transparent bitmap; nullptr for a negative or too large size or when
  // memory runs out. 0 x 0 is a valid, empty bitmap.
  static std::unique_ptr<RstBitmap> Create(int width, int height,
                                           RstBitmapKind kind = RstBitmapKind::kMemory);

  ~RstBitmap();
  RstBitmap(const RstBitmap&) = delete;
  RstBitmap& operator=(const RstBitmap&) = delete;

  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  RstRect Bounds() const { return {0, 0, mWidth, mHeight}; }
  RstBitmapKind Kind() const { return mKind; }

  // New size, every pixel transparent. False (and the bitmap unchanged) on a
  // bad size or when memory runs out.
  bool Resize(int width, int height);
  // Becomes a pixel-exact copy of src, size included.
  bool CopyFrom(const RstBitmap& src);

  // Direct pixel memory: rows of Width() pixels, RowSpan() bytes apart. Call
  // MarkDirty() after writing through it so that later drawing sees the change.
  RstPixel* Row(int y);
  const RstPixel* Row(int y) const;
  int RowSpan() const;
  void MarkDirty();

  // Pixels outside the bitmap read as transparent and ignore writes.
  RstPixel GetPixel(int x, int y) const;
  RstColor GetColor(int x, int y) const { return RstUnpremultiply(GetPixel(x, y)); }
  void PutPixel(int x, int y, RstColor color, const RstPaint& paint = {});

  // Radii, pivots and the rectangles of scaled blits and text reaching beyond
  // +-4 * kMaxSide draw nothing; other far coordinates are simply clipped.

  // Strokes are one pixel wide and centred on pixel centres: integer
  // coordinates name pixels. Without antialiasing a line includes both ends.
  void Line(double x1, double y1, double x2, double y2, RstColor color, const RstPaint& paint = {});
  // Angles in radians, 0 at twelve o'clock, clockwise; drawn from a1 to a2.
  void Arc(double cx, double cy, double radius, double a1, double a2, RstColor color,
           const RstPaint& paint = {});
  void Circle(double cx, double cy, double radius, RstColor color, const RstPaint& paint = {});
  // Outline through the pixels l..r and t..b (both inclusive).
  void RoundRect(int l, int t, int r, int b, double cornerRadius, RstColor color, const RstPaint& paint = {});

  // Areas are in edge coordinates (see RstRect): FillRect covers l..r-1, t..b-1.
  void FillRect(const RstRect& rect, RstColor color, const RstPaint& paint = {});
  // Covers every pixel whose centre lies within radius + 0.5 of pixel (cx, cy):
  // a radius of r spans 2r + 1 pixels.
  void FillCircle(double cx, double cy, double radius, RstColor color, const RstPaint& paint = {});
  void FillTriangle(double x1, double y1, double x2, double y2, double x3, double y3, RstColor color,
                    const RstPaint& paint = {});
  void FillConvexPolygon(const int* xs, const int* ys, int count, RstColor color, const RstPaint& paint = {});

  // Copies srcRect of src to (dstX, dstY), pixel for pixel. Both rectangles are
  // clipped to their bitmaps; src may be this bitmap, overlapping or not.
  void Blit(int dstX, int dstY, const RstBitmap& src, const RstRect& srcRect, const RstPaint& paint = {});
  // srcRect of src stretched or shrunk into dstRect with filtering. Pixels
  // beyond srcRect never bleed in, so one frame of a film strip scales cleanly.
  void BlitScaled(const RstRect& dstRect, const RstBitmap& src, const RstRect& srcRect,
                  const RstPaint& paint = {});
  // srcRect of src rotated clockwise by angle (radians) about the source point
  // (srcPivotX, srcPivotY), given relative to srcRect's top-left, which lands
  // on (dstPivotX, dstPivotY). Bilinear filtering; the edges are smooth.
  void BlitRotated(const RstBitmap& src, const RstRect& srcRect, double srcPivotX, double srcPivotY,
                   double dstPivotX, double dstPivotY, double angle, const RstPaint& paint = {});

  // Text of one line in rect: its top at rect.t, aligned horizontally within
  // rect.l..rect.r, not clipped. The colour's alpha is honoured. Bytes that are
  // not UTF-8 are taken as Latin-1. False only when there is nothing to draw with.
  bool DrawText(const RstFont& font, std::string_view text, const RstRect& rect, RstAlign align,
                RstColor color);

  // The renderer's surface, for the platform layer that shows a system bitmap.
  _cairo_surface* NativeSurface() const { return mSurface; }

private:
  RstBitmap(_cairo_surface* surface, int width, int height, RstBitmapKind kind);
  void Replace(_cairo_surface* surface, int width, int height);

  _cairo_surface* mSurface = nullptr;
  int mWidth = 0;
  int mHeight = 0;
  RstBitmapKind mKind = RstBitmapKind::kMemory;
};
