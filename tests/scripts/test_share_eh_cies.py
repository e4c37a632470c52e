"""scripts/share_eh_cies.py on made-up .eh_frame sections: identical CIEs shared with every
address an entry names unchanged, distinct ones kept, and encodings it cannot move refused."""
import os
import struct
import sys
import unittest

SOURCE = os.environ.get("KIV_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "scripts"))
import share_eh_cies  # noqa: E402

BASE = 0x456000
CFA = bytes.fromhex("0c0404880100")  # def_cfa esp+4, eip at cfa-4
PUSH = bytes.fromhex("0c0404880141")  # differs in its last instruction


def cie(augmentation=b"zR", fde_encoding=0x1B, personality=None, instructions=CFA):
    """A CIE as the compiler writes it; personality is the absolute address of its pointer cell,
    written PC-relative once the entry is placed (see place())."""
    body = b"\x01" + augmentation + b"\0\x01\x7c\x08"
    if augmentation == b"zR":
        body += b"\x01" + bytes([fde_encoding])
    elif augmentation == b"zPLR":
        body += b"\x07\x9b" + b"PERS" + b"\x1b\x1b"
    body += instructions
    body += b"\0" * (-(len(body) + 8) % 4)
    return ["CIE", body, personality]


def fde(cie_index, start, size=0x10, lsda=None):
    return ["FDE", cie_index, start, size, lsda]


def place(entries):
    """Lays the entries out at BASE; returns the section bytes."""
    out = bytearray()
    cie_at = []
    for entry in entries:
        here = len(out)
        if entry[0] == "CIE":
            _, body, personality = entry
            raw = bytearray(struct.pack("<II", len(body) + 4, 0) + body)
            if personality is not None:
                cell = raw.index(b"PERS")
                struct.pack_into("<i", raw, cell, personality - (BASE + here + cell))
            cie_at.append(here)
        else:
            _, index, start, size, lsda = entry
            tail = b"\0" if lsda is None else b"\x04" + b"LSDA"
            raw = bytearray(struct.pack("<IIiI", 0, here + 4 - cie_at[index],
                                        start - (BASE + here + 8), size) + tail)
            raw += b"\0" * (-len(raw) % 4)
            if lsda is not None:
                struct.pack_into("<i", raw, 17, lsda - (BASE + here + 17))
            struct.pack_into("<I", raw, 0, len(raw) - 4)
        out += raw
    return bytes(out + b"\0\0\0\0")


def read(section, read_word=None):
    """Every FDE as (start, size, LSDA, personality, CIE instructions), all addresses absolute
    (the personality routine's where read_word reads its cell), followed through its CIE
    pointer; and the number of CIEs."""
    fdes, cies, offset = [], 0, 0
    while struct.unpack_from("<I", section, offset)[0]:
        length, pointer = struct.unpack_from("<II", section, offset)
        if pointer == 0:
            cies += 1
        else:
            at = offset + 4 - pointer
            parsed = share_eh_cies.Cie(section[at:at + 4 + struct.unpack_from("<I", section, at)[0]],
                                       BASE + at, read_word)
            start = BASE + offset + 8 + struct.unpack_from("<i", section, offset + 8)[0]
            lsda = None
            if parsed.lsda_encoding != 0xFF:
                lsda = BASE + offset + 17 + struct.unpack_from("<i", section, offset + 17)[0]
            fdes.append((start, struct.unpack_from("<I", section, offset + 12)[0], lsda,
                         parsed.routine if read_word else parsed.personality, parsed.raw[-8:]))
        offset += 4 + length
    return fdes, cies


class Sharing(unittest.TestCase):
    def test_identical_cies_are_shared_and_every_address_kept(self):
        cases = [
            ("plain entries", [cie(), fde(0, 0x401000), cie(), fde(1, 0x402000), fde(1, 0x402100)],
             1),
            ("personality and LSDA", [cie(b"zPLR", personality=0x449000),
                                      fde(0, 0x401000, lsda=0x44A000), cie(),
                                      fde(1, 0x401100), cie(b"zPLR", personality=0x449000),
                                      fde(2, 0x403000, lsda=0x44A040)], 2),
            ("different personality", [cie(b"zPLR", personality=0x449000),
                                        fde(0, 0x401000, lsda=0x44A000),
                                        cie(b"zPLR", personality=0x449004),
                                        fde(1, 0x401100, lsda=0x44A010)], 2),
            ("different instructions", [cie(), fde(0, 0x401000), cie(instructions=PUSH),
                                         fde(1, 0x401100)], 2),
        ]
        for name, entries, kept in cases:
            with self.subTest(name):
                section = place(entries)
                shared = share_eh_cies.share(section, BASE)
                before, _ = read(section)
                after, cies = read(shared)
                self.assertEqual(after, before)
                self.assertEqual(cies, kept)
                self.assertEqual(shared[-4:], b"\0\0\0\0")

    def test_cies_whose_cells_hold_the_same_routine_are_shared(self):
        entries = [cie(b"zPLR", personality=0x449000), fde(0, 0x401000, lsda=0x44A000),
                   cie(b"zPLR", personality=0x449004), fde(1, 0x401100, lsda=0x44A010)]
        cases = [("same routine", {0x449000: 0x43D1E0, 0x449004: 0x43D1E0}, 1),
                 ("different routines", {0x449000: 0x43D1E0, 0x449004: 0x43D200}, 2)]
        for name, cells, kept in cases:
            with self.subTest(name):
                section = place(entries)
                shared = share_eh_cies.share(section, BASE, cells.__getitem__)
                before, _ = read(section, cells.__getitem__)
                after, cies = read(shared, cells.__getitem__)
                self.assertEqual(after, before)
                self.assertEqual(cies, kept)
                self.assertEqual(shared[-4:], b"\0\0\0\0")

    def test_sharing_again_changes_nothing(self):
        section = place([cie(), fde(0, 0x401000), cie(), fde(1, 0x402000)])
        once = share_eh_cies.share(section, BASE)
        self.assertLess(len(once), len(section))
        self.assertEqual(share_eh_cies.share(once, BASE), once)

    def test_entries_it_cannot_move_are_refused(self):
        cases = [
            ("no augmentation: absolute addresses", [cie(augmentation=b""), fde(0, 0x401000)]),
            ("absolute FDE pointers", [cie(fde_encoding=0x00), fde(0, 0x401000)]),
        ]
        for name, entries in cases:
            with self.subTest(name):
                with self.assertRaises(ValueError):
                    share_eh_cies.share(place(entries), BASE)


if __name__ == "__main__":
    unittest.main()
