#include "shell/page_painting.h"

#include "archive/moz_archive.h"
#include "unit/archives.h"
#include "unit/test_machine.h"

#include <string>

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kRed = RGB(255, 0, 0);

// A bitmap whose pixel (x, y), counted from the top, is RGB(x, y, 7).
std::string GradedBitmap(int width, int height) {
    return BitmapFile(width, height, [](int x, int y) { return uint32_t(x) << 16 | uint32_t(y) << 8 | 7u; });
}

struct Painting {
    explicit Painting(TestMachine& machine) : dc(machine.CreateCanvas(400, 310)) { CreateWizardResources(); }
    ~Painting() { ReleaseWizardResources(); }
    HDC dc;
};

void MapArchive(const std::string& archive) {
    context.payload = Bytes(archive);
    context.payloadSize = static_cast<DWORD>(archive.size());
    if (context.scratch == nullptr) ObtainScratch();
}

}  // namespace

TEST(Gradients, ColoursOfTheLines) {
    EXPECT_EQ(WelcomeGradientColor(0), RGB(0, 144, 250));
    EXPECT_EQ(WelcomeGradientColor(55), RGB(0, 254, 226));
    EXPECT_EQ(WelcomeGradientColor(56), RGB(0, 0, 225));
    EXPECT_EQ(WelcomeGradientColor(183), RGB(0, 254, 168));
    EXPECT_EQ(WelcomeGradientColor(184), RGB(0, 0, 167));
    EXPECT_EQ(WelcomeGradientColor(309), RGB(0, 250, 111));
    EXPECT_EQ(PageGradientColor(0), RGB(0, 0, 250));
    EXPECT_EQ(PageGradientColor(309), RGB(149, 254, 101));
}

TEST(Gradients, PaintedLineByLineWithPensGivenBack) {
    TestMachine machine;
    Painting painting(machine);
    PaintGradient(painting.dc, PageGradientColor);
    for (int y : {0, 150, 309}) {
        EXPECT_EQ(machine.Pixel(painting.dc, 0, y), PageGradientColor(y)) << y;
        EXPECT_EQ(machine.Pixel(painting.dc, 399, y), PageGradientColor(y)) << y;
    }
    EXPECT_EQ(machine.LiveGdiObjects(), 3u) << "only the wizard's fonts and brush: every pen deleted";
}

TEST(PaintProgressBar, Widths) {
    struct Row {
        int done;
        int total;
        COLORREF inside;  // at (100, 200)
        int lastFilled;   // the last column of the bar's fill, -1 for none
        COLORREF fill;
    } rows[] = {
        {0, 64, kWhite, 368, kWhite},   // the empty bar, full width
        {32, 64, kRed, 198, kRed},      // 170 wide: outline at 30 and 199
        {100, 64, kRed, 368, kRed},     // all 340
        {5, 0, kBlack, -1, kRed},       // nothing to fill: no rectangle at all
    };
    for (const Row& row : rows) {
        TestMachine machine;
        Painting painting(machine);
        PaintGradient(painting.dc, [](int) { return RGB(0, 0, 0); });
        PaintProgressBar(painting.dc, row.done, row.total);
        if (row.lastFilled < 0) {
            EXPECT_EQ(machine.Pixel(painting.dc, 31, 200), kBlack) << row.done << "/" << row.total;
            continue;
        }
        EXPECT_EQ(machine.Pixel(painting.dc, 100, 200), row.inside) << row.done << "/" << row.total;
        EXPECT_EQ(machine.Pixel(painting.dc, row.lastFilled, 200), row.fill) << row.done << "/" << row.total;
        EXPECT_EQ(machine.Pixel(painting.dc, row.lastFilled + 1, 200), kBlack) << "the outline";
        EXPECT_EQ(machine.Pixel(painting.dc, 100, 191), kBlack) << "the top outline at y + 3";
        EXPECT_EQ(machine.Pixel(painting.dc, 100, 217), kBlack) << "the bottom outline";
        EXPECT_EQ(machine.Pixel(painting.dc, 100, 218), kBlack) << "below the bar: the background";
    }
}

TEST(DrawRaisedFrame, LightTopLeftDarkBottomRight) {
    TestMachine machine;
    Painting painting(machine);
    PaintGradient(painting.dc, [](int) { return RGB(0, 0, 250); });
    DrawRaisedFrame(painting.dc, 40, 245, 140, 270);
    EXPECT_EQ(machine.Pixel(painting.dc, 90, 270), kBlack);
    EXPECT_EQ(machine.Pixel(painting.dc, 140, 260), kBlack);
    EXPECT_EQ(machine.Pixel(painting.dc, 90, 245), kWhite);
    EXPECT_EQ(machine.Pixel(painting.dc, 40, 260), kWhite);
    EXPECT_EQ(machine.Pixel(painting.dc, 90, 260), RGB(0, 0, 250)) << "the inside is left alone";
}

TEST(DrawEmbossedText, FiveCopies) {
    TestMachine machine;
    Painting painting(machine);
    DrawEmbossedText(painting.dc, 30, 20, u"智能墨川输入平台");
    std::vector<SimText> texts = machine.Texts(painting.dc);
    ASSERT_EQ(texts.size(), 5u);
    const int offsets[] = {0, 8, 9, 10, 11};
    const COLORREF colors[] = {kBlack, RGB(128, 128, 128), RGB(128, 128, 128), RGB(128, 128, 128), kWhite};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(texts[i].x, 30 + offsets[i]);
        EXPECT_EQ(texts[i].y, 20 + offsets[i]);
        EXPECT_EQ(texts[i].color, colors[i]);
        EXPECT_EQ(texts[i].text, "智能墨川输入平台");
        EXPECT_TRUE(texts[i].wide);
    }
}

TEST(DrawArchiveBitmap, CopiesAndStretchesTheSource) {
    TestMachine machine;
    Painting painting(machine);
    const std::string archive = MakeArchive({{"qovi1.bmp", GradedBitmap(40, 20), ""}});
    MapArchive(archive);
    DrawArchiveBitmap(400, 190, painting.dc, "qovi1.bmp", 0, 0, 40, 20, 0, 0, 40, 20);
    EXPECT_EQ(machine.Pixel(painting.dc, 5, 3), RGB(5, 3, 7)) << "unscaled, top row first";
    EXPECT_EQ(machine.Pixel(painting.dc, 39, 19), RGB(39, 19, 7));
    EXPECT_EQ(machine.Pixel(painting.dc, 40, 0), kWhite);

    // A source wider than the bitmap is cut at its right edge (30 to 39) and
    // what is left is stretched over the whole destination width.
    DrawArchiveBitmap(400, 300, painting.dc, "qovi1.bmp", 100, 100, 100, 20, 30, 0, 50, 20);
    EXPECT_EQ(machine.Pixel(painting.dc, 100, 100), RGB(30, 0, 7));
    EXPECT_EQ(machine.Pixel(painting.dc, 199, 100), RGB(39, 0, 7));
    context.payload = nullptr;
}

TEST(DrawArchiveBitmap, DrawsNothingForAMissingOrBadBitmap) {
    std::string good = GradedBitmap(40, 20);
    std::string offsetPast = good, tooWide = good, eightBits = good, cut = good.substr(0, good.size() - 1);
    offsetPast.replace(10, 4, U32(5000));
    tooWide.replace(18, 4, U32(4000));
    eightBits[28] = 8;
    struct Row {
        const char* what;
        const char* entry;
        std::string content;
    } rows[] = {
        {"no such entry", "other.bmp", good},
        {"not a bitmap", "qovi1.bmp", "GIF89a" + good},
        {"pixel data offset past the content", "qovi1.bmp", offsetPast},
        {"wider than the content holds", "qovi1.bmp", tooWide},
        {"eight bits per pixel", "qovi1.bmp", eightBits},
        {"cut short", "qovi1.bmp", cut},
        {"headers only", "qovi1.bmp", good.substr(0, 54)},
    };
    for (const Row& row : rows) {
        TestMachine machine;
        Painting painting(machine);
        const std::string archive = MakeArchive({{row.entry, row.content, ""}});
        MapArchive(archive);
        DrawArchiveBitmap(400, 190, painting.dc, "qovi1.bmp", 0, 0, 40, 20, 0, 0, 40, 20);
        EXPECT_EQ(machine.Pixel(painting.dc, 5, 3), kWhite) << row.what;
        EXPECT_EQ(machine.LiveGdiObjects(), 3u) << row.what;
        context.payload = nullptr;
    }
}

TEST(WizardResources, FontsBrushAndRectangles) {
    TestMachine machine;
    CreateWizardResources();
    EXPECT_EQ(machine.LiveGdiObjects(), 3u);
    const RECT& confirm = wizardResources.confirmButtonRect;
    EXPECT_EQ((std::vector<LONG>{confirm.left, confirm.top, confirm.right, confirm.bottom}),
              (std::vector<LONG>{40, 245, 140, 270}));
    HDC dc = machine.CreateCanvas(10, 10);
    SelectObject(dc, wizardResources.titleFont);
    TextOutW(dc, 0, 0, Wide(u"x"), 1);
    EXPECT_EQ(machine.Texts(dc)[0].font, "楷体");
    EXPECT_EQ(machine.Texts(dc)[0].fontHeight, 40);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    ReleaseWizardResources();
    EXPECT_EQ(machine.LiveGdiObjects(), 0u);
}
