#include "undo/RegistrySnapshot.h"

#include <cstdio>

#include "framework/RegistryKey.h"
#include "undo/JournalFile.h"

namespace
{
std::string Join(const std::string& key, const std::string& relative)
{
    return relative.empty() ? key : key + "\\" + relative;
}

std::string ParentOf(const std::string& path)
{
    const size_t last = path.rfind('\\');
    return last == std::string::npos ? std::string() : path.substr(0, last);
}

std::string ToHex(const std::vector<BYTE>& data)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(data.size() * 2);
    for (const BYTE b : data)
    {
        text += digits[b >> 4];
        text += digits[b & 0xF];
    }
    return text;
}

bool FromHex(const std::string& text, std::vector<BYTE>& data)
{
    if (text.size() % 2)
        return false;
    data.clear();
    for (size_t i = 0; i < text.size(); i += 2)
    {
        unsigned value = 0;
        if (std::sscanf(text.c_str() + i, "%2x", &value) != 1)
            return false;
        data.push_back(static_cast<BYTE>(value));
    }
    return true;
}

// Whether the key exists; false with the registry's error when it cannot be
// told (anything but "not found").
bool KeyExists(const std::string& subKey, bool& exists)
{
    CRegistryKey key;
    exists = key.Open(HKEY_LOCAL_MACHINE, subKey.c_str(), KEY_READ) != FALSE;
    return exists || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

// Deletes the key's whole tree; a key that is not there is no error.
bool DeleteTree(const std::string& subKey)
{
    CRegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, subKey.c_str()))
        return true;
    key.DeleteContents();
    key.Close();
    CRegistryKey parent;
    const std::string parentPath = ParentOf(subKey);
    LONG result;
    if (parentPath.empty())
        result = CRegistryKey::DeleteKeyInView(HKEY_LOCAL_MACHINE, subKey.c_str());
    else if (parent.Open(HKEY_LOCAL_MACHINE, parentPath.c_str()))
        result = parent.DeleteSubKey(subKey.substr(parentPath.size() + 1).c_str());
    else
        result = static_cast<LONG>(::GetLastError());
    if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND)
        return true;
    ::SetLastError(static_cast<DWORD>(result));
    return false;
}
} // namespace

bool CRegistrySnapshot::Take(const std::string& subKey)
{
    m_keys.clear();
    m_values.clear();
    m_strKey = subKey;
    bool exists = false;
    if (!KeyExists(subKey, exists))
        return false;
    m_bExisted = exists;
    if (exists)
        return TakeTree("");
    // The writes will make every missing key on the way: the undo takes the
    // first of them, with what the run put below it.
    for (std::string parent = ParentOf(subKey); !parent.empty(); parent = ParentOf(parent))
    {
        if (!KeyExists(parent, exists))
            return false;
        if (exists)
            break;
        m_strKey = parent;
    }
    return true;
}

bool CRegistrySnapshot::TakeTree(const std::string& relative)
{
    CRegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, Join(m_strKey, relative).c_str(), KEY_READ))
        return false;
    m_keys.push_back(relative);
    for (const std::string& name : key.ValueNames())
    {
        Value value{relative, name, REG_NONE, {}};
        if (!key.QueryRaw(name.c_str(), value.type, value.data))
            return false;
        m_values.push_back(std::move(value));
    }
    for (const std::string& child : key.SubKeyNames())
    {
        if (!TakeTree(relative.empty() ? child : relative + "\\" + child))
            return false;
    }
    return true;
}

std::string CRegistrySnapshot::Serialize() const
{
    // One line per key ("k", path) and per value ("v", key, name, type, data
    // in hexadecimal), each escaped as a journal record is.
    std::string text;
    for (const std::string& key : m_keys)
        text += CJournalFile::Encode({"k", {key}}) + "\n";
    for (const Value& value : m_values)
        text += CJournalFile::Encode({"v", {value.key, value.name, std::to_string(value.type), ToHex(value.data)}}) +
                "\n";
    return text;
}

bool CRegistrySnapshot::Parse(const std::string& keyPath, bool existed, const std::string& text)
{
    m_strKey = keyPath;
    m_bExisted = existed;
    m_keys.clear();
    m_values.clear();
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    {
        const JournalRecord line = CJournalFile::Decode(text.substr(start, end - start));
        if (line.kind == "k" && line.fields.size() == 1)
        {
            m_keys.push_back(line.fields[0]);
            continue;
        }
        Value value;
        if (line.kind != "v" || line.fields.size() != 4 || !FromHex(line.fields[3], value.data))
            return false;
        value.key = line.fields[0];
        value.name = line.fields[1];
        value.type = static_cast<DWORD>(std::strtoul(line.fields[2].c_str(), nullptr, 10));
        m_values.push_back(std::move(value));
    }
    return start == text.size();
}

bool CRegistrySnapshot::Restore() const
{
    if (!DeleteTree(m_strKey))
        return false;
    if (!m_bExisted)
        return true;
    for (const std::string& relative : m_keys)
    {
        CRegistryKey key;
        key.Create(HKEY_LOCAL_MACHINE, Join(m_strKey, relative).c_str());
        if (!key.GetKey())
            return false;
    }
    for (const Value& value : m_values)
    {
        CRegistryKey key;
        if (!key.Open(HKEY_LOCAL_MACHINE, Join(m_strKey, value.key).c_str()))
            return false;
        const LONG result = key.SetRaw(value.name.c_str(), value.type, value.data);
        if (result != ERROR_SUCCESS)
        {
            ::SetLastError(static_cast<DWORD>(result));
            return false;
        }
    }
    return true;
}
