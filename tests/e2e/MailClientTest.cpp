// uninstall.exe as a process while the e-mail client holds its library: the localized warning box,
// answered by the test, and a run that removes nothing.
#include "tests/support/Keys.h"
#include "tests/support/EndToEnd.h"
#include <gtest/gtest.h>
#include <optional>

using namespace testing_support;

namespace {

const std::vector<std::string> kNone;

struct Warning {
    const char* caption;
    const char* text;
};
// The texts in each language's ANSI code page (1252 for all four).
const Warning kEnglish = {
    "Warning", "In order to uninstall the e-mail Antivirus, you must first close the Exchange/Outlook client."};
const Warning kFrench = {"Avertissement",
                         "Pour d\xE9sinstaller correctement l'anti-virus pour le courrier \xE9lectronique, fermez "
                         "d'abord le client Exchange/Outlook."};
const Warning kItalian = {"Avviso",
                          "Per poter disinstallare con successo l'antivirus per posta elettronica, si deve prima "
                          "chiudere  Exchange/Outlook."};
const Warning kSpanish = {"Aviso",
                          "Para poder desinstalar satisfactoriamente el antivirus para correo electr\xF3nico, debe "
                          "primero cerrar el cliente Exchange/Outlook."};

class MailClientInUse : public ::testing::Test {
protected:
    Sentinels sentinels{kSampleInstallDir};
    EndToEnd e2e;

    void TearDown() override
    {
        EXPECT_EQ(kNone, sentinels.Missing());
    }

    // Runs the uninstaller, presses OK on the box it shows and waits for its end; `shown` says
    // whether a box came within the wait.
    EndToEndRun RunAnswering(const std::string& tokens, MessageBoxSeen* seen, bool* shown)
    {
        *shown = false;
        if (!e2e.Start(tokens)) return e2e.Finish(0);
        *shown = AnswerMessageBox(e2e.processId(), IDOK, 30000, seen);
        return e2e.Finish(30000);
    }

    // The run ended by itself with exit code 0 and left the installation exactly as it was.
    void ExpectUntouched(const EndToEndRun& run, const std::string& label)
    {
        EXPECT_TRUE(run.facts.finished) << label;
        EXPECT_EQ(0u, run.facts.exitCode) << label;
        staging::Difference difference = staging::Compare(run.before, run.after);
        EXPECT_EQ(kNone, difference.removed) << label;
        EXPECT_EQ(kNone, difference.changed) << label;
        EXPECT_FALSE(run.after.retryCommand.has_value()) << label;
    }
};

// Wine refuses the deletion of a file held open with ERROR_SHARING_VIOLATION, as the NT family
// does; Windows 95/98 say ERROR_ACCESS_DENIED. Both must stop the run.
TEST_F(MailClientInUse, HeldLibraryStopsTheRunBeforeAnythingIsRemoved)
{
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    e2e.EnableVersionManagerLog();
    HeldFile holder(Install("qelexcli.dll"));
    ASSERT_TRUE(holder.holding());
    MessageBoxSeen seen;
    bool shown = false;
    EndToEndRun run = RunAnswering("qel60_uninst.ini 0 0 0", &seen, &shown);
    ASSERT_TRUE(shown) << e2e.Report(run);
    EXPECT_EQ(kEnglish.caption, seen.caption);
    EXPECT_EQ(kEnglish.text, seen.text);
    ExpectUntouched(run, "held open");
    // The masks were read, and nothing was reported as removed.
    const std::vector<std::string> calls = {"KOLBEX_LEERREGISTRY() -> \"7\", \"1023\""};
    EXPECT_EQ(calls, e2e.VersionManagerCalls());
}

TEST_F(MailClientInUse, WarningSpeaksTheProductLanguage)
{
    e2e.options().readOnly = {"qelexcli.dll"};  // refused with access denied, as a held file on Windows 98
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    struct Row {
        std::optional<DWORD> language;
        const char* tokens;
        const Warning* warning;
    };
    const Row rows[] = {
        {0, "qel60_uninst.ini 2 8 0", &kSpanish}, {3, "qel60_uninst.ini 0 0 0", &kFrench},
        {5, "qel60_uninst.ini 4 0 2", &kItalian}, {1, "qel60_uninst.ini 2 8 0", &kEnglish},
        {4, "qel60_uninst.ini 2 8 0", &kEnglish}, {std::nullopt, "qel60_uninst.ini 2 8 0", &kEnglish},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        const Row& row = rows[i];
        if (row.language) SetDwordValue(HKEY_LOCAL_MACHINE, kProductKey, "Language", *row.language);
        else DeleteValue(HKEY_LOCAL_MACHINE, kProductKey, "Language");
        MessageBoxSeen seen;
        bool shown = false;
        EndToEndRun run = RunAnswering(row.tokens, &seen, &shown);
        ASSERT_TRUE(shown) << "row " << i << "\n" << e2e.Report(run);
        EXPECT_EQ(row.warning->caption, seen.caption) << "row " << i;
        EXPECT_EQ(row.warning->text, seen.text) << "row " << i;
        ExpectUntouched(run, "row " + std::to_string(i));
        // Even a retry run keeps its own files when the client blocked it.
        EXPECT_TRUE(FileExists(Install("uninstall.exe"))) << "row " << i;
        EXPECT_TRUE(FileExists(Install("kolbex.dll"))) << "row " << i;
    }
}

TEST_F(MailClientInUse, RemovalWithoutTheClientBitDoesNotCheck)
{
    e2e.options().readOnly = {"qelexcli.dll"};
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    // 0x100 selects the mail scanner alone: no check, no box, the client library stays.
    EndToEndRun run = e2e.Run("qel60_uninst.ini 2 256 0", 30000);
    ASSERT_TRUE(run.facts.finished) << "a box would keep the process waiting\n" << e2e.Report(run);
    staging::Difference difference = staging::Compare(run.before, run.after);
    EXPECT_EQ(kNone, StillPresent(run.after, {Install("Mail")}));
    EXPECT_EQ(kNone, LostFrom(difference, {Install("qelexcli.dll"), Install("qelexmsg.dll")}));
}

}  // namespace
