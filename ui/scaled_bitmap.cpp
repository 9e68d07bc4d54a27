#include "ui/scaled_bitmap.h"

namespace {

constexpr int kBaseDpi = 96;

// Releases a screen DC, deletes memory DCs, restores selections: every GDI object an owner.
struct ScreenDc {
  HDC dc = GetDC(nullptr);
  ~ScreenDc() {
    if (dc)
      ReleaseDC(nullptr, dc);
  }
};

struct MemoryDc {
  HDC dc;
  HGDIOBJ old = nullptr;
  MemoryDc(HDC screen, HBITMAP bitmap) : dc(CreateCompatibleDC(screen)) {
    if (dc)
      old = SelectObject(dc, bitmap);
  }
  ~MemoryDc() {
    if (dc) {
      SelectObject(dc, old);
      DeleteDC(dc);
    }
  }
};

}  // namespace

int ScreenDpi() {
  ScreenDc screen;
  return screen.dc ? GetDeviceCaps(screen.dc, LOGPIXELSY) : kBaseDpi;
}

HBITMAP ScaleBitmapForDpi(HBITMAP bitmap, int dpi) {
  BITMAP info;
  if (!bitmap || dpi == kBaseDpi || dpi <= 0 || !GetObjectA(bitmap, sizeof info, &info))
    return nullptr;
  int width = MulDiv(info.bmWidth, dpi, kBaseDpi);
  int height = MulDiv(info.bmHeight, dpi, kBaseDpi);
  ScreenDc screen;
  if (!screen.dc || width <= 0 || height <= 0)
    return nullptr;
  HBITMAP scaled = CreateCompatibleBitmap(screen.dc, width, height);
  if (!scaled)
    return nullptr;
  bool drawn;
  {
    MemoryDc from(screen.dc, bitmap);
    MemoryDc to(screen.dc, scaled);
    // Halftone averages the source pixels behind each target pixel; the brush origin must be
    // set again after choosing it.
    drawn =
        from.dc && to.dc && SetStretchBltMode(to.dc, HALFTONE) &&
        SetBrushOrgEx(to.dc, 0, 0, nullptr) &&
        StretchBlt(to.dc, 0, 0, width, height, from.dc, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
  }
  if (!drawn) {
    DeleteObject(scaled);
    return nullptr;
  }
  return scaled;
}
