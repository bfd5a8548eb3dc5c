// The plug-in maker's checks of a folder: its catalog read exactly as the
// installer reads it, and every mistake that would show up on a customer's PC.
// Portable: the catalog reader and the folder are passed in.
#pragma once
#include <cstddef>

#include "catalog/catalog_logic.h"
#include "common/machine_names_logic.h"
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

// The catalog's bytes as the profile reader decodes them: UTF-16 by its
// byte-order mark (little-endian when unmarked bytes hold a zero), UTF-8 after
// its mark, anything else through `codePage` (the system's ANSI code page,
// which the reader takes for unmarked text). Writes at most `size`
// characters, unterminated, and returns how many; one per byte is room enough.
using CodePageDecoder = size_t (*)(void* context, const unsigned char* bytes, size_t size, wchar_t* out,
                                   size_t outSize);
size_t DecodeCatalogText(const unsigned char* bytes, size_t size, wchar_t* out, size_t outSize,
                         CodePageDecoder codePage, void* context);

// A section header or a key of the catalog text, pointing into that text.
struct CatalogLine {
    const wchar_t* name;
    size_t nameLength;
    const wchar_t* value;  // keys only
    size_t valueLength;
    long line;  // counted from 1
    bool section;
    bool checked;  // a section whose keys have been looked at
    size_t owner;  // a key's section header (a header: itself), as an index into the lines; or kNoOwner
};
constexpr size_t kNoOwner = static_cast<size_t>(-1);

// The catalog text's headers and keys in order, sorted by name for look-up
// (keys within their section). Only points at lines: the installer's own
// reading stays with the profile functions.
struct CatalogText {
    CatalogLine* lines;
    size_t count;
    size_t* sections;  // room for `count` indices into `lines`: the sections, then the keys
    size_t sectionCount;
    const size_t* keys;  // after the sections
    size_t keyCount;
};

// Fills at most `capacity` of `lines` with the section headers and keys of
// `text` (lines end at CR LF, LF or CR; blank lines and lines that start with
// ';' or '#' are left out) and returns how many the text holds.
size_t ScanCatalogText(const wchar_t* text, size_t length, CatalogLine* lines, size_t capacity);
// Fills `sections` (room for `count`) with the section headers of `lines`,
// then their keys, each sorted for look-up.
void IndexCatalogSections(CatalogText& text);
// The first section named `name`, ASCII letters folded, or null.
CatalogLine* FindCatalogSection(const CatalogText& text, const wchar_t* name);
// The first key `key` of `section`, ASCII letters folded, or null.
const CatalogLine* FindCatalogKey(const CatalogText& text, const CatalogLine* section, const wchar_t* key);

// A machine type by its name (x86, x64, ARM64), or its number in hex (0x01c4).
void MachineName(uint16_t machine, wchar_t* out, size_t size);
// Whether a 64-bit editor on x64 Windows loads a plug-in of this machine type.
bool ServesX64Editors(const PeImageInfo& info);

// What the installer meets when it opens a plug-in file by its SrcFile.
enum class PlugInFileState { Found, Missing, Outside, FolderOrDenied, PathTooLong, Unreadable };
enum class PlugInImage { NotChecked, NotImage, Image };

struct PlugInFile {
    PlugInFileState state;
    unsigned long code;  // the system's error code, when not Found
    PlugInImage image;   // Found only
    PeImageInfo info;    // Image only
};

struct CheckSource {
    CatalogSource catalog;  // the installer's reader; readString also serves the longer reads
    // Opens plug-in file `srcFile` (a name relative to the folder) as the
    // installer does and reads its headers through that handle.
    void (*openPlugIn)(void* context, const wchar_t* srcFile, PlugInFile* file);
    // The catalog's text, for line numbers and the keys the installer does
    // not know; null when it could not be read.
    CatalogText* text = nullptr;
};

constexpr size_t kFindingSize = 1024;

struct CheckReport {
    void* context;
    // One finding at `line` of the catalog (0: the file as a whole); `text`
    // is one line without its line end.
    void (*finding)(void* context, bool error, long line, const wchar_t* text);
    long entries;
    long errors;
    long warnings;
};

// Formats a finding from `pattern` and `args`, counts it and hands it on.
void ReportFinding(CheckReport& report, bool error, long line, const wchar_t* pattern, const TextArg* args,
                   size_t argCount);

// The catalog file's bytes (all of them, or its beginning): its encoding.
void CheckCatalogBytes(const unsigned char* bytes, size_t size, CheckReport& report);

// Reads the catalog as the installer does and checks every entry. `files`,
// when given, receives (with the report's context) each distinct SrcFile of
// an entry that has no error, with its machine type's name (empty when not
// checked): what a package must hold.
void CheckPlugInCatalog(const CheckSource& source, CheckReport& report,
                        void (*files)(void* context, const wchar_t* srcFile, const wchar_t* machine) = nullptr);

// "3 entries, 1 error, 2 warnings"
void FormatCheckSummary(const CheckReport& report, wchar_t* out, size_t size);
