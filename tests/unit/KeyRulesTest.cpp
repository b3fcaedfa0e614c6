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

// The shared registration trees: which registration holds a key, in any spelling, and whether the
// key is that registration's own.
TEST(KeyRules, RegistrationTable)
{
    using R = Registration;
    struct Row { RegistryRoot root; const char* path; R kind; bool whole; } rows[] = {
        {kRootClassesRoot, ".qel", R::kExtension, true},
        {kRootClassesRoot, ".qel\\ShellNew", R::kExtension, false},
        {kRootLocalMachine, "Software\\Classes\\Morwa.ScanList", R::kClass, true},
        {kRootCurrentUser, "Software\\Classes\\Morwa.ScanList\\shell\\open", R::kClass, false},
        {kRootUsers, "S-1-5-21-7_Classes\\.zip", R::kExtension, true},
        {kRootClassesRoot, "CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}", R::kClsid, true},
        {kRootClassesRoot, "Wow6432Node\\CLSID\\{x}\\InprocServer32", R::kClsid, false},
        {kRootClassesRoot, "Interface\\{00000000-0000-0000-C000-000000000046}", R::kInterface, true},
        {kRootLocalMachine, "SOFTWARE\\Classes\\TypeLib\\{00020430-0000-0000-C000-000000000046}", R::kTypeLib, true},
        {kRootClassesRoot, "CLSIDX\\{x}", R::kClass, false},
        {kRootLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE", R::kAppPath, true},
        {kRootCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other", R::kUninstall, true},
        {kRootLocalMachine, "Software\\Microsoft\\Active Setup\\Installed Components\\{89820200-ECBD-11cf-8B85-00AA005B4383}",
         R::kComponent, true},
        {kRootLocalMachine, "System\\ControlSet001\\Services\\RpcSs", R::kService, true},
        {kRootLocalMachine, "System\\CurrentControlSet\\Services\\VxD\\QELVXD", R::kService, true},
        {kRootLocalMachine, "System\\CurrentControlSet\\Services\\VxD\\QELVXD\\Parts", R::kService, false},
        {kRootLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run\\QELHostile", R::kNone, false},
        {kRootLocalMachine, "Software\\Morwa Software\\Morwa Antivirus 6.0\\Scanner", R::kNone, false},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        bool whole = !rows[i].whole;
        EXPECT_EQ(rows[i].kind, RegistrationOf(rows[i].root, rows[i].path, &whole)) << "row " << i;
        if (rows[i].kind != R::kNone) EXPECT_EQ(rows[i].whole, whole) << "row " << i;
    }
}

// Which values of a registration's tree tell whose it is, and which registration a value names.
TEST(KeyRules, EvidenceTable)
{
    using R = Registration;
    using E = Evidence;
    struct Row { R kind; int depth; const char* key; const char* value; E evidence; } rows[] = {
        {R::kClass, 3, "command", "", E::kFile},          // shell\open\command
        {R::kClass, 1, "DefaultIcon", "", E::kFile},
        {R::kClass, 0, "Paint.Picture", "", E::kNone},    // a class's own default: its description
        {R::kExtension, 0, ".qel", "", E::kRegistration},
        {R::kExtension, 0, ".qel", "Content Type", E::kNone},
        {R::kClsid, 1, "InprocServer32", "", E::kFile},
        {R::kClsid, 1, "InprocServer32", "ThreadingModel", E::kNone},
        {R::kInterface, 1, "ProxyStubClsid32", "", E::kRegistration},
        {R::kInterface, 0, "{x}", "", E::kNone},
        {R::kTypeLib, 3, "win32", "", E::kFile},
        {R::kAppPath, 0, "qelscan.exe", "", E::kFile},
        {R::kAppPath, 1, "sub", "Path", E::kNone},        // named values count at the key named only
        {R::kService, 0, "QELVXD", "StaticVxD", E::kFile},
        {R::kService, 0, "RpcSs", "ImagePath", E::kFile},
        {R::kService, 0, "RpcSs", "DisplayName", E::kNone},
        {R::kUninstall, 0, "Morwa Antivirus 6.0", "uninstallstring", E::kFile},
        {R::kUninstall, 0, "Morwa Antivirus 6.0", "DisplayName", E::kNone},
        {R::kComponent, 0, "{x}", "StubPath", E::kFile},
        {R::kClass, 0, "Morwa.ScanList", "QELEvidence", E::kFile},  // kept there until the key goes
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(rows[i].evidence, EvidenceOf(rows[i].kind, rows[i].depth, rows[i].key, rows[i].value)) << "row " << i;

    struct Named { R kind; const char* key; const char* value; const char* named; } named[] = {
        {R::kExtension, ".qel", "Morwa.ScanList", "Morwa.ScanList"},
        {R::kExtension, "Software\\Classes\\.qel", "Morwa.ScanList", "Software\\Classes\\Morwa.ScanList"},
        {R::kInterface, "Interface\\{i}", "{c}", "CLSID\\{c}"},
        {R::kInterface, "Software\\Classes\\Interface\\{i}", "{c}", "Software\\Classes\\CLSID\\{c}"},
        {R::kExtension, ".qel", "..\\CLSID", ""},  // names no key of its own
    };
    for (size_t i = 0; i < sizeof named / sizeof named[0]; ++i)
        EXPECT_EQ(named[i].named, NamedRegistration(named[i].kind, named[i].key, named[i].value)) << "named " << i;
}

// The file a command, a server, an icon or a path value names.
TEST(KeyRules, PathInCommandTable)
{
    struct Row { const char* text; const char* path; } rows[] = {
        {"\"C:\\Program Files\\Morwa Antivirus\\Scanner\\qelscan.exe\" /list \"%1\"",
         "C:\\Program Files\\Morwa Antivirus\\Scanner\\qelscan.exe"},
        {"C:\\Program Files\\Morwa Antivirus\\uninstall.exe qel60_uninst.ini 0 0 1",
         "C:\\Program Files\\Morwa Antivirus\\uninstall.exe"},
        {"C:\\PROGRA~1\\MORWAA~1\\SCANNER\\QELSCAN.EXE %1", "C:\\PROGRA~1\\MORWAA~1\\SCANNER\\QELSCAN.EXE"},
        {"C:\\Program Files\\Morwa 6.0\\x.exe /a", "C:\\Program Files\\Morwa 6.0\\x.exe"},
        {"C:\\Program Files\\Morwa Antivirus\\Scanner  ", "C:\\Program Files\\Morwa Antivirus\\Scanner"},
        {"C:\\WINDOWS\\SYSTEM\\qelctl.ocx,1", "C:\\WINDOWS\\SYSTEM\\qelctl.ocx"},
        {"\"C:\\Program Files\\Morwa Antivirus\\qelql.ico\",0", "C:\\Program Files\\Morwa Antivirus\\qelql.ico"},
        {"rundll32.exe C:\\Program Files\\Morwa Antivirus\\qelsetup.dll,Install",
         "C:\\Program Files\\Morwa Antivirus\\qelsetup.dll"},
        {"C:\\WINDOWS\\RUNDLL32.EXE \"C:\\Morwa\\qel.dll\",Entry %1", "C:\\Morwa\\qel.dll"},
        {"RunDll.exe C:\\Morwa\\qel16.dll,Entry", "C:\\Morwa\\qel16.dll"},
        // A loader without its extension and an unquoted library: one path with a blank, not full.
        {"rundll32 C:\\Morwa\\qel.dll,Entry", ""},
        {"  C:\\WINDOWS\\SYSTEM\\svchost.exe -k rpcss", "C:\\WINDOWS\\SYSTEM\\svchost.exe"},
        {"\\\\server\\share\\qel.exe /x", "\\\\server\\share\\qel.exe"},
        // No full path: the system's search, or nothing, decides where these lie.
        {"shell32.dll", ""},
        {"%SystemRoot%\\System32\\svchost.exe -k rpcss", ""},  // the reader expands it first
        {"system32\\drivers\\qel.sys", ""},
        {"rundll32.exe qel.dll,Entry", ""},
        {"\"C:\\Morwa\\qel.exe", ""},  // no closing quote
        {"\"C:\\Morwa\\\"..\\Other\\o.dll", ""},  // goes on past its quote
        {"\\\\?\\C:\\Morwa\\qel.exe", ""},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(rows[i].path, PathInCommand(rows[i].text)) << "row " << i << ": " << rows[i].text;
}
