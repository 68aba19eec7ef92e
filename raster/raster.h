#pragma once
// Zorva's raster library: everything the editor draws goes through here.
//
// Design
// - RstBitmap is a 32-bit premultiplied-ARGB image (RstPixel) with its drawing
//   operations. A system bitmap is the editor's surface, shown by the platform
//   layer; a memory bitmap holds an image or scratch work. Both have the same
//   layout, so ForcePixel-style code can write rows directly (Row, RowSpan).
// - Each drawing call carries its own RstPaint (mode, weight, antialias): the
//   editor's blend maps to it one to one (none -> kBlend, clobber -> kCopy,
//   add -> kAdd, colour dodge -> kDodge; weight = opacity), and no state is
//   left behind between calls.
// - Geometry: areas (FillRect, polygons, blit rectangles) use pixel edges, so a
//   rectangle's right and bottom are exclusive; strokes, points and circles are
//   centred on pixels, so integer coordinates name the pixels they touch.
// - Fonts (RstFont) are matched with fontconfig and keep their glyphs cached;
//   they hold no colour, so one font can serve every editor in the process.
// - PNG images are decoded with libpng into premultiplied bitmaps (RstDecodePng),
//   film strips are cut with RstFrameRect.
// - Rendering is done by cairo; the library adds the geometry rules above,
//   argument checks (non-finite coordinates and bad rectangles draw nothing)
//   and the mapping of faces and modes.
// - Not thread-safe per bitmap: one thread draws into a bitmap at a time.

#include "raster/rst_bitmap.h"
#include "raster/rst_font.h"
#include "raster/rst_png.h"
#include "raster/rst_types.h"
