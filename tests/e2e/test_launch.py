"""A launch with a VM named on the command line: the VM's exact command line, directory,
output and exit code, and the VM information file."""
import io
import os
import re
import shutil
import unittest
import urllib.parse
import zipfile

from kivtest import (STANDINS, WINEPREFIX, LayoutTestCase, minimal_properties, read_vm_info, run_wine,
                     temp_folder, unix_path, windows_path, write_properties)

TOO_LONG = b"Pellinor Error: Windows error 206 occured while loading the Java VM\r\n"
NO_VM = (b"Pellinor Error: Could not find a valid Java virtual machine to load.\r\n\r\n"
         b"You may need to reinstall a supported Java virtual machine.\r\n")


def file_url(path):
    """The file: URL of an absolute Windows path, as Java reads it back."""
    drive, rest = path[:2], path[2:].replace("\\", "/")
    return "file:/" + drive + urllib.parse.quote(rest, safe="/")


def class_path_of_jar(hex_bytes):
    """The Class-Path URLs of a jar's manifest, checking the manifest's line rules."""
    with zipfile.ZipFile(io.BytesIO(bytes.fromhex(hex_bytes))) as jar:
        assert jar.namelist() == ["META-INF/MANIFEST.MF"], jar.namelist()
        text = jar.read("META-INF/MANIFEST.MF")
    lines = text.split(b"\r\n")
    assert lines[0] == b"Manifest-Version: 1.0" and lines[-2:] == [b"", b""], lines[:1] + lines[-2:]
    assert all(len(line) <= 72 for line in lines), max(len(line) for line in lines)
    attribute = lines[1] + b"".join(line[1:] for line in lines[2:-2])
    assert all(line.startswith(b" ") for line in lines[2:-2])
    name, _, value = attribute.decode("ascii").partition(": ")
    assert name == "Class-Path", name
    return value.split(" ")


class NamedVm(LayoutTestCase):
    def setUp(self):
        super().setUp()
        self.home = os.path.join(self.root, "vm home")
        self.java = self.install_vm(self.home)
        self.java_w = windows_path(self.java)

    def test_exact_command_line_directory_and_exit_code(self):
        user_dir = os.path.join(self.root, "work dir")
        os.makedirs(user_dir)
        self.kiv(minimal_properties(**{
            "kiv.class.path": "lib\\app.jar;%s\\abs.jar" % windows_path(self.root),
            "kiv.nl.java.option.java.heap.size.initial": "64m",
            "kiv.nl.java.option.java.heap.size.max": "2048m",
            "kiv.nl.java.option.verbose": "GC",
            "kiv.nl.java.option.debugging": "On",
            "kiv.nl.java.option.compiler": "true",
            "kiv.nl.java.option.garbage.collection.background.thread": "t",
            "kiv.nl.java.option.garbage.collection.extent": "x",
            "kiv.nl.java.option.additional": "-Dapp.mode=test  -Dx=1",
            "kiv.user.dir": "..\\work dir",
        }))
        result = self.launch(["KIV_VM", self.java_w, "C:\\a b\\c", "plain"],
                             env={"KIV_STANDIN_EXIT": "3"})
        self.assertEqual(result.stderr, b"")
        self.assertEqual(result.returncode, 3)
        [record] = self.records()
        app = windows_path(self.app)
        kiv_arg = (app + "\\Tarrow.kiv").replace("\\", "/")
        expected = (
            '"%s" -Xms67108864 -Xmx2147483648 -verbose:gc -Xdebug -Xnoasyncgc '
            '-Djava.compiler=off -Xnoclassgc -Dapp.mode=test  -Dx=1 -classpath '
            '"%s\\lib\\app.jar;%s\\abs.jar;" com.example.Main "%s" "(?P<info>[^"]+)" '
            'KIV_VM "%s" "C:\\\\a b\\\\c" plain' % (
                self.java_w, app, windows_path(self.root), kiv_arg,
                self.java_w.replace("\\", "\\\\")))
        pattern = re.escape(expected).replace(re.escape('(?P<info>[^"]+)'), '(?P<info>[^"]+)')
        match = re.fullmatch(pattern, record["commandline"])
        self.assertIsNotNone(match, record["commandline"])
        temp = re.escape(temp_folder().replace("\\", "/"))
        self.assertRegex(match.group("info"), "^%s/kiv[0-9A-Fa-f]+\\.tmp$" % temp)
        self.assertEqual(record["cwd"].lower(), windows_path(user_dir).lower())

    def test_vm_information_file_ends_with_the_current_vm(self):
        self.kiv(minimal_properties())
        result = self.launch(["KIV_VM", self.java_w])
        self.assertEqual(result.returncode, 0)
        [record] = self.records()
        temp = re.escape(temp_folder().replace("\\", "/"))
        info = re.findall('"(%s/[^"]+\\.tmp)"' % temp, record["commandline"])[0]
        pairs = read_vm_info(unix_path(info))
        keys = [key for key, _ in pairs]
        self.assertEqual(keys[-1], "kiv.nl.current.vm")
        self.assertEqual(pairs[-1][1], self.java_w.replace("\\", "\\\\"))
        self.assertIn("kiv.nl.env.exact_case.KIV_STANDIN_RECORD", keys)
        self.assertEqual(keys.count("kiv.nl.current.vm"), 1)

    def test_default_directory_is_where_the_launcher_started(self):
        self.kiv(minimal_properties())
        start = os.path.join(self.root, "start")
        os.makedirs(start)
        self.launch(["KIV_VM", self.java_w], cwd=start)
        [record] = self.records()
        self.assertEqual(record["cwd"].lower(), windows_path(start).lower())
        self.assertIn('"%s\\lib\\app.jar;"' % windows_path(self.app), record["commandline"])

    def test_output_passes_through_in_the_vms_own_order(self):
        self.kiv(minimal_properties())
        env = {"KIV_STANDIN_SCRIPT": "o:one|e:two|o:three", "KIV_STANDIN_RECORD": ""}
        separate = self.launch(["KIV_VM", self.java_w], env=env)
        self.assertEqual(separate.stdout, b"one\nthree\n")
        self.assertEqual(separate.stderr, b"two\n")
        merged = self.launch(["KIV_VM", self.java_w], env=env, merge_stderr=True)
        self.assertEqual(merged.stdout, b"one\ntwo\nthree\n")

    def test_missing_working_directory_names_the_system_error(self):
        self.kiv(minimal_properties(**{"kiv.user.dir": "C:\\no\\such\\folder"}))
        result = self.launch(["KIV_VM", self.java_w])
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr,
                         b"Pellinor Error: Windows error 267 occured while loading the Java VM\r\n")

    def test_class_path_too_long_for_the_command_line(self):
        java9 = self.install_vm(os.path.join(self.root, "jdk9"), variant="standin_sun_9")
        java8 = self.install_vm(os.path.join(self.root, "jre8"), variant="standin_sun_1_8_0_151")
        # The options push the line over the limit; 150 entries fit an environment variable,
        # 3,000 do not. A UNC entry has no file: URL, so it cannot go into a class-path jar.
        options = {"kiv.nl.java.option.additional": " ".join(["-Dpad=" + "p" * 90] * 160)}
        cases = [  # (entries, VM, how the class path arrives)
            (150, self.java, "environment", []),
            (3000, java9, "argument file", []),
            (3000, java8, "class-path jar", []),
            (3000, java8, None, ["\\\\server\\share\\remote.jar"]),
        ]
        for count, program, route, extra in cases:
            with self.subTest(count=count, route=route, extra=extra):
                entries = ["lib\\part%04d.jar" % i for i in range(count)]
                self.kiv(minimal_properties(**{"kiv.class.path": ";".join(entries + extra)},
                                            **options))
                paths = ["%s\\%s" % (windows_path(self.app), e) for e in entries]
                expected = "".join(p + ";" for p in paths)
                if os.path.exists(self.record):
                    os.remove(self.record)
                trace = os.path.join(self.root, "trace.txt")
                result = self.launch(["KIV_VM", windows_path(program)],
                                     env={"KIV_TRACE": windows_path(trace)})
                if route is None:
                    self.assertEqual((result.returncode, result.stderr), (1, TOO_LONG))
                    self.assertEqual(self.records(), [])
                    with open(trace, encoding="utf-8") as f:
                        self.assertIn("class-path entry %s has no file: URL" % extra[0], f.read())
                    continue
                self.assertEqual((result.returncode, result.stderr), (0, b""))
                [record] = self.records()
                if route == "environment":
                    self.assertNotIn("-classpath", record["commandline"])
                    self.assertEqual(record["env"]["CLASSPATH"], expected)
                    continue
                if route == "class-path jar":
                    self.assertEqual(class_path_of_jar(record["classpathjar"]),
                                     [file_url(p) for p in paths])
                    path = re.search(r'-classpath "([^"]+)"', record["commandline"]).group(1)
                    with open(trace, encoding="utf-8") as f:
                        self.assertIn("class path passed through the class-path jar " + path,
                                      f.read())
                else:
                    # "-classpath" and the quoted list, backslashes escaped as argument files
                    # want them.
                    self.assertNotIn("-classpath", record["commandline"])
                    text = record["argfile"].rstrip("\r\n")
                    self.assertTrue(text.startswith('-classpath "'), text[:40])
                    self.assertEqual(text[len('-classpath "'):-1].replace("\\\\", "\\"), expected)
                    path = re.search(r'"@([^"]+)"', record["commandline"]).group(1)
                # The file is gone once the VM has ended.
                self.assertFalse(os.path.exists(unix_path(path)), path)

    def test_command_line_too_long_even_without_the_class_path_is_never_started(self):
        self.kiv(minimal_properties(**{
            "kiv.nl.java.option.additional": " ".join(["-Dpad=" + "p" * 90] * 400)}))
        result = self.launch(["KIV_VM", self.java_w])
        self.assertEqual((result.returncode, result.stdout, result.stderr), (1, b"", TOO_LONG))
        self.assertEqual(self.records(), [])

    def run_in(self, folder, command_line):
        """Runs a Windows command line from `folder` (a Windows path) as its current directory,
        which a Unix shell cannot give a drive letter of Wine's."""
        return run_wine(os.path.join(STANDINS, "run_in_folder.exe"), [folder],
                        env={"KIV_RUN_LINE": command_line,
                             "KIV_STANDIN_RECORD": windows_path(self.record)})

    def test_launcher_at_the_root_of_a_drive(self):
        drive = os.path.join(self.root, "drive")
        os.makedirs(os.path.join(drive, "sub"))
        shutil.copy(self.exe, drive)
        write_properties(os.path.join(drive, "Tarrow.kiv"), minimal_properties())
        letter = os.path.join(WINEPREFIX, "dosdevices", "k:")
        if os.path.lexists(letter):
            os.remove(letter)
        os.symlink(drive, letter)
        self.addCleanup(os.remove, letter)
        # Started from K:\sub: "K:" alone would mean that folder, not the drive's root.
        result = self.run_in("K:\\sub", 'K:\\Tarrow.exe KIV_VM "%s"' % self.java_w)
        self.assertEqual((result.returncode, result.stderr), (0, b""))
        [record] = self.records()
        self.assertIn('"K:\\lib\\app.jar;"', record["commandline"])
        self.assertEqual(record["cwd"].lower(), "k:\\sub")

    def test_unknown_verbosity_is_reported_and_dropped(self):
        self.kiv(minimal_properties(**{"kiv.nl.java.option.verbose": "Loud"}))
        result = self.launch(["KIV_VM", self.java_w])
        self.assertEqual(result.stderr,
                         b"invalid verbosity selection 'loud', disabling verbosity.\r\n")
        self.assertNotIn("-verbose", self.records()[0]["commandline"])

    def test_directory_or_missing_file_is_ignored(self):
        self.kiv(minimal_properties())
        for named in (windows_path(self.home), windows_path(self.home) + "\\bin\\none.exe"):
            result = self.launch(["KIV_VM", named])
            self.assertEqual(result.returncode, 1)
            self.assertEqual(result.stderr, NO_VM)
        self.assertEqual(self.records(), [])

    def test_pause_prompts_and_waits_for_enter(self):
        self.kiv(minimal_properties(**{"kiv.win32.console.pause": "YES"}))
        result = self.launch(["KIV_VM", self.java_w], env={"KIV_STANDIN_EXIT": "4"},
                             input_bytes=b"\n")
        self.assertEqual(result.stdout, b"[press enter to close this window]\r\n")
        self.assertEqual(result.returncode, 4)

    def test_no_pause_for_other_values(self):
        self.kiv(minimal_properties(**{"kiv.win32.console.pause": "1"}))
        result = self.launch(["KIV_VM", self.java_w], input_bytes=b"\n")
        self.assertEqual(result.stdout, b"")


if __name__ == "__main__":
    unittest.main()
