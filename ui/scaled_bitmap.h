#pragma once
// A picture made for 96 DPI, at the display's scale. The dialogs grow with their dialog units
// at any other DPI while a bitmap is drawn at its own pixels, so face.bmp would fill only part
// of the area the publisher made it for: it is scaled once, smoothly, when the dialog opens.

#include <windows.h>

// The screen's DPI, as this DPI-aware program sees it.
int ScreenDpi();

// A copy of bitmap scaled by dpi / 96 with halftone stretching; null when dpi is 96 or the copy
// could not be made (the original then shows at its own size).
HBITMAP ScaleBitmapForDpi(HBITMAP bitmap, int dpi);
