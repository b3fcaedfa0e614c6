// The decisions of the configuration restore: which steps run and which paths they name.
#include "restore/RestorePlan.h"
#include "base/Text.h"
#include <gtest/gtest.h>

namespace {

TEST(RestorePlan, MaintenanceWizardOnlyOnWindows98AndLaterOf95Family)
{
    struct Row { unsigned long platform, major, minor; bool expected; } rows[] = {
        {1, 4, 0, false},   // Windows 95
        {1, 4, 10, true},   // Windows 98
        {1, 4, 90, true},   // Windows ME
        {1, 5, 0, false},   // a minor version of 0 counts as 95 whatever the major
        {2, 4, 0, false},   // NT 4.0
        {2, 6, 1, false},   // Windows 7, Wine's default
        {2, 5, 1, false},   // XP: NT family despite the minor version
        {0, 3, 10, false},  // Win32s
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(rows[i].expected, IsMaintenanceWizardPlatform(rows[i].platform, rows[i].minor))
            << "row " << i;
}

TEST(RestorePlan, StepsPerRemoval)
{
    // installDirLine, startupLine, maintenance, channel, quickLaunch, jobs
    // The Windows 98 rows run in-process too; Windows 95 only here.
    struct Row { uint32_t actionFlags, productBit; bool win98; RestorePlan expected; } rows[] = {
        {0, 4, false, {true, true, false, true, true, true}},
        {0x80, 4, false, {false, false, false, false, false, false}},
        {0x10, 0, false, {false, true, false, false, false, false}},
        {0xF0, 2, true, {false, true, true, true, true, false}},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        RestorePlan plan = PlanRestore(rows[i].actionFlags, rows[i].productBit, rows[i].win98);
        const RestorePlan& e = rows[i].expected;
        EXPECT_EQ(e.installDirLine, plan.installDirLine) << "row " << i;
        EXPECT_EQ(e.startupLine, plan.startupLine) << "row " << i;
        EXPECT_EQ(e.maintenance, plan.maintenance) << "row " << i;
        EXPECT_EQ(e.channel, plan.channel) << "row " << i;
        EXPECT_EQ(e.quickLaunch, plan.quickLaunch) << "row " << i;
        EXPECT_EQ(e.jobs, plan.jobs) << "row " << i;
    }
}

TEST(RestorePlan, InstallDirMarker)
{
    std::string probe;
    EXPECT_TRUE(InstallDirProbe("C:\\Program Files\\Morwa\\", &probe));
    EXPECT_EQ("C:\\Program Files\\Morwa", probe);
    EXPECT_FALSE(InstallDirProbe("", &probe));
    EXPECT_FALSE(InstallDirProbe("\\", &probe));
    EXPECT_FALSE(InstallDirProbe("C:\\", &probe));  // "C:" is the drive's current directory

    struct Row { const char* shortPath; const char* marker; } rows[] = {
        {"c:\\progra~1\\morwa", "C:\\PROGRA~1\\MORWA"},
        {"C:\\MORWA~1", "C:\\MORWA~1"},
        {"d:\\\xe9t\xe9", "D:\\\xe9T\xe9"},  // only a to z change case
        {"C:\\", nullptr},                 // a root would match every line naming the drive
        {"C:", nullptr},
        {"", nullptr},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        std::string marker = "unset";
        EXPECT_EQ(rows[i].marker != nullptr, InstallDirMarker(rows[i].shortPath, &marker)) << "row " << i;
        if (rows[i].marker) {
            EXPECT_EQ(rows[i].marker, marker) << "row " << i;
        }
    }
}

TEST(RestorePlan, ComposedPathsStayWithinTheirBuffers)
{
    std::string path;
    EXPECT_TRUE(MaintenanceShortcutPath("C:\\WINDOWS\\Start Menu\\Maintenance Wizard", &path));
    EXPECT_EQ("C:\\WINDOWS\\Start Menu\\Maintenance Wizard.lnk", path);
    EXPECT_TRUE(MaintenanceShortcutPath("C:\\" + std::string(248, 'a'), &path));  // 255 with ".lnk"
    EXPECT_EQ(255u, path.size());
    EXPECT_FALSE(MaintenanceShortcutPath("C:\\" + std::string(249, 'a'), &path));
    EXPECT_FALSE(MaintenanceShortcutPath("", &path));
    // Relative values would name a file of the current directory, the Windows directory in a
    // retry run; a device form passes the system's checks.
    EXPECT_FALSE(MaintenanceShortcutPath("Start Menu\\Maintenance Wizard", &path));
    EXPECT_FALSE(MaintenanceShortcutPath("\\\\?\\C:\\WINDOWS\\Maintenance Wizard", &path));

    EXPECT_TRUE(MaintenanceShortcutTarget("C:\\WINDOWS", &path));
    EXPECT_EQ("C:\\WINDOWS\\tuneup.exe", path);
    EXPECT_TRUE(MaintenanceShortcutTarget(std::string(248, 'w'), &path));  // 259 in all
    EXPECT_FALSE(MaintenanceShortcutTarget(std::string(249, 'w'), &path));
    EXPECT_FALSE(MaintenanceShortcutTarget("", &path));

    EXPECT_TRUE(QuickLaunchShortcutPath("C:\\WINDOWS\\Application Data", &path));
    EXPECT_EQ("C:\\WINDOWS\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch\\"
              "Morwa Antivirus.lnk", path);
    EXPECT_TRUE(QuickLaunchShortcutPath("C:\\" + std::string(451, 'd'), &path));  // 515 and the terminator
    EXPECT_EQ(515u, path.size());
    EXPECT_FALSE(QuickLaunchShortcutPath("C:\\" + std::string(452, 'd'), &path));
    EXPECT_FALSE(QuickLaunchShortcutPath("", &path));  // would name a folder of the current drive
    EXPECT_FALSE(QuickLaunchShortcutPath("Application Data", &path));
}

TEST(RestorePlan, RegistryValueText)
{
    struct Row { const char* data; size_t length, capacity; bool textType; const char* text; } rows[] = {
        {"C:\\AD\0", 6, 516, true, "C:\\AD"},
        {"C:\\AD", 5, 516, true, "C:\\AD"},      // stored without its terminator
        {"C:\\AD\0xx", 8, 516, true, "C:\\AD"},  // the text ends at its terminator
        {"C:\\AD", 5, 5, true, nullptr},         // filled the buffer without a terminator: cut
        {"C:\\A\0", 5, 5, true, "C:\\A"},
        {"C:\\AD\0", 6, 516, false, nullptr},     // REG_BINARY or REG_DWORD
        {"C:\\AD\0", 600, 516, true, nullptr},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        std::string text = "unset";
        bool ok = RegistryValueText(rows[i].data, rows[i].length, rows[i].capacity,
                                    rows[i].textType, &text);
        EXPECT_EQ(rows[i].text != nullptr, ok) << "row " << i;
        if (rows[i].text) {
            EXPECT_EQ(rows[i].text, text) << "row " << i;
        }
    }
}

}  // namespace
