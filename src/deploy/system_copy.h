// Copying modules and the uninstaller into the system folders, where a file
// may be held by a running program or carry attributes that refuse a copy.
#pragma once

// Copies `source` over `destination` after resetting the destination's
// attributes to the archive attribute alone. With `retry`, a destination that
// refuses the copy is moved aside (RenameAside) and the copy tried once more,
// unless the source is missing.
// With `real64`, the destination is in the system directory of 64-bit Windows,
// which a 32-bit program reaches only with the file-system redirection turned
// off for the copy. A copy that fails in the end is told in a message box that
// names the destination. Returns 1 when copied.
int CopySystemFile(const char* source, const char* destination, int retry, int real64);

extern const char kCopyFailedGbk[];            // 没有成功复制%s文件，请退出安装程序并手动删除该文件后重新安装！
extern const char kEditionInstallCaptionGbk[];  // 智能墨川(墨川五笔)安装
