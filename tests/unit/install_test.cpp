#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/texts.h"
#include "common/wide_text.h"
#include "install/install_logic.h"

TEST(Install, DestinationJoinsFolderSubFolderAndFile) {
    struct Case {
        const wchar_t *folder, *subFolder, *srcFile, *expect;
    } const cases[] = {
        {L"C:\\PS\\Plug-Ins\\", L"Filters", L"Foo.8bf", L"C:\\PS\\Plug-Ins\\Filters\\Foo.8bf"},
        {L"C:\\PS\\Plug-Ins", L"", L"Foo.8bf", L"C:\\PS\\Plug-Ins\\Foo.8bf"},
        {L"C:\\PS\\Plug-Ins", L"Filters\\", L"Foo.8bf", L"C:\\PS\\Plug-Ins\\Filters\\\\Foo.8bf"},  // as typed
        {L"C:\\PS\\Plug-Ins", L"", L"x64\\Foo.8bf", L"C:\\PS\\Plug-Ins\\x64\\Foo.8bf"},
        {L"", L"", L"Foo.8bf", L"\\Foo.8bf"},
        {L"", L"Filters", L"Foo.8bf", L"\\Filters\\Foo.8bf"},
        {L"C:\\", L"", L"Foo.8bf", L"C:\\\\Foo.8bf"},  // a root keeps its backslash
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.expect)));
        wchar_t out[kPathSize];
        ASSERT_TRUE(ComposeInstallDestination(c.folder, c.subFolder, c.srcFile, out, kPathSize));
        EXPECT_EQ(std::wstring(out), c.expect);
    }
}

TEST(Install, DestinationThatWouldNotFitIsRefused) {
    const std::wstring folder(240, L'p');  // 240 + "\Filters" + "\Foo.8bf" = 256
    std::vector<wchar_t> out(257);
    EXPECT_TRUE(ComposeInstallDestination(folder.c_str(), L"Filters", L"Foo.8bf", out.data(), out.size()));
    EXPECT_EQ(std::wstring(out.data()), folder + L"\\Filters\\Foo.8bf");
    for (size_t size : {256, 248, 241}) {  // cut in the file, the sub-folder and at the separator
        SCOPED_TRACE(size);
        EXPECT_FALSE(ComposeInstallDestination(folder.c_str(), L"Filters", L"Foo.8bf", out.data(), size));
    }
    EXPECT_FALSE(ComposeInstallDestination(folder.c_str(), L"", L"Foo.8bf", out.data(), 248));
}

TEST(Launch, PhotoshopIsLookedForBesideThePlugInFolder) {
    struct Case {
        const wchar_t *folder, *expect;
    } const cases[] = {
        {L"C:\\Apps\\Photoshop\\Plug-Ins\\", L"C:\\Apps\\Photoshop\\Photoshop.exe"},
        {L"C:/PS/Plug-Ins", L"C:/PS/Photoshop.exe"},
        {L"C:/PS/Plug-Ins/", L"C:/PS/Plug-Ins/Photoshop.exe"},
        {L"C:\\PS/Plug-Ins", L"C:\\Photoshop.exe"},  // the last backslash wins
        {L"", L"\\Photoshop.exe"},
        {L"Plug-Ins", L"Plug-Ins\\Photoshop.exe"},
        {L"C:\\", L"C:\\Photoshop.exe"},
        {L"\\\\server\\share\\Plug-Ins", L"\\\\server\\share\\Photoshop.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.folder)));
        wchar_t out[kPathSize];
        ASSERT_TRUE(DerivePhotoshopPath(c.folder, out, kPathSize));
        EXPECT_EQ(std::wstring(out), c.expect);
    }
}

TEST(Launch, PhotoshopPathThatWouldNotFitIsRefused) {
    // "Photoshop.exe" is 13 characters; the result must stay within 259.
    std::vector<wchar_t> out(kPathSize);
    const std::wstring fits = L"C:\\" + std::wstring(242, L'd') + L"\\Plug-Ins";  // prefix 246
    EXPECT_TRUE(DerivePhotoshopPath(fits.c_str(), out.data(), kPathSize));
    EXPECT_EQ(WideLength(out.data()), 259u);
    const std::wstring over = L"C:\\" + std::wstring(243, L'd') + L"\\Plug-Ins";
    EXPECT_FALSE(DerivePhotoshopPath(over.c_str(), out.data(), kPathSize));
    EXPECT_TRUE(DerivePhotoshopPath(std::wstring(245, L'n').c_str(), out.data(), kPathSize));
    EXPECT_FALSE(DerivePhotoshopPath(std::wstring(246, L'n').c_str(), out.data(), kPathSize));
}

TEST(Launch, OpenCommandKeyAppendsTheShellSuffix) {
    std::vector<wchar_t> out(kAssociationSize);
    ASSERT_TRUE(ComposeOpenCommandKey(L"Photoshop.Image.13", out.data(), out.size()));
    EXPECT_EQ(std::wstring(out.data()), L"Photoshop.Image.13\\shell\\open\\command");
    // The suffix is 19 characters, so a 288-character class name is the longest that fits 308.
    EXPECT_TRUE(ComposeOpenCommandKey(std::wstring(288, L'c').c_str(), out.data(), out.size()));
    EXPECT_FALSE(ComposeOpenCommandKey(std::wstring(289, L'c').c_str(), out.data(), out.size()));
}

TEST(Launch, OpenCommandMustEndInTheQuotedPlaceholder) {
    struct Case {
        const wchar_t* command;
        bool ok;
        const wchar_t* expect;
    } const cases[] = {
        {L"\"C:\\PS\\Photoshop.exe\" \"%1\"", true, L"C:\\PS\\Photoshop.exe"},
        {L"C:\\PS\\Photoshop.exe \"%1\"", true, L"C:\\PS\\Photoshop.exe"},
        {L"C:\\Program Files\\PS\\Photoshop.exe \"%1\"", true, L"C:\\Program Files\\PS\\Photoshop.exe"},
        {L"\"C:\\PS\\Photoshop.exe\" /s \"%1\"", true, L"C:\\PS\\Photoshop.exe\" /s"},  // fails to start later
        {L"\"a\" \"%1\"", true, L"a"},
        {L"ab \"%1\"", true, L"ab"},
        {L"a \"%1\"", false, nullptr},  // six characters or fewer
        {L" \"%1\"", false, nullptr},
        {L"C:\\PS\\Photoshop.exe %1", false, nullptr},
        {L"\"C:\\PS\\Photoshop.exe\" \"%1\" /x", false, nullptr},
        {L"\"C:\\PS\\Photoshop.exe\" \"%2\"", false, nullptr},
        {L"", false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.command)));
        wchar_t out[kPathSize];
        EXPECT_EQ(ParseOpenCommand(c.command, out, kPathSize), c.ok);
        if (c.ok) {
            EXPECT_EQ(std::wstring(out), c.expect);
        }
    }
}

TEST(Launch, OpenCommandProgramThatWouldNotFitIsRefused) {
    std::vector<wchar_t> out(kPathSize);
    for (bool quoted : {false, true}) {
        SCOPED_TRACE(quoted ? "quoted" : "plain");
        for (size_t length : {259, 260}) {
            const std::wstring program(length, L'p');
            const std::wstring command = (quoted ? L"\"" + program + L"\"" : program) + L" \"%1\"";
            EXPECT_EQ(ParseOpenCommand(command.c_str(), out.data(), kPathSize), length == 259);
            if (length == 259) {
                EXPECT_EQ(std::wstring(out.data()), program);
            }
        }
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

    const TextArg failure[] = {-2147024891L, L"拒绝访问。\r\n"};  // 0x80070005 read as a signed 32-bit code
    ASSERT_TRUE(FormatText(out, kMessageSize, kInstallFailurePattern, failure));
    EXPECT_EQ(std::wstring(out), L"[ -2147024891 ] 拒绝访问。\r\n");

    const std::wstring longText(600, L'错');
    const TextArg cut[] = {5L, longText.c_str()};
    EXPECT_FALSE(FormatText(out, kMessageSize, kInstallFailurePattern, cut));
    EXPECT_EQ(std::wstring(out), L"[ 5 ] " + longText.substr(0, 511 - 6));

    EXPECT_EQ(std::wstring(kInstallSuccessCaption), L"安装 Photoshop 插件成功");
    EXPECT_EQ(std::wstring(kInstallFailureCaption), L"安装 Photoshop 插件失败");
    EXPECT_EQ(std::wstring(kSetupCaption), L"安装 Photoshop 插件");
}
