#pragma once
#include <cstddef>

// The running program's folder into `out` (260 characters). False when the
// module name cannot be had whole.
bool GetProgramDir(wchar_t* out);
// The running program's folder joined with `name` into `out` (260 characters).
// False when the module name cannot be had whole or the path would not fit.
bool GetProgramPath(const wchar_t* name, wchar_t* out);
