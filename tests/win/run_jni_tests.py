"""Runs the JNI test host under Wine: once with no print queue, then once more with a CUPS
queue that this test starts (and removes again), so that both spooler cases are seen."""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
from kivtest import BUILD, run_wine  # noqa: E402

HOST = os.path.join(BUILD, "jnitest", "jni_tests.exe")
OVERRIDES = {"WINEDLLOVERRIDES": "rasapi32=n,b;mscoree,mshtml="}
PPD = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd"


def stop_cups():
    subprocess.run(["pkill", "-x", "cupsd"], check=False)
    for _ in range(50):
        if subprocess.run(["pgrep", "-x", "cupsd"], stdout=subprocess.DEVNULL).returncode != 0:
            return
        time.sleep(0.1)


class JniHost(unittest.TestCase):
    def run_host(self, gtest_filter, extra=None):
        env = dict(OVERRIDES)
        env.update(extra or {})
        result = run_wine(HOST, ["--gtest_filter=" + gtest_filter], env=env, timeout=300)
        output = result.stdout.decode("utf-8", "replace")
        self.assertEqual(result.returncode, 0, output[-6000:])
        self.assertIn("[  PASSED  ]", output)

    def test_natives_without_a_print_queue(self):
        stop_cups()
        self.run_host("*")

    @unittest.skipUnless(shutil.which("cupsd") and os.path.exists(PPD), "CUPS is not installed")
    def test_printers_with_a_cups_queue(self):
        stop_cups()
        config = tempfile.mkdtemp(prefix="kiv-cups-")
        try:
            with open("/etc/cups/cupsd.conf") as f:
                conf = f.read().replace("Browsing Yes", "Browsing No")
            with open(os.path.join(config, "cupsd.conf"), "w") as f:
                f.write(conf)
            shutil.copy("/etc/cups/cups-files.conf", config)
            subprocess.run(["cupsd", "-c", os.path.join(config, "cupsd.conf"),
                            "-s", os.path.join(config, "cups-files.conf")], check=True)
            for _ in range(50):
                if subprocess.run(["lpstat", "-r"], stdout=subprocess.PIPE).returncode == 0:
                    break
                time.sleep(0.1)
            queue = "KivTestPDF"
            subprocess.run(["lpadmin", "-p", queue, "-v", "cups-pdf:/", "-P", PPD, "-E"],
                           check=True, stderr=subprocess.DEVNULL)
            try:
                self.run_host("Printers.*", {"KIV_EXPECTED_PRINTER": queue})
            finally:
                subprocess.run(["lpadmin", "-x", queue], check=False)
        finally:
            stop_cups()
            shutil.rmtree(config, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
