// The painting of the wizard's pages: its resources, the gradients, the
// embossed texts, the raised frames, the progress bar and the banner.
#pragma once

#include "platform/win32.h"

struct WizardResources {
    HFONT bodyFont;
    HFONT titleFont;
    HBRUSH progressBrush;
    RECT confirmButtonRect;
    RECT exitButtonRect;
    RECT upperFieldRect;
    RECT lowerFieldRect;
    RECT progressBarRect;  // read as x, y, width, height
    HFONT defaultFont;     // the font a fresh context starts with, kept by the welcome page
};

extern WizardResources wizardResources;

void CreateWizardResources();
void ReleaseWizardResources();

// The colour of line y of the welcome page's gradient and of the other pages'.
COLORREF WelcomeGradientColor(int y);
COLORREF PageGradientColor(int y);
void PaintGradient(HDC dc, COLORREF (*color)(int y));

// A text drawn black at (x, y), grey 8 to 10 pixels below and right of it and
// white at 11: the depth of the titles.
// A text in a colour: UTF-16, or 8-bit GBK.
void DrawPageText(HDC dc, int x, int y, COLORREF color, const char16_t* text);
void DrawPageText(HDC dc, int x, int y, COLORREF color, const char* gbkText);

void DrawEmbossedText(HDC dc, int x, int y, const char16_t* text);
void DrawEmbossedText(HDC dc, int x, int y, const char* gbkText);

// The five pages. Each paints the whole page into dc, selecting what it needs
// and leaving it selected; the finish page ends with the typing-test switch.
void PaintWelcomePage(HDC dc);
void PaintAddressPage(HDC dc);
void PaintPathPage(HDC dc);
void PaintWorkingPage(HDC dc);
void PaintFinishPage(HDC dc);

// 8-bit texts of the working and finish pages, GBK.
extern const char kWorkingTitleGbk[];  // 智能墨川7.4版安装
extern const char kWorkingTextGbk[];   // 智能墨川正在处理有关数据……
extern const char kFinishTitleGbk[];   // 欢迎使用墨川系统
extern const char kFinishTextGbk[];    // 欢迎使用墨川输入系统
extern const char kInstalledGbk[];     // 智能墨川已经安装在你的系统中!
extern const char kTryTypingGbk[];     // 请在下面的框中试着用墨川系统输入你的姓名。
extern const char kYourNameGbk[];      // 请输入你的姓名：

void DrawRaisedFrame(HDC dc, int left, int top, int right, int bottom);
void SetButtonTextColor(HDC dc);
void PaintProgressBar(HDC dc, int done, int total);

// For the file deployment: the progress bar and the install-path page drawn
// into the wizard window at once. Neither does anything in the silent
// re-install, which has no window.
void DrawProgress(int done, int total);
void RepaintPathPage();

// Draws the bitmap entry `name` of the payload: the source rectangle, cut at
// the bitmap's edges, stretched over the destination. Draws nothing when the
// entry is missing or its headers do not fit its content.
void DrawArchiveBitmap(int maxRight, int maxBottom, HDC dc, const char* name, int xDest, int yDest, int wDest,
                       int hDest, int xSrc, int ySrc, int wSrc, int hSrc);
