#include "package/FileIo.h"

#include "package/PackageFormat.h"

BOOL ReadExact(HANDLE hFile, void* buffer, DWORD count, DWORD shortError)
{
    BYTE* out = static_cast<BYTE*>(buffer);
    while (count != 0)
    {
        DWORD got = 0;
        if (!ReadFile(hFile, out, count, &got, nullptr))
            return FALSE;
        if (got == 0)
        {
            SetLastError(shortError);
            return FALSE;
        }
        out += got;
        count -= got;
    }
    return TRUE;
}

BOOL WriteExact(HANDLE hFile, const void* buffer, DWORD count)
{
    const BYTE* in = static_cast<const BYTE*>(buffer);
    while (count != 0)
    {
        DWORD put = 0;
        if (!WriteFile(hFile, in, count, &put, nullptr))
            return FALSE;
        if (put == 0)
        {
            SetLastError(ERROR_DISK_FULL);
            return FALSE;
        }
        in += put;
        count -= put;
    }
    return TRUE;
}

BOOL SeekTo(HANDLE hFile, DWORD position)
{
    if (position > PACKAGE_MAX_SIZE)
    {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return FALSE;
    }
    const DWORD result = SetFilePointer(hFile, static_cast<LONG>(position), nullptr, FILE_BEGIN);
    if (result == position)
        return TRUE;
    if (result != INVALID_SET_FILE_POINTER)
        SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}
