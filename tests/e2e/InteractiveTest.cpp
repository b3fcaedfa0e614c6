// uninstall.exe's interactive road as a process, driven from the test like a user: the confirmation
// box in every language and for every edition, the wizard with the real driver, Exit and the
// self-removal, and the e-mail client library in use.
#include "tests/support/Keys.h"
#include "tests/support/EndToEnd.h"
#include "tests/support/UiDriving.h"
#include <gtest/gtest.h>
#include <commctrl.h>
#include <set>

using namespace testing_support;
using namespace ui_driving;

namespace {

const std::vector<std::string> kNone;
const DWORD kWindowWaitMs = 30000;
const DWORD kEndWaitMs = 60000;

// The texts are written here in UTF-8; the windows give them in the ANSI code page.
std::string Ansi(const std::string& utf8)
{
    wchar_t wide[512] = {};
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide, 511);
    char ansi[512] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, 511, NULL, NULL);
    return ansi;
}

std::string Filled(const char* format, const char* name)
{
    std::string text = Ansi(format);
    size_t at = text.find("%s");
    return at == std::string::npos ? text : text.replace(at, 2, name);
}

const char kBaseName[] = "Morwa antivirus 6.0 Windows 95/98";
const char kMailName[] = "Morwa antivirus 6.0 Exchange Internet Windows 95/98";
const char kVantorixName[] = "Morwa antivirus 6.0 Vantorix Windows 95/98";
const char kAllEditionsName[] = "Morwa antivirus 6.0";  // productBit 0, or no edition bit at all

struct ConfirmTexts {
    DWORD language;  // the product's "Language" value
    const char* caption;
    const char* question;
};
const ConfirmTexts kSpanishBox = {0, "Desinstalación de %s ",
                                  "Se eliminará completamente del sistema %s. ¿Desea continuar?"};
const ConfirmTexts kFrenchBox = {3, "Désinstallation de %s ",
                                 "%s sera totalement supprimé du système. Souhaitez-vous poursuivre ?"};
const ConfirmTexts kItalianBox = {5, "Disinstallazione di %s ",
                                  "Si eliminerá completamente dal sistema %s. ¿ Continuare?"};
const ConfirmTexts kEnglishBox = {1, "Uninstalling %s ",
                                  "%s will be completely removed from your system. Do you wish to continue?"};

struct WizardTexts {
    const ConfirmTexts* box;
    const char* caption;
    const char* intro;
    const char* steps[3];
    const char* finish[3];
    const char* restart;
    const char* exit;
};
const WizardTexts kEnglish = {
    &kEnglishBox, "Remove a program from your computer",
    "The uninstallation of the %s application will now begin. Please wait while the following "
    "operations are being performed.",
    {"Removing user modules", "Removing  shared modules", "Restoring previous configurations"},
    {"The uninstallation has finished", "You must restart the computer in order for the changes to take effect",
     "You can also return to Windows and restart at a later time"},
    "Restart", "Exit"};
const WizardTexts kFrench = {
    &kFrenchBox, "Supprimer programmes de l'ordinateur",
    "L'application %s va être désinstallée. Patientez pendant la réalisation des opérations suivantes :",
    {"Supprimer éléments utilisateur", "Supprimer éléments partagés", "Restaurer configurations précédentes"},
    {"Désinstallation terminée.", "Pour que les changements soient effectifs, redémarrez l'ordinateur. ",
     "Vous pouvez aussi aller directement dans Windows et redémarrer plus tard."},
    "Redémarrer", "Quitter"};

std::vector<std::string> AnsiAll(const char* const (&texts)[3])
{
    return {Ansi(texts[0]), Ansi(texts[1]), Ansi(texts[2])};
}

// A RunOnce entry of the test's own. A restart runs and deletes every RunOnce entry of the
// prefix (Wine does so for ExitWindowsEx with EWX_REBOOT), so an entry still there, whose command
// has not run, shows that no restart was asked for.
class RestartWitness {
public:
    RestartWitness() : marker_(dir_ / "restarted.txt")
    {
        SetStringValue(HKEY_LOCAL_MACHINE, kRunOnceKey, kName, "cmd.exe /c echo restarted> \"" + marker_ + "\"");
    }
    ~RestartWitness() { DeleteValue(HKEY_LOCAL_MACHINE, kRunOnceKey, kName); }
    // Waits a little, since the start-up processing runs after the asking process has gone.
    bool Restarted() const
    {
        for (int i = 0; i < 20; ++i, Sleep(100))
            if (FileExists(marker_) || !ValueExists(HKEY_LOCAL_MACHINE, kRunOnceKey, kName)) return true;
        return false;
    }

private:
    static constexpr const char* kName = "UninstTestRestartWitness";
    ScratchDir dir_{"restart-witness"};
    std::string marker_;
};

// --- The confirmation box ---

struct BoxSeen {
    bool shown = false;
    std::string caption, text;
    std::vector<int> buttons;
};

BoxSeen ReadAndAnswer(DWORD processId, int answer)
{
    BoxSeen seen;
    HWND box = WaitForWindow([](DWORD id) { return FindMessageBox(id, IDYES); }, processId, kWindowWaitMs);
    if (box == NULL) return seen;
    seen.shown = true;
    seen.caption = Text(box);
    seen.text = MessageText(box);
    seen.buttons = ButtonIds(box);
    Click(box, answer);
    return seen;
}

// Whatever the language and edition, No ends the run at once with everything in place.
TEST(InteractiveConfirmation, CaptionAndTextInEveryLanguageAndEditionAndNoTouchesNothing)
{
    EndToEnd e2e;
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    struct Row {
        const ConfirmTexts* texts;
        unsigned productBit;
        const char* name;
    };
    const Row rows[] = {
        {&kSpanishBox, 1, kBaseName},    {&kSpanishBox, 2, kMailName},    {&kSpanishBox, 4, kVantorixName},
        {&kFrenchBox, 1, kBaseName},     {&kFrenchBox, 2, kMailName},     {&kFrenchBox, 4, kVantorixName},
        {&kItalianBox, 1, kBaseName},    {&kItalianBox, 2, kMailName},    {&kItalianBox, 4, kVantorixName},
        {&kEnglishBox, 1, kBaseName},    {&kEnglishBox, 2, kMailName},    {&kEnglishBox, 4, kVantorixName},
        // The highest edition bit names the edition; without one, the product's own name.
        {&kEnglishBox, 3, kMailName},    {&kEnglishBox, 6, kVantorixName}, {&kEnglishBox, 0, kAllEditionsName},
        {&kSpanishBox, 8, kAllEditionsName}, {&kFrenchBox, 12, kVantorixName},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        const Row& row = rows[i];
        SetDwordValue(HKEY_LOCAL_MACHINE, kProductKey, "Language", row.texts->language);
        ASSERT_TRUE(e2e.Start("qel60_uninst.ini " + std::to_string(row.productBit) + " 0 1")) << "row " << i;
        BoxSeen seen = ReadAndAnswer(e2e.processId(), IDNO);
        EndToEndRun run = e2e.Finish(kEndWaitMs);
        ASSERT_TRUE(seen.shown) << "row " << i << "\n" << e2e.Report(run);
        EXPECT_EQ(Filled(row.texts->caption, row.name), seen.caption) << "row " << i;
        EXPECT_EQ(Filled(row.texts->question, row.name), seen.text) << "row " << i;
        EXPECT_EQ((std::vector<int>{IDYES, IDNO}), seen.buttons) << "row " << i;
        // The information icon cannot be checked from here: its handle belongs to the box's process.
        EXPECT_TRUE(run.facts.finished) << "row " << i;
        EXPECT_EQ(0u, run.facts.exitCode) << "row " << i;
        staging::Difference difference = staging::Compare(run.before, run.after);
        EXPECT_EQ(kNone, difference.removed) << "row " << i;
        EXPECT_EQ(kNone, difference.changed) << "row " << i;
        EXPECT_EQ(kNone, difference.added) << "row " << i;
    }
    Sleep(1000);  // a removal batch, had one been started, would have acted by now
    EXPECT_TRUE(FileExists(e2e.installDir() + "uninstall.exe")) << "No must not start the self-removal";
}

// --- The wizard ---

struct WizardSeen {
    BoxSeen box;
    bool sheetShown = false, finishShown = false, closed = false;
    std::string caption, intro, cancelWhileWorking;
    std::vector<std::string> stepLabels;
    RECT sheet = {0, 0, 0, 0};
    bool backOrNextWhileWorking = false;
    int firstSeen[3] = {-1, -1, -1};  // the look at which each step mark was first visible
    bool firstMarkBeforeThird = false;
    std::vector<int> positions;        // PBM_GETPOS as it changed
    std::set<int> modulePositions;     // those read before the first step mark showed
    std::string warningCaption, warningText;
    std::string finishCaption, nextText, cancelText;
    std::vector<std::string> finishLabels;
    bool backOnFinish = true, nextOnFinish = false;
};

void LookAtMarks(HWND page, int look, WizardSeen* seen)
{
    for (int i = 0; i < 3; ++i)
        if (seen->firstSeen[i] < 0 && Visible(page, kStepMarks[i])) seen->firstSeen[i] = look;
    if (Visible(page, kStepMarks[0]) && !Visible(page, kStepMarks[2])) seen->firstMarkBeforeThird = true;
}

// From the sheet's appearance to the finish page (Next shown) or the sheet's end.
void FollowProgressPage(DWORD processId, HWND sheet, HWND page, WizardSeen* seen)
{
    // The marks and buttons first: the other reads wait for the program to pump its queue.
    LookAtMarks(page, 0, seen);
    seen->backOrNextWhileWorking = Visible(sheet, kBackButton) || Visible(sheet, kNextButton);
    seen->caption = Text(sheet);
    GetWindowRect(sheet, &seen->sheet);
    seen->intro = Text(GetDlgItem(page, kIntroText));
    seen->stepLabels = LabelTexts(page);
    seen->cancelWhileWorking = Text(GetDlgItem(sheet, IDCANCEL));
    for (int look = 1; IsWindow(sheet) && !Visible(sheet, kNextButton); ++look, Sleep(10)) {
        if (look > 6000) return;  // a minute at least: the driver never returned
        HWND warning = FindMessageBox(processId, IDOK);
        if (warning != NULL) {
            seen->warningCaption = Text(warning);
            seen->warningText = MessageText(warning);
            Click(warning, IDOK);
            Sleep(100);
            continue;
        }
        if (VisiblePage(sheet) == page && Visible(sheet, kBackButton)) seen->backOrNextWhileWorking = true;
        LookAtMarks(page, look, seen);
        int position = ProgressPosition(page);
        if (position >= 0 && (seen->positions.empty() || seen->positions.back() != position))
            seen->positions.push_back(position);
        if (position > 0 && seen->firstSeen[0] < 0) seen->modulePositions.insert(position);
    }
}

void ReadFinishPage(HWND sheet, HWND progressPage, WizardSeen* seen)
{
    // Next shows while the finish page initialises, a moment before the page itself.
    HWND page = NULL;
    for (DWORD start = GetTickCount(); GetTickCount() - start < kWindowWaitMs; Sleep(20)) {
        page = VisiblePage(sheet);
        if (page != NULL && page != progressPage) break;
    }
    if (page == NULL || page == progressPage) return;
    seen->finishShown = true;
    seen->finishCaption = Text(sheet);
    seen->finishLabels = LabelTexts(page);
    seen->nextText = Text(GetDlgItem(sheet, kNextButton));
    seen->cancelText = Text(GetDlgItem(sheet, IDCANCEL));
    seen->backOnFinish = Visible(sheet, kBackButton);
    seen->nextOnFinish = Visible(sheet, kNextButton);
}

// Yes in the box, the wizard followed to its end, then `finishButton` pressed on the finish page.
WizardSeen DriveWizard(DWORD processId, int finishButton)
{
    WizardSeen seen;
    seen.box = ReadAndAnswer(processId, IDYES);
    if (!seen.box.shown) return seen;
    HWND sheet = WaitForWindow(FindSheet, processId, kWindowWaitMs);
    HWND page = NULL;
    for (DWORD start = GetTickCount(); sheet != NULL && page == NULL && GetTickCount() - start < kWindowWaitMs;
         Sleep(10))
        page = VisiblePage(sheet);
    if (page == NULL) return seen;
    seen.sheetShown = true;
    FollowProgressPage(processId, sheet, page, &seen);
    if (IsWindow(sheet) && Visible(sheet, kNextButton)) {
        ReadFinishPage(sheet, page, &seen);
        Click(sheet, finishButton);
    }
    for (DWORD start = GetTickCount(); IsWindow(sheet) && GetTickCount() - start < kWindowWaitMs;) Sleep(20);
    seen.closed = !IsWindow(sheet);
    return seen;
}

void ExpectWizardTexts(const WizardSeen& seen, const WizardTexts& texts, const char* edition)
{
    EXPECT_EQ(Filled(texts.box->caption, edition), seen.box.caption);
    EXPECT_EQ(Filled(texts.box->question, edition), seen.box.text);
    EXPECT_EQ(Ansi(texts.caption), seen.caption);
    EXPECT_EQ(Filled(texts.intro, edition), seen.intro);
    EXPECT_EQ(AnsiAll(texts.steps), seen.stepLabels);
    EXPECT_EQ(Ansi(texts.caption), seen.finishCaption);
    EXPECT_EQ(AnsiAll(texts.finish), seen.finishLabels);
    EXPECT_EQ(Ansi(texts.restart), seen.nextText);
    EXPECT_EQ(Ansi(texts.exit), seen.cancelText);
}

// The sheet's middle is the work area's, to the pixel that the halving rounds away.
void ExpectCentred(const RECT& sheet)
{
    RECT area;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
    EXPECT_NEAR((area.left + area.right) / 2.0, (sheet.left + sheet.right) / 2.0, 1.0);
    EXPECT_NEAR((area.top + area.bottom) / 2.0, (sheet.top + sheet.bottom) / 2.0, 1.0);
    EXPECT_GT(sheet.right - sheet.left, 0);
}

// Only the Vantorix edition, without the support-library stand-ins (whose settings and logs are
// not the product's): its full removal leaves the install directory empty for the self-removal.
staging::Options VantorixAlone()
{
    staging::Options options = SampleOptions();
    options.omit = {"Base\\licence.key", "Base\\edition.ini", "Exchange\\licence.key", "Exchange\\edition.ini",
                    "qelsubs.dll", "qeltask.dll", "qelsubs.ini", "qeltask.ini", "qelsubs.log", "qeltask.log"};
    return options;
}

std::string TempBatch()
{
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + "autodel.bat";
}

// Yes, the wizard with the real driver, Exit: everything goes, the program's own files and the
// install directory last. The French row runs on this English system: the product's language
// rules texts and pages alike.
TEST(InteractiveWizard, YesRunsTheWizardAndExitLeavesNothingBehind)
{
    ASSERT_NE(LANG_FRENCH, PRIMARYLANGID(GetUserDefaultLangID())) << "the French row needs another system language";
    struct Row {
        const WizardTexts* texts;
    };
    const Row rows[] = {{&kEnglish}, {&kFrench}};
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        Sentinels sentinels{kSampleInstallDir};
        RestartWitness witness;
        staging::Options options = VantorixAlone();
        options.language = rows[i].texts->box->language;
        EndToEnd e2e(options);
        ASSERT_TRUE(e2e.Stage()) << e2e.error();
        ASSERT_TRUE(e2e.Start("qel60_uninst.ini 4 0 1"));
        WizardSeen seen = DriveWizard(e2e.processId(), IDCANCEL);
        EndToEndRun run = e2e.Finish(kEndWaitMs);
        ASSERT_TRUE(seen.sheetShown) << e2e.Report(run);

        ExpectWizardTexts(seen, *rows[i].texts, kVantorixName);
        ExpectCentred(seen.sheet);
        EXPECT_FALSE(seen.backOrNextWhileWorking);
        EXPECT_FALSE(seen.cancelWhileWorking.empty());
        EXPECT_NE(Ansi(rows[i].texts->exit), seen.cancelWhileWorking) << "the sheet's own label while it works";
        EXPECT_GT(seen.firstSeen[0], 0) << "the marks are hidden until their steps end";
        EXPECT_LE(seen.firstSeen[0], seen.firstSeen[1]);
        EXPECT_LE(seen.firstSeen[1], seen.firstSeen[2]);
        EXPECT_TRUE(seen.firstMarkBeforeThird) << "the marks came all at once";
        for (int position : seen.positions) {
            EXPECT_GE(position, 0);
            EXPECT_LE(position, 100);
        }
        // Ten modules at 200 ms each: the bar moves on module by module before the first mark.
        EXPECT_GE(seen.modulePositions.size(), 3u) << "the bar should follow the modules";
        EXPECT_TRUE(seen.warningCaption.empty()) << seen.warningText;
        EXPECT_TRUE(seen.finishShown);
        EXPECT_TRUE(seen.nextOnFinish);
        EXPECT_FALSE(seen.backOnFinish);
        EXPECT_TRUE(seen.closed);

        EXPECT_TRUE(run.facts.finished);
        EXPECT_EQ(0u, run.facts.exitCode);
        // The batch deletes uninstall.exe and the directory about a quarter second after the end.
        EXPECT_TRUE(WaitForRemovalBatch(15000));
        for (const char* own : {"qel60_uninst.ini", "kolbex.dll", "uninstall.exe"})
            EXPECT_FALSE(FileExists(e2e.installDir() + own)) << own;
        EXPECT_FALSE(DirectoryExists(e2e.installDir())) << e2e.Report(run);
        EXPECT_FALSE(FileExists(TempBatch()));
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunOnceKey, "QELUninstTry"));
        EXPECT_FALSE(witness.Restarted()) << "Exit must not restart";
        EXPECT_EQ(kNone, sentinels.Missing());
    }
}

// The e-mail client holds its library: the warning, then the wizard closes by itself, without the
// finish page, and the run keeps everything (the program's own files included) and restarts nothing.
TEST(InteractiveWizard, HeldMailLibraryClosesTheWizardWithoutTheFinishPage)
{
    RestartWitness witness;
    EndToEnd e2e;
    ASSERT_TRUE(e2e.Stage()) << e2e.error();
    HeldFile holder(e2e.installDir() + "qelexcli.dll");
    ASSERT_TRUE(holder.holding());
    ASSERT_TRUE(e2e.Start("qel60_uninst.ini 0 0 1"));
    // No finish page would come: the Restart button is never pressed.
    WizardSeen seen = DriveWizard(e2e.processId(), kNextButton);
    EndToEndRun run = e2e.Finish(kEndWaitMs);
    ASSERT_TRUE(seen.sheetShown) << e2e.Report(run);
    EXPECT_EQ("Warning", seen.warningCaption);
    EXPECT_EQ("In order to uninstall the e-mail Antivirus, you must first close the Exchange/Outlook client.",
              seen.warningText);
    EXPECT_FALSE(seen.finishShown);
    EXPECT_TRUE(seen.closed);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(-1, seen.firstSeen[i]) << "step mark " << i + 1;
    EXPECT_TRUE(run.facts.finished);
    EXPECT_EQ(0u, run.facts.exitCode);
    staging::Difference difference = staging::Compare(run.before, run.after);
    EXPECT_EQ(kNone, difference.removed);
    EXPECT_FALSE(run.after.retryCommand.has_value());
    EXPECT_FALSE(witness.Restarted());
    // A removal batch, had one been started, would have acted by now.
    for (const char* own : {"qel60_uninst.ini", "kolbex.dll", "uninstall.exe"})
        EXPECT_TRUE(FileExists(e2e.installDir() + own)) << own;
}

}  // namespace
