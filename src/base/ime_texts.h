// The input method's description as 8-bit texts: how its keyboard layouts are
// recognised and what they are registered as; and the messages that the
// installer and its 64-bit companion both show. GBK unless named Big5 (the
// traditional-Chinese texts used under OEM code page 950).
#pragma once

#include <cstddef>

extern const char kImeDescriptionGbk[];   // 智能墨川输入平台 (16 bytes)
extern const char kImeDescriptionBig5[];  // 智能墨川輸入平台 (16 bytes)
extern const char kLayoutTextGbk[];       // 智能墨川输入平台  7.4
extern const char kLayoutTextBig5[];      // 智能墨川輸入平台  7.4
extern const char kImeNamePrefixGbk[];    // 智能墨川输入 (12 bytes)
extern const char kExtractFailedGbk[];    // 没有成功解压复制%s文件！请重新下载安装。
extern const char kInstallCaptionGbk[];   // 智能墨川安装
extern const char kCaptionGbk[];          // 智能墨川
extern const char kCaptionEditionGbk[];   // 智能墨川(墨川五笔)

const size_t kImeDescriptionLength = 16;
const size_t kImeNamePrefixLength = 12;
