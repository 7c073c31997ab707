"""Canned HTTPS and HTTP replies for the upgrade tests.

Serves the files of a document folder on 127.0.0.1 and prints
"PORTS <https> <http>" once both servers listen. Paths select a behaviour:
/nolength/<f>, /status404, /auth/<f>, /drop/<f>, /slow/<f>, /redirect-http/<f>,
/redirect-host/<f> (to the same server under another name),
/endless (a body without length that never ends);
anything else is the file itself. In "*.inf" files "{base}" becomes the HTTPS
base address. Every request is appended to the log as one JSON line.
"""
import base64
import http.server
import json
import os
import ssl
import sys
import threading
import time

DOCROOT, CERT, KEY, LOG = sys.argv[1:5]
LAST_MODIFIED = "Sun, 06 Nov 1994 08:49:37 GMT"
CREDENTIALS = "Basic " + base64.b64encode(b"seller:secret").decode()
PORTS = {}
LOG_LOCK = threading.Lock()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def record(self):
        entry = {"path": self.path, "scheme": "https" if self.server.secure else "http"}
        for name in ("Cache-Control", "Pragma", "Authorization", "User-Agent", "Range", "Referer", "Accept",
                     "X-Tallybrook-Test"):
            entry[name] = self.headers.get(name)
        with LOG_LOCK, open(LOG, "a") as log:
            log.write(json.dumps(entry) + "\n")

    def body_of(self, name):
        path = os.path.join(DOCROOT, name.lstrip("/"))
        if not os.path.isfile(path):
            return None
        with open(path, "rb") as f:
            data = f.read()
        if path.endswith(".inf"):
            data = data.replace(b"{base}", ("https://127.0.0.1:%d" % PORTS["https"]).encode())
        return data

    def reply(self, status, body, length=True, headers=()):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Last-Modified", LAST_MODIFIED)
        for name, value in headers:
            self.send_header(name, value)
        if length:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        self.record()
        kind, _, rest = self.path.lstrip("/").partition("/")
        if kind == "status404":
            return self.reply(404, b"<html>no such file</html>")
        if kind == "endless":
            self.send_response(200)
            self.end_headers()
            chunk = b"#" * 65536
            try:
                while True:
                    self.wfile.write(chunk)
            except OSError:
                return
        if kind == "redirect-host":
            return self.reply(302, b"", headers=[("Location", "https://localhost:%d/%s" % (PORTS["https"], rest))])
        if kind == "redirect-http":
            return self.reply(302, b"", headers=[("Location", "http://127.0.0.1:%d/%s" % (PORTS["http"], rest))])
        body = self.body_of(rest if kind in ("nolength", "auth", "drop", "slow") else self.path)
        if body is None:
            return self.reply(404, b"missing")
        if kind == "nolength":
            return self.reply(200, body, length=False)
        if kind == "auth" and self.headers.get("Authorization") != CREDENTIALS:
            return self.reply(401, b"who are you", headers=[("WWW-Authenticate", 'Basic realm="Tallybrook updates"')])
        if kind == "drop":
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            self.connection.shutdown(2)
            return
        if kind == "slow":
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            for at in range(0, len(body), 512):
                self.wfile.write(body[at: at + 512])
                self.wfile.flush()
                time.sleep(0.05)
            return
        return self.reply(200, body)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass


def serve(secure):
    server = Server(("127.0.0.1", 0), Handler)
    server.secure = secure
    if secure:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(CERT, KEY)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    PORTS["https" if secure else "http"] = server.server_address[1]
    threading.Thread(target=server.serve_forever, daemon=True).start()


serve(True)
serve(False)
print("PORTS %d %d" % (PORTS["https"], PORTS["http"]), flush=True)
sys.stdin.read()  # ends when the test closes our input
