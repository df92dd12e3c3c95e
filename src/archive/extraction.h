// Turning a moz archive in memory into files of the install directory, and
// checking installed files against an archive.
#pragma once

#include <cstddef>

// Work area of MozExtractAll: the entry's name at 0, its content from
// kWorkContentOffset, its digest text 10 bytes behind the content.
const size_t kWorkContentOffset = 100;

// Writes every entry of the archive (its real size given) into installDir,
// each failed entry told in its own message box. Returns 1 when as many
// entries were written as the header counts. An entry whose name is empty,
// unterminated in its field, or holds "\", "/", ":" or ".." is never written.
int MozExtractAll(const unsigned char* archive, size_t archiveSize, unsigned char* workArea, size_t workSize);

// Compares each entry with the file of that name in installDir and returns the
// number that passed; the report names each failure ("name....") and, when any
// entry did not pass, ends with the sentence of an incomplete extraction.
// An entry whose name occurs in exceptionText passes (current layout only).
int MozVerifyInstalled(const unsigned char* archive, size_t archiveSize, char* report, size_t reportSize,
                       const char* exceptionText);

// Compacts the GBK word list in place and writes the 12-byte trailer ("MORA",
// sum, word count) behind the kept text; returns the kept length. The buffer
// must have 12 bytes of room behind the text. A list that already ends in a
// trailer is left as it is.
size_t NormaliseWordList(unsigned char* text, size_t length);

extern const char kIncompleteGbk[];     // 有文件没有成功解压，请重新下载安装！\r\n
