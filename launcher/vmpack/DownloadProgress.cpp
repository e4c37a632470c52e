#include "DownloadProgress.h"

namespace tarrow {

std::string DownloadProgress::chunkRead() {
    if (++chunks_ < 500)
        return std::string();
    chunks_ = 0;
    if (++marks_ < 5)
        return "=";
    marks_ = 0;
    return "= ";
}

std::string DownloadProgress::bytesRead(unsigned long bytes) {
    std::string marks;
    partial_ += bytes;
    for (; partial_ >= 1024; partial_ -= 1024)
        marks += chunkRead();
    return marks;
}

} // namespace tarrow
