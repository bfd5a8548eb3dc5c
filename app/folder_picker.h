// The ways the user picks a folder besides the list: the system's folder
// picker, and names offered while typing.
#pragma once
#include <windows.h>

#include "common/wide_text.h"

// Offers file-system names as the user types in the plug-in folder box.
void EnableFolderAutoComplete(HWND dialog);

// Asks for a folder in the system's folder picker, starting at `folder` when
// it names one. True with the chosen folder in `folder`; false when the user
// cancelled or the picker could not be shown, `folder` then unchanged.
bool PickFolder(HWND owner, wchar_t (&folder)[kPathSize]);
