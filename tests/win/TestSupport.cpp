#include "TestSupport.h"

#include <algorithm>

#include "framework/Handles.h"
#include "framework/ResourceStrings.h"
#include "registry/RegistryKey.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <fstream>
#include <sstream>

void CRecordingProgress::SetStage(unsigned stageId, unsigned statusId)
{
    SetStageText(LoadResString(stageId));
    SetStatusText(LoadResString(statusId));
}

void CRecordingProgress::SetStatus(unsigned statusId) { SetStatusText(LoadResString(statusId)); }

void CRecordingProgress::SetStatusText(const std::string& text)
{
    status = text;
    statuses.push_back(text);
}

void CRecordingProgress::SetStageText(const std::string& text)
{
    stage = text;
    stages.push_back(text);
}

int CScriptedPrompts::ShowMessageBox(const std::string& text, unsigned type)
{
    shown.push_back({text, type});
    if (answers.empty())
        return IDOK;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

ReplaceAnswer CScriptedPrompts::AskReplaceFile(const std::string& question)
{
    replaceQuestions.push_back(question);
    if (replaceAnswers.empty())
    {
        ADD_FAILURE() << "unexpected replace question: " << question;
        return ReplaceAnswer::Cancel;
    }
    const ReplaceAnswer answer = replaceAnswers.front();
    replaceAnswers.pop_front();
    return answer;
}

std::string SystemErrorText(DWORD code)
{
    char buffer[4096];
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, buffer, sizeof buffer, nullptr);
    return std::string(buffer, length);
}

CScratchFolder::CScratchFolder(const std::string& name)
{
    char temp[MAX_PATH];
    const DWORD length = ::GetTempPathA(MAX_PATH, temp);
    m_path = std::string(temp, length) + "lumiro-test-" + name;
    DeleteTree(m_path);
    ::CreateDirectoryA(m_path.c_str(), nullptr);
}

CScratchFolder::~CScratchFolder() { DeleteTree(m_path); }

void DeleteTree(const std::string& path)
{
    WIN32_FIND_DATAA data;
    const HANDLE find = ::FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE)
    {
        do
        {
            const std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "\\" + name;
            ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(child);
            else
                ::DeleteFileA(child.c_str());
        } while (::FindNextFileA(find, &data));
        ::FindClose(find);
    }
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!::RemoveDirectoryA(path.c_str()))
        ::DeleteFileA(path.c_str());
}

void DeleteRegistryTree(HKEY root, const std::string& subKey)
{
    // The setup's keys live in the view it opens them in; a control's class
    // keys in the view of the control's own bits, which are this program's.
    const REGSAM view = root == HKEY_CLASSES_ROOT ? 0 : CRegistryKey::SharedView();
    HKEY key;
    if (::RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ | KEY_WRITE | view, &key) == ERROR_SUCCESS)
    {
        char name[256];
        while (::RegEnumKeyA(key, 0, name, sizeof name) == ERROR_SUCCESS)
        {
            const std::string child = subKey + "\\" + name;
            DeleteRegistryTree(root, child);
            HKEY probe;
            // A child that could not be deleted would make this loop endless.
            if (::RegOpenKeyExA(root, child.c_str(), 0, KEY_READ | view, &probe) == ERROR_SUCCESS)
            {
                ::RegCloseKey(probe);
                break;
            }
        }
        ::RegCloseKey(key);
    }
    if (view != 0)
        CRegistryKey::DeleteKeyInView(root, subKey.c_str());
    else
        ::RegDeleteKeyA(root, subKey.c_str());
}

std::vector<std::string> TemporaryFiles(const std::string& folder) { return FilesMatching(folder, "$tmp*.tmp"); }

std::vector<std::string> FilesMatching(const std::string& folder, const std::string& pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    unique_hfind find(::FindFirstFileA((folder + "\\" + pattern).c_str(), &data));
    if (!find)
        return names;
    do
        names.push_back(data.cFileName);
    while (::FindNextFileA(find.get(), &data));
    return names;
}

OSVERSIONINFOA SystemVersion()
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExA(&info))
        info.dwPlatformId = 0xFFFFFFFF;
#pragma GCC diagnostic pop
    return info;
}

bool FileExists(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteTextFile(const std::string& path, const std::string& contents)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    return static_cast<bool>(out.flush());
}

std::string ReadTextFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

std::string FixtureFile(const std::string& relative)
{
    // The tests run from <build>\tests\win.
    char module[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, module, MAX_PATH);
    const std::string path(module, length);
    return path.substr(0, path.rfind('\\')) + "\\..\\fixtures\\" + relative;
}

std::string ShellFolder(int csidl)
{
    char path[MAX_PATH];
    if (FAILED(::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return std::string();
    return path;
}

const char SAMPLE_CONTROL_U_CLASS_KEY[] = "CLSID\\{F8853CCA-EC03-4FEE-8E74-B1CC05ECD521}";
const char SAMPLE_CONTROL_A_CLASS_KEY[] = "CLSID\\{FFFBE08E-984B-4262-A79D-E4AE18205B23}";

std::string RegistryDefaultValue(HKEY root, const std::string& subKey)
{
    unique_hkey key;
    if (::RegOpenKeyExA(root, subKey.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return std::string();
    char value[1024];
    DWORD size = sizeof value;
    DWORD type = 0;
    if (::RegQueryValueExA(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ || size == 0)
        return std::string();
    return std::string(value, size - 1);
}

void CRecordingEvents::FileDone(FileOutcome outcome, const std::string& target, const std::string& reason)
{
    files.push_back(std::string(DescribeFileOutcome(outcome)) + ": " + target + (reason.empty() ? "" : ": " + reason));
}

void CRecordingEvents::RecordWritten(const std::string&, const std::string& value, const std::string& data)
{
    records.push_back(value + "=" + data);
}

bool CStandInBootQueue::Queue(const std::string& source, const std::string& target)
{
    if (refuse)
    {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    (m_atOnce ? committed : pending).push_back(target + "=" + source);
    return true;
}

bool CStandInBootQueue::Withdraw(const std::string& source, const std::string& target)
{
    for (std::vector<std::string>* list : {&pending, &committed})
        list->erase(std::remove(list->begin(), list->end(), target + "=" + source), list->end());
    return true;
}

bool CStandInBootQueue::Commit()
{
    if (refuse)
    {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    committed.insert(committed.end(), pending.begin(), pending.end());
    pending.clear();
    return true;
}
