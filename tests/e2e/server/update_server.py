#!/usr/bin/env python3
"""Test update server: serves a published tree over HTTP(S) on loopback, with faults.

Command line (runs until SIGTERM or SIGINT, exit status 0):
  python3 update_server.py --root DIR [--host 127.0.0.1] [--port N]
      [--port-file F] [--faults FILE.json] [--access-log FILE]
      [--https --cert-dir DIR]
  The first stdout line is "PORT=<n>", the second "URL=<scheme>://127.0.0.1:<n>";
  --port-file receives the bare port number (written atomically). Port 0
  (the default) picks a free port.

Python:
  with UpdateServer(root, config={"rules": [...]}) as server:
      server.base_url                    # "http://127.0.0.1:<port>"
      server.set_rules([...]); server.add_rule({...}); server.clear_rules()
      server.configure({"rules": [...], "gzip": [...]})
      server.entries(path="/game.pkg")   # access log entries (dicts)
      server.wait_for_requests("/game.pkg", count=2, timeout=10)
  UpdateServer(root, https=True, cert_dir=D) makes D/cert.pem and D/key.pem
  with openssl when missing; server.cert_file is the file to trust.
  server_pages.maintenance_xml(languages, end) and maintenance_html(title,
  message) build the maintenance bodies on their own.

Modules: server_http (request parsing, ranges), server_answers (files,
ranges, gzip), server_connection (keep-alive loop, faults), server_rules
(configuration), server_pages (page bodies), server_tls (certificate).

Control endpoints on the same port (not matched by rules):
  GET /__control/config            current configuration, with "seen" counts
  POST|PUT /__control/config       JSON configuration; the keys given replace
  GET /__control/log               access log entries as a JSON array
The configuration format (rules: faults, status answers, maintenance pages,
redirects; gzip patterns) is described in server_rules.py; --faults takes
the same JSON object.

HTTP behaviour: HTTP/1.1 keep-alive, GET and HEAD, Content-Length on every
answer, Accept-Ranges: bytes. One byte range (a-b, a-, -n) gives 206 with
Content-Range, a range past the end 416 with "bytes */size"; several ranges
in one header are answered with the whole body (200). gzip is used only
without a Range header, when the client accepts it and the path matches a
gzip pattern. Paths never leave the root: dot segments (also encoded),
backslashes, empty segments and control characters give 400, symlinks out
of the root and directories 404. The query string is ignored.

Access log: one JSON object per line with time (when the connection began
waiting for the request), arrived (when its head was read), done (when the
exchange ended; absent on a stall's early line), conn (connection id, equal
for keep-alive reuse), seq (request number on that connection), method,
target, path, range (raw header), status, start (the file offset of the
body's first byte: a range's start, 0 for other answers), length
(announced), sent (body bytes sent), gzip, rule (index of the acting rule)
and outcome (ok, closed, stalled, dropped, client-gone, stopped, error). A line is written and
flushed when its exchange ends, a stall's when the stall begins; a client
may hold a whole answer a moment before its line exists, so tests wait with
wait_for_requests.
"""
import argparse
import json
import os
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

from server_connection import Connection
from server_rules import RuleSet
from server_tls import ensure_certificate, server_context

ACCEPT_POLL = 0.5
STOP_JOIN_SECONDS = 3.0


class UpdateServer:
    """A threaded server; start() and stop() from one thread, the rest from any."""

    def __init__(
        self,
        root,
        port=0,
        host="127.0.0.1",
        config=None,
        access_log=None,
        https=False,
        cert_dir=None,
        idle_timeout=120.0,
    ):
        if not os.path.isdir(root):
            raise ValueError(f"not a folder: {root}")
        self.root = os.path.realpath(root)
        self.host = host
        self.port = port
        self.idle_timeout = idle_timeout
        self.rules = RuleSet()
        if config is not None:
            self.rules.configure(config)
        self.stopping = threading.Event()
        self.tls_context = None
        self.cert_file = None
        if https:
            if cert_dir is None:
                raise ValueError("https needs a cert_dir")
            self.cert_file, key_file = ensure_certificate(cert_dir)
            self.tls_context = server_context(self.cert_file, key_file)
        self._access_log_path = access_log
        self._log_file = None
        self._log = threading.Condition()
        self._entries = []
        self._connections_lock = threading.Lock()
        self._connections = {}
        self._next_id = 1
        self._listener = None
        self._accept_thread = None

    @property
    def scheme(self):
        return "https" if self.tls_context is not None else "http"

    @property
    def base_url(self):
        return f"{self.scheme}://127.0.0.1:{self.port}"

    def start(self):
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind((self.host, self.port))
        listener.listen(64)
        listener.settimeout(ACCEPT_POLL)
        self._listener = listener
        self.port = listener.getsockname()[1]
        if self._access_log_path:
            self._log_file = open(self._access_log_path, "a", encoding="utf-8")
        self._accept_thread = threading.Thread(
            target=self._accept_loop, name=f"update-server-{self.port}", daemon=True
        )
        self._accept_thread.start()
        return self

    def stop(self):
        """Ends every connection, stalled ones included; bounded wait."""
        if self._listener is None or self.stopping.is_set():
            return
        self.stopping.set()
        try:
            # Wakes accept() at once on Linux; the poll time-out is the fallback.
            self._listener.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self._accept_thread.join(STOP_JOIN_SECONDS)
        self._listener.close()
        with self._connections_lock:
            running = list(self._connections.items())
        for connection, _ in running:
            connection.interrupt()
        deadline = time.monotonic() + STOP_JOIN_SECONDS
        for _, thread in running:
            thread.join(max(0.0, deadline - time.monotonic()))
        with self._log:
            if self._log_file is not None:
                self._log_file.close()
                self._log_file = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc_info):
        self.stop()

    # Configuration (any thread, also while requests run).

    def configure(self, config):
        self.rules.configure(config)

    def set_rules(self, rules):
        self.rules.configure({"rules": rules})

    def add_rule(self, rule):
        self.rules.add_rule(rule)

    def clear_rules(self):
        self.rules.configure({"rules": []})

    def config(self):
        return self.rules.snapshot()

    # Access log.

    def record(self, entry):
        line = json.dumps(entry)
        with self._log:
            self._entries.append(entry)
            if self._log_file is not None:
                self._log_file.write(line + "\n")
                self._log_file.flush()
            self._log.notify_all()

    def entries(self, path=None):
        with self._log:
            return [dict(e) for e in self._entries if path is None or e["path"] == path]

    def wait_for_requests(self, path, count=1, timeout=10.0):
        """The entries for `path` once there are `count`; TimeoutError otherwise."""
        deadline = time.monotonic() + timeout
        with self._log:
            while True:
                found = [dict(e) for e in self._entries if e["path"] == path]
                remaining = deadline - time.monotonic()
                if len(found) >= count:
                    return found
                if remaining <= 0:
                    raise TimeoutError(f"{len(found)} of {count} requests for {path}")
                self._log.wait(remaining)

    # Serving.

    def resolve(self, path):
        """The file a decoded URL path names inside the root, or None."""
        if path.endswith("/"):
            return None
        candidate = os.path.realpath(os.path.join(self.root, *path[1:].split("/")))
        if os.path.commonpath([candidate, self.root]) != self.root:
            return None
        return candidate if os.path.isfile(candidate) else None

    def _accept_loop(self):
        while not self.stopping.is_set():
            try:
                client, _ = self._listener.accept()
            except socket.timeout:
                continue
            except OSError:
                # Out of descriptors or a client that left during accept: go on.
                self.stopping.wait(ACCEPT_POLL)
                continue
            client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            self._start_connection(client)

    def _start_connection(self, client):
        with self._connections_lock:
            connection = Connection(self, client, self._next_id)
            self._next_id += 1
            thread = threading.Thread(
                target=self._run_connection, args=(connection,), daemon=True,
                name=f"update-server-conn-{connection.id}",
            )
            self._connections[connection] = thread
        thread.start()

    def _run_connection(self, connection):
        try:
            connection.run()
        finally:
            with self._connections_lock:
                self._connections.pop(connection, None)


def _write_port_file(path, port):
    folder = os.path.dirname(os.path.abspath(path))
    with tempfile.NamedTemporaryFile("w", dir=folder, delete=False) as handle:
        handle.write(f"{port}\n")
    os.replace(handle.name, path)


def _parse_arguments(argv):
    parser = argparse.ArgumentParser(description="Test update server with fault injection.")
    parser.add_argument("--root", required=True, help="folder to serve")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--port-file", help="file that receives the port number")
    parser.add_argument("--faults", help="JSON configuration (rules, gzip)")
    parser.add_argument("--access-log", help="JSON-lines access log, appended")
    parser.add_argument("--https", action="store_true")
    parser.add_argument("--cert-dir", help="cert.pem/key.pem, generated when missing")
    arguments = parser.parse_args(argv)
    if arguments.https and not arguments.cert_dir:
        parser.error("--https needs --cert-dir")
    return arguments


def main(argv=None):
    arguments = _parse_arguments(argv)
    try:
        config = None
        if arguments.faults:
            with open(arguments.faults, encoding="utf-8") as handle:
                config = json.load(handle)
        server = UpdateServer(
            arguments.root, port=arguments.port, host=arguments.host, config=config,
            access_log=arguments.access_log, https=arguments.https, cert_dir=arguments.cert_dir,
        )
    except (OSError, ValueError, subprocess.CalledProcessError) as error:
        print(f"update_server: {error}", file=sys.stderr)
        return 2
    # A plain flag: setting an Event from a signal handler can deadlock on the
    # lock the interrupted main thread holds inside Event.wait().
    stop_requested = []
    signal.signal(signal.SIGTERM, lambda *_: stop_requested.append(True))
    signal.signal(signal.SIGINT, lambda *_: stop_requested.append(True))
    server.start()
    if arguments.port_file:
        _write_port_file(arguments.port_file, server.port)
    print(f"PORT={server.port}", flush=True)
    print(f"URL={server.base_url}", flush=True)
    while not stop_requested:
        time.sleep(0.2)
    server.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
