#pragma once
#include <cstddef>

// The running program's folder into `out` (`size` characters). False when
// the module name cannot be had whole or the folder does not fit.
bool GetProgramDir(wchar_t* out, size_t size);
// The running program's folder joined with `name` into `out` (`size`
// characters). False when the module name cannot be had whole or the path
// would not fit.
bool GetProgramPath(const wchar_t* name, wchar_t* out, size_t size);
