#!/usr/bin/python3
"""Loopback HTTP server for the download tests. Prints its port on the first line, then serves:
/ok       2000 known bytes
/missing  404
/cut      promises 100000 bytes, sends 1000 and closes
/stall    promises 100 bytes, sends 10 and then nothing for 30 s
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
        else:
            self.send_error(404)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


server = Server(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
threading.Thread(target=server.serve_forever, daemon=True).start()
sys.stdin.read()
