// Files beside the program, opened once and checked through the handle: the
// program runs elevated from folders that others can write, so a name is
// only a way to a handle, and what the handle reaches is what counts.
#pragma once
#include <windows.h>

#include <cstdint>

#include "common/pe_image_logic.h"

// The longest final path taken whole (links can make it longer than the
// name that was opened).
constexpr size_t kFinalPathSize = 1024;

// The final path of an open file or folder, links resolved, into `out`
// (`size` characters). False when it cannot be had whole.
bool GetHandleFinalPath(HANDLE handle, wchar_t* out, size_t size);
// The same for a folder named by path.
bool GetFolderFinalPath(const wchar_t* folder, wchar_t* out, size_t size);

// Opens `name` below `folder`, whose final path is `folderFinal`, for
// reading, into `*file`: only a file whose final path lies inside the folder.
// Else `*file` is INVALID_HANDLE_VALUE and `*code` ERROR_INVALID_NAME when it
// lies outside (through a link), else the code of the open. `final`, when not
// null, receives the file's final path (kFinalPathSize characters).
bool OpenFileInside(const wchar_t* folder, const wchar_t* folderFinal, const wchar_t* name, wchar_t* final,
                    HANDLE* file, DWORD* code);
// The file's index on its volume (unique there while the file exists).
bool GetFileIndex(HANDLE file, uint64_t* index);

// Reads exactly `size` bytes at `offset` of the file open as `file`.
bool ReadFileAt(HANDLE file, uint64_t offset, void* out, size_t size);
// A reader of the image open as `file`, through that handle only.
ImageReader FileImageReader(HANDLE file);
