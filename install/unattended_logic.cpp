#include "install/unattended_logic.h"

#include "common/program_path_logic.h"

namespace {

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t'; }

// The next argument from `*p`: quotes group and are removed. False at the
// end of the line, or when the argument does not fit `size`.
bool NextArgument(const wchar_t** p, wchar_t* out, size_t size, bool* cut) {
    while (IsSpace(**p)) ++*p;
    if (!**p) return false;
    size_t n = 0;
    bool quoted = false;
    *cut = false;
    for (; **p && (quoted || !IsSpace(**p)); ++*p) {
        if (**p == L'"') {
            quoted = !quoted;
            continue;
        }
        if (n + 1 >= size) {
            *cut = true;
            continue;
        }
        out[n++] = **p;
    }
    out[n] = 0;
    return true;
}

// Whether `arg` is the switch `name` (after its / or -), ASCII case
// ignored; `*value` then points past its "=", or is null when it has none.
bool IsSwitch(const wchar_t* arg, const wchar_t* name, const wchar_t** value) {
    if (arg[0] != L'/' && arg[0] != L'-') return false;
    ++arg;
    for (; *name; ++arg, ++name)
        if (FoldAscii(*arg) != FoldAscii(*name)) return false;
    if (*arg == L'=') {
        *value = arg + 1;
        return true;
    }
    *value = nullptr;
    return *arg == 0;
}

bool TakeValue(const wchar_t* value, wchar_t* out, size_t size) {
    return value && value[0] && WideCopy(out, size, value);
}

CommandKind Unusable(UnattendedOptions* options, const wchar_t* arg) {
    WideCopy(options->problem, kPathSize, arg);
    return CommandKind::Unusable;
}

bool IsDriveRoot(const wchar_t* path) {
    return ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) && path[1] == L':' &&
           (path[2] == L'\\' || path[2] == L'/');
}

bool SameText(const wchar_t* a, const wchar_t* b) { return a[0] && AsciiCaseCompare(a, b) == 0; }

}  // namespace

bool IsUsableAbsolutePath(const wchar_t* path) {
    wchar_t copy[kPathSize];
    if (!WideCopy(copy, kPathSize, path)) return false;
    size_t length = WideLength(copy);
    while (length > 3 && (copy[length - 1] == L'\\' || copy[length - 1] == L'/')) copy[--length] = 0;
    const wchar_t* rest;
    if (IsDriveRoot(copy)) {
        rest = copy + 3;
        if (!*rest) return true;
    } else if (copy[0] == L'\\' && copy[1] == L'\\' && copy[2] != L'?' && copy[2] != L'.') {
        rest = copy + 2;  // server and share are parts like any other
        size_t parts = 1;
        for (const wchar_t* p = rest; *p; ++p) parts += *p == L'\\' || *p == L'/';
        if (parts < 2) return false;
    } else {
        return false;
    }
    // "." parts would pass the relative rule; an absolute path has no use for them.
    for (const wchar_t* p = rest; *p; ++p)
        if (*p == L'.' && (p == rest || p[-1] == L'\\' || p[-1] == L'/') &&
            (!p[1] || p[1] == L'\\' || p[1] == L'/'))
            return false;
    return IsSafeRelativeFileName(rest);
}

CommandKind ParseCommandLine(const wchar_t* commandLine, UnattendedOptions* options) {
    *options = UnattendedOptions{};
    wchar_t arg[kPathSize + 16];
    bool cut = false;
    const wchar_t* p = commandLine;
    NextArgument(&p, arg, kPathSize + 16, &cut);  // the program's own name
    // A first pass only looks for /S and /?: without /S nothing else counts.
    bool silent = false, help = false;
    for (const wchar_t* q = p; NextArgument(&q, arg, kPathSize + 16, &cut);) {
        const wchar_t* value;
        silent = silent || IsSwitch(arg, L"S", &value);
        help = help || IsSwitch(arg, L"?", &value);
        if (IsSwitch(arg, L"D", &value) && value) break;  // the rest is its value
    }
    if (!silent) return help ? CommandKind::Help : CommandKind::Dialog;
    while (true) {
        while (IsSpace(*p)) ++p;
        const wchar_t* start = p;
        if (!NextArgument(&p, arg, kPathSize + 16, &cut)) break;
        const wchar_t* value;
        if (cut) return Unusable(options, L"(too long)");
        if (IsSwitch(arg, L"D", &value) && value) {
            // NSIS's rule: the rest of the line, spaces and all; outer quotes go.
            const wchar_t* from = start + (*start == L'"');
            from += 3;
            if (*from == L'"') ++from;
            size_t length = WideLength(from);
            while (length && IsSpace(from[length - 1])) --length;
            if (length && from[length - 1] == L'"') --length;
            if (!length || !WideCopyCount(options->folder, kPathSize, from, length) ||
                !IsUsableAbsolutePath(options->folder))
                return Unusable(options, arg);
            break;
        }
        if (IsSwitch(arg, L"S", &value) && !value) continue;
        if (IsSwitch(arg, L"REMOVE", &value) && !value) {
            options->remove = true;
        } else if (IsSwitch(arg, L"FORCE", &value) && !value) {
            options->force = true;
        } else if (IsSwitch(arg, L"SUB", &value)) {
            if (!TakeValue(value, options->subFolder, kPathSize) || !IsSafeRelativeFileName(options->subFolder))
                return Unusable(options, arg);
        } else if (IsSwitch(arg, L"LOG", &value)) {
            if (!TakeValue(value, options->log, kPathSize) || !IsUsableAbsolutePath(options->log)) {
                options->log[0] = 0;  // not a file to write to
                return Unusable(options, arg);
            }
        } else if (IsSwitch(arg, L"PLUGIN", &value)) {
            if (options->plugInCount == kMaxNamedPlugIns ||
                !TakeValue(value, options->plugIns[options->plugInCount], kPathSize))
                return Unusable(options, arg);
            ++options->plugInCount;
        } else {
            return Unusable(options, arg);
        }
    }
    return CommandKind::Unattended;
}

bool IsChosenEntry(const UnattendedOptions& options, const wchar_t* name, const wchar_t* srcFile) {
    if (!options.plugInCount) return true;
    for (size_t i = 0; i < options.plugInCount; ++i)
        if (SameText(options.plugIns[i], name) || SameText(options.plugIns[i], srcFile)) return true;
    return false;
}

void PlanFolder(const ImageMachine* editor, PlanCell* cells, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        PlanCell& cell = cells[i];
        cell.step = editor && cell.plugInKnown && !PlugInFitsEditor(cell.plugIn, *editor) ? PlanStep::DoesNotFit
                                                                                          : PlanStep::Install;
    }
    for (size_t i = 0; i < count; ++i) {
        if (cells[i].step != PlanStep::Install || !cells[i].destination[0]) continue;
        for (size_t j = i + 1; j < count; ++j) {
            if (cells[j].step != PlanStep::Install || AsciiCaseCompare(cells[i].destination, cells[j].destination))
                continue;
            // The editor's own build goes; where that picks neither or both, nothing does.
            const bool own1 = editor && cells[i].plugInKnown && cells[i].plugIn.machine == editor->machine;
            const bool own2 = editor && cells[j].plugInKnown && cells[j].plugIn.machine == editor->machine;
            if (own1 != own2) {
                cells[own1 ? j : i].step = PlanStep::DoesNotFit;
            } else {
                cells[i].step = cells[j].step = PlanStep::Conflict;
                cells[i].other = j;
                cells[j].other = i;
            }
            if (cells[i].step != PlanStep::Install) break;
        }
    }
}

bool AreBuildsOfOnePlugIn(const wchar_t* srcFileA, const wchar_t* srcFileB) {
    auto lastPart = [](const wchar_t* path) {
        const wchar_t* last = path;
        for (; *path; ++path)
            if (*path == L'\\' || *path == L'/') last = path + 1;
        return last;
    };
    return *lastPart(srcFileA) && AsciiCaseCompare(lastPart(srcFileA), lastPart(srcFileB)) == 0;
}

const wchar_t* ActionText(Action action) {
    switch (action) {
    case Action::Installed: return L"installed";
    case Action::UpToDate: return L"up to date";
    case Action::NewerKept: return L"newer kept";
    case Action::DoesNotFit: return L"skipped: does not fit";
    case Action::Removed: return L"removed";
    case Action::Absent: return L"absent";
    case Action::Kept: return L"kept";
    case Action::Failed: break;
    }
    return L"failed";
}

unsigned long ExitCodeOf(Action action, unsigned long systemCode) {
    if (action == Action::Failed || action == Action::Kept) {
        // ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION, ERROR_USER_MAPPED_FILE
        return systemCode == 32 || systemCode == 33 || systemCode == 1224 ? kExitBusy : kExitFailure;
    }
    return kExitSuccess;
}

unsigned long WorseExitCode(unsigned long a, unsigned long b) {
    auto rank = [](unsigned long code) {
        return code == kExitBadCommand ? 3 : code == kExitFailure ? 2 : code == kExitBusy ? 1 : code ? 2 : 0;
    };
    return rank(b) > rank(a) ? b : a;
}

bool IsNewerVersion(uint64_t installed, uint64_t shipped) { return installed > shipped; }
