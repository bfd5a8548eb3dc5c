// The credit line's link to the studio's page, laid over its label.
#pragma once
#include <windows.h>

extern HINSTANCE g_instance;

void CreateCreditLink(HWND dialog);
// Opens the link's address when `header` comes from the credit link.
void ActivateCreditLink(const NMHDR* header);
void DestroyCreditLink();
