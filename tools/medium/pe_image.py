"""What the medium needs to know of setup.exe: its machine, the file
version of its version resource (the version the setup records as
DisplayVersion in Windows' list of programs), where a section's bytes lie,
and the image checksum.

Every offset and size is read from the file and checked before use; a file
that is no PE image, or holds no version resource, raises ValueError.
"""
import struct

MACHINES = {0x8664: "x64", 0x014C: "x86"}
RT_VERSION = 16
FIXED_INFO_SIGNATURE = 0xFEEF04BD


def _u16(data, at):
    if at < 0 or at + 2 > len(data):
        raise ValueError("cut short at offset %d" % at)
    return struct.unpack_from("<H", data, at)[0]


def _u32(data, at):
    if at < 0 or at + 4 > len(data):
        raise ValueError("cut short at offset %d" % at)
    return struct.unpack_from("<I", data, at)[0]


class PeImage:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not a Windows program (no MZ header)")
        pe = _u32(data, 0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a Windows program (no PE header)")
        self.machine = _u16(data, pe + 4)
        sections = _u16(data, pe + 6)
        optional_size = _u16(data, pe + 20)
        optional = pe + 24
        magic = _u16(data, optional)
        # The image checksum: 64 bytes into the optional header in both forms.
        self.checksum_offset = optional + 64
        if magic not in (0x10B, 0x20B):
            raise ValueError("unknown optional header 0x%x" % magic)
        count_at = optional + (108 if magic == 0x20B else 92)
        self.directory_count = _u32(data, count_at)
        self.directories = count_at + 4
        table = optional + optional_size
        self.sections = []
        for i in range(sections):
            at = table + 40 * i
            name = data[at:at + 8].rstrip(b"\0").decode("ascii", "replace")
            size, rva, raw_size, raw = (_u32(data, at + 8), _u32(data, at + 12), _u32(data, at + 16),
                                        _u32(data, at + 20))
            self.sections.append((name, rva, max(size, raw_size), raw, raw_size))

    def section(self, name):
        """(file offset, size in the file) of the section of that name."""
        for section_name, _, _, raw, raw_size in self.sections:
            if section_name == name:
                return raw, raw_size
        raise ValueError("no section %s" % name)

    @property
    def architecture(self):
        """winget's name of the machine: x64 or x86."""
        if self.machine not in MACHINES:
            raise ValueError("machine 0x%04x is neither x86_64 nor i686" % self.machine)
        return MACHINES[self.machine]

    def _offset(self, rva, size):
        for _, start, length, raw, raw_size in self.sections:
            if start <= rva and rva + size <= start + min(length, raw_size):
                return raw + rva - start
        raise ValueError("RVA 0x%x (%d bytes) lies in no section" % (rva, size))

    def _first_entry(self, base, directory, wanted_id=None):
        """The offset (from base) the first entry of a resource directory
        points to, or of the entry with wanted_id; and whether it is one."""
        named, ids = _u16(self.data, base + directory + 12), _u16(self.data, base + directory + 14)
        for i in range(named + ids):
            entry = base + directory + 16 + 8 * i
            name, target = _u32(self.data, entry), _u32(self.data, entry + 4)
            if wanted_id is None or (i >= named and name == wanted_id):
                return target & 0x7FFFFFFF, bool(target & 0x80000000)
        return None, False

    def file_version(self):
        """The version resource's file version as "a.b.c.d"."""
        if self.directory_count <= 2:
            raise ValueError("no resource table")
        rva, size = _u32(self.data, self.directories + 16), _u32(self.data, self.directories + 20)
        if size == 0:
            raise ValueError("no resource table")
        base = self._offset(rva, size)
        at, is_directory = self._first_entry(base, 0, RT_VERSION)
        if at is None or not is_directory:
            raise ValueError("no version resource")
        for _ in range(2):  # the resource's name, then its language
            at, is_directory = self._first_entry(base, at)
            if at is None:
                raise ValueError("an empty version resource directory")
        if is_directory:
            raise ValueError("the version resource is nested too deep")
        data_rva, data_size = _u32(self.data, base + at), _u32(self.data, base + at + 4)
        info = self._offset(data_rva, data_size)
        # VS_VERSIONINFO: three 16-bit fields and "VS_VERSION_INFO\0" in
        # UTF-16, padded to 32 bits: the fixed information starts 40 bytes in.
        if data_size < 40 + 52 or self.data[info + 6:info + 36] != "VS_VERSION_INFO".encode("utf-16-le"):
            raise ValueError("the version resource has no VS_VERSION_INFO")
        fixed = info + 40
        if _u32(self.data, fixed) != FIXED_INFO_SIGNATURE:
            raise ValueError("the version resource has no fixed file information")
        ms, ls = _u32(self.data, fixed + 8), _u32(self.data, fixed + 12)
        return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


# The machine names a payload file is told by, as the setup tells them.
KINDS = {0x014C: "32-bit (x86)", 0x8664: "64-bit (x64)"}


def machine_of_file(path):
    """The machine of a file from its PE header: "32-bit (x86)", "64-bit
    (x64)", "machine 0x...." for another processor, or None for a file that
    is no executable image (data, or too short or damaged to tell), as the
    setup judges it."""
    with open(path, "rb") as f:
        head = f.read(4096)
        if len(head) < 0x40 or head[:2] != b"MZ":
            return None
        pe = struct.unpack_from("<I", head, 0x3C)[0]
        if pe < 0x40 or pe > 1024 * 1024:
            return None
        if pe + 6 > len(head):
            f.seek(0)
            head = f.read(pe + 6)
            if pe + 6 > len(head):
                return None
    if head[pe:pe + 4] != b"PE\0\0":
        return None
    machine = struct.unpack_from("<H", head, pe + 4)[0]
    return KINDS.get(machine, "machine 0x%04x" % machine)


def image_checksum(data, checksum_offset):
    """The PE image checksum: the 16-bit one's-complement sum of the file's
    16-bit words, the checksum field left out, plus the file's length."""
    padded = bytes(data) + b"\0" * (len(data) % 2)
    total = sum(struct.unpack("<%dH" % (len(padded) // 2), padded))
    total -= _u16(padded, checksum_offset) + _u16(padded, checksum_offset + 2)
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)
