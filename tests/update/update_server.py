#!/usr/bin/env python3
"""A local HTTPS update service for the update client's tests.

    update_server.py CERT KEY

Listens on 127.0.0.1 at a free port and prints the port as the first line of stdout. The first
path segment chooses the answer (POST /MODE/updates):
  newer    a version above any the tests send, the request body echoed back in "path"
  current  the version the request sent
  garbage  bytes that are no JSON
  huge     2 MB announced by Content-Length, of which only the first bytes come
  stream   bytes without Content-Length and without end
  slow     headers, then one byte every 200 ms until the client goes
  error    status 500 (with a body that would read as an update)
  empty    status 200 without a body
A request without the form's Content-Type, the service's Accept or the program's User-Agent
gets 400. Each request prints "request MODE BODY"; a slow client that went away prints "gone slow BODY".
"""

import http.server
import ssl
import sys
import time
import urllib.parse

BIG = 2 * 1024 * 1024


def say(line):
    print(line, flush=True)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def answer(self, status, body, length=True):
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        if length:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        size = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(size).decode("utf-8", "replace") if size > 0 else ""
        mode = self.path.strip("/").split("/")[0]
        say("request %s %s" % (mode, body))
        expected = {
            "Content-Type": "application/x-www-form-urlencoded",
            "Accept": "application/prs.Kaldo.v1+json",
            "User-Agent": "MORVA TR510 update check",
        }
        if any(self.headers.get(name) != value for name, value in expected.items()):
            self.answer(400, b'{"version": "2000"}')
        elif mode == "newer":
            self.answer(200, ('{"version": "2000", "version_name": "2.0.0.0", "device_id": 7, '
                              '"name": "the service\'s own words", "path": "%s"}' % body).encode())
        elif mode == "current":
            version = urllib.parse.parse_qs(body).get("version", [""])[0]
            self.answer(200, ('{"version": "%s"}' % version).encode())
        elif mode == "garbage":
            self.answer(200, b'\x89PNG\r\n\x1a\n\x00\xff{"version": "2000"')
        elif mode == "huge":
            self.send_response(200)
            self.send_header("Content-Length", str(BIG))
            self.end_headers()
            self.wfile.write(b'{"version": "2000", "path": "' + b"x" * 1000)
            self.wfile.flush()
            time.sleep(10)  # only a reader of the announced length would wait this out
        elif mode in ("stream", "slow"):
            self.send_response(200)
            self.end_headers()
            chunk, pause = (b" " * 65536, 0) if mode == "stream" else (b" ", 0.2)
            try:
                while True:
                    self.wfile.write(chunk)
                    self.wfile.flush()
                    time.sleep(pause)
            except OSError:
                say("gone %s %s" % (mode, body))
        elif mode == "error":
            self.answer(500, b'{"version": "2000"}')
        elif mode == "empty":
            self.answer(200, b"")
        else:
            self.answer(404, b"")


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, context):
        super().__init__(("127.0.0.1", 0), Handler)
        self.context = context

    # The handshake runs in the request's own thread: a refused one ends only that thread.
    def finish_request(self, request, client_address):
        request = self.context.wrap_socket(request, server_side=True)
        super().finish_request(request, client_address)

    def handle_error(self, request, client_address):
        pass


def main():
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[1], sys.argv[2])
    server = Server(context)
    say(str(server.server_address[1]))
    server.serve_forever()


if __name__ == "__main__":
    main()
