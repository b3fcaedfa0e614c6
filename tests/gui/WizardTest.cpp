// The wizard driven in-process: the sheet runs on the test thread while a second thread plays
// the user, finding the windows, reading their state and pressing buttons as a person would.
#include "app/Edition.h"
#include "app/Language.h"
#include "app/RunContext.h"
#include "engine/Driver.h"
#include "res/resource.h"
#include "tests/support/UiDriving.h"
#include "ui/Centering.h"
#include "ui/IntroText.h"
#include "ui/Wizard.h"
#include <windows.h>
#include <commctrl.h>
#include <atomic>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using ui_driving::Children;
using ui_driving::ClassOf;
using ui_driving::LabelTexts;
using ui_driving::Text;
using ui_driving::Visible;
using ui_driving::VisiblePage;

using ui_driving::kBackButton;
using ui_driving::kNextButton;
const DWORD kWaitMs = 10000;  // a guard against a wizard that never shows or never closes

// --- The driver stand-in, run by the progress page on the wizard's thread ---

struct StandIn {
    int result = 1;
    std::atomic<int> calls{0};
    std::atomic<HWND> window{NULL};
    HANDLE entered = NULL;  // set when the page has called the driver
    HANDLE release = NULL;  // the driver returns once this is set
};
StandIn* standIn = NULL;

// Pumps the queue as the real driver does, so that the user thread's reads are answered.
void PumpUntil(HANDLE event)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kWaitMs) {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (MsgWaitForMultipleObjects(1, &event, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0) return;
    }
}

int StandInDriver(HWND page)
{
    standIn->window = page;
    ++standIn->calls;
    SetEvent(standIn->entered);
    if (page != NULL) {
        PumpUntil(standIn->release);
        // What the real driver leaves behind: the bar full, the three step marks shown.
        PostMessageA(GetDlgItem(page, IDC_PROGRESS_BAR), PBM_SETPOS, 100, 0);
        for (int mark : {IDC_MARK_USER_MODULES, IDC_MARK_SHARED_MODULES, IDC_MARK_RESTORE})
            ShowWindow(GetDlgItem(page, mark), SW_SHOW);
    }
    return standIn->result;
}

// --- Reading windows from the user thread ---

HWND WaitForSheet()
{
    return ui_driving::WaitForWindow(ui_driving::FindSheet, GetCurrentProcessId(), kWaitMs);
}

SIZE PictureSize(HWND page)
{
    SIZE size = {0, 0};
    for (HWND child : Children(page)) {
        HBITMAP bitmap = reinterpret_cast<HBITMAP>(SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0));
        BITMAP info;
        if (bitmap != NULL && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP &&
            GetObjectA(bitmap, sizeof info, &info) == sizeof info) {
            size.cx = info.bmWidth;
            size.cy = info.bmHeight;
        }
    }
    return size;
}

// --- What the user thread saw ---

enum class Action { Restart, Exit, CloseBox, Nothing };

struct Seen {
    bool sheetFound = false, driverEntered = false, finishShown = false, closed = false;
    std::string caption, introText, cancelWhileWorking;
    bool backWhileWorking = true, nextWhileWorking = true;
    bool marksHiddenWhileWorking = false;
    bool centred = false;
    SIZE progressPicture = {0, 0}, finishPicture = {0, 0};
    std::vector<std::string> progressLabels, finishLabels;
    std::string nextText, cancelText, captionOnFinish;
    bool backOnFinish = true, nextOnFinish = false;
    bool finishPageIsSecondPage = false;
};

bool Centred(HWND sheet)
{
    RECT r, area;
    GetWindowRect(sheet, &r);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    ScreenPoint at = CenteredPosition({r.left, r.top, r.right, r.bottom},
                                      {area.left, area.top, area.right, area.bottom});
    return at.x == r.left && at.y == r.top;
}

void ObserveWhileWorking(HWND sheet, HWND page, Seen* seen)
{
    seen->caption = Text(sheet);
    seen->backWhileWorking = Visible(sheet, kBackButton);
    seen->nextWhileWorking = Visible(sheet, kNextButton);
    seen->cancelWhileWorking = Text(GetDlgItem(sheet, IDCANCEL));
    seen->introText = Text(GetDlgItem(page, IDC_INTRO_TEXT));
    seen->marksHiddenWhileWorking = !IsWindowVisible(GetDlgItem(page, IDC_MARK_USER_MODULES)) &&
                                    !IsWindowVisible(GetDlgItem(page, IDC_MARK_SHARED_MODULES)) &&
                                    !IsWindowVisible(GetDlgItem(page, IDC_MARK_RESTORE));
    seen->centred = Centred(sheet);
    seen->progressPicture = PictureSize(page);
    seen->progressLabels = LabelTexts(page);
}

bool WaitForClose(HWND sheet, Seen* seen)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs; Sleep(20)) {
        if (!IsWindow(sheet)) return true;
        if (Visible(sheet, kNextButton)) seen->finishShown = true;
    }
    return false;
}

void PlayUser(Action action, Seen* seen)
{
    HWND sheet = WaitForSheet();
    seen->sheetFound = sheet != NULL;
    seen->driverEntered = WaitForSingleObject(standIn->entered, kWaitMs) == WAIT_OBJECT_0;
    if (sheet == NULL || !seen->driverEntered) {
        SetEvent(standIn->release);
        return;
    }
    HWND progressPage = standIn->window;
    ObserveWhileWorking(sheet, progressPage, seen);
    SetEvent(standIn->release);

    if (action == Action::Nothing) {
        seen->closed = WaitForClose(sheet, seen);
    } else {
        for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs; Sleep(20)) {
            if (Visible(sheet, kNextButton)) { seen->finishShown = true; break; }
            if (!IsWindow(sheet)) break;
        }
        if (seen->finishShown) {
            // Next is shown while the finish page initialises, a moment before the page itself.
            HWND finishPage = NULL;
            for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs; Sleep(20)) {
                finishPage = VisiblePage(sheet);
                if (finishPage != NULL && finishPage != progressPage) break;
            }
            seen->finishPageIsSecondPage = finishPage != NULL && finishPage != progressPage;
            seen->captionOnFinish = Text(sheet);
            seen->nextText = Text(GetDlgItem(sheet, kNextButton));
            seen->cancelText = Text(GetDlgItem(sheet, IDCANCEL));
            seen->backOnFinish = Visible(sheet, kBackButton);
            seen->nextOnFinish = Visible(sheet, kNextButton);
            seen->finishPicture = PictureSize(finishPage);
            seen->finishLabels = LabelTexts(finishPage);
        }
        if (action == Action::Restart)
            PostMessageA(GetDlgItem(sheet, kNextButton), BM_CLICK, 0, 0);
        else if (action == Action::Exit)
            PostMessageA(GetDlgItem(sheet, IDCANCEL), BM_CLICK, 0, 0);
        else
            PostMessageA(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
        seen->closed = WaitForClose(sheet, seen);
    }
    if (!seen->closed && IsWindow(sheet)) PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

// --- Fixture ---

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetRunContext();
        runContext.instance = GetModuleHandleA(NULL);
        runContext.languageId = 0x0409;
        runContext.productBit = 4;
        stand.entered = CreateEventA(NULL, TRUE, FALSE, NULL);
        stand.release = CreateEventA(NULL, TRUE, FALSE, NULL);
        standIn = &stand;
    }
    void TearDown() override
    {
        standIn = NULL;
        CloseHandle(stand.entered);
        CloseHandle(stand.release);
    }
    // Runs the wizard on this thread while the user thread plays `action`.
    Seen Run(Action action)
    {
        Seen seen;
        std::thread user(PlayUser, action, &seen);
        RunWizard(NULL, StandInDriver);
        user.join();
        return seen;
    }
    StandIn stand;
};

// The texts as LoadLocalizedString gives them, so that the checks hold for whatever the string
// table holds (its texts are checked where the lookup is tested).
std::string LocalString(UINT id, int size)
{
    char buffer[256] = {};
    LoadLocalizedString(runContext.instance, id, buffer, size, runContext.languageId);
    return buffer;
}

std::string ExpectedIntro()
{
    char pattern[256] = {};
    LoadLocalizedString(runContext.instance, IDS_INTRO, pattern, 255, runContext.languageId);
    char text[256];
    FormatIntroText(pattern, EditionName(runContext.productBit), text, sizeof text);
    return text;
}

// The UTF-8 texts of the templates as the pages show them, in the ANSI code page.
std::string Ansi(const char* utf8)
{
    wchar_t wide[256] = {};
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 255);
    char ansi[256] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, 255, NULL, NULL);
    return ansi;
}

void ExpectWorkingState(const Seen& seen)
{
    ASSERT_TRUE(seen.sheetFound);
    ASSERT_TRUE(seen.driverEntered);
    EXPECT_EQ(LocalString(IDS_WIZARD_CAPTION, 60), seen.caption);
    EXPECT_FALSE(seen.backWhileWorking);
    EXPECT_FALSE(seen.nextWhileWorking);
    EXPECT_EQ(ExpectedIntro(), seen.introText);
    EXPECT_NE("Se va a proceder...", seen.introText) << "the placeholder was not replaced";
    // The sheet's own Cancel label stays while the uninstall runs.
    EXPECT_FALSE(seen.cancelWhileWorking.empty());
    EXPECT_NE(LocalString(IDS_EXIT, 20), seen.cancelWhileWorking);
    EXPECT_TRUE(seen.marksHiddenWhileWorking);
    EXPECT_TRUE(seen.centred);
    EXPECT_EQ(120, seen.progressPicture.cx);
    EXPECT_EQ(257, seen.progressPicture.cy);
}

void ExpectFinishState(const Seen& seen)
{
    ASSERT_TRUE(seen.finishShown);
    EXPECT_TRUE(seen.finishPageIsSecondPage);
    // Wine gives the sheet each page's own (empty) caption as the page is shown.
    EXPECT_EQ(LocalString(IDS_WIZARD_CAPTION, 60), seen.captionOnFinish);
    EXPECT_TRUE(seen.nextOnFinish);
    EXPECT_FALSE(seen.backOnFinish);
    EXPECT_EQ(LocalString(IDS_RESTART, 20), seen.nextText);
    EXPECT_EQ(LocalString(IDS_EXIT, 20), seen.cancelText);
    EXPECT_EQ(120, seen.finishPicture.cx);
    EXPECT_EQ(257, seen.finishPicture.cy);
}

TEST_F(WizardTest, RestartOnTheFinishPageAsksForARestart)
{
    Seen seen = Run(Action::Restart);
    ExpectWorkingState(seen);
    ExpectFinishState(seen);
    EXPECT_TRUE(seen.closed);
    EXPECT_EQ(1, stand.calls.load());
    EXPECT_EQ(1, runContext.restartRequested);
}

TEST_F(WizardTest, ExitAndTheCloseBoxLeaveTheRestartFlagAlone)
{
    for (Action action : {Action::Exit, Action::CloseBox}) {
        SCOPED_TRACE(action == Action::Exit ? "Exit" : "close box");
        runContext.restartRequested = 0;
        ResetEvent(stand.entered);
        ResetEvent(stand.release);
        stand.calls = 0;
        Seen seen = Run(action);
        ExpectFinishState(seen);
        EXPECT_TRUE(seen.closed);
        EXPECT_EQ(1, stand.calls.load());
        EXPECT_EQ(0, runContext.restartRequested);
    }
}

TEST_F(WizardTest, DriverResultTwoClosesWithoutTheFinishPage)
{
    stand.result = 2;
    Seen seen = Run(Action::Nothing);
    ExpectWorkingState(seen);
    EXPECT_TRUE(seen.closed) << "the wizard should close by itself";
    EXPECT_FALSE(seen.finishShown);
    EXPECT_EQ(0, runContext.restartRequested);
}

TEST_F(WizardTest, PagesComeInTheRunLanguage)
{
    // Driver results 0 and 1 both lead to the finish page.
    struct Row { WORD language; int result; const char* firstStep; const char* heading; } rows[] = {
        {0x0409, 1, "Removing user modules", "The uninstallation has finished"},
        {0x040C, 0, "Supprimer éléments utilisateur", "Désinstallation terminée."},
        {0x0410, 1, "Elimina elementi di utenza", "La disinstallazióne si è conclusa."},
        {0x0C0A, 0, "Eliminar elementos de usuario", "La desinstalación ha concluido."},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        runContext.languageId = rows[i].language;
        stand.result = rows[i].result;
        ResetEvent(stand.entered);
        ResetEvent(stand.release);
        Seen seen = Run(Action::Exit);
        ASSERT_TRUE(seen.driverEntered) << "row " << i;
        ASSERT_EQ(3u, seen.progressLabels.size()) << "row " << i;
        EXPECT_EQ(Ansi(rows[i].firstStep), seen.progressLabels[0]) << "row " << i;
        ASSERT_TRUE(seen.finishShown) << "row " << i;
        ASSERT_EQ(3u, seen.finishLabels.size()) << "row " << i;
        EXPECT_EQ(Ansi(rows[i].heading), seen.finishLabels[0]) << "row " << i;
        EXPECT_EQ(LocalString(IDS_RESTART, 20), seen.nextText) << "row " << i;
        EXPECT_TRUE(seen.closed) << "row " << i;
    }
}

TEST_F(WizardTest, WithoutTemplatesTheRemovalRunsWithoutAWindow)
{
    // German has no pages: the sheet is not built on a missing template, and the removal the
    // user confirmed still runs.
    runContext.languageId = 0x0407;
    RunWizard(NULL, StandInDriver);
    EXPECT_EQ(1, stand.calls.load());
    EXPECT_TRUE(stand.window == NULL);
    EXPECT_TRUE(ui_driving::FindSheet(GetCurrentProcessId()) == NULL);
}

}  // namespace
