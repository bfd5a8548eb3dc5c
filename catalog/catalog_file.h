// The catalog file and the plug-in files beside it, read through Win32: the
// callbacks that feed ReadPlugInCatalog, shared by the installer and the
// checker so that both read a catalog the same way.
#pragma once
#include <windows.h>

#include "catalog/catalog_logic.h"
#include "catalog/profile_image_logic.h"
#include "common/checked_file.h"
#include "common/wide_text.h"

struct KnownVersion;
// Folders of plug-in files kept to find a file read before by its folder;
// a file in any other is found by its volume.
constexpr DWORD kKnownFolders = 16;

struct CatalogFile {
    wchar_t folder[kPathSize];  // holds the catalog and the plug-in files
    wchar_t path[kPathSize];    // the catalog
    bool located;
    wchar_t* indexKeys;  // the index section's key names, once listed
    enum class FolderFinal { NotRead, Read, Unreadable } folderFinalRead;
    wchar_t folderFinal[kFinalPathSize];
    // The version read from each distinct plug-in file, found by the file's
    // identity: however many entries name a file, however spelt, it is read once.
    KnownVersion* versions;
    size_t versionCount, versionCapacity;
    wchar_t (*parents)[kFinalPathSize];  // the folders that hold the files read
    DWORD parentCount;
    // The catalog's text, read once through one handle, answering the key
    // reads it claims, or left to the profile functions.
    enum class ImageRead { NotRead, Read, LeftToProfile } imageRead;
    ProfileImage image;
    void* imageBlock;
};

// The catalog in `folder`. A folder that is null, or too long for the
// catalog's path, leaves it unlocated: it then reads as an empty catalog.
void LocateCatalogFile(const wchar_t* folder, CatalogFile* file);
// The installer's reader over `file`: profile reads, version texts of the
// files beside it, and the process heap.
CatalogSource CatalogFileSource(CatalogFile* file);
// Reads the catalog in `folder` (null: beside the program); `*catalog` is
// set only when Loaded.
CatalogLoad ReadCatalogIn(const wchar_t* folder, PlugInCatalog** catalog);
// Frees what reading the catalog kept.
void ReleaseCatalogFile(CatalogFile* file);
// Whether `text` (`size` characters) now holds the "FileVersion" string of
// the image open as `file`, read through that handle only, as the system's
// version functions read it for this user.
bool GetFileVersionText(HANDLE file, wchar_t* text, size_t size);
// The numeric file version (the fixed part) of the same resource, most
// significant word first.
bool GetFileVersionNumber(HANDLE file, uint64_t* version);
// A path would convert to HANDLE silently: a file is read only through the
// handle that was checked.
bool GetFileVersionText(const wchar_t* path, wchar_t* text, size_t size) = delete;
