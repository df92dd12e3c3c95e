#include "shell/page_painting.h"

#include "archive/moz_archive.h"
#include "base/install_context.h"
#include "base/text.h"

#include <cstring>

WizardResources wizardResources;

namespace {

const int kGradientLines = 310;
const int kGradientWidth = 400;
const size_t kBitmapOffset = 100;  // where the lookup leaves an entry in scratch
const size_t kFileHeaderSize = 14;
const size_t kInfoHeaderSize = 40;

RECT MakeRect(LONG left, LONG top, LONG right, LONG bottom) { return RECT{left, top, right, bottom}; }

HFONT WizardFont(int height, int width, const char16_t* face) {
    return CreateFontW(height, width, 0, 0, 0, 0, 0, 0, 134 /* GB2312 */, 0, 0, 0, 0, Wide(face));
}

template <typename Text>
void Emboss(HDC dc, int x, int y, Text text) {
    DrawPageText(dc, x, y, RGB(0, 0, 0), text);
    for (int d = 8; d <= 10; ++d) DrawPageText(dc, x + d, y + d, RGB(128, 128, 128), text);
    DrawPageText(dc, x + 11, y + 11, RGB(255, 255, 255), text);
}

// The bitmap's information header and pixels, when they fit the content: a
// 24-bit bitmap whose rows all lie within it.
bool BitmapFits(const unsigned char* content, size_t length, BITMAPINFOHEADER* info, const unsigned char** pixels) {
    if (length < kFileHeaderSize + kInfoHeaderSize || content[0] != 'B' || content[1] != 'M') return false;
    uint32_t offset = ReadU32(content + 10);
    std::memset(info, 0, sizeof *info);
    info->biSize = ReadU32(content + 14);
    info->biWidth = static_cast<LONG>(ReadU32(content + 18));
    info->biHeight = static_cast<LONG>(ReadU32(content + 22));
    info->biPlanes = 1;
    info->biBitCount = static_cast<WORD>(content[28] | content[29] << 8);
    if (info->biSize < kInfoHeaderSize || info->biBitCount != 24 || info->biWidth <= 0 || info->biHeight <= 0 ||
        info->biWidth > 0xFFFF || info->biHeight > 0xFFFF)
        return false;
    uint64_t row = (static_cast<uint64_t>(info->biWidth) * 3 + 3) & ~uint64_t(3);
    if (offset < kFileHeaderSize + kInfoHeaderSize || offset > length || row * info->biHeight > length - offset)
        return false;
    info->biSize = kInfoHeaderSize;
    info->biCompression = BI_RGB;
    *pixels = content + offset;
    return true;
}

}  // namespace

void CreateWizardResources() {
    WizardResources& r = wizardResources;
    r.confirmButtonRect = MakeRect(40, 245, 140, 270);
    r.exitButtonRect = MakeRect(260, 245, 360, 270);
    r.upperFieldRect = MakeRect(30, 162, 365, 187);
    r.lowerFieldRect = MakeRect(30, 192, 365, 217);
    r.progressBarRect = MakeRect(30, 188, 340, 30);
    r.bodyFont = WizardFont(22, 7, u"宋体");
    r.titleFont = WizardFont(40, 20, u"楷体");
    r.progressBrush = CreateSolidBrush(RGB(255, 0, 0));
}

void ReleaseWizardResources() {
    DeleteObject(wizardResources.titleFont);
    DeleteObject(wizardResources.bodyFont);
    DeleteObject(wizardResources.progressBrush);
    wizardResources.titleFont = nullptr;
    wizardResources.bodyFont = nullptr;
    wizardResources.progressBrush = nullptr;
}

// The green wraps: 144 ... 254 for lines 0 to 55, 0 at 56, 254 at 183, 0 at 184.
COLORREF WelcomeGradientColor(int y) {
    return RGB(0, ((2 * y - 112) % 256 + 256) % 256, 250 - 140 * y / kGradientLines);
}

COLORREF PageGradientColor(int y) {
    return RGB(150 * y / kGradientLines, 255 * y / kGradientLines, 250 - 150 * y / kGradientLines);
}

void PaintGradient(HDC dc, COLORREF (*color)(int y)) {
    for (int y = 0; y < kGradientLines; ++y) {
        HPEN pen = CreatePen(PS_SOLID, 1, color(y));
        HGDIOBJ previous = SelectObject(dc, pen);
        MoveToEx(dc, 0, y, nullptr);
        LineTo(dc, kGradientWidth, y);
        SelectObject(dc, previous);
        DeleteObject(pen);
    }
}

void DrawPageText(HDC dc, int x, int y, COLORREF color, const char16_t* text) {
    SetTextColor(dc, color);
    TextOutW(dc, x, y, Wide(text), static_cast<int>(WideLength(Wide(text))));
}

void DrawPageText(HDC dc, int x, int y, COLORREF color, const char* gbkText) {
    SetTextColor(dc, color);
    TextOutA(dc, x, y, gbkText, static_cast<int>(std::strlen(gbkText)));
}

void DrawEmbossedText(HDC dc, int x, int y, const char16_t* text) { Emboss(dc, x, y, text); }

void DrawEmbossedText(HDC dc, int x, int y, const char* gbkText) { Emboss(dc, x, y, gbkText); }

// Light top and left edges, dark bottom and right ones; the white pen stays.
void DrawRaisedFrame(HDC dc, int left, int top, int right, int bottom) {
    SelectObject(dc, GetStockObject(BLACK_PEN));
    MoveToEx(dc, left, bottom, nullptr);
    LineTo(dc, right, bottom);
    LineTo(dc, right, top);
    SelectObject(dc, GetStockObject(WHITE_PEN));
    MoveToEx(dc, right, top, nullptr);
    LineTo(dc, left, top);
    LineTo(dc, left, bottom);
}

void SetButtonTextColor(HDC dc) { SetTextColor(dc, RGB(255, 128, 128)); }

void PaintProgressBar(HDC dc, int done, int total) {
    const RECT& bar = wizardResources.progressBarRect;
    const LONG x = bar.left, y = bar.top, width = bar.right, height = bar.bottom;
    LONG filled = total == 0 ? 0 : total < done ? width : width * done / total;
    if (done < 1) {
        SelectObject(dc, GetStockObject(WHITE_BRUSH));
        Rectangle(dc, x, y + 3, x + width, y + height);
        return;
    }
    SelectObject(dc, wizardResources.progressBrush);
    Rectangle(dc, x, y + 3, x + filled, y + height);
}

void DrawProgress(int done, int total) {
    if (context.runMode == SilentReinstall || context.mainWindow == nullptr) return;
    HDC dc = GetDC(context.mainWindow);
    PaintProgressBar(dc, done, total);
    ReleaseDC(context.mainWindow, dc);
}

void RepaintPathPage() {
    if (context.runMode == SilentReinstall || context.mainWindow == nullptr) return;
    HDC dc = GetDC(context.mainWindow);
    PaintPathPage(dc);
    ReleaseDC(context.mainWindow, dc);
}

void DrawArchiveBitmap(int maxRight, int maxBottom, HDC dc, const char* name, int xDest, int yDest, int wDest,
                       int hDest, int xSrc, int ySrc, int wSrc, int hSrc) {
    size_t length = MozLookupEntry(name);
    BITMAPINFOHEADER info;
    const unsigned char* pixels = nullptr;
    if (context.scratch == nullptr || !BitmapFits(context.scratch + kBitmapOffset, length, &info, &pixels)) return;
    const int w = info.biWidth & 0xFFFF, h = info.biHeight & 0xFFFF;
    const int xs = xSrc < w ? xSrc : w, ys = ySrc < h ? ySrc : h;
    const int ws = xs + wSrc > w ? w - xs : wSrc, hs = ys + hSrc > h ? h - ys : hSrc;
    const int right = maxRight < xDest + w ? maxRight : xDest + w;
    const int bottom = maxBottom < yDest + h ? maxBottom : yDest + h;
    const int wd = xDest >= right ? 0 : wDest, hd = yDest >= bottom ? 0 : hDest;

    HBITMAP bitmap = CreateDIBitmap(dc, &info, CBM_INIT, pixels, reinterpret_cast<const BITMAPINFO*>(&info),
                                    DIB_RGB_COLORS);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    StretchBlt(dc, xDest, yDest, wd, hd, memory, xs, ys, ws, hs, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(bitmap);
}
