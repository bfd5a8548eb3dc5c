// The catalog file's name, sections and keys, and the fixed values an entry
// takes where its file says nothing. The reader, the checker and the dialog
// read these. Portable.
#pragma once

inline constexpr wchar_t kCatalogFileName[] = L"Corvane.ini";
inline constexpr wchar_t kIndexSection[] = L"PlugInInfo";
inline constexpr wchar_t kCountKey[] = L"Count";
inline constexpr wchar_t kIndexKeyPattern[] = L"PlugIn%ld";
inline constexpr wchar_t kNameKey[] = L"Name";
inline constexpr wchar_t kSrcFileKey[] = L"SrcFile";
inline constexpr wchar_t kSubDir1Key[] = L"SubDir1";
inline constexpr wchar_t kSubDir2Key[] = L"SubDir2";
inline constexpr wchar_t kDescriptionKey[] = L"Description";
inline constexpr wchar_t kUnknownText[] = L"[未知]";
inline constexpr wchar_t kNoDescriptionText[] = L"[无]";
inline constexpr wchar_t kNoVersionText[] = L"[NO VERSION]";
