// Install's shell: the dialog's install, its questions put as boxes.
#pragma once
#include <windows.h>

#include "catalog/catalog_logic.h"
#include "install/install_operation.h"

// Copies `srcFile` from the program's folder into plug-in folder `folder` and
// its sub-folder `subFolder` (either null: a text that did not fit), asking
// first when the folder's editor cannot load it and when it is already there.
// `resultText` (`size` characters) gets the text of Installed and of Failed.
InstallOutcome InstallPlugIn(wchar_t* resultText, size_t size, HWND dialog, const wchar_t* srcFile,
                             const wchar_t* newVersion, const wchar_t* folder, const wchar_t* subFolder);
// Installs `entry` into `folder` and `subFolder`, as above, and shows the result.
void RunInstallCommand(HWND dialog, const PlugInEntry& entry, const wchar_t* folder, const wchar_t* subFolder);
