// Where a plug-in goes: the folder it goes into, opened once, and the file
// of its name in that folder. The installed file, the temporary copy and the
// rename are reached through this, never by composing the path again.
#pragma once
#include <windows.h>

#include "common/checked_file.h"
#include "common/wide_text.h"

struct Destination {
    HANDLE folder = INVALID_HANDLE_VALUE;  // the folder the file goes into
    wchar_t path[kPathSize] = L"";         // the whole destination, as the user reads it
    const wchar_t* name = nullptr;         // its last part, inside `path`
    wchar_t folderFinal[kFinalPathSize] = L"";  // the folder's final path, as its handle reports it
};

// Opens the folder that `srcFile` goes into below `folder` and `subFolder`
// (the sub-folder left out when blank), each folder below `folder` through
// the one above it. Else `*code`: ERROR_PATH_NOT_FOUND for a blank or missing
// folder, ERROR_FILENAME_EXCED_RANGE for a path that does not fit,
// ERROR_INVALID_NAME when `folder` itself or a folder below it is a link (a
// reparse point) or a part is ".." or holds ':', else the code of the open.
bool OpenDestination(const wchar_t* folder, const wchar_t* subFolder, const wchar_t* srcFile, Destination* out,
                     DWORD* code);
void CloseDestination(Destination* destination);

// The file already at the destination, opened for reading plus `access`
// (DELETE, say), sharing all, into `*file`. Else `*code`: ERROR_FILE_NOT_FOUND
// when there is none, ERROR_INVALID_NAME when the name is a link.
bool OpenInstalledFile(const Destination& destination, DWORD access, HANDLE* file, DWORD* code);

// Copies from `source` (read from its start) into a new file in the folder,
// flushed, and renames it over the destination. Else `*code`, the code of the
// step that failed; the file that was there before stays as it was, and
// ERROR_FILE_INVALID when a name was found swapped (left alone).
bool CopyIntoPlace(HANDLE source, const Destination& destination, DWORD* code);
