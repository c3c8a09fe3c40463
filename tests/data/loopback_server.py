#!/usr/bin/python3
"""Loopback HTTP server of the tests. Prints its port on the first line, then serves:
/ok       2000 known bytes
/empty    an empty body
/cut      promises 100000 bytes, sends 1000 and closes
/stall    promises 100 bytes, sends 10 and then nothing for 30 s
/drip     promises 100000 bytes and sends one every 0.2 s (never stalls, never ends in time)
/slow...  promises 100000 bytes and sends one every half second, logging "<path> ended" once the client is gone
/big      20000 bytes with their length announced; /bigstream the same without (sent as it comes)
/tofile   redirects (302) to a file: address
Given a folder and a log file, it serves the files below the folder at any other path ("/stream/<path>" sends the
file <path> without announcing its length: the end of the connection ends it) and appends every request path to
the log; what it does not serve answers 404. Ends when its standard input closes (the test's end)."""
import http.server
import os
import socketserver
import sys
import threading
import time

BODY = bytes((i * 7) % 256 for i in range(2000))
ROOT, LOG = (sys.argv[1], sys.argv[2]) if len(sys.argv) > 2 else (None, os.devnull)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def head(self, status, length):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        if length is None:
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(length))
        self.end_headers()

    def trickle(self, length, pause):
        self.head(200, length)
        try:
            for i in range(length):
                self.wfile.write(BODY[i % 2000:i % 2000 + 1])
                self.wfile.flush()
                time.sleep(pause)
        except OSError:
            pass

    def do_GET(self):
        with open(LOG, "a") as log:
            log.write(self.path + "\n")
        if self.path == "/ok":
            self.head(200, len(BODY))
            self.wfile.write(BODY)
        elif self.path == "/empty":
            self.head(200, 0)
        elif self.path == "/cut":
            self.head(200, 100000)
            self.wfile.write(BODY[:1000])
            self.wfile.flush()
            self.close_connection = True
        elif self.path == "/stall":
            self.head(200, 100)
            self.wfile.write(BODY[:10])
            self.wfile.flush()
            time.sleep(30)
        elif self.path == "/drip":
            self.trickle(100000, 0.2)
        elif self.path.startswith("/slow"):
            self.trickle(100000, 0.5)
            with open(LOG, "a") as log:
                log.write(self.path + " ended\n")
        elif self.path in ("/big", "/bigstream"):
            self.send_response(200)
            if self.path == "/big":
                self.send_header("Content-Length", "20000")
            else:
                self.close_connection = True
            self.end_headers()
            try:
                for _ in range(10):
                    self.wfile.write(BODY)
            except OSError:
                pass  # the client stopped reading at its cap
        elif self.path == "/tofile":
            self.send_response(302)
            self.send_header("Location", "file:///etc/hostname")
            self.send_header("Content-Length", "0")
            self.end_headers()
        else:
            self.serve_file(self.path.split("?")[0])

    def serve_file(self, path):
        streamed = path.startswith("/stream/")
        if streamed:
            path = path[len("/stream"):]
        name = os.path.normpath(os.path.join(ROOT, path.lstrip("/"))) if ROOT else ""
        if not ROOT or not name.startswith(os.path.abspath(ROOT)) or not os.path.isfile(name):
            self.send_error(404)
            return
        self.head(200, None if streamed else os.path.getsize(name))
        try:
            with open(name, "rb") as f:
                while piece := f.read(1 << 16):
                    self.wfile.write(piece)
        except OSError:
            pass  # the client stopped reading (a body past its cap)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


server = Server(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
threading.Thread(target=server.serve_forever, daemon=True).start()
sys.stdin.read()
