// Every kept fuzzer input (seed corpus and inputs that once failed) runs
// through the fuzz target's code again in the ordinary test build.
#include <cstdlib>
#include <filesystem>

#include "PackageFuzzInput.h"
#include "TestSupport.h"

using namespace lumtest;

namespace
{
std::filesystem::path SourceFolder(const char* relative)
{
    std::string root = LUMIRO_SOURCE_DIR;
    if (const char* env = std::getenv("LUMIRO_SOURCE_DIR"))
        root = env;
#ifdef _WIN32
    // A Linux path of the source tree, seen from Wine.
    if (!root.empty() && root[0] == '/')
        root = "Z:" + root;
#endif
    return std::filesystem::path(root) / relative;
}
} // namespace

TEST(FuzzRegression, KeptInputsRunCleanly)
{
    ScratchDir dir;
    int inputs = 0;
    for (const char* folder : {"fuzz/corpus", "fuzz/regressions"})
        for (const auto& item : std::filesystem::directory_iterator(SourceFolder(folder)))
        {
            SCOPED_TRACE(item.path().string());
            const Bytes data = ReadBytes(item.path().string());
            FuzzPackageInput(data.data(), data.size(), dir.Path(""));
            ++inputs;
        }
    EXPECT_GE(inputs, 4);
}
