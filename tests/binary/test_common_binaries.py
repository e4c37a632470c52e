"""Import checks that hold for both builds of Tarrow.exe."""
import os
import unittest

from pe_reader import PeFile

BUILD = os.environ["KIV_BUILD_DIR"]
SERVICE_FUNCTIONS = {"StartServiceCtrlDispatcherW", "RegisterServiceCtrlHandlerW", "SetServiceStatus"}


class TarrowImports(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.imports = PeFile(os.path.join(BUILD, "bin", "Tarrow.exe")).imports()

    def test_service_functions_are_not_imported(self):
        imported = {name for names in self.imports.values() for name in names}
        self.assertFalse(imported & SERVICE_FUNCTIONS)
        # The registry functions of the same library are imported as usual.
        self.assertIn("RegOpenKeyExW", imported)

    def test_links_no_mingw_runtime_library(self):
        dlls = {name.lower() for name in self.imports}
        self.assertFalse({d for d in dlls if "libstdc" in d or "libgcc" in d or "winpthread" in d})


if __name__ == "__main__":
    unittest.main()
