// CorvaneCheck: checks a plug-in folder before it ships, reading its catalog
// exactly as the installer does.
//   CorvaneCheck [--strict] [--files] [FOLDER]
// FOLDER defaults to the checker's own folder. One line per finding, then a
// summary; UTF-8 when redirected. Exit code 0 clean or warnings only, 1 errors
// (or warnings with --strict), 2 a mistake in the command itself. --files adds
// a "file: NAME" line for each plug-in file a package must hold, named as it
// lies on disk, with '/' between folders.
#include <windows.h>

#include "catalog/catalog_file.h"
#include "catalog/check_logic.h"
#include "common/program_path.h"
#include "common/program_path_logic.h"
#include "common/system_libraries.h"
#include "common/texts.h"
#include "common/wide_text.h"

namespace {

const wchar_t kUsage[] = L"usage: CorvaneCheck [--strict] [--files] [FOLDER]";
// The encoding check reads this much of the catalog at most.
constexpr DWORD kSniffBytes = 1 << 20;

struct Output {
    HANDLE handle;
    bool console;
};

void WriteLine(Output& out, const wchar_t* prefix, const wchar_t* text) {
    wchar_t line[kFindingSize + kPathSize + 16];
    const TextArg args[] = {prefix, text};
    FormatText(line, kFindingSize + kPathSize + 16, L"%s%s", args);
    DWORD done = 0;
    if (out.console) {
        WriteConsoleW(out.handle, line, static_cast<DWORD>(WideLength(line)), &done, nullptr);
        WriteConsoleW(out.handle, L"\r\n", 2, &done, nullptr);
        return;
    }
    // Redirected: UTF-8 with '\n' line ends, for scripts and files.
    char bytes[(kFindingSize + kPathSize + 16) * 3 + 1];
    int length = WideCharToMultiByte(CP_UTF8, 0, line, -1, bytes, sizeof(bytes) - 1, nullptr, nullptr);
    if (length <= 0) return;
    bytes[length - 1] = '\n';
    WriteFile(out.handle, bytes, static_cast<DWORD>(length), &done, nullptr);
}

void PrintFinding(void* context, bool error, const wchar_t* text) {
    WriteLine(*static_cast<Output*>(context), error ? L"error: " : L"warning: ", text);
}

FolderItem ItemInFolder(void* context, const wchar_t* srcFile) {
    auto* file = static_cast<CatalogFile*>(context);
    wchar_t path[kPathSize];
    if (!JoinProgramPath(file->folder, srcFile, path, kPathSize)) return FolderItem::PathTooLong;
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return FolderItem::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FolderItem::Folder : FolderItem::File;
}

CatalogFile g_file;

// A file for the package, named as on disk, since the catalog may name it in
// another case: each component as the folder listing has it.
void PrintFile(void* context, const wchar_t* srcFile) {
    wchar_t path[kPathSize], name[kPathSize] = L"";
    WideCopy(path, kPathSize, g_file.folder);
    for (const wchar_t* start = srcFile; *start;) {
        const wchar_t* end = start;
        while (*end && *end != L'\\' && *end != L'/') ++end;
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
    WriteLine(*static_cast<Output*>(context), L"file: ", name);
}

// Checks the catalog file itself; false when it cannot be read at all.
bool CheckCatalogFile(CheckReport& report) {
    if (!g_file.located) {
        const TextArg args[] = {g_file.folder};
        ReportFinding(report, true, L"no catalog: the folder's path is too long for the installer: %s", args, 1);
        return false;
    }
    const TextArg pathArgs[] = {g_file.path};
    DWORD attributes = GetFileAttributesW(g_file.path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        ReportFinding(report, true, L"no catalog: %s does not exist", pathArgs, 1);
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        ReportFinding(report, true, L"no catalog: %s is a folder, not a file", pathArgs, 1);
        return false;
    }
    HANDLE handle = CreateFileW(g_file.path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    void* bytes = handle == INVALID_HANDLE_VALUE ? nullptr : HeapAlloc(GetProcessHeap(), 0, kSniffBytes);
    DWORD size = 0;
    bool read = bytes && ReadFile(handle, bytes, kSniffBytes, &size, nullptr);
    const long code = static_cast<long>(GetLastError());
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    if (read) CheckCatalogBytes(static_cast<const unsigned char*>(bytes), size, report);
    if (bytes) HeapFree(GetProcessHeap(), 0, bytes);
    if (!read) {
        const TextArg args[] = {g_file.path, code};
        ReportFinding(report, true, L"cannot read %s (system error %ld)", args, 2);
    }
    return read;
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
    // The version reader is loaded from the system folder, as in the installer.
    LoadSystemLibraries();
    Output out;
    out.handle = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    out.console = GetConsoleMode(out.handle, &mode) != 0;

    bool strict = false, files = false;
    const wchar_t* folderArg = nullptr;
    for (int i = 1; i < argc; ++i) {
        const wchar_t* arg = argv[i];
        if (!AsciiCaseCompare(arg, L"--strict")) {
            strict = true;
        } else if (!AsciiCaseCompare(arg, L"--files")) {
            files = true;
        } else if (!AsciiCaseCompare(arg, L"--help") || !AsciiCaseCompare(arg, L"-h") ||
                   !AsciiCaseCompare(arg, L"/?")) {
            WriteLine(out, L"", kUsage);
            return 0;
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
    } else if (!GetProgramDir(folder)) {
        return Usage(out, L"cannot tell the checker's own folder", L"");
    }

    LocateCatalogFile(folder, &g_file);
    if (!g_file.located) WideCopy(g_file.folder, kPathSize, folder);
    CheckReport report{&out, PrintFinding, 0, 0, 0};
    if (CheckCatalogFile(report)) {
        const CheckSource source{CatalogFileSource(&g_file), ItemInFolder};
        CheckPlugInCatalog(source, report, files ? PrintFile : nullptr);
    }
    wchar_t summary[128];
    FormatCheckSummary(report, summary, 128);
    WriteLine(out, L"", summary);
    return report.errors || (strict && report.warnings) ? 1 : 0;
}
