// The Win32 file calls of portable/Win32Api_posix.h on a POSIX system.
#include "portable/Win32Api.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
thread_local DWORD t_lastError = NO_ERROR;

// A handle points at one of these; the marker catches most stale or foreign
// handles instead of using them as descriptors.
struct PosixFile
{
    static constexpr uint32_t kMarker = 0x4C554D46; // "LUMF"
    uint32_t marker = kMarker;
    int fd = -1;
};

PosixFile* FromHandle(HANDLE h)
{
    if (h == nullptr || h == INVALID_HANDLE_VALUE)
        return nullptr;
    PosixFile* file = static_cast<PosixFile*>(h);
    return file->marker == PosixFile::kMarker ? file : nullptr;
}

// Seconds between 1601-01-01 (FILETIME's epoch) and 1970-01-01.
constexpr int64_t kEpochDifference = 11644473600LL;
constexpr int64_t kTicksPerSecond = 10000000LL;

FILETIME ToFileTime(int64_t seconds, uint32_t nanoseconds)
{
    const uint64_t ticks =
        static_cast<uint64_t>((seconds + kEpochDifference) * kTicksPerSecond + nanoseconds / 100);
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

timespec ToTimespec(const FILETIME& ft)
{
    const uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(static_cast<int64_t>(ticks / kTicksPerSecond) - kEpochDifference);
    ts.tv_nsec = static_cast<long>((ticks % kTicksPerSecond) * 100);
    return ts;
}

bool IsDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A missing file is ERROR_FILE_NOT_FOUND when its folder exists and
// ERROR_PATH_NOT_FOUND when the folder itself is missing, as on Windows.
DWORD MissingError(const char* path)
{
    const std::string p = path ? path : "";
    if (p.empty())
        return ERROR_PATH_NOT_FOUND;
    const size_t slash = p.find_last_of('/');
    if (slash == std::string::npos)
        return ERROR_FILE_NOT_FOUND;
    return IsDirectory(slash == 0 ? "/" : p.substr(0, slash)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD FromErrno(int err, const char* path = nullptr)
{
    switch (err)
    {
    case 0:
        return NO_ERROR;
    case ENOENT:
        return MissingError(path);
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EBADF:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EFBIG:
        return ERROR_FILE_TOO_LARGE;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case EWOULDBLOCK:
        return ERROR_SHARING_VIOLATION;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case EIO:
        return ERROR_IO_DEVICE;
    default:
        return ERROR_GEN_FAILURE;
    }
}

BOOL Fail(DWORD error)
{
    t_lastError = error;
    return FALSE;
}

// Which advisory lock an open takes, to stand in for the Windows share mode.
int LockFor(DWORD access, DWORD share)
{
    if ((access & GENERIC_WRITE) != 0 || (share & FILE_SHARE_READ) == 0)
        return (share & (FILE_SHARE_READ | FILE_SHARE_WRITE)) == (FILE_SHARE_READ | FILE_SHARE_WRITE) ? 0
                                                                                                   : LOCK_EX;
    return (share & FILE_SHARE_WRITE) != 0 ? 0 : LOCK_SH;
}
} // namespace

DWORD GetLastError()
{
    return t_lastError;
}

void SetLastError(DWORD dwErrCode)
{
    t_lastError = dwErrCode;
}

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES,
                   DWORD dwCreationDisposition, DWORD, HANDLE)
{
    if (lpFileName == nullptr)
    {
        t_lastError = ERROR_INVALID_PARAMETER;
        return INVALID_HANDLE_VALUE;
    }
    const bool read = (dwDesiredAccess & GENERIC_READ) != 0;
    const bool write = (dwDesiredAccess & GENERIC_WRITE) != 0;
    int flags = O_CLOEXEC | (write ? (read ? O_RDWR : O_WRONLY) : O_RDONLY);
    bool truncate = false;
    switch (dwCreationDisposition)
    {
    case CREATE_NEW:
        flags |= O_CREAT | O_EXCL;
        break;
    case CREATE_ALWAYS:
        flags |= O_CREAT;
        truncate = true;
        break;
    case OPEN_EXISTING:
        break;
    case OPEN_ALWAYS:
        flags |= O_CREAT;
        break;
    case TRUNCATE_EXISTING:
        if (!write)
        {
            t_lastError = ERROR_INVALID_PARAMETER;
            return INVALID_HANDLE_VALUE;
        }
        truncate = true;
        break;
    default:
        t_lastError = ERROR_INVALID_PARAMETER;
        return INVALID_HANDLE_VALUE;
    }

    const bool existed = ::access(lpFileName, F_OK) == 0;
    int fd;
    do
        fd = ::open(lpFileName, flags, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
    {
        t_lastError = FromErrno(errno, lpFileName);
        return INVALID_HANDLE_VALUE;
    }

    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))
    {
        // Windows opens no folder through CreateFile without backup semantics.
        ::close(fd);
        t_lastError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    // Lock before truncating, so that a file held by another opener is
    // refused untouched.
    const int lock = LockFor(dwDesiredAccess, dwShareMode);
    if (lock != 0 && ::flock(fd, lock | LOCK_NB) != 0)
    {
        const int err = errno;
        ::close(fd);
        t_lastError = err == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : FromErrno(err);
        return INVALID_HANDLE_VALUE;
    }
    if (truncate && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0)
    {
        const int err = errno;
        ::close(fd);
        t_lastError = FromErrno(err);
        return INVALID_HANDLE_VALUE;
    }

    PosixFile* file = new (std::nothrow) PosixFile;
    if (file == nullptr)
    {
        ::close(fd);
        t_lastError = ERROR_NOT_ENOUGH_MEMORY;
        return INVALID_HANDLE_VALUE;
    }
    file->fd = fd;
    // CREATE_ALWAYS and OPEN_ALWAYS tell the caller that the file was there.
    const bool reportsExisting =
        dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS;
    t_lastError = reportsExisting && existed ? ERROR_ALREADY_EXISTS : NO_ERROR;
    return file;
}

BOOL CloseHandle(HANDLE hObject)
{
    PosixFile* file = FromHandle(hObject);
    if (file == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    ::close(file->fd);
    file->marker = 0;
    delete file;
    return TRUE;
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED)
{
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = 0;
    PosixFile* file = FromHandle(hFile);
    if (file == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    // A read of a disk file delivers everything asked for unless the file
    // ends first, where it succeeds with fewer bytes (0 at the end).
    DWORD done = 0;
    char* out = static_cast<char*>(lpBuffer);
    while (done < nNumberOfBytesToRead)
    {
        const ssize_t n = ::read(file->fd, out + done, nNumberOfBytesToRead - done);
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            if (lpNumberOfBytesRead)
                *lpNumberOfBytesRead = done;
            return Fail(FromErrno(errno));
        }
        if (n == 0)
            break;
        done += static_cast<DWORD>(n);
    }
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = done;
    return TRUE;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED)
{
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = 0;
    PosixFile* file = FromHandle(hFile);
    if (file == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    DWORD done = 0;
    const char* in = static_cast<const char*>(lpBuffer);
    while (done < nNumberOfBytesToWrite)
    {
        const ssize_t n = ::write(file->fd, in + done, nNumberOfBytesToWrite - done);
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            if (lpNumberOfBytesWritten)
                *lpNumberOfBytesWritten = done;
            return Fail(FromErrno(errno));
        }
        done += static_cast<DWORD>(n);
    }
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = done;
    return TRUE;
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod)
{
    PosixFile* file = FromHandle(hFile);
    if (file == nullptr)
    {
        t_lastError = ERROR_INVALID_HANDLE;
        return INVALID_SET_FILE_POINTER;
    }
    int64_t distance = lDistanceToMove;
    if (lpDistanceToMoveHigh)
        distance = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh))
                                         << 32) |
                                        static_cast<uint32_t>(lDistanceToMove));
    int64_t base;
    switch (dwMoveMethod)
    {
    case FILE_BEGIN:
        base = 0;
        break;
    case FILE_CURRENT:
        base = ::lseek(file->fd, 0, SEEK_CUR);
        break;
    case FILE_END: {
        struct stat st;
        base = ::fstat(file->fd, &st) == 0 ? st.st_size : -1;
        break;
    }
    default:
        t_lastError = ERROR_INVALID_PARAMETER;
        return INVALID_SET_FILE_POINTER;
    }
    if (base < 0)
    {
        t_lastError = FromErrno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    const int64_t target = base + distance;
    if (target < 0)
    {
        t_lastError = ERROR_NEGATIVE_SEEK;
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh == nullptr && target > 0xFFFFFFFELL)
    {
        t_lastError = ERROR_INVALID_PARAMETER;
        return INVALID_SET_FILE_POINTER;
    }
    if (::lseek(file->fd, static_cast<off_t>(target), SEEK_SET) < 0)
    {
        t_lastError = FromErrno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh)
        *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<uint64_t>(target) >> 32);
    const DWORD low = static_cast<DWORD>(target);
    // A caller that passes the high half tells success from failure by the
    // last error when the low half looks like the failure value.
    if (low == INVALID_SET_FILE_POINTER)
        t_lastError = NO_ERROR;
    return low;
}

BOOL SetEndOfFile(HANDLE hFile)
{
    PosixFile* file = FromHandle(hFile);
    if (file == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    const off_t position = ::lseek(file->fd, 0, SEEK_CUR);
    if (position < 0 || ::ftruncate(file->fd, position) != 0)
        return Fail(FromErrno(errno));
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE hFile)
{
    PosixFile* file = FromHandle(hFile);
    if (file == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    if (::fsync(file->fd) != 0 && errno != EINVAL)
        return Fail(FromErrno(errno));
    return TRUE;
}

DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh)
{
    PosixFile* file = FromHandle(hFile);
    struct stat st;
    if (file == nullptr || ::fstat(file->fd, &st) != 0)
    {
        t_lastError = file == nullptr ? ERROR_INVALID_HANDLE : FromErrno(errno);
        return INVALID_FILE_SIZE;
    }
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    if (lpFileSizeHigh)
        *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    if (static_cast<DWORD>(size) == INVALID_FILE_SIZE)
        t_lastError = NO_ERROR;
    return static_cast<DWORD>(size);
}

BOOL GetFileTime(HANDLE hFile, FILETIME* lpCreationTime, FILETIME* lpLastAccessTime, FILETIME* lpLastWriteTime)
{
    PosixFile* file = FromHandle(hFile);
    if (file == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    struct statx stx;
    if (::statx(file->fd, "", AT_EMPTY_PATH, STATX_ATIME | STATX_MTIME | STATX_BTIME, &stx) != 0)
        return Fail(FromErrno(errno));
    const FILETIME written = ToFileTime(stx.stx_mtime.tv_sec, stx.stx_mtime.tv_nsec);
    if (lpCreationTime)
        *lpCreationTime = (stx.stx_mask & STATX_BTIME) != 0
                              ? ToFileTime(stx.stx_btime.tv_sec, stx.stx_btime.tv_nsec)
                              : written;
    if (lpLastAccessTime)
        *lpLastAccessTime = ToFileTime(stx.stx_atime.tv_sec, stx.stx_atime.tv_nsec);
    if (lpLastWriteTime)
        *lpLastWriteTime = written;
    return TRUE;
}

BOOL SetFileTime(HANDLE hFile, const FILETIME*, const FILETIME* lpLastAccessTime, const FILETIME* lpLastWriteTime)
{
    PosixFile* file = FromHandle(hFile);
    if (file == nullptr)
        return Fail(ERROR_INVALID_HANDLE);
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = times[0];
    if (lpLastAccessTime)
        times[0] = ToTimespec(*lpLastAccessTime);
    if (lpLastWriteTime)
        times[1] = ToTimespec(*lpLastWriteTime);
    if (::futimens(file->fd, times) != 0)
        return Fail(FromErrno(errno));
    return TRUE;
}

BOOL DeleteFileA(LPCSTR lpFileName)
{
    if (lpFileName == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    if (IsDirectory(lpFileName))
        return Fail(ERROR_ACCESS_DENIED);
    if (::unlink(lpFileName) != 0)
        return Fail(FromErrno(errno, lpFileName));
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES)
{
    if (lpPathName == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    if (::mkdir(lpPathName, 0777) != 0)
        return Fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : FromErrno(errno, lpPathName));
    return TRUE;
}

BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags)
{
    if (lpExistingFileName == nullptr || lpNewFileName == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    struct stat st;
    if ((dwFlags & MOVEFILE_REPLACE_EXISTING) == 0 && ::lstat(lpNewFileName, &st) == 0)
        return Fail(ERROR_ALREADY_EXISTS);
    if (::rename(lpExistingFileName, lpNewFileName) != 0)
        return Fail(FromErrno(errno, errno == ENOENT ? lpExistingFileName : lpNewFileName));
    return TRUE;
}
