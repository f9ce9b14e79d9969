#!/usr/bin/env python3
"""The scenario of scripts/run holds flights that a run of a minute sees
leave: flying within a 40 nm range when the stand-in starts and crossing its
edge outwards 5 to 18 s later, so that, replayed 30 s late, they are created,
move and are removed before the minute is out."""

import json
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "rt-standin"))
import make_scenario  # noqa: E402

RANGE_NM = 40.0


def main():
    script = Path(make_scenario.__file__)
    apt = make_scenario.airport_position("EHAM")
    scenario = json.loads(subprocess.run([sys.executable, str(script), "--airport", "EHAM", "--flights", "60"],
                                         check=True, capture_output=True, text=True).stdout)
    leaving = []
    for flight in scenario["flights"]:
        points = flight["points"]
        crossing = make_scenario.leaving_time(points, apt, RANGE_NM)
        if points[0][0] < 0 < crossing and make_scenario.distance_nm(apt, points[-1]) > RANGE_NM:
            leaving.append(crossing)
    early = [t for t in leaving if 5.0 <= t <= 18.0]
    if len(early) < 12:
        sys.exit("only %d flights leave the range 5 to 18 s after the start (want 12 or more): %s"
                 % (len(early), sorted(round(t, 1) for t in leaving)))
    print("%d flights leave the range 5 to 18 s after the start" % len(early))


if __name__ == "__main__":
    main()
