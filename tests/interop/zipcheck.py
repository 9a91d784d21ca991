#!/usr/bin/env python3
"""Independent checks of archives written by the engine, with Python's zipfile.

  zipcheck.py verify ARCHIVE SOURCE_DIR [--password P] [--flat]
      every file entry decompresses (CRC checked by zipfile), equals the file
      SOURCE_DIR/<name> (with --flat: SOURCE_DIR/<basename>), testzip() is
      clean; prints "<n> entries ok".
  zipcheck.py join OUTPUT VOLUME...
      joins split volumes (first to last) into one archive: concatenates them
      and rebases every local header offset and the directory offset by the
      sizes of the volumes before it; disk numbers become 0. Handles Zip64.
"""
import os
import struct
import sys
import zipfile


def verify(archive, source, password=None, flat=False):
    with zipfile.ZipFile(archive) as z:
        if password:
            z.setpassword(password.encode())
        bad = z.testzip()
        if bad is not None:
            sys.exit(f"testzip: bad entry {bad}")
        count = 0
        for info in z.infolist():
            if info.is_dir():
                if not os.path.isdir(os.path.join(source, info.filename)) and not flat:
                    sys.exit(f"folder entry without folder: {info.filename}")
                count += 1
                continue
            rel = os.path.basename(info.filename) if flat else info.filename
            path = os.path.join(source, rel)
            with open(path, "rb") as f:
                expected = f.read()
            actual = z.read(info)
            if actual != expected:
                sys.exit(f"content differs: {info.filename} ({len(actual)} vs {len(expected)} bytes)")
            count += 1
        print(f"{count} entries ok")


EOCD = b"PK\x05\x06"
LOC64 = b"PK\x06\x07"
END64 = b"PK\x06\x06"
CEN = b"PK\x01\x02"


def join(output, volumes):
    data = bytearray()
    starts = []
    for v in volumes:
        starts.append(len(data))
        with open(v, "rb") as f:
            data += f.read()
    last_start = starts[-1]
    eocd = data.rfind(EOCD)
    if eocd < 0:
        sys.exit("no end record")
    (_, disk, cd_disk, n_disk, n_total, cd_size, cd_off, clen) = struct.unpack_from("<IHHHHIIH", data, eocd)
    zip64 = None
    loc = eocd - 20
    if loc >= 0 and data[loc:loc + 4] == LOC64:
        (_, z_disk, z_off, z_total) = struct.unpack_from("<IIQI", data, loc)
        end64 = starts[z_disk] + z_off
        zip64 = end64
        (_, _, _, _, d64, cd_disk64, n64_disk, n64_total, cd_size64, cd_off64) = struct.unpack_from("<IQHHIIQQQQ", data, end64)
        cd_disk, cd_size, cd_off, n_total = cd_disk64, cd_size64, cd_off64, n64_total
    pos = starts[cd_disk] + cd_off
    new_cd_off = pos
    for _ in range(n_total):
        if data[pos:pos + 4] != CEN:
            sys.exit(f"central header expected at {pos}")
        (usize, nlen, xlen, clen2, dstart) = struct.unpack_from("<IHHHH", data, pos + 24)
        csize = struct.unpack_from("<I", data, pos + 20)[0]
        off = struct.unpack_from("<I", data, pos + 42)[0]
        # Zip64 extra values in order: usize, csize, offset, disk.
        x = pos + 46 + nlen
        xend = x + xlen
        z64_off_pos = None
        z64_disk_pos = None
        while x + 4 <= xend:
            hid, hsz = struct.unpack_from("<HH", data, x)
            if hid == 1:
                p = x + 4
                if usize == 0xFFFFFFFF:
                    p += 8
                if csize == 0xFFFFFFFF:
                    p += 8
                if off == 0xFFFFFFFF:
                    z64_off_pos = p
                    p += 8
                if dstart == 0xFFFF:
                    z64_disk_pos = p
            x += 4 + hsz
        disk_no = dstart
        if z64_disk_pos is not None:
            disk_no = struct.unpack_from("<I", data, z64_disk_pos)[0]
            struct.pack_into("<I", data, z64_disk_pos, 0)
        if z64_off_pos is not None:
            o = struct.unpack_from("<Q", data, z64_off_pos)[0]
            struct.pack_into("<Q", data, z64_off_pos, o + starts[disk_no])
        else:
            new = off + starts[disk_no]
            if new >= 0xFFFFFFFF:
                sys.exit("joined offset needs Zip64")
            struct.pack_into("<I", data, pos + 42, new)
        if dstart != 0xFFFF:
            struct.pack_into("<H", data, pos + 34, 0)
        pos = xend + clen2
    if zip64 is not None:
        struct.pack_into("<II", data, zip64 + 16, 0, 0)
        struct.pack_into("<QQ", data, zip64 + 24, n_total, n_total)
        struct.pack_into("<Q", data, zip64 + 48, new_cd_off)
        struct.pack_into("<IQI", data, eocd - 20 + 4, 0, zip64, 1)
    struct.pack_into("<HH", data, eocd + 4, 0, 0)
    if n_total < 0xFFFF:
        struct.pack_into("<H", data, eocd + 8, n_total)
    if new_cd_off < 0xFFFFFFFF:
        struct.pack_into("<I", data, eocd + 16, new_cd_off)
    with open(output, "wb") as f:
        f.write(data)


def main():
    if len(sys.argv) >= 4 and sys.argv[1] == "verify":
        args = sys.argv[2:]
        password = None
        flat = False
        if "--password" in args:
            i = args.index("--password")
            password = args[i + 1]
            del args[i:i + 2]
        if "--flat" in args:
            args.remove("--flat")
            flat = True
        verify(args[0], args[1], password, flat)
    elif len(sys.argv) >= 4 and sys.argv[1] == "join":
        join(sys.argv[2], sys.argv[3:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
