#include "VmDescriptionFile.h"

#include "Text.h"

namespace tarrow {

namespace {

// Single-line keywords in the order they are tested.
const wchar_t* const kKeywords[] = {
    L"DESC:",
    L"JVM_EXE:",
    L"CLASSPATH:",
    L"CLASSPATH_SEPARATOR:",
    L"SYSTEM:",
    L"SYSTEM_SEPARATOR:",
    L"VERBOSE:",
    L"VERBOSE_CLASS:",
    L"VERBOSE_JNI:",
    L"VERSION:",
    L"BOOT_CLASSPATH:",
    L"NO_CLASS_GC:",
    L"INIT_JAVA_HEAP:",
    L"MAX_JAVA_HEAP:",
    L"REDUCE_OS_SIGNALS:",
    L"CHECK_JNI:",
    L"RUNHPROF_HELP:",
    L"RUNHPROF_OPTION:",
    L"DEBUG:",
    L"FUTURE:",
};

} // namespace

VmDescription::VmDescription() {
    for (const wchar_t* keyword : kKeywords)
        fields_.emplace_back(keyword, std::wstring());
}

std::wstring VmDescription::field(const std::wstring& keyword) const {
    for (const auto& entry : fields_) {
        if (entry.first == keyword)
            return entry.second;
    }
    return std::wstring();
}

void VmDescription::parse(const std::string& contents) {
    *this = VmDescription();
    for (const auto& line : splitLines(decodeFileText(contents)))
        parseLine(trim(line));
    block_ = Block::None;
}

void VmDescription::parseLine(const std::wstring& line) {
    if (line.empty() || line[0] == L'#')
        return;
    if (block_ != Block::None) {
        if (contains(line, L"/:")) {
            block_ = Block::None;
        } else if (block_ == Block::Properties) {
            std::wstring text = line;
            if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"')
                text = text.substr(1, text.size() - 2);
            const size_t equals = text.find(L'=');
            const std::wstring name = trim(text.substr(0, equals));
            jvmProperties_[name] =
                equals == std::wstring::npos ? std::wstring() : trim(text.substr(equals + 1));
        } else {
            (block_ == Block::Registry ? registryHints_ : pathHints_).push_back(line);
        }
        return;
    }
    if (contains(line, L"JVM_PROPERTIES")) {
        block_ = Block::Properties;
    } else if (contains(line, L"PLATFORM_HINT:")) {
        block_ = Block::Registry;
    } else if (contains(line, L"PATH_HINT:")) {
        block_ = Block::Paths;
    } else {
        for (auto& entry : fields_) {
            const size_t at = line.find(entry.first);
            if (at != std::wstring::npos) {
                entry.second = trim(line.substr(at + entry.first.size()));
                return;
            }
        }
    }
}

RegistryHintParts splitRegistryHint(const std::wstring& hint) {
    std::wstring rest = trim(startsWith(hint, L"\\") ? hint.substr(1) : hint);
    const size_t rootEnd = rest.find(L'\\');
    rest = rootEnd == std::wstring::npos ? std::wstring() : trim(rest.substr(rootEnd + 1));
    const size_t last = rest.rfind(L'\\');
    if (last == std::wstring::npos)
        return {std::wstring(), rest};
    return {trim(rest.substr(0, last)), trim(rest.substr(last + 1))};
}

int pathHintLevels(const std::wstring& hint) {
    int dots = 0;
    for (wchar_t c : hint)
        dots += c == L'.';
    return dots / 2;
}

std::wstring relativeHintFolder(const std::wstring& referenceLocation, const std::wstring& hint) {
    std::wstring location = referenceLocation;
    int levels = pathHintLevels(hint);
    while (true) {
        const size_t last = location.rfind(L'\\');
        if (last == std::wstring::npos)
            break;
        location.erase(last);
        if (--levels < 0) {
            const size_t hintLast = hint.rfind(L'\\');
            location += hintLast == std::wstring::npos ? L"\\" + hint : hint.substr(hintLast);
            break;
        }
    }
    return location;
}

} // namespace tarrow
