#!/usr/bin/env python3
"""Helpers of the Windows end-to-end test (collector_e2e.sh).

  e2e_helper.py data DIR
      fills DIR with a Tessaly data folder: FileList.cfg, .dat, .rpt and .bmp
      files (about 19 MB, 6 MB of it incompressible, so the archive needs at
      least three 2 MiB volumes) and two files the collector must leave out.
  e2e_helper.py entries ARCHIVE DIR
      ARCHIVE (one piece) holds exactly the files of DIR that match
      FileList.cfg, *.dat, *.rpt, *.bmp (letter case ignored), each under its
      bare name.
  e2e_helper.py names VOLUME
      prints the entry names of the central headers found in VOLUME (the
      last volume of a split archive), in their order.
  e2e_helper.py screenshot PNG XWD...
      converts the last X window dump to PNG; checks that every dump shows
      the window: the sunken panel, the navy label above it and, inside the
      panel, the band (a fade from white to navy on button face). With more
      than one dump, the band must have moved between the first and the
      last.
"""
import fnmatch
import os
import random
import struct
import sys
import zipfile
import zlib

PATTERNS = ["filelist.cfg", "*.dat", "*.rpt", "*.bmp"]


def noise(size, seed):
    return random.Random(seed).randbytes(size)


def ledger(lines, seed):
    out = []
    for i in range(lines):
        out.append(f"INV{10000 + i * 7 + seed};2003-0{1 + (i + seed) % 9}-1"
                   f"{i % 10};Customer {(i * 31 + seed) % 500};"
                   f"{(i * 977 + seed) % 100000}.00\r\n")
    return "".join(out).encode()


def make_data(folder):
    os.makedirs(folder, exist_ok=True)
    # Every entry deflates to less than one volume (2 MiB), so that none
    # spans three volumes: Info-ZIP's "zip -s 0" cannot join those.
    files = {
        "FileList.cfg": b"Customer.dat\r\nInvoice.dat\r\nLedger.rpt\r\n",
        "Customer.dat": noise(1900000, 1),
        "Invoice.dat": noise(1800000, 2),
        "Orders.DAT": noise(1500000, 3),
        "Ledger.rpt": ledger(150000, 4),
        "Journal.rpt": ledger(150000, 5),
        "Summary.rpt": b"",
        "Logo.bmp": b"BM" + noise(600000, 6),
        # Not packed: another extension, and a name that only ends in .dat.
        "notes.txt": b"left out\r\n",
        "backup.dat.old": noise(1000, 7),
    }
    for name, content in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(content)


def check_entries(archive, folder):
    wanted = sorted(
        n for n in os.listdir(folder)
        if any(fnmatch.fnmatch(n.lower(), p) for p in PATTERNS))
    with zipfile.ZipFile(archive) as z:
        names = sorted(z.namelist())
    if names != wanted:
        sys.exit(f"entries {names}, expected {wanted}")
    print(f"{len(names)} entries as expected")


def print_names(volume):
    with open(volume, "rb") as f:
        data = f.read()
    at = data.find(b"PK\x01\x02")
    names = []
    while at >= 0 and at + 46 <= len(data):
        length = struct.unpack_from("<H", data, at + 28)[0]
        names.append(data[at + 46:at + 46 + length].decode("cp437"))
        at = data.find(b"PK\x01\x02", at + 46 + length)
    print(" ".join(names))


def read_xwd(path):
    """An X window dump (XWDFile.h: 25 big-endian header fields, the window
    name, the colour map, then ZPixmap pixels of 24 or 32 bits)."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 100:
        raise ValueError(f"{path}: short file")
    h = struct.unpack(">25I", data[:100])
    header_size, fmt, width, height = h[0], h[2], h[4], h[5]
    byte_order, bpp, bytes_per_line = h[7], h[11], h[12]
    masks, colours = h[14:17], h[19]
    if fmt != 2 or bpp not in (24, 32):
        raise ValueError(f"{path}: format {fmt}, {bpp} bits per pixel")
    shifts = [(m & -m).bit_length() - 1 for m in masks]
    start = header_size + colours * 12
    step = bpp // 8
    order = "little" if byte_order == 0 else "big"
    rows = []
    for y in range(height):
        line = data[start + y * bytes_per_line:start + (y + 1) * bytes_per_line]
        row = []
        for x in range(width):
            v = int.from_bytes(line[x * step:(x + 1) * step], order)
            row.append(tuple((v & m) >> s for m, s in zip(masks, shifts)))
        rows.append(row)
    return width, height, rows


def write_png(path, width, height, rows):
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in rows)

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" +
                chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2,
                                           0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


FACE = (192, 192, 192)      # button face
SHADOW = (128, 128, 128)    # button shadow: the panel's top-left bevel
NAVY = (0, 0, 128)          # active caption: the label and the band's end
PANEL_WIDTH, PANEL_HEIGHT = 284, 32


def find_panel(rows):
    """Top-left corner of the sunken panel: the first row with a run of
    PANEL_WIDTH - 1 shadow pixels (the outer ring's top edge), with the
    ring's left edge going down from its start."""
    for y, row in enumerate(rows):
        run = 0
        for x, p in enumerate(row):
            run = run + 1 if p == SHADOW else 0
            if run == PANEL_WIDTH - 1:
                left = x - run + 1
                if all(rows[y + k][left] == SHADOW
                       for k in range(PANEL_HEIGHT - 1)):
                    return left, y
    return None


def check_window(path, rows):
    """The window's parts; returns the columns of the indicator (relative to
    its left edge) where the band shows."""
    panel = find_panel(rows)
    if panel is None:
        sys.exit(f"{path}: no sunken panel")
    left, top = panel
    label = sum(1 for row in rows[max(0, top - 36):top] for p in row
                if p == NAVY)
    if label < 50:
        sys.exit(f"{path}: no label above the panel ({label} navy pixels)")
    columns = set()
    for y in range(top + 2, top + PANEL_HEIGHT - 2):
        for x in range(left + 2, left + PANEL_WIDTH - 2):
            r, g, b = rows[y][x]
            if (r, g, b) == FACE:
                continue
            # The band fades from white to navy: red equals green, blue
            # stays at or above them.
            if r != g or b < r:
                sys.exit(f"{path}: pixel ({x}, {y}) = {(r, g, b)} is not "
                         "the band's colour")
            columns.add(x - left - 2)
    return columns


def screenshot(png, dumps):
    shots = []
    for path in dumps:
        width, height, rows = read_xwd(path)
        if width < 300 or height < 112:
            sys.exit(f"{path}: {width} x {height}, not the window")
        columns = check_window(path, rows)
        print(f"{os.path.basename(path)}: {width} x {height}, band in "
              f"{len(columns)} columns"
              f"{f' ({min(columns)}..{max(columns)})' if columns else ''}")
        if not columns:
            sys.exit(f"{path}: the busy indicator shows no band")
        shots.append((width, height, rows, columns))
    write_png(png, *shots[-1][:3])
    if len(shots) > 1 and shots[0][3] == shots[-1][3]:
        sys.exit("the band did not move between the first and last dumps")


def main():
    args = sys.argv[1:]
    if len(args) == 2 and args[0] == "data":
        make_data(args[1])
    elif len(args) == 3 and args[0] == "entries":
        check_entries(args[1], args[2])
    elif len(args) == 2 and args[0] == "names":
        print_names(args[1])
    elif len(args) >= 3 and args[0] == "screenshot":
        screenshot(args[1], args[2:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
