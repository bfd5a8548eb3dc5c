#include "install/install_logic.h"

#include "common/texts.h"
#include "common/wide_text.h"

bool ComposeInstallDestination(const wchar_t* folder, const wchar_t* subFolder, const wchar_t* srcFile,
                               wchar_t* out, size_t size) {
    if (!WideCopy(out, size, folder)) return false;
    RemoveTrailingBackslash(out);
    if (subFolder[0] && !(WideAppend(out, size, L"\\") && WideAppend(out, size, subFolder))) return false;
    return WideAppend(out, size, L"\\") && WideAppend(out, size, srcFile);
}

bool DerivePhotoshopPath(const wchar_t* folderText, wchar_t* out, size_t size) {
    // Measured in place, so a folder text longer than `out` still gives a path
    // that fits.
    size_t length = WideLength(folderText);
    if (length && folderText[length - 1] == L'\\' && !IsPathRoot(folderText)) --length;
    size_t kept = 0;  // up to and including the last separator
    for (size_t i = 0; i < length; ++i)
        if (folderText[i] == L'\\') kept = i + 1;
    if (!kept)
        for (size_t i = 0; i < length; ++i)
            if (folderText[i] == L'/') kept = i + 1;
    if (!kept)
        return WideCopyCount(out, size, folderText, length) && WideAppend(out, size, L"\\") &&
               WideAppend(out, size, kPhotoshopExe);
    return WideCopyCount(out, size, folderText, kept) && WideAppend(out, size, kPhotoshopExe);
}

bool ComposeOpenCommandKey(const wchar_t* className, wchar_t* out, size_t size) {
    return WideCopy(out, size, className) && WideAppend(out, size, kOpenCommandSuffix);
}

bool ParseOpenCommand(const wchar_t* command, wchar_t* out, size_t size) {
    const size_t length = WideLength(command);
    const size_t ending = WideLength(kDocumentPlaceholder);
    if (length <= ending + 1) return false;
    const wchar_t* tail = command + length - ending;
    for (size_t i = 0; i < ending; ++i)
        if (tail[i] != kDocumentPlaceholder[i]) return false;
    const wchar_t* start = command;
    size_t count = length - ending;
    if (command[0] == L'"') {
        start = command + 1;
        count = length - ending - 1;
        if (start[count - 1] == L'"') --count;
    }
    return count && WideCopyCount(out, size, start, count);
}
