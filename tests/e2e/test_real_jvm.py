"""Tarrow.exe starting a real Java VM: this machine's Linux JVM, reached through the test-only
bridge that stands in the place of a Windows java.exe (tests/standins/JavaBridge.cpp)."""
import os
import shutil
import subprocess
import unittest

from kivtest import (BUILD, SOURCE, LayoutTestCase, clear_java_registry, import_registry,
                     minimal_properties, require_tool, scaled, windows_path, write_properties)

JAVA_OUT = os.path.join(BUILD, "java")
BRIDGE_SCRIPT = os.path.abspath(os.path.join(SOURCE, "tests", "e2e", "java_bridge.py"))


class RealJvm(LayoutTestCase):
    def setUp(self):
        require_tool(self, "java", "a JDK")
        super().setUp()
        self.java = self.install_vm(os.path.join(self.root, "jdk"), variant="java_bridge")
        self.env = {"KIV_JAVA_BRIDGE": BRIDGE_SCRIPT, "KIV_STANDIN_RECORD": ""}

    def test_the_application_receives_what_the_launcher_built(self):
        text = "Gr\u00fc\u00dfe C:\\Temp\\x \u00e9"
        self.kiv(minimal_properties(**{
            "kiv.nl.java.launcher.main.class": "tarrowtest.RealMain",
            "kiv.class.path": windows_path(os.path.join(JAVA_OUT, "TarrowTestApp.jar")),
            "kiv.nl.java.option.java.heap.size.max": "64m",
            "kiv.nl.java.option.additional": "-Dtarrow.test=yes",
        }))
        env = dict(self.env, TARROW_TEST_TEXT=text)
        result = self.launch(["KIV_VM", windows_path(self.java), "first", "7"], env=env,
                             timeout=120)
        self.assertEqual(result.returncode, 7, result.stderr)
        lines = dict(l.split("=", 1) for l in result.stdout.decode("utf-8").splitlines() if "=" in l)
        arguments = lines["args"].split("|")
        # Application arguments arrive with their backslashes doubled, as on Windows.
        self.assertEqual(arguments[2:], ["KIV_VM", windows_path(self.java).replace("\\", "\\\\"),
                                         "first", "7"])
        self.assertTrue(arguments[0].endswith("Tarrow.kiv"))
        self.assertEqual(lines["property"], "yes")
        # The JVM rounds the heap limit; it stays near the 64 MiB asked for.
        self.assertLess(abs(int(lines["maxMemory"]) - 64 * 1024 * 1024), 8 * 1024 * 1024)
        self.assertEqual(lines["currentVm"], windows_path(self.java))
        self.assertEqual(lines["testEnv"], text)


    def test_the_reference_validator_accepts_and_rejects(self):
        reg_file = os.path.join(BUILD, "real-jvm-keys.reg")
        clear_java_registry(reg_file)
        self.addCleanup(clear_java_registry, reg_file)
        home = os.path.dirname(os.path.dirname(self.java))
        import_registry({"SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.8.0_151":
                         {"JavaHome": windows_path(home), "MicroVersion": "0"}}, reg_file)
        class_path = ";".join(windows_path(os.path.join(JAVA_OUT, jar))
                              for jar in ("TarrowTestApp.jar", "Validator.jar"))
        for word, accepted in (("JAVA11+", True), ("JAVA21+", False), ("CHECK", True)):
            with self.subTest(word=word):
                self.kiv(minimal_properties(**{
                    "kiv.nl.java.launcher.main.class": "tarrowtest.RealMain",
                    "kiv.class.path": class_path,
                    "kiv.nl.valid.vm.list": "JRE_1.8+_" + word}))
                result = self.launch(["5"], env=self.env, timeout=120)
                self.assertEqual(result.returncode, 5 if accepted else 1, result.stderr)


    def test_a_java_17_reads_the_class_path_from_the_argument_file_escapes_and_all(self):
        reg_file = os.path.join(BUILD, "real-jvm-keys.reg")
        clear_java_registry(reg_file)
        self.addCleanup(clear_java_registry, reg_file)
        home = os.path.dirname(os.path.dirname(self.java))
        import_registry({"SOFTWARE\\JavaSoft\\JDK\\17": {"JavaHome": windows_path(home)}},
                        reg_file)
        # Too many entries for a command line; among them the characters an argument file
        # escapes or would misread: spaces, quotes, backslashes (a folder entry ends in one,
        # just before the closing quote), "#" (a comment outside quotes) and "@".
        special = ["lib\\a b.jar", "classes\\", 'lib\\say "hi".jar', "lib\\#1 @2.jar"]
        entries = ["lib\\part%04d.jar" % i for i in range(3000)] + special
        self.kiv(minimal_properties(**{
            "kiv.nl.java.launcher.main.class": "tarrowtest.RealMain",
            "kiv.class.path": ";".join(entries)}))
        trace = os.path.join(self.root, "trace.txt")
        env = dict(self.env, KIV_TRACE=windows_path(trace),
                   KIV_JAVA_BRIDGE_BOOT=os.path.join(JAVA_OUT, "TarrowTestApp.jar"))
        result = self.launch(["6"], env=env, timeout=120)
        self.assertEqual(result.returncode, 6, result.stderr)
        with open(trace, encoding="utf-8") as f:
            self.assertIn("class path passed through the argument file ", f.read())
        lines = dict(l.split("=", 1) for l in result.stdout.decode("utf-8").splitlines()
                     if "=" in l)
        received = lines["classPath"].split(";")
        app = windows_path(self.app)
        self.assertEqual(received[-len(special) - 1:],
                         ["%s\\%s" % (app, e) for e in special] + [""])
        self.assertEqual(received, ["%s\\%s" % (app, e) for e in entries] + [""])

    def test_options_for_java_17_and_later_are_accepted_by_a_real_vm(self):
        reg_file = os.path.join(BUILD, "real-jvm-keys.reg")
        clear_java_registry(reg_file)
        self.addCleanup(clear_java_registry, reg_file)
        home = os.path.dirname(os.path.dirname(self.java))
        import_registry({"SOFTWARE\\JavaSoft\\JDK\\17": {"JavaHome": windows_path(home)}},
                        reg_file)
        trace = os.path.join(self.root, "trace.txt")
        self.kiv(minimal_properties(**{
            "kiv.nl.java.launcher.main.class": "tarrowtest.RealMain",
            "kiv.class.path": windows_path(os.path.join(JAVA_OUT, "TarrowTestApp.jar")),
            "kiv.nl.valid.vm.list": "17+",
            "kiv.nl.java.option.additional.for.17+": "--enable-native-access=ALL-UNNAMED",
            "kiv.nl.java.option.additional.for.9+": "--add-opens=java.base/java.lang=ALL-UNNAMED",
            # Java 17 refuses to start with an option that Java 14 removed.
            "kiv.nl.java.option.additional.for.13-": "-XX:+UseConcMarkSweepGC",
            "kiv.nl.java.option.java.heap.size.max": "5%"}))
        result = self.launch(["6"], env=dict(self.env, KIV_TRACE=windows_path(trace)),
                             timeout=120)
        self.assertEqual(result.returncode, 6, result.stderr)
        with open(trace, encoding="utf-8") as f:
            start = next(l for l in f.read().splitlines() if " start " in l)
        self.assertIn(" --enable-native-access=ALL-UNNAMED "
                      "--add-opens=java.base/java.lang=ALL-UNNAMED -classpath ", start)
        self.assertRegex(start, r" -Xmx\d+m ")
        self.assertNotIn("UseConcMarkSweepGC", start)

    def test_the_real_verify_probe_confirms_a_described_vm(self):
        vendor = subprocess.run(["java", "-XshowSettings:properties", "-version"],
                                stderr=subprocess.PIPE).stderr.decode()
        vendor = next(l.split("=", 1)[1].strip() for l in vendor.splitlines()
                      if l.strip().startswith("java.vendor ="))
        home = os.path.join(self.root, "Runtime 17")
        javaw = self.install_vm(home, variant="java_bridge", names=("javaw.exe", "java.exe"))
        specs = os.path.join(self.app, "jvmspecs")
        os.makedirs(specs)
        shutil.copy(os.path.join(JAVA_OUT, "Verify.jar"), specs)
        start = os.path.join(self.root, "start")
        os.makedirs(os.path.join(start, "Windows", "jvmspecs"))
        write_properties(os.path.join(specs, "jvmspecs.properties"), {
            "build.option": "withoutvm", "build.without.vm.search.option": "10",
            "build.jvmspec.applicable": "true", "build.jvmspec.total.num": "1",
            "build.jvmspec.0": "runtime.spec"})
        self.kiv(minimal_properties(**{
            "kiv.nl.java.launcher.main.class": "tarrowtest.RealMain",
            "kiv.class.path": windows_path(os.path.join(JAVA_OUT, "TarrowTestApp.jar")),
            # A real JVM may start slowly on a loaded or emulated machine.
            "kiv.nl.verify.timeout": str(int(scaled(60)))}))
        cases = [  # (vendor pattern, version pattern, accepted)
            (vendor, "17*", True), (vendor[:3] + "...", "1*", True), ("No Such Vendor", "*", False)]
        for vendor_pattern, version_pattern, accepted in cases:
            with self.subTest(vendor=vendor_pattern, version=version_pattern):
                with open(os.path.join(specs, "runtime.spec"), "w", newline="\r\n") as f:
                    f.write("JVM_EXE: bin\\javaw.exe\nJVM_PROPERTIES\njava.vendor=%s\n"
                            "java.version=%s\n/:\nPATH_HINT:\n%s\n/:\n"
                            % (vendor_pattern, version_pattern, windows_path(home)[3:]))
                result = self.launch(["3"], cwd=start, env=self.env, timeout=120)
                self.assertEqual(result.returncode, 3 if accepted else 1, result.stderr)


if __name__ == "__main__":
    unittest.main()
