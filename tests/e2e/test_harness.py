"""The harness's own stand-ins, checked against the screen: other scenarios read pixels and
client areas through them, so a wrong answer here would mislead every one of them."""

import unittest

from quillet_wine import BuildTestCase, ParentWindow, WineDesktop, expected_pattern


class HarnessTest(BuildTestCase):
    def test_pattern_desktop_fills_the_screen_with_the_computed_pattern(self):
        with WineDesktop() as desk:
            desk.pattern_desktop()
            shot = desk.screenshot()
            self.assertEqual((shot.width, shot.height), (1024, 768))
            corners = [(0, 0), (1023, 0), (0, 767), (1023, 767), (512, 384)]
            for x, y in corners:
                self.assertEqual(shot.pixel(x, y), expected_pattern(x, y), (x, y))
            self.assertEqual(desk.crash_evidence(), [])

    def test_parent_window_client_area_has_the_asked_size(self):
        with WineDesktop() as desk:
            desk.pattern_desktop()
            for width, height, at in [(200, 150, (100, 100)), (97, 61, (600, 400))]:
                with self.subTest(size=(width, height)):
                    parent = desk.parent_window(width, height, at=at)
                    left, top, w, h = parent.client_rect()
                    self.assertEqual((w, h), (width, height))
                    shot = desk.screenshot()
                    inside = [(left, top), (left + w - 1, top + h - 1)]
                    for x, y in inside:
                        self.assertEqual(shot.pixel(x, y), ParentWindow.COLOUR, (x, y))
                    parent.close()
                    self.assertEqual(desk.wait_exit(parent.process, 60), 0)

    def test_parent_window_runs_a_child_with_its_handle_and_reports_its_exit(self):
        with WineDesktop() as desk:
            # guard_fault returns the number it is given: here, the parent's own handle.
            parent = desk.parent_window(120, 90, run=[desk.helper("guard_fault.exe"),
                                                      "return", "%HWND%"])
            self.assertEqual(parent.child_exit(60), parent.hwnd)
            self.assertEqual(desk.wait_exit(parent.process, 60), parent.hwnd)

    def test_registry_changes_last_one_context(self):
        key = r"HKCU\Software\Quillet\HarnessTest"
        with WineDesktop() as desk:
            desk.reg_add(key, "Value", "seen")
            self.assertEqual(desk.reg_query(key, "Value"), "seen")
        with WineDesktop() as desk:
            self.assertIsNone(desk.reg_query(key, "Value"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
