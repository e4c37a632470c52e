// VM specification files: parsing reads only the text, and every reported keyword value,
// property, pattern and hint is a piece of the input's text (UTF-8 or ISO 8859-1).
#include <string>

#include "FuzzInput.h"
#include "Text.h"
#include "VmDescriptionFile.h"

using tarrow::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::wstring text = tarrow::decodeFileText(bytes);
    auto fromInput = [&](const std::wstring& piece) {
        return text.find(piece) != std::wstring::npos;
    };
    tarrow::VmDescription spec;
    spec.parse(bytes);
    require(fromInput(spec.jvmExe()), "JVM_EXE comes from the input");
    for (const auto& property : spec.jvmProperties())
        require(fromInput(property.first) && fromInput(property.second),
                "properties and patterns come from the input");
    for (const auto* hints : {&spec.registryHints(), &spec.pathHints()}) {
        for (const auto& hint : *hints) {
            require(fromInput(hint), "hints come from the input");
            const auto parts = tarrow::splitRegistryHint(hint);
            require(hint.find(parts.keyPath) != std::wstring::npos &&
                        hint.find(parts.valueName) != std::wstring::npos,
                    "registry key and value come from the hint");
            require(tarrow::pathHintLevels(hint) >= 0, "levels are never negative");
            tarrow::relativeHintFolder(L"C:\\app\\jvmspecs\\sea_loc", hint);
        }
    }
    return 0;
}
