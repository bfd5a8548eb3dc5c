// What the dialog gets after its real work is set up: placement, icons, the
// credit link and the auto-completion note; and the picture for the README.
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "app/placement_logic.h"
#include "tests/e2e/harness.h"

namespace {

const std::wstring kOneEntry = CatalogOf({{L"锐化大师", L"CorvaneSharpen.8bf"}});

HWND FindChildOfClass(HWND parent, const wchar_t* className) {
    return FindWindowExW(parent, nullptr, className, nullptr);
}

// Runs one of the probe's hooks inside the program and returns what it wrote:
// Wine answers WM_GETICON from another process with nothing, and the fonts
// to measure with are the program's own.
std::string Probe(SetupRun& run, const TempDir& dir, const char* hookName, UINT message, const wchar_t* file) {
    const std::wstring dll = dir / L"icon_probe.dll", result = dir / file;
    if (!Exists(dll)) CopyInput(L"icon_probe.dll", dll);
    DeleteFileW(result.c_str());
    HMODULE probe = LoadLibraryW(dll.c_str());
    auto proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probe, hookName)));
    DWORD thread = GetWindowThreadProcessId(run.Dialog(), nullptr);
    HHOOK hook = proc ? SetWindowsHookExW(WH_GETMESSAGE, proc, probe, thread) : nullptr;
    run.Post(message, 0, 0);
    for (int i = 0; i < 250 && ReadBytes(result).empty(); ++i) Sleep(20);
    std::string text = ReadBytes(result);
    if (hook) UnhookWindowsHookEx(hook);
    FreeLibrary(probe);
    return text;
}

// Whether the dialog has its big and small icons ("1 1").
std::wstring ProbeIcons(SetupRun& run, const TempDir& dir) {
    std::string text = Probe(run, dir, "ProbeIcons", WM_APP + 0x4C1, L"icon-probe.txt");
    return std::wstring(text.begin(), text.end());
}

// Both icons set and the link over the hidden label; the note came before
// the dialog showed. (Its place is checked at each scale below.)
void PlacementIconsAndLink() {
    Fixture dir(kOneEntry, {L"CorvaneSharpen.8bf"});
    SetupRun run(dir.exe, false);
    CHECK(run.BoxWithin(10000));
    CHECK(!IsWindowVisible(run.DialogWindow()));
    EXPECT_BOX(run, kNote, IDOK);

    HWND dialog = run.Dialog();
    CHECK_TEXT(ProbeIcons(run, dir), L"1 1");

    HWND link = FindChildOfClass(dialog, L"SysLink");
    CHECK(link != nullptr);
    if (link) {
        RECT linkRect, labelRect;
        GetWindowRect(link, &linkRect);
        GetWindowRect(run.Item(IDC_CREDIT), &labelRect);
        CHECK(EqualRect(&linkRect, &labelRect));
        CHECK(IsWindowVisible(link) && (GetWindowLongW(link, GWL_STYLE) & WS_TABSTOP));
        CHECK_INT(GetDlgCtrlID(link), 0);
        CHECK(GetWindow(link, GW_HWNDNEXT) == nullptr);  // after the template's controls
        wchar_t text[256] = L"";
        GetWindowTextW(link, text, 256);
        CHECK_TEXT(text, L"Photoshop 插件安装工具，由 <a href=\"https://corvane.example/\">Corvane 工作室</a> 提供。");
    }
    run.Exit();
}

// Without a catalog nothing after the catalog is set up: the dialog stays at
// its template place, with no icons, no link and no note.
void NoDecorationsWithoutCatalog() {
    Fixture dir(L"");
    SetupRun run(dir.exe, false);
    EXPECT_BOX(run, (Box{L"Corvane", L"没有找到需要安装的插件。", L"warning", {IDOK}}), IDOK);
    CHECK(!run.BoxWithin(300));
    HWND dialog = run.Dialog();
    RECT window;
    GetWindowRect(dialog, &window);
    CHECK_INT(window.left, 0);
    CHECK_INT(window.top, 0);
    CHECK_TEXT(ProbeIcons(run, dir), L"0 0");
    CHECK(FindChildOfClass(dialog, L"SysLink") == nullptr);
    run.Exit();
}

// The icon group in the built program, in the Chinese (PRC) language: one
// row per image, width and bits per pixel; 64, 40, 24 and 20 pixels serve
// higher display scales.
void IconGroupResource() {
    const std::vector<std::pair<int, int>> images = {{48, 4},  {48, 8},  {48, 32}, {32, 4},  {32, 8},  {32, 32}, {16, 4},
                                                     {16, 8},  {16, 32}, {64, 32}, {40, 32}, {24, 32}, {20, 32}};
    HMODULE exe = LoadLibraryExW(Input(L"CorvaneSetup.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = exe ? FindResourceExW(exe, RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_APP),
                                        MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED))
                      : nullptr;
    CHECK(found != nullptr);
    if (found) {
        const BYTE* group = static_cast<const BYTE*>(LockResource(LoadResource(exe, found)));
        std::vector<std::pair<int, int>> seen;
        for (int i = 0; i < *reinterpret_cast<const WORD*>(group + 4); ++i) {
            const BYTE* entry = group + 6 + 14 * i;  // GRPICONDIRENTRY: square images only
            seen.push_back({entry[0] == entry[1] ? entry[0] : -1, *reinterpret_cast<const WORD*>(entry + 6)});
        }
        std::sort(seen.begin(), seen.end());
        std::vector<std::pair<int, int>> expected = images;
        std::sort(expected.begin(), expected.end());
        CHECK(seen == expected);
    }
    if (exe) FreeLibrary(exe);
}

// The manifest as the loader reads it: aware of the system DPI, and made for
// Windows 7, 8, 8.1, and 10 and 11. Wine reports the dialog of a program
// with or without the declaration as per-monitor aware and stretches
// neither, so only the declaration itself can be checked here.
void ManifestDeclarations() {
    const std::wstring exe = Input(L"CorvaneSetup.exe");
    ACTCTXW request = {};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = exe.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE context = CreateActCtxW(&request);
    CHECK(context != INVALID_HANDLE_VALUE);
    if (context == INVALID_HANDLE_VALUE) return;
    wchar_t aware[64] = L"";
    QueryActCtxSettingsW(0, context, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware", aware,
                         64, nullptr);
    CHECK_TEXT(aware, L"true");
    // Windows 10's layout, which Wine uses too; older headers lack the last field.
    struct {
        DWORD count;
        struct {
            GUID id;
            DWORD type;
            ULONGLONG maxVersionTested;
        } elements[8];
    } compatibility = {};
    CHECK(QueryActCtxW(0, context, nullptr, CompatibilityInformationInActivationContext, &compatibility,
                       sizeof(compatibility), nullptr));
    std::wstring systems;
    for (DWORD i = 0; i < compatibility.count && i < 8; ++i) {
        wchar_t id[64] = L"";
        StringFromGUID2(compatibility.elements[i].id, id, 64);
        systems += id;
        systems += L" ";
    }
    CHECK_TEXT(systems, L"{35138B9A-5D96-4FBD-8E2D-A2440225F93A} {4A2F28E3-53B9-4441-BA9C-D69D4A4A6E38} "
                        L"{1F676C76-80E1-4239-95BB-83D0F6D0DA78} {8E0F7A12-BFB3-4FE8-B9A5-48FD50A15A9A} ");
    ReleaseActCtx(context);
}

// Where the link text is drawn in the link colour (blue), to click on it.
bool FindLinkPoint(HWND link, POINT* point) {
    RECT r;
    GetWindowRect(link, &r);
    HDC screen = GetDC(nullptr);
    bool found = false;
    for (int x = r.left; x < r.right && !found; ++x)
        for (int y = r.top; y < r.bottom && !found; ++y) {
            COLORREF c = GetPixel(screen, x, y);
            if (GetBValue(c) > 150 && GetRValue(c) < 100 && GetGValue(c) < 160) {
                point->x = x - r.left;
                point->y = y - r.top;
                found = true;
            }
        }
    ReleaseDC(nullptr, screen);
    return found;
}

// The https handler's command replaced while it lives; the old one is read
// through a handle that may read and put back however the scenario ends, or
// removed with the key if there was none.
class HandlerSwap {
public:
    explicit HandlerSwap(const std::wstring& command) {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
            keyExisted_ = true;
            DWORD bytes = 0;
            if (RegQueryValueExW(key, nullptr, nullptr, &type_, nullptr, &bytes) == ERROR_SUCCESS) {
                saved_.resize(bytes);
                valueExisted_ = RegQueryValueExW(key, nullptr, nullptr, &type_, saved_.data(), &bytes) == ERROR_SUCCESS;
                saved_.resize(bytes);
            }
            RegCloseKey(key);
            if (!valueExisted_ && bytes) throw TestFailure("cannot save the https handler");
        }
        if (RegSetKeyValueW(HKEY_CLASSES_ROOT, kKey, nullptr, REG_SZ, command.c_str(),
                            static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
            throw TestFailure("cannot set the https handler");
    }
    ~HandlerSwap() {
        if (!keyExisted_) {
            RegDeleteKeyW(HKEY_CLASSES_ROOT, kKey);
        } else if (valueExisted_) {
            RegSetKeyValueW(HKEY_CLASSES_ROOT, kKey, nullptr, type_, saved_.data(), static_cast<DWORD>(saved_.size()));
        } else {
            RegDeleteKeyValueW(HKEY_CLASSES_ROOT, kKey, nullptr);
        }
    }
    HandlerSwap(const HandlerSwap&) = delete;
    HandlerSwap& operator=(const HandlerSwap&) = delete;

private:
    static constexpr const wchar_t* kKey = L"https\\shell\\open\\command";
    bool keyExisted_ = false, valueExisted_ = false;
    DWORD type_ = REG_SZ;
    std::vector<BYTE> saved_;
};

// A click on the author's name, and Enter on the focused link, open the
// address through the shell's https handler, in no folder of the installer's;
// with the shell ended (last: none is left), nothing opens and nothing is said.
void LinkOpensAddress(bool shell) {
    Fixture dir(kOneEntry);
    CopyInput(L"link_recorder.exe", dir / L"link_recorder.exe");
    HandlerSwap handler(L"\"" + (dir / L"link_recorder.exe") + L"\" \"%1\"");

    const std::wstring record = dir / L"link-record.txt";
    auto waitRecord = [&] {
        for (int i = 0; i < 250 && !Exists(record); ++i) Sleep(20);
        Sleep(100);
        std::wstring text = ReadUtf16File(record);
        DeleteFileW(record.c_str());
        return text;
    };
    SetupRun run(dir.exe);
    HWND link = FindChildOfClass(run.Dialog(), L"SysLink");
    POINT at = {};
    Sleep(300);  // let the dialog paint
    CHECK(link && FindLinkPoint(link, &at));
    if (!shell) EndDesktopShell();
    if (link) {
        PostMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        PostMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
        // Opened by the desktop shell, with the user's rights, not the installer's.
        auto opened = [&](const std::wstring& text) {
            return text.find(L"https://corvane.example/") != std::wstring::npos &&
                   text.find(L"\nexplorer.exe\n") != std::wstring::npos &&
                   text.find(dir.path, text.rfind(L'\n')) == std::wstring::npos;
        };
        if (!shell) {
            CHECK(!run.BoxWithin(5000) && !Exists(record));
        } else {
            CHECK(opened(waitRecord()));
            run.Post(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(link), TRUE);
            run.PressKey(VK_RETURN);
            CHECK(opened(waitRecord()));
        }
    }
    CHECK(IsWindowVisible(run.Dialog()));
    run.Exit();
}

// The dialog as the program lays it out, measured by the probe from inside.
struct ControlLayout {
    int id;
    std::string className;
    RECT rect;   // client coordinates
    SIZE text;   // the text's extent in the control's font; -1 for no text
};
struct Layout {
    int dpi = 0;
    int icon = 0, iconHeight = 0, smallIcon = 0, smallIconHeight = 0, captionButton = 0, screenWidth = 0,
        screenHeight = 0;
    SIZE big{}, small{}, shown{};
    RECT window{};
    SIZE client{};
    std::vector<ControlLayout> controls;
};

Layout ProbeLayout(SetupRun& run, const TempDir& dir) {
    std::istringstream in(Probe(run, dir, "ProbeLayout", WM_APP + 0x4C2, L"layout-probe.txt"));
    Layout l;
    std::string word;
    while (in >> word) {
        if (word == "dpi") {
            in >> l.dpi;
        } else if (word == "metrics") {
            in >> l.icon >> l.iconHeight >> l.smallIcon >> l.smallIconHeight >> l.captionButton >> l.screenWidth >>
                l.screenHeight;
        } else if (word == "icons") {
            in >> l.big.cx >> l.big.cy >> l.small.cx >> l.small.cy >> l.shown.cx >> l.shown.cy;
        } else if (word == "window") {
            in >> l.window.left >> l.window.top >> l.window.right >> l.window.bottom;
        } else if (word == "client") {
            in >> l.client.cx >> l.client.cy;
        } else if (word == "control") {
            ControlLayout c;
            in >> c.id >> c.className >> c.rect.left >> c.rect.top >> c.rect.right >> c.rect.bottom >> c.text.cx >>
                c.text.cy;
            l.controls.push_back(c);
        }
    }
    if (!l.dpi || l.controls.empty()) throw TestFailure("the layout probe did not answer");
    return l;
}

// LogPixels for the programs started while it lives (Wine reads it at each
// start); 96 again afterwards, also when a scenario fails half-way.
class DisplayScale {
public:
    explicit DisplayScale(DWORD dpi) {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key_, nullptr) != ERROR_SUCCESS)
            throw TestFailure("cannot open the desktop settings");
        Set(dpi);
    }
    ~DisplayScale() {
        Set(96);
        RegCloseKey(key_);
    }
    DisplayScale(const DisplayScale&) = delete;
    DisplayScale& operator=(const DisplayScale&) = delete;

private:
    void Set(DWORD dpi) { RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), 4); }
    HKEY key_ = nullptr;
};

std::string Name(const ControlLayout& c) { return c.className + " " + std::to_string(c.id); }

// At 100, 150 and 200 %: the icons are loaded at the scaled sizes; every control lies in the client area, none overlaps
// another and no text is wider or taller than its control; the placement
// rule holds.
void LayoutAtEachScale() {
    Fixture dir(CatalogOf({{L"锐化大师 Sharpen", L"CorvaneSharpen.8bf", L"边缘感知锐化，保留细节并抑制噪点。"}}),
                {L"CorvaneSharpen.8bf"});
    for (int dpi : {96, 144, 192}) {
        const std::string at = " at " + std::to_string(dpi) + " dpi";
        DisplayScale scale(dpi);
        SetupRun run(dir.exe);
        Layout l = ProbeLayout(run, dir);
        run.Exit();
        CHECK_INT(l.dpi, dpi);
        // Wine scales these with the DPI as Windows does; the icons follow them.
        CHECK_INT(l.icon, MulDiv(32, dpi, 96));
        CHECK_INT(l.smallIcon, MulDiv(16, dpi, 96));
        CHECK_INT(l.big.cx, l.icon);
        CHECK_INT(l.big.cy, l.iconHeight);
        CHECK_INT(l.small.cx, l.smallIcon);
        CHECK_INT(l.small.cy, l.smallIconHeight);
        CHECK_INT(l.shown.cx, l.icon);
        CHECK_INT(l.shown.cy, l.iconHeight);

        // Where the placement rule (its own unit tests state it) puts it on this screen.
        const PlacementPoint place = ComputeDialogPosition({0, 0, l.screenWidth, l.screenHeight,
                                                            l.window.right - l.window.left, l.window.bottom - l.window.top,
                                                            l.captionButton, true, l.screenWidth, l.screenHeight});
        CHECK_INT(l.window.left, place.x);
        CHECK_INT(l.window.top, place.y);

        const RECT client = {0, 0, l.client.cx, l.client.cy};
        bool linkSeen = false;
        for (size_t i = 0; i < l.controls.size(); ++i) {
            const ControlLayout& c = l.controls[i];
            RECT r = c.rect, both;
            UnionRect(&both, &r, &client);
            if (!EqualRect(&both, &client)) Fail(__FILE__, __LINE__, Name(c) + " leaves the client area" + at);
            for (size_t j = i + 1; j < l.controls.size(); ++j)
                if (IntersectRect(&both, &r, &l.controls[j].rect))
                    Fail(__FILE__, __LINE__, Name(c) + " overlaps " + Name(l.controls[j]) + at);
            if (c.text.cx < 0) continue;
            linkSeen = linkSeen || c.className == "SysLink";
            // A push button draws its text inside its edge and focus rectangle.
            const int margin = c.className == "Button" ? 6 : 0;
            if (c.text.cx + margin > r.right - r.left || c.text.cy > r.bottom - r.top)
                Fail(__FILE__, __LINE__,
                     Name(c) + " cuts its text: " + std::to_string(c.text.cx) + " x " + std::to_string(c.text.cy) +
                         " in " + std::to_string(r.right - r.left) + " x " + std::to_string(r.bottom - r.top) + at);
        }
        CHECK(linkSeen);
    }
}

}  // namespace

void RunDecorationsTests() {
    Scenario("placement, icons and the credit link", PlacementIconsAndLink);
    Scenario("no placement, icons or link without a catalog", NoDecorationsWithoutCatalog);
    Scenario("the icon group holds its thirteen images", IconGroupResource);
    Scenario("the credit link opens its address by click and by Enter", [] { LinkOpensAddress(true); });
    Scenario("the manifest: system DPI awareness, Windows 7 to 11", ManifestDeclarations);
    Scenario("layout and icons at 100, 150 and 200 %", LayoutAtEachScale);
    Scenario("no desktop shell: the credit link opens nothing", [] { LinkOpensAddress(false); });
}

// Saves the dialog as it shows after start-up, or with `picker` the folder
// picker that 浏览… opens over it, as a 24-bit BMP.
int TakeScreenshot(const std::wstring& exe, const std::wstring& out, bool picker) {
    try {
        SetupRun run(exe);
        HWND shown = nullptr;
        if (picker) {
            run.Click(IDC_BROWSE);
            shown = run.WaitOwnedWindow();
        }
        Sleep(picker ? 1500 : 700);
        RECT r, screenRect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        GetWindowRect(run.Dialog(), &r);
        if (shown) {  // the picker over the dialog
            RECT over;
            GetWindowRect(shown, &over);
            UnionRect(&r, &r, &over);
            IntersectRect(&r, &r, &screenRect);
        }
        const int w = r.right - r.left, h = r.bottom - r.top;
        HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
        SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        BITMAPINFOHEADER info = {};
        info.biSize = sizeof(info);
        info.biWidth = w;
        info.biHeight = h;
        info.biPlanes = 1;
        info.biBitCount = 24;
        const DWORD stride = (w * 3 + 3) & ~3u;
        std::string pixels(stride * h, '\0');
        GetDIBits(memory, bitmap, 0, h, &pixels[0], reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
        BITMAPFILEHEADER file = {};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof(file) + sizeof(info);
        file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
        WriteBytes(out, std::string(reinterpret_cast<const char*>(&file), sizeof(file)) +
                            std::string(reinterpret_cast<const char*>(&info), sizeof(info)) + pixels);
        DeleteDC(memory);
        DeleteObject(bitmap);
        ReleaseDC(nullptr, screen);
        if (picker) {
            run.PressKey(VK_ESCAPE);
            for (int i = 0; i < 250 && IsWindow(shown); ++i) Sleep(20);
        }
        run.Click(IDCANCEL);
        return run.WaitExit() == 2 ? 0 : 1;
    } catch (const std::exception& e) {
        fprintf(stderr, "screenshot: %s\n", e.what());
        return 1;
    }
}
