#include "install/install.h"

#include "catalog/catalog_file.h"
#include "catalog/catalog_keys.h"
#include "common/machine_names_logic.h"
#include "common/pe_image_logic.h"
#include "common/program_path_logic.h"
#include "common/user_texts.h"
#include "common/wide_text.h"
#include "install/install_operation.h"
#include "install/install_logic.h"

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

InstallOutcome InstallPlugIn(wchar_t* resultText, size_t size, HWND dialog, const wchar_t* srcFile,
                             const wchar_t* newVersion, const wchar_t* folder, const wchar_t* subFolder) {
    wchar_t destination[kPathSize];
    DWORD code = ERROR_FILENAME_EXCED_RANGE;
    InstallOutcome outcome = InstallOutcome::Failed;
    // The name's own fault is told before the boxes' texts are.
    if (!IsSafeRelativeFileName(srcFile))
        code = ERROR_INVALID_NAME;
    else if (folder && subFolder)
        outcome = InstallPlugInInto(srcFile, newVersion, folder, subFolder,
                                    InstallQuestions{dialog, AskMisfit, AskOverwrite}, InstallSetting{}, destination,
                                    kPathSize, &code);
    if (outcome == InstallOutcome::Failed) FormatFailure(resultText, size, code);
    if (outcome != InstallOutcome::Installed) return outcome;
    wchar_t shownPath[kPathSize];
    CopyDisplayText(shownPath, kPathSize, destination);
    const TextArg args[] = {shownPath};
    FormatText(resultText, size, kInstallSuccessPattern, args);
    return outcome;
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
