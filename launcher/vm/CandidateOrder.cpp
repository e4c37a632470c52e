#include "CandidateOrder.h"

namespace tarrow {

bool platformAccepts(long long platform, bool is64Bit) {
    return is64Bit ? platform != kOnly32Bit : platform != kOnly64Bit;
}

bool candidateBefore(bool aIs64Bit, const JVMVersion& a, bool bIs64Bit, const JVMVersion& b,
                     long long platform) {
    if (aIs64Bit == bIs64Bit)
        return a < b;
    const bool prefer32 = platform == kBoth32BitFirst || platform == kOnly32Bit;
    // The preferred bitness sorts last.
    return prefer32 ? aIs64Bit : !aIs64Bit;
}

} // namespace tarrow
