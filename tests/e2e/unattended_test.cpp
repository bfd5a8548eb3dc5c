// The unattended command line: one row per set-up and command line, with the
// exit code (read with GetExitCodeProcess: Wine's own status keeps 8 bits),
// the files afterwards, the log's actions, and no window ever shown.
#include "tests/e2e/harness.h"

namespace {

// File contents by name: the sample plug-ins (CorvaneSharpen 9.9.9.9,
// sample_long 1.0.0.0), the heads of an x86 and an x64 image, or any other
// text as its own bytes. "" in a row's files afterwards: no file.
std::string Bytes(const std::wstring& kind) {
    if (kind == L"zh") return ReadBytes(Input(L"CorvaneSharpen.8bf"));
    if (kind == L"long") return ReadBytes(Input(L"sample_long.8bf"));
    if (kind == L"x86" || kind == L"x64") return ReadBytes(Input((kind + L".head").c_str()));
    return Utf8(kind);
}

using Files = std::vector<std::pair<std::wstring, std::wstring>>;  // path below the fixture, contents

struct Row {
    const char* name;
    std::vector<Entry> entries;  // empty: no catalog
    Files beside;                // beside the program (in "P")
    std::vector<std::pair<std::wstring, std::wstring>> editors;  // "32\\PSa" or "64\\PSb", its Photoshop.exe
    Files existing;              // before the run; the first is held open with "held"
    std::wstring args;           // $ is the fixture's folder
    DWORD exit;
    Files after;
    std::wstring actions;        // the log's, after its first line
    bool held = false;
};

const Entry kSharpen{L"锐化", L"CorvaneSharpen.8bf"};
const std::wstring kLog = L" /LOG=$\\run.log";
const std::wstring kA = L"PSa\\Plug-Ins\\CorvaneSharpen.8bf";

const Row kRows[] = {
    {"a 32-bit and a 64-bit entry into editors of both machines", {{L"F32", L"F32.8bf"}, {L"F64", L"F64.8bf"}},
     {{L"F32.8bf", L"x86"}, {L"F64.8bf", L"x64"}}, {{L"32\\PSa", L"x86"}, {L"64\\PSb", L"x64"}}, {}, L"/S" + kLog,
     0, {{L"PSa\\Plug-Ins\\F32.8bf", L"x86"}, {L"PSa\\Plug-Ins\\F64.8bf", L""}, {L"PSb\\Plug-Ins\\F64.8bf", L"x64"},
         {L"PSb\\Plug-Ins\\F32.8bf", L""}},
     L"installed|skipped: does not fit|skipped: does not fit|installed"},
    {"an entry that fits no editor is an error", {{L"F32", L"F32.8bf"}}, {{L"F32.8bf", L"x86"}},
     {{L"64\\PSb", L"x64"}}, {}, L"/S" + kLog, 1603, {{L"PSb\\Plug-Ins\\F32.8bf", L""}},
     L"skipped: does not fit|failed"},
    {"into the preferred sub-folder, case and dash ignored", {{L"锐化", L"CorvaneSharpen.8bf", {}, L"Filters"}},
     {{L"CorvaneSharpen.8bf", L"zh"}}, {{L"64\\PSa", L""}}, {{L"PSa\\Plug-Ins\\Filters\\x", L"x"}},
     L"-s /log=\"$\\run.log\"", 0, {{L"PSa\\Plug-Ins\\Filters\\CorvaneSharpen.8bf", L"zh"}, {kA, L""}}, L"installed"},
    {"up to date", {kSharpen}, {{L"CorvaneSharpen.8bf", L"zh"}}, {{L"64\\PSa", L""}}, {{kA, L"zh"}}, L"/S" + kLog, 0,
     {{kA, L"zh"}}, L"up to date"},
    {"newer kept", {kSharpen}, {{L"CorvaneSharpen.8bf", L"long"}}, {{L"64\\PSa", L""}}, {{kA, L"zh"}},
     L"/S" + kLog, 0, {{kA, L"zh"}}, L"newer kept"},
    {"newer replaced with /FORCE", {kSharpen}, {{L"CorvaneSharpen.8bf", L"long"}}, {{L"64\\PSa", L""}},
     {{kA, L"zh"}}, L"/S /FORCE" + kLog, 0, {{kA, L"long"}}, L"installed"},
    {"held by the editor: 1618, the old file intact", {kSharpen}, {{L"CorvaneSharpen.8bf", L"zh"}},
     {{L"64\\PSa", L""}}, {{kA, L"old"}}, L"/S" + kLog, 1618, {{kA, L"old"}}, L"failed", true},
    {"/REMOVE of an identical file", {kSharpen}, {{L"CorvaneSharpen.8bf", L"zh"}}, {{L"64\\PSa", L""}},
     {{kA, L"zh"}, {L"PSa\\Plug-Ins\\other.8bf", L"o"}}, L"/S /REMOVE" + kLog, 0,
     {{kA, L""}, {L"PSa\\Plug-Ins\\other.8bf", L"o"}}, L"removed"},
    {"/REMOVE keeps a file that differs", {kSharpen}, {{L"CorvaneSharpen.8bf", L"zh"}}, {{L"64\\PSa", L""}},
     {{kA, L"old"}}, L"/S /REMOVE" + kLog, 1603, {{kA, L"old"}}, L"kept"},
    {"/REMOVE /FORCE of a file that differs", {kSharpen}, {{L"CorvaneSharpen.8bf", L"zh"}}, {{L"64\\PSa", L""}},
     {{kA, L"old"}}, L"/S /REMOVE /FORCE" + kLog, 0, {{kA, L""}}, L"removed"},
    {"unknown switch: 1639, nothing written", {kSharpen}, {{L"CorvaneSharpen.8bf", L"zh"}}, {{L"64\\PSa", L""}}, {},
     L"/S" + kLog + L" /QUIET", 1639, {{kA, L""}}, L"failed"},
    {"unknown plug-in name: 1639", {kSharpen}, {{L"CorvaneSharpen.8bf", L"zh"}}, {{L"64\\PSa", L""}}, {},
     L"/S /PLUGIN=Sharpen" + kLog, 1639, {{kA, L""}}, L"failed"},
    {"a log that cannot be written: 1639 before anything", {kSharpen}, {{L"CorvaneSharpen.8bf", L"zh"}},
     {{L"64\\PSa", L""}}, {}, L"/S /LOG=$\\no\\run.log", 1639, {{kA, L""}}, L""},
    {"/D that is a file: 1639", {kSharpen}, {{L"CorvaneSharpen.8bf", L"zh"}}, {}, {{L"F", L"f"}},
     L"/S" + kLog + L" /D=$\\F", 1639, {{L"F", L"f"}}, L"failed"},
    {"/D with spaces, last, unquoted", {kSharpen}, {{L"CorvaneSharpen.8bf", L"zh"}}, {}, {{L"My PS\\x", L"x"}},
     L"/S /PLUGIN=corvanesharpen.8BF" + kLog + L" /D=$\\My PS", 0, {{L"My PS\\CorvaneSharpen.8bf", L"zh"}},
     L"installed"},
    {"no editor: 1603", {kSharpen}, {{L"CorvaneSharpen.8bf", L"zh"}}, {}, {}, L"/S" + kLog, 1603, {}, L"failed"},
    {"no catalog: 1603", {}, {}, {{L"64\\PSa", L""}}, {}, L"/S" + kLog, 1603, {}, L"failed"},
    {"a missing plug-in file fails, the others go", {kSharpen, {L"缺", L"Missing.8bf"}},
     {{L"CorvaneSharpen.8bf", L"zh"}}, {{L"64\\PSa", L""}}, {}, L"/S" + kLog, 1603, {{kA, L"zh"}},
     L"installed|failed"},
    {"two entries for one file, no editor to choose: nothing written there",
     {{L"A", L"Same.8bf"}, {L"B", L"Same.8bf"}}, {{L"Same.8bf", L"x64"}}, {{L"64\\PSa", L""}}, {}, L"/S" + kLog,
     1603, {{L"PSa\\Plug-Ins\\Same.8bf", L""}}, L"failed|failed"},
};

std::wstring Expand(std::wstring text, const std::wstring& folder) {
    for (size_t at; (at = text.find(L'$')) != std::wstring::npos;) text.replace(at, 1, folder);
    return text;
}

BOOL CALLBACK FindOwnWindow(HWND window, LPARAM context) {
    auto* pid = reinterpret_cast<DWORD*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != *pid) return TRUE;
    *pid = 0;  // found
    return FALSE;
}

void RunRow(const Row& row) {
    Fixture dir(row.entries.empty() ? L"" : CatalogOf(row.entries), {}, L"P");
    for (const auto& [name, kind] : row.beside) WriteBytes(dir.program + L"\\" + name, Bytes(kind));
    std::vector<PhotoshopVersion> views[2];
    for (const auto& [where, editor] : row.editors) {
        const std::wstring install = dir / where.substr(3);
        MakeDirs(install + L"\\Plug-Ins");
        if (!editor.empty()) WriteBytes(install + L"\\Photoshop.exe", Bytes(editor));
        views[where[0] == L'6'].push_back({L"1" + std::to_wstring(views[where[0] == L'6'].size()) + L".0", install});
    }
    SetPhotoshopVersions(views[0], KEY_WOW64_32KEY);
    SetPhotoshopVersions(views[1], KEY_WOW64_64KEY);
    for (const auto& [path, kind] : row.existing) {
        MakeDirs((dir / path).substr(0, (dir / path).rfind(L'\\')));
        WriteBytes(dir / path, Bytes(kind));
    }
    HANDLE held = row.held ? CreateFileW((dir / row.existing[0].first).c_str(), GENERIC_READ, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr)
                           : INVALID_HANDLE_VALUE;
    std::wstring commandLine = L"\"" + dir.exe + L"\" " + Expand(row.args, dir.path);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    if (!CreateProcessW(dir.exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, dir.path.c_str(),
                        &startup, &process))
        throw TestFailure("cannot start the program");
    bool window = false;
    for (int waited = 0; waited < 20000 && WaitForSingleObject(process.hProcess, 5) == WAIT_TIMEOUT; waited += 5) {
        DWORD pid = process.dwProcessId;
        EnumWindows(FindOwnWindow, reinterpret_cast<LPARAM>(&pid));
        window = window || pid == 0;
    }
    DWORD exit = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &exit);
    if (exit == STILL_ACTIVE) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    CHECK(!window);
    CHECK_INT(exit, row.exit);
    for (const auto& [path, kind] : row.after) {
        CHECK_INT(Exists(dir / path), !kind.empty());
        if (!kind.empty()) CHECK_TEXT(std::wstring(path + L": ") + (ReadBytes(dir / path) == Bytes(kind) ? kind : L"?"),
                                      path + L": " + kind);
    }
    // Each line: time, action, entry, destination, code and text; the run's
    // first line names the program's version and its command line.
    const std::string log = ReadBytes(dir / L"run.log");
    std::wstring actions;
    size_t line = log.find('\n');
    if (!log.empty()) {
        CHECK(log.compare(0, 3, "\xEF\xBB\xBF") == 0);
        CHECK(log.find("\tCorvaneSetup 1.0.0.0\t" + Utf8(commandLine) + "\r\n") != std::string::npos);
    }
    for (; line != std::string::npos && line + 1 < log.size(); line = log.find('\n', line + 1)) {
        const size_t action = log.find('\t', line) + 1;
        actions += (actions.empty() ? L"" : L"|") +
                   std::wstring(log.begin() + action, log.begin() + log.find('\t', action));
    }
    CHECK_TEXT(actions, row.actions);
}

const Row* g_row;

}  // namespace

void RunUnattendedTests() {
    for (const Row& row : kRows) {
        g_row = &row;
        Scenario(row.name, [] { RunRow(*g_row); });
    }
    // Without /S the switches are shown in a box, and nothing else happens.
    Scenario("/? shows the switches", [] {
        Fixture dir(CatalogOf({kSharpen}), {L"CorvaneSharpen.8bf"});
        SetupRun run(dir.exe, false, L"/?");
        const MessageBoxInfo box = run.WaitBox();
        CHECK_TEXT(box.caption, L"安装 Photoshop 插件");
        CHECK(box.text.find(L"/S") != std::wstring::npos && box.text.find(L"1639") != std::wstring::npos);
        run.Answer(box, IDOK);
        CHECK_INT(run.WaitExit(), 0);
    });
}
