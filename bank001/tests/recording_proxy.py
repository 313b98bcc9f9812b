#!/usr/bin/env python3
"""A small HTTP proxy on 127.0.0.1 for the tests, recording what passes through it.

    recording_proxy.py PORT_FILE

Listens on an ephemeral port of 127.0.0.1 and writes it to PORT_FILE.
A request in absolute form ("POST http://127.0.0.1:PORT/path HTTP/1.1") is
recorded and forwarded to its host, which must be this computer's; the
answer comes back as it was. CONNECT host:port is recorded and tunnelled the
same way. Anything for another host is refused with 502, never forwarded.

The test reads and empties the record through paths of the proxy's own:
    GET  /_proxy/requests  [{"method", "target", "headers": {lower-case name: value}}, ...]
    POST /_proxy/clear
"""
import http.client
import json
import os
import select
import socket
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlsplit

from mock_bank import end_with_parent

LOCK = threading.Lock()
RECORD = []
HOP_BY_HOP = {"connection", "keep-alive", "proxy-connection", "proxy-authorization", "te", "trailer",
              "transfer-encoding", "upgrade"}


def is_local(host):
    return host in ("127.0.0.1", "localhost", "::1") or host.startswith("127.")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    disable_nagle_algorithm = True

    def log_message(self, format, *args):
        pass

    def record(self):
        with LOCK:
            RECORD.append({
                "method": self.command,
                "target": self.path,
                "headers": {k.lower(): v for k, v in self.headers.items()},
            })

    def reply(self, status, body, content_type="application/json"):
        data = body.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_CONNECT(self):
        self.record()
        host, _, port = self.path.rpartition(":")
        if not is_local(host.strip("[]")):
            self.close_connection = True
            return self.reply(502, "{}")
        try:
            upstream = socket.create_connection((host.strip("[]"), int(port)), timeout=10)
        except OSError:
            self.close_connection = True
            return self.reply(502, "{}")
        self.send_response(200, "Connection established")
        self.end_headers()
        self.wfile.flush()
        sockets = [self.connection, upstream]
        try:
            while True:
                ready, _, _ = select.select(sockets, [], [], 30)
                if not ready:
                    break
                for s in ready:
                    data = s.recv(65536)
                    if not data:
                        raise EOFError
                    (upstream if s is self.connection else self.connection).sendall(data)
        except (EOFError, OSError):
            pass
        upstream.close()
        self.close_connection = True

    def forward(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        if self.path == "/_proxy/requests":
            with LOCK:
                return self.reply(200, json.dumps(RECORD))
        if self.path == "/_proxy/clear":
            with LOCK:
                RECORD.clear()
            return self.reply(200, "{}")
        self.record()
        url = urlsplit(self.path)
        if url.scheme != "http" or not url.hostname or not is_local(url.hostname):
            return self.reply(502, "{}")
        headers = {k: v for k, v in self.headers.items() if k.lower() not in HOP_BY_HOP}
        try:
            upstream = http.client.HTTPConnection(url.hostname, url.port or 80, timeout=60)
            path = url.path + ("?" + url.query if url.query else "")
            upstream.request(self.command, path, body=body, headers=headers)
            answer = upstream.getresponse()
            data = answer.read()
        except OSError:
            return self.reply(502, "{}")
        self.send_response(answer.status)
        for name, value in answer.getheaders():
            if name.lower() not in HOP_BY_HOP and name.lower() != "content-length":
                self.send_header(name, value)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)
        upstream.close()

    do_GET = forward
    do_POST = forward


def main():
    threading.Thread(target=end_with_parent, daemon=True).start()
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    with open(sys.argv[1] + ".tmp", "w") as f:
        f.write("%d\n" % server.server_address[1])
    os.replace(sys.argv[1] + ".tmp", sys.argv[1])
    server.serve_forever()


if __name__ == "__main__":
    main()
