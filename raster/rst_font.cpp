#include "raster/rst_font.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <strings.h>

namespace {

// Glyphs beyond this size are never needed by a panel and would only cost memory.
constexpr double kMaxFontSize = 1024.0;

struct StandIn
{
  const char* face;
  const char* family;
  const char* generic;
};

// The panel's fonts come from another platform; these have the same metrics
// (Liberation Sans) or the same monospaced character (DejaVu Sans Mono).
constexpr StandIn kStandIns[] = {
    {"Arial", "Liberation Sans", "sans-serif"},
    {"Helvetica", "Liberation Sans", "sans-serif"},
    {"Monaco", "DejaVu Sans Mono", "monospace"},
};

void AddFamily(FcPattern* pattern, const std::string& family)
{
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
}

void AddFamilies(FcPattern* pattern, const std::string& face)
{
  const std::string name = face.substr(0, face.find('\0'));
  for (const StandIn& standIn : kStandIns) {
    if (strcasecmp(name.c_str(), standIn.face) == 0) {
      AddFamily(pattern, standIn.family);
      AddFamily(pattern, name);
      AddFamily(pattern, standIn.generic);
      return;
    }
  }
  if (!name.empty()) AddFamily(pattern, name);
  AddFamily(pattern, "sans-serif");
}

// Rendering choices are fixed here rather than taken from the user's
// fontconfig settings, so text looks the same on every machine and an aliased
// font really is aliased.
void FixRendering(FcPattern* match, bool antialias)
{
  FcPatternDel(match, FC_ANTIALIAS);
  FcPatternAddBool(match, FC_ANTIALIAS, antialias ? FcTrue : FcFalse);
  FcPatternDel(match, FC_RGBA);
  FcPatternAddInteger(match, FC_RGBA, FC_RGBA_NONE);
  FcPatternDel(match, FC_HINTING);
  FcPatternAddBool(match, FC_HINTING, FcTrue);
  FcPatternDel(match, FC_HINT_STYLE);
  FcPatternAddInteger(match, FC_HINT_STYLE, FC_HINT_SLIGHT);
  FcPatternDel(match, FC_EMBOLDEN);
}

size_t Utf8SequenceLength(std::string_view text, size_t i)
{
  const auto byte = [&](size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
  const auto continuation = [&](size_t k) { return (byte(k) & 0xC0u) == 0x80u; };
  const unsigned lead = byte(i), second = byte(i + 1);
  if (lead >= 0xC2 && lead <= 0xDF) return continuation(i + 1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    // Excludes overlong forms (E0 80..9F) and UTF-16 surrogates (ED A0..BF).
    const bool secondOk = lead == 0xE0   ? second >= 0xA0 && second <= 0xBF
                          : lead == 0xED ? second >= 0x80 && second <= 0x9F
                                         : continuation(i + 1);
    return secondOk && continuation(i + 2) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    // Excludes overlong forms (F0 80..8F) and code points above U+10FFFF.
    const bool secondOk = lead == 0xF0   ? second >= 0x90 && second <= 0xBF
                          : lead == 0xF4 ? second >= 0x80 && second <= 0x8F
                                         : continuation(i + 1);
    return secondOk && continuation(i + 2) && continuation(i + 3) ? 4 : 0;
  }
  return 0;
}

} // namespace

std::string RstToUtf8(std::string_view text)
{
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == 0) break;
    if (c < 0x80) {
      out += char(c);
      ++i;
    } else if (const size_t length = Utf8SequenceLength(text, i)) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
      ++i;
    }
  }
  return out;
}

std::unique_ptr<RstFont> RstFont::Create(const RstFontSpec& spec)
{
  if (!std::isfinite(spec.size) || spec.size <= 0.0 || !std::isfinite(spec.orientation)) return nullptr;
  const double size = std::min(spec.size, kMaxFontSize);

  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return nullptr;
  AddFamilies(pattern, spec.face);
  FcPatternAddInteger(pattern, FC_WEIGHT, spec.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, spec.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddDouble(pattern, FC_PIXEL_SIZE, size);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return nullptr;
  FixRendering(match, spec.antialias);

  std::string family;
  FcChar8* matchedFamily = nullptr;
  if (FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch && matchedFamily)
    family = reinterpret_cast<const char*>(matchedFamily);

  cairo_font_face_t* face = cairo_ft_font_face_create_for_pattern(match);
  FcPatternDestroy(match);
  cairo_matrix_t fontMatrix, ctm;
  cairo_matrix_init_scale(&fontMatrix, size, size);
  cairo_matrix_init_identity(&ctm);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, spec.antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
  // Whole-pixel advances: measured widths are integers and text lands on the
  // same pixels whatever its position.
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
  cairo_scaled_font_t* font = cairo_scaled_font_create(face, &fontMatrix, &ctm, options);
  cairo_font_options_destroy(options);
  cairo_font_face_destroy(face);
  if (cairo_scaled_font_status(font) != CAIRO_STATUS_SUCCESS) {
    cairo_scaled_font_destroy(font);
    return nullptr;
  }
  return std::unique_ptr<RstFont>(new RstFont(spec, font, std::move(family)));
}

RstFont::RstFont(const RstFontSpec& spec, cairo_scaled_font_t* font, std::string family)
    : mSpec(spec), mFont(font), mFamily(std::move(family))
{
  cairo_font_extents_t extents;
  cairo_scaled_font_extents(mFont, &extents);
  mAscent = int(std::lround(extents.ascent));
  mLineHeight = mAscent + int(std::lround(extents.descent));
}

RstFont::~RstFont()
{
  cairo_scaled_font_destroy(mFont);
}

RstSize RstFont::Measure(std::string_view text) const
{
  const std::string utf8 = RstToUtf8(text);
  if (utf8.empty()) return {};
  cairo_text_extents_t extents;
  cairo_scaled_font_text_extents(mFont, utf8.c_str(), &extents);
  return {int(std::lround(extents.x_advance)), mLineHeight};
}
