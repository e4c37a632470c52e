"""Import checks that hold for both builds: each binary imports exactly the libraries allowed
for it. The launchers import only "known DLLs", which Windows never looks up beside the program;
everything else it loads at run time from the system folder."""
import os
import unittest

from pe_reader import PeFile

BUILD = os.environ["KIV_BUILD_DIR"]
SERVICE_FUNCTIONS = {"StartServiceCtrlDispatcherW", "RegisterServiceCtrlHandlerW", "SetServiceStatus"}
ALLOWED_IMPORTS = {
    "Tarrow.exe": {"kernel32.dll", "advapi32.dll", "user32.dll", "shell32.dll", "msvcrt.dll"},
    # The windowed launcher's progress window also takes the system's font (a known DLL too).
    "TarrowW.exe": {"kernel32.dll", "advapi32.dll", "user32.dll", "shell32.dll", "msvcrt.dll",
                    "gdi32.dll"},
    "Helper.dll": {"kernel32.dll", "msvcrt.dll", "winspool.drv", "xpdfprint.dll"},
    "Nettaro.dll": {"kernel32.dll", "msvcrt.dll", "rasapi32.dll"},
}
RUNTIME_LIBRARIES = ("libstdc++", "libgcc", "libwinpthread", "zlib1")


def imported_libraries(name):
    return {dll.lower() for dll in PeFile(os.path.join(BUILD, "bin", name)).imports()}


class Imports(unittest.TestCase):
    def test_each_binary_imports_only_its_allowed_libraries(self):
        for name, allowed in ALLOWED_IMPORTS.items():
            with self.subTest(binary=name):
                imported = imported_libraries(name)
                self.assertLessEqual(imported, allowed)
                self.assertIn("kernel32.dll", imported)
                self.assertFalse({d for d in imported if d.startswith(RUNTIME_LIBRARIES)})

    def test_service_functions_are_not_imported(self):
        imports = PeFile(os.path.join(BUILD, "bin", "Tarrow.exe")).imports()
        imported = {name for names in imports.values() for name in names}
        self.assertFalse(imported & SERVICE_FUNCTIONS)
        # The registry functions of the same library are imported as usual.
        self.assertIn("RegOpenKeyExW", imported)


if __name__ == "__main__":
    unittest.main()
