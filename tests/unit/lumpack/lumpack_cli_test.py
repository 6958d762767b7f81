#!/usr/bin/env python3
"""lumpack end to end, and the package format against another zlib.

Packages lumpack writes are taken apart here from the layout tables and
their streams expanded with Python's zlib; packages written here from the
same tables are listed, verified and extracted by lumpack.

usage: lumpack_cli_test.py LUMPACK [EMULATOR...]
"""
import json
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from package_layout import parse_package, write_package  # noqa: E402

LUMPACK = []
# Under an emulator (Wine), absolute paths are handed over as drive Z: paths.
WINDOWS = False
EPOCH_TICKS = 116444736000000000  # 1970-01-01 as FILETIME


def native(arg):
    arg = str(arg)
    if WINDOWS and arg.startswith("/"):
        return "Z:" + arg.replace("/", "\\")
    return arg


def run(*args, source_date=None):
    # SOURCE_DATE_EPOCH only where a test sets it, whatever the caller's is.
    env = {k: v for k, v in os.environ.items() if k != "SOURCE_DATE_EPOCH"}
    if source_date is not None:
        env["SOURCE_DATE_EPOCH"] = source_date
    p = subprocess.run(LUMPACK + [native(a) for a in args], capture_output=True, text=True, env=env)
    return p.returncode, p.stdout, p.stderr


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def write_bytes(path, data):
    with open(path, "wb") as f:
        f.write(data)


def filetime_of(path):
    return os.stat(path).st_mtime_ns // 100 + EPOCH_TICKS


def project_version():
    """The version the top CMakeLists.txt gives the project (and lumpack)."""
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "CMakeLists.txt")) as f:
        return re.search(r"project\(\S+ VERSION (\S+)", f.read()).group(1)


def mixed(size, seed):
    rng = random.Random(seed)
    out = bytearray()
    while len(out) < size:
        mode = rng.randrange(3)
        n = rng.randrange(64, 4096)
        if mode == 0:
            out += b"".join(rng.choice([b"lumiro ", b"package ", b"\r\n"]) for _ in range(n // 6))
        elif mode == 1:
            out += bytes(i & 0x3F for i in range(n))
        else:
            out += rng.randbytes(n)
    return bytes(out[:size])


class LumpackTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="lumpack-cli-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def make_tree(self):
        files = {
            "empty.txt": b"",
            "one.bin": b"\x01",
            os.path.join("sub", "a65535.bin"): mixed(65535, 1),
            os.path.join("sub", "a65536.bin"): mixed(65536, 2),
            os.path.join("sub", "deep", "a65537.bin"): mixed(65537, 3),
            os.path.join("sub", "deep", "big.bin"): mixed(300000, 4),
        }
        for rel, data in files.items():
            full = self.path("src", rel)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            write_bytes(full, data)
        return files

    def test_compressed_package_follows_the_layout_and_another_zlib_reads_it(self):
        files = self.make_tree()
        rc, out, err = run("create", "--label", "interop", self.path("p.pkg"), self.path("src"))
        self.assertEqual(0, rc, err)
        data = read_bytes(self.path("p.pkg"))
        p = parse_package(data)
        self.assertEqual((2093, 1, b"interop"), (p["build"], p["compressed"], p["label"]))
        names = [e["name"] for e in p["entries"]]
        self.assertEqual(["empty.txt", "one.bin", "sub\\a65535.bin", "sub\\a65536.bin",
                          "sub\\deep\\a65537.bin", "sub\\deep\\big.bin"], names)
        offset = 256
        for e in p["entries"]:
            content = files[e["name"].replace("\\", os.sep)]
            self.assertEqual((0, 0), (e["kind"], e["reserved"]))
            self.assertEqual(offset, e["offset"])
            self.assertEqual(len(content), e["uncompressed"])
            stream = data[e["offset"]:e["offset"] + e["stored"]]
            self.assertEqual(b"\x78\x9c", stream[:2], "default level")
            z = zlib.decompressobj()
            self.assertEqual(content, z.decompress(stream))
            self.assertTrue(z.eof and not z.unused_data, "the stream ends with the stored bytes")
            created, written = struct.unpack_from("<QQ", e["kind_data"], 0)
            self.assertEqual(filetime_of(self.path("src", e["name"].replace("\\", os.sep))), written)
            self.assertNotEqual(0, created)
            offset += e["stored"]
        self.assertEqual(offset, p["catalog"])

    def test_stored_package_holds_the_bytes_unchanged(self):
        files = self.make_tree()
        rc, _, err = run("create", "--stored", "--dirs", self.path("s.pkg"), self.path("src"))
        self.assertEqual(0, rc, err)
        data = read_bytes(self.path("s.pkg"))
        p = parse_package(data)
        self.assertEqual(0, p["compressed"])
        kinds = [(e["name"], e["kind"]) for e in p["entries"]]
        self.assertLess(kinds.index(("sub", 1)), kinds.index(("sub\\a65535.bin", 0)), "folders before their files")
        self.assertLess(kinds.index(("sub\\deep", 1)), kinds.index(("sub\\deep\\big.bin", 0)))
        for e in p["entries"]:
            if e["kind"] == 0 and e["uncompressed"]:
                self.assertEqual(files[e["name"].replace("\\", os.sep)],
                                 data[e["offset"]:e["offset"] + e["stored"]])
        rc, _, err = run("extract", self.path("s.pkg"), self.path("out"))
        self.assertEqual(0, rc, err)
        for rel, content in files.items():
            self.assertEqual(content, read_bytes(self.path("out", rel)))

    def test_a_package_written_from_the_tables_is_listed_verified_and_extracted(self):
        content = mixed(150000, 9)
        when = (EPOCH_TICKS + 10**7 * 1_000_000_000, EPOCH_TICKS + 10**7 * 1_234_567_890)
        write_package(self.path("py.pkg"), [
            ("Programs", 1, None, None, 0),
            ("Programs\\Reader.exe", 0, content, when, 0x0004000300020001),
            ("Programs\\tiny.txt", 0, b"tiny", when, 0),
        ], label=b"from python")
        rc, out, err = run("list", self.path("py.pkg"), "--json")
        self.assertEqual(0, rc, err)
        listing = json.loads(out)
        self.assertEqual(("from python", 2093, True), (listing["label"], listing["build"], listing["compressed"]))
        reader = listing["entries"][1]
        self.assertEqual({"index": 1, "name": "Programs\\Reader.exe", "kind": 0, "kindName": "File",
                          "uncompressedSize": 150000, "dataOffset": 256, "creationTime": when[0],
                          "lastWriteTime": when[1], "version": "4.3.2.1"},
                         {k: v for k, v in reader.items() if k != "storedSize"})
        self.assertEqual((None, "Directory"), (listing["entries"][0]["version"], listing["entries"][0]["kindName"]))

        rc, out, err = run("list", self.path("py.pkg"))
        self.assertEqual(0, rc, err)
        self.assertIn("4.3.2.1", out)
        self.assertIn("2009-02-13 23:31:30", out)
        self.assertEqual(0, run("verify", self.path("py.pkg"))[0])

        rc, _, err = run("extract", self.path("py.pkg"), self.path("out"))
        self.assertEqual(0, rc, err)
        extracted = self.path("out", "Programs", "Reader.exe")
        self.assertEqual(content, read_bytes(extracted))
        self.assertEqual(when[1], filetime_of(extracted))

    def test_names_in_any_language_are_packed_listed_and_extracted_unchanged(self):
        names = ["\u8bf4\u660e.txt", os.path.join("\u039f\u03b4\u03b7\u03b3\u03af\u03b5\u03c2", "\u03bf\u03b4\u03b7\u03b3\u03cc\u03c2.txt"),
                 "\u0141\u00f3d\u017a.txt", "\U0001f3ac.txt"]
        for i, name in enumerate(names):
            full = self.path("src", name)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            write_bytes(full, name.encode() * (i + 1))
        rc, _, err = run("create", self.path("names.pkg"), self.path("src"))
        self.assertEqual(0, rc, err)
        listed = {e["name"] for e in json.loads(run("list", self.path("names.pkg"), "--json")[1])["entries"]}
        self.assertEqual({n.replace(os.sep, "\\") for n in names}, listed)
        rc, out, err = run("list", self.path("names.pkg"))
        self.assertEqual(0, rc, err)
        self.assertIn("\u8bf4\u660e.txt", out)
        rc, _, err = run("extract", self.path("names.pkg"), self.path("out"))
        self.assertEqual(0, rc, err)
        for i, name in enumerate(names):
            self.assertEqual(name.encode() * (i + 1), read_bytes(self.path("out", name)), name)

    def test_extract_refuses_names_that_would_leave_the_folder(self):
        hostile = ["..\\evil.txt", "sub\\..\\..\\up.txt", "\\root.txt", "/root.txt", "C:\\drive.txt",
                   "file.txt:stream", "sub\\.. \\dots.txt"]
        write_package(self.path("bad.pkg"), [(n, 0, b"x", (0, 0), 0) for n in hostile] +
                      [("ok\\fine.txt", 0, b"fine", (0, 0), 0)])
        rc, _, err = run("extract", self.path("bad.pkg"), self.path("inner", "out"))
        self.assertEqual(1, rc)
        self.assertEqual(len(hostile), err.count("refused"), err)
        written = [os.path.relpath(os.path.join(root, f), self.dir)
                   for root, _, fs in os.walk(self.dir) for f in fs]
        self.assertEqual(sorted(["bad.pkg", os.path.join("inner", "out", "ok", "fine.txt")]), sorted(written))

    def test_extract_refuses_to_write_through_a_link_planted_in_the_folder(self):
        outside = self.path("outside")
        out = self.path("out")
        os.makedirs(outside)
        os.makedirs(out)
        write_bytes(os.path.join(outside, "victim.txt"), b"victim")
        os.symlink(outside, os.path.join(out, "sub"))
        os.symlink(os.path.join(outside, "victim.txt"), os.path.join(out, "victim.txt"))
        write_package(self.path("p.pkg"), [("sub\\evil.txt", 0, b"evil", (0, 0), 0),
                                           ("sub/deeper\\evil.txt", 0, b"evil", (0, 0), 0),
                                           ("victim.txt", 0, b"evil", (0, 0), 0),
                                           ("fine.txt", 0, b"fine", (0, 0), 0)])
        rc, _, err = run("extract", self.path("p.pkg"), out)
        self.assertEqual(1, rc)
        # Wine shows a link to a file as a plain file: there the entry
        # replaces the link itself (a rename never follows it).
        refused = ["sub\\evil.txt", "sub/deeper\\evil.txt"] + ([] if WINDOWS else ["victim.txt"])
        self.assertEqual(len(refused), err.count("is a symbolic link or junction"), err)
        for name in refused:
            self.assertIn('"%s" refused' % name, err)
        self.assertEqual(["victim.txt"], os.listdir(outside))
        self.assertEqual(b"victim", read_bytes(os.path.join(outside, "victim.txt")))
        self.assertEqual(b"fine", read_bytes(os.path.join(out, "fine.txt")))

    def test_a_failed_move_reports_its_own_reason(self):
        # A folder where the file should go, not empty, so no rename can
        # replace it; a temporary file left by an earlier run is found (and
        # reported as such by the system) before.
        os.makedirs(self.path("out", "a", "inside"))
        write_bytes(self.path("out", "a.lumpack-part"), b"left over")
        write_package(self.path("p.pkg"), [("a", 0, b"a", (0, 0), 0)])
        rc, _, err = run("extract", self.path("p.pkg"), self.path("out"))
        self.assertEqual(1, rc)
        self.assertIn("denied", err.lower())
        self.assertEqual(["a", "a.lumpack-part"], sorted(os.listdir(self.path("out"))))
        self.assertEqual(b"left over", read_bytes(self.path("out", "a.lumpack-part")), "not lumpack's to delete")

    def test_temporary_files_are_lumpacks_own_and_nothing_else_is_removed(self):
        os.makedirs(self.path("out"))
        write_bytes(self.path("out", "Keep.txt.lumpack-part"), b"a person's own")
        write_package(self.path("p.pkg"), [("x.lumpack-part", 0, b"an entry", (0, 0), 0), ("x", 0, b"x", (0, 0), 0),
                                           ("Keep.txt", 0, b"keep", (0, 0), 0)])
        rc, _, err = run("extract", self.path("p.pkg"), self.path("out"))
        self.assertEqual(0, rc, err)
        self.assertEqual({"x.lumpack-part": b"an entry", "x": b"x", "Keep.txt": b"keep",
                          "Keep.txt.lumpack-part": b"a person's own"},
                         {n: read_bytes(self.path("out", n)) for n in os.listdir(self.path("out"))})

    def test_sizes_that_disagree_with_the_record_are_damaged_and_never_written(self):
        # (name, compressed, bytes packed, recorded uncompressed size)
        cases = [("zero-of-a-stream", True, mixed(200 * 1024, 5), 0),
                 ("zero-of-stored", False, mixed(1000, 6), 0),
                 ("ten-of-stored", False, mixed(1000, 7), 10),
                 ("ReaderRes.dll", False, mixed(102400, 8), 204800)]
        for name, compressed, data, recorded in cases:
            with self.subTest(name):
                pkg = self.path(name + ".pkg")
                write_package(pkg, [(name, 0, data, (0, 0), 0)], compressed=compressed, recorded_sizes={0: recorded})
                rc, out, err = run("verify", pkg)
                self.assertEqual(1, rc, out)
                self.assertIn('entry 0 "%s"' % name, out)
                out_dir = self.path("out-" + name)
                rc, _, err = run("extract", pkg, out_dir)
                self.assertEqual(1, rc, err)
                self.assertIn("corrupt", err.lower())
                self.assertEqual([], os.listdir(out_dir))

    def test_control_characters_and_trailing_dots_or_spaces_are_refused_and_never_printed_raw(self):
        names = ["a\u009bb", "a\u0085", "a.txt.", "a.txt ", "a.txt. . ", "sub.\\in.txt"]
        write_package(self.path("p.pkg"), [(n, 0, b"x", (0, 0), 0) for n in names] + [("ok", 0, b"ok", (0, 0), 0)])
        rc, out, err = run("list", self.path("p.pkg"))
        self.assertEqual(0, rc, err)
        self.assertIn("a?b", out)
        self.assertNotIn("\u009b", out)
        rc, out, err = run("list", self.path("p.pkg"), "--json")
        self.assertEqual(0, rc, err)
        self.assertIn('"a\\u009bb"', out)
        self.assertEqual(names[0], json.loads(out)["entries"][0]["name"])
        rc, _, err = run("extract", self.path("p.pkg"), self.path("out"))
        self.assertEqual(1, rc)
        self.assertEqual(len(names), err.count("refused"), err)
        self.assertEqual(["ok"], os.listdir(self.path("out")))
        if not WINDOWS:
            # Only a POSIX file system holds such names for create to meet.
            for bad in ["a.txt.", "b ", "c\u009b"]:
                with self.subTest(bad):
                    shutil.rmtree(self.path("src"), ignore_errors=True)
                    os.makedirs(self.path("src"))
                    write_bytes(self.path("src", "fine.txt"), b"fine")
                    write_bytes(self.path("src", bad), b"bad")
                    rc, _, err = run("create", self.path("c.pkg"), self.path("src"))
                    self.assertEqual(1, rc)
                    self.assertIn("not packed", err)
                    self.assertFalse(os.path.exists(self.path("c.pkg")))

    def test_verify_names_each_damaged_entry(self):
        write_package(self.path("v.pkg"), [("a", 0, mixed(5000, 1), (0, 0), 0), ("b", 0, mixed(5000, 2), (0, 0), 0),
                                           ("c", 0, mixed(5000, 3), (0, 0), 0)])
        data = bytearray(read_bytes(self.path("v.pkg")))
        p = parse_package(bytes(data))
        b = p["entries"][1]
        data[b["offset"] + b["stored"] - 1] ^= 0x40  # its Adler-32
        c_record = p["catalog"] + 68 + 2 * 3084
        struct.pack_into("<I", data, c_record + 3076, p["entries"][2]["uncompressed"] + 1)
        write_bytes(self.path("v.pkg"), data)
        rc, out, err = run("verify", self.path("v.pkg"))
        self.assertEqual(1, rc)
        lines = out.strip().splitlines()
        self.assertEqual(2, len(lines), out)
        self.assertIn('entry 1 "b"', lines[0])
        self.assertIn('entry 2 "c"', lines[1])
        self.assertIn("2 of 3", err)

    def test_verify_finds_one_byte_changed_in_the_catalog_or_the_data_by_the_packages_own_check(self):
        os.makedirs(self.path("src"))
        write_bytes(self.path("src", "readme.txt"), b"read me first\r\n" * 40)
        for storage in ((), ("--stored",)):
            pkg = self.path("p%d.pkg" % len(storage))
            self.assertEqual(0, run("create", *storage, pkg, self.path("src"))[0])
            original = read_bytes(pkg)
            p = parse_package(original)
            self.assertEqual("intact", p["check"])
            rc, out, _ = run("verify", pkg)
            self.assertEqual(0, rc, out)
            self.assertIn("its own check (SHA-256 of every byte) holds", out)
            record = p["catalog"] + 68
            entry = p["entries"][0]
            changes = {"the name (readme.txt as seadme.txt)": (record, ord("s")),
                       "the last-write time": (record + 2052 + 8 + 5, original[record + 2052 + 8 + 5] ^ 1),
                       "the version": (record + 2052 + 16, original[record + 2052 + 16] ^ 1),
                       "a byte of the data": (entry["offset"] + 7, original[entry["offset"] + 7] ^ 0x20)}
            for what, (offset, value) in changes.items():
                with self.subTest(what, stored=bool(storage)):
                    changed = bytearray(original)
                    changed[offset] = value
                    write_bytes(pkg, changed)
                    rc, out, err = run("verify", pkg)
                    self.assertEqual(1, rc, out)
                    self.assertIn("its bytes are not those its own check (SHA-256) was made over", out)
                    self.assertIn("its own check does not hold", err)
            # A package of an older packer: zeros where the check goes. It
            # still verifies, and says what could not be checked.
            older = bytearray(original)
            older[28:64] = bytes(36)
            write_bytes(pkg, older)
            rc, out, _ = run("verify", pkg)
            self.assertEqual(0, rc, out)
            self.assertIn("it carries no check of its own (an older package)", out)
            self.assertIn("Check:      none", run("list", pkg)[1])
            self.assertEqual(0, json.loads(run("list", pkg, "--json")[1])["checkKind"])
            write_bytes(pkg, original)
            self.assertIn("Check:      SHA-256", run("list", pkg)[1])

    def test_append_adds_after_the_old_entries(self):
        files = self.make_tree()
        self.assertEqual(0, run("create", self.path("p.pkg"), self.path("src", "sub", "deep"))[0])
        os.makedirs(self.path("more"))
        write_bytes(self.path("more", "new.txt"), b"new")
        rc, out, err = run("append", self.path("p.pkg"), self.path("more"))
        self.assertEqual(0, rc, err)
        p = parse_package(read_bytes(self.path("p.pkg")))
        self.assertEqual(["a65537.bin", "big.bin", "new.txt"], [e["name"] for e in p["entries"]])
        self.assertEqual(0, run("verify", self.path("p.pkg"))[0])
        rc, _, err = run("extract", self.path("p.pkg"), self.path("out"), "NEW.TXT")
        self.assertEqual(0, rc, err)
        self.assertEqual(["new.txt"], os.listdir(self.path("out")))

    def test_version_and_help_are_printed_on_standard_output(self):
        rc, out, err = run("--version")
        self.assertEqual((0, ""), (rc, err))
        self.assertEqual("lumpack %s\nwrites packages of build 2093\n" % project_version(), out)
        for flag in ("--help", "-h", "help"):
            with self.subTest(flag):
                rc, out, err = run(flag)
                self.assertEqual((0, ""), (rc, err))
                for word in ("lumpack create", "append", "list", "verify", "extract", "--version", "SOURCE_DATE_EPOCH"):
                    self.assertIn(word, out)

    def test_source_date_epoch_is_the_latest_time_create_and_append_record(self):
        epoch = 1_600_000_000
        limit = EPOCH_TICKS + epoch * 10**7
        old = EPOCH_TICKS + 1_000_000_000 * 10**7
        os.makedirs(self.path("src"))
        os.makedirs(self.path("more"))
        for name in ("new.txt", "old.txt"):
            write_bytes(self.path("src", name), name.encode())
        write_bytes(self.path("more", "later.txt"), b"later")
        os.utime(self.path("src", "old.txt"), (1_000_000_000, 1_000_000_000))
        self.assertEqual(0, run("create", self.path("p.pkg"), self.path("src"), source_date=str(epoch))[0])
        self.assertEqual(0, run("append", self.path("p.pkg"), self.path("more"), source_date=str(epoch))[0])
        times = {e["name"]: struct.unpack_from("<QQ", e["kind_data"], 0)
                 for e in parse_package(read_bytes(self.path("p.pkg")))["entries"]}
        self.assertEqual((limit, limit), times["new.txt"], "written now: both times clamped")
        self.assertEqual((limit, limit), times["later.txt"], "append clamps as create does")
        self.assertEqual(old, times["old.txt"][1], "an earlier time stays")
        self.assertLessEqual(times["old.txt"][0], limit)

    def test_with_source_date_epoch_touched_files_make_the_same_package(self):
        self.make_tree()
        made = []
        for n, touched in enumerate((1_700_000_000, 1_800_000_000)):
            for root, _, files in os.walk(self.path("src")):
                for f in files:
                    os.utime(os.path.join(root, f), (touched, touched))
            pkg = self.path("p%d.pkg" % n)
            self.assertEqual(0, run("create", "--dirs", pkg, self.path("src"), source_date="1600000000")[0])
            made.append(read_bytes(pkg))
        self.assertEqual(made[0], made[1])

    def test_a_source_date_epoch_that_is_no_time_is_refused_before_anything_is_made(self):
        os.makedirs(self.path("src"))
        write_bytes(self.path("src", "a.txt"), b"a")
        write_package(self.path("keep.pkg"), [("x", 0, b"x", (0, 0), 0)])
        before = read_bytes(self.path("keep.pkg"))
        for value in ("yesterday", "-5", "1.5"):
            with self.subTest(value):
                rc, _, err = run("create", self.path("new.pkg"), self.path("src"), source_date=value)
                self.assertEqual(1, rc)
                self.assertIn("SOURCE_DATE_EPOCH=" + value, err)
                self.assertFalse(os.path.exists(self.path("new.pkg")))
                rc, _, err = run("append", self.path("keep.pkg"), self.path("src"), source_date=value)
                self.assertEqual(1, rc)
                self.assertEqual(before, read_bytes(self.path("keep.pkg")))

    def test_exit_statuses_and_messages(self):
        self.assertEqual(2, run()[0])
        self.assertEqual(2, run("frobnicate")[0])
        self.assertEqual(2, run("list")[0])
        self.assertEqual(2, run("create", "--bogus", "a", "b")[0])
        self.assertEqual(2, run("create", "--label")[0])
        rc, out, err = run("list", self.path("missing.pkg"))
        self.assertEqual(1, rc)
        self.assertEqual(1, len(err.strip().splitlines()))
        self.assertIn("missing.pkg", err)
        write_bytes(self.path("junk.pkg"), b"x" * 400)
        rc, _, err = run("verify", self.path("junk.pkg"))
        self.assertEqual(1, rc)
        self.assertIn("corrupt", err)
        os.makedirs(self.path("src"))
        rc, _, err = run("create", self.path("junk.pkg"), self.path("src"))
        self.assertEqual(1, rc, "an existing file is not overwritten")
        self.assertEqual(b"x" * 400, read_bytes(self.path("junk.pkg")))
        write_package(self.path("p.pkg"), [("a", 0, b"a", (0, 0), 0)])
        rc, _, err = run("extract", self.path("p.pkg"), self.path("out"), "nothere")
        self.assertEqual(1, rc)
        self.assertIn("nothere", err)


if __name__ == "__main__":
    LUMPACK = sys.argv[2:] + sys.argv[1:2]
    WINDOWS = len(sys.argv) > 2
    unittest.main(argv=sys.argv[:1], verbosity=1)
