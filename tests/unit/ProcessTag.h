#pragma once
// The test process's own number in text, for the names of scratch folders:
// runs of one test program may go on at the same time in one temporary folder
// (the parts of a program that ctest runs side by side, two build trees, two
// people on one machine).
#include <string>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace lumtest
{
inline std::string ProcessTag()
{
#ifdef _WIN32
    return std::to_string(_getpid());
#else
    return std::to_string(getpid());
#endif
}
} // namespace lumtest
