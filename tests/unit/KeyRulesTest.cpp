// Which keys a key entry may delete: the canonical form and the refusal rules, by table.
#include "rules/KeyRules.h"
#include <gtest/gtest.h>

namespace {

const RefusalRule kNone = RefusalRule::kNone;
const RefusalRule kRoot = RefusalRule::kRootKey;
const RefusalRule kRootChild = RefusalRule::kRootChildKey;
const RefusalRule kConfig = RefusalRule::kSystemConfiguration;
const RefusalRule kSystem = RefusalRule::kSystemKey;
const RefusalRule kVendor = RefusalRule::kVendorKey;
const RefusalRule kDynamic = RefusalRule::kDynamicKey;

TEST(KeyRules, CanonicalForm)
{
    struct Row { RegistryRoot root; const char* path; const char* canonical; } rows[] = {
        {kRootLocalMachine, "Software\\Vendor", "HKLM\\SOFTWARE\\VENDOR"},
        {kRootClassesRoot, ".qel", "HKLM\\SOFTWARE\\CLASSES\\.QEL"},
        {kRootClassesRoot, "", "HKLM\\SOFTWARE\\CLASSES"},
        {kRootCurrentUser, "Software\\X", "HKU\\<CURRENT USER>\\SOFTWARE\\X"},
        {kRootUsers, ".DEFAULT\\Software", "HKU\\.DEFAULT\\SOFTWARE"},
        {kRootUsers, "S-1-5-21-7_Classes\\CLSID", "HKU\\S-1-5-21-7\\SOFTWARE\\CLASSES\\CLSID"},
        {kRootLocalMachine, "SOFTWARE\\Wow6432Node\\Microsoft", "HKLM\\SOFTWARE\\MICROSOFT"},
        {kRootLocalMachine, "Software\\Wow6432Node", "HKLM\\SOFTWARE"},
        {kRootLocalMachine, "Software\\Classes\\Wow6432Node\\CLSID", "HKLM\\SOFTWARE\\CLASSES\\CLSID"},
        {kRootClassesRoot, "Wow6432Node\\CLSID\\{x}", "HKLM\\SOFTWARE\\CLASSES\\CLSID\\{X}"},
        {kRootCurrentUser, "Software\\Wow6432Node\\Vendor", "HKU\\<CURRENT USER>\\SOFTWARE\\VENDOR"},
        {kRootLocalMachine, "System\\ControlSet001\\Services", "HKLM\\SYSTEM\\CURRENTCONTROLSET\\SERVICES"},
        {kRootLocalMachine, "System\\ControlSet", "HKLM\\SYSTEM\\CONTROLSET"},
        {kRootCurrentConfig, "Software", "HKCC\\SOFTWARE"},
        {kRootPerformanceData, "x", ""},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(rows[i].canonical, CanonicalKeyName(rows[i].root, rows[i].path)) << "row " << i;
}

TEST(KeyRules, RefusalTable)
{
    struct Row { RegistryRoot root; const char* path; RefusalRule rule; } rows[] = {
        // What the product itself deletes.
        {kRootLocalMachine, "Software\\Morwa Software\\Morwa Antivirus 6.0", kNone},
        {kRootLocalMachine, "System\\CurrentControlSet\\Services\\VxD\\QELVXD", kNone},
        {kRootLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qelscan.exe", kNone},
        {kRootLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Morwa Antivirus 6.0", kNone},
        {kRootClassesRoot, "Morwa.ScanList", kNone},
        {kRootClassesRoot, "CLSID\\{01234567-89AB-CDEF-0123-456789ABCDEF}", kNone},
        {kRootClassesRoot, "*\\shellex\\ContextMenuHandlers\\Morwa", kNone},
        {kRootCurrentUser, "Software\\Morwa Software\\Monitor", kNone},
        {kRootLocalMachine, "SOFTWARE\\Microsoft\\Plus!\\System Agent\\SAGE\\QELJobs for Win32", kNone},
        {kRootLocalMachine, "System\\CurrentControlSet\\Services\\QELService", kNone},
        // Roots and their children.
        {kRootLocalMachine, "", kRoot},
        {kRootCurrentUser, "", kRoot},
        {kRootClassesRoot, "", kRoot},
        {kRootLocalMachine, "Software", kRootChild},
        {kRootLocalMachine, "Morwa", kRootChild},
        {kRootCurrentUser, "Software", kRootChild},
        {kRootUsers, ".DEFAULT", kRootChild},
        {kRootUsers, "S-1-5-21-7_Classes", kSystem},  // that user's SOFTWARE\CLASSES
        {kRootCurrentConfig, "Software", kConfig},
        {kRootLocalMachine, "A\\\\B", kRoot},
        // The system's own keys and their ancestors (the end-to-end runs name many more).
        {kRootLocalMachine, "Software\\Microsoft", kSystem},
        {kRootLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", kSystem},
        {kRootLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", kSystem},
        {kRootLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Setup", kSystem},  // any child
        {kRootLocalMachine, "Software\\Microsoft\\Office", kSystem},   // another Microsoft product
        {kRootLocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", kSystem},
        // By tree: below the system's keys, but for where products register keys of their own.
        {kRootLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", kSystem},
        {kRootLocalMachine, "Software\\Microsoft\\Internet Explorer\\Main", kSystem},
        {kRootLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Morwa Antivirus 6.0\\Parts", kNone},
        {kRootClassesRoot, "txtfile\\shell\\open\\command", kSystem},
        {kRootClassesRoot, "lnkfile\\shellex", kSystem},
        {kRootClassesRoot, ".exe\\PersistentHandler", kSystem},
        {kRootLocalMachine, "System\\CurrentControlSet\\Services\\Tcpip\\Parameters", kSystem},
        {kRootLocalMachine, "System\\Select\\Current", kConfig},
        {kRootCurrentUser, "AppEvents\\Schemes", kConfig},
        {kRootUsers, ".DEFAULT\\Keyboard Layout\\Preload", kConfig},
        {kRootCurrentUser, "AppEvents", kRootChild},
        {kRootClassesRoot, "CLSID", kSystem},
        {kRootClassesRoot, "Interface", kSystem},
        {kRootClassesRoot, "exefile", kSystem},
        {kRootClassesRoot, ".exe", kSystem},
        {kRootClassesRoot, "*", kSystem},
        {kRootClassesRoot, "*\\shellex", kSystem},
        {kRootClassesRoot, "*\\shellex\\ContextMenuHandlers", kSystem},
        {kRootClassesRoot, "Wow6432Node\\CLSID", kSystem},
        {kRootCurrentUser, "Software\\Classes\\CLSID", kSystem},
        {kRootLocalMachine, "System\\CurrentControlSet\\Services", kSystem},
        {kRootLocalMachine, "System\\ControlSet001\\Services", kSystem},
        {kRootLocalMachine, "System\\CurrentControlSet\\Control\\Session Manager", kConfig},
        // The system's configuration, at any depth; a service's own key is not in it.
        {kRootLocalMachine, "System\\CurrentControlSet\\Control\\Session Manager\\Environment", kConfig},
        {kRootLocalMachine, "System\\ControlSet002\\Control\\Class\\{4D36E972}\\0000", kConfig},
        {kRootLocalMachine, "System\\CurrentControlSet\\Services\\Class\\Net\\0000", kConfig},
        {kRootLocalMachine, "Enum\\Root\\*PNP0C01\\0000", kConfig},
        {kRootLocalMachine, "Config\\0001\\Display", kConfig},
        {kRootLocalMachine, "Hardware\\Description", kConfig},
        {kRootLocalMachine, "SAM", kConfig},
        {kRootCurrentConfig, "Display\\Fonts", kConfig},
        {kRootLocalMachine, "System\\CurrentControlSet\\Services\\VxD\\QELVXD", kNone},
        {kRootLocalMachine, "Software\\Morwa Software", kSystem},      // holds the Uninstall key
        {kRootCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", kSystem},
        {kRootUsers, ".DEFAULT\\Software\\Microsoft", kSystem},
        {kRootUsers, ".DEFAULT\\Control Panel\\Desktop", kConfig},
        {kRootCurrentUser, "Environment", kConfig},
        {kRootCurrentConfig, "Software\\Microsoft", kConfig},
        // A name outside ASCII may fold onto a system key's name.
        {kRootLocalMachine, "Software\\Micr\xD3soft", kSystem},
        {kRootLocalMachine, "Software\\Micr\xD3soft\\Vendor", kSystem},
        // Vendors' keys.
        {kRootLocalMachine, "Software\\Adobe", kVendor},
        {kRootCurrentUser, "Software\\Morwa Software", kVendor},
        {kRootUsers, ".DEFAULT\\Software\\Adobe", kVendor},
        {kRootLocalMachine, "Software\\Adobe\\Acrobat", kNone},
        // Keys that are not stored.
        {kRootPerformanceData, "Global", kDynamic},
        {kRootDynData, "Config Manager\\Enum", kDynamic},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_STREQ(RefusalRuleName(rows[i].rule), RefusalRuleName(CheckKeyDeletion(rows[i].root, rows[i].path)))
            << "row " << i << ": " << rows[i].path;
}

TEST(KeyRules, ValuesOfTheSystemsOwnKeysStay)
{
    const RefusalRule kValue = RefusalRule::kSystemValue;
    struct Row { RegistryRoot root; const char* key; RefusalRule rule; } rows[] = {
        // The lists where products add values of their own.
        {kRootLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", kNone},
        {kRootLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce", kNone},
        {kRootCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", kNone},
        {kRootLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", kNone},
        {kRootLocalMachine, "Software\\Microsoft\\Exchange\\Client\\Extensions", kNone},
        // The product's keys and a vendor's own.
        {kRootLocalMachine, "Software\\Morwa Software\\Morwa Antivirus 6.0", kNone},
        {kRootCurrentUser, "Software\\Morwa Software", kNone},
        {kRootClassesRoot, ".qel", kNone},
        {kRootLocalMachine, "Software\\Morwa Software\\Uninstall", kNone},  // the edition directories
        {kRootLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Morwa Antivirus 6.0", kNone},
        {kRootLocalMachine, "Software\\Microsoft\\Internet Explorer\\Main", kValue},
        // The system's own keys and its configuration.
        {kRootLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", kValue},  // ProgramFilesDir
        {kRootLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", kValue},
        {kRootLocalMachine, "Software", kValue},
        {kRootClassesRoot, ".txt", kValue},
        {kRootLocalMachine, "System\\CurrentControlSet\\Control\\Session Manager\\Environment", kConfig},
        {kRootCurrentUser, "Environment", kConfig},
        {kRootDynData, "Config Manager", RefusalRule::kDynamicKey},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_STREQ(RefusalRuleName(rows[i].rule), RefusalRuleName(CheckValueDeletion(rows[i].root, rows[i].key)))
            << "row " << i << ": " << rows[i].key;
}

}  // namespace
