// CorvaneCheck: checks a plug-in folder before it ships, reading its catalog
// exactly as the installer does.
//   CorvaneCheck [--strict] [--files] [--plan[=SWITCHES]] [FOLDER]  |  --help  |  --version
// FOLDER defaults to the checker's own folder. One line per finding, as a
// compiler gives them (PATH:LINE: error: TEXT), then a summary; UTF-8 when
// redirected. Exit code 0 clean or warnings only, 1 errors (or warnings with
// --strict), 2 a mistake in the command itself. --files adds a line
// "file: NAME (MACHINE)" for each plug-in file a package must hold, named as
// it lies on disk, with '/' between folders, and its machine type.
#include <windows.h>

#include "catalog/catalog_file.h"
#include "catalog/catalog_keys.h"
#include "check/check_logic.h"
#include "check/plan.h"
#include "common/program_path.h"
#include "common/program_path_logic.h"
#include "common/system_libraries.h"
#include "common/wide_text.h"

namespace {

const wchar_t kUsage[] = L"usage: CorvaneCheck [--strict] [--files] [--plan[=SWITCHES]] [FOLDER]";
const wchar_t* const kHelp[] = {
    kUsage,
    L"       CorvaneCheck --help | --version",
    L"",
    L"Checks a plug-in folder before it ships: its catalog, Corvane.ini, read exactly as the",
    L"installer reads it, and the plug-in files the catalog names. FOLDER defaults to the",
    L"checker's own folder.",
    L"",
    L"Each finding is one line, PATH:LINE: error: TEXT or PATH:LINE: warning: TEXT (PATH alone",
    L"for a finding about the whole file), then a summary: 2 entries, 0 errors, 1 warning.",
    L"Errors: no catalog, or one that cannot be read; no entries (Count missing, not a number,",
    L"not above 0, above 100000, or no PlugInN key naming a section); a PlugInN key missing or",
    L"empty before the last one; a section missing or holding none of the entry keys; no",
    L"SrcFile, an empty one, one that leaves the folder, is missing, is a folder, is not a",
    L"Windows DLL, or makes a path longer than 259 characters.",
    L"Warnings: non-ASCII text in a catalog not stored as UTF-16LE with a byte-order mark; a",
    L"value longer than the installer keeps; a section name over 127 characters; Count above",
    L"the last PlugInN key; a key the installer does not know (and the nearest known one); a",
    L"value with ; or # after a space (no comment: the dialog shows it); no Name; a plug-in",
    L"file without version text; a SrcFile in a sub-folder; neither SubDir1 nor SubDir2; two",
    L"entries with the same SrcFile; no plug-in file built for x64 (what 64-bit editors on",
    L"x64 Windows load).",
    L"",
    L"Options:",
    L"  --strict   warnings count as errors in the exit code",
    L"  --files    also print file: NAME (MACHINE) for each plug-in file a package must hold,",
    L"             with its machine type: x86, x64, ARM64, or the number (0x01c4)",
    L"  --plan[=SWITCHES]",
    L"             print what CorvaneSetup /S SWITCHES would do on this machine, writing",
    L"             nothing, and exit with the code /S would give",
    L"  --help     this text",
    L"  --version  the checker's version",
    L"",
    L"Exit code: 0 without errors, 1 with errors (or warnings, with --strict), 2 a mistake in",
    L"the command.",
};
// The encoding check reads this much of a catalog too large to scan.
constexpr DWORD kSniffBytes = 1 << 20;
// A catalog up to this size is scanned for line numbers.
constexpr LONGLONG kScanBytes = 64ll << 20;

struct Output {
    HANDLE handle;
    bool console;
};

constexpr size_t kLineSize = kFindingSize + kPathSize + 48;

void WriteLine(Output& out, const wchar_t* prefix, const wchar_t* text) {
    wchar_t line[kLineSize];
    const TextArg args[] = {prefix, text};
    FormatText(line, kLineSize, L"%s%s", args);
    DWORD done = 0;
    if (out.console) {
        WriteConsoleW(out.handle, line, static_cast<DWORD>(WideLength(line)), &done, nullptr);
        WriteConsoleW(out.handle, L"\r\n", 2, &done, nullptr);
        return;
    }
    // Redirected: UTF-8 with '\n' line ends, for scripts and files.
    char bytes[kLineSize * 3 + 1];
    int length = WideCharToMultiByte(CP_UTF8, 0, line, -1, bytes, sizeof(bytes) - 1, nullptr, nullptr);
    if (length <= 0) return;
    bytes[length - 1] = '\n';
    WriteFile(out.handle, bytes, static_cast<DWORD>(length), &done, nullptr);
}

// The catalog as the maker named it: the folder as given, and the file's name.
wchar_t g_shownPath[kPathSize + 16];

void PrintFinding(void* context, bool error, long line, const wchar_t* text) {
    wchar_t prefix[kPathSize + 48];
    const wchar_t* kind = error ? L"error" : L"warning";
    if (line) {
        const TextArg args[] = {g_shownPath, line, kind};
        FormatText(prefix, kPathSize + 48, L"%s:%ld: %s: ", args);
    } else {
        const TextArg args[] = {g_shownPath, kind};
        FormatText(prefix, kPathSize + 48, L"%s: %s: ", args);
    }
    WriteLine(*static_cast<Output*>(context), prefix, text);
}

CatalogFile g_file;
// The folder's final path, links resolved, read once: what a plug-in file
// must lie inside; otherwise the reason it could not be had.
wchar_t g_folderFinal[kFinalPathSize];
DWORD g_folderFinalCode;

PlugInFileState StateOf(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return PlugInFileState::Missing;
    case ERROR_INVALID_NAME: return PlugInFileState::Outside;
    case ERROR_ACCESS_DENIED: return PlugInFileState::FolderOrDenied;
    case ERROR_FILENAME_EXCED_RANGE: return PlugInFileState::PathTooLong;
    default: return PlugInFileState::Unreadable;
    }
}

// A plug-in file opened as the installer opens it, its headers read through
// that one handle.
void OpenPlugIn(void* context, const wchar_t* srcFile, PlugInFile* out) {
    auto* file = static_cast<CatalogFile*>(context);
    DWORD code = g_folderFinalCode;
    HANDLE handle;
    if (code || !OpenFileInside(file->folder, g_folderFinal, srcFile, nullptr, &handle, &code)) {
        out->state = StateOf(code);
        out->code = code;
        return;
    }
    out->state = PlugInFileState::Found;
    const ImageReader reader = FileImageReader(handle);
    ImageMachine machine;
    const bool image = ReadPeImageInfo(reader, &out->info) && ReadImageMachine(reader, &machine);
    out->image = image ? PlugInImage::Image : PlugInImage::NotImage;
    if (image) out->info.arm64x = machine.arm64x;
    CloseHandle(handle);
}

// A file for the package, named as on disk, since the catalog may name it in
// another case: each component as the folder listing has it; then its
// machine type.
void PrintFile(void* context, const wchar_t* srcFile, const wchar_t* machine) {
    wchar_t path[kPathSize], name[kPathSize] = L"";
    WideCopy(path, kPathSize, g_file.folder);
    for (const wchar_t* start = srcFile; *start;) {
        const wchar_t* end = start;
        while (*end && !IsPathSeparator(*end)) ++end;
        wchar_t component[kPathSize];
        WideCopyCount(component, kPathSize, start, static_cast<size_t>(end - start));
        WIN32_FIND_DATAW found;
        HANDLE find = INVALID_HANDLE_VALUE;
        // A wildcard would find another file.
        bool wildcard = false;
        for (const wchar_t* p = component; *p; ++p) wildcard = wildcard || *p == L'*' || *p == L'?';
        if (WideAppend(path, kPathSize, L"\\") && WideAppend(path, kPathSize, component) && !wildcard)
            find = FindFirstFileW(path, &found);
        if (find != INVALID_HANDLE_VALUE) {
            FindClose(find);
            WideCopy(component, kPathSize, found.cFileName);
        }
        if (name[0]) WideAppend(name, kPathSize, L"/");
        WideAppend(name, kPathSize, component);
        start = *end ? end + 1 : end;
    }
    const TextArg args[] = {name, machine};
    wchar_t line[kPathSize + 32];
    FormatText(line, kPathSize + 32, L"%s (%s)", args);
    WriteLine(*static_cast<Output*>(context), L"file: ", line);
}

// The reader's own decoding of text without a byte-order mark.
size_t DecodeAnsi(void*, const unsigned char* bytes, size_t size, wchar_t* out, size_t outSize) {
    int length = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes), static_cast<int>(size), out,
                                     static_cast<int>(outSize));
    return length > 0 ? static_cast<size_t>(length) : 0;
}

void* Take(size_t bytes) { return HeapAlloc(GetProcessHeap(), 0, bytes ? bytes : 1); }

// Lines of the catalog's text, for the findings; left unscanned when the
// catalog is too large or memory runs short: the findings then name the file.
bool ScanCatalog(const unsigned char* bytes, size_t size, CatalogText* text) {
    auto* decoded = static_cast<wchar_t*>(Take(size * sizeof(wchar_t)));
    if (!decoded) return false;
    const size_t length = DecodeCatalogText(bytes, size, decoded, size, DecodeAnsi, nullptr);
    const size_t count = ScanCatalogText(decoded, length, nullptr, 0);
    text->lines = static_cast<CatalogLine*>(Take(count * sizeof(CatalogLine)));
    text->sections = static_cast<size_t*>(Take(count * sizeof(size_t)));
    if (!text->lines || !text->sections) return false;
    text->count = ScanCatalogText(decoded, length, text->lines, count);
    IndexCatalogSections(*text);
    return true;  // the lines point into `decoded`, kept to the end
}

// Checks the catalog file itself; false when it cannot be read at all.
bool CheckCatalogFile(CheckReport& report, CatalogText* text, bool* scanned) {
    if (!g_file.located) {
        ReportFinding(report, true, 0, L"no catalog: the folder's path is too long for the installer", nullptr, 0);
        return false;
    }
    DWORD attributes = GetFileAttributesW(g_file.path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        ReportFinding(report, true, 0, L"no catalog: the file does not exist", nullptr, 0);
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        ReportFinding(report, true, 0, L"no catalog: this is a folder, not a file", nullptr, 0);
        return false;
    }
    HANDLE handle = CreateFileW(g_file.path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER fileSize{};
    const bool whole = handle != INVALID_HANDLE_VALUE && GetFileSizeEx(handle, &fileSize) &&
                       fileSize.QuadPart <= kScanBytes;
    const DWORD want = whole ? static_cast<DWORD>(fileSize.QuadPart) : kSniffBytes;
    void* bytes = handle == INVALID_HANDLE_VALUE ? nullptr : Take(want);
    DWORD size = 0;
    bool read = bytes && ReadFile(handle, bytes, want, &size, nullptr);
    const long code = static_cast<long>(GetLastError());
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    if (read) {
        CheckCatalogBytes(static_cast<const unsigned char*>(bytes), size, report);
        *scanned = whole && ScanCatalog(static_cast<const unsigned char*>(bytes), size, text);
    }
    if (bytes) HeapFree(GetProcessHeap(), 0, bytes);
    if (!read) {
        const TextArg args[] = {code};
        ReportFinding(report, true, 0, L"cannot read the catalog (system error %ld)", args, 1);
    }
    return read;
}

// The checker's version, from its version resource.
int PrintVersion(Output& out) {
    wchar_t path[kPathSize], version[kVersionTextSize];
    DWORD length = GetModuleFileNameW(nullptr, path, kPathSize);
    HANDLE self = length == 0 || length >= kPathSize
                      ? INVALID_HANDLE_VALUE
                      : CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const bool read = self != INVALID_HANDLE_VALUE && GetFileVersionText(self, version, kVersionTextSize);
    if (self != INVALID_HANDLE_VALUE) CloseHandle(self);
    if (!read) {
        WriteLine(out, L"CorvaneCheck: ", L"no version resource");
        return 1;
    }
    WriteLine(out, L"CorvaneCheck ", version);
    return 0;
}

// The catalog's path as the maker gave the folder, with the name it has on disk.
void ShowPathAs(const wchar_t* given) {
    WideCopy(g_shownPath, kPathSize + 16, given);
    const size_t length = WideLength(g_shownPath);
    bool slash = false, backslash = false;
    for (const wchar_t* p = g_shownPath; *p; ++p) slash = slash || *p == L'/', backslash = backslash || *p == L'\\';
    const wchar_t last = length ? g_shownPath[length - 1] : L'\\';
    if (!IsPathSeparator(last) && last != L':')
        WideAppend(g_shownPath, kPathSize + 16, slash && !backslash ? L"/" : L"\\");
    WIN32_FIND_DATAW found;
    HANDLE find = g_file.located ? FindFirstFileW(g_file.path, &found) : INVALID_HANDLE_VALUE;
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    WideAppend(g_shownPath, kPathSize + 16, find != INVALID_HANDLE_VALUE ? found.cFileName : kCatalogFileName);
}

int Usage(Output& out, const wchar_t* problem, const wchar_t* value) {
    wchar_t text[kFindingSize];
    const TextArg args[] = {problem, value, kUsage};
    FormatText(text, kFindingSize, L"%s%s (%s)", args);
    WriteLine(out, L"CorvaneCheck: ", text);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Any DLL loaded for it comes from the system folder, as in the installer.
    RestrictLibrarySearch();
    Output out;
    out.handle = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    out.console = GetConsoleMode(out.handle, &mode) != 0;

    bool strict = false, files = false;
    const wchar_t* folderArg = nullptr;
    const wchar_t* planSwitches = nullptr;  // --plan[=SWITCHES]: what /S would do here
    for (int i = 1; i < argc; ++i) {
        const wchar_t* arg = argv[i];
        if (!AsciiCaseCompare(arg, L"--strict")) {
            strict = true;
        } else if (!AsciiCaseCompare(arg, L"--files")) {
            files = true;
        } else if (!AsciiCaseCompare(arg, L"--help") || !AsciiCaseCompare(arg, L"-h") ||
                   !AsciiCaseCompare(arg, L"/?")) {
            for (const wchar_t* line : kHelp) WriteLine(out, L"", line);
            return 0;
        } else if (!AsciiCaseCompare(arg, L"--plan") || !wcsncmp(arg, L"--plan=", 7)) {
            planSwitches = arg[6] ? arg + 7 : L"";
        } else if (!AsciiCaseCompare(arg, L"--version")) {
            return PrintVersion(out);
        } else if (arg[0] == L'-') {
            return Usage(out, L"unknown option ", arg);
        } else if (folderArg) {
            return Usage(out, L"too many arguments: ", arg);
        } else {
            folderArg = arg;
        }
    }

    wchar_t folder[kPathSize];
    if (folderArg) {
        DWORD length = GetFullPathNameW(folderArg, kPathSize, folder, nullptr);
        if (length == 0 || length >= kPathSize) return Usage(out, L"not a folder: ", folderArg);
        DWORD attributes = GetFileAttributesW(folder);
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return Usage(out, L"not a folder: ", folderArg);
        RemoveTrailingBackslash(folder);
    } else if (!GetProgramDir(folder, kPathSize)) {
        return Usage(out, L"cannot tell the checker's own folder", L"");
    }

    if (planSwitches) return ShowUnattendedPlan(folder, planSwitches, out.handle);
    LocateCatalogFile(folder, &g_file);
    if (!g_file.located) WideCopy(g_file.folder, kPathSize, folder);
    ShowPathAs(folderArg ? folderArg : folder);
    if (!g_file.located || !GetFolderFinalPath(g_file.folder, g_folderFinal, kFinalPathSize)) {
        g_folderFinalCode = GetLastError();
        if (!g_folderFinalCode) g_folderFinalCode = ERROR_INVALID_NAME;
    }
    CheckReport report{&out, PrintFinding, 0, 0, 0};
    CatalogText text{};
    bool scanned = false;
    if (CheckCatalogFile(report, &text, &scanned)) {
        const CheckSource source{CatalogFileSource(&g_file), OpenPlugIn, scanned ? &text : nullptr};
        CheckPlugInCatalog(source, report, files ? PrintFile : nullptr);
    }
    wchar_t summary[128];
    FormatCheckSummary(report, summary, 128);
    WriteLine(out, L"", summary);
    return report.errors || (strict && report.warnings) ? 1 : 0;
}
