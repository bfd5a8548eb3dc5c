// The wide-text helpers, FormatText and the program path, each against a
// std::wstring model of its header; the first byte picks the function.
#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "common/program_path_logic.h"
#include "common/wide_text.h"
#include "fuzz_support.h"

namespace {

std::wstring FormatModel(const std::wstring& pattern, const std::vector<TextArg>& args) {
    std::wstring out;
    size_t next = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        auto code = [&](const std::wstring& text) { return pattern.compare(i + 1, text.size(), text) == 0; };
        const TextArg* arg = next < args.size() ? &args[next] : nullptr;
        const bool number = arg && !arg->text;
        if (pattern[i] != L'%') {
            out += pattern[i];
        } else if (code(L"%")) {
            out += L'%';
            i += 1;
        } else if (code(L"s")) {
            if (arg && arg->text) out += arg->text;
            ++next, i += 1;
        } else if (code(L"ld")) {
            if (number) out += std::to_wstring(arg->number);
            ++next, i += 2;
        } else if (code(L"04x")) {
            wchar_t hex[16];
            std::swprintf(hex, 16, L"%04lx", static_cast<unsigned long>(arg ? arg->number : 0) & 0xffffffffu);
            if (number) out += hex;
            ++next, i += 3;
        } else {
            out += L'%';
        }
    }
    return out;
}

void CopyAndCount(FuzzInput& in) {
    const size_t size = in.Size();
    const uint8_t how = in.Byte();  // 0xFF WideCopy, 0xFE a null text, else the count
    const std::wstring text = in.Text();
    OutBuffer out(size);
    bool ok = how == 0xFF   ? WideCopy(out.data(), size, text.c_str())
              : how == 0xFE ? WideCopyCount(out.data(), size, nullptr, 5)
                            : WideCopyCount(out.data(), size, text.c_str(), how);
    CheckResult(out, ok, how == 0xFE ? L"" : text.substr(0, how == 0xFF ? std::wstring::npos : how), true);
}

void Append(FuzzInput& in) {
    const size_t size = in.Size();
    const std::wstring start = in.Text(), text = in.Text();
    CONTRACT(WideLength(text.c_str()) == text.size());
    OutBuffer out(size, start);
    bool ok = WideAppend(out.data(), size, text.c_str());
    if (start.size() >= size)  // no terminated text to append to
        CONTRACT(!ok && out.Unchanged());
    else
        CheckResult(out, ok, start + text, true);
}

void Compare(FuzzInput& in) {
    const std::wstring a = in.Text(), b = in.Text();
    const int expect = FoldAsciiModel(a).compare(FoldAsciiModel(b));
    const int got = AsciiCaseCompare(a.c_str(), b.c_str());
    CONTRACT((got < 0) == (expect < 0) && (got > 0) == (expect > 0));
}

void Format(FuzzInput& in) {
    const size_t size = in.Size();
    const std::wstring pattern = in.Text();
    std::vector<std::wstring> texts(4);
    std::vector<TextArg> args;
    for (size_t i = 0, count = in.Byte() % 5; i < count; ++i) {
        switch (in.Byte() % 3) {
        case 0: texts[i] = in.Text(); args.emplace_back(texts[i].c_str()); break;
        case 1: args.emplace_back(static_cast<long>(in.Number())); break;
        default: args.emplace_back(static_cast<const wchar_t*>(nullptr));  // reads as the number 0
        }
    }
    OutBuffer out(size);
    bool ok = FormatText(out.data(), size, pattern.c_str(), args.data(), args.size());
    CheckResult(out, ok, FormatModel(pattern, args), true);
}

void Roots(FuzzInput& in) {
    const size_t size = in.Size();
    const std::wstring path = in.Text();
    CONTRACT(IsPathRoot(path.c_str()) == IsRootModel(path));
    std::wstring removed = path;
    RemoveTrailingBackslash(removed.data());
    CONTRACT(removed.c_str() == WithoutTrailingBackslash(path));

    OutBuffer out(size, path);
    bool ok = EnsureTrailingBackslash(out.data(), size);
    const std::wstring ensured = WithTrailingBackslash(path);
    if (path.size() < size && ensured.size() < size)
        CONTRACT(ok && out.Text() == ensured);
    else
        CONTRACT(!ok && out.Unchanged());
}

void ProgramDir(FuzzInput& in) {
    const size_t size = in.Size();
    const std::wstring module = in.Text();
    OutBuffer dir(size);
    bool ok = ProgramDirFromModuleName(module.c_str(), dir.data(), size);
    const size_t cut = module.rfind(L'\\');
    if (cut == std::wstring::npos)
        CONTRACT(!ok && dir.Unchanged());
    else
        CheckResult(dir, ok, module.substr(0, cut), false);
}

void Join(FuzzInput& in) {
    const size_t size = in.Size();
    const std::wstring dir = in.Text(), name = in.Text();
    OutBuffer out(size);
    bool ok = JoinProgramPath(dir.c_str(), name.c_str(), out.data(), size);
    CheckResult(out, ok, dir + L"\\" + name, false);
}

// A name taken as safe can only name something below the folder: relative,
// no drive or stream, and no part that climbs out.
void SafeName(FuzzInput& in) {
    const std::wstring name = in.Text();
    if (!IsSafeRelativeFileName(name.c_str())) return;
    CONTRACT(!name.empty() && name[0] != L'\\' && name[0] != L'/' && name.find(L':') == std::wstring::npos);
    size_t start = 0;
    for (size_t end; start <= name.size(); start = end + 1) {
        end = std::min(name.find_first_of(L"\\/", start), name.size());
        const std::wstring part = name.substr(start, end - start);
        CONTRACT(!part.empty() && part != L".." && part.find_first_not_of(L". ") != std::wstring::npos || part == L".");
        CONTRACT(end < name.size() || part != L".");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    void (*const areas[])(FuzzInput&) = {CopyAndCount, Append, Compare, Format, Roots, ProgramDir, Join, SafeName};
    areas[in.Byte() % (sizeof(areas) / sizeof(areas[0]))](in);
    return 0;
}
