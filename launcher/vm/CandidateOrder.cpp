#include "CandidateOrder.h"

namespace tarrow {

bool platformAccepts(long long platform, bool is64Bit) {
    return is64Bit ? platform != 3 : platform != 2;
}

bool candidateBefore(bool aIs64Bit, const JVMVersion& a, bool bIs64Bit, const JVMVersion& b,
                     long long platform) {
    if (aIs64Bit == bIs64Bit)
        return a < b;
    const bool prefer32 = platform == 1 || platform == 3;
    // The preferred bitness sorts last.
    return prefer32 ? aIs64Bit : !aIs64Bit;
}

} // namespace tarrow
