"""Branding: a copy of the launcher with an application's icon, version numbers and names,
read back with the project's PE reader; the copy launches its own properties file and brands
again; the same inputs give the same bytes; malformed inputs leave nothing behind."""
import os
import random
import resource
import shutil
import signal
import struct
import subprocess
import sys
import unittest
import zlib

from kivtest import (SOURCE, WINE64, LayoutTestCase, ensure_prefix, minimal_properties,
                     read_record, run_wine, scaled, windows_path, wine_env)

sys.path.insert(0, os.path.join(SOURCE, "tests", "binary"))
from pe_reader import PeFile  # noqa: E402


def png(size, seed):
    """A PNG image of noise, so that it does not compress: a 256-pixel one weighs some 256 KB."""
    noise = random.Random(seed)
    rows = b"".join(b"\0" + noise.randbytes(size * 4) for _ in range(size))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 0))
            + chunk(b"IEND", b""))


def bitmap(size, bits, seed):
    """An icon's bitmap: header, palette for 8 bits, colour bits and mask bits."""
    noise = random.Random(seed)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0, 0, 0, 0, 0, 0)
    palette = noise.randbytes(256 * 4) if bits == 8 else b""
    colour = noise.randbytes(size * ((size * bits + 31) // 32) * 4)
    mask = bytes(size * ((size + 31) // 32) * 4)
    return header + palette + colour + mask


# (width, height, planes, bit count, bytes) per image, in directory order.
IMAGES = [(0, 0, 1, 32, png(256, 1)), (48, 48, 1, 32, png(48, 2)), (32, 32, 1, 32, bitmap(32, 32, 3)),
          (16, 16, 1, 8, bitmap(16, 8, 4))]


def ico(images, lie=None):
    """The bytes of an icon file; `lie` changes one entry's (size, offset) after the fact."""
    entries, data = b"", b""
    offset = 6 + 16 * len(images)
    for i, (width, height, planes, bits, image) in enumerate(images):
        size, at = len(image), offset + len(data)
        if lie and lie[0] == i:
            size, at = lie[1](size, at)
        entries += struct.pack("<BBBBHHII", width, height, 0, 0, planes, bits, size, at)
        data += image
    return struct.pack("<HHH", 0, 1, len(images)) + entries + data


TEXTS = {"product": ("ProductName", "Hello World"), "company": ("CompanyName", "Example Ltd."),
         "description": ("FileDescription", "Hello, a greeting"),
         "copyright": ("LegalCopyright", "\u00a9 2026 Example Ltd.")}


class Brand(LayoutTestCase):
    def setUp(self):
        super().setUp()
        self.icon = os.path.join(self.root, "hello.ico")
        with open(self.icon, "wb") as f:
            f.write(ico(IMAGES))

    def brand(self, out, *settings, program=None):
        return run_wine(program or self.exe, ["-mvkivbrand", windows_path(out), *settings],
                        cwd=self.root)

    def full_brand(self, out, program=None):
        settings = ["icon=" + windows_path(self.icon), "version=2.1.0.7"]
        settings += ["%s=%s" % (key, text) for key, (_, text) in TEXTS.items()]
        return self.brand(out, *settings, program=program)

    def assert_brands(self, result, out):
        self.assertEqual(result.stderr, b"")
        self.assertEqual(result.returncode, 0)
        self.assertEqual(result.stdout.decode(),
                         "branded copy written to %s\r\n" % windows_path(out))

    def test_resources_read_back(self):
        out = os.path.join(self.app, "Hello.exe")
        self.assert_brands(self.full_brand(out), out)
        launcher, branded = PeFile(self.exe), PeFile(out)
        group = branded.icon_group()
        self.assertEqual([entry[:2] + entry[3:5] for entry in group],
                         [image[:4] for image in IMAGES])
        icons = {name: (lang, data) for t, name, lang, data in branded.resources() if t == 3}
        self.assertEqual(sorted(icons), sorted(entry[6] for entry in group))  # old images gone
        group_language = next(lang for t, _, lang, _ in launcher.resources() if t == 14)
        for entry, image in zip(group, IMAGES):
            self.assertEqual(entry[5], len(image[4]))
            self.assertEqual(icons[entry[6]], (group_language, image[4]))
        self.assertEqual(branded.fixed_versions(), ((2, 1, 0, 7), (2, 1, 0, 7)))
        strings = branded.version_strings()
        for key, text in TEXTS.values():
            self.assertEqual(strings[key], text)
        self.assertEqual((strings["FileVersion"], strings["ProductVersion"]), ("2.1.0.7", "2.1.0.7"))
        self.assertEqual((strings["OriginalFilename"], strings["InternalName"]), ("Hello.exe", "Hello"))
        self.assertEqual(branded.strings(), launcher.strings())
        manifest = [(name, lang, data) for t, name, lang, data in launcher.resources() if t == 24]
        self.assertEqual([(n, l, d) for t, n, l, d in branded.resources() if t == 24], manifest)
        for section in (".text", ".rdata", ".data"):
            self.assertEqual(branded.section_bytes(section), launcher.section_bytes(section))
        self.assertEqual(branded.imports(), launcher.imports())
        checksum, computed = branded.checksum()
        self.assertEqual(checksum, computed)

    def test_what_is_not_given_keeps_the_launchers_value(self):
        out = os.path.join(self.root, "Only Name.exe")
        self.assert_brands(self.brand(out, "product=Only"), out)
        launcher, branded = PeFile(self.exe), PeFile(out)
        expected = dict(launcher.version_strings(), ProductName="Only",
                        OriginalFilename="Only Name.exe", InternalName="Only Name")
        self.assertEqual(branded.version_strings(), expected)
        self.assertEqual(branded.fixed_versions(), launcher.fixed_versions())
        self.assertEqual(branded.icon_group(), launcher.icon_group())
        self.assertEqual([r for r in branded.resources() if r[0] in (3, 6, 24)],
                         [r for r in launcher.resources() if r[0] in (3, 6, 24)])

    def test_branded_program_launches_its_own_kiv_and_brands_again(self):
        out = os.path.join(self.app, "Hello.exe")
        self.assert_brands(self.full_brand(out), out)
        home = os.path.join(self.root, "vm home")
        java = windows_path(self.install_vm(home))
        self.kiv(minimal_properties(), name="Hello.kiv")
        result = run_wine(out, ["KIV_VM", java], cwd=self.root,
                          env={"KIV_STANDIN_RECORD": windows_path(self.record),
                               "KIV_STANDIN_EXIT": "7"})
        self.assertEqual(result.stderr, b"")
        self.assertEqual(result.returncode, 7)
        [record] = read_record(self.record)
        self.assertIn((windows_path(self.app) + "\\Hello.kiv").replace("\\", "/"),
                      record["commandline"])
        again = os.path.join(self.root, "Again.exe")
        self.assert_brands(self.brand(again, "product=Again", program=out), again)
        strings = PeFile(again).version_strings()
        self.assertEqual((strings["ProductName"], strings["CompanyName"]), ("Again", "Example Ltd."))

    def test_same_inputs_give_the_same_bytes(self):
        first, second = os.path.join(self.root, "a", "Hello.exe"), os.path.join(self.root, "b", "Hello.exe")
        os.makedirs(os.path.dirname(first))
        os.makedirs(os.path.dirname(second))
        self.assert_brands(self.full_brand(first), first)
        self.assert_brands(self.full_brand(second), second)
        # Branding a branded copy the same way gives it back unchanged.
        third = os.path.join(self.app, "Hello.exe")
        self.assert_brands(self.full_brand(third, program=first), third)
        with open(first, "rb") as a, open(second, "rb") as b, open(third, "rb") as c:
            data = a.read()
            self.assertEqual(data, b.read())
            self.assertEqual(data, c.read())

    def test_malformed_inputs_leave_nothing_behind(self):
        def write(name, data):
            path = os.path.join(self.root, name)
            with open(path, "wb") as f:
                f.write(data)
            return windows_path(path)
        past_end = write("past.ico", ico(IMAGES, (3, lambda size, at: (size, at + 10))))
        zero = write("zero.ico", ico(IMAGES, (2, lambda size, at: (0, at))))
        cut = write("cut.ico", ico(IMAGES)[:-1])
        folder = os.path.join(self.root, "out")
        os.makedirs(os.path.join(folder, "Taken.exe"))
        cases = [
            ("missing icon", "Hello.exe", ["icon=" + windows_path(self.root) + "\\none.ico"],
             "could not be read"),
            ("image past the end", "Hello.exe", ["icon=" + past_end], "promises an image"),
            ("file cut short", "Hello.exe", ["icon=" + cut], "promises an image"),
            ("zero-size image", "Hello.exe", ["icon=" + zero], "an image of zero size"),
            ("three-part version", "Hello.exe", ["version=1.2.3"], "is not four numbers"),
            ("version too large", "Hello.exe", ["version=1.2.3.70000"], "is not four numbers"),
            ("unknown setting", "Hello.exe", ["colour=blue"], "unknown branding setting"),
            ("missing folder", "no such folder\\Hello.exe", [], "could not be written"),
            ("a folder in the way", "Taken.exe", [], "could not be written"),
            ("a folder name too long", "x" * 250 + "\\Hello.exe", [],
             "could not be written: (?!The operation completed)"),
        ]
        for what, name, settings, message in cases:
            with self.subTest(what):
                out = os.path.join(folder, name)
                result = self.brand(out, *settings)
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.stdout, b"")
                lines = result.stderr.decode().splitlines()
                self.assertEqual(len(lines), 1, lines)
                self.assertRegex(lines[0], "^Pellinor Error: .*" + message)
                self.assertEqual(sorted(os.listdir(folder)), ["Taken.exe"])
                self.assertTrue(os.path.isdir(os.path.join(folder, "Taken.exe")))

    def test_a_full_disk_leaves_the_earlier_program_as_it_was(self):
        # A file-size limit makes the write fail as a full disk does: the launcher is larger.
        def limit_file_size():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (65536, 65536))

        ensure_prefix()
        folder = os.path.join(self.root, "out")
        os.makedirs(folder)
        out = os.path.join(folder, "Hello.exe")
        with open(out, "wb") as f:
            f.write(b"the earlier program")
        result = subprocess.run([WINE64, self.exe, "-mvkivbrand", windows_path(out)],
                                cwd=self.root, env=wine_env(), stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                preexec_fn=limit_file_size, timeout=scaled(60))
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertRegex(result.stderr.decode(), r"^Pellinor Error: .*Hello\.exe could not be "
                                                 r"written: [^\r\n]+\r\n$")
        self.assertEqual(os.listdir(folder), ["Hello.exe"])
        with open(out, "rb") as f:
            self.assertEqual(f.read(), b"the earlier program")


if __name__ == "__main__":
    unittest.main()
