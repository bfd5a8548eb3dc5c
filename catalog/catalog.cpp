#include "catalog/catalog.h"

#include "common/control_ids.h"
#include "common/texts.h"
#include "common/wide_text.h"

bool LoadPlugInCatalog(HWND dialog) {
    PlugInCatalog* catalog = nullptr;
    CatalogLoad result = ReadCatalogIn(nullptr, &catalog);
    if (result != CatalogLoad::Loaded) {
        EnableWindow(GetDlgItem(dialog, IDC_PLUGIN_LIST), FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_INSTALL), FALSE);
        MessageBoxW(dialog, result == CatalogLoad::Empty ? kEmptyCatalogText : kOutOfMemoryText,
                    kCatalogWarningCaption, MB_OK | MB_ICONWARNING);
        return false;
    }
    g_catalog = catalog;
    HWND list = GetDlgItem(dialog, IDC_PLUGIN_LIST);
    // Room for every item at once, rather than growing the list item by item;
    // and no scroll bar update and repaint for each item (4/5 of the time of
    // 100,000 items under Wine).
    SendMessageW(list, CB_INITSTORAGE, static_cast<WPARAM>(catalog->Count),
                 static_cast<LPARAM>(catalog->Count) * 16 * sizeof(wchar_t));
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (long i = 0; i < catalog->Count; ++i)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(catalog->Entries[i].Name));
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    SendMessageW(list, CB_SETCURSEL, 0, 0);
    ShowPlugInEntry(0, dialog);
    return true;
}

void ShowPlugInEntry(LRESULT index, HWND dialog) {
    const PlugInEntry* entry = CatalogEntryAt(g_catalog, static_cast<long>(index));
    if (!entry) return;
    for (const CatalogField& field : kCatalogFields)
        if (field.label) SetDlgItemTextW(dialog, field.label, FieldText(*entry, field));
}

const PlugInEntry* SelectedPlugInEntry(HWND dialog) {
    LRESULT index = SendDlgItemMessageW(dialog, IDC_PLUGIN_LIST, CB_GETCURSEL, 0, 0);
    return CatalogEntryAt(g_catalog, static_cast<long>(index));
}
