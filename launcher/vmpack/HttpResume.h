// What a server's answer to a resumed HTTP transfer means, and the request that resumes one.
// Platform-free.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarrow {

// A decimal count of bytes as a header gives it (surrounding spaces allowed): any size a 64-bit
// number holds; none for an empty, signed, non-decimal or overflowing text.
std::optional<std::uint64_t> parseByteCount(const std::wstring& text);

// A count of bytes in decimal, as a header writes it.
std::wstring byteCountText(std::uint64_t count);

// The bytes a "Content-Range" header says an answer holds: "bytes FIRST-LAST/TOTAL", the total
// being "*" when the server does not know it. Always first <= last, and last < total when the
// total is known.
struct ContentRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::optional<std::uint64_t> total;
};
// None for any other form ("bytes */TOTAL" of an unsatisfiable range included).
std::optional<ContentRange> parseContentRange(const std::wstring& text);

// The headers of an answer to a request that resumes a transfer, as the server sent them
// (empty when absent).
struct ResumeAnswer {
    unsigned long status = 0;
    std::wstring contentRange;
    std::wstring contentLength;
    std::wstring entityTag;    // the answer's own "ETag"
    std::wstring lastModified; // the answer's own "Last-Modified"
};

enum class ResumeAction {
    Append,  // the answer continues the bytes already received
    Replace, // the answer is the whole file: it replaces what was received
    Restart, // anything else: what was received is dropped and the file fetched again
};

struct ResumePlan {
    ResumeAction action = ResumeAction::Restart;
    std::optional<std::uint64_t> total; // the file's size, when the answer says it
};

// What to do with the answer to a request for the bytes from `received` on, when the file was
// announced as `expected` bytes (none when unknown) with `validator` (empty when none). A 206
// answer is appended only when it starts at `received`, agrees with a known size and, when there
// is a validator, carries it as its own entity tag or modification date: a server that ignores
// "If-Range" may send a piece of a file that changed. A 200 answer, or a 206 answer from 0 to the
// end of the file, replaces what was received.
ResumePlan judgeResumeAnswer(const ResumeAnswer& answer, std::uint64_t received,
                             std::optional<std::uint64_t> expected, const std::wstring& validator);

// The validator that makes a resume safe: the first answer's strong entity tag, else its
// modification date; empty when neither is usable. A weak tag ("W/" first) is never used, as
// "If-Range" does not allow one, and a value holding a control character is never sent on.
std::wstring resumeValidator(const std::wstring& entityTag, const std::wstring& lastModified);

// The extra request headers that ask for the bytes from `from` on, each line ending in CR LF:
// a "Range" line, and an "If-Range" line with the validator when there is one, so that a server
// whose file changed sends the whole new file instead of a piece of it. Empty when `from` is 0.
std::wstring resumeHeaders(std::uint64_t from, const std::wstring& validator);

} // namespace tarrow
