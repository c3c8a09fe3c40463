#!/usr/bin/python3
"""Loopback HTTP server for the figure-file tests. Serves the files below the folder given first; every request
path is appended to the log file given second; prints its port on the first line; "/missing..." answers 404;
"/slow..." promises 100000 bytes and sends one every half second, logging "<path> ended" once the client is gone;
"/stream/<path>" sends the file <path> without announcing its length (the end of the connection ends it).
Ends when its standard input closes (the test's end)."""
import http.server
import os
import socketserver
import sys
import threading
import time

ROOT, LOG = sys.argv[1], sys.argv[2]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        with open(LOG, "a") as log:
            log.write(self.path + "\n")
        if self.path.startswith("/slow"):
            self.send_response(200)
            self.send_header("Content-Length", "100000")
            self.end_headers()
            try:
                for _ in range(100000):
                    self.wfile.write(b"x")
                    self.wfile.flush()
                    time.sleep(0.5)
            except OSError:
                pass
            with open(LOG, "a") as log:
                log.write(self.path + " ended\n")
            return
        path = self.path.split("?")[0]
        streamed = path.startswith("/stream/")
        if streamed:
            path = path[len("/stream"):]
        name = os.path.normpath(os.path.join(ROOT, path.lstrip("/")))
        if not name.startswith(os.path.abspath(ROOT)) or not os.path.isfile(name):
            self.send_error(404)
            return
        with open(name, "rb") as f:
            body = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if streamed:
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


server = Server(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
threading.Thread(target=server.serve_forever, daemon=True).start()
sys.stdin.read()
