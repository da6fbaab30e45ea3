#!/usr/bin/env python3
"""Writes a big job as the program keeps it in STORE/temp.cnc.

    rings.py FILE COUNT VERTICES

COUNT rings of VERTICES vertices (the first repeated at the end), 40 to a
row, 20 mm across and 60 mm apart: records as job.py describes them.
"""
import math
import struct
import sys

SEPARATOR = (12345, 54321)
CUT = (0, 0)


def main():
    if len(sys.argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    path, count, vertices = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    out = bytearray()
    pack = struct.Struct("<ii").pack
    for k in range(count):
        cx, cy = 3000 + (k % 40) * 6000, 3000 + (k // 40) * 6000
        out += pack(*SEPARATOR) + pack(*CUT)
        for v in range(vertices):
            a = 2 * math.pi * v / (vertices - 1)
            out += pack(round(cx + 2000 * math.cos(a)), round(cy + 2000 * math.sin(a)))
    with open(path, "wb") as f:
        f.write(out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
