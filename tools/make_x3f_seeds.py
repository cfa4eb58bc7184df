#!/usr/bin/env python3
"""Writes the seed corpus of the X3F structure fuzzer: small X3F files of both
directory orders, alone and with junk, a second file glued on, and cut short.

Each seed is the fuzzer's input: 2 bytes that pick the read block size, then
the file. Run from the repository root:
    tools/make_x3f_seeds.py tests/fuzz/x3f_corpus
"""

import random
import struct
import sys
from pathlib import Path

SIGNATURES = {"PROP": b"SECp", "CAMF": b"SECc", "IMAG": b"SECi", "IMA2": b"SECi"}
PROP_LAST = ["CAMF", "IMAG", "IMA2", "PROP"]
IMA2_LAST = ["CAMF", "PROP", "IMA2", "IMA2"]


def filler(size, rng):
    """Random bytes without 'P', so the only "PROP" is the directory's."""
    return bytes(rng.choice([b for b in range(256) if b != ord("P")])
                 for _ in range(size))


def x3f(types, rng, section_size=20):
    data = bytearray(b"FOVb" + filler(12, rng))
    offsets = []
    for kind in types:
        offsets.append(len(data))
        data += SIGNATURES[kind] + filler(section_size - 4, rng)
    directory = len(data)
    data += b"SECd" + struct.pack("<II", 0x00020000, len(types))
    for offset, kind in zip(offsets, types):
        data += struct.pack("<II", offset, section_size) + kind.encode()
    data += struct.pack("<I", directory)
    return bytes(data)


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    rng = random.Random(10)
    prop_last = x3f(PROP_LAST, rng)
    ima2_last = x3f(IMA2_LAST, rng)
    other = x3f(PROP_LAST, rng, section_size=28)
    junk = filler(40, rng)
    seeds = {
        "prop-last": prop_last,
        "ima2-last": ima2_last,
        "prop-last-junk": prop_last + junk,
        "ima2-last-junk-prop": ima2_last + junk[:10] + b"PROP" + junk[10:],
        "glued": ima2_last + other,
        "glued-half": prop_last + other[: len(other) // 2],
        "truncated": ima2_last[:-20],
    }
    for index, (name, data) in enumerate(sorted(seeds.items())):
        block = struct.pack("<H", [1, 3, 12, 13, 64, 4095, 7][index % 7])
        (out / name).write_bytes(block + data)


if __name__ == "__main__":
    main()
