// The program's folder and files beside it. Portable.
#pragma once
#include <cstddef>

// The module file name cut at its last backslash. False when there is none.
bool ProgramDirFromModuleName(const wchar_t* moduleName, wchar_t* dir, size_t size);
// dir \ name. False when it would not fit.
bool JoinProgramPath(const wchar_t* dir, const wchar_t* name, wchar_t* out, size_t size);
// `\` or `/`: what the system takes between the parts of a path.
bool IsPathSeparator(wchar_t c);
// Whether a catalog's file name stays inside the program's folder: a plain
// name or a relative path below it, with `\` or `/` between the parts. Not an
// empty name; an absolute, root-relative, UNC or drive-relative path; a `:`
// (drive or alternate data stream); a part that is empty, `..`, or only dots
// and spaces (which the system trims) other than `.`; a last part `.`; a
// device name such as NUL or COM1; or a character that no file name may hold.
bool IsSafeRelativeFileName(const wchar_t* name);
// Whether a file's final path (links followed, as the system reports it for
// an open handle) lies below the folder's final path: the same characters,
// then a backslash and more. The folder itself is not inside it.
bool IsInsideFolder(const wchar_t* folderFinal, const wchar_t* fileFinal);
