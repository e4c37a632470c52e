#!/usr/bin/env python3
"""Reads what only the binary can show: machine, subsystem, resources, imports, exports.

Usage as a module (the binary checks) or from the command line:
    pe_reader.py FILE            prints a JSON summary
"""
import json
import struct
import sys

MACHINES = {0x14C: "i386", 0x8664: "amd64"}
RT_NAMES = {3: "ICON", 6: "STRING", 14: "GROUP_ICON", 24: "MANIFEST", 16: "VERSION"}


class PeFile:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError("not an MZ image")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, nsections, _, _, _, optsize, self.characteristics = struct.unpack_from(
            "<HHIIIHH", d, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", d, opt)[0]
        self.is64 = magic == 0x20B
        self.subsystem = struct.unpack_from("<H", d, opt + 68)[0]
        dirs = opt + (112 if self.is64 else 96)
        self.directories = [struct.unpack_from("<II", d, dirs + 8 * i) for i in range(16)]
        self.sections = []
        sec = opt + optsize
        for i in range(nsections):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", d, sec + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode(), va, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for _, va, size, raw in self.sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError("rva %#x outside the sections" % rva)

    def cstring(self, rva):
        off = self.offset(rva)
        return self.data[off:self.data.index(b"\0", off)].decode("latin-1")

    def exports(self):
        rva, size = self.directories[0]
        if not rva:
            return []
        d = self.data
        off = self.offset(rva)
        count_names = struct.unpack_from("<I", d, off + 24)[0]
        names_rva = struct.unpack_from("<I", d, off + 32)[0]
        return sorted(self.cstring(struct.unpack_from("<I", d, self.offset(names_rva) + 4 * i)[0])
                      for i in range(count_names))

    def imports(self):
        """{dll name: [function names]}"""
        rva, _ = self.directories[1]
        result = {}
        if not rva:
            return result
        d = self.data
        off = self.offset(rva)
        while True:
            lookup, _, _, name_rva, thunk = struct.unpack_from("<IIIII", d, off)
            if not name_rva:
                break
            dll = self.cstring(name_rva)
            names = []
            table = self.offset(lookup or thunk)
            width = 8 if self.is64 else 4
            while True:
                entry = struct.unpack_from("<Q" if self.is64 else "<I", d, table)[0]
                if not entry:
                    break
                if not entry >> (63 if self.is64 else 31):
                    names.append(self.cstring((entry & 0x7FFFFFFF) + 2))
                table += width
            result[dll] = names
            off += 20
        return result

    def resources(self):
        """[(type, name, language, bytes)]"""
        rva, _ = self.directories[2]
        if not rva:
            return []
        base = self.offset(rva)
        d = self.data
        out = []

        def entries(dir_off):
            named, ids = struct.unpack_from("<HH", d, dir_off + 12)
            for i in range(named + ids):
                ident, target = struct.unpack_from("<II", d, dir_off + 16 + 8 * i)
                yield ident, target

        for type_id, t in entries(base):
            for name_id, n in entries(base + (t & 0x7FFFFFFF)):
                for lang, leaf in entries(base + (n & 0x7FFFFFFF)):
                    data_rva, size = struct.unpack_from("<II", d, base + leaf)
                    off = self.offset(data_rva)
                    out.append((type_id, name_id, lang, d[off:off + size]))
        return out

    def strings(self):
        """{language: {id: text}} from the string table blocks."""
        tables = {}
        for type_id, block, lang, raw in self.resources():
            if type_id != 6:
                continue
            pos = 0
            for index in range(16):
                length = struct.unpack_from("<H", raw, pos)[0]
                pos += 2
                if length:
                    text = raw[pos:pos + 2 * length].decode("utf-16-le")
                    tables.setdefault(lang, {})[(block - 1) * 16 + index] = text
                pos += 2 * length
        return tables

    def version_strings(self):
        """{key: value} of the version resource's string table (type 16)."""
        raw = next((r for t, _, _, r in self.resources() if t == 16), b"")
        text = raw.decode("utf-16-le", "replace")
        result = {}
        for key in ("FileDescription", "FileVersion", "OriginalFilename", "ProductName",
                    "ProductVersion", "CompanyName", "LegalCopyright", "InternalName"):
            at = text.find(key + "\0")
            if at < 0:
                continue
            value = text[at + len(key):].lstrip("\0")
            result[key] = value.split("\0", 1)[0]
        return result

    def fixed_versions(self):
        """(file version, product version), each four numbers, of the version resource."""
        raw = next((r for t, _, _, r in self.resources() if t == 16), b"")
        at = raw.find(struct.pack("<I", 0xFEEF04BD))
        file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", raw, at + 8)
        return tuple((ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
                     for ms, ls in ((file_ms, file_ls), (product_ms, product_ls)))

    def icon_group(self):
        """The first icon group's (width, height, colours, planes, bit count, size, icon id)
        entries."""
        raw = next(r for t, _, _, r in self.resources() if t == 14)
        count = struct.unpack_from("<H", raw, 4)[0]
        return [struct.unpack_from("<BBBxHHIH", raw, 6 + 14 * i) for i in range(count)]

    def checksum(self):
        """(the header's checksum, the checksum of the file's bytes)."""
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        field = pe + 24 + 64
        data = self.data[:field] + b"\0\0\0\0" + self.data[field + 4:]
        if len(data) % 2:
            data += b"\0"
        total = 0
        for (word,) in struct.iter_unpack("<H", data):
            total += word
            total = (total & 0xFFFF) + (total >> 16)
        return struct.unpack_from("<I", self.data, field)[0], total + len(self.data)

    def section_bytes(self, name):
        for section, _, size, raw in self.sections:
            if section == name:
                return self.data[raw:raw + size]
        raise KeyError(name)


def summary(path):
    pe = PeFile(path)
    return {
        "machine": MACHINES.get(pe.machine, hex(pe.machine)),
        "subsystem": {2: "gui", 3: "console"}.get(pe.subsystem, pe.subsystem),
        "dll": bool(pe.characteristics & 0x2000),
        "resource_types": sorted({RT_NAMES.get(t, t) for t, _, _, _ in pe.resources()}, key=str),
        "string_languages": sorted("%04x" % lang for lang in pe.strings()),
        "imports": pe.imports(),
        "exports": pe.exports(),
    }


if __name__ == "__main__":
    print(json.dumps(summary(sys.argv[1]), indent=2))
