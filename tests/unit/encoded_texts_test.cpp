// Every 8-bit text of the installer, decoded with iconv and compared with the
// characters it stands for.
#include "archive/extraction.h"
#include "base/ime_texts.h"
#include "deploy/system_copy.h"
#include "registration/keyboard_layout.h"
#include "shell/page_painting.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iconv.h>
#include <string>

namespace {

std::string Decode(const char* bytes, const char* charset) {
    iconv_t cd = iconv_open("UTF-8", charset);
    if (cd == reinterpret_cast<iconv_t>(-1)) return "<no converter>";
    char out[1024] = {};
    char* in = const_cast<char*>(bytes);
    size_t inLeft = std::strlen(bytes), outLeft = sizeof out - 1;
    char* o = out;
    size_t result = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    return result == size_t(-1) ? "<invalid>" : std::string(out);
}

}  // namespace

TEST(EncodedTexts, DecodeToTheirCharacters) {
    struct Row {
        const char* name;
        const char* bytes;
        const char* charset;
        const char* characters;
    } rows[] = {
        {"kImeDescriptionGbk", kImeDescriptionGbk, "GBK", "智能墨川输入平台"},
        {"kImeDescriptionBig5", kImeDescriptionBig5, "BIG5", "智能墨川輸入平台"},
        {"kLayoutTextGbk", kLayoutTextGbk, "GBK", "智能墨川输入平台  7.4"},
        {"kLayoutTextBig5", kLayoutTextBig5, "BIG5", "智能墨川輸入平台  7.4"},
        {"kImeNamePrefixGbk", kImeNamePrefixGbk, "GBK", "智能墨川输入"},
        {"kNeedAdministratorGbk", kNeedAdministratorGbk, "GBK",
         "在WIN2000和WIN NT系统中安装本软件时，需要以系统管理员身份才能安装成功！"},
        {"kCaptionGbk", kCaptionGbk, "GBK", "智能墨川"},
        {"kCaptionEditionGbk", kCaptionEditionGbk, "GBK", "智能墨川(墨川五笔)"},
        {"kExtractFailedGbk", kExtractFailedGbk, "GBK", "没有成功解压复制%s文件！请重新下载安装。"},
        {"kInstallCaptionGbk", kInstallCaptionGbk, "GBK", "智能墨川安装"},
        {"kIncompleteGbk", kIncompleteGbk, "GBK", "有文件没有成功解压，请重新下载安装！\r\n"},
        {"kWorkingTitleGbk", kWorkingTitleGbk, "GBK", "智能墨川7.4版安装"},
        {"kWorkingTextGbk", kWorkingTextGbk, "GBK", "智能墨川正在处理有关数据……"},
        {"kFinishTitleGbk", kFinishTitleGbk, "GBK", "欢迎使用墨川系统"},
        {"kFinishTextGbk", kFinishTextGbk, "GBK", "欢迎使用墨川输入系统"},
        {"kInstalledGbk", kInstalledGbk, "GBK", "智能墨川已经安装在你的系统中!"},
        {"kTryTypingGbk", kTryTypingGbk, "GBK", "请在下面的框中试着用墨川系统输入你的姓名。"},
        {"kYourNameGbk", kYourNameGbk, "GBK", "请输入你的姓名："},
        {"kCopyFailedGbk", kCopyFailedGbk, "GBK", "没有成功复制%s文件，请退出安装程序并手动删除该文件后重新安装！"},
        {"kEditionInstallCaptionGbk", kEditionInstallCaptionGbk, "GBK", "智能墨川(墨川五笔)安装"},
    };
    for (const Row& row : rows) EXPECT_EQ(Decode(row.bytes, row.charset), row.characters) << row.name;
    EXPECT_EQ(std::strlen(kImeDescriptionGbk), kImeDescriptionLength);
    EXPECT_EQ(std::strlen(kImeDescriptionBig5), kImeDescriptionLength);
    EXPECT_EQ(std::strlen(kImeNamePrefixGbk), kImeNamePrefixLength);
}
