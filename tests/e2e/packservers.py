"""Real servers on 127.0.0.1 for the VM pack tests: an HTTP server with a few special paths,
and Debian's pyftpdlib on port 21 (anonymous, read-only)."""
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
        for prefix in ("/flaky/", "/norange/"):
            if self.path.startswith(prefix):
                return self.send_flaky(self.path[len(prefix):], prefix == "/flaky/")
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


    def send_flaky(self, name, honours_range):
        """The first request of a file gets half of it (with the whole length announced) and a
        dropped connection; later ones get what their Range header asks for, or the whole file
        again from a server that ignores ranges."""
        with open(os.path.join(self.directory, name), "rb") as f:
            data = f.read()
        first = self.server.served.get(self.path, 0) == 0
        self.server.served[self.path] = self.server.served.get(self.path, 0) + 1
        start = 0
        wanted = self.headers.get("Range", "")
        if not first and honours_range and wanted.startswith("bytes="):
            start = int(wanted[len("bytes="):].rstrip("-"))
            self.send_response(206)
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, len(data) - 1, len(data)))
        else:
            self.send_response(200)
        self.send_header("Content-Length", str(len(data) - start))
        self.end_headers()
        self.wfile.write(data[start:start + len(data) // 2] if first else data[start:])
        self.wfile.flush()
        self.close_connection = True


class HttpServer:
    def __init__(self, root):
        handler = lambda *a, **k: _Handler(*a, directory=root, **k)  # noqa: E731
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.server.requests = []
        self.server.headers = []
        self.server.served = {}
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
