#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/user_texts.h"
#include "common/wide_text.h"
#include "install/install_logic.h"
#include "photoshop/editor_logic.h"

// In the tables below an empty expectation means the path is refused.
TEST(Install, DestinationJoinsFolderSubFolderAndFile) {
    const std::wstring deep(240, L'p');  // deep + "\Filters" + "\Foo.8bf" is 256 characters
    struct Case { std::wstring folder; const wchar_t *subFolder, *srcFile; size_t size; std::wstring expect; };
    const Case cases[] = {
        {L"C:\\PS\\Plug-Ins\\", L"Filters", L"Foo.8bf", kPathSize, L"C:\\PS\\Plug-Ins\\Filters\\Foo.8bf"},
        {L"C:\\PS\\Plug-Ins", L"", L"Foo.8bf", kPathSize, L"C:\\PS\\Plug-Ins\\Foo.8bf"},
        {L"C:\\PS", L"Filters\\", L"Foo.8bf", kPathSize, L"C:\\PS\\Filters\\Foo.8bf"},
        {L"C:\\PS\\\\", L"\\\\Filters", L"Foo.8bf", kPathSize, L"C:\\PS\\Filters\\Foo.8bf"},
        {L"C:\\PS", L"\\", L"Foo.8bf", kPathSize, L"C:\\PS\\Foo.8bf"},
        {L"C:\\PS", L"A\\\\B", L"Foo.8bf", kPathSize, L"C:\\PS\\A\\\\B\\Foo.8bf"},  // within a part: as typed
        {L"C:\\PS", L"", L"x64\\Foo.8bf", kPathSize, L"C:\\PS\\x64\\Foo.8bf"},
        {L"Plug-Ins", L"Filters", L"Foo.8bf", kPathSize, L"Plug-Ins\\Filters\\Foo.8bf"},  // relative, as typed
        {L"", L"", L"Foo.8bf", kPathSize, L""},  // blank: not the current drive's root
        {L"   ", L"Filters", L"Foo.8bf", kPathSize, L""},
        {L"\\", L"", L"Foo.8bf", kPathSize, L"\\Foo.8bf"},
        {L"\\", L"Filters", L"Foo.8bf", kPathSize, L"\\Filters\\Foo.8bf"},  // not a server named Filters
        {L"\\", L"\\Filters", L"Foo.8bf", kPathSize, L"\\Filters\\Foo.8bf"},
        {L"C:\\", L"", L"Foo.8bf", kPathSize, L"C:\\Foo.8bf"},
        {L"C:\\", L"", L"Foo.8bf", 11, L"C:\\Foo.8bf"},
        {L"C:\\", L"", L"Foo.8bf", 10, L""},
        {L"\\\\server\\share\\", L"Filters", L"Foo.8bf", kPathSize, L"\\\\server\\share\\Filters\\Foo.8bf"},
        {L"\\\\server", L"", L"Foo.8bf", kPathSize, L"\\\\server\\Foo.8bf"},
        {deep, L"Filters", L"Foo.8bf", 257, deep + L"\\Filters\\Foo.8bf"},
        {deep, L"Filters", L"Foo.8bf", 256, L""},  // cut in the file
        {deep, L"Filters", L"Foo.8bf", 248, L""},  // cut in the sub-folder
        {deep, L"", L"Foo.8bf", 248, L""},
        {deep, L"Filters", L"Foo.8bf", 241, L""},  // cut at the separator
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.folder.substr(0, 20) + L"|" + c.subFolder) + " " + std::to_string(c.size));
        std::vector<wchar_t> out(c.size);
        bool ok = ComposeInstallDestination(c.folder.c_str(), c.subFolder, c.srcFile, out.data(), c.size);
        EXPECT_EQ(ok ? std::wstring(out.data()) : L"", c.expect);
    }
}

TEST(Install, TemporaryNameFitsWhereverTheDestinationDoes) {
    struct Case { std::wstring destination; unsigned unique; size_t size; std::wstring expect; };
    const std::wstring folder = L"C:\\" + std::wstring(248, L'f') + L"\\";  // 252 characters
    const Case cases[] = {
        {L"C:\\PS\\Filters\\Foo.8bf", 0x51a2b, kPathSize, L"C:\\PS\\Filters\\~cv1a2b.tmp"},
        {L"Foo.8bf", 0xbeef, kPathSize, L"~cvbeef.tmp"},
        {L"\\Foo.8bf", 0x0007, kPathSize, L"\\~cv0007.tmp"},
        {L"C:\\PS/Filters/Foo.8bf", 0x1a2b, kPathSize, L"C:\\PS/Filters/~cv1a2b.tmp"},  // either separator
        {folder + L"Foo.8bf", 0x1a2b, kPathSize, folder + L"~1a2b"},  // 259 characters
        {folder + L"Foo.8bf", 0x1a2b, 264, folder + L"~cv1a2b.tmp"},
        {folder + L"F", 0x1a2b, 256, folder + L"~2b"},
        {folder + L"F", 0x1a2b, 255, folder + L"~b"},
        {folder + L"F", 0x1a2b, 254, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.destination.substr(0, 20)) + " " + std::to_string(c.size));
        std::vector<wchar_t> out(c.size);
        bool ok = ComposeTemporaryPath(c.destination.c_str(), c.unique, out.data(), c.size);
        EXPECT_EQ(ok ? std::wstring(out.data()) : L"", c.expect);
    }
    // Any destination of 259 characters whose name has two or more.
    for (size_t name = 2; name <= 14; ++name) {
        const std::wstring destination = L"C:\\" + std::wstring(255 - name, L'f') + L"\\" + std::wstring(name, L'n');
        std::vector<wchar_t> out(kPathSize);
        EXPECT_TRUE(ComposeTemporaryPath(destination.c_str(), 0xffff, out.data(), kPathSize)) << name;
    }
}

TEST(Launch, PhotoshopIsLookedForBesideThePlugInFolder) {
    const std::wstring deep = L"C:\\" + std::wstring(242, L'd');  // "Photoshop.exe" is 13 characters
    struct Case { std::wstring folder, expect; };
    const Case cases[] = {
        {L"C:\\Apps\\Photoshop\\Plug-Ins\\", L"C:\\Apps\\Photoshop\\Photoshop.exe"},
        {L"C:/PS/Plug-Ins", L"C:/PS/Photoshop.exe"},
        {L"C:/PS/Plug-Ins/", L"C:/PS/Plug-Ins/Photoshop.exe"},
        {L"C:\\PS/Plug-Ins", L"C:\\Photoshop.exe"},  // the last backslash wins
        {L"", L"\\Photoshop.exe"},
        {L"C:\\", L"C:\\Photoshop.exe"},
        {deep + L"\\Plug-Ins", deep + L"\\Photoshop.exe"},  // 259 characters
        {deep + L"d\\Plug-Ins", L""},
        {std::wstring(245, L'n'), std::wstring(245, L'n') + L"\\Photoshop.exe"},
        {std::wstring(246, L'n'), L""},
        {L"C:\\PS\\" + std::wstring(300, L'x'), L"C:\\PS\\Photoshop.exe"},  // only the result must fit
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.folder));
        std::vector<wchar_t> out(kPathSize);
        bool ok = DerivePhotoshopPath(c.folder.c_str(), out.data(), kPathSize);
        EXPECT_EQ(ok ? std::wstring(out.data()) : L"", c.expect);
    }
}

TEST(Launch, OpenCommandKeyAppendsTheShellSuffix) {
    std::vector<wchar_t> out(kAssociationSize);
    ASSERT_TRUE(ComposeOpenCommandKey(L"Photoshop.Image.13", out.data(), out.size()));
    EXPECT_EQ(std::wstring(out.data()), L"Photoshop.Image.13\\shell\\open\\command");
    // The suffix is 19 characters, so 288 is the longest class name that fits.
    EXPECT_TRUE(ComposeOpenCommandKey(std::wstring(288, L'c').c_str(), out.data(), out.size()));
    EXPECT_FALSE(ComposeOpenCommandKey(std::wstring(289, L'c').c_str(), out.data(), out.size()));
}

TEST(Launch, OpenCommandMustEndInTheQuotedPlaceholder) {
    const std::wstring longest(259, L'p'), tooLong(260, L'p');
    struct Case { std::wstring command, expect; };
    const Case cases[] = {
        {L"\"C:\\PS\\Photoshop.exe\" \"%1\"", L"C:\\PS\\Photoshop.exe"},
        {L"C:\\Program Files\\PS\\Photoshop.exe \"%1\"", L"C:\\Program Files\\PS\\Photoshop.exe"},
        {L"\"C:\\PS\\Photoshop.exe\" /s \"%1\"", L"C:\\PS\\Photoshop.exe\" /s"},  // fails to start later
        {L"\"a\" \"%1\"", L"a"},
        {L"ab \"%1\"", L"ab"},
        {L"a \"%1\"", L""},  // six characters or fewer
        {L"C:\\PS\\Photoshop.exe %1", L""},
        {L"\"C:\\PS\\Photoshop.exe\" \"%1\" /x", L""},
        {L"\"C:\\PS\\Photoshop.exe\" \"%2\"", L""},
        {longest + L" \"%1\"", longest},
        {L"\"" + longest + L"\" \"%1\"", longest},
        {tooLong + L" \"%1\"", L""},
        {L"\"" + tooLong + L"\" \"%1\"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.command.substr(0, 40)));
        std::vector<wchar_t> out(kPathSize);
        bool ok = ParseOpenCommand(c.command.c_str(), out.data(), kPathSize);
        EXPECT_EQ(ok ? std::wstring(out.data()) : L"", c.expect);
    }
}

TEST(InstallTexts, FormattedMessages) {
    wchar_t out[kMessageSize];
    const TextArg question[] = {L"Foo.8bf", L"1.0.0.1", L"[NO VERSION]"};
    ASSERT_TRUE(FormatText(out, kMessageSize, kOverwriteQuestionPattern, question));
    EXPECT_EQ(std::wstring(out),
              L"注意：插件文件[ Foo.8bf ]已经存在。\r\n\r\n已经安装的版本：1.0.0.1\r\n将要安装的版本：[NO VERSION]"
              L"\r\n\r\n选择[ 是( YES ) ]将覆盖安装，选择[ 否( NO ) ]将取消安装。\r\n您是否要继续安装？");

    const TextArg success[] = {L"C:\\PS\\Plug-Ins\\Foo.8bf"};
    ASSERT_TRUE(FormatText(out, kMessageSize, kInstallSuccessPattern, success));
    EXPECT_EQ(std::wstring(out),
              L"Photoshop 插件已经成功安装到以下位置:\r\nC:\\PS\\Plug-Ins\\Foo.8bf\r\n使用之前请重新启动 Photoshop。");

    const TextArg failure[] = {-2147024891L, L"拒绝访问。\r\n"};  // 0x80070005 as a signed 32-bit code
    ASSERT_TRUE(FormatText(out, kMessageSize, kInstallFailurePattern, failure));
    EXPECT_EQ(std::wstring(out), L"[ -2147024891 ] 拒绝访问。\r\n");

    const std::wstring longText(600, L'错');
    const TextArg cut[] = {5L, longText.c_str()};
    EXPECT_FALSE(FormatText(out, kMessageSize, kInstallFailurePattern, cut));
    EXPECT_EQ(std::wstring(out), L"[ 5 ] " + longText.substr(0, 511 - 6));
}
