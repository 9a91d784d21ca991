#!/usr/bin/env python3
"""Writes a reproducible data folder for the peer comparison.

  make_data.py FOLDER [TOTAL_MB]

About TOTAL_MB megabytes (default 200) of the kinds of files a desktop
database keeps: structured binary records (*.dat), near-random data
(*.dat, e.g. compressed blobs), text reports (*.rpt) and 24-bit BMP images
(*.bmp), plus FileList.cfg. Several hundred files, a few over 20 MB.
The same seed always gives the same bytes.
"""
import os
import random
import struct
import sys


def records(rng, size):
    out = bytearray()
    n = 0
    names = [b"SMITH", b"JONES", b"TAYLOR", b"BROWN", b"WILSON", b"EVANS"]
    while len(out) < size:
        n += 1
        name = rng.choice(names).ljust(24, b" ")
        amount = rng.randint(0, 10_000_000)
        date = 20200101 + rng.randint(0, 60000)
        flags = rng.randint(0, 3)
        out += struct.pack("<I24sIQH", n, name, date, amount, flags) + bytes(22)
    return bytes(out[:size])


def noise(rng, size):
    return rng.randbytes(size)


def report(rng, size):
    words = ["Account", "Balance", "Invoice", "Total", "Customer", "Stock",
             "Period", "Net", "Tax", "Amount", "Ledger", "Due"]
    lines = []
    total = 0
    while total < size:
        line = "%06d  %-10s %-10s %12.2f %12.2f\r\n" % (
            rng.randint(0, 999999), rng.choice(words), rng.choice(words),
            rng.random() * 100000, rng.random() * 1000)
        lines.append(line)
        total += len(line)
    return "".join(lines).encode()[:size]


def bmp(rng, size):
    width = 512
    row = width * 3
    height = max(1, (size - 54) // row)
    pixels = bytearray()
    base = rng.randint(0, 255)
    for y in range(height):
        line = bytearray()
        for x in range(width):
            v = (base + x // 8 + y // 8) & 0xFF
            line += bytes((v, (v * 3) & 0xFF, (255 - v) & 0xFF))
        if rng.random() < 0.3:
            for _ in range(20):
                i = rng.randrange(0, row)
                line[i] = rng.randrange(0, 256)
        pixels += line
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0,
                       len(pixels), 2835, 2835, 0, 0)
    return header + info + bytes(pixels)


def main():
    folder = sys.argv[1]
    total_mb = float(sys.argv[2]) if len(sys.argv) > 2 else 200
    rng = random.Random(20261208)
    os.makedirs(folder, exist_ok=True)
    budget = int(total_mb * 1024 * 1024)
    plan = []
    # A few large files (over 20 MB when the total allows), then many small.
    big = [("ledger.dat", records, 0.12), ("archive.dat", noise, 0.11),
           ("yearly.rpt", report, 0.11)]
    for name, kind, share in big:
        plan.append((name, kind, int(budget * share)))
    rest = budget - sum(s for _, _, s in plan)
    i = 0
    kinds = [("dat", records), ("dat", noise), ("rpt", report), ("bmp", bmp)]
    while rest > 0:
        ext, kind = kinds[i % 4]
        size = min(rest, rng.randint(4_000, 600_000))
        plan.append(("file%04d.%s" % (i, ext), kind, size))
        rest -= size
        i += 1
    with open(os.path.join(folder, "FileList.cfg"), "w") as f:
        for name, _, _ in plan:
            f.write(name + "\r\n")
    for name, kind, size in plan:
        with open(os.path.join(folder, name), "wb") as f:
            f.write(kind(rng, size))
    print("%d files, %.1f MB in %s" % (len(plan) + 1, budget / 1048576, folder))


if __name__ == "__main__":
    main()
