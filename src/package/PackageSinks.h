#pragma once
// The package's own sinks: a file written at its position and a growing
// block of memory, each filling one buffer of PACKAGE_PIECE_SIZE bytes.
#include <memory>

#include "package/ByteArray.h"
#include "package/FileIo.h"
#include "package/PackageFile.h"

// One buffer of PACKAGE_PIECE_SIZE bytes; null with ERROR_NOT_ENOUGH_MEMORY
// when there is no room for it.
std::unique_ptr<BYTE[]> AllocatePiece();

class CPieceBufferSink : public CPackageSink
{
public:
    BYTE* LendBuffer(DWORD& nSize) override
    {
        if (!m_buffer)
        {
            m_buffer = AllocatePiece();
            if (!m_buffer)
                return nullptr;
        }
        nSize = PACKAGE_PIECE_SIZE;
        return m_buffer.get();
    }

protected:
    std::unique_ptr<BYTE[]> m_buffer;
};

class CFileSink : public CPieceBufferSink
{
public:
    explicit CFileSink(HANDLE hFile) : m_hFile(hFile) {}
    BOOL TakeBack(DWORD nCount) override { return WriteExact(m_hFile, m_buffer.get(), nCount); }

private:
    HANDLE m_hFile;
};

class CArraySink : public CPieceBufferSink
{
public:
    explicit CArraySink(CByteArray& data) : m_data(data) {}
    BOOL TakeBack(DWORD nCount) override { return m_data.Append(m_buffer.get(), nCount); }

private:
    CByteArray& m_data;
};
