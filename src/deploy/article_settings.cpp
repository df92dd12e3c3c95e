#include "deploy/article_settings.h"

#include "base/install_context.h"
#include "base/shared_ops.h"
#include "base/text.h"
#include "registration/system_records.h"

#include <cstring>

namespace {

const size_t kSettingsReadSize = 1000;
const size_t kMostValueBytes = 250;
const char kEditionFlag[] = "MOWBPYBZ=0";  // the Wubi edition; written with its terminator: 11 bytes

void WriteWholeFile(const char* path, const char* bytes, size_t length) {
    HFILE file = _lcreat(path, 0);
    if (file == HFILE_ERROR) return;
    _lwrite(file, bytes, static_cast<UINT>(length));
    _lclose(file);
}

// The settings text: the two addresses, then the fixed download settings, every
// line ended by CR LF.
size_t FormSettingsText(char* text, size_t size) {
    FormatText(text, size,
               "MONETURL1=%s\r\nMONETURL2=%s\r\nMONETTIME=1\r\nMOBJTIME=7\r\nMOWYTIME=3\r\nMOSJOFF=0\r\n"
               "MONETTIME0=0\r\nMOBJTIME0=0\r\nMONEONE=1\r\n",
               context.unitSiteUrl, context.govSiteUrl);
    return std::strlen(text);
}

void ShowAddress(HWND box, const char* url) {
    if (box != nullptr) SetWindowTextA(box, url);
}

}  // namespace

void WriteSettingsFiles() {
    ReadInstallPathRecord();
    char path[kPathFieldSize + 16];
    if (InstallDirPath("wbpybz.moh", path, sizeof path)) WriteWholeFile(path, kEditionFlag, sizeof kEditionFlag);
    if (!InstallDirPath("monetsj.dat", path, sizeof path)) return;
    bool noAddresses = context.unitSiteUrl[0] == '\0' && context.govSiteUrl[0] == '\0';
    if (noAddresses && context.runMode == SilentReinstall && PathExists(path)) return;
    char text[2 * kUrlFieldSize + 200];
    size_t length = FormSettingsText(text, sizeof text);
    WriteWholeFile(path, text, length);
}

void LoadArticleSettings() {
    ReadInstallPathRecord();
    context.unitSiteUrl[0] = '\0';
    context.govSiteUrl[0] = '\0';
    char path[kPathFieldSize + 16];
    HFILE file = InstallDirPath("monetsj.dat", path, sizeof path) ? _lopen(path, OF_READ) : HFILE_ERROR;
    if (file != HFILE_ERROR) {
        char text[kSettingsReadSize];
        UINT got = _lread(file, text, sizeof text);
        _lclose(file);
        size_t length = got == UINT(HFILE_ERROR) ? 0 : got;
        FindKeyValue(text, length, "MONETURL1=", context.unitSiteUrl, sizeof context.unitSiteUrl);
        FindKeyValue(text, length, "MONETURL2=", context.govSiteUrl, sizeof context.govSiteUrl);
    }
    ShowAddress(context.unitSiteBox, context.unitSiteUrl);
    ShowAddress(context.govSiteBox, context.govSiteUrl);
}

void FindKeyValue(const char* text, size_t length, const char* key, char* value, size_t valueSize) {
    if (valueSize == 0) return;
    value[0] = '\0';
    size_t keyLength = std::strlen(key);
    if (keyLength == 0 || length < keyLength) return;
    for (size_t at = 0; at + keyLength <= length; ++at) {
        if (std::memcmp(text + at, key, keyLength) != 0) continue;
        size_t n = 0, limit = valueSize - 1 < kMostValueBytes ? valueSize - 1 : kMostValueBytes;
        for (size_t r = at + keyLength; r < length && n < limit; ++r, ++n) {
            if (static_cast<unsigned char>(text[r]) <= 0x20) break;
            value[n] = text[r];
        }
        value[n] = '\0';
        return;
    }
}
