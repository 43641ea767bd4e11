"""velnor-panel's JSON API and its gate, through HTTP as a script or a page
sends it, against a panel on virtual boards.

    VELNOR_PANEL=<velnor-panel> VELNOR_PANEL_CHANGES_LIB=<libpanel_board_changes.so> \
        python3 -m pytest panel_api_test.py

Expected documents are written out here, not read from the panel: the board
defaults are the virtual board's (firmware 1.3.0, driver 2.4.1), the image is
packed here from its documented layout.
"""

import http.client
import json
import os
import re
import signal
import struct
import subprocess
import time
import zlib

import pytest

PANEL = os.environ["VELNOR_PANEL"]
CHANGES_LIB = os.environ["VELNOR_PANEL_CHANGES_LIB"]
ADDRESS = re.compile(r"^Velnor panel: http://127\.0\.0\.1:(\d+)/#token=([A-Za-z0-9_-]{43})\n$")


class Panel:
    def __init__(self, tmp_path, *options, changes=None):
        env = dict(os.environ, TMPDIR=str(tmp_path))
        if changes:
            env.update(LD_PRELOAD=CHANGES_LIB, VELNOR_PANEL_CHANGES=str(changes))
        self.process = subprocess.Popen([PANEL, "--no-browser", *options], env=env,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        found = ADDRESS.match(line)
        assert found, line
        self.port, self.token = int(found[1]), found[2]
        self.host = f"127.0.0.1:{self.port}"

    def request(self, method, path, body=None, headers=None, auth=True, content_type=None):
        sent = {"Host": self.host}
        if auth:
            sent["Authorization"] = f"Bearer {self.token}"
        if isinstance(body, (dict, list)):
            body = json.dumps(body).encode()
            content_type = content_type or "application/json"
        if content_type:
            sent["Content-Type"] = content_type
        sent.update(headers or {})
        sent = {k: v for k, v in sent.items() if v is not None}
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        connection.putrequest(method, path, skip_host=True, skip_accept_encoding=True)
        for name, value in sent.items():
            connection.putheader(name, value)
        if body is not None or method != "GET":
            connection.putheader("Content-Length", str(len(body or b"")))
        connection.endheaders(body)
        answer = connection.getresponse()
        text = answer.read()
        connection.close()
        document = json.loads(text) if answer.getheader("Content-Type") == "application/json" else text
        return answer.status, document, answer

    def stop(self, sig=signal.SIGTERM):
        if self.process.poll() is None:
            self.process.send_signal(sig)
        _, err = self.process.communicate(timeout=20)
        return self.process.returncode, err


@pytest.fixture
def panel(tmp_path):
    started = Panel(tmp_path, "--sim-board", "A/B", "--sim-board", "TWIN", "--sim-board", "TWIN",
                    "--sim-pace", "1")
    yield started
    started.stop()


def failure(error, code=None, code_name=None, function=None, log_line=None, **extra):
    return dict(error=error, code=code, code_name=code_name, function=function,
                log_line=log_line, **extra)


def state(serial, led="off", polarity="rising", status="disarmed", mode="internal",
          hertz=100000000, firmware="1.3.0"):
    return {"serial": serial, "firmware": firmware, "driver": "2.4.1", "led": led,
            "trigger": {"polarity": polarity, "status": status},
            "clock": {"mode": mode, "frequency_hz": hertz}}


def image(version=(1, 4, 0), text=b"1.4.0", payload=bytes(range(256)) * 40):
    header = b"VLFW" + struct.pack("<4I", 1, *version) + text.ljust(32, b"\0")
    return header + struct.pack("<3I", len(payload), zlib.crc32(payload), 0) + payload


def test_boards_are_listed_and_named_by_serial(panel):
    path = "\\\\?\\ROOT#VELNOR#{:04d}#{{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}}"
    assert panel.request("GET", "/api/boards")[:2] == (200, [
        {"index": i, "serial": s, "firmware": "1.3.0", "driver": "2.4.1", "path": path.format(i)}
        for i, s in enumerate(["A/B", "TWIN", "TWIN"])])
    assert panel.request("GET", "/api/boards/A%2FB")[:2] == (200, state("A/B"))


CASES = [
    # method, path, body, status, answer (a whole document, or a test of it)
    ("PUT", "/api/boards/A%2FB/led", {"led": "blink"}, 200, state("A/B", led="blink")),
    ("PUT", "/api/boards/A%2FB/trigger", {"polarity": "falling", "status": "arm"}, 200,
     state("A/B", polarity="falling", status="armed")),
    ("PUT", "/api/boards/A%2FB/clock", {"frequency_hz": "125M"}, 200, state("A/B", hertz=125000000)),
    ("PUT", "/api/boards/A%2FB/clock", {"mode": "external", "frequency_hz": 10000000}, 200,
     state("A/B", mode="external", hertz=10000000)),
    ("PUT", "/api/boards/A%2FB/registers/0x10", {"value": "0x1f"}, 200,
     {"serial": "A/B", "address": 16, "value": 31}),
    ("GET", "/api/boards/A%2FB/registers/16", None, 200, {"address": 16, "value": 0x7C}),
    ("GET", "/api/boards/NOPE", None, 404, failure("no board has the serial 'NOPE'")),
    ("GET", "/api/boards/TWIN", None, 409,
     failure("2 boards have the serial 'TWIN'; the panel cannot tell them apart", indexes=[1, 2])),
    ("GET", "/api/boards/A/B", None, 404,
     failure("nothing is served at /api/boards/A/B (a serial with '/' is sent as %2F)")),
    ("PUT", "/api/boards/A%2FB/led", {"led": "purple"}, 400,
     failure("led 'purple' is not one of off, on, blink or a number")),
    ("PUT", "/api/boards/NOPE/led", {"led": "purple"}, 400,
     failure("led 'purple' is not one of off, on, blink or a number")),
    ("PUT", "/api/boards/A%2FB/led", "[1]", 400, failure("the request's body is not a JSON object")),
    ("PUT", "/api/boards/A%2FB/trigger", {}, 400,
     failure("the body has neither \"polarity\" nor \"status\"")),
    ("PUT", "/api/boards/A%2FB/clock", {"mode": "external", "frequency_hz": "2G"}, 400,
     failure("external reference 2000000000 Hz is outside what the board accepts, 1 Hz to 1 GHz "
             "(1 to 1000000000 Hz)")),
    ("PUT", "/api/boards/A%2FB/clock", {"frequency_hz": "10m"}, 400,
     failure("\"frequency_hz\" '10m' is not a whole number of hertz")),
    ("PUT", "/api/boards/A%2FB/clock", {"frequency_hz": 123456789}, 422,
     lambda d: d == dict(d, error="vl_device_set_clock failed: invalid_frequency (-13)", code=-13,
                         code_name="invalid_frequency", function="vl_device_set_clock",
                         nearest_hz=[123125000, 123750000])
     and d["log_line"].endswith("Invalid clock frequency: 123456789Hz. Try 123125000Hz or "
                                "123750000Hz: invalid_frequency")),
    ("GET", "/api/boards/A%2FB/registers/0x233", None, 400,
     failure("register address 0x233 is outside 0x000 to 0x232")),
    ("PUT", "/api/boards/A%2FB/registers/1", {"value": 256}, 400,
     failure("register value 0x100 is outside 0x00 to 0xff")),
    ("POST", "/api/firmware/check", image()[:-1], 400,
     failure("bad image: header gives a 10240-byte payload, the file holds 10239")),
    ("POST", "/api/firmware/check", image(), 200,
     {"version": "1.4.0", "major": 1, "minor": 4, "patch": 0, "payload_length": 10240,
      "payload_crc32": f"0x{zlib.crc32(bytes(range(256)) * 40):08x}", "size": 10304}),
    ("GET", "/api/nothing", None, 404, failure("nothing is served at /api/nothing")),
]


@pytest.mark.parametrize("method,path,body,status,answer", CASES,
                         ids=[f"{c[0]} {c[1]} {c[3]}" for c in CASES])
def test_api_answers(panel, method, path, body, status, answer):
    content_type = "application/octet-stream" if isinstance(body, bytes) else None
    if isinstance(body, str):
        body, content_type = body.encode(), "application/json"
    got_status, document, _ = panel.request(method, path, body, content_type=content_type)
    assert got_status == status, document
    assert answer(document) if callable(answer) else document == answer


BIG = 16 * 1024 * 1024 + 1
REFUSED = [
    # what is wrong, request headers, method, path, body, status, error
    ("no token", {"Authorization": None}, "PUT", "/api/boards/A%2FB/led", {"led": "on"}, 401,
     "this panel needs its token: open the address it printed, or send 'Authorization: Bearer TOKEN'"),
    ("wrong token", {"Authorization": "Bearer " + "A" * 43}, "PUT", "/api/boards/A%2FB/led",
     {"led": "on"}, 401,
     "this panel needs its token: open the address it printed, or send 'Authorization: Bearer TOKEN'"),
    ("wrong cookie", {"Authorization": None, "Cookie": "velnor_panel_{port}=" + "A" * 43}, "GET",
     "/api/boards", None, 401,
     "this panel needs its token: open the address it printed, or send 'Authorization: Bearer TOKEN'"),
    ("rebound name", {"Host": "evil.example:{port}"}, "PUT", "/api/boards/A%2FB/led",
     {"led": "on"}, 421,
     "this panel serves 127.0.0.1:{port}, not the host 'evil.example:{port}' the request names"),
    ("other site", {"Origin": "http://evil.example"}, "PUT", "/api/boards/A%2FB/led",
     {"led": "on"}, 403,
     "a page of another site (http://evil.example) may not change anything through this panel"),
    ("other port", {"Origin": "http://127.0.0.1:1"}, "PUT", "/api/boards/A%2FB/led",
     {"led": "on"}, 403,
     "a page of another site (http://127.0.0.1:1) may not change anything through this panel"),
    ("cross-site fetch", {"Sec-Fetch-Site": "cross-site"}, "PUT", "/api/boards/A%2FB/led",
     {"led": "on"}, 403, "a page of another site may not change anything through this panel"),
    ("image too large", {}, "POST", "/api/boards/A%2FB/firmware", b"\0" * BIG, 413,
     "the request's body is larger than the panel takes (16 MiB for an image)"),
    ("JSON too large", {}, "PUT", "/api/boards/A%2FB/led", {"led": "on", "x": "y" * 65536}, 413,
     "the request's body is larger than 65536 bytes"),
    ("session from a cookie", {"Authorization": None, "Cookie": "velnor_panel_{port}={token}"},
     "POST", "/api/session", None, 401,
     "the session is started with 'Authorization: Bearer TOKEN'"),
]


@pytest.mark.parametrize("what,headers,method,path,body,status,error", REFUSED,
                         ids=[r[0] for r in REFUSED])
def test_refused_requests_reach_no_board(panel, what, headers, method, path, body, status, error):
    fill = lambda text: text.format(port=panel.port, token=panel.token) if text else text
    headers = {name: fill(value) for name, value in headers.items()}
    content_type = "application/octet-stream" if isinstance(body, bytes) else None
    got_status, document, _ = panel.request(method, path, body, headers, content_type=content_type)
    assert (got_status, document) == (status, failure(fill(error)))
    assert panel.request("GET", "/api/boards/A%2FB")[:2] == (200, state("A/B"))
    assert panel.request("GET", "/api/updates")[:2] == (200, {})


def test_page_trades_the_token_for_a_private_cookie(panel):
    status, _, answer = panel.request("POST", "/api/session")
    cookie = answer.getheader("Set-Cookie")
    assert (status, cookie) == (
        200, f"velnor_panel_{panel.port}={panel.token}; HttpOnly; SameSite=Strict; Path=/")
    by_cookie = {"Authorization": None, "Cookie": cookie.split(";")[0],
                 "Origin": f"http://{panel.host}"}
    assert panel.request("PUT", "/api/boards/A%2FB/led", {"led": "on"}, by_cookie)[:2] == (
        200, state("A/B", led="on"))
    status, page, answer = panel.request("GET", "/", auth=False)
    assert (status, answer.getheader("Content-Type")) == (200, "text/html; charset=utf-8")
    assert answer.getheader("Content-Security-Policy").startswith("default-src 'self'")
    assert panel.request("GET", "/../etc/passwd", auth=False)[0] == 404


def events_until(panel, last_id, done, seconds=10):
    """The event stream's (type, data) pairs from after last_id until done(events) holds."""
    connection = http.client.HTTPConnection("127.0.0.1", panel.port, timeout=seconds)
    connection.request("GET", "/api/events", headers={
        "Authorization": f"Bearer {panel.token}", "Last-Event-ID": str(last_id)})
    stream = connection.getresponse()
    assert (stream.status, stream.getheader("Content-Type")) == (200, "text/event-stream")
    events, kind = [], None
    deadline = time.monotonic() + seconds
    while not done(events) and time.monotonic() < deadline:
        line = stream.fp.readline().decode().rstrip("\n")
        if line.startswith("event: "):
            kind = line[7:]
        elif line.startswith("data: "):
            events.append((kind, json.loads(line[6:])))
    connection.close()
    return events


def test_update_runs_to_its_end_whatever_the_page_does(panel):
    sent = image()
    status, started, _ = panel.request("POST", "/api/boards/A%2FB/firmware", sent,
                                       content_type="application/octet-stream")
    assert (status, started) == (202, {"serial": "A/B", "update": 1, "total": len(sent),
                                       "image": "1.4.0", "phase": "starting", "sent": 0})
    status, second, _ = panel.request("POST", "/api/boards/A%2FB/firmware", sent,
                                      content_type="application/octet-stream")
    assert (status, second) == (409, failure(
        "board 'A/B' is being updated already (update 1); wait for it to end before starting "
        "another", update=1))
    updates = [data for kind, data in events_until(
        panel, 0, lambda seen: any(d.get("phase") == "done" for _, d in seen)) if kind == "update"]
    phases = [u["phase"] for u in updates]
    assert phases[0] == "erasing" and phases[-2:] == ["verifying", "done"]
    sent_counts = [u["sent"] for u in updates if u["phase"] == "writing"]
    assert sent_counts == sorted(sent_counts) and sent_counts[-1] == len(sent)
    assert updates[-1] == {"serial": "A/B", "update": 1, "total": len(sent), "image": "1.4.0",
                           "phase": "done", "sent": len(sent), "firmware": "1.4.0"}
    assert panel.request("GET", "/api/boards/A%2FB")[:2] == (200, state("A/B", firmware="1.4.0"))


def test_stopping_the_panel_resets_an_update_in_flight(tmp_path):
    panel = Panel(tmp_path, "--sim-pace", "50")
    assert panel.request("POST", "/api/boards/VLN-SIM-0000/firmware", image(),
                         content_type="application/octet-stream")[0] == 202
    events_until(panel, 0, lambda seen: any(d.get("phase") == "writing" for _, d in seen))
    assert panel.stop(signal.SIGINT) == (
        130, "velnor-panel: firmware update of board 'VLN-SIM-0000' stopped: the panel was "
             "stopped by SIGINT; the board's update was reset (update state idle, 0 bytes "
             "received)\n")


def test_boards_arriving_and_leaving_reach_the_event_stream(tmp_path):
    changes = tmp_path / "changes"
    changes.mkdir()
    panel = Panel(tmp_path, "--boards", "1", changes=changes)
    try:
        (changes / "add-LAB-0007").touch()
        arrived = lambda seen: ("arrived", "LAB-0007") in [(k, d.get("serial")) for k, d in seen]
        events_until(panel, 0, arrived)
        (changes / "remove-LAB-0007").touch()
        seen = events_until(panel, 0, lambda s: any(k == "removed" for k, _ in s))
        path = "\\\\?\\ROOT#VELNOR#{:04d}#{{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}}"
        assert seen == [("arrived", {"path": path.format(0), "serial": "VLN-SIM-0000"}),
                        ("arrived", {"path": path.format(1), "serial": "LAB-0007"}),
                        ("removed", {"path": path.format(1), "serial": "LAB-0007"})]
    finally:
        panel.stop()


def test_a_taken_port_is_refused_not_shared(tmp_path):
    first = Panel(tmp_path)
    try:
        second = subprocess.run([PANEL, "--no-browser", "--listen", f"127.0.0.1:{first.port}"],
                                capture_output=True, text=True, timeout=20,
                                env=dict(os.environ, TMPDIR=str(tmp_path)))
        assert (second.returncode, second.stdout, second.stderr) == (
            2, "", f"velnor-panel: cannot listen on 127.0.0.1:{first.port} (the address is not "
                   "this machine's, or the port is taken)\n")
    finally:
        first.stop()
