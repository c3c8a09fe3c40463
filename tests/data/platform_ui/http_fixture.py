#!/usr/bin/python3
"""Loopback HTTP server for the download tests. Prints its port on the first line, then serves:
/ok       2000 known bytes
/missing  404
/cut      promises 100000 bytes, sends 1000 and closes
/stall    promises 100 bytes, sends 10 and then nothing for 30 s
/drip     promises 100000 bytes and sends one every 0.2 s (never stalls, never ends in time)
/big      20000 bytes with their length announced; /bigstream the same without (sent as it comes)
/tofile   redirects (302) to a file: address
Ends when its standard input closes (the test's end)."""
import http.server
import socketserver
import sys
import threading
import time

BODY = bytes((i * 7) % 256 for i in range(2000))


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def head(self, status, length):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(length))
        self.end_headers()

    def do_GET(self):
        if self.path == "/ok":
            self.head(200, len(BODY))
            self.wfile.write(BODY)
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
            self.head(200, 100000)
            try:
                for i in range(100000):
                    self.wfile.write(BODY[i % 2000:i % 2000 + 1])
                    self.wfile.flush()
                    time.sleep(0.2)
            except OSError:
                pass
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
            self.send_error(404)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


server = Server(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
threading.Thread(target=server.serve_forever, daemon=True).start()
sys.stdin.read()
