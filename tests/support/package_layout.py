#!/usr/bin/env python3
"""The package file layout, written and read byte by byte from its tables,
for tests that need packages no packer of ours would make.

As a program it writes one package from a JSON description on standard
input, or changes one byte of a package (--damage, below):

  package_layout.py OUT.pkg <<'JSON'
  {"compressed": true,
   "entries": [{"name": "Programs\\\\a.txt", "text": "contents"},
               {"name": "big.bin", "file": "/path/to/data", "size": 0},
               {"name": "Help", "kind": 1}]}
  JSON

An entry takes its data from "text" or "file" (none: an entry without
data); "size" records another uncompressed size than the data's own, and
"times" the creation and last-write FILETIMEs. With "sealed": true the
package carries the check over its own bytes that lumpack writes (kind 1
and the SHA-256 of every byte but the check's 36 at offset 28); without it,
zeros there, as a package of an older packer.

  package_layout.py --damage name|time|version|data PACKAGE

changes one byte of the package's first File entry in place: the first
letter of its name (to the next letter: readme.txt becomes seadme.txt), its
last-write time (a day later), its version (one build off) or a byte of its
data.
"""
import hashlib
import json
import struct
import sys
import zlib

SIGNATURE = bytes.fromhex("F6CC51F05387D211965300AA00ACC8DB")
HEADER_SIZE = 256
RECORD_SIZE = 3084
CATALOG_HEAD = 68
CHECK_OFFSET = 28
CHECK_SIZE = 36


def own_digest(data):
    """The SHA-256 a package's own check is made over: every byte but the
    check's 36."""
    return hashlib.sha256(data[:CHECK_OFFSET] + data[CHECK_OFFSET + CHECK_SIZE:]).digest()


def seal(data):
    """The package's bytes with its own check written into them."""
    return data[:CHECK_OFFSET] + struct.pack("<I", 1) + own_digest(data) + data[CHECK_OFFSET + CHECK_SIZE:]


def check_state(data):
    """"none" (zeros), "intact" or "damaged", as lumpack and the setup judge
    the check."""
    area = data[CHECK_OFFSET:CHECK_OFFSET + CHECK_SIZE]
    if area == bytes(CHECK_SIZE):
        return "none"
    return "intact" if area == struct.pack("<I", 1) + own_digest(data) else "damaged"


def parse_package(data):
    """The header and catalog of a package, read by the layout tables."""
    assert data[:16] == SIGNATURE, "signature"
    catalog, build, compressed = struct.unpack_from("<IiI", data, 16)
    assert check_state(data) != "damaged", "the package's own check holds, or it carries none"
    assert data[64:256] == bytes(192), "reserved header bytes are zero"
    count, = struct.unpack_from("<i", data, catalog)
    label = data[catalog + 4:catalog + CATALOG_HEAD].split(b"\0")[0]
    assert len(data) == catalog + CATALOG_HEAD + RECORD_SIZE * count, "the catalog ends the file"
    entries = []
    for i in range(count):
        r = catalog + CATALOG_HEAD + RECORD_SIZE * i
        name = data[r:r + 2048].decode("utf-16-le").split("\0")[0]
        kind, = struct.unpack_from("<i", data, r + 2048)
        kind_data = data[r + 2052:r + 3068]
        reserved, stored, uncompressed, offset = struct.unpack_from("<4I", data, r + 3068)
        entries.append(dict(name=name, kind=kind, kind_data=kind_data, reserved=reserved, stored=stored,
                            uncompressed=uncompressed, offset=offset))
    return dict(catalog=catalog, build=build, compressed=compressed, label=label, entries=entries,
                check=check_state(data))


def record(name, kind, stored, uncompressed, offset, times=(0, 0), version=0):
    r = bytearray(RECORD_SIZE)
    encoded = name.encode("utf-16-le")
    r[:len(encoded)] = encoded
    struct.pack_into("<i", r, 2048, kind)
    if kind == 0:
        # Creation and last-write FILETIMEs, then dwVersionLS and dwVersionMS,
        # which read as one little-endian 64-bit version with MS high.
        struct.pack_into("<QQQ", r, 2052, times[0], times[1], version)
    struct.pack_into("<3I", r, 3072, stored, uncompressed, offset)
    return bytes(r)


def write_package(path, entries, compressed=True, label=b"", build=2093, recorded_sizes=None, sealed=False):
    """entries: (name, kind, data or None, times, version); recorded_sizes
    maps an entry's index to the uncompressed size its record is to claim;
    sealed writes the package's own check."""
    body = bytearray()
    records = []
    for index, (name, kind, data, times, version) in enumerate(entries):
        if data is None:
            records.append(record(name, kind, 0, 0, 0))
            continue
        stored = zlib.compress(data, 9) if compressed else data
        size = (recorded_sizes or {}).get(index, len(data))
        records.append(record(name, kind, len(stored), size, HEADER_SIZE + len(body), times or (0, 0), version))
        body += stored
    header = bytearray(HEADER_SIZE)
    header[:16] = SIGNATURE
    struct.pack_into("<IiI", header, 16, HEADER_SIZE + len(body), build, 1 if compressed else 0)
    head = struct.pack("<i", len(records)) + label.ljust(64, b"\0")
    data = bytes(header) + bytes(body) + head + b"".join(records)
    with open(path, "wb") as f:
        f.write(seal(data) if sealed else data)


# 2020-01-01 as a FILETIME: a time every written file can be told by.
SAMPLE_TIME = 132223104000000000


def damage(data, what):
    """The package's bytes with one byte of its first File entry changed."""
    p = parse_package(data) if check_state(data) != "damaged" else None
    assert p is not None, "an intact package to damage"
    index = next(i for i, e in enumerate(p["entries"]) if e["kind"] == 0)
    entry = p["entries"][index]
    record = p["catalog"] + CATALOG_HEAD + RECORD_SIZE * index
    out = bytearray(data)
    if what == "name":
        out[record] += 1
    elif what == "time":
        # The last-write FILETIME's byte 5: 2^40 ticks, about 30 hours later.
        out[record + 2052 + 8 + 5] += 1
    elif what == "version":
        # dwVersionLS's third byte: the low byte of the third part, the
        # build (2093 becomes 2092).
        out[record + 2052 + 16 + 2] ^= 1
    elif what == "data":
        out[entry["offset"] + entry["stored"] // 2] ^= 0x10
    else:
        raise ValueError(what)
    return bytes(out)


def main():
    if sys.argv[1] == "--damage":
        with open(sys.argv[3], "rb") as f:
            data = f.read()
        with open(sys.argv[3], "wb") as f:
            f.write(damage(data, sys.argv[2]))
        return
    spec = json.load(sys.stdin)
    entries = []
    sizes = {}
    for index, e in enumerate(spec["entries"]):
        data = None
        if "text" in e:
            data = e["text"].encode("latin-1")
        elif "file" in e:
            with open(e["file"], "rb") as f:
                data = f.read()
        if "size" in e:
            sizes[index] = e["size"]
        times = tuple(e.get("times", (SAMPLE_TIME, SAMPLE_TIME)))
        entries.append((e["name"], e.get("kind", 0), data, times, e.get("version", 0)))
    write_package(sys.argv[1], entries, compressed=spec.get("compressed", True), recorded_sizes=sizes,
                  sealed=spec.get("sealed", False))


if __name__ == "__main__":
    main()
