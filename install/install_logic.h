// Path rules of installation. Portable.
#pragma once
#include <cstddef>

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
