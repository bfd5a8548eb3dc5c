// Path and command rules of installation and Photoshop launch. Portable.
#pragma once
#include <cstddef>

constexpr size_t kAssociationSize = 308;
constexpr size_t kMessageSize = 512;

// A plug-in folder text of nothing but spaces names no folder: not the root
// of the current drive.
bool IsBlankFolderText(const wchar_t* folder);

// folder, subFolder and srcFile joined with one backslash at each joint: the
// backslashes that end a part (short of a root such as "\" or "C:\") or begin
// the next are not doubled. subFolder is left out when it holds nothing else.
// False for a blank folder, or when the path would not fit.
bool ComposeInstallDestination(const wchar_t* folder, const wchar_t* subFolder, const wchar_t* srcFile,
                               wchar_t* out, size_t size);

// A name beside `destination` to copy into before it takes the destination's
// place: "~cv" + four hex digits of `unique` + ".tmp", or, where that would
// not fit `size`, "~" and as many of those digits as fit. Either way it is
// no plug-in's name (an editor loads no such file), and it fits whenever the
// destination does, unless the file's name is a single character. False
// when it does not fit.
bool ComposeTemporaryPath(const wchar_t* destination, unsigned unique, wchar_t* out, size_t size);

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
