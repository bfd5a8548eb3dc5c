// The credit line's link to the studio's page, laid over its label.
#pragma once
#include <windows.h>

// Over the credit label; `instance` is the program's, which owns the window.
void CreateCreditLink(HWND dialog, HINSTANCE instance);
// Opens the link's address when `header` comes from the credit link.
void ActivateCreditLink(const NMHDR* header);
void DestroyCreditLink();
