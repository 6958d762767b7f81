#pragma once
// Scratch folders, byte files and sample data for the package tests.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../ProcessTag.h"
#include "package/PackageFile.h"
#include "portable/ScopedFile.h"

namespace lumtest
{
using Bytes = std::vector<BYTE>;
using Name = std::basic_string<WCHAR>;

// An ASCII text as a package entry name.
inline Name W(const std::string& ascii)
{
    return Name(ascii.begin(), ascii.end());
}

// A folder of its own for one test in one process, emptied first and removed
// afterwards.
class ScratchDir
{
public:
    ScratchDir()
    {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name =
            std::string("lumpkg-") + info->test_suite_name() + "-" + info->name() + "-" + ProcessTag();
        for (char& c : name)
            if (c == '/')
                c = '_';
        m_path = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    std::string Path(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

inline void WriteBytes(const std::string& path, const Bytes& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline Bytes ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Deterministic data that is partly compressible: runs of words, counters
// and noise, so that streams hold both stored and coded blocks.
inline Bytes MixedData(size_t size, uint32_t seed = 1)
{
    static const char* const words[] = {"package ", "catalog ", "entry ", "deflate ", "lumiro ", "\r\n"};
    Bytes data;
    data.reserve(size);
    uint32_t state = seed * 2654435761u + 1;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    while (data.size() < size)
    {
        const uint32_t mode = next() % 3;
        const size_t run = 64 + next() % 2048;
        for (size_t i = 0; i < run && data.size() < size; ++i)
        {
            if (mode == 0)
            {
                const char* w = words[next() % 6];
                while (*w && data.size() < size)
                    data.push_back(static_cast<BYTE>(*w++));
            }
            else if (mode == 1)
                data.push_back(static_cast<BYTE>(i & 0x3F));
            else
                data.push_back(static_cast<BYTE>(next()));
        }
    }
    return data;
}

inline FILETIME MakeFileTime(ULONGLONG ticks)
{
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

inline CPackageCatalogEntry FileEntry(const std::string& name, ULONGLONG version = 0)
{
    CPackageCatalogEntry entry;
    entry.SetFile(W(name).c_str(), MakeFileTime(0x01D0000000000001ULL), MakeFileTime(0x01D0000000000002ULL),
                  version);
    return entry;
}

inline HANDLE OpenForReading(const std::string& path)
{
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

inline HANDLE CreateForWriting(const std::string& path)
{
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
}

inline DWORD Le32(const Bytes& bytes, size_t offset)
{
    return LoadLE32(bytes.data() + offset);
}

// Writes a package with one entry per data block, from memory.
inline void WritePackage(const std::string& path, bool compressed, const std::vector<Bytes>& blocks)
{
    CPackageFile package;
    ASSERT_TRUE(package.Create(path.c_str(), compressed));
    static const BYTE empty = 0;
    for (size_t i = 0; i < blocks.size(); ++i)
        ASSERT_TRUE(package.AddFromMemory(FileEntry("entry" + std::to_string(i)),
                                          blocks[i].empty() ? &empty : blocks[i].data(),
                                          static_cast<DWORD>(blocks[i].size())));
    ASSERT_TRUE(package.Commit());
}
} // namespace lumtest
