#pragma once
#include <map>
#include <set>
#include <string>

// The names in the folders a package is installed into, each folder listed
// once. Under Wine a test for a name that does not exist reads the whole
// folder (names compare without case), so testing 2,000 new files one by one
// reads a growing folder 2,000 times; one listing answers them all. Only the
// answer "absent" comes from the listing: a listed name, a name the listing
// cannot answer for and a folder that cannot be listed are left to a test on
// the disk.
class CFolderNames
{
public:
    // False when the listing of the path's folder (read at the first question
    // about that folder) holds no such name.
    bool MayExist(const std::string& path);
    // Records that the path now exists.
    void Add(const std::string& path);
    // Forgets every listing; a package starts with fresh ones.
    void Clear();

private:
    struct Listing
    {
        bool complete = false; // false: the listing answers nothing
        std::set<std::string> names;
    };
    Listing& ListingOf(const std::string& folder);

    std::map<std::string, Listing> m_folders;
};
