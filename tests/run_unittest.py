"""Runs one Python test module as "python3 -m unittest -v MODULE" does (from the module's
folder), then prints, each on a line of its own after the run's summary, what the test command
(scripts/test.sh, through scripts/test_report.py) collects from every test group:

    KIV-CASES passed=N failed=N skipped=N
    KIV-SKIPPED CLASS.CASE: REASON            one per skipped case and expected failure

A case skips with self.skipTest(REASON) for the one exact outcome it stands for. An expected
failure (where Wine lacks a function the case needs) is a skip whose reason starts with
"expected failure: " and names the function; a case marked @unittest.expectedFailure instead
gives its reason as the first line of its docstring."""
import os
import sys
import unittest


class RecordingResult(unittest.TextTestResult):
    """The verbose result that also keeps every skip and expected failure with its reason."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.left_out = []
        self.passed = 0

    def addSuccess(self, test):
        super().addSuccess(test)
        self.passed += 1

    @staticmethod
    def _name(test):
        return "%s.%s" % (type(test).__name__, getattr(test, "_testMethodName", str(test)))

    def addSkip(self, test, reason):
        super().addSkip(test, reason)
        self.left_out.append((self._name(test), reason))

    def addExpectedFailure(self, test, err):
        super().addExpectedFailure(test, err)
        doc = (getattr(test, "_testMethodDoc", None) or "").strip().splitlines()
        reason = doc[0] if doc else "(its docstring gives no reason)"
        self.left_out.append((self._name(test), "expected failure: " + reason))


def main(module):
    sys.path[0] = os.getcwd()  # as with "-m unittest": the module's folder, not this one
    suite = unittest.defaultTestLoader.loadTestsFromName(module)
    result = unittest.TextTestRunner(verbosity=2, resultclass=RecordingResult).run(suite)
    skipped = len(result.left_out)
    failed = len(result.failures) + len(result.errors) + len(result.unexpectedSuccesses)
    sys.stderr.flush()
    print("KIV-CASES passed=%d failed=%d skipped=%d"
          % (result.passed, failed, skipped))
    for name, reason in result.left_out:
        print("KIV-SKIPPED %s: %s" % (name, " ".join(str(reason).split())))
    sys.stdout.flush()
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
