"""A local HTTP server for the pack benchmark that sends each file no faster than a given rate.
  python3 throttled_server.py FOLDER PORT BYTES_PER_SECOND   (0: as fast as it can)"""
import http.server
import os
import sys
import time

folder, port, rate = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
PIECE = 256 * 1024


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        path = os.path.join(folder, os.path.basename(self.path))
        if not os.path.isfile(path):
            self.send_error(404)
            return
        size = os.path.getsize(path)
        self.send_response(200)
        self.send_header("Content-Length", str(size))
        self.end_headers()
        started = time.monotonic()
        sent = 0
        with open(path, "rb") as f:
            while piece := f.read(PIECE):
                self.wfile.write(piece)
                sent += len(piece)
                # Each piece leaves when the rate allows it, whatever the earlier ones took.
                ahead = sent / rate - (time.monotonic() - started) if rate > 0 else 0
                if ahead > 0:
                    time.sleep(ahead)

    def do_HEAD(self):
        self.send_response(200)
        self.end_headers()


http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler).serve_forever()
