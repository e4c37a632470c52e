// The replacements of the standard library's throw helpers, linked into this test as into the
// product binaries: the errors keep the library's own text, and the standard types stay.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

std::string textOf(void (*fails)()) {
    try {
        fails();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "nothing thrown";
}

} // namespace

TEST(LibraryThrows, ErrorsCarryTheLibrarysFormattedText) {
    const struct {
        void (*fails)();
        const char* text;
    } cases[] = {
        {[] { (void)std::wstring().at(5); },
         "basic_string::at: __n (which is 5) >= this->size() (which is 0)"},
        {[] { (void)std::string("abc").substr(4); },
         "basic_string::substr: __pos (which is 4) > this->size() (which is 3)"},
        {[] { std::vector<int>().reserve(std::vector<int>().max_size() + 1); }, "vector::reserve"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(textOf(c.fails), c.text);
}

TEST(LibraryThrows, AllocationFailuresKeepTheirStandardType) {
    std::allocator<std::uint64_t> allocator;
    EXPECT_THROW((void)allocator.allocate(SIZE_MAX / 2), std::bad_array_new_length);
}
