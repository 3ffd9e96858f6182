// The scene's side of the keyboard: one key from the queue, one held flag.
// Both open a nesting level as lock_screen does, so inside an open frame they
// only count, and outside one they take the display lock for their read.
#include "display/display_state.h"
#include "core/key_queue.h"
#include "platform.h"

std::string read_key() {
    if (!enter_level()) return {};
    std::int32_t code = 0;
    const bool taken = take_key(display().key_queue, code);
    leave_level();
    return taken ? encode_key(code) : std::string{};
}

bool key_down(int scan_code) {
    if (scan_code < 0 || scan_code >= key_state_entries) return false;
    if (!enter_level()) return false;
    const bool held = display().key_state[static_cast<std::size_t>(scan_code)] != 0;
    leave_level();
    return held;
}
