#include "JavaOptions.h"

namespace tarrow {

JavaOptions::JavaOptions() = default;
JavaOptions::JavaOptions(const JavaOptions&) = default;
JavaOptions::JavaOptions(JavaOptions&&) noexcept = default;
JavaOptions& JavaOptions::operator=(const JavaOptions&) = default;
JavaOptions& JavaOptions::operator=(JavaOptions&&) noexcept = default;
JavaOptions::~JavaOptions() = default;

} // namespace tarrow
