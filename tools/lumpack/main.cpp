// lumpack: makes, extends, lists, checks and unpacks package files.
//
//   lumpack create [--stored] [--label TEXT] [--dirs] PACKAGE DIR
//   lumpack append [--dirs] PACKAGE DIR
//   lumpack list PACKAGE [--json]
//   lumpack verify PACKAGE
//   lumpack extract PACKAGE DIR [NAME...]
//   lumpack --help | --version
//
// Exit status 0 on success, 1 on failure (with one line on standard error
// naming the file and the reason), 2 on a usage error.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "EntryNames.h"
#include "PeVersion.h"
#include "Progress.h"
#include "SourceDate.h"
#include "ToolPlatform.h"
#include "package/EntryName.h"
#include "package/FileIo.h"
#include "package/PackageFile.h"
#include "portable/ErrorText.h"
#include "portable/ScopedFile.h"

namespace
{
const char kUsage[] = "usage: lumpack create [--stored] [--label TEXT] [--dirs] PACKAGE DIR\n"
                      "       lumpack append [--dirs] PACKAGE DIR\n"
                      "       lumpack list PACKAGE [--json]\n"
                      "       lumpack verify PACKAGE\n"
                      "       lumpack extract PACKAGE DIR [NAME...]\n"
                      "       lumpack --help | --version\n";

const char kHelp[] =
    "\n"
    "Makes and inspects the package files of the Lumiro setup.\n"
    "\n"
    "  create   a new package from the files below DIR (compressed unless --stored;\n"
    "           --dirs adds an entry for each folder, --label sets the label)\n"
    "  append   adds the files below DIR after the entries of PACKAGE\n"
    "  list     label, build and one row per entry (--json: the same as JSON)\n"
    "  verify   checks the package's own SHA-256 over every byte, then reads every\n"
    "           entry and names each damaged one\n"
    "  extract  writes all entries, or the NAMEs given, below DIR\n"
    "\n"
    "With SOURCE_DATE_EPOCH set (seconds since 1970-01-01 UTC), create and append\n"
    "record no file time later than it, so that a reproducible build makes the\n"
    "same package whenever its files were written.\n"
    "\n"
    "Exit status: 0 success, 1 failure, 2 usage error.\n";

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

// How many names a temporary file beside a target may try.
constexpr unsigned kMaxTemporaryNames = 1000;

int UsageError(const std::string& why)
{
    std::fprintf(stderr, "lumpack: %s\n%s", why.c_str(), kUsage);
    return kUsageError;
}

int Failure(const std::string& object, const std::string& reason)
{
    std::fprintf(stderr, "lumpack: %s: %s\n", object.c_str(), reason.c_str());
    return kFailure;
}

int Failure(const std::string& object, DWORD error)
{
    return Failure(object, GetErrorText(error));
}

struct Arguments
{
    std::vector<std::string> positional;
    bool stored = false;
    bool dirs = false;
    bool json = false;
    bool hasLabel = false;
    std::string label;
};

// Options may stand anywhere; "--" ends them.
bool ParseArguments(const std::vector<std::string>& argv, const std::vector<std::string>& allowed, Arguments& args,
                    std::string& error)
{
    const size_t argc = argv.size();
    bool options = true;
    for (size_t i = 2; i < argc; ++i)
    {
        const std::string& arg = argv[i];
        if (!options || arg.size() < 2 || arg.compare(0, 2, "--") != 0)
        {
            args.positional.push_back(arg);
            continue;
        }
        if (arg == "--")
        {
            options = false;
            continue;
        }
        std::string name = arg, value;
        const size_t equals = arg.find('=');
        if (equals != std::string::npos)
        {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        }
        bool known = false;
        for (const std::string& a : allowed)
            known = known || a == name;
        if (!known)
        {
            error = "unknown option " + name;
            return false;
        }
        if (name == "--label")
        {
            if (equals == std::string::npos)
            {
                if (i + 1 >= argc)
                {
                    error = "--label needs a text";
                    return false;
                }
                value = argv[++i];
            }
            args.hasLabel = true;
            args.label = value;
            continue;
        }
        if (equals != std::string::npos)
        {
            error = name + " takes no value";
            return false;
        }
        if (name == "--stored")
            args.stored = true;
        else if (name == "--dirs")
            args.dirs = true;
        else if (name == "--json")
            args.json = true;
    }
    return true;
}

std::string JoinPath(const std::string& folder, const std::string& relative)
{
    if (folder.empty())
        return relative;
    const char last = folder.back();
    if (last == '/' || last == kNativeSeparator)
        return folder + relative;
    return folder + kNativeSeparator + relative;
}

// Creates a folder and the folders above it that are missing.
bool MakeFolders(const std::string& path)
{
    DWORD lastError = NO_ERROR;
    for (size_t i = 1; i <= path.size(); ++i)
    {
        if (i < path.size() && path[i] != '/' && path[i] != kNativeSeparator)
            continue;
        const std::string prefix = path.substr(0, i);
        lastError = CreateDirectoryU(prefix.c_str(), nullptr) ? NO_ERROR : GetLastError();
        if (lastError == ERROR_ALREADY_EXISTS)
            lastError = NO_ERROR;
    }
    SetLastError(lastError);
    return lastError == NO_ERROR;
}

// ---------------------------------------------------------------------------
// create and append

// The limit of the times recorded, from the environment; a value that is set
// but no time is refused before anything is made.
int ReadSourceDate(SourceDate& date)
{
    std::string error;
    if (!ParseSourceDateEpoch(std::getenv("SOURCE_DATE_EPOCH"), date, error))
        return Failure("lumpack", error);
    return kSuccess;
}

struct Source
{
    std::string path;
    std::string relative;
    PackageName name;
    bool isDirectory;
    ULONGLONG size;
};

// The files below root (and with dirs its folders) that become entries. A
// name the entry-name rules refuse is refused here, before the package
// exists, as the setup and extract would refuse it.
int CollectSources(const std::string& root, bool dirs, std::vector<Source>& sources, ULONGLONG& total)
{
    std::vector<TreeItem> items;
    std::string failedPath;
    if (!ListTree(root, items, failedPath))
        return Failure(failedPath, GetLastError());
    total = 0;
    for (const TreeItem& item : items)
    {
        if (item.isDirectory && !dirs)
            continue;
        Source s{JoinPath(root, item.relative), item.relative, {}, item.isDirectory, item.size};
        if (!RelativePathToEntryName(item.relative, s.name))
            return Failure(s.path, GetLastError());
        const EntryNameProblem problem = CheckEntryName(s.name.c_str());
        if (problem != EntryNameProblem::None)
            return Failure(s.path, std::string("not packed: ") + DescribeEntryNameProblem(problem));
        if (s.name.size() > PACKAGE_NAME_UNITS - 1)
            return Failure(s.path, "the name is longer than a package entry holds (1023 characters)");
        if (!item.isDirectory && item.size > 0xFFFFFFFFull)
            return Failure(s.path, ERROR_FILE_TOO_LARGE);
        total += item.size;
        sources.push_back(std::move(s));
    }
    return kSuccess;
}

int AddSources(CPackageFile& package, const std::string& packagePath, const std::vector<Source>& sources,
               ULONGLONG total, const SourceDate& sourceDate, int& added)
{
    CProgress progress(total);
    package.SetProgressProc(CProgress::Callback, &progress);
    added = 0;
    for (const Source& s : sources)
    {
        CPackageCatalogEntry entry;
        if (s.isDirectory)
        {
            entry.SetDirectory(s.name.c_str());
            if (!package.AddFromMemory(entry, nullptr, 0))
                return Failure(packagePath, GetLastError());
            ++added;
            continue;
        }
        // A package inside the folder it is made from is not packed into itself.
        if (IsSameFile(s.path, packagePath))
            continue;
        progress.SetItem(s.relative);
        CScopedFile in(CreateFileU(s.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!in.valid())
            return Failure(s.path, GetLastError());
        DWORD high = 0;
        const DWORD size = GetFileSize(in.get(), &high);
        if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
            return Failure(s.path, GetLastError());
        if (high != 0)
            return Failure(s.path, ERROR_FILE_TOO_LARGE);
        FILETIME created, written;
        if (!GetFileTime(in.get(), &created, nullptr, &written))
            return Failure(s.path, GetLastError());
        ULONGLONG version = 0;
        CFileByteSource bytes(in.get());
        if (!ReadPeFileVersion(bytes, version))
            version = 0;
        if (!SeekTo(in.get(), 0))
            return Failure(s.path, GetLastError());
        entry.SetFile(s.name.c_str(), ClampToSourceDate(created, sourceDate), ClampToSourceDate(written, sourceDate),
                      version);

        // An empty file has no bytes to read: in a compressed package it
        // becomes the stream of empty input.
        static const BYTE kNothing = 0;
        const BOOL ok = size == 0 && package.IsCompressed() ? package.AddFromMemory(entry, &kNothing, 0)
                                                            : package.AddFromFile(entry, in.get(), size);
        if (!ok)
        {
            const DWORD error = GetLastError();
            progress.Finish();
            return Failure(packagePath, "cannot add " + s.path + ": " + GetErrorText(error));
        }
        ++added;
    }
    progress.Finish();
    return kSuccess;
}

int Create(const Arguments& args)
{
    if (args.positional.size() != 2)
        return UsageError("create needs PACKAGE and DIR");
    const std::string& packagePath = args.positional[0];
    SourceDate sourceDate;
    if (ReadSourceDate(sourceDate) != kSuccess)
        return kFailure;
    std::vector<Source> sources;
    ULONGLONG total = 0;
    // The tree is read before the package exists, so it never lists it.
    if (CollectSources(args.positional[1], args.dirs, sources, total) != kSuccess)
        return kFailure;

    CPackageFile package;
    if (!package.Create(packagePath.c_str(), !args.stored))
        return Failure(packagePath, GetLastError());
    if (args.hasLabel && package.SetLabel(args.label.c_str()) < static_cast<int>(args.label.size() + 1))
        std::fprintf(stderr, "lumpack: note: the label is cut to %u characters\n",
                     static_cast<unsigned>(PACKAGE_LABEL_SIZE - 1));
    int added = 0;
    if (AddSources(package, packagePath, sources, total, sourceDate, added) != kSuccess)
    {
        package.Discard();
        return kFailure;
    }
    if (!package.Commit())
    {
        const DWORD error = GetLastError();
        package.Discard();
        return Failure(packagePath, error);
    }
    std::printf("%s: %d entries, %s\n", packagePath.c_str(), added, args.stored ? "stored" : "compressed");
    return kSuccess;
}

// What an append changes in a package: the header's catalog offset and
// everything from the old catalog on. Kept so that a failed append can put
// the package back as it was.
struct PackageTail
{
    DWORD catalogOffset = 0;
    std::vector<BYTE> bytes;
};

bool SaveTail(const std::string& path, PackageTail& tail)
{
    CScopedFile file(CreateFileU(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.valid())
        return false;
    BYTE header[PACKAGE_HEADER_SIZE];
    DWORD high = 0;
    const DWORD size = GetFileSize(file.get(), &high);
    if (!ReadExact(file.get(), header, sizeof header, ERROR_FILE_CORRUPT))
        return false;
    tail.catalogOffset = LoadLE32(header + HEADER_CATALOG_OFFSET);
    if (high != 0 || tail.catalogOffset < PACKAGE_HEADER_SIZE || tail.catalogOffset > size)
    {
        SetLastError(ERROR_FILE_CORRUPT);
        return false;
    }
    try
    {
        tail.bytes.resize(size - tail.catalogOffset);
    }
    catch (const std::bad_alloc&)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return SeekTo(file.get(), tail.catalogOffset) &&
           ReadExact(file.get(), tail.bytes.data(), static_cast<DWORD>(tail.bytes.size()), ERROR_FILE_CORRUPT);
}

void RestoreTail(const std::string& path, const PackageTail& tail)
{
    CScopedFile file(
        CreateFileU(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    BYTE offset[4];
    StoreLE32(offset, tail.catalogOffset);
    if (!file.valid() || !SeekTo(file.get(), tail.catalogOffset) ||
        !WriteExact(file.get(), tail.bytes.data(), static_cast<DWORD>(tail.bytes.size())) ||
        !SetEndOfFile(file.get()) || !SeekTo(file.get(), HEADER_CATALOG_OFFSET) ||
        !WriteExact(file.get(), offset, sizeof offset) || !FlushFileBuffers(file.get()))
        Failure(path, "could not be put back as it was: " + GetErrorText(GetLastError()));
}

int Append(const Arguments& args)
{
    if (args.positional.size() != 2)
        return UsageError("append needs PACKAGE and DIR");
    const std::string& packagePath = args.positional[0];
    SourceDate sourceDate;
    if (ReadSourceDate(sourceDate) != kSuccess)
        return kFailure;
    std::vector<Source> sources;
    ULONGLONG total = 0;
    if (CollectSources(args.positional[1], args.dirs, sources, total) != kSuccess)
        return kFailure;

    CPackageFile package;
    PackageTail tail;
    if (!SaveTail(packagePath, tail) || !package.Open(packagePath.c_str(), TRUE))
        return Failure(packagePath, GetLastError());
    const int before = package.GetCatalog().GetCount();
    int added = 0;
    bool ok = AddSources(package, packagePath, sources, total, sourceDate, added) == kSuccess;
    if (ok && !package.Commit())
    {
        Failure(packagePath, GetLastError());
        ok = false;
    }
    if (!ok)
    {
        package.Close();
        RestoreTail(packagePath, tail);
        return kFailure;
    }
    std::printf("%s: %d entries added, %d in all\n", packagePath.c_str(), added, before + added);
    return kSuccess;
}

// ---------------------------------------------------------------------------
// list

std::string FormatVersion(const PackageFileInfo& info)
{
    char text[48];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", static_cast<unsigned>(info.dwVersionMS >> 16),
                  static_cast<unsigned>(info.dwVersionMS & 0xFFFF), static_cast<unsigned>(info.dwVersionLS >> 16),
                  static_cast<unsigned>(info.dwVersionLS & 0xFFFF));
    return text;
}

ULONGLONG Ticks(const FILETIME& ft)
{
    return (ULONGLONG(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// A FILETIME as "YYYY-MM-DD HH:MM:SS" (UTC).
std::string FormatFileTime(const FILETIME& ft)
{
    const ULONGLONG seconds = Ticks(ft) / 10000000ULL;
    // Days since 1970-01-01 from days since 1601-01-01, then the civil date.
    long long z = static_cast<long long>(seconds / 86400) - 134774 + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned day = doy - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = static_cast<long long>(yoe) + era * 400 + (month <= 2);
    const unsigned secondOfDay = static_cast<unsigned>(seconds % 86400);
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02u:%02u:%02u", year, month, day, secondOfDay / 3600,
                  secondOfDay / 60 % 60, secondOfDay % 60);
    return text;
}

void AppendJsonUnit(std::string& out, unsigned c)
{
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", c);
    out += escape;
}

std::string JsonName(const WCHAR* name)
{
    std::string out = "\"";
    for (const WCHAR* p = name; *p != 0; ++p)
    {
        const unsigned c = *p;
        if (c == '"' || c == '\\')
            (out += '\\') += static_cast<char>(c);
        else if (IsControlCharacter(c))
            AppendJsonUnit(out, c);
        else if (c < 0x80)
            out += static_cast<char>(c);
        else if ((c & 0xFC00) == 0xD800 && (p[1] & 0xFC00) == 0xDC00)
        {
            const unsigned cp = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
            ++p;
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
        else if ((c & 0xF800) == 0xD800)
            AppendJsonUnit(out, c); // a lone surrogate stays visible as an escape
        else if (c < 0x800)
        {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        else
        {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out + "\"";
}

// The label is bytes of the packer's code page: ASCII as it is, every
// other byte as the character of the same number.
std::string JsonLabel(const char* label)
{
    PackageName units;
    for (const char* p = label; *p != 0; ++p)
        units += static_cast<WCHAR>(static_cast<unsigned char>(*p));
    return JsonName(units.c_str());
}

int List(const Arguments& args)
{
    if (args.positional.size() != 1)
        return UsageError("list needs PACKAGE");
    const std::string& packagePath = args.positional[0];
    CPackageFile package;
    if (!package.Open(packagePath.c_str(), FALSE))
        return Failure(packagePath, GetLastError());
    const CPackageCatalog catalog = package.GetCatalog();
    const LONG build = package.GetBuild();
    const bool compressed = package.IsCompressed() != FALSE;
    const DWORD checkKind = package.GetCheckKind();
    package.Close();

    if (args.json)
    {
        std::printf("{\n  \"label\": %s,\n  \"build\": %ld,\n  \"compressed\": %s,\n  \"checkKind\": %lu,\n"
                    "  \"entries\": [",
                    JsonLabel(catalog.GetLabel()).c_str(), static_cast<long>(build), compressed ? "true" : "false",
                    static_cast<unsigned long>(checkKind));
        for (int i = 0; i < catalog.GetCount(); ++i)
        {
            const CPackageCatalogEntry e = catalog.GetAt(i);
            const bool isFile = e.GetKind() == entryFile;
            const PackageFileInfo info = e.GetFileInfo();
            std::printf("%s\n    {\"index\": %d, \"name\": %s, \"kind\": %ld, \"kindName\": %s, "
                        "\"storedSize\": %lu, \"uncompressedSize\": %lu, \"dataOffset\": %lu, ",
                        i == 0 ? "" : ",", i, JsonName(e.GetName()).c_str(), static_cast<long>(e.GetKind()),
                        JsonLabel(e.GetKindName().c_str()).c_str(), static_cast<unsigned long>(e.GetStoredSize()),
                        static_cast<unsigned long>(e.GetUncompressedSize()),
                        static_cast<unsigned long>(e.GetDataOffset()));
            if (isFile)
                std::printf("\"creationTime\": %llu, \"lastWriteTime\": %llu, \"version\": \"%s\"}",
                            Ticks(info.ftCreation), Ticks(info.ftLastWrite), FormatVersion(info).c_str());
            else
                std::printf("\"creationTime\": null, \"lastWriteTime\": null, \"version\": null}");
        }
        std::printf("%s]\n}\n", catalog.GetCount() == 0 ? "" : "\n  ");
        return kSuccess;
    }

    const std::string check = checkKind == PACKAGE_CHECK_SHA256 ? "SHA-256 of its own bytes (verify checks it)"
                              : checkKind == 0 ? "none (a package of an older packer)"
                                               : "unknown kind " + std::to_string(checkKind);
    std::printf("Package:    %s\nLabel:      %s\nBuild:      %ld\nCompressed: %s\nCheck:      %s\nEntries:    %d\n\n",
                packagePath.c_str(), catalog.GetLabel(), static_cast<long>(build), compressed ? "yes" : "no",
                check.c_str(), catalog.GetCount());
    std::printf("%5s  %-11s  %10s  %12s  %10s  %-15s  %-19s  %s\n", "Index", "Kind", "Stored", "Uncompressed",
                "Offset", "Version", "Last write (UTC)", "Name");
    for (int i = 0; i < catalog.GetCount(); ++i)
    {
        const CPackageCatalogEntry e = catalog.GetAt(i);
        const bool isFile = e.GetKind() == entryFile;
        const PackageFileInfo info = e.GetFileInfo();
        std::printf("%5d  %-11s  %10lu  %12lu  %10lu  %-15s  %-19s  %s\n", i, e.GetKindName().c_str(),
                    static_cast<unsigned long>(e.GetStoredSize()), static_cast<unsigned long>(e.GetUncompressedSize()),
                    static_cast<unsigned long>(e.GetDataOffset()), isFile ? FormatVersion(info).c_str() : "-",
                    isFile ? FormatFileTime(info.ftLastWrite).c_str() : "-", DisplayName(e.GetName()).c_str());
    }
    return kSuccess;
}

// ---------------------------------------------------------------------------
// verify and extract

bool HasData(const CPackageCatalogEntry& e)
{
    return e.GetDataOffset() != 0 && e.GetStoredSize() != 0;
}

// Whether verify reads the entry: every file (its contents must match its
// record, also when it has no data) and every other entry that has data.
bool IsChecked(const CPackageCatalogEntry& e)
{
    return e.GetKind() == entryFile || HasData(e);
}

int Verify(const Arguments& args)
{
    if (args.positional.size() != 1)
        return UsageError("verify needs PACKAGE");
    const std::string& packagePath = args.positional[0];
    CPackageFile package;
    if (!package.Open(packagePath.c_str(), FALSE))
        return Failure(packagePath, GetLastError());
    const CPackageCatalog catalog = package.GetCatalog();
    CScopedFile sink(CreateFileU(NullDevicePath(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    if (!sink.valid())
        return Failure(NullDevicePath(), GetLastError());

    // First the package's check over its own bytes, which alone covers the
    // header, the catalog (names, times, versions) and stored data; then
    // each entry, so that a damaged one is named.
    PackageCheckState state = PackageCheckState::None;
    if (!package.CheckOwnBytes(state))
        return Failure(packagePath, GetLastError());
    if (state == PackageCheckState::Damaged)
        std::printf("%s: its bytes are not those its own check (SHA-256) was made over: the header, the catalog "
                    "or the data were changed\n",
                    packagePath.c_str());

    ULONGLONG total = 0;
    for (int i = 0; i < catalog.GetCount(); ++i)
        if (HasData(catalog.GetAt(i)))
            total += catalog.GetAt(i).GetStoredSize();
    CProgress progress(total);
    package.SetProgressProc(CProgress::Callback, &progress);
    int checked = 0, damaged = 0;
    for (int i = 0; i < catalog.GetCount(); ++i)
    {
        const CPackageCatalogEntry e = catalog.GetAt(i);
        if (!IsChecked(e))
            continue;
        ++checked;
        progress.SetItem(DisplayName(e.GetName()));
        const BOOL intact = e.GetKind() == entryFile ? package.ExtractContentsToFile(i, sink.get())
                                                     : package.ExtractToFile(i, sink.get());
        if (!intact)
        {
            const DWORD error = GetLastError();
            progress.Finish();
            std::printf("%s: entry %d \"%s\": %s\n", packagePath.c_str(), i, DisplayName(e.GetName()).c_str(),
                        GetErrorText(error).c_str());
            ++damaged;
        }
    }
    progress.Finish();
    package.Close();
    if (damaged != 0 || state == PackageCheckState::Damaged)
    {
        std::fflush(stdout);
        std::string reasons;
        if (state == PackageCheckState::Damaged)
            reasons = "its own check does not hold";
        if (damaged != 0)
            reasons += (reasons.empty() ? "" : "; ") + std::to_string(damaged) + " of " + std::to_string(checked) +
                       " entries checked are damaged";
        return Failure(packagePath, reasons);
    }
    std::printf("%s: %d entries, %d checked, all intact%s\n", packagePath.c_str(), catalog.GetCount(), checked,
                state == PackageCheckState::Intact
                    ? "; its own check (SHA-256 of every byte) holds"
                    : "; it carries no check of its own (an older package): its header, catalog and stored data "
                      "could not be checked");
    return kSuccess;
}

// Creates a temporary file beside target under a name nothing has yet:
// target + ".lumpack-part", then ".lumpack-part1", ".lumpack-part2", ...
// CREATE_NEW makes the creation itself the test, so a file, folder or link
// that has one of these names (a person's own file, another entry of the
// package) is never opened, followed or removed.
CScopedFile CreateTemporaryBeside(const std::string& target, std::string& temporary)
{
    for (unsigned n = 0;; ++n)
    {
        temporary = target + ".lumpack-part" + (n == 0 ? std::string() : std::to_string(n));
        CScopedFile out(CreateFileU(temporary.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (out.valid())
            return out;
        const DWORD error = GetLastError();
        // Windows refuses a name taken by a folder as access denied.
        const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || PathExists(temporary);
        if (!taken || n == kMaxTemporaryNames)
        {
            SetLastError(error);
            return out;
        }
    }
}

// Writes entry index to target through a temporary file of lumpack's own
// beside it, so that an existing file is replaced only by a complete one,
// with the entry's times. On failure the last error is the failing call's
// own, and only the temporary file lumpack made is deleted.
bool ExtractFile(CPackageFile& package, int index, const CPackageCatalogEntry& e, const std::string& target)
{
    std::string temporary;
    CScopedFile out = CreateTemporaryBeside(target, temporary);
    if (!out.valid())
        return false;
    const PackageFileInfo info = e.GetFileInfo();
    bool ok = package.ExtractContentsToFile(index, out.get()) &&
              SetFileTime(out.get(), &info.ftCreation, nullptr, &info.ftLastWrite);
    DWORD error = ok ? NO_ERROR : GetLastError();
    out.reset();
    if (ok && !MoveFileExU(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
    {
        ok = false;
        error = GetLastError();
    }
    if (!ok)
    {
        DeleteFileU(temporary.c_str());
        SetLastError(error);
    }
    return ok;
}

// The first existing path on the way from folder down to relative (itself
// included) that is a symbolic link or junction, which would lead a write
// out of the folder; empty when there is none.
std::string LinkOnTheWay(const std::string& folder, const std::string& relative)
{
    for (size_t cut = relative.find(kNativeSeparator);; cut = relative.find(kNativeSeparator, cut + 1))
    {
        const std::string path = JoinPath(folder, relative.substr(0, cut));
        if (IsLink(path))
            return path;
        if (cut == std::string::npos)
            return std::string();
    }
}

int Extract(const Arguments& args)
{
    if (args.positional.size() < 2)
        return UsageError("extract needs PACKAGE and DIR");
    const std::string& packagePath = args.positional[0];
    const std::string& folder = args.positional[1];
    CPackageFile package;
    if (!package.Open(packagePath.c_str(), FALSE))
        return Failure(packagePath, GetLastError());
    const CPackageCatalog catalog = package.GetCatalog();

    std::vector<int> selected;
    if (args.positional.size() == 2)
        for (int i = 0; i < catalog.GetCount(); ++i)
            selected.push_back(i);
    for (size_t n = 2; n < args.positional.size(); ++n)
    {
        PackageName name;
        if (!RelativePathToEntryName(args.positional[n], name))
            return Failure(args.positional[n], GetLastError());
        const int index = catalog.Find(name.c_str());
        if (index < 0)
            return Failure(packagePath, "no entry named " + args.positional[n]);
        selected.push_back(index);
    }
    if (!MakeFolders(folder))
        return Failure(folder, GetLastError());

    ULONGLONG total = 0;
    for (const int i : selected)
        if (HasData(catalog.GetAt(i)))
            total += catalog.GetAt(i).GetStoredSize();
    CProgress progress(total);
    package.SetProgressProc(CProgress::Callback, &progress);
    int written = 0, failed = 0;
    for (const int i : selected)
    {
        const CPackageCatalogEntry e = catalog.GetAt(i);
        const std::string shown = DisplayName(e.GetName());
        if (e.GetKind() != entryFile && e.GetKind() != entryDirectory)
        {
            progress.Finish();
            std::fprintf(stderr, "lumpack: %s: entry %d \"%s\" is a %s entry; not extracted\n", packagePath.c_str(),
                         i, shown.c_str(), e.GetKindName().c_str());
            continue;
        }
        // A name that would leave the folder, or a link on its way there
        // (planted in the folder before), and nothing is written for it.
        std::string relative, reason;
        if (EntryNameToRelativePath(e.GetName(), relative, reason))
        {
            const std::string link = LinkOnTheWay(folder, relative);
            if (!link.empty())
                reason = link + " is a symbolic link or junction";
        }
        if (!reason.empty())
        {
            progress.Finish();
            Failure(packagePath, "entry " + std::to_string(i) + " \"" + shown + "\" refused: " + reason);
            ++failed;
            continue;
        }
        progress.SetItem(shown);
        const std::string target = JoinPath(folder, relative);
        const size_t cut = relative.find_last_of(kNativeSeparator);
        const std::string parent = e.GetKind() == entryDirectory ? target
                                   : cut == std::string::npos   ? std::string()
                                                                : JoinPath(folder, relative.substr(0, cut));
        bool ok = parent.empty() || MakeFolders(parent);
        if (ok && e.GetKind() == entryFile)
            ok = ExtractFile(package, i, e, target);
        if (!ok)
        {
            const DWORD error = GetLastError();
            progress.Finish();
            Failure(target, error);
            ++failed;
            continue;
        }
        ++written;
    }
    progress.Finish();
    package.Close();
    if (failed != 0)
        return kFailure;
    std::printf("%s: %d entries extracted to %s\n", packagePath.c_str(), written, folder.c_str());
    return kSuccess;
}
} // namespace

int main(int argc, char** argv)
{
    // Names and texts are UTF-8 from here on, on every system.
    const std::vector<std::string> arguments = CommandLineArguments(argc, argv);
    if (arguments.size() < 2)
        return UsageError("no command given");
    const std::string& command = arguments[1];
    if (command == "--help" || command == "-h" || command == "help")
    {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return kSuccess;
    }
    if (command == "--version")
    {
        std::printf("lumpack %s\nwrites packages of build %ld\n", LUMPACK_VERSION, static_cast<long>(PACKAGE_BUILD));
        return kSuccess;
    }
    struct Command
    {
        const char* name;
        int (*run)(const Arguments&);
        std::vector<std::string> options;
    };
    const Command commands[] = {
        {"create", Create, {"--stored", "--label", "--dirs"}},
        {"append", Append, {"--dirs"}},
        {"list", List, {"--json"}},
        {"verify", Verify, {}},
        {"extract", Extract, {}},
    };
    for (const Command& c : commands)
    {
        if (command != c.name)
            continue;
        Arguments args;
        std::string error;
        if (!ParseArguments(arguments, c.options, args, error))
            return UsageError(error);
        try
        {
            return c.run(args);
        }
        catch (const std::exception& e)
        {
            return Failure(command, e.what());
        }
    }
    return UsageError("unknown command " + command);
}
