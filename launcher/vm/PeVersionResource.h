// Finding the version resource of a PE file by reading the file itself: its headers, its
// section table and the three levels of its resource directory. Describing a VM this way maps
// no image and loads no library, which under WoW64 costs more than the whole rest of the
// description. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace tarrow {

// Reads exactly `size` bytes at `offset` of a file into `out`; false when it cannot (the file
// is shorter, or reading failed).
using ReadAt = std::function<bool(std::uint64_t offset, std::uint8_t* out, std::size_t size)>;

// The most bytes of a version resource that are read: its root block's length is a 16-bit count.
constexpr std::size_t kMaxVersionResourceBytes = 0xFFFF;

// The bytes of the file's version resource (resource type 16): the entry with id 1, else the
// first; in the neutral language, else US English, else the first language. Cut to
// kMaxVersionResourceBytes. Nothing when the file is no PE image, has no version resource, or
// any part of the way to it lies outside the file's section data.
std::optional<std::vector<std::uint8_t>> readPeVersionResource(const ReadAt& read);

} // namespace tarrow
