#pragma once
#include <windows.h>

// Copies `srcFile` from the program's folder into the folder the dialog shows,
// asking first when it is already there. `resultText` (`size` characters) gets
// the success or failure text, or stays empty when the user declined.
bool InstallPlugIn(wchar_t* resultText, size_t size, HWND dialog, const wchar_t* srcFile,
                   const wchar_t* newVersion);
// The system's text for `code` into `text` (`size` characters); empty when none.
void FormatSystemError(DWORD code, wchar_t* text, size_t size);
void RunInstallCommand(HWND dialog);
