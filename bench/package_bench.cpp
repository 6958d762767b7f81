// Package library figures, each against its bound measured in the same run:
//   1. packing a 256 MiB file of mixed data, against a bare zlib deflate
//      loop at level 6 over the same bytes;
//   2. extracting it to a file, against a bare zlib inflate loop writing
//      the same bytes;
//   3. peak resident memory of a process that extracts a 1 GiB entry.
// It prints figures and does not fail on a slow machine. Temporary files
// go to the folder given as argument (default: beside this program) and
// are deleted at the end.
//
// usage: package_bench [FOLDER]
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <zlib.h>

#include "package/PackageFile.h"
#include "portable/ScopedFile.h"

namespace
{
constexpr DWORD kPiece = 65536;
constexpr ULONGLONG kMiB = 1024 * 1024;

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

HANDLE OpenRead(const std::string& path)
{
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

HANDLE OpenWrite(const std::string& path)
{
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
}

bool Check(bool ok, const char* what)
{
    if (!ok)
        std::fprintf(stderr, "package_bench: %s failed (error %lu)\n", what, static_cast<unsigned long>(GetLastError()));
    return ok;
}

// Mixed data: runs of text, of small counters and of noise.
void WriteMixedFile(const std::string& path, ULONGLONG size)
{
    static const char* const words[] = {"teleprompter ", "package ", "catalog ", "entry ", "lumiro ", "\r\n"};
    CScopedFile out(OpenWrite(path));
    std::vector<BYTE> block(kPiece);
    uint32_t state = 2463534242u;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    for (ULONGLONG done = 0; done < size; done += kPiece)
    {
        size_t n = 0;
        while (n < kPiece)
        {
            const uint32_t mode = next() % 3;
            const size_t run = std::min<size_t>(256 + next() % 4096, kPiece - n);
            for (size_t i = 0; i < run; ++i)
            {
                if (mode == 0)
                {
                    const char* w = words[next() % 6];
                    while (*w && i < run)
                        block[n + i++] = static_cast<BYTE>(*w++);
                    --i;
                }
                else if (mode == 1)
                    block[n + i] = static_cast<BYTE>(i & 0x3F);
                else
                    block[n + i] = static_cast<BYTE>(next());
            }
            n += run;
        }
        DWORD written = 0;
        WriteFile(out.get(), block.data(), kPiece, &written, nullptr);
    }
}

// The bound for packing: read 64 KiB pieces, deflate at level 6, write.
double BareDeflate(const std::string& source, const std::string& dest, ULONGLONG& outSize)
{
    const double start = Now();
    CScopedFile in(OpenRead(source)), out(OpenWrite(dest));
    std::vector<BYTE> input(kPiece), output(kPiece);
    z_stream z{};
    deflateInit(&z, 6);
    int flush = Z_NO_FLUSH;
    outSize = 0;
    do
    {
        DWORD got = 0;
        ReadFile(in.get(), input.data(), kPiece, &got, nullptr);
        flush = got < kPiece ? Z_FINISH : Z_NO_FLUSH;
        z.next_in = input.data();
        z.avail_in = got;
        do
        {
            z.next_out = output.data();
            z.avail_out = kPiece;
            deflate(&z, flush);
            const DWORD have = kPiece - z.avail_out;
            DWORD written = 0;
            WriteFile(out.get(), output.data(), have, &written, nullptr);
            outSize += have;
        } while (z.avail_out == 0);
    } while (flush != Z_FINISH);
    deflateEnd(&z);
    return Now() - start;
}

// The bound for extracting: inflate the stream at offset, write the bytes.
double BareInflate(const std::string& package, DWORD offset, DWORD stored, const std::string& dest)
{
    CScopedFile in(OpenRead(package)), out(OpenWrite(dest));
    const double start = Now();
    SetFilePointer(in.get(), static_cast<LONG>(offset), nullptr, FILE_BEGIN);
    std::vector<BYTE> input(kPiece), output(kPiece);
    z_stream z{};
    inflateInit(&z);
    int result = Z_OK;
    while (stored != 0 && result != Z_STREAM_END)
    {
        DWORD got = 0;
        ReadFile(in.get(), input.data(), std::min(stored, kPiece), &got, nullptr);
        stored -= got;
        z.next_in = input.data();
        z.avail_in = got;
        do
        {
            z.next_out = output.data();
            z.avail_out = kPiece;
            result = inflate(&z, Z_NO_FLUSH);
            DWORD written = 0;
            WriteFile(out.get(), output.data(), kPiece - z.avail_out, &written, nullptr);
        } while (z.avail_out == 0);
    }
    inflateEnd(&z);
    return Now() - start;
}

// Times Create and AddFromFile; Commit, which flushes the file to the disk
// (FlushFileBuffers), is timed apart since the bare loop does not flush.
double LibraryPack(const std::string& source, const std::string& package, ULONGLONG size, double* commit = nullptr)
{
    DeleteFileA(package.c_str());
    const double start = Now();
    CPackageFile file;
    CScopedFile in(OpenRead(source));
    CPackageCatalogEntry entry;
    entry.SetFile(u"data.bin", FILETIME{}, FILETIME{}, 0);
    if (!Check(file.Create(package.c_str(), TRUE), "Create") ||
        !Check(file.AddFromFile(entry, in.get(), static_cast<DWORD>(size)), "AddFromFile"))
        return 0;
    const double added = Now();
    if (!Check(file.Commit(), "Commit"))
        return 0;
    if (commit)
        *commit = Now() - added;
    return added - start;
}

// Both extraction loops are timed from an open, empty destination on.
double LibraryExtract(const std::string& package, const std::string& dest)
{
    CScopedFile out(OpenWrite(dest));
    const double start = Now();
    CPackageFile file;
    if (!Check(file.Open(package.c_str(), FALSE), "Open") || !Check(file.ExtractToFile(0, out.get()), "Extract"))
        return 0;
    file.Close();
    return Now() - start;
}

// Runs this program again to extract entry 0 of package (or to do nothing
// with an empty package path) and returns the child's peak RSS in KiB.
long ChildPeakRss(const char* self, const std::string& package, const std::string& dest)
{
    const pid_t pid = fork();
    if (pid == 0)
    {
        execl(self, self, "--extract", package.c_str(), dest.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "package_bench: the extracting child failed\n");
    return usage.ru_maxrss;
}

double Best(double a, double b)
{
    return a < b ? a : b;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--extract") == 0)
    {
        if (argv[2][0] == 0)
            return 0;
        return LibraryExtract(argv[2], argv[3]) > 0 ? 0 : 1;
    }
    const std::string folder = std::string(argc > 1 ? argv[1] : LUMIRO_BENCH_DIR) + "/bench-tmp";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string source = folder + "/mixed.bin", bare = folder + "/bare.z", package = folder + "/mixed.pkg",
                      out = folder + "/out.bin";
    const ULONGLONG size = 256 * kMiB;

    std::printf("package_bench: zlib %s, pieces of %lu bytes\n", zlibVersion(), static_cast<unsigned long>(kPiece));
    WriteMixedFile(source, size);

    // 1. Packing: runs alternate, the best of three of each counts.
    ULONGLONG bareSize = 0;
    double bareDeflate = 1e9, pack = 1e9, commit = 0;
    for (int i = 0; i < 3; ++i)
    {
        bareDeflate = Best(bareDeflate, BareDeflate(source, bare, bareSize));
        pack = Best(pack, LibraryPack(source, package, size, &commit));
    }
    std::printf("pack 256 MiB mixed data: library %.2f s (%.1f MiB/s), bare deflate level 6 %.2f s "
                "(%.1f MiB/s, %.1f%% of input); ratio %.3f (goal >= 0.95); Commit with its flush to disk "
                "another %.2f s\n",
                pack, size / kMiB / pack, bareDeflate, size / kMiB / bareDeflate, 100.0 * bareSize / size,
                bareDeflate / pack, commit);

    // 2. Extracting: runs alternate, the best of five of each counts.
    CPackageFile reader;
    reader.Open(package.c_str(), FALSE);
    const CPackageCatalogEntry entry = reader.GetCatalog().GetAt(0);
    reader.Close();
    double bareInflate = 1e9, extract = 1e9;
    for (int i = 0; i < 5; ++i)
    {
        bareInflate = Best(bareInflate, BareInflate(package, entry.GetDataOffset(), entry.GetStoredSize(), out));
        extract = Best(extract, LibraryExtract(package, out));
    }
    std::printf("extract it to a file: library %.2f s (%.1f MiB/s), bare inflate %.2f s (%.1f MiB/s); "
                "ratio %.3f (goal >= 0.95)\n",
                extract, size / kMiB / extract, bareInflate, size / kMiB / bareInflate, bareInflate / extract);
    DeleteFileA(source.c_str());
    DeleteFileA(bare.c_str());
    DeleteFileA(package.c_str());

    // 3. Peak memory extracting a 1 GiB entry (sparse zeros as source).
    const std::string big = folder + "/big.bin", bigPackage = folder + "/big.pkg";
    {
        CScopedFile file(OpenWrite(big));
        LONG high = 1;
        SetFilePointer(file.get(), 0, &high, FILE_BEGIN);
        SetEndOfFile(file.get());
    }
    LibraryPack(big, bigPackage, 1024 * kMiB);
    DeleteFileA(big.c_str());
    const long idle = ChildPeakRss(argv[0], "", out);
    const long peak = ChildPeakRss(argv[0], bigPackage, out);
    std::printf("peak RSS of a process extracting a 1 GiB entry: %.1f MiB (the same process idle: %.1f MiB); "
                "goal < 16 MiB\n",
                peak / 1024.0, idle / 1024.0);
    DeleteFileA(bigPackage.c_str());
    DeleteFileA(out.c_str());
    rmdir(folder.c_str());
    return 0;
}
