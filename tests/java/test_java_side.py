"""The Java side that ships with the launcher, run by the JDK on this machine: the "Verify"
probe prints what the launcher expects, the reference validator accepts and rejects by its
documented rules, and the natives' declarations name the libraries they load."""
import os
import subprocess
import unittest
import zipfile

JAVA_OUT = os.path.join(os.environ["KIV_BUILD_DIR"], "java")


def java(jar, *args):
    return subprocess.run(["java", "-cp", os.path.join(JAVA_OUT, jar), *args],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)


class JavaSide(unittest.TestCase):
    def test_verify_prints_a_banner_then_one_line_per_property(self):
        result = java("Verify.jar", "Verify", "java.specification.version", "no.such.property",
                      "file.separator")
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.decode().splitlines()
        self.assertEqual(len(lines), 4)
        self.assertEqual(lines[1:], ["17", "", "/"])

    def test_verify_runs_on_old_vms(self):
        with zipfile.ZipFile(os.path.join(JAVA_OUT, "Verify.jar")) as jar:
            header = jar.read("Verify.class")[:8]
        self.assertEqual(int.from_bytes(header[6:8], "big"), 51)  # Java 7 class files

    def test_validator_words(self):
        # (word, exit code) on this machine's Java 17
        cases = [("CHECK", 0), ("11+", 0), ("17", 0), ("1.8+", 0), ("17*", 0), ("21+", 1),
                 ("1.8*", 1), ("11", 1), ("JAVA11+", 0), ("java21+", 1)]
        for word, code in cases:
            with self.subTest(word=word):
                result = java("Validator.jar", "com.mirov.util.jvm.Validator", "1", word)
                self.assertEqual(result.returncode, code, result.stderr)

    def test_native_declarations_load_their_libraries(self):
        with zipfile.ZipFile(os.path.join(JAVA_OUT, "TarrowNatives.jar")) as jar:
            names = sorted(n for n in jar.namelist() if n.endswith(".class"))
            self.assertEqual(names, [
                "com/halvern/quorbane/client/common/MultipleInstanceHelper.class",
                "com/halvern/quorbane/client/configuration/PrintHelper.class",
                "com/halvern/quorbane/client/configuration/RasDial.class"])
            self.assertIn(b"Helper", jar.read(names[1]))
            self.assertIn(b"Nettaro", jar.read(names[2]))


if __name__ == "__main__":
    unittest.main()
