// The end-to-end harness: runs the real program under Wine, finds its dialog
// and message boxes, drives the controls and checks the outcome.
#pragma once
#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/control_ids.h"

// ---- bookkeeping -----------------------------------------------------------
struct TestFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string Utf8(const std::wstring& text);
// Records a failed check of the current scenario and carries on.
void Fail(const char* file, int line, const std::string& message);
#define CHECK(condition) \
    ((condition) ? (void)0 : Fail(__FILE__, __LINE__, "CHECK(" #condition ")"))
#define CHECK_TEXT(actual, expected) CheckText(__FILE__, __LINE__, #actual, (actual), (expected))
#define CHECK_INT(actual, expected) CheckInt(__FILE__, __LINE__, #actual, (long long)(actual), (long long)(expected))
void CheckText(const char* file, int line, const char* what, const std::wstring& actual, const std::wstring& expected);
void CheckInt(const char* file, int line, const char* what, long long actual, long long expected);

// Runs one scenario; a TestFailure or a failed check marks it failed.
void Scenario(const char* name, void (*body)());
int Summary();

// ---- files -----------------------------------------------------------------
extern std::wstring g_inputs;  // the folder of built programs and plug-ins
std::wstring ToWindowsPath(const std::wstring& path);  // a Unix path as Wine's Z: path
std::wstring Input(const wchar_t* name);

// A fresh folder under the temporary folder, removed with its contents.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::wstring operator/(const std::wstring& name) const { return path + L"\\" + name; }
    std::wstring path;
};

void MakeDirs(const std::wstring& path);
void WriteUtf16File(const std::wstring& path, const std::wstring& text);  // with a byte-order mark
std::wstring ReadUtf16File(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
bool Exists(const std::wstring& path);
void CopyInput(const wchar_t* name, const std::wstring& to);
void RemoveTree(const std::wstring& path);

// ---- fixtures --------------------------------------------------------------
// One catalog entry, a row of a table; fields not given are not written.
struct Entry {
    std::optional<std::wstring> name, srcFile = {}, description = {}, subDir1 = {}, subDir2 = {};
};
// [PlugInInfo] with Count (the rows' number unless given) and PlugIn1..N
// naming sections P1..PN, one per row.
std::wstring CatalogOf(const std::vector<Entry>& entries, long count = -1);

// A fresh folder holding the program (in `programFolder` below it, if given),
// its catalog (no file when empty) and the sample plug-ins named.
struct Fixture : TempDir {
    explicit Fixture(const std::wstring& catalog, const std::vector<std::wstring>& plugIns = {},
                     const std::wstring& programFolder = L"");
    // An editor installed in `install` (below the fixture) with a Plug-Ins
    // folder, registered as version 10.0; the plug-in folder's path.
    std::wstring Editor(const std::wstring& install = L"PS");
    std::wstring program, exe;  // the program's folder and file
};

// ---- the Unix side (Wine starts Unix programs too) -------------------------
std::string UnixPath(const std::wstring& path);  // Wine's own mapping
// Starts `command` under /bin/sh (no double quotes in it); `done` (a Windows
// path) gets its exit code when it ends.
void StartShell(const std::string& command, const std::wstring& done);
// Runs it to its end; its exit code, or -1 after 20 s.
int RunShell(const std::string& command);
// Waits for `file` to be written; false after `timeoutMs`.
bool WaitForFile(const std::wstring& file, int timeoutMs = 20000);

// Ends the desktop shell (explorer.exe), as any program of the user's can.
// Under Wine no later start in this wineserver session finds a shell: the
// group's runner restarts the server afterwards (tests/e2e/restart_after.sh).
void EndDesktopShell();

// ---- registry ------------------------------------------------------------
// The editor's version keys replace those of one view: the driver's own (0),
// or KEY_WOW64_32KEY or KEY_WOW64_64KEY.
struct PhotoshopVersion {
    std::wstring key;
    std::wstring applicationPath;
    bool hasPath = true;
};
void SetPhotoshopVersions(const std::vector<PhotoshopVersion>& versions, REGSAM view = 0);
void SetPsdAssociation(const std::wstring& className, const std::wstring& command);
void ClearRegistry();  // the version keys of both views, and the association

// ---- the running program ---------------------------------------------------
struct MessageBoxInfo {
    HWND window = nullptr;
    std::wstring caption, text, icon;  // icon: "warning", "information", "question", "error" or "none"
    std::vector<int> buttons;          // visible buttons' ids, in creation order
    int defaultButton = 0;
};

class SetupRun {
public:
    // Starts `exe`; with `expectNote` it also waits for the start-up
    // auto-completion note (Wine's stub always raises it) and dismisses it.
    // It waits for the program's first idle moment before polling for windows:
    // polls through Wine's one server slow the start the benchmark times.
    explicit SetupRun(const std::wstring& exe, bool expectNote = true, const std::wstring& arguments = L"");
    ~SetupRun();
    SetupRun(const SetupRun&) = delete;
    SetupRun& operator=(const SetupRun&) = delete;

    HWND Dialog();  // waits for the dialog to show
    HWND DialogWindow();  // waits for the dialog window, shown or not
    HWND Item(int id);
    MessageBoxInfo WaitBox(int timeoutMs = 10000);
    // A window the dialog owns other than a message box: the folder picker.
    HWND WaitOwnedWindow(int timeoutMs = 10000);
    HWND Focused();
    bool BoxWithin(int timeoutMs);  // a message box appears within the time
    void Answer(const MessageBoxInfo& box, int id);
    // Exit pressed: the program ends with 2.
    void Exit();
    void WaitIdle();  // until the program waits for input

    std::wstring Text(int id);
    std::vector<std::wstring> Items(int id);
    int Selection(int id);
    bool Enabled(int id);
    void Select(int id, int index);                        // as a user's pick does
    void Type(int id, const std::wstring& text);          // keystrokes into the edit field
    void SetEditText(int id, const std::wstring& text);   // a paste: one change
    void Click(int id);                                   // posted; the handler may open a box
    void PressKey(UINT key);                              // to the focused control
    void Post(UINT message, WPARAM w, LPARAM l);
    DWORD WaitExit(int timeoutMs = 10000);
    DWORD ProcessId() const { return process_.dwProcessId; }

private:
    HWND FindBox();
    PROCESS_INFORMATION process_{};
    HWND dialog_ = nullptr;
    std::vector<HWND> answered_;
};

// The box expected next: checked field by field (the default button only
// when given), then answered.
struct Box {
    std::wstring caption, text, icon;
    std::vector<int> buttons;
    int defaultButton = 0;
};
#define EXPECT_BOX(run, expected, answer) ExpectBox(__FILE__, __LINE__, (run), (expected), (answer))
void ExpectBox(const char* file, int line, SetupRun& run, const Box& expected, int answer, int timeoutMs = 10000);

extern int g_pollMs;  // how often waits look again; the benchmark looks often

// Expected texts
extern const wchar_t kNoteText[];
extern const Box kNote;
