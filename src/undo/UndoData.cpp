#include "undo/UndoData.h"

#include <zlib.h>

#include <memory>

#include "framework/SystemCalls.h"

namespace
{
constexpr DWORD PIECE = 64 * 1024;

DWORD Crc(DWORD crc, const void* data, DWORD length)
{
    return static_cast<DWORD>(::crc32(crc, static_cast<const Bytef*>(data), length));
}

bool WriteAll(HANDLE file, const void* data, DWORD length)
{
    DWORD written = 0;
    if (!::WriteFile(file, data, length, &written, nullptr))
        return false;
    if (written == length)
        return true;
    ::SetLastError(ERROR_WRITE_FAULT);
    return false;
}

bool SeekTo(HANDLE file, ULONGLONG offset)
{
    LONG high = static_cast<LONG>(offset >> 32);
    const DWORD low = ::SetFilePointer(file, static_cast<LONG>(offset & 0xFFFFFFFF), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR);
}
} // namespace

bool CUndoData::Create(const std::string& path)
{
    m_file.reset(CreateFileU(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!m_file)
        return false;
    m_strPath = path;
    m_nEnd = 0;
    // What was kept in memory before goes first, at the same offsets.
    if (!m_memory.empty())
    {
        if (!WriteAll(m_file.get(), m_memory.data(), static_cast<DWORD>(m_memory.size())))
            return false;
        m_nEnd = m_memory.size();
        m_memory.clear();
        m_bDirty = true;
    }
    return true;
}

bool CUndoData::Open(const std::string& path)
{
    m_file.reset(CreateFileU(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    m_strPath = path;
    // A data file that is not there holds nothing: every saved file reads
    // as missing, which its undo takes for never overwritten.
    return m_file || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool CUndoData::Append(HANDLE source, DWORD limit, SavedBytes& saved)
{
    if (!SeekTo(source, 0))
        return false;
    saved.offset = m_file ? m_nEnd : m_memory.size();
    saved.length = 0;
    saved.crc = Crc(0, nullptr, 0);
    std::unique_ptr<char[]> buffer(new char[PIECE]);
    for (;;)
    {
        DWORD read = 0;
        if (!::ReadFile(source, buffer.get(), PIECE, &read, nullptr))
            return false;
        if (read == 0)
            break;
        if (read > limit - saved.length)
        {
            ::SetLastError(ERROR_FILE_TOO_LARGE);
            return false;
        }
        if (!m_file)
            m_memory.append(buffer.get(), read);
        else if (!WriteAll(m_file.get(), buffer.get(), read))
            return false;
        saved.length += read;
        saved.crc = Crc(saved.crc, buffer.get(), read);
    }
    if (m_file)
    {
        m_nEnd += saved.length;
        m_bDirty = true;
    }
    return true;
}

bool CUndoData::Flush()
{
    if (!m_file || !m_bDirty)
        return true;
    if (!::FlushFileBuffers(m_file.get()))
        return false;
    m_bDirty = false;
    return true;
}

bool CUndoData::Read(const SavedBytes& saved, std::string& bytes) const
{
    bytes.clear();
    if (m_file)
    {
        bytes.resize(saved.length);
        DWORD read = 0;
        if (!SeekTo(m_file.get(), saved.offset) ||
            (saved.length && !::ReadFile(m_file.get(), &bytes[0], saved.length, &read, nullptr)))
            return false;
        bytes.resize(read);
    }
    else if (saved.offset <= m_memory.size())
    {
        bytes = m_memory.substr(static_cast<size_t>(saved.offset), saved.length);
    }
    if (bytes.size() != saved.length || Crc(Crc(0, nullptr, 0), bytes.data(), saved.length) != saved.crc)
    {
        ::SetLastError(ERROR_FILE_CORRUPT);
        return false;
    }
    return true;
}

void CUndoData::Close()
{
    m_file.reset();
    m_memory.clear();
    m_nEnd = 0;
    m_bDirty = false;
}

bool CUndoData::Remove()
{
    const bool wasFile = m_file || !m_strPath.empty();
    Close();
    if (!wasFile || m_strPath.empty())
        return true;
    const bool removed = DeleteFileU(m_strPath.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
    if (removed)
        m_strPath.clear();
    return removed;
}
