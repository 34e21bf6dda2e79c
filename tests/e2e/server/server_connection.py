"""One client connection of the test server: keep-alive loop, answers, faults.

Runs on its own daemon thread. Every wait (delay, stall, rate pacing) is a
wait on the server's stop event, and the server shuts the socket down on
stop, so no connection can hold up shutdown.
"""
import email.utils
import json
import select
import socket
import threading
import time
import traceback

import server_pages
from server_answers import Answer, Pacer, file_answer, filler_answer, json_answer, text_answer
from server_http import HttpError, find_head_end, parse_head, parse_target

CONTROL_PREFIX = "/__control/"
MAX_REQUEST_BODY = 1 << 20
CHUNK = 64 * 1024
# Whole periods of the filler pattern, so every chunk starts at byte 0 of it.
FILLER_BLOCK = bytes(index % 251 for index in range(251 * (CHUNK // 251)))
HANDSHAKE_TIMEOUT = 10.0
DRAIN_SECONDS = 2.0


class ServerStopping(Exception):
    pass


class DropConnection(Exception):
    pass


class Connection:
    """Serves the requests of one accepted socket, one after the other."""

    def __init__(self, server, sock, conn_id):
        self.server = server
        self.sock = sock
        self.id = conn_id
        self.buffer = b""
        self.sequence = 0
        self.abort_on_close = False
        self._sock_lock = threading.Lock()

    def run(self):
        try:
            self.sock.settimeout(self.server.idle_timeout)
            if self.server.tls_context is not None:
                self._start_tls()
            while not self.server.stopping.is_set() and self._serve_one():
                pass
        except (OSError, ServerStopping):
            pass
        finally:
            self._close()

    def interrupt(self):
        """Wakes the thread out of any blocking socket call (any thread)."""
        with self._sock_lock:
            try:
                socket.socket.shutdown(self.sock, socket.SHUT_RDWR)
            except OSError:
                pass

    def _start_tls(self):
        with self._sock_lock:
            self.sock = self.server.tls_context.wrap_socket(
                self.sock, server_side=True, do_handshake_on_connect=False
            )
        if self.server.stopping.is_set():
            raise ServerStopping()
        self.sock.settimeout(HANDSHAKE_TIMEOUT)
        self.sock.do_handshake()
        self.sock.settimeout(self.server.idle_timeout)

    def _close(self):
        if self.abort_on_close:
            try:
                self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\0\0\0\0\0\0\0")
            except OSError:
                pass
        else:
            self._drain_after_half_close()
        try:
            self.sock.close()
        except OSError:
            pass

    def _drain_after_half_close(self):
        """Sends FIN, then reads what the client still sends, for a while.

        Closing a socket with unread input sends a reset, which can destroy an
        answer (say a 431 to a client still sending its head) before the
        client has read it. The raw calls work under TLS as well.
        """
        deadline = time.monotonic() + DRAIN_SECONDS
        try:
            socket.socket.shutdown(self.sock, socket.SHUT_WR)
            self.sock.settimeout(0.1)
            while time.monotonic() < deadline and not self.server.stopping.is_set():
                try:
                    if not socket.socket.recv(self.sock, CHUNK):
                        return
                except socket.timeout:
                    continue
        except OSError:
            pass

    # Request reading.

    def _receive(self):
        data = self.sock.recv(CHUNK)
        if not data:
            raise EOFError()
        self.buffer += data

    def _read_head(self):
        """The next request head, or None when the client closed between requests."""
        while True:
            # Empty lines before a request line are allowed and skipped.
            self.buffer = self.buffer.lstrip(b"\r\n")
            end = find_head_end(self.buffer) if self.buffer else None
            if end is not None:
                head = self.buffer[: end[0]]
                self.buffer = self.buffer[end[1] :]
                return head
            try:
                self._receive()
            except EOFError:
                return None

    def _read_body(self, request):
        text = request.header("Content-Length")
        if request.header("Transfer-Encoding") is not None:
            raise HttpError(501, "request bodies must have a Content-Length")
        if text is None:
            return b""
        if not text.isdigit() or len(text) > 12:
            raise HttpError(400, "bad Content-Length")
        length = int(text)
        if length > MAX_REQUEST_BODY:
            raise HttpError(413, "request body too large")
        while len(self.buffer) < length:
            try:
                self._receive()
            except EOFError:
                raise OSError("client closed inside a request body") from None
        body, self.buffer = self.buffer[:length], self.buffer[length:]
        return body

    # One exchange.

    def _serve_one(self):
        """Reads and answers one request; False when the connection must end."""
        entry = {
            "time": time.time(), "conn": self.id, "seq": self.sequence + 1,
            "method": None, "target": None, "path": None, "range": None,
            "status": None, "start": None, "length": None, "sent": 0, "gzip": False,
            "rule": None, "outcome": "ok",
        }
        keep = False
        try:
            head = self._read_head()
            if head is None:
                return False
            entry["arrived"] = time.time()
            self.sequence += 1
            request = parse_head(head)
            entry.update(method=request.method, target=request.target)
            entry["range"] = request.header("Range")
            keep = self._dispatch(request, entry)
        except HttpError as error:
            self.sequence = entry["seq"]
            self._send_quietly(text_answer(error.status, str(error), close=True), entry)
        except DropConnection:
            entry["outcome"] = "dropped"
        except ServerStopping:
            entry["outcome"] = "stopped"
        except OSError:
            entry["outcome"] = "client-gone"
        except Exception as error:
            # A server bug costs this connection, never the server.
            traceback.print_exc()
            entry["outcome"] = "error"
            if entry["status"] is None:
                self._send_quietly(text_answer(500, repr(error), close=True), entry)
        finally:
            if entry["seq"] == self.sequence and not entry.get("_recorded"):
                entry["done"] = time.time()
                self.server.record(entry)
        return keep

    def _send_quietly(self, answer, entry):
        try:
            self._send(None, answer, None, entry)
        except OSError:
            pass

    def _dispatch(self, request, entry):
        path = parse_target(request.target)
        entry["path"] = path
        body = self._read_body(request)
        if path.startswith(CONTROL_PREFIX):
            return self._send(request, self._control(request, path, body), None, entry)
        if request.method not in ("GET", "HEAD"):
            answer = text_answer(405, headers=[("Allow", "GET, HEAD")])
            return self._send(request, answer, None, entry)
        index, rule = self.server.rules.select(request.method, path)
        entry["rule"] = index
        self.abort_on_close = rule is not None and rule.abort
        if rule is not None:
            if rule.delay:
                self._wait(rule.delay)
            if rule.drop:
                raise DropConnection()
        answer = self._answer_for(request, path, rule)
        return self._send(request, answer, rule, entry)

    def _control(self, request, path, body):
        name = path[len(CONTROL_PREFIX) :]
        if name == "config" and request.method == "GET":
            return json_answer(self.server.rules.snapshot())
        if name == "config" and request.method in ("POST", "PUT"):
            try:
                self.server.rules.configure(json.loads(body.decode("utf-8")))
            except (ValueError, RecursionError) as error:
                return text_answer(400, str(error))
            return json_answer({"ok": True})
        if name == "log" and request.method == "GET":
            return json_answer(self.server.entries())
        return text_answer(404)

    def _answer_for(self, request, path, rule):
        answer = self._base_answer(request, path, rule)
        if rule is not None:
            answer.headers += list(rule.headers.items())
        return answer

    def _base_answer(self, request, path, rule):
        if rule is not None and rule.redirect is not None:
            location = rule.redirect.replace("{base}", self.server.base_url)
            location = location.replace("{port}", str(self.server.port))
            return text_answer(rule.status, location, headers=[("Location", location)])
        if rule is not None and rule.filler is not None:
            return filler_answer(rule.status or 200, rule.filler, rule.corrupt)
        if rule is not None and rule.status is not None:
            data, kind = rule.status_body()
            return Answer(rule.status, [("Content-Type", kind)], data, corrupt=rule.corrupt)
        file_path = self.server.resolve(path)
        if file_path is None:
            return text_answer(404)
        gzip_allowed = self.server.rules.gzip_allowed(path)
        return file_answer(
            request,
            file_path,
            gzip_allowed,
            rule.corrupt if rule else None,
            rule is not None and rule.ignore_range,
        )

    # Sending.

    def _send(self, request, answer, rule, entry):
        """Sends `answer` with the rule's body faults; True to keep the connection."""
        head_only = request is not None and request.method == "HEAD"
        keep = (
            request is not None
            and request.wants_keep_alive()
            and not answer.close
            and not self.server.stopping.is_set()
        )
        cut = None if head_only else self._cut_for(rule, answer)
        cutting = cut is not None and cut <= answer.length
        unframed = rule is not None and rule.no_length
        # Without a length only the close ends a body.
        keep = keep and not (unframed and not head_only)
        entry.update(status=answer.status, start=answer.start, length=answer.length)
        entry["gzip"] = any(name == "Content-Encoding" for name, _ in answer.headers)
        headers = [
            ("Date", email.utils.formatdate(usegmt=True)),
            ("Server", "launcher-test-update-server"),
            *([] if unframed else [("Content-Length", str(answer.length))]),
            *answer.headers,
        ]
        if not keep and not cutting:
            headers.append(("Connection", "close"))
        elif keep and request.version < (1, 1):
            headers.append(("Connection", "keep-alive"))
        lines = [f"HTTP/1.1 {answer.status} {server_pages.reason_phrase(answer.status)}"]
        lines += [f"{name}: {value}" for name, value in headers]
        self.sock.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))
        if head_only:
            return keep
        self._send_body(answer, cut, rule.rate if rule is not None else None, entry)
        if not cutting:
            # A file that shrank while being sent leaves the client waiting for
            # bytes that never come; only a close ends that.
            return keep and entry["sent"] == answer.length
        if rule.stall_after is not None:
            entry["outcome"] = "stalled"
            self._record_early(entry)
            self._stall(rule.stall_seconds)
        else:
            entry["outcome"] = "closed"
        return False

    def _cut_for(self, rule, answer):
        """Body bytes to send before the rule closes the connection, or None."""
        if rule is None:
            return None
        if rule.cut_at_offset is None:
            return rule.cut_after()
        cut = rule.cut_at_offset - answer.start
        if 0 <= cut < answer.length and self.server.rules.claim_offset_cut(rule):
            return cut
        return None

    def _body_chunks(self, answer):
        if answer.filler:
            for offset in range(0, answer.length, len(FILLER_BLOCK)):
                yield offset, FILLER_BLOCK[: answer.length - offset]
            return
        if answer.file_path is None:
            data = answer.data[answer.start : answer.start + answer.length]
            for offset in range(0, len(data), CHUNK):
                yield answer.start + offset, data[offset : offset + CHUNK]
            return
        with open(answer.file_path, "rb") as source:
            source.seek(answer.start)
            position = answer.start
            remaining = answer.length
            while remaining > 0:
                chunk = source.read(min(CHUNK, remaining))
                if not chunk:
                    return
                yield position, chunk
                position += len(chunk)
                remaining -= len(chunk)

    def _send_body(self, answer, cut, rate, entry):
        pacer = Pacer(rate, self._wait) if rate else None
        for position, chunk in self._body_chunks(answer):
            if cut is not None:
                chunk = chunk[: cut - entry["sent"]]
                if not chunk:
                    return
            if answer.corrupt is not None:
                chunk = answer.corrupt.apply(chunk, position)
            for piece in pacer.pieces(chunk) if pacer else (chunk,):
                self.sock.sendall(piece)
                entry["sent"] += len(piece)

    def _record_early(self, entry):
        """Logs an exchange before it ends, so a test can see a stall while it lasts."""
        self.server.record(dict(entry))
        entry["_recorded"] = True

    def _stall(self, seconds):
        deadline = None if seconds is None else time.monotonic() + seconds
        while deadline is None or time.monotonic() < deadline:
            step = 0.1 if deadline is None else min(0.1, deadline - time.monotonic())
            self._wait(max(step, 0))
            if self._client_left():
                return

    def _client_left(self):
        try:
            readable, _, _ = select.select([self.sock], [], [], 0)
            # The raw peek also works under TLS: EOF is EOF either way.
            return bool(readable) and socket.socket.recv(self.sock, 1, socket.MSG_PEEK) == b""
        except (OSError, ValueError):
            return True

    def _wait(self, seconds):
        if self.server.stopping.wait(seconds):
            raise ServerStopping()
