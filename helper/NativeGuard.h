// Every native runs inside this guard: no C++ exception crosses into the Java VM; the native
// then returns its failure value.
#pragma once

namespace tarrow {

template <typename Result, typename Body> Result guarded(Result failure, Body body) noexcept {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

} // namespace tarrow
