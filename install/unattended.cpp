#include "install/unattended.h"

#include <windows.h>

#include <initializer_list>

#include "catalog/catalog_file.h"
#include "common/program_path_logic.h"
#include "common/wide_text.h"
#include "install/install_logic.h"
#include "install/install_operation.h"
#include "install/unattended_logic.h"
#include "photoshop/folders.h"
#include "version.h"

namespace {

// ---- the log -----------------------------------------------------------------

struct Log {
    HANDLE file = INVALID_HANDLE_VALUE;
    bool timed = true;  // a log's lines begin with the time; the checker's look ahead does without
};

// Appends one line as UTF-8 (to a console, as text): in a log with the time
// first and CR LF, for Notepad; to the checker's output as its own lines are.
void WriteLogLine(Log* log, const wchar_t* text) {
    if (log->file == INVALID_HANDLE_VALUE) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    // 2026-12-08 09:30:05, as log viewers sort it.
    wchar_t stamp[20] = L"0000-00-00 00:00:00";
    const WORD parts[] = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    for (size_t i = 0, end = 4; i < 6; end += 3, ++i)
        for (WORD value = parts[i], at = static_cast<WORD>(end); value && at--; value /= 10)
            stamp[at] = static_cast<wchar_t>(L'0' + value % 10);
    wchar_t line[2 * kMessageSize];
    const TextArg args[] = {stamp, text};
    FormatText(line, 2 * kMessageSize, log->timed ? L"%s\t%s\r\n" : L"%s\n", log->timed ? args : args + 1,
               log->timed ? 2 : 1);
    DWORD mode, written;
    if (GetConsoleMode(log->file, &mode)) {
        WriteConsoleW(log->file, line, static_cast<DWORD>(WideLength(line)), &written, nullptr);
        return;
    }
    char bytes[6 * kMessageSize];
    const int length = WideCharToMultiByte(CP_UTF8, 0, line, -1, bytes, sizeof(bytes), nullptr, nullptr);
    if (length > 1) WriteFile(log->file, bytes, static_cast<DWORD>(length - 1), &written, nullptr);
}

// Opened before anything is done: an administrator who asked for a log gets
// one, or nothing happens. A new log starts with the UTF-8 mark, which
// Notepad and log viewers take as the encoding.
bool OpenLog(const wchar_t* path, Log* log) {
    log->file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
    if (log->file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    DWORD written;
    if (GetFileType(log->file) != FILE_TYPE_DISK || !GetFileSizeEx(log->file, &size) ||
        (!size.QuadPart && !WriteFile(log->file, "\xEF\xBB\xBF", 3, &written, nullptr))) {
        CloseHandle(log->file);
        log->file = INVALID_HANDLE_VALUE;
        return false;
    }
    return true;
}

// One decision: the action, the entry, where, the code and the system's text.
void LogDecision(Log* log, Action action, const PlugInEntry* entry, const wchar_t* where, DWORD code,
                 const wchar_t* detail = L"") {
    wchar_t systemText[kMessageSize];
    FormatSystemError(code, systemText, kMessageSize);
    for (size_t n = WideLength(systemText); n && (systemText[n - 1] == L'\r' || systemText[n - 1] == L'\n');)
        systemText[--n] = 0;
    wchar_t text[kMessageSize];
    const TextArg args[] = {ActionText(action), entry ? entry->Name : L"-", entry ? entry->SrcFile : L"-",
                            where[0] ? where : L"-", static_cast<long>(code), systemText, detail};
    FormatText(text, kMessageSize, L"%s\t%s (%s)\t%s\t[ %ld ] %s%s", args);
    WriteLogLine(log, text);
}

// ---- the policy's answers ------------------------------------------------------

struct Policy {
    bool force;
};

// Not asked: a plug-in the editor cannot load does not go into its folder.
bool SkipMisfit(void*, const wchar_t*, const ImageMachine&, const ImageMachine&) { return false; }

OverwriteAnswer DecideOverwrite(void* context, const wchar_t*, const wchar_t*, HANDLE installed, HANDLE source) {
    const Policy* policy = static_cast<const Policy*>(context);
    // Unreadable: the copy says why (held by the editor: 32).
    if (installed == INVALID_HANDLE_VALUE) return OverwriteAnswer::Replace;
    if (SameFileBytes(installed, source)) return OverwriteAnswer::UpToDate;
    uint64_t installedVersion, shippedVersion;
    if (!policy->force && GetFileVersionNumber(installed, &installedVersion) &&
        GetFileVersionNumber(source, &shippedVersion) && IsNewerVersion(installedVersion, shippedVersion))
        return OverwriteAnswer::NewerKept;
    return OverwriteAnswer::Replace;
}

Action ActionOf(InstallOutcome outcome) {
    switch (outcome) {
    case InstallOutcome::Installed: return Action::Installed;
    case InstallOutcome::UpToDate: return Action::UpToDate;
    case InstallOutcome::NewerKept: return Action::NewerKept;
    case InstallOutcome::DoesNotFit: return Action::DoesNotFit;
    default: return Action::Failed;
    }
}

Action ActionOf(RemoveOutcome outcome) {
    switch (outcome) {
    case RemoveOutcome::Removed: return Action::Removed;
    case RemoveOutcome::Absent: return Action::Absent;
    case RemoveOutcome::Kept: return Action::Kept;
    default: return Action::Failed;
    }
}

bool IsFolder(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The entry's sub-folder in `folder`: the one the command line names, else
// SubDir1 or SubDir2 where it exists as a folder (a catalog's name that
// would leave the folder counts as none), else none.
const wchar_t* SubFolderFor(const UnattendedOptions& options, const PlugInEntry& entry, const wchar_t* folder) {
    if (options.subFolder[0]) return options.subFolder;
    for (const wchar_t* preferred : {entry.SubDir1, entry.SubDir2}) {
        wchar_t path[kPathSize];
        if (preferred[0] && IsSafeRelativeFileName(preferred) &&
            ComposeInstallDestination(folder, L"", preferred, path, kPathSize) && IsFolder(path))
            return preferred;
    }
    return L"";
}

struct Run {
    const UnattendedOptions& options;
    const InstallSetting& setting;
    Log* log;
    unsigned long exitCode = kExitSuccess;
    void Record(Action action, const PlugInEntry* entry, const wchar_t* where, DWORD code,
                const wchar_t* detail = L"") {
        LogDecision(log, action, entry, where, code, detail);
        exitCode = WorseExitCode(exitCode, ExitCodeOf(action, code));
    }
};

// Every chosen entry into (or out of) every folder, by the plan.
void CarryOut(Run* run, const PlugInCatalog& catalog, const long* chosen, size_t chosenCount,
              const PlugInFolderList& folders) {
    const size_t bytes = chosenCount * (sizeof(PlanCell) + sizeof(bool));
    auto* cells = static_cast<PlanCell*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
    if (!cells) {
        run->Record(Action::Failed, nullptr, L"", ERROR_NOT_ENOUGH_MEMORY);
        return;
    }
    bool* placed = reinterpret_cast<bool*>(cells + chosenCount);  // fits some folder
    // Each plug-in file is opened and checked once, and read through that handle in every folder.
    auto* sources = static_cast<HANDLE*>(HeapAlloc(GetProcessHeap(), 0, chosenCount * sizeof(HANDLE) + 1));
    if (!sources) {
        HeapFree(GetProcessHeap(), 0, cells);
        run->Record(Action::Failed, nullptr, L"", ERROR_NOT_ENOUGH_MEMORY);
        return;
    }
    for (size_t i = 0; i < chosenCount; ++i) sources[i] = INVALID_HANDLE_VALUE;
    Policy policy{run->options.force};
    const InstallQuestions questions{&policy, SkipMisfit, DecideOverwrite};
    for (size_t f = 0; f < folders.count; ++f) {
        const wchar_t* folder = folders.folders[f];
        ImageMachine editor;
        const bool editorKnown = ReadEditorMachine(folder, &editor);
        for (size_t i = 0; i < chosenCount; ++i) {
            const PlugInEntry& entry = catalog.Entries[chosen[i]];
            PlanCell& cell = cells[i];
            if (f == 0) {
                DWORD code;
                cell.plugInKnown = OpenPlugInSource(run->setting.sourceFolder, entry.SrcFile, &sources[i], &code) &&
                                   ReadMachineOf(sources[i], &cell.plugIn);
            }
            if (!IsSafeRelativeFileName(entry.SrcFile) ||
                !ComposeInstallDestination(folder, SubFolderFor(run->options, entry, folder), entry.SrcFile,
                                           cell.destination, kPathSize))
                cell.destination[0] = 0;
        }
        PlanFolder(editorKnown ? &editor : nullptr, cells, chosenCount);
        for (size_t i = 0; i < chosenCount; ++i) {
            const PlugInEntry& entry = catalog.Entries[chosen[i]];
            const PlanCell& cell = cells[i];
            const wchar_t* subFolder = SubFolderFor(run->options, entry, folder);
            if (cell.step == PlanStep::DoesNotFit) {
                run->Record(Action::DoesNotFit, &entry, cell.destination[0] ? cell.destination : folder, 0);
                continue;
            }
            placed[i] = true;
            if (cell.step == PlanStep::Conflict) {
                wchar_t detail[kPathSize];
                const TextArg args[] = {catalog.Entries[chosen[cell.other]].Name};
                FormatText(detail, kPathSize, L" (the same file as entry %s: nothing written here)", args);
                run->Record(Action::Failed, &entry, cell.destination, ERROR_FILE_EXISTS, detail);
                continue;
            }
            wchar_t destination[kPathSize];
            DWORD code;
            InstallSetting setting = run->setting;
            setting.source = sources[i];
            if (run->options.remove) {
                const RemoveOutcome outcome = RemovePlugInFrom(entry.SrcFile, folder, subFolder, run->options.force,
                                                               setting, destination, kPathSize, &code);
                run->Record(ActionOf(outcome), &entry, destination[0] ? destination : folder, code);
            } else {
                const InstallOutcome outcome = InstallPlugInInto(entry.SrcFile, entry.FileVersion, folder, subFolder,
                                                                 questions, setting, destination, kPathSize, &code);
                run->Record(ActionOf(outcome), &entry, destination[0] ? destination : folder, code);
            }
        }
    }
    // An entry no folder takes is an error, unless it is the build for
    // another machine of a plug-in that went in: a catalog may carry both.
    for (size_t i = 0; i < chosenCount; ++i) {
        bool otherBuildPlaced = false;
        for (size_t j = 0; j < chosenCount && !placed[i] && !otherBuildPlaced; ++j)
            otherBuildPlaced = placed[j] && AreBuildsOfOnePlugIn(catalog.Entries[chosen[i]].SrcFile,
                                                                  catalog.Entries[chosen[j]].SrcFile);
        if (!placed[i] && !otherBuildPlaced)
            run->Record(Action::Failed, &catalog.Entries[chosen[i]], L"", ERROR_EXE_MACHINE_TYPE_MISMATCH,
                        L" (fits none of the plug-in folders)");
    }
    for (size_t i = 0; i < chosenCount; ++i)
        if (sources[i] != INVALID_HANDLE_VALUE) CloseHandle(sources[i]);
    HeapFree(GetProcessHeap(), 0, sources);
    HeapFree(GetProcessHeap(), 0, cells);
}

// The run's exit code into `*exitCode`.
void RunUnattended(const UnattendedOptions& options, const InstallSetting& setting, Log* log,
                   unsigned long* exitCode) {
    Run run{options, setting, log};
    *exitCode = kExitBadCommand;
    if (options.folder[0] && !IsFolder(options.folder)) {
        LogDecision(log, Action::Failed, nullptr, options.folder, ERROR_PATH_NOT_FOUND, L" (/D names no folder)");
        return;
    }
    PlugInCatalog* catalog = nullptr;
    if (ReadCatalogIn(setting.sourceFolder, &catalog) != CatalogLoad::Loaded) {
        run.Record(Action::Failed, nullptr, L"", ERROR_FILE_NOT_FOUND, L" (no catalog, or no entries in it)");
        *exitCode = run.exitCode;
        return;
    }
    // Every name on the command line must name an entry: a typo must not
    // pass as "nothing to do".
    for (size_t n = 0; n < options.plugInCount; ++n) {
        UnattendedOptions one = options;
        WideCopy(one.plugIns[0], kPathSize, options.plugIns[n]);
        one.plugInCount = 1;
        bool found = false;
        for (long i = 0; i < catalog->Count && !found; ++i)
            found = IsChosenEntry(one, catalog->Entries[i].Name, catalog->Entries[i].SrcFile);
        if (!found) {
            wchar_t detail[kPathSize + 32];
            const TextArg args[] = {options.plugIns[n]};
            FormatText(detail, kPathSize + 32, L" (no entry is named %s)", args);
            LogDecision(log, Action::Failed, nullptr, L"", ERROR_INVALID_PARAMETER, detail);
            return;
        }
    }
    auto* chosen = static_cast<long*>(HeapAlloc(GetProcessHeap(), 0, sizeof(long) * catalog->Count));
    PlugInFolderList* folders = nullptr;
    if (options.folder[0]) {
        folders = static_cast<PlugInFolderList*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(PlugInFolderList)));
        if (folders) WideCopy(folders->folders[folders->count++], kPathSize, options.folder);
    } else if (!FindRegistryPlugInFolders(&folders)) {
        folders = nullptr;
    }
    if (!chosen || !folders) {
        run.Record(Action::Failed, nullptr, L"", ERROR_NOT_ENOUGH_MEMORY);
    } else if (!folders->count) {
        run.Record(Action::Failed, nullptr, L"", ERROR_PATH_NOT_FOUND, L" (no editor's plug-in folder found)");
    } else {
        size_t count = 0;
        for (long i = 0; i < catalog->Count; ++i)
            if (IsChosenEntry(options, catalog->Entries[i].Name, catalog->Entries[i].SrcFile)) chosen[count++] = i;
        CarryOut(&run, *catalog, chosen, count, *folders);
    }
    if (chosen) HeapFree(GetProcessHeap(), 0, chosen);
    if (folders) HeapFree(GetProcessHeap(), 0, folders);
    *exitCode = run.exitCode;
}

}  // namespace

void LookAheadUnattended(const UnattendedOptions& options, const wchar_t* folder, HANDLE output,
                         unsigned long* exitCode) {
    Log log{output, false};
    RunUnattended(options, InstallSetting{folder, false}, &log, exitCode);
}

CommandLineRun RunCommandLine(const wchar_t* commandLine, unsigned long* exitCode) {
    auto* options = static_cast<UnattendedOptions*>(HeapAlloc(GetProcessHeap(), 0, sizeof(UnattendedOptions)));
    if (!options) return CommandLineRun::Dialog;
    const CommandKind kind = ParseCommandLine(commandLine, options);
    if (kind == CommandKind::Help) {
        *exitCode = kExitSuccess;
    } else if (kind != CommandKind::Dialog) {
        // No box may wait for a person: not the system's either.
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
        Log log;
        if (options->log[0] && !OpenLog(options->log, &log)) {
            *exitCode = kExitBadCommand;
        } else {
            wchar_t header[kMessageSize];
            const TextArg args[] = {commandLine};
            FormatText(header, kMessageSize, L"CorvaneSetup " CORVANE_VERSION_TEXT L"\t%s", args);
            WriteLogLine(&log, header);
            if (kind == CommandKind::Unusable) {
                wchar_t detail[kPathSize + 32];
                const TextArg problem[] = {options->problem};
                FormatText(detail, kPathSize + 32, L" (cannot use %s)", problem);
                LogDecision(&log, Action::Failed, nullptr, L"", ERROR_INVALID_PARAMETER, detail);
                *exitCode = kExitBadCommand;
            } else {
                RunUnattended(*options, InstallSetting{}, &log, exitCode);
            }
            if (log.file != INVALID_HANDLE_VALUE) CloseHandle(log.file);
        }
    }
    HeapFree(GetProcessHeap(), 0, options);
    return kind == CommandKind::Help     ? CommandLineRun::Help
           : kind == CommandKind::Dialog ? CommandLineRun::Dialog
                                         : CommandLineRun::Done;
}
