#pragma once

#include "IGraphicsStructs.h"

class IGraphics;

// Draws str with a bitmap font whose frame c - 31 holds character c (space is frame 1),
// in cells of charWidth x charHeight advancing by charWidth + charOffset; aligned by
// text. Characters without a frame are skipped.
void DrawBitmapedText(IGraphics* graphics, const IBitmap& bitmap, const IRECT& rect, const IText& text,
                      const IChannelBlend* blend, const char* str, bool vCenter = true,
                      bool multiline = false, int charWidth = 6, int charHeight = 12, int charOffset = 0);
