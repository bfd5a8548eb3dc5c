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
    if (!WideCopy(out, size, folderText)) return false;
    RemoveTrailingBackslash(out);
    wchar_t* separator = nullptr;
    for (wchar_t* p = out; *p; ++p)
        if (*p == L'\\') separator = p;
    if (!separator)
        for (wchar_t* p = out; *p; ++p)
            if (*p == L'/') separator = p;
    if (!separator) return WideAppend(out, size, L"\\") && WideAppend(out, size, kPhotoshopExe);
    separator[1] = 0;
    return WideAppend(out, size, kPhotoshopExe);
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
