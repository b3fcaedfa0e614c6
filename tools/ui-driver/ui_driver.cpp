// Plays the user of an interactive uninstall that runs in the same Wine prefix: answers the
// confirmation box, watches the wizard, presses Exit or Restart, and asks the calling script for a
// screenshot at each moment worth showing.
#include "tests/support/UiDriving.h"
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace ui_driving;

namespace {

const char kUsage[] =
    "Usage: ui_driver [--answer yes|no] [--finish exit|restart] [--shots DIR] [--timeout SECONDS]\n"
    "  Waits for the Yes/No box of an uninstall.exe started in the same prefix, answers it, follows\n"
    "  the wizard, presses Exit (or Restart) on the finish page and waits for the program to end.\n"
    "  Prints one line per event. With --shots, before each moment it prints\n"
    "    SHOT <name> <left> <top> <right> <bottom>\n"
    "  (the window's screen rectangle) and waits until DIR\\<name>.ack exists, then deletes it.\n"
    "  Names: confirm, warning, progress, progress-done, finish.\n"
    "  Exit code 0 when everything happened as expected, 1 otherwise (the program, if still\n"
    "  running after the timeout, is then terminated).\n";

struct Arguments {
    bool yes = true;
    bool restart = false;
    std::string shots;
    DWORD timeoutMs = 120000;
};

bool ReadArguments(int argc, char** argv, Arguments& arguments)
{
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (i + 1 >= argc) return false;
        std::string value = argv[++i];
        if (word == "--answer" && (value == "yes" || value == "no")) arguments.yes = value == "yes";
        else if (word == "--finish" && (value == "exit" || value == "restart")) arguments.restart = value == "restart";
        else if (word == "--shots") arguments.shots = value;
        else if (word == "--timeout") arguments.timeoutMs = std::strtoul(value.c_str(), NULL, 10) * 1000;
        else return false;
    }
    return true;
}

void Say(const char* format, const std::string& a = std::string(), const std::string& b = std::string())
{
    std::printf(format, a.c_str(), b.c_str());
    std::printf("\n");
    std::fflush(stdout);
}

class Driver {
public:
    explicit Driver(const Arguments& arguments) : arguments_(arguments), start_(GetTickCount()) {}
    int Run();

private:
    DWORD Left() const
    {
        DWORD spent = GetTickCount() - start_;
        return spent >= arguments_.timeoutMs ? 0 : arguments_.timeoutMs - spent;
    }
    bool Fail(const char* waitingFor);
    void Shot(const char* name, HWND window);
    bool Confirm();
    bool FollowProgress(HWND sheet);
    bool Finish(HWND sheet);
    bool WaitForEnd();

    Arguments arguments_;
    DWORD start_;
    DWORD processId_ = 0;
    HANDLE process_ = NULL;
};

bool Driver::Fail(const char* waitingFor)
{
    Say("timed out waiting for %s", waitingFor);
    if (process_ != NULL && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 1);
        Say("uninstall.exe terminated");
    }
    return false;
}

void Driver::Shot(const char* name, HWND window)
{
    if (arguments_.shots.empty()) return;
    RECT r = {0, 0, 0, 0};
    GetWindowRect(window, &r);
    std::printf("SHOT %s %ld %ld %ld %ld\n", name, r.left, r.top, r.right, r.bottom);
    std::fflush(stdout);
    std::string ack = arguments_.shots + "\\" + name + ".ack";
    for (DWORD waited = 0; waited < 60000; waited += 20, Sleep(20)) {
        if (GetFileAttributesA(ack.c_str()) != INVALID_FILE_ATTRIBUTES) {
            DeleteFileA(ack.c_str());
            return;
        }
    }
    Say("no answer to the screenshot request %s", name);
}

bool Driver::Confirm()
{
    HWND box = WaitForWindow([](DWORD) { return FindMessageBox(0, IDYES); }, 0, Left());
    if (box == NULL) return Fail("the confirmation box");
    GetWindowThreadProcessId(box, &processId_);
    process_ = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, processId_);
    Sleep(300);  // let it paint before the picture
    Say("confirmation box: \"%s\" | \"%s\"", Text(box), MessageText(box));
    Shot("confirm", box);
    Click(box, arguments_.yes ? IDYES : IDNO);
    Say("answered %s", arguments_.yes ? "Yes" : "No");
    return true;
}

bool Driver::FollowProgress(HWND sheet)
{
    HWND page = NULL;
    for (; page == NULL && Left() > 0; Sleep(20)) page = VisiblePage(sheet);
    if (page == NULL) return Fail("the progress page");
    Say("wizard: \"%s\"", Text(sheet));
    Say("intro: \"%s\"", Text(GetDlgItem(page, kIntroText)));
    bool progressShot = false;
    int lastPosition = -2;
    while (Left() > 0) {
        HWND box = FindMessageBox(processId_, IDOK);
        if (box != NULL) {
            Sleep(300);
            Say("warning box: \"%s\" | \"%s\"", Text(box), MessageText(box));
            Shot("warning", box);
            Click(box, IDOK);
            continue;
        }
        if (!IsWindow(sheet)) return true;
        if (Visible(sheet, kNextButton)) return true;
        // The marks first: reading them never waits, while the position is a message that the
        // program answers only when it pumps, and the sheet may have turned meanwhile.
        if (Visible(page, kStepMarks[2])) {
            Shot("progress-done", sheet);
            break;
        }
        bool firstMark = Visible(page, kStepMarks[0]);
        int position = ProgressPosition(page);
        if (position != lastPosition && position >= 0) {
            std::printf("progress %d, marks %d%d%d\n", position, firstMark ? 1 : 0,
                        Visible(page, kStepMarks[1]) ? 1 : 0, Visible(page, kStepMarks[2]) ? 1 : 0);
            std::fflush(stdout);
            lastPosition = position;
        }
        // Mid-way: the first mark is shown and the bar is half through the next application. The
        // bar paints when the program next pumps its queue: give it that moment.
        if (!progressShot && firstMark && position >= 30 && position <= 70) {
            Sleep(150);
            Shot("progress", sheet);
            progressShot = true;
        }
        Sleep(20);
    }
    for (; Left() > 0; Sleep(20))
        if (!IsWindow(sheet) || Visible(sheet, kNextButton)) return true;
    return Fail("the end of the progress page");
}

bool Driver::Finish(HWND sheet)
{
    if (!IsWindow(sheet)) {
        Say("the wizard closed without the finish page");
        return true;
    }
    // Next shows while the finish page initialises, a moment before the page itself.
    HWND page = NULL;
    for (; Left() > 0; Sleep(20)) {
        page = VisiblePage(sheet);
        if (page != NULL && GetDlgItem(page, kProgressBar) == NULL) break;
    }
    if (page == NULL) return Fail("the finish page");
    Sleep(500);
    Say("finish page: \"%s\"", Text(sheet));
    for (const std::string& label : LabelTexts(page)) Say("  label \"%s\"", label);
    Say("buttons: \"%s\" \"%s\"", Text(GetDlgItem(sheet, kNextButton)), Text(GetDlgItem(sheet, IDCANCEL)));
    Shot("finish", sheet);
    Click(sheet, arguments_.restart ? kNextButton : IDCANCEL);
    Say("pressed %s", arguments_.restart ? "Restart" : "Exit");
    return true;
}

bool Driver::WaitForEnd()
{
    if (process_ == NULL) return Fail("a handle of uninstall.exe");
    if (WaitForSingleObject(process_, Left()) != WAIT_OBJECT_0) return Fail("the end of uninstall.exe");
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    std::printf("uninstall.exe ended, exit code %lu\n", code);
    std::fflush(stdout);
    return true;
}

int Driver::Run()
{
    if (!Confirm()) return 1;
    if (arguments_.yes) {
        HWND sheet = WaitForWindow(FindSheet, processId_, Left());
        if (sheet == NULL) {
            Fail("the wizard");
            return 1;
        }
        if (!FollowProgress(sheet) || !Finish(sheet)) return 1;
    }
    bool ended = WaitForEnd();
    CloseHandle(process_);
    return ended ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    Arguments arguments;
    if (!ReadArguments(argc, argv, arguments)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    return Driver(arguments).Run();
}
