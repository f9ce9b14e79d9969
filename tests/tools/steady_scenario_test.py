#!/usr/bin/env python3
"""The steady scenario of the steady-state benchmark: every flight stays
within 30 nm from before the stand-in starts until the end, its point times
ascend, about a third are on the ground at any time, and every aircraft that
stands still on the ground stands on a stand of the airport file, one
aircraft to a stand, the stands clear of each other."""

import json
import math
import re
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "rt-standin"))
import make_scenario  # noqa: E402

MINUTES = 20
FLIGHTS = 200
PARKED = 60


def fail(message):
    sys.exit("steady scenario: " + message)


def main():
    apt = make_scenario.airport_position("EHAM")
    with tempfile.TemporaryDirectory() as folder:
        airport_file = Path(folder) / "EHAM.xml"
        scenario = json.loads(subprocess.run(
            [sys.executable, make_scenario.__file__, "--airport", "EHAM", "--flights", str(FLIGHTS), "--parked",
             str(PARKED), "--steady-minutes", str(MINUTES), "--airport-file", str(airport_file)],
            check=True, capture_output=True, text=True).stdout)
        stands = [(float(lat), float(lon)) for lat, lon in
                  re.findall(r'latitude="([-0-9.]+)" longitude="([-0-9.]+)"', airport_file.read_text())]

    def stand_of(lat, lon):
        near = [s for s in stands if make_scenario.distance_nm((lat, lon), (0, s[0], s[1])) * 1852 < 5]
        return near[0] if len(near) == 1 else None

    for a, b in [(a, b) for i, a in enumerate(stands) for b in stands[i + 1:]]:
        if make_scenario.distance_nm(a, (0, b[0], b[1])) * 1852 < 50:
            fail("stands %s and %s are less than 50 m apart" % (a, b))
    flights = scenario["flights"]
    if len(flights) != FLIGHTS or len(scenario["parked"]) != PARKED:
        fail("%d flights and %d parked" % (len(flights), len(scenario["parked"])))
    taken = [stand_of(p["lat"], p["lon"]) for p in scenario["parked"]]
    for flight in flights:
        points = flight["points"]
        if any(a[0] >= b[0] for a, b in zip(points, points[1:])):
            fail("the point times of %s do not ascend" % flight["callsign"])
        if points[0][0] > 0 or points[-1][0] < MINUTES * 60 - 1:
            fail("%s flies from %.0f to %.0f s" % (flight["callsign"], points[0][0], points[-1][0]))
        farthest = max(make_scenario.distance_nm(apt, p) for p in points)
        if farthest > 30.5:
            fail("%s flies %.1f nm out" % (flight["callsign"], farthest))
        standing = [p for p in points if p[7] and p[4] == 0]
        if standing:
            taken.append(stand_of(standing[0][1], standing[0][2]))
            if any(stand_of(p[1], p[2]) != taken[-1] for p in standing):
                fail("%s stands still off its stand" % flight["callsign"])
    if None in taken or len(set(taken)) != len(taken):
        fail("an aircraft stands off a stand, or two share one")
    for t in range(0, MINUTES * 60, 120):
        on_ground = sum(1 for f in flights if make_scenario_state(f, t)[7])
        if not 0.2 * FLIGHTS <= on_ground <= 0.4 * FLIGHTS:
            fail("%d of %d on the ground at %d s" % (on_ground, FLIGHTS, t))
    print("%d flights within 30 nm for %d minutes, %d aircraft on %d stands"
          % (FLIGHTS, MINUTES, len(taken), len(stands)))


def make_scenario_state(flight, t):
    """The last point at or before the time."""
    return [p for p in flight["points"] if p[0] <= t][-1]


if __name__ == "__main__":
    main()
