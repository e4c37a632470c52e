"""The installed-VM search: registered and PATH VMs, the valid VM list, bitness, validators,
and the recorded VM."""
import os
import unittest

from kivtest import (LayoutTestCase, clear_java_registry, import_registry, minimal_properties,
                     windows_path)

NO_VM = (b"Pellinor Error: Could not find a valid Java virtual machine to load.\r\n\r\n"
         b"You may need to reinstall a supported Java virtual machine.\r\n")
JRE_KEY = "SOFTWARE\\JavaSoft\\Java Runtime Environment"
JDK_KEY = "SOFTWARE\\JavaSoft\\Java Development Kit"


class RegistrySearch(LayoutTestCase):
    def setUp(self):
        super().setUp()
        self.reg_file = os.path.join(self.root, "keys.reg")
        clear_java_registry(self.reg_file)

    def tearDown(self):
        clear_java_registry(self.reg_file)
        super().tearDown()

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

    def test_platform_3_refuses_a_64_bit_vm_and_platform_1_takes_it(self):
        jre64 = self.register("jre64", JRE_KEY, "1.8.0_151", view32=False)
        self.kiv(minimal_properties(**{"kiv.nl.win32.java.launcher.platform": "3"}))
        self.assertEqual(self.launch().stderr, NO_VM)
        self.kiv(minimal_properties(**{"kiv.nl.win32.java.launcher.platform": "1"}))
        self.launch()
        self.assertEqual(self.started(), [windows_path(jre64)])

    def test_bitness_preference_with_both_installed(self):
        jre32 = self.register("jre32", JRE_KEY, "1.8.0_151")
        jre64 = self.register("jre64", JRE_KEY, "1.7.0_80", view32=False)
        self.kiv(minimal_properties(**{"kiv.nl.win32.java.launcher.platform": "0"}))
        self.launch()
        self.kiv(minimal_properties(**{"kiv.nl.win32.java.launcher.platform": "1"}))
        self.launch()
        self.assertEqual(self.started(), [windows_path(jre64), windows_path(jre32)])

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


class PathAndRecordedVm(LayoutTestCase):
    def test_java_on_the_search_path_is_described_by_the_probe(self):
        home = os.path.join(self.root, "onpath")
        program = self.install_vm(home, "standin_sun_1_8_0_151")
        self.kiv(minimal_properties(**{"kiv.nl.valid.vm.list": "JRE_1.8.0_151"}))
        result = self.launch(env={"WINEPATH": windows_path(os.path.dirname(program))})
        self.assertEqual(result.stdout, b"company: Sun Microsystems, Inc.\r\n" * 1)
        self.assertEqual([r["program"] for r in self.records()], [windows_path(program)])

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
