// Where the editor is found: the registry locations it writes, and the names
// of its program and plug-in folders. Portable.
#pragma once

// Registry
inline constexpr wchar_t kPhotoshopKey[] = L"Software\\Adobe\\Photoshop";
inline constexpr wchar_t kApplicationPathValue[] = L"ApplicationPath";
inline constexpr wchar_t kMachineClassesKey[] = L"Software\\Classes";
inline constexpr wchar_t kPsdKey[] = L".psd";
inline constexpr wchar_t kOpenCommandSuffix[] = L"\\shell\\open\\command";
inline constexpr wchar_t kDocumentPlaceholder[] = L" \"%1\"";

// Files and folders
inline constexpr wchar_t kChinesePlugInFolder[] = L"增效工具";
inline constexpr wchar_t kPlugInFolder[] = L"Plug-Ins";
inline constexpr wchar_t kPhotoshopExe[] = L"Photoshop.exe";
