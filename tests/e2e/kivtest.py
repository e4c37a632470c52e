"""Helpers for the end-to-end tests: run the built programs under Wine in the project's prefix
against layouts on disk, and read what the stand-in VM recorded."""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

BUILD = os.environ.get("KIV_BUILD_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build", "x86_64"))
SOURCE = os.environ.get("KIV_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
WINE_BUILD = os.environ.get("KIV_WINE_BUILD", "x86_64")  # x86_64, or i686 for the product
WINE_RUN = [os.path.join(SOURCE, "scripts", "wine-run.sh")] + (["--i686"] if WINE_BUILD == "i686" else [])
TARROW = os.path.join(BUILD, "bin", "Tarrow.exe")
STANDINS = os.path.join(BUILD, "standins")
SCRATCH = os.path.join(BUILD, "e2e-scratch")
# How many times longer than natively a run may take (the emulated machine is much slower).
TIME_SCALE = float(os.environ.get("KIV_TIME_SCALE", "1"))


# Tools of this machine that some cases need, which the person running the tests chose to do
# without (KIV_LEAVE_OUT=script,java): their cases are skipped, saying so. A needed tool that is
# missing without that choice fails the case, so that a suite is never left out unseen. (Skips
# and expected failures are reported by the runner, tests/run_unittest.py, which says how.)
LEFT_OUT = {name.strip() for name in os.environ.get("KIV_LEAVE_OUT", "").split(",") if name.strip()}


def require_tool(case, tool, what):
    """Fails `case` when the program `tool` (which gives `what`) is not on the search path,
    or skips it when KIV_LEAVE_OUT names the tool."""
    if shutil.which(tool):
        return
    if tool in LEFT_OUT:
        case.skipTest("left out by KIV_LEAVE_OUT=%s: no %s (%s)" % (tool, tool, what))
    case.fail("no %s on this machine (%s): install it, or set KIV_LEAVE_OUT=%s to leave "
              "these cases out" % (tool, what, tool))


def scaled(seconds):
    """A time limit written for native speed, stretched for the machine the tests run on."""
    return seconds * TIME_SCALE


def _wine_for(build):
    """The Wine program, its server and the prefix that run this build (scripts/wine-env.sh)."""
    script = '. "$0" && kiv_wine_env "$1" && printf "%s\\n" "$KIV_WINE" "$KIV_WINESERVER" "$WINEPREFIX"'
    result = subprocess.run(["bash", "-c", script, os.path.join(SOURCE, "scripts", "wine-env.sh"),
                             build], stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
    if result.returncode != 0:
        raise RuntimeError("no Wine for the %s build: %s" % (build, result.stderr.decode()))
    return result.stdout.decode().splitlines()


WINE64, WINESERVER, WINEPREFIX = _wine_for(WINE_BUILD)


def windows_path(path):
    """The Wine path of a Unix path (drive Z: maps the root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine_env(extra=None, locale="C.UTF-8"):
    env = {k: v for k, v in os.environ.items()
           if not k.startswith("KIV_STANDIN") and k.lower() not in ("http_proxy", "https_proxy", "no_proxy")}
    env["LC_ALL"] = locale
    env["LANG"] = locale
    env["WINEDEBUG"] = "-all"
    env["WINEPREFIX"] = WINEPREFIX
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
    if extra:
        env.update(extra)
    return env


_server_started = False


def ensure_prefix():
    """Creates the private Wine prefix on first use (the wrapper script knows how) and keeps a
    Wine server running for the prefix, so that each run takes a fraction of a second. The
    server ends by itself ten minutes after its last client."""
    global _server_started
    if not os.path.exists(os.path.join(WINEPREFIX, "system.reg")):
        subprocess.run([*WINE_RUN, "cmd", "/c", "exit"], env=wine_env(), check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=scaled(300))
    if not _server_started:
        subprocess.run([WINESERVER, "-p600"], env=wine_env(), check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=scaled(60))
        # Wine's background services start with the first program and inherit its output
        # handles; started here, they never hold a test's pipes open.
        subprocess.run([WINE64, "cmd", "/c", "exit"], env=wine_env(), check=False,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=scaled(300))
        _server_started = True


def run_wine(program, args=(), cwd=None, env=None, timeout=60, input_bytes=None,
             merge_stderr=False):
    """Runs a Windows program under Wine; returns the CompletedProcess with bytes output.
    Wine is called directly, so that no shell reports on a locale it lacks. The time limit is
    one for native speed."""
    ensure_prefix()
    stdin = subprocess.DEVNULL if input_bytes is None else None
    return subprocess.run([WINE64, program, *args], cwd=cwd, env=wine_env(env),
                          timeout=scaled(timeout),
                          stdin=stdin, input=input_bytes, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT if merge_stderr else subprocess.PIPE)


def start_wine(program, args=(), cwd=None, env=None):
    """Starts a Windows program under Wine and returns its Popen, output and errors piped."""
    ensure_prefix()
    return subprocess.Popen([WINE64, program, *args], cwd=cwd, env=wine_env(env),
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)


def wait_until(condition, what, seconds=60):
    """Polls `condition` until it holds; fails naming `what` after the time limit, scaled."""
    deadline = time.monotonic() + scaled(seconds)
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting until " + what)
        time.sleep(0.05)


def expected_failure_where_wine_lacks(test, function, outcome):
    """Ends `test` as an expected failure, never a pass: the case ended in `outcome`, which only
    Wine's lack of `function` gives. Called once the test has checked everything else."""
    test.skipTest("expected failure: Wine lacks %s: %s" % (function, outcome))


def unix_path(windows):
    """The Unix path of a path on one of the prefix's drives (C:\\x, or Z:\\x for the root),
    found through the prefix's own drive links."""
    drive, rest = windows[:2].lower(), windows[2:].replace("\\", "/").lstrip("/")
    return os.path.join(os.path.realpath(os.path.join(WINEPREFIX, "dosdevices", drive)), rest)


_temp_folder = None


def temp_folder():
    """The prefix's temporary folder as Windows names it (%TEMP%); each Wine lays it out in its
    own place."""
    global _temp_folder
    if _temp_folder is None:
        result = run_wine("cmd", ["/c", "echo", "%TEMP%"])
        _temp_folder = result.stdout.decode().strip()
        if result.returncode != 0 or not _temp_folder.endswith("Temp"):
            raise RuntimeError("no temporary folder: %r" % result.stdout)
    return _temp_folder


def is_read_only(path):
    """Whether Windows shows the file with the read-only attribute (attrib's "R")."""
    result = run_wine("cmd", ["/c", "attrib", windows_path(path)])
    listing = result.stdout.decode(errors="replace")
    if result.returncode != 0 or not listing.strip():
        raise RuntimeError("attrib failed: %r" % listing)
    return "R" in listing[:listing.rindex(":\\") - 1]


def write_properties(path, entries, raw_suffix=""):
    with open(path, "w", encoding="latin-1", newline="") as f:
        for key, value in entries.items():
            f.write("%s=%s\r\n" % (key, value))
        f.write(raw_suffix)


def read_record(path):
    """The stand-in VM's records: a list of dicts with program, commandline, cwd and env."""
    records = []
    current = None
    with open(path, encoding="utf-8") as f:
        for line in f.read().splitlines():
            key, _, value = line.partition("=")
            if key == "program":
                current = {"program": value, "env": {}}
            elif key == "end":
                records.append(current)
            elif key == "env":
                name, _, val = value.partition("=")
                current["env"][name] = val
            elif key == "tempfile":
                try:
                    current.setdefault("tempfiles", []).append(bytes.fromhex(value))
                except ValueError:
                    break  # a line the VM is still writing: its record is not complete yet
            else:
                current[key] = value
    return records


def read_vm_info(path_or_bytes):
    """The VM information file (a path, or its bytes as the stand-in VM recorded them) as
    (key, value) pairs in file order."""
    if isinstance(path_or_bytes, bytes):
        data = path_or_bytes
    else:
        with open(path_or_bytes, "rb") as f:
            data = f.read()
    pairs = []
    for line in data.decode("latin-1").split("\r\n"):
        if line:
            key, _, value = line.partition("=")
            pairs.append((key, value))
    return pairs


class LayoutTestCase(unittest.TestCase):
    """Each test gets a fresh folder with a copy of Tarrow.exe."""

    program_name = "Tarrow.exe"

    def setUp(self):
        os.makedirs(SCRATCH, exist_ok=True)
        self.root = tempfile.mkdtemp(prefix=self.id().split(".")[-1][:40] + "-", dir=SCRATCH)
        self.app = os.path.join(self.root, "App Folder")
        os.makedirs(self.app)
        self.exe = os.path.join(self.app, self.program_name)
        shutil.copy(TARROW, self.exe)
        self.record = os.path.join(self.root, "record.txt")

    def tearDown(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def install_vm(self, home, variant="standin_plain", names=("java.exe",), folder="bin"):
        """Copies a stand-in VM into home\\folder under each name; returns the first path."""
        target = os.path.join(home, folder) if folder else home
        os.makedirs(target, exist_ok=True)
        paths = []
        for name in names:
            path = os.path.join(target, name)
            shutil.copy(os.path.join(STANDINS, variant + ".exe"), path)
            paths.append(path)
        return paths[0]

    def kiv(self, entries, name=None, raw_suffix=""):
        path = os.path.join(self.app, name or "Tarrow.kiv")
        write_properties(path, entries, raw_suffix)
        return path

    def launch(self, args=(), cwd=None, env=None, timeout=60, **kwargs):
        env = dict(env or {})
        env.setdefault("KIV_STANDIN_RECORD", windows_path(self.record))
        return run_wine(self.exe, args, cwd=cwd or self.root, env=env, timeout=timeout, **kwargs)

    def records(self):
        return read_record(self.record) if os.path.exists(self.record) else []


def minimal_properties(**overrides):
    entries = {
        "kiv.nl.java.launcher.main.class": "com.example.Main",
        "kiv.class.path": "lib\\app.jar",
        "kiv.nl.valid.vm.list": "ALL",
    }
    entries.update(overrides)
    return entries


JAVA_KEYS = ("SOFTWARE\\JavaSoft", "SOFTWARE\\IBM")


def import_registry(entries, path):
    """Writes registry keys with one regedit run. `entries` maps a key below HKEY_LOCAL_MACHINE
    (prefixed "32:" for the 32-bit view), or a key that names its root ("HKEY_CURRENT_USER\\..."),
    to its string values; a value of None deletes the key."""
    lines = ["REGEDIT4", ""]
    for key, values in entries.items():
        if key.startswith("32:"):
            key = key[3:].replace("SOFTWARE\\", "SOFTWARE\\Wow6432Node\\", 1)
        if not key.startswith("HKEY_"):
            key = "HKEY_LOCAL_MACHINE\\" + key
        if values is None:
            lines += ["[-%s]" % key, ""]
            continue
        lines.append("[%s]" % key)
        for name, value in values.items():
            lines.append('"%s"="%s"' % (name, value.replace("\\", "\\\\")))
        lines.append("")
    with open(path, "w", encoding="utf-8", newline="\r\n") as f:
        f.write("\n".join(lines))
    # regedit occasionally fails without a word under load; importing the same file again
    # gives the same keys and values, so the import is repeated until it succeeds.
    for attempt in range(20):
        result = run_wine("regedit", ["/S", windows_path(path)])
        if result.returncode == 0:
            return
        time.sleep(0.25 * (attempt + 1))
    raise RuntimeError("regedit failed 20 times: %r" % result.stderr)


def clear_java_registry(path):
    """Removes every JavaSoft and IBM key from both registry views."""
    entries = {}
    for key in JAVA_KEYS:
        entries[key] = None
        entries["32:" + key] = None
    import_registry(entries, path)
