#!/usr/bin/env python3
"""Writes the day's job as the program keeps it in STORE/temp.cnc.

    job.py FILE COUNT SIZE GAP

COUNT squares of SIZE mm side by side, GAP mm apart, each cut from its lower
left corner along the bottom edge first. The file is a run of 8-byte records,
x and y as little-endian int32 in 0.01 mm: a separator record (12345, 54321)
starts each contour, its header record (kind 0: cut) follows, then the
vertices, the first repeated at the end to close it.
"""
import struct
import sys

SEPARATOR = (12345, 54321)
CUT = (0, 0)


def square(left, size):
    return [(left, 0), (left + size, 0), (left + size, size), (left, size), (left, 0)]


def main():
    if len(sys.argv) != 5:
        sys.stderr.write(__doc__)
        return 2
    path, count, size, gap = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4])
    side, step = round(size * 100), round((size + gap) * 100)
    records = []
    for k in range(count):
        records += [SEPARATOR, CUT] + square(k * step, side)
    with open(path, "wb") as out:
        for x, y in records:
            out.write(struct.pack("<ii", x, y))
    return 0


if __name__ == "__main__":
    sys.exit(main())
