#include "Branding.h"

#include <algorithm>
#include <iterator>
#include <set>

#include "Errors.h"
#include "PeResourceSection.h"
#include "ResourceTree.h"
#include "Text.h"

namespace tarrow {

namespace {

const std::wstring kBrandSwitch = L"-mvkivbrand";
constexpr std::uint16_t kUsEnglish = 0x409;

// The settings and the version texts they set.
struct Setting {
    const wchar_t* name;
    const wchar_t* versionKey;
};
constexpr Setting kTextSettings[] = {{L"product", L"ProductName"},
                                     {L"company", L"CompanyName"},
                                     {L"description", L"FileDescription"},
                                     {L"copyright", L"LegalCopyright"}};

// One part of a version: one to five digits worth at most 65535.
std::optional<std::uint16_t> versionPart(const std::wstring& text) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
        return std::nullopt;
    std::uint32_t value = 0;
    for (const wchar_t c : text)
        value = value * 10 + static_cast<std::uint32_t>(c - L'0');
    if (value > 0xFFFF)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::array<std::uint16_t, 4> parseVersion(const std::wstring& text) {
    std::array<std::uint16_t, 4> parts{};
    std::size_t start = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::size_t dot = i + 1 < parts.size() ? text.find(L'.', start) : text.size();
        const auto part =
            dot == std::wstring::npos ? std::nullopt : versionPart(text.substr(start, dot - start));
        if (!part)
            throw TerminalError(L"the version \"" + text +
                                L"\" is not four numbers of at most 65535 separated by dots");
        parts[i] = *part;
        start = dot + 1;
    }
    return parts;
}

std::wstring versionText(const std::array<std::uint16_t, 4>& version) {
    std::wstring text;
    for (const std::uint16_t part : version)
        text += (text.empty() ? L"" : L".") + decimal(part);
    return text;
}

// The file name of a path, and the name without its extension.
std::pair<std::wstring, std::wstring> fileNames(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/:");
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind(L'.');
    return {name, dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot)};
}

// True when the argument is "key=value" with one of the settings' keys (in any case).
bool isSetting(const std::wstring& argument) {
    const std::size_t equals = argument.find(L'=');
    if (equals == std::wstring::npos)
        return false;
    const std::wstring key = toLower(argument.substr(0, equals));
    return key == L"icon" || key == L"version" ||
           std::any_of(std::begin(kTextSettings), std::end(kTextSettings),
                       [&key](const Setting& setting) { return key == setting.name; });
}

// Applies the setting with the lower-case `key`.
void applySetting(BrandRequest& request, const std::wstring& key, const std::wstring& value) {
    if (key == L"icon") {
        request.icon = value;
    } else if (key == L"version") {
        request.edits.version = parseVersion(value);
        const std::wstring text = versionText(*request.edits.version);
        request.edits.texts.push_back({L"FileVersion", text});
        request.edits.texts.push_back({L"ProductVersion", text});
    } else {
        for (const Setting& setting : kTextSettings) {
            if (key == setting.name)
                request.edits.texts.push_back({setting.versionKey, value});
        }
    }
}

// The lowest icon ids that no icon in the tree has.
std::vector<std::uint16_t> freeIconIds(const ResourceNames& icons, std::size_t count) {
    std::vector<std::uint16_t> ids;
    for (std::uint32_t id = 1; ids.size() < count && id <= 0xFFFF; ++id) {
        if (!icons.count({u"", static_cast<std::uint16_t>(id)}))
            ids.push_back(static_cast<std::uint16_t>(id));
    }
    if (ids.size() < count)
        throw TerminalError(L"the icon file holds too many images");
    return ids;
}

// The icon ids that a group's data names.
std::set<std::uint16_t> idsOfGroup(const Bytes& group) {
    std::set<std::uint16_t> ids;
    const std::size_t count = group.size() >= 6 ? word(group, 4) : 0;
    for (std::size_t i = 0; i < count && fits(6 + i * 14, 14, group.size()); ++i)
        ids.insert(word(group, 6 + i * 14 + 12));
    return ids;
}

void replaceIcon(ResourceTree& tree, const std::vector<IconImage>& images) {
    ResourceNames& groups = tree[{u"", kIconGroupResource}];
    ResourceNames& icons = tree[{u"", kIconResource}];
    ResourceKey groupName{u"", 1};
    ResourceKey language{u"", kUsEnglish};
    if (!groups.empty() && !groups.begin()->second.empty()) {
        groupName = groups.begin()->first;
        language = groups.begin()->second.begin()->first;
    }
    std::set<std::uint16_t> oldIds, keptIds;
    for (const auto& [name, languages] : groups) {
        for (const auto& entry : languages)
            (name.text == groupName.text && name.id == groupName.id ? oldIds : keptIds)
                .merge(idsOfGroup(entry.second.bytes));
    }
    for (const std::uint16_t id : oldIds) {
        if (!keptIds.count(id))
            icons.erase({u"", id});
    }
    const std::vector<std::uint16_t> ids = freeIconIds(icons, images.size());
    for (std::size_t i = 0; i < images.size(); ++i)
        icons[{u"", ids[i]}][language] = {images[i].bytes, 0};
    groups[groupName] = {{language, {iconGroup(images, ids), 0}}};
}

} // namespace

bool isBrandCommand(const std::vector<std::wstring>& argv) {
    return argv.size() > 1 && argv[1] == kBrandSwitch;
}

BrandRequest parseBrandRequest(const std::vector<std::wstring>& argv) {
    if (argv.size() < 3 || isSetting(argv[2]))
        throw TerminalError(L"-mvkivbrand needs the name of the program to write first");
    BrandRequest request;
    request.output = argv[2];
    std::set<std::wstring> given;
    for (std::size_t i = 3; i < argv.size(); ++i) {
        const std::size_t equals = argv[i].find(L'=');
        const std::wstring key = toLower(argv[i].substr(0, equals));
        if (!isSetting(argv[i]))
            throw TerminalError(L"unknown branding setting \"" + argv[i] + L"\"");
        if (!given.insert(key).second)
            throw TerminalError(L"the branding setting \"" + key + L"\" is given twice");
        applySetting(request, key, argv[i].substr(equals + 1));
    }
    const auto [name, internal] = fileNames(request.output);
    request.edits.texts.push_back({L"OriginalFilename", name});
    request.edits.texts.push_back({L"InternalName", internal});
    return request;
}

Bytes brandedImage(const Bytes& launcher, const BrandRequest& request,
                   const std::vector<IconImage>& icons) {
    const ResourceSection section = readResourceSection(launcher);
    ResourceTree tree = readResourceTree(section.bytes, section.address);
    if (!icons.empty())
        replaceIcon(tree, icons);
    const auto versions = tree.find({u"", kVersionResource});
    if (versions != tree.end()) {
        for (auto& [name, languages] : versions->second) {
            for (auto& entry : languages)
                entry.second.bytes = editVersionInfo(entry.second.bytes, request.edits);
        }
    }
    return replaceResourceSection(launcher, writeResourceTree(tree, section.address));
}

} // namespace tarrow
