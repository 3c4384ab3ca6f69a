#!/usr/bin/env python3
"""Derives the keyboard's layout-based light tables from the keyboard page's key cells.

Run once from the repository root; it prints the C++ table definitions that
src/device/models/keyboard_light_tables.cpp carries between its markers.
"""
import re
import sys

XML = "res/skin/XML/DeviceXml/keyboarddevice.xml"
UI_KEYS = 126
NONE = 170
MACRO_KEYS = {120, 121, 122, 123, 124}

# The key grid the lighting modes share, column by column (rows 0..5).
GRID = [
    [None, 120, 121, 122, 123, 124], [None, 21, 42, 63, 84, 105], [0, 22, 43, 64, 102, 106],
    [1, 23, 44, 65, 85, 20], [2, 24, 45, 66, 86, 107], [3, 25, 46, 67, 87, 126],
    [4, 26, 47, 68, 88, 127], [18, 27, 48, 69, 89, 108], [5, 28, 49, 70, 90, 128],
    [6, 29, 50, 71, 91, 129], [7, 30, 51, 72, 92, 109], [8, 31, 52, 73, 93, 125],
    [9, 32, 53, 74, 94, 110], [10, 33, 54, 62, 100, 111], [11, 34, 55, 75, 19, 130],
    [12, 101, 103, 79, 95, 112], [56, 35, 13, 82, 80, 113], [37, 36, 57, 83, 96, 114],
    [58, 14, 15, 17, 81, 115], [None, 38, 59, 76, 97, 116], [None, 39, 60, 77, 98, 104],
    [None, 40, 61, 78, 99, 117], [None, 41, 16, 119, 118, 131],
]


def cells():
    text = open(XML, encoding="utf-8").read()
    keys = {}
    for m in re.finditer(r'name="key_(\d+)"[^>]*?pos="(\d+),(\d+),(\d+),(\d+)"', text):
        k = int(m.group(1))
        if k < UI_KEYS:
            keys[k] = tuple(int(m.group(i)) for i in range(2, 6))
    return keys


def overlaps(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def area(r):
    return (r[2] - r[0]) * (r[3] - r[1])


def main():
    keys = cells()
    centre = {k: ((r[0] + r[2]) / 2, (r[1] + r[3]) / 2) for k, r in keys.items()}
    # A regional variant sits on a larger (or equal, lower-numbered) key's cell.
    variant = set()
    for a, ra in keys.items():
        for b, rb in keys.items():
            if a != b and overlaps(ra, rb) and (area(ra), -a) < (area(rb), -b):
                variant.add(a)
    # Physical rows: cell tops within 10 px of each other (the small dials sit a little low).
    rows = []
    for top in sorted({r[1] for r in keys.values()}):
        if not rows or top - rows[-1][-1] > 10:
            rows.append([])
        rows[-1].append(top)
    row_of = {k: next(i for i, tops in enumerate(rows) if r[1] in tops) for k, r in keys.items()}

    order = sorted(keys, key=lambda k: (row_of[k], centre[k][0], k))

    # Diagonal stripes: keys by x + 2y, cut into 12 runs of 10 or 11.
    diag = sorted(keys, key=lambda k: (centre[k][0] + 2 * centre[k][1], k))
    layout, start = [], 0
    for i in range(12):
        size = len(diag) // 12 + (1 if i < len(diag) % 12 else 0)
        layout.append(diag[start:start + size] + [NONE] * (12 - size))
        start += size

    # Snake: the physical rows back and forth, without variants and the macro column.
    snake = []
    for r in range(len(rows)):
        row = sorted((k for k in keys if row_of[k] == r and k not in variant
                      and k not in MACRO_KEYS), key=lambda k: centre[k][0])
        snake += row if r % 2 == 0 else row[::-1]
    snake += [NONE] * (170 - len(snake))

    # Rain: 12 lanes across the key area, one key per physical row (nearest the lane centre),
    # each lane's drop starting at its own step.
    main = [k for k in keys if k not in variant]
    left = min(keys[k][0] for k in main)
    right = max(keys[k][2] for k in main)
    lane_w = (right - left) / 12
    lanes = []
    for lane in range(12):
        mid = left + lane_w * (lane + 0.5)
        column = []
        for r in range(len(rows)):
            near = [k for k in main if row_of[k] == r and abs(centre[k][0] - mid) <= lane_w / 2]
            near.sort(key=lambda k: (abs(centre[k][0] - mid), k))
            column.append(near[0] if near else NONE)
        lanes.append(column)
    starts = [(lane * 17) % 46 for lane in range(12)]
    rain = [[NONE] * 12 for _ in range(52)]
    for lane in range(12):
        for r in range(len(rows)):
            rain[starts[lane] + r][lane] = lanes[lane][r]

    # Column table: the grid's keys, and a seventh row for a UI key the grid lacks, placed in
    # the grid column whose keys lie nearest it.
    table = [[(k if k is not None and k < UI_KEYS else 255) for k in col] + [255] for col in GRID]
    in_grid = {k for col in GRID for k in col if k is not None}
    for k in sorted(set(keys) - in_grid):
        best = min(range(23), key=lambda c: min(
            (abs(centre[g][0] - centre[k][0]) for g in GRID[c] if g in keys), default=1e9))
        if table[best][6] == 255:
            table[best][6] = k

    # Start levels for the random fade: a fixed scramble of 0..191 over the grid cells.
    levels, x = [], 12345
    for c in range(23):
        col = []
        for r in range(6):
            x = (x * 1103515245 + 12345) % (1 << 31)
            col.append((x >> 16) % 192 if GRID[c][r] is not None else 0)
        levels.append(col)

    # Sparkle picks: every key but the variants, the macro column and the two small dials.
    picks = [k for k in order if k not in variant and k not in MACRO_KEYS
             and area(keys[k]) >= 27 * 25]
    picks = picks[:104]
    assert len(picks) == 104, len(picks)

    # Script: the grid's columns 1..20 one after another, then pairs closing in on key 50
    # (row 2, column 9) from both ends of its row.
    script = [[(k if k is not None and k < UI_KEYS else NONE) for k in GRID[c]] for c in range(1, 21)]
    row2 = [GRID[c][2] for c in range(23)]
    pairs = []
    for i in range(16):
        lc = round(i * 9 / 15)
        rc = 22 - round(i * 13 / 15)
        pairs.append([row2[lc], row2[rc]])

    out = sys.stdout
    def emit(name, rows_):
        out.write(f"const {name} = {{{{\n")
        for r in rows_:
            out.write("    {{" + ", ".join(str(v) for v in r) + "}},\n")
        out.write("}};\n\n")
    def emit_flat(name, values):
        out.write(f"const {name} = {{\n")
        for i in range(0, len(values), 16):
            out.write("    " + ", ".join(str(v) for v in values[i:i + 16]) + ",\n")
        out.write("};\n\n")
    emit("std::array<std::array<std::uint8_t, 12>, 12> kDiagonalLayout", layout)
    emit_flat("std::array<std::uint8_t, 170> kKeyOrder",
              order + [NONE] * (170 - len(order)))
    emit_flat("std::array<std::uint8_t, 170> kSnakePath", snake)
    emit("std::array<std::array<std::uint8_t, 12>, 52> kRainSteps", rain)
    emit("std::array<std::array<std::uint8_t, 7>, 23> kColumnTable", table)
    emit("std::array<std::array<std::uint8_t, 6>, 23> kFadeStartLevels", levels)
    emit_flat("std::array<std::uint8_t, 104> kSparklePicks", picks)
    emit("std::array<std::array<std::uint8_t, 6>, 20> kScriptSteps", script)
    emit("std::array<std::array<std::uint8_t, 2>, 16> kScriptPairs", pairs)
    sys.stderr.write(f"keys {len(order)} snake {170 - snake.count(NONE)} variants {sorted(variant)}\n")


main()
