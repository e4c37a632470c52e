"""The windowed launcher TarrowW.exe on the test run's X server: a launch error shows a message box
with the error line, titled with the application's name, and ends the launch with exit code 1
once the box is closed; the VM and the Verify probe it starts have no console window; service
mode shows no box; branding keeps the subsystem."""
import os
import shutil
import subprocess
import sys
import unittest

from kivtest import (BUILD, SOURCE, WINE64, LayoutTestCase, ensure_prefix,
                     expected_failure_where_wine_lacks, minimal_properties, run_wine, scaled,
                     windows_path, wine_env)
from xdisplay import GRAPHICS_DRIVER, display_env, screenshot, windows_refused

sys.path.insert(0, os.path.join(SOURCE, "tests", "binary"))
from pe_reader import PeFile  # noqa: E402

TARROW_W = os.path.join(BUILD, "bin", "TarrowW.exe")
DRIVER = os.path.join(BUILD, "bin", "window_driver.exe")
MISSING_EN = "Pellinor Error: The Pellinor properties file is missing"
MISSING_DE = "Pellinor-Fehler: Die Pellinor-Eigenschaftendatei fehlt"
NO_VM = ("Pellinor Error: Could not find a valid Java virtual machine to load.\n\n"
         "You may need to reinstall a supported Java virtual machine.")
GERMAN = {"LC_ALL": "de_DE.UTF-8", "LANG": "de_DE.UTF-8"}
WINDOWS_SUBSYSTEM = 2


class Windowed(LayoutTestCase):
    program_name = "TarrowW.exe"

    @classmethod
    def setUpClass(cls):
        # Wine's desktop process starts with the first program that looks for windows and
        # inherits its output handles: started here, it never holds a test's pipes open.
        ensure_prefix()
        subprocess.run([WINE64, DRIVER, "wait", "", "0"], env=wine_env(display_env()),
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=scaled(120), check=False)
        cls.refused = windows_refused()

    def setUp(self):
        super().setUp()
        shutil.copy(TARROW_W, self.exe)
        self.display = display_env()

    def driver(self, *args, timeout=60):
        """Runs window_driver; returns its exit code and its output as text."""
        result = run_wine(DRIVER, args, env=self.display, timeout=timeout)
        return result.returncode, result.stdout.decode("utf-8").replace("\r\n", "\n")

    def start(self, args=(), env=None):
        """Starts TarrowW with standard error going to a file; returns the process."""
        ensure_prefix()
        self.stderr_path = os.path.join(self.root, "stderr.txt")
        stderr = open(self.stderr_path, "wb")
        self.addCleanup(stderr.close)
        process = subprocess.Popen(
            [WINE64, self.exe, *args], cwd=self.root, stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=stderr,
            env=wine_env({"KIV_STANDIN_RECORD": windows_path(self.record), **self.display,
                          **(env or {})}))
        self.addCleanup(self.end, process)
        return process

    @staticmethod
    def end(process):
        if process.poll() is None:
            process.kill()
            process.wait()

    def test_launch_errors_show_in_a_message_box_until_it_is_closed(self):
        cases = [  # (what, properties, environment, title, error line)
            ("no properties file", None, {}, "TarrowW", MISSING_EN),
            ("German", None, GERMAN, "TarrowW", MISSING_DE),
            ("no VM", minimal_properties(**{"kiv.application.name": "Hello World"}), {},
             "Hello World", NO_VM),
        ]
        for what, properties, env, title, line in cases:
            with self.subTest(what):
                for name in os.listdir(self.app):
                    if name.endswith(".kiv"):
                        os.remove(os.path.join(self.app, name))
                if properties:
                    self.kiv(properties, name="TarrowW.kiv")
                launch = self.start(env=env)
                if self.refused:
                    # The box cannot be made: the launcher goes on as if it had been closed.
                    self.assertEqual(launch.wait(timeout=scaled(60)), 1)
                    self.assert_error_line(line)
                    continue
                code, found = self.driver("wait", title, str(int(scaled(30) * 1000)),
                                          timeout=scaled(40))
                self.assertEqual(code, 0, "no window titled %r" % title)
                self.assertTrue(found.endswith(" #32770\n"), found)  # the message box's class
                shown = self.driver("text", title)[1]
                screenshot("windowed-error-" + what.replace(" ", "-"))
                self.assertTrue(shown.startswith(title + "\n"), shown)
                self.assertIn(line, shown)
                # The launcher waits for the person: it is still running until OK is pressed.
                self.assertIsNone(launch.poll())
                self.assertEqual(self.driver("press", title, "OK")[0], 0)
                self.assertEqual(launch.wait(timeout=scaled(30)), 1)
                self.assert_error_line(line)
        if self.refused:
            expected_failure_where_wine_lacks(
                self, GRAPHICS_DRIVER, "the window driver's probe said %r; each launcher ended "
                "with its error line and exit code 1, no box shown" % self.refused)

    def assert_error_line(self, line):
        with open(self.stderr_path, "rb") as f:
            self.assertEqual(f.read().decode("utf-8"), line.replace("\n", "\r\n") + "\r\n")

    def test_a_service_shows_no_message_box(self):
        # A box would hold the launcher until the time limit: it ends by itself with the line.
        launch = self.start(["-mvkivservice", "KivWindowedService"])
        self.assertEqual(launch.wait(timeout=scaled(60)), 1)
        self.assert_error_line(MISSING_EN)

    def test_vm_and_verify_probe_start_without_a_console_window(self):
        home = os.path.join(self.root, "Runtime 17")
        javaw = self.install_vm(home, "standin_sun_17_0_9", names=("javaw.exe", "java.exe"))
        with open(os.path.join(home, "bin", "verify-output.txt"), "w") as f:
            f.write("Verify 1.0\nEclipse Adoptium\n17.0.9\n")
        specs = os.path.join(self.app, "jvmspecs")
        os.makedirs(specs)
        with open(os.path.join(specs, "Verify.jar"), "wb") as f:
            f.write(b"PK")
        with open(os.path.join(specs, "runtime.spec"), "w", newline="\r\n") as f:
            f.write("JVM_EXE: bin\\javaw.exe\nJVM_PROPERTIES\njava.vendor=Eclipse...\n"
                    "java.version=17*\n/:\nPATH_HINT:\n%s\n/:\n" % windows_path(home)[3:])
        with open(os.path.join(specs, "jvmspecs.properties"), "w", newline="\r\n") as f:
            f.write("build.option=withoutvm\nbuild.without.vm.search.option=10\n"
                    "build.jvmspec.applicable=true\nbuild.jvmspec.total.num=1\n"
                    "build.jvmspec.0=runtime.spec\n")
        # The probe's time limit, stretched as the tests' own: under emulation a probe takes
        # longer than the 5 s a launch gives it by default.
        self.kiv(minimal_properties(**{"kiv.nl.verify.timeout": str(int(scaled(5)))}),
                 name="TarrowW.kiv")
        launch = self.start(env={"KIV_STANDIN_EXIT": "5"})
        self.assertEqual(launch.wait(timeout=scaled(60)), 5)
        probe, application = self.records()
        self.assertIn(" Verify ", probe["commandline"])
        self.assertEqual(probe["program"], windows_path(javaw))
        if self.refused:
            # Without a graphics driver even a new console has no window: "0" proves nothing.
            expected_failure_where_wine_lacks(
                self, GRAPHICS_DRIVER, "the window driver's probe said %r" % self.refused)
        for what, record in (("probe", probe), ("VM", application)):
            with self.subTest(what):
                self.assertEqual(record["consolewindow"], "0")

    def test_branding_keeps_the_windows_subsystem(self):
        out = os.path.join(self.root, "Hello.exe")
        result = run_wine(self.exe, ["-mvkivbrand", windows_path(out), "product=Hello"],
                          cwd=self.root, env=self.display)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(PeFile(out).subsystem, WINDOWS_SUBSYSTEM)


if __name__ == "__main__":
    unittest.main()
