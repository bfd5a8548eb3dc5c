// The benchmark driver: times the real program under Wine against small
// baselines of its own, runs interleaved, and prints one line per figure.
//   bench_driver INPUTS [RUNS]
// INPUTS holds the program, the sample plug-ins and the baselines.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace {

const wchar_t kNoteCaption[] = L"注意";
const wchar_t kDialogCaption[] = L"安装 Photoshop 插件";
const wchar_t kSuccessCaption[] = L"安装 Photoshop 插件成功";

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Polls often, so the poll adds little to what it measures.
template <typename Ready>
bool Poll(Ready ready, double timeoutMs) {
    for (double start = Now();;) {
        if (ready()) return true;
        if (Now() - start > timeoutMs) return false;
        Sleep(1);
    }
}

struct Search {
    DWORD pid;
    const wchar_t* caption;
    HWND except;
    HWND found;
};

BOOL CALLBACK FindCaption(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || window == search->except) return TRUE;
    wchar_t text[64];
    if (GetWindowTextW(window, text, 64) && !wcscmp(text, search->caption)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A top-level window of the process with this caption, other than `except`.
HWND WindowOf(DWORD pid, const wchar_t* caption, HWND except) {
    Search search{pid, caption, except, nullptr};
    EnumWindows(FindCaption, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitVisible(DWORD pid, const wchar_t* caption, HWND except = nullptr, double timeoutMs = 60000) {
    HWND window = nullptr;
    if (!Poll([&] { return (window = WindowOf(pid, caption, except)) && IsWindowVisible(window); }, timeoutMs))
        throw TestFailure("no window \"" + Utf8(caption) + "\" appeared");
    return window;
}

void Dismiss(HWND box, int id) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
    if (!Poll([&] { return !IsWindow(box); }, 10000)) throw TestFailure("a message box did not close");
}

class Process {
public:
    explicit Process(const std::wstring& exe, const std::wstring& arguments = L"") {
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
        std::wstring folder = exe.substr(0, exe.rfind(L'\\'));
        if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                            &startup, &info_))
            throw TestFailure("cannot start " + Utf8(exe));
    }
    ~Process() {
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info_.hProcess, 99);
            WaitForSingleObject(info_.hProcess, 5000);
        }
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    DWORD Pid() const { return info_.dwProcessId; }
    HANDLE Handle() const { return info_.hProcess; }

    // Waits for the start-up note, answers it and waits for the dialog to be
    // shown and idle: the moment a user can work with it.
    HWND WaitReady(double timeoutMs = 60000) {
        // Until the program first waits for input (at the note), without
        // polling: a poll's server calls would slow the program it times,
        // which the baselines that are waited for do not pay.
        WaitForInputIdle(Handle(), static_cast<DWORD>(timeoutMs));
        Dismiss(WaitVisible(Pid(), kNoteCaption, nullptr, timeoutMs), IDOK);
        HWND dialog = WaitVisible(Pid(), kDialogCaption);
        WaitForInputIdle(Handle(), 10000);
        return dialog;
    }
    void Close(HWND dialog) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        WaitForSingleObject(Handle(), 10000);
    }

private:
    PROCESS_INFORMATION info_{};
};

// Start until the dialog is ready, in milliseconds.
double TimeStart(const std::wstring& exe, double timeoutMs = 60000) {
    double start = Now();
    Process process(exe);
    HWND dialog = process.WaitReady(timeoutMs);
    double elapsed = Now() - start;
    process.Close(dialog);
    return elapsed;
}

// Start until the process has ended, in milliseconds.
double TimeRun(const std::wstring& exe) {
    double start = Now();
    Process process(exe);
    WaitForSingleObject(process.Handle(), 60000);
    return Now() - start;
}

// ---- figures -----------------------------------------------------------------

struct Series {
    std::vector<double> values;
    double Median() const { return Quantile(0.5); }
    double Quantile(double q) const {
        if (values.empty()) return 0;
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        double at = q * static_cast<double>(v.size() - 1);
        size_t low = static_cast<size_t>(at);
        size_t high = std::min(low + 1, v.size() - 1);
        return v[low] + (v[high] - v[low]) * (at - static_cast<double>(low));
    }
    // The interquartile range over the median: robust against one stray run.
    double Spread() const {
        double median = Median();
        return median > 0 ? (Quantile(0.75) - Quantile(0.25)) / median : 0;
    }
};

void PrintFigure(const char* name, const char* unit, const Series& program, const Series& baseline) {
    double p = program.Median(), b = baseline.Median();
    char line[256];
    snprintf(line, sizeof line, "%-34s program %9.3f %s  baseline %9.3f %s  ratio %5.2f  spread %3.0f%%%s/%3.0f%%%s  (n=%u)",
             name, p, unit, b, unit, b > 0 ? p / b : 0.0, program.Spread() * 100, program.Spread() > 0.2 ? "!" : " ",
             baseline.Spread() * 100, baseline.Spread() > 0.2 ? "!" : " ", static_cast<unsigned>(program.values.size()));
    puts(line);
    fflush(stdout);
}

int g_runs = 7;

// One warm-up of each, then `g_runs` rounds of all of them in turn.
void Interleave(std::vector<std::function<void(bool record)>> steps) {
    for (auto& step : steps) step(false);
    for (int round = 0; round < g_runs; ++round)
        for (auto& step : steps) step(true);
}

std::wstring CatalogText(long count, long written, const std::wstring& filePattern) {
    std::wstring text = L"[PlugInInfo]\r\nCount=" + std::to_wstring(count) + L"\r\n";
    for (long n = 1; n <= written; ++n) text += L"PlugIn" + std::to_wstring(n) + L"=S" + std::to_wstring(n) + L"\r\n";
    for (long n = 1; n <= written; ++n) {
        wchar_t file[64];
        swprintf(file, 64, filePattern.c_str(), n);
        text += L"[S" + std::to_wstring(n) + L"]\r\nName=插件 " + std::to_wstring(n) + L"\r\nSrcFile=" + file +
                L"\r\nSubDir1=Filters\r\nSubDir2=滤镜\r\nDescription=第 " + std::to_wstring(n) + L" 个插件。\r\n";
    }
    return text;
}

// A program folder with `written` plug-ins of their own file each.
void LayOutCatalog(const TempDir& dir, long count, long written) {
    LayOutProgram(dir, CatalogText(count, written, L"P%05ld.8bf"));
    CopyInput(L"bench_catalog_floor.exe", dir / L"bench_catalog_floor.exe");
    for (long n = 1; n <= written; ++n) {
        wchar_t file[64];
        swprintf(file, 64, L"P%05ld.8bf", n);
        CopyInput(L"CorvaneSharpen.8bf", dir / file);
    }
}

// The editor's plug-in folder the program finds at start, with one sub-folder.
void SetUpEditor(const TempDir& root) {
    MakeDirs(root / L"PS\\Plug-Ins\\Filters");
    SetPhotoshopVersions({{L"10.0", root / L"PS"}});
}

void StartFigure() {
    TempDir dir;
    LayOutProgram(dir,
                  L"[PlugInInfo]\r\nCount=3\r\nPlugIn1=A\r\nPlugIn2=B\r\nPlugIn3=C\r\n"
                  L"[A]\r\nName=锐化大师\r\nSrcFile=CorvaneSharpen.8bf\r\nSubDir1=Filters\r\n"
                  L"[B]\r\nName=Frame\r\nSrcFile=CorvaneFrame.8bf\r\n[C]\r\nName=Glow\r\nSrcFile=CorvaneGlow.8bf\r\n",
                  {L"CorvaneSharpen.8bf", L"CorvaneFrame.8bf", L"CorvaneGlow.8bf"});
    CopyInput(L"bench_dialog.exe", dir / L"bench_dialog.exe");
    Series program, baseline;
    Interleave({[&](bool r) { double t = TimeStart(dir / L"CorvaneSetup.exe"); if (r) program.values.push_back(t); },
                [&](bool r) { double t = TimeStart(dir / L"bench_dialog.exe"); if (r) baseline.values.push_back(t); }});
    PrintFigure("start, 3 entries / same dialog", "ms", program, baseline);
}

void CatalogFigure() {
    TempDir small, large;
    LayOutCatalog(small, 100, 100);
    LayOutCatalog(large, 1000, 1000);
    double p100 = 0, f100 = 0, p1000 = 0, f1000 = 0;
    Series program, floor, program1000, floor1000;
    Interleave({[&](bool) { p100 = TimeStart(small / L"CorvaneSetup.exe"); },
                [&](bool) { f100 = TimeRun(small / L"bench_catalog_floor.exe"); },
                [&](bool) { p1000 = TimeStart(large / L"CorvaneSetup.exe"); },
                [&](bool r) {
                    f1000 = TimeRun(large / L"bench_catalog_floor.exe");
                    if (!r) return;
                    // Per entry: the difference between 1,000 and 100 entries, so
                    // that start-up counts for neither.
                    program.values.push_back((p1000 - p100) / 900);
                    floor.values.push_back((f1000 - f100) / 900);
                    program1000.values.push_back(p1000);
                    floor1000.values.push_back(f1000);
                }});
    PrintFigure("catalog per entry / API floor", "ms", program, floor);
    PrintFigure("  (ready at 1,000 / floor run)", "ms", program1000, floor1000);
}

void HugeCountFigure() {
    TempDir dir;
    LayOutProgram(dir, CatalogText(100000, 3, L"CorvaneSharpen.8bf"), {L"CorvaneSharpen.8bf"});
    CopyInput(L"bench_dialog.exe", dir / L"bench_dialog.exe");
    Series program, baseline;
    // Slow builds take many seconds a start: then one timed run says enough.
    double first = TimeStart(dir / L"CorvaneSetup.exe", 600000);
    if (first > 10000) {
        program.values.push_back(first);
        baseline.values.push_back(TimeStart(dir / L"bench_dialog.exe"));
    } else {
        Interleave({[&](bool r) { double t = TimeStart(dir / L"CorvaneSetup.exe"); if (r) program.values.push_back(t); },
                    [&](bool r) { double t = TimeStart(dir / L"bench_dialog.exe"); if (r) baseline.values.push_back(t); }});
    }
    PrintFigure("start, Count=100000 with 3 written", "ms", program, baseline);
}

int ListFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE listing = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (listing == INVALID_HANDLE_VALUE) return 0;
    int folders = 0;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && wcscmp(found.cFileName, L".") &&
            wcscmp(found.cFileName, L".."))
            ++folders;
    } while (FindNextFileW(listing, &found));
    FindClose(listing);
    return folders;
}

void KeystrokeFigures() {
    TempDir dir, folders;
    LayOutProgram(dir, CatalogText(1, 1, L"CorvaneSharpen.8bf"), {L"CorvaneSharpen.8bf"});
    const int sizes[] = {500, 5000};
    for (int size : sizes) {
        std::wstring folder = folders / std::to_wstring(size);
        MakeDirs(folder);
        for (int i = 0; i < size; ++i) CreateDirectoryW((folder + L"\\子目录 " + std::to_wstring(i)).c_str(), nullptr);
    }
    Process process(dir / L"CorvaneSetup.exe");
    HWND dialog = process.WaitReady();
    HWND folderBox = GetDlgItem(dialog, IDC_PLUGIN_DIR), subBox = GetDlgItem(dialog, IDC_SUB_DIR);
    HWND edit = FindWindowExW(folderBox, nullptr, L"Edit", nullptr);
    if (!edit) throw TestFailure("no edit field in the folder box");
    for (int size : sizes) {
        const std::wstring folder = folders / std::to_wstring(size);
        Series program, baseline;
        Interleave({[&](bool r) {
                        // The folder without its backslash, then the backslash typed.
                        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
                        SendMessageW(edit, EM_SETSEL, folder.size(), folder.size());
                        double start = Now();
                        SendMessageW(edit, WM_CHAR, L'\\', 1);
                        double elapsed = Now() - start;
                        if (SendMessageW(subBox, CB_GETCOUNT, 0, 0) != size) throw TestFailure("sub-folders not listed");
                        if (r) program.values.push_back(elapsed);
                    },
                    [&](bool r) {
                        double start = Now();
                        int listed = ListFolder(folder);
                        double elapsed = Now() - start;
                        if (listed != size) throw TestFailure("the listing missed folders");
                        if (r) baseline.values.push_back(elapsed);
                    }});
        std::string name = "keystroke, " + std::to_string(size) + " sub-folders / listing";
        PrintFigure(name.c_str(), "ms", program, baseline);
    }
    process.Close(dialog);
}

void InstallFigures() {
    TempDir dir;
    LayOutProgram(dir, CatalogText(1, 1, L"Big.8bf"));
    CopyInput(L"bench_dialog.exe", dir / L"bench_dialog.exe");
    // A plug-in of 256 MiB: the sample with data appended, so it keeps its version.
    std::string bytes = ReadBytes(Input(L"CorvaneSharpen.8bf"));
    HANDLE file = CreateFileW((dir / L"Big.8bf").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    std::string chunk(1 << 20, '\0');
    for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>(i * 7 + 1);
    for (long long total = bytes.size(); total < (256ll << 20); total += chunk.size())
        WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr);
    CloseHandle(file);
    SetUpEditor(dir);
    const std::wstring destination = dir / L"PS\\Plug-Ins\\Filters\\Big.8bf";
    const std::wstring source = dir / L"Big.8bf";

    Process process(dir / L"CorvaneSetup.exe");
    HWND dialog = process.WaitReady();
    HWND install = GetDlgItem(dialog, IDC_INSTALL);
    // The baseline: the same dialog whose Install is CopyFileW and the same box.
    Process copier(dir / L"bench_dialog.exe", L"\"" + source + L"\" \"" + destination + L"\"");
    HWND copierDialog = copier.WaitReady();
    HWND copierInstall = GetDlgItem(copierDialog, IDC_INSTALL);
    // Install pressed (or the overwrite question answered) until the success box shows.
    auto timeClick = [](const Process& owner, HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
        double start = Now();
        PostMessageW(target, message, wParam, lParam);
        HWND box = WaitVisible(owner.Pid(), kSuccessCaption);
        double elapsed = Now() - start;
        Dismiss(box, IDOK);
        return elapsed;
    };
    Series fresh, freshCopy, over, overCopy;
    Interleave({[&](bool r) {
                    DeleteFileW(destination.c_str());
                    double t = timeClick(process, install, BM_CLICK, 0, 0);
                    if (r) fresh.values.push_back(t);
                },
                [&](bool r) {
                    DeleteFileW(destination.c_str());
                    double t = timeClick(copier, copierInstall, BM_CLICK, 0, 0);
                    if (r) freshCopy.values.push_back(t);
                },
                [&](bool r) {
                    // Timed from the answer to the overwrite question.
                    PostMessageW(install, BM_CLICK, 0, 0);
                    // The question has the dialog's caption.
                    HWND box = WaitVisible(process.Pid(), kDialogCaption, dialog);
                    double t = timeClick(process, box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED),
                                         reinterpret_cast<LPARAM>(GetDlgItem(box, IDYES)));
                    if (r) over.values.push_back(t);
                },
                [&](bool r) {
                    double t = timeClick(copier, copierInstall, BM_CLICK, 0, 0);
                    if (r) overCopy.values.push_back(t);
                }});
    PrintFigure("install 256 MiB / CopyFileW + box", "ms", fresh, freshCopy);
    PrintFigure("install over it / CopyFileW over + box", "ms", over, overCopy);
    copier.Close(copierDialog);
    process.Close(dialog);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: bench_driver INPUTS [RUNS] [FIGURE...]\n");
        return 2;
    }
    g_inputs = argv[1];
    if (argc >= 3) g_runs = std::max(1, _wtoi(argv[2]));
    auto wanted = [&](const wchar_t* name) {
        if (argc < 4) return true;
        for (int i = 3; i < argc; ++i)
            if (!wcscmp(argv[i], name)) return true;
        return false;
    };
    ClearRegistry();
    int status = 0;
    struct Figure {
        const wchar_t* name;
        void (*run)();
    } const figures[] = {{L"start", StartFigure},
                         {L"catalog", CatalogFigure},
                         {L"huge", HugeCountFigure},
                         {L"keystroke", KeystrokeFigures},
                         {L"install", InstallFigures}};
    for (const Figure& figure : figures) {
        if (!wanted(figure.name)) continue;
        try {
            TempDir root;
            SetUpEditor(root);
            figure.run();
        } catch (const std::exception& e) {
            printf("%s: failed: %s\n", Utf8(figure.name).c_str(), e.what());
            fflush(stdout);
            status = 1;
        }
    }
    ClearRegistry();
    return status;
}
