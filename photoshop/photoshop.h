// The editor's shell: the plug-in folder and sub-folder boxes, and Start
// Photoshop's boxes. The dialog procedure passes the texts it read.
#pragma once
#include <windows.h>

// Fills the plug-in folder list from the registry and selects its first
// folder; true when it added any.
bool FindPlugInFolders(HWND dialog);
// Rebuilds the sub-folder list with the sub-folders of `folder` (null: none),
// selecting the first equal to a preferred name, else the first.
void ListSubFolders(HWND dialog, const wchar_t* folder, const wchar_t* preferred1, const wchar_t* preferred2);
// Selects the listed sub-folder that a preferred name begins, if any.
void SelectPreferredSubFolder(HWND dialog, const wchar_t* preferred1, const wchar_t* preferred2);
// Asks, then starts the editor of plug-in folder `folder` (null: none, the
// .psd association's editor); tells the user when it cannot.
void RunLaunchCommand(HWND dialog, const wchar_t* folder);
