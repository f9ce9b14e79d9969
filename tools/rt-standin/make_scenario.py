#!/usr/bin/env python3
"""Writes a scenario for rt-standin around one airport of data/airports_msfs.xml.

    make_scenario.py --airport EHAM [--flights 60] [--parked 12] [--seed 1]
                     [--airport-file PATH] [--world-file PATH]
                     [--stands-file PATH] [--steady-minutes N]

A third of the flights depart (stand, taxi, take-off, climb-out), a third
arrive (approach, landing, roll-out, taxi to a stand of their own, where they
stand for five to ten minutes), the rest fly over at cruise level. The
departures start from ten minutes before the stand-in starts to two minutes
after it, the arrivals touch down every 20 s or so from about three minutes
before it, so that a run of two minutes sees aircraft land, roll out, taxi
and park;
a quarter fly over and leave a 40 nm range 5 to 18 s after the start, so
that a run of a minute sees aircraft appear, move and go. The same options
give the same file.

The airport's runways, taxi lines and stands lie west and south of the
user's stand (--world-file), and none of them points at it: a live aircraft
whose path passes close to the user's aircraft is taken out of the
simulator, and the demo would lose every one that does.

With --steady-minutes every flight is in the air or on the ground within
30 nm of the airport from before the stand-in starts until N minutes after,
so that the number of live aircraft stays the same for the whole run: 30 %
depart (wait at a stand, taxi, take off, climb out into a wide circle), 30 %
arrive (circle, fly the final approach, land, taxi to a stand and stand
there), 20 % fly over in wide circles at cruise level and 20 % hold in a
racetrack pattern. About a third of them are on the ground at any time.

With --airport-file it also writes an airport file for the airport: a stand
under each parked aircraft and a row of stands east of the reference point
that a learned schedule uses every half hour of the week, so that static
parked aircraft appear at once when the user stands there.
"""

import argparse
import json
import math
import random
import re
import sys
from pathlib import Path

AIRLINES = ["KLM", "BAW", "DLH", "AFR", "EZY", "RYR", "TRA", "UAE", "SAS", "IBE", "AUA", "SWR"]
NARROW = ["A320", "A321", "A319", "B738", "B737", "A20N", "A21N", "B38M"]
WIDE = ["B772", "B77W", "A333", "A332", "B789", "B744", "A359"]
KNOTS_TO_DEG_PER_S = 1.0 / 3600.0 / 60.0  # one nautical mile is one minute of latitude


def airport_position(icao):
    text = (Path(__file__).resolve().parents[2] / "data" / "airports_msfs.xml").read_text()
    match = re.search(r'code="%s"[^>]*lat="([-0-9.]+)" lon="([-0-9.]+)" alt="([-0-9]+)"' % icao, text)
    if not match:
        sys.exit("make_scenario: no airport %s in data/airports_msfs.xml" % icao)
    return float(match.group(1)), float(match.group(2)), float(match.group(3))


def distance_nm(apt, point):
    dlat = (point[1] - apt[0]) * 60.0
    dlon = (point[2] - apt[1]) * 60.0 * math.cos(math.radians(apt[0]))
    return math.hypot(dlat, dlon)


LEAVING_RANGE_NM = 40.0


def leaving_time(points, apt, range_nm):
    """The time at which the track last crosses the range outwards,
    interpolated between its points as the stand-in serves them."""
    crossing = points[-1][0]
    for a, b in zip(points, points[1:]):
        da, db = distance_nm(apt, a), distance_nm(apt, b)
        if da <= range_nm < db:
            crossing = a[0] + (b[0] - a[0]) * (range_nm - da) / (db - da)
    return crossing


def move(lat, lon, track_deg, distance_nm):
    rad = math.radians(track_deg)
    return (lat + distance_nm / 60.0 * math.cos(rad),
            lon + distance_nm / 60.0 * math.sin(rad) / math.cos(math.radians(lat)))


class Flight:
    def __init__(self, rng, number):
        self.airline = rng.choice(AIRLINES)
        self.type = rng.choice(WIDE if rng.random() < 0.25 else NARROW)
        self.hex = "%06x" % (0x400000 + number * 7919 % 0x3fffff)
        self.callsign = "%s%d" % (self.airline, 100 + number)
        self.registration = "PH-%s" % "".join(rng.choice("ABCDEFGHJKLMNPRSTUVWXYZ") for _ in range(3))
        self.points = []

    def point(self, t, lat, lon, alt, gs, track, vs, ground):
        self.points.append([round(t, 1), round(lat, 6), round(lon, 6), round(alt), round(gs), round(track % 360),
                            round(vs), ground])

    def leg(self, t, lat, lon, alt, gs, track, vs, ground, seconds, step=30):
        """Flies straight for the seconds, a point every step (the end point
        is the next leg's first); returns the end."""
        end = t + seconds
        while t < end - 0.5:
            self.point(t, lat, lon, alt, gs, track, vs, ground)
            dt = min(step, end - t)
            lat, lon = move(lat, lon, track, gs * dt / 3600.0)
            if not ground:
                alt += vs * dt / 60.0
            t += dt
        self.last = (t, lat, lon, alt, gs, track, vs, ground)
        return t, lat, lon, alt

    def json(self, origin, destination):
        self.point(*self.last)
        return {"hex": self.hex, "callsign": self.callsign, "type": self.type, "registration": self.registration,
                "from": origin, "to": destination, "points": self.points}


# The demo airport, in nm east and north of the reference point. Arrivals
# land westwards on a runway south of the stand row, turn right and taxi
# north to their stand; departures taxi south from theirs across that
# runway to a second one and take off eastwards, turning left. The user's
# aircraft stands north-east of it all, nose east: every runway, taxi line
# and turn (north to west, south to east) points clear of it.
ARRIVAL_RUNWAY_NORTH_NM = -0.15
DEPARTURE_RUNWAY_NORTH_NM = -0.55
STAND_ROW_NORTH_NM = 0.0
PARKED_ROW_NORTH_NM = 0.25
FIRST_STAND_EAST_NM = -0.05
STAND_SPACING_NM = 0.06
USER_STAND_NM = (0.9, 0.9)
USER_HEADING_DEG = 90
ROLLOUT_KT, ROLLOUT_S = 60, 20
TAXI_IN_KT = 20
FIRST_TOUCHDOWN_S, TOUCHDOWN_SPACING_S = -160.0, 20.0


def offset(apt, east_nm, north_nm):
    lat, lon = move(apt[0], apt[1], 0, north_nm)
    return move(lat, lon, 90, east_nm)


def stand_east_nm(column):
    return FIRST_STAND_EAST_NM - STAND_SPACING_NM * column


def departure(rng, flight, start, apt, icao, column):
    east = stand_east_nm(column)
    lat, lon = offset(apt, east, STAND_ROW_NORTH_NM)
    t, lat, lon, alt = flight.leg(start, lat, lon, apt[2], 0, 180, 0, True, rng.uniform(20, 90), 20)
    taxi_s = (STAND_ROW_NORTH_NM - DEPARTURE_RUNWAY_NORTH_NM) / 15 * 3600
    t, lat, lon, alt = flight.leg(t, lat, lon, apt[2], 15, 180, 0, True, taxi_s, 15)
    lat, lon = offset(apt, east, DEPARTURE_RUNWAY_NORTH_NM)
    t, lat, lon, alt = flight.leg(t, lat, lon, apt[2], 150, 90, 0, True, 25, 5)
    t, lat, lon, alt = flight.leg(t, lat, lon, apt[2] + 50, 170, 90, 2500, False, 240, 15)
    flight.leg(t, lat, lon, alt, 280, 90, 2000, False, 300, 30)
    return flight.json(icao, rng.choice(["EGLL", "LFPG", "EDDF", "LEMD", "LIRF"]))


APPROACH_NM = 200 * 240 / 3600.0 + 140 * 40 / 3600.0


def arrival(rng, flight, touchdown, apt, icao, column):
    east = stand_east_nm(column)
    exit_lat, exit_lon = offset(apt, east, ARRIVAL_RUNWAY_NORTH_NM)
    lat, lon = move(exit_lat, exit_lon, 90, ROLLOUT_KT * ROLLOUT_S / 3600.0 + APPROACH_NM)
    t, lat, lon, alt = flight.leg(touchdown - 280, lat, lon, apt[2] + 4500, 200, 270, -900, False, 240, 20)
    t, lat, lon, alt = flight.leg(t, lat, lon, max(alt, apt[2] + 300), 140, 270, -700, False, 40, 5)
    t, lat, lon, alt = flight.leg(t, lat, lon, apt[2], ROLLOUT_KT, 270, 0, True, ROLLOUT_S, 5)
    taxi_s = (STAND_ROW_NORTH_NM - ARRIVAL_RUNWAY_NORTH_NM) / TAXI_IN_KT * 3600
    t, lat, lon, alt = flight.leg(t, exit_lat, exit_lon, apt[2], TAXI_IN_KT, 360, 0, True, taxi_s, 5)
    lat, lon = offset(apt, east, STAND_ROW_NORTH_NM)
    flight.leg(t, lat, lon, apt[2], 0, 360, 0, True, rng.uniform(300, 600), 60)
    return flight.json(rng.choice(["EGLL", "LFPG", "EDDF", "LEMD", "LIRF"]), icao)


def demo_stands(apt, departures, arrivals):
    """The stands of the demo's flights as (lat, lon, heading): arrivals on
    the even columns nose north, departures on the odd ones nose south."""
    stands = []
    for column in range(2 * max(departures, arrivals)):
        arriving = column % 2 == 0
        if column // 2 < (arrivals if arriving else departures):
            lat, lon = offset(apt, stand_east_nm(column), STAND_ROW_NORTH_NM)
            stands.append((lat, lon, 0.0 if arriving else 180.0))
    return stands


def world(apt, icao):
    """The simulator stand-in's world: the user's aircraft on its stand."""
    lat, lon = offset(apt, *USER_STAND_NM)
    return {"simulator": 2020,
            "userAircraft": {"latitude": round(lat, 6), "longitude": round(lon, 6), "altitudeFeet": apt[2],
                             "groundAltitudeFeet": apt[2], "onGround": True, "headingDegrees": USER_HEADING_DEG,
                             "title": "Airbus A320 Neo Asobo", "atcModel": "A320", "atcId": "PH-USR"},
            "airports": [{"name": icao, "latitude": apt[0], "longitude": apt[1], "elevationFeet": apt[2],
                          "radiusMeters": 15000}]}


def overflight(rng, flight, start, apt, _icao):
    track = rng.uniform(0, 360)
    lat, lon = move(apt[0], apt[1], track + 180, rng.uniform(20, 45))
    lat, lon = move(lat, lon, track + 90, rng.uniform(-15, 15))
    flight.leg(start, lat, lon, rng.choice([28000, 33000, 37000]), 450, track, 0, False, 720, 30)
    return flight.json("EGLL", "EKCH")


STEADY_RANGE_NM = 30.0


def circle(flight, t, end, apt, radius_nm, angle_deg, alt, gs, vs, ceiling, clockwise, step=30):
    """Flies around the airport at the radius from the angle (its bearing
    from the airport) until the end, climbing or descending at vs towards
    the ceiling; returns the time, angle and altitude at the end."""
    radius_nm = min(max(radius_nm, 5.0), STEADY_RANGE_NM)
    turn = 1.0 if clockwise else -1.0
    while True:
        lat, lon = move(apt[0], apt[1], angle_deg, radius_nm)
        level = vs == 0 or (vs > 0 and alt >= ceiling) or (vs < 0 and alt <= ceiling)
        flight.last = (t, lat, lon, alt, gs, angle_deg + 90.0 * turn, 0 if level else vs, False)
        if t >= end - 0.5:
            # The end point is the next leg's first, or the flight's last.
            return t, angle_deg, alt
        flight.point(*flight.last)
        dt = min(step, end - t)
        angle_deg += turn * math.degrees(gs * dt / 3600.0 / radius_nm)
        if not level:
            alt = min(alt + vs * dt / 60.0, ceiling) if vs > 0 else max(alt + vs * dt / 60.0, ceiling)
        t += dt


def bearing_deg(apt, lat, lon):
    return math.degrees(math.atan2((lon - apt[1]) * math.cos(math.radians(apt[0])), lat - apt[0])) % 360.0


def stand_grid(rng, apt):
    """Stand places on a grid 83 m apart, 0.25 to 0.95 nm from the airport,
    clear of the row of learned-schedule stands, in random order."""
    places = []
    step_nm = 0.045
    cells = int(0.95 / step_nm)
    for north in range(-cells, cells + 1):
        for east in range(-cells, cells + 1):
            n, e = north * step_nm, east * step_nm
            if not 0.25 <= math.hypot(n, e) <= 0.95 or (0.2 <= e <= 0.5 and -0.05 <= n <= 0.6):
                continue
            lat, lon = move(apt[0], apt[1], 0, n)
            places.append(move(lat, lon, 90, e))
    rng.shuffle(places)
    return places


def steady_departure(rng, flight, start, end, apt, icao, stand):
    lat, lon = stand
    runway = rng.choice([240, 270, 180, 360])
    boarding = rng.uniform(0, 0.8 * (end - start))
    t, lat, lon, alt = flight.leg(start, lat, lon, apt[2], 0, runway, 0, True, boarding, 60)
    t, lat, lon, alt = flight.leg(t, lat, lon, apt[2], 15, runway, 0, True, rng.uniform(60, 240), 15)
    t, lat, lon, alt = flight.leg(t, lat, lon, apt[2], 150, runway, 0, True, 25, 5)
    t, lat, lon, alt = flight.leg(t, lat, lon, apt[2] + 50, 170, runway, 2500, False, 120, 15)
    radius = distance_nm(apt, (t, lat, lon)) + rng.uniform(3, 15)
    circle(flight, t, end, apt, radius, bearing_deg(apt, lat, lon), alt, 250, 1500, rng.choice([9000, 15000, 21000]),
           rng.random() < 0.5)
    return flight.json(icao, rng.choice(["EGLL", "LFPG", "EDDF", "LEMD", "LIRF"]))


def steady_arrival(rng, flight, start, end, apt, icao, stand):
    approach_at = start + rng.uniform(0.1, 0.8) * (end - start)
    t, angle, alt = circle(flight, start, approach_at, apt, 16, rng.uniform(0, 360), rng.choice([4000, 5000, 6000]),
                           210, 0, 0, rng.random() < 0.5)
    final = (angle + 180.0) % 360.0
    lat, lon = move(apt[0], apt[1], angle, 16)
    t, lat, lon, alt = flight.leg(t, lat, lon, alt, 180, final, -900, False, 200, 20)
    t, lat, lon, alt = flight.leg(t, lat, lon, max(alt, apt[2] + 300), 140, final, -700, False, 40, 5)
    t, lat, lon, alt = flight.leg(t, lat, lon, apt[2], 60, final, 0, True, 30, 5)
    # Taxi to the stand, then stand there.
    to_stand = math.degrees(math.atan2((stand[1] - lon) * math.cos(math.radians(lat)), stand[0] - lat))
    taxi_s = max(distance_nm((lat, lon), (0, stand[0], stand[1])) / 15.0 * 3600.0, 10.0)
    t, lat, lon, alt = flight.leg(t, lat, lon, apt[2], 15, to_stand, 0, True, taxi_s, 15)
    flight.leg(t, stand[0], stand[1], apt[2], 0, to_stand, 0, True, max(end - t, 1), 60)
    return flight.json(rng.choice(["EGLL", "LFPG", "EDDF", "LEMD", "LIRF"]), icao)


def steady_overflight(rng, flight, start, end, apt, _icao, _stand):
    circle(flight, start, end, apt, rng.uniform(18, STEADY_RANGE_NM), rng.uniform(0, 360),
           rng.choice([28000, 33000, 37000]), 450, 0, 0, rng.random() < 0.5)
    return flight.json("EGLL", "EKCH")


def steady_hold(rng, flight, start, end, apt, icao, _stand):
    """A racetrack: one-minute legs and one-minute half turns at 220 kt."""
    inbound = rng.uniform(0, 360)
    lat, lon = move(apt[0], apt[1], inbound + 180, rng.uniform(8, 22))
    alt = rng.choice([7000, 8000, 9000, 10000, 11000])
    t, track, turn = start, inbound, rng.choice([1, -1])
    while t < end - 0.5:
        t, lat, lon, alt = flight.leg(t, lat, lon, alt, 220, track, 0, False, min(60, end - t), 30)
        for _ in range(6):
            if t >= end - 0.5:
                break
            t, lat, lon, alt = flight.leg(t, lat, lon, alt, 220, track, 0, False, min(10, end - t), 10)
            track += turn * 30
    return flight.json(rng.choice(["EGLL", "LFPG", "EDDF", "LEMD", "LIRF"]), icao)


def steady_flights(rng, count, minutes, apt, icao, stands):
    """The flights; departures and arrivals take their stands from the list."""
    kinds = [steady_departure] * 3 + [steady_arrival] * 3 + [steady_overflight] * 2 + [steady_hold] * 2
    end = minutes * 60.0
    flights = []
    for number in range(count):
        kind = kinds[number % len(kinds)]
        stand = stands.pop() if kind in (steady_departure, steady_arrival) else None
        flights.append(kind(rng, Flight(rng, number), rng.uniform(-300, -30), end, apt, icao, stand))
    return flights


def parked(rng, number, apt, stand=None):
    lat, lon = stand or move(apt[0], apt[1], rng.uniform(0, 360), rng.uniform(0.2, 0.7))
    airline = rng.choice(AIRLINES)
    return {"hex": "%06x" % (0x480000 + number), "lat": round(lat, 6), "lon": round(lon, 6),
            "spot": "%s%d" % (rng.choice("ABCDEFGH"), 1 + number), "type": rng.choice(NARROW + WIDE),
            "registration": "PH-P%02d" % number, "callsign": "%s%d" % (airline, 900 + number),
            "age_s": rng.choice([600, 1800, 3600, 7200])}


def airport_file(rng, icao, apt, parked_list, flight_stands=(), parked_heading=None, user_stand=None):
    """flight_stands: (lat, lon) with a random heading, or (lat, lon, heading)."""
    stands = []
    for p in parked_list:
        heading = rng.uniform(0, 360)
        stands.append(('P' + p["spot"], p["lat"], p["lon"], heading if parked_heading is None else parked_heading, []))
    for n, stand in enumerate(flight_stands):
        heading = rng.uniform(0, 360) if len(stand) == 2 else stand[2]
        stands.append(("G%d" % (n + 1), round(stand[0], 6), round(stand[1], 6), heading, []))
    if user_stand is not None:
        stands.append(("U1",) + tuple(user_stand) + ([],))
    for n in range(24):
        lat, lon = move(apt[0], apt[1], 90, 0.3)
        lat, lon = move(lat, lon, 0, (n % 12) * 0.045)
        lat, lon = move(lat, lon, 90, (n // 12) * 0.1)
        airline = AIRLINES[n % len(AIRLINES)]
        usage = ['\t\t<opt reg="PH-S%02d" airl="%s" type="%s" day="%d" hh="%s" cs="%s%d" />'
                 % (n, airline, NARROW[n % len(NARROW)], day, ",".join(str(h) for h in range(48)), airline, 700 + n)
                 for day in range(1, 8)]
        stands.append(("S%d" % (n + 1), lat, lon, 270.0, usage))
    lines = ['<meta><info name="author" value="CRVN"/><info name="version" value="11.0.2"/>'
             '<info name="date" value="Dec 05, 2026"/><info name="MSFS" value="2020"/></meta>',
             "<parameters>",
             '\t<parameter name="airport_name" value="%s stand-in" />' % icao,
             '\t<parameter name="publisher" value="standin" />',
             '\t<parameter name="altitude" value="%d" />' % round(apt[2]),
             '\t<parameter name="num_parkpos" value="%d" />' % len(stands),
             "</parameters>", "<parkpositions>"]
    for name, lat, lon, heading, usage in stands:
        attributes = ('id="%s" latitude="%.6f" longitude="%.6f" heading="%.1f" radius="25.0" cargo="false" ramp="false"'
                      % (name, lat, lon, heading))
        if usage:
            lines += ["\t<parkpos %s>" % attributes] + usage + ["\t</parkpos>"]
        else:
            lines.append("\t<parkpos %s />" % attributes)
    lines.append("</parkpositions>")
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--airport", default="EHAM")
    parser.add_argument("--flights", type=int, default=60)
    parser.add_argument("--parked", type=int, default=12)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--airport-file", help="also write an airport file with stands for the airport")
    parser.add_argument("--world-file", help="also write the simulator stand-in's world: the user's aircraft "
                                             "on a stand clear of the traffic")
    parser.add_argument("--stands-file", help="also write the airport file's stands as CSV for tools/trace-plot")
    parser.add_argument("--steady-minutes", type=float,
                        help="every flight stays within 30 nm from before the start until these minutes after")
    options = parser.parse_args()
    rng = random.Random(options.seed)
    apt = airport_position(options.airport)
    flights = []
    departures = arrivals = 0
    for number in range(options.flights if options.steady_minutes is None else 0):
        start = rng.uniform(-600, 120)
        if number % 4 == 0:
            # A quarter fly over and cross the edge of a 40 nm range 5 to
            # 18 s after the start: the first traffic (history included)
            # still holds them, and replayed 30 s late they leave, and are
            # removed, within the first minute of a run.
            flight = overflight(rng, Flight(rng, number), start, apt, options.airport)
            shift = rng.uniform(5, 18) - leaving_time(flight["points"], apt, LEAVING_RANGE_NM)
            for point in flight["points"]:
                point[0] = round(point[0] + shift, 1)
        elif number % 3 == 0:
            flight = departure(rng, Flight(rng, number), start, apt, options.airport, 2 * departures + 1)
            departures += 1
        elif number % 3 == 1:
            touchdown = FIRST_TOUCHDOWN_S + TOUCHDOWN_SPACING_S * arrivals + rng.uniform(-4, 4)
            flight = arrival(rng, Flight(rng, number), touchdown, apt, options.airport, 2 * arrivals)
            arrivals += 1
        else:
            flight = overflight(rng, Flight(rng, number), start, apt, options.airport)
        flights.append(flight)
    flight_stands = demo_stands(apt, departures, arrivals)
    parked_stands = [offset(apt, stand_east_nm(n), PARKED_ROW_NORTH_NM) for n in range(options.parked)]
    parked_heading = 180.0
    if options.steady_minutes is not None:
        # Departures, arrivals and parked aircraft each have a stand of their own.
        stands = stand_grid(rng, apt)
        taken = sum(1 for number in range(options.flights) if number % 10 < 6)
        if taken + options.parked > len(stands):
            sys.exit("make_scenario: %d stands at most" % len(stands))
        flight_stands, parked_stands = stands[-taken:] if taken else [], stands[:options.parked]
        parked_heading = None
        flights = steady_flights(rng, options.flights, options.steady_minutes, apt, options.airport,
                                 list(flight_stands))
    scenario = {"start_epoch": 0, "server": "rt-standin", "metar_station": options.airport, "qnh": 1013,
                "flights": flights,
                "parked": [parked(rng, n, apt, parked_stands[n]) for n in range(options.parked)]}
    user_lat, user_lon = offset(apt, *USER_STAND_NM)
    airport_text = airport_file(random.Random(options.seed), options.airport, apt, scenario["parked"], flight_stands,
                                parked_heading, (user_lat, user_lon, float(USER_HEADING_DEG)))
    if options.airport_file:
        Path(options.airport_file).write_text(airport_text)
    if options.stands_file:
        rows = re.findall(r'id="([^"]+)" latitude="([-0-9.]+)" longitude="([-0-9.]+)" heading="([-0-9.]+)" '
                          r'radius="([0-9.]+)"', airport_text)
        Path(options.stands_file).write_text("name,latitude,longitude,heading_deg,radius_m\n" +
                                             "".join(",".join(row) + "\n" for row in rows))
    if options.world_file:
        Path(options.world_file).write_text(json.dumps(world(apt, options.airport), indent=1) + "\n")
    json.dump(scenario, sys.stdout, indent=1)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
