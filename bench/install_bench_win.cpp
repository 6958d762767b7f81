// Installation figures under Wine, each against a plain CopyFileA loop over
// the same source files in the same run:
//   1. a package of 2,000 small files (1-16 KiB of mixed data), installed
//      with the setup's own InstallPackage, against copying the files;
//   2. a package of one 512 MiB file of mixed data, installed the same way,
//      against copying the file and against a bare zlib inflate of its
//      entry (read from the package, output dropped), so that the install
//      can be set against copy + inflate.
// Both packages are measured compressed (what the setup ships) and stored
// (the install's own overhead without inflate). Copies are also timed with a
// FlushFileBuffers per file, since the installer flushes every file before
// renaming it into place and a plain CopyFile does not.
// With "calls" it times instead, one by one, the calls that the installation
// makes for each of 2,000 files of 4 KiB (into an empty folder, then over the
// files it wrote), the status line with the real progress window included.
// It prints figures and never fails on a slow machine; its exit code is
// non-zero only when an install or a copy did not work. Everything it makes
// lives in one scratch folder that is deleted at the end.
//
// usage: install_bench_win [calls|small|large] [FOLDER]
//        (default: the small files and the large file; %TEMP%\lumiro-bench)
#include <windows.h>

#include <algorithm>
#include <initializer_list>
#include <cstdio>
#include <string>
#include <vector>

#include <io.h>
#include <zlib.h>

#include "app/DlgInstalling.h"
#include "core/InstallProgress.h"
#include "core/SetupContext.h"
#include "core/UserPrompts.h"
#include "framework/Handles.h"
#include "core/VersionData.h"
#include "install/PackageInstall.h"
#include "package/PackageFile.h"
#include "run/RunParts.h"

namespace
{
constexpr int kSmallFiles = 2000;
constexpr DWORD kSmallMin = 1024;
constexpr DWORD kSmallMax = 16 * 1024;
constexpr DWORD kLargeSize = 512u * 1024 * 1024;
constexpr DWORD kPiece = 65536;
constexpr int kSmallRounds = 7;
constexpr int kLargeRounds = 3;
constexpr double kMiB = 1024.0 * 1024.0;

// Wall-clock seconds from construction, by the performance counter.
class CStopwatch
{
public:
    CStopwatch() { ::QueryPerformanceCounter(&m_start); }
    double Seconds() const
    {
        LARGE_INTEGER now, frequency;
        ::QueryPerformanceCounter(&now);
        ::QueryPerformanceFrequency(&frequency);
        return double(now.QuadPart - m_start.QuadPart) / double(frequency.QuadPart);
    }

private:
    LARGE_INTEGER m_start;
};

// The progress seam without a window: the install still formats and hands
// over every status line, as it does for the real progress window.
class CSilentProgress : public IInstallProgress
{
public:
    void SetStage(unsigned, unsigned) override { ++calls; }
    void SetStatus(unsigned) override { ++calls; }
    void SetStatusText(const std::string&) override { ++calls; }
    void SetStageText(const std::string&) override { ++calls; }
    unsigned long calls = 0;
};

// The prompt seam without a window: a message means the install failed, so
// it is kept to be printed; a replace question (impossible in an empty
// destination) is answered Cancel.
class CSilentPrompts : public IUserPrompts
{
public:
    int ShowMessageBox(const std::string& text, unsigned) override
    {
        shown.push_back(text);
        return IDOK;
    }
    ReplaceAnswer AskReplaceFile(const std::string& question) override
    {
        shown.push_back(question);
        return ReplaceAnswer::Cancel;
    }
    std::vector<std::string> shown;
};

bool Check(bool ok, const char* what, const std::string& object = std::string())
{
    if (!ok)
        std::fprintf(stderr, "install_bench_win: %s %s failed (error %lu)\n", what, object.c_str(),
                     static_cast<unsigned long>(::GetLastError()));
    return ok;
}

// Mixed data, as a program's files hold them: runs of text, of small
// counters (both compress well) and of noise (does not compress).
class CMixedData
{
public:
    explicit CMixedData(uint32_t seed) : m_state(seed) {}

    uint32_t Next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }

    void Fill(BYTE* data, size_t size)
    {
        static const char* const words[] = {"installer ", "package ", "catalog ",
                                            "entry ",     "lumiro ",  "\r\n"};
        size_t n = 0;
        while (n < size)
        {
            const uint32_t mode = Next() % 3;
            const size_t run = std::min<size_t>(256 + Next() % 4096, size - n);
            for (size_t i = 0; i < run; ++i)
            {
                if (mode == 0)
                {
                    for (const char* w = words[Next() % 6]; *w && i < run; ++w)
                        data[n + i++] = static_cast<BYTE>(*w);
                    --i;
                }
                else if (mode == 1)
                    data[n + i] = static_cast<BYTE>(i & 0x3F);
                else
                    data[n + i] = static_cast<BYTE>(Next());
            }
            n += run;
        }
    }

private:
    uint32_t m_state;
};

unique_hfile CreateNewFile(const std::string& path)
{
    return unique_hfile(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool WriteAll(HANDLE file, const BYTE* data, DWORD size)
{
    DWORD written = 0;
    return ::WriteFile(file, data, size, &written, nullptr) && written == size;
}

// Deletes a folder tree; failures are ignored (clean-up only).
void DeleteTree(const std::string& path)
{
    WIN32_FIND_DATAA data;
    {
        unique_hfind find(::FindFirstFileA((path + "\\*").c_str(), &data));
        if (find)
        {
            do
            {
                const std::string name = data.cFileName;
                if (name == "." || name == "..")
                    continue;
                const std::string child = path + "\\" + name;
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    DeleteTree(child);
                else
                {
                    ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                    ::DeleteFileA(child.c_str());
                }
            } while (::FindNextFileA(find.get(), &data));
        }
    }
    ::RemoveDirectoryA(path.c_str());
}

// An empty folder at path, whatever was there before.
bool MakeEmptyFolder(const std::string& path)
{
    DeleteTree(path);
    return Check(::CreateDirectoryA(path.c_str(), nullptr) != FALSE, "CreateDirectory", path);
}

// The source files of a measurement: names inside one folder.
struct SourceFiles
{
    std::string folder;
    std::vector<std::string> names;
    ULONGLONG bytes = 0;
};

bool MakeSmallFiles(SourceFiles& files)
{
    CMixedData data(2463534242u);
    std::vector<BYTE> buffer(kSmallMax);
    for (int i = 0; i < kSmallFiles; ++i)
    {
        char name[32];
        std::snprintf(name, sizeof name, "file%04d.dat", i);
        const DWORD size = kSmallMin + data.Next() % (kSmallMax - kSmallMin + 1);
        data.Fill(buffer.data(), size);
        unique_hfile file = CreateNewFile(files.folder + "\\" + name);
        if (!Check(file.valid() && WriteAll(file.get(), buffer.data(), size), "writing", name))
            return false;
        files.names.push_back(name);
        files.bytes += size;
    }
    return true;
}

bool MakeLargeFile(SourceFiles& files)
{
    CMixedData data(88172645u);
    std::vector<BYTE> buffer(kPiece);
    const std::string name = "large.bin";
    unique_hfile file = CreateNewFile(files.folder + "\\" + name);
    if (!Check(file.valid(), "creating", name))
        return false;
    for (DWORD done = 0; done < kLargeSize; done += kPiece)
    {
        data.Fill(buffer.data(), kPiece);
        if (!Check(WriteAll(file.get(), buffer.data(), kPiece), "writing", name))
            return false;
    }
    files.names.push_back(name);
    files.bytes = kLargeSize;
    return true;
}

// A package of the setup's build with one File entry per source file, named
// as the file and stamped with its times.
bool BuildPackage(const std::string& path, bool compressed, const SourceFiles& files)
{
    ::DeleteFileA(path.c_str());
    CPackageFile package;
    if (!Check(package.Create(path.c_str(), compressed) != FALSE, "creating package", path))
        return false;
    for (const std::string& name : files.names)
    {
        unique_hfile source(::CreateFileA((files.folder + "\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        FILETIME creation{}, lastWrite{};
        if (!Check(source.valid() && ::GetFileTime(source.get(), &creation, nullptr, &lastWrite), "opening",
                   name))
            return false;
        const std::wstring wide(name.begin(), name.end());
        CPackageCatalogEntry entry;
        entry.SetFile(wide.c_str(), creation, lastWrite, 0);
        const DWORD size = ::GetFileSize(source.get(), nullptr);
        if (!Check(package.AddFromFile(entry, source.get(), size) != FALSE, "adding", name))
        {
            package.Discard();
            return false;
        }
    }
    if (!Check(package.Commit() != FALSE, "committing package", path))
    {
        package.Discard();
        return false;
    }
    return true;
}

ULONGLONG FileSizeOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The setup's own InstallPackage of package (in the context's source folder)
// into an empty destination; a negative time when it failed.
double TimeInstall(CSetupContext& context, CSilentPrompts& prompts, const std::string& package,
                   const std::string& destination)
{
    if (!MakeEmptyFolder(destination))
        return -1;
    CSilentProgress progress;
    context.SetProgress(&progress);
    const CStopwatch watch;
    const bool ok = InstallPackage(context, package, destination);
    context.SetProgress(nullptr);
    const double seconds = watch.Seconds();
    if (!ok || !prompts.shown.empty())
    {
        std::fprintf(stderr, "install_bench_win: installing %s failed\n", package.c_str());
        for (const std::string& text : prompts.shown)
            std::fprintf(stderr, "  shown: %s\n", text.c_str());
        prompts.shown.clear();
        return -1;
    }
    return seconds;
}

// A plain CopyFileA loop over the source files into an empty destination;
// with flush, every copy is then opened and flushed to the disk, as the
// installer flushes every file it writes.
double TimeCopy(const SourceFiles& files, const std::string& destination, bool flush)
{
    if (!MakeEmptyFolder(destination))
        return -1;
    const CStopwatch watch;
    for (const std::string& name : files.names)
    {
        const std::string target = destination + "\\" + name;
        if (!Check(::CopyFileA((files.folder + "\\" + name).c_str(), target.c_str(), TRUE) != FALSE,
                   "CopyFileA", name))
            return -1;
        if (flush)
        {
            unique_hfile file(::CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!Check(file.valid() && ::FlushFileBuffers(file.get()), "flushing", name))
                return -1;
        }
    }
    return watch.Seconds();
}

// A bare zlib inflate of entry 0's stream, read from the package in 64 KiB
// pieces; the output is dropped, so this is reading plus inflating only.
double TimeInflate(const std::string& path)
{
    CPackageFile package;
    if (!Check(package.Open(path.c_str(), FALSE) != FALSE, "opening package", path))
        return -1;
    const CPackageCatalogEntry entry = package.GetCatalog().GetAt(0);
    package.Close();

    unique_hfile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!Check(file.valid(), "opening", path))
        return -1;
    const CStopwatch watch;
    ::SetFilePointer(file.get(), static_cast<LONG>(entry.GetDataOffset()), nullptr, FILE_BEGIN);
    std::vector<BYTE> input(kPiece), output(kPiece);
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return -1;
    DWORD remaining = entry.GetStoredSize();
    ULONGLONG produced = 0;
    int result = Z_OK;
    while (remaining != 0 && result == Z_OK)
    {
        DWORD got = 0;
        if (!::ReadFile(file.get(), input.data(), std::min(remaining, kPiece), &got, nullptr) || got == 0)
            break;
        remaining -= got;
        z.next_in = input.data();
        z.avail_in = got;
        do
        {
            z.next_out = output.data();
            z.avail_out = kPiece;
            result = inflate(&z, Z_NO_FLUSH);
            produced += kPiece - z.avail_out;
        } while (result == Z_OK && z.avail_out == 0);
    }
    inflateEnd(&z);
    const double seconds = watch.Seconds();
    if (result != Z_STREAM_END || produced != entry.GetUncompressedSize())
    {
        std::fprintf(stderr, "install_bench_win: the bare inflate of %s did not reach its end\n",
                     path.c_str());
        return -1;
    }
    return seconds;
}

// The times of one way of doing it over the rounds.
struct Samples
{
    const char* label;
    const char* tag; // the short name in the per-round lines
    std::vector<double> seconds;

    bool Add(double value)
    {
        seconds.push_back(value);
        return value >= 0;
    }
    double Median() const
    {
        std::vector<double> sorted = seconds;
        std::sort(sorted.begin(), sorted.end());
        const size_t n = sorted.size();
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
    double Best() const { return *std::min_element(seconds.begin(), seconds.end()); }

    void Print(ULONGLONG bytes, size_t files) const
    {
        const double median = Median();
        std::printf("  %-34s %8.3f s (best %.3f)  %7.1f MiB/s  %7.3f ms/file\n", label, median, Best(),
                    bytes / kMiB / median, 1000.0 * median / double(files));
    }
};

// One line per round, so that the spread behind the medians shows.
void PrintRound(int round, std::initializer_list<const Samples*> all)
{
    std::printf("  round %d (s):", round + 1);
    for (const Samples* samples : all)
        std::printf("  %s %.3f", samples->tag, samples->seconds.back());
    std::printf("\n");
    std::fflush(stdout);
}

const char* WineVersion()
{
    typedef const char*(CDECL * WineGetVersion)();
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    const auto proc = reinterpret_cast<WineGetVersion>(
        reinterpret_cast<void (*)()>(::GetProcAddress(ntdll, "wine_get_version")));
    return proc ? proc() : "none (Windows)";
}

// Rounds alternate which way goes first, so that neither always meets a
// disk still busy writing back the other's files.
bool RunSmallFiles(CSetupContext& context, CSilentPrompts& prompts, const std::string& root)
{
    SourceFiles files;
    files.folder = root + "\\small";
    const CStopwatch making;
    if (!MakeEmptyFolder(files.folder) || !MakeSmallFiles(files) ||
        !BuildPackage(root + "\\media\\SMALL.PKG", true, files) ||
        !BuildPackage(root + "\\media\\SMALLST.PKG", false, files))
        return false;
    const ULONGLONG compressed = FileSizeOf(root + "\\media\\SMALL.PKG");
    std::printf("small files: %d files, %.1f MiB (%lu-%lu bytes each); compressed package %.1f MiB (%.0f%%); "
                "made in %.1f s\n",
                kSmallFiles, files.bytes / kMiB, static_cast<unsigned long>(kSmallMin),
                static_cast<unsigned long>(kSmallMax), compressed / kMiB, 100.0 * compressed / files.bytes,
                making.Seconds());

    Samples install{"install, compressed package", "install", {}},
        stored{"install, stored package", "stored", {}}, copy{"CopyFileA loop", "copy", {}},
        copyFlush{"CopyFileA + FlushFileBuffers loop", "copy+flush", {}};
    const std::string destination = root + "\\out";
    for (int round = 0; round < kSmallRounds; ++round)
    {
        bool ok = true;
        if (round % 2 == 0)
        {
            ok = ok && install.Add(TimeInstall(context, prompts, "SMALL.PKG", destination));
            ok = ok && copy.Add(TimeCopy(files, destination, false));
            ok = ok && stored.Add(TimeInstall(context, prompts, "SMALLST.PKG", destination));
            ok = ok && copyFlush.Add(TimeCopy(files, destination, true));
        }
        else
        {
            ok = ok && copyFlush.Add(TimeCopy(files, destination, true));
            ok = ok && stored.Add(TimeInstall(context, prompts, "SMALLST.PKG", destination));
            ok = ok && copy.Add(TimeCopy(files, destination, false));
            ok = ok && install.Add(TimeInstall(context, prompts, "SMALL.PKG", destination));
        }
        if (!ok)
            return false;
        PrintRound(round, {&install, &stored, &copy, &copyFlush});
    }
    DeleteTree(destination);

    std::printf("  %d rounds, alternating; median (best) of each:\n", kSmallRounds);
    for (const Samples* samples : {&install, &stored, &copy, &copyFlush})
        samples->Print(files.bytes, files.names.size());
    const double perFile = 1000.0 * (install.Median() - copy.Median()) / kSmallFiles;
    std::printf("  install / CopyFileA: %.2fx (goal <= 1.5x); per-file overhead %.3f ms\n",
                install.Median() / copy.Median(), perFile);
    std::printf("  install / CopyFileA + flush: %.2fx; per-file overhead %.3f ms\n",
                install.Median() / copyFlush.Median(),
                1000.0 * (install.Median() - copyFlush.Median()) / kSmallFiles);
    std::printf("  stored install / CopyFileA: %.2fx; per-file overhead %.3f ms\n",
                stored.Median() / copy.Median(), 1000.0 * (stored.Median() - copy.Median()) / kSmallFiles);

    DeleteTree(files.folder);
    ::DeleteFileA((root + "\\media\\SMALL.PKG").c_str());
    ::DeleteFileA((root + "\\media\\SMALLST.PKG").c_str());
    return true;
}

bool RunLargeFile(CSetupContext& context, CSilentPrompts& prompts, const std::string& root)
{
    SourceFiles files;
    files.folder = root + "\\large";
    const std::string packed = root + "\\media\\LARGE.PKG", plain = root + "\\media\\LARGEST.PKG";
    const CStopwatch making;
    if (!MakeEmptyFolder(files.folder) || !MakeLargeFile(files))
        return false;
    const double made = making.Seconds();
    const CStopwatch packing;
    if (!BuildPackage(packed, true, files))
        return false;
    const double packTime = packing.Seconds();
    if (!BuildPackage(plain, false, files))
        return false;
    const ULONGLONG compressed = FileSizeOf(packed);
    std::printf("large file: 512 MiB of mixed data, made in %.1f s; compressed package %.1f MiB (%.0f%%), "
                "packed in %.1f s\n",
                made, compressed / kMiB, 100.0 * compressed / kLargeSize, packTime);

    Samples install{"install, compressed package", "install", {}},
        stored{"install, stored package", "stored", {}}, copy{"CopyFileA", "copy", {}},
        copyFlush{"CopyFileA + FlushFileBuffers", "copy+flush", {}},
        inflateOnly{"bare inflate (read + inflate)", "inflate", {}};
    const std::string destination = root + "\\out";
    for (int round = 0; round < kLargeRounds; ++round)
    {
        bool ok = true;
        if (round % 2 == 0)
        {
            ok = ok && install.Add(TimeInstall(context, prompts, "LARGE.PKG", destination));
            ok = ok && copy.Add(TimeCopy(files, destination, false));
            ok = ok && inflateOnly.Add(TimeInflate(packed));
            ok = ok && stored.Add(TimeInstall(context, prompts, "LARGEST.PKG", destination));
            ok = ok && copyFlush.Add(TimeCopy(files, destination, true));
        }
        else
        {
            ok = ok && copyFlush.Add(TimeCopy(files, destination, true));
            ok = ok && stored.Add(TimeInstall(context, prompts, "LARGEST.PKG", destination));
            ok = ok && inflateOnly.Add(TimeInflate(packed));
            ok = ok && copy.Add(TimeCopy(files, destination, false));
            ok = ok && install.Add(TimeInstall(context, prompts, "LARGE.PKG", destination));
        }
        DeleteTree(destination);
        if (!ok)
            return false;
        PrintRound(round, {&install, &stored, &copy, &copyFlush, &inflateOnly});
    }

    std::printf("  %d rounds, alternating; median (best) of each:\n", kLargeRounds);
    for (const Samples* samples : {&install, &stored, &copy, &copyFlush, &inflateOnly})
        samples->Print(kLargeSize, 1);
    const double bound = 1.1 * copy.Median() + inflateOnly.Median();
    std::printf(
        "  install %.3f s against 1.1 x CopyFileA + inflate = %.3f s: %.2fx of the goal (goal <= 1.0)\n",
        install.Median(), bound, install.Median() / bound);
    std::printf("  install / (CopyFileA + inflate): %.2fx; install / (CopyFileA + flush + inflate): %.2fx\n",
                install.Median() / (copy.Median() + inflateOnly.Median()),
                install.Median() / (copyFlush.Median() + inflateOnly.Median()));
    std::printf("  stored install / CopyFileA: %.2fx; stored install / (CopyFileA + flush): %.2fx\n",
                stored.Median() / copy.Median(), stored.Median() / copyFlush.Median());

    DeleteTree(files.folder);
    ::DeleteFileA(packed.c_str());
    ::DeleteFileA(plain.c_str());
    return true;
}

// Accumulated time of one kind of call over all files.
struct CallTime
{
    const char* label;
    double seconds = 0;
    unsigned long calls = 0;
};

// Runs one call and adds its time to the kind's total.
template <typename Call>
auto Timed(CallTime& kind, Call call) -> decltype(call())
{
    const CStopwatch watch;
    auto result = call();
    kind.seconds += watch.Seconds();
    ++kind.calls;
    return result;
}

void PrintCalls(const char* title, const std::vector<CallTime*>& kinds, int files, double wall)
{
    std::printf("%s (%d files):\n  %-40s %10s %8s\n", title, files, "call", "us/file", "calls");
    double sum = 0;
    for (const CallTime* kind : kinds)
    {
        std::printf("  %-40s %10.1f %8lu\n", kind->label, 1e6 * kind->seconds / files, kind->calls);
        sum += kind->seconds;
    }
    std::printf("  %-40s %10.1f\n  %-40s %10.1f\n", "sum of the calls", 1e6 * sum / files,
                "whole loop, wall clock", 1e6 * wall / files);
    std::fflush(stdout);
}

// The calls the installation makes for every file, in its order, each timed
// on its own: the status line (real progress window), the replace decision's
// existence test (and over an existing file its version read), the
// temporary-name probe, create, write (the package's extract), flush, time
// stamp, close and rename (over an existing file: the refused rename, the
// deletion and the second rename).
bool RunCalls(const std::string& root)
{
    SourceFiles files;
    files.folder = root + "\\calls";
    CMixedData data(4115u);
    std::vector<BYTE> buffer(4096);
    if (!MakeEmptyFolder(files.folder))
        return false;
    for (int i = 0; i < kSmallFiles; ++i)
    {
        char name[32];
        std::snprintf(name, sizeof name, "doc%04d.txt", i);
        data.Fill(buffer.data(), buffer.size());
        unique_hfile file = CreateNewFile(files.folder + "\\" + name);
        if (!Check(file.valid() && WriteAll(file.get(), buffer.data(), 4096), "writing", name))
            return false;
        files.names.push_back(name);
    }
    const std::string packagePath = root + "\\media\\CALLS.PKG";
    if (!BuildPackage(packagePath, true, files))
        return false;

    DLG_Installing window;
    if (!Check(window.Create(nullptr), "creating the progress window"))
        return false;
    window.SetStageText("Installing files");

    const std::string destination = root + "\\out";
    if (!MakeEmptyFolder(destination))
        return false;
    for (int pass = 0; pass < 2; ++pass)
    {
        const bool replacing = pass == 1;
        CallTime status{"status text + repaint"}, exists{"existence test (_access)"},
            version{"replace decision: version read"}, probe{"temporary name probe (GetFileAttributes)"},
            create{"create (CreateFileA)"}, write{"write (ExtractToFile)"}, flush{"flush (FlushFileBuffers)"},
            stamp{"time stamp (SetFileTime)"}, close{"close (CloseHandle)"}, rename{"rename (MoveFileA)"},
            remove{"delete old target (DeleteFileA)"}, rename2{"rename after deletion (MoveFileA)"};
        CPackageFile package;
        if (!Check(package.Open(packagePath.c_str(), FALSE) != FALSE, "opening", packagePath))
            return false;
        const CPackageCatalog catalog = package.GetCatalog();
        const CStopwatch wall;
        for (int i = 0; i < catalog.GetCount(); ++i)
        {
            const CPackageCatalogEntry entry = catalog.GetAt(i);
            const std::string target = destination + "\\" + files.names[i];
            Timed(status, [&] { window.SetStatusText(files.names[i]); return 0; });
            const bool present = Timed(exists, [&] { return ::_access(target.c_str(), 0) == 0; });
            if (present != replacing)
                return Check(false, "existence test of", target);
            if (present)
                Timed(version, [&] {
                    CVersionData versionData;
                    return versionData.LoadFromFile(target.c_str());
                });
            std::string temp;
            unsigned counter = 1;
            do
            {
                char name[32];
                std::snprintf(name, sizeof name, "\\$tmp%04u.tmp", counter++);
                temp = destination + name;
            } while (Timed(probe, [&] { return ::GetFileAttributesA(temp.c_str()) != INVALID_FILE_ATTRIBUTES; }));
            unique_hfile file(Timed(create, [&] {
                return ::CreateFileA(temp.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
            }));
            const PackageFileInfo info = entry.GetFileInfo();
            if (!Check(file.valid(), "creating", temp) ||
                !Check(Timed(write, [&] { return package.ExtractToFile(i, file.get()); }) != FALSE, "extracting",
                       target) ||
                !Check(Timed(flush, [&] { return ::FlushFileBuffers(file.get()); }) != FALSE, "flushing", temp) ||
                !Check(Timed(stamp, [&] {
                           return ::SetFileTime(file.get(), &info.ftCreation, nullptr, &info.ftLastWrite);
                       }) != FALSE,
                       "stamping", temp))
                return false;
            Timed(close, [&] { file.reset(); return 0; });
            if (Timed(rename, [&] { return ::MoveFileA(temp.c_str(), target.c_str()); }))
                continue;
            if (!Check(Timed(remove, [&] { return ::DeleteFileA(target.c_str()); }) != FALSE, "deleting", target) ||
                !Check(Timed(rename2, [&] { return ::MoveFileA(temp.c_str(), target.c_str()); }) != FALSE,
                       "renaming", temp))
                return false;
        }
        const double seconds = wall.Seconds();
        package.Close();
        if (replacing)
            PrintCalls("per-file calls over existing files", {&status, &exists, &version, &probe, &create, &write,
                                                                &flush, &stamp, &close, &rename, &remove, &rename2},
                       kSmallFiles, seconds);
        else
            PrintCalls("per-file calls into an empty folder",
                       {&status, &exists, &probe, &create, &write, &flush, &stamp, &close, &rename}, kSmallFiles,
                       seconds);
    }
    window.DestroyWindow();

    // The same files into an empty folder with fewer calls: no existence
    // test, no name probe, no flush; renamed by name after the close, or
    // through the open handle before it.
    for (const bool byHandle : {false, true})
    {
        if (!MakeEmptyFolder(destination))
            return false;
        CallTime create{byHandle ? "create (CreateFileA, exact name)" : "create (CreateFileA)"},
            write{"write (ExtractToFile)"}, stamp{"time stamp (SetFileTime)"},
            close{"close (CloseHandle)"}, rename{byHandle ? "rename (SetFileInformationByHandle)" : "rename (MoveFileA)"};
        CPackageFile package;
        if (!Check(package.Open(packagePath.c_str(), FALSE) != FALSE, "opening", packagePath))
            return false;
        const CPackageCatalog catalog = package.GetCatalog();
        const std::string temp = destination + "\\$tmp0001.tmp";
        const CStopwatch wall;
        for (int i = 0; i < catalog.GetCount(); ++i)
        {
            const std::string target = destination + "\\" + files.names[i];
            unique_hfile file(Timed(create, [&] {
                return ::CreateFileA(temp.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN |
                                         (byHandle ? FILE_FLAG_POSIX_SEMANTICS : 0),
                                     nullptr);
            }));
            const PackageFileInfo info = catalog.GetAt(i).GetFileInfo();
            if (!Check(file.valid(), "creating", temp) ||
                !Check(Timed(write, [&] { return package.ExtractToFile(i, file.get()); }) != FALSE, "extracting",
                       target) ||
                !Check(Timed(stamp, [&] {
                           return ::SetFileTime(file.get(), &info.ftCreation, nullptr, &info.ftLastWrite);
                       }) != FALSE,
                       "stamping", temp))
                return false;
            if (byHandle)
            {
                const std::wstring wide(target.begin(), target.end());
                std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + wide.size() * sizeof(WCHAR));
                auto* rename_info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
                rename_info->ReplaceIfExists = FALSE;
                rename_info->RootDirectory = nullptr;
                rename_info->FileNameLength = static_cast<DWORD>(wide.size() * sizeof(WCHAR));
                std::copy(wide.begin(), wide.end(), rename_info->FileName);
                if (!Check(Timed(rename, [&] {
                               return ::SetFileInformationByHandle(file.get(), FileRenameInfo, rename_info,
                                                                   static_cast<DWORD>(buffer.size()));
                           }) != FALSE,
                           "renaming by handle", target))
                    return false;
                Timed(close, [&] { file.reset(); return 0; });
            }
            else
            {
                Timed(close, [&] { file.reset(); return 0; });
                if (!Check(Timed(rename, [&] { return ::MoveFileA(temp.c_str(), target.c_str()); }) != FALSE,
                           "renaming", temp))
                    return false;
            }
        }
        const double seconds = wall.Seconds();
        package.Close();
        PrintCalls(byHandle ? "fewer calls, renamed through the handle" : "fewer calls, renamed by name",
                   {&create, &write, &stamp, &close, &rename}, kSmallFiles, seconds);
    }
    // The calls the setup makes now. A new file: a journal note, the target
    // created under its own name, a second note, the data, the time stamp,
    // the flush (on a thread of its own in the setup) and the close. Over an
    // existing file: opened once, its first bytes read, its contents kept in
    // the undo data with a note, the new data in memory, then (after one
    // flush of the batch) written through the same handle, stamped, flushed
    // and closed.
    if (!MakeEmptyFolder(destination))
        return false;
    const std::string journalPath = root + "\\calls.journal", undoPath = root + "\\calls.undo";
    for (const bool replacing : {false, true})
    {
        CallTime note{"journal note (WriteFile)"}, create{"create the target (CreateFileA, CREATE_NEW)"},
            open{"open the existing file (CreateFileA, OPEN_EXISTING)"}, head{"first bytes (ReadFile)"},
            keep{"keep earlier contents (ReadFile + WriteFile to the undo data)"},
            write{replacing ? "new data into memory (ExtractToSink)" : "write (ExtractToFile)"},
            overwrite{"overwrite in place (WriteFile + SetEndOfFile)"}, stamp{"time stamp (SetFileTime)"},
            flush{"flush (FlushFileBuffers)"}, close{"close (CloseHandle)"},
            group{"group commit per 256 files (2 flushes, per file)"};
        unique_hfile journal(CreateNewFile(journalPath)), undo(CreateNewFile(undoPath));
        CPackageFile package;
        if (!Check(journal.valid() && undo.valid(), "creating", journalPath) ||
            !Check(package.Open(packagePath.c_str(), FALSE) != FALSE, "opening", packagePath))
            return false;
        const CPackageCatalog catalog = package.GetCatalog();
        const std::string line = std::string("contents\t") + destination + "\\doc0000.txt\t0\t4096\t0\t1\t1\r\n";
        std::vector<BYTE> earlier(64 * 1024);
        const CStopwatch wall;
        for (int i = 0; i < catalog.GetCount(); ++i)
        {
            const std::string target = destination + "\\" + files.names[i];
            const PackageFileInfo info = catalog.GetAt(i).GetFileInfo();
            bool ok = Timed(note, [&] { return WriteAll(journal.get(), reinterpret_cast<const BYTE*>(line.data()), static_cast<DWORD>(line.size())); });
            unique_hfile file;
            if (!replacing)
            {
                file.reset(Timed(create, [&] {
                    return ::CreateFileA(target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
                }));
                ok = ok && file.valid() &&
                     Timed(note, [&] { return WriteAll(journal.get(), reinterpret_cast<const BYTE*>(line.data()), static_cast<DWORD>(line.size())); }) &&
                     Timed(write, [&] { return package.ExtractToFile(i, file.get()); }) != FALSE;
            }
            else
            {
                file.reset(Timed(open, [&] {
                    return ::CreateFileA(target.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                }));
                DWORD read = 0;
                CByteArray data;
                ok = ok && file.valid() &&
                     Timed(head, [&] { return ::ReadFile(file.get(), earlier.data(), 2, &read, nullptr); }) &&
                     Timed(keep, [&] {
                         ::SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN);
                         return ::ReadFile(file.get(), earlier.data(), static_cast<DWORD>(earlier.size()), &read,
                                           nullptr) &&
                                WriteAll(undo.get(), earlier.data(), read);
                     }) &&
                     Timed(write, [&] { return package.ExtractToMemory(i, data); }) != FALSE &&
                     Timed(overwrite, [&] {
                         ::SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN);
                         return WriteAll(file.get(), data.GetData(), static_cast<DWORD>(data.GetSize())) &&
                                ::SetEndOfFile(file.get());
                     });
                if (ok && i % 256 == 255)
                    Timed(group, [&] { return ::FlushFileBuffers(undo.get()) && ::FlushFileBuffers(journal.get()); });
            }
            ok = ok && Timed(stamp, [&] { return ::SetFileTime(file.get(), &info.ftCreation, nullptr, &info.ftLastWrite); }) &&
                 Timed(flush, [&] { return ::FlushFileBuffers(file.get()); });
            if (!Check(ok, replacing ? "overwriting" : "writing", target))
                return false;
            Timed(close, [&] { file.reset(); return 0; });
        }
        const double seconds = wall.Seconds();
        package.Close();
        journal.reset();
        undo.reset();
        ::DeleteFileA(journalPath.c_str());
        ::DeleteFileA(undoPath.c_str());
        if (replacing)
            PrintCalls("the setup's calls now, over existing files (the flush on a thread of its own in the setup)",
                       {&note, &open, &head, &keep, &write, &overwrite, &stamp, &flush, &close, &group}, kSmallFiles,
                       seconds);
        else
            PrintCalls("the setup's calls now, into an empty folder (the flush on a thread of its own in the setup)",
                       {&note, &create, &write, &stamp, &flush, &close}, kSmallFiles, seconds);
    }
    DeleteTree(destination);
    DeleteTree(files.folder);
    ::DeleteFileA(packagePath.c_str());
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    std::string part = "all";
    if (argc > 1 && (std::string(argv[1]) == "calls" || std::string(argv[1]) == "small" ||
                     std::string(argv[1]) == "large"))
    {
        part = argv[1];
        --argc;
        ++argv;
    }
    std::string root;
    if (argc > 1)
        root = argv[1];
    else
    {
        char temp[MAX_PATH];
        const DWORD length = ::GetTempPathA(MAX_PATH, temp);
        root = std::string(temp, length) + "lumiro-bench";
    }
    while (!root.empty() && (root.back() == '\\' || root.back() == '/'))
        root.pop_back();

    std::printf("install_bench_win: Wine %s, zlib %s; scratch folder %s\n", WineVersion(), zlibVersion(),
                root.c_str());
    std::fflush(stdout);
    if (!MakeEmptyFolder(root) || !MakeEmptyFolder(root + "\\media"))
        return 1;

    CSilentPrompts prompts;
    CSetupContext context;
    CRunParts parts(context);
    context.SetPrompts(&prompts);
    context.m_strSourceDir = root + "\\media\\";

    if (part == "calls")
    {
        const bool ok = RunCalls(root);
        DeleteTree(root);
        return ok ? 0 : 1;
    }
    bool ok = part == "large" || RunSmallFiles(context, prompts, root);
    std::fflush(stdout);
    ok = ok && (part == "small" || RunLargeFile(context, prompts, root));
    std::fflush(stdout);
    DeleteTree(root);
    return ok ? 0 : 1;
}
