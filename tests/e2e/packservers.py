"""Real servers on 127.0.0.1 for the VM pack tests: an HTTP server with a few special paths,
and Debian's pyftpdlib on port 21 (anonymous, read-only)."""
import email.utils
import hashlib
import http.server
import os
import socket
import subprocess
import threading
import time

from kivtest import scaled


class _Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        self.server.requests.append(self.path)

    def do_GET(self):
        self.server.headers.append(dict(self.headers))
        for prefix in ("/flaky/", "/norange/", "/wholerange/"):
            if self.path.startswith(prefix):
                return self.send_flaky(self.path[len(prefix):], prefix)
        for prefix, validator in (("/changing-etag/", "ETag"), ("/changing-date/", "Last-Modified"),
                                  ("/ignoring-etag/", "ETag"), ("/ignoring-date/", "Last-Modified"),
                                  ("/weak-etag/", "ETag")):
            if self.path.startswith(prefix):
                return self.send_changing(self.path[len(prefix):], validator, prefix)
        if self.path.startswith("/slow/"):
            return self.send_slowly(self.path[len("/slow/"):])
        if self.path.startswith("/held/"):
            return self.send_held(self.path[len("/held/"):])
        if self.path.startswith("/paused/"):
            return self.send_paused(self.path[len("/paused/"):])
        if self.path.startswith("/truncated/"):
            # Announces more bytes than it sends, then drops the connection.
            body = b"PK\x03\x04" + b"x" * 5000
            self.send_response(200)
            self.send_header("Content-Length", str(len(body) * 4))
            self.end_headers()
            self.wfile.write(body)
            self.wfile.flush()
            self.close_connection = True
            return
        super().do_GET()


    def count_request(self):
        """How many requests of this path came before this one."""
        before = self.server.served.get(self.path, 0)
        self.server.served[self.path] = before + 1
        return before

    def send_body(self, status, data, start, first, headers=()):
        """Sends data from `start` on; a first request gets half of it (with the whole length
        announced) and a dropped connection."""
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(data) - start))
        self.end_headers()
        self.wfile.write(data[start:start + len(data) // 2] if first else data[start:])
        self.wfile.flush()
        self.close_connection = True

    def send_flaky(self, name, prefix):
        """The first request of a file breaks off halfway; later ones get what their Range header
        asks for ("/flaky/"), the whole file again as 200 ("/norange/"), or the whole file as a
        206 range from 0 to its end ("/wholerange/"). The server's `on_resume`, when set, is
        called before a later request is answered."""
        with open(os.path.join(self.directory, name), "rb") as f:
            data = f.read()
        first = self.count_request() == 0
        wanted = self.headers.get("Range", "")
        if not first and self.server.on_resume:
            self.server.on_resume()
        if first or not wanted.startswith("bytes=") or prefix == "/norange/":
            return self.send_body(200, data, 0, first)
        start = int(wanted[len("bytes="):].rstrip("-")) if prefix == "/flaky/" else 0
        self.send_body(206, data, start, first,
                       [("Content-Range", "bytes %d-%d/%d" % (start, len(data) - 1, len(data)))])

    def send_held(self, name):
        """Holds the first request of NAME until the test sets `release` (`held` is set while it
        waits) and answers it with NAME.first when there is one; later requests get NAME at
        once."""
        if self.count_request() == 0:
            self.server.held.set()
            self.server.release.wait(scaled(120))
            if os.path.exists(os.path.join(self.directory, name + ".first")):
                name += ".first"
        with open(os.path.join(self.directory, name), "rb") as f:
            self.send_body(200, f.read(), 0, False)

    def send_paused(self, name):
        """Sends NAME up to the server's `pause_at` bytes, sets `held`, and sends the rest once the
        test sets `release`. With the server's `break_at_pause` set, the connection breaks there
        instead, and the requests after it get NAME.next (else NAME): from the byte their Range
        header asks for when `break_at_pause` is "range", else whole as 200."""
        if self.server.break_at_pause and self.count_request() > 0:
            return self.send_after_break(name)
        with open(os.path.join(self.directory, name), "rb") as f:
            data = f.read()
        self.send_response(200)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        try:
            self.wfile.write(data[:self.server.pause_at])
            self.wfile.flush()
            self.server.held.set()
            self.server.release.wait(scaled(120))
            if not self.server.break_at_pause:
                self.wfile.write(data[self.server.pause_at:])
        except OSError:
            pass
        self.close_connection = True

    def send_after_break(self, name):
        path = os.path.join(self.directory, name)
        with open(path + ".next" if os.path.exists(path + ".next") else path, "rb") as f:
            data = f.read()
        wanted = self.headers.get("Range", "")
        if self.server.break_at_pause != "range" or not wanted.startswith("bytes="):
            return self.send_body(200, data, 0, False)
        start = int(wanted[len("bytes="):].rstrip("-"))
        self.send_body(206, data, start, False,
                       [("Content-Range", "bytes %d-%d/%d" % (start, len(data) - 1, len(data)))])

    def send_slowly(self, name, rate=512 * 1024, piece=16 * 1024):
        """Sends NAME whole at about RATE bytes a second, slowly enough that a loaded test machine
        reads a window showing it several times; a client that goes away ends it."""
        with open(os.path.join(self.directory, name), "rb") as f:
            data = f.read()
        self.send_response(200)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        try:
            for at in range(0, len(data), piece):
                self.wfile.write(data[at:at + piece])
                time.sleep(piece / rate)
        except OSError:
            pass
        self.close_connection = True

    def send_changing(self, name, validator, prefix):
        """Serves NAME until its first request has broken off halfway, then NAME.next in its place,
        with the validator given: ETag (a digest of the contents) or Last-Modified (a date per
        version). "/changing-…/" honours Range and If-Range as a server should; "/ignoring-…/"
        honours Range whatever If-Range says; "/weak-etag/" sends a weak ETag and the date of
        the first version, and takes If-Range only as that date."""
        version = min(self.count_request(), 1)
        with open(os.path.join(self.directory, name + (".next" if version else "")), "rb") as f:
            data = f.read()
        date = email.utils.formatdate(1700000000, usegmt=True)
        value = ('"%s"' % hashlib.md5(data).hexdigest()[:16] if validator == "ETag"
                 else email.utils.formatdate(1700000000 + version * 3600, usegmt=True))
        headers = [(validator, value)]
        honoured = (None, value)
        if prefix == "/weak-etag/":
            headers = [(validator, "W/" + value), ("Last-Modified", date)]
            honoured = (date,)
        wanted = self.headers.get("Range", "")
        condition = self.headers.get("If-Range")
        if version and wanted.startswith("bytes=") and (
                prefix.startswith("/ignoring-") or condition in honoured):
            start = int(wanted[len("bytes="):].rstrip("-"))
            return self.send_body(206, data, start, False, headers + [
                ("Content-Range", "bytes %d-%d/%d" % (start, len(data) - 1, len(data)))])
        self.send_body(200, data, 0, version == 0, headers)


class HttpServer:
    def __init__(self, root):
        handler = lambda *a, **k: _Handler(*a, directory=root, **k)  # noqa: E731
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.server.requests = []
        self.server.headers = []
        self.server.served = {}
        self.server.on_resume = None
        self.server.held = threading.Event()
        self.server.release = threading.Event()
        self.server.pause_at = 0
        self.server.break_at_pause = None
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    @property
    def requests(self):
        return self.server.requests

    def url(self, path):
        return "http://127.0.0.1:%d/%s" % (self.port, path)

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


def port_free(port):
    with socket.socket() as s:
        try:
            s.bind(("127.0.0.1", port))
            return True
        except OSError:
            return False


class FtpServer:
    """pyftpdlib on 127.0.0.1:21; `available` is False when it cannot be had."""

    def __init__(self, root):
        self.process = None
        self.available = False
        if not port_free(21):
            return
        try:
            self.process = subprocess.Popen(
                ["/usr/bin/python3", "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", "21", "-d", root],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except OSError:
            return
        deadline = time.monotonic() + scaled(30)
        while time.monotonic() < deadline and self.process.poll() is None:
            with socket.socket() as s:
                if s.connect_ex(("127.0.0.1", 21)) == 0:
                    self.available = True
                    return
            time.sleep(0.05)

    def stop(self):
        if self.process:
            self.process.terminate()
            self.process.wait(timeout=10)
