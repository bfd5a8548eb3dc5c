#pragma once
#include <windows.h>

#include "install/install_operation.h"

// Copies `srcFile` from the program's folder into the folder the dialog shows,
// asking first when it is already there. `resultText` (`size` characters) gets
// the success or failure text, or stays empty when the user declined.
bool InstallPlugIn(wchar_t* resultText, size_t size, HWND dialog, const wchar_t* srcFile,
                   const wchar_t* newVersion);
void RunInstallCommand(HWND dialog);
