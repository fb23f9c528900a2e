"""The preview run under Wine: a child window that fills the host window's client area, ignores
the keyboard and the mouse, and ends with exit code 0 when the host window goes.

Wine 8 does not show what a process draws into a child window of another process's window
(every display context of such a child gets no X drawable), so the birds of a preview cannot
be seen on screen here; the test that looks for them first checks whether this Wine can show
such a child at all and is skipped when it cannot. (A refused preview is in test_run_modes.py.)
"""

import unittest

from quillet_wine import DesktopTestCase, ParentWindow, wait_until
from saver_watch import (KEY_A, MESSAGE_TRACE, SAVER_CLASS, WM_CONTEXTMENU, WM_HELP, WM_KEYDOWN,
                         handled, shown_preview)

PREVIEW_SIZE = (152, 112)
FOREIGN_CHILD_COLOUR = (250, 20, 200)  # foreign_child.exe's background


def client_box(parent):
    left, top, width, height = parent.client_rect()
    return (left, top, left + width, top + height)


def share_of(image, box, colour):
    total = (box[2] - box[0]) * (box[3] - box[1])
    return image.count_colour(colour, box) / total


class PreviewTest(DesktopTestCase):
    @classmethod
    def prepare_desktop(cls):
        cls.desk.pattern_desktop()

    def open_preview(self, at):
        """Opens a host window with a preview in it, both with Wine's message trace on."""
        parent = self.desk.parent_window(*PREVIEW_SIZE, run=[self.desk.scr, "/p", "%HWND%"],
                                         at=at, debug=MESSAGE_TRACE)
        self.addCleanup(parent.close)
        preview = wait_until(lambda: shown_preview(self.desk, parent), 60,
                             what="the preview window shown")
        return parent, preview

    def preview_of(self, parent):
        found = [w for w in self.desk.child_windows(parent.hwnd) if w["cls"] == SAVER_CLASS]
        return found[0] if found else None

    def test_preview_fills_the_parent_ignores_input_and_ends_with_it(self):
        parent, preview = self.open_preview(at=(300, 200))
        left, top, right, bottom = client_box(parent)
        self.assertEqual(preview["title"], "Preview")
        self.assertEqual(preview["rect"], (left, top, left + PREVIEW_SIZE[0],
                                           top + PREVIEW_SIZE[1]))

        # Moves well beyond the full-screen tolerance and both buttons, all over the preview.
        # Keys go to the window that has the keyboard, the host window, never to a child of
        # another program, so a key is posted to the preview instead.
        for x, y in ((left + 10, top + 10), (right - 10, bottom - 10), (left + 20, bottom - 5)):
            self.desk.mouse_move(x, y)
        self.desk.click(1)
        self.desk.click(3)
        self.assertTrue(self.desk.post_together(preview["hwnd"], (WM_KEYDOWN, KEY_A, 0)))
        trace, hwnd = parent.process, preview["hwnd"]
        for message in ("WM_MOUSEMOVE", "WM_LBUTTONDOWN", "WM_RBUTTONDOWN", "WM_KEYDOWN"):
            wait_until(lambda: handled(trace, message, hwnd) or handled(trace, "WM_CLOSE", hwnd),
                       30, 0.1, "the preview to be handed %s" % message)
        # A timer message comes only when nothing else waits, so a step from now on follows
        # any close request the input posted.
        taken = len(handled(trace, "WM_TIMER", hwnd))
        wait_until(lambda: len(handled(trace, "WM_TIMER", hwnd)) > taken
                   or handled(trace, "WM_CLOSE", hwnd), 30, 0.1, "a step of the preview")
        self.assertEqual(handled(trace, "WM_CLOSE", hwnd), [], "input closed the preview")
        self.assertEqual(self.preview_of(parent), preview, "input ended the preview")
        self.assertTrue(self.desk.is_running(parent.process))

        parent.close()
        self.assertEqual(parent.child_exit(60), 0)

    def test_help_requests_go_to_the_parent_in_its_own_name(self):
        parent, preview = self.open_preview(at=(560, 420))
        hwnd = preview["hwnd"]
        point = (250 << 16) | 620  # screen point of the request: x 620, y 250
        self.assertEqual(self.desk.send(hwnd, WM_HELP, 0, "helpinfo"), 1)
        self.assertEqual(self.desk.send(hwnd, WM_CONTEXTMENU, hwnd, point), 1)
        # Posted in this order, so once the context menu request is there, so is any help.
        wait_until(lambda: any(kind == "contextmenu" for kind, _, _ in parent.help_requests()),
                   30, what="the context menu request at the parent")
        requests = parent.help_requests()
        self.assertIn(("contextmenu", parent.hwnd, point), requests)
        # Wine does not post WM_HELP, whose second parameter points into the sender's memory,
        # to another process, so the help request itself may never arrive; whatever does
        # arrive names the parent, not the preview.
        self.assertEqual([wparam for _, wparam, _ in requests], [parent.hwnd] * len(requests))

    def test_birds_fly_inside_the_preview(self):
        if not self.foreign_children_show():
            self.skipTest("this Wine does not show child windows drawn by another process")
        parent, _ = self.open_preview(at=(560, 200))
        box = client_box(parent)
        first = wait_until(lambda: self.drawn(box), 30, what="the preview drawn")
        second = wait_until(lambda: self.changed(box, first), 30, what="birds moving")
        self.assertLess(share_of(second, box, ParentWindow.COLOUR), 0.5)

    def foreign_children_show(self):
        """Whether a child window that another process draws appears on screen."""
        parent = self.desk.parent_window(*PREVIEW_SIZE, at=(100, 450))
        self.addCleanup(parent.close)
        self.desk.start(self.desk.helper("foreign_child.exe"), str(parent.hwnd), "20")
        wait_until(lambda: self.desk.child_windows(parent.hwnd), 30, what="the foreign child")
        box = client_box(parent)
        try:
            wait_until(lambda: share_of(self.desk.screenshot(), box, FOREIGN_CHILD_COLOUR) > 0.9,
                       5, 0.5, "the foreign child on screen")
            return True
        except TimeoutError:
            return False
        finally:
            parent.close()

    def drawn(self, box):
        image = self.desk.screenshot()
        return image if share_of(image, box, ParentWindow.COLOUR) < 0.5 else None

    def changed(self, box, before):
        image = self.desk.screenshot()
        differs = image.count_differing(before, box)
        return image if differs > 0 else None


if __name__ == "__main__":
    unittest.main(verbosity=2)
