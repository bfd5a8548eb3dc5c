#pragma once
#include <windows.h>

extern HINSTANCE g_instance;
extern HWND g_creditLink;

void EnableFolderAutoComplete(HWND dialog);
void CreateCreditLink(HWND dialog);
// Opens the link's address when `header` comes from the credit link.
void ActivateCreditLink(const NMHDR* header);
void DestroyCreditLink();
void SetDialogIcons(HWND dialog);
void CenterDialog(HWND dialog);
