#include "tests/e2e/harness.h"

#include <shlwapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>

int g_pollMs = 20;

namespace {

const char* g_scenario = "";
int g_passed = 0, g_failed = 0, g_checkFailures = 0;

void Print(const std::string& line) {
    fwrite(line.data(), 1, line.size(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

// Polls `ready` every 20 ms until it holds or the time is up.
template <typename Ready>
bool WaitFor(Ready ready, int timeoutMs) {
    for (DWORD start = GetTickCount();;) {
        if (ready()) return true;
        if (GetTickCount() - start > static_cast<DWORD>(timeoutMs)) return false;
        Sleep(g_pollMs);
    }
}

std::wstring WindowText(HWND window) {
    wchar_t text[4096];
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000, &length))
        throw TestFailure("WM_GETTEXT timed out");
    return std::wstring(text, length);
}

std::wstring ClassName(HWND window) {
    wchar_t name[64];
    return GetClassNameW(window, name, 64) ? name : L"";
}

// Which system icon a message box shows, by comparing its pixels on the
// screen with each candidate drawn over the same background.
std::wstring ClassifyIcon(HWND box) {
    HWND iconControl = nullptr;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (ClassName(child) == L"Static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            IsWindowVisible(child))
            iconControl = child;
    if (!iconControl) return L"none";
    RECT r;
    GetWindowRect(iconControl, &r);
    const int w = 32, h = 32;
    HDC screen = GetDC(nullptr);
    HDC shot = CreateCompatibleDC(screen), drawn = CreateCompatibleDC(screen);
    HBITMAP shotBits = CreateCompatibleBitmap(screen, w, h), drawnBits = CreateCompatibleBitmap(screen, w, h);
    SelectObject(shot, shotBits);
    SelectObject(drawn, drawnBits);
    struct Candidate {
        const wchar_t* name;
        LPCWSTR id;
    } const candidates[] = {{L"warning", IDI_WARNING},
                            {L"information", IDI_INFORMATION},
                            {L"question", IDI_QUESTION},
                            {L"error", IDI_ERROR}};
    std::wstring best = L"unknown";
    // The box may still be painting: look again until one icon stands out.
    for (int attempt = 0; attempt < 50 && best == L"unknown"; ++attempt, Sleep(40)) {
        BitBlt(shot, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        COLORREF background = GetPixel(shot, 0, 0);
        long long bestScore = -1, secondScore = -1;
        std::wstring bestName;
        for (const Candidate& c : candidates) {
            HBRUSH brush = CreateSolidBrush(background);
            RECT all = {0, 0, w, h};
            FillRect(drawn, &all, brush);
            DeleteObject(brush);
            DrawIconEx(drawn, 0, 0, LoadIconW(nullptr, c.id), w, h, 0, nullptr, DI_NORMAL);
            long long score = 0;
            for (int y = 0; y < h; y += 2)
                for (int x = 0; x < w; x += 2) {
                    COLORREF a = GetPixel(shot, x, y), b = GetPixel(drawn, x, y);
                    score += abs(GetRValue(a) - GetRValue(b)) + abs(GetGValue(a) - GetGValue(b)) +
                             abs(GetBValue(a) - GetBValue(b));
                }
            if (bestScore < 0 || score < bestScore) {
                secondScore = bestScore;
                bestScore = score;
                bestName = c.name;
            } else if (secondScore < 0 || score < secondScore) {
                secondScore = score;
            }
        }
        if (bestScore * 4 < secondScore) best = bestName;
    }
    DeleteDC(shot);
    DeleteDC(drawn);
    DeleteObject(shotBits);
    DeleteObject(drawnBits);
    ReleaseDC(nullptr, screen);
    return best;
}

}  // namespace

std::string Utf8(const std::wstring& text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], bytes, nullptr, nullptr);
    return out;
}

void Fail(const char* file, int line, const std::string& message) {
    ++g_checkFailures;
    const char* base = strrchr(file, '/');
    Print(std::string("  ") + (base ? base + 1 : file) + ":" + std::to_string(line) + ": " + message);
}

void CheckText(const char* file, int line, const char* what, const std::wstring& actual, const std::wstring& expected) {
    if (actual != expected)
        Fail(file, line, std::string(what) + "\n    is:   \"" + Utf8(actual) + "\"\n    want: \"" + Utf8(expected) + "\"");
}

void CheckInt(const char* file, int line, const char* what, long long actual, long long expected) {
    if (actual != expected)
        Fail(file, line, std::string(what) + " is " + std::to_string(actual) + ", want " + std::to_string(expected));
}

void Scenario(const char* name, void (*body)()) {
    g_scenario = name;
    g_checkFailures = 0;
    DWORD start = GetTickCount();
    try {
        ClearRegistry();
        body();
    } catch (const std::exception& e) {
        Fail("scenario", 0, e.what());
    }
    bool ok = g_checkFailures == 0;
    (ok ? g_passed : g_failed)++;
    Print(std::string(ok ? "ok   " : "FAIL ") + name + " (" + std::to_string(GetTickCount() - start) + " ms)");
}

int Summary() {
    Print(std::to_string(g_passed) + " passed, " + std::to_string(g_failed) + " failed");
    return g_failed ? 1 : 0;
}

std::wstring g_inputs;

std::wstring ToWindowsPath(const std::wstring& path) {
    if (path.empty() || path[0] != L'/') return path;
    std::wstring result = L"Z:" + path;
    for (wchar_t& c : result)
        if (c == L'/') c = L'\\';
    return result;
}


std::wstring Input(const wchar_t* name) { return ToWindowsPath(g_inputs) + L"\\" + name; }

std::string UnixPath(const std::wstring& path) {
    using UnixName = char*(CDECL*)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    if (!name) throw TestFailure("no Unix path for " + Utf8(path));
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

void EndDesktopShell() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (!lstrcmpiW(entry.szExeFile, L"explorer.exe"))
            if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
                TerminateProcess(process, 1);
                WaitForSingleObject(process, 5000);
                CloseHandle(process);
            }
    CloseHandle(snapshot);
}

void StartShell(const std::string& command, const std::wstring& done) {
    DeleteFileW(done.c_str());
    const std::string line = "/bin/sh -c \"(" + command + "); echo $? > '" + UnixPath(done) + "'\"";
    std::wstring wide(line.size() + 1, L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, &wide[0], static_cast<int>(wide.size())) - 1);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(L"Z:\\bin\\sh", &wide[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        throw TestFailure("cannot start /bin/sh");
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);
}

bool WaitForFile(const std::wstring& file, int timeoutMs) {
    return WaitFor([&] { return !ReadBytes(file).empty(); }, timeoutMs);
}

int RunShell(const std::string& command) {
    TempDir marker;
    StartShell(command, marker / L"done");
    if (!WaitForFile(marker / L"done")) return -1;
    return atoi(ReadBytes(marker / L"done").c_str());
}

TempDir::TempDir() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    path = std::wstring(base) + L"corvane-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter);
    RemoveTree(path);
    MakeDirs(path);
}

TempDir::~TempDir() { RemoveTree(path); }

void MakeDirs(const std::wstring& path) {
    for (size_t i = 3; i <= path.size(); ++i)
        if (i == path.size() || path[i] == L'\\') CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    if (!PathIsDirectoryW(path.c_str())) throw TestFailure("cannot make folder " + Utf8(path));
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw TestFailure("cannot write " + Utf8(path));
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

void WriteUtf16File(const std::wstring& path, const std::wstring& text) {
    std::string bytes = "\xff\xfe";
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    WriteBytes(path, bytes);
}

std::wstring ReadUtf16File(const std::wstring& path) {
    std::string bytes = ReadBytes(path);
    if (bytes.size() < 2) return {};
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void CopyInput(const wchar_t* name, const std::wstring& to) {
    if (!CopyFileW(Input(name).c_str(), to.c_str(), FALSE)) throw TestFailure("cannot copy " + Utf8(name));
}

std::wstring CatalogOf(const std::vector<Entry>& entries, long count) {
    std::wstring index = L"[PlugInInfo]\r\nCount=" + std::to_wstring(count < 0 ? long(entries.size()) : count) + L"\r\n",
                 sections;
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::wstring n = std::to_wstring(i + 1);
        index += L"PlugIn" + n + L"=P" + n + L"\r\n";
        sections += L"[P" + n + L"]\r\n";
        const Entry& e = entries[i];
        const std::pair<const wchar_t*, const std::optional<std::wstring>*> fields[] = {{L"Name", &e.name},
                                                                         {L"SrcFile", &e.srcFile},
                                                                         {L"Description", &e.description},
                                                                         {L"SubDir1", &e.subDir1},
                                                                         {L"SubDir2", &e.subDir2}};
        for (const auto& field : fields)
            if (*field.second) sections += std::wstring(field.first) + L"=" + **field.second + L"\r\n";
    }
    return index + sections;
}

Fixture::Fixture(const std::wstring& catalog, const std::vector<std::wstring>& plugIns,
                 const std::wstring& programFolder)
    : program(programFolder.empty() ? path : *this / programFolder), exe(program + L"\\CorvaneSetup.exe") {
    MakeDirs(program);
    CopyInput(L"CorvaneSetup.exe", exe);
    if (!catalog.empty()) WriteUtf16File(program + L"\\Corvane.ini", catalog);
    for (const std::wstring& plugIn : plugIns) CopyInput(plugIn.c_str(), program + L"\\" + plugIn);
}

std::wstring Fixture::Editor(const std::wstring& install) {
    MakeDirs(*this / install + L"\\Plug-Ins");
    SetPhotoshopVersions({{L"10.0", *this / install}});
    return *this / install + L"\\Plug-Ins";
}

void RemoveTree(const std::wstring& path) {
    std::wstring from = path + L'\0';
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    if (Exists(path)) SHFileOperationW(&op);
}

// ---- registry --------------------------------------------------------------

static void SetString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value,
                      REGSAM view = 0) {
    HKEY k;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &k, nullptr) != ERROR_SUCCESS)
        throw TestFailure("cannot create key " + Utf8(key));
    if (name || !value.empty())
        RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
}

// Below "Software" nothing is redirected, so the tree empties in the view
// that opened it.
static void DeleteAdobeKey(REGSAM view) {
    HKEY adobe;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Adobe", 0, KEY_ALL_ACCESS | view, &adobe) != ERROR_SUCCESS)
        return;
    RegDeleteTreeW(adobe, nullptr);
    RegCloseKey(adobe);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Adobe", view, 0);
}

void SetPhotoshopVersions(const std::vector<PhotoshopVersion>& versions, REGSAM view) {
    DeleteAdobeKey(view);
    for (const PhotoshopVersion& v : versions) {
        std::wstring key = L"Software\\Adobe\\Photoshop\\" + v.key;
        if (v.hasPath)
            SetString(HKEY_LOCAL_MACHINE, key, L"ApplicationPath", v.applicationPath, view);
        else
            SetString(HKEY_LOCAL_MACHINE, key, L"Other", L"x", view);
    }
}

void SetPsdAssociation(const std::wstring& className, const std::wstring& command) {
    SetString(HKEY_CLASSES_ROOT, L".psd", nullptr, className);
    SetString(HKEY_CLASSES_ROOT, className + L"\\shell\\open\\command", nullptr, command);
}

void ClearRegistry() {
    DeleteAdobeKey(KEY_WOW64_32KEY);
    DeleteAdobeKey(KEY_WOW64_64KEY);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".psd");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"CorvaneTest.Document");
}

// ---- the running program ---------------------------------------------------

const wchar_t kNoteText[] = L"SHAutoComplete：插件路径下拉框将不能提供自动完成功能，不过这无关紧要。";

const Box kNote = {L"注意", kNoteText, L"information", {IDOK}};

SetupRun::SetupRun(const std::wstring& exe, bool expectNote, const std::wstring& arguments) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    std::wstring commandLine = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    std::wstring folder = exe.substr(0, exe.rfind(L'\\'));
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process_))
        throw TestFailure("cannot start " + Utf8(exe));
    WaitIdle();
    if (expectNote) {
        // Its icon is not classified here: that takes a while, and the
        // benchmark times this.
        MessageBoxInfo note;
        if (!WaitFor([&] { return (note.window = FindBox()) != nullptr; }, 10000))
            throw TestFailure("no message box appeared");
        note.caption = WindowText(note.window);
        note.text = WindowText(GetDlgItem(note.window, 0xFFFF));
        if (note.caption != kNote.caption || note.text != kNote.text)
            throw TestFailure("expected the auto-completion note, got \"" + Utf8(note.caption) + "\": \"" +
                              Utf8(note.text) + "\"");
        Answer(note, IDOK);
    }
}

void SetupRun::WaitIdle() { WaitForInputIdle(process_.hProcess, 10000); }

void SetupRun::Exit() {
    Click(IDCANCEL);
    CHECK_INT(WaitExit(), 2);
}

void ExpectBox(const char* file, int line, SetupRun& run, const Box& expected, int answer, int timeoutMs) {
    MessageBoxInfo box = run.WaitBox(timeoutMs);
    CheckText(file, line, "box caption", box.caption, expected.caption);
    CheckText(file, line, "box text", box.text, expected.text);
    CheckText(file, line, "box icon", box.icon, expected.icon);
    std::string buttons;
    for (int id : box.buttons) buttons += " " + std::to_string(id);
    if (box.buttons != expected.buttons) Fail(file, line, "box buttons:" + buttons);
    if (expected.defaultButton) CheckInt(file, line, "box default button", box.defaultButton, expected.defaultButton);
    run.Answer(box, answer);
}

SetupRun::~SetupRun() {
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
}

namespace {
struct FindState {
    DWORD pid;
    HWND dialog;
    HWND box;
    const std::vector<HWND>* answered;
};

BOOL CALLBACK FindWindows(HWND window, LPARAM param) {
    auto* state = reinterpret_cast<FindState*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != state->pid || ClassName(window) != L"#32770") return TRUE;
    if (GetDlgItem(window, IDC_PLUGIN_LIST)) {
        state->dialog = window;
    } else if (IsWindowVisible(window) && GetDlgItem(window, 0xFFFF)) {
        for (HWND done : *state->answered)
            if (done == window) return TRUE;
        state->box = window;
    }
    return TRUE;
}
}  // namespace

HWND SetupRun::DialogWindow() {
    FindState state{process_.dwProcessId, nullptr, nullptr, &answered_};
    if (!WaitFor([&] {
            EnumWindows(FindWindows, reinterpret_cast<LPARAM>(&state));
            return state.dialog != nullptr;
        }, 10000))
        throw TestFailure("the dialog window was not created");
    return state.dialog;
}

HWND SetupRun::Dialog() {
    if (dialog_) return dialog_;
    FindState state{process_.dwProcessId, nullptr, nullptr, &answered_};
    if (!WaitFor([&] {
            EnumWindows(FindWindows, reinterpret_cast<LPARAM>(&state));
            return state.dialog && IsWindowVisible(state.dialog);
        }, 10000))
        throw TestFailure("the dialog did not appear");
    dialog_ = state.dialog;
    return dialog_;
}

HWND SetupRun::FindBox() {
    FindState state{process_.dwProcessId, nullptr, nullptr, &answered_};
    EnumWindows(FindWindows, reinterpret_cast<LPARAM>(&state));
    return state.box;
}

bool SetupRun::BoxWithin(int timeoutMs) {
    return WaitFor([&] { return FindBox() != nullptr; }, timeoutMs);
}

MessageBoxInfo SetupRun::WaitBox(int timeoutMs) {
    HWND window = nullptr;
    if (!WaitFor([&] { return (window = FindBox()) != nullptr; }, timeoutMs))
        throw TestFailure("no message box appeared");
    MessageBoxInfo box;
    box.window = window;
    box.caption = WindowText(window);
    box.text = WindowText(GetDlgItem(window, 0xFFFF));
    // Wine answers DM_GETDEFID with IDOK for any box; the button's style tells.
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (ClassName(child) == L"Button" && IsWindowVisible(child)) {
            box.buttons.push_back(GetDlgCtrlID(child));
            if ((GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                box.defaultButton = GetDlgCtrlID(child);
        }
    box.icon = ClassifyIcon(window);
    return box;
}

HWND SetupRun::WaitOwnedWindow(int timeoutMs) {
    HWND found = nullptr;
    if (!WaitFor([&] {
            for (HWND w = GetTopWindow(nullptr); w && !found; w = GetWindow(w, GW_HWNDNEXT))
                if (GetWindow(w, GW_OWNER) == Dialog() && IsWindowVisible(w) && !GetDlgItem(w, 0xFFFF)) found = w;
            return found != nullptr;
        }, timeoutMs))
        throw TestFailure("no window owned by the dialog appeared");
    return found;
}

HWND SetupRun::Focused() {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(process_.dwThreadId, &info);
    return info.hwndFocus;
}

void SetupRun::Answer(const MessageBoxInfo& box, int id) {
    PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box.window, id)));
    answered_.push_back(box.window);
    if (!WaitFor([&] { return !IsWindow(box.window); }, 10000)) throw TestFailure("the message box did not close");
}

HWND SetupRun::Item(int id) {
    HWND item = GetDlgItem(Dialog(), id);
    if (!item) throw TestFailure("no control " + std::to_string(id));
    return item;
}

std::wstring SetupRun::Text(int id) { return WindowText(Item(id)); }

std::vector<std::wstring> SetupRun::Items(int id) {
    HWND box = Item(id);
    std::vector<std::wstring> items;
    LRESULT count = SendMessageW(box, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[1024] = L"";
        if (SendMessageW(box, CB_GETLBTEXTLEN, i, 0) < 1024) SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

int SetupRun::Selection(int id) { return static_cast<int>(SendMessageW(Item(id), CB_GETCURSEL, 0, 0)); }

bool SetupRun::Enabled(int id) { return IsWindowEnabled(Item(id)) != FALSE; }

void SetupRun::Select(int id, int index) {
    SendMessageW(Item(id), CB_SETCURSEL, index, 0);
    SendMessageW(Dialog(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(id)));
}

static HWND EditOf(HWND combo) {
    HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
    if (!edit) throw TestFailure("combo box without an edit field");
    return edit;
}

void SetupRun::Type(int id, const std::wstring& text) {
    HWND edit = EditOf(Item(id));
    for (wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 1);
}

// WM_SETTEXT raises no CBN_EDITCHANGE, so the change is announced as the box
// announces a user's paste.
void SetupRun::SetEditText(int id, const std::wstring& text) {
    SendMessageW(EditOf(Item(id)), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(Dialog(), WM_COMMAND, MAKEWPARAM(id, CBN_EDITCHANGE), reinterpret_cast<LPARAM>(Item(id)));
}

void SetupRun::Click(int id) { PostMessageW(Item(id), BM_CLICK, 0, 0); }

void SetupRun::PressKey(UINT key) {
    HWND target = Focused();
    if (!target) target = Dialog();
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

void SetupRun::Post(UINT message, WPARAM w, LPARAM l) { PostMessageW(Dialog(), message, w, l); }

DWORD SetupRun::WaitExit(int timeoutMs) {
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) throw TestFailure("the program did not end");
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}
