// The kept lines of the database build name each item as the step that
// would remove it does, so that one item reads alike in every line.
#include <gtest/gtest.h>

#include <string>

#include "engine/KeptItems.h"
#include "support/JournalCapture.h"

TEST(KeptItems, AreToldInTheFormTheirRemovalStepGivesThem)
{
    struct Case {
        ItemList UninstallProfile::* list;
        const char* script;
        const char* operation;
        const char* item;
    };
    const Case cases[] = {
        {&UninstallProfile::RegistryKeys, "HKLM,\"SOFTWARE\\QUORVEL\\X\",,1", "registry key",
         "HKLM\\SOFTWARE\\QUORVEL\\X"},
        {&UninstallProfile::RegistryKeys, "hklm,SOFTWARE\\QUORVEL\\X,\"Mode\",", "registry value",
         "HKLM\\SOFTWARE\\QUORVEL\\X\\Mode"},
        {&UninstallProfile::DeleteIni, "qe2e.ini,Settings,Remove", "INI entry", "C:\\windows\\qe2e.ini [Settings] Remove"},
        {&UninstallProfile::DeleteLoadRun, "\"Name\",prog.exe", "start-up entry",
         "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\Name"},
        {&UninstallProfile::Shortcuts, "\"QUORVEL Lumenta\",\"Status Monitor.exe\"", "shortcut",
         "QUORVEL Lumenta\\Status Monitor.exe"},
        {&UninstallProfile::Shortcuts, "\"QUORVEL Lumenta\"", "program group", "QUORVEL Lumenta"},
        {&UninstallProfile::Drivers, "QUORVEL Lumenta 2400", "printer driver", "QUORVEL Lumenta 2400 (every environment)"},
        // What the step refuses it names by the script's text.
        {&UninstallProfile::RegistryKeys, "HKXX,Key,,", "registry key", "HKXX,Key,,"},
    };
    for (const Case& c : cases) {
        const JournalCapture journal;
        JournalKeptItem({c.list, c.script, "needed by printer \"Stays\""}, PlatformKind());
        ASSERT_EQ(journal.lines.size(), 1u) << c.script;
        EXPECT_EQ(journal.lines[0].operation, c.operation) << c.script;
        EXPECT_EQ(journal.lines[0].item, c.item) << c.script;
        EXPECT_EQ(journal.lines[0].result, journal::Outcome::Kept) << c.script;
    }
}
