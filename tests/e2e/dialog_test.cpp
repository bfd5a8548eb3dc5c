// The dialog itself: its template as built, the catalog list, the ways out.
#include "tests/e2e/harness.h"

namespace {

const wchar_t kThreeEntries[] =
    L"[PlugInInfo]\r\nCount=3\r\nPlugIn1=Sharpen\r\nPlugIn2=Frame\r\nPlugIn3=Glow\r\n"
    L"[Sharpen]\r\nName=锐化大师\r\nSrcFile=CorvaneSharpen.8bf\r\nDescription=边缘感知锐化。\r\n"
    L"[Frame]\r\nName=相框工坊\r\nSrcFile=CorvaneFrame.8bf\r\nDescription=装饰相框。\r\n"
    L"[Glow]\r\nName=柔光\r\nSrcFile=CorvaneGlow.8bf\r\nDescription=柔和光晕。\r\n";

struct ControlSpec {
    int id;
    const wchar_t* className;
    DWORD style;  // besides WS_CHILD
    bool visible;
    const wchar_t* caption;
    int x, y, cx, cy;
};

const ControlSpec kControls[] = {
    {IDCANCEL, L"Button", BS_PUSHBUTTON | WS_TABSTOP, true, L"退出", 340, 135, 50, 14},
    {-1, L"Static", SS_LEFT | WS_GROUP, true, L"插件目录：", 7, 93, 41, 8},
    {IDC_CREDIT, L"Static", SS_LEFT | WS_GROUP, false, L"Photoshop 插件安装工具，由 Corvane 工作室 提供。", 7, 137, 188, 8},
    {IDC_PLUGIN_DIR, L"ComboBox", CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP, true, nullptr, 54, 91, 282, 126},
    {IDC_BROWSE, L"Button", BS_PUSHBUTTON | WS_TABSTOP, true, L"浏览…", 340, 90, 50, 14},
    {-1, L"Static", SS_LEFT | WS_GROUP, true, L"子目录：", 7, 113, 41, 8},
    {IDC_SUB_DIR, L"ComboBox", CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP, true, nullptr, 54, 111, 146, 127},
    {-1, L"Static", SS_LEFT | WS_GROUP, true, L"插件文件：", 7, 37, 41, 8},
    {IDC_SRC_FILE, L"Static", SS_LEFT | WS_GROUP, true, nullptr, 54, 37, 293, 8},
    {IDC_INSTALL, L"Button", BS_PUSHBUTTON | WS_TABSTOP, true, L"安装", 286, 135, 50, 14},
    {-1, L"Static", SS_LEFT | WS_GROUP, true, L"插件描述：", 7, 66, 41, 8},
    {IDC_DESCRIPTION, L"Static", SS_LEFT | WS_GROUP, true, nullptr, 54, 66, 293, 8},
    {-1, L"Static", SS_ICON, true, nullptr, 369, 7, 20, 20},
    {IDC_LAUNCH, L"Button", BS_PUSHBUTTON | WS_TABSTOP, true, L"启动 Photoshop", 206, 135, 77, 14},
    {-1, L"Static", SS_LEFT | WS_GROUP, true, L"文件版本：", 7, 51, 41, 8},
    {IDC_FILE_VERSION, L"Static", SS_LEFT | WS_GROUP, true, nullptr, 54, 51, 293, 8},
    {-1, L"Static", SS_ETCHEDHORZ, true, nullptr, 7, 82, 383, 1},
    {-1, L"Static", SS_LEFT | WS_GROUP, true, L"所有插件：", 7, 9, 41, 8},
    {IDC_PLUGIN_LIST, L"ComboBox", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, true, nullptr, 54, 7, 146, 127},
    {-1, L"Static", SS_ETCHEDHORZ, true, nullptr, 7, 28, 383, 1},
};

std::wstring Class(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

bool IsCombo(const ControlSpec& spec) { return spec.className == std::wstring(L"ComboBox"); }

// The live dialog: controls in tab order, with their kinds, visibility,
// captions and places. Dialog units become pixels through the base units
// that make the client area exactly 397 x 156 units.
void TemplateAsShown() {
    TempDir dir;
    LayOutProgram(dir, kThreeEntries);
    SetupRun run(dir / L"CorvaneSetup.exe");
    HWND dialog = run.Dialog();
    wchar_t caption[64];
    GetWindowTextW(dialog, caption, 64);
    CHECK_TEXT(caption, L"安装 Photoshop 插件");
    CHECK(GetMenu(dialog) == nullptr);

    RECT client;
    GetClientRect(dialog, &client);
    int baseX = 0, baseY = 0;
    for (int b = 4; b < 40; ++b) {
        if (MulDiv(397, b, 4) == client.right) baseX = b;
        if (MulDiv(156, b, 8) == client.bottom) baseY = b;
    }
    CHECK(baseX && baseY);
    POINT origin = {0, 0};
    ClientToScreen(dialog, &origin);

    HWND child = GetWindow(dialog, GW_CHILD);
    for (const ControlSpec& spec : kControls) {
        if (!child) {
            CHECK(!"fewer controls than the template has");
            return;
        }
        std::string name = "control " + std::to_string(&spec - kControls) + " (id " + std::to_string(spec.id) + ")";
        CheckInt(__FILE__, __LINE__, (name + " id").c_str(), GetDlgCtrlID(child), spec.id);
        CheckText(__FILE__, __LINE__, (name + " class").c_str(), Class(child), spec.className);
        CheckInt(__FILE__, __LINE__, (name + " visible").c_str(), IsWindowVisible(child) != 0, spec.visible);
        if (spec.caption) {
            wchar_t text[256] = L"";
            GetWindowTextW(child, text, 256);
            CheckText(__FILE__, __LINE__, (name + " caption").c_str(), text, spec.caption);
        }
        RECT r;
        GetWindowRect(child, &r);
        OffsetRect(&r, -origin.x, -origin.y);
        CheckInt(__FILE__, __LINE__, (name + " left").c_str(), r.left, MulDiv(spec.x, baseX, 4));
        CheckInt(__FILE__, __LINE__, (name + " top").c_str(), r.top, MulDiv(spec.y, baseY, 8));
        // Icons and etched lines size themselves, and a combo box's template
        // height is its dropped-down height: the resource check covers those.
        if (!(spec.style & (SS_ICON | SS_ETCHEDHORZ) && !IsCombo(spec))) {
            CheckInt(__FILE__, __LINE__, (name + " width").c_str(), r.right - r.left, MulDiv(spec.cx, baseX, 4));
            if (!IsCombo(spec))
                CheckInt(__FILE__, __LINE__, (name + " height").c_str(), r.bottom - r.top, MulDiv(spec.cy, baseY, 8));
        }
        child = GetWindow(child, GW_HWNDNEXT);
    }
    // Neither editable box scrolls its edit field, and no list sorts.
    for (int id : {IDC_PLUGIN_DIR, IDC_SUB_DIR}) {
        HWND edit = FindWindowExW(run.Item(id), nullptr, L"Edit", nullptr);
        CHECK(edit && !(GetWindowLongW(edit, GWL_STYLE) & ES_AUTOHSCROLL));
    }
    for (int id : {IDC_PLUGIN_DIR, IDC_SUB_DIR, IDC_PLUGIN_LIST})
        CHECK(!(GetWindowLongW(run.Item(id), GWL_STYLE) & CBS_SORT));
    CHECK(GetDlgItem(dialog, IDOK) == nullptr);
    run.Click(IDCANCEL);
    CHECK_INT(run.WaitExit(), 2);
}

// Reads one DLGITEMTEMPLATEEX and moves past it.
struct ItemTemplate {
    DWORD exStyle, style, id;
    short x, y, cx, cy;
    std::wstring className;  // a predefined class's atom read as its name
    std::wstring title;
    WORD titleOrdinal;
};

const WORD* ReadItem(const WORD* p, ItemTemplate* item) {
    auto dword = [](const WORD* w) { return w[0] | (static_cast<DWORD>(w[1]) << 16); };
    item->exStyle = dword(p + 2);
    item->style = dword(p + 4);
    item->x = p[6];
    item->y = p[7];
    item->cx = p[8];
    item->cy = p[9];
    item->id = dword(p + 10);
    p += 12;
    if (p[0] == 0xFFFF) {
        item->className = p[1] == 0x80 ? L"Button" : p[1] == 0x82 ? L"Static" : p[1] == 0x85 ? L"ComboBox" : L"?";
        p += 2;
    } else {
        item->className = reinterpret_cast<const wchar_t*>(p);
        p += item->className.size() + 1;
    }
    item->titleOrdinal = p[0] == 0xFFFF ? p[1] : 0;
    if (p[0] == 0xFFFF) {
        p += 2;
    } else {
        item->title = reinterpret_cast<const wchar_t*>(p);
        p += item->title.size() + 1;
    }
    p += 1 + p[0] / 2;  // creation data
    return reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t(3));
}

// The dialog template resource, exactly: extended, Chinese (PRC), its style,
// font, and every control's id, class, style and rectangle.
void TemplateResource() {
    HMODULE exe = LoadLibraryExW(Input(L"CorvaneSetup.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    CHECK(exe != nullptr);
    if (!exe) return;
    HRSRC found = FindResourceExW(exe, RT_DIALOG, MAKEINTRESOURCEW(IDD_SETUP), MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
    CHECK(found != nullptr);
    if (found) {
        const WORD* t = static_cast<const WORD*>(LockResource(LoadResource(exe, found)));
        CHECK_INT(t[0], 1);       // dlgVer
        CHECK_INT(t[1], 0xFFFF);  // an extended template
        DWORD style = t[6] | (static_cast<DWORD>(t[7]) << 16);
        CHECK_INT(style, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS);
        CHECK_INT(t[8], 20);
        CHECK_INT(static_cast<short>(t[9]), 0);
        CHECK_INT(static_cast<short>(t[10]), 0);
        CHECK_INT(t[11], 397);
        CHECK_INT(t[12], 156);
        CHECK_INT(t[13], 0);  // no menu
        CHECK_INT(t[14], 0);  // the standard class
        const wchar_t* title = reinterpret_cast<const wchar_t*>(t + 15);
        CHECK_TEXT(title, L"安装 Photoshop 插件");
        const WORD* font = t + 15 + wcslen(title) + 1;
        CHECK_INT(font[0], 8);
        CHECK_INT(font[1], FW_NORMAL);
        CHECK_INT(font[2] & 0xff, 0);
        const wchar_t* face = reinterpret_cast<const wchar_t*>(font + 3);
        CHECK_TEXT(face, L"MS Shell Dlg");
        const WORD* p = reinterpret_cast<const WORD*>(
            (reinterpret_cast<uintptr_t>(face + wcslen(face) + 1) + 3) & ~uintptr_t(3));
        for (const ControlSpec& spec : kControls) {
            ItemTemplate item;
            p = ReadItem(p, &item);
            std::string name = "item " + std::to_string(&spec - kControls);
            CheckInt(__FILE__, __LINE__, (name + " id").c_str(), static_cast<int>(item.id), spec.id);
            if (lstrcmpiW(item.className.c_str(), spec.className)) Fail(__FILE__, __LINE__, name + " class " + Utf8(item.className));
            CheckInt(__FILE__, __LINE__, (name + " style").c_str(), item.style,
                     WS_CHILD | (spec.visible ? WS_VISIBLE : 0) | spec.style);
            CheckInt(__FILE__, __LINE__, (name + " ex-style").c_str(), item.exStyle,
                     spec.id == IDC_PLUGIN_DIR ? WS_EX_TRANSPARENT : 0);
            CheckInt(__FILE__, __LINE__, (name + " x").c_str(), item.x, spec.x);
            CheckInt(__FILE__, __LINE__, (name + " y").c_str(), item.y, spec.y);
            CheckInt(__FILE__, __LINE__, (name + " cx").c_str(), item.cx, spec.cx);
            CheckInt(__FILE__, __LINE__, (name + " cy").c_str(), item.cy, spec.cy);
            if (spec.style == SS_ICON)
                CheckInt(__FILE__, __LINE__, (name + " icon").c_str(), item.titleOrdinal, IDI_APP);
            else
                CheckText(__FILE__, __LINE__, (name + " title").c_str(), item.title,
                          spec.caption ? spec.caption : spec.id == IDC_SRC_FILE ? L"SrcFile"
                                                      : spec.id == IDC_DESCRIPTION ? L"description"
                                                      : spec.id == IDC_FILE_VERSION ? L"File Version" : L"");
        }
    }
    FreeLibrary(exe);
}

// The list holds the entries in file order; entry 0 is selected and shown,
// and a new pick shows that entry.
void CatalogListAndSelection() {
    TempDir dir;
    LayOutProgram(dir, kThreeEntries, {L"CorvaneSharpen.8bf", L"CorvaneFrame.8bf", L"CorvaneGlow.8bf"});
    SetupRun run(dir / L"CorvaneSetup.exe");
    std::vector<std::wstring> items = run.Items(IDC_PLUGIN_LIST);
    CHECK_INT(items.size(), 3);
    if (items.size() == 3) {
        CHECK_TEXT(items[0], L"锐化大师");
        CHECK_TEXT(items[1], L"相框工坊");
        CHECK_TEXT(items[2], L"柔光");
    }
    CHECK_INT(run.Selection(IDC_PLUGIN_LIST), 0);
    CHECK_TEXT(run.Text(IDC_SRC_FILE), L"CorvaneSharpen.8bf");
    CHECK_TEXT(run.Text(IDC_FILE_VERSION), L"2.1.0.7");
    CHECK_TEXT(run.Text(IDC_DESCRIPTION), L"边缘感知锐化。");
    CHECK(run.Enabled(IDC_PLUGIN_LIST) && run.Enabled(IDC_INSTALL));

    run.Select(IDC_PLUGIN_LIST, 2);
    CHECK_TEXT(run.Text(IDC_SRC_FILE), L"CorvaneGlow.8bf");
    CHECK_TEXT(run.Text(IDC_FILE_VERSION), L"3.0 (中文)");
    CHECK_TEXT(run.Text(IDC_DESCRIPTION), L"柔和光晕。");
    run.Select(IDC_PLUGIN_LIST, 1);
    CHECK_TEXT(run.Text(IDC_SRC_FILE), L"CorvaneFrame.8bf");
    CHECK_TEXT(run.Text(IDC_FILE_VERSION), L"1.4.2.0");
    CHECK_TEXT(run.Text(IDC_DESCRIPTION), L"装饰相框。");
    run.Click(IDCANCEL);
    CHECK_INT(run.WaitExit(), 2);
}

// Exit, Esc and the close box all end the program with 2; Enter away from
// any push button does nothing.
void WaysOut() {
    TempDir dir;
    LayOutProgram(dir, kThreeEntries);
    {
        SetupRun run(dir / L"CorvaneSetup.exe");
        run.Click(IDCANCEL);
        CHECK_INT(run.WaitExit(), 2);
    }
    {
        SetupRun run(dir / L"CorvaneSetup.exe");
        run.Dialog();
        run.PressKey(VK_ESCAPE);
        CHECK_INT(run.WaitExit(), 2);
    }
    {
        SetupRun run(dir / L"CorvaneSetup.exe");
        run.Post(WM_SYSCOMMAND, SC_CLOSE, 0);
        CHECK_INT(run.WaitExit(), 2);
    }
    {
        SetupRun run(dir / L"CorvaneSetup.exe");
        run.Post(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(run.Item(IDC_PLUGIN_LIST)), TRUE);
        run.PressKey(VK_RETURN);
        CHECK(!run.BoxWithin(500));
        CHECK(IsWindowVisible(run.Dialog()));
        run.Click(IDCANCEL);
        CHECK_INT(run.WaitExit(), 2);
    }
}

}  // namespace

void RunDialogTests() {
    Scenario("the template as shown", TemplateAsShown);
    Scenario("the template resource", TemplateResource);
    Scenario("catalog list and selection", CatalogListAndSelection);
    Scenario("Exit, Esc and the close box end with 2; Enter elsewhere does nothing", WaysOut);
}
