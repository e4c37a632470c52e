// The functions through which the standard library's headers raise their exceptions (an index
// out of range, a string grown past its maximum size, a failed allocation). The runtime keeps all
// of them in one object whose error constructors bring in a second, reference-counted string
// implementation of some 50 KB; these take their place in the three product binaries.
//
// The allocation, cast and type-identification failures throw the standard types. The
// text-carrying errors throw a LibraryError: a std::exception whose what() is the library's own
// text, so the launcher's and the JNI libraries' boundaries (which catch std::exception) report
// them as before. Nothing in this system catches the narrower standard types.
#include <cstdarg>
#include <cstddef>
#include <exception>
#include <new>
#include <typeinfo>

namespace {

class LibraryError : public std::exception {
  public:
    // Formats `format` with the library's own conversions (%s, %zu and %%); the text is cut to
    // the buffer, never written past it.
    LibraryError(const char* format, va_list arguments) noexcept {
        std::size_t n = 0;
        const auto put = [&](char c) {
            if (n + 1 < sizeof text_)
                text_[n++] = c;
        };
        for (const char* p = format ? format : ""; *p != '\0'; ++p) {
            if (*p != '%') {
                put(*p);
            } else if (p[1] == 's') {
                for (const char* s = va_arg(arguments, const char*); s && *s; ++s)
                    put(*s);
                ++p;
            } else if (p[1] == 'z' && p[2] == 'u') {
                putDecimal(va_arg(arguments, std::size_t), put);
                p += 2;
            } else if (p[1] == '%') {
                put('%');
                ++p;
            } else {
                put(*p);
            }
        }
        text_[n] = '\0';
    }
    const char* what() const noexcept override { return text_; }

  private:
    template <typename Put> static void putDecimal(std::size_t value, Put& put) {
        char digits[24];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (count > 0)
            put(digits[--count]);
    }

    char text_[256];
};

} // namespace

namespace std {

// Every text-carrying error: a plain text goes through "%s", so a '%' in it stays as it is.
void __throw_out_of_range_fmt(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    LibraryError error(format, arguments);
    va_end(arguments);
    throw error;
}
void __throw_bad_exception() {
    throw bad_exception();
}
void __throw_bad_alloc() {
    throw bad_alloc();
}
void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}
void __throw_bad_cast() {
    throw bad_cast();
}
void __throw_bad_typeid() {
    throw bad_typeid();
}
void __throw_logic_error(const char* text) {
    __throw_out_of_range_fmt("%s", text);
}
void __throw_domain_error(const char* text) {
    __throw_out_of_range_fmt("%s", text);
}
void __throw_invalid_argument(const char* text) {
    __throw_out_of_range_fmt("%s", text);
}
void __throw_length_error(const char* text) {
    __throw_out_of_range_fmt("%s", text);
}
void __throw_out_of_range(const char* text) {
    __throw_out_of_range_fmt("%s", text);
}
void __throw_runtime_error(const char* text) {
    __throw_out_of_range_fmt("%s", text);
}
void __throw_range_error(const char* text) {
    __throw_out_of_range_fmt("%s", text);
}
void __throw_overflow_error(const char* text) {
    __throw_out_of_range_fmt("%s", text);
}
void __throw_underflow_error(const char* text) {
    __throw_out_of_range_fmt("%s", text);
}

} // namespace std
