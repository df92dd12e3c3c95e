// GDI: device contexts on canvases of pixels. Lines, rectangles and bitmap
// copies are rasterised the way GDI does it for one-pixel pens (the end point
// of a line and the right and bottom edges of a rectangle are left out);
// texts are recorded, not rasterised.
#include "platform/sim/sim_internal.h"

#include <algorithm>
#include <cstring>

namespace {

SimMachine::Impl& Sys() { return SimMachine::Current().impl(); }

// The 1 x 1 bitmap that a fresh memory context holds.
const int kDefaultBitmap = 21;

HGDIOBJ NewObject(const SimGdiObject& object) {
    auto& sys = Sys();
    HGDIOBJ handle = reinterpret_cast<HGDIOBJ>(sys.nextGdi);
    sys.nextGdi += 4;
    sys.gdiObjects[handle] = object;
    return handle;
}

HGDIOBJ Stock(int which) {
    auto& sys = Sys();
    HGDIOBJ handle = reinterpret_cast<HGDIOBJ>(uintptr_t(0x100 + which));
    if (!sys.gdiObjects.count(handle)) {
        SimGdiObject object;  // a pen unless said otherwise below
        object.stock = true;
        switch (which) {
        case WHITE_BRUSH: object.kind = SimGdiKind::Brush; object.color = RGB(255, 255, 255); break;
        case WHITE_PEN: object.color = RGB(255, 255, 255); break;
        case BLACK_PEN: object.color = RGB(0, 0, 0); break;
        case SYSTEM_FONT: object.kind = SimGdiKind::Font; object.face = "System"; object.height = 16; break;
        case kDefaultBitmap:
            object.kind = SimGdiKind::Bitmap;
            object.bitmap = std::make_shared<SimCanvas>();
            object.bitmap->width = object.bitmap->height = 1;
            object.bitmap->pixels.assign(1, RGB(0, 0, 0));
            break;
        default: return nullptr;
        }
        sys.gdiObjects[handle] = object;
    }
    return handle;
}

SimDc* DcOf(HDC dc) {
    auto it = Sys().dcs.find(dc);
    return it == Sys().dcs.end() ? nullptr : &it->second;
}

const SimGdiObject* ObjectOf(HGDIOBJ handle) {
    auto it = Sys().gdiObjects.find(handle);
    return it == Sys().gdiObjects.end() ? nullptr : &it->second;
}

void Plot(SimCanvas& canvas, int x, int y, COLORREF color) {
    if (x >= 0 && y >= 0 && x < canvas.width && y < canvas.height) canvas.pixels[y * canvas.width + x] = color;
}

HDC NewDc(std::shared_ptr<SimCanvas> canvas) {
    auto& sys = Sys();
    HDC handle = reinterpret_cast<HDC>(sys.nextGdi);
    sys.nextGdi += 4;
    SimDc dc;
    dc.canvas = std::move(canvas);
    dc.pen = Stock(BLACK_PEN);
    dc.brush = Stock(WHITE_BRUSH);
    dc.font = Stock(SYSTEM_FONT);
    if (!dc.canvas) {
        dc.bitmap = Stock(kDefaultBitmap);
        dc.canvas = sys.gdiObjects[dc.bitmap].bitmap;
    }
    sys.dcs[handle] = dc;
    return handle;
}

void RecordText(HDC dc, int x, int y, const std::string& text, bool wide) {
    SimDc* d = DcOf(dc);
    if (d == nullptr || !d->canvas) return;
    const SimGdiObject* font = ObjectOf(d->font);
    d->canvas->texts.push_back(
        {x, y, text, d->textColor, font ? font->face : "", font ? font->height : 0, d->bkMode, wide});
}

}  // namespace

HDC SimNewDcOnCanvas(std::shared_ptr<SimCanvas> canvas) { return NewDc(std::move(canvas)); }

// ---------------------------------------------------------------- machine side

HDC SimMachine::CreateCanvas(int width, int height) {
    auto canvas = std::make_shared<SimCanvas>();
    canvas->width = width;
    canvas->height = height;
    canvas->pixels.assign(static_cast<size_t>(width) * height, RGB(255, 255, 255));
    return NewDc(canvas);
}

COLORREF SimMachine::Pixel(HDC dc, int x, int y) const {
    auto it = impl_->dcs.find(dc);
    if (it == impl_->dcs.end() || !it->second.canvas) return CLR_NONE_SIM;
    const SimCanvas& c = *it->second.canvas;
    if (x < 0 || y < 0 || x >= c.width || y >= c.height) return CLR_NONE_SIM;
    return c.pixels[y * c.width + x];
}

std::vector<SimText> SimMachine::Texts(HDC dc) const {
    auto it = impl_->dcs.find(dc);
    if (it == impl_->dcs.end() || !it->second.canvas) return {};
    return it->second.canvas->texts;
}

size_t SimMachine::LiveGdiObjects() const {
    size_t live = 0;
    for (const auto& object : impl_->gdiObjects)
        if (!object.second.stock) ++live;
    return live;
}

// ---------------------------------------------------------------- Win32

HPEN CreatePen(int, int, COLORREF color) {
    SimGdiObject pen;
    pen.kind = SimGdiKind::Pen;
    pen.color = color;
    return NewObject(pen);
}

HBRUSH CreateSolidBrush(COLORREF color) {
    SimGdiObject brush;
    brush.kind = SimGdiKind::Brush;
    brush.color = color;
    return NewObject(brush);
}

HFONT CreateFontW(int height, int, int, int, int, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                  LPCWSTR face) {
    SimGdiObject font;
    font.kind = SimGdiKind::Font;
    font.height = height;
    font.face = Utf8FromWide(face ? face : u"");
    return NewObject(font);
}

HGDIOBJ GetStockObject(int object) { return Stock(object); }

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    SimDc* d = DcOf(dc);
    const SimGdiObject* o = ObjectOf(object);
    if (d == nullptr || o == nullptr) return nullptr;
    HGDIOBJ* slot = o->kind == SimGdiKind::Pen ? &d->pen : o->kind == SimGdiKind::Brush ? &d->brush
                  : o->kind == SimGdiKind::Font ? &d->font : &d->bitmap;
    HGDIOBJ previous = *slot;
    *slot = object;
    if (o->kind == SimGdiKind::Bitmap) d->canvas = o->bitmap;
    return previous;
}

// Deleting an object that is still selected fails, as it does on Windows.
BOOL DeleteObject(HGDIOBJ object) {
    auto& sys = Sys();
    auto it = sys.gdiObjects.find(object);
    if (it == sys.gdiObjects.end()) return FALSE;
    if (it->second.stock) return TRUE;
    for (const auto& dc : sys.dcs)
        if (dc.second.pen == object || dc.second.brush == object || dc.second.font == object ||
            dc.second.bitmap == object)
            return FALSE;
    sys.gdiObjects.erase(it);
    return TRUE;
}

BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous) {
    SimDc* d = DcOf(dc);
    if (d == nullptr) return FALSE;
    if (previous) *previous = d->at;
    d->at = {x, y};
    return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
    SimDc* d = DcOf(dc);
    if (d == nullptr) return FALSE;
    const SimGdiObject* pen = ObjectOf(d->pen);
    int x0 = d->at.x, y0 = d->at.y;
    int dx = std::abs(x - x0), dy = -std::abs(y - y0), sx = x0 < x ? 1 : -1, sy = y0 < y ? 1 : -1, err = dx + dy;
    while (d->canvas && pen && !(x0 == x && y0 == y)) {
        Plot(*d->canvas, x0, y0, pen->color);
        int e2 = 2 * err;
        if (e2 >= dy) { err += dy; x0 += sx; }
        if (e2 <= dx) { err += dx; y0 += sy; }
    }
    d->at = {x, y};
    return TRUE;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    SimDc* d = DcOf(dc);
    if (d == nullptr || !d->canvas) return FALSE;
    const SimGdiObject* pen = ObjectOf(d->pen);
    const SimGdiObject* brush = ObjectOf(d->brush);
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            bool edge = x == left || y == top || x == right - 1 || y == bottom - 1;
            if (edge && pen) Plot(*d->canvas, x, y, pen->color);
            else if (!edge && brush) Plot(*d->canvas, x, y, brush->color);
        }
    }
    return TRUE;
}

int SetBkMode(HDC dc, int mode) {
    SimDc* d = DcOf(dc);
    if (d == nullptr) return 0;
    int previous = d->bkMode;
    d->bkMode = mode;
    return previous;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
    SimDc* d = DcOf(dc);
    if (d == nullptr) return CLR_NONE_SIM;
    COLORREF previous = d->textColor;
    d->textColor = color;
    return previous;
}

BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int length) {
    RecordText(dc, x, y, Utf8FromWide(std::u16string(text, static_cast<size_t>(length))), true);
    return TRUE;
}

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
    RecordText(dc, x, y, Utf8FromAnsi(std::string(text, static_cast<size_t>(length)), 936), false);
    return TRUE;
}

HDC CreateCompatibleDC(HDC) { return NewDc(nullptr); }

BOOL DeleteDC(HDC dc) { return Sys().dcs.erase(dc) ? TRUE : FALSE; }

// A bitmap from a device-independent one: 24 bits per pixel, rows bottom up,
// each padded to four bytes; `bits` must hold them all.
HBITMAP CreateDIBitmap(HDC, const BITMAPINFOHEADER* header, DWORD init, const void* bits, const BITMAPINFO*, UINT) {
    if (header == nullptr || header->biWidth <= 0 || header->biHeight == 0 || header->biBitCount != 24) return nullptr;
    auto canvas = std::make_shared<SimCanvas>();
    canvas->width = header->biWidth;
    canvas->height = std::abs(header->biHeight);
    canvas->pixels.assign(static_cast<size_t>(canvas->width) * canvas->height, RGB(0, 0, 0));
    if ((init & CBM_INIT) && bits != nullptr) {
        const unsigned char* data = static_cast<const unsigned char*>(bits);
        size_t row = (static_cast<size_t>(canvas->width) * 3 + 3) & ~size_t(3);
        for (int y = 0; y < canvas->height; ++y) {
            int source = header->biHeight > 0 ? canvas->height - 1 - y : y;
            for (int x = 0; x < canvas->width; ++x) {
                const unsigned char* p = data + source * row + x * 3;
                canvas->pixels[y * canvas->width + x] = RGB(p[2], p[1], p[0]);
            }
        }
    }
    SimGdiObject bitmap;
    bitmap.kind = SimGdiKind::Bitmap;
    bitmap.bitmap = canvas;
    return NewObject(bitmap);
}

// Nearest-neighbour stretching of the source rectangle over the destination.
BOOL StretchBlt(HDC dest, int xDest, int yDest, int wDest, int hDest, HDC source, int xSrc, int ySrc, int wSrc,
                int hSrc, DWORD) {
    SimDc* to = DcOf(dest);
    SimDc* from = DcOf(source);
    if (to == nullptr || from == nullptr || !to->canvas || !from->canvas) return FALSE;
    if (wDest <= 0 || hDest <= 0 || wSrc <= 0 || hSrc <= 0) return TRUE;
    const SimCanvas& src = *from->canvas;
    for (int y = 0; y < hDest; ++y) {
        for (int x = 0; x < wDest; ++x) {
            int sx = xSrc + x * wSrc / wDest, sy = ySrc + y * hSrc / hDest;
            if (sx < 0 || sy < 0 || sx >= src.width || sy >= src.height) continue;
            Plot(*to->canvas, xDest + x, yDest + y, src.pixels[sy * src.width + sx]);
        }
    }
    return TRUE;
}
