// What the user reads: the dialog's boxes, captions and names, each once.
// Portable.
#pragma once

// Catalog
inline constexpr wchar_t kCatalogWarningCaption[] = L"Corvane";
inline constexpr wchar_t kEmptyCatalogText[] = L"没有找到需要安装的插件。";
inline constexpr wchar_t kOutOfMemoryText[] = L"内存不足，请先关闭一些程序后，再重新启动安装程序。";

// Installation
inline constexpr wchar_t kSetupCaption[] = L"安装 Photoshop 插件";
inline constexpr wchar_t kOverwriteQuestionPattern[] =
    L"注意：插件文件[ %s ]已经存在。\r\n\r\n已经安装的版本：%s\r\n将要安装的版本：%s\r\n\r\n"
    L"选择[ 是( YES ) ]将覆盖安装，选择[ 否( NO ) ]将取消安装。\r\n您是否要继续安装？";
inline constexpr wchar_t kInstallSuccessPattern[] =
    L"Photoshop 插件已经成功安装到以下位置:\r\n%s\r\n使用之前请重新启动 Photoshop。";
inline constexpr wchar_t kInstallFailurePattern[] = L"[ %ld ] %s";
// Asked before installing a plug-in that the folder's editor cannot load,
// formatted with the SrcFile name, the plug-in's and the editor's machine.
inline constexpr wchar_t kMachineQuestionPattern[] =
    L"插件文件[ %s ]是 %s 版本，而这个插件目录所属的 Photoshop 是 %s 版本，不能加载它。\r\n\r\n"
    L"您是否仍要安装？";
inline constexpr wchar_t kMachineX86Name[] = L"32 位 (x86)";
inline constexpr wchar_t kMachineX64Name[] = L"64 位 (x64)";
inline constexpr wchar_t kMachineArm64Name[] = L"ARM64";
inline constexpr wchar_t kMachineArm64xName[] = L"ARM64X";
inline constexpr wchar_t kOtherMachinePattern[] = L"机器类型 0x%04x";
inline constexpr wchar_t kInstallSuccessCaption[] = L"安装 Photoshop 插件成功";
inline constexpr wchar_t kInstallFailureCaption[] = L"安装 Photoshop 插件失败";

// Photoshop launch
inline constexpr wchar_t kLaunchQuestion[] = L"要现在启动 Photoshop 吗？";
inline constexpr wchar_t kLaunchFailureText[] =
    L"启动 Photoshop 失败，您是否没有安装 Photoshop，或者插件目录的路径指定的不正确。";

// Decorations
inline constexpr wchar_t kAutoCompleteNoteText[] =
    L"SHAutoComplete：插件路径下拉框将不能提供自动完成功能，不过这无关紧要。";
inline constexpr wchar_t kAutoCompleteNoteCaption[] = L"注意";

// The command line's switches, shown for /?
inline constexpr wchar_t kHelpText[] =
    L"CorvaneSetup.exe [/S [/REMOVE] [/FORCE] [/PLUGIN=NAME]... [/SUB=NAME] [/LOG=FILE] [/D=FOLDER]]\r\n\r\n"
    L"/S\tinstall every catalog entry into every plug-in folder the registry lists, without any window\r\n"
    L"/REMOVE\tremove instead: only files identical to those beside the program\r\n"
    L"/FORCE\treplace a newer installed file; with /REMOVE, remove a file that differs\r\n"
    L"/PLUGIN=NAME\tonly this entry, by Name or SrcFile (repeatable)\r\n"
    L"/SUB=NAME\tthis sub-folder instead of SubDir1 or SubDir2\r\n"
    L"/LOG=FILE\tappend what was done to FILE (UTF-8)\r\n"
    L"/D=FOLDER\tonly this plug-in folder; last on the line, no quotes needed\r\n\r\n"
    L"Exit codes: 0 done, 1603 failed, 1618 a file is in use (retry later), 1639 unusable command line.";
