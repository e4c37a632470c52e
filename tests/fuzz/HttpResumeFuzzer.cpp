// Headers of a server's answer to a resumed download: a parsed range always lies inside the
// file; an answer is appended only where it continues the bytes received; the resume request
// never carries a header line taken from the server.
#include <string>

#include "FuzzInput.h"
#include "HttpResume.h"

using tarrow::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const auto [first, second] = tarrow::fuzz::twoTexts(data, size);
    if (const auto range = tarrow::parseContentRange(first)) {
        require(range->first <= range->last, "a range never runs backwards");
        require(!range->total || range->last < *range->total, "a range lies inside the file");
    }
    const std::uint64_t received = size;
    for (unsigned long status : {200ul, 206ul, 416ul}) {
        const tarrow::ResumePlan plan = tarrow::judgeResumeAnswer(
            {status, first, second, second, first}, received, std::nullopt, second);
        if (plan.action == tarrow::ResumeAction::Append) {
            const auto range = tarrow::parseContentRange(first);
            require(status == 206 && range && range->first == received,
                    "only a range that continues the file is appended");
        }
        require(status == 200 || !plan.total || plan.action != tarrow::ResumeAction::Replace ||
                    tarrow::parseContentRange(first)->first == 0,
                "only the whole file replaces what was received");
    }
    const std::wstring headers =
        tarrow::resumeHeaders(received + 1, tarrow::resumeValidator(first, second));
    size_t lines = 0;
    for (size_t at = headers.find(L'\n'); at != std::wstring::npos;
         at = headers.find(L'\n', at + 1))
        ++lines;
    require(lines == 1 || lines == 2, "one Range line and at most one If-Range line");
    require(headers.find(L'\r') == headers.find(L"\r\n"), "no bare carriage return");
    return 0;
}
