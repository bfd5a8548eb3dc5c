#pragma once
#include <windows.h>

#include "common/wide_text.h"

// Asks for a folder in the system's folder picker, starting at `folder` when
// it names one. True with the chosen folder in `folder`; false when the user
// cancelled or the picker could not be shown, `folder` then unchanged.
bool PickFolder(HWND owner, wchar_t (&folder)[kPathSize]);
