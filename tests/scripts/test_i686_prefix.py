"""scripts/i686-tests.sh against a Wine, compilers and ctest that are stand-ins: a prefix Wine
cannot load is made afresh and said so, only a machine that runs a 64-bit but not a 32-bit
program in a whole prefix is blamed, and Wine is shut down when the suite ends or is stopped."""
import os
import shutil
import signal
import stat
import subprocess
import tempfile
import time
import unittest

SOURCE = os.environ.get("KIV_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
SCRIPT = os.path.join(SOURCE, "scripts", "i686-tests.sh")
HEADER = "WINE REGISTRY Version 2\n"
SCALE = float(os.environ.get("KIV_TIME_SCALE", "1"))

# Wine: "wineboot" makes the three registry files; a check program exits with its bitness when
# the prefix loads (system.reg whole, no "unloadable" mark), unless the machine refuses 32-bit
# code (a "refuses-32" mark beside the stand-ins).
WINE = """#!/bin/bash
echo "wine $*" >>"$STUB_DIR/calls"
loads() { [ "$(head -c 23 "$WINEPREFIX/system.reg" 2>/dev/null)" = "WINE REGISTRY Version 2" ] &&
          [ ! -e "$WINEPREFIX/unloadable" ]; }
case "$1" in
  --version) echo "wine-stub-1.0 (test)" ;;
  wineboot)
    for name in system user userdef; do
      printf 'WINE REGISTRY Version 2\\n;; made\\n' >"$WINEPREFIX/$name.reg"
    done ;;
  *check32.exe|*check.exe) [ -e "$STUB_DIR/refuses-32" ] && exit 1; loads && exit 32; exit 1 ;;
  *check64.exe) loads && exit 64; exit 1 ;;
esac
exit 0
"""
SERVER = '#!/bin/bash\necho "wineserver $*" >>"$STUB_DIR/calls"\n'
COMPILER = '#!/bin/bash\nwhile [ "$1" != -o ]; do shift; done\necho stub >"$2"\n'
CTEST = """#!/bin/bash
echo "ctest $*" >>"$STUB_DIR/calls"
if [ -n "${STUB_CTEST_HOLDS:-}" ]; then : >"$STUB_DIR/ctest-running"; sleep 60 & wait; fi
echo "100% tests passed, 0 tests failed out of 1"
"""


class PrefixRepair(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name
        self.bin = os.path.join(self.dir, "bin")
        self.prefix = os.path.join(self.dir, "prefix")
        os.mkdir(self.bin)
        for name, text in [("wine", WINE), ("wineserver", SERVER), ("ctest", CTEST),
                           ("i686-w64-mingw32-gcc", COMPILER),
                           ("x86_64-w64-mingw32-gcc", COMPILER)]:
            path = os.path.join(self.bin, name)
            with open(path, "w") as f:
                f.write(text)
            os.chmod(path, stat.S_IRWXU)
        self.env = dict(os.environ, PATH=self.bin + os.pathsep + os.environ["PATH"],
                        STUB_DIR=self.dir, KIV_I686_WINE=os.path.join(self.bin, "wine"),
                        KIV_WINEPREFIX_I686=self.prefix,
                        KIV_I686_PREFIX_CACHE=os.path.join(self.dir, "cache"))

    def tearDown(self):
        self.tmp.cleanup()

    def make_prefix(self, system_reg=HEADER + "[Software]\n"):
        os.mkdir(self.prefix)
        for name, text in [("system.reg", system_reg), ("user.reg", HEADER),
                           ("userdef.reg", HEADER)]:
            with open(os.path.join(self.prefix, name), "w") as f:
                f.write(text)

    def mark(self, path):
        open(path, "w").close()

    def calls(self):
        with open(os.path.join(self.dir, "calls")) as f:
            return f.read().splitlines()

    def run_suite(self):
        done = subprocess.run(["bash", SCRIPT], env=self.env, capture_output=True, text=True,
                              timeout=60 * SCALE)
        return done.returncode, done.stdout + done.stderr

    def test_a_prefix_wine_cannot_load_is_made_afresh_and_said_so(self):
        cases = [
            ("empty system.reg", "", None, "(system.reg is empty)"),
            ("cut short", HEADER + "[Software\\\\Wine] 1", None,
             "(system.reg ends in the middle of a line)"),
            ("not a registry", "\0" * 64 + "\n", None, "(system.reg is not a Wine registry file)"),
            ("whole-looking, fails", HEADER, "unloadable",
             "(a 64-bit program did not run in it either)"),
            ("creation cut off", HEADER, ".kiv-prefix-unfinished", "(its creation was cut off)"),
        ]
        for name, system_reg, mark, reason in cases:
            with self.subTest(name):
                shutil.rmtree(self.prefix, ignore_errors=True)
                self.make_prefix(system_reg)
                if mark:
                    self.mark(os.path.join(self.prefix, mark))
                code, output = self.run_suite()
                self.assertEqual(code, 0, output)
                self.assertIn("cannot be loaded by Wine " + reason + ": it is made afresh", output)
                self.assertNotIn("did not run under", output)
                with open(os.path.join(self.prefix, "system.reg")) as f:
                    self.assertEqual(f.readline(), HEADER)
                self.assertIn("100% tests passed", output)

    def test_only_a_machine_that_runs_64_but_not_32_bit_code_is_blamed(self):
        self.make_prefix()
        keep = os.path.join(self.prefix, "kept")
        self.mark(keep)
        self.mark(os.path.join(self.dir, "refuses-32"))
        code, output = self.run_suite()
        self.assertEqual(code, 1)
        self.assertIn("i686 tests: a 32-bit program did not run under", output)
        self.assertNotIn("made afresh", output)
        self.assertTrue(os.path.exists(keep), "a whole prefix was made again")
        self.assertNotIn("ctest", " ".join(self.calls()))

    def test_a_missing_prefix_is_created(self):
        code, output = self.run_suite()
        self.assertEqual(code, 0, output)
        self.assertIn("== creating the i686 prefix", output)
        self.assertNotIn("made afresh", output)
        self.assertFalse(os.path.exists(os.path.join(self.prefix, ".kiv-prefix-unfinished")))

    def test_a_created_prefix_is_kept_and_unpacked_instead_of_created_again(self):
        code, output = self.run_suite()
        self.assertEqual(code, 0, output)
        self.assertIn("== creating the i686 prefix", output)
        self.assertIn("prefix kept in", output)
        shutil.rmtree(self.prefix)
        os.remove(os.path.join(self.dir, "calls"))
        code, output = self.run_suite()
        self.assertEqual(code, 0, output)
        self.assertIn("unpacked from", output)
        self.assertNotIn("wine wineboot -i", self.calls())
        self.assertFalse(os.path.exists(os.path.join(self.prefix, ".kiv-prefix-unfinished")))
        with open(os.path.join(self.prefix, "system.reg")) as f:
            self.assertEqual(f.read(), HEADER + ";; made\n")

    def test_a_kept_prefix_wine_cannot_load_is_dropped_and_made_afresh(self):
        self.make_prefix(system_reg="")
        cache = os.path.join(self.dir, "cache")
        os.mkdir(cache)
        subprocess.run(["tar", "-cf", os.path.join(cache, "wine-stub-1.0__test_.tar"), "-C",
                        self.prefix, "."], check=True)
        shutil.rmtree(self.prefix)
        code, output = self.run_suite()
        self.assertEqual(code, 0, output)
        self.assertIn("unpacked from", output)
        self.assertIn("cannot be loaded by Wine (system.reg is empty): it is made afresh", output)
        self.assertIn("wine wineboot -i", self.calls())
        with open(os.path.join(self.prefix, "system.reg")) as f:
            self.assertEqual(f.readline(), HEADER)
        shutil.rmtree(self.prefix)
        code, output = self.run_suite()
        self.assertIn("unpacked from", output)
        self.assertNotIn("made afresh", output)

    def test_wine_is_shut_down_after_the_suite_and_when_it_is_stopped(self):
        self.make_prefix()
        code, _ = self.run_suite()
        self.assertEqual(code, 0)
        calls = self.calls()
        after = calls[[c.startswith("ctest") for c in calls].index(True):]
        self.assertEqual(after[1:3], ["wineserver -k", "wineserver -w"])

        os.remove(os.path.join(self.dir, "calls"))
        env = dict(self.env, STUB_CTEST_HOLDS="1")
        suite = subprocess.Popen(["bash", SCRIPT], env=env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL, start_new_session=True)
        running = os.path.join(self.dir, "ctest-running")
        deadline = time.monotonic() + 30 * SCALE
        while not os.path.exists(running) and suite.poll() is None:
            self.assertLess(time.monotonic(), deadline, "ctest never started")
            time.sleep(0.05)
        os.killpg(suite.pid, signal.SIGTERM)
        self.assertEqual(suite.wait(timeout=30 * SCALE), 143)
        calls = self.calls()
        self.assertEqual(calls[-2:], ["wineserver -k", "wineserver -w"])


if __name__ == "__main__":
    unittest.main()
