"""Checks of the 32-bit product that only its binaries can show."""
import os
import sys
import unittest

from pe_reader import PeFile

BUILD = os.environ["KIV_BUILD_DIR"]
LANGUAGES = [0x0409, 0x000A, 0x0403, 0x0404, 0x0804, 0x0405, 0x0406, 0x0407, 0x0408, 0x040B,
             0x040C, 0x0C0C, 0x040E, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416,
             0x0816, 0x0419, 0x041B, 0x041D, 0x041E, 0x041F, 0x0421, 0x0424, 0x042D]
IDS = (101, 102, 103, 104, 110)


class TarrowBinary(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = PeFile(os.path.join(BUILD, "bin", "Tarrow.exe"))

    def test_is_a_32_bit_console_program(self):
        self.assertEqual(self.pe.machine, 0x14C)
        self.assertFalse(self.pe.is64)
        self.assertEqual(self.pe.subsystem, 3)

    def test_manifest_identity_elevation_and_compatibility(self):
        manifests = [raw.decode("utf-8") for t, name, _, raw in self.pe.resources()
                     if t == 24 and name == 1]
        self.assertEqual(len(manifests), 1)
        text = manifests[0]
        self.assertIn('name="Brastow.Launcher"', text)
        self.assertIn('version="1.0.0.0"', text)
        self.assertIn('processorArchitecture="X86"', text)
        self.assertIn('level="highestAvailable"', text)
        self.assertIn('uiAccess="false"', text)
        for os_id in ("e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                      "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                      "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"):
            self.assertIn(os_id, text)

    def test_unwinding_entries_share_their_cies(self):
        sys.path.insert(0, os.path.join(os.environ["KIV_SOURCE_DIR"], "scripts"))
        import share_eh_cies
        path = os.path.join(BUILD, "bin", "Tarrow.exe")
        objdump = "i686-w64-mingw32-objdump"
        size, address, offset = share_eh_cies.section_place(objdump, path)
        with open(path, "rb") as f:
            f.seek(offset)
            section = f.read(size)
        shared = share_eh_cies.share(section, address, share_eh_cies.word_reader(objdump, path))
        self.assertEqual(shared, section)

    def test_icon_present(self):
        types = {t for t, _, _, _ in self.pe.resources()}
        self.assertIn(3, types)
        self.assertIn(14, types)

    def test_every_language_has_the_five_messages(self):
        tables = self.pe.strings()
        for language in LANGUAGES:
            with self.subTest(language=hex(language)):
                table = tables.get(language, {})
                for string_id in IDS:
                    self.assertTrue(table.get(string_id), "id %d missing" % string_id)
                self.assertEqual(table[103].count("%d"), 1)
                self.assertNotIn("%", table[103].replace("%d", ""))
                self.assertIn("Pellinor", table[102])
                self.assertIn("Pellinor", table[110])
                self.assertIn("Brastow", table[104])
                self.assertLess(max(len(table[i]) for i in IDS), 256)
        self.assertEqual(tables[0x0409][101],
                         "Could not find a valid Java virtual machine to load.\n\n"
                         "You may need to reinstall a supported Java virtual machine.")
        self.assertEqual(tables[0x0409][103], "Windows error %d occured while loading the Java VM")

    def test_translations_differ_from_english(self):
        tables = self.pe.strings()
        english = tables[0x0409]
        for language in LANGUAGES[1:]:
            self.assertNotEqual(tables[language][102], english[102], hex(language))

    def test_arabic_table_holds_none_of_the_messages(self):
        arabic = self.pe.strings().get(0x0401)
        self.assertTrue(arabic)
        for string_id in IDS:
            self.assertNotIn(string_id, arabic)



if __name__ == "__main__":
    unittest.main()


HELPER_EXPORTS = sorted([
    "_Java_com_halvern_quorbane_client_configuration_PrintHelper_getPrinters@8",
    "_Java_com_halvern_quorbane_client_configuration_PrintHelper_getPrinterDriver@12",
    "_Java_com_halvern_quorbane_client_configuration_PrintHelper_print@20",
    "_Java_com_halvern_quorbane_client_configuration_PrintHelper_printOverLayText@32",
    "_Java_com_halvern_quorbane_client_configuration_PrintHelper_getDiskSpace@12",
    "_Java_com_halvern_quorbane_client_configuration_PrintHelper_getAvailableDiskSpace@12",
    "_Java_com_halvern_quorbane_client_common_MultipleInstanceHelper_checkSingleInstance@12",
])
NETTARO_EXPORTS = sorted([
    "_Java_com_halvern_quorbane_client_configuration_RasDial_isConnected@8",
    "_Java_com_halvern_quorbane_client_configuration_RasDial_DialUp@8",
    "_Java_com_halvern_quorbane_client_configuration_RasDial_HangUp@8",
])


class JniLibraries(unittest.TestCase):
    def library(self, name):
        pe = PeFile(os.path.join(BUILD, "bin", name))
        self.assertEqual(pe.machine, 0x14C)
        self.assertTrue(pe.characteristics & 0x2000, "a DLL")
        return pe

    def test_helper_exports_exactly_the_stdcall_names(self):
        self.assertEqual(self.library("Helper.dll").exports(), HELPER_EXPORTS)

    def test_helper_links_the_pdf_library_and_the_spooler(self):
        imports = {dll.lower(): names for dll, names in self.library("Helper.dll").imports().items()}
        self.assertEqual(sorted(imports["xpdfprint.dll"]),
                         ["pdfAddOverlayText", "pdfFree", "pdfLoadFile", "pdfPrint2"])
        self.assertTrue({"EnumPrintersW", "OpenPrinterW", "GetPrinterDriverW", "ClosePrinter"}
                        <= set(imports["winspool.drv"]))

    def test_nettaro_exports_exactly_the_stdcall_names(self):
        self.assertEqual(self.library("Nettaro.dll").exports(), NETTARO_EXPORTS)

    def test_nettaro_links_remote_access_service(self):
        imports = {dll.lower(): names for dll, names in self.library("Nettaro.dll").imports().items()}
        self.assertEqual(sorted(imports["rasapi32.dll"]),
                         ["RasDialA", "RasEnumConnectionsA", "RasEnumEntriesA",
                          "RasGetEntryDialParamsA", "RasHangUpA"])
