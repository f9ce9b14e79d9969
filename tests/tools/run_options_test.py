#!/usr/bin/env python3
"""scripts/run's options: --help prints the usage and ends well; a wrong
option, a missing or bad value or an unknown airport says what is wrong,
shows the usage and ends with exit code 2 before anything is set up or
built."""

import os
import signal
import subprocess
import sys
import tempfile
from pathlib import Path

SCRIPT = Path(__file__).resolve().parents[2] / "scripts" / "run"
TEST_SCRIPT = SCRIPT.parent / "test"

CASES = [
    # arguments, exit code, text in its output
    (["--help"], 0, "usage: scripts/run [--for SECONDS]"),
    (["--for"], 2, "scripts/run: --for needs a value"),
    (["--for", "--windows"], 2, "scripts/run: --for needs a value"),
    (["--for", "2m"], 2, 'scripts/run: --for needs a whole number from 1, not "2m"'),
    (["--aircraft", "0"], 2, 'scripts/run: --aircraft needs a whole number from 1, not "0"'),
    (["--for", "9" * 20], 2, 'scripts/run: --for needs a whole number from 1, not "%s"' % ("9" * 20)),
    (["--airport"], 2, "scripts/run: --airport needs a value"),
    (["--airport", "ZZZQ"], 2, "scripts/run: no airport ZZZQ in data/airports_msfs.xml"),
    (["--fast"], 2, "scripts/run: unknown option: --fast"),
]

# scripts/test refuses a wrong option before it sets anything up.
TEST_CASES = [
    (["-L"], 2, "scripts/test: -L needs a label"),
    (["-L", "--asan"], 2, "scripts/test: -L needs a label"),
    (["--fast"], 2, "unknown option: --fast"),
]


def main():
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        build = Path(folder) / "build-run"
        environment = dict(os.environ, CRVN_RUN_BUILD=str(build))
        for arguments, code, text in CASES:
            # In a session of its own: a script that went on to set up and
            # build is stopped with everything it started.
            run = subprocess.Popen([str(SCRIPT)] + arguments, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   text=True, env=environment, start_new_session=True)
            try:
                stdout, stderr = run.communicate(timeout=30)
            except subprocess.TimeoutExpired:
                os.killpg(run.pid, signal.SIGKILL)
                stdout, stderr = run.communicate()
            output = stdout + stderr
            if run.returncode != code or text not in output:
                failures.append("%s: exit code %d (want %d), output:\n%s" % (arguments, run.returncode, code, output))
            elif code == 2 and "usage: scripts/run" not in stderr:
                failures.append("%s: no usage after the error:\n%s" % (arguments, output))
            if "unbound variable" in output:
                failures.append("%s: a shell error reached the user:\n%s" % (arguments, output))
        if build.exists():
            failures.append("a wrong option still set up a build folder")
    for arguments, code, text in TEST_CASES:
        run = subprocess.run([str(TEST_SCRIPT)] + arguments, capture_output=True, text=True, timeout=30)
        output = run.stdout + run.stderr
        if run.returncode != code or text not in output or "unbound variable" in output:
            failures.append("scripts/test %s: exit code %d (want %d), output:\n%s" %
                            (arguments, run.returncode, code, output))
    if failures:
        sys.exit("\n".join(failures))
    print("%d option cases" % (len(CASES) + len(TEST_CASES)))


if __name__ == "__main__":
    main()
