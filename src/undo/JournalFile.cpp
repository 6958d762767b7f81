#include "undo/JournalFile.h"
#include "framework/SystemCalls.h"

namespace
{
constexpr char FORMAT_LINE[] = "Lumiro Setup journal 1";

bool WriteAll(HANDLE file, const std::string& text)
{
    DWORD written = 0;
    if (!::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        return false;
    if (written != text.size())
    {
        ::SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
    return true;
}

// Tabs and line breaks would end a field or a record, so they (and the
// percent sign that starts the escape) are written as "%09", "%0A", "%0D" and
// "%25"; everything else, paths with their backslashes too, stays readable.
void AppendEscaped(std::string& line, const std::string& field)
{
    for (const char c : field)
    {
        switch (c)
        {
        case '%': line += "%25"; break;
        case '\t': line += "%09"; break;
        case '\n': line += "%0A"; break;
        case '\r': line += "%0D"; break;
        default: line += c;
        }
    }
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
} // namespace

std::string CJournalFile::Encode(const JournalRecord& record)
{
    std::string line;
    AppendEscaped(line, record.kind);
    for (const std::string& field : record.fields)
    {
        line += '\t';
        AppendEscaped(line, field);
    }
    return line;
}

JournalRecord CJournalFile::Decode(const std::string& line)
{
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < line.size(); ++i)
    {
        const char c = line[i];
        if (c == '\t')
        {
            parts.emplace_back();
        }
        else if (c == '%' && i + 2 < line.size() && HexDigit(line[i + 1]) >= 0 && HexDigit(line[i + 2]) >= 0)
        {
            parts.back() += static_cast<char>(HexDigit(line[i + 1]) * 16 + HexDigit(line[i + 2]));
            i += 2;
        }
        else
        {
            parts.back() += c;
        }
    }
    JournalRecord record;
    record.kind = parts.front();
    record.fields.assign(parts.begin() + 1, parts.end());
    return record;
}

bool CJournalFile::Create(const std::string& path)
{
    m_strPath = path;
    // Shared for reading: a person (or a test) may look at it while the run
    // goes on; no other run writes it, since only one runs at a time.
    m_file.reset(CreateFileU(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file)
        return false;
    if (WriteAll(m_file.get(), std::string(FORMAT_LINE) + "\r\n") && ::FlushFileBuffers(m_file.get()))
        return true;
    const DWORD error = ::GetLastError();
    m_file.reset();
    DeleteFileU(path.c_str());
    ::SetLastError(error);
    return false;
}

bool CJournalFile::Append(const JournalRecord& record, bool durable)
{
    if (!WriteAll(m_file.get(), Encode(record) + "\r\n"))
        return false;
    return !durable || ::FlushFileBuffers(m_file.get());
}

bool CJournalFile::Remove()
{
    m_file.reset();
    return DeleteFileU(m_strPath.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool CJournalFile::Read(const std::string& path, std::vector<JournalRecord>& records)
{
    records.clear();
    const unique_hfile file(CreateFileU(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    std::string text;
    char buffer[65536];
    for (;;)
    {
        DWORD read = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr))
            return false;
        if (read == 0)
            break;
        text.append(buffer, read);
    }

    bool first = true;
    for (size_t start = 0;;)
    {
        const size_t end = text.find('\n', start);
        // A last line without its break was cut off while it was written.
        if (end == std::string::npos)
            break;
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        start = end + 1;
        if (first)
        {
            if (line != FORMAT_LINE)
            {
                ::SetLastError(ERROR_FILE_CORRUPT);
                return false;
            }
            first = false;
        }
        else if (!line.empty())
        {
            records.push_back(Decode(line));
        }
    }
    // Without a whole first line the journal was cut off as it was made,
    // before the run changed anything: there is nothing to undo.
    return true;
}
