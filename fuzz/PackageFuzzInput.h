#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Runs one input through everything that reads package bytes: Open,
// GetCatalog, Find, both Extract operations for every entry, an append
// with Commit and a second reading, the entry-name checks of lumpack and
// the PE version reader. workFolder must exist; files are made in it.
void FuzzPackageInput(const uint8_t* data, size_t size, const std::string& workFolder);
