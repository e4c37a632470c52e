"""The windowed launcher TarrowW.exe on the test run's X server while it downloads a VM pack from a
slow local server: the progress window shows a moving bar, and Cancel ends the launch with exit
code 1, no VM started, neither pack nor scratch folder left and no message box."""
import hashlib
import io
import os
import re
import shutil
import subprocess
import unittest
import zipfile

from kivtest import (BUILD, WINE64, ensure_prefix, expected_failure_where_wine_lacks,
                     minimal_properties, run_wine, scaled, wait_until, windows_path, wine_env)
from test_vmpack import PackLayout, standin_bytes, zip_bytes
from xdisplay import GRAPHICS_DRIVER, display_env, screenshot, windows_refused

TARROW_W = os.path.join(BUILD, "bin", "TarrowW.exe")
DRIVER = os.path.join(BUILD, "bin", "window_driver.exe")
TITLE = "Progress Window Test"
# About 80 seconds at the slow server's 512 KB a second: far longer than the test needs, even
# when each reading of the window takes seconds.
PADDING = 40 * 1024 * 1024


def big_pack():
    """A VM pack with a large member stored as it is (random bytes do not compress)."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_STORED) as z:
        z.writestr("vm.zip", zip_bytes([("bin/java.exe", standin_bytes())]))
        z.writestr("vm.properties", b"vendor=test\n")
        z.writestr("padding.bin", os.urandom(PADDING))
    return out.getvalue()


class ProgressWindow(PackLayout):
    program_name = "TarrowW.exe"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # Wine's desktop process starts with the first program that looks for windows; started
        # here, it never holds the launcher's pipes open.
        ensure_prefix()
        subprocess.run([WINE64, DRIVER, "wait", "", "0"], env=wine_env(display_env()),
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=scaled(120), check=False)
        cls.refused = windows_refused()

    def setUp(self):
        self.display = display_env()
        super().setUp()
        shutil.copy(TARROW_W, self.exe)
        self.kiv(minimal_properties(**{"kiv.application.name": TITLE}), name="TarrowW.kiv")

    def driver(self, *args):
        result = run_wine(DRIVER, args, env=self.display)
        return result.returncode, result.stdout.decode("utf-8").replace("\r\n", "\n")

    def window_lines(self):
        code, text = self.driver("text", TITLE)
        self.assertEqual(code, 0, text)
        return text.splitlines()

    def bar(self):
        """The progress bar's position; None when the window could not be read this time (the
        first reading of a run under Wine sometimes finds no window just after it showed)."""
        code, text = self.driver("text", TITLE)
        for line in text.splitlines() if code == 0 else ():
            if line.startswith("progress "):
                return int(line.split()[1])
        return None

    def test_cancel_during_the_download_ends_the_launch_and_leaves_nothing(self):
        if self.refused:
            # No window to read or cancel: the download would run to its end unseen.
            expected_failure_where_wine_lacks(
                self, GRAPHICS_DRIVER, "the window driver's probe said %r" % self.refused)
        data = big_pack()
        self.publish(data)
        self.direct(self.http.url("slow/" + self.pack_name), hashlib.md5(data).hexdigest())
        launcher = subprocess.Popen(
            [WINE64, self.exe], cwd=self.start, stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            env=wine_env({"KIV_STANDIN_RECORD": windows_path(self.record), **self.display}))
        try:
            code, found = self.driver("wait", TITLE, str(int(scaled(60) * 1000)))
            self.assertEqual(code, 0, "no progress window: " + found)
            seen = []

            def moved():
                position = self.bar()
                if position is not None:
                    seen.append(position)
                return len(seen) > 1 and seen[-1] > seen[0]
            wait_until(moved, "the progress bar moves", 60)
            self.assertEqual(seen, sorted(seen), "the bar never goes back")
            screenshot("pack-progress-window")
            lines = self.window_lines()
            self.assertEqual(lines[0], TITLE)
            self.assertIn("Downloading VM Pack", lines)
            self.assertTrue(any(re.fullmatch(r"progress \d+ 0 1000", line) for line in lines), lines)
            self.assertTrue(any(re.fullmatch(r"\d+\.\d MB of 40\.\d MB", line) for line in lines),
                            lines)
            self.assertTrue(any(re.fullmatch(r"\d+\.\d [KM]B/s, .* left", line) for line in lines),
                            lines)
            self.assertEqual(self.driver("press", TITLE, "Cancel")[0], 0)
            out, err = launcher.communicate(timeout=scaled(60))
        finally:
            if launcher.poll() is None:
                launcher.kill()
                launcher.communicate()
        # A message box would hold the launcher until closed; none was shown, nor an error line.
        self.assertEqual((launcher.returncode, err), (1, b""))
        self.assertEqual(self.records(), [], "no VM started")
        self.assertFalse(os.path.exists(self.stored_pack()), "the partial pack is deleted")
        self.assertFalse(os.path.exists(os.path.join(self.start, "Windows", "downloadIntermediary")))
        self.assertFalse(os.path.exists(self.target()))
        resource = os.path.join(self.start, "Windows", "resource")
        self.assertEqual(os.listdir(resource) if os.path.exists(resource) else [], [],
                         "no half VM beside the VM folder")


if __name__ == "__main__":
    unittest.main()
