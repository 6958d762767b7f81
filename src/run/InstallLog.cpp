#include "run/InstallLog.h"

#include <cstdio>

#include "core/Messages.h"
#include "core/Platform.h"
#include "framework/SystemCalls.h"
#include "package/PackageFormat.h"
#include "framework/ResourceStrings.h"
#include "resources/resource.h"

namespace
{
// Line breaks (the system's error texts end with one) become single blanks,
// and trailing blanks go.
std::string OneLine(const std::string& text)
{
    std::string line;
    for (const char c : text)
    {
        if (c == '\r' || c == '\n')
        {
            if (!line.empty() && line.back() != ' ')
                line += ' ';
        }
        else
            line += c;
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

std::string TimeStamp()
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return text;
}

const char* ButtonName(int button)
{
    switch (button)
    {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDYES: return "Yes";
    case IDNO: return "No";
    case IDABORT: return "Abort";
    case IDRETRY: return "Retry";
    case IDIGNORE: return "Ignore";
    }
    return "none";
}

const char* AnswerName(ReplaceAnswer answer)
{
    switch (answer)
    {
    case ReplaceAnswer::Yes: return "Yes";
    case ReplaceAnswer::YesToAll: return "Yes To All";
    case ReplaceAnswer::No: return "No";
    case ReplaceAnswer::Cancel: return "Cancel";
    }
    return "Cancel";
}

bool IsQuestion(unsigned type)
{
    const unsigned buttons = type & MB_TYPEMASK;
    return buttons == MB_YESNO || buttons == MB_YESNOCANCEL || buttons == MB_OKCANCEL;
}
} // namespace

bool CInstallLog::Open(const std::string& path)
{
    m_strPath = path;
    // Shared for reading and writing: a person may watch the log while it
    // grows, and a second run appends to it.
    m_file.reset(CreateFileU(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    // The lines are UTF-8: a new log starts with the byte-order mark, so that
    // Notepad and the deployment tools read its names right.
    static const char BYTE_ORDER_MARK[] = "\xEF\xBB\xBF";
    DWORD sizeHigh = 0;
    DWORD written = 0;
    if (m_file && ::GetFileSize(m_file.get(), &sizeHigh) == 0 && sizeHigh == 0 &&
        !(::WriteFile(m_file.get(), BYTE_ORDER_MARK, 3, &written, nullptr) && written == 3))
        m_file.reset();
    if (m_file)
        return true;
    Fail(GetLastErrorText());
    return false;
}

void CInstallLog::Fail(const std::string& reason)
{
    m_file.reset();
    if (m_reporter)
        m_reporter(m_strPath, reason);
}

void CInstallLog::Write(const std::string& text)
{
    if (!m_file)
        return;
    const std::string line = TimeStamp() + "  " + OneLine(text) + "\r\n";
    DWORD written = 0;
    // Each line goes to the end, also after another program appended.
    const bool ok = ::SetFilePointer(m_file.get(), 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
                    ::WriteFile(m_file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
                    written == line.size();
    if (!ok)
    {
        if (::GetLastError() == NO_ERROR)
            ::SetLastError(ERROR_WRITE_FAULT);
        Fail(GetLastErrorText());
    }
}

void CInstallLog::Message(const std::string& text, unsigned type, int answer, bool shown)
{
    if (m_strFirstFailure.empty() && !IsQuestion(type))
        m_strFirstFailure = OneLine(text);
    Write(std::string(shown ? "Message: " : "Message (unattended): ") + OneLine(text) + " [" + ButtonName(answer) + "]");
}

void CInstallLog::Failure(const std::string& text)
{
    if (m_strFirstFailure.empty())
        m_strFirstFailure = OneLine(text);
    Write(text);
}

void CInstallLog::Exit(int exitCode)
{
    std::string line = "Exit code " + std::to_string(exitCode);
    const bool tellsWhy = exitCode == ERROR_INSTALL_FAILURE || exitCode == ERROR_INSTALL_ALREADY_RUNNING ||
                          exitCode == ERROR_INSTALL_PACKAGE_INVALID;
    if (tellsWhy && !m_strFirstFailure.empty())
        line += ": " + m_strFirstFailure;
    Write(line);
}

void CInstallLog::FileDone(FileOutcome outcome, const std::string& target, const std::string& reason)
{
    Write(std::string("File ") + DescribeFileOutcome(outcome) + ": " + target + (reason.empty() ? "" : " - " + reason));
}

void CInstallLog::FolderMade(const std::string& path) { Write("Folder made: " + path); }

void CInstallLog::RecordWritten(const std::string& key, const std::string& value, const std::string& data)
{
    Write("Registry value written: HKLM\\" + key + (key.empty() || key.back() == '\\' ? "" : "\\") + value +
          (data.empty() ? "" : " = " + data));
}

void CInstallLog::RecordRemoved(const std::string& key) { Write("Registry key removed: HKLM\\" + key); }

void CInstallLog::LinkCreated(const std::string& path, const std::string& target)
{
    Write("Link created: " + path + " -> " + target);
}

void CInstallLog::LinkRemoved(const std::string& path) { Write("Link removed: " + path); }

void CInstallLog::ControlRegistered(const std::string& path) { Write("OLE control registered: " + path); }

void CInstallLog::FolderTreeRemoved(const std::string& path, bool everything)
{
    Write((everything ? "Folder removed: " : "Folder removed, some items remain: ") + path);
}

void CInstallLog::ChangeUndone(const std::string& what) { Write("Undone: " + what); }

void CInstallLog::UndoFailed(const std::string& what) { Write("Not undone: " + what); }

void CInstallLog::DeletionQueued(const std::string& path) { Write("File deleted at the next start of Windows: " + path); }

void CInstallLog::MarkStageEnded(int stage, const std::string& outcome)
{
    Write("Stage: " + LoadResString(IDS_UNINSTALL_STAGE_BASE + stage) + outcome);
}

int CLoggingPrompts::ShowMessageBox(const std::string& text, unsigned type)
{
    const int answer = m_inner.ShowMessageBox(text, type);
    m_log.Message(text, type, answer, m_shown);
    return answer;
}

ReplaceAnswer CLoggingPrompts::AskReplaceFile(const std::string& question)
{
    const ReplaceAnswer answer = m_inner.AskReplaceFile(question);
    m_log.Write(std::string(m_shown ? "Question: " : "Question (unattended): ") + OneLine(question) + " [" +
                AnswerName(answer) + "]");
    return answer;
}

void CLoggingProgress::SetStage(unsigned stageId, unsigned statusId)
{
    m_log.Write("Stage: " + LoadResString(stageId));
    m_inner.SetStage(stageId, statusId);
}

void CLoggingProgress::SetStageText(const std::string& text)
{
    m_log.Write("Stage: " + text);
    m_inner.SetStageText(text);
}

std::string DefaultLogPath()
{
    const std::string folder = TemporaryFolder();
    return (folder.empty() ? std::string("C:") : folder) + "\\Lumiro Setup.log";
}

void LogStart(CInstallLog& log, const std::string& commandLine)
{
    const OSVERSIONINFOA version = WindowsVersion();
    log.Write("Lumiro Setup build " + std::to_string(PACKAGE_BUILD) + " started on Windows " +
              std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion) + "." +
              std::to_string(version.dwBuildNumber & 0xFFFF) +
              (version.dwPlatformId == VER_PLATFORM_WIN32_NT ? " (NT family)" : " (Windows 9x)"));
    log.Write("Command line: " + commandLine);
}
