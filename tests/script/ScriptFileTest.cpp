#include <gtest/gtest.h>

#include <string>

#include "script/UninstallDatabase.h"
#include "support/WineBed.h"

namespace {

class ScriptFileTest : public testing::Test {
protected:
    void TearDown() override
    {
        DeleteFileA(first.c_str());
        DeleteFileA(second.c_str());
    }
    std::string first = bed::TestDirectory() + "first.unm";
    std::string second = bed::TestDirectory() + "second.unm";
    UninstallDatabase db;
};

} // namespace

TEST_F(ScriptFileTest, TwoScriptsNamingTheSameDriverKeepTheFirstRead)
{
    ASSERT_TRUE(bed::WriteFile(first, "[UnPrinterDrivers]\r\n\"QUORVEL Lumenta 2400\",Lum2400,3\r\n"
                                      "[Lum2400.Files]\r\nb.dll\r\nA.DLL\r\na.dll"));
    ASSERT_TRUE(bed::WriteFile(second, "[UnPrinterDrivers]\r\nQUORVEL LUMENTA 2400,L2\r\n[L2.Files]\r\nz.dll\r\n"));
    ASSERT_TRUE(ReadScript(db, first.c_str()));
    ASSERT_TRUE(ReadScript(db, second.c_str()));
    ASSERT_EQ(db.Profiles.size(), 1u);
    const UninstallProfile& p = db.Profiles.front();
    EXPECT_STREQ(p.Name, "QUORVEL Lumenta 2400");
    EXPECT_STREQ(p.ScriptPath, first.c_str());
    EXPECT_EQ(p.Files, (ItemList{"A.DLL", "b.dll"}));
    EXPECT_EQ(p.Drivers, (ItemList{"QUORVEL Lumenta 2400"}));
}

TEST_F(ScriptFileTest, AByteOrderMarkBeforeTheFirstHeaderIsSkipped)
{
    ASSERT_TRUE(bed::WriteFile(first, "\xEF\xBB\xBF[UnPrinterDrivers]\r\nQUORVEL Lumenta 2400,Lum2400\r\n"
                                      "[Lum2400.Files]\r\nlum.dll\r\n"));
    ASSERT_TRUE(ReadScript(db, first.c_str()));
    ASSERT_EQ(db.Profiles.size(), 1u);
    EXPECT_EQ(db.Profiles.front().Files, (ItemList{"lum.dll"}));
}

TEST_F(ScriptFileTest, UnreadableOrStarterlessScriptsAddNothing)
{
    EXPECT_FALSE(ReadScript(db, (bed::TestDirectory() + "missing.unm").c_str()));
    ASSERT_TRUE(bed::WriteFile(first, "[Lum2400.Files]\r\na.dll\r\n"));
    EXPECT_FALSE(ReadScript(db, first.c_str()));
    ASSERT_TRUE(bed::WriteFile(first, ""));
    EXPECT_FALSE(ReadScript(db, first.c_str()));
    EXPECT_TRUE(db.Profiles.empty());
}

TEST(RegistryItems, PredefinedRootsOnly)
{
    UninstallProfile p;
    EXPECT_TRUE(AddRegistryKey(p, HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\OEM_Q", "", true));
    EXPECT_TRUE(AddRegistryKey(p, HKEY_CLASSES_ROOT, "CLSID\\x", "v", false));
    EXPECT_TRUE(AddRegistryKey(p, HKEY_CURRENT_USER, "Software\\x", nullptr, false));
    EXPECT_TRUE(AddRegistryKey(p, HKEY_USERS, ".DEFAULT\\x", "", true));
    EXPECT_FALSE(AddRegistryKey(p, HKEY_CURRENT_CONFIG, "System", "", true));
    EXPECT_FALSE(AddRegistryKey(p, HKEY_LOCAL_MACHINE, "", "", true));
    EXPECT_EQ(p.RegistryKeys, (ItemList{"HKLM,\"SOFTWARE\\QUORVEL\\OEM_Q\",\"\",1", "HKCR,\"CLSID\\x\",\"v\",0",
                                        "HKCU,\"Software\\x\",\"\",0", "HKU,\".DEFAULT\\x\",\"\",1"}));
}
