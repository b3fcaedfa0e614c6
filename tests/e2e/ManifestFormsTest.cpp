// uninstall.exe as a process on small installations of the test's own, whose manifests hold the
// registry and file entry forms: only what an entry validly names goes, and all of it.
#include "tests/support/EndToEnd.h"
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const std::vector<std::string> kNone;
const std::string kProduct = kProductKeyName;

// One module of bit 1 in one application of bit 1, with the entries given.
std::string Manifest(const std::string& moduleEntries, const std::string& registryList)
{
    return "[General]\r\nApps=Forms\r\n[Forms]\r\nMask=1\r\nModules=FormsModule\r\n"
           "[FormsModule]\r\nMask=1\r\nRelativePath=Forms\r\n" +
           moduleEntries + "RegKeyDelSection=FormsReg\r\n[FormsReg]\r\n" + registryList;
}

// The program, the version manager with edition 1 and module 1 installed, and `items`.
std::string Description(const std::string& items)
{
    return "copy uninstall.exe = {ship}\\uninstall.exe\r\n"
           "copy kolbex.dll = {ship}\\product\\kolbex\\kolbex.dll\r\n"
           "copy forms.ini = {samples}\\forms.ini\r\n"
           "key HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\r\n"
           "sz HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\\Path = {install}\r\n"
           "sz HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\\InstalledProducts = 1\r\n"
           "sz HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\\InstalledModules = 1\r\n" +
           items;
}

class ManifestForms : public ::testing::Test {
protected:
    Sentinels sentinels{kSampleInstallDir};
    ScratchDir scratch{"forms"};

    void TearDown() override
    {
        EXPECT_EQ(kNone, sentinels.Missing());
    }

    // Stages the description with the manifest and runs a full removal of edition 1; `e2e` keeps
    // the installation until the test ends.
    EndToEndRun StageAndRun(EndToEnd& e2e, const std::string& manifest)
    {
        WriteTextFile(scratch / "forms.ini", manifest);
        EndToEndRun run;
        if (!e2e.Stage()) {
            ADD_FAILURE() << e2e.error();
            return run;
        }
        e2e.EnableVersionManagerLog();
        run = e2e.Run("forms.ini 1 0 0", 60000);
        EXPECT_TRUE(run.facts.finished) << e2e.Report(run);
        // The module counts as removed whatever its registry entries did.
        const std::vector<std::string> calls = {"KOLBEX_LEERREGISTRY() -> \"1\", \"1\"",
                                                "KOLBEX_ESCRIBIRREGISTRY(\"1\", \"0\")",
                                                "KOLBEX_ESCRIBIRREGISTRY(\"0\", \"0\")"};
        EXPECT_EQ(calls, e2e.VersionManagerCalls());
        return run;
    }

    staging::Options Options()
    {
        staging::Options options = SampleOptions();
        options.samplesDir = scratch.path();
        return options;
    }
};

TEST_F(ManifestForms, RegistryEntriesNameKeysAndValuesOnlyFromTheirStart)
{
    // `key` items make the snapshots take in whole sub-trees, empty keys included.
    const std::string items =
        "key HKCU\\Software\\QEL Forms\r\n"
        "key HKLM\\Software\\QEL Forms\r\n"
        "key HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0Forms\r\n"
        "key HKCU\\Software\\QEL Forms\\Tree\\Sub3\\Empty\r\n"
        "sz HKCU\\Software\\QEL Forms\\Tree\\Sub1\\A = x\r\n"
        "sz HKCU\\Software\\QEL Forms\\Tree\\Sub3\\Deeper\\Deepest\\B = x\r\n"
        "sz HKCU\\Software\\QEL Forms\\Tree\\Sub22\\C = x\r\n"
        "sz HKCU\\Software\\QEL Forms\\Values\\Gone = x\r\n"
        "sz HKCU\\Software\\QEL Forms\\Values\\Kept = x\r\n"
        "sz HKCU\\Software\\QEL Forms\\Middle\\A = x\r\n"
        "sz HKCU\\Software\\QEL Forms\\Lower\\A = x\r\n"
        "sz HKCU\\Software\\QEL Forms\\AfterGap\\A = x\r\n"
        "sz HKLM\\Software\\QEL Forms\\HKEY_CLASSES_ROOT\\A = x\r\n"
        "sz HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\\Forms\\Sub1\\A = x\r\n"
        "sz HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\\Forms\\Sub3\\B = x\r\n"
        "sz HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\\FormsValue = x\r\n"
        "sz HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0\\Forms2\\A = x\r\n"
        "sz HKLM\\Software\\Morwa Software\\Morwa Antivirus 6.0Forms\\A = x\r\n"
        "file Forms\\qelforms.dat\r\n";
    const std::string registryList =
        // A key goes with its whole tree (Wine's own win98 deletion stops after Sub1 here).
        "Key1=HKEY_CURRENT_USER\\Software\\QEL Forms\\Tree\\\r\n"
        "Key2=HKEY_CURRENT_USER\\Software\\QEL Forms\\Values\\Gone\r\n"
        // Root names count only at the very start, in upper case.
        "Key3=QEL\\HKEY_CURRENT_USER\\Software\\QEL Forms\\Middle\\\r\n"
        "Key4=hkey_current_user\\Software\\QEL Forms\\Lower\\\r\n"
        // A later root name in the text does not move the key to another hive.
        "Key5=HKEY_LOCAL_MACHINE\\Software\\QEL Forms\\HKEY_CLASSES_ROOT\\\r\n"
        // A root without a key path, or a key path without a value name, names nothing.
        "Key6=HKEY_CURRENT_USER\\\r\n"
        "Key7=HKEY_CLASSES_ROOT\\\r\n"
        "Key8=HKEY_CURRENT_USER\\Software\r\n"
        "Key9=HKEY_CURRENT_USER\\\\Software\\QEL Forms\\Values\\\r\n"
        // The product key's own forms; the macro only at the start, followed by a backslash.
        "Key10=%ProgramRoot%\\Forms\\\r\n"
        "Key11=%ProgramRoot%\\FormsValue\r\n"
        "Key12=%ProgramRoot%Forms\\\r\n"
        "Key13=X%ProgramRoot%\\Forms2\\\r\n"
        // Key14 is missing: Key15 is never read.
        "Key15=HKEY_CURRENT_USER\\Software\\QEL Forms\\AfterGap\\\r\n";
    EndToEnd e2e(Options(), scratch / "description.ini");
    WriteTextFile(scratch / "description.ini", Description(items));
    EndToEndRun run = StageAndRun(e2e, Manifest("File1=qelforms.dat\r\n", registryList));

    const std::vector<std::string> gone = {
        "HKCU\\Software\\QEL Forms\\Tree", "HKCU\\Software\\QEL Forms\\Values\\Gone",
        "HKLM\\Software\\QEL Forms\\HKEY_CLASSES_ROOT", kProduct + "\\Forms", kProduct + "\\FormsValue",
        Install("Forms")};
    const std::vector<std::string> kept = {
        "HKCU\\Software\\QEL Forms\\Values\\Kept", "HKCU\\Software\\QEL Forms\\Middle",
        "HKCU\\Software\\QEL Forms\\Lower", "HKCU\\Software\\QEL Forms\\AfterGap", kProduct + "0Forms",
        kProduct + "\\Forms2", kProduct + "\\Path"};
    staging::Difference difference = staging::Compare(run.before, run.after);
    EXPECT_EQ(kNone, StillPresent(run.after, gone)) << e2e.Report(run);
    EXPECT_EQ(kNone, RemovedOutside(difference, gone)) << e2e.Report(run);
    EXPECT_EQ(kNone, LostFrom(difference, kept));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Microsoft"));
}

TEST_F(ManifestForms, SystemRootMacroCountsOnlyAtTheStartOfAFileEntry)
{
    const std::string items =
        "file Forms\\qelforms.dat\r\n"
        "file Forms\\Sub\\%SystemRoot%\\qelforms.dll\r\n"
        "file Forms\\%SystemRoot%qelforms.dll\r\n"
        "file {system}\\qelforms.dll\r\n"
        "file {system}\\qelforms2.dll\r\n";
    const std::string files =
        "File1=qelforms.dat\r\n"
        // Further in, the macro is part of a name below the module directory: the system
        // directory's file of the same name stays.
        "File2=Sub\\%SystemRoot%\\qelforms.dll\r\n"
        "File3=%SystemRoot%qelforms.dll\r\n"
        "File4=%SystemRoot%\\qelforms2.dll\r\n";
    EndToEnd e2e(Options(), scratch / "description.ini");
    WriteTextFile(scratch / "description.ini", Description(items));
    EndToEndRun run = StageAndRun(e2e, Manifest(files, ""));

    const std::vector<std::string> gone = {Install("Forms\\qelforms.dat"),
                                           Install("Forms\\Sub\\%SystemRoot%\\qelforms.dll"),
                                           System("qelforms2.dll")};
    // "%SystemRoot%qelforms.dll" lacks the backslash after the macro and names no file at all.
    const std::vector<std::string> kept = {System("qelforms.dll"), Install("Forms\\%SystemRoot%qelforms.dll")};
    staging::Difference difference = staging::Compare(run.before, run.after);
    EXPECT_EQ(kNone, StillPresent(run.after, gone)) << e2e.Report(run);
    EXPECT_EQ(kNone, RemovedOutside(difference, gone)) << e2e.Report(run);
    EXPECT_EQ(kNone, LostFrom(difference, kept));
}

}  // namespace
