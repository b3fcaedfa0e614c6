// Another process's windows driven as a user would: its message boxes and the wizard sheet found,
// their state read and their buttons pressed. Shared by the end-to-end tests and tools/ui-driver,
// so it depends on nothing but Win32 and the standard library.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

namespace ui_driving {

const int kBackButton = 0x3023;
const int kNextButton = 0x3024;
const int kProgressBar = 1000;
const int kIntroText = 2;
const int kStepMarks[3] = {3, 4, 5};

// The top-level dialog windows (class "#32770") of a process, visible or not; 0 takes every process.
std::vector<HWND> DialogWindows(DWORD processId);
// A visible message box of the process that holds a button with `buttonId` (IDYES, IDOK...), or NULL.
HWND FindMessageBox(DWORD processId, int buttonId);
// The wizard sheet of the process, found by its Next button, or NULL.
HWND FindSheet(DWORD processId);

// Calls `find(processId)` every 20 ms until it gives a window or `timeoutMs` passes (NULL then).
HWND WaitForWindow(HWND (*find)(DWORD), DWORD processId, DWORD timeoutMs);

// WM_GETTEXT with a send timeout: "" from a window that does not answer within a second.
std::string Text(HWND window);
std::string ClassOf(HWND window);
std::vector<HWND> Children(HWND parent);
// The text of a message box: its static control that is not the icon.
std::string MessageText(HWND box);
// The ids of a message box's buttons, in the order of its children.
std::vector<int> ButtonIds(HWND box);
// The page shown now: the visible dialog among the sheet's own children, or NULL.
HWND VisiblePage(HWND sheet);
// The texts of a page's labels, the static texts without an id of their own, in template order.
std::vector<std::string> LabelTexts(HWND page);
// True when the child `id` of `parent` exists and is visible.
bool Visible(HWND parent, int id);
// PBM_GETPOS of the page's progress bar; -1 when the bar is missing or does not answer.
int ProgressPosition(HWND page);
// Presses the button `id` of `parent` (posted, so that a box it opens cannot block the caller).
void Click(HWND parent, int id);

}  // namespace ui_driving
