#!/usr/bin/env python3
"""Checks processed drawings against an independent polygon library.

Reads the dump written by CorpusProcessTest (per drawing: the cutting list
with each contour's kind, then the processed contours in cutting order, each
with its lead as drawn) and checks:
  kerf  - every closed processed contour equals the buffer of a drawn contour
          by the kerf (outlines grown, holes shrunk) within 0.05 mm;
  leads - every lead pierces in scrap (inside an even number of closed cut
          contours), meets no other cut path and its own contour only at M;
  order - every closed contour lying strictly inside another is cut before it.
Prints one FAIL line per fault and a summary per check. Units are 0.01 mm.
"""
import sys
import warnings

warnings.filterwarnings("ignore")  # shapely 1.8 announces its 2.0 changes

try:
    from shapely.geometry import LineString, Point, Polygon
    from shapely.strtree import STRtree
except ImportError:
    print("SKIP: python3-shapely is not installed")
    sys.exit(0)

KERF_TOLERANCE = 5  # 0.05 mm
DIP = 1             # a lead may reach 0.01 mm (rounding) into its own part


def points(fields):
    values = list(map(int, fields))
    return [(values[i], values[i + 1]) for i in range(0, len(values), 2)]


def closed(path):
    return len(path) >= 4 and path[0] == path[-1]


def polygon(path):
    try:
        shape = Polygon(path)
    except ValueError:
        return None
    return shape if shape.is_valid and shape.area > 0 else None


def read(name):
    drawings = []
    with open(name) as dump:
        for line in dump:
            fields = line.split()
            if not fields:
                continue
            tag = fields[0]
            if tag == "drawing":
                drawings.append({"name": fields[1], "delta": int(fields[2]), "state": fields[3],
                                 "drawn": [], "cut": [], "leads": []})
            elif tag in ("outline", "hole", "open"):
                drawings[-1]["drawn"].append((tag, points(fields[1:])))
            elif tag == "cut":
                drawings[-1]["cut"].append(points(fields[1:]))
            elif tag == "lead":
                drawings[-1]["leads"].append(points(fields[1:]))
    return drawings


class Tally:
    def __init__(self):
        self.checked = 0
        self.skipped = 0
        self.faults = 0


def ring_of(shape):
    # As line strings: GEOS 3.11 gives wrong Hausdorff distances for rings.
    return [LineString(ring.coords) for ring in [shape.exterior] + list(shape.interiors)]


def check_kerf(d, tally):
    # Outline or hole by the polygon library's own containment: a contour
    # held by an odd number of drawn closed contours is a hole.
    drawn = [(kind, path, polygon(path) if kind != "open" and closed(path) else None)
             for kind, path in d["drawn"]]
    shapes = [s for _, _, s in drawn if s is not None]
    holder = STRtree(shapes) if shapes else None
    refs, ill = [], []
    for kind, path, shape in drawn:
        if kind == "open" or not closed(path):
            continue
        if shape is None:
            ill.append(LineString(path).envelope.buffer(abs(d["delta"]) + KERF_TOLERANCE))
            continue
        # Contours whose lines cross or touch (overlapping lines, a shape drawn
        # twice) have no single reading: no reference for them.
        touched = any(o is not shape and o.exterior.intersects(shape.exterior) for o in holder.query(shape))
        if touched:
            ill.append(shape.envelope.buffer(abs(d["delta"]) + KERF_TOLERANCE))
            continue
        held = [o for o in holder.query(shape) if o is not shape and o.contains(shape)]
        grown = shape.buffer(d["delta"] if len(held) % 2 == 0 else -d["delta"], resolution=32)
        parts = getattr(grown, "geoms", [grown])
        for part in parts:
            if not part.is_empty:
                refs.extend(ring_of(part))
    tree = STRtree(refs) if refs else None
    for k, path in enumerate(d["cut"]):
        if not closed(path):
            continue
        line = LineString(path)
        best = float("inf")
        if tree is not None:
            for ref in tree.query(line.envelope.buffer(KERF_TOLERANCE)):
                best = min(best, line.hausdorff_distance(ref))
        if best <= KERF_TOLERANCE:
            tally.checked += 1
        elif any(box.intersects(line) for box in ill):
            tally.skipped += 1  # next to a self-crossing drawn contour: no reference
        else:
            tally.faults += 1
            print(f"FAIL kerf {d['name']}: contour {k} is {best / 100:.3f} mm from every buffer by the kerf")


def well_formed(shapes):
    """True when no two closed cut contours cross or touch."""
    items = [s for s in shapes if s is not None]
    tree = STRtree([s.exterior for s in items])
    for s in items:
        hits = [o for o in tree.query(s.exterior) if o is not s.exterior and o.intersects(s.exterior)]
        if hits:
            return False
    return True


def own_dip(path, shape, pierce, ring):
    """How far the lead reaches across its own contour into the material."""
    wrong = path.difference(shape) if shape.contains(Point(pierce)) else path.intersection(shape)
    if wrong.is_empty:
        return 0
    parts = getattr(wrong, "geoms", [wrong])
    return max(ring.distance(Point(xy)) for part in parts for xy in part.coords)


def check_leads(d, tally):
    cut = d["cut"]
    lines = [LineString(p) if len(set(p)) > 1 else None for p in cut]
    shapes = [polygon(p) if closed(p) else None for p in cut]
    clean = all(s is not None for p, s in zip(cut, shapes) if closed(p)) and well_formed(shapes)
    present = [l for l in lines if l is not None]
    index = {id(l): k for k, l in enumerate(lines) if l is not None}
    line_tree = STRtree(present) if present else None
    areas = [s for s in shapes if s is not None]
    area_tree = STRtree(areas) if areas else None
    for k, lead in enumerate(d["leads"]):
        if not lead:
            continue
        drawn = [p for i, p in enumerate(lead) if i == 0 or p != lead[i - 1]]
        if len(drawn) < 2:
            continue
        path = LineString(drawn)
        fault = None
        for other in line_tree.query(path):
            j = index[id(other)]
            if j == k:
                dip = own_dip(path, shapes[k], lead[0], other) if shapes[k] is not None else 0
                if dip > DIP:
                    fault = f"reaches {dip / 100:.3f} mm into its own part"
            elif path.intersects(other):
                fault = f"meets contour {j}"
        if fault is None and clean:
            pierce = Point(lead[0])
            inside = sum(1 for s in area_tree.query(pierce) if s.contains(pierce))
            if inside % 2:
                fault = f"pierces inside a part ({inside} contours hold the pierce point)"
        if fault:
            tally.faults += 1
            print(f"FAIL lead {d['name']}: the lead of contour {k} {fault}")
        elif clean:
            tally.checked += 1
        else:
            tally.skipped += 1


def check_order(d, tally):
    shapes = [polygon(p) if closed(p) else None for p in d["cut"]]
    items = [(k, s) for k, s in enumerate(shapes) if s is not None]
    if not items:
        return
    tree = STRtree([s for _, s in items])
    order = {id(s): k for k, s in items}
    for k, s in items:
        for outer in tree.query(s):
            j = order[id(outer)]
            if j == k or not outer.contains(s) or outer.exterior.intersects(s.exterior):
                continue
            tally.checked += 1
            if j < k:
                tally.faults += 1
                print(f"FAIL order {d['name']}: contour {k} lies inside contour {j} but is cut after it")


def main():
    drawings = read(sys.argv[1])
    tallies = {"kerf": Tally(), "leads": Tally(), "order": Tally()}
    refused = []
    for d in drawings:
        if d["state"] == "refused":
            refused.append(d["name"])
            continue
        check_kerf(d, tallies["kerf"])
        check_leads(d, tallies["leads"])
        check_order(d, tallies["order"])
    print(f"{len(drawings)} drawings, {len(refused)} refused as too large: {' '.join(refused)}")
    for name, t in tallies.items():
        print(f"{name}: {t.checked} checked, {t.skipped} without reference, {t.faults} faults")


if __name__ == "__main__":
    main()
