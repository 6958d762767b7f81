#include "TestSupport.h"

#include <algorithm>
#include <stdexcept>

#include "framework/Handles.h"
#include "framework/ResourceStrings.h"
#include "framework/SystemCalls.h"
#include "framework/RegistryKey.h"

#include <gtest/gtest.h>

#include <shlobj.h>
// sddl.h needs the declarations of windows.h first.
#include <sddl.h>


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
    wchar_t buffer[4096];
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, buffer, sizeof buffer / sizeof *buffer, nullptr);
    return Narrow(buffer, length);
}

std::string ProcessTag() { return std::to_string(::GetCurrentProcessId()); }

CScratchFolder::CScratchFolder(const std::string& name)
{
    std::string temp;
    GetTempPathU(temp, MAX_PATH);
    m_path = temp + "lumiro-test-" + name + "-" + ProcessTag();
    DeleteTree(m_path);
    CreateDirectoryU(m_path.c_str(), nullptr);
}

CScratchFolder::~CScratchFolder() { DeleteTree(m_path); }

void DeleteTree(const std::string& path)
{
    FindDataU data;
    const HANDLE find = FindFirstFileU(path + "\\*", data);
    if (find != INVALID_HANDLE_VALUE)
    {
        do
        {
            if (data.name == "." || data.name == "..")
                continue;
            const std::string child = path + "\\" + data.name;
            SetFileAttributesU(child, FILE_ATTRIBUTE_NORMAL);
            if (data.attributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(child);
            else
                DeleteFileU(child.c_str());
        } while (FindNextFileU(find, data));
        ::FindClose(find);
    }
    SetFileAttributesU(path, FILE_ATTRIBUTE_NORMAL);
    if (!RemoveDirectoryU(path))
        DeleteFileU(path.c_str());
}

void DeleteRegistryTree(HKEY root, const std::string& subKey)
{
    // The setup's keys live in the view it opens them in; a control's class
    // keys in the view of the control's own bits, which are this program's.
    const REGSAM view = root == HKEY_CLASSES_ROOT ? 0 : CRegistryKey::SharedView();
    std::wstring wideKey;
    Widen(subKey, wideKey);
    HKEY key;
    if (::RegOpenKeyExW(root, wideKey.c_str(), 0, KEY_READ | KEY_WRITE | view, &key) == ERROR_SUCCESS)
    {
        wchar_t name[256];
        while (::RegEnumKeyW(key, 0, name, sizeof name / sizeof *name) == ERROR_SUCCESS)
        {
            const std::string child = subKey + "\\" + Narrow(name, ::lstrlenW(name));
            DeleteRegistryTree(root, child);
            std::wstring wideChild;
            Widen(child, wideChild);
            HKEY probe;
            // A child that could not be deleted would make this loop endless.
            if (::RegOpenKeyExW(root, wideChild.c_str(), 0, KEY_READ | view, &probe) == ERROR_SUCCESS)
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
        ::RegDeleteKeyW(root, wideKey.c_str());
}

std::vector<std::string> TemporaryFiles(const std::string& folder) { return FilesMatching(folder, "$tmp*.tmp"); }

std::vector<std::string> FilesMatching(const std::string& folder, const std::string& pattern)
{
    std::vector<std::string> names;
    FindDataU data;
    unique_hfind find(FindFirstFileU(folder + "\\" + pattern, data));
    if (!find)
        return names;
    do
        names.push_back(data.name);
    while (FindNextFileU(find.get(), data));
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

std::string WindowsVersionUnderTest()
{
    char name[16];
    const DWORD length = ::GetEnvironmentVariableA("LUMIRO_TEST_WINDOWS", name, sizeof name);
    const std::string version = length > 0 && length < sizeof name ? std::string(name, length) : std::string();
    for (const char* known : {"win98", "winxp", "win7", "win10"})
        if (version == known)
            return version;
    throw std::logic_error("LUMIRO_TEST_WINDOWS names no Windows version: '" + version + "'");
}

bool FileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesU(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesU(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteTextFile(const std::string& path, const std::string& contents)
{
    const unique_hfile file(CreateFileU(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                        nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) &&
           written == contents.size();
}

std::string ReadTextFile(const std::string& path)
{
    const unique_hfile file(CreateFileU(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string contents;
    char buffer[65536];
    DWORD read = 0;
    while (file && ::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        contents.append(buffer, read);
    return contents;
}

std::string FixtureFile(const std::string& relative)
{
    // The tests run from <build>\tests\win.
    std::string path;
    GetModuleFileNameU(nullptr, path);
    return path.substr(0, path.rfind('\\')) + "\\..\\fixtures\\" + relative;
}

std::string ShellFolder(int csidl)
{
    wchar_t path[MAX_PATH];
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return std::string();
    return Narrow(path, ::lstrlenW(path));
}

const char SAMPLE_CONTROL_U_CLASS_KEY[] = "CLSID\\{F8853CCA-EC03-4FEE-8E74-B1CC05ECD521}";
const char SAMPLE_CONTROL_A_CLASS_KEY[] = "CLSID\\{FFFBE08E-984B-4262-A79D-E4AE18205B23}";

std::string RegistryDefaultValue(HKEY root, const std::string& subKey, REGSAM view)
{
    unique_hkey key;
    if (::RegOpenKeyExA(root, subKey.c_str(), 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS)
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

std::string SidText(PSID sid)
{
    char* text = nullptr;
    if (!::ConvertSidToStringSidA(sid, &text))
        return "";
    const std::string result(text);
    ::LocalFree(text);
    return result;
}

std::vector<AclEntry> AclEntries(PACL list)
{
    std::vector<AclEntry> entries;
    for (DWORD i = 0; list && i < list->AceCount; ++i)
    {
        ACE_HEADER* header = nullptr;
        if (!::GetAce(list, i, reinterpret_cast<void**>(&header)))
            continue;
        AclEntry entry{"", header->AceType, header->AceFlags, 0};
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE)
        {
            auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
            entry.mask = allowed->Mask;
            entry.sid = SidText(&allowed->SidStart);
        }
        entries.push_back(entry);
    }
    return entries;
}
