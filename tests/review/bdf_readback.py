#!/usr/bin/env python3
"""Reads Battery Data Format files back with the csv module and checks every
value against the raw readings they were made from.

Usage: bdf_readback.py EXPECTED.json
EXPECTED lists, per file: its path, the expected header, and per row the raw
readings (time s, voltage mV, current mA, capacity mAh, temperature) and the
wall time in ms or null. Exits 1 with the first difference found."""

import csv
import json
import re
import sys
from decimal import Decimal

NUMBER = re.compile(r"^-?(0|[1-9][0-9]*)(\.[0-9]*[1-9])?$")


def fail(message):
    print(message)
    sys.exit(1)


def exact(text, raw, scale, where):
    """`text` must be a plain decimal equal to raw * 10^-scale."""
    if not NUMBER.match(text) or text == "-0":
        fail(f"{where}: {text!r} is not a plain decimal")
    if Decimal(text) != Decimal(raw).scaleb(-scale):
        fail(f"{where}: {text!r} != {raw} * 10^-{scale}")


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        expected = json.load(f)
    for item in expected:
        path = item["path"]
        with open(path, encoding="utf-8", newline="") as f:
            text = f.read()
        if text.startswith("\ufeff"):
            fail(f"{path}: starts with a byte-order mark")
        rows = list(csv.reader(text.splitlines(), delimiter=","))
        if rows[0] != item["header"]:
            fail(f"{path}: header {rows[0]}")
        if len(rows) - 1 != len(item["rows"]):
            fail(f"{path}: {len(rows) - 1} rows, expected {len(item['rows'])}")
        cycle = 1
        previous_time = None
        for n, (row, raw) in enumerate(zip(rows[1:], item["rows"]), start=2):
            where = f"{path}:{n}"
            if len(row) != len(rows[0]):
                fail(f"{where}: {len(row)} cells")
            t, mv, ma, mah, temp, wall = raw
            if previous_time is not None and t < previous_time:
                cycle += 1
            previous_time = t
            cells = dict(zip(rows[0], row))
            exact(cells["Test Time / s"], t, 0, where)
            exact(cells["Voltage / V"], mv, 3, where)
            # Discharging (a positive reading) is a negative current.
            exact(cells["Current / A"], -ma, 3, where)
            if wall is None:
                if cells["Unix Time / s"] != "":
                    fail(f"{where}: a Unix time for a reading without one")
            else:
                exact(cells["Unix Time / s"], wall, 3, where)
            exact(cells["Cycle Count / 1"], cycle, 0, where)
            exact(cells["Discharging Capacity / Ah"], mah, 3, where)
            exact(cells["Surface Temperature T1 / degC"], temp, 0, where)
    print(f"checked {len(expected)} files")


main()
