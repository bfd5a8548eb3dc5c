#include "catalog/catalog.h"

#include "catalog/catalog_file.h"
#include "common/control_ids.h"
#include "common/user_texts.h"

bool LoadPlugInCatalog(HWND dialog, PlugInCatalog** catalog) {
    const CatalogLoad result = ReadCatalogIn(nullptr, catalog);
    if (result != CatalogLoad::Loaded) {
        EnableWindow(GetDlgItem(dialog, IDC_PLUGIN_LIST), FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_INSTALL), FALSE);
        MessageBoxW(dialog, result == CatalogLoad::Empty ? kEmptyCatalogText : kOutOfMemoryText,
                    kCatalogWarningCaption, MB_OK | MB_ICONWARNING);
        return false;
    }
    const PlugInCatalog* loaded = *catalog;
    HWND list = GetDlgItem(dialog, IDC_PLUGIN_LIST);
    // Room for every item at once, rather than growing the list item by item;
    // and no scroll bar update and repaint for each item (4/5 of the time of
    // 100,000 items under Wine).
    SendMessageW(list, CB_INITSTORAGE, static_cast<WPARAM>(loaded->Count),
                 static_cast<LPARAM>(loaded->Count) * 16 * sizeof(wchar_t));
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (long i = 0; i < loaded->Count; ++i)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(loaded->Entries[i].Name));
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    SendMessageW(list, CB_SETCURSEL, 0, 0);
    ShowPlugInEntry(dialog, loaded->Entries);
    return true;
}

void ShowPlugInEntry(HWND dialog, const PlugInEntry* entry) {
    if (!entry) return;
    for (const CatalogField& field : kCatalogFields)
        if (field.label) SetDlgItemTextW(dialog, field.label, FieldText(*entry, field));
}
