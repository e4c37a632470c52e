"""Today's Java VMs: options for some VM versions only, heap sizes as a share of memory, and
properties files saved as UTF-8."""
import os
import re
import shutil
import struct
import unittest

from kivtest import BUILD, WINE_BUILD, LayoutTestCase, minimal_properties, read_vm_info, windows_path

FOR = "kiv.nl.java.option.additional.for."
OPENS = "--add-opens=java.desktop/sun.awt=ALL-UNNAMED"
NATIVE = "--enable-native-access=ALL-UNNAMED"
MODULE_OPENING = "--add-opens java.base/jdk.internal.loader=ALL-UNNAMED"
VERSIONED = {
    "kiv.nl.java.option.additional": "-Dall=1",
    FOR + "9+": OPENS,
    FOR + "17+": NATIVE,
    FOR + "13-": "-XX:+UseConcMarkSweepGC",
    FOR + "1.8*": "-Dold=8",
    FOR + "25+": "-Dnew=25",
    FOR + "x.y": "-Dbad",
}
# Per stand-in: (variant, the options between the program and "-classpath"). The keys apply in
# their order: 1.8*, 13-, 17+, 25+, 9+.
VERSIONS = {
    "8": ("standin_sun_1_8_0_151", "-Dall=1 -Dold=8 -XX:+UseConcMarkSweepGC"),
    "17": ("standin_sun_17_0_9", "%s -Dall=1 %s %s" % (MODULE_OPENING, NATIVE, OPENS)),
    "25": ("standin_sun_25_0_1", "%s -Dall=1 %s -Dnew=25 %s" % (MODULE_OPENING, NATIVE, OPENS)),
}
APPLIED = {"8": ("1.8*", "13-"), "17": ("9+", "17+"), "25": ("9+", "17+", "25+")}
BAD_PATTERN = (b'ignoring kiv.nl.java.option.additional.for.x.y: "x.y" is not a version '
               b'pattern.\r\n')


def options_of(record):
    """The options of a recorded command line: between the quoted program and "-classpath"."""
    line = record["commandline"]
    return line[line.index('"', 1) + 2:line.index(" -classpath ")]


def is_32bit_image(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<H", data, offset + 4)[0] == 0x14C


def write_32bit_image(path):
    """The headers of a 32-bit x86 program (machine 0x14C, PE32 optional header): enough for
    the launcher to tell the bitness, not to run."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    image = bytearray(1024)
    image[0:2] = b"MZ"
    struct.pack_into("<I", image, 0x3C, 0x80)
    image[0x80:0x84] = b"PE\0\0"
    struct.pack_into("<HH", image, 0x84, 0x14C, 1)
    struct.pack_into("<H", image, 0x94, 0xE0)
    struct.pack_into("<H", image, 0x98, 0x10B)
    with open(path, "wb") as f:
        f.write(image)


class VersionOptions(LayoutTestCase):
    def install_versions(self):
        programs = {v: self.install_vm(os.path.join(self.root, "jre" + v), variant)
                    for v, (variant, _) in VERSIONS.items()}
        path = ";".join(windows_path(os.path.dirname(p)) for p in programs.values())
        return programs, path

    def test_each_vm_gets_exactly_the_options_for_its_version(self):
        programs, path = self.install_versions()
        trace = os.path.join(self.root, "trace.txt")
        for version, (_, expected) in VERSIONS.items():
            with self.subTest(version=version):
                pattern = "1.8*" if version == "8" else version + "*"
                self.kiv(minimal_properties(**VERSIONED, **{"kiv.nl.valid.vm.list": pattern}))
                for stale in (self.record, trace):
                    if os.path.exists(stale):
                        os.remove(stale)
                result = self.launch(env={"WINEPATH": path, "KIV_TRACE": windows_path(trace)})
                self.assertEqual(result.stderr, BAD_PATTERN)
                [record] = self.records()
                self.assertEqual(record["program"], windows_path(programs[version]))
                self.assertEqual(options_of(record), expected)
                with open(trace, encoding="utf-8") as f:
                    text = f.read()
                program = windows_path(programs[version])
                for key in ("9+", "17+", "13-", "1.8*", "25+"):
                    verdict = "applies to" if key in APPLIED[version] else "does not apply to"
                    self.assertIn("%s%s %s %s\n" % (FOR, key, verdict, program), text)
                self.assertIn("ignoring %sx.y" % FOR, text)

    def test_silent_mode_ignores_a_bad_pattern_without_a_word(self):
        programs, path = self.install_versions()
        self.kiv(minimal_properties(**VERSIONED, **{
            "kiv.nl.valid.vm.list": "17*", "kiv.installer.windows.ui.default": "SILENT"}))
        result = self.launch(env={"WINEPATH": path})
        self.assertEqual(result.stderr, b"")
        self.assertEqual(options_of(self.records()[0]), VERSIONS["17"][1])

    def test_validator_runs_get_the_options_of_their_candidate(self):
        programs, path = self.install_versions()
        self.kiv(minimal_properties(**VERSIONED, **{"kiv.nl.valid.vm.list": "ALL_CHECK"}))
        result = self.launch(env={"WINEPATH": path})
        self.assertEqual(result.stderr, BAD_PATTERN)
        records = self.records()
        validations = {r["program"]: r for r in records[:-1]}
        for version, (_, expected) in VERSIONS.items():
            record = validations[windows_path(programs[version])]
            self.assertTrue(record["commandline"].endswith("com.mirov.util.jvm.Validator 1 CHECK"))
            # The validator gets no additional options, only those of its version.
            self.assertEqual(options_of(record), expected.replace(" -Dall=1", "")
                             .replace("-Dall=1 ", ""))
        self.assertEqual(records[-1]["program"], windows_path(programs["25"]))

    def test_a_vm_of_unknown_version_gets_none(self):
        program = self.install_vm(os.path.join(self.root, "plain"))
        trace = os.path.join(self.root, "trace.txt")
        self.kiv(minimal_properties(**VERSIONED))
        result = self.launch(["KIV_VM", windows_path(program)],
                             env={"KIV_TRACE": windows_path(trace)})
        self.assertEqual(result.stderr, BAD_PATTERN)
        self.assertEqual(options_of(self.records()[0]), "-Dall=1")
        with open(trace, encoding="utf-8") as f:
            self.assertIn("version of %s unknown: no version-dependent options"
                          % windows_path(program), f.read())

    def test_verify_probe_gets_the_options_of_its_candidate_from_utf8_files(self):
        home = os.path.join(self.root, "Runtime \u00e4 17")
        javaw = self.install_vm(home, "standin_sun_17_0_9", names=("javaw.exe", "java.exe"))
        with open(os.path.join(home, "bin", "verify-output.txt"), "w") as f:
            f.write("Verify 1.0\nEclipse Adoptium\n17.0.9\n")
        specs = os.path.join(self.app, "jvmspecs")
        os.makedirs(specs)
        with open(os.path.join(specs, "Verify.jar"), "wb") as f:
            f.write(b"PK")
        start = os.path.join(self.root, "start")
        os.makedirs(os.path.join(start, "Windows", "jvmspecs"))
        # Both files saved as UTF-8 with a byte-order mark, the hint naming a folder with "\u00e4".
        with open(os.path.join(specs, "runtime.spec"), "wb") as f:
            f.write(("\ufeffJVM_EXE: bin\\javaw.exe\r\nJVM_PROPERTIES\r\njava.vendor=Eclipse...\r\n"
                     "java.version=17*\r\n/:\r\nPATH_HINT:\r\n%s\r\n/:\r\n"
                     % windows_path(home)[3:]).encode("utf-8"))
        with open(os.path.join(specs, "jvmspecs.properties"), "wb") as f:
            f.write("\ufeffbuild.option=withoutvm\r\nbuild.without.vm.search.option=10\r\n"
                    "build.jvmspec.applicable=true\r\nbuild.jvmspec.total.num=1\r\n"
                    "build.jvmspec.0=runtime.spec\r\n".encode("utf-8"))
        self.kiv(minimal_properties(**VERSIONED))
        result = self.launch(cwd=start)
        self.assertEqual(result.stderr, BAD_PATTERN)
        verify, application = self.records()
        self.assertEqual(verify["program"], windows_path(javaw))
        self.assertEqual(verify["commandline"],
                         '"%s" %s %s -classpath "%s\\Verify.jar" Verify java.vendor java.version'
                         % (windows_path(javaw), NATIVE, OPENS, windows_path(specs)))
        self.assertEqual(options_of(application), VERSIONS["17"][1])


class HeapShare(LayoutTestCase):
    def launch_with_share(self, program):
        trace = os.path.join(self.root, "trace.txt")
        self.kiv(minimal_properties(**{"kiv.nl.java.option.java.heap.size.max": "50%",
                                       "kiv.nl.java.option.java.heap.size.initial": "75%"}))
        self.launch(["KIV_VM", windows_path(program)], env={"KIV_TRACE": windows_path(trace)})
        with open(trace, encoding="utf-8") as f:
            text = f.read()
        memory = re.search(r"heap for a (32|64)-bit VM \((?:x86|x64)\), (\d+) MB physical memory, initial "
                           r"(\d+)% = (\d+) MB, maximum 50% = (\d+) MB\n", text)
        self.assertIsNotNone(memory, text)
        # An initial size above the maximum is traced with the maximum's share; a 32-bit VM's
        # limit makes both sizes equal, so the initial share stays.
        self.assertEqual(memory.group(3), "75" if memory.group(1) == "32" else "50", text)
        with open("/proc/meminfo") as f:
            total = int(f.readline().split()[1]) // 1024
        bitness, megabytes = memory.group(1), int(memory.group(2))
        self.assertLess(abs(megabytes - total), total // 50 + 1)
        half = megabytes // 2 if bitness == "64" else min(megabytes // 2, 1024)
        # The initial size asked for more than the maximum: it gets the maximum.
        self.assertEqual((int(memory.group(4)), int(memory.group(5))), (half, half))
        start = next(l for l in text.splitlines() if " start " in l)
        self.assertIn(" -Xms%dm -Xmx%dm " % (half, half), start)
        return bitness, half

    def test_half_the_memory_for_a_64bit_vm(self):
        program = self.install_vm(os.path.join(self.root, "jre"), "standin_sun_17_0_9")
        bitness, half = self.launch_with_share(program)
        self.assertEqual(bitness, "32" if is_32bit_image(program) else "64")
        [record] = self.records()
        self.assertEqual(options_of(record), "%s -Xms%dm -Xmx%dm" % (MODULE_OPENING, half, half))

    def test_at_most_1024_megabytes_for_a_32bit_vm(self):
        program = os.path.join(self.root, "jre32", "bin", "java.exe")
        write_32bit_image(program)
        bitness, half = self.launch_with_share(program)
        self.assertEqual((bitness, half), ("32", 1024))


def set_machine(path, machine):
    """Rewrites the Machine field of a program image's file header."""
    with open(path, "r+b") as f:
        offset = struct.unpack_from("<I", f.read(0x40), 0x3C)[0]
        f.seek(offset + 4)
        f.write(struct.pack("<H", machine))


def physical_megabytes():
    with open("/proc/meminfo") as f:
        return int(f.readline().split()[1]) // 1024


# Wine runs no ARM64 program: what a user sees when such a VM is started here.
BAD_FORMAT = b"Pellinor Error: Windows error 193 occured while loading the Java VM\r\n"


class VmArchitecture(LayoutTestCase):
    def launch_named(self, program):
        trace = os.path.join(self.root, "trace.txt")
        if os.path.exists(trace):
            os.remove(trace)
        self.kiv(minimal_properties(**{"kiv.nl.java.option.java.heap.size.max": "50%"}))
        result = self.launch(["KIV_VM", windows_path(program)],
                             env={"KIV_TRACE": windows_path(trace)})
        with open(trace, encoding="utf-8") as f:
            return result, f.read()

    def test_a_named_arm64_vm_is_sized_and_traced_as_64bit(self):
        # 0xA641 (ARM64EC) counts as ARM64 too.
        for machine in (0xAA64, 0xA641):
            with self.subTest(machine=hex(machine)):
                program = self.install_vm(os.path.join(self.root, hex(machine)),
                                          "standin_sun_17_0_9")
                set_machine(program, machine)
                result, text = self.launch_named(program)
                self.assertEqual(result.stderr, BAD_FORMAT)
                self.assertIn("chosen %s (home %s, JRE, vendor Sun, version 17.0.9, ARM64, "
                              "64-bit)\n" % (windows_path(program),
                                              windows_path(os.path.dirname(os.path.dirname(
                                                  program)))), text)
                total = physical_megabytes()
                self.assertGreater(total, 2048, "the 32-bit cap would not show")
                heap = re.search(r"heap for a 64-bit VM \(ARM64\), (\d+) MB physical memory, "
                                 r"maximum 50% = (\d+) MB\n", text)
                self.assertIsNotNone(heap, text)
                half = int(heap.group(1)) // 2
                self.assertEqual(int(heap.group(2)), half)
                self.assertGreater(half, 1024)
                self.assertIn(" -Xmx%dm " % half, text)

    def test_a_vm_unlike_the_shipped_libraries_is_warned_of(self):
        program = self.install_vm(os.path.join(self.root, "arm"), "standin_sun_17_0_9")
        set_machine(program, 0xAA64)
        libraries = os.path.join(BUILD, "bin")
        shutil.copy(os.path.join(libraries, "Helper.dll"), self.app)
        shipped = "x64" if WINE_BUILD == "x86_64" else "x86"
        _, text = self.launch_named(program)
        self.assertIn("warning: the VM is ARM64 but Helper.dll beside the launcher is %s: the "
                      "VM cannot load it\n" % shipped, text)
        self.assertNotIn("Nettaro.dll", text)
        # A VM of the libraries' own architecture gets no warning.
        shutil.copy(os.path.join(libraries, "Nettaro.dll"), self.app)
        native = self.install_vm(os.path.join(self.root, "native"), "standin_sun_17_0_9")
        result, text = self.launch_named(native)
        self.assertEqual(result.stderr, b"")
        self.assertNotIn("warning:", text)

    def test_an_unreadable_image_is_traced_as_unknown(self):
        cases = [  # (bytes of the program, why it is unknown)
            (b"MZ" + bytes(30), "not a program image"),
            (None, "a machine other than x86, x64 and ARM64"),
        ]
        for content, why in cases:
            with self.subTest(why=why):
                program = os.path.join(self.root, why.split()[1], "bin", "java.exe")
                if content is None:
                    self.install_vm(os.path.dirname(os.path.dirname(program)))
                    set_machine(program, 0x1C4)
                else:
                    os.makedirs(os.path.dirname(program))
                    with open(program, "wb") as f:
                        f.write(content)
                result, text = self.launch_named(program)
                self.assertIn("Windows error", result.stderr.decode())
                self.assertRegex(text, r"chosen %s \(home .*, architecture unknown: %s, taken "
                                 r"as 32-bit\)\n" % (re.escape(windows_path(program)), why))
                self.assertIn("heap for a 32-bit VM (architecture unknown: %s), " % why, text)
                self.assertIn(" -Xmx%dm " % min(physical_megabytes() // 2, 1024), text)


class Utf8Properties(LayoutTestCase):
    CLASS_PATH = "lib\\\u00e4pp.jar;lib\\\u65e5\u672c.jar"
    MAIN = "com.example.M\u00e4in"

    def check(self, contents):
        home = os.path.join(self.root, "j\u00e4va")
        program = self.install_vm(home)
        os.makedirs(os.path.join(self.app, "w\u00f6rk"))
        with open(os.path.join(self.app, "Tarrow.kiv"), "wb") as f:
            f.write(contents)
        result = self.launch(["KIV_VM", windows_path(program)])
        self.assertEqual(result.stderr, b"")
        [record] = self.records()
        app = windows_path(self.app)
        self.assertIn(' -classpath "%s\\lib\\\u00e4pp.jar;%s\\lib\\\u65e5\u672c.jar;" %s ' %
                      (app, app, self.MAIN), record["commandline"])
        self.assertEqual(record["cwd"].rstrip("\\"), app + "\\w\u00f6rk")
        # What the launcher writes stays ASCII with escapes.
        recorded = ("kiv.nl.current.vm", windows_path(program).replace("\\", "\\\\")
                    .replace("\u00e4", "\\u00e4"))
        [info] = record["tempfiles"]  # the information file as the VM found it
        self.assertIn(recorded, read_vm_info(info))

    def utf8_text(self):
        return ("kiv.nl.java.launcher.main.class=%s\r\nkiv.class.path=%s\r\n"
                "kiv.nl.valid.vm.list=ALL\r\nkiv.user.dir=w\u00f6rk\r\n"
                % (self.MAIN, self.CLASS_PATH)).encode("utf-8")

    def test_utf8_without_byte_order_mark(self):
        self.check(self.utf8_text())

    def test_utf8_with_byte_order_mark(self):
        self.check(b"\xef\xbb\xbf" + self.utf8_text())

    def test_iso_8859_1_with_an_escape_for_what_it_cannot_hold(self):
        # "\u005c" is the backslash before the CJK entry: a backslash pair is kept as it stands.
        text = ("kiv.nl.java.launcher.main.class=%s\r\n"
                "kiv.class.path=lib\\\u00e4pp.jar;lib\\u005c\\u65e5\\u672c.jar\r\n"
                "kiv.nl.valid.vm.list=ALL\r\nkiv.user.dir=w\u00f6rk\r\n" % self.MAIN)
        self.check(text.encode("latin-1"))


if __name__ == "__main__":
    unittest.main()
