// Where the editor's program is, and how it is started. Portable.
#pragma once
#include <cstddef>

constexpr size_t kAssociationSize = 308;

// Photoshop.exe in the folder that holds the plug-in folder text. False when
// the path would not fit.
bool DerivePhotoshopPath(const wchar_t* folderText, wchar_t* out, size_t size);

// Whether `path` is absolute: a drive letter, ':' and a separator, or
// "\\server\share\" and more (either separator). Anything else depends on
// the current drive or folder, which an elevated program must not let choose
// what it starts.
bool IsAbsolutePath(const wchar_t* path);

// The folder that holds the file `path` names (a root keeps its backslash).
// False when it has none or it would not fit.
bool FolderOfPath(const wchar_t* path, wchar_t* out, size_t size);

// The class's open-command key name. False when it would not fit.
bool ComposeOpenCommandKey(const wchar_t* className, wchar_t* out, size_t size);

// The program of an open command ending in the quoted document placeholder.
// False for any other command, or when the program would not fit `size`.
bool ParseOpenCommand(const wchar_t* command, wchar_t* out, size_t size);
