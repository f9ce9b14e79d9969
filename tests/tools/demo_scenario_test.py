#!/usr/bin/env python3
"""The scenario of scripts/run around the user's stand: the user's aircraft
stands on a stand of the airport file; every arrival lands, rolls out and
taxis to a stand of its own and stands there; no runway, taxi line or turn
of an aircraft near the ground points at the user's aircraft (the program
takes such an aircraft out of the simulator); and two minutes of a run,
replayed 30 s late, see arrivals touch down and reach their stands."""

import json
import math
import re
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "rt-standin"))
import make_scenario  # noqa: E402

FEET_PER_NM = 6076.12
NEAR_NM = 4.0             # the program looks at aircraft this near the user's
NEAR_LEVEL_FT = 1000.0    # and this near its altitude
CLEAR_OF_TRACK_FT = 700.0
CLEAR_OF_NOSE_LINE_FT = 50.0
# The scenario seconds a run of two minutes shows: the program logs in, then
# replays the traffic 30 s late.
RUN_FIRST_S, RUN_LAST_S = -45.0, 45.0


def fail(message):
    sys.exit("demo scenario: " + message)


def east_north_nm(origin, lat, lon):
    return ((lon - origin[1]) * 60.0 * math.cos(math.radians(origin[0])), (lat - origin[0]) * 60.0)


def miss_distance_nm(user, lat, lon, track_deg):
    """How far the line through the point along the track passes the user."""
    east, north = east_north_nm(user, lat, lon)
    rad = math.radians(track_deg)
    return abs(east * math.cos(rad) - north * math.sin(rad))


def headings_between(a, b):
    """The headings an aircraft turning the shorter way from a to b shows."""
    turn = (b - a + 540.0) % 360.0 - 180.0
    steps = max(1, int(abs(turn)))
    return [a + turn * i / steps for i in range(steps + 1)]


def main():
    with tempfile.TemporaryDirectory() as folder:
        airport_file, world_file = Path(folder) / "EHAM.xml", Path(folder) / "world.json"
        scenario = json.loads(subprocess.run(
            [sys.executable, make_scenario.__file__, "--airport", "EHAM", "--flights", "60", "--airport-file",
             str(airport_file), "--world-file", str(world_file)], check=True, capture_output=True, text=True).stdout)
        stands = [(float(lat), float(lon)) for lat, lon in
                  re.findall(r'latitude="([-0-9.]+)" longitude="([-0-9.]+)"', airport_file.read_text())]
        world = json.loads(world_file.read_text())
    user_aircraft = world["userAircraft"]
    user = (user_aircraft["latitude"], user_aircraft["longitude"], user_aircraft["altitudeFeet"])
    apt = make_scenario.airport_position("EHAM")

    def stand_of(lat, lon):
        near = [s for s in stands if make_scenario.distance_nm(s, (0, lat, lon)) * 1852 < 5]
        return near[0] if near else None

    if stand_of(user[0], user[1]) is None:
        fail("the user's aircraft %s stands on no stand of the airport file" % (user,))
    if make_scenario.distance_nm(apt, (0, user[0], user[1])) > 2.0:
        fail("the user's stand is more than 2 nm from the airport")

    arrivals_stands = set()
    touchdowns, reached = [], []
    for flight in scenario["flights"]:
        points = flight["points"]
        for a, b in zip(points, points[1:]):
            for point, headings in ((a, [a[5]]), (b, headings_between(a[5], b[5]))):
                t, lat, lon, alt, _gs, _track, _vs, ground = point
                if make_scenario.distance_nm(user, (0, lat, lon)) > NEAR_NM or abs(alt - user[2]) >= NEAR_LEVEL_FT:
                    continue
                for heading in headings:
                    if miss_distance_nm(user, lat, lon, heading) * FEET_PER_NM <= CLEAR_OF_TRACK_FT:
                        fail("%s at %.0f s heads %.0f deg, on a line that passes the user's aircraft"
                             % (flight["callsign"], t, heading))
                nose_line = miss_distance_nm(user, lat, lon, user_aircraft["headingDegrees"]) * FEET_PER_NM
                if ground and make_scenario.distance_nm(user, (0, lat, lon)) <= 1.0 and \
                        nose_line <= CLEAR_OF_NOSE_LINE_FT:
                    fail("%s at %.0f s stands on the user's nose line" % (flight["callsign"], t))
        if flight["to"] != "EHAM":
            continue
        ground = [p for p in points if p[7]]
        if not ground or max(p[4] for p in ground) < 50:
            fail("%s does not land and roll out" % flight["callsign"])
        last = points[-1]
        stand = stand_of(last[1], last[2])
        if last[4] != 0 or stand is None:
            fail("%s does not end standing on a stand" % flight["callsign"])
        if stand in arrivals_stands:
            fail("%s ends on a stand another arrival took" % flight["callsign"])
        arrivals_stands.add(stand)
        touchdowns.append(ground[0][0])
        reached.append(next(p[0] for p in points if p[7] and p[4] == 0))

    landing = [t for t in touchdowns if RUN_FIRST_S <= t <= RUN_LAST_S]
    parking = [t for t in reached if RUN_FIRST_S <= t <= RUN_LAST_S]
    if len(touchdowns) < 10 or len(landing) < 2 or len(parking) < 2:
        fail("%d arrivals, %d touch down and %d reach their stand within a two-minute run (want 2 each)"
             % (len(touchdowns), len(landing), len(parking)))
    print("%d arrivals on stands of their own, %d land and %d park within two minutes"
          % (len(touchdowns), len(landing), len(parking)))


if __name__ == "__main__":
    main()
