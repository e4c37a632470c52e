#include "Branding.h"

#include <algorithm>
#include <iterator>

#include "Errors.h"
#include "PeResourceSection.h"
#include "ResourceTree.h"
#include "Text.h"

namespace tarrow {

namespace {

constexpr const wchar_t* kBrandSwitch = L"-mvkivbrand";
constexpr std::uint16_t kUsEnglish = 0x409;

// The settings, in the order of the version texts they set; "icon" and "version" first.
constexpr const wchar_t* kSettings[] = {L"icon",    L"version",     L"product",
                                        L"company", L"description", L"copyright"};
constexpr const wchar_t* kVersionKeys[] = {L"ProductName", L"CompanyName", L"FileDescription",
                                           L"LegalCopyright"};
constexpr std::size_t kNoSetting = std::size(kSettings);

[[noreturn]] void refuse(const wchar_t* before, const std::wstring& argument,
                         const wchar_t* after) {
    throw TerminalError(before + argument + after);
}

// Which setting an argument "key=value" gives (its key in any case); kNoSetting for none.
std::size_t settingOf(const std::wstring& argument) {
    const std::size_t equals = argument.find(L'=');
    const std::wstring key = toLower(argument.substr(0, equals));
    std::size_t i = 0;
    while (equals != std::wstring::npos && i < kNoSetting && key != kSettings[i])
        ++i;
    return equals == std::wstring::npos ? kNoSetting : i;
}

// Four numbers of at most 65535, separated by dots.
std::array<std::uint16_t, 4> parseVersion(const std::wstring& text) {
    std::array<std::uint16_t, 4> parts{};
    std::size_t part = 0;
    std::uint32_t value = 0;
    std::size_t digits = 0;
    bool valid = true;
    for (std::size_t i = 0; i <= text.size() && valid; ++i) {
        const wchar_t c = i < text.size() ? text[i] : L'.';
        if (c >= L'0' && c <= L'9') {
            value = value * 10 + static_cast<std::uint32_t>(c - L'0');
            valid = ++digits <= 5 && value <= 0xFFFF;
        } else {
            valid = c == L'.' && digits > 0 && part < parts.size();
            if (valid)
                parts[part++] = static_cast<std::uint16_t>(value);
            value = 0;
            digits = 0;
        }
    }
    if (!valid || part != parts.size())
        refuse(L"the version \"", text,
               L"\" is not four numbers of at most 65535 separated by dots");
    return parts;
}

// Applies the setting `index` of kSettings.
void applySetting(BrandRequest& request, std::size_t index, const std::wstring& value) {
    if (index == 0) {
        request.icon = value;
        return;
    }
    if (index > 1) {
        request.edits.texts.push_back({kVersionKeys[index - 2], value});
        return;
    }
    const auto version = parseVersion(value);
    request.edits.version = version;
    std::wstring text;
    for (const std::uint16_t part : version)
        text += (text.empty() ? L"" : L".") + decimal(part);
    request.edits.texts.push_back({L"FileVersion", text});
    request.edits.texts.push_back({L"ProductVersion", text});
}

// The icon ids that a group's data names.
std::vector<std::uint16_t> idsOfGroup(const Bytes& group) {
    std::vector<std::uint16_t> ids;
    const std::size_t count = group.size() >= 6 ? word(group, 4) : 0;
    for (std::size_t i = 0; i < count && fits(6 + i * 14, 14, group.size()); ++i)
        ids.push_back(word(group, 6 + i * 14 + 12));
    return ids;
}

bool contains(const std::vector<std::uint16_t>& ids, std::uint16_t id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// Makes `images` the program's icon, the first icon group: the group keeps its id and language
// (group 1 in US English when the launcher has none), the images it named that no other group
// names are removed, and the
// new images take the lowest free icon ids in the group's language.
void replaceIcon(ResourceTree& tree, const std::vector<IconImage>& images) {
    Resource group;
    group.keys[0] = kIconGroupResource;
    group.keys[1] = 1;
    group.keys[2] = kUsEnglish;
    std::vector<std::uint16_t> old, kept, used, ids;
    for (const Resource& r : tree) {
        if (r.keys[0] != kIconGroupResource)
            continue;
        if (old.empty()) {
            group.keys[1] = r.keys[1];
            group.keys[2] = r.keys[2];
            old = idsOfGroup(r.bytes);
            old.push_back(0); // marks the group found, even when it names no image
        } else if (r.keys[1] != group.keys[1]) { // another group's images stay
            const auto ids = idsOfGroup(r.bytes);
            kept.insert(kept.end(), ids.begin(), ids.end());
        }
    }
    std::erase_if(tree, [&](const Resource& r) {
        return (r.keys[0] == kIconGroupResource && r.keys[1] == group.keys[1]) ||
               (r.keys[0] == kIconResource && contains(old, r.keys[1]) &&
                !contains(kept, r.keys[1]));
    });
    for (const Resource& r : tree) {
        if (r.keys[0] == kIconResource)
            used.push_back(r.keys[1]);
    }
    for (std::uint32_t id = 1; ids.size() < images.size() && id <= 0xFFFF; ++id) {
        if (!contains(used, static_cast<std::uint16_t>(id)))
            ids.push_back(static_cast<std::uint16_t>(id));
    }
    if (ids.size() < images.size())
        throw TerminalError(L"the icon file holds too many images");
    Resource icon;
    icon.keys[0] = kIconResource;
    icon.keys[2] = group.keys[2];
    for (std::size_t i = 0; i < images.size(); ++i) {
        icon.keys[1] = ids[i];
        icon.bytes = images[i].bytes;
        putResource(tree, icon);
    }
    group.bytes = iconGroup(images, ids);
    putResource(tree, std::move(group));
}

} // namespace

bool isBrandCommand(const std::vector<std::wstring>& argv) {
    return argv.size() > 1 && argv[1] == kBrandSwitch;
}

BrandRequest parseBrandRequest(const std::vector<std::wstring>& argv) {
    if (argv.size() < 3 || settingOf(argv[2]) != kNoSetting)
        refuse(L"-mvkivbrand needs the name of the program to write first", L"", L"");
    BrandRequest request;
    request.output = argv[2];
    unsigned given = 0;
    for (std::size_t i = 3; i < argv.size(); ++i) {
        const std::size_t index = settingOf(argv[i]);
        if (index == kNoSetting)
            refuse(L"unknown branding setting \"", argv[i], L"\"");
        if (given & (1u << index))
            refuse(L"the branding setting \"", kSettings[index], L"\" is given twice");
        given |= 1u << index;
        applySetting(request, index, argv[i].substr(argv[i].find(L'=') + 1));
    }
    // The file name, and the name without its extension.
    const std::wstring name = request.output.substr(request.output.find_last_of(L"\\/:") + 1);
    const std::size_t dot = name.rfind(L'.');
    request.edits.texts.push_back({L"OriginalFilename", name});
    request.edits.texts.push_back({L"InternalName", dot == 0 ? name : name.substr(0, dot)});
    return request;
}

Bytes brandedImage(const Bytes& launcher, const BrandRequest& request,
                   const std::vector<IconImage>& icons) {
    const ResourceSection section = readResourceSection(launcher);
    ResourceTree tree = readResourceTree(section.bytes, section.address);
    if (!icons.empty())
        replaceIcon(tree, icons);
    for (Resource& resource : tree) {
        if (resource.keys[0] == kVersionResource)
            resource.bytes = editVersionInfo(resource.bytes, request.edits);
    }
    return replaceResourceSection(launcher, writeResourceTree(tree, section.address));
}

} // namespace tarrow
