// Registration of the input-method module as a keyboard layout of Chinese.
#pragma once

// Asks the input method manager to install morahu4.ime of the system directory
// as "智能墨川输入平台  7.4" and keeps the layout handle in installedLayout.
// Returns 1 when a handle came back.
int InstallImeModule();

// Whether a layout under Keyboard Layouts has this IME file (a name such as
// "morahu4.ime", matched without case and without the folder before it).
int IsImeFileRegistered(const char* imeFile);

// The fallback when the input method manager gave no layout: writes the layout
// record under Keyboard Layouts itself, reusing the identifier of an earlier
// registration or choosing a new one from E001 up, and enters the identifier
// in the current user's preload list. Returns 0 after showing one of its
// messages, 1 otherwise.
int RegisterKeyboardLayout();

// Messages of RegisterKeyboardLayout, 8-bit GBK.
extern const char kNeedAdministratorGbk[];  // 在WIN2000和WIN NT系统中安装本软件时，需要以系统管理员身份才能安装成功！
