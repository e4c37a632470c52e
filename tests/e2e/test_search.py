"""The installed-VM search: registered and PATH VMs, the valid VM list, bitness, validators,
and the recorded VM."""
import os
import re
import shutil
import struct
import unittest

from kivtest import (STANDINS, WINE_BUILD, LayoutTestCase, clear_java_registry, import_registry,
                     minimal_properties, run_wine, scaled, unix_path, windows_path,
                     write_properties)

# The stand-ins are built for the build under test: 64-bit images for x86_64, 32-bit for i686.
NATIVE_IS_64 = WINE_BUILD == "x86_64"
NATIVE_FIRST, OTHER_FIRST = ("0", "1") if NATIVE_IS_64 else ("1", "0")
NATIVE_ONLY, OTHER_ONLY = ("2", "3") if NATIVE_IS_64 else ("3", "2")


def write_image_header(path, is_64):
    """A file that begins as a program image of the given bitness does (DOS header, PE
    signature, file header and the optional header's magic) and holds nothing else."""
    dos = bytearray(64)
    dos[0:2] = b"MZ"
    dos[0x3C:0x40] = struct.pack("<I", 64)
    machine, magic = (0x8664, 0x20B) if is_64 else (0x14C, 0x10B)
    header = b"PE\0\0" + struct.pack("<HHIIIHH", machine, 0, 0, 0, 0, 240 if is_64 else 224, 0x22)
    with open(path, "wb") as f:
        f.write(bytes(dos) + header + struct.pack("<H", magic) + bytes(256))


NO_VM = (b"Pellinor Error: Could not find a valid Java virtual machine to load.\r\n\r\n"
         b"You may need to reinstall a supported Java virtual machine.\r\n")
JRE_KEY = "SOFTWARE\\JavaSoft\\Java Runtime Environment"
JDK_KEY = "SOFTWARE\\JavaSoft\\Java Development Kit"


class ClearedJavaRegistry(LayoutTestCase):
    """A layout whose tests start and end with no Java keys in the registry."""

    def setUp(self):
        super().setUp()
        self.reg_file = os.path.join(self.root, "keys.reg")
        clear_java_registry(self.reg_file)

    def tearDown(self):
        clear_java_registry(self.reg_file)
        super().tearDown()


class RegistrySearch(ClearedJavaRegistry):

    def register(self, name, key, version, micro="0", variant="standin_plain", view32=True):
        """Installs a stand-in VM home and registers it; returns the program path."""
        home = os.path.join(self.root, name)
        program = self.install_vm(home, variant)
        prefix = "32:" if view32 else ""
        import_registry({prefix + key + "\\" + version: {"JavaHome": windows_path(home),
                                                         "MicroVersion": micro}}, self.reg_file)
        return program

    def started(self):
        return [r["program"] for r in self.records()]

    def test_highest_registered_version_wins(self):
        self.register("jre7", JRE_KEY, "1.7.0_80")
        jre8 = self.register("jre8", JRE_KEY, "1.8.0_151")
        self.kiv(minimal_properties())
        result = self.launch()
        self.assertEqual(result.stderr, b"")
        self.assertEqual(self.started(), [windows_path(jre8)])

    def test_empty_list_finds_nothing(self):
        self.register("jre8", JRE_KEY, "1.8.0_151")
        entries = minimal_properties(**{"kiv.nl.current.vm": "C:\\no\\such\\java.exe"})
        entries["kiv.nl.valid.vm.list"] = ""
        self.kiv(entries)
        result = self.launch()
        self.assertEqual((result.returncode, result.stderr), (1, NO_VM))
        self.assertEqual(self.started(), [])

    def test_list_j2_jre_takes_a_jdk_8_once(self):
        jdk = self.register("jdk8", JDK_KEY, "1.8.0_151")
        self.kiv(minimal_properties(**{"kiv.nl.valid.vm.list": "J2 JRE"}))
        self.launch()
        self.assertEqual(self.started(), [windows_path(jdk)])

    def test_list_jre_alone_rejects_a_jdk(self):
        self.register("jdk8", JDK_KEY, "1.8.0_151")
        self.kiv(minimal_properties(**{"kiv.nl.valid.vm.list": "JRE"}))
        self.assertEqual(self.launch().stderr, NO_VM)

    def test_version_pattern_token(self):
        jre7 = self.register("jre7", JRE_KEY, "1.7.0_80")
        self.register("jre8", JRE_KEY, "1.8.0_151")
        self.kiv(minimal_properties(**{"kiv.nl.valid.vm.list": "JRE_1.7*"}))
        self.launch()
        self.assertEqual(self.started(), [windows_path(jre7)])

    def register_other_bitness(self, name, version):
        """Registers a program image of the bitness this build's stand-ins lack (it cannot
        run), in the registry view of that bitness; returns its program path."""
        home = os.path.join(self.root, name)
        os.makedirs(os.path.join(home, "bin"))
        program = os.path.join(home, "bin", "java.exe")
        write_image_header(program, not NATIVE_IS_64)
        import_registry({("" if NATIVE_IS_64 else "32:") + JRE_KEY + "\\" + version:
                         {"JavaHome": windows_path(home), "MicroVersion": "0"}}, self.reg_file)
        return program

    def test_bitness_is_the_program_images_whatever_view_names_it(self):
        # The stand-in registered in the view of the other bitness is still of its own.
        program = self.register("jre", JRE_KEY, "1.8.0_151", view32=NATIVE_IS_64)
        for platform, found in ((NATIVE_ONLY, True), (OTHER_ONLY, False), ("1", True)):
            with self.subTest(platform=platform):
                if os.path.exists(self.record):
                    os.remove(self.record)
                self.kiv(minimal_properties(**{"kiv.nl.win32.java.launcher.platform": platform}))
                result = self.launch()
                self.assertEqual(result.stderr, b"" if found else NO_VM)
                self.assertEqual(self.started(), [windows_path(program)] if found else [])

    def test_bitness_preference_with_both_installed(self):
        native = self.register("native", JRE_KEY, "1.7.0_80", view32=not NATIVE_IS_64)
        other = self.register_other_bitness("other", "1.8.0_151")
        trace = os.path.join(self.root, "trace.txt")
        cases = [  # (platform, the VM chosen)
            (NATIVE_FIRST, native), (OTHER_FIRST, other), (NATIVE_ONLY, native),
            (OTHER_ONLY, other)]
        for platform, chosen in cases:
            with self.subTest(platform=platform):
                for path in (trace, self.record):
                    if os.path.exists(path):
                        os.remove(path)
                self.kiv(minimal_properties(**{"kiv.nl.win32.java.launcher.platform": platform}))
                self.launch(env={"KIV_TRACE": windows_path(trace)})
                with open(trace, encoding="utf-8") as f:
                    text = f.read()
                self.assertIn("chosen %s (home" % windows_path(chosen), text)
                self.assertEqual(self.started(), [windows_path(native)] if chosen == native else [])

    def test_validator_word_runs_the_applications_validator(self):
        jre8 = self.register("jre8", JRE_KEY, "1.8.0_151")
        self.kiv(minimal_properties(**{"kiv.nl.valid.vm.list": "jre_1.8+_checker"}))
        with open(os.path.join(self.root, "jre8", "bin", "validator-exit.txt"), "w") as f:
            f.write("1")
        self.assertEqual(self.launch().stderr, NO_VM)
        [validation] = self.records()
        self.assertEqual(validation["commandline"],
                         '"%s" -classpath "%s\\lib\\app.jar;" com.mirov.util.jvm.Validator 1 CHECKER'
                         % (windows_path(jre8), windows_path(self.app)))
        os.remove(self.record)
        with open(os.path.join(self.root, "jre8", "bin", "validator-exit.txt"), "w") as f:
            f.write("0")
        result = self.launch()
        self.assertEqual(result.stderr, b"")
        validation, application = self.records()
        self.assertIn("com.mirov.util.jvm.Validator 1 CHECKER", validation["commandline"])
        self.assertIn("com.example.Main", application["commandline"])

    def test_trace_names_every_candidate_its_verdict_and_the_choice(self):
        jre7 = self.register("jre7", JRE_KEY, "1.7.0_80")
        jdk8 = self.register("jdk8", JDK_KEY, "1.8.0_151")
        jre8 = self.register("jre8", JRE_KEY, "1.8.0_151")
        on_path = self.install_vm(os.path.join(self.root, "pathvm"), "standin_sun_1_8_0_151")
        for folder in ("jre8", "pathvm"):
            with open(os.path.join(self.root, folder, "bin", "validator-exit.txt"), "w") as f:
                f.write("4")
        self.kiv(minimal_properties(**{"kiv.nl.valid.vm.list": "JRE_1.8*_CHECK JRE_1.7*"}))
        trace = os.path.join(self.root, "trace.txt")
        env = {"WINEPATH": windows_path(os.path.dirname(on_path)), "KIV_TRACE": windows_path(trace)}
        # Validator runs come first; the launch itself is the last record.
        self.assertEqual((self.launch(env=env).returncode, self.started()[-1]),
                         (0, windows_path(jre7)))
        with open(trace, encoding="utf-8") as f:
            lines = f.read().splitlines()
        self.assertTrue(all(line.split(" ", 1)[0].isdigit() for line in lines), lines[:3])
        text = "\n".join(lines)

        def verdict(program):
            return next(l for l in lines if " verdict on %s:" % windows_path(program) in l)
        self.assertIn('valid VM list "JRE_1.8*_CHECK JRE_1.7*"', text)
        self.assertIn("from registry key %s\\1.8.0_151" % JDK_KEY, text)
        self.assertIn("from PATH program", text)
        self.assertIn('rejected by "JRE_1.8*_CHECK"', verdict(jdk8))
        self.assertIn('rejected by "JRE_1.7*"', verdict(jdk8))
        self.assertIn('validator "CHECK" in %s exited with 4' % windows_path(jre8), text)
        self.assertIn('accepted by "JRE_1.7*"', verdict(jre7))
        self.assertIn("chosen %s (home" % windows_path(jre7), text)
        self.assertRegex(text, r"VM exit code 0")
        # Without KIV_TRACE nothing is written anywhere.
        os.remove(trace)
        self.launch(env={"WINEPATH": env["WINEPATH"]})
        self.assertFalse(os.path.exists(trace))

    def test_subkey_without_java_home_is_skipped(self):
        jre8 = self.register("jre8", JRE_KEY, "1.8.0_151")
        import_registry({"32:" + JRE_KEY + "\\1.9": {"MicroVersion": "0"}}, self.reg_file)
        self.kiv(minimal_properties())
        self.launch()
        self.assertEqual(self.started(), [windows_path(jre8)])


TEMURIN_KEY = "SOFTWARE\\Eclipse Adoptium\\JDK"
VENDOR_KEYS = (TEMURIN_KEY, "SOFTWARE\\Azul Systems\\Zulu", "SOFTWARE\\Microsoft\\JDK",
               "SOFTWARE\\Eclipse Adoptium\\JRE")
USER = "HKEY_CURRENT_USER\\"


class RuntimesOfToday(LayoutTestCase):
    """Runtimes registered only under their vendors' keys, per user, or named by JAVA_HOME."""

    def setUp(self):
        super().setUp()
        self.reg_file = os.path.join(self.root, "keys.reg")
        self.clear()

    def tearDown(self):
        self.clear()
        super().tearDown()

    def clear(self):
        entries = {}
        for key in VENDOR_KEYS:
            entries.update({key: None, "32:" + key: None, USER + key: None})
        entries[USER + JRE_KEY] = None
        import_registry(entries, self.reg_file)
        clear_java_registry(self.reg_file)

    def install(self, name, variant):
        return os.path.dirname(os.path.dirname(
            self.install_vm(os.path.join(self.root, name), variant)))

    def register_all(self):
        """Temurin-, Zulu- and Microsoft-style keys in both views, a per-user install and a
        JAVA_HOME runtime; returns their homes by name and the environment of the launch."""
        homes = {name: self.install(name, variant) for name, variant in (
            ("temurin", "standin_sun_17_0_5"), ("zulu", "standin_sun_11_0_20"),
            ("microsoft", "standin_sun_17_0_9"), ("user", "standin_sun_1_8_0_151"),
            ("javahome", "standin_sun_9"))}
        import_registry({
            TEMURIN_KEY + "\\17.0.5.8\\hotspot\\MSI": {"Path": windows_path(homes["temurin"]) + "\\"},
            "32:SOFTWARE\\Azul Systems\\Zulu\\zulu-11": {
                "InstallationPath": windows_path(homes["zulu"])},
            "32:SOFTWARE\\Microsoft\\JDK\\21.0.1.12\\hotspot\\MSI": {
                "Path": windows_path(homes["microsoft"])},
            USER + "SOFTWARE\\Eclipse Adoptium\\JRE\\8.0.151\\hotspot\\MSI": {
                "Path": windows_path(homes["user"])},
        }, self.reg_file)
        return homes, {"JAVA_HOME": windows_path(homes["javahome"])}

    def started(self):
        return [r["program"] for r in self.records()]

    def test_each_is_found_and_chosen_by_the_valid_list(self):
        homes, env = self.register_all()
        cases = [  # (valid VM list, the runtime started)
            ("ALL", "microsoft"),
            ("JRE_11.0.20", "zulu"),
            ("JRE_17.0.5", "temurin"),
            ("JRE_1.8.0_151", "user"),
            ("JRE_9*", "javahome"),
        ]
        for valid, chosen in cases:
            with self.subTest(valid=valid):
                self.kiv(minimal_properties(**{"kiv.nl.valid.vm.list": valid}))
                if os.path.exists(self.record):
                    os.remove(self.record)
                result = self.launch(env=env)
                self.assertEqual(result.stderr, b"")
                self.assertEqual(self.started(),
                                 [windows_path(os.path.join(homes[chosen], "bin", "java.exe"))])

    def test_trace_names_where_each_came_from_and_folders_without_java_are_skipped(self):
        empty = os.path.join(self.root, "no java here")
        os.makedirs(os.path.join(empty, "bin"))
        home = self.install("temurin", "standin_sun_17_0_5")
        import_registry({TEMURIN_KEY + "\\17.0.1.12\\hotspot\\MSI": {"Path": windows_path(empty)},
                         TEMURIN_KEY + "\\17.0.5.8\\hotspot\\MSI": {"Path": windows_path(home)}},
                        self.reg_file)
        trace = os.path.join(self.root, "trace.txt")
        self.kiv(minimal_properties())
        env = {"KIV_TRACE": windows_path(trace), "JAVA_HOME": windows_path(empty)}
        self.assertEqual(self.launch(env=env).stderr, b"")
        self.assertEqual(self.started(), [windows_path(os.path.join(home, "bin", "java.exe"))])
        with open(trace, encoding="utf-8") as f:
            text = f.read()
        self.assertIn("from registry key HKEY_LOCAL_MACHINE\\%s\\17.0.5.8\\hotspot\\MSI value Path "
                      "(64-bit view)" % TEMURIN_KEY, text)
        self.assertIn("folder %s from registry key" % windows_path(empty), text)
        self.assertIn("folder %s from JAVA_HOME: no bin\\java.exe, skipped" % windows_path(empty),
                      text)
        self.assertIn("chosen %s" % windows_path(os.path.join(home, "bin", "java.exe")), text)

    def test_per_user_keys_are_read_once(self):
        home = self.install("user", "standin_sun_1_8_0_151")
        import_registry({USER + "SOFTWARE\\Eclipse Adoptium\\JRE\\8.0.151\\hotspot\\MSI": {
            "Path": windows_path(home)}, USER + JRE_KEY + "\\1.8.0_151": {
            "JavaHome": windows_path(home)}}, self.reg_file)
        trace = os.path.join(self.root, "trace.txt")
        self.kiv(minimal_properties())
        result = self.launch(env={"KIV_TRACE": windows_path(trace)})
        self.assertEqual(result.stderr, b"")
        # Each per-user key is probed once (the probe prints the company once per probe).
        self.assertEqual(result.stdout.count(b"company: "), 2)
        with open(trace, encoding="utf-8") as f:
            lines = [l for l in f.read().splitlines()
                     if " from registry key HKEY_CURRENT_USER\\" in l]
        self.assertEqual(len(lines), 2, lines)
        self.assertTrue(any("Eclipse Adoptium" in l for l in lines), lines)
        self.assertTrue(any("JavaSoft" in l for l in lines), lines)

    def test_homes_with_and_without_a_trailing_backslash_name_one_program(self):
        home = self.install("jre 8", "standin_sun_1_8_0_151")
        program = windows_path(os.path.join(home, "bin", "java.exe"))
        cases = [  # (where the home is written, trailing separators)
            ("JavaSoft", ""), ("JavaSoft", "\\"), ("JavaSoft", "\\\\"),
            ("vendor", ""), ("vendor", "\\"), ("JAVA_HOME", ""), ("JAVA_HOME", "\\")]
        trace = os.path.join(self.root, "trace.txt")
        self.kiv(minimal_properties())
        for where, suffix in cases:
            with self.subTest(where=where, suffix=suffix):
                self.clear()
                for path in (trace, self.record):
                    if os.path.exists(path):
                        os.remove(path)
                written = windows_path(home) + suffix
                env = {"KIV_TRACE": windows_path(trace)}
                if where == "JavaSoft":
                    import_registry({"32:" + JRE_KEY + "\\1.8.0_151": {
                        "JavaHome": written, "MicroVersion": "0"}}, self.reg_file)
                elif where == "vendor":
                    import_registry({TEMURIN_KEY + "\\8.0.151\\hotspot\\MSI": {
                        "Path": written}}, self.reg_file)
                else:
                    env["JAVA_HOME"] = written
                result = self.launch(env=env)
                self.assertEqual(result.stderr, b"")
                self.assertEqual(self.started(), [program])
                with open(trace, encoding="utf-8") as f:
                    text = f.read()
                self.assertIn("candidate %s (home %s, JRE" % (program, windows_path(home)), text)
                self.assertIn("chosen %s (home %s, JRE" % (program, windows_path(home)), text)

    def test_switched_off_the_search_is_the_classic_one(self):
        homes, env = self.register_all()
        self.kiv(minimal_properties(**{"kiv.nl.search.more.vms": "false"}))
        result = self.launch(env=env)
        self.assertEqual((result.returncode, result.stderr), (1, NO_VM))
        self.assertEqual(self.started(), [])
        # The classic keys still count.
        jre = self.install("classic", "standin_sun_1_7_0_80")
        import_registry({"32:" + JRE_KEY + "\\1.7.0_80": {"JavaHome": windows_path(jre),
                                                         "MicroVersion": "0"}}, self.reg_file)
        self.assertEqual(self.launch(env=env).stderr, b"")
        self.assertEqual(self.started(), [windows_path(os.path.join(jre, "bin", "java.exe"))])


class VerifyTimeout(LayoutTestCase):
    """The "Verify" probe of a VM specification file runs as long as the setting allows."""

    def setUp(self):
        super().setUp()
        self.home = os.path.join(self.root, "Runtime 8")
        self.install_vm(self.home, "standin_plain", names=("javaw.exe", "java.exe"))
        with open(os.path.join(self.home, "bin", "verify-output.txt"), "w") as f:
            f.write("Verify 1.0\r\nOracle Corporation\r\n1.8.0_151\r\n")
        specs = os.path.join(self.app, "jvmspecs")
        os.makedirs(specs)
        with open(os.path.join(specs, "Verify.jar"), "wb") as f:
            f.write(b"PK")
        with open(os.path.join(specs, "runtime.spec"), "w", newline="\r\n") as f:
            f.write("JVM_EXE: bin\\javaw.exe\nJVM_PROPERTIES\njava.vendor=Oracle...\n"
                    "java.version=1.8*\n/:\nPATH_HINT:\n%s\n/:\n" % windows_path(self.home)[3:])
        write_properties(os.path.join(specs, "jvmspecs.properties"), {
            "build.option": "withoutvm", "build.without.vm.search.option": "10",
            "build.jvmspec.applicable": "true", "build.jvmspec.total.num": "1",
            "build.jvmspec.0": "runtime.spec"})
        self.start = os.path.join(self.root, "start")
        os.makedirs(os.path.join(self.start, "Windows", "jvmspecs"))

    def test_a_slow_probe_is_ended_at_the_configured_limit(self):
        limit = max(1, int(round(scaled(1))))
        with open(os.path.join(self.home, "bin", "verify-delay-ms.txt"), "w") as f:
            f.write(str(int(limit * 2500)))
        trace = os.path.join(self.root, "trace.txt")
        self.kiv(minimal_properties(**{"kiv.nl.verify.timeout": str(limit)}))
        result = self.launch(cwd=self.start, env={"KIV_TRACE": windows_path(trace)})
        self.assertEqual(result.returncode, 1, result.stderr)
        [probe] = self.records()
        self.assertIn(" Verify java.vendor java.version", probe["commandline"])
        with open(trace, encoding="utf-8") as f:
            text = f.read()
        self.assertIn("Verify probe in %s still ran at its limit of %d ms: ended"
                      % (windows_path(os.path.join(self.home, "bin", "javaw.exe")), limit * 1000),
                      text)
        # Given time, the same VM is confirmed and started.
        self.kiv(minimal_properties(**{"kiv.nl.verify.timeout": str(limit * 10)}))
        os.remove(self.record)
        result = self.launch(cwd=self.start)
        self.assertEqual((result.returncode, result.stderr), (0, b""))
        probe, application = self.records()
        self.assertIn(" Verify java.vendor java.version", probe["commandline"])
        self.assertIn(" com.example.Main ", application["commandline"])


@unittest.skipUnless(WINE_BUILD == "i686", "file-system redirection applies to 32-bit programs")
class Wow64Redirection(LayoutTestCase):
    """The 32-bit launcher sees the 64-bit system folder as it is, not redirected."""

    def setUp(self):
        super().setUp()
        result = run_wine("cmd", ["/c", "echo", "%SystemRoot%"])
        self.system32 = result.stdout.decode().strip() + "\\system32"
        self.placed = os.path.join(unix_path(self.system32), "java.exe")
        self.assertFalse(os.path.exists(self.placed), "a java.exe is already in " + self.system32)

    def tearDown(self):
        if os.path.exists(self.placed):
            os.remove(self.placed)
        super().tearDown()

    def test_java_in_the_64_bit_system_folder_on_the_path_is_found(self):
        shutil.copy(os.path.join(STANDINS, "standin_sun_1_8_0_151.exe"), self.placed)
        self.kiv(minimal_properties())
        result = self.launch(env={"WINEPATH": self.system32})
        self.assertEqual((result.returncode, result.stderr), (0, b""))
        self.assertEqual([r["program"].lower() for r in self.records()],
                         [(self.system32 + "\\java.exe").lower()])


class Arm64Vms(ClearedJavaRegistry):
    """An ARM64 VM (a stand-in whose Machine field says 0xAA64; Wine cannot run it) found in the
    registry or on the PATH is a 64-bit one, beside an x86 image."""

    def install_pair(self, place):
        """An ARM64 and an x86 VM announced in `place`; returns their programs and the
        launcher's environment."""
        arm = self.install_vm(os.path.join(self.root, place, "arm"), "standin_sun_1_8_0_151")
        with open(arm, "r+b") as f:
            offset = struct.unpack_from("<I", f.read(0x40), 0x3C)[0]
            f.seek(offset + 4)
            f.write(struct.pack("<H", 0xAA64))
        x86 = os.path.join(self.root, place, "x86", "bin", "java.exe")
        os.makedirs(os.path.dirname(x86))
        write_image_header(x86, False)
        if place == "path":
            return arm, x86, {"WINEPATH": ";".join(windows_path(os.path.dirname(p))
                                                   for p in (arm, x86))}
        # The ARM64 VM is the older update, so that only its bitness can put it first.
        import_registry({JRE_KEY + "\\" + version: {
            "JavaHome": windows_path(os.path.dirname(os.path.dirname(program))),
            "MicroVersion": "0"} for program, version in ((arm, "1.8.0_261"), (x86, "1.8.0_451"))},
            self.reg_file)
        return arm, x86, {}

    def test_the_platform_setting_sorts_and_filters_arm64_as_64bit(self):
        trace = os.path.join(self.root, "trace.txt")
        for place in ("registry", "path"):
            arm, x86, env = self.install_pair(place)
            env["KIV_TRACE"] = windows_path(trace)
            for platform, chosen in (("0", arm), ("1", x86), ("2", arm), ("3", x86)):
                with self.subTest(place=place, platform=platform):
                    if os.path.exists(trace):
                        os.remove(trace)
                    self.kiv(minimal_properties(**{
                        "kiv.nl.win32.java.launcher.platform": platform}))
                    result = self.launch(env=env)
                    with open(trace, encoding="utf-8") as f:
                        text = f.read()
                    self.assertIn(b"Windows error 193 occured while loading the Java VM",
                                  result.stderr)
                    for program, words in ((arm, "ARM64, 64-bit)"), (x86, "x86, 32-bit)")):
                        self.assertRegex(text, r"candidate %s \(home .*, %s" % (
                            re.escape(windows_path(program)), re.escape(words)))
                    self.assertIn("chosen %s (home" % windows_path(chosen), text)
            clear_java_registry(self.reg_file)

    def test_a_program_that_cannot_be_opened_is_traced_as_unknown(self):
        # A folder named like the program exists but cannot be opened as a file.
        home = os.path.join(self.root, "folder")
        os.makedirs(os.path.join(home, "bin", "java.exe"))
        import_registry({JRE_KEY + "\\1.8.0_451": {"JavaHome": windows_path(home),
                                                    "MicroVersion": "0"}}, self.reg_file)
        trace = os.path.join(self.root, "trace.txt")
        self.kiv(minimal_properties(**{"kiv.nl.win32.java.launcher.platform": "3"}))
        self.launch(env={"KIV_TRACE": windows_path(trace)})
        with open(trace, encoding="utf-8") as f:
            text = f.read()
        self.assertIn("chosen %s (home %s, JRE, vendor Sun, version 8.0.451, architecture "
                      "unknown: the program cannot be opened, taken as 32-bit)\n"
                      % (windows_path(os.path.join(home, "bin", "java.exe")),
                         windows_path(home)), text)


class PathAndRecordedVm(LayoutTestCase):
    def test_java_on_the_search_path_is_described_by_the_probe(self):
        home = os.path.join(self.root, "onpath")
        program = self.install_vm(home, "standin_sun_1_8_0_151")
        self.kiv(minimal_properties(**{"kiv.nl.valid.vm.list": "JRE_1.8.0_151"}))
        result = self.launch(env={"WINEPATH": windows_path(os.path.dirname(program))})
        self.assertEqual(result.stdout, b"company: Sun Microsystems, Inc.\r\n" * 1)
        self.assertEqual([r["program"] for r in self.records()], [windows_path(program)])

    def test_java_9_and_later_are_compared_by_their_update(self):
        cases = [  # (valid VM list, VMs in PATH order, the one started)
            ("ALL", ("standin_sun_17_0_9", "standin_sun_17_0_5"), 0),
            ("JRE_11+", ("standin_ibm_17_0_5", "standin_sun_11_0_20"), 0),
            ("JRE_17.0.5", ("standin_sun_17_0_9", "standin_sun_17_0_5"), 1),
        ]
        for valid, variants, chosen in cases:
            with self.subTest(valid=valid, variants=variants):
                programs = [self.install_vm(os.path.join(self.root, valid, v), v) for v in variants]
                self.kiv(minimal_properties(**{"kiv.nl.valid.vm.list": valid}))
                if os.path.exists(self.record):
                    os.remove(self.record)
                path = ";".join(windows_path(os.path.dirname(p)) for p in programs)
                result = self.launch(env={"WINEPATH": path})
                self.assertEqual(result.stderr, b"")
                self.assertEqual([r["program"] for r in self.records()],
                                 [windows_path(programs[chosen])])

    def test_named_empty_file_falls_back_to_the_recorded_vm(self):
        recorded = self.install_vm(os.path.join(self.app, "jre"))
        empty = os.path.join(self.root, "empty.exe")
        open(empty, "w").close()
        self.kiv(minimal_properties(**{"kiv.nl.current.vm": "jre\\bin\\java.exe"}))
        result = self.launch(["KIV_VM", windows_path(empty)])
        self.assertEqual(result.stderr, b"")
        self.assertEqual([r["program"] for r in self.records()], [windows_path(recorded)])

    def test_recorded_vm_needs_no_valid_list(self):
        recorded = self.install_vm(os.path.join(self.root, "vm"))
        entries = minimal_properties(**{"kiv.nl.current.vm": windows_path(recorded)})
        del entries["kiv.nl.valid.vm.list"]
        self.kiv(entries)
        self.launch()
        self.assertEqual([r["program"] for r in self.records()], [windows_path(recorded)])


if __name__ == "__main__":
    unittest.main()
