#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "portable/Win32Api.h"

// Random access to the bytes of a file or a memory block.
class CByteSource
{
public:
    virtual ~CByteSource() = default;
    virtual ULONGLONG Size() const = 0;
    // Exactly count bytes at offset, or false.
    virtual bool ReadAt(ULONGLONG offset, void* buffer, DWORD count) = 0;
};

class CFileByteSource : public CByteSource
{
public:
    explicit CFileByteSource(HANDLE hFile);
    ULONGLONG Size() const override { return m_size; }
    bool ReadAt(ULONGLONG offset, void* buffer, DWORD count) override;

private:
    HANDLE m_hFile;
    ULONGLONG m_size;
};

class CMemoryByteSource : public CByteSource
{
public:
    CMemoryByteSource(const BYTE* data, size_t size) : m_data(data), m_size(size) {}
    ULONGLONG Size() const override { return m_size; }
    bool ReadAt(ULONGLONG offset, void* buffer, DWORD count) override;

private:
    const BYTE* m_data;
    size_t m_size;
};

// The file version (major.minor in the high 32 bits, build.revision in the
// low 32 bits) from the fixed part of a PE image's version resource, read
// without loading the image: the same on every platform. Returns false for
// anything that is not a PE image with a well-formed version resource.
bool ReadPeFileVersion(CByteSource& source, ULONGLONG& version);
