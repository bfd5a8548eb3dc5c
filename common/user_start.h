#pragma once
#include <windows.h>

// Starts `file` (a program, or an address) through the desktop shell, so that
// it runs in the shell's process tree with the signed-in user's rights, not
// with this elevated program's; `directory` is the started program's current
// folder, or null. False when no shell takes it: then nothing is started,
// since anything this program started itself would have its rights.
bool StartThroughShell(const wchar_t* file, const wchar_t* directory);
