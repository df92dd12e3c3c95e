// A stand-in input-method module: a real DLL of its width that exports the
// usual IME entry points, each doing nothing. The payload carries it where the
// input method's own modules belong, so that the installer can be tried and
// tested end to end, and a test can load it as a program using the input
// method does.
#include <windows.h>
#include <imm.h>

#define IME_EXPORT extern "C" __declspec(dllexport)

IME_EXPORT BOOL WINAPI ImeInquire(void*, LPWSTR, LPCWSTR) { return FALSE; }
IME_EXPORT BOOL WINAPI ImeConfigure(HKL, HWND, DWORD, LPVOID) { return FALSE; }
IME_EXPORT DWORD WINAPI ImeConversionList(HIMC, LPCWSTR, LPCANDIDATELIST, DWORD, UINT) { return 0; }
IME_EXPORT BOOL WINAPI ImeDestroy(UINT) { return TRUE; }
IME_EXPORT LRESULT WINAPI ImeEscape(HIMC, UINT, LPVOID) { return 0; }
IME_EXPORT BOOL WINAPI ImeProcessKey(HIMC, UINT, LPARAM, CONST LPBYTE) { return FALSE; }
IME_EXPORT BOOL WINAPI ImeSelect(HIMC, BOOL) { return TRUE; }
IME_EXPORT BOOL WINAPI ImeSetActiveContext(HIMC, BOOL) { return TRUE; }
IME_EXPORT UINT WINAPI ImeToAsciiEx(UINT, UINT, CONST LPBYTE, LPDWORD, UINT, HIMC) { return 0; }
IME_EXPORT BOOL WINAPI NotifyIME(HIMC, DWORD, DWORD, DWORD) { return FALSE; }
IME_EXPORT BOOL WINAPI ImeRegisterWord(LPCWSTR, DWORD, LPCWSTR) { return FALSE; }
IME_EXPORT BOOL WINAPI ImeUnregisterWord(LPCWSTR, DWORD, LPCWSTR) { return FALSE; }
IME_EXPORT UINT WINAPI ImeGetRegisterWordStyle(UINT, LPSTYLEBUFW) { return 0; }
IME_EXPORT UINT WINAPI ImeEnumRegisterWord(REGISTERWORDENUMPROCW, LPCWSTR, DWORD, LPCWSTR, LPVOID) { return 0; }
IME_EXPORT BOOL WINAPI ImeSetCompositionString(HIMC, DWORD, LPCVOID, DWORD, LPCVOID, DWORD) { return FALSE; }

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
