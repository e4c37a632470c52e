"""scripts/test_report.py on ctest's JUnit files: the cases it counts per kind of test group, and
one skip line per skipped case and expected failure with its reason."""
import os
import subprocess
import sys
import tempfile
import unittest
from xml.sax.saxutils import escape

SOURCE = os.environ.get("KIV_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
SCRIPT = os.path.join(SOURCE, "scripts", "test_report.py")

PYTHON = ("test_a (m.C.test_a) ... ok\nKIV-CASES passed=3 failed=1 skipped=2\n"
          "KIV-SKIPPED C.test_b: expected failure: Wine lacks GetFoo\n"
          "KIV-SKIPPED C.test_c: no pseudo-terminal\n")
GTEST = ("[ RUN      ] S.A\n[       OK ] S.A (0 ms)\n[ RUN      ] S.B\n"
         "..\\tests\\win\\X.cpp(12): Skipped\nexpected failure: Wine's QueryBar\nreports 0\n\n"
         "[  SKIPPED ] S.B (3 ms)\n[ RUN      ] S.C\nX.cpp:9: Failure\n[  FAILED  ] S.C (1 ms)\n"
         "[==========] 3 tests from 1 test suite ran. (5 ms total)\n[  PASSED  ] 1 test.\n"
         "[  SKIPPED ] 1 test, listed below:\n[  SKIPPED ] S.B\n"
         "[  FAILED  ] 1 test, listed below:\n[  FAILED  ] S.C\n")


def junit(*groups):
    cases = "".join('<testcase name="%s" status="%s">%s<system-out>%s</system-out></testcase>'
                    % (name, status, extra, escape(out)) for name, status, extra, out in groups)
    return '<?xml version="1.0"?><testsuite>%s</testsuite>' % cases


class Report(unittest.TestCase):
    def report(self, text):
        with tempfile.NamedTemporaryFile("w", suffix=".xml", delete=False) as f:
            f.write(text)
        self.addCleanup(os.remove, f.name)
        done = subprocess.run([sys.executable, SCRIPT, "i686", f.name], capture_output=True,
                              text=True, check=True)
        return done.stdout.splitlines()

    def test_counts_and_skip_lines_per_kind_of_group(self):
        rows = [
            ("python", ("py", "fail", "", PYTHON), "counts 3 1 2",
             ["skipped: i686 py C.test_b: expected failure: Wine lacks GetFoo",
              "skipped: i686 py C.test_c: no pseudo-terminal"]),
            ("gtest", ("gt", "fail", "", GTEST), "counts 1 1 1",
             ["skipped: i686 gt S.B: expected failure: Wine's QueryBar reports 0"]),
            ("plain pass", ("fuzz", "run", "", "done\n"), "counts 1 0 0", []),
            # A crash or a time limit: the group failed with no failed case of its own.
            ("crashed", ("gt", "fail", "", GTEST.split("[====")[0]), "counts 0 1 1",
             ["skipped: i686 gt S.B: expected failure: Wine's QueryBar reports 0"]),
            ("passed, left behind", ("py", "fail", "", PYTHON.replace("failed=1", "failed=0")),
             "counts 3 1 2", None),
            ("not run", ("x", "notrun", '<skipped message="SKIP_RETURN_CODE=77"/>', ""),
             "counts 0 0 1", ["skipped: i686 x: not run: SKIP_RETURN_CODE=77"]),
            # ctest could not start it: a failure, never a skip.
            ("not started", ("x", "notrun", '<skipped message="Unable to find executable"/>', ""),
             "counts 0 1 0", []),
        ]
        for name, group, counts, skips in rows:
            with self.subTest(name):
                lines = self.report(junit(group))
                self.assertEqual(lines[-1], counts)
                if skips is not None:
                    self.assertEqual(lines[:-1], skips)

    def test_results_that_cannot_be_read_fail(self):
        for name, text in [("cut short", junit(("py", "run", "", PYTHON))[:-20]), ("empty", "")]:
            with self.subTest(name):
                lines = self.report(text)
                self.assertTrue(lines[0].startswith("failed: i686: no test results to read"))
                self.assertEqual(lines[-1], "counts 0 1 0")


if __name__ == "__main__":
    unittest.main()
