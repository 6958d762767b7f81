#include "PackageFuzzInput.h"

#include <cstdio>

#include "EntryNames.h"
#include "PeVersion.h"
#include "package/PackageFile.h"
#include "portable/ScopedFile.h"

namespace
{
bool WriteInput(const std::string& path, const uint8_t* data, size_t size)
{
    CScopedFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file.valid() && (size == 0 || WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr));
}

void ReadEverything(const std::string& path, const std::string& outPath)
{
    CPackageFile package;
    if (!package.Open(path.c_str(), FALSE))
    {
        package.Close();
        return;
    }
    const CPackageCatalog catalog = package.GetCatalog();
    CScopedFile out(CreateFileA(outPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    for (int i = -1; i <= catalog.GetCount(); ++i)
    {
        const CPackageCatalogEntry entry = catalog.GetAt(i);
        (void)entry.GetKindName();
        (void)entry.GetFileInfo();
        (void)catalog.Find(entry.GetName());
        std::string relative, reason;
        (void)EntryNameToRelativePath(entry.GetName(), relative, reason);
        CByteArray memory;
        (void)package.ExtractToMemory(i, memory);
        SetFilePointer(out.get(), 0, nullptr, FILE_BEGIN);
        SetEndOfFile(out.get());
        (void)package.ExtractToFile(i, out.get());
    }
    package.Close();
}
} // namespace

void FuzzPackageInput(const uint8_t* data, size_t size, const std::string& workFolder)
{
    const std::string path = workFolder + "/input.pkg";
    const std::string outPath = workFolder + "/output.bin";
    if (!WriteInput(path, data, size))
        return;
    ReadEverything(path, outPath);

    // Append to whatever opened, then read the result again.
    {
        CPackageFile package;
        if (package.Open(path.c_str(), TRUE))
        {
            const uint8_t tail[] = "appended";
            CPackageCatalogEntry entry;
            static const WCHAR name[] = {'a', 'd', 'd', 'e', 'd', 0};
            entry.SetFile(name, FILETIME{1, 2}, FILETIME{3, 4}, 0);
            if (package.AddFromMemory(entry, tail, sizeof tail) && package.Commit())
                ReadEverything(path, outPath);
        }
        package.Close();
    }

    CMemoryByteSource source(data, size);
    ULONGLONG version = 0;
    (void)ReadPeFileVersion(source, version);
}
