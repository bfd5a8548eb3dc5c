#include "install/install.h"

#include "catalog/catalog_file.h"
#include "catalog/catalog_keys.h"
#include "common/checked_file.h"
#include "common/machine_names_logic.h"
#include "common/pe_image_logic.h"
#include "common/program_path.h"
#include "common/program_path_logic.h"
#include "common/user_texts.h"
#include "common/wide_text.h"
#include "install/destination.h"
#include "install/install_logic.h"
#include "photoshop/editor.h"

namespace {

void FormatFailure(wchar_t* resultText, size_t size, DWORD code) {
    wchar_t systemText[kMessageSize];
    FormatSystemError(code, systemText, kMessageSize);
    const TextArg args[] = {static_cast<long>(code), systemText};
    FormatText(resultText, size, kInstallFailurePattern, args);
}

// The machine of the image open as `file`, read through that handle only.
bool ReadMachineOf(HANDLE file, ImageMachine* machine) {
    return file != INVALID_HANDLE_VALUE && GetFileType(file) == FILE_TYPE_DISK &&
           ReadImageMachine(FileImageReader(file), machine);
}

// Whether to go on with a plug-in that the editor owning `folder` (found as
// Start Photoshop finds it) may not load: yes when both are images that fit,
// when either cannot be read, and when the user says so. The editor loads
// only plug-ins built for its own machine, and a plug-in that "does not
// appear" is otherwise a puzzle after the copy.
bool ConfirmMachineFit(HWND dialog, HANDLE plugIn, const wchar_t* folder, const wchar_t* srcFile) {
    ImageMachine plugInMachine, editorMachine;
    wchar_t editor[kPathSize];
    if (!ReadMachineOf(plugIn, &plugInMachine) || !FindPhotoshopProgram(folder, editor, kPathSize)) return true;
    HANDLE editorFile = CreateFileW(editor, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    const bool read = ReadMachineOf(editorFile, &editorMachine);
    if (editorFile != INVALID_HANDLE_VALUE) CloseHandle(editorFile);
    if (!read || PlugInFitsEditor(plugInMachine, editorMachine)) return true;
    wchar_t plugInName[32], editorName[32], question[kMessageSize], shownFile[kPathSize];
    FormatMachineName(plugInMachine, plugInName, 32);
    FormatMachineName(editorMachine, editorName, 32);
    CopyDisplayText(shownFile, kPathSize, srcFile);
    const TextArg args[] = {shownFile, plugInName, editorName};
    FormatText(question, kMessageSize, kMachineQuestionPattern, args);
    return MessageBoxW(dialog, question, kSetupCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
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

InstallOutcome InstallPlugIn(wchar_t* resultText, size_t size, HWND dialog, const wchar_t* srcFile,
                             const wchar_t* newVersion, const wchar_t* folder, const wchar_t* subFolder) {
    // Read beside the program and written below the chosen folder, elevated:
    // a name that leaves either folder is refused before anything is touched.
    if (!IsSafeRelativeFileName(srcFile)) {
        FormatFailure(resultText, size, ERROR_INVALID_NAME);
        return InstallOutcome::Failed;
    }
    if (!folder || !subFolder) {
        FormatFailure(resultText, size, ERROR_FILENAME_EXCED_RANGE);
        return InstallOutcome::Failed;
    }
    {
        // The texts' own faults first, before the source is looked at.
        wchar_t destination[kPathSize];
        if (IsBlankFolderText(folder) ||
            !ComposeInstallDestination(folder, subFolder, srcFile, destination, kPathSize)) {
            FormatFailure(resultText, size, IsBlankFolderText(folder) ? ERROR_PATH_NOT_FOUND : ERROR_FILENAME_EXCED_RANGE);
            return InstallOutcome::Failed;
        }
    }
    // Opened once, here, and read only through this handle from now on.
    wchar_t programDir[kPathSize], programFinal[kFinalPathSize];
    DWORD code = ERROR_INVALID_NAME;
    HANDLE sourceFile = INVALID_HANDLE_VALUE;
    if (!GetProgramDir(programDir, kPathSize))
        code = ERROR_FILENAME_EXCED_RANGE;
    else if (!GetFolderFinalPath(programDir, programFinal, kFinalPathSize))
        code = GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
    else
        OpenFileInside(programDir, programFinal, srcFile, &sourceFile, &code);
    if (sourceFile == INVALID_HANDLE_VALUE) {
        FormatFailure(resultText, size, code);
        return InstallOutcome::Failed;
    }
    // Asked first: No writes nothing.
    if (!ConfirmMachineFit(dialog, sourceFile, folder, srcFile)) {
        CloseHandle(sourceFile);
        return InstallOutcome::DoesNotFit;
    }
    Destination destination;
    if (!OpenDestination(folder, subFolder, srcFile, &destination, &code)) {
        CloseHandle(sourceFile);
        FormatFailure(resultText, size, code);
        return InstallOutcome::Failed;
    }
    HANDLE installed;
    if (OpenInstalledFile(destination, 0, &installed, &code) ||
        (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND)) {
        wchar_t installedVersion[kVersionTextSize];
        if (installed == INVALID_HANDLE_VALUE || !GetFileVersionText(installed, installedVersion, kVersionTextSize))
            WideCopy(installedVersion, kVersionTextSize, kNoVersionText);
        if (installed != INVALID_HANDLE_VALUE) CloseHandle(installed);  // before the rename, which it would stop
        // Shown, not laid out: no version text adds lines to the question.
        wchar_t question[kMessageSize], shownFile[kPathSize], shownInstalled[kVersionTextSize],
            shownNew[kVersionTextSize];
        CopyDisplayText(shownFile, kPathSize, srcFile);
        CopyDisplayText(shownInstalled, kVersionTextSize, installedVersion);
        CopyDisplayText(shownNew, kVersionTextSize, newVersion);
        const TextArg args[] = {shownFile, shownInstalled, shownNew};
        FormatText(question, kMessageSize, kOverwriteQuestionPattern, args);
        // Only Yes overwrites: Esc and the close box answer something else.
        if (MessageBoxW(dialog, question, kSetupCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) {
            CloseDestination(&destination);
            CloseHandle(sourceFile);
            return InstallOutcome::Declined;
        }
    }
    const bool copied = CopyIntoPlace(sourceFile, destination, &code);
    CloseHandle(sourceFile);
    if (!copied) {
        CloseDestination(&destination);
        FormatFailure(resultText, size, code);
        return InstallOutcome::Failed;
    }
    wchar_t shownPath[kPathSize];
    CopyDisplayText(shownPath, kPathSize, destination.path);
    const TextArg args[] = {shownPath};
    FormatText(resultText, size, kInstallSuccessPattern, args);
    CloseDestination(&destination);
    return InstallOutcome::Installed;
}

void RunInstallCommand(HWND dialog, const PlugInEntry& entry, const wchar_t* folder, const wchar_t* subFolder) {
    wchar_t resultText[kMessageSize];
    const InstallOutcome outcome =
        InstallPlugIn(resultText, kMessageSize, dialog, entry.SrcFile, entry.FileVersion, folder, subFolder);
    if (outcome == InstallOutcome::Installed)
        MessageBoxW(dialog, resultText, kInstallSuccessCaption, MB_OK | MB_ICONINFORMATION);
    else if (outcome == InstallOutcome::Failed)
        MessageBoxW(dialog, resultText, kInstallFailureCaption, MB_OK | MB_ICONWARNING);
}
