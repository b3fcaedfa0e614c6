// The wizard sheet, its progress and finish pages, and the centring of its window.
#include "ui/Wizard.h"
#include "app/Edition.h"
#include "app/Language.h"
#include "app/RunContext.h"
#include "base/FaultGuard.h"
#include "engine/Driver.h"
#include "res/resource.h"
#include "ui/Centering.h"
#include "ui/IntroText.h"
#include <commctrl.h>

// The records the sheet is given: the header with the watermark fields and the page with
// the header-title fields, as the common controls of Internet Explorer 4 define them. The
// headers' own PROPSHEETPAGEA has grown a later field; the sheet steps through the pages by
// each record's dwSize, so the older record is handed over as it stands.
typedef PROPSHEETPAGEA_V2 PageRecord;
#if defined(_WIN64)
// The x86_64 test build: the same records in the 64-bit layout.
static_assert(sizeof(PROPSHEETHEADERA) == 96, "property sheet header must be 96 bytes");
static_assert(sizeof(PageRecord) == 88, "property sheet page must be 88 bytes");
#else
static_assert(sizeof(PROPSHEETHEADERA) == 52, "property sheet header must be 52 bytes");
static_assert(sizeof(PageRecord) == 48, "property sheet page must be 48 bytes");
#endif

namespace {

// The sheet RunWizard is showing, while it shows: the page procedures have no other way to
// the driver it runs.
struct ShownSheet {
    UninstallProc uninstall;
};
const ShownSheet* shownSheet = NULL;

const int kBackButton = 0x3023;
const int kNextButton = 0x3024;
const int kCaptionSize = 60;
const int kButtonTextSize = 20;
const int kIntroSize = 256;  // the template is read with one byte less

void SetSheetCaption(HWND sheet)
{
    char caption[kCaptionSize] = {};
    LoadLocalizedString(runContext.instance, IDS_WIZARD_CAPTION, caption, kCaptionSize,
                        runContext.languageId);
    SetWindowTextA(sheet, caption);
}

// Some sheets (Wine's among them) give the window each page's own caption as the page is
// shown, and the pages have none: the wizard's caption is set again once a page is showing.
void KeepSheetCaption(HWND page, WPARAM showing)
{
    HWND sheet = GetParent(page);
    if (showing && sheet != NULL) SetSheetCaption(sheet);
}

// The locked template of `dialogId` in exactly the run's language, or none.
const DLGTEMPLATE* FindPageTemplate(int dialogId)
{
    HRSRC found = FindResourceExA(runContext.instance, RT_DIALOG,
                                  MAKEINTRESOURCEA(dialogId), runContext.languageId);
    if (found == NULL) return NULL;
    HGLOBAL loaded = LoadResource(runContext.instance, found);
    if (loaded == NULL) return NULL;
    return static_cast<const DLGTEMPLATE*>(LockResource(loaded));
}

void FillPage(PageRecord* page, int dialogId, const char* title, DLGPROC procedure)
{
    page->dwSize = sizeof(PageRecord);
    page->dwFlags = PSP_DLGINDIRECT;
    page->hInstance = runContext.instance;
    page->pResource = FindPageTemplate(dialogId);
    page->pszTitle = title;
    page->pfnDlgProc = procedure;
    page->lParam = 0;
}

// --- Progress page ---

void ShowIntroText(HWND page)
{
    char pattern[kIntroSize] = {};  // stays empty when the language has no string 1
    LoadLocalizedString(runContext.instance, IDS_INTRO, pattern, kIntroSize - 1,
                        runContext.languageId);
    char text[kIntroSize];
    FormatIntroText(pattern, EditionName(runContext.productBit), text, sizeof text);
    SetDlgItemTextA(page, IDC_INTRO_TEXT, text);
}

BOOL OnProgressInit(HWND page)
{
    HWND sheet = GetParent(page);
    if (sheet != NULL) CenterWindow(sheet);
    ShowIntroText(page);
    PostMessageA(page, WM_STARTUNINSTALL, 0, 0);
    return TRUE;
}

BOOL OnStartUninstall(HWND page)
{
    HWND sheet = GetParent(page);
    int result = kUninstallIncomplete;  // what a fault leaves: a failed walk, and the finish page still follows
    Guarded([&result, page] { result = shownSheet ? shownSheet->uninstall(page) : kUninstallIncomplete; });
    if (result == kUninstallMailClientBusy) {
        PostMessageA(sheet, WM_CLOSE, 0, 0);
    } else {
        PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        Sleep(1000);  // keeps the finished progress page in view before the sheet turns
    }
    return TRUE;
}

INT_PTR CALLBACK ProgressPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnProgressInit(page);
    case WM_STARTUNINSTALL:
        return OnStartUninstall(page);
    case WM_SHOWWINDOW:
        KeepSheetCaption(page, wParam);
        return FALSE;
    case WM_NOTIFY:
        // Leaving the message result at 0 lets the sheet go on to the finish page.
        return reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(PSN_WIZNEXT);
    default:
        return FALSE;
    }
}

// --- Finish page ---

BOOL OnFinishInit(HWND page)
{
    char restartText[kButtonTextSize] = {};
    char exitText[kButtonTextSize] = {};
    LoadLocalizedString(runContext.instance, IDS_RESTART, restartText, kButtonTextSize,
                        runContext.languageId);
    LoadLocalizedString(runContext.instance, IDS_EXIT, exitText, kButtonTextSize,
                        runContext.languageId);
    HWND sheet = GetParent(page);
    HWND next = GetDlgItem(sheet, kNextButton);
    ShowWindow(next, SW_SHOWNORMAL);
    SetWindowTextA(next, restartText);
    SetDlgItemTextA(sheet, IDCANCEL, exitText);
    return TRUE;
}

BOOL OnFinishNotify(HWND page, const NMHDR* header)
{
    if (header->code != static_cast<UINT>(PSN_WIZNEXT)) return FALSE;
    // Next reads "Restart" here. There is no page after this one, so the sheet is closed
    // by a Cancel press.
    runContext.restartRequested = 1;
    PostMessageA(GetParent(page), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    return TRUE;
}

INT_PTR CALLBACK FinishPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnFinishInit(page);
    case WM_SHOWWINDOW:
        KeepSheetCaption(page, wParam);
        return FALSE;
    case WM_NOTIFY:
        return OnFinishNotify(page, reinterpret_cast<const NMHDR*>(lParam));
    default:
        return FALSE;
    }
}

// --- Sheet ---

int CALLBACK WizardCallback(HWND sheet, UINT notification, LPARAM)
{
    if (notification == PSCB_INITIALIZED) {
        SetSheetCaption(sheet);
        ShowWindow(GetDlgItem(sheet, kNextButton), SW_HIDE);
        ShowWindow(GetDlgItem(sheet, kBackButton), SW_HIDE);
    }
    return 0;
}

}  // namespace

void RunWizard(HWND parent, UninstallProc uninstall)
{
    const ShownSheet sheet = {uninstall ? uninstall : RunUninstall};
    InitCommonControls();  // the progress bar's class

    PageRecord pages[2] = {};
    FillPage(&pages[0], IDD_PROGRESS_PAGE, "Page 0", ProgressPage);
    FillPage(&pages[1], IDD_FINISH_PAGE, "Page 1", FinishPage);

    if (pages[0].pResource == NULL || pages[1].pResource == NULL) {
        // The sheet would read through a missing template. Run the removal the user has
        // confirmed without the window, as a silent run does, so that what follows the
        // wizard finds the driver's results.
        Guarded([&sheet] { sheet.uninstall(NULL); });
        return;
    }

    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof(PROPSHEETHEADERA);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_WIZARD | PSH_USECALLBACK;
    header.hwndParent = parent;
    header.pszCaption = "PS";
    header.nPages = 2;
    header.nStartPage = 0;
    header.ppsp = reinterpret_cast<LPCPROPSHEETPAGEA>(pages);
    header.pfnCallback = WizardCallback;
    shownSheet = &sheet;
    PropertySheetA(&header);
    shownSheet = NULL;
}

void CenterWindow(HWND window)
{
    if (window == NULL) return;
    RECT bounds;
    RECT area;
    // Without either rectangle there is nothing sound to compute from.
    if (!GetWindowRect(window, &bounds)) return;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) return;
    ScreenPoint at = CenteredPosition({bounds.left, bounds.top, bounds.right, bounds.bottom},
                                      {area.left, area.top, area.right, area.bottom});
    SetWindowPos(window, NULL, at.x, at.y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
