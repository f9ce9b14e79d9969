#!/usr/bin/env python3
"""Builds CRVN's aircraft-type database (dbase.xml) from public facts.

    make_dbase.py <faa-acd-2018.csv> <dbase.xml>

Types and wing spans come from the FAA Aircraft Characteristics Database
(2018 export, French locale: non-breaking-space thousands separators, "tbd"
for unknown values, designators repeated once per model variant and now and
then several designators in one field). A few current types that the 2018
list lacks (and the rotorcraft, whose rotor diameter the list does not give)
are added from the makers' published dimensions. Size categories are decided
from the wake category, the engine class, the maximum take-off weight and
the kind of aircraft. The output depends on nothing but the input, so the
same input always gives the same file.
"""

import csv
import re
import sys
from xml.sax.saxutils import quoteattr

FEET_TO_METERS = 0.3048

# Types missing from the 2018 list: designator -> (span in metres, category).
SUPPLEMENT = {
    "A19N": (35.80, "large"), "A20N": (35.80, "large"), "A21N": (35.80, "large"),
    "A338": (64.00, "heavy"), "A339": (64.00, "heavy"), "A35K": (64.75, "heavy"),
    "B37M": (35.92, "large"), "B38M": (35.92, "large"), "B39M": (35.92, "large"),
    "B3XM": (35.92, "large"), "B77L": (64.80, "heavy"), "B778": (71.75, "heavy"),
    "B779": (71.75, "heavy"), "B78X": (60.12, "heavy"), "CRJ1": (21.21, "large"),
    "CRJ9": (24.85, "large"), "CRJX": (26.18, "large"), "E75L": (28.65, "large"),
    "E75S": (26.00, "large"), "E195": (28.72, "large"), "E290": (33.72, "large"),
    "E295": (35.12, "large"), "AT75": (27.05, "large"), "AT76": (27.05, "large"),
    "F50": (29.00, "large"), "F70": (28.08, "large"), "F100": (28.08, "large"),
    "MD11": (51.97, "heavy"), "MD81": (32.87, "large"), "MD87": (32.87, "large"),
    "IL96": (57.66, "heavy"), "T154": (37.55, "large"), "T204": (41.80, "large"),
    "SU95": (27.80, "large"), "J328": (20.98, "large"), "JS31": (15.85, "light"),
    "JS41": (19.81, "large"), "PC24": (17.00, "buzjet"), "A400": (42.40, "heavy"),
    "C17": (51.75, "heavy"), "P8": (37.64, "large"), "K35R": (39.88, "heavy"),
    "E3TF": (44.42, "heavy"), "A225": (88.40, "heavy"),
    # Rotorcraft: main rotor diameter.
    "R22": (7.67, "rotorcraft"), "R44": (10.06, "rotorcraft"), "R66": (10.06, "rotorcraft"),
    "EC20": (10.00, "rotorcraft"), "EC30": (10.69, "rotorcraft"), "EC35": (10.20, "rotorcraft"),
    "EC45": (11.00, "rotorcraft"), "EC55": (12.60, "rotorcraft"), "EC25": (16.20, "rotorcraft"),
    "AS50": (10.69, "rotorcraft"), "AS55": (10.69, "rotorcraft"), "AS65": (11.94, "rotorcraft"),
    "AS32": (15.60, "rotorcraft"), "B06": (10.16, "rotorcraft"), "B407": (10.67, "rotorcraft"),
    "B412": (14.02, "rotorcraft"), "B429": (10.97, "rotorcraft"), "BK17": (11.00, "rotorcraft"),
    "A109": (11.00, "rotorcraft"), "A119": (10.83, "rotorcraft"), "A139": (13.80, "rotorcraft"),
    "A169": (12.12, "rotorcraft"), "S76": (13.41, "rotorcraft"), "S92": (17.17, "rotorcraft"),
    "H60": (16.36, "rotorcraft"), "UH1": (14.63, "rotorcraft"), "H47": (18.29, "rotorcraft"),
    "MI8": (21.29, "rotorcraft"), "H500": (8.05, "rotorcraft"), "NH90": (16.30, "rotorcraft"),
}

BUSINESS_JET = re.compile(
    r"Citation|Learjet|Challenger|Global \d|Falcon \d|Mystere|Gulfstream|\bG\d{3}|Hawker \d"
    r"|Beechjet|Premier|Phenom|Legacy|Praetor|Eclipse|Vision Jet|HondaJet|PC-24|Westwind"
    r"|Astra|Jet Commander|Commodore|Corvette|Sabreliner|JetStar|AdamJet|MU-300|HS 125"
    r"|Diamond|Encore|Mustang \(|CitationJet|PD-808",
)
MILITARY_FAST_JET = re.compile(
    r"\bF-\d|F/A-18|\bMiG|Su-\d|Mirage|Rafale|Typhoon|Eurofighter|Tornado|Harrier|Gripen"
    r"|Jaguar|Alpha Jet|L-29|L-39|L-59|L-159|MB-32|MB-33|M-346|T-38|\bA-4\b|A-10|Viggen"
    r"|Draken|Starfighter|Phantom|Tomcat|Hornet|Fighting Falcon|Dragonfly|Delfin|Albatros"
    r"|Alca|Magister",
)
DESIGNATOR = re.compile(r"^[A-Z][A-Z0-9]{1,3}$")

# Groups of types that may stand in for each other.
SIMILAR_TYPES = [
    "A318,A319,A320,A321,A19N,A20N,A21N",
    "A332,A333,A338,A339",
    "A342,A343,A345,A346",
    "A359,A35K",
    "A306,A30B,A310",
    "B731,B732,B733,B734,B735",
    "B736,B737,B738,B739,B37M,B38M,B39M,B3XM",
    "B752,B753",
    "B762,B763,B764",
    "B772,B773,B77L,B77W,B778,B779",
    "B788,B789,B78X",
    "B741,B742,B743,B744,B748",
    "B721,B722",
    "BCS1,BCS3",
    "CRJ1,CRJ2,CRJ7,CRJ9,CRJX",
    "E135,E145,E35L,E45X",
    "E170,E75L,E75S,E190,E195,E290,E295",
    "AT43,AT44,AT45,AT72,AT75,AT76",
    "DH8A,DH8B,DH8C,DH8D",
    "MD81,MD82,MD83,MD87,MD88,MD90",
    "DC93,DC94,DC95",
    "B461,B462,B463,RJ70,RJ85,RJ1H",
    "F50,F70,F100",
    "MD11,DC10",
    "C25A,C25B,C25C,C525",
    "GLF4,GLF5,GLF6,GA6C",
    "CL30,CL60",
    "GLEX,GL5T",
]

# Types flown as freighters.
CARGO_TYPES = (
    "A306,A30B,A310,A332,A124,A225,AN12,AN26,AT43,AT45,AT72,AT75,AT76,B712,B722,B732,B733,"
    "B734,B737,B738,B744,B748,B752,B762,B763,B772,B77L,C130,DC10,DC93,DH8C,E190,IL76,L101,"
    "MD11,SF34"
)

# ICAO codes of major passenger airlines.
PASSENGER_AIRLINES = (
    "AAL,ACA,AEA,AEE,AFR,AIC,AMX,ANA,ANZ,APJ,ARG,ASA,AUA,AVA,AXB,AXM,AZU,BAW,BEL,CAL,CCA,CEB,"
    "CES,CFG,CHH,CMP,CPA,CSA,CSN,CSZ,CXA,DAL,DLH,EDV,EIN,ELY,ENY,ETD,ETH,EVA,EWG,EZY,FDB,FFT,"
    "FIN,GFA,GIA,GLO,HAL,HVN,IBE,IBS,ICE,IGO,ITY,JAL,JBU,JJP,JST,JZA,KAC,KAL,KLM,KQA,LAN,LOT,"
    "MAS,MSR,NAX,NKS,NOZ,OMA,PAL,PGT,QFA,QTR,RAM,RJA,ROT,RPA,RYR,SAA,SAS,SEJ,SIA,SKW,SVA,SWA,"
    "SWR,TAM,TAP,TGW,THA,THY,TRA,TSC,TVF,UAE,UAL,VIR,VIV,VJC,VLG,VOI,VOZ,VTI,WJA,WZZ"
)

# ICAO codes of cargo airlines.
CARGO_OPERATORS = (
    "ABW,ABX,AJT,ATN,BCS,BOX,CAO,CKK,CKS,CLX,CSS,DHK,DHX,FDX,GEC,GTI,ICV,LCO,MAA,MPH,NCA,NCR,"
    "PAC,SQC,SWN,TAY,UPS,WGN"
)

# Makers of add-on airports; the first name of each is shown.
PUBLISHERS = [
    "Aerosoft", "Asobo", "Digital Design", "Drzewiecki Design,DrzewieckiDesign",
    "FlyTampa,Fly Tampa", "FSimStudios,FSim Studios", "Gaya Simulations,Gaya",
    "iniBuilds,ini Builds", "JustSim,Just Sim", "LatinVFR,Latin VFR", "MK-Studios,MK Studios",
    "Orbx,ORBX", "SamScene,Sam Scene", "Taxi2Gate,Taxi 2 Gate", "Impulse Simulations",
]

# Airports that the simulator's maker built by hand for MSFS 2020.
SIMADDON_AIRPORTS_2020 = (
    "EDDF,EGLL,EHAM,FACT,KATL,KDEN,KJFK,KLAX,KMCO,KORD,KSFO,LFPG,LOWI,OMDB,VQPR"
)

# Add-on airports of other publishers that the download site keeps archived
# airport files for: publisher -> (ICAO code, parking positions of the
# archived file). The download-site stand-in builds the archived files from
# these lines, so the counts and the files always agree.
THIRDPARTY_AIRPORTS_2020 = [
    ("Aerosoft", [("EDDM", 182), ("EDDK", 96), ("LOWW", 124), ("LSZH", 118)]),
    ("Digital Design", [("EGCC", 104), ("EGPH", 42)]),
    ("FlyTampa", [("CYYZ", 156), ("EKCH", 110), ("KBOS", 138)]),
    ("Gaya Simulations", [("LOWS", 38), ("LSGG", 76)]),
    ("iniBuilds", [("EGKK", 112), ("KMIA", 148), ("OTHH", 186)]),
    ("JustSim", [("LIRF", 164), ("LPPT", 88)]),
    ("LatinVFR", [("LEBL", 132), ("LEMD", 196), ("MMMX", 120)]),
    ("MK-Studios", [("EIDW", 102), ("LGAV", 90)]),
    ("Orbx", [("ENGM", 84), ("ESSA", 92), ("YSSY", 128)]),
    ("Taxi2Gate", [("EPWA", 64), ("RJTT", 172)]),
]
THIRDPARTY_AIRPORTS_2024 = [
    ("Aerosoft", [("EDDM", 182), ("LOWW", 124)]),
    ("Gaya Simulations", [("LOWS", 38)]),
    ("iniBuilds", [("EGKK", 112), ("KMIA", 148)]),
    ("Orbx", [("ESSA", 92)]),
]

# Registrations known for their airline, type and operator.
REGISTRATIONS = [
    ("A6-EDA", "UAE", "A388", "Emirates", False),
    ("D-ABYA", "DLH", "B748", "Lufthansa", False),
    ("D-AIMA", "DLH", "A388", "Lufthansa", False),
    ("D-AIXA", "DLH", "A359", "Lufthansa", False),
    ("D-ALFA", "GEC", "B77L", "Lufthansa Cargo", True),
    ("F-HPJA", "AFR", "A388", "Air France", False),
    ("G-XLEA", "BAW", "A388", "British Airways", False),
    ("HB-JNA", "SWR", "B77W", "Swiss", False),
    ("VH-OQA", "QFA", "A388", "Qantas", False),
    ("9V-SKA", "SIA", "A388", "Singapore Airlines", False),
]

# Designators that livery packages often use in place of the real one.
FIXES = [
    ("B77F", "B77L"), ("B74F", "B744"), ("B76F", "B763"), ("B75F", "B752"),
    ("MD1F", "MD11"), ("E175", "E75L"), ("A30F", "A306"), ("B73F", "B734"),
]


def parse_number(text):
    """A number of the French-locale export, or None ("tbd", empty, prose)."""
    cleaned = text.replace("\u00a0", "").replace("\u202f", "").replace(" ", "").strip()
    if "," in cleaned and "." not in cleaned:
        cleaned = cleaned.replace(",", ".")
    if not re.fullmatch(r"\d+(\.\d+)?", cleaned):
        return None
    return float(cleaned)


def designators(field):
    """The designators of one ICAO Code field; none when it is uncertain."""
    if re.search(r"[a-z]", field):  # "tbd", "maybe B738"
        return []
    result = []
    for token in re.split(r"[\s.,/]+", field):
        token = token.rstrip("*")
        if DESIGNATOR.fullmatch(token):
            result.append(token)
    return result


WAKE_ORDER = {"L": 1, "M": 2, "H": 3, "J": 4}


class TypeFacts:
    def __init__(self):
        self.span_ft = 0.0
        self.wake = 0
        self.mtow_lb = 0.0
        self.engines = set()
        self.texts = []


def read_types(csv_path):
    types = {}
    with open(csv_path, encoding="utf-8", newline="") as source:
        for row in csv.DictReader(source):
            span = parse_number(row["Wingspan- ft"])
            if span is None or span <= 0:
                continue
            for code in designators(row["ICAO Code"]):
                facts = types.setdefault(code, TypeFacts())
                facts.span_ft = max(facts.span_ft, span)
                facts.wake = max(facts.wake, WAKE_ORDER.get(row["Wake Category"].strip(), 0))
                mtow = parse_number(row["MTOW"])
                if mtow is not None:
                    facts.mtow_lb = max(facts.mtow_lb, mtow)
                facts.engines.add(row["Physical Class (Engine)"].strip())
                facts.texts.append(f'{row["Manufacturer"]} {row["Model"]}')
    return types


def wake_of(facts):
    if facts.wake:
        return facts.wake
    if facts.mtow_lb >= 300000:
        return WAKE_ORDER["H"]
    if facts.mtow_lb > 15500:
        return WAKE_ORDER["M"]
    return WAKE_ORDER["L"]


def category_of(facts):
    text = " | ".join(facts.texts)
    wake = wake_of(facts)
    if any("Heli" in engine for engine in facts.engines):
        return "rotorcraft"
    if wake >= WAKE_ORDER["H"]:
        return "heavy"
    jet_or_unknown = "Jet" in facts.engines or facts.engines <= {"tbd"}
    if jet_or_unknown and MILITARY_FAST_JET.search(text):
        return "high_performance"
    if jet_or_unknown and BUSINESS_JET.search(text):
        return "buzjet"
    if "Jet" in facts.engines and wake == WAKE_ORDER["L"]:
        return "buzjet"
    if wake == WAKE_ORDER["M"]:
        return "large"
    return "light"


def build(csv_path):
    spans = {}
    categories = {}
    for code, facts in read_types(csv_path).items():
        spans[code] = round(facts.span_ft * FEET_TO_METERS, 2)
        categories[code] = category_of(facts)
    for code, (meters, category) in SUPPLEMENT.items():
        if code not in spans:
            spans[code] = meters
            categories[code] = category
    return spans, categories


def chunks(items, size):
    for start in range(0, len(items), size):
        yield items[start:start + size]


def list_section(lines, section, element, attribute, items, per_element=20):
    lines.append(f"<{section}>")
    for part in chunks(sorted(items), per_element):
        lines.append(f"  <{element} {attribute}={quoteattr(','.join(part))}/>")
    lines.append(f"</{section}>")


def render(spans, categories):
    known = set(spans)
    lines = ['<?xml version="1.0" encoding="utf-8"?>',
             "<!-- CRVN aircraft-type database, made by tools/dbasegen/make_dbase.py -->"]
    list_section(lines, "aircrafts", "aircraft", "types", known)
    for section, element, category in [
        ("high_performance", "hpf", "high_performance"), ("heavy", "hvy", "heavy"),
        ("large", "lar", "large"), ("buzjet", "bzj", "buzjet"), ("rotorcraft", "rot", "rotorcraft"),
    ]:
        list_section(lines, section, element, "types",
                     [code for code, value in categories.items() if value == category])
    list_section(lines, "cargo_types", "cargo_type", "types",
                 [code for code in CARGO_TYPES.split(",") if code in known])

    lines.append("<similar_types>")
    for group in SIMILAR_TYPES:
        members = [code for code in group.split(",") if code in known]
        if len(members) > 1:
            lines.append(f"  <similar types={quoteattr(','.join(members))}/>")
    lines.append("</similar_types>")

    cargo = CARGO_OPERATORS.split(",")
    list_section(lines, "ICAO_airlines", "ICAO", "codes", set(PASSENGER_AIRLINES.split(",")) | set(cargo))
    list_section(lines, "cargo_operators", "ICAO", "codes", cargo)

    lines.append("<publishers>")
    for names in PUBLISHERS:
        lines.append(f"  <pub names={quoteattr(names)}/>")
    lines.append("</publishers>")

    lines.append("<wingspans>")
    for code in sorted(spans):
        lines.append(f"  <wingspan type={quoteattr(code)} meters=\"{spans[code]:.2f}\"/>")
    lines.append("</wingspans>")

    lines.append("<fixes>")
    for wrong, correct in FIXES:
        if correct in known:
            lines.append(f"  <fx wro={quoteattr(wrong)} cor={quoteattr(correct)}/>")
    lines.append("</fixes>")

    list_section(lines, "simaddons20", "simaddon20", "arpts", SIMADDON_AIRPORTS_2020.split(","))
    for suffix, publishers in (("20", THIRDPARTY_AIRPORTS_2020), ("24", THIRDPARTY_AIRPORTS_2024)):
        lines.append(f"<thirdparties{suffix}>")
        for publisher, airports in publishers:
            codes = ",".join(f"{code} {count}" for code, count in airports)
            lines.append(f"  <thirdpartie{suffix} pub={quoteattr(publisher)} arpts={quoteattr(codes)}/>")
        lines.append(f"</thirdparties{suffix}>")

    lines.append("<dbase>")
    for reg, airline, type_code, operator, cargo_flag in REGISTRATIONS:
        lines.append(f"  <db reg={quoteattr(reg)} airl={quoteattr(airline)} type={quoteattr(type_code)} "
                     f"opr={quoteattr(operator)} cargo=\"{'true' if cargo_flag else 'false'}\"/>")
    lines.append("</dbase>")
    return "\n".join(lines) + "\n"


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: make_dbase.py <faa-acd-2018.csv> <dbase.xml>\n")
        return 2
    spans, categories = build(argv[1])
    with open(argv[2], "w", encoding="utf-8", newline="\n") as target:
        target.write(render(spans, categories))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
