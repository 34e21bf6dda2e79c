"""Tests of the test update server itself, through real sockets on loopback."""
import datetime
import gzip
import http.client
import json
import os
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import threading
import urllib.parse
import xml.etree.ElementTree as ET
from dataclasses import dataclass

import pytest

from update_server import UpdateServer

PKG = bytes((index * 7 + 3) % 256 for index in range(1000))
TEXT = b"terms of use, line of text\n" * 200
SECRET = b"outside the served root"
XHTML = "{http://www.w3.org/1999/xhtml}"


@pytest.fixture
def tree(tmp_path):
    root = tmp_path / "root"
    (root / "packages" / "nested").mkdir(parents=True)
    (root / "update.rxml").write_bytes(b"Rar!manifest")
    (root / "game.pkg").write_bytes(PKG)
    (root / "empty.pkg").write_bytes(b"")
    (root / "terms.txt").write_bytes(TEXT)
    (root / "packages" / "nested" / "deep.pkg").write_bytes(b"deep package")
    (tmp_path / "secret.txt").write_bytes(SECRET)
    (root / "escape.txt").symlink_to(tmp_path / "secret.txt")
    return root


@pytest.fixture
def server(start_update_server, tree):
    return start_update_server(tree)


@dataclass
class RawAnswer:
    status: int
    headers: dict
    body: bytes
    end: str  # "complete", "eof", "reset" or "timeout"


def read_answer(sock, head_only=False):
    """Reads one answer; a body cut short is returned as far as it came."""
    data = b""
    try:
        while b"\r\n\r\n" not in data:
            chunk = sock.recv(65536)
            if not chunk:
                return RawAnswer(None, {}, data, "eof")
            data += chunk
    except ConnectionResetError:
        return RawAnswer(None, {}, data, "reset")
    head, _, body = data.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers[name.strip().lower()] = value.strip()
    expected = 0 if head_only else int(headers["content-length"])
    end = "complete"
    try:
        while len(body) < expected:
            chunk = sock.recv(65536)
            if not chunk:
                end = "eof"
                break
            body += chunk
    except socket.timeout:
        end = "timeout"
    except ConnectionResetError:
        end = "reset"
    return RawAnswer(int(lines[0].split(" ")[1]), headers, body, end)


def raw_request(port, request, timeout=5.0):
    if isinstance(request, str):
        request = request.encode("latin-1")
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as sock:
        sock.sendall(request)
        return read_answer(sock)


def raw_get(port, path, extra="", timeout=5.0):
    return raw_request(port, f"GET {path} HTTP/1.1\r\nHost: x\r\n{extra}\r\n", timeout)


def fetch(server, path, headers=None, method="GET", body=None):
    connection = http.client.HTTPConnection("127.0.0.1", server.port, timeout=5)
    try:
        connection.request(method, path, body=body, headers=headers or {})
        response = connection.getresponse()
        return response.status, {k.lower(): v for k, v in response.getheaders()}, response.read()
    finally:
        connection.close()


# Serving files.


@pytest.mark.parametrize(
    "target, expected",
    [
        ("/game.pkg", PKG),
        ("/packages/nested/deep.pkg", b"deep package"),
        ("/update.rxml?1700000000000", b"Rar!manifest"),
        ("/game.pkg?LANG=en&part", PKG),
        ("/pack%61ges/nested/deep.pkg", b"deep package"),
        ("/empty.pkg", b""),
    ],
)
def test_files_are_served_whole_with_length(server, target, expected):
    status, headers, body = fetch(server, target)
    assert (status, body) == (200, expected)
    assert headers["content-length"] == str(len(expected))
    assert headers["accept-ranges"] == "bytes"


@pytest.mark.parametrize("target", ["/missing.pkg", "/packages", "/packages/", "/", "/escape.txt"])
def test_missing_files_directories_and_links_out_of_the_root_are_404(server, target):
    status, headers, body = fetch(server, target)
    assert status == 404
    assert headers["content-length"] == str(len(body))
    assert SECRET not in body


# Byte ranges: the launcher asks "a-(a+length)" whose end is one past the last byte.
RANGE_CASES = [
    ("/game.pkg", "bytes=0-99", 206, (0, 99)),
    ("/game.pkg", "bytes=999-999", 206, (999, 999)),
    ("/game.pkg", "bytes=100-", 206, (100, 999)),
    ("/game.pkg", "bytes=500-1000", 206, (500, 999)),
    ("/game.pkg", "bytes=990-5000", 206, (990, 999)),
    ("/game.pkg", "bytes=-100", 206, (900, 999)),
    ("/game.pkg", "bytes=-5000", 206, (0, 999)),
    ("/game.pkg", "BYTES = 10-19", 206, (10, 19)),
    ("/game.pkg", "bytes=1000-", 416, None),
    ("/game.pkg", "bytes=1000-1001", 416, None),
    ("/game.pkg", "bytes=-0", 416, None),
    ("/empty.pkg", "bytes=0-", 416, None),
    ("/empty.pkg", "bytes=-1", 416, None),
    ("/game.pkg", "bytes=5-3", 200, None),
    ("/game.pkg", "bytes=abc", 200, None),
    ("/game.pkg", "bytes=-", 200, None),
    ("/game.pkg", "items=0-5", 200, None),
    ("/game.pkg", "bytes=0-1,5-6", 200, None),
    ("/game.pkg", "bytes=" + "9" * 40 + "-", 200, None),
]


@pytest.mark.parametrize("path, header, status, span", RANGE_CASES)
def test_byte_ranges(server, tree, path, header, status, span):
    content = (tree / path.lstrip("/")).read_bytes()
    answer = raw_get(server.port, path, f"Range: {header}\r\n")
    assert answer.status == status
    assert answer.end == "complete"
    assert answer.headers["content-length"] == str(len(answer.body))
    if status == 206:
        first, last = span
        assert answer.body == content[first : last + 1]
        assert answer.headers["content-range"] == f"bytes {first}-{last}/{len(content)}"
    elif status == 416:
        assert answer.headers["content-range"] == f"bytes */{len(content)}"
    else:
        assert answer.body == content
        assert "content-range" not in answer.headers


@pytest.mark.parametrize(
    "path, headers",
    [
        ("/game.pkg", {}),
        ("/game.pkg", {"Range": "bytes=10-19"}),
        ("/game.pkg", {"Range": "bytes=2000-"}),
        ("/terms.txt", {"Accept-Encoding": "gzip"}),
        ("/missing.pkg", {}),
    ],
)
def test_head_sends_the_get_headers_and_no_body(server, path, headers):
    connection = http.client.HTTPConnection("127.0.0.1", server.port, timeout=5)
    try:
        connection.request("HEAD", path, headers=headers)
        head = connection.getresponse()
        head_body = head.read()
        # A body after the HEAD answer would be read as the next answer's head.
        connection.request("GET", path, headers=headers)
        got = connection.getresponse()
        got_body = got.read()
    finally:
        connection.close()
    assert head_body == b""
    assert head.status == got.status
    head_headers = {k: v for k, v in head.getheaders() if k != "Date"}
    assert head_headers == {k: v for k, v in got.getheaders() if k != "Date"}
    assert int(got.getheader("Content-Length")) == len(got_body)


def test_keep_alive_serves_several_requests_on_one_connection(server):
    connection = http.client.HTTPConnection("127.0.0.1", server.port, timeout=5)
    try:
        for path in ("/game.pkg", "/update.rxml"):
            connection.request("GET", path, headers={"Range": "bytes=0-3"})
            assert connection.getresponse().read() in (PKG[:4], b"Rar!")
    finally:
        connection.close()
    fetch(server, "/terms.txt")
    server.wait_for_requests("/terms.txt")
    entries = server.entries()
    assert [(e["path"], e["conn"], e["seq"]) for e in entries] == [
        ("/game.pkg", entries[0]["conn"], 1),
        ("/update.rxml", entries[0]["conn"], 2),
        ("/terms.txt", entries[2]["conn"], 1),
    ]
    assert entries[2]["conn"] != entries[0]["conn"]


@pytest.mark.parametrize(
    "version, connection_header, closes",
    [
        ("HTTP/1.1", "", False),
        ("HTTP/1.1", "Connection: close\r\n", True),
        ("HTTP/1.0", "", True),
        ("HTTP/1.0", "Connection: keep-alive\r\n", False),
    ],
)
def test_connection_persistence_follows_the_request(server, version, connection_header, closes):
    with socket.create_connection(("127.0.0.1", server.port), timeout=5) as sock:
        sock.sendall(f"GET /game.pkg {version}\r\n{connection_header}\r\n".encode())
        first = read_answer(sock)
        assert (first.status, first.body) == (200, PKG)
        assert (first.headers.get("connection") == "close") == closes
        sock.sendall(f"GET /update.rxml {version}\r\n{connection_header}\r\n".encode())
        second = read_answer(sock)
    assert second.status == (None if closes else 200)


# Content coding.


@pytest.mark.parametrize(
    "config, path, headers, coded",
    [
        (None, "/terms.txt", {"Accept-Encoding": "gzip, deflate"}, True),
        (None, "/terms.txt", {"Accept-Encoding": "deflate, *"}, True),
        (None, "/terms.txt", {}, False),
        (None, "/terms.txt", {"Accept-Encoding": "gzip;q=0, deflate"}, False),
        (None, "/terms.txt", {"Accept-Encoding": "gzip", "Range": "bytes=0-9"}, False),
        (None, "/game.pkg", {"Accept-Encoding": "gzip"}, False),
        ({"gzip": ["*.pkg"]}, "/game.pkg", {"Accept-Encoding": "gzip"}, True),
        ({"gzip": []}, "/terms.txt", {"Accept-Encoding": "gzip"}, False),
    ],
)
def test_gzip_only_when_accepted_configured_and_not_ranged(
    server, tree, config, path, headers, coded
):
    if config is not None:
        server.configure(config)
    content = (tree / path.lstrip("/")).read_bytes()
    status, answer_headers, body = fetch(server, path, headers)
    assert answer_headers["content-length"] == str(len(body))
    if coded:
        assert (status, answer_headers["content-encoding"]) == (200, "gzip")
        assert gzip.decompress(body) == content
        assert len(body) < len(content)
    else:
        assert "content-encoding" not in answer_headers
        expected = content[:10] if "Range" in headers else content
        assert body == expected


# Redirects and maintenance pages.


def test_redirect_chain_across_servers(start_update_server, tree, tmp_path):
    other_root = tmp_path / "other"
    other_root.mkdir()
    other = start_update_server(
        other_root, config={"rules": [{"path": "/moved", "redirect": "{base}/final.pkg"}]}
    )
    (other_root / "final.pkg").write_bytes(b"final bytes")
    first = start_update_server(
        tree,
        config={
            "rules": [
                {"path": "/start", "redirect": "{base}/hop", "status": 301},
                {"path": "/hop", "redirect": other.base_url + "/moved", "status": 307},
            ]
        },
    )
    url = first.base_url + "/start"
    hops = []
    for _ in range(5):
        parts = urllib.parse.urlsplit(url)
        connection = http.client.HTTPConnection(parts.hostname, parts.port, timeout=5)
        connection.request("GET", parts.path)
        response = connection.getresponse()
        body = response.read()
        connection.close()
        hops.append((parts.port, response.status))
        if response.status not in (301, 302, 307):
            break
        url = response.getheader("Location")
    assert hops == [(first.port, 301), (first.port, 307), (other.port, 302), (other.port, 200)]
    assert body == b"final bytes"


def _children_by_class(element):
    return {child.get("class"): child for child in element}


@pytest.mark.parametrize(
    "end_key, end_value",
    [("end", "2031-02-03T04:05:00Z"), ("end_in", 3600), (None, None)],
)
def test_maintenance_xml_page(server, end_key, end_value):
    maintenance = {
        "format": "xml",
        "languages": {
            "en": {
                "title": "Maintenance",
                "line1": "Servers <down> & busy",
                "line2": "Back at {time}, sorry",
            },
            "de": {"title": "Wartung", "line1": "Bitte warten"},
        },
    }
    if end_key:
        maintenance[end_key] = end_value
    server.set_rules([{"path": "/update.rxml", "maintenance": maintenance}])
    before = datetime.datetime.now(datetime.timezone.utc)
    status, headers, body = fetch(server, "/update.rxml?123")
    assert status == 503
    assert headers["content-length"] == str(len(body))
    page = ET.fromstring(body)
    divs = {div.get("id"): div for div in page.iter(XHTML + "div")}
    assert all(list(div.attrib)[0] == "id" for div in divs.values())
    english = _children_by_class(divs["en"])
    assert english["title"].text == "Maintenance"
    assert english["line1"].text == "Servers <down> & busy"
    line2 = english["line2"]
    assert line2.text == "Back at "
    assert [(c.get("class"), c.tail) for c in line2] == [("time", ", sorry")]
    assert set(_children_by_class(divs["de"])) == {"title", "line1"}
    if end_key is None:
        assert "time" not in divs
        return
    fields = {name: int(e.text) for name, e in _children_by_class(divs["time"]).items()}
    end = datetime.datetime(tzinfo=datetime.timezone.utc, **fields)
    if end_key == "end":
        assert end == datetime.datetime(2031, 2, 3, 4, 5, tzinfo=datetime.timezone.utc)
    else:
        assert end >= before + datetime.timedelta(seconds=3600)


def test_maintenance_html_page_is_not_xml(server):
    server.set_rules(
        [
            {
                "path": "*",
                "status": 502,
                "maintenance": {
                    "format": "html",
                    "title": "Bad gateway",
                    "message": "Try <later> & again",
                },
            }
        ]
    )
    status, headers, body = fetch(server, "/game.pkg")
    assert status == 502
    assert headers["content-type"].startswith("text/html")
    assert b"Bad gateway" in body and b"Try &lt;later&gt; &amp; again" in body
    with pytest.raises(ET.ParseError):
        ET.fromstring(body)


# Fault switches.


@pytest.mark.parametrize(
    "rule, range_header, sent, content",
    [
        ({"close_after": 100}, None, 100, PKG),
        ({"close_after": 0}, None, 0, PKG),
        ({"close_after": 50}, "bytes=500-", 50, PKG[500:]),
        ({"close_after": 1000}, None, 1000, PKG),
    ],
)
def test_close_after_sends_exactly_n_body_bytes_then_eof(server, rule, range_header, sent, content):
    server.set_rules([dict(rule, path="/game.pkg")])
    extra = f"Range: {range_header}\r\n" if range_header else ""
    answer = raw_get(server.port, "/game.pkg", extra)
    assert answer.headers["content-length"] == str(len(content))
    assert answer.body == content[:sent]
    if sent < len(content):
        assert answer.end == "eof"
    entry = server.wait_for_requests("/game.pkg")[0]
    assert (entry["sent"], entry["outcome"]) == (sent, "closed")


@pytest.mark.parametrize(
    "requests",
    [
        # Ranges in turn, the cut inside the second; the resumed range and a
        # later one over the same byte arrive whole.
        [
            ("bytes=0-299", 0, PKG[:300], "ok"),
            ("bytes=300-", 300, PKG[300:600], "closed"),
            ("bytes=600-", 600, PKG[600:], "ok"),
            ("bytes=300-", 300, PKG[300:], "ok"),
        ],
        # A whole answer counts from byte 0 of the file.
        [(None, 0, PKG[:600], "closed"), (None, 0, PKG, "ok")],
    ],
)
def test_cut_at_offset_closes_once_where_the_body_reaches_that_file_byte(server, requests):
    server.set_rules([{"path": "/game.pkg", "cut_at_offset": 600}])
    for range_header, _, body, outcome in requests:
        extra = f"Range: {range_header}\r\n" if range_header else ""
        answer = raw_get(server.port, "/game.pkg", extra)
        assert answer.body == body
        assert answer.end == ("eof" if outcome == "closed" else "complete")
    entries = server.wait_for_requests("/game.pkg", count=len(requests))
    assert [(e["start"], e["sent"], e["outcome"]) for e in entries] == [
        (start, len(body), outcome) for _, start, body, outcome in requests
    ]


def test_abort_resets_the_connection(server):
    server.set_rules([{"path": "/game.pkg", "close_after": 10, "abort": True}])
    answer = raw_get(server.port, "/game.pkg")
    assert answer.body == PKG[:10]
    assert answer.end == "reset"


def test_drop_closes_without_an_answer(server):
    server.set_rules([{"path": "/game.pkg", "drop": True, "times": 1}])
    statuses = [raw_get(server.port, "/game.pkg").status for _ in range(2)]
    assert statuses == [None, 200]
    assert server.entries("/game.pkg")[0]["outcome"] == "dropped"


@pytest.mark.parametrize(
    "stall_seconds, client_timeout, end", [(None, 0.5, "timeout"), (0.2, 10.0, "eof")]
)
def test_stall_after_n_bytes(server, stall_seconds, client_timeout, end):
    server.set_rules([{"path": "/game.pkg", "stall_after": 100, "stall_seconds": stall_seconds}])
    answer = raw_get(server.port, "/game.pkg", timeout=client_timeout)
    assert answer.body == PKG[:100]
    assert answer.end == end
    assert server.wait_for_requests("/game.pkg")[0]["outcome"] == "stalled"


def test_stop_ends_stalled_connections(start_update_server, tree):
    server = start_update_server(tree, config={"rules": [{"path": "*", "stall_after": 10}]})
    with socket.create_connection(("127.0.0.1", server.port), timeout=10) as sock:
        sock.sendall(b"GET /game.pkg HTTP/1.1\r\n\r\n")
        server.wait_for_requests("/game.pkg")
        stopper = threading.Thread(target=server.stop)
        stopper.start()
        stopper.join(10)
        assert not stopper.is_alive()
        answer = read_answer(sock)
    assert (answer.body, answer.end) == (PKG[:10], "eof")


def test_rate_limited_body_arrives_whole(server):
    server.set_rules([{"path": "/game.pkg", "rate": 5000}])
    answer = raw_get(server.port, "/game.pkg")
    assert (answer.status, answer.body, answer.end) == (200, PKG, "complete")


def test_no_length_leaves_out_content_length_and_closes_after_the_body(server):
    server.set_rules([{"path": "/game.pkg", "no_length": True}])
    status, headers, body = fetch(server, "/game.pkg", method="HEAD")
    assert (status, body, "content-length" in headers) == (200, b"", False)
    status, headers, body = fetch(server, "/game.pkg")
    assert (status, body, "content-length" in headers) == (200, PKG, False)
    assert headers.get("connection") == "close"


@pytest.mark.parametrize(
    "rule, status, body, header",
    [
        ({"status": 500, "body": "boom"}, 500, b"boom", None),
        ({"status": 404}, 404, b"404 Not Found\n", None),
        ({"status": 503, "headers": {"Retry-After": "5"}}, 503, None, ("retry-after", "5")),
        (
            {"status": 200, "body": "new", "content_type": "text/x-test"},
            200,
            b"new",
            ("content-type", "text/x-test"),
        ),
        ({"delay": 0.1}, 200, PKG, None),
        ({"methods": ["HEAD"], "status": 500}, 200, PKG, None),
        (
            {"status": 206, "body": "abc", "headers": {"Content-Range": "bytes 7-9/1000"}},
            206,
            b"abc",
            ("content-range", "bytes 7-9/1000"),
        ),
    ],
    ids=[
        "body",
        "default-body",
        "extra-header",
        "content-type",
        "delay",
        "other-method",
        "hostile-range",
    ],
)
def test_status_answers(server, rule, status, body, header):
    server.set_rules([dict(rule, path="/game.pkg")])
    got_status, headers, got_body = fetch(server, "/game.pkg")
    assert got_status == status
    if body is not None:
        assert got_body == body
    if header is not None:
        assert headers[header[0]] == header[1]


def test_ignore_range_answers_the_whole_file(server):
    server.set_rules([{"path": "/game.pkg", "ignore_range": True}])
    answer = raw_get(server.port, "/game.pkg", "Range: bytes=10-19\r\n")
    assert (answer.status, answer.body, answer.end) == (200, PKG, "complete")
    assert "content-range" not in answer.headers


@pytest.mark.parametrize("status", [None, 503])
@pytest.mark.parametrize("no_length", [False, True])
def test_filler_answers_generated_bytes_without_a_file(server, no_length, status):
    size = 70000
    rule = {"path": "/nowhere.bin", "filler": size, "no_length": no_length}
    if status is not None:
        rule["status"] = status
    server.set_rules([rule])
    got, headers, body = fetch(server, "/nowhere.bin", headers={"Range": "bytes=5-9"})
    assert (got, body) == (status or 200, bytes(index % 251 for index in range(size)))
    assert headers.get("content-length") == (None if no_length else str(size))


def test_huge_filler_ends_when_the_client_leaves(server):
    size = 1 << 40
    server.set_rules([{"path": "/huge.bin", "filler": size}])
    with socket.create_connection(("127.0.0.1", server.port), timeout=10) as sock:
        sock.sendall(b"GET /huge.bin HTTP/1.1\r\nHost: x\r\n\r\n")
        data = b""
        while len(data) < 100000:
            data += sock.recv(65536)
    assert data.startswith(b"HTTP/1.1 200 ")
    entry = server.wait_for_requests("/huge.bin")[0]
    assert (entry["length"], entry["outcome"]) == (size, "client-gone")
    assert entry["sent"] < size


REPLACE_SPAN = {"mode": "replace", "offset": 10, "length": 5, "byte": 0x41}


def _replaced(content, offset, length, byte):
    changed = bytearray(content)
    changed[offset : offset + length] = bytes([byte]) * len(changed[offset : offset + length])
    return bytes(changed)


@pytest.mark.parametrize(
    "corrupt, range_header, expected",
    [
        ("flip", None, bytes(255 - b for b in PKG)),
        (REPLACE_SPAN, None, _replaced(PKG, 10, 5, 0x41)),
        (REPLACE_SPAN, "bytes=8-12", _replaced(PKG, 10, 5, 0x41)[8:13]),
        (
            {"mode": "flip", "offset": 995},
            "bytes=-10",
            PKG[990:995] + bytes(255 - b for b in PKG[995:]),
        ),
    ],
    ids=["flip-all", "replace-span", "replace-span-in-range", "flip-tail-in-suffix-range"],
)
def test_corrupt_serves_wrong_bytes_of_the_same_length(server, corrupt, range_header, expected):
    server.set_rules([{"path": "/game.pkg", "corrupt": corrupt}])
    extra = f"Range: {range_header}\r\n" if range_header else ""
    answer = raw_get(server.port, "/game.pkg", extra)
    assert answer.body == expected


@pytest.mark.parametrize(
    "rules, outcomes",
    [
        ([{"status": 503, "times": 2}], [503, 503, 200, 200]),
        ([{"status": 500, "after": 1, "times": 1}], [200, 500, 200]),
        (
            [{"status": 503, "times": 2}, {"close_after": 10, "after": 2, "times": 1}],
            [503, 503, "cut", 200],
        ),
        ([{"status": 503}], [503, 503, 503]),
    ],
)
def test_rules_act_on_a_window_of_requests(server, rules, outcomes):
    server.set_rules([dict(rule, path="/game.pkg") for rule in rules])
    got = []
    for _ in outcomes:
        answer = raw_get(server.port, "/game.pkg")
        got.append("cut" if answer.end == "eof" else answer.status)
    assert got == outcomes


def test_faults_change_at_run_time_through_the_control_endpoint(server):
    connection = http.client.HTTPConnection("127.0.0.1", server.port, timeout=5)

    def exchange(method, path, value=None):
        body = None if value is None else json.dumps(value)
        connection.request(method, path, body=body)
        response = connection.getresponse()
        return response.status, response.read()

    try:
        assert exchange("GET", "/game.pkg") == (200, PKG)
        rules = {"rules": [{"path": "/game.pkg", "status": 503, "body": "later"}]}
        assert exchange("POST", "/__control/config", rules)[0] == 200
        assert exchange("GET", "/game.pkg") == (503, b"later")
        status, config = exchange("GET", "/__control/config")
        assert json.loads(config)["rules"][0]["seen"] == 1
        typo = {"rules": [{"path": "/x", "clsoe_after": 1}]}
        status, error = exchange("POST", "/__control/config", typo)
        assert status == 400 and b"clsoe_after" in error
        assert exchange("GET", "/game.pkg")[0] == 503
        assert exchange("POST", "/__control/config", {"rules": []})[0] == 200
        assert exchange("GET", "/game.pkg") == (200, PKG)
        status, log = exchange("GET", "/__control/log")
        statuses = [e["status"] for e in json.loads(log) if e["path"] == "/game.pkg"]
        assert statuses == [200, 503, 503, 200]
    finally:
        connection.close()


@pytest.mark.parametrize(
    "rule",
    [
        {"path": "/a", "clsoe_after": 1},
        {"path": "/a", "close_after": 1, "stall_after": 2},
        {"path": "/a", "cut_at_offset": 5, "close_after": 2},
        {"path": "/a", "cut_at_offset": -1},
        {"path": "/a", "redirect": "/b", "status": 200},
        {"path": "/a", "times": 0},
        {"path": "/a", "close_after": -1},
        {"path": "/a", "corrupt": "reverse"},
        {"path": "/a", "maintenance": {"format": "xml", "languages": {"en": {"title": "t"}}}},
        {
            "path": "/a",
            "maintenance": {
                "format": "xml",
                "languages": {"en": {"title": "t", "line1": "l"}},
                "end": "soon",
            },
        },
        {"close_after": 1},
        {"path": "/a", "body": "no status"},
        {"path": "/a", "headers": {"X": "a\r\nInjected: 1"}},
        {"path": "/a", "headers": {"X": 1}},
        {"path": "/a", "headers": {"Bad Name": "x"}},
        {"path": "/a", "filler": 10, "body": "text", "status": 200},
        {"path": "/a", "filler": -1},
        {"path": "/a", "ignore_range": "yes"},
    ],
)
def test_invalid_rules_are_refused(server, rule):
    server.set_rules([{"path": "/game.pkg", "status": 500}])
    with pytest.raises(ValueError):
        server.set_rules([rule])
    assert fetch(server, "/game.pkg")[0] == 500


# Hostile requests.


@pytest.mark.parametrize(
    "target",
    [
        "/../secret.txt",
        "/%2e%2e/secret.txt",
        "/%2E%2E%2Fsecret.txt",
        "/packages/..%2f..%2f..%2fsecret.txt",
        "/packages/../../secret.txt",
        "/..\\secret.txt",
        "/%5c..%5csecret.txt",
        "//secret.txt",
        "/./game.pkg",
        "/etc/passwd",
        "/%00game.pkg",
        "/%zz",
        "/%ff",
        "secret.txt",
        "http://127.0.0.1/secret.txt",
        "*",
    ],
)
def test_paths_outside_the_root_are_refused(server, target):
    answer = raw_get(server.port, target)
    assert answer.status in (400, 404)
    assert SECRET not in answer.body


@pytest.mark.parametrize(
    "request_bytes, status",
    [
        (b"GARBAGE\r\n\r\n", 400),
        (b"GET /game.pkg HTTP/2.0\r\n\r\n", 505),
        (b"GET /game.pkg HTTP/1.1 extra\r\n\r\n", 400),
        (b"GET /game.pkg FTP/1.1\r\n\r\n", 400),
        (b"GET /g\xffame.pkg HTTP/1.1\r\n\r\n", 400),
        (b"GET /game.pkg HTTP/1.1\r\nno colon here\r\n\r\n", 400),
        (b"GET /game.pkg HTTP/1.1\r\nX: a\r\n folded\r\n\r\n", 400),
        (b"GET /game.pkg HTTP/1.1\r\nX-Big: " + b"a" * 40000 + b"\r\n\r\n", 431),
        (b"GET /game.pkg HTTP/1.1\r\n" + b"X: y\r\n" * 200 + b"\r\n", 431),
        (b"GET /" + b"a" * 10000 + b" HTTP/1.1\r\n\r\n", 414),
        (b"GET /game.pkg HTTP/1.1\r\nContent-Length: lots\r\n\r\n", 400),
        (b"GET /game.pkg HTTP/1.1\r\nContent-Length: 99999999\r\n\r\n", 413),
        (b"GET /game.pkg HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 501),
        (b"POST /game.pkg HTTP/1.1\r\nContent-Length: 2\r\n\r\nab", 405),
        (b"GET /__control/nothing HTTP/1.1\r\n\r\n", 404),
        (b"POST /__control/config HTTP/1.1\r\nContent-Length: 3\r\n\r\n{x}", 400),
        (b"GET /game.pkg HTTP/1.1\r\nHost: x", None),
        (b"\r\n\r\nGET /game.pkg HTTP/1.1\r\n\r\n", 200),
        (b"GET /game.pkg HTTP/1.1\n\n", 200),
    ],
    ids=lambda value: repr(value)[:40] if isinstance(value, bytes) else None,
)
def test_malformed_requests_get_an_error_and_the_server_goes_on(server, request_bytes, status):
    with socket.create_connection(("127.0.0.1", server.port), timeout=5) as sock:
        sock.sendall(request_bytes)
        if status is None:
            sock.shutdown(socket.SHUT_WR)
        answer = read_answer(sock)
    assert answer.status == status
    assert fetch(server, "/game.pkg")[2] == PKG


# HTTPS, the access log file and the command line.


@pytest.mark.skipif(shutil.which("openssl") is None, reason="needs the openssl command")
@pytest.mark.parametrize("host", ["127.0.0.1", "localhost"])
def test_https_with_the_generated_certificate(start_update_server, tree, tmp_path, host):
    server = start_update_server(tree, https=True, cert_dir=tmp_path / "certs")
    assert server.base_url.startswith("https://")
    context = ssl.create_default_context(cafile=server.cert_file)
    connection = http.client.HTTPSConnection(host, server.port, timeout=5, context=context)
    try:
        for headers, expected in (({}, PKG), ({"Range": "bytes=-4"}, PKG[-4:])):
            connection.request("GET", "/game.pkg", headers=headers)
            assert connection.getresponse().read() == expected
    finally:
        connection.close()
    assert len({e["conn"] for e in server.wait_for_requests("/game.pkg", 2)}) == 1


def test_access_log_file_has_one_flushed_json_line_per_request(start_update_server, tree, tmp_path):
    log_path = tmp_path / "access.jsonl"
    server = start_update_server(tree, access_log=str(log_path))
    fetch(server, "/game.pkg", {"Range": "bytes=0-9"})
    fetch(server, "/missing.pkg")
    server.wait_for_requests("/missing.pkg")
    lines = [json.loads(line) for line in log_path.read_text().splitlines()]
    assert lines == server.entries()
    assert [(e["method"], e["path"], e["range"], e["status"], e["sent"]) for e in lines] == [
        ("GET", "/game.pkg", "bytes=0-9", 206, 10),
        ("GET", "/missing.pkg", None, 404, lines[1]["length"]),
    ]


def test_command_line_announces_the_port_and_applies_the_faults_file(tree, tmp_path):
    faults = tmp_path / "faults.json"
    faults.write_text(json.dumps({"rules": [{"path": "/update.rxml", "status": 503, "times": 1}]}))
    port_file = tmp_path / "port"
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "update_server.py")
    process = subprocess.Popen(
        [sys.executable, script, "--root", str(tree), "--port-file", str(port_file),
         "--faults", str(faults), "--access-log", str(tmp_path / "log")],
        stdout=subprocess.PIPE, text=True,
    )
    try:
        first_line = process.stdout.readline().strip()
        assert first_line.startswith("PORT=")
        port = int(first_line[len("PORT="):])
        assert process.stdout.readline().strip() == f"URL=http://127.0.0.1:{port}"
        assert port_file.read_text().strip() == str(port)
        assert raw_get(port, "/update.rxml").status == 503
        assert raw_get(port, "/update.rxml").body == b"Rar!manifest"
        process.send_signal(signal.SIGTERM)
        assert process.wait(timeout=10) == 0
    finally:
        if process.poll() is None:
            process.kill()
        process.stdout.close()


def test_command_line_refuses_a_bad_faults_file(tree, tmp_path):
    faults = tmp_path / "faults.json"
    faults.write_text('{"rules": [{"path": "/a", "stall": 1}]}')
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "update_server.py")
    result = subprocess.run(
        [sys.executable, script, "--root", str(tree), "--faults", str(faults)],
        capture_output=True, text=True, timeout=30,
    )
    assert result.returncode == 2
    assert "stall" in result.stderr


def test_server_objects_refuse_a_missing_root(tmp_path):
    with pytest.raises(ValueError):
        UpdateServer(str(tmp_path / "nothing"))
