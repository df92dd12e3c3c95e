#include "shell/wizard_window.h"

#include "archive/user_data.h"
#include "base/install_context.h"
#include "base/payload.h"
#include "base/shared_ops.h"
#include "base/text.h"
#include "deploy/article_settings.h"
#include "registration/system_records.h"
#include "shell/install_steps.h"
#include "shell/page_painting.h"

#include <cstring>

namespace {

const int kWindowWidth = 400;
const int kWindowHeight = 310;
const int kCenteringHeight = 300;  // the window is centred as if it were 300 high
const int kBoxWidth = 230;
const int kBoxHeight = 20;
const UINT_PTR kFinishTimer = 2;

void Repaint() { InvalidateRect(context.mainWindow, nullptr, FALSE); }

HWND CreateEditBox(HINSTANCE instance, int x, int y) {
    return CreateWindowExW(0, Wide(u"EDIT"), Wide(u" "), WS_CHILD | WS_SYSMENU, x, y, kBoxWidth, kBoxHeight,
                           context.mainWindow, nullptr, instance, nullptr);
}

// Hiding and showing a box again puts it over a page painted under it.
void Reshow(HWND box) {
    ShowWindow(box, SW_HIDE);
    ShowWindow(box, SW_SHOW);
}

void RemoveBox(HWND* box) {
    ShowWindow(*box, SW_HIDE);
    DestroyWindow(*box);
    *box = nullptr;
}

bool Inside(const RECT& r, int x, int y) { return r.left <= x && x <= r.right && r.top <= y && y <= r.bottom; }

LRESULT OnCreate(HWND window) {
    if (context.oemCodePage == 950) SetWindowTextW(window, Wide(u"智能墨川系統安裝"));
    context.mainWindow = window;
    CreateWizardResources();
    MapPayload();
    ObtainScratch();
    if (context.scratch == nullptr) {
        // Nothing can be unpacked or checked without it: say so and go no further.
        MessageBoxW(nullptr, Wide(u"内存不足，智能墨川安装程序无法运行！"), Wide(u"智能墨川"), MB_OK);
        ReleasePayloadAndScratch();
        ReleaseWizardResources();
        context.mainWindow = nullptr;
        return -1;
    }
    TakeUserDataBackup();
    return 0;
}

LRESULT OnDestroy() {
    ReleasePayloadAndScratch();
    ReleaseWizardResources();
    PostQuitMessage(0);
    return 0;
}

LRESULT OnPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    int page = context.wizardPage;
    if (page < PageAddresses)
        PaintWelcomePage(dc);
    else if (page <= 4)
        PaintAddressPage(dc);
    else if (page <= PagePath)
        PaintPathPage(dc);
    else if (page == PageWorking)
        PaintWorkingPage(dc);
    else
        PaintFinishPage(dc);
    EndPaint(window, &paint);
    return 0;
}

// Timer 2 leads from the working page to the finish page.
LRESULT OnTimer(HWND window) {
    KillTimer(window, kFinishTimer);
    SetWindowTextA(context.pathBox, "");
    context.wizardPage = PageFinish;
    Repaint();
    return 0;
}

// The welcome and address pages: the next page is painted at once, under the
// boxes shown again over it.
void ConfirmEarlyPage(bool loadAddresses) {
    HDC dc = GetDC(context.mainWindow);
    PaintAddressPage(dc);
    ReleaseDC(context.mainWindow, dc);
    Reshow(context.govSiteBox);
    Reshow(context.unitSiteBox);
    if (loadAddresses) LoadArticleSettings();
    ReadInstallPathRecord();
    AdvanceAddressPage();
}

void OnConfirm() {
    switch (context.wizardPage) {
    case PageWelcome: ConfirmEarlyPage(true); break;
    case PageAddresses: ConfirmEarlyPage(false); break;
    case PagePath: RunInstallSteps(); return;  // it repaints as it decides
    case PageWorking: break;
    case PageFinish: context.wizardPage = PageFinishArmed; break;
    case PageFinishArmed: RunFinishSequence(); return;
    default: break;
    }
    Repaint();
}

// x in the low 16 bits, y in the high ones; a right click acts as a left one.
LRESULT OnClick(LPARAM position) {
    int x = LOWORD(position), y = HIWORD(position);
    if (Inside(wizardResources.exitButtonRect, x, y)) {
        if (context.wizardPage >= PageFinish)
            RunFinishSequence();
        else
            EndWizard();
    } else if (Inside(wizardResources.confirmButtonRect, x, y)) {
        OnConfirm();
    }
    return 0;
}

}  // namespace

ATOM RegisterWizardClass(HINSTANCE instance) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WizardWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, "morahu");
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszMenuName = Wide(u"install");
    windowClass.lpszClassName = Wide(u"installWClass");
    return RegisterClassW(&windowClass);
}

int CreateWizardWindow(HINSTANCE instance, int showCommand) {
    int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const char16_t* title = IsWow64Windows() ? u"智能墨川系统安装3264" : u"智能墨川系统安装32";
    HWND window = CreateWindowExW(0, Wide(u"installWClass"), Wide(title), WS_SYSMENU, (screenWidth - kWindowWidth) / 2,
                                  (screenHeight - kCenteringHeight) / 2, kWindowWidth, kWindowHeight, nullptr,
                                  nullptr, instance, nullptr);
    if (window == nullptr) return 0;
    context.mainWindow = window;
    context.pathBox = CreateEditBox(instance, 120, 195);
    context.govSiteBox = CreateEditBox(instance, 130, 195);
    context.unitSiteBox = CreateEditBox(instance, 130, 165);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return 1;
}

LRESULT CALLBACK WizardWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_DESTROY: return OnDestroy();
    // The close box ends the run as the exit button does: while the install
    // steps run, only after them.
    case WM_CLOSE: EndWizard(); return 0;
    case WM_SETFOCUS: SetFocus(context.pathBox); return 0;
    case WM_PAINT: return OnPaint(window);
    case WM_TIMER: return OnTimer(window);
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: return OnClick(lParam);
    case WM_MOUSEMOVE: return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

void AdvanceAddressPage() {
    GetWindowTextA(context.unitSiteBox, context.unitSiteUrl, sizeof context.unitSiteUrl);
    GetWindowTextA(context.govSiteBox, context.govSiteUrl, sizeof context.govSiteUrl);
    if (context.wizardPage == PageWelcome) {
        context.wizardPage = PageAddresses;
        Repaint();
        return;
    }
    RemoveBox(&context.govSiteBox);
    RemoveBox(&context.unitSiteBox);
    Reshow(context.pathBox);
    ReadInstallPathRecord();
    if (std::strlen(context.installDir) < 3) CopyText(context.installDir, sizeof context.installDir, kDefaultInstallDir);
    SetWindowTextA(context.pathBox, context.installDir);
    Repaint();
    WriteSettingsFiles();
    context.wizardPage = PagePath;
}

void EndWizard() {
    if (DeferWizardEnd()) return;
    PostMessageW(context.mainWindow, WM_DESTROY, 0, 0);
}
