// Another process's windows driven as a user would.
#include "tests/support/UiDriving.h"
#include <commctrl.h>

namespace ui_driving {

namespace {

const DWORD kAnswerMs = 1000;  // a window busy for longer than this is read as empty

struct DialogSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM search)
{
    DialogSearch* dialogs = reinterpret_cast<DialogSearch*>(search);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if ((dialogs->processId == 0 || owner == dialogs->processId) && ClassOf(window) == "#32770")
        dialogs->found.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

bool IsStatic(HWND window)
{
    return lstrcmpiA(ClassOf(window).c_str(), "Static") == 0;
}

}  // namespace

std::vector<HWND> DialogWindows(DWORD processId)
{
    DialogSearch search = {processId, {}};
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindMessageBox(DWORD processId, int buttonId)
{
    for (HWND window : DialogWindows(processId)) {
        if (!IsWindowVisible(window) || GetDlgItem(window, kNextButton) != NULL) continue;
        HWND button = GetDlgItem(window, buttonId);
        if (button != NULL && lstrcmpiA(ClassOf(button).c_str(), "Button") == 0) return window;
    }
    return NULL;
}

HWND FindSheet(DWORD processId)
{
    for (HWND window : DialogWindows(processId))
        if (GetDlgItem(window, kNextButton) != NULL) return window;
    return NULL;
}

HWND WaitForWindow(HWND (*find)(DWORD), DWORD processId, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount();; Sleep(20)) {
        HWND window = find(processId);
        if (window != NULL) return window;
        if (GetTickCount() - start >= timeoutMs) return NULL;
    }
}

std::string Text(HWND window)
{
    char text[1024] = {};
    DWORD_PTR copied = 0;
    if (window == NULL ||
        !SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, kAnswerMs, &copied))
        return std::string();
    return text;
}

std::string ClassOf(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> children;
    if (parent != NULL) EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

std::string MessageText(HWND box)
{
    for (HWND child : Children(box)) {
        if (!IsStatic(child) || (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
        std::string text = Text(child);
        if (!text.empty()) return text;
    }
    return std::string();
}

std::vector<int> ButtonIds(HWND box)
{
    std::vector<int> ids;
    for (HWND child : Children(box))
        if (lstrcmpiA(ClassOf(child).c_str(), "Button") == 0 && IsWindowVisible(child))
            ids.push_back(GetDlgCtrlID(child));
    return ids;
}

HWND VisiblePage(HWND sheet)
{
    for (HWND child : Children(sheet))
        if (GetParent(child) == sheet && ClassOf(child) == "#32770" && IsWindowVisible(child))
            return child;
    return NULL;
}

std::vector<std::string> LabelTexts(HWND page)
{
    std::vector<std::string> texts;
    for (HWND child : Children(page)) {
        int id = GetDlgCtrlID(child);
        bool isText = IsStatic(child) && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_LEFT;
        if ((id == 0xFFFF || id == -1) && isText) texts.push_back(Text(child));
    }
    return texts;
}

bool Visible(HWND parent, int id)
{
    HWND control = GetDlgItem(parent, id);
    return control != NULL && IsWindowVisible(control);
}

int ProgressPosition(HWND page)
{
    HWND bar = GetDlgItem(page, kProgressBar);
    DWORD_PTR position = 0;
    if (bar == NULL || !SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &position))
        return -1;
    return static_cast<int>(position);
}

void Click(HWND parent, int id)
{
    HWND button = GetDlgItem(parent, id);
    if (button != NULL) PostMessageA(button, BM_CLICK, 0, 0);
}

}  // namespace ui_driving
