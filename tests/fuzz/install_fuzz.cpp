// The installation destination and the launch paths and commands; the first
// byte picks the function.
#include <algorithm>
#include <initializer_list>
#include <string>

#include "fuzz_support.h"
#include "install/install_logic.h"
#include "install/unattended_logic.h"
#include "photoshop/editor_locations.h"
#include "photoshop/editor_logic.h"

namespace {

// One backslash at a joint: the base's trailing ones go (short of a root),
// and so do the part's leading ones.
std::wstring Joined(std::wstring base, const std::wstring& part) {
    while (!base.empty() && base.back() == L'\\' && !IsRootModel(base)) base.pop_back();
    return WithTrailingBackslash(base) + part.substr(std::min(part.find_first_not_of(L'\\'), part.size()));
}

void Destination(FuzzInput& in) {
    const size_t size = in.Size();
    const std::wstring folder = in.Text(), subFolder = in.Text(), srcFile = in.Text();
    OutBuffer out(size);
    bool ok = ComposeInstallDestination(folder.c_str(), subFolder.c_str(), srcFile.c_str(), out.data(), size);
    if (folder.find_first_not_of(L' ') == std::wstring::npos) {
        CONTRACT(!ok && IsBlankFolderText(folder.c_str()));  // no folder named: nothing to join
        if (!out.Unchanged()) out.Text();
        return;
    }
    CONTRACT(!IsBlankFolderText(folder.c_str()));
    const std::wstring sub = subFolder.substr(std::min(subFolder.find_first_not_of(L'\\'), subFolder.size()));
    const std::wstring full = Joined(sub.empty() ? folder : Joined(folder, sub), srcFile);
    // The folder text is taken whole first (a box's text always fits a path buffer).
    if (folder.size() >= size) {
        CONTRACT(!ok);
        if (!out.Unchanged()) out.Text();
        return;
    }
    CheckResult(out, ok, full, false);
}

// Beside the destination, never the destination itself, and fitting exactly
// when the header says it does.
void TemporaryPath(FuzzInput& in) {
    const size_t size = in.Size();
    const unsigned unique = static_cast<unsigned>(in.Bytes(4));
    const std::wstring destination = in.Text();
    OutBuffer out(size);
    bool ok = ComposeTemporaryPath(destination.c_str(), unique, out.data(), size);
    const size_t slash = destination.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"" : destination.substr(0, slash + 1);
    const size_t room = folder.size() < size ? size - 1 - folder.size() : 0;
    CONTRACT(ok == (room >= 2));
    if (!ok) {
        if (!out.Unchanged()) out.Text();
        return;
    }
    const std::wstring path = out.Text(), name = path.substr(folder.size());
    CONTRACT(path.compare(0, folder.size(), folder) == 0 && name.size() >= 2 && name[0] == L'~');
    CONTRACT(name.find_first_of(L"\\/") == std::wstring::npos && path != destination);
    // Whenever the destination fits and its name is longer than one character, so does this.
    if (destination.size() < size && destination.size() >= folder.size() + 2) CONTRACT(ok);
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

// Any command line: every kept value terminated within its buffer, and /D
// and /LOG only as usable absolute paths.
void CommandLine(FuzzInput& in) {
    const std::wstring line = in.Text();
    static UnattendedOptions options;
    const CommandKind kind = ParseCommandLine(line.c_str(), &options);
    CONTRACT(options.plugInCount <= kMaxNamedPlugIns);
    for (const wchar_t* text : {options.folder, options.subFolder, options.log, options.problem})
        CONTRACT(WideLength(text) < kPathSize);
    if (kind == CommandKind::Unattended) CONTRACT(!options.folder[0] || IsUsableAbsolutePath(options.folder));
    CONTRACT(!options.log[0] || IsUsableAbsolutePath(options.log));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    void (*const areas[])(FuzzInput&) = {Destination, PhotoshopPath, CommandKey, OpenCommand, TemporaryPath,
                                                  CommandLine};
    areas[in.Byte() % (sizeof(areas) / sizeof(areas[0]))](in);
    return 0;
}
