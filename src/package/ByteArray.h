#pragma once
#include <cstddef>
#include <new>
#include <vector>

#include "portable/Win32Api.h"

// A growable block of bytes. Growing never throws: SetSize and Append report
// a failed allocation by FALSE with ERROR_NOT_ENOUGH_MEMORY as last error.
class CByteArray
{
public:
    size_t GetSize() const { return m_data.size(); }
    BYTE* GetData() { return m_data.data(); }
    const BYTE* GetData() const { return m_data.data(); }
    BYTE& operator[](size_t index) { return m_data[index]; }
    BYTE operator[](size_t index) const { return m_data[index]; }
    void RemoveAll() { m_data.clear(); }

    BOOL SetSize(size_t size)
    {
        try
        {
            m_data.resize(size);
            return TRUE;
        }
        catch (const std::bad_alloc&)
        {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
    }

    BOOL Append(const BYTE* data, size_t count)
    {
        try
        {
            m_data.insert(m_data.end(), data, data + count);
            return TRUE;
        }
        catch (const std::bad_alloc&)
        {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
    }

private:
    std::vector<BYTE> m_data;
};
