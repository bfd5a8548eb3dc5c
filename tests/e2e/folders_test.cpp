// The plug-in folder list from the registry, and the sub-folder list with its
// preferred selection.
#include <map>

#include "tests/e2e/harness.h"

namespace {

const wchar_t kZh[] = L"增效工具";
const wchar_t kEn[] = L"Plug-Ins";

// A catalog with one entry per pair of preferred sub-folder names.
std::wstring Catalog(const std::vector<std::pair<std::wstring, std::wstring>>& subDirs) {
    std::vector<Entry> entries;
    for (size_t i = 0; i < subDirs.size(); ++i) {
        const std::wstring n = std::to_wstring(i + 1);
        entries.push_back({L"插件" + n, L"p" + n + L".8bf", std::nullopt, subDirs[i].first, subDirs[i].second});
    }
    return CatalogOf(entries);
}

std::wstring Joined(const std::vector<std::wstring>& names) {
    std::wstring text;
    for (const std::wstring& name : names) text += (text.empty() ? L"" : L" | ") + name;
    return text;
}
#define CHECK_LIST(actual, expected) CHECK_TEXT(Joined(actual), Joined(expected))

// The folder's sub-directories in the order Wine's own listing gives them.
std::vector<std::wstring> Listing(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE listing = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (listing == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(listing, &found));
    FindClose(listing);
    return names;
}

// The version keys as the registry enumerates them, in one view: by default
// the one that this driver writes.
std::vector<std::wstring> VersionKeys(REGSAM view = 0) {
    std::vector<std::wstring> names;
    HKEY root;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Adobe\\Photoshop", 0, KEY_READ | view, &root)) return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = 256;
        if (RegEnumKeyExW(root, i, name, &size, nullptr, nullptr, nullptr, nullptr)) break;
        names.push_back(name);
    }
    RegCloseKey(root);
    return names;
}

// The folders expected in the list: each key's folder in enumeration order,
// skipping keys mapped to "" and stopping at the first key not in the map.
std::vector<std::wstring> InRegistryOrder(const std::map<std::wstring, std::wstring>& folderOf, REGSAM view = 0) {
    std::vector<std::wstring> folders;
    for (const std::wstring& key : VersionKeys(view)) {
        auto found = folderOf.find(key);
        if (found == folderOf.end()) break;
        if (!found->second.empty()) folders.push_back(found->second);
    }
    return folders;
}

std::vector<std::wstring> ListedFolders(const Fixture& dir) {
    SetupRun run(dir.exe);
    return run.Items(IDC_PLUGIN_DIR);
}

// The selected sub-folder, "-" for none; flags an edit field that disagrees.
std::wstring Picked(SetupRun& run) {
    int selection = run.Selection(IDC_SUB_DIR);
    std::vector<std::wstring> items = run.Items(IDC_SUB_DIR);
    std::wstring text = run.Text(IDC_SUB_DIR), item = selection < 0 ? L"-" : items.at(selection);
    return item == text || (selection < 0 && text.empty()) ? item : item + L" (edit field: " + text + L")";
}

void Notify(SetupRun& run, int id, WORD code) {
    SendMessageW(run.Dialog(), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(run.Item(id)));
}

// Keystrokes go in at the end of the folder text.
void TypeAtEnd(SetupRun& run, const std::wstring& keys) {
    HWND edit = FindWindowExW(run.Item(IDC_PLUGIN_DIR), nullptr, L"Edit", nullptr);
    SendMessageW(edit, EM_SETSEL, 0x7fff, 0x7fff);
    run.Type(IDC_PLUGIN_DIR, keys);
}

// Both folder names present: only 增效工具. Key names long then short, of the
// same length, short then long; a stored path with and without its trailing
// backslash; a longer path after shorter ones; a version whose plug-in folder
// is gone. Under Wine the order is 10.0, 7.0, 8.0, 9.0, CS6.1.
void FoldersFromRegistry() {
    Fixture dir(Catalog({{L"", L""}}));
    std::wstring both = dir / L"ps10", en = dir / L"ps7", gone = dir / L"ps9",
                 longer = dir / L"Adobe Photoshop CS6.1 Extended (64 Bit)";
    for (const std::wstring& install : {both, longer}) {
        MakeDirs(install + L"\\" + kZh);
        MakeDirs(install + L"\\" + kEn);
    }
    MakeDirs(en + L"\\" + kEn);
    MakeDirs(gone);
    SetPhotoshopVersions({{L"10.0", both}, {L"7.0", en + L"\\"}, {L"8.0", en}, {L"9.0", gone}, {L"CS6.1", longer}});
    CHECK_INT(VersionKeys().size(), 5);
    std::vector<std::wstring> expected = InRegistryOrder({{L"10.0", both + L"\\" + kZh},
                                                          {L"7.0", en + L"\\" + kEn},
                                                          {L"8.0", en + L"\\" + kEn},
                                                          {L"9.0", L""},
                                                          {L"CS6.1", longer + L"\\" + kZh}});
    CHECK_INT(expected.size(), 4);
    SetupRun run(dir.exe);
    CHECK_LIST(run.Items(IDC_PLUGIN_DIR), expected);
    CHECK_INT(run.Selection(IDC_PLUGIN_DIR), 0);
    if (!expected.empty()) CHECK_TEXT(run.Text(IDC_PLUGIN_DIR), expected[0]);
}

// A 32-character key name (no room in its 32-character buffer), an
// ApplicationPath longer than its buffer and a key without ApplicationPath
// (an uninstaller's leftover) are each skipped: the keys after them count.
void UnreadableKeysAreSkipped() {
    Fixture dir(Catalog({{L"", L""}}));
    std::wstring first = dir / L"one", second = dir / L"two", third = dir / L"three";
    for (const std::wstring& install : {first, second, third}) MakeDirs(install + L"\\" + kEn);
    const std::wstring key31 = L"1" + std::wstring(30, L'x'), key32 = L"2" + std::wstring(31, L'x');
    struct Row {
        std::vector<PhotoshopVersion> versions;
        std::map<std::wstring, std::wstring> folderOf;
    } const rows[] = {
        {{{key31, first}, {key32, second}, {L"3.0", third}},
         {{key31, first + L"\\" + kEn}, {key32, L""}, {L"3.0", third + L"\\" + kEn}}},
        {{{L"1.0", first}, {L"2.0", second + L"\\" + std::wstring(300, L'x')}, {L"3.0", third}},
         {{L"1.0", first + L"\\" + kEn}, {L"2.0", L""}, {L"3.0", third + L"\\" + kEn}}},
        {{{L"0.0", L"", false}, {L"9.0", first}}, {{L"0.0", L""}, {L"9.0", first + L"\\" + kEn}}},
    };
    for (const Row& row : rows) {
        SetPhotoshopVersions(row.versions);
        CHECK_INT(VersionKeys().size(), row.versions.size());
        std::vector<std::wstring> expected = InRegistryOrder(row.folderOf);
        CHECK_INT(expected.size(), row.versions.size() - 1);
        SetupRun run(dir.exe);
        CHECK_LIST(run.Items(IDC_PLUGIN_DIR), expected);
        if (!expected.empty()) CHECK_TEXT(run.Text(IDC_PLUGIN_DIR), expected[0]);
    }
}

// Both builds read the 32-bit view and then the 64-bit one, each by the same
// rules (a key without a plug-in folder adds nothing, a leftover key without
// ApplicationPath is skipped, repeats within a view stay); a
// 64-bit-view folder already listed from the 32-bit view, in whatever ASCII
// case, is not listed again.
void FoldersFromBothViews() {
    Fixture dir(Catalog({{L"Filters", L""}}));
    const std::wstring a = dir / L"ps-a", b = dir / L"ps-b", shared = dir / L"ps-shared", bare = dir / L"ps-bare",
                       after = dir / L"ps-after";
    for (const std::wstring& install : {a, b, shared, after}) MakeDirs(install + L"\\" + kEn + L"\\Filters");
    MakeDirs(bare);
    SetPhotoshopVersions({{L"1.0", a},
                          {L"2.0", a + L"\\"},
                          {L"3.0", bare},
                          {L"4.0", shared},
                          {L"5.0", L"", false},
                          {L"6.0", after}},
                         KEY_WOW64_32KEY);
    SetPhotoshopVersions({{L"1.0", b},
                          {L"2.0", dir / L"PS-SHARED\\"},
                          {L"3.0", b},
                          {L"4.0", a},
                          {L"5.0", L"", false},
                          {L"6.0", after}},
                         KEY_WOW64_64KEY);
    const std::wstring inA = a + L"\\" + kEn, inB = b + L"\\" + kEn, inAfter = after + L"\\" + kEn;
    std::vector<std::wstring> expected = InRegistryOrder(
        {{L"1.0", inA}, {L"2.0", inA}, {L"3.0", L""}, {L"4.0", shared + L"\\" + kEn}, {L"5.0", L""}, {L"6.0", inAfter}},
        KEY_WOW64_32KEY);
    for (const std::wstring& folder : InRegistryOrder(
             {{L"1.0", inB}, {L"2.0", L""}, {L"3.0", inB}, {L"4.0", L""}, {L"5.0", L""}, {L"6.0", L""}}, KEY_WOW64_64KEY))
        expected.push_back(folder);
    CHECK_INT(expected.size(), 6);
    CHECK_INT(VersionKeys(KEY_WOW64_32KEY).size(), 6);
    CHECK_INT(VersionKeys(KEY_WOW64_64KEY).size(), 6);

    SetupRun run(dir.exe);
    CHECK_LIST(run.Items(IDC_PLUGIN_DIR), expected);
    CHECK_INT(run.Selection(IDC_PLUGIN_DIR), 0);
    CHECK_TEXT(run.Text(IDC_PLUGIN_DIR), inA);
    CHECK_TEXT(Picked(run), L"Filters");
}

// Only one view holds version keys: each alone fills the list.
void FoldersFromEitherView() {
    Fixture dir(Catalog({{L"", L""}}));
    const std::wstring install = dir / L"ps";
    MakeDirs(install + L"\\" + kZh);
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        ClearRegistry();
        SetPhotoshopVersions({{L"10.0", install}}, view);
        CHECK_LIST(ListedFolders(dir), (std::vector<std::wstring>{install + L"\\" + kZh}));
    }
}

// A rebuild selects the first listed whole-name match of either name, ASCII
// case folded, else item 0; a catalog change selects by prefix, SubDir1 first,
// searching from item 1 round to item 0, and otherwise leaves things alone.
void PreferredSubFolder() {
    Fixture dir(Catalog({{L"import-export", L"FILTERS"},
                                {L"import-export", L"FILTERS"},
                                {L"Filter", L""},
                                {L"Effects", L""},
                                {L"", L""},
                                {L"Nothing", L"imp"},
                                {L"Nothing", L"None"},
                                {L"été", L""}}));
    std::wstring folder = dir / L"ps" + L"\\" + kEn;
    for (const wchar_t* name : {L"Filters", L"Effects 2", L"Effects", L"Import-Export", L"Été", L"Hidden"})
        MakeDirs(folder + L"\\" + name);
    SetFileAttributesW((folder + L"\\Hidden").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    CHECK(GetFileAttributesW((folder + L"\\Hidden").c_str()) & FILE_ATTRIBUTE_HIDDEN);
    WriteUtf16File(folder + L"\\Readme.txt", L"not a folder");
    WriteUtf16File(folder + L"\\Filters.8bf", L"not a folder");
    SetPhotoshopVersions({{L"10.0", dir / L"ps"}});
    // Wine, like NTFS, lists names sorted without regard to case.
    std::vector<std::wstring> listing = Listing(folder);
    CHECK_LIST(listing, (std::vector<std::wstring>{L"Effects", L"Effects 2", L"Filters", L"Hidden",
                                                   L"Import-Export", L"Été"}));

    SetupRun run(dir.exe);
    CHECK_LIST(run.Items(IDC_SUB_DIR), listing);
    CHECK_TEXT(Picked(run), L"Filters");  // SubDir2, listed before SubDir1's folder
    run.Select(IDC_PLUGIN_LIST, 1);
    CHECK_TEXT(Picked(run), L"Import-Export");
    run.Select(IDC_PLUGIN_LIST, 2);
    CHECK_TEXT(Picked(run), L"Filters");
    run.SetEditText(IDC_PLUGIN_DIR, folder);
    CHECK_TEXT(Picked(run), L"Effects");
    run.Select(IDC_PLUGIN_LIST, 3);
    CHECK_TEXT(Picked(run), L"Effects 2");
    run.SetEditText(IDC_PLUGIN_DIR, folder);
    CHECK_TEXT(Picked(run), L"Effects");
    run.Select(IDC_PLUGIN_LIST, 2);
    run.Select(IDC_PLUGIN_LIST, 4);  // empty names match nothing
    CHECK_TEXT(Picked(run), L"Filters");
    run.Select(IDC_PLUGIN_LIST, 5);
    CHECK_TEXT(Picked(run), L"Import-Export");
    run.SetEditText(IDC_SUB_DIR, L"Own");
    run.Select(IDC_PLUGIN_LIST, 6);
    CHECK_TEXT(run.Text(IDC_SUB_DIR), L"Own");
    // The window manager folds É; the rebuild folds ASCII letters only.
    run.Select(IDC_PLUGIN_LIST, 7);
    CHECK_TEXT(Picked(run), L"Été");
    run.SetEditText(IDC_PLUGIN_DIR, folder);
    CHECK_TEXT(Picked(run), L"Effects");
    CHECK_LIST(run.Items(IDC_SUB_DIR), listing);
}

// A pick relists from the picked item's text, each keystroke relists from the
// edit field, and a text that names no listable folder empties the list.
void FolderBoxChanges() {
    Fixture dir(Catalog({{L"Pick", L""}}));
    std::wstring one = dir / L"ps1\\" + kEn, two = dir / L"ps2\\" + kEn;
    for (const wchar_t* name : {L"A", L"Pick", L"Z"}) MakeDirs(one + L"\\" + name);
    for (const wchar_t* name : {L"B", L"Pick", L".cache"}) MakeDirs(two + L"\\" + name);
    MakeDirs(one + L"2\\C");
    SetPhotoshopVersions({{L"1.0", dir / L"ps1"}, {L"2.0", dir / L"ps2"}});
    std::vector<std::wstring> folders = InRegistryOrder({{L"1.0", one}, {L"2.0", two}});

    SetupRun run(dir.exe);
    CHECK_LIST(run.Items(IDC_PLUGIN_DIR), folders);
    if (folders.size() != 2) return;
    CHECK_LIST(run.Items(IDC_SUB_DIR), Listing(folders[0]));
    CHECK_TEXT(Picked(run), L"Pick");
    run.Select(IDC_PLUGIN_DIR, 1);
    CHECK_LIST(run.Items(IDC_SUB_DIR), Listing(folders[1]));
    CHECK_TEXT(Picked(run), L"Pick");
    // On Windows a pick is announced while the edit field still shows the
    // old text (WM_SETTEXT into a combo's edit field notifies nobody).
    SendMessageW(run.Item(IDC_PLUGIN_DIR), CB_SETCURSEL, 0, 0);
    run.SetEditText(IDC_PLUGIN_DIR, folders[1]);
    Notify(run, IDC_PLUGIN_DIR, CBN_SELCHANGE);
    CHECK_LIST(run.Items(IDC_SUB_DIR), Listing(folders[0]));

    run.SetEditText(IDC_PLUGIN_DIR, one);
    TypeAtEnd(run, L"2");
    CHECK_LIST(run.Items(IDC_SUB_DIR), (std::vector<std::wstring>{L"C"}));
    CHECK_TEXT(Picked(run), L"C");
    TypeAtEnd(run, L"x");
    CHECK(run.Items(IDC_SUB_DIR).empty());
    CHECK_TEXT(Picked(run), L"-");
    TypeAtEnd(run, L"\b");
    CHECK_LIST(run.Items(IDC_SUB_DIR), (std::vector<std::wstring>{L"C"}));
    TypeAtEnd(run, L"\\");
    CHECK_LIST(run.Items(IDC_SUB_DIR), (std::vector<std::wstring>{L"C"}));
    // Longer than the 260-character buffer, though its start names a folder.
    std::wstring tooLong = one;
    while (tooLong.size() < 300) tooLong += L"\\.";
    run.SetEditText(IDC_PLUGIN_DIR, tooLong);
    CHECK(run.Items(IDC_SUB_DIR).empty());
    CHECK_TEXT(Picked(run), L"-");
}

// 浏览… opens the system's folder picker, driven here like a user: a name
// typed into its file-name field is taken in the folder in the box (where
// the picker starts), a whole path anywhere; Enter fills the box and relists
// the sub-folders as an edit does, Esc changes nothing. The button is reached
// with Tab from the folder box and pressed with Enter or Space too.
void BrowseForFolder() {
    Fixture dir(Catalog({{L"Pick", L""}}));
    const std::wstring start = dir / L"ps", chosen = start + L"\\" + kEn, other = dir / L"other";
    for (const wchar_t* name : {L"A", L"Pick", L"Z"}) MakeDirs(chosen + L"\\" + name);
    MakeDirs(other + L"\\B");
    SetupRun run(dir.exe);
    run.SetEditText(IDC_PLUGIN_DIR, start);
    struct Row {
        UINT key;  // 0: a click
        std::wstring typed, box, picked;
        std::vector<std::wstring> subFolders;
    } const rows[] = {
        {0, kEn, chosen, L"Pick", Listing(chosen)},
        {VK_RETURN, L"", chosen, L"Own", Listing(chosen)},  // Esc
        {VK_SPACE, other, other, L"B", {L"B"}},
    };
    for (const Row& row : rows) {
        if (row.key) {
            run.Post(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(run.Item(IDC_PLUGIN_DIR)), TRUE);
            // The Tab goes to whatever has the focus: first the folder box's edit.
            for (int i = 0; i < 100 && GetParent(run.Focused()) != run.Item(IDC_PLUGIN_DIR); ++i) Sleep(20);
            run.PressKey(VK_TAB);
            for (int i = 0; i < 100 && run.Focused() != run.Item(IDC_BROWSE); ++i) Sleep(20);
            CHECK(run.Focused() == run.Item(IDC_BROWSE));
        }
        row.key ? run.PressKey(row.key) : run.Click(IDC_BROWSE);
        HWND picker = run.WaitOwnedWindow(), name = nullptr;
        for (int i = 0; i < 100 && !(name = FindWindowExW(picker, nullptr, L"Edit", nullptr)); ++i) Sleep(20);
        for (wchar_t c : row.typed) SendMessageW(name, WM_CHAR, c, 1);
        run.PressKey(row.typed.empty() ? VK_ESCAPE : VK_RETURN);
        for (int i = 0; i < 250 && IsWindow(picker); ++i) Sleep(20);
        CHECK(!IsWindow(picker));
        CHECK_TEXT(run.Text(IDC_PLUGIN_DIR), row.box);
        CHECK_LIST(run.Items(IDC_SUB_DIR), row.subFolders);
        CHECK_TEXT(run.Text(IDC_SUB_DIR), row.picked);
        run.SetEditText(IDC_SUB_DIR, L"Own");
    }
}

// With Count=0 the folder list stays unfilled, yet a typed folder is listed
// with item 0 selected, nothing being preferred.
void NoCatalog() {
    Fixture dir(CatalogOf({}));
    std::wstring folder = dir / L"ps\\" + kEn;
    for (const wchar_t* name : {L"Filters", L"Effects"}) MakeDirs(folder + L"\\" + name);
    SetPhotoshopVersions({{L"10.0", dir / L"ps"}});
    SetupRun run(dir.exe, false);
    EXPECT_BOX(run, (Box{L"Corvane", L"没有找到需要安装的插件。", L"warning", {IDOK}}), IDOK);
    CHECK(run.Items(IDC_PLUGIN_DIR).empty());
    CHECK(run.Items(IDC_SUB_DIR).empty());
    TypeAtEnd(run, folder);
    CHECK_LIST(run.Items(IDC_SUB_DIR), Listing(folder));
    CHECK_INT(run.Selection(IDC_SUB_DIR), 0);
    TypeAtEnd(run, L"x");
    CHECK(run.Items(IDC_SUB_DIR).empty());
}

}  // namespace

void RunFoldersTests() {
    Scenario("plug-in folders from the registry, in its order", FoldersFromRegistry);
    Scenario("unreadable version keys are skipped, the later ones listed", UnreadableKeysAreSkipped);
    Scenario("both registry views: the 32-bit view's folders, then the 64-bit view's new ones", FoldersFromBothViews);
    Scenario("either registry view alone", FoldersFromEitherView);
    Scenario("preferred sub-folder: whole names on a rebuild, prefixes on a catalog change", PreferredSubFolder);
    Scenario("folder box: a pick and each keystroke relist the sub-folders", FolderBoxChanges);
    Scenario("浏览…: the folder picker fills the folder box, Esc changes nothing; Tab, Enter, Space", BrowseForFolder);
    Scenario("without a catalog a typed folder is still listed", NoCatalog);
}
