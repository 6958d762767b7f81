#pragma once
#include <utility>

#include "portable/Win32Api.h"

// Move-only owner of a file handle from CreateFileA (invalid as
// INVALID_HANDLE_VALUE), closed when the owner goes.
class CScopedFile
{
public:
    CScopedFile() = default;
    explicit CScopedFile(HANDLE h) : m_h(h) {}
    ~CScopedFile() { reset(); }

    CScopedFile(const CScopedFile&) = delete;
    CScopedFile& operator=(const CScopedFile&) = delete;
    CScopedFile(CScopedFile&& other) noexcept : m_h(other.release()) {}
    CScopedFile& operator=(CScopedFile&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    HANDLE get() const { return m_h; }
    bool valid() const { return m_h != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return valid(); }

    void reset(HANDLE h = INVALID_HANDLE_VALUE)
    {
        if (m_h != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_h);
        m_h = h;
    }
    HANDLE release() { return std::exchange(m_h, INVALID_HANDLE_VALUE); }
    HANDLE* put()
    {
        reset();
        return &m_h;
    }

private:
    HANDLE m_h = INVALID_HANDLE_VALUE;
};
