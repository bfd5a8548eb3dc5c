#pragma once
#include <windows.h>

// Writes to `output` what CorvaneSetup.exe /S with `switches` would do with
// the catalog and plug-in files in `folder` on this machine, one line per
// decision, then the exit code it would give. 0 when that is 0, 1 when not,
// 2 when /S could not use the switches.
int ShowUnattendedPlan(const wchar_t* folder, const wchar_t* switches, HANDLE output);
