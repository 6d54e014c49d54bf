// Which items a kept item protects, for the lists whose removal steps read
// several fields. Expected answers follow from what each step removes: a
// bare program group takes its items with it, a shortcut is sought as itself,
// ".LNK" and ".PIF" (and, marked STARTUP, in the start-up folders of every
// group; the Startup group is that folder, everyone's), an INI entry is its
// file's name, section and key, a start-up entry is both its Run value and
// its "load" word, a hook runs its library. An item is kept when what it
// takes and what a kept item would take meet.
#include <gtest/gtest.h>

#include "script/ItemNames.h"

namespace {

struct Case {
    const char* kept;
    const char* removed;
    bool protects;
};

void Check(ItemList UninstallProfile::* list, std::initializer_list<Case> cases)
{
    for (const Case& c : cases) {
        UninstallProfile keep;
        (keep.*list).push_back(c.kept);
        KeptNames kept(keep);
        EXPECT_EQ(kept.Protects(list, c.removed), c.protects) << "kept " << c.kept << ", removed " << c.removed;
    }
}

} // namespace

TEST(KeptNames, ShortcutsAndProgramGroups)
{
    Check(&UninstallProfile::Shortcuts, {
                                            {"Quorvel,Utility", "Quorvel", true},
                                            {"Quorvel\\Tools,Utility", "\"Quorvel\"", true},
                                            {"quorvel,\"utility.lnk\"", "\"Quorvel\",\"Utility.PIF\"", true},
                                            {"Quorvel", "Quorvel,Readme", true},
                                            {"Other,Monitor,STARTUP", "Quorvel,monitor,startup", true},
                                            {"Quorvel,Monitor,STARTUP", "Startup,Monitor.lnk", true},
                                            {"Other,Monitor", "Quorvel,Monitor", false},
                                            {"Other,Monitor", "Startup", true},
                                            {"Quorvel", "quorvel", true},
                                            {"Quorvel", "\"Quorvel\\\"", true},
                                            {"Quorvel", "Other", false},
                                        });
}

TEST(KeptNames, IniStartupAndHookEntries)
{
    Check(&UninstallProfile::DeleteIni, {
                                            {"WIN.INI,devices,quorvel x", "C:\\WINDOWS\\win.ini,Devices,QUORVEL X", true},
                                            {"win.ini,Devices,QUORVEL X2", "win.ini,Devices,QUORVEL X", false},
                                            {"win.ini,Ports,QUORVEL X", "win.ini,Devices,QUORVEL X", false},
                                        });
    Check(&UninstallProfile::DeleteLoadRun, {
                                                {"Other,\"app.exe\"", "App,app.exe", true},
                                                {"\"App\",b.exe", "App,app.exe", true},
                                                {"B,b.exe", "App,app.exe", false},
                                                {"App", "app,app.exe", true},
                                                {"App,app.exe", "APP", true},
                                                {"app.exe", "Other,app.exe", false},
                                            });
    // A registry item without a root is read by no step, but a kept one
    // still keeps its twin.
    Check(&UninstallProfile::RegistryKeys,
          {
              {",Ports,QRV1:", ",ports,\"QRV1:\"", true},
              // One key, two ways to reach it.
              {"HKLM,SYSTEM\\ControlSet001\\Services\\QrvSvc,,1",
               "HKLM,SYSTEM\\CurrentControlSet\\Services\\QrvSvc\\Parameters,,1", true},
              {"HKCU,Software\\Quorvel,,0", "HKU,S-1-5-21-7\\Software\\Quorvel\\Tool,,1", true},
              {"HKLM,SOFTWARE\\Classes\\.qrv,,0", "HKCR,.qrv,\"Content Type\",0", true},
              {"HKLM,SOFTWARE\\Quorvel\\A,,0", "HKLM,SOFTWARE\\Quorvel\\B,,1", false},
          });
    Check(&UninstallProfile::Hooks, {
                                        {"ADDON.DLL,UninstallB", "addon.dll,UninstallA", true},
                                        {"other.dll,UninstallA", "addon.dll,UninstallA", false},
                                    });
}
