// Folder listings that answer "does this name exist" without a test on the
// disk for every new file.
#include "install/FolderNames.h"

#include <windows.h>

#include "framework/Handles.h"
#include "framework/SystemCalls.h"

namespace
{
// ASCII upper case, or false for a name whose comparison without case is not
// plain ASCII folding.
bool UpperAscii(const std::string& name, std::string& upper)
{
    upper = name;
    for (char& c : upper)
    {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return true;
}

// A name that the system may take for another one (wildcards, a short-name
// tilde, trailing dots or spaces that it drops) is not answered from a
// listing.
bool IsPlainName(const std::string& name)
{
    if (name.empty() || name.back() == '.' || name.back() == ' ')
        return false;
    return name.find_first_of("*?~<>\"") == std::string::npos;
}

// The key a folder's listing is kept under: its ASCII upper case, or the
// folder as it stands where that is not plain ASCII.
std::string FolderKey(const std::string& folder)
{
    std::string key;
    return UpperAscii(folder, key) ? key : folder;
}

bool SplitPath(const std::string& path, std::string& folder, std::string& name)
{
    const size_t last = path.find_last_of("\\/");
    if (last == std::string::npos || last == 0)
        return false;
    folder = path.substr(0, last);
    name = path.substr(last + 1);
    return true;
}
} // namespace

CFolderNames::Listing& CFolderNames::ListingOf(const std::string& folder)
{
    const std::string key = FolderKey(folder);
    const auto found = m_folders.find(key);
    if (found != m_folders.end())
        return found->second;

    Listing& listing = m_folders[key];
    FindDataU data;
    unique_hfind find(FindFirstFileU(folder + "\\*", data));
    if (!find)
        return listing;
    do
    {
        // A name outside ASCII might equal an ASCII one without case: the
        // folder is then left to tests on the disk.
        std::string upper;
        if (!UpperAscii(data.name, upper))
        {
            listing.names.clear();
            listing.files.clear();
            return listing;
        }
        const size_t index = listing.files.size();
        listing.files.push_back({data.name, data.attributes, data.size, data.creation, data.lastWrite});
        listing.names.emplace(upper, index);
        if (!data.shortName.empty() && UpperAscii(data.shortName, upper))
            listing.names.emplace(upper, index);
    } while (FindNextFileU(find.get(), data));
    listing.complete = ::GetLastError() == ERROR_NO_MORE_FILES;
    if (!listing.complete)
    {
        listing.names.clear();
        listing.files.clear();
    }
    return listing;
}

CFolderNames::Answer CFolderNames::Look(const std::string& path, ListedFile& file)
{
    std::string folder, name, upper;
    if (!SplitPath(path, folder, name) || !UpperAscii(name, upper))
        return Answer::Unknown;
    const Listing& listing = ListingOf(folder);
    if (!listing.complete)
        return Answer::Unknown;
    const auto found = listing.names.find(upper);
    if (found != listing.names.end())
    {
        file = listing.files[found->second];
        return Answer::Present;
    }
    // A name the system may take for another one is absent only by a test
    // on the disk.
    return IsPlainName(name) ? Answer::Absent : Answer::Unknown;
}

void CFolderNames::Add(const std::string& path)
{
    ListedFile file;
    std::string folder;
    SplitPath(path, folder, file.name);
    file.attributes = FILE_ATTRIBUTE_NORMAL;
    Add(path, file);
}

void CFolderNames::Add(const std::string& path, const ListedFile& file)
{
    std::string folder, name, upper;
    if (!SplitPath(path, folder, name) || !UpperAscii(name, upper))
        return;
    const auto found = m_folders.find(FolderKey(folder));
    if (found == m_folders.end() || !found->second.complete)
        return;
    Listing& listing = found->second;
    const auto known = listing.names.find(upper);
    if (known != listing.names.end())
    {
        listing.files[known->second] = file;
        return;
    }
    listing.names.emplace(upper, listing.files.size());
    listing.files.push_back(file);
}

void CFolderNames::Clear() { m_folders.clear(); }
