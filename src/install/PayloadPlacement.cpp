#include "install/PayloadPlacement.h"

#include <vector>

#include "core/Messages.h"
#include "core/Platform.h"
#include "core/SetupContext.h"
#include "install/EntryNameText.h"
#include "install/OleRegistration.h"
#include "install/PackageInstall.h"
#include "package/PackageFile.h"
#include "portable/Utf8.h"
#include "resources/resource.h"

namespace
{
// Collects the first bytes of an entry's data and stops the extraction once
// it has them.
class CHeadSink : public CPackageSink
{
public:
    explicit CHeadSink(DWORD wanted) : m_head(wanted) {}

    BYTE* LendBuffer(DWORD& nSize) override
    {
        nSize = static_cast<DWORD>(m_head.size()) - m_nFilled;
        return m_head.data() + m_nFilled;
    }
    BOOL TakeBack(DWORD nCount) override
    {
        m_nFilled += nCount;
        if (m_nFilled < m_head.size())
            return TRUE;
        // Enough: the rest of the data is not needed.
        ::SetLastError(ERROR_MORE_DATA);
        return FALSE;
    }
    const BYTE* Data() const { return m_head.data(); }
    DWORD Filled() const { return m_nFilled; }

private:
    std::vector<BYTE> m_head;
    DWORD m_nFilled = 0;
};

ImageMachine MachineOfHead(CPackageFile& package, int index, DWORD wanted, DWORD& headerEnd)
{
    CHeadSink head(wanted);
    if (!package.ExtractToSink(index, head) && ::GetLastError() != ERROR_MORE_DATA)
        return ImageMachine::NotAnImage;
    return ImageMachineOf(head.Data(), head.Filled(), &headerEnd);
}

bool RunsHere(ImageMachine machine) { return machine == ImageMachine::NotAnImage || WindowsRunsImagesOf(machine); }

// The message for a file this Windows cannot run; false.
bool Refuse(CSetupContext& context, const CPackageCatalogEntry& entry, const std::string& packageName,
            ImageMachine machine)
{
    std::string name;
    if (!EntryNameToPath(entry.GetName(), name))
        name = "?";
    const UINT message = machine == ImageMachine::X64 ? IDS_IMAGE_NEEDS_64BIT_WINDOWS : IDS_IMAGE_OTHER_PROCESSOR;
    context.ShowMessage(FormatResMessage(message, {name.c_str(), packageName.c_str()}), MB_OK);
    return false;
}

// The runtime package's folders, entry by entry; false after a refusal.
bool PlanRuntimePackage(CSetupContext& context)
{
    const std::string packageName = RuntimePackageName(context);
    CPackageFile package(FALSE);
    if (!package.Open((context.m_strSourceDir + packageName).c_str(), FALSE))
        return true;
    const CPackageCatalog catalog = package.GetCatalog();
    std::vector<ImageMachine> machines(static_cast<size_t>(catalog.GetCount()), ImageMachine::NotAnImage);
    // The one kind the package's images share, if they share one.
    ImageMachine shared = ImageMachine::NotAnImage;
    bool mixed = false;
    for (int i = 0; i < catalog.GetCount(); ++i)
    {
        const CPackageCatalogEntry entry = catalog.GetAt(i);
        if (entry.GetKind() != entryFile)
            continue;
        const ImageMachine machine = EntryMachine(package, i);
        if (!RunsHere(machine))
            return Refuse(context, entry, packageName, machine);
        machines[static_cast<size_t>(i)] = machine;
        if (machine == ImageMachine::NotAnImage)
            continue;
        mixed = mixed || (shared != ImageMachine::NotAnImage && shared != machine);
        shared = machine;
    }
    const std::string dataFolder = mixed || shared == ImageMachine::NotAnImage ? context.m_strSystemDir
                                                                               : SystemFolderFor(shared);
    context.m_arrRuntimeFolders.assign(machines.size(), std::string());
    for (int i = 0; i < catalog.GetCount(); ++i)
    {
        if (catalog.GetAt(i).GetKind() != entryFile)
            continue;
        const ImageMachine machine = machines[static_cast<size_t>(i)];
        std::string folder = machine == ImageMachine::NotAnImage ? dataFolder : SystemFolderFor(machine);
        context.m_arrRuntimeFolders[static_cast<size_t>(i)] = folder.empty() ? context.m_strSystemDir : folder;
    }
    return true;
}

// The control the installation registers; false after a refusal.
bool CheckControl(CSetupContext& context)
{
    const std::string packageName = ApplicationPackageName(context);
    CPackageFile package(FALSE);
    if (!package.Open((context.m_strSourceDir + packageName).c_str(), FALSE))
        return true;
    Utf16String name;
    Utf8ToUtf16(ControlFileName(context), name);
    const CPackageCatalog catalog = package.GetCatalog();
    const int index = catalog.Find(name.c_str());
    if (index < 0 || catalog.GetAt(index).GetKind() != entryFile)
        return true;
    const ImageMachine machine = EntryMachine(package, index);
    return RunsHere(machine) || Refuse(context, catalog.GetAt(index), packageName, machine);
}
} // namespace

ImageMachine EntryMachine(CPackageFile& package, int index)
{
    DWORD headerEnd = 0;
    const ImageMachine machine = MachineOfHead(package, index, IMAGE_HEAD_SIZE, headerEnd);
    if (headerEnd == 0)
        return machine;
    // The PE header lies further in than usual.
    return MachineOfHead(package, index, headerEnd, headerEnd);
}

bool PlanPayload(CSetupContext& context)
{
    context.m_arrRuntimeFolders.clear();
    context.m_bPayloadPlanned = PlanRuntimePackage(context) && CheckControl(context);
    return context.m_bPayloadPlanned;
}
