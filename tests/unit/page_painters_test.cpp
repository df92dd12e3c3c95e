#include "shell/page_painting.h"

#include "unit/archives.h"
#include "unit/layouts.h"
#include "unit/test_machine.h"

#include <string>

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kButtonPink = RGB(255, 128, 128);
const COLORREF kShadowPink = RGB(255, 187, 187);

struct Expected {
    const char* text;
    int x;
    int y;
    COLORREF color;
};

void ExpectTexts(const std::vector<SimText>& texts, const std::vector<Expected>& expected, const char* page) {
    for (const Expected& e : expected) {
        bool found = false;
        for (const SimText& t : texts) found = found || (t.text == e.text && t.x == e.x && t.y == e.y && t.color == e.color);
        EXPECT_TRUE(found) << page << ": \"" << e.text << "\" at (" << e.x << ", " << e.y << ")";
    }
}

bool Drawn(const std::vector<SimText>& texts, const char* text, int x = -1, int y = -1) {
    for (const SimText& t : texts)
        if (t.text == text && (x < 0 || (t.x == x && t.y == y))) return true;
    return false;
}

// A banner of 401 x 310 whose pixels are all RGB(10, 20, 30).
std::string Banner() {
    return BitmapFile(401, 310, [](int, int) { return 0x0A141Eu; });
}

class Pages : public ::testing::Test {
protected:
    void SetUp() override {
        CreateWizardResources();
        ObtainScratch();
        dc = machine.CreateCanvas(400, 310);
    }
    void TearDown() override { ReleaseWizardResources(); }
    void Payload(const std::string& archive) {
        archive_ = archive;
        context.payload = Bytes(archive_);
        context.payloadSize = static_cast<DWORD>(archive_.size());
    }
    TestMachine machine;
    HDC dc;
    std::string archive_;
};

}  // namespace

TEST_F(Pages, WelcomeWithItsBanner) {
    Payload(MakeArchive({{"qovi1.bmp", Banner(), ""}}));
    PaintWelcomePage(dc);
    EXPECT_EQ(machine.Pixel(dc, 5, 5), RGB(10, 20, 30)) << "the banner's top";
    EXPECT_EQ(machine.Pixel(dc, 380, 189), RGB(10, 20, 30));
    EXPECT_EQ(machine.Pixel(dc, 380, 190), WelcomeGradientColor(190)) << "below it the gradient";
    EXPECT_EQ(machine.Pixel(dc, 380, 250), WelcomeGradientColor(250));
    std::vector<SimText> texts = machine.Texts(dc);
    ExpectTexts(texts,
                {{"您尝试过墨川语句提示输入吗？", 10, 165, kWhite},
                 {"墨川语句将给你带来新的输入体验……", 50, 195, kWhite},
                 {"7.4 版", 220, 100, RGB(0, 0, 192)},
                 {"确 定 安 装", 45, 247, kButtonPink},
                 {"放 弃 退 出", 265, 247, kButtonPink}},
                "welcome");
    EXPECT_EQ(texts[1].font, "宋体");
    EXPECT_EQ(texts[1].bkMode, TRANSPARENT);
    EXPECT_EQ(machine.Pixel(dc, 90, 270), kBlack) << "the confirm button's frame";
    EXPECT_EQ(machine.LiveGdiObjects(), 3u) << "pens and bitmaps given back";
}

TEST_F(Pages, WelcomeWithoutBannerShowsTheWaitingText) {
    Payload(MakeArchive({{"other.bmp", Banner(), ""}}));
    PaintWelcomePage(dc);
    std::vector<SimText> texts = machine.Texts(dc);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0].text, "安装程序正在载入文件，请等待……");
    EXPECT_EQ(texts[0].x, 50);
    EXPECT_EQ(texts[0].y, 150);
    EXPECT_EQ(texts[0].color, kBlack);
    EXPECT_EQ(texts[0].font, "System");
    EXPECT_EQ(texts[0].bkMode, OPAQUE);
    EXPECT_EQ(machine.Pixel(dc, 5, 5), WelcomeGradientColor(5));
}

TEST_F(Pages, AddressPage) {
    PaintWelcomePage(dc);  // keeps the default font
    HDC page = machine.CreateCanvas(400, 310);
    PaintAddressPage(page);
    EXPECT_EQ(machine.Pixel(page, 380, 200), RGB(96, 164, 154));
    std::vector<SimText> texts = machine.Texts(page);
    ExpectTexts(texts,
                {{"智能墨川输入平台  系统安装", 30, 10, kBlack},
                 {"智能墨川输入平台  系统安装", 39, 19, kWhite},
                 {"墨川五笔专版", 250, 19, RGB(33, 205, 173)},
                 {"请输入你所在单位网站和你所在地政府网站的网址，", 20, 70, kWhite},
                 {"所在单位网址：", 35, 166, kWhite},
                 {"当地政府网址：", 35, 196, kWhite},
                 {"确 定 安 装", 45, 247, kButtonPink}},
                "address");
    for (const SimText& t : texts) {
        if (t.y == 70) {
            EXPECT_EQ(t.font, "System") << "the explanation in the default font";
        }
    }
    EXPECT_EQ(machine.Pixel(page, 365, 175), kBlack) << "the unit field's frame";
}

TEST_F(Pages, PathPage) {
    PaintPathPage(dc);
    ExpectTexts(machine.Texts(dc),
                {{"智能墨川输入平台", 30, 20, kBlack},
                 {"智能墨川输入平台", 41, 31, kWhite},
                 {"墨川五笔 7.4 版  系统安装", 100, 80, kBlack},
                 {"本版本适用于：WINDOWS NT、WIN2000、", 50, 130, kWhite},
                 {"WINDOWS XP、VISTA及WIN7中文系统。", 30, 155, kWhite},
                 {"安装路径：", 35, 196, kWhite},
                 {"放 弃 退 出", 265, 247, kButtonPink}},
                "path");
    EXPECT_EQ(machine.Texts(dc)[0].font, "楷体");
}

TEST_F(Pages, WorkingPageHasNoButtons) {
    PaintWorkingPage(dc);
    std::vector<SimText> texts = machine.Texts(dc);
    ExpectTexts(texts,
                {{"智能墨川7.4版安装", 30, 20, kBlack},
                 {"智能墨川正在处理有关数据……", 80, 80, kBlack},
                 {"智能墨川正在处理有关数据……", 90, 90, RGB(128, 128, 128)},
                 {"智能墨川正在处理有关数据……", 92, 91, kShadowPink}},
                "working");
    EXPECT_FALSE(Drawn(texts, "确 定 安 装"));
    EXPECT_FALSE(texts[0].wide) << "8-bit texts";
    EXPECT_EQ(machine.Pixel(dc, 90, 270), PageGradientColor(270)) << "no frames";
}

TEST_F(Pages, FinishPageSwitchesToTheInstalledInputMethod) {
    HKL ours = reinterpret_cast<HKL>(uintptr_t(0xE0210804));
    machine.AddKeyboardLayout(ours, "E0210804", kLayoutTextGbk);
    context.wizardPage = PageFinish;
    PaintFinishPage(dc);
    std::vector<SimText> texts = machine.Texts(dc);
    ExpectTexts(texts,
                {{"欢迎使用墨川系统", 30, 20, kBlack},
                 {"欢迎使用墨川输入系统", 88, 88, RGB(128, 128, 128)},
                 {"智能墨川已经安装在你的系统中!", 50, 130, kWhite},
                 {"请在下面的框中试着用墨川系统输入你的姓名。", 50, 155, kWhite},
                 {"请输入你的姓名：", 10, 190, kWhite},
                 {"确 定 退 出", 45, 247, kButtonPink},
                 {"放 弃 退 出", 265, 247, kButtonPink}},
                "finish");
    EXPECT_FALSE(Drawn(texts, "确 定 安 装"));
    EXPECT_FALSE(Drawn(texts, "欢迎使用墨川输入系统", 80, 80)) << "no black copy at (80, 80)";
    EXPECT_EQ(machine.CurrentLayout(), ours);
}
