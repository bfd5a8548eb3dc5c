// Install: where the file goes, the overwrite question, and failures with
// the system's code and text.
#include "tests/e2e/harness.h"

namespace {

const std::wstring kCatalog =
    CatalogOf({{L"锐化", L"CorvaneSharpen.8bf", std::nullopt, L"Filters"}, {L"相框", L"CorvaneFrame.8bf"}});

// The system's own text, so the expected box matches Wine's wording and line break.
std::wstring SystemText(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result = text ? text : L"";
    if (text) LocalFree(text);
    return result;
}

// The folder text goes first: editing it rebuilds the sub-folder list.
void Install(SetupRun& run, const std::wstring& folder, const std::wstring& subFolder) {
    run.SetEditText(IDC_PLUGIN_DIR, folder);
    run.SetEditText(IDC_SUB_DIR, subFolder);
    run.Click(IDC_INSTALL);
}

Box Success(const std::wstring& destination) {
    return {L"安装 Photoshop 插件成功",
            L"Photoshop 插件已经成功安装到以下位置:\r\n" + destination + L"\r\n使用之前请重新启动 Photoshop。",
            L"information", {IDOK}};
}

Box Failure(DWORD code) {
    return {L"安装 Photoshop 插件失败", L"[ " + std::to_wstring(code) + L" ] " + SystemText(code), L"warning", {IDOK}};
}

Box Question(const std::wstring& text, int defaultButton) {
    return {L"安装 Photoshop 插件", text, L"question", {IDYES, IDNO}, defaultButton};
}

Box Overwrite(const std::wstring& installed, const std::wstring& newVersion) {
    return Question(L"注意：插件文件[ CorvaneSharpen.8bf ]已经存在。\r\n\r\n已经安装的版本：" + installed +
                        L"\r\n将要安装的版本：" + newVersion +
                        L"\r\n\r\n选择[ 是( YES ) ]将覆盖安装，选择[ 否( NO ) ]将取消安装。\r\n您是否要继续安装？",
                    IDYES);
}

int EntriesIn(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE listing = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (listing == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    do count += wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L"..");
    while (FindNextFileW(listing, &found));
    FindClose(listing);
    return count;
}

// Destinations: a sub-folder under a folder with a trailing backslash, the
// folder itself, a typed nested sub-folder, another entry's file, a blank
// folder box (refused: it names no folder), the folder "\"; and no entry
// selected.
void Destinations() {
    Fixture dir(kCatalog, {L"CorvaneSharpen.8bf", L"CorvaneFrame.8bf"});
    const std::wstring plugIns = dir / L"PS\\Plug-Ins";
    MakeDirs(plugIns + L"\\Filters\\Corvane");
    MakeDirs(plugIns + L"\\Empty");
    const std::string sharpen = ReadBytes(Input(L"CorvaneSharpen.8bf")), frame = ReadBytes(Input(L"CorvaneFrame.8bf"));
    SetupRun run(dir.exe);

    Install(run, plugIns + L"\\", L"Filters");
    EXPECT_BOX(run, Success(plugIns + L"\\Filters\\CorvaneSharpen.8bf"), IDOK);
    CHECK(ReadBytes(plugIns + L"\\Filters\\CorvaneSharpen.8bf") == sharpen);

    Install(run, plugIns + L"\\", L"");
    EXPECT_BOX(run, Success(plugIns + L"\\CorvaneSharpen.8bf"), IDOK);
    CHECK(ReadBytes(plugIns + L"\\CorvaneSharpen.8bf") == sharpen);

    // Not a listed sub-folder, and a command with an unusual notification code.
    run.SetEditText(IDC_PLUGIN_DIR, plugIns);
    run.SetEditText(IDC_SUB_DIR, L"Filters\\Corvane");
    run.Post(WM_COMMAND, MAKEWPARAM(IDC_INSTALL, 1234), 0);
    EXPECT_BOX(run, Success(plugIns + L"\\Filters\\Corvane\\CorvaneSharpen.8bf"), IDOK);
    CHECK(ReadBytes(plugIns + L"\\Filters\\Corvane\\CorvaneSharpen.8bf") == sharpen);

    run.Select(IDC_PLUGIN_LIST, 1);
    Install(run, plugIns, L"Filters");
    EXPECT_BOX(run, Success(plugIns + L"\\Filters\\CorvaneFrame.8bf"), IDOK);
    CHECK(ReadBytes(plugIns + L"\\Filters\\CorvaneFrame.8bf") == frame);

    const std::wstring rootless = plugIns.substr(3) + L"\\Empty";
    Install(run, L"", rootless);
    EXPECT_BOX(run, Failure(ERROR_PATH_NOT_FOUND), IDOK);
    Install(run, L"   ", rootless);
    EXPECT_BOX(run, Failure(ERROR_PATH_NOT_FOUND), IDOK);
    CHECK_INT(EntriesIn(plugIns + L"\\Empty"), 0);
    // "\" is the program's current drive, here the temp folder's; joined with
    // one backslash, not as a server "\\<sub-folder>".
    Install(run, L"\\", rootless);
    EXPECT_BOX(run, Success(L"\\" + rootless + L"\\CorvaneFrame.8bf"), IDOK);
    CHECK(ReadBytes(plugIns + L"\\Empty\\CorvaneFrame.8bf") == frame);
    DeleteFileW((plugIns + L"\\Empty\\CorvaneFrame.8bf").c_str());

    // No catalog entry selected: nothing is installed and nothing is said.
    SendMessageW(run.Item(IDC_PLUGIN_LIST), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    Install(run, plugIns, L"Empty");
    CHECK(!run.BoxWithin(700));
    CHECK_INT(EntriesIn(plugIns + L"\\Empty"), 0);
    run.Exit();
}

// An existing file is asked about, with the installed and the new version;
// No or Esc leaves it and says nothing, Yes replaces it, equal versions included.
void Overwrite() {
    Fixture dir(kCatalog, {L"CorvaneSharpen.8bf"});
    const std::wstring plugIns = dir / L"Plug-Ins";
    const std::wstring target = plugIns + L"\\Filters\\CorvaneSharpen.8bf";
    MakeDirs(plugIns + L"\\Filters");
    const std::string sharpen = ReadBytes(Input(L"CorvaneSharpen.8bf")), noise = ReadBytes(Input(L"CorvaneNoise.8bf"));
    WriteBytes(target, noise);
    SetupRun run(dir.exe);

    Install(run, plugIns, L"Filters");
    EXPECT_BOX(run, Overwrite(L"[NO VERSION]", L"2.1.0.7"), IDNO);
    CHECK(!run.BoxWithin(700));
    CHECK(ReadBytes(target) == noise);
    run.Click(IDC_INSTALL);
    EXPECT_BOX(run, Overwrite(L"[NO VERSION]", L"2.1.0.7"), IDCANCEL);  // Esc: no Yes either
    CHECK(!run.BoxWithin(700));
    CHECK(ReadBytes(target) == noise);

    run.Click(IDC_INSTALL);
    EXPECT_BOX(run, Overwrite(L"[NO VERSION]", L"2.1.0.7"), IDYES);
    EXPECT_BOX(run, Success(target), IDOK);
    CHECK(ReadBytes(target) == sharpen);

    // Another version installed: its own version is shown, not the new one.
    CopyInput(L"CorvaneFrame.8bf", target);
    run.Click(IDC_INSTALL);
    EXPECT_BOX(run, Overwrite(L"1.4.2.0", L"2.1.0.7"), IDNO);
    CHECK(!run.BoxWithin(700));

    // A version holding a line break and a right-to-left override is shown,
    // not laid out: it cannot add lines to the question.
    std::string spoof = ReadBytes(Input(L"CorvaneFrame.8bf"));
    const std::string from("1\0.\0" "4\0.\0" "2\0.\0" "0\0", 14), to("9\0\r\0\n\0\x2e\x20" "9\0.\0" "9\0", 14);
    for (size_t at = spoof.find(from); at != std::string::npos; at = spoof.find(from, at)) spoof.replace(at, 14, to);
    WriteBytes(target, spoof);
    run.Click(IDC_INSTALL);
    EXPECT_BOX(run, Overwrite(L"9\xfffd\xfffd\xfffd" L"9.9", L"2.1.0.7"), IDNO);

    // Equal versions; a trailing byte tells the old copy from the new.
    WriteBytes(target, sharpen + "x");
    run.Click(IDC_INSTALL);
    EXPECT_BOX(run, Overwrite(L"2.1.0.7", L"2.1.0.7"), IDYES);
    EXPECT_BOX(run, Success(target), IDOK);
    CHECK(ReadBytes(target) == sharpen);
    run.Exit();
}

// Failed copies: the code and the system's text, each in the failure box.
void Failures() {
    Fixture dir(kCatalog, {L"CorvaneSharpen.8bf"});  // Frame's file is missing
    const std::wstring plugIns = dir / L"Plug-Ins";
    MakeDirs(plugIns + L"\\Taken\\CorvaneSharpen.8bf");
    MakeDirs(plugIns + L"\\Held");
    const std::wstring held = plugIns + L"\\Held\\CorvaneSharpen.8bf";
    WriteBytes(held, "old");
    const std::wstring loaded = plugIns + L"\\Loaded\\CorvaneSharpen.8bf";
    MakeDirs(plugIns + L"\\Loaded");
    CopyInput(L"CorvaneFrame.8bf", loaded);
    const std::string frame = ReadBytes(loaded);
    // 245 + "\CorvaneSharpen.8bf" exceeds 259 characters; the folder itself fits.
    const std::wstring deep = plugIns + L"\\" + std::wstring(245 - plugIns.size() - 1, L'd');
    MakeDirs(deep);
    // Links as the plug-in folder and as a sub-folder, to a folder holding a
    // file of the plug-in's name.
    const std::wstring outside = dir / L"outside";
    MakeDirs(outside);
    WriteBytes(outside + L"\\CorvaneSharpen.8bf", "outside");
    const std::string links = "'" + UnixPath(dir / L"Linked") + "' '" + UnixPath(plugIns + L"\\Link") + "'";
    CHECK_INT(RunShell("for l in " + links + "; do ln -sfn '" + UnixPath(outside) + "' \"$l\"; done"), 0);
    // Each row: the entry, folder and sub-folder, the installed version asked
    // about (none: not asked), the code, and a folder with its number of
    // entries afterwards: nothing new, no temporary file.
    struct Row {
        int entry;
        std::wstring folder, subFolder, installed;
        DWORD code;
        std::wstring counted;
        int entries;
    } const rows[] = {
        {1, plugIns, L"", L"", ERROR_FILE_NOT_FOUND, plugIns, 5},
        {0, plugIns + L"\\Missing", L"", L"", ERROR_PATH_NOT_FOUND, plugIns, 5},
        {0, plugIns, L"Taken", L"[NO VERSION]", ERROR_ACCESS_DENIED, plugIns + L"\\Taken", 1},
        {0, plugIns, L"Held", L"[NO VERSION]", ERROR_SHARING_VIOLATION, plugIns + L"\\Held", 1},
        // The editor has the plug-in loaded: it is in use (a rename over it says 5 on Windows).
        {0, plugIns, L"Loaded", L"1.4.2.0", ERROR_SHARING_VIOLATION, plugIns + L"\\Loaded", 1},
        // Too long for a path: refused, never cut down to another path.
        {0, deep, L"", L"", ERROR_FILENAME_EXCED_RANGE, deep, 0},
        {0, plugIns, std::wstring(300, L's'), L"", ERROR_FILENAME_EXCED_RANGE, deep, 0},
        {0, deep + L"\\" + std::wstring(40, L'e'), L"", L"", ERROR_FILENAME_EXCED_RANGE, deep, 0},
        {0, dir / L"Linked", L"", L"", ERROR_INVALID_NAME, outside, 1},
        {0, plugIns, L"Link", L"", ERROR_INVALID_NAME, outside, 1},
    };
    HANDLE file = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HMODULE module = LoadLibraryW(loaded.c_str());
    CHECK(file != INVALID_HANDLE_VALUE && module != nullptr);
    SetupRun run(dir.exe);
    for (const Row& row : rows) {
        run.Select(IDC_PLUGIN_LIST, row.entry);
        Install(run, row.folder, row.subFolder);
        if (!row.installed.empty()) EXPECT_BOX(run, Overwrite(row.installed, L"2.1.0.7"), IDYES);
        EXPECT_BOX(run, Failure(row.code), IDOK);
        CheckInt(__FILE__, __LINE__, ("entries in " + Utf8(row.counted)).c_str(), EntriesIn(row.counted), row.entries);
    }
    CloseHandle(file);
    FreeLibrary(module);
    CHECK(ReadBytes(held) == "old");
    CHECK(ReadBytes(loaded) == frame);
    CHECK(ReadBytes(outside + L"\\CorvaneSharpen.8bf") == "outside");
    run.Exit();
    RunShell("rm -f " + links);
}

// Catalog names that leave the program's folder, by their text or through a
// link in it, or name the folder itself: no version read, and Install refuses
// them with 123 before asking or touching anything. A relative path below the
// folder still installs below the chosen folder, with either separator, but
// not through a link there (here to another file system).
void NamesOutsideTheProgramFolder() {
    Fixture dir(L"", {}, L"prog");  // its catalog names the fixture's own path
    const std::wstring program = dir.program, outside = dir / L"outside.8bf", secret = dir / L"secret";
    const std::wstring plugIns = dir / L"Plug-Ins", landing = plugIns + L"\\outside.8bf";
    const std::wstring names[] = {L"x64\\CorvaneFrame.8bf", L"x64/CorvaneFrame.8bf", L"..\\outside.8bf",
                                  L"Filters\\..\\..\\outside.8bf", L"../outside.8bf", outside, outside.substr(2), L"",
                                  L".", L".\\.", L"link\\secret.8bf", L"flink.8bf"};
    const int count = sizeof(names) / sizeof(names[0]);
    std::vector<Entry> entries;
    for (int i = 0; i < count; ++i) entries.push_back({L"e" + std::to_wstring(i + 1), names[i]});
    WriteUtf16File(program + L"\\Corvane.ini", CatalogOf(entries));
    MakeDirs(program + L"\\x64");
    CopyInput(L"CorvaneFrame.8bf", program + L"\\x64\\CorvaneFrame.8bf");
    CopyInput(L"CorvaneFrame.8bf", outside);
    MakeDirs(secret);
    CopyInput(L"CorvaneFrame.8bf", secret + L"\\secret.8bf");
    MakeDirs(plugIns + L"\\Filters\\x64");
    MakeDirs(plugIns + L"\\Shm");
    const std::string shm = "/dev/shm/corvane-e2e-" + std::to_string(GetCurrentProcessId());
    const std::string links = "'" + UnixPath(program) + "/link' '" + UnixPath(program) + "/flink.8bf' '" +
                              UnixPath(plugIns) + "/Shm/x64'";
    CHECK_INT(RunShell("ln -sfn '" + UnixPath(secret) + "' '" + UnixPath(program) + "/link' && ln -sfn '" +
                       UnixPath(outside) + "' '" + UnixPath(program) + "/flink.8bf' && mkdir -p " + shm +
                       " && ln -sfn " + shm + " '" + UnixPath(plugIns) + "/Shm/x64'"),
              0);
    WriteBytes(landing, "old");  // where ..\ from Filters lands: a file there would be asked about
    const std::string frame = ReadBytes(outside);
    SetupRun run(dir.exe);

    CHECK_TEXT(run.Text(IDC_FILE_VERSION), L"1.4.2.0");
    Install(run, plugIns, L"Filters");
    EXPECT_BOX(run, Success(plugIns + L"\\Filters\\x64\\CorvaneFrame.8bf"), IDOK);
    CHECK(ReadBytes(plugIns + L"\\Filters\\x64\\CorvaneFrame.8bf") == frame);
    run.Select(IDC_PLUGIN_LIST, 1);
    CHECK_TEXT(run.Text(IDC_FILE_VERSION), L"1.4.2.0");
    Install(run, plugIns, L"Shm");
    EXPECT_BOX(run, Failure(ERROR_INVALID_NAME), IDOK);  // x64 there is a link: not written through
    for (int i = 2; i < count; ++i) {
        run.Select(IDC_PLUGIN_LIST, i);
        CheckText(__FILE__, __LINE__, ("version of \"" + Utf8(names[i]) + "\"").c_str(), run.Text(IDC_FILE_VERSION),
                  L"[NO VERSION]");
        Install(run, plugIns, L"Filters");
        EXPECT_BOX(run, Failure(ERROR_INVALID_NAME), IDOK);
    }
    CHECK(ReadBytes(landing) == "old" && ReadBytes(outside) == frame);
    CHECK_INT(EntriesIn(dir.path), 4);  // prog, Plug-Ins, outside.8bf, secret
    CHECK_INT(EntriesIn(plugIns), 3);   // Filters, Shm, outside.8bf
    CHECK_INT(EntriesIn(plugIns + L"\\Filters"), 1);
    CHECK_INT(EntriesIn(plugIns + L"\\Shm\\x64"), 0);
    run.Exit();
    RunShell("rm -f " + links + "; rm -rf " + shm);  // Wine's DeleteFileW on a link deletes its target
}

// Someone who can write the plug-in folder swaps, three times each, the
// temporary file for a link during the copy or right after the check before
// the rename, or the sub-folder for a link right after the rename (each row:
// the watcher's mode and what its link points to). No file elsewhere is
// written or deleted, no temporary file is left, and a swapped name is left
// as the swapper made it.
void Swaps() {
    Fixture dir(kCatalog);
    WriteBytes(dir / L"CorvaneSharpen.8bf", ReadBytes(Input(L"CorvaneSharpen.8bf")) + std::string(24 << 20, 'n'));
    const std::string plugIn = ReadBytes(dir / L"CorvaneSharpen.8bf");
    const std::wstring filters = dir / L"Plug-Ins\\Filters", target = filters + L"\\CorvaneSharpen.8bf";
    const std::wstring outside = dir / L"outside", elsewhere = outside + L"\\CorvaneSharpen.8bf";
    const std::wstring ready = dir / L"ready", done = dir / L"done";
    MakeDirs(filters);
    MakeDirs(outside);
    // Links are removed from the Unix side: Wine's DeleteFileW on a link would
    // delete what it points to.
    const std::string unixFilters = "'" + UnixPath(filters) + "'";
    const std::string restore = "find '" + UnixPath(dir.path) + "' -type l -delete; [ ! -d " + unixFilters +
                                ".real ] || mv " + unixFilters + ".real " + unixFilters;
    const std::pair<std::string, std::wstring> rows[] = {{"temporary", elsewhere}, {"checked", elsewhere},
                                                         {"folder", outside}};
    SetupRun run(dir.exe);
    for (const auto& [mode, linkTo] : rows)
        for (int attempt = 0; attempt < 3; ++attempt) {
            RunShell(restore);
            WriteBytes(target, "old");
            WriteBytes(elsewhere, "not the installer's");
            DeleteFileW(ready.c_str());
            StartShell("python3 '" + Utf8(g_inputs) + "/swap_watcher.py' " + unixFilters + " '" +
                           UnixPath(linkTo) + "' '" + UnixPath(ready) + "' " + mode,
                       done);
            CHECK(WaitForFile(ready));
            Install(run, dir / L"Plug-Ins", L"Filters");
            EXPECT_BOX(run, Overwrite(L"[NO VERSION]", L"2.1.0.7"), IDYES);
            MessageBoxInfo box = run.WaitBox(30000);
            run.Answer(box, IDOK);
            CHECK(WaitForFile(done));
            CheckInt(__FILE__, __LINE__, (mode + ": elsewhere untouched").c_str(),
                     ReadBytes(elsewhere) == "not the installer's", 1);
            CheckInt(__FILE__, __LINE__, (mode + ": the box " + Utf8(box.text)).c_str(),
                     box.text == Success(target).text || box.text == Failure(ERROR_FILE_INVALID).text, 1);
            const std::string installed = ReadBytes(mode == "folder" ? filters + L".real\\CorvaneSharpen.8bf"
                                                                         : target);
            // Wine renames by name: a link put at the temporary name after
            // the check is moved over the destination (Windows renames by handle).
            CHECK(installed == "old" || installed == plugIn ||
                  (mode == "checked" && installed == "not the installer's"));
            CHECK_INT(RunShell("! (find '" + UnixPath(dir.path) + "' -name '~*' -type f | grep -q .)"), 0);
        }
    RunShell(restore);
    run.Exit();
}

// Images of each machine: this build's own plug-in and editor as mingw-w64
// makes them, and the heads of real images (tests/fixtures/pe), which is all
// that is read. The ARM64 program's load configuration goes where its
// sections put it; an ARM64X linker sets the CHPE metadata pointer in it.
std::string MachineImage(const std::wstring& kind) {
    if (kind == L"own plug-in") return ReadBytes(Input(L"CorvaneSharpen.8bf"));
    if (kind == L"own editor") return ReadBytes(Input(L"Photoshop.exe"));
    if (kind == L"text") return "[PlugInInfo]\r\n";
    if (kind == L"x86" || kind == L"x64") return ReadBytes(Input((kind + L".head").c_str()));
    std::string image = ReadBytes(Input(L"arm64.head"));
    image.resize(0x20110);
    image += ReadBytes(Input(L"arm64.loadconfig"));
    if (kind == L"ARM64X") image[0x20110 + 0xc8 + 1] = 0x10;
    return image;
}

// Before copying, a plug-in that the folder's editor (Photoshop.exe beside the
// plug-in folder) cannot load is asked about, naming both machines, No being
// the default; No writes nothing. Images that fit, or that cannot be read, go
// on without a word.
void MachineQuestion() {
    Fixture dir(L"[PlugInInfo]\r\nCount=1\r\nPlugIn1=P\r\n[P]\r\nName=P\r\nSrcFile=P.8bf\r\n");
    const std::wstring plugIns = dir / L"PS\\Plug-Ins", installed = plugIns + L"\\P.8bf";
    MakeDirs(plugIns);
    const bool x64 = sizeof(void*) == 8;
    const std::wstring own = x64 ? L"64 位 (x64)" : L"32 位 (x86)", other = x64 ? L"x86" : L"x64";
    struct Row {
        std::wstring plugIn, editor, plugInName, editorName;  // names: the question's, none when not asked
        int answer;
    } const rows[] = {
        {L"own plug-in", L"ARM64", own, L"ARM64", IDNO},
        {L"own plug-in", L"ARM64", own, L"ARM64", IDYES},
        {other, L"own editor", x64 ? L"32 位 (x86)" : L"64 位 (x64)", own, IDNO},
        {L"x64", L"ARM64", L"64 位 (x64)", L"ARM64", IDNO},
        {L"ARM64X", L"x86", L"ARM64X", L"32 位 (x86)", IDNO},
        {L"own plug-in", L"own editor", L"", L"", 0},
        {L"ARM64X", L"x64", L"", L"", 0},
        {L"ARM64X", L"ARM64", L"", L"", 0},
        {L"text", L"ARM64", L"", L"", 0},
        {L"own plug-in", L"text", L"", L"", 0},
    };
    SetupRun run(dir.exe);
    for (const Row& row : rows) {
        const std::string plugIn = MachineImage(row.plugIn);
        WriteBytes(dir / L"P.8bf", plugIn);
        WriteBytes(dir / L"PS\\Photoshop.exe", MachineImage(row.editor));
        DeleteFileW(installed.c_str());
        Install(run, plugIns, L"");
        if (row.answer)
            EXPECT_BOX(run,
                       Question(L"插件文件[ P.8bf ]是 " + row.plugInName + L" 版本，而这个插件目录所属的 Photoshop 是 " +
                                    row.editorName + L" 版本，不能加载它。\r\n\r\n您是否仍要安装？",
                                IDNO),
                       row.answer);
        if (row.answer == IDNO) {
            CHECK(!run.BoxWithin(700));
            CHECK(!Exists(installed));
        } else {
            EXPECT_BOX(run, Success(installed), IDOK);
            CHECK(ReadBytes(installed) == plugIn);
        }
    }
    run.Exit();
}

// A copy that runs out of space half-way leaves the installed file as it was
// and no temporary file. T: is a 16 MB RAM disk (scripts/ramdisk.sh): a new
// 20 MB file fits neither beside the installed 4 MB one nor in its place.
void FullDisk() {
    if (!GetEnvironmentVariableW(L"CORVANE_RAMDISK", nullptr, 0))
        throw TestFailure("no RAM disk as T: (scripts/ramdisk.sh mounts it, as root): full disk not tested");
    Fixture dir(kCatalog);
    WriteBytes(dir / L"CorvaneSharpen.8bf", ReadBytes(Input(L"CorvaneSharpen.8bf")) + std::string(20 << 20, 'n'));
    const std::wstring plugIns = L"T:\\Plug-Ins", installed = plugIns + L"\\CorvaneSharpen.8bf";
    const std::string old = ReadBytes(Input(L"CorvaneFrame.8bf")) + std::string(4 << 20, 'o');
    MakeDirs(plugIns);
    WriteBytes(installed, old);
    SetupRun run(dir.exe);
    Install(run, plugIns, L"");
    EXPECT_BOX(run, Overwrite(L"1.4.2.0", L"2.1.0.7"), IDYES);
    EXPECT_BOX(run, Failure(ERROR_DISK_FULL), IDOK);
    CHECK(ReadBytes(installed) == old);
    CHECK_INT(EntriesIn(plugIns), 1);
    run.Exit();
    RemoveTree(plugIns);
}

// A program as packaged (signed, say) starts, installs and ends like the built one.
void StartAndInstall() {
    Fixture dir(kCatalog, {L"CorvaneSharpen.8bf"});
    MakeDirs(dir / L"Plug-Ins\\Filters");
    SetupRun run(dir.exe);
    Install(run, dir / L"Plug-Ins", L"Filters");
    EXPECT_BOX(run, Success(dir / L"Plug-Ins\\Filters\\CorvaneSharpen.8bf"), IDOK);
    CHECK(ReadBytes(dir / L"Plug-Ins\\Filters\\CorvaneSharpen.8bf") == ReadBytes(Input(L"CorvaneSharpen.8bf")));
    run.Exit();
}

}  // namespace

void RunSmokeTests() { Scenario("start, install and exit", StartAndInstall); }

void RunInstallTests() {
    Scenario("install destinations: sub-folder, folder itself, typed, other entry, blank folder, \\ folder, no entry",
             Destinations);
    Scenario("overwrite question: [NO VERSION], other and equal versions, No, Esc and Yes", Overwrite);
    Scenario("copy failures: codes 2, 3, 5, 32 and 206 with the system text", Failures);
    Scenario("catalog names outside the program's folder, through links, or the folder: no version, 123",
             NamesOutsideTheProgramFolder);
    Scenario("machine types: a plug-in the folder's editor cannot load is asked about, No the default",
             MachineQuestion);
    Scenario("full disk: the installed file stays whole, no temporary file left", FullDisk);
    Scenario("temporary file or sub-folder swapped for a link: nothing elsewhere written or deleted", Swaps);
}
