// The dialog window's own look and place: its icons, and where it opens.
#pragma once
#include <windows.h>

void SetDialogIcons(HWND dialog);
void CenterDialog(HWND dialog);
