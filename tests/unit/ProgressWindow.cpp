// The stand-in progress page of the engine's tests.
#include "tests/unit/ProgressWindow.h"
#include <commctrl.h>

namespace {

std::vector<unsigned> recordedPositions;
std::vector<UINT> recordedMessages;
WNDPROC barProcedure = NULL;

LRESULT CALLBACK BarProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == PBM_SETPOS) recordedPositions.push_back(static_cast<unsigned>(wParam));
    return CallWindowProcA(barProcedure, window, message, wParam, lParam);
}

LRESULT CALLBACK PageProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:  // recorded, and the window stays for the test to look at
        recordedMessages.push_back(message);
        return 0;
    case WM_KEYDOWN:
    case WM_CHAR:
    case WM_APP:
        recordedMessages.push_back(message);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

const char kClassName[] = "EngineTestPage";

}  // namespace

ProgressWindow::ProgressWindow()
{
    recordedPositions.clear();
    recordedMessages.clear();
    InitCommonControls();
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PageProcedure;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);  // fails harmlessly once registered
    window_ = CreateWindowA(kClassName, "engine test", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200, NULL,
                            NULL, GetModuleHandleA(NULL), NULL);
    HWND bar = CreateWindowA(PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 10, 10, 300, 20, window_,
                             reinterpret_cast<HMENU>(1000), GetModuleHandleA(NULL), NULL);
    barProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BarProcedure)));
    for (int id = 3; id <= 5; ++id)
        CreateWindowA("STATIC", "", WS_CHILD, 10, 40 + 20 * id, 20, 20, window_,
                      reinterpret_cast<HMENU>(id), GetModuleHandleA(NULL), NULL);
}

ProgressWindow::~ProgressWindow()
{
    DestroyWindow(window_);
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
    }
}

const std::vector<unsigned>& ProgressWindow::positions() const
{
    return recordedPositions;
}

const std::vector<UINT>& ProgressWindow::messages() const
{
    return recordedMessages;
}

bool ProgressWindow::MarkShown(int id) const
{
    HWND mark = GetDlgItem(window_, id);
    return mark && (GetWindowLongA(mark, GWL_STYLE) & WS_VISIBLE) != 0;
}
