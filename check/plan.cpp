// --plan: what CorvaneSetup.exe /S would do on this machine with a plug-in
// folder, through the installer's own code, with nothing written.
#include "check/plan.h"

#include "common/wide_text.h"
#include "install/unattended.h"

namespace {

void Say(HANDLE output, const wchar_t* text) {
    DWORD mode, written;
    if (GetConsoleMode(output, &mode)) {
        WriteConsoleW(output, text, static_cast<DWORD>(WideLength(text)), &written, nullptr);
        return;
    }
    char bytes[2048];
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof(bytes), nullptr, nullptr);
    if (length > 1) WriteFile(output, bytes, static_cast<DWORD>(length - 1), &written, nullptr);
}

}  // namespace

int ShowUnattendedPlan(const wchar_t* folder, const wchar_t* switches, HANDLE output) {
    wchar_t line[kMaxCommandLine / 8], text[kPathSize * 2];
    const TextArg args[] = {switches};
    auto* options = static_cast<UnattendedOptions*>(HeapAlloc(GetProcessHeap(), 0, sizeof(UnattendedOptions)));
    if (!options || !FormatText(line, kMaxCommandLine / 8, L"CorvaneSetup.exe /S %s", args) ||
        ParseCommandLine(line, options) != CommandKind::Unattended) {
        const TextArg problem[] = {options ? options->problem : L""};
        FormatText(text, kPathSize * 2, L"CorvaneCheck: /S cannot use %s: it would exit with 1639\n", problem);
        Say(output, text);
        if (options) HeapFree(GetProcessHeap(), 0, options);
        return 2;
    }
    const TextArg shown[] = {line};
    FormatText(text, kPathSize * 2, L"%s would do, on this machine (nothing is written; /LOG is not opened):\n",
               shown);
    Say(output, text);
    options->log[0] = 0;
    unsigned long code;
    LookAheadUnattended(*options, folder, output, &code);
    HeapFree(GetProcessHeap(), 0, options);
    const TextArg exit[] = {static_cast<long>(code)};
    FormatText(text, kPathSize * 2, L"exit code: %ld\n", exit);
    Say(output, text);
    return code ? 1 : 0;
}
