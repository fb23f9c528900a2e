"""The full-screen run under Wine, seen on the screen: birds over the frozen pattern desktop,
no trails, the settings file's Delay and CharNumber, the input that ends a run and the input
that does not, a second start while one runs, and a display scaled to 150 %."""

import re
import statistics
import time
import unittest

from quillet_wine import (SCREEN_HEIGHT, SCREEN_WIDTH, DesktopTestCase, differing_runs,
                          pattern_picture, wait_until)
from saver_watch import (HTCLIENT, PBT_APMRESUMEAUTOMATIC, PWR_CRITICALRESUME, SAVER_CLASS,
                         SC_NEXTWINDOW, SC_PREVWINDOW, SC_SCREENSAVE, WM_ACTIVATEAPP,
                         WM_ERASEBKGND, WM_PAINT, WM_POWER, WM_POWERBROADCAST, WM_SETCURSOR,
                         WM_SETTEXT, WM_SHOWWINDOW, WM_SYSCOMMAND, WM_TIMER, WS_EX_TOPMOST,
                         end_with_key, full_screen_window, handled, start_traced, steps,
                         wait_full_screen_keyboard, wait_full_screen_window, wait_steps)

PATCH = 128  # a bird is drawn inside a patch one step wider than its 120 x 120 frame
BIRD_SPAN = 111  # tail tip to beak in every frame of the artwork
HOME = (500, 400)  # where the pointer rests when a run starts
CELL = 4  # differing pixels a few apart join one blob, across holes in a silhouette
QUIET = {"delay": 100000, "birds": 1}  # no tick of its own while a test talks to it
LOG_PIXELS = 144  # a display scaled to 150 %, as many laptops ship


def blobs(image, origin=(0, 0), desktop=None):
    """Boxes (left, top, right, bottom; right and bottom exclusive) of the groups of pixels
    that differ from the desktop, largest first; as for differing_runs."""
    cells = {}
    for y, left, right in differing_runs(image, origin, desktop):
        for column in range(left // CELL, (right - 1) // CELL + 1):
            x0, x1 = max(left, column * CELL), min(right, (column + 1) * CELL)
            key = (column, y // CELL)
            box = cells.get(key)
            cells[key] = (x0, y, x1, y + 1) if box is None else (
                min(box[0], x0), min(box[1], y), max(box[2], x1), max(box[3], y + 1))
    found = []
    while cells:
        seed, box = cells.popitem()
        pending = [seed]
        while pending:
            cx, cy = pending.pop()
            for dx in (-1, 0, 1):
                for dy in (-1, 0, 1):
                    other = cells.pop((cx + dx, cy + dy), None)
                    if other is not None:
                        pending.append((cx + dx, cy + dy))
                        box = (min(box[0], other[0]), min(box[1], other[1]),
                               max(box[2], other[2]), max(box[3], other[3]))
        found.append(box)
    return sorted(found, key=lambda b: (b[2] - b[0]) * (b[3] - b[1]), reverse=True)


def handled_by_default(trace_path, hwnd):
    """From a message trace: the (message, wParam) pairs the window handed to the default
    window procedure, and the answers it gave to WM_ERASEBKGND."""
    window = "(0x%x)" % hwnd
    defaulted, erase_answers = [], []
    with open(trace_path, encoding="latin-1") as f:
        for line in f:
            if window not in line:
                continue
            called = re.search(r"spy_enter_message\s.*DefWindowProc:\s*\[([0-9a-f]+)\].*"
                               r"\swp=([0-9a-f]+)", line)
            answered = re.search(r"spy_exit_message\s.*\[%04x\] WM_ERASEBKGND returned "
                                 r"([0-9a-f]+)" % WM_ERASEBKGND, line)
            if called:
                defaulted.append((int(called.group(1), 16), int(called.group(2), 16)))
            elif answered and "DefWindowProc" not in line:
                erase_answers.append(int(answered.group(1), 16))
    return defaulted, erase_answers


def fits_patch(box):
    return box[2] - box[0] <= PATCH and box[3] - box[1] <= PATCH


def is_whole_bird(box):
    """Every frame of the bird spans 111 pixels from tail to beak; a blob much narrower is a
    piece of one, a wider one more than one."""
    return fits_patch(box) and box[2] - box[0] >= BIRD_SPAN - 8


class FullScreenTest(DesktopTestCase):
    """One pattern desktop serves every test; each test ends the run it started."""

    desktop = None  # the desktop's picture when it is not exactly the pattern

    @classmethod
    def prepare_desktop(cls):
        cls.desk.pattern_desktop()

    def setUp(self):
        self.runs = []

    def tearDown(self):
        for proc in self.runs:
            if self.desk.is_running(proc):
                end_with_key(self.desk, proc)

    # -- helpers ------------------------------------------------------------------------

    def start_saver(self, **settings):
        """Starts `/s`, traced, over the untouched pattern with the pointer at HOME and the
        settings given as to write_settings (none: no settings file); returns the run once
        its window takes keys."""
        # A failed subtest may have left its run going.
        for earlier in self.runs:
            if self.desk.is_running(earlier):
                end_with_key(self.desk, earlier)
        self.desk.write_settings(**settings)
        self.desk.mouse_move(*HOME)
        wait_until(lambda: self.desk.screenshot().same_as(self.desktop or pattern_picture()), 60,
                   0.3, "the whole pattern desktop on screen")
        proc = start_traced(self.desk, "/s")
        self.runs.append(proc)
        wait_full_screen_keyboard(self.desk)
        return proc

    def blobs(self):
        return blobs(self.desk.screenshot(), desktop=self.desktop)

    def wait_for_birds(self, at_least=1):
        return wait_until(lambda: self.shot_with_blobs(at_least), 60, 0.2, "birds on screen")

    def shot_with_blobs(self, at_least):
        found = self.blobs()
        return found if len(found) >= at_least else None

    def assert_still_running(self, proc):
        """Checks that the run goes on once the saver has dealt with everything queued for it
        so far: a timer message comes only when no other message waits, so a step taken now
        follows any close request that earlier input posted."""
        taken = len(steps(proc))
        wait_until(lambda: len(steps(proc)) > taken or not self.desk.is_running(proc), 60, 0.1,
                   "another step")
        self.assertEqual(handled(proc, "WM_CLOSE"), [], "the run was asked to close")
        self.assertTrue(self.desk.is_running(proc), "the run ended without a reason")
        self.assertIsNotNone(full_screen_window(self.desk))

    # -- scenarios ----------------------------------------------------------------------

    def test_bird_flies_over_the_frozen_desktop_without_trails(self):
        proc = self.start_saver(delay=20, birds=1)
        first = self.wait_for_birds()[0]
        seen = {first}
        # Over a few hundred steps, any pixel a step forgot to restore would still differ from
        # the pattern outside the bird's patch.
        while len(steps(proc)) < 200:
            found = self.blobs()
            self.assertEqual(len(found), 1, found)
            self.assertTrue(fits_patch(found[0]), found[0])
            seen.add(found[0])
        self.assertGreater(len(seen), 2, "the bird did not move")
        self.assertEqual(end_with_key(self.desk, proc), 0)

    def test_number_of_birds_follows_char_number(self):
        cases = [
            ("no settings file", {}, 3),
            ("two", {"birds": 2}, 2),
            ("five", {"delay": 50, "birds": 5}, 5),
        ]
        for name, settings, count in cases:
            with self.subTest(name):
                proc = self.start_saver(**settings)
                self.wait_for_birds()
                # Birds that touch show as one blob, and a patch cuts pieces out of the
                # birds it overlaps, so look at frames until one shows each bird whole and
                # apart; none may show more whole birds than asked. The birds start from
                # random places, so how many frames that takes differs from run to run.
                wait_until(lambda: self.shows_birds_apart(count), 120, 0.2,
                           "%d birds apart" % count)
                self.assertEqual(end_with_key(self.desk, proc), 0)

    def shows_birds_apart(self, count):
        found = self.blobs()
        whole = [box for box in found if is_whole_bird(box)]
        self.assertLessEqual(len(whole), count, found)
        return len(found) == len(whole) == count

    def test_delay_sets_the_pace(self):
        # Every step's time comes from the saver's own message trace. On a busy machine a
        # timer message may come late, but never early, and most come one period apart.
        for delay, count in ((1000, 6), (50, 40)):
            with self.subTest(delay=delay):
                proc = self.start_saver(delay=delay, birds=1)
                times = wait_steps(proc, count)
                self.assertEqual(end_with_key(self.desk, proc), 0)
                gaps = [round(b - a, 3) for a, b in zip(times, times[1:])]
                period = statistics.median(gaps)
                self.assertGreaterEqual(period, 0.9 * delay / 1000, gaps)
                self.assertLessEqual(period, 1.5 * delay / 1000, gaps)

    def test_no_birds_shows_only_the_desktop(self):
        proc = self.start_saver(birds=0)
        # The timer runs on with nothing to move.
        while len(steps(proc)) < 10:
            self.assertEqual(self.blobs(), [])
        self.assertIsNotNone(full_screen_window(self.desk))
        self.desk.key("a")
        self.assertEqual(self.desk.wait_exit(proc, 30), 0)

    def test_input_ends_the_run(self):
        cases = [
            ("key", lambda: self.desk.key("a")),
            ("left button", lambda: self.desk.click(1)),
            ("right button", lambda: self.desk.click(3)),
            ("move of 5 pixels", lambda: self.desk.mouse_move(HOME[0] + 3, HOME[1] + 2)),
            ("move of 5 pixels up and left", lambda: self.desk.mouse_move(HOME[0] - 1,
                                                                         HOME[1] - 4)),
        ]
        for name, act in cases:
            with self.subTest(name):
                proc = self.start_saver(delay=100)
                self.wait_for_birds()
                act()
                self.assertEqual(self.desk.wait_exit(proc, 30), 0)
                self.assertIsNone(full_screen_window(self.desk))

    def test_small_moves_add_up_from_where_the_run_started(self):
        proc = self.start_saver(delay=100)
        self.wait_for_birds()
        moves = len(handled(proc, "WM_MOUSEMOVE"))
        self.desk.mouse_move(HOME[0] + 3, HOME[1] + 1)
        wait_until(lambda: len(handled(proc, "WM_MOUSEMOVE")) > moves, 30, 0.1,
                   "the saver to see the move")
        self.assert_still_running(proc)
        # One more pixel is 5 from the point recorded at the start, not 1 from the last move.
        self.desk.mouse_move(HOME[0] + 3, HOME[1] + 2)
        self.assertEqual(self.desk.wait_exit(proc, 30), 0)

    def test_second_start_wakes_the_running_saver_and_leaves(self):
        first = self.start_saver(delay=100)
        self.wait_for_birds()
        window = full_screen_window(self.desk)
        second = self.desk.start(self.desk.scr, "/s")
        self.assertEqual(self.desk.wait_exit(second, 30), 0)
        self.assertNotIn(SAVER_CLASS, [cls for _, cls in second.windows])
        self.assertEqual(self.desk.foreground_window(), window["hwnd"])
        self.assert_still_running(first)
        self.assertEqual(full_screen_window(self.desk)["hwnd"], window["hwnd"])
        self.assertEqual(end_with_key(self.desk, first), 0)

    def test_largest_char_number_runs_a_capped_flock_and_closes(self):
        proc = self.start_saver(birds=2147483647)
        self.wait_for_birds(at_least=10)
        self.assertEqual(self.desk.crash_evidence(), [])
        self.desk.key("a")
        self.assertEqual(self.desk.wait_exit(proc, 60), 0)

    # -- the window as the host keeps it ---------------------------------------------------

    def test_window_covers_the_screen_on_top_and_hides_the_cursor_again(self):
        proc = self.start_saver(**QUIET)
        window = full_screen_window(self.desk)
        hwnd = window["hwnd"]
        self.assertEqual(window["rect"], (0, 0, SCREEN_WIDTH, SCREEN_HEIGHT))
        # Topmost: a window that another program opens during the run stays beneath it.
        self.assertTrue(self.desk.styles(hwnd)[1] & WS_EX_TOPMOST)
        # The window's thread is given a visible cursor before each message, as a pointer
        # coming from another program would bring; each of these hides it again.
        hiders = [
            ("cursor request over the window", WM_SETCURSOR, hwnd, (0x0200 << 16) | HTCLIENT, 1),
            ("being shown", WM_SHOWWINDOW, 1, 0, 0),
            ("paint", WM_PAINT, 0, 0, 0),
        ]
        for name, message, wparam, lparam, answer in hiders:
            with self.subTest(name):
                self.assertNotEqual(self.desk.show_cursor_in(hwnd), 0)
                self.assertEqual(self.desk.send(hwnd, message, wparam, lparam), answer)
                self.assertEqual(self.desk.shown_cursor(), 0)
        self.assertEqual(end_with_key(self.desk, proc), 0)

    def test_title_task_switching_and_ticks_stay_with_the_saver(self):
        proc = self.start_saver(**QUIET)
        hwnd = full_screen_window(self.desk)["hwnd"]
        kept = [  # each answered without the default window procedure, the run going on
            ("title change", WM_SETTEXT, 0, "text:Renamed", 0),
            ("start a screen saver", WM_SYSCOMMAND, SC_SCREENSAVE, 0, 0),
            ("switch to the next window", WM_SYSCOMMAND, SC_NEXTWINDOW, 0, 0),
            ("switch to the previous window", WM_SYSCOMMAND, SC_PREVWINDOW, 0, 0),
            ("a tick", WM_TIMER, 1, 0, 0),
        ]
        for name, message, wparam, lparam, answer in kept:
            with self.subTest(name):
                self.assertEqual(self.desk.send(hwnd, message, wparam, lparam), answer)
        self.assertEqual(full_screen_window(self.desk)["title"], "Screen Saver")
        # A command with extra bits is another command, left to the default handling: the
        # trace must show that one, or it shows nothing worth reading.
        self.assertIsNotNone(self.desk.send(hwnd, WM_SYSCOMMAND, SC_SCREENSAVE | 2))
        self.assertEqual(end_with_key(self.desk, proc), 0)

        defaulted, erase_answers = handled_by_default(proc.popen.stderr_path, hwnd)
        self.assertIn((WM_SYSCOMMAND, SC_SCREENSAVE | 2), defaulted)
        for name, message, wparam, _, _ in kept:
            self.assertNotIn((message, wparam), defaulted, name)
        # The saver paints the whole window itself, so it tells the system nothing was erased.
        self.assertGreater(len(erase_answers), 0, "no WM_ERASEBKGND in the trace")
        self.assertEqual(set(erase_answers), {0})
        self.assertNotIn(WM_ERASEBKGND, [message for message, _ in defaulted])

    def test_activation_power_and_the_middle_button_end_the_run(self):
        cases = [
            ("middle button", lambda hwnd: self.desk.click(2)),
            ("another application activated",
             lambda hwnd: self.desk.send(hwnd, WM_ACTIVATEAPP, 0)),
            ("critical resume", lambda hwnd: self.desk.send(hwnd, WM_POWER, PWR_CRITICALRESUME)),
            ("power broadcast",
             lambda hwnd: self.desk.send(hwnd, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC)),
        ]
        for name, act in cases:
            with self.subTest(name):
                proc = self.start_saver(delay=100)
                self.wait_for_birds()
                act(full_screen_window(self.desk)["hwnd"])
                self.assertEqual(self.desk.wait_exit(proc, 30), 0)
                self.assertIsNone(full_screen_window(self.desk))


class SixteenBitDisplayTest(FullScreenTest):
    """A display of 16 bits per pixel. The saver composes in 32 bits, so the frozen desktop
    must survive the trip there and back: the screen must hold exactly the pattern as this
    display showed it before the run, birds and all that the full-screen checks ask."""

    display_depth = 16
    PIXEL_CHECKS = ("test_no_birds_shows_only_the_desktop",
                    "test_bird_flies_over_the_frozen_desktop_without_trails",
                    "test_number_of_birds_follows_char_number")

    @classmethod
    def prepare_desktop(cls):
        desk = cls.desk
        desk.start(desk.helper("pattern_desktop.exe"))
        # 5 bits of red and blue and 6 of green are left of each colour.
        wait_until(lambda: desk.pattern_matches(tolerance=8), 60, 0.3,
                   "the pattern desktop on screen")
        shots = [desk.screenshot()]
        while len(shots) < 2 or not shots[-1].same_as(shots[-2]):
            time.sleep(0.3)
            shots.append(desk.screenshot())
        cls.desktop = shots[-1]


def load_tests(loader, tests, pattern):
    """Every check at the usual depth; at 16 bits only those of what the screen shows, since
    input and messages do not depend on it."""
    suite = unittest.TestSuite()
    suite.addTests(loader.loadTestsFromTestCase(FullScreenTest))
    suite.addTests(SixteenBitDisplayTest(name) for name in SixteenBitDisplayTest.PIXEL_CHECKS)
    suite.addTests(loader.loadTestsFromTestCase(ScaledDisplayTest))
    return suite


class ScaledDisplayTest(DesktopTestCase):
    """A display scaled to 150 %. The saver declares itself aware of the scale, so the system
    neither stretches its window nor hands it a shrunken copy of the screen: the window covers
    every pixel, reports the display's own dots per inch, and the frozen picture is the desktop
    pixel for pixel. Wine 8 scales no program and reports every window as per-monitor aware,
    with the manifest or without it; here this guards the saver's own sizes, and
    test_what_ships.py reads the manifest back."""

    # FIXME: under Wine 8 this passes for a saver without the awareness too; only a Wine or a
    # Windows that scales unaware programs would show a stretched window here.
    @classmethod
    def prepare_desktop(cls):
        desk = cls.desk
        desk.reg_add(r"HKCU\Control Panel\Desktop", "LogPixels", LOG_PIXELS, "REG_DWORD")
        # Programs take the scale of the session they start in: start the session again.
        desk.restart_wineserver()
        desk.pattern_desktop()

    def test_saver_covers_the_screen_at_its_scale_and_freezes_it_unscaled(self):
        self.desk.write_settings(birds=1)
        self.desk.mouse_move(*HOME)
        proc = self.desk.start(self.desk.scr, "/s")
        self.addCleanup(lambda: self.desk.is_running(proc) and end_with_key(self.desk, proc))
        window = wait_full_screen_window(self.desk)
        self.assertEqual(window["rect"], (0, 0, SCREEN_WIDTH, SCREEN_HEIGHT))
        awareness, dpi = self.desk.probe("dpi", str(window["hwnd"])).split()
        self.assertIn(awareness, ("per-monitor", "per-monitor-v2"))
        self.assertEqual(int(dpi), LOG_PIXELS)
        # A magnified or shifted picture would differ from the desktop far beyond the bird.
        wait_until(lambda: blobs(self.desk.screenshot()), 60, 0.2, "the bird on screen")
        for _ in range(5):
            found = blobs(self.desk.screenshot())
            self.assertEqual(len(found), 1, found)
            self.assertTrue(fits_patch(found[0]), found[0])
            time.sleep(0.3)
        self.assertEqual(end_with_key(self.desk, proc), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
