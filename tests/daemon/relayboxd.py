"""relayboxd as a child process for the daemon tests: its configuration, its listener, its audit
trail, and requests through real HTTP clients."""

import json
import os
import socket
import subprocess
import sys
import time
import urllib.error
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cli"))
from simswitch import BIN_DIR, SimSwitch  # noqa: E402

DAEMON = os.path.join(BIN_DIR, "relayboxd")


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def switching_frames(sim):
    """The port, bank and all-banks frames the switch received, in order."""
    return [f for f in sim.frames() if f[1:2] in ("O", "F")]


class Relayboxd:
    def __init__(self, folder, switches, outlets="", daemon_lines=(), listen=None, poll=1):
        """switches: {name: SimSwitch}; daemon_lines: extra "key = value" lines; listen: the
        addresses, the first one loopback (default: a free port of 127.0.0.1)."""
        self.folder = folder
        listen = listen or ["127.0.0.1:%d" % free_port()]
        self.url = "http://" + listen[0]
        self.audit = os.path.join(folder, "audit.jsonl")
        self.config = os.path.join(folder, "relayboxd.conf")
        lines = ["[daemon]", "listen = " + ", ".join(listen), "poll = %s" % poll,
                 "audit = %s" % self.audit, *daemon_lines, ""]
        for name, sim in switches.items():
            lines += ["[switch %s]" % name, "port = %s" % sim.link, ""]
        with open(self.config, "w") as out:
            out.write("\n".join(lines) + outlets)
        self.log = open(os.path.join(folder, "relayboxd.log"), "w+")
        self._process = subprocess.Popen([DAEMON, "--config", self.config],
                                         stdout=self.log, stderr=subprocess.STDOUT)
        self.wait_until(lambda: all(s["link"] == "up" for s in self.get("/api/v1/switches")[1]
                                    ["switches"]), "every switch linked")

    def wait_until(self, condition, what, timeout=30):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if self._process.poll() is not None:
                raise RuntimeError("relayboxd ended:\n" + self.output())
            try:
                if condition():
                    return
            except (OSError, urllib.error.URLError):
                pass
            time.sleep(0.1)
        raise TimeoutError("not reached: %s\n%s" % (what, self.output()))

    def request(self, method, path, body=None, headers=None, base=None):
        """(status, body as JSON or text) through urllib."""
        request = urllib.request.Request((base or self.url) + path, data=body, method=method,
                                         headers=headers or {})
        try:
            with urllib.request.urlopen(request, timeout=60) as answer:
                status, text = answer.status, answer.read().decode()
        except urllib.error.HTTPError as error:
            status, text = error.code, error.read().decode()
        try:
            return status, json.loads(text)
        except ValueError:
            return status, text

    def get(self, path, **kwargs):
        return self.request("GET", path, **kwargs)

    def post(self, path, **kwargs):
        return self.request("POST", path, body=b"", **kwargs)

    def audit_lines(self):
        with open(self.audit) as lines:
            return [json.loads(line) for line in lines]

    def output(self):
        self.log.flush()
        self.log.seek(0)
        return self.log.read()

    def stop(self):
        """Ends relayboxd with SIGTERM; (its exit status, its output). A sanitizer's report
        makes the status non-zero."""
        if self._process.poll() is None:
            self._process.terminate()
            try:
                self._process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()
        output = self.output()
        self.log.close()
        return self._process.returncode, output
