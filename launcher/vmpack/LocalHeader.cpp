#include "LocalHeader.h"

namespace tarrow {

namespace {

constexpr std::uint32_t kSignature = 0x04034b50;
constexpr std::uint16_t kEncrypted = 1;
constexpr std::uint16_t kDataDescriptor = 8;
constexpr std::uint32_t kSizeInExtraField = 0xFFFFFFFF;

std::uint32_t little(const unsigned char* at, int bytes) {
    std::uint32_t value = 0;
    while (bytes-- > 0)
        value = value << 8 | at[bytes];
    return value;
}

} // namespace

bool LocalHeader::writableAsItArrives() const {
    return !(flags & (kEncrypted | kDataDescriptor)) && (method == 0 || method == 8) &&
           compressedSize != kSizeInExtraField && size != kSizeInExtraField &&
           (method != 0 || compressedSize == size);
}

LocalHeaderRead readLocalHeader(const unsigned char* bytes, std::size_t count,
                                LocalHeader& header) {
    if (count < LocalHeader::kFixedLength)
        return LocalHeaderRead::NeedMore;
    if (little(bytes, 4) != kSignature)
        return LocalHeaderRead::NotOne;
    header.flags = static_cast<std::uint16_t>(little(bytes + 6, 2));
    header.method = static_cast<std::uint16_t>(little(bytes + 8, 2));
    header.dosDate = little(bytes + 10, 4); // the time, then the date
    header.crc = little(bytes + 14, 4);
    header.compressedSize = little(bytes + 18, 4);
    header.size = little(bytes + 22, 4);
    header.nameLength = static_cast<std::uint16_t>(little(bytes + 26, 2));
    header.extraLength = static_cast<std::uint16_t>(little(bytes + 28, 2));
    return LocalHeaderRead::Read;
}

} // namespace tarrow
