// The plug-in maker's checks of a folder: its catalog read exactly as the
// installer reads it, and every mistake that would show up on a customer's PC.
// Portable: the catalog reader and the folder are passed in.
#pragma once
#include <cstddef>

#include "catalog/catalog_logic.h"
#include "common/wide_text.h"

// How the catalog file's bytes are encoded, judged from the bytes alone.
enum class CatalogEncoding { Ascii, Utf16LeBom, Utf16BeBom, Utf8Bom, Utf8, Utf16NoBom, CodePage };
CatalogEncoding SniffCatalogEncoding(const unsigned char* bytes, size_t size);

// Whether two SrcFile values name the same file: ASCII letters folded, as the
// file system matches them, and '/' taken as '\'.
bool SameSrcFile(const wchar_t* a, const wchar_t* b);

// Whether the installer cut a value: `raw` read with room to spare, `kept`
// what the installer's buffer holds.
bool ValueWasCut(const wchar_t* raw, const wchar_t* kept);

enum class FolderItem { Missing, File, Folder, PathTooLong };

struct CheckSource {
    CatalogSource catalog;  // the installer's reader; readString also serves the longer reads
    // What the folder holds under `srcFile`, a name relative to it.
    FolderItem (*folderItem)(void* context, const wchar_t* srcFile);
};

constexpr size_t kFindingSize = 512;

struct CheckReport {
    void* context;
    // One finding; `text` is one line without its line end.
    void (*finding)(void* context, bool error, const wchar_t* text);
    long entries;
    long errors;
    long warnings;
};

// Formats a finding from `pattern` and `args`, counts it and hands it on.
void ReportFinding(CheckReport& report, bool error, const wchar_t* pattern, const TextArg* args, size_t argCount);

// The catalog file's bytes (all of them, or its beginning): its encoding.
void CheckCatalogBytes(const unsigned char* bytes, size_t size, CheckReport& report);

// Reads the catalog as the installer does and checks every entry. `files`,
// when given, receives (with the report's context) each distinct SrcFile of
// an entry that has no error: what a package must hold.
void CheckPlugInCatalog(const CheckSource& source, CheckReport& report,
                        void (*files)(void* context, const wchar_t* srcFile) = nullptr);

// "3 entries, 1 error, 2 warnings"
void FormatCheckSummary(const CheckReport& report, wchar_t* out, size_t size);
