#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The state of one registry key tree below HKEY_LOCAL_MACHINE (in the view
// both builds share), taken before a run writes into it, so that the run can
// put it back: the whole tree with every value as it is stored, or, when the
// key does not exist, the first of its ancestors that does not, which the
// run's writes would create and the undo deletes again.
class CRegistrySnapshot
{
public:
    // Takes the state of subKey. False, with the registry's error as the last
    // error, when the key exists but cannot be read.
    bool Take(const std::string& subKey);

    // The key the snapshot restores: subKey, or its first missing ancestor.
    const std::string& KeyPath() const { return m_strKey; }
    bool Existed() const { return m_bExisted; }

    // The tree as text for the journal, and back; Parse is false for a text
    // that no snapshot made.
    std::string Serialize() const;
    bool Parse(const std::string& keyPath, bool existed, const std::string& text);

    // Puts the key back as it was: its tree as it is now is deleted and, when
    // it existed, the saved tree is written again. False, with the registry's
    // error as the last error, when that fails.
    bool Restore() const;

private:
    struct Value
    {
        std::string key; // relative to m_strKey; "" for the key itself
        std::string name;
        DWORD type;
        std::vector<BYTE> data;
    };
    bool TakeTree(const std::string& relative);

    std::string m_strKey;
    bool m_bExisted = false;
    // Every key of the tree relative to m_strKey ("" first), parents before
    // their children.
    std::vector<std::string> m_keys;
    std::vector<Value> m_values;
};
