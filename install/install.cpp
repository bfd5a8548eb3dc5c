#include "install/install.h"

#include "catalog/catalog.h"
#include "common/checked_file.h"
#include "common/control_ids.h"
#include "common/machine_names_logic.h"
#include "common/pe_image_logic.h"
#include "common/program_path.h"
#include "common/program_path_logic.h"
#include "common/texts.h"
#include "common/wide_text.h"
#include "install/install_operation.h"
#include "install/install_logic.h"
#include "photoshop/editor.h"
#include "photoshop/folders.h"

namespace {

void FormatFailure(wchar_t* resultText, size_t size, DWORD code) {
    wchar_t systemText[kMessageSize];
    FormatSystemError(code, systemText, kMessageSize);
    const TextArg args[] = {static_cast<long>(code), systemText};
    FormatText(resultText, size, kInstallFailurePattern, args);
}

// The user answers: the editor loads only plug-ins built for its own
// machine, and a plug-in that "does not appear" is otherwise a puzzle after
// the copy. No is the default.
bool AskMisfit(void* dialog, const wchar_t* srcFile, const ImageMachine& plugIn, const ImageMachine& editor) {
    wchar_t plugInName[32], editorName[32], question[kMessageSize], shownFile[kPathSize];
    FormatMachineName(plugIn, plugInName, 32);
    FormatMachineName(editor, editorName, 32);
    CopyDisplayText(shownFile, kPathSize, srcFile);
    const TextArg args[] = {shownFile, plugInName, editorName};
    FormatText(question, kMessageSize, kMachineQuestionPattern, args);
    return MessageBoxW(static_cast<HWND>(dialog), question, kSetupCaption,
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

OverwriteAnswer AskOverwrite(void* dialog, const wchar_t* srcFile, const wchar_t* newVersion, HANDLE installed,
                             HANDLE) {
    wchar_t installedVersion[kVersionTextSize];
    if (installed == INVALID_HANDLE_VALUE || !GetFileVersionText(installed, installedVersion, kVersionTextSize))
        WideCopy(installedVersion, kVersionTextSize, kNoVersionText);
    // Shown, not laid out: no version text adds lines to the question.
    wchar_t question[kMessageSize], shownFile[kPathSize], shownInstalled[kVersionTextSize],
        shownNew[kVersionTextSize];
    CopyDisplayText(shownFile, kPathSize, srcFile);
    CopyDisplayText(shownInstalled, kVersionTextSize, installedVersion);
    CopyDisplayText(shownNew, kVersionTextSize, newVersion);
    const TextArg args[] = {shownFile, shownInstalled, shownNew};
    FormatText(question, kMessageSize, kOverwriteQuestionPattern, args);
    // Only Yes overwrites: Esc and the close box answer something else.
    return MessageBoxW(static_cast<HWND>(dialog), question, kSetupCaption, MB_YESNO | MB_ICONQUESTION) == IDYES
               ? OverwriteAnswer::Replace
               : OverwriteAnswer::Decline;
}

}  // namespace

bool InstallPlugIn(wchar_t* resultText, size_t size, HWND dialog, const wchar_t* srcFile, const wchar_t* newVersion) {
    resultText[0] = 0;
    wchar_t folder[kPathSize], subFolder[kPathSize], destination[kPathSize];
    DWORD code = ERROR_FILENAME_EXCED_RANGE;
    InstallOutcome outcome = InstallOutcome::Failed;
    // The name's own fault is told before the boxes' texts are read.
    if (!IsSafeRelativeFileName(srcFile))
        code = ERROR_INVALID_NAME;
    else if (ReadFolderBoxText(dialog, IDC_PLUGIN_DIR, folder, kPathSize) &&
             ReadFolderBoxText(dialog, IDC_SUB_DIR, subFolder, kPathSize))
        outcome = InstallPlugInInto(srcFile, newVersion, folder, subFolder,
                                    InstallQuestions{dialog, AskMisfit, AskOverwrite}, InstallSetting{}, destination,
                                    kPathSize, &code);
    if (outcome == InstallOutcome::Failed) FormatFailure(resultText, size, code);
    if (outcome != InstallOutcome::Installed) return false;
    wchar_t shownPath[kPathSize];
    CopyDisplayText(shownPath, kPathSize, destination);
    const TextArg args[] = {shownPath};
    FormatText(resultText, size, kInstallSuccessPattern, args);
    return true;
}
void RunInstallCommand(HWND dialog) {
    const PlugInEntry* entry = SelectedPlugInEntry(dialog);
    if (!entry) return;
    wchar_t resultText[kMessageSize];
    if (InstallPlugIn(resultText, kMessageSize, dialog, entry->SrcFile, entry->FileVersion))
        MessageBoxW(dialog, resultText, kInstallSuccessCaption, MB_OK | MB_ICONINFORMATION);
    else if (resultText[0])
        MessageBoxW(dialog, resultText, kInstallFailureCaption, MB_OK | MB_ICONWARNING);
}
