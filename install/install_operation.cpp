#include "install/install_operation.h"

#include "common/checked_file.h"
#include "common/program_path.h"
#include "common/program_path_logic.h"
#include "common/wide_text.h"
#include "install/destination.h"
#include "install/install_logic.h"
#include "photoshop/editor.h"

namespace {

// The texts' own faults first, before anything is opened.
bool CheckDestinationText(const wchar_t* srcFile, const wchar_t* folder, const wchar_t* subFolder,
                          wchar_t* destination, size_t size, DWORD* code) {
    // Read beside the program and written below the chosen folder, elevated:
    // a name that leaves either folder is refused before anything is touched.
    *code = ERROR_INVALID_NAME;
    if (!IsSafeRelativeFileName(srcFile)) return false;
    *code = ERROR_PATH_NOT_FOUND;
    if (IsBlankFolderText(folder)) return false;
    *code = ERROR_FILENAME_EXCED_RANGE;
    return ComposeInstallDestination(folder, subFolder, srcFile, destination, size);
}

}  // namespace

void FormatSystemError(DWORD code, wchar_t* text, size_t size) {
    text[0] = 0;
    wchar_t* systemText = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  reinterpret_cast<wchar_t*>(&systemText), 0, nullptr);
    if (length && systemText) WideCopy(text, size, systemText);
    if (systemText) LocalFree(systemText);
}

bool ReadMachineOf(HANDLE file, ImageMachine* machine) {
    return file != INVALID_HANDLE_VALUE && GetFileType(file) == FILE_TYPE_DISK &&
           ReadImageMachine(FileImageReader(file), machine);
}

bool ReadEditorMachine(const wchar_t* folder, ImageMachine* machine) {
    wchar_t editor[kPathSize];
    if (!FindPhotoshopProgram(folder, editor, kPathSize)) return false;
    HANDLE file = CreateFileW(editor, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    const bool read = ReadMachineOf(file, machine);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return read;
}

bool OpenPlugInSource(const wchar_t* folder, const wchar_t* srcFile, HANDLE* file, DWORD* code) {
    wchar_t programDir[kPathSize], programFinal[kFinalPathSize];
    *file = INVALID_HANDLE_VALUE;
    *code = ERROR_INVALID_NAME;
    if (!IsSafeRelativeFileName(srcFile)) return false;
    // The folder's final path is had once, as its files are checked against
    // the one path (and it costs the mount manager's round trips under Wine).
    static wchar_t lastFolder[kPathSize] = L"", lastFinal[kFinalPathSize] = L"";
    if (folder ? !WideCopy(programDir, kPathSize, folder) : !GetProgramDir(programDir, kPathSize)) {
        *code = ERROR_FILENAME_EXCED_RANGE;
    } else if (lastFinal[0] && AsciiCaseCompare(lastFolder, programDir) == 0) {
        OpenFileInside(programDir, lastFinal, srcFile, nullptr, file, code);
    } else if (!GetFolderFinalPath(programDir, programFinal, kFinalPathSize)) {
        *code = GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
    } else {
        WideCopy(lastFolder, kPathSize, programDir);
        WideCopy(lastFinal, kFinalPathSize, programFinal);
        OpenFileInside(programDir, programFinal, srcFile, nullptr, file, code);
    }
    return *file != INVALID_HANDLE_VALUE;
}

bool SameFileBytes(HANDLE a, HANDLE b) {
    LARGE_INTEGER sizeA, sizeB;
    if (!GetFileSizeEx(a, &sizeA) || !GetFileSizeEx(b, &sizeB) || sizeA.QuadPart != sizeB.QuadPart) return false;
    const size_t chunk = 1 << 18;
    auto* buffer = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, 2 * chunk));
    if (!buffer) return false;
    bool same = true;
    for (uint64_t at = 0, total = static_cast<uint64_t>(sizeA.QuadPart); same && at < total; at += chunk) {
        const size_t part = static_cast<size_t>(total - at < chunk ? total - at : chunk);
        same = ReadFileAt(a, at, buffer, part) && ReadFileAt(b, at, buffer + chunk, part) &&
               RtlEqualMemory(buffer, buffer + chunk, part);
    }
    HeapFree(GetProcessHeap(), 0, buffer);
    return same;
}

InstallOutcome InstallPlugInInto(const wchar_t* srcFile, const wchar_t* newVersion, const wchar_t* folder,
                                 const wchar_t* subFolder, const InstallQuestions& questions,
                                 const InstallSetting& setting, wchar_t* destinationPath, size_t size, DWORD* code) {
    destinationPath[0] = 0;
    if (!CheckDestinationText(srcFile, folder, subFolder, destinationPath, size, code)) return InstallOutcome::Failed;
    // Opened once, here, and read only through this handle from now on.
    HANDLE source = setting.source;
    if (source == INVALID_HANDLE_VALUE && !OpenPlugInSource(setting.sourceFolder, srcFile, &source, code))
        return InstallOutcome::Failed;
    // Closed here only when opened here.
    auto release = [&] {
        if (source != setting.source) CloseHandle(source);
    };
    // Asked first: No writes nothing.
    ImageMachine plugInMachine, editorMachine;
    if (ReadMachineOf(source, &plugInMachine) && ReadEditorMachine(folder, &editorMachine) &&
        !PlugInFitsEditor(plugInMachine, editorMachine) &&
        !questions.installMisfit(questions.context, srcFile, plugInMachine, editorMachine)) {
        release();
        return InstallOutcome::DoesNotFit;
    }
    Destination destination;
    if (!OpenDestination(folder, subFolder, srcFile, &destination, code)) {
        release();
        return InstallOutcome::Failed;
    }
    WideCopy(destinationPath, size, destination.path);
    InstallOutcome outcome = InstallOutcome::Installed;
    HANDLE installed;
    if (OpenInstalledFile(destination, 0, &installed, code) ||
        (*code != ERROR_FILE_NOT_FOUND && *code != ERROR_PATH_NOT_FOUND)) {
        const OverwriteAnswer answer = questions.overwrite(questions.context, srcFile, newVersion, installed, source);
        if (installed != INVALID_HANDLE_VALUE) CloseHandle(installed);  // before the rename, which it would stop
        outcome = answer == OverwriteAnswer::UpToDate    ? InstallOutcome::UpToDate
                  : answer == OverwriteAnswer::NewerKept ? InstallOutcome::NewerKept
                  : answer == OverwriteAnswer::Decline   ? InstallOutcome::Declined
                                                         : InstallOutcome::Installed;
    }
    if (outcome == InstallOutcome::Installed && setting.write && !CopyIntoPlace(source, destination, code))
        outcome = InstallOutcome::Failed;
    if (outcome != InstallOutcome::Failed) *code = 0;
    release();
    CloseDestination(&destination);
    return outcome;
}

RemoveOutcome RemovePlugInFrom(const wchar_t* srcFile, const wchar_t* folder, const wchar_t* subFolder,
                               bool removeDiffering, const InstallSetting& setting, wchar_t* destinationPath,
                               size_t size, DWORD* code) {
    destinationPath[0] = 0;
    if (!CheckDestinationText(srcFile, folder, subFolder, destinationPath, size, code)) return RemoveOutcome::Failed;
    Destination destination;
    if (!OpenDestination(folder, subFolder, srcFile, &destination, code)) {
        const bool absent = *code == ERROR_PATH_NOT_FOUND || *code == ERROR_FILE_NOT_FOUND;
        if (absent) *code = 0;
        return absent ? RemoveOutcome::Absent : RemoveOutcome::Failed;
    }
    WideCopy(destinationPath, size, destination.path);
    RemoveOutcome outcome = RemoveOutcome::Failed;
    HANDLE installed, source = setting.source;
    if (!OpenInstalledFile(destination, setting.write ? DELETE : 0, &installed, code)) {
        if (*code == ERROR_FILE_NOT_FOUND || *code == ERROR_PATH_NOT_FOUND) outcome = RemoveOutcome::Absent;
    } else if (!removeDiffering &&
               ((source == INVALID_HANDLE_VALUE && !OpenPlugInSource(setting.sourceFolder, srcFile, &source, code)) ||
                !SameFileBytes(installed, source))) {
        // Another build, or one the user changed: not ours to delete.
        if (source != INVALID_HANDLE_VALUE) *code = 0;
        outcome = *code ? RemoveOutcome::Failed : RemoveOutcome::Kept;
    } else {
        FILE_DISPOSITION_INFO remove = {TRUE};
        outcome = !setting.write || SetFileInformationByHandle(installed, FileDispositionInfo, &remove, sizeof(remove))
                      ? RemoveOutcome::Removed
                      : RemoveOutcome::Failed;
        if (outcome == RemoveOutcome::Failed) *code = GetLastError();
    }
    if (outcome != RemoveOutcome::Failed) *code = 0;
    if (source != INVALID_HANDLE_VALUE && source != setting.source) CloseHandle(source);
    if (installed != INVALID_HANDLE_VALUE) CloseHandle(installed);
    CloseDestination(&destination);
    return outcome;
}
