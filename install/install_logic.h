// Path and command rules of installation and Photoshop launch. Portable.
#pragma once
#include <cstddef>

constexpr size_t kAssociationSize = 308;
constexpr size_t kMessageSize = 512;

// folder (one trailing backslash removed), subFolder and srcFile joined by
// backslashes; subFolder left out when empty. False when it would not fit.
bool ComposeInstallDestination(const wchar_t* folder, const wchar_t* subFolder, const wchar_t* srcFile,
                               wchar_t* out, size_t size);

// Photoshop.exe in the folder that holds the plug-in folder text. False when
// the path would not fit.
bool DerivePhotoshopPath(const wchar_t* folderText, wchar_t* out, size_t size);

// The class's open-command key name. False when it would not fit.
bool ComposeOpenCommandKey(const wchar_t* className, wchar_t* out, size_t size);

// The program of an open command ending in the quoted document placeholder.
// False for any other command, or when the program would not fit `size`.
bool ParseOpenCommand(const wchar_t* command, wchar_t* out, size_t size);
