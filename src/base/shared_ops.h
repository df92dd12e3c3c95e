// The small operations that many parts of the installer share.
#pragma once

#include <cstddef>

// 1 when `word` occurs anywhere in `text`, whose capital ASCII letters match
// their lower-case forms in `word`; `word` itself is not folded.
int ContainsNoCase(const char* text, const char* word);

// 1 when the file or folder name of `length` bytes is one that Windows takes
// for a device in any folder, whatever extension follows it: CON, PRN, AUX,
// NUL, COM1 to COM9, LPT1 to LPT9, CONIN$, CONOUT$ and CLOCK$, in any case.
int IsDeviceName(const char* name, size_t length);

// Starts the program of `command` (a whole command line, at most 511 bytes),
// shown as SW_SHOW, and goes on at once. WinExec would first wait until the
// program is ready for input, which a console tool or a program without a
// message loop never is: up to 30 seconds. Returns 1 when it started.
int StartProgram(const char* command);

// Starts a program of the system directory named by its full path. On 64-bit
// Windows the file-system redirection is off for the start, so the system's
// own 64-bit tool runs rather than its 32-bit copy in syswow64, which would
// first have to bring up the 32-bit layer. Returns 1 when it started.
int StartSystemProgram(const char* command);

// Turns the file-system redirection of 64-bit Windows off for this thread, so
// that a 32-bit program reaches the real system directory; 1 when it is off,
// *old then holding what turns it back. 0 on 32-bit Windows.
int TurnRedirectionOff(void** old);
void TurnRedirectionBack(void* old);

// 1 when the file or folder exists and can be opened for reading.
int PathExists(const char* path);

// 1 on 64-bit Windows of major version 6 or later. Refreshes osMajorVersion and,
// from version 6 on, wow64Dir; asked afresh wherever the answer is needed.
int IsWow64Windows();

// The Windows directory followed by "\syswow64": the 32-bit system folder of
// 64-bit Windows. Returns 1 when it was written whole.
int ComposeWow64Dir(char* out, size_t outSize);

// The path of a file of the install directory: installDir followed by the
// name. Returns 1 when it fitted `size`.
int InstallDirPath(const char* name, char* path, size_t size);

// For the register-only mode and the 64-bit companion: takes the directory
// after "regmo32=" (exact case, at the first "r" of the line) into installDir. A directory that is empty, or too long to be recorded
// with its closing backslash, is refused and installDir keeps its value.
// Returns 1 when installDir was taken from the line.
int TakeRegisterDir(const char* commandLine);
