#!/usr/bin/env python3
"""Writes the hostile archives of hostile.sh into a folder, one per case.

    make_hostile.py <folder> <absolute Linux path outside every destination>

Each archive also holds the harmless entry "good.txt" ("good\\n"), which an extractor
may write. Names that try to leave the destination all aim at "escaped*" files, in the
destination's parent or in the outside folder, where hostile.sh looks for them.
"""
import io
import os
import struct
import sys
import tarfile
import zipfile
import zlib

GOOD = b"good\n"


def zip_with(path, entries, method=zipfile.ZIP_DEFLATED):
    with zipfile.ZipFile(path, "w", method) as z:
        for name, data in entries:
            info = zipfile.ZipInfo(name, (2020, 1, 1, 0, 0, 0))
            info.compress_type = method
            z.writestr(info, data)


def tar_with(path, members, mode="w"):
    """members: (name, kind, payload) with kind "file" (payload bytes), "symlink" or
    "hardlink" (payload the link's target)."""
    with tarfile.open(path, mode, format=tarfile.GNU_FORMAT) as t:
        for name, kind, payload in members:
            info = tarfile.TarInfo(name)
            info.mtime = 1577836800
            if kind == "file":
                info.size = len(payload)
                t.addfile(info, io.BytesIO(payload))
            else:
                info.type = tarfile.SYMTYPE if kind == "symlink" else tarfile.LNKTYPE
                info.linkname = payload
                t.addfile(info)


def crc16(data):
    crc = 0
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def lzh_level0(entries):
    """An LZH archive of stored (-lh0-) entries with level-0 headers, the oldest layout,
    where the name is raw bytes (MS-DOS LHA wrote '\\' separators)."""
    out = bytearray()
    for name, data in entries:
        body = bytearray(b"-lh0-")
        body += len(data).to_bytes(4, "little") * 2
        body += (0x50210000).to_bytes(4, "little")  # 2020-01-01 00:00, MS-DOS time
        body += bytes([0x20, 0, len(name)]) + name + crc16(data).to_bytes(2, "little")
        out += bytes([len(body), sum(body) & 0xFF]) + body + data
    return bytes(out + b"\0")


def stored_zip_bad_crc(path):
    zip_with(path, [("good.txt", GOOD), ("damaged.txt", b"x" * 4000)], zipfile.ZIP_STORED)
    data = bytearray(open(path, "rb").read())
    at = data.index(b"x" * 4000)
    data[at + 2000] ^= 0x01  # the data changes, the recorded CRC stays
    open(path, "wb").write(data)


def lying_size_zip(path, real_size):
    """A deflated entry whose headers claim 1000 bytes while its data expands to
    real_size; the CRC is that of the real data."""
    data = bytes(real_size)
    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
    packed = packer.compress(data) + packer.flush()
    crc = zlib.crc32(data)
    name = b"bomb.bin"

    def common(claimed):
        return (b"\x14\x00\x00\x00\x08\x00\x00\x00\x21\x50"
                + crc.to_bytes(4, "little") + len(packed).to_bytes(4, "little")
                + claimed.to_bytes(4, "little") + len(name).to_bytes(2, "little"))

    local = b"PK\x03\x04" + common(1000) + b"\0\0" + name
    central = (b"PK\x01\x02\x14\x00" + common(1000) + b"\0\0" * 4 + b"\0\0\0\0"
               + (0).to_bytes(4, "little") + name)
    end = (b"PK\x05\x06\0\0\0\0\x01\x00\x01\x00" + len(central).to_bytes(4, "little")
           + (len(local) + len(packed)).to_bytes(4, "little") + b"\0\0")
    open(path, "wb").write(local + packed + central + end)


def local_header(name, method, crc, packed, size):
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, method, 0, 0x5021, crc, packed,
                       size, len(name), 0) + name


def central_record(name, method, crc, packed, size, offset):
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, method, 0, 0x5021, crc,
                       packed, size, len(name), 0, 0, 0, 0, 0, offset) + name


def end_record(count, directory_size, directory_offset, disk=0):
    return struct.pack("<IHHHHIIH", 0x06054B50, disk, disk, count, count, directory_size,
                       directory_offset, 0)


def overlap_bomb(path, entries=100, size=10 << 20):
    """The overlapping-entry bomb: one deflated stream of zeros, one local header, and a
    central directory of many entries that all point at it."""
    data = bytes(size)
    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
    packed = packer.compress(data) + packer.flush()
    crc = zlib.crc32(data)
    body = local_header(b"zeros.bin", 8, crc, len(packed), size) + packed
    central = b"".join(central_record(b"zeros%03d.bin" % i, 8, crc, len(packed), size, 0)
                       for i in range(entries))
    open(path, "wb").write(body + central + end_record(entries, len(central), len(body)))


def overlap_quoted(path):
    """good.txt, then a stored entry whose data is the next entry's local header and data:
    the overlap quoted inside an entry, as the bombs that differ entry by entry are made."""
    good = local_header(b"good.txt", 0, zlib.crc32(GOOD), len(GOOD), len(GOOD)) + GOOD
    inner_data = b"inner data\n"
    inner = local_header(b"inner.txt", 0, zlib.crc32(inner_data), len(inner_data),
                         len(inner_data)) + inner_data
    outer = local_header(b"outer.bin", 0, zlib.crc32(inner), len(inner), len(inner))
    central = (central_record(b"good.txt", 0, zlib.crc32(GOOD), len(GOOD), len(GOOD), 0) +
               central_record(b"outer.bin", 0, zlib.crc32(inner), len(inner), len(inner),
                              len(good)) +
               central_record(b"inner.txt", 0, zlib.crc32(inner_data), len(inner_data),
                              len(inner_data), len(good) + len(outer)))
    body = good + outer + inner
    open(path, "wb").write(body + central + end_record(3, len(central), len(body)))


def main():
    folder, outside = sys.argv[1], sys.argv[2].rstrip("/")
    p = lambda name: os.path.join(folder, name)

    # Truncated: the second half of a deflated entry is missing.
    zip_with(p("truncated.zip"), [("good.txt", GOOD), ("big.bin", os.urandom(60000))])
    whole = open(p("truncated.zip"), "rb").read()
    open(p("truncated.zip"), "wb").write(whole[: len(whole) // 2])

    stored_zip_bad_crc(p("badcrc.zip"))

    # "..\" in LHA's own separator, and "../" in a ZIP and a tar.
    open(p("dotdot.lzh"), "wb").write(lzh_level0(
        [(b"good.txt", GOOD), (b"..\\escaped-lzh.txt", b"bad\n"),
         (b"sub\\..\\..\\escaped-lzh2.txt", b"bad\n")]))
    zip_with(p("dotdot.zip"), [("good.txt", GOOD), ("..\\escaped-zip.txt", b"bad\n"),
                               ("../escaped-zip2.txt", b"bad\n")])
    tar_with(p("dotdot.tar"), [("good.txt", "file", GOOD),
                               ("../escaped-tar.txt", "file", b"bad\n")])

    # Absolute names: a Linux path (drive Z: under Wine) and a Windows drive.
    tar_with(p("absolute.tar"), [("good.txt", "file", GOOD),
                                 (outside + "/escaped-abs.txt", "file", b"bad\n")])
    zip_with(p("absolute.zip"), [("good.txt", GOOD),
                                 ("C:\\escaped-zibrak-abs.txt", b"bad\n"),
                                 ("\\escaped-zibrak-root.txt", b"bad\n")])

    # Links that lead out, and a file written through a link made earlier.
    tar_with(p("links.tgz"), [
        ("good.txt", "file", GOOD),
        ("up", "symlink", "../.."),
        ("up/escaped-link.txt", "file", b"bad\n"),
        ("out", "symlink", outside),
        ("out/escaped-link2.txt", "file", b"bad\n"),
        ("secret-copy.txt", "hardlink", outside + "/secret.txt"),
        ("secret-copy2.txt", "hardlink", "../../secret.txt"),
    ], mode="w:gz")

    # A gzip bomb of modest size: 64 MiB of zeros in a tar.gz of about 64 KiB.
    with tarfile.open(p("bomb.tgz"), "w:gz", compresslevel=1,
                      format=tarfile.GNU_FORMAT) as t:
        info = tarfile.TarInfo("zeros.bin")
        info.size = 64 << 20
        info.mtime = 1577836800
        t.addfile(info, io.BytesIO(bytes(info.size)))
    lying_size_zip(p("lying.zip"), 32 << 20)
    overlap_bomb(p("overlap.zip"))
    overlap_quoted(p("overlap-quoted.zip"))
    zipfile.ZipFile(p("empty.zip"), "w").close()  # the end record alone


if __name__ == "__main__":
    main()
