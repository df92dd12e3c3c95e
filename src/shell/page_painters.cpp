// The five wizard pages, each painted whole into a device context.
#include "shell/page_painting.h"

#include "base/text.h"
#include "shell/typing_test.h"

#include <cstring>

const char kWorkingTitleGbk[] = "\xD6\xC7\xC4\xDC\xC4\xAB\xB4\xA8" "7.4\xB0\xE6\xB0\xB2\xD7\xB0";  // 智能墨川7.4版安装
const char kWorkingTextGbk[] =
    "\xD6\xC7\xC4\xDC\xC4\xAB\xB4\xA8\xD5\xFD\xD4\xDA\xB4\xA6\xC0\xED\xD3\xD0\xB9\xD8\xCA\xFD\xBE\xDD\xA1\xAD"
    "\xA1\xAD";  // 智能墨川正在处理有关数据……
const char kFinishTitleGbk[] = "\xBB\xB6\xD3\xAD\xCA\xB9\xD3\xC3\xC4\xAB\xB4\xA8\xCF\xB5\xCD\xB3";  // 欢迎使用墨川系统
const char kFinishTextGbk[] =
    "\xBB\xB6\xD3\xAD\xCA\xB9\xD3\xC3\xC4\xAB\xB4\xA8\xCA\xE4\xC8\xEB\xCF\xB5\xCD\xB3";  // 欢迎使用墨川输入系统
const char kInstalledGbk[] =
    "\xD6\xC7\xC4\xDC\xC4\xAB\xB4\xA8\xD2\xD1\xBE\xAD\xB0\xB2\xD7\xB0\xD4\xDA\xC4\xE3\xB5\xC4\xCF\xB5\xCD\xB3\xD6\xD0"
    "!";  // 智能墨川已经安装在你的系统中!
const char kTryTypingGbk[] =
    "\xC7\xEB\xD4\xDA\xCF\xC2\xC3\xE6\xB5\xC4\xBF\xF2\xD6\xD0\xCA\xD4\xD7\xC5\xD3\xC3\xC4\xAB\xB4\xA8\xCF\xB5\xCD\xB3"
    "\xCA\xE4\xC8\xEB\xC4\xE3\xB5\xC4\xD0\xD5\xC3\xFB\xA1\xA3";  // 请在下面的框中试着用墨川系统输入你的姓名。
const char kYourNameGbk[] = "\xC7\xEB\xCA\xE4\xC8\xEB\xC4\xE3\xB5\xC4\xD0\xD5\xC3\xFB\xA3\xBA";  // 请输入你的姓名：

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kGrey = RGB(128, 128, 128);
const COLORREF kShadowPink = RGB(255, 187, 187);

void Frame(HDC dc, const RECT& r) { DrawRaisedFrame(dc, r.left, r.top, r.right, r.bottom); }

// The button texts sit 5 right of and 2 below the corners of the button areas.
void ButtonTexts(HDC dc, const char16_t* confirm) {
    const WizardResources& r = wizardResources;
    SetButtonTextColor(dc);
    const char16_t* exit = u"放 弃 退 出";
    TextOutW(dc, r.confirmButtonRect.left + 5, r.confirmButtonRect.top + 2, Wide(confirm),
             static_cast<int>(WideLength(Wide(confirm))));
    TextOutW(dc, r.exitButtonRect.left + 5, r.exitButtonRect.top + 2, Wide(exit),
             static_cast<int>(WideLength(Wide(exit))));
}

void PageStart(HDC dc) {
    PaintGradient(dc, PageGradientColor);
    SetBkMode(dc, TRANSPARENT);
}

// The text of the working and finish pages that stands out in pink.
void ShadowedText(HDC dc, const char* gbkText) {
    for (int d = 88; d <= 90; ++d) DrawPageText(dc, d, d, kGrey, gbkText);
    DrawPageText(dc, 91, 91, kShadowPink, gbkText);
    DrawPageText(dc, 92, 91, kShadowPink, gbkText);
}

}  // namespace

void PaintWelcomePage(HDC dc) {
    const WizardResources& r = wizardResources;
    PaintGradient(dc, WelcomeGradientColor);
    // Under the banner: seen only when the banner cannot be drawn.
    const char16_t* waiting = u"安装程序正在载入文件，请等待……";
    TextOutW(dc, 50, 150, Wide(waiting), static_cast<int>(WideLength(Wide(waiting))));
    SetBkMode(dc, TRANSPARENT);
    DrawArchiveBitmap(400, 190, dc, "qovi1.bmp", 0, 0, 400, 190, 0, 0, 400, 190);
    wizardResources.defaultFont = static_cast<HFONT>(SelectObject(dc, r.bodyFont));
    DrawPageText(dc, 10, 165, kWhite, u"您尝试过墨川语句提示输入吗？");
    DrawPageText(dc, 50, 195, kWhite, u"墨川语句将给你带来新的输入体验……");
    DrawPageText(dc, 220, 100, RGB(0, 0, 192), u"7.4 版");
    Frame(dc, r.confirmButtonRect);
    Frame(dc, r.exitButtonRect);
    ButtonTexts(dc, u"确 定 安 装");
}

void PaintAddressPage(HDC dc) {
    const WizardResources& r = wizardResources;
    PageStart(dc);
    SelectObject(dc, r.bodyFont);
    DrawPageText(dc, 30, 10, kBlack, u"智能墨川输入平台  系统安装");
    DrawPageText(dc, 39, 19, kWhite, u"智能墨川输入平台  系统安装");
    DrawPageText(dc, 250, 19, RGB(33, 205, 173), u"墨川五笔专版");
    SelectObject(dc, r.defaultFont);
    DrawPageText(dc, 20, 70, kWhite, u"请输入你所在单位网站和你所在地政府网站的网址，");
    DrawPageText(dc, 20, 90, kWhite, u"智能墨川就可每天自动从这两个网站上下载相关文章，");
    DrawPageText(dc, 20, 110, kWhite, u"组建或增加系统文章库，以方便你的快速输入。");
    SelectObject(dc, r.bodyFont);
    SetTextColor(dc, kWhite);
    Frame(dc, r.confirmButtonRect);
    Frame(dc, r.exitButtonRect);
    Frame(dc, r.lowerFieldRect);
    Frame(dc, r.upperFieldRect);
    DrawPageText(dc, r.upperFieldRect.left + 5, r.upperFieldRect.top + 4, kWhite, u"所在单位网址：");
    DrawPageText(dc, r.lowerFieldRect.left + 5, r.lowerFieldRect.top + 4, kWhite, u"当地政府网址：");
    ButtonTexts(dc, u"确 定 安 装");
}

void PaintPathPage(HDC dc) {
    const WizardResources& r = wizardResources;
    PageStart(dc);
    SelectObject(dc, r.titleFont);
    DrawEmbossedText(dc, 30, 20, u"智能墨川输入平台");
    SelectObject(dc, r.bodyFont);
    DrawEmbossedText(dc, 100, 80, u"墨川五笔 7.4 版  系统安装");
    SelectObject(dc, r.defaultFont);
    SelectObject(dc, r.bodyFont);
    DrawPageText(dc, 50, 130, kWhite, u"本版本适用于：WINDOWS NT、WIN2000、");
    DrawPageText(dc, 30, 155, kWhite, u"WINDOWS XP、VISTA及WIN7中文系统。");
    Frame(dc, r.confirmButtonRect);
    Frame(dc, r.exitButtonRect);
    Frame(dc, r.lowerFieldRect);
    DrawPageText(dc, 35, 196, kWhite, u"安装路径：");
    ButtonTexts(dc, u"确 定 安 装");
}

// No frames and no button texts: the page has no buttons to show, though
// clicks on their areas are still handled.
void PaintWorkingPage(HDC dc) {
    const WizardResources& r = wizardResources;
    PageStart(dc);
    SelectObject(dc, r.titleFont);
    DrawEmbossedText(dc, 30, 20, kWorkingTitleGbk);
    SelectObject(dc, r.bodyFont);
    DrawPageText(dc, 80, 80, kBlack, kWorkingTextGbk);
    ShadowedText(dc, kWorkingTextGbk);
    SelectObject(dc, r.defaultFont);
    SelectObject(dc, r.bodyFont);
    SetTextColor(dc, kWhite);
}

void PaintFinishPage(HDC dc) {
    const WizardResources& r = wizardResources;
    PageStart(dc);
    SelectObject(dc, r.titleFont);
    DrawEmbossedText(dc, 30, 20, kFinishTitleGbk);
    SelectObject(dc, r.bodyFont);
    ShadowedText(dc, kFinishTextGbk);
    SelectObject(dc, r.defaultFont);
    SelectObject(dc, r.bodyFont);
    DrawPageText(dc, 50, 130, kWhite, kInstalledGbk);
    DrawPageText(dc, 50, 155, kWhite, kTryTypingGbk);
    DrawPageText(dc, 10, 190, kWhite, kYourNameGbk);
    Frame(dc, r.confirmButtonRect);
    Frame(dc, r.exitButtonRect);
    ButtonTexts(dc, u"确 定 退 出");
    SelectInstalledIme();
}
