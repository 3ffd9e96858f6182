"""The real scene under a real X server (Xvfb with openbox): the scrolling
picture with both ships, the shot fired by the space bar and the program
ending by itself after the bad ship's fall, ESC during the fall, and what a
background that cannot be read or missing ship pictures look like.

Motion is checked in frames, never in seconds: a picture's scroll offset gives
its frame number, the shot's position counts the frames since the space bar,
and the program is stopped (SIGSTOP) and let on a frame at a time wherever
the test must see each frame."""

import os
import time
import unittest

from scene_picture import (BAD_BASE_Y, FALL_STEP, FRAMES_FROM_KEY_TO_END,
                           FRAMES_FROM_KEY_TO_HIT, FREE_ROWS, MAGENTA, SHOT_VX, SHOT_X, SHOT_Y,
                           Picture, Scenery, find_disc, find_ship, frame_problem, shot_rise)
from xsession import CLIENT_H, CLIENT_W, XSession, parse_args, pause, resume, step, wait_exit

ARGS = parse_args()
session = None
scenery = None


def setUpModule():
    global session, scenery
    scenery = Scenery(ARGS.assets)
    session = XSession().__enter__()


def tearDownModule():
    session.close()


def picture(origin):
    return Picture(session.shot(origin[0], origin[1], CLIENT_W, CLIENT_H), origin)


class SceneTest(unittest.TestCase):
    def launch(self, missing=(), replace=None):
        """Starts the scene in a folder of its own, without the `missing`
        pictures and with `replace` (a name and a maker such as os.mkfifo) in
        place of one; returns once the window shows its first picture."""
        folder = session.scene_dir(ARGS.assets, name=self.id().rsplit(".", 1)[-1])
        for name in missing:
            os.remove(os.path.join(folder, name))
        if replace:
            name, make = replace
            os.remove(os.path.join(folder, name))
            make(os.path.join(folder, name))
        proc = session.start([ARGS.scene], cwd=folder)
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        window = session.find_window(proc.pid)
        session.activate(window)
        x, y, _, _ = session.geometry(window)
        origin = (x, y)
        deadline = time.monotonic() + 10
        while picture(origin).is_black():
            self.assertLess(time.monotonic(), deadline, "the window shows no picture")
            self.assertIsNone(proc.poll(), "the program ended before its first picture")
            time.sleep(0.01)
        return proc, origin

    def frame(self, pic):
        frame = scenery.frame_number(pic)
        self.assertIsNotNone(frame, "the free rows do not show the background at one scroll offset")
        return frame

    def assert_frame(self, pic, ships=True, magenta=False):
        self.assertIsNone(frame_problem(scenery, pic, ships, magenta))

    def assert_exits_0(self, proc, timeout=10):
        code = wait_exit(proc, timeout)
        if code is None:
            proc.kill()
            proc.wait()
            self.fail("the program did not end")
        self.assertEqual(code, 0, proc.stderr.read().decode())

    def fire(self, proc):
        """Holds space long enough for a display pass to see it, then stops
        the program; the key goes up while it is stopped."""
        session.key_down("space")
        time.sleep(0.1)
        self.assertTrue(pause(proc.pid), "the program ended")
        session.key_up("space")

    def follow_shot(self, proc, origin):
        """From the stopped program just after the space bar, a frame at a
        time until the shot has hit: every disc seen must lie on the shot's
        path, as far along it as the scroll has moved since the key's frame.
        Returns that frame's number (modulo 800); the program stays stopped."""
        flight = []  # (frame, disc centre), in the order seen
        first = None
        while True:
            pic = picture(origin)
            frame = self.frame(pic)
            first = frame if first is None else first
            disc = find_disc(pic)
            if disc:
                flight.append((frame, disc))
            elif flight:
                break
            else:
                self.assertLess((frame - first) % 800, 30, "no disc after the space bar")
            self.assertTrue(step(proc.pid), "the program ended while the shot flew")
        # The frames a disc spends on its way: x gives them exactly, for the
        # start's wobble is less than half of one frame's 15 columns.
        flown = [round((cx - SHOT_X) / SHOT_VX) for _, (cx, _) in flight]
        self.assertEqual(flown, sorted(flown), flight)
        self.assertGreaterEqual(len(set(flown)), 2, f"the disc was seen in one frame only: {flight}")
        key_frames = {(frame - k) % 800 for (frame, _), k in zip(flight, flown)}
        self.assertEqual(len(key_frames), 1,
                         f"the scroll and the shot disagree on the frames gone by: {flight}")
        starts = [(cx - SHOT_VX * k, cy - shot_rise(k)) for (_, (cx, cy)), k in zip(flight, flown)]
        for axis, centre, wobble in ((0, SHOT_X, 5), (1, SHOT_Y, 10)):
            values = [start[axis] for start in starts]
            self.assertLessEqual(max(values) - min(values), 2, f"not one path: {flight}")
            self.assertLessEqual(abs(values[0] - centre), wobble + 2, f"path from {starts[0]}")
        key_frame = key_frames.pop()
        self.assertLess(max(flown), FRAMES_FROM_KEY_TO_HIT, "a disc after the hit")
        self.assertGreaterEqual((frame - key_frame) % 800, FRAMES_FROM_KEY_TO_HIT,
                                "the disc vanished before the hit")
        return key_frame

    def assert_bad_ship_fallen(self, pic, frames_after_key):
        """The bad ship as far down as one fall step a frame since the hit puts it."""
        steps = frames_after_key - FRAMES_FROM_KEY_TO_HIT + 1
        corners = [(x, BAD_BASE_Y + FALL_STEP * steps + dy)
                   for dy in range(-10, 11) for x in range(475, 486)]
        self.assertIsNotNone(find_ship(pic, scenery.bad, corners),
                             f"the bad ship is not where {steps} fall steps put it")

    def run_until(self, proc, origin, key_frame, frames_after_key):
        """Lets the stopped program run until a picture shows at least that many
        frames after the key's, then stops it; returns the picture and its count."""
        resume(proc.pid)
        seen = 0
        deadline = time.monotonic() + 20
        while seen < frames_after_key:
            self.assertLess(time.monotonic(), deadline, f"stuck {seen} frames after the key")
            self.assertIsNone(proc.poll(), f"the program ended {seen} frames after the key")
            pic = picture(origin)
            frame = scenery.frame_number(pic)
            if frame is not None:
                later = (frame - key_frame) % 800
                self.assertGreaterEqual(later, seen, "the frames went backwards")
                seen = later
        self.assertTrue(pause(proc.pid), "the program ended")
        pic = picture(origin)
        return pic, (self.frame(pic) - key_frame) % 800

    def assert_ends_by_the_fall(self, proc, origin, key_frame, ships=True):
        """From well before the end of the fall, a frame at a time: the frames
        go on until the one that takes the bad ship to the bottom, and no further."""
        pic, later = self.run_until(proc, origin, key_frame, FRAMES_FROM_KEY_TO_END - 40)
        if ships:
            self.assert_bad_ship_fallen(pic, later)
        last = later
        while step(proc.pid):
            frame = scenery.frame_number(picture(origin))
            if frame is None:
                break  # the window is going
            later = (frame - key_frame) % 800
            self.assertGreaterEqual(later, last, "the frames went backwards")
            self.assertLessEqual(later, FRAMES_FROM_KEY_TO_END, "frames after the fall's end")
            last = later
        resume(proc.pid)
        self.assert_exits_0(proc)
        # Each step presents the newest frame or the one before; the end may
        # come in the step after.
        self.assertGreaterEqual(last, FRAMES_FROM_KEY_TO_END - 2, "ended before the fall did")

    def test_scrolling_picture_with_both_ships(self):
        proc, origin = self.launch()
        first = picture(origin)
        self.assert_frame(first)
        deadline = time.monotonic() + 5
        while (second := picture(origin)).bgr == first.bgr:
            self.assertLess(time.monotonic(), deadline, "the picture stands still")
        self.assert_frame(second)
        # Frame numbers count from the first frame, so the offset moves left.
        self.assertLess(0, self.frame(first))
        self.assertLess(self.frame(first), self.frame(second))
        self.assertIsNone(proc.poll())

    def test_space_fires_and_the_program_ends_by_itself(self):
        # The held space bar reaches the scene as scan code 57 through key_down.
        proc, origin = self.launch()
        self.fire(proc)
        key_frame = self.follow_shot(proc, origin)
        self.assert_ends_by_the_fall(proc, origin, key_frame)

    def test_escape_during_the_fall_ends_at_once(self):
        proc, origin = self.launch()
        self.fire(proc)
        key_frame = self.follow_shot(proc, origin)
        pic, stopped_at = self.run_until(proc, origin, key_frame, FRAMES_FROM_KEY_TO_HIT + 30)
        self.assert_bad_ship_fallen(pic, stopped_at)
        session.key("Escape")  # waits in the stopped program's queue
        resume(proc.pid)
        last = stopped_at
        deadline = time.monotonic() + 10
        while proc.poll() is None and time.monotonic() < deadline:
            frame = scenery.frame_number(picture(origin))
            if frame is not None:
                last = max(last, (frame - key_frame) % 800)
        self.assert_exits_0(proc)
        # One key is read a frame, after a display pass has queued it.
        self.assertLessEqual(last, stopped_at + 3, "frames went on after ESC")

    def test_background_that_cannot_be_read_shows_magenta_behind_the_ships(self):
        cases = {"missing": None, "a folder": os.mkdir, "a named pipe nobody writes to": os.mkfifo}
        for name, make in cases.items():
            with self.subTest(name):
                if make:
                    proc, origin = self.launch(replace=("background.bmp", make))
                else:
                    proc, origin = self.launch(missing=["background.bmp"])
                pic = picture(origin)
                self.assert_frame(pic, magenta=True)
                self.assertEqual(pic.colours(FREE_ROWS), {MAGENTA})
                session.key("Escape")
                self.assert_exits_0(proc)

    def test_missing_ships_are_invisible_and_the_run_goes_on(self):
        proc, origin = self.launch(missing=["goodship.bmp", "badship.bmp"])
        self.assert_frame(picture(origin), ships=False)
        self.fire(proc)
        key_frame = self.follow_shot(proc, origin)
        self.assert_ends_by_the_fall(proc, origin, key_frame, ships=False)


if __name__ == "__main__":
    unittest.main(verbosity=2)
