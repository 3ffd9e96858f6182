"""Real keys through the X server into the program's key path: the key probe
(the real display thread and SDL backend, no scene) under Xvfb and openbox,
typed into with xdotool. Each case types its keys, then the marker key `
(code 96, in no case), and compares what read_key gave before the marker."""

import argparse
import ctypes
import os
import queue
import sys
import threading
import time
import unittest

from xsession import XSession, wait_exit

parser = argparse.ArgumentParser()
parser.add_argument("--probe", required=True, help="the key probe executable")
ARGS, rest = parser.parse_known_args()
sys.argv[1:] = rest

MARKER = "grave"
MARKER_LINE = "key 96"


def special(b):
    return [255, b]


def key(*names):
    return [["xdotool", "key", *names]]


RIGHT_ALT_KEYCODE = "108"  # Xvfb's evdev keycodes
RIGHT_ALT_Q = [["xdotool", "keydown", RIGHT_ALT_KEYCODE, "key", "q", "Up", "keyup", RIGHT_ALT_KEYCODE]]

# (what, the commands that type it, the keys read_key gives, each as its bytes)
CASES = [
    # Typed characters, in code page 437; code points above 255 are dropped.
    ("a", key("a"), [[97]]),
    ("Shift+a", key("shift+a"), [[65]]),
    ("space", key("space"), [[32]]),
    # On a layout that has the character, so that xdotool types it with the
    # layout's own key instead of remapping a spare keycode for the moment
    # (a remap the window can see after the key, which loses the key).
    ("e acute", [["setxkbmap", "-layout", "fr"], *key("eacute"), ["setxkbmap", "-layout", "us"]], [[130]]),
    ("euro sign, above 255", key("EuroSign"), []),
    ("keypad *", key("KP_Multiply"), [[42]]),
    ("keypad -", key("KP_Subtract"), [[45]]),
    # Control characters.
    ("Esc", key("Escape"), [[27]]),
    ("Enter", key("Return"), [[13]]),
    ("keypad Enter", key("KP_Enter"), [[13]]),
    ("Tab", key("Tab"), [[9]]),
    ("Backspace", key("BackSpace"), [[8]]),
    ("Ctrl+a", key("ctrl+a"), [[1]]),
    ("Ctrl+z", key("ctrl+z"), [[26]]),
    ("Ctrl+[", key("ctrl+bracketleft"), [[27]]),
    ("Ctrl+\\", key("ctrl+backslash"), [[28]]),
    ("Ctrl+]", key("ctrl+bracketright"), [[29]]),
    ("Ctrl+6", key("ctrl+6"), [[30]]),
    ("Ctrl+-", key("ctrl+minus"), [[31]]),
    ("Ctrl+Enter", key("ctrl+Return"), [[10]]),
    ("Ctrl+keypad Enter", key("ctrl+KP_Enter"), [[10]]),
    ("Ctrl+Backspace", key("ctrl+BackSpace"), [[127]]),
    # Ctrl+2 queues the typed character 0, which read_key gives as "": only
    # nothing else may come of it.
    ("Ctrl+2", key("ctrl+2"), []),
    # Function keys.
    ("F1", key("F1"), [special(59)]),
    ("Shift+F1", key("shift+F1"), [special(84)]),
    ("Ctrl+F1", key("ctrl+F1"), [special(94)]),
    ("F10 alone", key("F10"), []),
    ("Shift+F10", key("shift+F10"), [special(93)]),
    ("Ctrl+F10", key("ctrl+F10"), [special(103)]),
    ("F11", key("F11"), [special(133)]),
    ("F12", key("F12"), [special(134)]),
    ("Shift+F11", key("shift+F11"), [special(135)]),
    ("Ctrl+F12", key("ctrl+F12"), [special(138)]),
    # Cursor and editing keys, alone and with Ctrl.
    ("grey cursor keys",
     key("Up", "Down", "Left", "Right", "Home", "End", "Prior", "Next", "Insert", "Delete"),
     [special(b) for b in (72, 80, 75, 77, 71, 79, 73, 81, 82, 83)]),
    ("Ctrl+grey cursor keys",
     key(*("ctrl+" + k for k in ("Up", "Down", "Left", "Right", "Home", "End", "Prior", "Next",
                                 "Insert", "Delete"))),
     [special(b) for b in (141, 145, 115, 116, 119, 117, 132, 118, 146, 147)]),
    ("Shift+Up", key("shift+Up"), [special(72)]),
    ("Shift+Tab", key("shift+Tab"), [special(15)]),
    ("Ctrl+Tab", key("ctrl+Tab"), [special(148)]),
    # Keypad operators with Ctrl, and PrtSc.
    ("Ctrl+keypad * - + /", key("ctrl+KP_Multiply", "ctrl+KP_Subtract", "ctrl+KP_Add", "ctrl+KP_Divide"),
     [special(150), special(142), special(144), special(149)]),
    ("PrtSc", key("Print"), []),
    ("Ctrl+PrtSc", key("ctrl+Print"), [special(114)]),
    # The keypad with Num Lock off (the keys are named by their Num Lock off
    # meaning, so xdotool presses them without modifiers).
    ("keypad, Num Lock off", key("KP_Up", "KP_Begin", "KP_Home", "KP_Insert", "KP_Delete"),
     [special(72), special(76), special(71), special(82), special(83)]),
    ("Ctrl+keypad, Num Lock off", key("ctrl+KP_Up", "ctrl+KP_Begin", "ctrl+KP_Next"),
     [special(141), special(143), special(118)]),
    ("Shift+keypad 8, Num Lock off", key("shift+KP_Up"), [[56]]),
    # Num Lock on, then off again.
    ("keypad, Num Lock on", key("Num_Lock", "KP_Up", "KP_Begin", "KP_Insert", "KP_Delete", "KP_End"),
     [[56], [53], [48], [46], [49]]),
    ("Shift and Ctrl+keypad, Num Lock on", key("shift+KP_Up", "ctrl+KP_Up", "ctrl+KP_Begin", "ctrl+KP_Insert"),
     [special(72), special(141), special(143), special(146)]),
    ("Num Lock off again", key("Num_Lock", "KP_Up"), [special(72)]),
    # Alt without Ctrl, and F10, do nothing.
    ("Alt alone", key("Alt_L"), []),
    ("Alt+x", key("alt+x"), []),
    ("Alt+F1, Alt+Up, Alt+Esc", key("alt+F1", "alt+Up", "alt+Escape"), []),
    ("Alt+keypad 8", key("alt+KP_Up"), []),
    # The right Alt key by its keycode: xdotool's Alt_R+q would press left Alt too.
    ("right Alt+q where it is Alt (us)", RIGHT_ALT_Q, []),
    ("right Alt+q where it is AltGr (de)",
     [["setxkbmap", "-layout", "de"], *RIGHT_ALT_Q, ["xdotool", "key", "alt+q"],
      ["setxkbmap", "-layout", "us"]],
     [[64], special(72)]),  # AltGr is no Alt: AltGr+Up is Up
]

session = None
probe = None
lines = queue.Queue()


def setUpModule():
    global session, probe
    session = XSession().__enter__()
    probe = session.start([ARGS.probe])
    threading.Thread(target=lambda: [lines.put(l.decode().strip()) for l in probe.stdout],
                     daemon=True).start()
    if lines.get(timeout=10) != "ready":
        raise RuntimeError("the probe did not open its window")
    probe.window = session.find_window(probe.pid)
    session.activate(probe.window)


def tearDownModule():
    if probe.poll() is None:
        probe.kill()
    session.close()


def run(commands):
    for argv in commands:
        session.run(argv)


def read_until_marker(timeout=5.0):
    """The probe's lines up to the marker key's."""
    session.run(["xdotool", "key", MARKER])
    got = []
    deadline = time.monotonic() + timeout
    while True:
        try:
            line = lines.get(timeout=max(deadline - time.monotonic(), 0.01))
        except queue.Empty:
            raise AssertionError(f"the marker key never arrived; read {got}")
        if line == MARKER_LINE:
            return got
        got.append(line)


def keys_of(got):
    return [[int(b) for b in line.split()[1:]] for line in got if line.startswith("key ")]


class KeyTest(unittest.TestCase):
    def setUp(self):
        self.assertIsNone(probe.poll(), "the probe ended")
        self.assertEqual(read_until_marker(), [], "keys left over")

    def test_table(self):
        for what, commands, expected in CASES:
            with self.subTest(what):
                run(commands)
                self.assertEqual(keys_of(read_until_marker()), expected)

    def test_held_keys_repeat(self):
        for name, entry in (("Up", special(72)), ("a", [97]), ("KP_Up", special(72))):
            with self.subTest(name):
                session.key_down(name)
                time.sleep(1.2)  # the server's auto-repeat starts after 660 ms, 25 a second
                session.key_up(name)
                got = keys_of(read_until_marker())
                self.assertGreaterEqual(len(got), 4, got)
                self.assertEqual(got, [entry] * len(got))

    def test_space_held_is_key_down_57(self):
        session.key_down("space")
        deadline = time.monotonic() + 2
        seen = []
        while "space 1" not in seen:
            self.assertLess(time.monotonic(), deadline, f"key_down(57) never true: {seen}")
            try:
                seen.append(lines.get(timeout=0.05))
            except queue.Empty:
                pass
        session.key_up("space")
        got = seen + read_until_marker()
        self.assertIn("space 0", got[got.index("space 1"):])
        self.assertEqual(keys_of(got), [[32]])

    def test_num_lock_changed_behind_the_window(self):
        # Another client locks Num Lock: the window sees no key event, SDL's
        # flag stays as it was while the server's translation changes. The
        # keypad key still gives exactly one thing.
        x = ctypes.CDLL("libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XkbLockModifiers.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_uint, ctypes.c_uint]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        display = x.XOpenDisplay(session.display.encode())
        self.assertTrue(display)
        use_core_keyboard, mod2 = 0x100, 0x10
        try:
            for locked in (mod2, 0):
                with self.subTest(locked=bool(locked)):
                    x.XkbLockModifiers(display, use_core_keyboard, mod2, locked)
                    x.XSync(display, 0)
                    session.run(["xdotool", "key", "KP_Up"])
                    self.assertIn(keys_of(read_until_marker()), ([special(72)], [[56]]))
        finally:
            x.XkbLockModifiers(display, use_core_keyboard, mod2, 0)
            x.XCloseDisplay(display)

    def test_close_request_and_alt_f4(self):
        session.run(["xdotool", "key", "alt+F4"])
        self.assertEqual(keys_of(read_until_marker()), [])
        session.run(["wmctrl", "-i", "-c", hex(probe.window)])
        self.assertEqual(keys_of(read_until_marker()), [special(107)])
        self.assertIsNone(wait_exit(probe, 0.3), "the window's close ended the program")
        self.assertEqual(session.find_window(probe.pid), probe.window)

    def test_alt_enter_held_switches_once(self):
        def full_screen():
            return "_NET_WM_STATE_FULLSCREEN" in session.atoms(probe.window, "_NET_WM_STATE")

        def settle(wanted):
            deadline = time.monotonic() + 3
            while full_screen() != wanted:
                self.assertLess(time.monotonic(), deadline, f"full screen never became {wanted}")
                time.sleep(0.02)
            time.sleep(0.3)  # and stays so
            self.assertEqual(full_screen(), wanted)

        self.assertFalse(full_screen())
        session.key_down("Alt_L")
        session.key_down("Return")
        time.sleep(1.2)  # auto-repeats of Enter with Alt held
        session.key_up("Return")
        session.key_up("Alt_L")
        settle(True)
        session.run(["xdotool", "key", "alt+Return"])
        settle(False)
        session.activate(probe.window)
        self.assertEqual(keys_of(read_until_marker()), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
