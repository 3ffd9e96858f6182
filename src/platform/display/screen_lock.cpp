// lock_screen and unlock_screen: the scene's frame brackets over the nesting count.
#include "display/display_state.h"
#include "platform.h"

void lock_screen() { enter_level(); }

void unlock_screen(int first_line, int last_line) {
    DisplayState& d = display();
    if (!d.open) return;
    if (first_line < 0) first_line = 0;
    if (last_line < 0) last_line = display_height - 1;
    const bool marks = first_line <= last_line && last_line <= display_height - 1;
    if (d.nesting > 0) {
        if (marks) mark_lines(first_line, last_line);
        leave_level();
        return;
    }
    // Without an open level the scene does not hold the lock, yet the display
    // thread reads the marks: take the lock just for the marking.
    if (marks) {
        std::lock_guard<std::mutex> guard(d.lock);
        mark_lines(first_line, last_line);
    }
}
