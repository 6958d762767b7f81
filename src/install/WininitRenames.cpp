// Merging the pending boot-time renames into the "[rename]" section of
// WININIT.INI, the list Windows 9x works through at its next start.
#include "install/WininitRenames.h"

#include <windows.h>

#include <io.h>
#include <share.h>
#include <stdio.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

#include "framework/SystemCalls.h"


namespace
{
constexpr int LINE_BUFFER = 1024;

// The short (8.3) form of an existing path; false, with the reason as the
// last error, when the system cannot give one.
bool ShortPathOf(const std::string& path, std::string& shortPath) { return GetShortPathNameU(path, shortPath); }

// Closes a C runtime stream when it goes out of scope.
struct CStdioFile
{
    explicit CStdioFile(FILE* file) : m_file(file) {}
    ~CStdioFile()
    {
        if (m_file)
            ::fclose(m_file);
    }
    CStdioFile(const CStdioFile&) = delete;
    CStdioFile& operator=(const CStdioFile&) = delete;
    FILE* get() const { return m_file; }
    // Closes now; false when the stream's last data could not be written.
    bool close() { return !m_file || ::fclose(std::exchange(m_file, nullptr)) == 0; }

private:
    FILE* m_file;
};

std::string Trim(const std::string& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

// Equal but for the case of ASCII letters: section names and short paths.
bool EqualsNoCase(const std::string& a, const char* b)
{
    const size_t length = std::strlen(b);
    if (a.size() != length)
        return false;
    for (size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Reads the file line by line without its line ends. A line longer than the
// line buffer arrives in pieces, which are joined again, so that every line
// comes back exactly as it was.
std::vector<std::string> ReadLines(FILE* file)
{
    std::vector<std::string> lines;
    char buffer[LINE_BUFFER];
    std::string line;
    bool pending = false;
    while (::fgets(buffer, LINE_BUFFER, file))
    {
        line += buffer;
        pending = true;
        if (!line.empty() && line.back() == '\n')
        {
            line.pop_back();
            lines.push_back(std::move(line));
            line.clear();
            pending = false;
        }
    }
    if (pending)
        lines.push_back(std::move(line));
    return lines;
}

// Where the pending lines go: at the end of the first "[rename]" section
// (any case), before the next section's header. Blank lines inside that
// section are dropped; without a section one is added at the end.
size_t PrepareRenameSection(std::vector<std::string>& lines)
{
    size_t header = 0;
    while (header < lines.size() && !EqualsNoCase(Trim(lines[header]), "[rename]"))
        ++header;
    if (header == lines.size())
    {
        lines.push_back("[rename]");
        return lines.size();
    }
    size_t i = header + 1;
    while (i < lines.size())
    {
        const std::string trimmed = Trim(lines[i]);
        if (trimmed.empty())
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
        else if (trimmed[0] == '[')
            break;
        else
            ++i;
    }
    return i;
}

// Reads WININIT.INI into lines. Only a file that does not exist counts as
// empty; any other failure to open or read it fails, with the reason as the
// last error, so that nothing is written over what could not be read.
bool ReadWininit(const std::string& path, std::vector<std::string>& lines)
{
    CStdioFile existing(OpenStreamU(path, "rt", _SH_DENYRW));
    if (!existing.get())
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    lines = ReadLines(existing.get());
    for (std::string& line : lines)
        line = FromCodePage(line);
    if (::ferror(existing.get()))
    {
        if (::GetLastError() == NO_ERROR)
            ::SetLastError(ERROR_READ_FAULT);
        return false;
    }
    return true;
}

// Keeps the last error of a failure across the clean-up calls after it.
template <class CleanUp>
bool FailKeepingError(CleanUp cleanUp)
{
    const DWORD error = ::GetLastError();
    cleanUp();
    ::SetLastError(error);
    return false;
}

// Writes the lines into a new file beside WININIT.INI and only then puts it
// in the old one's place: the old file is moved aside, the new one takes its
// name, and the old one is deleted (Windows 9x has no replacing rename). The
// old file stays intact whenever the new one could not be written
// completely, as on a full disk.
bool ReplaceWininit(const std::string& folder, const std::string& path, const std::vector<std::string>& lines)
{
    const std::string newPath = folder + "\\WININIT.$NW";
    const std::string oldPath = folder + "\\WININIT.$OL";
    DeleteFileU(newPath.c_str());
    {
        CStdioFile output(OpenStreamU(newPath, "wt", _SH_DENYRW));
        if (!output.get())
            return false;
        bool written = true;
        std::string spelled;
        for (const std::string& line : lines)
            written = written && ToCodePage(line, spelled) && ::fputs(spelled.c_str(), output.get()) >= 0 &&
                      ::fputc('\n', output.get()) != EOF;
        written = written && ::fflush(output.get()) == 0 && ::_commit(::_fileno(output.get())) == 0;
        if (!written || !output.close())
            return FailKeepingError([&] {
                output.close();
                DeleteFileU(newPath.c_str());
            });
    }

    const bool hadOld = GetFileAttributesU(path) != INVALID_FILE_ATTRIBUTES;
    if (hadOld)
    {
        DeleteFileU(oldPath.c_str());
        if (!MoveFileU(path, oldPath))
            return FailKeepingError([&] { DeleteFileU(newPath.c_str()); });
    }
    if (!MoveFileU(newPath, path))
        return FailKeepingError([&] {
            if (hadOld)
                MoveFileU(oldPath, path);
            DeleteFileU(newPath.c_str());
        });
    if (hadOld)
        DeleteFileU(oldPath.c_str());
    return true;
}
} // namespace

bool CWininitQueue::Queue(const std::string& source, const std::string& target)
{
    std::string shortSource;
    std::string shortTarget;
    if (!ShortPathOf(source, shortSource) || !ShortPathOf(target, shortTarget))
        return false;
    m_arrBootRenames.push_back("NUL=" + shortTarget);
    m_arrBootRenames.push_back(shortTarget + "=" + shortSource);
    return true;
}

bool CWininitQueue::QueueDeletion(const std::string& path)
{
    std::string shortPath;
    if (!ShortPathOf(path, shortPath))
        return false;
    m_arrBootRenames.push_back("NUL=" + shortPath);
    return true;
}

bool CWininitQueue::Commit()
{
    const std::string path = m_strWindowsDir + "\\WININIT.INI";

    std::vector<std::string> lines;
    bool written = ReadWininit(path, lines);
    if (written)
    {
        const size_t insertAt = PrepareRenameSection(lines);
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), m_arrBootRenames.begin(),
                     m_arrBootRenames.end());
        written = ReplaceWininit(m_strWindowsDir, path, lines);
    }
    if (!written)
    {
        // The replacements were not queued: their temporary files go.
        const DWORD error = ::GetLastError();
        Discard();
        ::SetLastError(error);
        return false;
    }
    m_arrBootRenames.clear();
    return true;
}

void CWininitQueue::Discard()
{
    // Each replacement is a "NUL=<target>" line followed by
    // "<target>=<temporary file>"; short names hold no '='.
    for (const std::string& line : m_arrBootRenames)
    {
        const size_t equals = line.find('=');
        if (equals != std::string::npos && line.compare(0, equals, "NUL") != 0)
            DeleteFileU(line.substr(equals + 1).c_str());
    }
    m_arrBootRenames.clear();
}

bool CWininitQueue::Withdraw(const std::string& source, const std::string& target)
{
    std::string shortSource;
    std::string shortTarget;
    if (!ShortPathOf(source, shortSource) || !ShortPathOf(target, shortTarget))
        return false;
    const std::string lines[] = {"NUL=" + shortTarget, shortTarget + "=" + shortSource};

    // Each line goes once: the same replacement queued twice is two pairs.
    auto removeFrom = [&lines](std::vector<std::string>& from, bool trimmed) {
        bool removed = false;
        for (const std::string& line : lines)
        {
            const auto found = std::find_if(from.begin(), from.end(), [&](const std::string& candidate) {
                return EqualsNoCase(trimmed ? Trim(candidate) : candidate, line.c_str());
            });
            if (found != from.end())
            {
                from.erase(found);
                removed = true;
            }
        }
        return removed;
    };
    if (removeFrom(m_arrBootRenames, false))
        return true;

    const std::string path = m_strWindowsDir + "\\WININIT.INI";
    std::vector<std::string> existing;
    if (!ReadWininit(path, existing))
        return false;
    if (!removeFrom(existing, true))
        return true;
    return ReplaceWininit(m_strWindowsDir, path, existing);
}
