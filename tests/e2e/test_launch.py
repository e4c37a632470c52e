"""A launch with a VM named on the command line: the VM's exact command line, directory,
output and exit code, and the VM information file."""
import glob
import io
import os
import re
import resource
import shutil
import shlex
import signal
import subprocess
import time
import unittest
import urllib.parse
import zipfile

from kivtest import (STANDINS, WINE64, WINEPREFIX, LayoutTestCase, ensure_prefix,
                     expected_failure_where_wine_lacks, minimal_properties, read_record,
                     read_vm_info, require_tool, run_wine, scaled, temp_folder, unix_path, wine_env,
                     windows_path, write_properties)

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
        [info] = record["tempfiles"]  # as the VM found it; gone once the VM has ended
        pairs = read_vm_info(info)
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


def temp_files():
    """The "kiv*.tmp" files in the prefix's temporary folder, as Unix paths."""
    return set(glob.glob(os.path.join(unix_path(temp_folder()), "kiv*.tmp")))


class NothingLeftBehind(LayoutTestCase):
    """The files of a launch end with it; what earlier launches left is swept."""

    def setUp(self):
        super().setUp()
        self.java = windows_path(self.install_vm(os.path.join(self.root, "jre8"),
                                                 variant="standin_sun_1_8_0_151"))
        self.java9 = windows_path(self.install_vm(os.path.join(self.root, "jdk9"),
                                                  variant="standin_sun_9"))

    def test_launches_whose_vm_has_ended_leave_no_file(self):
        long_list = {"kiv.class.path": ";".join("lib\\part%04d.jar" % i for i in range(3000)),
                     "kiv.nl.java.option.additional": " ".join(["-Dpad=" + "p" * 90] * 160)}
        cases = [  # (what, properties, VM named, exit code, file the VM was handed)
            ("information file", {}, self.java, 3, None),
            ("argument file", long_list, self.java9, 3, "argfile"),
            ("class-path jar", long_list, self.java, 3, "classpathjar"),
            ("a VM that cannot start", {"kiv.user.dir": "C:\\no\\such\\folder"}, self.java, 1,
             None),
            ("no VM", {}, None, 1, None),
        ]
        for what, properties, java, code, handed in cases:
            with self.subTest(what):
                self.kiv(minimal_properties(**properties))
                if os.path.exists(self.record):
                    os.remove(self.record)
                before = temp_files()
                result = self.launch(["KIV_VM", java] if java else [],
                                     env={"KIV_STANDIN_EXIT": "3"})
                self.assertEqual(result.returncode, code, result.stderr)
                if code == 3:
                    [record] = self.records()
                    self.assertEqual(len(record["tempfiles"]), 1)  # the information file
                    if handed:
                        self.assertIn(handed, record)
                self.assertEqual(temp_files() - before, set())

    def interrupt(self, event):
        """Runs a launch in a console host that delivers `event` (see ConsoleEventHost.cpp) once
        the VM takes console events; the VM lives on for a moment after the event and ends with
        7. Returns what the host logged and script's result; decisions to skip come first, the
        files the launch left are removed only once the test has ended."""
        # Wine gives a program a console only on a terminal, here a pseudo-terminal.
        require_tool(self, "script", "util-linux's pseudo-terminal for the console host")
        ready = os.path.join(self.root, "vm-ready")
        self.host_log = os.path.join(self.root, "host-log.txt")
        self.trace = os.path.join(self.root, "trace.txt")
        self.kiv(minimal_properties())
        ensure_prefix()
        self.before = temp_files()
        self.addCleanup(self.remove_files_left_since, self.before)
        env = wine_env({"KIV_RUN_LINE": '"%s" KIV_VM "%s"' % (windows_path(self.exe), self.java),
                        "KIV_TRACE": windows_path(self.trace),
                        "KIV_STANDIN_RECORD": windows_path(self.record),
                        "KIV_STANDIN_CONSOLE_EVENT": windows_path(ready),
                        "KIV_STANDIN_SLEEP_MS": "500", "KIV_STANDIN_EXIT": "7"})
        host = " ".join(shlex.quote(part) for part in (
            WINE64, os.path.join(STANDINS, "console_event_host.exe"), windows_path(self.host_log),
            windows_path(ready), event))
        result = subprocess.run(["script", "-qec", host, "/dev/null"], cwd=self.root, env=env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, timeout=scaled(120))
        if not os.path.exists(self.host_log):
            self.skipTest("no pseudo-terminal: script could not start the console host (exit "
                          "code %d, %d bytes of output)" % (result.returncode, len(result.stdout)))
        with open(self.host_log, encoding="ascii") as f:
            return f.read().splitlines(), result

    @staticmethod
    def remove_files_left_since(before):
        for left in temp_files() - before:
            os.remove(left)

    def assert_left_to_the_vm(self, log, result, number):
        # 120 to 124: the host could not do its part (see ConsoleEventHost.cpp).
        self.assertEqual((log[-1], result.returncode), ("exit 7", 7), (log, result.stdout[-400:]))
        [record] = self.records()
        self.assertEqual(record.get("consoleevent"), number)
        with open(self.trace, encoding="utf-8") as f:
            text = f.read()
        self.assertIn("console event %s left to the VM" % number, text)
        self.assertIn("VM exit code 7", text)
        self.assertEqual(temp_files() - self.before, set())

    def test_ctrl_c_is_left_to_the_vm(self):
        log, result = self.interrupt("c")
        self.assert_left_to_the_vm(log, result, "0")

    def test_ctrl_break_is_left_to_the_vm(self):
        # Delivered as Windows' console delivers it, a thread running the control routine in each
        # process: Wine's GenerateConsoleCtrlEvent brings Ctrl+Break to no handler (next case).
        log, result = self.interrupt("break-thread")
        self.assert_left_to_the_vm(log, result, "1")

    def test_ctrl_break_sent_by_the_console_is_left_to_the_vm(self):
        log, result = self.interrupt("break")
        # Debian's Wine refuses the event (ERROR_INVALID_HANDLE).
        if log == ["started", "sending", "refused 6", "exit 123"] and result.returncode == 123:
            expected_failure_where_wine_lacks(
                self, "CTRL_BREAK_EVENT in GenerateConsoleCtrlEvent",
                "the call failed with error 6 and the host exited with 123")
        # The WoW64 Wine sends it to each process of the console as SIGQUIT, with which Wine
        # ends the thread it reaches, and so the process, with exit code 0: the sender ends
        # inside the call, and no handler runs.
        if log == ["started", "sending"] and result.returncode == 0:
            expected_failure_where_wine_lacks(
                self, "CTRL_BREAK_EVENT in GenerateConsoleCtrlEvent",
                "the host ended inside the call with exit code 0 (Wine sends SIGQUIT, which ends "
                "the processes of the console)")
        self.assert_left_to_the_vm(log, result, "1")

    def test_a_failing_write_of_the_information_file_ends_the_launch(self):
        # A file-size limit makes the write fail as a full disk does; the environment alone is
        # larger than the limit.
        def limit_file_size():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))

        ensure_prefix()
        self.kiv(minimal_properties())
        before = temp_files()
        env = {"KIV_STANDIN_RECORD": windows_path(self.record), "KIV_LARGE": "x" * 8000}
        result = subprocess.run([WINE64, self.exe, "KIV_VM", self.java], cwd=self.root,
                                env=wine_env(env), stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                preexec_fn=limit_file_size, timeout=scaled(60))
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertRegex(result.stderr.decode("latin-1"),
                         r"^Pellinor Error: Windows error \d+ occurred while writing the VM "
                         r"information file \S+kiv\w+\.tmp\r\n$")
        self.assertEqual(self.records(), [])
        self.assertEqual(temp_files() - before, set())

    def plant(self, name, content, age_days):
        """A file in the temporary folder, last written `age_days` ago; its Windows path."""
        path = os.path.join(unix_path(temp_folder()), name)
        with open(path, "wb") as f:
            f.write(content)
        moment = time.time() - age_days * 86400
        os.utime(path, (moment, moment))
        self.addCleanup(lambda: os.path.exists(path) and os.remove(path))
        return temp_folder() + "\\" + name

    # An information file that a launch left.
    LEFTOVER_INFO = b"kiv.nl.env.path=C:\\\\x\r\nkiv.nl.current.vm=C:\\\\j\\\\java.exe\r\n"

    @staticmethod
    def remove_stamp():
        """Removes the stamp of the last whole sweep, as a test that expects a launch to sweep
        must; its Unix path."""
        path = os.path.join(unix_path(temp_folder()), "kiv-swept.stamp")
        if os.path.isdir(path):
            os.rmdir(path)
        elif os.path.exists(path):
            os.remove(path)
        return path

    def test_leftovers_older_than_a_day_are_swept(self):
        info = self.LEFTOVER_INFO
        earlier = (b"kiv.control-key=true\r\nkiv.stderr.redirect=console\r\n"
                   b"kiv.stdout.redirect=console\r\nkiv.nl.env.a=1\r\n")
        planted = [  # (name, content, age in days, swept)
            ("kivE2E1.tmp", info, 2, True),
            ("kivE2E2.tmp", earlier, 400, True),
            ("kivE2E3.tmp", b'-classpath "C:\\\\a.jar;"\r\n', 1.2, True),
            ("kivE2E4.tmp", info, 0.9, False),
            ("kivE2E5.tmp", b"settings of another program\r\n", 3, False),
            ("kivE2E6.tmp", b"", 3, False),
        ]
        paths = {name: self.plant(name, content, age) for name, content, age, _ in planted}
        self.kiv(minimal_properties())
        stamp = self.remove_stamp()
        before = time.time()
        result = self.launch(["KIV_VM", self.java], env={"KIV_TRACE": "1"})
        self.assertEqual(result.returncode, 0, result.stderr)
        trace = result.stderr.decode("utf-8").lower()
        for name, _, _, swept in planted:
            with self.subTest(name):
                exists = os.path.exists(os.path.join(unix_path(temp_folder()), name))
                self.assertEqual(exists, not swept)
                self.assertEqual("swept leftover" in trace and paths[name].lower() in trace, swept)
        # The whole folder was swept: launches within a day of it list it no more.
        self.assertGreaterEqual(os.stat(stamp).st_mtime, before - 2)

    def test_the_folder_is_swept_at_most_once_a_day(self):
        info = self.LEFTOVER_INFO
        day = 86400
        cases = [  # (stamp: age in days, or "folder"; swept)
            (None, True),
            (0.5, False),
            (1.5, True),
            (-2, True),  # ahead of the clock, which was set back since
            ("folder", True),
        ]
        self.kiv(minimal_properties())
        for stamp_state, swept in cases:
            with self.subTest(stamp=stamp_state):
                leftover = self.plant("kivE2E7.tmp", info, 3)
                stamp = self.remove_stamp()
                if stamp_state == "folder":
                    os.mkdir(stamp)
                    self.addCleanup(lambda: os.path.isdir(stamp) and os.rmdir(stamp))
                elif stamp_state is not None:
                    open(stamp, "w").close()
                    moment = time.time() - stamp_state * day
                    os.utime(stamp, (moment, moment))
                result = self.launch(["KIV_VM", self.java], env={"KIV_TRACE": "1"})
                self.assertEqual(result.returncode, 0, result.stderr)
                trace = result.stderr.decode("utf-8").lower()
                self.assertEqual(not os.path.exists(unix_path(leftover)), swept)
                self.assertEqual("swept leftover " + leftover.lower() in trace, swept)
                if swept and stamp_state != "folder":
                    self.assertLess(abs(os.stat(stamp).st_mtime - time.time()), 120)

    def test_files_of_a_launch_that_still_runs_are_never_swept(self):
        release = os.path.join(self.root, "release")
        self.kiv(minimal_properties())
        ensure_prefix()
        env = wine_env({"KIV_STANDIN_RECORD": windows_path(self.record),
                        "KIV_STANDIN_HOLD": windows_path(release)})
        running = subprocess.Popen([WINE64, self.exe, "KIV_VM", self.java], cwd=self.root, env=env,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + scaled(30)
            while not self.records() and time.monotonic() < deadline:
                time.sleep(0.05)
            [record] = self.records()
            info = re.findall(r'"([^"]+\.tmp)"', record["commandline"])[-1]
            path = unix_path(info.replace("/", "\\"))
            # The launcher's handle alone keeps the file: no owner record is made for it, whose
            # new name would cost a read of the whole folder on Wine.
            owner = path[:-4] + "-owner.tmp"
            self.assertFalse(os.path.exists(owner))
            moment = time.time() - 3 * 86400
            os.utime(path, (moment, moment))  # a service that has run for three days
            self.remove_stamp()
            other = self.launch(["KIV_VM", self.java],
                                env={"KIV_STANDIN_RECORD": "", "KIV_TRACE": "1"})
            self.assertEqual(other.returncode, 0, other.stderr)
            self.assertTrue(os.path.exists(path))
            self.assertNotIn(os.path.basename(path).lower(), other.stderr.decode().lower())
        finally:
            with open(release, "w"):
                pass
            running.wait(timeout=scaled(60))
        self.assertEqual(running.returncode, 0)
        self.assertFalse(os.path.exists(path))
        self.assertFalse(os.path.exists(owner))


if __name__ == "__main__":
    unittest.main()
