#pragma once
#include <windows.h>

// Copies `srcFile` from the program's folder into the folder the dialog shows,
// asking first when it is already there. `resultText` (512 characters) gets
// the success or failure text, or stays empty when the user declined.
int InstallPlugIn(wchar_t* resultText, HWND dialog, const wchar_t* srcFile, const wchar_t* newVersion);
// The system's text for `code` into `text` (512 characters); empty when none.
void FormatSystemError(DWORD code, wchar_t* text);
void RunInstallCommand(HWND dialog);

int LaunchPhotoshop(HWND dialog);
// `path` (260 characters): Photoshop's program for the plug-in folder text,
// beside that folder or else from the .psd association. Start Photoshop
// starts it, and Install reads its machine type.
int FindPhotoshopProgram(const wchar_t* folder, wchar_t* path);
// `path` (260 characters) from the .psd document class's open command.
int FindPhotoshopByAssociation(wchar_t* path);
void RunLaunchCommand(HWND dialog);
