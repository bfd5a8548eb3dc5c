// The program runs elevated. What it starts for the user (the editor, the
// browser for the credit link) must not inherit that: the desktop shell's
// own window is asked to start it, as a double-click in it would.
#include "common/user_start.h"

#include <exdisp.h>
#include <shldisp.h>
#include <shlobj.h>
#include <servprov.h>

#include "common/system_libraries.h"

namespace {

template <typename Interface>
void Release(Interface*& object) {
    if (object) object->Release();
    object = nullptr;
}

// The shell's dispatch object behind the desktop window's view.
IShellDispatch2* FindDesktopShell() {
    IShellWindows* windows = nullptr;
    IDispatch* desktop = nullptr;
    IServiceProvider* services = nullptr;
    IShellBrowser* browser = nullptr;
    IShellView* view = nullptr;
    IDispatch* background = nullptr;
    IShellFolderViewDual* folderView = nullptr;
    IDispatch* application = nullptr;
    IShellDispatch2* shell = nullptr;
    // CLSCTX_ALL: Wine serves this class in-process, Windows from the shell.
    if (SUCCEEDED(sysdll::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows,
                                   reinterpret_cast<void**>(&windows)))) {
        VARIANT desktopLocation = {}, none = {};
        desktopLocation.vt = VT_I4;
        desktopLocation.lVal = CSIDL_DESKTOP;
        long window = 0;
        if (windows->FindWindowSW(&desktopLocation, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &desktop) == S_OK &&
            desktop &&
            SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&services))) &&
            SUCCEEDED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                             reinterpret_cast<void**>(&browser))) &&
            SUCCEEDED(browser->QueryActiveShellView(&view)) &&
            SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, reinterpret_cast<void**>(&background))) &&
            SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, reinterpret_cast<void**>(&folderView))) &&
            SUCCEEDED(folderView->get_Application(&application)) && application)
            application->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(&shell));
    }
    Release(application);
    Release(folderView);
    Release(background);
    Release(view);
    Release(browser);
    Release(services);
    Release(desktop);
    Release(windows);
    return shell;
}

}  // namespace

bool StartThroughShell(const wchar_t* file, const wchar_t* directory) {
    IShellDispatch2* shell = FindDesktopShell();
    if (!shell) return false;
    BSTR name = sysdll::SysAllocString(file);
    VARIANT arguments = {}, folder = {}, verb = {}, show = {};
    arguments.vt = VT_BSTR;
    arguments.bstrVal = sysdll::SysAllocString(L"");
    folder.vt = VT_BSTR;
    folder.bstrVal = sysdll::SysAllocString(directory ? directory : L"");
    verb.vt = VT_BSTR;
    verb.bstrVal = sysdll::SysAllocString(L"open");
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    const bool started = name && arguments.bstrVal && folder.bstrVal && verb.bstrVal &&
                         SUCCEEDED(shell->ShellExecute(name, arguments, folder, verb, show));
    sysdll::SysFreeString(name);
    sysdll::SysFreeString(arguments.bstrVal);
    sysdll::SysFreeString(folder.bstrVal);
    sysdll::SysFreeString(verb.bstrVal);
    shell->Release();
    return started;
}
