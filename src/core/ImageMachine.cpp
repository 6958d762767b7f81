#include "core/ImageMachine.h"

#include "framework/Handles.h"
#include "framework/SystemCalls.h"

namespace
{
constexpr DWORD MZ_HEADER_SIZE = 0x40;
constexpr DWORD MZ_HEADER_OFFSET_FIELD = 0x3C;
// "PE\0\0", then the file header, whose first field is the machine.
constexpr DWORD PE_SIGNATURE_AND_MACHINE = 6;
// A header offset beyond this is no linker's layout: no image.
constexpr DWORD MAX_HEADER_OFFSET = 1024 * 1024;

DWORD ReadLittleEndian(const BYTE* bytes, unsigned count)
{
    DWORD value = 0;
    for (unsigned i = count; i-- > 0;)
        value = value << 8 | bytes[i];
    return value;
}
} // namespace

ImageMachine ImageMachineOf(const BYTE* head, size_t size, DWORD* headerEnd)
{
    if (headerEnd)
        *headerEnd = 0;
    if (size < MZ_HEADER_SIZE || head[0] != 'M' || head[1] != 'Z')
        return ImageMachine::NotAnImage;
    const DWORD offset = ReadLittleEndian(head + MZ_HEADER_OFFSET_FIELD, 4);
    if (offset < MZ_HEADER_SIZE || offset > MAX_HEADER_OFFSET)
        return ImageMachine::NotAnImage;
    if (offset + PE_SIGNATURE_AND_MACHINE > size)
    {
        if (headerEnd)
            *headerEnd = offset + PE_SIGNATURE_AND_MACHINE;
        return ImageMachine::NotAnImage;
    }
    const BYTE* pe = head + offset;
    if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0)
        return ImageMachine::NotAnImage;
    switch (ReadLittleEndian(pe + 4, 2))
    {
    case IMAGE_FILE_MACHINE_I386:
        return ImageMachine::X86;
    case IMAGE_FILE_MACHINE_AMD64:
        return ImageMachine::X64;
    default:
        return ImageMachine::Other;
    }
}

ImageMachine ImageMachineOfFile(const std::string& path)
{
    const unique_hfile file(
        CreateFileU(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return ImageMachine::NotAnImage;
    BYTE head[IMAGE_HEAD_SIZE];
    DWORD read = 0;
    if (!::ReadFile(file.get(), head, sizeof head, &read, nullptr))
        return ImageMachine::NotAnImage;
    DWORD headerEnd = 0;
    const ImageMachine machine = ImageMachineOf(head, read, &headerEnd);
    if (headerEnd == 0)
        return machine;
    // A header further in: read up to its machine field.
    std::string more(headerEnd, '\0');
    if (::SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !::ReadFile(file.get(), &more[0], headerEnd, &read, nullptr))
        return ImageMachine::NotAnImage;
    return ImageMachineOf(reinterpret_cast<const BYTE*>(more.data()), read);
}

const char* DescribeMachine(ImageMachine machine)
{
    switch (machine)
    {
    case ImageMachine::X86:
        return "32-bit (x86)";
    case ImageMachine::X64:
        return "64-bit (x64)";
    case ImageMachine::Other:
        return "another processor's";
    case ImageMachine::NotAnImage:
        break;
    }
    return "no program";
}
