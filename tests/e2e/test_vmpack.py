"""Packaged applications: the build-option step with VM packs downloaded over HTTP and FTP from
servers on 127.0.0.1, checked and unpacked; and the extraction and checksum layers alone."""
import hashlib
import io
import os
import re
import resource
import shutil
import signal
import struct
import subprocess
import tempfile
import unittest
import zipfile

from kivtest import (BUILD, WINE64, LayoutTestCase, STANDINS, ensure_prefix,
                     expected_failure_where_wine_lacks, is_read_only, minimal_properties,
                     read_record, run_wine, scaled, start_wine, wait_until, windows_path,
                     wine_env, write_properties)
from packservers import FtpServer, HttpServer

NO_VM = (b"Pellinor Error: Could not find a valid Java virtual machine to load.\r\n\r\n"
         b"You may need to reinstall a supported Java virtual machine.\r\n")
TOOL = os.path.join(BUILD, "bin", "vmpack_tool.exe")
HOSTILE = ["..\\..\\evil.txt", "a/../evil2.txt", "C:\\evil3.txt", "../x4", "a/../../x5"]


def standin_bytes():
    with open(os.path.join(STANDINS, "standin_plain.exe"), "rb") as f:
        return f.read()


def zip_bytes(members):
    """members: list of (name or ZipInfo, bytes)."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in members:
            z.writestr(name, data)
    return out.getvalue()


def damage_central_record(archive, index):
    """The archive with the signature of its central-directory record `index` broken: every
    entry from there on can no longer be read."""
    data = bytearray(archive)
    at = -1
    for _ in range(index + 1):
        at = data.index(b"PK\x01\x02", at + 1)
    data[at + 3] = 0x09
    return bytes(data)


def stored_pack(inner, *more):
    """A pack whose vm.zip is stored as it is, followed by vm.properties and `more` members."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_STORED) as z:
        for name, data in [("vm.zip", inner), ("vm.properties", b"vendor=test\n"), *more]:
            z.writestr(name, data)
    return out.getvalue()


def many_members(count, size):
    return [(f"lib/part{i % 7}/f{i:03}.bin", os.urandom(size)) for i in range(count)]


def vm_pack(vm_members=None, extra_members=()):
    if vm_members is None:
        vm_members = [("bin/java.exe", standin_bytes()), ("lib/rt.jar", b"jar")]
    inner = zip_bytes(vm_members)
    return zip_bytes([("vm.zip", inner), ("vm.properties", b"vendor=test\n"), *extra_members])


class PackLayout(LayoutTestCase):
    """A start folder with Windows\\jvmspecs, the launcher with its jvmspecs.properties, and a
    web root served on 127.0.0.1."""

    @classmethod
    def setUpClass(cls):
        cls.webroot = tempfile.mkdtemp(prefix="kiv-web-")
        cls.http = HttpServer(cls.webroot)

    @classmethod
    def tearDownClass(cls):
        cls.http.stop()
        shutil.rmtree(cls.webroot, ignore_errors=True)

    def setUp(self):
        super().setUp()
        self.start = os.path.join(self.root, "start")
        os.makedirs(os.path.join(self.start, "Windows", "jvmspecs"))
        os.makedirs(os.path.join(self.app, "jvmspecs"))
        self.kiv(minimal_properties())
        self.pack_name = self.id().split(".")[-1][:30] + ".vm"

    def publish(self, data, name=None):
        name = name or self.pack_name
        with open(os.path.join(self.webroot, name), "wb") as f:
            f.write(data)
        return name

    def build_options(self, **entries):
        write_properties(os.path.join(self.app, "jvmspecs", "jvmspecs.properties"), entries)

    def direct(self, url, checksum=None, sha256=None):
        entries = {"build.option": "withoutvm", "build.without.vm.search.option": "12",
                   "build.without.vm.direct.download.url": url}
        if checksum is not None:
            entries["build.without.vm.dont.search.download.url.md5Checksum.applicable"] = "true"
            entries["build.without.vm.dont.search.download.url.md5Checksum.value"] = checksum
        if sha256 is not None:
            entries["build.without.vm.dont.search.download.url.sha256Checksum.value"] = sha256
        self.build_options(**entries)

    def target(self, *parts):
        return os.path.join(self.start, "Windows", "resource", "jre", *parts)

    def stored_pack(self):
        return os.path.join(self.start, "Windows", "jvmspecs" + self.pack_name)


class DownloadAndLaunch(PackLayout):
    def test_http_pack_is_downloaded_checked_unpacked_and_started(self):
        data = vm_pack()
        self.publish(data)
        self.direct(self.http.url(self.pack_name), hashlib.md5(data).hexdigest())
        result = self.launch(cwd=self.start)
        self.assertEqual(result.stderr, b"")
        self.assertEqual(result.stdout,
                         b"\r\nDownloading VM Pack - Please Wait!!!\r\n"
                         b"\r\nVerifying the downloaded JVM with MD5 checksum specified\r\n"
                         b"\r\nMD5 checksum verification for downloaded JVM passed"
                         b"\r\nExtracting VM Pack. Please wait!!!\r\n"
                         b"\r\nExtracted the JVM pack successfully!!\r\n")
        with open(self.stored_pack(), "rb") as f:
            self.assertEqual(f.read(), data)
        [record] = self.records()
        self.assertEqual(record["program"].lower(),
                         windows_path(self.target("bin", "java.exe")).lower())
        self.assertTrue(os.path.exists(self.target("lib", "rt.jar")))
        scratch = os.path.join(self.start, "Windows", "downloadIntermediary")
        self.assertFalse(os.path.exists(scratch))

    def test_a_download_that_breaks_off_resumes(self):
        data = vm_pack(extra_members=[("padding.bin", os.urandom(300000))])
        self.publish(data)
        half = "bytes=%d-" % (len(data) // 2)
        # (server, what it answers the range request with, what the launcher does with it)
        for prefix, status, action in (("flaky", 206, "appended"),
                                       ("norange", 200, "replaces what was received"),
                                       ("wholerange", 206, "replaces what was received")):
            with self.subTest(server=prefix):
                shutil.rmtree(os.path.join(self.start, "Windows"))
                os.makedirs(os.path.join(self.start, "Windows", "jvmspecs"))
                before = len(self.http.server.headers)
                trace = os.path.join(self.root, prefix + "-trace.txt")
                self.direct(self.http.url(prefix + "/" + self.pack_name),
                            hashlib.md5(data).hexdigest())
                result = self.launch(cwd=self.start, env={"KIV_TRACE": windows_path(trace)})
                self.assertEqual(result.stderr, b"")
                self.assertIn(b"MD5 checksum verification for downloaded JVM passed",
                              result.stdout)
                with open(self.stored_pack(), "rb") as f:
                    self.assertEqual(f.read(), data)
                sent = self.http.server.headers[before:]
                self.assertEqual([h.get("Range") for h in sent], [None, half])
                with open(trace, encoding="utf-8") as f:
                    text = f.read()
                self.assertIn("resuming, attempt 1 of 3", text)
                self.assertIn("resumed at byte %d: HTTP status %d" % (len(data) // 2, status),
                              text)
                self.assertIn(": " + action + "\n", text)

    def test_a_kept_part_damaged_on_disk_before_the_resume_fails_the_checksum(self):
        data = vm_pack(extra_members=[("padding.bin", os.urandom(300000))])
        self.publish(data)

        def damage_kept_part():
            with open(self.stored_pack(), "r+b") as f:
                f.seek(100)
                byte = f.read(1)
                f.seek(100)
                f.write(bytes([byte[0] ^ 0xFF]))

        self.http.server.on_resume = damage_kept_part
        self.addCleanup(setattr, self.http.server, "on_resume", None)
        self.direct(self.http.url("flaky/" + self.pack_name), hashlib.md5(data).hexdigest())
        result = self.launch(cwd=self.start)
        self.assertEqual((result.returncode, result.stderr), (1, NO_VM))
        self.assertIn(b"Warning!! MD5 checksum verification for downloaded JVM failed",
                      result.stdout)
        self.assertEqual(self.records(), [])

    def test_a_downloaded_pack_is_held_against_writers_until_it_is_unpacked(self):
        data = vm_pack()
        self.publish(data)
        pack = os.path.join(self.root, "held.vm")
        target = os.path.join(self.root, "held-target")
        os.makedirs(target)
        result = run_wine(TOOL, ["held", self.http.url(self.pack_name), windows_path(pack),
                                 windows_path(target) + "\\"])
        self.assertEqual(result.returncode, 0, result.stdout)
        self.assertEqual(result.stdout.decode().split(),
                         ["md5=" + hashlib.md5(data).hexdigest(),
                          "sha256=" + hashlib.sha256(data).hexdigest(), "writable=0",
                          "deletable=0"])
        self.assertTrue(os.path.exists(os.path.join(target, "bin", "java.exe")))

    def test_a_file_that_changes_before_the_resume_comes_again_whole(self):
        old = vm_pack(extra_members=[("padding.bin", os.urandom(300000))])
        new = vm_pack(extra_members=[("padding.bin", os.urandom(300000))])
        self.publish(old)
        self.publish(new, self.pack_name + ".next")
        # (server, the first answer's validator that the resume must carry)
        for prefix, validator in (("changing-etag", '"%s"' % hashlib.md5(old).hexdigest()[:16]),
                                  ("changing-date", "Tue, 14 Nov 2023 22:13:20 GMT")):
            with self.subTest(server=prefix):
                shutil.rmtree(os.path.join(self.start, "Windows"))
                os.makedirs(os.path.join(self.start, "Windows", "jvmspecs"))
                before = len(self.http.server.headers)
                self.direct(self.http.url(prefix + "/" + self.pack_name),
                            hashlib.md5(new).hexdigest())
                result = self.launch(cwd=self.start)
                self.assertEqual(result.stderr, b"")
                self.assertIn(b"MD5 checksum verification for downloaded JVM passed",
                              result.stdout)
                with open(self.stored_pack(), "rb") as f:
                    self.assertEqual(f.read(), new)
                first, resumed = self.http.server.headers[before:]
                self.assertEqual((first.get("Range"), first.get("If-Range")), (None, None))
                self.assertEqual((resumed.get("Range"), resumed.get("If-Range")),
                                 ("bytes=%d-" % (len(old) // 2), validator))

    def test_a_piece_of_a_changed_file_is_never_appended(self):
        # The server honours Range but ignores If-Range: the piece it sends names the new file.
        old = vm_pack(extra_members=[("padding.bin", os.urandom(300000))])
        # A piece that fits, but of another file: random data now and then packs a few bytes
        # shorter or longer, so another is drawn until the lengths agree.
        new = old
        while new == old or len(new) != len(old):
            new = vm_pack(extra_members=[("padding.bin", os.urandom(300000))])
        self.publish(old)
        self.publish(new, self.pack_name + ".next")
        for prefix in ("ignoring-etag", "ignoring-date"):
            with self.subTest(server=prefix):
                shutil.rmtree(os.path.join(self.start, "Windows"))
                os.makedirs(os.path.join(self.start, "Windows", "jvmspecs"))
                trace = os.path.join(self.root, prefix + "-trace.txt")
                self.direct(self.http.url(prefix + "/" + self.pack_name),
                            hashlib.md5(new).hexdigest())
                result = self.launch(cwd=self.start, env={"KIV_TRACE": windows_path(trace)})
                self.assertEqual(result.stderr, b"")
                self.assertIn(b"MD5 checksum verification for downloaded JVM passed",
                              result.stdout)
                with open(self.stored_pack(), "rb") as f:
                    self.assertEqual(f.read(), new)
                with open(trace, encoding="utf-8") as f:
                    self.assertIn("HTTP status 206, range bytes %d-%d/%d: restarting the transfer"
                                  % (len(old) // 2, len(new) - 1, len(new)), f.read())

    def test_weak_entity_tag_resumes_on_the_modification_date(self):
        data = vm_pack(extra_members=[("padding.bin", os.urandom(300000))])
        self.publish(data)
        self.publish(data, self.pack_name + ".next")
        before = len(self.http.server.headers)
        self.direct(self.http.url("weak-etag/" + self.pack_name), hashlib.md5(data).hexdigest())
        result = self.launch(cwd=self.start)
        self.assertEqual(result.stderr, b"")
        with open(self.stored_pack(), "rb") as f:
            self.assertEqual(f.read(), data)
        first, resumed = self.http.server.headers[before:]
        self.assertEqual((resumed.get("Range"), resumed.get("If-Range")),
                         ("bytes=%d-" % (len(data) // 2), "Tue, 14 Nov 2023 22:13:20 GMT"))

    def test_download_leaves_no_copy_in_the_internet_cache(self):
        def cached(url):
            return run_wine(TOOL, ["cached", url]).returncode == 0
        data = vm_pack()
        self.publish(data)
        url = self.http.url(self.pack_name)
        self.direct(url, hashlib.md5(data).hexdigest())
        self.assertEqual(self.launch(cwd=self.start).stderr, b"")
        self.assertEqual(len(self.records()), 1)
        self.assertFalse(cached(url))
        # The same URL read with WinINet's default flags is cached: the check sees a copy.
        self.assertEqual(run_wine(TOOL, ["fetch", url]).returncode, 0)
        self.assertTrue(cached(url))

    def test_libraries_planted_beside_the_launcher_are_never_loaded(self):
        for name in ("version.dll", "wininet.dll", "zlib1.dll"):
            shutil.copy(os.path.join(STANDINS, "planted", name), self.app)
        # Windows' order for libraries that are not "known DLLs": the program's folder first.
        env = {"WINEDLLOVERRIDES": "version,wininet,zlib1=n,b;mscoree,mshtml="}

        def loaded_by(program, **kwargs):
            """The planted libraries a run loads, from the markers they leave."""
            for name in os.listdir(self.app):
                if name.endswith(".loaded"):
                    os.remove(os.path.join(self.app, name))
            program(**kwargs)
            return sorted(n.lower()[:-len(".loaded")] for n in os.listdir(self.app)
                          if n.endswith(".loaded"))

        def reference(name):
            copy = os.path.join(self.app, name + ".exe")
            shutil.copy(os.path.join(STANDINS, name + ".exe"), copy)
            return loaded_by(lambda: run_wine(copy, cwd=self.app, env=env))
        # What the system itself loads for the launcher's imports, and proof that a static
        # import of WinINet would take the planted copy.
        baseline = reference("planting_baseline")
        self.assertNotIn("wininet.dll", baseline)
        self.assertIn("wininet.dll", reference("planting_probe"))

        data = vm_pack()
        self.publish(data)
        self.direct(self.http.url(self.pack_name), hashlib.md5(data).hexdigest())
        result = None

        def launch():
            nonlocal result
            result = self.launch(cwd=self.start, env=env)
        self.assertEqual(loaded_by(launch), baseline)
        self.assertEqual((result.returncode, result.stderr), (0, b""))
        self.assertIn(b"MD5 checksum verification for downloaded JVM passed", result.stdout)
        self.assertEqual(len(self.records()), 1)

    def test_trace_follows_the_pack(self):
        data = vm_pack()
        self.publish(data)
        trace = os.path.join(self.root, "trace.txt")
        for checksum, unverified in ((hashlib.md5(data).hexdigest(), False), (None, True)):
            with self.subTest(checksum=checksum):
                if os.path.exists(trace):
                    os.remove(trace)
                self.direct(self.http.url(self.pack_name), checksum)
                self.launch(cwd=self.start, env={"KIV_TRACE": windows_path(trace)})
                with open(trace, encoding="utf-8") as f:
                    text = f.read()
                for part in ("HTTP status 200 for " + self.http.url(self.pack_name),
                             "received %d bytes (announced %d)" % (len(data), len(data)),
                             "entries into", "2 extracted, 0 skipped", "VM exit code 0"):
                    self.assertIn(part, text)
                self.assertEqual("unverified" in text, unverified)
                if checksum:
                    self.assertIn("MD5 expected %s, computed %s" % (checksum, checksum), text)

    def test_silent_launch_prints_nothing(self):
        self.publish(vm_pack())
        self.direct(self.http.url(self.pack_name))
        result = self.launch(["silent"], cwd=self.start)
        self.assertEqual((result.stdout, result.stderr), (b"", b""))
        self.assertEqual(len(self.records()), 1)

    def test_runtime_layout_with_jre_bin(self):
        self.publish(vm_pack([("jre/bin/java.exe", standin_bytes())]))
        self.direct(self.http.url(self.pack_name))
        self.launch(cwd=self.start)
        [record] = self.records()
        self.assertEqual(record["program"].lower(),
                         windows_path(self.target("jre", "bin", "java.exe")).lower())

    def test_folder_entries_made_as_java_makes_them_are_created(self):
        # Java's archivers mark a folder only by the "/" ending its name: DOS-made, attributes 0.
        def folder(name):
            info = zipfile.ZipInfo(name)
            info.create_system, info.external_attr = 0, 0
            return info
        self.publish(vm_pack([(folder("jre/"), b""), (folder("jre/bin/"), b""),
                              ("jre/bin/java.exe", standin_bytes()), (folder("jre/lib/"), b"")]))
        self.direct(self.http.url(self.pack_name))
        result = self.launch(cwd=self.start)
        self.assertIn(b"Extracted the JVM pack successfully!!", result.stdout)
        [record] = self.records()
        self.assertEqual(record["program"].lower(),
                         windows_path(self.target("jre", "bin", "java.exe")).lower())
        self.assertTrue(os.path.isdir(self.target("jre", "lib")))

    def test_installed_vm_means_no_download(self):
        installed = self.install_vm(os.path.join(self.root, "installed"))
        self.kiv(minimal_properties(**{"kiv.nl.current.vm": windows_path(installed)}))
        self.publish(vm_pack())
        self.build_options(**{"build.option": "withoutvm", "build.without.vm.search.option": "11",
                              "build.without.vm.not.found.download.url": self.http.url(self.pack_name)})
        before = len(self.http.requests)
        result = self.launch(cwd=self.start)
        self.assertEqual(result.stdout, b"")
        self.assertEqual(len(self.http.requests), before)
        self.assertEqual([r["program"] for r in self.records()], [windows_path(installed)])

    def test_wrong_or_upper_case_checksum_fails(self):
        data = vm_pack()
        self.publish(data)
        for checksum in ("0" * 32, hashlib.md5(data).hexdigest().upper()):
            self.direct(self.http.url(self.pack_name), checksum)
            result = self.launch(cwd=self.start)
            self.assertEqual((result.returncode, result.stderr), (1, NO_VM))
            self.assertTrue(result.stdout.endswith(
                b"\r\nVerifying the downloaded JVM with MD5 checksum specified\r\n\r\n"
                b"Warning!! MD5 checksum verification for downloaded JVM failed. Installer exiting..."))
            self.assertTrue(os.path.exists(self.stored_pack()))
        self.assertEqual(self.records(), [])

    def test_sha256_checksum_match_mismatch_and_wrong_length(self):
        data = vm_pack()
        self.publish(data)
        digest = hashlib.sha256(data).hexdigest()
        verifying = b"\r\nVerifying the downloaded JVM with SHA-256 checksum specified\r\n"
        failed = (verifying + b"\r\nWarning!! SHA-256 checksum verification for downloaded JVM "
                  b"failed. Installer exiting...")
        cases = [  # (SHA-256 value, MD5 value or None, what ends the output, VM started)
            (digest.upper(), None, verifying + b"\r\nSHA-256 checksum verification for "
             b"downloaded JVM passed\r\nExtracting VM Pack. Please wait!!!\r\n"
             b"\r\nExtracted the JVM pack successfully!!\r\n", True),
            ("0" * 64, None, failed, False),
            (digest[:-2], None, failed, False),
            # Both configured: both must match.
            (digest, "0" * 32, b"Warning!! MD5 checksum verification for downloaded JVM failed. "
             b"Installer exiting...", False),
        ]
        for sha256, md5, ending, started in cases:
            with self.subTest(sha256=sha256, md5=md5):
                shutil.rmtree(self.target(), ignore_errors=True)
                if os.path.exists(self.record):
                    os.remove(self.record)
                self.direct(self.http.url(self.pack_name), md5, sha256)
                result = self.launch(cwd=self.start)
                self.assertTrue(result.stdout.endswith(ending), result.stdout)
                self.assertEqual(len(self.records()), 1 if started else 0)
                self.assertEqual(result.returncode, 0 if started else 1)

    def test_url_must_end_with_lower_case_vm(self):
        self.direct(self.http.url("jre.VM"))
        result = self.launch(cwd=self.start)
        self.assertEqual(result.stdout, b"\r\nThe file specified is not a valid VM pack\r\n")
        self.assertEqual(result.stderr, NO_VM)

    def test_missing_pack_gives_the_status(self):
        self.direct(self.http.url("missing.vm"))
        result = self.launch(cwd=self.start)
        self.assertEqual(result.stdout, b"\r\nDownloading VM Pack - Please Wait!!!\r\n"
                                        b"\r\nCould not connect to the specified URL\r\n"
                                        b"HTTP Status code: 404\r\n")
        self.assertFalse(os.path.exists(os.path.join(self.start, "Windows", "jvmspecsmissing.vm")))

    def test_broken_off_download_leaves_no_file(self):
        self.direct(self.http.url("truncated/pack.vm"))
        result = self.launch(cwd=self.start)
        self.assertTrue(result.stdout.endswith(b"\r\nAttempt to download VM failed"), result.stdout)
        self.assertFalse(os.path.exists(os.path.join(self.start, "Windows", "jvmspecspack.vm")))
        self.assertEqual(result.stderr, NO_VM)

    def test_damaged_pack_is_reported_and_deleted(self):
        data = bytearray(vm_pack())
        data[len(data) // 2] ^= 0xFF
        self.publish(bytes(data))
        self.direct(self.http.url(self.pack_name))
        result = self.launch(cwd=self.start)
        self.assertTrue(result.stdout.endswith(
            b"\r\nCould not extract the downloaded VM pack. Installer exiting..."), result.stdout)
        self.assertFalse(os.path.exists(self.stored_pack()))

    def test_pack_with_a_damaged_central_directory_keeps_the_earlier_vm(self):
        earlier = vm_pack([("bin/java.exe", standin_bytes())] +
                          [("lib/f%02d.txt" % i, b"earlier") for i in range(10)])
        self.publish(earlier)
        self.direct(self.http.url(self.pack_name), hashlib.md5(earlier).hexdigest())
        self.assertIn(b"Extracted the JVM pack successfully!!", self.launch(cwd=self.start).stdout)

        def vm_files():
            found = {}
            for folder, _, files in os.walk(self.target()):
                for name in files:
                    with open(os.path.join(folder, name), "rb") as f:
                        found[os.path.relpath(os.path.join(folder, name), self.target())] = f.read()
            return found
        installed = vm_files()
        # 41 entries, the record of the 21st broken: the damage was made with the pack, so the
        # configured checksum matches it.
        inner = damage_central_record(zip_bytes(
            [("bin/java.exe", standin_bytes())] +
            [("lib/f%02d.txt" % i, b"new") for i in range(40)]), 20)
        damaged = zip_bytes([("vm.zip", inner), ("vm.properties", b"vendor=test\n")])
        self.publish(damaged)
        self.direct(self.http.url(self.pack_name), hashlib.md5(damaged).hexdigest())
        trace = os.path.join(self.root, "trace.txt")
        result = self.launch(cwd=self.start, env={"KIV_TRACE": windows_path(trace)})
        self.assertTrue(result.stdout.endswith(
            b"\r\nCould not extract the downloaded VM pack. Installer exiting..."), result.stdout)
        self.assertEqual((result.returncode, result.stderr), (1, NO_VM))
        self.assertEqual(len(self.records()), 1, "only the first launch started a VM")
        with open(trace, encoding="utf-8") as f:
            self.assertIn("entry 20 of 41 cannot be read", f.read())
        self.assertEqual(vm_files(), installed)
        self.assertEqual(sorted(os.listdir(os.path.dirname(self.target()))), ["jre"])
        # The earlier VM still runs.
        self.build_options(**{"build.option": "withvm", "build.with.vm.search.option": "21"})
        self.assertEqual(self.launch(cwd=self.start).stderr, b"")
        self.assertEqual(self.records()[-1]["program"].lower(),
                         windows_path(self.target("bin", "java.exe")).lower())

    def test_ftp_pack_with_escaped_name(self):
        ftp = FtpServer(self.webroot)
        if not ftp.available:
            self.skipTest("port 21 on 127.0.0.1 is taken or pyftpdlib is missing")
        try:
            self.publish(vm_pack(), "ftp pack.vm")
            self.direct("ftp://someone@127.0.0.1:2121/ftp%20pack.vm")
            result = self.launch(cwd=self.start)
            self.assertEqual(result.stderr, b"")
            self.assertIn(b"Extracted the JVM pack successfully!!", result.stdout)
            self.assertTrue(os.path.exists(os.path.join(self.start, "Windows", "jvmspecsftp%20pack.vm")))
            self.assertEqual(len(self.records()), 1)
        finally:
            ftp.stop()


def folder_contents(folder):
    """Every file below the folder, by its path relative to it, with its bytes."""
    found = {}
    for parent, _, files in os.walk(folder):
        for name in files:
            with open(os.path.join(parent, name), "rb") as f:
                found[os.path.relpath(os.path.join(parent, name), folder)] = f.read()
    return found


class PackFolders(PackLayout):
    def reset(self, resource=True):
        shutil.rmtree(os.path.join(self.start, "Windows"))
        os.makedirs(os.path.join(self.start, "Windows", "jvmspecs"))
        if resource:
            os.makedirs(os.path.join(self.start, "Windows", "resource"))

    def test_a_link_at_a_pack_folder_loses_only_the_link(self):
        data = vm_pack()
        self.publish(data)
        self.direct(self.http.url(self.pack_name), hashlib.md5(data).hexdigest())
        lacking = []
        # (the folder that is a link, whether the folder it points to holds a VM)
        for linked, holds_vm in ((self.target(), True), (self.target() + ".new", False),
                                 (self.target() + ".old", False),
                                 (os.path.join(self.start, "Windows", "downloadIntermediary"),
                                  False)):
            name = os.path.basename(linked)
            with self.subTest(link=name):
                self.reset()
                outside = os.path.join(self.root, "outside " + name)
                os.makedirs(outside)
                with open(os.path.join(outside, "marker.txt"), "wb") as f:
                    f.write(b"the user's")
                if holds_vm:
                    self.install_vm(outside)
                before = folder_contents(outside)
                os.symlink(outside, linked)
                trace = os.path.join(self.root, name + "-trace.txt")
                result = self.launch(cwd=self.start, env={"KIV_TRACE": windows_path(trace)})
                self.assertEqual(folder_contents(outside), before)
                with open(trace, encoding="utf-8") as f:
                    text = f.read().lower()
                if (os.path.islink(linked) and os.path.realpath(linked) == outside and
                        result.returncode == 1 and result.stdout.endswith(
                            b"Could not extract the downloaded VM pack. Installer exiting...") and
                        ("link %s not removed: error 145" % windows_path(linked).lower()) in text):
                    lacking.append(name)
                    continue
                self.assertEqual((result.returncode, result.stderr), (0, b""))
                self.assertIn("link %s removed" % windows_path(linked).lower(), text)
                if linked != self.target():
                    self.assertFalse(os.path.lexists(linked))
                self.assertFalse(os.path.islink(self.target()))
                self.assertEqual(folder_contents(self.target()),
                                 {os.path.join("bin", "java.exe"): standin_bytes(),
                                  os.path.join("lib", "rt.jar"): b"jar"})
                self.assertEqual(self.records()[-1]["program"].lower(),
                                 windows_path(self.target("bin", "java.exe")).lower())
        if lacking:
            expected_failure_where_wine_lacks(
                self, "RemoveDirectoryW on a Unix symbolic link",
                "error 145 (it looks into the folder linked to), the link left at " +
                ", ".join(lacking))

    def test_a_link_on_the_way_to_the_lock_file_is_never_followed(self):
        data = vm_pack()
        self.publish(data)
        self.direct(self.http.url(self.pack_name), hashlib.md5(data).hexdigest())
        self.reset(resource=False)
        outside = os.path.join(self.root, "outside")
        os.makedirs(outside)
        with open(os.path.join(outside, "jre.lock"), "wb") as f:
            f.write(b"the user's")
        os.symlink(outside, os.path.join(self.start, "Windows", "resource"))
        trace = os.path.join(self.root, "trace.txt")
        result = self.launch(cwd=self.start, env={"KIV_TRACE": windows_path(trace)})
        # The user's file at the lock's name is neither opened as the lock nor deleted with it.
        with open(os.path.join(outside, "jre.lock"), "rb") as f:
            self.assertEqual(f.read(), b"the user's")
        with open(trace, encoding="utf-8") as f:
            self.assertIn("jre.lock: a link, not used", f.read())
        self.assertEqual((result.returncode, result.stderr), (0, b""))

    def test_two_launches_install_one_pack_one_at_a_time(self):
        data = vm_pack()
        damaged = bytearray(data)
        damaged[len(data) // 2] ^= 0xFF
        # (what the first launch downloads, its exit code, how many downloads there are)
        for first_gets, first_code, downloads in ((data, 0, 1), (bytes(damaged), 1, 2)):
            with self.subTest(first_download_whole=first_code == 0):
                self.reset(resource=False)
                name = self.publish(data, "held%d.vm" % downloads)
                self.publish(first_gets, name + ".first")
                self.http.server.held.clear()
                self.http.server.release.clear()
                self.direct(self.http.url("held/" + name), hashlib.md5(data).hexdigest())
                traces = [os.path.join(self.root, "%s-%d.txt" % (name, i)) for i in (1, 2)]
                records = [os.path.join(self.root, "%s-record-%d.txt" % (name, i)) for i in (1, 2)]
                launches = []
                try:
                    for trace, record in zip(traces, records):
                        launches.append(start_wine(self.exe, cwd=self.start, env={
                            "KIV_TRACE": windows_path(trace),
                            "KIV_STANDIN_RECORD": windows_path(record)}))
                        if len(launches) == 1:
                            wait_until(self.http.server.held.is_set, "the first download began")

                    def waiting():
                        if not os.path.exists(traces[1]):
                            return False
                        with open(traces[1], encoding="utf-8") as f:
                            return "held by another launch: waiting" in f.read()
                    wait_until(waiting, "the second launch waits")
                    self.http.server.release.set()
                    for launch in launches:
                        launch.communicate(timeout=scaled(60))
                finally:
                    self.http.server.release.set()
                    for launch in launches:
                        if launch.poll() is None:
                            launch.kill()
                            launch.wait()
                self.assertEqual([launch.returncode for launch in launches], [first_code, 0])
                self.assertEqual(self.http.server.served.get("/held/" + name), downloads)
                self.assertEqual(folder_contents(self.target()),
                                 {os.path.join("bin", "java.exe"): standin_bytes(),
                                  os.path.join("lib", "rt.jar"): b"jar"})
                self.assertEqual(os.listdir(os.path.dirname(self.target())), ["jre"])
                started = [r["program"].lower() for path in records if os.path.exists(path)
                           for r in read_record(path)]
                self.assertEqual(started, [windows_path(self.target("bin", "java.exe")).lower()] *
                                 (3 - downloads))


def with_central_records(archive, order):
    """The archive with its central directory made of its records in `order` (record indexes,
    any left out or named twice); the local headers and data stay where they are."""
    start = archive.index(b"PK\x01\x02")
    end = archive.rindex(b"PK\x05\x06")
    records, at = [], start
    while at < end:
        length = 46 + sum(struct.unpack_from("<HHH", archive, at + 28))
        records.append(archive[at:at + length])
        at += length
    kept = b"".join(records[i] for i in order)
    tail = bytearray(archive[end:])
    struct.pack_into("<HHI", tail, 8, len(order), len(order), len(kept))
    return archive[:start] + kept + bytes(tail)


def flip_crc(archive, index):
    """The archive with the check value in entry `index`'s local header wrong."""
    data = bytearray(archive)
    data[zipfile.ZipFile(io.BytesIO(archive)).infolist()[index].header_offset + 14] ^= 0xFF
    return bytes(data)


def with_data_descriptors(members):
    """A deflated archive written as a stream, as Java writes them: each entry's sizes and check
    value follow its data instead of leading it."""
    class Stream(io.RawIOBase):
        def __init__(self):
            self.data = bytearray()

        def writable(self):
            return True

        def write(self, b):
            self.data += b
            return len(b)

    out = Stream()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in members:
            with z.open(name, "w") as f:
                f.write(data)
    return bytes(out.data)


class WrittenAsItArrives(PackLayout):
    """The entries of a stored vm.zip are written beside the VM folder as the pack arrives; the
    server holds the pack's end back until the test has seen them there. The download reads 1 MB
    at a time: a last member of 3 MB lets the first ones through before the pause."""
    EARLY = ["bin/java.exe", "lib/a.txt", "lib/b/c.txt"]
    TAIL = os.urandom(3 << 20)

    def members(self):
        return [("bin/java.exe", standin_bytes()), ("lib/a.txt", b"a" * 5000),
                ("lib/b/c.txt", b"c" * 3000), ("lib/tail.bin", self.TAIL)]

    def resource(self, *parts):
        return os.path.join(self.start, "Windows", "resource", *parts)

    def launch_paused(self, inner, ready, checksum=None, breaking=None, pause_in_inner=None):
        """Launches with a pack of `inner` served up to the inner central directory, waits until
        `ready` holds in the fresh VM folder and nothing is in place yet, then lets the rest
        come; with `breaking`, the connection breaks there instead, and the server answers the
        next request as packservers' `break_at_pause` says. `pause_in_inner` pauses at that byte
        of `inner` instead."""
        pack = stored_pack(inner)
        name = self.publish(pack)
        directory = struct.unpack_from("<I", inner, inner.rindex(b"PK\x05\x06") + 16)[0]
        self.http.server.pause_at = pack.index(inner) + (pause_in_inner or directory)
        self.http.server.break_at_pause = breaking
        self.http.server.served.clear()
        self.http.server.held.clear()
        self.http.server.release.clear()
        self.direct(self.http.url("paused/" + name), checksum or hashlib.md5(pack).hexdigest())
        trace = os.path.join(self.root, "trace.txt")
        if os.path.exists(trace):
            os.remove(trace)
        launcher = start_wine(self.exe, cwd=self.start, env={
            "KIV_TRACE": windows_path(trace), "KIV_STANDIN_RECORD": windows_path(self.record)})
        try:
            ready()
            self.assertFalse(os.path.exists(self.target()), "nothing in place before the end")
            self.http.server.release.set()
            launcher.communicate(timeout=scaled(60))
        finally:
            self.http.server.release.set()
            if launcher.poll() is None:
                launcher.kill()
                launcher.communicate()
        with open(trace, encoding="utf-8") as f:
            return launcher.returncode, f.read()

    def written(self, *names):
        """Waits until the files `names` are in the fresh VM folder."""
        wait_until(lambda: all(os.path.exists(self.resource("jre.new", n)) for n in names),
                   "the entries are written as they arrive")

    def assert_installed(self, code, trace, early, again):
        """Installed and started; at least `early` entries were written as the pack arrived, and
        all of them `again` at the end. The VM has the members' files and folders, no others."""
        self.assertEqual(code, 0, trace)
        written = re.search(r"vm\.zip: (\d+) entries written as the pack arrived", trace)
        self.assertGreaterEqual(int(written.group(1)), early, trace)
        self.assertEqual("written again" in trace, again, trace)
        self.assertEqual(folder_contents(self.target()),
                         {os.path.normpath(n): d for n, d in self.members()})
        self.assertEqual(sorted(os.path.relpath(p, self.target())
                                for p, _, _ in os.walk(self.target())),
                         [".", "bin", "lib", os.path.join("lib", "b")])
        self.assertEqual(os.listdir(self.resource()), ["jre"])
        self.assertEqual(len(self.records()), 1, "the VM started")

    def test_entries_are_written_before_the_pack_has_arrived_whole(self):
        code, trace = self.launch_paused(zip_bytes(self.members()),
                                         lambda: self.written(*self.EARLY))
        self.assert_installed(code, trace, len(self.EARLY), again=False)

    def test_an_entry_named_for_a_device_is_not_written_as_it_arrives(self):
        members = self.members()
        inner = zip_bytes(members[:1] + [("lib/nul.txt", b"device")] + members[1:])
        code, trace = self.launch_paused(inner, lambda: self.written(*self.EARLY))
        self.assert_installed(code, trace, len(self.EARLY), again=False)

    def test_entries_of_a_pack_that_fails_its_checksum_are_all_removed(self):
        code, trace = self.launch_paused(zip_bytes(self.members()),
                                         lambda: self.written(*self.EARLY), checksum="0" * 32)
        self.assertEqual(code, 1, trace)
        self.assertFalse(os.path.exists(self.resource()) and os.listdir(self.resource()))
        self.assertEqual(self.records(), [])

    def test_entries_the_directory_does_not_have_alike_are_written_again(self):
        members, tail = self.members()[:3], self.members()[3:]
        renamed = bytearray(zip_bytes(self.members()))
        renamed[30:30 + len("bin/java.exe")] = b"bin/evil.exe"

        def without(extra, damaged=False):
            """The members with `extra` fourth, before the tail, listed nowhere, and with a
            wrong check value when `damaged`."""
            archive = zip_bytes(members + [extra] + tail)
            return with_central_records(flip_crc(archive, 3) if damaged else archive, (0, 1, 2, 4))

        def replaced():  # bin/java.exe written, then deleted by the damaged second one
            self.written("lib/a.txt")
            wait_until(lambda: not os.path.exists(self.resource("jre.new", "bin", "java.exe")),
                       "the damaged entry of the same path is written")
        # (what differs, the inner archive, what shows it was written early, whether the
        # directory rejects what was written; a damaged entry ends the early writing at once)
        for what, archive, ready, rejected in (
                ("a local name", bytes(renamed), lambda: self.written("bin/evil.exe"), True),
                ("an entry listed nowhere", without(("junk.txt", b"junk")),
                 lambda: self.written("junk.txt"), True),
                ("a folder listed twice, a file not at all",
                 with_central_records(zip_bytes([("lib/", b"")] + members + [("junk.txt", b"junk")]
                                                + tail), (0, 0, 1, 2, 3, 5)),
                 lambda: self.written("junk.txt"), True),
                ("a damaged entry of a path written before",
                 without(("bin/java.exe", b"x" * 100), damaged=True), replaced, False),
                ("a damaged entry listed nowhere in a folder of its own",
                 without(("junk/f.txt", b"f" * 100), damaged=True),
                 lambda: wait_until(lambda: os.path.isdir(self.resource("jre.new", "junk")),
                                    "the damaged entry's folder is made"), False)):
            with self.subTest(what=what):
                shutil.rmtree(self.resource(), ignore_errors=True)
                if os.path.exists(self.record):
                    os.remove(self.record)
                code, trace = self.launch_paused(archive, ready)
                self.assert_installed(code, trace, 0, again=rejected)

    def test_a_download_broken_while_writing_goes_on_or_starts_again(self):
        inner = zip_bytes(self.members())
        # Sent whole after the break: a pack without lib/a.txt, which was written from the first.
        other = [m for m in self.members() if m[0] != "lib/a.txt"]
        replacement = stored_pack(zip_bytes(other))
        tail = zipfile.ZipFile(io.BytesIO(inner)).infolist()[3].header_offset
        in_tail = tail + 30 + len("lib/tail.bin") + (3 << 19)
        # (the server's answer after the break, where the break comes, the pack it sends then,
        # the VM's files, entries written early at least, the resume's trace)
        for answer, at, sent, files, early, resumed in (
                ("range", None, None, self.members(), len(self.EARLY), ": appended"),
                ("range", in_tail, None, self.members(), len(self.EARLY) + 1, ": appended"),
                ("whole", None, replacement, other, 0, ": replaces what was received")):
            with self.subTest(answer=answer, inside_an_entry=bool(at)):
                shutil.rmtree(self.resource(), ignore_errors=True)
                if os.path.exists(self.record):
                    os.remove(self.record)
                if sent:
                    self.publish(sent, self.pack_name + ".next")
                checksum = hashlib.md5(sent or stored_pack(inner)).hexdigest()
                # Broken inside the tail's data, the tail is being written by then.
                arrived = self.EARLY + (["lib/tail.bin"] if at else [])
                code, trace = self.launch_paused(inner, lambda: self.written(*arrived), checksum,
                                                 breaking=answer, pause_in_inner=at)
                self.assertEqual(code, 0, trace)
                self.assertIn(resumed, trace)
                written = re.search(r"vm\.zip: (\d+) entries written as the pack arrived", trace)
                self.assertGreaterEqual(int(written.group(1)), early, trace)
                self.assertEqual(early == 0, written.group(1) == "0", trace)
                self.assertEqual(folder_contents(self.target()),
                                 {os.path.normpath(n): d for n, d in files})
                self.assertEqual(os.listdir(self.resource()), ["jre"])
                self.assertEqual(len(self.records()), 1, "the VM started")

    def test_an_entry_inflating_far_beyond_what_arrived_ends_the_early_writing(self):
        # 128 MB that deflate about 50 to 1: more than sixteen times what arrived and 64 MB
        # besides, which no entry may be written to before the checksums have passed.
        bomb = bytearray(128 << 20)
        bomb[::128] = os.urandom(len(bomb) // 128)
        inner = zip_bytes([("bin/java.exe", standin_bytes()), ("lib/zeros.bin", bytes(bomb))])
        header = zipfile.ZipFile(io.BytesIO(inner)).infolist()[1].header_offset
        data_at = header + 30 + sum(struct.unpack_from("<HH", inner, header + 26))
        path = self.resource("jre.new", "lib", "zeros.bin")
        # Paused 1.5 MB into its data, which the bound lets through: the entry is being written.
        code, trace = self.launch_paused(inner, lambda: wait_until(
            lambda: os.path.exists(path) and os.path.getsize(path) > 0,
            "the entry is being written"), pause_in_inner=data_at + (3 << 19))
        self.assertEqual(code, 0, trace)
        self.assertIn("vm.zip: 0 entries written as the pack arrived", trace)
        self.assertIn("jre.new: 2 extracted", trace)
        self.assertEqual(os.path.getsize(os.path.join(self.target(), "lib", "zeros.bin")),
                         len(bomb))
        self.assertEqual(os.listdir(self.resource()), ["jre"])
        self.assertEqual(len(self.records()), 1, "the VM started")

    def test_entries_with_data_descriptors_are_written_at_the_end(self):
        pack = stored_pack(with_data_descriptors(self.members()))
        self.publish(pack)
        self.direct(self.http.url(self.pack_name), hashlib.md5(pack).hexdigest())
        trace = os.path.join(self.root, "trace.txt")
        result = self.launch(cwd=self.start, env={"KIV_TRACE": windows_path(trace)})
        with open(trace, encoding="utf-8") as f:
            text = f.read()
        self.assert_installed(result.returncode, text, 0, again=False)
        self.assertIn("vm.zip: 0 entries written as the pack arrived", text)

    def test_a_launch_killed_while_writing_leaves_nothing_the_next_one_installs(self):
        inner = zip_bytes(self.members())
        launched = []

        def killed():
            self.written(*self.EARLY)
            launched.append(True)
            raise KeyboardInterrupt  # ends launch_paused, which kills the launcher
        with self.assertRaises(KeyboardInterrupt):
            self.launch_paused(inner, killed)
        self.assertTrue(launched)
        with open(self.resource("jre.new", "stale.txt"), "wb") as f:
            f.write(b"left by the killed launch")
        pack = stored_pack(inner)
        self.direct(self.http.url(self.publish(pack)), hashlib.md5(pack).hexdigest())
        trace = os.path.join(self.root, "trace.txt")
        result = self.launch(cwd=self.start, env={"KIV_TRACE": windows_path(trace)})
        with open(trace, encoding="utf-8") as f:
            self.assert_installed(result.returncode, f.read(), 0, again=False)


class ShippedVm(PackLayout):
    def test_with_vm_takes_the_shipped_vm(self):
        shipped = self.install_vm(self.target(), folder="bin")
        self.build_options(**{"build.option": "withvm", "build.with.vm.search.option": "21"})
        self.launch(cwd=self.start)
        self.assertEqual([r["program"].lower() for r in self.records()],
                         [windows_path(shipped).lower()])

    def test_unknown_option_gives_no_vm(self):
        self.build_options(**{"build.option": "WithVM"})
        self.assertEqual(self.launch(cwd=self.start).stderr, NO_VM)


class Extraction(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="kiv-extract-", dir=os.path.join(BUILD))
        self.base = os.path.join(self.root, "base")
        self.target = os.path.join(self.base, "target")
        os.makedirs(self.target)
        self.pack = os.path.join(self.base, "pack.vm")

    def tearDown(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def extract(self):
        """Runs the extraction with the trace on standard error."""
        return run_wine(TOOL, ["extract", windows_path(self.pack), windows_path(self.target) + "\\"],
                        env={"KIV_TRACE": "1"})

    def write_pack(self, data):
        with open(self.pack, "wb") as f:
            f.write(data)

    def test_hostile_names_never_leave_the_base_folder(self):
        members = [(name, b"hostile") for name in HOSTILE]
        # A name with nothing left inside the folder is skipped, and the trace says so.
        self.write_pack(vm_pack(members + [("..", b"nothing"), ("bin/java.exe", b"x")],
                                extra_members=members))
        result = self.extract()
        self.assertEqual(result.returncode, 0)
        self.assertIn(b"entry 5 skipped: its name leaves nothing inside", result.stderr)
        self.assertIn(b"6 extracted, 1 skipped for their names", result.stderr)
        everything = []
        for folder, _, files in os.walk(self.root):
            everything += [os.path.join(folder, f) for f in files]
        for path in everything:
            self.assertTrue(path.startswith(self.base + os.sep), path)
        for name in ("evil.txt", "evil2.txt", "evil3.txt", "x4", "x5"):
            self.assertTrue(os.path.exists(os.path.join(self.target, name)), name)
            self.assertTrue(os.path.exists(os.path.join(self.base, "downloadIntermediary", name)))

    def test_entries_named_for_devices_are_never_written(self):
        # Windows opens a device for these names in any folder: a console, a serial port, a
        # printer.
        devices = ["con", "lib/NUL", "lib/aux.txt", "COM1", "lib/lpt9.log", "prn.x", "conin$"]
        members = [("bin/java.exe", standin_bytes()), *[(n, b"device") for n in devices],
                   ("lib/ok.txt", b"ok")]
        self.write_pack(stored_pack(zip_bytes(members)))
        result = self.extract()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(b"2 extracted, %d skipped for their names" % len(devices), result.stderr)
        self.assertEqual(folder_contents(self.target),
                         {os.path.join("bin", "java.exe"): standin_bytes(),
                          os.path.join("lib", "ok.txt"): b"ok"})

    def test_the_last_entry_of_a_path_is_the_file_installed(self):
        # The earlier entry is the largest, so that it is written first and longest: a writer of
        # the later entry beside it would race it for the file.
        early = os.urandom(24 << 20)
        for row, later_name in (("exact", "bin/dup.bin"), ("case", "BIN/Dup.BIN")):
            with self.subTest(row=row):
                self.write_pack(vm_pack([("bin/dup.bin", early), ("bin/java.exe", b"x"),
                                         *[("lib/f%d" % n, b"f") for n in range(20)],
                                         (later_name, b"later")]))
                result = self.extract()
                self.assertEqual(result.returncode, 0, result.stderr[-2000:])
                folder = os.path.join(self.target, "bin")
                copies = [n for n in os.listdir(folder) if n.lower() == "dup.bin"]
                self.assertEqual(len(copies), 1, copies)
                with open(os.path.join(folder, copies[0]), "rb") as f:
                    self.assertEqual(f.read(), b"later")

    def test_extended_timestamp_sets_the_modification_time(self):
        info = zipfile.ZipInfo("bin/java.exe", date_time=(2001, 2, 3, 4, 5, 6))
        info.extra = b"UT" + struct.pack("<HBi", 5, 1, 1234567890)
        plain = zipfile.ZipInfo("bin/other.txt", date_time=(2001, 2, 3, 4, 5, 6))
        self.write_pack(vm_pack([(info, b"program"), (plain, b"text")]))
        self.assertEqual(self.extract().returncode, 0)
        self.assertEqual(int(os.path.getmtime(os.path.join(self.target, "bin", "java.exe"))),
                         1234567890)
        # Without the block the DOS time, read as local time, is used.
        other = os.path.getmtime(os.path.join(self.target, "bin", "other.txt"))
        self.assertLess(abs(other - 981173106), 15 * 3600)

    def test_a_second_extraction_replaces_the_vm_whole(self):
        info = zipfile.ZipInfo("bin/locked.txt")
        info.create_system = 0
        info.external_attr = 0x21
        self.write_pack(vm_pack([(info, b"first"), ("bin/java.exe", b"x"), ("lib/old.jar", b"o")]))
        self.assertEqual(self.extract().returncode, 0)
        locked = os.path.join(self.target, "bin", "locked.txt")
        self.assertTrue(is_read_only(locked), "created read-only")
        self.write_pack(vm_pack([(info, b"second"), ("bin/java.exe", b"y")]))
        self.assertEqual(self.extract().returncode, 0)
        # Read-only files included: nothing of the earlier VM is left beside the new one.
        for name, content in (("java.exe", b"y"), ("locked.txt", b"second")):
            with open(os.path.join(self.target, "bin", name), "rb") as f:
                self.assertEqual(f.read(), content)
        self.assertTrue(is_read_only(locked))
        self.assertFalse(os.path.exists(os.path.join(self.target, "lib")))
        self.assertEqual(sorted(os.listdir(self.base)), ["pack.vm", "target"])

    def test_a_failed_extraction_leaves_the_earlier_vm_whole(self):
        self.write_pack(vm_pack([("bin/java.exe", b"earlier"), ("lib/a.txt", b"earlier")]))
        self.assertEqual(self.extract().returncode, 0)
        members = [("bin/java.exe", b"new"), ("lib/a.txt", b"new"), ("lib/b.bin", os.urandom(50000))]
        data_damaged = bytearray(zip_bytes(members))
        data_damaged[data_damaged.index(b"lib/b.bin") + 200] ^= 0xFF
        # (what is damaged, the inner archive, what the trace says)
        for damage, inner, why in (
                ("central directory", damage_central_record(zip_bytes(members), 1),
                 b"entry 1 of 3 cannot be read"),
                ("entry data", bytes(data_damaged), b"entry 2 of 3 is damaged")):
            with self.subTest(damage=damage):
                self.write_pack(zip_bytes([("vm.zip", inner)]))
                result = self.extract()
                self.assertEqual(result.returncode, 1)
                self.assertIn(why, result.stderr)
                for name in ("bin/java.exe", "lib/a.txt"):
                    with open(os.path.join(self.target, name), "rb") as f:
                        self.assertEqual(f.read(), b"earlier")
                self.assertEqual(sorted(os.listdir(os.path.join(self.target, "lib"))), ["a.txt"])
                self.assertEqual(sorted(os.listdir(self.base)),
                                 ["downloadIntermediary", "pack.vm", "target"])

    def test_a_vm_zip_left_in_the_scratch_folder_is_never_used(self):
        scratch = os.path.join(self.base, "downloadIntermediary")
        os.makedirs(scratch)
        with open(os.path.join(scratch, "vm.zip"), "wb") as f:
            f.write(zip_bytes([("bin/java.exe", b"stale")]))
        self.write_pack(zip_bytes([("readme.txt", b"no vm here")]))
        self.assertEqual(self.extract().returncode, 1)
        self.assertFalse(os.path.exists(os.path.join(self.target, "bin")))
        self.assertEqual(sorted(os.listdir(scratch)), ["readme.txt"])

    def test_damaged_entry_fails_and_leaves_no_partial_file(self):
        inner = bytearray(zip_bytes([("bin/java.exe", os.urandom(50000))]))
        inner[200] ^= 0xFF
        self.write_pack(zip_bytes([("vm.zip", bytes(inner))]))
        self.assertEqual(self.extract().returncode, 1)
        self.assertFalse(os.path.exists(os.path.join(self.target, "bin", "java.exe")))

    def assert_nothing_installed(self, scratch=("vm.properties",)):
        """The target is as it was (empty), no half VM beside it, and the scratch folder holds
        only the pack's other members: every file written was closed and deleted."""
        self.assertEqual(sorted(os.listdir(self.base)), ["downloadIntermediary", "pack.vm", "target"])
        self.assertEqual(os.listdir(self.target), [])
        self.assertEqual(sorted(os.listdir(os.path.join(self.base, "downloadIntermediary"))),
                         sorted(scratch))

    def test_a_stored_vm_zip_is_read_in_place_on_several_threads(self):
        members = many_members(60, 3000)
        self.write_pack(stored_pack(zip_bytes(members)))
        result = self.extract()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(b"vm.zip is read where it lies", result.stderr)
        for name, data in members:
            with open(os.path.join(self.target, name), "rb") as f:
                self.assertEqual(f.read(), data, name)
        self.assertEqual(sorted(os.listdir(self.base)), ["pack.vm", "target"])

    def test_a_damaged_entry_late_among_many_installs_nothing(self):
        inner = bytearray(zip_bytes(many_members(150, 4000)))
        late = zipfile.ZipFile(io.BytesIO(bytes(inner))).infolist()[140]
        inner[late.header_offset + 30 + len(late.filename) + 2000] ^= 0xFF
        self.write_pack(stored_pack(bytes(inner)))
        result = self.extract()
        self.assertEqual(result.returncode, 1)
        self.assertIn(b"entry 140 of 150 is damaged", result.stderr)
        self.assert_nothing_installed()

    def test_an_inner_archive_read_in_place_is_confined_to_its_member(self):
        members = [("bin/java.exe", b"inner"), ("lib/a.txt", b"a"), ("lib/b.txt", b"b")]
        inner = zip_bytes(members)
        # A local header the central directory of the inner archive points to, lying after the
        # inner archive in the pack.
        outside = zip_bytes([("bin/java.exe", b"evil!")])
        outside_header = outside[:outside.index(b"PK\x01\x02")]

        def pointing_outside(distance):
            directory = outside[outside.index(b"PK\x01\x02"):]
            record = bytearray(directory[:directory.index(b"PK\x05\x06")])
            record[42:46] = struct.pack("<I", distance)
            end = bytearray(directory[len(record):])
            end[16:20] = struct.pack("<I", 0)
            return bytes(record + end)

        probe = stored_pack(pointing_outside(0), ("more.bin", outside_header))
        distance = probe.index(outside_header) - probe.index(pointing_outside(0))
        # (what is wrong with the inner archive, the pack)
        more = ("more.bin", outside_header)
        for wrong, pack in (
                ("cut before its end record", stored_pack(inner[:-22], more)),
                ("damaged central directory", stored_pack(damage_central_record(inner, 1), more)),
                ("entry outside its window", stored_pack(pointing_outside(distance), more))):
            with self.subTest(wrong=wrong):
                self.write_pack(pack)
                result = self.extract()
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn(b"vm.zip is read where it lies", result.stderr)
                self.assert_nothing_installed(("vm.properties", "more.bin"))

    def test_a_full_disk_while_the_threads_write_installs_nothing(self):
        # A file-size limit makes the writes of the large entries fail as a full disk does.
        def limit_file_size():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (1 << 20, 1 << 20))

        members = many_members(40, 3000) + [("lib/large.bin", os.urandom(3 << 20)),
                                            ("lib/larger.bin", os.urandom(4 << 20))]
        self.write_pack(stored_pack(zip_bytes(members)))
        ensure_prefix()
        result = subprocess.run(
            [WINE64, TOOL, "extract", windows_path(self.pack), windows_path(self.target) + "\\"],
            env=wine_env({"KIV_TRACE": "1"}), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE, preexec_fn=limit_file_size, timeout=scaled(60))
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn(b"cannot be written: the extraction into", result.stderr)
        self.assert_nothing_installed()

    def test_pack_without_vm_zip_fails_and_keeps_the_scratch_folder(self):
        self.write_pack(zip_bytes([("readme.txt", b"no vm here")]))
        self.assertEqual(self.extract().returncode, 1)
        self.assertTrue(os.path.exists(os.path.join(self.base, "downloadIntermediary", "readme.txt")))


class Checksum(unittest.TestCase):
    def digest_of(self, content):
        folder = tempfile.mkdtemp(prefix="kiv-md5-", dir=BUILD)
        try:
            path = os.path.join(folder, "f.bin")
            if content is not None:
                with open(path, "wb") as f:
                    f.write(content)
            return run_wine(TOOL, ["md5", windows_path(path)]).stdout, windows_path(path)
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    def test_rfc_1321_digests_in_lower_case(self):
        self.assertEqual(self.digest_of(b"")[0], b"\r\ndigest=d41d8cd98f00b204e9800998ecf8427e\r\n")
        self.assertEqual(self.digest_of(b"abc")[0], b"\r\ndigest=900150983cd24fb0d6963f7d28e17f72\r\n")
        big = os.urandom(1025)
        self.assertIn(hashlib.md5(big).hexdigest().encode(), self.digest_of(big)[0])

    def test_missing_file_names_the_path_and_error_2(self):
        output, path = self.digest_of(None)
        self.assertEqual(output, ("Error opening file %s\r\nError: 2\r\ndigest=\r\n" % path).encode())



class SpecificationFiles(PackLayout):
    def test_search_through_a_specification_file_and_verify(self):
        home = os.path.join(self.root, "Runtime 8")
        javaw = self.install_vm(home, names=("javaw.exe", "java.exe"))
        with open(os.path.join(home, "bin", "verify-output.txt"), "w") as f:
            f.write("Verify 1.0\nOracle Corporation\n1.8.0_151\n")
        specs = os.path.join(self.app, "jvmspecs")
        with open(os.path.join(specs, "Verify.jar"), "wb") as f:
            f.write(b"PK")
        # A drive-relative path hint: the home below the root of drive Z:.
        hint = windows_path(home)[3:]
        with open(os.path.join(specs, "runtime.spec"), "w", newline="\r\n") as f:
            f.write("JVM_EXE: bin\\javaw.exe\nJVM_PROPERTIES\njava.vendor=Oracle...\n"
                    "java.version=1.8*\n/:\nPATH_HINT:\n%s\n/:\n" % hint)
        self.build_options(**{"build.option": "withoutvm", "build.without.vm.search.option": "10",
                              "build.jvmspec.applicable": "true", "build.jvmspec.total.num": "1",
                              "build.jvmspec.0": "runtime.spec"})
        # The probe's time limit stretched as the tests' are: a loaded machine may miss 5 s.
        self.kiv(minimal_properties(**{"kiv.nl.verify.timeout": str(int(scaled(5)))}))
        result = self.launch(cwd=self.start)
        self.assertEqual(result.stderr, b"")
        verify, application = self.records()
        self.assertEqual(verify["program"], windows_path(javaw))
        self.assertTrue(verify["commandline"].endswith(" Verify java.vendor java.version"))
        self.assertIn("com.example.Main", application["commandline"])

    def test_missing_specification_file_is_reported(self):
        self.build_options(**{"build.option": "withoutvm", "build.jvmspec.applicable": "true",
                              "build.jvmspec.total.num": "1", "build.jvmspec.0": "missing.spec"})
        result = self.launch(cwd=self.start)
        self.assertEqual(result.returncode, 1)
        self.assertIn(b"an unknown exception has occurrred.", result.stderr)


if __name__ == "__main__":
    unittest.main()
