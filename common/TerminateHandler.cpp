// What a C++ program does when std::terminate is reached (an exception that nothing caught, or
// one thrown while another unwinds): says so in one line on standard error and aborts. It takes
// the place of the runtime's own handler, which demangles the exception's type name and so links
// a demangler of some 50 KB into every binary; the launcher and the JNI libraries catch every
// exception at their boundaries, so this line is never part of their normal work.
#include <cstdio>
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    std::fputs("terminate called after an exception that nothing caught\n", stderr);
    std::abort();
}

} // namespace __gnu_cxx
