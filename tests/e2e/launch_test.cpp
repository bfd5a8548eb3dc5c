// Start Photoshop: the question, Photoshop.exe beside the plug-in folder or
// from the .psd association, and the failure box.
#include "tests/e2e/harness.h"

#include <algorithm>

namespace {

const std::wstring kCatalog = CatalogOf({{L"锐化", L"CorvaneSharpen.8bf"}});
const Box kQuestion = {L"安装 Photoshop 插件", L"要现在启动 Photoshop 吗？", L"question", {IDOK, IDCANCEL}, IDOK};
const Box kFailure = {L"安装 Photoshop 插件", L"启动 Photoshop 失败，您是否没有安装 Photoshop，或者插件目录的路径指定的不正确。",
                      L"warning", {IDOK}};
const wchar_t kClass[] = L"CorvaneTest.Document";

std::wstring Record(const std::wstring& folder) { return folder + L"\\launch-record.txt"; }

// Asks to start Photoshop and answers the question after checking it.
void Launch(SetupRun& run, const std::wstring& folderText, int answer = IDOK) {
    run.SetEditText(IDC_PLUGIN_DIR, folderText);
    run.Click(IDC_LAUNCH);
    EXPECT_BOX(run, kQuestion, answer);
}

// The stand-in `program` ran with an empty command line, as a child of the
// desktop shell (with the user's rights, not the installer's), in its own
// folder, and nothing was reported. Wine hands a program started with an
// empty command line its quoted name instead, which still shows the path the
// program derived.
void ExpectStarted(SetupRun& run, const std::wstring& program) {
    const std::wstring folder = program.substr(0, program.find_last_of(L"\\/")), record = Record(folder);
    // The stand-in holds its record unshared until it is written.
    for (int i = 0; i < 250 && ReadBytes(record).size() < 2; ++i) Sleep(20);
    CHECK(Exists(record));
    std::wstring lines[3], text = ReadUtf16File(record);
    for (int i = 0, at = 0; i < 3; ++i) {
        const size_t end = std::min(text.find(L'\n', at), text.size());
        lines[i] = text.substr(at, end - at);
        at = static_cast<int>(std::min(end + 1, text.size()));
    }
    if (!lines[0].empty()) CHECK_TEXT(lines[0], L"\"" + program + L"\"");
    CHECK_TEXT(lines[1], L"explorer.exe");
    auto normal = [](std::wstring path) {
        for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
        while (!path.empty() && path.back() == L'\\') path.pop_back();
        return path;
    };
    CHECK_TEXT(normal(lines[2]), normal(folder));
    CHECK(!run.BoxWithin(300));
    DeleteFileW(record.c_str());
}

std::wstring ForwardSlashes(std::wstring path) {
    for (wchar_t& c : path)
        if (c == L'\\') c = L'/';
    return path;
}

// Cancel starts nothing; OK starts it; the button acts on any notification code.
void Question() {
    Fixture dir(kCatalog);
    const std::wstring ps = dir / L"PS";
    MakeDirs(ps + L"\\Plug-Ins");
    CopyInput(L"Photoshop.exe", ps + L"\\Photoshop.exe");
    SetupRun run(dir.exe);
    Launch(run, ps + L"\\Plug-Ins", IDCANCEL);
    CHECK(!run.BoxWithin(700));
    CHECK(!Exists(Record(ps)));

    run.Post(WM_COMMAND, MAKEWPARAM(IDC_LAUNCH, 1234), 0);
    EXPECT_BOX(run, kQuestion, IDOK);
    ExpectStarted(run, ps + L"\\Photoshop.exe");
    run.Exit();
}

// Photoshop.exe replaces the last path part after one trailing backslash is
// dropped; backslashes win over forward slashes.
void BesideThePlugInFolder() {
    Fixture dir(kCatalog);
    const std::wstring ps = dir / L"PS", plugIns = ps + L"\\Plug-Ins";
    MakeDirs(plugIns);
    for (const std::wstring& folder : {dir.path, ps, plugIns}) CopyInput(L"Photoshop.exe", folder + L"\\Photoshop.exe");
    struct Case {
        std::wstring folderText, program;
    } const cases[] = {
        {plugIns + L"\\", ps + L"\\Photoshop.exe"},
        {ForwardSlashes(plugIns), ForwardSlashes(ps) + L"/Photoshop.exe"},
        {ForwardSlashes(plugIns) + L"/", ForwardSlashes(plugIns) + L"/Photoshop.exe"},
        {ps + L"/Plug-Ins", dir / L"Photoshop.exe"},
    };
    SetupRun run(dir.exe);
    for (const Case& c : cases) {
        Launch(run, c.folderText);
        ExpectStarted(run, c.program);
        for (const std::wstring& folder : {dir.path, ps, plugIns})
            if (Exists(Record(folder))) {
                Fail(__FILE__, __LINE__, "started in " + Utf8(folder) + " for " + Utf8(c.folderText));
                DeleteFileW(Record(folder).c_str());
            }
    }
    run.Exit();
}

// REG_SZ data stored without its terminating zero, as some writers leave it:
// it must be read whole, not short of its last character.
void SetUnterminated(const std::wstring& key, const std::wstring& value) {
    HKEY k;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr)) return;
    RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data()),
                   static_cast<DWORD>(value.size() * sizeof(wchar_t)));
    RegCloseKey(k);
}

// Without Photoshop.exe beside the folder, the .psd open command names it,
// quoted or not, and the registry is read anew on each press.
void ByAssociation() {
    Fixture dir(kCatalog);
    const std::wstring app = dir / L"App", exe = app + L"\\Photoshop.exe", nowhere = dir / L"None\\Plug-Ins";
    MakeDirs(app);
    CopyInput(L"Photoshop.exe", exe);
    struct Row {
        std::wstring command, folderText;
        bool terminated;
    } const rows[] = {
        {L"\"" + exe + L"\" \"%1\"", nowhere, true},
        {exe + L" \"%1\"", L"", true},  // a blank folder box looks in the drive's root first, where there is none
        {L"\"" + exe + L"\" \"%1\"", nowhere, false},
    };
    SetupRun run(dir.exe);
    for (const Row& row : rows) {
        if (row.terminated) {
            SetPsdAssociation(kClass, row.command);
        } else {
            SetUnterminated(L".psd", kClass);
            SetUnterminated(std::wstring(kClass) + L"\\shell\\open\\command", row.command);
        }
        Launch(run, row.folderText);
        ExpectStarted(run, exe);
    }
    run.Exit();
}

// Refused or unusable commands, no Photoshop at all, a blank or relative
// folder text, the user's own classes: the failure box, and nothing started.
void NotFound() {
    Fixture dir(kCatalog);
    const std::wstring app = dir / L"App", exe = app + L"\\Photoshop.exe", nowhere = dir / L"None\\Plug-Ins";
    MakeDirs(app);
    CopyInput(L"Photoshop.exe", exe);
    const std::wstring commands[] = {
        exe + L" %1",                           // placeholder not quoted
        L"\"" + exe + L"\" \"%1\" /x",          // an argument after the placeholder
        L"\"" + exe + L"\" /s \"%1\"",          // accepted, but the switch spoils the path
        L"\"" + dir / L"Gone\\Photoshop.exe\" \"%1\"",  // no such program
    };
    SetupRun run(dir.exe);
    for (const std::wstring& command : commands) {
        SetPsdAssociation(kClass, command);
        Launch(run, nowhere);
        EXPECT_BOX(run, kFailure, IDOK);
        CHECK(!Exists(Record(app)));
    }
    // A command stored as bytes, not text, is not taken.
    const std::wstring asBytes = L"\"" + exe + L"\" \"%1\"";
    SetPsdAssociation(kClass, asBytes);
    RegSetKeyValueW(HKEY_CLASSES_ROOT, (std::wstring(kClass) + L"\\shell\\open\\command").c_str(), nullptr,
                    REG_BINARY, asBytes.c_str(), static_cast<DWORD>((asBytes.size() + 1) * sizeof(wchar_t)));
    Launch(run, nowhere);
    EXPECT_BOX(run, kFailure, IDOK);
    CHECK(!Exists(Record(app)));
    ClearRegistry();
    Launch(run, nowhere);
    EXPECT_BOX(run, kFailure, IDOK);
    // Photoshop.exe that is no program: a text, a DLL.
    for (const std::string& bytes : {std::string("MZ text"), ReadBytes(Input(L"CorvaneSharpen.8bf"))}) {
        WriteBytes(app + L"\\Photoshop.exe", bytes);
        Launch(run, app + L"\\Plug-Ins");
        EXPECT_BOX(run, kFailure, IDOK);
    }
    CopyInput(L"Photoshop.exe", exe);
    // A folder text too long to read whole is not read cut: cut, it would name
    // the folder above, with its Photoshop.exe.
    Launch(run, app + L"\\" + std::wstring(260, L'x') + L"\\Plug-Ins");
    EXPECT_BOX(run, kFailure, IDOK);
    CHECK(!Exists(Record(app)));
    // A blank or relative folder text names no file: not the current drive's
    // root, not the installer's folder.
    CopyInput(L"Photoshop.exe", L"C:\\Photoshop.exe");
    MakeDirs(dir / L"Plug-Ins");
    CopyInput(L"Photoshop.exe", dir / L"Plug-Ins\\Photoshop.exe");
    for (const wchar_t* folderText : {L"", L"Plug-Ins/Filters"}) {
        Launch(run, folderText);
        EXPECT_BOX(run, kFailure, IDOK);
    }
    CHECK(!Exists(Record(L"C:")) && !Exists(Record(dir / L"Plug-Ins")));
    DeleteFileW(L"C:\\Photoshop.exe");
    DeleteFileW(Record(L"C:").c_str());
    // The user's own classes name a program: not taken (Wine does not merge
    // them into HKEY_CLASSES_ROOT, so this passes against a reader of that too).
    const std::wstring command = L"\"" + exe + L"\" \"%1\"";
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Classes\\.psd", nullptr, REG_SZ, kClass, sizeof(kClass));
    RegSetKeyValueW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + std::wstring(kClass) + L"\\shell\\open\\command").c_str(),
                    nullptr, REG_SZ, command.c_str(), static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    Launch(run, nowhere);
    EXPECT_BOX(run, kFailure, IDOK);
    CHECK(!Exists(Record(app)));
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\.psd");
    RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + std::wstring(kClass)).c_str());
    run.Exit();
}

// With the desktop shell ended, nothing can start the editor as the user:
// nothing starts, and the failure box says so. Last: no shell is left.
void NoShell() {
    Fixture dir(kCatalog);
    const std::wstring ps = dir / L"PS";
    MakeDirs(ps + L"\\Plug-Ins");
    CopyInput(L"Photoshop.exe", ps + L"\\Photoshop.exe");
    SetupRun run(dir.exe);
    EndDesktopShell();
    Launch(run, ps + L"\\Plug-Ins");
    EXPECT_BOX(run, kFailure, IDOK);
    Sleep(2000);
    CHECK(!Exists(Record(ps)));
    run.Exit();
}

}  // namespace

void RunLaunchTests() {
    Scenario("launch question: Cancel does nothing, OK starts, any notification code", Question);
    Scenario("Photoshop.exe beside the plug-in folder, by backslash and forward slash", BesideThePlugInFolder);
    Scenario("Photoshop.exe from the .psd open command, quoted, unquoted, unterminated", ByAssociation);
    Scenario("refused association, unstartable program, nothing, relative folder, user's classes: failure box",
             NotFound);
    Scenario("no desktop shell: nothing started, the failure box", NoShell);
}
