#pragma once
#include <windows.h>

#include <string>

// The kind of processor an executable image (program, library, control) is
// built for, as its PE header says. The image's own kind, not the setup's,
// decides which system folder takes it and which process registers it.
enum class ImageMachine
{
    NotAnImage, // no PE image: data, or a file too short or damaged to tell
    X86,        // 32-bit x86 (IMAGE_FILE_MACHINE_I386)
    X64,        // 64-bit x64 (IMAGE_FILE_MACHINE_AMD64)
    Other,      // built for another processor (ARM, Itanium, ...)
};

// How many first bytes of a file ImageMachineOf needs to tell: the PE header
// of programs and libraries as linkers lay them out lies within them.
constexpr DWORD IMAGE_HEAD_SIZE = 4096;

// The machine the first size bytes of a file tell of. A header that lies
// beyond them (or a file that is no PE image) reads as NotAnImage; the
// offset of the header, when the MZ header names one beyond them, is given
// in headerEnd (the bytes needed to tell), else 0.
ImageMachine ImageMachineOf(const BYTE* head, size_t size, DWORD* headerEnd = nullptr);
// The same for a file on disk; NotAnImage when it cannot be read.
ImageMachine ImageMachineOfFile(const std::string& path);

// The machine of the running program.
inline ImageMachine RunningMachine() { return sizeof(void*) == 8 ? ImageMachine::X64 : ImageMachine::X86; }

// "32-bit (x86)", "64-bit (x64)", "another processor's", for messages and
// the log.
const char* DescribeMachine(ImageMachine machine);
