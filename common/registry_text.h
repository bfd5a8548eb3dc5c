// Registry values read as text. The registry is hostile input: a value is
// used only when it is stored as text, and only whole.
#pragma once
#include <windows.h>

// Value `name` of `key` (null: the default value) into `out` (`size`
// characters), terminated at its stored length. False when it is missing,
// is not of type REG_SZ or REG_EXPAND_SZ (taken as it stands, unexpanded), or
// does not fit.
bool ReadRegistryText(HKEY key, const wchar_t* name, wchar_t* out, size_t size);
