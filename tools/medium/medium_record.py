#!/usr/bin/env python3
"""medium_record.py: the record of the medium's packages in setup.exe.

usage: medium_record.py SETUP.EXE PACKAGE...   records the packages in SETUP.EXE
       medium_record.py --show SETUP.EXE       prints what SETUP.EXE records

setup.exe carries a section of its own, ".medium" (src/run/MediumRecord.h),
that a build leaves empty: the mark "LUMIRO-MEDIUM-01", a count of 0 and
zeros. Before setup.exe is signed, the medium command writes into it each
package's name, size and SHA-256, and sets the image checksum anew; the
signature made afterwards covers the record, and through it every package.
setup.exe checks each package it installs from against it before it
changes anything.
"""
import hashlib
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pe_image import PeImage, image_checksum  # noqa: E402

SECTION = ".medium"
MARK = b"LUMIRO-MEDIUM-01"
SIZE = 512
HEAD = 32
ENTRY = 64
MAXIMUM = (SIZE - HEAD) // ENTRY


def sha256_of(path):
    """The file's SHA-256, as 64 hexadecimal digits."""
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def record_bytes(packages):
    """The record of the packages, each (name, size, SHA-256 digest)."""
    if len(packages) > MAXIMUM:
        raise ValueError("at most %d packages fit in the record" % MAXIMUM)
    out = bytearray(SIZE)
    out[:16] = MARK
    struct.pack_into("<I", out, 16, len(packages))
    for i, (name, size, digest) in enumerate(packages):
        encoded = name.encode("ascii")
        if not 0 < len(encoded) < 16:
            raise ValueError("%s: a package name of 1 to 15 ASCII characters" % name)
        at = HEAD + ENTRY * i
        out[at:at + len(encoded)] = encoded
        struct.pack_into("<Q", out, at + 16, size)
        out[at + 32:at + 64] = digest
    return bytes(out)


def _record_place(data):
    image = PeImage(data)
    offset, size = image.section(SECTION)
    if size < SIZE or data[offset:offset + 16] != MARK:
        raise ValueError("the %s section holds no record of this setup's kind" % SECTION)
    return image, offset


def with_record(data, packages):
    """setup.exe's bytes with the record of the packages and its checksum set."""
    image, offset = _record_place(data)
    if struct.unpack_from("<I", data, offset + 16)[0] != 0:
        raise ValueError("setup.exe records packages already")
    out = bytearray(data)
    out[offset:offset + SIZE] = record_bytes(packages)
    struct.pack_into("<I", out, image.checksum_offset, image_checksum(out, image.checksum_offset))
    return bytes(out)


def read_record(data):
    """The packages a setup.exe's bytes record: (name, size, hex SHA-256)."""
    _, offset = _record_place(data)
    count = struct.unpack_from("<I", data, offset + 16)[0]
    packages = []
    for i in range(count):
        at = offset + HEAD + ENTRY * i
        name = data[at:at + 16].split(b"\0")[0].decode("ascii")
        size = struct.unpack_from("<Q", data, at + 16)[0]
        packages.append((name, size, data[at + 32:at + 64].hex()))
    return packages


def record_packages(setup, paths):
    """Writes the record of the package files into the setup.exe file."""
    packages = [(os.path.basename(p), os.path.getsize(p), bytes.fromhex(sha256_of(p))) for p in paths]
    with open(setup, "rb") as f:
        data = f.read()
    data = with_record(data, packages)
    with open(setup, "wb") as f:
        f.write(data)


def main(argv):
    try:
        if argv[:1] == ["--show"] and len(argv) == 2:
            with open(argv[1], "rb") as f:
                for name, size, digest in read_record(f.read()):
                    print("%s  %s  (%d bytes)" % (digest, name, size))
            return 0
        if len(argv) >= 2 and not argv[0].startswith("-"):
            record_packages(argv[0], argv[1:])
            return 0
    except (OSError, ValueError) as e:
        print("medium_record: %s" % e, file=sys.stderr)
        return 1
    print(__doc__.split("\n\n")[0].split("\n", 1)[1], file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
