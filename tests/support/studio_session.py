"""A kt57-run --studio process for the tests, natively or under Wine: its address as it printed it,
requests to it from outside (with any Host and Origin), its event stream, and its end. Also the
screen and state lines of a kt57-run trace, to hold the page's moments to. Standard library only.

Its output goes through a file, not a pipe: under Wine a process started on the way (wineserver)
would keep a pipe open long after the program ended. Every wait ends at its sign or at a deadline.
"""
import http.client
import json
import os
import re
import signal
import subprocess
import tempfile
import time

ADDRESS = re.compile(r"http://127\.0\.0\.1:(\d+)/([0-9a-f]{32})/")


class Studio:
    def __init__(self, command, cwd, env=None, seconds=30):
        self.log = tempfile.NamedTemporaryFile(prefix="kt57-studio-output.", delete=False)
        self.process = subprocess.Popen(command, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=self.log,
                                        stderr=subprocess.STDOUT)
        found = self.wait_for_output(ADDRESS, seconds)
        self.url = found.group(0)
        self.port = int(found.group(1))
        self.token = found.group(2)

    def output(self):
        with open(self.log.name, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def wait_for_output(self, pattern, seconds):
        deadline = time.monotonic() + seconds
        while True:
            found = pattern.search(self.output())
            if found:
                return found
            if self.process.poll() is not None:
                raise AssertionError(f"kt57-run ended ({self.process.returncode}) before printing "
                                     f"{pattern.pattern}: {self.output()!r}")
            if time.monotonic() >= deadline:
                raise AssertionError(f"no {pattern.pattern} within {seconds} s: {self.output()!r}")
            time.sleep(0.05)

    def get(self, path, host=None, origin=None, seconds=30, headers=None):
        """(status, body) of GET path, with that Host (default the server's) and Origin (none).
        headers: a dict to fill with the answer's headers, by lower-case name."""
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=seconds)
        try:
            connection.putrequest("GET", path, skip_host=True, skip_accept_encoding=True)
            connection.putheader("Host", host or f"127.0.0.1:{self.port}")
            # As a browser asks: the answers must not depend on its not accepting compression.
            connection.putheader("Accept-Encoding", "gzip, deflate, br")
            if origin is not None:
                connection.putheader("Origin", origin)
            connection.endheaders()
            response = connection.getresponse()
            if headers is not None:
                headers.update((name.lower(), value) for name, value in response.getheaders())
            return response.status, response.read()
        finally:
            connection.close()

    def get_json(self, relative):
        """The JSON answer to GET /TOKEN/relative, which must be 200."""
        status, body = self.get(f"/{self.token}/{relative}")
        if status != 200:
            raise AssertionError(f"{relative}: {status} {body!r}")
        return json.loads(body)

    def events(self, seconds=30):
        return EventStream(self.port, f"/{self.token}/api/events", seconds)

    def end(self, seconds=30):
        """(exit status, output) once it ends by itself."""
        try:
            status = self.process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise AssertionError(f"kt57-run --studio still running after {seconds} s: {self.output()!r}")
        output = self.output()
        self.kill()
        return status, output

    def kill(self):
        """Ends it as Ctrl+C does, so that it removes its scratch folder; kills it if that fails."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGINT)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if os.path.exists(self.log.name):
            os.unlink(self.log.name)


class EventStream:
    """The page's event stream, read as a browser's EventSource reads it."""

    def __init__(self, port, path, seconds):
        self.connection = http.client.HTTPConnection("127.0.0.1", port, timeout=seconds)
        self.connection.request("GET", path, headers={"Accept": "text/event-stream"})
        self.response = self.connection.getresponse()
        if self.response.status != 200:
            raise AssertionError(f"{path}: {self.response.status}")

    def next_event(self, timeout=30):
        """(name, data as JSON) of the next event; raises TimeoutError past the timeout."""
        self.connection.sock.settimeout(timeout)
        name, data = "message", ""
        while True:
            line = self.response.readline().decode("utf-8")
            if line == "":
                raise AssertionError("the event stream ended")
            line = line.rstrip("\r\n")
            if line == "" and data:
                return name, json.loads(data)
            if line.startswith("event: "):
                name = line[len("event: "):]
            elif line.startswith("data: "):
                data += line[len("data: "):]

    def close(self):
        self.connection.close()


def traced_screen(trace, ms):
    """The screen a kt57-run trace printed at ms, its rows without their indent."""
    with open(trace, encoding="utf-8") as f:
        lines = f.read().splitlines()
    start = lines.index(f"{ms} screen") + 1
    rows = []
    for line in lines[start:]:
        if not line.startswith("  "):
            break
        rows.append(line[2:] + "\n")
    return "".join(rows)


def traced_state(trace, ms):
    """The state line a kt57-run trace printed at ms, without the time."""
    with open(trace, encoding="utf-8") as f:
        for line in f.read().splitlines():
            if line.startswith(f"{ms} state "):
                return line[len(f"{ms} "):]
    raise AssertionError(f"no state at {ms} in {trace}")
