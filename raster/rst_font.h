#pragma once
// Fonts found through fontconfig, with their glyphs cached for repeated drawing.

#include "raster/rst_types.h"

#include <memory>
#include <string>
#include <string_view>

struct _cairo_scaled_font;

struct RstFontSpec
{
  std::string face = "Monaco";
  double size = 10.0; // em height in pixels
  bool bold = false;
  bool italic = false;
  double orientation = 0.0; // degrees, counter-clockwise, about the text's top-left
  bool antialias = true;
};

// Immutable once made, so one font may be shared by several editors and
// threads; the colour is given with each drawing call for the same reason.
class RstFont
{
public:
  // Faces the panel asks for that Linux machines lack are mapped to metric
  // stand-ins (Arial and Helvetica to Liberation Sans, Monaco to DejaVu Sans
  // Mono); an unknown face falls back to the system's best match. nullptr only
  // for a size that is not a positive number or a machine without fonts.
  static std::unique_ptr<RstFont> Create(const RstFontSpec& spec);

  ~RstFont();
  RstFont(const RstFont&) = delete;
  RstFont& operator=(const RstFont&) = delete;

  const RstFontSpec& Spec() const { return mSpec; }
  // The family fontconfig actually chose.
  const std::string& Family() const { return mFamily; }
  int Ascent() const { return mAscent; }
  // Ascent plus descent, rounded: the height of one line of text.
  int LineHeight() const { return mLineHeight; }

  // Advance width and line height of one line of text.
  RstSize Measure(std::string_view text) const;

  _cairo_scaled_font* NativeFont() const { return mFont; }

private:
  RstFont(const RstFontSpec& spec, _cairo_scaled_font* font, std::string family);

  RstFontSpec mSpec;
  _cairo_scaled_font* mFont = nullptr;
  std::string mFamily;
  int mAscent = 0;
  int mLineHeight = 0;
};

// Text as the renderer needs it: valid UTF-8, ending at the first NUL byte.
// Stray bytes (program names from old banks are often Latin-1) are read as
// Latin-1 rather than rejected.
std::string RstToUtf8(std::string_view text);
