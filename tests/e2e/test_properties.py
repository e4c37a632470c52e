"""Finding, reading and checking the properties file, and the VM information file."""
import glob
import os
import re
import shutil
import unittest

from kivtest import (LayoutTestCase, minimal_properties, read_vm_info, temp_folder, unix_path,
                     windows_path)

INVALID = b"Pellinor Error: The Brastow properties file contains invalid information\r\n"
NO_VM = (b"Pellinor Error: Could not find a valid Java virtual machine to load.\r\n\r\n"
         b"You may need to reinstall a supported Java virtual machine.\r\n")


class Location(LayoutTestCase):
    def test_beside_the_program_with_the_extension_replaced(self):
        self.kiv(minimal_properties())
        result = self.launch()
        self.assertEqual(result.stderr, NO_VM)

    def test_extension_in_capitals(self):
        os.rename(self.exe, os.path.join(self.app, "TARROW.EXE"))
        self.exe = os.path.join(self.app, "TARROW.EXE")
        self.kiv(minimal_properties(), name="TARROW.kiv")
        self.assertEqual(self.launch().stderr, NO_VM)

    def test_whole_name_with_kiv_appended(self):
        self.kiv(minimal_properties(), name="Tarrow.exe.kiv")
        self.assertEqual(self.launch().stderr, NO_VM)

    def test_current_directory_under_the_base_name(self):
        path = os.path.join(self.root, "Tarrow.kiv")
        shutil.move(self.kiv(minimal_properties()), path)
        self.assertEqual(self.launch(cwd=self.root).stderr, NO_VM)
        self.assertEqual(self.launch(cwd=self.app).stderr,
                         b"Pellinor Error: The Pellinor properties file is missing\r\n")


class Validation(LayoutTestCase):
    def check_invalid(self, entries):
        self.kiv(entries)
        result = self.launch()
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr, INVALID)

    def test_without_main_class(self):
        self.check_invalid(minimal_properties(**{"kiv.nl.java.launcher.main.class": ""}))

    def test_class_path_empty_after_substitution(self):
        self.check_invalid(minimal_properties(**{"kiv.class.path": "$ENV_CLASSPATH$"}))

    def test_class_path_from_the_environment_counts(self):
        self.kiv(minimal_properties(**{"kiv.class.path": "$ENV_CLASSPATH$"}))
        self.assertEqual(self.launch(env={"CLASSPATH": "C:\\x.jar"}).stderr, NO_VM)

    def test_without_either_vm_key(self):
        entries = minimal_properties()
        del entries["kiv.nl.valid.vm.list"]
        self.check_invalid(entries)

    def test_broken_bytes_are_read_not_fatal(self):
        self.kiv({}, raw_suffix="\x00\xff==\\u\\\r\n\x1b[31m\\")
        self.assertEqual(self.launch().stderr, INVALID)


class VmInformationFile(LayoutTestCase):
    def temp_files(self):
        temp = glob.glob(os.path.join(unix_path(temp_folder()), "kiv*.tmp"))
        return set(temp)

    def test_created_in_the_temporary_folder_with_the_environment_lines(self):
        java = windows_path(self.install_vm(os.path.join(self.root, "vm")))
        self.kiv(minimal_properties())
        result = self.launch(["KIV_VM", java], env={"KIV_PROBE_VARIABLE": "C:\\Dir \u00e9"})
        self.assertEqual(result.returncode, 0, result.stderr)
        [record] = self.records()
        [info] = record["tempfiles"]
        pairs = read_vm_info(info)
        self.assertIn(("kiv.nl.env.kiv_probe_variable", "C:\\\\Dir \\u00e9"), pairs)
        self.assertIn(("kiv.nl.env.KIV_PROBE_VARIABLE", "C:\\\\Dir \\u00e9"), pairs)
        self.assertIn(("kiv.nl.env.exact_case.KIV_PROBE_VARIABLE", "C:\\\\Dir \\u00e9"), pairs)

    def test_a_launch_without_a_vm_removes_the_file_it_created(self):
        self.kiv(minimal_properties())
        before = self.temp_files()
        result = self.launch(env={"KIV_TRACE": "1"})
        self.assertTrue(result.stderr.endswith(NO_VM), result.stderr)
        removed = re.findall(r"removed (\S+kiv\w+\.tmp)", result.stderr.decode())
        self.assertEqual(len(removed), 1, result.stderr)
        self.assertEqual(self.temp_files() - before, set())


if __name__ == "__main__":
    unittest.main()
