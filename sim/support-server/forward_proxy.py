"""A tiny forwarding HTTP proxy for tests: GET requests and CONNECT tunnels.

Each request is logged as one line ("GET http://host:port/path" or "CONNECT host:port") to the
log file, so a test can see that a client went through it. Standard library only.
"""
import http.server
import select
import socket
import threading
import urllib.parse


class ProxyHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    log_path = None
    log_lock = threading.Lock()

    def log_message(self, fmt, *args):  # the request log below is the one that matters
        pass

    def _log(self, line):
        if self.log_path:
            with self.log_lock, open(self.log_path, "a", encoding="utf-8") as log:
                log.write(line + "\n")

    def do_CONNECT(self):
        self._log("CONNECT " + self.path)
        host, _, port = self.path.rpartition(":")
        try:
            upstream = socket.create_connection((host, int(port)), timeout=30)
        except (OSError, ValueError):
            self.send_error(502)
            return
        self.send_response(200, "Connection established")
        self.end_headers()
        self.wfile.flush()
        self._pipe(self.connection, upstream)

    def _pipe(self, a, b):
        sockets = [a, b]
        try:
            while True:
                readable, _, broken = select.select(sockets, [], sockets, 60)
                if broken or not readable:
                    return
                for s in readable:
                    data = s.recv(65536)
                    if not data:
                        return
                    (b if s is a else a).sendall(data)
        except OSError:
            return
        finally:
            b.close()

    def do_GET(self):
        # Absolute URIs as proxies are sent them; Wine's WinHTTP sends the path with a Host
        # header instead, which is taken as the same thing.
        target_url = self.path
        if target_url.startswith("/") and self.headers.get("Host"):
            target_url = "http://" + self.headers["Host"] + target_url
        self._log("GET " + target_url)
        url = urllib.parse.urlsplit(target_url)
        if url.scheme != "http" or not url.hostname:
            self.send_error(400, "absolute http URI expected")
            return
        target = url.path or "/"
        if url.query:
            target += "?" + url.query
        try:
            upstream = socket.create_connection((url.hostname, url.port or 80), timeout=30)
        except OSError:
            self.send_error(502)
            return
        lines = ["GET %s HTTP/1.0" % target]
        for name, value in self.headers.items():
            if name.lower() not in ("proxy-connection", "connection", "keep-alive"):
                lines.append("%s: %s" % (name, value))
        lines.append("Connection: close")
        upstream.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))
        # The answer goes back as it comes, status, headers and all, until the server closes.
        try:
            while True:
                data = upstream.recv(65536)
                if not data:
                    break
                self.connection.sendall(data)
        except OSError:
            pass
        finally:
            upstream.close()
        self.close_connection = True


def make_proxy(log_path):
    handler = type("Handler", (ProxyHandler,), {"log_path": log_path})
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    return server
