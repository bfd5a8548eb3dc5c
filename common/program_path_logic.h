// The program's folder and files beside it. Portable.
#pragma once
#include <cstddef>

// The module file name cut at its last backslash. False when there is none.
bool ProgramDirFromModuleName(const wchar_t* moduleName, wchar_t* dir, size_t size);
// dir \ name. False when it would not fit.
bool JoinProgramPath(const wchar_t* dir, const wchar_t* name, wchar_t* out, size_t size);
