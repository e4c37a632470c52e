// The progress marks of a download: "=" after every 500 chunks, " " after every 5 marks.
// Platform-free.
#pragma once

#include <string>

namespace tarrow {

class DownloadProgress {
  public:
    // The marks to print after one more chunk (usually empty).
    std::string chunkRead();

    // The marks to print after `bytes` more bytes, counted in chunks of 1024 bytes, so that the
    // marks come at the same positions whatever the size of the reads.
    std::string bytesRead(unsigned long bytes);

  private:
    int chunks_ = 0;
    int marks_ = 0;
    unsigned long partial_ = 0;
};

} // namespace tarrow
