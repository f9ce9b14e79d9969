#!/usr/bin/env python3
"""Ctrl-C at the terminal of scripts/run (the interrupt reaches the script's
whole process group): crvn closes as by its close box and logs out of the
RealTraffic stand-in, which stops only after that, and the script reports
the clean close as a success. Runs the script headless on the programs of
the given build folder, with a small scenario."""

import os
import signal
import socket
import subprocess
import sys
import threading
import time
from pathlib import Path
from urllib.parse import urlparse

SCRIPT = Path(__file__).resolve().parents[2] / "scripts" / "run"


def fail(message, output=""):
    sys.exit("scripts/run and Ctrl-C: %s\n%s" % (message, output))


def main():
    build = Path(sys.argv[1]).resolve()
    # An older script knows no --help and would build in the folder itself.
    if subprocess.run([str(SCRIPT), "--help"], capture_output=True, timeout=30).returncode != 0:
        fail("scripts/run --help fails")
    environment = dict(os.environ, CRVN_RUN_BUILD=str(build), CRVN_RUN_BUILT="1")
    environment.pop("DISPLAY", None)
    run = subprocess.Popen([str(SCRIPT), "--aircraft", "8"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           text=True, env=environment, start_new_session=True)
    lines = []
    reader = threading.Thread(target=lambda: lines.extend(run.stdout), daemon=True)
    reader.start()
    try:
        deadline = time.monotonic() + 120
        while not any("session running" in line for line in list(lines)):
            if time.monotonic() > deadline or run.poll() is not None:
                fail("the session never ran", "".join(lines))
            time.sleep(0.2)
        os.killpg(run.pid, signal.SIGINT)
        code = run.wait(timeout=60)
    finally:
        if run.poll() is None:
            os.killpg(run.pid, signal.SIGKILL)
            run.wait()
    reader.join(timeout=5)
    output = "".join(lines)
    if code != 0 or "CRVN ended cleanly." not in output:
        fail("exit code %d" % code, output)
    log = (build / "sandbox" / "program" / "Log.txt").read_text(errors="replace")
    if "Session closed RT server 'rt-standin'" not in log or "Deauthentication failed" in log:
        fail("no clean logout in the log", log[-2000:])
    endpoint = urlparse((build / "sandbox" / "rt-standin.out").read_text().splitlines()[0])
    with socket.socket() as probe:
        probe.settimeout(2)
        if probe.connect_ex((endpoint.hostname, endpoint.port)) == 0:
            fail("the RealTraffic stand-in still runs after the script ended")
    print("Ctrl-C: a clean close, a logout, the stand-in stopped after it")


if __name__ == "__main__":
    main()
