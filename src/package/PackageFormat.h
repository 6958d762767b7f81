#pragma once
// Sizes, offsets and constants of the package file format, and the
// little-endian field access every reader and writer of it uses. Fields are
// always read and written byte by byte, never by copying structures.
#include "portable/Win32Api.h"

// Every package is written with this build number, the setup's own build.
constexpr LONG PACKAGE_BUILD = 2093;

// {F051CCF6-8753-11D2-9653-00AA00ACC8DB} in GUID byte order.
constexpr BYTE PACKAGE_SIGNATURE[16] = {0xF6, 0xCC, 0x51, 0xF0, 0x53, 0x87, 0xD2, 0x11,
                                        0x96, 0x53, 0x00, 0xAA, 0x00, 0xAC, 0xC8, 0xDB};

// Header.
constexpr DWORD PACKAGE_HEADER_SIZE = 256;
constexpr DWORD HEADER_SIGNATURE = 0;
constexpr DWORD HEADER_CATALOG_OFFSET = 16;
constexpr DWORD HEADER_BUILD = 20;
constexpr DWORD HEADER_COMPRESSED = 24;
// The package's check of its own bytes: a kind (u32) and a SHA-256 of every
// byte of the file but these 36. Packages of older packers hold zeros here,
// which reads as "no check".
constexpr DWORD HEADER_CHECK = 28;
constexpr DWORD HEADER_CHECK_KIND = HEADER_CHECK;
constexpr DWORD HEADER_CHECK_DIGEST = HEADER_CHECK + 4;
constexpr DWORD PACKAGE_CHECK_SIZE = 36;
constexpr DWORD PACKAGE_CHECK_SHA256 = 1;

// Catalog: entry count and label, then one record per entry.
constexpr DWORD CATALOG_COUNT = 0;
constexpr DWORD CATALOG_LABEL = 4;
constexpr DWORD PACKAGE_LABEL_SIZE = 64;
constexpr DWORD CATALOG_HEAD_SIZE = 68;

// Entry record.
constexpr DWORD PACKAGE_NAME_UNITS = 1024;
constexpr DWORD PACKAGE_KIND_DATA_SIZE = 1016;
constexpr DWORD RECORD_NAME = 0;
constexpr DWORD RECORD_KIND = 2048;
constexpr DWORD RECORD_KIND_DATA = 2052;
constexpr DWORD RECORD_RESERVED = 3068;
constexpr DWORD RECORD_STORED_SIZE = 3072;
constexpr DWORD RECORD_UNCOMPRESSED_SIZE = 3076;
constexpr DWORD RECORD_DATA_OFFSET = 3080;
constexpr DWORD PACKAGE_RECORD_SIZE = 3084;

// Kind data of a File entry.
constexpr DWORD FILEINFO_CREATION = 0;
constexpr DWORD FILEINFO_LAST_WRITE = 8;
constexpr DWORD FILEINFO_VERSION_LS = 16;
constexpr DWORD FILEINFO_VERSION_MS = 20;

// Kind data of a Config Obj entry.
constexpr DWORD CONFIGOBJ_FIRST = 0;
constexpr DWORD CONFIGOBJ_THIRD = 8;
constexpr DWORD CONFIGOBJ_FOURTH = 12;
constexpr DWORD CONFIGOBJ_BLOCK = 16;
constexpr DWORD CONFIGOBJ_BLOCK_SIZE = 16;

// Entry data moves in pieces of this size.
constexpr DWORD PACKAGE_PIECE_SIZE = 65536;

// Every position is reached by a seek with a signed 32-bit distance, so a
// package file is at most this long.
constexpr DWORD PACKAGE_MAX_SIZE = 0x7FFFFFFF;

static_assert(HEADER_CHECK + PACKAGE_CHECK_SIZE <= PACKAGE_HEADER_SIZE, "header layout");
static_assert(CATALOG_LABEL + PACKAGE_LABEL_SIZE == CATALOG_HEAD_SIZE, "catalog head layout");
static_assert(RECORD_NAME + PACKAGE_NAME_UNITS * 2 == RECORD_KIND, "record layout");
static_assert(RECORD_KIND_DATA + PACKAGE_KIND_DATA_SIZE == RECORD_RESERVED, "record layout");
static_assert(RECORD_DATA_OFFSET + 4 == PACKAGE_RECORD_SIZE, "record layout");

// Bytes of a catalog with the given number of entries.
constexpr ULONGLONG CatalogSize(ULONGLONG count)
{
    return CATALOG_HEAD_SIZE + PACKAGE_RECORD_SIZE * count;
}

inline DWORD LoadLE32(const BYTE* p)
{
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
           (static_cast<DWORD>(p[3]) << 24);
}

inline void StoreLE32(BYTE* p, DWORD value)
{
    p[0] = static_cast<BYTE>(value);
    p[1] = static_cast<BYTE>(value >> 8);
    p[2] = static_cast<BYTE>(value >> 16);
    p[3] = static_cast<BYTE>(value >> 24);
}

inline WORD LoadLE16(const BYTE* p)
{
    return static_cast<WORD>(p[0] | (p[1] << 8));
}

inline void StoreLE16(BYTE* p, WORD value)
{
    p[0] = static_cast<BYTE>(value);
    p[1] = static_cast<BYTE>(value >> 8);
}
