"""The saver's erase step, seen where its source shows: Wine's screen copy reads back the
saver's own picture, so on screen a repaint taken from the screen cannot be told from one taken
from the back buffer. erase_probe.exe runs the saver's own code on a window of its own: the
erase must paint the context the message brings, from the back buffer when there is one, and
from the screen only when there is none."""

import unittest

from quillet_wine import DesktopTestCase


class EraseBackgroundTest(DesktopTestCase):
    def test_erase_paints_the_message_context_from_the_back_buffer_else_from_the_screen(self):
        result = self.desk.run_helper("erase_probe.exe")
        report = result.stdout.decode("latin-1")
        print(report)
        self.assertIn("back buffer: 3072 of 3072 pixels from the back buffer", report)
        self.assertIn("no back buffer: 3072 of 3072 pixels from the screen", report)
        self.assertEqual(result.returncode, 0, report)


if __name__ == "__main__":
    unittest.main(verbosity=2)
