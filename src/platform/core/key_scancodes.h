// From PC scan code set 1 (what Windows reports in a key message) to the USB
// HID usages that key_translate takes, so every system shares one key table.
#pragma once

// The usage of the key with set-1 make code `scan` (0..127), sent with the E0
// prefix when `extended`; 0 for a code no key of key_translate's table has.
int usage_of_set1(int scan, bool extended);
