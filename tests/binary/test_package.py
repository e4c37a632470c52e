"""The package a user downloads: exactly the product files, each binary with its version."""
import io
import os
import re
import subprocess
import unittest
import zipfile

from pe_reader import PeFile

BUILD = os.environ["KIV_BUILD_DIR"]
SOURCE = os.environ["KIV_SOURCE_DIR"]
FILES = ["Helper.dll", "LICENSE", "Nettaro.dll", "Tarrow.exe", "TarrowW.exe",
         "docs/configuration.md", "docs/getting-started.md", "docs/troubleshooting.md",
         "example/Tarrow.kiv", "example/jvmspecs/jvmspecs.example.properties",
         "example/jvmspecs/java8.jvmspec", "jvmspecs/Verify.jar", "lib/TarrowNatives.jar",
         "lib/Validator.jar"]
# The most each 32-bit binary may weigh in the package: 450 KB, 200 KB and 120 KB, in the kilobytes
# of 1,024 bytes that Windows shows and the launcher's own progress texts count. The launcher is
# copied beside every application and the JNI libraries are loaded into every application's VM.
SIZE_LIMITS = {"Tarrow.exe": 450 * 1024, "Helper.dll": 200 * 1024, "Nettaro.dll": 120 * 1024}


class PeBytes(PeFile):
    def __init__(self, data):  # noqa: super().__init__ reads a file; this one takes bytes
        path = os.path.join(BUILD, "package-check.tmp")
        with open(path, "wb") as f:
            f.write(data)
        super().__init__(path)
        os.remove(path)


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        subprocess.run(["cmake", "--build", BUILD, "--target", "package_zip"], check=True,
                       stdout=subprocess.DEVNULL)
        with open(os.path.join(SOURCE, "CMakeLists.txt")) as f:
            cls.version = re.search(r"project\(Tarrow VERSION ([0-9.]+)", f.read()).group(1)
        bits = "win32" if "i686" in os.path.basename(os.path.normpath(BUILD)) else "win64"
        cls.bits = bits
        cls.zip = zipfile.ZipFile(os.path.join(BUILD, "Tarrow-%s-%s.zip" % (cls.version, bits)))
        cls.top = "Tarrow-%s/" % cls.version

    def test_holds_exactly_the_product_files(self):
        self.assertEqual(sorted(self.zip.namelist()), sorted(self.top + f for f in FILES))

    def test_binaries_carry_the_version(self):
        for name in ("Tarrow.exe", "TarrowW.exe", "Helper.dll", "Nettaro.dll"):
            with self.subTest(binary=name):
                strings = PeBytes(self.zip.read(self.top + name)).version_strings()
                self.assertEqual(strings["FileVersion"], self.version)
                self.assertEqual(strings["ProductVersion"], self.version)
                self.assertEqual(strings["OriginalFilename"], name)
                self.assertEqual(strings["ProductName"], "Tarrow")

    def test_binaries_are_stripped_and_name_their_symbols(self):
        symbols = zipfile.ZipFile(os.path.join(BUILD, "Tarrow-%s-%s-symbols.zip" % (
            self.version, self.bits)))
        top = "Tarrow-%s-symbols/" % self.version
        names = ["Tarrow.exe", "TarrowW.exe", "Helper.dll", "Nettaro.dll"]
        self.assertEqual(sorted(symbols.namelist()), sorted(top + n + ".debug" for n in names))
        objdump = ("i686" if self.bits == "win32" else "x86_64") + "-w64-mingw32-objdump"
        for name in names:
            with self.subTest(binary=name):
                path = os.path.join(BUILD, "package-root", name)
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), self.zip.read(self.top + name))
                listing = subprocess.run([objdump, "-h", path], stdout=subprocess.PIPE,
                                         text=True, check=True).stdout
                self.assertNotIn(".debug", listing)
                self.assertIn(".gnu_debuglink", listing)
                with open(path, "rb") as f:
                    self.assertIn((name + ".debug").encode() + b"\0", f.read())
                debug = symbols.read(top + name + ".debug")
                self.assertGreater(len(debug), 0)

    def test_launchers_are_of_their_subsystems(self):
        # 3 is the console subsystem, 2 the Windows (graphical) one, which opens no console.
        for name, subsystem in (("Tarrow.exe", 3), ("TarrowW.exe", 2)):
            with self.subTest(binary=name):
                self.assertEqual(PeBytes(self.zip.read(self.top + name)).subsystem, subsystem)

    def test_32_bit_binaries_stay_within_their_sizes(self):
        if self.bits != "win32":
            self.skipTest("the size limits are the 32-bit product's")
        for name, limit in SIZE_LIMITS.items():
            with self.subTest(binary=name):
                self.assertLessEqual(self.zip.getinfo(self.top + name).file_size, limit)

    def test_jars_carry_the_version(self):
        for name in ("jvmspecs/Verify.jar", "lib/Validator.jar", "lib/TarrowNatives.jar"):
            with self.subTest(jar=name):
                jar = zipfile.ZipFile(io.BytesIO(self.zip.read(self.top + name)))
                manifest = jar.read("META-INF/MANIFEST.MF").decode()
                self.assertIn("Implementation-Version: " + self.version, manifest)


if __name__ == "__main__":
    unittest.main()
