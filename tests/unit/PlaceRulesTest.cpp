// The pure decisions about protected places: full paths, device forms, administrative shares,
// 8.3 names and the comparison of a directory's spellings with the places' spellings.
#include "rules/PlaceRules.h"
#include "rules/Refusal.h"
#include <gtest/gtest.h>
#include <set>

namespace {

TEST(PlaceRules, FullPathsAndDeviceForms)
{
    struct Row { const char* text; RefusalRule rule; } rows[] = {
        {"C:\\Program Files\\Morwa", RefusalRule::kNone},
        {"\\\\server\\share", RefusalRule::kNone},
        {"\\\\server\\share\\dir", RefusalRule::kNone},
        {"", RefusalRule::kRelativePath},
        {"Fonts", RefusalRule::kRelativePath},          // resolves against the current directory
        {"\\WINDOWS", RefusalRule::kRelativePath},       // the current drive's
        {"C:WINDOWS", RefusalRule::kRelativePath},       // the current directory of drive C
        {"C:/WINDOWS", RefusalRule::kRelativePath},
        {"\\\\server", RefusalRule::kRelativePath},      // no share
        {"\\\\\\share", RefusalRule::kRelativePath},
        {"\\\\?\\C:\\", RefusalRule::kDevicePath},
        {"\\\\.\\C:\\WINDOWS", RefusalRule::kDevicePath},
        {"//?/C:/WINDOWS", RefusalRule::kDevicePath},
        {"\\??\\C:\\WINDOWS", RefusalRule::kDevicePath},
        {"/?" "?/C:/WINDOWS", RefusalRule::kDevicePath},
        {"\\\\?x\\C:", RefusalRule::kNone},              // an ordinary (odd) server name
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(RefusalRuleName(rows[i].rule), RefusalRuleName(CheckFullPath(rows[i].text)))
            << "row " << i << ": " << rows[i].text;
}

TEST(PlaceRules, AdministrativeSharesStandForLocalPaths)
{
    struct Row { const char* path; const char* local; } rows[] = {
        {"\\\\localhost\\C$\\WINDOWS", "C:\\WINDOWS"},
        {"\\\\127.0.0.1\\c$\\Program Files\\", "C:\\PROGRAM FILES"},
        {"//host/C$/x", "C:\\X"},
        {"\\\\host\\ADMIN$", "C:\\WINDOWS"},
        {"\\\\host\\admin$\\Fonts", "C:\\WINDOWS\\FONTS"},
        {"\\\\host\\share\\WINDOWS", "\\\\host\\share\\WINDOWS"},  // an ordinary share
        {"\\\\host\\CD$\\x", "\\\\host\\CD$\\x"},
        {"C:\\C$\\x", "C:\\C$\\x"},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_STREQ(rows[i].local, LocalFormOfAdminShare(rows[i].path, "C:\\WINDOWS").c_str()) << "row " << i;
}

TEST(PlaceRules, ShortNamesAreRecognisedWithoutTheSystem)
{
    struct Row { const char* path; bool shortAlready; } rows[] = {
        {"C:\\WINDOWS\\SYSTEM", true}, {"C:\\windows\\system32", true}, {"C:\\", true},
        {"C:\\PROGRA~1\\MORWAA~1", true}, {"C:\\README.TXT", true}, {"C:\\A.B\\", true},
        {"\\\\server\\share\\DIR", true}, {"\\\\server\\long share name", true},
        {"C:\\Program Files", false}, {"C:\\LONGERNAME", false}, {"C:\\A.TEXT", false},
        {"C:\\A.B.C", false}, {"C:\\.CFG", false}, {"C:\\X.", false}, {"C:\\A+B", false}, {"Fonts", false},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(rows[i].shortAlready, IsShortFormAlready(rows[i].path)) << "row " << i << ": " << rows[i].path;
}

// The places of a Windows 98 machine, as the system would spell them.
std::vector<ProtectedPlace> Win98Places()
{
    std::vector<ProtectedPlace> places(6);
    places[0].forms = {"C:\\WINDOWS"};
    places[0].kind = PlaceKind::kWindowsTree;
    places[1].forms = {"C:\\WINDOWS\\SYSTEM"};
    places[1].kind = PlaceKind::kWindowsTree;
    places[2].forms = {"C:\\Program Files", "C:\\PROGRA~1"};
    places[3].forms = {"C:\\My Documents", "C:\\MYDOCU~1"};
    places[3].rule = RefusalRule::kShellFolder;
    places[3].kind = PlaceKind::kUsersTree;
    places[4].forms = {"C:\\WINDOWS\\Start Menu\\Programs\\StartUp", "C:\\WINDOWS\\STARTM~1\\Programs\\StartUp"};
    places[4].rule = RefusalRule::kShellFolder;
    places[4].kind = PlaceKind::kUsersTree;
    places[5].forms = {"C:\\WINDOWS\\TEMP"};
    places[5].rule = RefusalRule::kTempDirectory;
    places[5].kind = PlaceKind::kUsersTree;
    return places;
}

TEST(PlaceRules, DirectoriesAgainstPlacesInEverySpelling)
{
    const std::vector<ProtectedPlace> places = Win98Places();
    const RefusalRule root = RefusalRule::kDriveRoot, place = RefusalRule::kProtectedDirectory,
                      windows = RefusalRule::kWindowsDirectory, shell = RefusalRule::kShellFolder,
                      none = RefusalRule::kNone;
    struct Row {
        std::vector<std::string> forms;
        RefusalRule rule;         // as a directory to empty or remove
        RefusalRule installRule;  // as an install directory
    } rows[] = {
        {{"C:\\"}, root, root},
        {{"\\\\server\\share\\"}, root, root},
        {{"C:\\Data", "C:\\"}, root, root},                        // any spelling that is a root
        {{"C:\\windows"}, place, place},
        {{"C:/Windows/"}, place, place},
        {{"C:\\WINDOWS. .\\"}, place, place},                      // trailing dots and blanks drop
        {{"C:\\WINDOWS\\SYSTEM"}, place, place},                   // the place it is, not its parent's tree
        {{"C:\\WINDOWS\\SYSTEM\\IOSUBSYS"}, windows, windows},
        {{"C:\\WINDOWS\\SYSTEM\\DRIVERS\\ETC"}, windows, windows},  // at any depth
        {{"C:\\PROGRA~1"}, place, place},                           // as the short form names it
        {{"C:\\Program Files\\Morwa Antivirus"}, none, none},
        {{"C:\\Program Filesx"}, none, none},
        {{"C:\\My Documents"}, shell, shell},
        {{"C:\\MYDOCU~1\\Letters"}, shell, none},                   // a folder of its own in a shell folder
        {{"C:\\My Documents\\Morwa\\Engine"}, shell, none},
        {{"C:\\WINDOWS\\Start Menu\\Programs"}, windows, windows},  // holds StartUp, in Windows
        {{"C:\\WINDOWS\\STARTM~1\\PROGRAMS\\Morwa Antivirus"}, windows, windows},
        {{"C:\\WINDOWS\\TEMP"}, RefusalRule::kTempDirectory, RefusalRule::kTempDirectory},
        {{"C:\\WINDOWS\\TEMP\\~setup"}, windows, windows},
        {{"D:\\WINDOWS"}, none, none},
        {{}, RefusalRule::kUnresolvedPath, RefusalRule::kUnresolvedPath},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        const char* shown = rows[i].forms.empty() ? "" : rows[i].forms[0].c_str();
        EXPECT_STREQ(RefusalRuleName(rows[i].rule), RefusalRuleName(CheckDirectoryPlace(rows[i].forms, places)))
            << "row " << i << ": " << shown;
        EXPECT_STREQ(RefusalRuleName(rows[i].installRule),
                     RefusalRuleName(CheckInstallDirectoryPlace(rows[i].forms, places)))
            << "row " << i << " as an install directory: " << shown;
    }
}

TEST(PlaceRules, DriveLettersThatStandForFolders)
{
    struct Row { const char* path; const char* device; const char* mapped; } rows[] = {
        {"W:\\Documents", "\\??\\C:\\Users\\me", "C:\\Users\\me\\Documents"},  // SUBST W: C:\Users\me
        {"W:\\", "\\??\\C:\\Users\\me\\", "C:\\Users\\me\\"},
        {"W:", "\\??\\C:\\Users\\me", "C:\\Users\\me"},
        {"N:\\x", "\\??\\UNC\\server\\share\\dir", "\\\\server\\share\\dir\\x"},
        {"C:\\x", "\\Device\\HarddiskVolume1", ""},                // a drive of its own
        {"W:x", "\\??\\C:\\Users\\me", ""},                        // relative to W:'s own directory
        {"W:\\x", "\\??\\relative", ""},
        {"\\\\server\\share\\x", "\\??\\C:\\y", ""},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(rows[i].mapped, ApplyDriveMapping(rows[i].path, rows[i].device)) << "row " << i;
    EXPECT_EQ("", ApplyDriveMapping("W:\\" + std::string(250, 'x'), "\\??\\C:\\Users\\me"));  // too long
}

TEST(PlaceRules, AtOrBelow)
{
    EXPECT_TRUE(IsAtOrBelow("C:\\WINDOWS\\SYSTEM\\X.DLL", "c:\\windows\\system"));
    EXPECT_TRUE(IsAtOrBelow("C:\\WINDOWS\\SYSTEM\\DRIVERS\\X.SYS", "C:\\WINDOWS\\SYSTEM\\"));
    EXPECT_TRUE(IsAtOrBelow("C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\SYSTEM"));
    EXPECT_FALSE(IsAtOrBelow("C:\\WINDOWS\\SYSTEM32\\X.DLL", "C:\\WINDOWS\\SYSTEM"));
    EXPECT_FALSE(IsAtOrBelow("C:\\WINDOWS\\X.DLL", "C:\\WINDOWS\\SYSTEM"));
    EXPECT_FALSE(IsAtOrBelow("C:\\X.DLL", ""));  // no system directory known
}

// What a listing hands back (cFileName, cAlternateFileName), and how the walk may compose it.
TEST(PlaceRules, ListedNamesNameOnlyTheirOwnEntry)
{
    const ListedNameUse name = ListedNameUse::kName, shortName = ListedNameUse::kShortName,
                        leave = ListedNameUse::kLeave;
    const RefusalRule listed = RefusalRule::kListedName, trailing = RefusalRule::kTrailingDots;
    struct Row { const char* name; const char* shortName; ListedNameUse use; RefusalRule rule; } rows[] = {
        {"report01.txt", "", name, listed},
        {"Long report name.txt", "LONGRE~1.TXT", name, listed},
        {"Donn\xE9" "es", "DONNE~1", name, listed},
        {"EDITION.INI", "", name, listed},
        {".hidden", "HIDDEN~1", name, listed},
        {"x\\..\\..\\windows\\win.ini", "X__~1.INI", shortName, listed},  // fullwidth, best fit
        {"x\\..\\..\\windows\\win.ini", "", leave, listed},
        {"a/b", "AB~1", shortName, listed},
        {"C:x", "", leave, listed},
        {"what?.txt", "WHAT_~1.TXT", shortName, listed},                    // the default character
        {"*", "", leave, listed},
        {"..", "", leave, listed},
        {"...", "", leave, listed},
        {"Desktop.", "DESKTO~1", shortName, trailing},
        {"Desktop. .", "", leave, trailing},
        {"Desktop ", "DESKTO~1", shortName, trailing},
        {"x.", "X~1.", leave, trailing},                                    // a short name no better
        {"win.ini", "WIN~1.INI", shortName, listed},                        // a fullwidth w, listed as its ASCII neighbour
        {"win.ini", "WIN.INI", name, listed},
        {"tab\tname", "TABNAM~1", shortName, listed},
        {"", "", leave, listed},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        EXPECT_EQ(static_cast<int>(rows[i].use), static_cast<int>(UseOfListedName(rows[i].name, rows[i].shortName)))
            << "row " << i << ": " << rows[i].name;
        if (rows[i].use != name)
            EXPECT_STREQ(RefusalRuleName(rows[i].rule), RefusalRuleName(ListedNameRule(rows[i].name))) << "row " << i;
    }
    // Key names: a backslash would name a key elsewhere, "?" is what the code page lost.
    EXPECT_TRUE(IsExactListedKeyName("Morwa Antivirus 6.0"));
    EXPECT_TRUE(IsExactListedKeyName("."));
    EXPECT_FALSE(IsExactListedKeyName("x\\..\\Uninstall"));
    EXPECT_FALSE(IsExactListedKeyName("Pr?duct"));
    EXPECT_FALSE(IsExactListedKeyName(""));
}

TEST(PlaceRules, FilesCreatedBeforeTheProductCame)
{
    const unsigned long long since = 133000000000000000ULL;  // a FILETIME of 2022
    // Only more than the slack before the product's own files: an installation writes its
    // directory and other files around them, and FAT keeps creation in 10-ms steps.
    EXPECT_TRUE(CreatedBeforeProduct(since - kInstallationSlack - 1, since));
    EXPECT_FALSE(CreatedBeforeProduct(since - kInstallationSlack, since));
    EXPECT_FALSE(CreatedBeforeProduct(since - 20000000, since));  // two seconds before
    EXPECT_FALSE(CreatedBeforeProduct(since + 1, since));
    EXPECT_GE(kInstallationSlack, 20000000ULL);
    // Nothing known on either side proves nothing.
    EXPECT_FALSE(CreatedBeforeProduct(0, since));
    EXPECT_FALSE(CreatedBeforeProduct(1, 0));
    EXPECT_FALSE(CreatedBeforeProduct(1, kInstallationSlack));
    // The product's time is the earlier of its files that are there.
    EXPECT_EQ(5u, EarliestKnown(5, 7));
    EXPECT_EQ(5u, EarliestKnown(7, 5));
    EXPECT_EQ(7u, EarliestKnown(0, 7));
    EXPECT_EQ(7u, EarliestKnown(7, 0));
    EXPECT_EQ(0u, EarliestKnown(0, 0));
    // A file system that keeps no creation time tells its last write.
    EXPECT_EQ(9u, CreationTicks(0, 9));
    EXPECT_EQ(4u, CreationTicks(4, 9));
}

TEST(RefusalRules, EveryRuleHasItsOwnStableName)
{
    std::set<std::string> names;
    const int count = static_cast<int>(RefusalRule::kUserFile) + 1;
    for (int i = 0; i < count; ++i) {
        std::string name = RefusalRuleName(static_cast<RefusalRule>(i));
        EXPECT_NE("unknown", name) << i;
        EXPECT_EQ(std::string::npos, name.find(' ')) << name;
        EXPECT_TRUE(names.insert(name).second) << "twice: " << name;
    }
    // Names a removal log records; renaming one breaks what reads the logs.
    EXPECT_STREQ("device-path", RefusalRuleName(RefusalRule::kDevicePath));
    EXPECT_STREQ("protected-directory", RefusalRuleName(RefusalRule::kProtectedDirectory));
    EXPECT_STREQ("root-child-key", RefusalRuleName(RefusalRule::kRootChildKey));
    EXPECT_STREQ("system-key", RefusalRuleName(RefusalRule::kSystemKey));
}

}  // namespace
