#!/usr/bin/env python3
"""kt57-run --test's JUnit report read back as a CI reads it, by Debian's python3-junitparser: one
suite per events file, one case per expectation, the findings in each failure, an error for a file
that could not be read, and counts that agree with the cases.

    junit_report_test.py KT57_RUN DEMO_DIR WRONG_EXPECTATIONS
"""
import pathlib
import subprocess
import sys
import tempfile

from junitparser import Error, Failure, JUnitXml

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def report(tool, arguments, folder):
    """Runs kt57-run --test --junit in folder; its exit status, stdout and the parsed report."""
    path = folder / "report.xml"
    result = subprocess.run([tool, "--test", "--junit", str(path)] + arguments, cwd=folder, capture_output=True,
                            text=True, timeout=120)
    return result.returncode, result.stdout, JUnitXml.fromfile(str(path))


def counts(suite):
    """(tests, failures, errors) as the suite's cases give them."""
    cases = list(suite)
    failed = sum(1 for case in cases if any(isinstance(r, Failure) for r in case.result))
    errored = sum(1 for case in cases if any(isinstance(r, Error) for r in case.result))
    return len(cases), failed, errored


def main():
    tool, demo, wrong = sys.argv[1], pathlib.Path(sys.argv[2]), pathlib.Path(sys.argv[3])
    demo_tests = [str(demo / "tests" / name) for name in ("blink.txt", "inputs.txt", "operator.txt")]
    with tempfile.TemporaryDirectory() as scratch:
        scratch = pathlib.Path(scratch)

        status, _, xml = report(tool, demo_tests + [str(demo)], scratch)
        check(status == 0, f"the demo's tests exit {status}")
        suites = list(xml)
        check([s.name for s in suites] == demo_tests, f"suites {[s.name for s in suites]}")
        check([counts(s) for s in suites] == [(11, 0, 0), (5, 0, 0), (8, 0, 0)],
              f"the demo's counts {[counts(s) for s in suites]}")
        check(all(case.is_passed for s in suites for case in s), "a demo case did not pass")

        (scratch / "bad.txt").write_text("100 expect out3 1\n200 expect out3 maybe\n")
        status, out, xml = report(tool, demo_tests[:1] + [str(wrong), "bad.txt", str(demo)], scratch)
        check(status == 2, f"with a bad file kt57-run exits {status}")
        check((xml.tests, xml.failures, xml.errors) == (11 + 6 + 1, 5, 1),
              f"the report's totals {(xml.tests, xml.failures, xml.errors)}")
        suites = {s.name: s for s in xml}
        for suite in suites.values():
            check((suite.tests, suite.failures, suite.errors) == counts(suite),
                  f"{suite.name}: its attributes {(suite.tests, suite.failures, suite.errors)} against its cases "
                  f"{counts(suite)}")
        check(counts(suites[str(wrong)]) == (6, 5, 0), f"the wrong expectations' counts {counts(suites[str(wrong)])}")
        check(counts(suites["bad.txt"]) == (1, 0, 1), f"the bad file's counts {counts(suites['bad.txt'])}")
        bad_error = list(suites["bad.txt"])[0].result[0]
        check(bad_error.message == "bad.txt:2: bad value 'maybe' for out3: 0 or 1", f"the error {bad_error.message!r}")

        # Each failure carries its finding: the message alone, and the finding as printed, its line and
        # the indented lines that explain a wrong pin.
        printed = []
        for line in out.splitlines():
            if line.startswith(" ") and printed:
                printed[-1] += "\n" + line
            else:
                printed.append(line)
        cases = list(suites[str(wrong)])
        check(cases[0].name == "1030 expect out4 0", f"the first case's name {cases[0].name!r}")
        check(cases[4].is_passed and cases[4].name == "1030 expect out4 1", "the one right expectation")
        failed = [case for case in cases if not case.is_passed]
        check(len(failed) == len(printed), f"{len(failed)} failed cases, {len(printed)} findings printed")
        for case, finding in zip(failed, printed):
            result = case.result[0]
            check(isinstance(result, Failure), f"{case.name}: {result!r}")
            check(finding.splitlines()[0].endswith(": error: " + result.message), f"{case.name}: message {result.message!r}")
            check(result.text.strip() == finding, f"{case.name}: text {result.text!r} against {finding!r}")
        check(failed[0].result[0].message == "expected out4 = 0 at 1030 ms, was 1",
              f"the first failure {failed[0].result[0].message!r}")
        check("when line 7 (W0@) sent W00000ff" in failed[0].result[0].text,
              f"the first failure says why out4 was on: {failed[0].result[0].text!r}")

    for failure in failures:
        print(f"FAIL: {failure}")
    if not failures:
        print("the JUnit report reads back with the right suites, cases, counts and findings")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
