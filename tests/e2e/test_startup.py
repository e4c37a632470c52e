"""Start-up of Tarrow.exe: the error line, its language and channel, and finding itself."""
import os
import subprocess
import unittest

from kivtest import (LayoutTestCase, WINE64, minimal_properties, run_wine, scaled, windows_path,
                     wine_env)

MISSING_EN = "Pellinor Error: The Pellinor properties file is missing"
MISSING_DE = "Pellinor-Fehler: Die Pellinor-Eigenschaftendatei fehlt"


class ErrorLine(LayoutTestCase):
    def test_missing_properties_file_gives_one_line_and_exit_code_1(self):
        result = self.launch()
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr, (MISSING_EN + "\r\n").encode())
        self.assertEqual(result.stdout, b"")

    def test_a_service_also_writes_the_line_to_the_event_log(self):
        # Wine's event log only echoes each entry on its "eventlog" debug channel: the call is
        # checked there, with the service's name as the source Wine reports on its "advapi" one.
        result = self.launch(["-mvkivservice", "KivTestService"], env={"WINEDEBUG": "+eventlog"})
        self.assertEqual(result.returncode, 1)
        text = result.stderr.decode("utf-8", "replace")
        self.assertIn("Pellinor Error: The Pellinor properties file is missing\r\n", text)
        self.assertIn('RegisterEventSourceW ((null),L"KivTestService")', text)
        self.assertIn('err:eventlog:ReportEventW L"Pellinor Error: The Pellinor properties file is '
                      'missing (exit code 1)"', text)
        self.assertEqual(text.count("err:eventlog:ReportEventW"), 1)

    def test_german_user_interface_gets_german_texts(self):
        result = self.launch(env={"LC_ALL": "de_DE.UTF-8", "LANG": "de_DE.UTF-8"})
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr.decode("utf-8"), MISSING_DE + "\r\n")

    def test_language_without_the_messages_falls_back_to_english(self):
        result = self.launch(env={"LC_ALL": "ar_SA.UTF-8", "LANG": "ar_SA.UTF-8"})
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr.decode("utf-8"), MISSING_EN + "\r\n")

    def test_on_a_console_the_line_goes_through_the_console(self):
        log = os.path.join(self.root, "pty.log")
        command = "%s '%s'; echo \"rc=$?\" > '%s'" % (WINE64, self.exe, log + ".rc")
        # Wine's console trace names the call that wrote the text.
        env = wine_env({"WINEDEBUG": "trace+console"})
        subprocess.run(["script", "-qfec", command, log], cwd=self.root, env=env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, timeout=scaled(60))
        with open(log, "rb") as f:
            screen = f.read().decode("utf-8", "replace")
        written = [line for line in screen.splitlines() if ":WriteConsoleW " in line]
        self.assertTrue(any(MISSING_EN + "\\n" in line for line in written), screen[-2000:])
        with open(log + ".rc") as f:
            self.assertEqual(f.read().strip(), "rc=1")


class FindingItself(LayoutTestCase):
    def test_bare_name_is_found_through_the_search_path(self):
        self.kiv(minimal_properties(**{"kiv.nl.java.launcher.main.class": ""}))
        elsewhere = os.path.join(self.root, "elsewhere")
        os.makedirs(elsewhere)
        result = run_wine("cmd", ["/c", "cd /d %s && Tarrow" % windows_path(elsewhere)],
                          cwd=self.root, env={"WINEPATH": windows_path(self.app)})
        self.assertIn(b"Pellinor Error: The Brastow properties file contains invalid information",
                      result.stderr)


if __name__ == "__main__":
    unittest.main()
