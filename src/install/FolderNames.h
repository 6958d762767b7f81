#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

// A file of a folder's listing, as the directory search gave it.
struct ListedFile
{
    std::string name; // the long name, as the folder holds it
    DWORD attributes = 0;
    ULONGLONG size = 0;
    FILETIME creation{};
    FILETIME lastWrite{};
};

// The names in the folders a package is installed into, each folder listed
// once. Under Wine a test for a name that does not exist reads the whole
// folder (names compare without case), so testing 2,000 new files one by one
// reads a growing folder 2,000 times; one listing answers them all, and
// tells of a file that is there its attributes, size, times and long name
// (also when the package names it by its short 8.3 alias). A name the
// listing cannot answer for, and a folder that cannot be listed, are left to
// a test on the disk.
class CFolderNames
{
public:
    enum class Answer
    {
        Absent,  // the listing holds no such name
        Present, // it holds it: file tells what
        Unknown, // the listing cannot tell
    };

    // What the listing of the path's folder (read at the first question
    // about that folder) says of the path.
    Answer Look(const std::string& path, ListedFile& file);
    // False when the listing holds no such name.
    bool MayExist(const std::string& path)
    {
        ListedFile file;
        return Look(path, file) != Answer::Absent;
    }
    // Records that the path now exists (as file, when given).
    void Add(const std::string& path);
    void Add(const std::string& path, const ListedFile& file);
    // Forgets every listing; a package starts with fresh ones.
    void Clear();

private:
    struct Listing
    {
        bool complete = false; // false: the listing answers nothing
        std::vector<ListedFile> files;
        // Upper-case long and short names, each to its file.
        std::map<std::string, size_t> names;
    };
    Listing& ListingOf(const std::string& folder);

    std::map<std::string, Listing> m_folders;
};
