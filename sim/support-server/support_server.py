#!/usr/bin/env python3
"""Stand-in for the maker's support server, for tests and the main job. Standard library only.

  support_server.py start --root DIR --state DIR [--tls]   start in the background; returns once
                                                            the ports are written to DIR/ports
  support_server.py stop --state DIR                       stop the server that start started
  support_server.py serve --root DIR --state DIR [--tls]   run in the foreground
  support_server.py proxy-setting HOST:PORT [--bypass LIST] [--pac URL] [--autodetect]
                                                            hex of the user's proxy setting (below)

It serves the files under --root on 127.0.0.1 (a folder per scenario: /default/s/wkpt.xml),
plain HTTP on one free port and, with --tls, HTTPS on another with a certificate for
"localhost" and 127.0.0.1 signed by a test certificate authority made in DIR (ca.pem). A
forwarding proxy runs on a third port. DIR/ports holds "http N", "https N" and "proxy N" lines.

Misbehaviour on request, by a path prefix /fault/MODE/... or a query fault=MODE:
  404, 500     that status with an HTML body
  html200      an HTML error page sent with 200
  short        Content-Length larger than the body, then the connection closes
  slow         nothing for delay=SECONDS (default 30), then the file
  drop         the connection closes without an answer
  trickle      the file in blocks of 64 KiB, one every half second (a download to cancel)
Offer definition files (*.def) and catalogue documents (faq/docs/NAME) have "@HERE@" replaced by
the address of their folder on this server and "@SERVER@" by the server's own address
("http://127.0.0.1:PORT"), so that the addresses in them work on whatever port the server got.
Other paths: /echo answers with the request line and headers as text; /proxy.pac is a proxy
configuration script that names the forwarding proxy. Requests are logged to DIR/requests.log,
the proxy's to DIR/proxy.log.
"""
import argparse
import http.server
import os
import posixpath
import signal
import socket
import ssl
import struct
import subprocess
import sys
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import forward_proxy  # noqa: E402

ERROR_PAGE = (b"<!DOCTYPE html><html><head><title>Error</title></head>"
              b"<body><h1>Service temporarily unavailable</h1></body></html>\n")


class SupportHandler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    state = None
    proxy_port = 0
    log_lock = threading.Lock()

    def log_message(self, fmt, *args):
        pass

    def _log(self):
        with self.log_lock, open(os.path.join(self.state, "requests.log"), "a", encoding="utf-8") as log:
            log.write("%s %s %s | %s\n" % (self.server.scheme, self.command, self.path,
                                           self.headers.get("User-Agent", "")))

    def _send(self, status, body, content_type="text/html", length=None):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body) if length is None else length))
        self.end_headers()
        self.wfile.write(body)

    def _read(self, path):
        """The served file's bytes; None (and a 404 sent) when there is none."""
        try:
            with open(self.translate_path(path), "rb") as f:
                return f.read()
        except OSError:
            self.send_error(404)
            return None

    def _send_addressed(self, path, content_type):
        """A file that names addresses on this server (see the module's notes)."""
        body = self._read(path)
        if body is None:
            return
        server = "%s://%s" % (self.server.scheme, self.headers.get("Host", "127.0.0.1"))
        here = server + posixpath.dirname(path)
        body = body.replace(b"@HERE@", here.encode("ascii", "replace")).replace(b"@SERVER@", server.encode("ascii", "replace"))
        self._send(200, body, content_type)

    def do_GET(self):
        self._log()
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        path = url.path
        mode = query.get("fault", [""])[0]
        if path.startswith("/fault/"):
            mode, _, rest = path[len("/fault/"):].partition("/")
            path = "/" + rest
        if mode == "drop":
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)
            return
        if mode in ("404", "500"):
            self._send(int(mode), ERROR_PAGE)
            return
        if mode == "html200":
            self._send(200, ERROR_PAGE)
            return
        if mode == "slow":
            time.sleep(float(query.get("delay", ["30"])[0]))
        if path == "/echo":
            text = self.requestline + "\r\n" + str(self.headers)
            self._send(200, text.encode("latin-1", "replace"), "text/plain")
            return
        if path == "/proxy.pac":
            script = 'function FindProxyForURL(url, host) { return "PROXY 127.0.0.1:%d"; }\n' % self.proxy_port
            self._send(200, script.encode(), "application/x-ns-proxy-autoconfig")
            return
        self.path = path
        if path.endswith(".def") and not mode:
            self._send_addressed(path, "text/plain")
            return
        if "/faq/docs/" in path and not mode:
            self._send_addressed(path, self.guess_type(path))
            return
        if mode == "trickle":
            body = self._read(path)
            if body is None:
                return
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            try:
                for at in range(0, len(body), 65536):
                    self.wfile.write(body[at:at + 65536])
                    self.wfile.flush()
                    time.sleep(0.5)
            except OSError:  # the client gave up
                pass
            self.close_connection = True
            return
        if mode == "short":
            body = self._read(path)
            if body is None:
                return
            self._send(200, body[: len(body) // 2], "application/octet-stream", length=len(body))
            self.close_connection = True
            return
        super().do_GET()


def make_server(root, state, scheme, proxy_port, context=None):
    handler = type("Handler", (SupportHandler,), {"state": state, "proxy_port": proxy_port})

    class Server(http.server.ThreadingHTTPServer):
        daemon_threads = True

        def finish_request(self, request, client_address):
            handler(request, client_address, self, directory=root)

    server = Server(("127.0.0.1", 0), handler)
    server.scheme = scheme
    if context:
        # The handshake happens on the request's own thread, so one stalled client stalls no other.
        server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
    return server


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_certificates(state):
    """A test certificate authority and a server certificate for localhost and 127.0.0.1."""
    ca_key, ca, key, csr, cert = (os.path.join(state, n) for n in
                                  ("ca.key", "ca.pem", "server.key", "server.csr", "server.pem"))
    if os.path.exists(cert):
        return
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", ca_key, "-out", ca, "-days", "30",
            "-subj", "/CN=Tellwick Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", csr, "-subj", "/CN=localhost")
    ext = os.path.join(state, "server.ext")
    with open(ext, "w") as f:
        f.write("subjectAltName=DNS:localhost,IP:127.0.0.1\nextendedKeyUsage=serverAuth\n"
                "keyUsage=critical,digitalSignature,keyEncipherment\nbasicConstraints=CA:FALSE\n")
    openssl("x509", "-req", "-in", csr, "-CA", ca, "-CAkey", ca_key, "-CAcreateserial", "-out", cert,
            "-days", "30", "-sha256", "-extfile", ext)
    # The same certificate in DER, for the Windows side's root store.
    openssl("x509", "-in", ca, "-outform", "DER", "-out", os.path.join(state, "ca.der"))


def serve(args):
    state = os.path.abspath(args.state)
    root = os.path.abspath(args.root)
    proxy = forward_proxy.make_proxy(os.path.join(state, "proxy.log"))
    servers = [("proxy", proxy)]
    proxy_port = proxy.server_address[1]
    servers.append(("http", make_server(root, state, "http", proxy_port)))
    if args.tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(os.path.join(state, "server.pem"), os.path.join(state, "server.key"))
        servers.append(("https", make_server(root, state, "https", proxy_port, context)))
    for _, server in servers:
        threading.Thread(target=server.serve_forever, daemon=True).start()
    ports = "".join("%s %d\n" % (name, server.server_address[1]) for name, server in servers)
    # Written whole, then renamed, so a reader never sees half of it.
    tmp = os.path.join(state, "ports.tmp")
    with open(tmp, "w") as f:
        f.write(ports)
    os.replace(tmp, os.path.join(state, "ports"))
    print(ports, end="", flush=True)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait()
    return 0


def start(args):
    state = os.path.abspath(args.state)
    os.makedirs(state, exist_ok=True)
    for name in ("ports", "requests.log", "proxy.log"):
        try:
            os.remove(os.path.join(state, name))
        except FileNotFoundError:
            pass
    if args.tls:
        make_certificates(state)
    cmd = [sys.executable, os.path.abspath(__file__), "serve", "--root", args.root, "--state", state]
    if args.tls:
        cmd.append("--tls")
    with open(os.path.join(state, "server.log"), "w") as log:
        child = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
    with open(os.path.join(state, "pid"), "w") as f:
        f.write("%d\n" % child.pid)
    ports = os.path.join(state, "ports")
    deadline = time.monotonic() + 60
    while not os.path.exists(ports):
        if child.poll() is not None:
            sys.stderr.write("support server ended early; see %s\n" % os.path.join(state, "server.log"))
            return 1
        if time.monotonic() > deadline:
            child.terminate()
            sys.stderr.write("support server did not write its ports\n")
            return 1
        time.sleep(0.05)
    with open(ports) as f:
        sys.stdout.write(f.read())
    return 0


def stop(args):
    pid_file = os.path.join(args.state, "pid")
    try:
        with open(pid_file) as f:
            pid = int(f.read())
    except (OSError, ValueError):
        return 0
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    deadline = time.monotonic() + 30
    while os.path.exists("/proc/%d" % pid) and time.monotonic() < deadline:
        time.sleep(0.05)
    os.remove(pid_file)
    return 0


def proxy_setting(args):
    """The value DefaultConnectionSettings under HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\
    Internet Settings\\Connections, REG_BINARY, as hex for "wine reg add ... /t REG_BINARY /d"."""
    flags = 1  # direct connections allowed
    if args.proxy:
        flags |= 2
    if args.pac:
        flags |= 4
    if args.autodetect:
        flags |= 8
    blob = struct.pack("<III", 0x46, 0, flags)
    for text in (args.proxy or "", args.bypass or "", args.pac or ""):
        data = text.encode("latin-1")
        blob += struct.pack("<I", len(data)) + data
    blob += b"\0" * 32
    print(blob.hex())
    return 0


def main():
    parser = argparse.ArgumentParser(description="support server stand-in")
    sub = parser.add_subparsers(dest="command", required=True)
    for name in ("serve", "start"):
        p = sub.add_parser(name)
        p.add_argument("--root", required=True)
        p.add_argument("--state", required=True)
        p.add_argument("--tls", action="store_true")
    p = sub.add_parser("stop")
    p.add_argument("--state", required=True)
    p = sub.add_parser("proxy-setting")
    p.add_argument("proxy", nargs="?")
    p.add_argument("--bypass")
    p.add_argument("--pac")
    p.add_argument("--autodetect", action="store_true")
    args = parser.parse_args()
    return {"serve": serve, "start": start, "stop": stop, "proxy-setting": proxy_setting}[args.command](args)


if __name__ == "__main__":
    sys.exit(main())
