// The installation destination and the launch paths and commands; the first
// byte picks the function.
#include <string>

#include "common/texts.h"
#include "fuzz_support.h"
#include "install/install_logic.h"

namespace {

void Destination(FuzzInput& in) {
    const size_t size = in.Size();
    const std::wstring folder = in.Text(), subFolder = in.Text(), srcFile = in.Text();
    OutBuffer out(size);
    bool ok = ComposeInstallDestination(folder.c_str(), subFolder.c_str(), srcFile.c_str(), out.data(), size);
    std::wstring full = WithoutTrailingBackslash(folder);
    if (!subFolder.empty()) full += L"\\" + subFolder;
    CheckResult(out, ok, full + L"\\" + srcFile, false);
}

void PhotoshopPath(FuzzInput& in) {
    const size_t size = in.Size();
    const std::wstring folder = in.Text();
    OutBuffer out(size);
    bool ok = DerivePhotoshopPath(folder.c_str(), out.data(), size);
    const std::wstring trimmed = WithoutTrailingBackslash(folder);
    size_t separator = trimmed.rfind(L'\\');
    if (separator == std::wstring::npos) separator = trimmed.rfind(L'/');
    const std::wstring beside =
        separator == std::wstring::npos ? trimmed + L"\\" : trimmed.substr(0, separator + 1);
    CheckResult(out, ok, beside + kPhotoshopExe, false);
}

void CommandKey(FuzzInput& in) {
    const size_t size = in.Size();
    const std::wstring className = in.Text();
    OutBuffer out(size);
    bool ok = ComposeOpenCommandKey(className.c_str(), out.data(), size);
    CheckResult(out, ok, className + kOpenCommandSuffix, false);
}

void OpenCommand(FuzzInput& in) {
    const size_t size = in.Size();
    const std::wstring command = in.Text(), ending = kDocumentPlaceholder;
    OutBuffer out(size);
    bool ok = ParseOpenCommand(command.c_str(), out.data(), size);
    // Longer than the placeholder and one more character, and ending in it.
    const bool matches = command.size() > ending.size() + 1 &&
                         command.compare(command.size() - ending.size(), ending.size(), ending) == 0;
    std::wstring program = matches ? command.substr(0, command.size() - ending.size()) : L"";
    if (!program.empty() && program[0] == L'"') {
        program.erase(0, 1);
        if (!program.empty() && program.back() == L'"') program.pop_back();
    }
    if (program.empty()) {
        CONTRACT(!ok);
        if (!out.Unchanged()) out.Text();
    } else {
        CheckResult(out, ok, program, false);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    void (*const areas[])(FuzzInput&) = {Destination, PhotoshopPath, CommandKey, OpenCommand};
    areas[in.Byte() % (sizeof(areas) / sizeof(areas[0]))](in);
    return 0;
}
