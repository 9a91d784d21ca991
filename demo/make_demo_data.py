#!/usr/bin/env python3
"""Writes a sample Tessaly data folder for trying the collector.

  make_demo_data.py FOLDER [--scale N]

The folder gets what a small Tessaly installation holds: FileList.cfg, data
files of fixed-length records (*.dat), printed reports (*.rpt) and bitmaps
(*.bmp: a logo and three scanned documents), plus a note and a backup folder
that the collector leaves alone. The content is generated from a fixed seed,
so every run writes the same bytes. At scale 1 the files compress to more
than 2 MiB, so the collector writes several volumes; --scale multiplies the
number of records.
"""
import argparse
import os
import random
import struct

SEED = 2003

FIRST = ["Anna", "Bram", "Carla", "Dirk", "Eva", "Frans", "Greet", "Hugo",
         "Ilse", "Jan", "Karin", "Luc", "Marie", "Nico", "Olga", "Piet"]
LAST = ["Aerts", "Bakker", "Claes", "De Smet", "Evers", "Franssen",
        "Goossens", "Hermans", "Jacobs", "Janssens", "Maes", "Peeters",
        "Smits", "Verbeke", "Willems", "Wouters"]
TOWNS = ["Antwerpen", "Brugge", "Gent", "Hasselt", "Leuven", "Mechelen",
         "Namur", "Tournai"]
ITEMS = ["Paper A4", "Toner black", "Stapler", "Folder blue", "Pencil HB",
         "Envelope C5", "Binder 4 rings", "Label sheet", "Ink cartridge"]


def record(fields, widths):
    """One fixed-length record: each field padded or cut to its width."""
    return "".join(str(f)[:w].ljust(w) for f, w in zip(fields, widths))


def write_dat(path, rows, widths):
    with open(path, "wb") as f:
        # A header block like a database table's: record length and count.
        length = sum(widths)
        f.write(struct.pack("<4sII", b"TDAT", length, len(rows)))
        f.write(b"\0" * 500)
        for row in rows:
            f.write(record(row, widths).encode("ascii") + b"\r\n")


def customers(r, count):
    return [(i + 1, f"{r.choice(FIRST)} {r.choice(LAST)}",
             f"{r.choice(['Kerkstraat', 'Stationsplein', 'Molenweg', 'Dorp'])} "
             f"{r.randint(1, 180)}",
             f"{r.randint(1000, 9999)} {r.choice(TOWNS)}",
             f"0{r.randint(10, 99)}/{r.randint(100000, 999999)}")
            for i in range(count)]


def invoices(r, count, customer_count):
    rows = []
    for i in range(count):
        amount = r.randint(500, 250000)
        rows.append((100000 + i, r.randint(1, customer_count),
                     f"2003-{r.randint(1, 12):02d}-{r.randint(1, 28):02d}",
                     f"{amount // 100}.{amount % 100:02d}",
                     r.choice(["OPEN", "PAID", "PAID", "PAID", "REMINDED"])))
    return rows


def stock(r, count):
    return [(f"ART{i:05d}", r.choice(ITEMS), r.randint(0, 900),
             f"{r.randint(10, 9000) / 100:.2f}") for i in range(count)]


def report(r, title, lines):
    out = [title.center(78), ("=" * len(title)).center(78), ""]
    total = 0
    for i in range(lines):
        amount = r.randint(100, 99999)
        total += amount
        out.append(f"{i + 1:6d}  {r.choice(FIRST):10s} {r.choice(LAST):12s}"
                   f"  {r.choice(TOWNS):12s} {amount / 100:12.2f}")
        if (i + 1) % 60 == 0:
            out += ["", f"Page {(i + 1) // 60}".rjust(78), "\f"]
    out += ["", f"Total: {total / 100:.2f}".rjust(78)]
    return "\r\n".join(out) + "\r\n"


def write_bmp(path, width, height, pixel):
    """A 24-bit bottom-up BMP; pixel(x, y) gives (r, g, b)."""
    row_size = (width * 3 + 3) & ~3
    image = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            red, green, blue = pixel(x, y)
            row += bytes((blue, green, red))
        row += b"\0" * (row_size - len(row))
        image += row
    header = struct.pack("<2sIHHI", b"BM", 54 + len(image), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0,
                       len(image), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + image)


def scan(r, width, height):
    """A scanned page: paper tone with grain, lines of 'text', a stamp."""
    noise = r.randbytes(width * height)

    def pixel(x, y):
        n = noise[y * width + x] % 100
        tone = 150 + n
        line = (y // 14) % 2 == 0 and 40 < x < width - 40 and y > 60
        if line and (x * 7 + y * 3) % 11 < 6:
            tone -= 150
        if (x - width * 3 // 4) ** 2 + (y - height // 5) ** 2 < 40 ** 2:
            return (tone, tone // 3, tone // 3)
        return (tone, tone, max(0, tone - 12))
    return pixel


def logo(x, y):
    inside = (x - 48) ** 2 + (y - 48) ** 2 < 44 ** 2
    return (0, 0, 128) if inside else (255, 255, 255)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder")
    parser.add_argument("--scale", type=int, default=1)
    args = parser.parse_args()
    r = random.Random(SEED)
    folder = args.folder
    os.makedirs(os.path.join(folder, "Backup"), exist_ok=True)
    n = max(1, args.scale)

    tables = ["Customer.dat", "Invoice.dat", "Stock.dat"]
    with open(os.path.join(folder, "FileList.cfg"), "w", newline="\r\n") as f:
        f.write("[Tessaly]\nVersion=5.1\n\n[Files]\n")
        for i, name in enumerate(tables, 1):
            f.write(f"File{i}={name}\n")

    customer_count = 4000 * n
    write_dat(os.path.join(folder, "Customer.dat"), customers(r, customer_count),
              [8, 30, 34, 24, 16])
    write_dat(os.path.join(folder, "Invoice.dat"),
              invoices(r, 30000 * n, customer_count), [8, 8, 10, 12, 10])
    write_dat(os.path.join(folder, "Stock.dat"), stock(r, 2000 * n),
              [10, 24, 6, 10])
    for name, lines in (("Monthly.rpt", 1200 * n), ("Yearly.rpt", 6000 * n)):
        with open(os.path.join(folder, name), "w", newline="") as f:
            f.write(report(r, name[:-4] + " revenue by customer", lines))
    write_bmp(os.path.join(folder, "Logo.bmp"), 96, 96, logo)
    for i in (1, 2, 3):
        write_bmp(os.path.join(folder, f"Scan0{i}.bmp"), 900, 1100,
                  scan(r, 900, 1100))

    # Left alone by the collector: other names and sub-folders.
    with open(os.path.join(folder, "ReadMe.txt"), "w") as f:
        f.write("Demo data for the Tessaly Data Zipper.\n")
    with open(os.path.join(folder, "Backup", "Invoice.dat"), "wb") as f:
        f.write(b"an old copy, not collected\n")


if __name__ == "__main__":
    main()
