#include "TonerLevel.h"

#include <algorithm>

#include "ShellOpen.h"
#include "StringRing.h"
#include "framework/DataExchange.h"
#include "framework/ResourceModule.h"
#include "res/resource.h"

namespace {
constexpr int kLowest = 0;
constexpr int kHighest = 50;

// The threshold edit is read-only and the up-down has no buddy: Up and Down
// on the edit go to the up-down, as they would from a buddy, so that the
// threshold can be changed from the keyboard.
LRESULT CALLBACK ArrowsToSpin(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR spin)
{
    if ((message == WM_KEYDOWN || message == WM_KEYUP) && (wParam == VK_UP || wParam == VK_DOWN))
        return SendMessageA(reinterpret_cast<HWND>(spin), message, wParam, lParam);
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(edit, ArrowsToSpin, id);
    return DefSubclassProc(edit, message, wParam, lParam);
}

} // namespace

CTonerLevel::CTonerLevel()
    : ModalDialog(IDD_TONER_LEVEL), icon_(LoadIconA(ResourceModule(), MAKEINTRESOURCEA(IDI_SUPPLIES))),
      smallIcon_(static_cast<HICON>(LoadImageA(ResourceModule(), MAKEINTRESOURCEA(IDI_SUPPLIES), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)))
{
}

void CTonerLevel::DoDataExchange(DataExchange& dx)
{
    dx.Attach(IDC_THRESHOLD_SPIN, spin);
    dx.Attach(IDC_TONER_BAR, bar);
    dx.Integer(IDC_THRESHOLD, threshold);
    dx.Integer(IDC_CAPACITY, capacity);
}

BOOL CTonerLevel::OnInitDialog()
{
    ModalDialog::OnInitDialog();
    UpdateData(true);
    SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));

    bar.SetRange(0, 100);
    bar.startRed = bar.startGreen = bar.startBlue = 0;
    bar.endRed = bar.endGreen = bar.endBlue = 192;
    bar.background = RGB(192, 192, 192);
    bar.SetPos(tonerLevel);

    spin.SetRange(kLowest, kHighest);
    spin.SetPos(threshold);
    SetWindowSubclass(GetDlgItem(Handle(), IDC_THRESHOLD), ArrowsToSpin, 1,
                      reinterpret_cast<DWORD_PTR>(spin.Handle()));
    return TRUE;
}

bool CTonerLevel::OnCommand(WORD id, WORD code, HWND control)
{
    if (id == IDC_ORDER_SUPPLIES && code == BN_CLICKED) {
        OpenWithShell(Handle(), LoadLibraryString(IDS_SUPPLIER_ADDRESS).c_str());
        return true;
    }
    if (id == IDC_THRESHOLD && code == EN_KILLFOCUS) {
        UpdateData(true);
        if (threshold < kLowest || threshold > kHighest)
            MessageBoxA(Handle(), "Please enter the integer between 0 and 50", "Supplies Status", MB_OK);
        // The value is shown as it is, not corrected.
        UpdateData(false);
        return true;
    }
    return ModalDialog::OnCommand(id, code, control);
}

bool CTonerLevel::OnNotify(NMHDR* header, LRESULT& result)
{
    if (header->idFrom != IDC_THRESHOLD_SPIN || header->code != UDN_DELTAPOS)
        return false;
    const auto* change = reinterpret_cast<NMUPDOWN*>(header);
    UpdateData(true);
    threshold = std::clamp(spin.GetPos() + change->iDelta, kLowest, kHighest);
    UpdateData(false);
    result = 0; // allow the change
    return true;
}

bool CTonerLevel::OnPaint()
{
    if (!IsIconic(Handle()))
        return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Handle(), &ps);
    SendMessageA(Handle(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(Handle(), &client);
    const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon_);
    EndPaint(Handle(), &ps);
    return true;
}
