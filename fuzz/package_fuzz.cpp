// libFuzzer target: arbitrary bytes as a package file.
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "PackageFuzzInput.h"
#include "portable/Win32Api.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string folder = [] {
        const char* base = std::getenv("LUMIRO_FUZZ_WORK");
        std::string f = std::string(base ? base : "/tmp") + "/lumpkg-fuzz-" + std::to_string(getpid());
        CreateDirectoryA(f.c_str(), nullptr);
        return f;
    }();
    FuzzPackageInput(data, size, folder);
    return 0;
}
