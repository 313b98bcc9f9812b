#!/usr/bin/env python3
"""A stand-in for the bank's token and API hosts on 127.0.0.1, for the tests.

    mock_bank.py PORT_FILE [CERTIFICATE KEY [ROOTED_CERTIFICATE ROOTED_KEY]]

PORT_FILE gets five lines: the port of plain http on 127.0.0.1; the port with
TLS, given a certificate and its key (a certificate no system trusts: the
client must refuse it), else 0; a port that never accepts a connection (its
backlog is full, so a client's SYN goes unanswered); and, given a second
certificate (one signed by the tests' own root, which a test makes trusted),
a port with it speaking TLS 1.2 or later and one speaking TLS 1.1 only, else
0 and 0. The ports that answer share one script and one record.
Each request that is not for the mock itself is recorded and answered with the
first entry of the script that fits its path; with none, 500 with an "erros"
body.

The test drives it through paths of its own:
    POST /_mock/script    {"answers": [ANSWER, ...]}: a new script, the record emptied
    GET  /_mock/requests  [{"method", "path", "headers": {lower-case name: value}, "body"}, ...]
    GET  /_mock/pac?proxy=HOST:PORT   a proxy script (PAC) that sends everything there

An ANSWER is {"status": 200, "body": "..."} (sent as application/json), or
with "kind": "cut" a body shorter than its Content-Length before the
connection closes, with "kind": "stall" the headers and part of the body and
then nothing for "seconds" (default 30), with "kind": "trickle" the body one
byte every "interval" seconds, or with "kind": "silent" no answer at all for
"seconds". With "path", it fits only requests whose path contains that text;
with "repeat": true, it stays in the script once used.
"""
import json
import warnings
import os
import socket
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class Mock:
    def __init__(self):
        self.lock = threading.Lock()
        self.answers = []
        self.requests = []


MOCK = Mock()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    # Headers and body leave at once: with Nagle's algorithm against the
    # client's delayed acknowledgement every answer would wait 40 ms.
    disable_nagle_algorithm = True

    def log_message(self, format, *args):  # quiet: the test prints what matters
        pass

    def quick_ack(self):
        # The client may hold the body back until its headers are acknowledged
        # (Nagle's algorithm; Wine's WinHTTP sends the two apart): acknowledge
        # at once rather than after the 40 ms of a delayed acknowledgement.
        if hasattr(socket, "TCP_QUICKACK"):
            try:
                self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_QUICKACK, 1)
            except OSError:
                pass

    def setup(self):
        super().setup()
        self.quick_ack()

    def read_body(self):
        self.quick_ack()
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length else b""

    def send(self, status, body, declared=None):
        data = body.encode("utf-8") if isinstance(body, str) else body
        self.send_response(status)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Content-Length", str(len(data) if declared is None else declared))
        self.end_headers()
        self.wfile.write(data)
        self.wfile.flush()

    def do_GET(self):
        self.handle_any("GET")

    def do_POST(self):
        self.handle_any("POST")

    def handle_any(self, method):
        body = self.read_body()
        if self.path.startswith("/_mock/pac?proxy=") and method == "GET":
            proxy = self.path.split("=", 1)[1]
            script = 'function FindProxyForURL(url, host) { return "PROXY %s"; }' % proxy
            data = script.encode("ascii")
            self.send_response(200)
            self.send_header("Content-Type", "application/x-ns-proxy-autoconfig")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)
            return
        if self.path == "/_mock/script" and method == "POST":
            with MOCK.lock:
                MOCK.answers = list(json.loads(body)["answers"])
                MOCK.requests = []
            return self.send(200, "{}")
        if self.path == "/_mock/requests" and method == "GET":
            with MOCK.lock:
                return self.send(200, json.dumps(MOCK.requests))
        with MOCK.lock:
            MOCK.requests.append({
                "method": method,
                "path": self.path,
                "headers": {k.lower(): v for k, v in self.headers.items()},
                "body": body.decode("utf-8", "replace"),
            })
            answer = take_answer(self.path)
        if answer is None:
            return self.send(500, json.dumps({"erros": [{"mensagem": "mock: nenhuma resposta no roteiro"}]}))
        kind = answer.get("kind", "answer")
        if kind == "silent":
            time.sleep(answer.get("seconds", 30))
            self.close_connection = True
            return
        text = answer.get("body", "")
        if kind == "trickle":
            data = text.encode("utf-8")
            self.send_response(answer.get("status", 200))
            self.send_header("Content-Type", "application/json; charset=utf-8")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            try:
                for i in range(len(data)):
                    self.wfile.write(data[i:i + 1])
                    self.wfile.flush()
                    time.sleep(answer.get("interval", 0.3))
            except OSError:
                pass
            self.close_connection = True
            return
        if kind == "stall":
            data = text.encode("utf-8")
            self.send(answer.get("status", 200), data, declared=len(data) + 100)
            time.sleep(answer.get("seconds", 30))
            self.close_connection = True
            return
        if kind == "cut":
            data = text.encode("utf-8")
            self.send(answer.get("status", 200), data, declared=len(data) + 100)
            self.close_connection = True
            return
        self.send(answer.get("status", 200), text)


def take_answer(path):
    """The first entry of the script for this path (the caller holds the lock)."""
    for i, answer in enumerate(MOCK.answers):
        if answer.get("path", "") not in path:
            continue
        if not answer.get("repeat"):
            MOCK.answers.pop(i)
        return answer
    return None


def never_accepting_port():
    """A listening port whose backlog is full: connections to it never complete."""
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(0)
    port = listener.getsockname()[1]
    fillers = []
    # Linux queues backlog + 1 connections; a few more make sure it is full.
    for _ in range(4):
        filler = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        filler.setblocking(False)
        filler.connect_ex(("127.0.0.1", port))
        fillers.append(filler)
    time.sleep(0.2)
    return listener, fillers, port


def tls_server(certificate, key, tls_1_1_only=False):
    """A port with TLS and this certificate, its number as text ("0" if this Python cannot)."""
    import ssl
    try:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        if tls_1_1_only:
            # What old servers still speak: refused by a client that wants 1.2.
            context.set_ciphers("DEFAULT:@SECLEVEL=0")
            context.minimum_version = ssl.TLSVersion.TLSv1_1
            context.maximum_version = ssl.TLSVersion.TLSv1_1
        context.load_cert_chain(certificate, key)
    except (ssl.SSLError, ValueError, OSError):
        return "0"
    secure = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    secure.daemon_threads = True
    secure.socket = context.wrap_socket(secure.socket, server_side=True)
    threading.Thread(target=secure.serve_forever, daemon=True).start()
    return str(secure.server_address[1])


def end_with_parent():
    # A test killed outright leaves no mock behind: it ends with its starter.
    parent = os.getppid()
    while os.getppid() == parent:
        time.sleep(1)
    os._exit(0)


def main():
    warnings.simplefilter("ignore", DeprecationWarning)  # TLS 1.1, on purpose
    threading.Thread(target=end_with_parent, daemon=True).start()
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    ports = [str(server.server_address[1])]
    ports.append(tls_server(sys.argv[2], sys.argv[3]) if len(sys.argv) >= 4 else "0")
    blackhole = never_accepting_port()
    ports.append(str(blackhole[2]))
    rooted = len(sys.argv) >= 6
    ports.append(tls_server(sys.argv[4], sys.argv[5]) if rooted else "0")
    ports.append(tls_server(sys.argv[4], sys.argv[5], tls_1_1_only=True) if rooted else "0")
    with open(sys.argv[1] + ".tmp", "w") as f:
        f.write("\n".join(ports) + "\n")
    os.replace(sys.argv[1] + ".tmp", sys.argv[1])
    server.serve_forever()


if __name__ == "__main__":
    main()
