"""Runs the JNI test host under Wine: once with no print queue, then once more with a CUPS
queue on a CUPS server of this test's own (its own configuration, socket, port and spool),
so that both spooler cases are seen. A CUPS server already running on the machine is never
touched: Wine is pointed at the test's server, or at a socket where none listens."""
import os
import shutil
import socket
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


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class PrivateCups:
    """A cupsd in the foreground on a private folder; ended by its own process id."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="kiv-cups-")
        os.chmod(self.root, 0o755)
        self.socket = os.path.join(self.root, "cups.sock")
        for sub in ("spool", "cache", "state", "log", "ppd", "ssl"):
            os.makedirs(os.path.join(self.root, sub))
        with open("/etc/cups/cupsd.conf") as f:
            lines = [line for line in f.read().splitlines()
                     if not line.strip().startswith(("Listen", "Port", "Browsing", "IdleExitTimeout"))]
        lines += ["Listen %s" % self.socket, "Listen 127.0.0.1:%d" % free_port(), "Browsing No"]
        self.conf = os.path.join(self.root, "cupsd.conf")
        with open(self.conf, "w") as f:
            f.write("\n".join(lines) + "\n")
        self.files = os.path.join(self.root, "cups-files.conf")
        with open(self.files, "w") as f:
            f.write("SystemGroup root lpadmin\nPeerCred on\n")
            for key, sub in (("ServerRoot", ""), ("RequestRoot", "spool"), ("CacheDir", "cache"),
                             ("StateDir", "state")):
                f.write("%s %s\n" % (key, os.path.join(self.root, sub).rstrip("/")))
            for key in ("AccessLog", "ErrorLog", "PageLog"):
                f.write("%s %s\n" % (key, os.path.join(self.root, "log", key.lower())))
        self.process = None

    def start(self):
        self.process = subprocess.Popen(["cupsd", "-f", "-c", self.conf, "-s", self.files],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError("cupsd ended with %d; log in %s" % (self.process.returncode,
                                                                      self.root))
            # "lpstat -r" answers even when no scheduler listens; its words tell.
            if b"scheduler is running" in self.lp("lpstat", "-r").stdout:
                return
            time.sleep(0.1)
        raise RuntimeError("cupsd did not answer on %s" % self.socket)

    def lp(self, *command):
        return subprocess.run([command[0], "-h", self.socket, *command[1:]],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        shutil.rmtree(self.root, ignore_errors=True)


class JniHost(unittest.TestCase):
    def run_host(self, gtest_filter, extra):
        env = dict(OVERRIDES)
        env.update(extra)
        result = run_wine(HOST, ["--gtest_filter=" + gtest_filter], env=env, timeout=300)
        output = result.stdout.decode("utf-8", "replace")
        self.assertEqual(result.returncode, 0, output[-6000:])
        self.assertIn("[  PASSED  ]", output)

    def test_natives_without_a_print_queue(self):
        nowhere = tempfile.mkdtemp(prefix="kiv-nocups-")
        try:
            self.run_host("*", {"CUPS_SERVER": os.path.join(nowhere, "none.sock")})
        finally:
            shutil.rmtree(nowhere, ignore_errors=True)

    @unittest.skipUnless(shutil.which("cupsd") and os.path.exists(PPD), "CUPS is not installed")
    def test_printers_with_a_cups_queue(self):
        cups = PrivateCups()
        try:
            cups.start()
            queue = "KivTestPDF"
            # A scheduler that has just started may still turn a connection away.
            for _ in range(50):
                added = cups.lp("lpadmin", "-p", queue, "-v", "cups-pdf:/", "-P", PPD, "-E")
                if added.returncode == 0 or b"Unable to connect" not in added.stderr:
                    break
                time.sleep(0.2)
            self.assertEqual(added.returncode, 0, added.stderr.decode(errors="replace"))
            self.run_host("Printers.*", {"CUPS_SERVER": cups.socket,
                                         "KIV_EXPECTED_PRINTER": queue})
        finally:
            cups.stop()


if __name__ == "__main__":
    unittest.main()
