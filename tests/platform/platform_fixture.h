// Helpers several platform tests share: files written whole, and the block
// a filter library's entry point is handed.
#pragma once

#include <fstream>
#include <string>

#include "talix_platform.h"

namespace platform_test {

// Writes content to the file at path, replacing what it held.
inline void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// A filter library's entry point: (request block, command, module,
// parameter, source).
using FilterEntry = plat::STATUS (*)(void* request, plat::WORD command, void* module, const void* parameter,
                                     const char* source);

// The request block an importer hands to a filter.
struct FilterRequest {
    char output[100] = {};
    plat::DWORD mark = 0x0A000001;
    void* module = nullptr;
};

} // namespace platform_test
