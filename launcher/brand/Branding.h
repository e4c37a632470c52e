// Branding: a copy of the launcher with the application's icon, version numbers and names.
// What the command asks for and the bytes of the copy. Platform-free.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ByteView.h"
#include "IconFile.h"
#include "VersionInfoEdit.h"

namespace tarrow {

// "-mvkivbrand OUT [icon=FILE.ico] [product=TEXT] [version=A.B.C.D] [company=TEXT]
// [description=TEXT] [copyright=TEXT]"
struct BrandRequest {
    std::wstring output;
    std::optional<std::wstring> icon;
    VersionEdits edits; // the version and texts given, and the names taken from `output`
};

// True when the first argument after the program is "-mvkivbrand".
bool isBrandCommand(const std::vector<std::wstring>& argv);

// The request of a branding command line, split as the shell splits it (argv[0] the program).
// Raises TerminalError when the output is missing, a setting is unknown or given twice, or the
// version is not four numbers of at most 65535 separated by dots.
BrandRequest parseBrandRequest(const std::vector<std::wstring>& argv);

// The launcher's image with the request's version information and, when `icons` holds any,
// its program icon (the first icon group) made of them: the group keeps its id and language,
// its old images that no other group uses are removed, and the new images take the lowest
// free icon ids in the group's language.
Bytes brandedImage(const Bytes& launcher, const BrandRequest& request,
                   const std::vector<IconImage>& icons);

} // namespace tarrow
