#pragma once
// The loading dialog: checks the user's rights, restarts the spooler, reads
// the uninstall scripts and builds the inventory of installed printers, one
// small step per timer tick behind a progress bar.

#include <list>
#include <string>
#include <string_view>
#include <vector>

#include "../script/TextCatalogue.h"
#include "../script/UninstallDatabase.h"
#include "../common/PlatformKind.h"
#include "../script/ActivePrinter.h"
#include "Dlg.h"
#include "InventoryError.h"
#include "../common/SwitchList.h"

class DriverFileNames;

class CLoadingDlg : public CDlg {
public:
    // Parses the process's command line.
    CLoadingDlg();
    // Parses the given command line instead.
    explicit CLoadingDlg(std::string_view commandLine);
    // Starts the spooler again if the loading stopped it and went no further.
    ~CLoadingDlg() override;

    INT_PTR DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    void SetDatabase(UninstallDatabase* database) { database_ = database; }
    // The platform the steps are chosen by; the running system's by default.
    void SetPlatform(const PlatformKind& platform) { platform_ = platform; }

    // Appends the installed printers to `printers`: those it could read, and
    // those it couldn't as printers that stay. Returns the number appended;
    // 0 when there were none or the build failed (LastBuildFailed tells).
    int BuildListOfInstalledPrinters(std::list<CActivePrinter>& printers);
    // The last build could not list every printer with its driver: nothing
    // may be removed on its word.
    bool LastBuildFailed() const { return inventoryFailed_; }
    // One line for each printer of the last build that is listed knowing
    // less than usual: its record could not be read, so it stays (which call
    // failed with which error, and where its driver name came from), or its
    // driver's files are unknown (why).
    const std::vector<std::string>& KeptPrinterNotes() const { return keptNotes_; }

    // Every step without a window and without the timer's pacing, keeping
    // the spooler's one settling wait; texts come from `instance`. Returns
    // what Result() then tells.
    int RunUnpaced(HINSTANCE instance);

    // Asks the maker's companion programs to close. Always 1.
    int CloseCompanionWindows();

    const SwitchList& Switches() const { return switches_; }
    const ItemList& Scripts() const { return scripts_; }
    int Step() const { return step_; }
    // How the dialog ended: 1 when every step ran, 0 when cancelled or
    // stopped by a fatal condition, -1 while it runs.
    int Result() const { return result_; }
    // The diagnostic text of the last failed inventory build, empty when
    // none failed. It also goes to the debugger output.
    const char* LastInventoryError() const { return inventoryError_; }

    // Timer periods of the steps and of the resumption after Cancel; tests
    // shorten them.
    static void SetTickPeriods(UINT tick, UINT resume);
    // The one-tick wait and the single retry are once per run of the
    // program; a test that loads many times starts each as the first.
    static void ForgetEarlierLoading();

private:
    enum class Next { Advance, Stay };

    BOOL OnInitDialog();
    void OnShowWindow(bool shown);
    void OnTimer();
    Next Tick();
    void OnCancel();
    Next RunStep(UINT& failure);
    void FindScripts();
    void BuildInventory(UINT& failure);
    void End(int result);
    void RestartStoppedSpooler();
    LRESULT Progress(UINT message, WPARAM wParam, LPARAM lParam = 0);
    int BuildInventoryOrThrow(std::list<CActivePrinter>& printers);
    void NoteKeptPrinter(const char* printer, const char* call, DWORD error, const char* what, const char* driver);
    void NoteUnknownDriverFiles(const char* printer, const char* driver, const DriverFileNames& files);

    UninstallDatabase* database_ = nullptr;
    SwitchList switches_;
    int step_ = 0;
    bool ended_ = false;
    int result_ = -1;
    // Set once the spooler was stopped, until it runs again: every way out
    // of the loading starts it, or printing stays down for the machine.
    bool spoolerStopped_ = false;
    PlatformKind platform_;
    ItemList scripts_;
    TextCatalogue texts_;
    char inventoryError_[kInventoryErrorTextSize] = {};
    bool inventoryFailed_ = false;
    std::vector<std::string> keptNotes_;
};
