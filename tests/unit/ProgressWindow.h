// A stand-in for the progress page: a window with the progress bar 1000 and the step marks
// 3, 4 and 5, which records what the engine posts to it.
#pragma once
#include <windows.h>
#include <vector>

class ProgressWindow {
public:
    ProgressWindow();
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;
    HWND get() const { return window_; }
    // The PBM_SETPOS positions the bar has received, in order (posted ones once pumped).
    const std::vector<unsigned>& positions() const;
    // The messages the window itself has received, of the kinds the tests look for.
    const std::vector<UINT>& messages() const;
    // Whether step mark `id` has been shown (its own visibility; the window stays hidden).
    bool MarkShown(int id) const;
private:
    HWND window_;
};
