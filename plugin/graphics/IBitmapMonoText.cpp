#include "IBitmapMonoText.h"

#include "IGraphics.h"

#include <cstring>

void DrawBitmapedText(IGraphics* graphics, const IBitmap& bitmap, const IRECT& rect, const IText& text,
                      const IChannelBlend* blend, const char* str, bool vCenter, bool multiline,
                      int charWidth, int charHeight, int charOffset)
{
  if (!graphics || !str || !*str || charWidth <= 0 || charHeight <= 0 || rect.R <= rect.L) return;
  const int length = static_cast<int>(std::strlen(str));
  const int width = rect.R - rect.L;
  const int top = vCenter ? rect.T + (rect.B - rect.T - charHeight) / 2 : rect.T;
  int left = rect.L;
  if (text.mAlign == IText::kAlignFar) {
    left = rect.R - length * charWidth;
  } else if (text.mAlign == IText::kAlignCenter) {
    left = rect.L + (width - length * charWidth) / 2;
  }

  int charsPerLine = width / charWidth;
  int lines = 1;
  if (multiline && length * charWidth > width)
    lines = length * charWidth / width + 1;
  else if (multiline)
    charsPerLine = length;
  if (charsPerLine < 1) return;

  int idx = 0;
  for (int line = 0; line < lines && idx < length; ++line) {
    for (int col = 0; col < charsPerLine && idx < length; ++col, ++idx) {
      const int frame = static_cast<unsigned char>(str[idx]) - 31;
      // Control characters and anything past the strip have no picture.
      if (frame < 1 || frame > bitmap.N) continue;
      const int x = left + col * (charWidth + charOffset), y = top + line * charHeight;
      graphics->DrawBitmap(bitmap, IRECT(x, y, x + charWidth, y + charHeight), frame, blend);
    }
  }
}
