#!/usr/bin/env python3
"""Reads the JUnit file that ctest wrote for one build's test run (--output-junit) and prints, for
scripts/test.sh, one line per skipped case and expected failure and then one line of counts:

    skipped: BUILD GROUP CASE: REASON
    counts PASSED FAILED SKIPPED

The counts are of test cases: a Python group's cases come from the runner's KIV-CASES line
(tests/run_unittest.py), a GoogleTest group's from its closing summary, and a group of neither
kind (a fuzz target, a check program), or one that ended before its summary, is one case (plus
the skips it printed). A group that ctest reports as failed with no failed case of its own (a
crash, a time limit, a Wine process left behind) counts one failure more; a group ctest did not
run counts as one skipped case, with ctest's reason. A GoogleTest case skips with GTEST_SKIP() <<
REASON, whose lines become the reason; as in Python (tests/run_unittest.py), an expected failure
is a skip whose reason starts with "expected failure: " and names the function Wine lacks.
    test_report.py BUILD JUNIT-FILE"""
import re
import sys
import xml.etree.ElementTree as ElementTree

GTEST_RAN = re.compile(r"^\[==========\] (\d+) tests? from .* ran\.")
GTEST_PASSED = re.compile(r"^\[  PASSED  \] (\d+) tests?\.")
GTEST_SKIPPED_CASE = re.compile(r"^\[  SKIPPED \] (\S+) \(\d+ ms\)$")
GTEST_SKIPPED_COUNT = re.compile(r"^\[  SKIPPED \] (\d+) tests?, listed below:")
GTEST_RUN = re.compile(r"^\[ RUN      \] ")
GTEST_SKIP_MARK = re.compile(r"[:(]\d+\)?: Skipped$")
PYTHON_CASES = re.compile(r"^KIV-CASES passed=(\d+) failed=(\d+) skipped=(\d+)$")
PYTHON_SKIPPED = re.compile(r"^KIV-SKIPPED (\S+): (.*)$")


def one_line(text):
    return " ".join(text.split())


def gtest_group(lines):
    """(counts, [(case, reason)]) of a GoogleTest program's output; counts None without its
    closing summary."""
    skips, message, ran, passed, skipped = [], None, None, None, 0
    for line in lines:
        if GTEST_RUN.match(line):
            message = None
        elif GTEST_SKIP_MARK.search(line):
            message = []
        elif GTEST_SKIPPED_CASE.match(line):
            skips.append((GTEST_SKIPPED_CASE.match(line).group(1),
                          one_line(" ".join(message or [])) or "(no reason given)"))
            message = None
        elif GTEST_RAN.match(line):
            ran = int(GTEST_RAN.match(line).group(1))
        elif GTEST_PASSED.match(line):
            passed = int(GTEST_PASSED.match(line).group(1))
        elif GTEST_SKIPPED_COUNT.match(line):
            skipped = int(GTEST_SKIPPED_COUNT.match(line).group(1))
        elif message is not None:
            message.append(line)
    if ran is None or passed is None:
        return None, skips
    return (passed, ran - passed - skipped, skipped), skips


def python_group(lines):
    """(counts, [(case, reason)]) from the Python runner's closing lines; counts None without
    them."""
    counts, skips = None, []
    for line in lines:
        match = PYTHON_CASES.match(line)
        if match:
            counts, skips = tuple(int(n) for n in match.groups()), []
        elif PYTHON_SKIPPED.match(line):
            skips.append(PYTHON_SKIPPED.match(line).groups())
    return counts, skips


def group_result(case):
    """(passed, failed, skipped, [(case, reason)]) of one ctest test."""
    status = case.get("status")
    output = case.findtext("system-out") or ""
    lines = [line.rstrip("\r") for line in output.splitlines()]
    if status == "notrun" or case.find("skipped") is not None and status != "run":
        reason = case.find("skipped")
        reason = one_line((reason.get("message") if reason is not None else "") or "no reason given")
        # ctest leaves a test unrun when it cannot start it (a missing program, a failed
        # fixture): a failure. Only a test that is disabled, or that said it skips through
        # SKIP_RETURN_CODE or SKIP_REGULAR_EXPRESSION, is skipped.
        if status == "disabled" or reason.startswith("SKIP_"):
            return 0, 0, 1, [("", "not run: " + reason)]
        return 0, 1, 0, []
    counts, skips = python_group(lines)
    if counts is None:
        counts, skips = gtest_group(lines)
    if counts is None:  # no closing summary: the group is one case, and its skips so far count
        counts = (1 if status == "run" else 0, 0, len(skips))
    passed, failed, skipped = counts
    if status != "run" and failed == 0:
        failed += 1
    return passed, failed, skipped, skips


def main(build, junit):
    try:
        cases = ElementTree.parse(junit).getroot().iter("testcase")
        results = [(case.get("name"), group_result(case)) for case in cases]
    except (OSError, ElementTree.ParseError) as error:
        print("failed: %s: no test results to read (%s)" % (build, error))
        print("counts 0 1 0")
        return
    totals = [0, 0, 0]
    for group, (passed, failed, skipped, skips) in results:
        totals = [totals[0] + passed, totals[1] + failed, totals[2] + skipped]
        for name, reason in skips:
            print("skipped: %s %s: %s" % (build, (group + " " + name).strip(), reason))
    print("counts %d %d %d" % tuple(totals))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
