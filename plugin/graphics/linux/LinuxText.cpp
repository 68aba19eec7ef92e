// Editable text lines: the panel's text field and the path-entry dialog.

#include "LinuxKit.h"

#include <algorithm>

namespace zlinux {

namespace {

bool IsContinuation(char c)
{
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

size_t NextChar(const std::string& text, size_t pos)
{
  if (pos >= text.size()) return text.size();
  ++pos;
  while (pos < text.size() && IsContinuation(text[pos])) ++pos;
  return pos;
}

size_t PreviousChar(const std::string& text, size_t pos)
{
  if (pos == 0) return 0;
  --pos;
  while (pos > 0 && IsContinuation(text[pos])) --pos;
  return pos;
}

int TextWidth(const RstFont& font, const std::string& text)
{
  return text.empty() ? 0 : font.Measure(text).w;
}

// Left edge of the text in a field of width w, given the field's scroll.
int TextOrigin(const RstFont& font, const TextField& field, RstAlign align, int w)
{
  constexpr int kPad = 2;
  const int textW = TextWidth(font, field.text);
  if (textW > w - 2 * kPad) return kPad - field.scroll;
  switch (align) {
  case RstAlign::kNear: return kPad;
  case RstAlign::kFar: return w - kPad - textW;
  default: return (w - textW) / 2;
  }
}

} // namespace

size_t Utf8Length(const std::string& text)
{
  return static_cast<size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return !IsContinuation(c); }));
}

std::string Latin1ToUtf8(const char* bytes, int n)
{
  std::string out;
  for (int i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

void TextField::SetText(const std::string& value)
{
  text = value;
  anchor = 0;
  caret = text.size();
  scroll = 0;
}

std::string TextField::Selected() const
{
  const size_t from = std::min(caret, anchor), to = std::max(caret, anchor);
  return text.substr(from, to - from);
}

bool TextField::Insert(const std::string& utf8)
{
  if (!allowed.empty() && utf8.find_first_not_of(allowed) != std::string::npos) return false;
  const size_t from = std::min(caret, anchor), to = std::max(caret, anchor);
  std::string next = text.substr(0, from) + utf8 + text.substr(to);
  if (maxChars && Utf8Length(next) > maxChars) return false;
  text = std::move(next);
  caret = anchor = from + utf8.size();
  return true;
}

void TextField::Erase(bool forward)
{
  if (!HasSelection()) {
    if (forward) {
      caret = NextChar(text, caret);
    } else {
      caret = PreviousChar(text, caret);
    }
  }
  const size_t from = std::min(caret, anchor), to = std::max(caret, anchor);
  text.erase(from, to - from);
  caret = anchor = from;
}

void TextField::Move(int direction, bool extend)
{
  if (!extend && HasSelection()) {
    // An arrow collapses the selection to its own side.
    caret = direction < 0 ? std::min(caret, anchor) : std::max(caret, anchor);
  } else {
    caret = direction < 0 ? PreviousChar(text, caret) : NextChar(text, caret);
  }
  if (!extend) anchor = caret;
}

void TextField::Home(bool extend)
{
  caret = 0;
  if (!extend) anchor = caret;
}

void TextField::End(bool extend)
{
  caret = text.size();
  if (!extend) anchor = caret;
}

void TextField::SelectAll()
{
  anchor = 0;
  caret = text.size();
}

void DrawField(RstBitmap& canvas, const RstFont& font, TextField& field, RstAlign align, RstColor ink,
               RstColor background, bool focused)
{
  const int w = canvas.Width(), h = canvas.Height();
  canvas.FillRect({0, 0, w, h}, background, {RstMode::kCopy});
  // Keep the caret in view when the text is wider than the field.
  const int caretX = TextWidth(font, field.text.substr(0, field.caret));
  const int textW = TextWidth(font, field.text);
  if (textW <= w - 4) {
    field.scroll = 0;
  } else {
    field.scroll = std::clamp(field.scroll, caretX - (w - 6), caretX);
    field.scroll = std::clamp(field.scroll, 0, textW - (w - 6));
  }
  const int origin = TextOrigin(font, field, align, w);
  const int top = (h - font.LineHeight()) / 2;
  if (field.HasSelection()) {
    const size_t from = std::min(field.caret, field.anchor), to = std::max(field.caret, field.anchor);
    const int x1 = origin + TextWidth(font, field.text.substr(0, from));
    const int x2 = origin + TextWidth(font, field.text.substr(0, to));
    canvas.FillRect({x1, std::max(top, 0), x2, std::min(top + font.LineHeight(), h)}, kSelection);
  }
  canvas.DrawText(font, field.text, {origin, top, origin + textW + 1, top + font.LineHeight()},
                  RstAlign::kNear, ink);
  if (focused) {
    const int x = origin + caretX;
    canvas.Line(x, std::max(top, 1), x, std::min(top + font.LineHeight(), h - 2), ink);
  }
}

size_t CaretAt(const RstFont& font, const TextField& field, RstAlign align, int width, int x)
{
  const int origin = TextOrigin(font, field, align, width);
  size_t best = 0;
  int bestDistance = std::abs(x - origin);
  for (size_t pos = NextChar(field.text, 0); pos <= field.text.size(); pos = NextChar(field.text, pos)) {
    const int distance = std::abs(x - origin - TextWidth(font, field.text.substr(0, pos)));
    if (distance < bestDistance) {
      bestDistance = distance;
      best = pos;
    }
    if (pos == field.text.size()) break;
  }
  return best;
}

} // namespace zlinux
