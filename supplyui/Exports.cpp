// The library's exports. Templates, strings and icons come from the library,
// never the caller; the common controls are those of the library's manifest.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <memory>
#include <string>

#include "Records.h"
#include "StringRing.h"
#include "TonerLevel.h"
#include "VoltageBias.h"
#include "LibraryActivation.h"
#include "ThreadExceptions.h"
#include "res/resource.h"

namespace {

// A top-level window of exactly that title; FindWindowA ignores letter case.
HWND FindExactTitle(const std::string& title)
{
    for (HWND w = FindWindowExA(nullptr, nullptr, nullptr, title.c_str()); w;
         w = FindWindowExA(nullptr, w, nullptr, title.c_str())) {
        char found[160] = {};
        if (GetWindowTextA(w, found, sizeof found) > 0 && title == found)
            return w;
    }
    return nullptr;
}

// A window of that title is open already: bring it forward instead.
bool ActivateOpenCopy(UINT titleId)
{
    const std::string title = LoadLibraryString(titleId);
    HWND open = FindExactTitle(title);
    if (!open)
        return false;
    HWND popup = GetLastActivePopup(open);
    if (IsIconic(open))
        ShowWindow(open, SW_RESTORE);
    SetForegroundWindow(popup ? popup : open);
    return true;
}

// The templates name common controls that the host need not have registered.
void RegisterControls(DWORD classes)
{
    INITCOMMONCONTROLSEX init{sizeof init, classes};
    InitCommonControlsEx(&init);
}

// Around the work of each dialog export: the library's activation context,
// and no exception out into a caller that may not even know C++: -1, as for
// a dialog that could not be created.
template <typename Work>
int AtExportBoundary(Work work) noexcept
{
    int result = -1;
    try {
        const LibraryActivation activation;
        result = work();
    } catch (...) {
        result = -1;
    }
    DropIdleExceptionRecord();
    return result;
}

} // namespace

extern "C" {

// -1 for no record, as for a dialog that could not be created: outside the
// threshold's 0 to 50, so the caller can tell that nothing showed.
int WINAPI TonerLevelDialogDoModal(TonerLevelInfo* info)
{
    return AtExportBoundary([info] {
        if (!info)
            return -1;
        auto dialog = std::make_unique<CTonerLevel>();
        dialog->tonerLevel = info->TonerLevel;
        dialog->threshold = info->Threshold;
        dialog->capacity = info->Capacity;
        if (ActivateOpenCopy(IDS_SUPPLIES_TITLE))
            return 0;
        RegisterControls(ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS);
        if (dialog->DoModal() == -1)
            return -1;
        return dialog->threshold;
    });
}

// -1 for no record: nothing could be written, so nothing is shown.
int WINAPI VoltageBiasDialogDoModal(VoltageBiasSettings* settings)
{
    return AtExportBoundary([settings] {
        if (!settings)
            return -1;
        auto dialog = std::make_unique<CVoltageBias>(*settings);
        if (ActivateOpenCopy(IDS_MAINTENANCE_TITLE))
            return 0;
        RegisterControls(ICC_DATE_CLASSES);
        return static_cast<int>(dialog->DoModal());
    });
}

// The library registers no COM classes: no class object, nothing to hold it
// loaded, and registration has nothing to do.
HRESULT WINAPI DllGetClassObject(REFCLSID, REFIID, LPVOID* object)
{
    if (object)
        *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT WINAPI DllCanUnloadNow() { return S_OK; }

HRESULT WINAPI DllRegisterServer() { return S_OK; }

}
