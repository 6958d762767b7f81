#pragma once
// Whole-buffer reads, writes and seeks on Win32 file handles, shared by the
// package code. Each leaves the reason for a failure as the last error.
#include "portable/Win32Api.h"

// Reads exactly count bytes, repeating for any remainder. A read that fails
// keeps the system's error; a source that ends first fails with shortError.
BOOL ReadExact(HANDLE hFile, void* buffer, DWORD count, DWORD shortError);

// Writes exactly count bytes, repeating for any remainder; a write that
// transfers nothing fails with ERROR_DISK_FULL.
BOOL WriteExact(HANDLE hFile, const void* buffer, DWORD count);

// Moves to an absolute position below 2 GiB; fails unless the file is then
// at that position.
BOOL SeekTo(HANDLE hFile, DWORD position);
