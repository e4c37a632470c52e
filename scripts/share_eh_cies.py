#!/usr/bin/env python3
"""Shares the identical CIEs of a 32-bit PE image's .eh_frame section.

The compiler gives the unwinding entry of every function that is merged across objects (templates,
inline functions) its own copy of the common information entry, so that the entry stands alone
when the linker keeps one of the copies; the PE linker never merges them afterwards. In the 32-bit
launcher several hundred copies of a few distinct CIEs weigh some 12 KB. This rewrites the
section with the first copy of each distinct CIE only, every FDE pointing at it, and the
PC-relative pointers (function start, language-specific data, personality routine) adjusted to
their new places; it then replaces the section with objcopy, which lays out the file again. The
unwinder finds the section by its start and walks it to its zero terminator, so neither moves.
Every object also has its own cell holding the personality routine's address, which its CIEs
point at indirectly: CIEs whose cells hold the same address are the same.

Usage: share_eh_cies.py OBJCOPY OBJDUMP IMAGE
"""
import struct
import subprocess
import sys
import tempfile
import os

# DWARF pointer encodings this rewriter understands: 4-byte signed, PC-relative, and optionally
# indirect. Any other encoding stops it, leaving the image as it is.
DW_EH_PE_OMIT = 0xFF
DW_EH_PE_PCREL_SDATA4 = 0x1B
DW_EH_PE_INDIRECT = 0x80


def uleb128(data, offset):
    """Returns the unsigned LEB128 value at offset and the offset after it."""
    value = shift = 0
    while True:
        byte = data[offset]
        offset += 1
        value |= (byte & 0x7F) << shift
        shift += 7
        if byte < 0x80:
            return value, offset


def sleb128_end(data, offset):
    """Returns the offset after the signed LEB128 value at offset."""
    while data[offset] >= 0x80:
        offset += 1
    return offset + 1


class Cie:
    """A parsed CIE: its bytes, the offset of its personality pointer within them (or None), the
    absolute address that pointer names, and the FDE pointer and LSDA encodings."""

    def __init__(self, raw, address, read_word=None):
        self.raw = raw
        self.personality_at = None
        self.personality = None
        self.routine = None
        self.fde_encoding = 0
        self.lsda_encoding = DW_EH_PE_OMIT
        version = raw[8]
        end = raw.index(b"\0", 9)
        augmentation = raw[9:end].decode("ascii")
        offset = end + 1
        _, offset = uleb128(raw, offset)  # code alignment
        offset = sleb128_end(raw, offset)  # data alignment
        if version == 1:
            offset += 1
        else:
            _, offset = uleb128(raw, offset)
        if not augmentation.startswith("z"):
            # Without augmentation, FDEs hold absolute addresses, which would need relocations.
            raise ValueError(f"CIE augmentation {augmentation!r} is not understood")
        _, offset = uleb128(raw, offset)
        for letter in augmentation[1:]:
            if letter == "R":
                self.fde_encoding = raw[offset]
                offset += 1
            elif letter == "L":
                self.lsda_encoding = raw[offset]
                offset += 1
            elif letter == "P":
                encoding = raw[offset]
                if encoding & ~DW_EH_PE_INDIRECT != DW_EH_PE_PCREL_SDATA4:
                    raise ValueError(f"personality encoding {encoding:#x} is not understood")
                self.personality_at = offset + 1
                value = struct.unpack_from("<i", raw, offset + 1)[0]
                self.personality = address + offset + 1 + value
                if encoding & DW_EH_PE_INDIRECT and read_word is not None:
                    self.routine = read_word(self.personality)
                offset += 5
            else:
                raise ValueError(f"CIE augmentation {augmentation!r} is not understood")
        if self.fde_encoding != DW_EH_PE_PCREL_SDATA4:
            raise ValueError(f"FDE pointer encoding {self.fde_encoding:#x} is not understood")
        if self.lsda_encoding not in (DW_EH_PE_OMIT, DW_EH_PE_PCREL_SDATA4):
            raise ValueError(f"LSDA encoding {self.lsda_encoding:#x} is not understood")

    def key(self):
        """The CIE's bytes with the personality pointer made absolute (the routine's address where
        the pointer names a cell holding it): equal keys, same CIE."""
        if self.personality_at is None:
            return self.raw
        named = self.personality if self.routine is None else self.routine
        return (self.raw[: self.personality_at] + struct.pack("<I", named & 0xFFFFFFFF)
                + self.raw[self.personality_at + 4:])

    def placed(self, address):
        """The CIE's bytes when it starts at address."""
        if self.personality_at is None:
            return self.raw
        value = self.personality - (address + self.personality_at)
        return (self.raw[: self.personality_at] + struct.pack("<i", value)
                + self.raw[self.personality_at + 4:])


def share(section, base, read_word=None):
    """Returns the section's bytes with each distinct CIE once; base is the section's address and
    read_word(address), where given, reads the image's 4-byte word at an address."""
    out = bytearray()
    cies = {}  # old offset -> Cie
    kept = {}  # CIE key -> new offset
    new_cie_offset = {}  # old CIE offset -> new offset
    offset = 0
    while offset + 4 <= len(section):
        length = struct.unpack_from("<I", section, offset)[0]
        if length == 0xFFFFFFFF:
            raise ValueError("64-bit DWARF entries are not understood")
        if length == 0:
            out += section[offset:offset + 4]
            offset += 4
            continue
        raw = section[offset:offset + 4 + length]
        cie_pointer = struct.unpack_from("<I", raw, 4)[0]
        if cie_pointer == 0:
            cie = Cie(raw, base + offset, read_word)
            cies[offset] = cie
            key = cie.key()
            if key not in kept:
                kept[key] = len(out)
                out += cie.placed(base + len(out))
            new_cie_offset[offset] = kept[key]
        else:
            cie = cies[offset + 4 - cie_pointer]
            here = len(out)
            fde = bytearray(raw)
            struct.pack_into("<I", fde, 4, here + 4 - new_cie_offset[offset + 4 - cie_pointer])
            moved = (base + offset) - (base + here)
            start = struct.unpack_from("<i", fde, 8)[0]
            struct.pack_into("<i", fde, 8, start + moved)
            if cie.lsda_encoding != DW_EH_PE_OMIT:
                _, lsda_at = uleb128(fde, 16)
                lsda = struct.unpack_from("<i", fde, lsda_at)[0]
                if lsda != 0:
                    struct.pack_into("<i", fde, lsda_at, lsda + moved)
            out += fde
        offset += 4 + length
    out += section[offset:]
    return bytes(out)


def sections(objdump, image):
    """Returns each section's name, size, address and file offset."""
    listing = subprocess.run([objdump, "-h", image], check=True, capture_output=True,
                             text=True).stdout
    places = {}
    for line in listing.splitlines():
        fields = line.split()
        if len(fields) >= 7 and fields[0].isdigit():
            places[fields[1]] = (int(fields[2], 16), int(fields[3], 16), int(fields[5], 16))
    return places


def section_place(objdump, image):
    """Returns the .eh_frame section's size, address and file offset."""
    return sections(objdump, image).get(".eh_frame")


def word_reader(objdump, image):
    """Returns a function that reads the image's 4-byte word at an address."""
    places = list(sections(objdump, image).values())
    with open(image, "rb") as f:
        contents = f.read()

    def read_word(address):
        for size, start, file_offset in places:
            if start <= address and address + 4 <= start + size and file_offset:
                return struct.unpack_from("<I", contents, file_offset + address - start)[0]
        raise ValueError(f"no section holds the personality cell at {address:#x}")

    return read_word


def main(objcopy, objdump, image):
    place = section_place(objdump, image)
    if place is None:
        return 0
    size, address, file_offset = place
    with open(image, "rb") as f:
        f.seek(file_offset)
        section = f.read(size)
    try:
        shared = share(section, address, word_reader(objdump, image))
    except (ValueError, KeyError, IndexError) as error:
        print(f"{image}: .eh_frame left as it is: {error}", file=sys.stderr)
        return 1
    if len(shared) == len(section):
        return 0
    with tempfile.TemporaryDirectory() as scratch:
        contents = os.path.join(scratch, "eh_frame.bin")
        with open(contents, "wb") as f:
            f.write(shared)
        subprocess.run([objcopy, f"--update-section=.eh_frame={contents}", image], check=True)
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__.strip().splitlines()[-1])
    sys.exit(main(*sys.argv[1:]))
