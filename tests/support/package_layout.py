#!/usr/bin/env python3
"""The package file layout, written and read byte by byte from its tables,
for tests that need packages no packer of ours would make.

As a program it writes one package from a JSON description on standard
input:

  package_layout.py OUT.pkg <<'JSON'
  {"compressed": true,
   "entries": [{"name": "Programs\\\\a.txt", "text": "contents"},
               {"name": "big.bin", "file": "/path/to/data", "size": 0},
               {"name": "Help", "kind": 1}]}
  JSON

An entry takes its data from "text" or "file" (none: an entry without
data); "size" records another uncompressed size than the data's own, and
"times" the creation and last-write FILETIMEs.
"""
import json
import struct
import sys
import zlib

SIGNATURE = bytes.fromhex("F6CC51F05387D211965300AA00ACC8DB")
HEADER_SIZE = 256
RECORD_SIZE = 3084
CATALOG_HEAD = 68


def parse_package(data):
    """The header and catalog of a package, read by the layout tables."""
    assert data[:16] == SIGNATURE, "signature"
    catalog, build, compressed = struct.unpack_from("<IiI", data, 16)
    assert data[28:256] == bytes(228), "reserved header bytes are zero"
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
    return dict(catalog=catalog, build=build, compressed=compressed, label=label, entries=entries)


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


def write_package(path, entries, compressed=True, label=b"", build=2093, recorded_sizes=None):
    """entries: (name, kind, data or None, times, version); recorded_sizes
    maps an entry's index to the uncompressed size its record is to claim."""
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
    with open(path, "wb") as f:
        f.write(bytes(header) + bytes(body) + head + b"".join(records))


# 2020-01-01 as a FILETIME: a time every written file can be told by.
SAMPLE_TIME = 132223104000000000


def main():
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
    write_package(sys.argv[1], entries, compressed=spec.get("compressed", True), recorded_sizes=sizes)


if __name__ == "__main__":
    main()
