#!/usr/bin/env python3
"""Writes the tables of the titles' search form from the Unicode data files.

Usage: gen_fold_tables.py UNICODE_DIR OUTPUT_HEADER

Each code point folds as: full case folding, compatibility decomposition,
the combining marks of the diacritical blocks dropped, full case folding
again. Hangul syllables stay whole (UnicodeData.txt gives them no
decomposition; theirs is by rule, not taken): their jamo are letters, and a
syllable typed in part would otherwise find every syllable it begins.

The tables, for the code points below kTableEnd whose fold is not themselves:
  kBlockOf[cp >> 6]        the block of 64 values that holds cp's value
  kValues[block * 64 + i]  0: unchanged; a surrogate 0xD800 + n: the fold is
                           kLongs[kLongStart[n]] up to kLongStart[n + 1]
                           (UTF-16); anything else: the one code point
  kMarkRuns                the marks that stay (category M), in runs of
                           one canonical combining class, 0 included:
                           (first << 8 | class), and kMarkRunLength
"""

import subprocess
import sys
from pathlib import Path

DROPPED = [(0x300, 0x36F), (0x1AB0, 0x1AFF), (0x1DC0, 0x1DFF), (0x20D0, 0x20FF), (0xFE20, 0xFE2F)]
SHIFT = 6
BLOCK = 1 << SHIFT
TABLE_END = 0x30000


def dropped(c):
    return any(a <= c <= b for a, b in DROPPED)


def read_data(folder):
    """Decompositions, full case foldings, and every mark's combining class."""
    decompositions, classes = {}, {}
    for line in (folder / "UnicodeData.txt").open(encoding="utf-8"):
        fields = line.split(";")
        cp = int(fields[0], 16)
        if fields[2].startswith("M"):
            classes[cp] = int(fields[3])
        if fields[5]:
            parts = fields[5].split()
            if parts[0].startswith("<"):
                parts = parts[1:]
            decompositions[cp] = [int(p, 16) for p in parts]
    folding = {}
    for line in (folder / "CaseFolding.txt").open(encoding="utf-8"):
        line = line.split("#")[0].strip()
        if not line:
            continue
        code, status, mapping = [f.strip() for f in line.split(";")[:3]]
        if status in ("C", "F"):
            folding[int(code, 16)] = [int(p, 16) for p in mapping.split()]
    return decompositions, folding, classes


def fold_all(decompositions, folding):
    def decompose(c):
        if c not in decompositions:
            return [c]
        return [d for part in decompositions[c] for d in decompose(part)]

    def case_fold(seq):
        return [f for c in seq for f in folding.get(c, [c])]

    folds = {}
    for c in set(decompositions) | set(folding):
        if dropped(c):
            continue
        decomposed = [d for f in case_fold([c]) for d in decompose(f)]
        result = case_fold([d for d in decomposed if not dropped(d)])
        if result != [c]:
            folds[c] = result
    assert max(folds) < TABLE_END, "a fold beyond the table"
    return folds


def utf16(cps):
    units = []
    for c in cps:
        if c >= 0x10000:
            units += [0xD800 + ((c - 0x10000) >> 10), 0xDC00 + ((c - 0x10000) & 0x3FF)]
        else:
            units.append(c)
    return units


def build(folds):
    longs, long_index, long_start = [], {}, [0]
    values = [0] * TABLE_END
    for c in sorted(folds):
        result = folds[c]
        if len(result) == 1 and result[0] < 0x10000 and not 0xD800 <= result[0] <= 0xDFFF:
            values[c] = result[0]
            continue
        key = tuple(result)
        if key not in long_index:
            long_index[key] = len(long_start) - 1
            longs += utf16(result)
            long_start.append(len(longs))
        values[c] = 0xD800 + long_index[key]
    assert len(long_start) - 1 <= 0x800, "too many long folds"
    blocks, block_of = {}, []
    for b in range(TABLE_END // BLOCK):
        chunk = tuple(values[b * BLOCK:(b + 1) * BLOCK])
        block_of.append(blocks.setdefault(chunk, len(blocks)))
    assert len(blocks) <= 256, "too many blocks for one byte"
    flat = [v for chunk in sorted(blocks, key=blocks.get) for v in chunk]
    return block_of, flat, long_start, longs


def mark_runs(classes):
    runs = []
    for c in sorted(classes):
        if dropped(c):
            continue
        if runs and runs[-1][0] + runs[-1][1] == c and runs[-1][2] == classes[c] and runs[-1][1] < 255:
            runs[-1][1] += 1
        else:
            runs.append([c, 1, classes[c]])
    return runs


def array(ctype, name, items, per_line=12):
    lines = ["static constexpr %s %s[%d] = {" % (ctype, name, len(items))]
    for i in range(0, len(items), per_line):
        lines.append("    " + ", ".join(items[i:i + per_line]) + ",")
    lines.append("};")
    return "\n".join(lines)


def versions(folder):
    first = (folder / "CaseFolding.txt").open(encoding="utf-8").readline().strip("# \n")
    try:
        package = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "unicode-data"],
                                 capture_output=True, text=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        package = "unknown"
    return first, package


def main():
    folder, output = Path(sys.argv[1]), Path(sys.argv[2])
    decompositions, folding, classes = read_data(folder)
    block_of, flat, long_start, longs = build(fold_all(decompositions, folding))
    runs = mark_runs(classes)
    data_file, package = versions(folder)
    size = len(block_of) + 2 * len(flat) + 2 * len(long_start) + 2 * len(longs) + 5 * len(runs)
    text = "\n\n".join([
        "// Generated by scripts/gen_fold_tables.py from %s (Debian unicode-data %s);\n"
        "// do not edit. %d bytes of tables." % (data_file, package, size),
        "#pragma once\n\n#include <cstdint>\n\nnamespace quillet {\nnamespace fold_tables {",
        "constexpr char32_t kTableEnd = 0x%X;\nconstexpr unsigned kBlockShift = %d;" % (TABLE_END, SHIFT),
        array("std::uint8_t", "kBlockOf", [str(b) for b in block_of], 24),
        array("std::uint16_t", "kValues", ["0x%X" % v for v in flat]),
        array("std::uint16_t", "kLongStart", [str(s) for s in long_start]),
        array("char16_t", "kLongs", ["0x%X" % u for u in longs]),
        array("std::uint32_t", "kMarkRuns", ["0x%X" % (r[0] << 8 | r[2]) for r in runs]),
        array("std::uint8_t", "kMarkRunLength", [str(r[1]) for r in runs], 24),
        "}  // namespace fold_tables\n}  // namespace quillet\n",
    ])
    output.parent.mkdir(parents=True, exist_ok=True)
    output.write_text(text, encoding="utf-8")


if __name__ == "__main__":
    main()
