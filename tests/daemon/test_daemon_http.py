"""relayboxd end to end: two simulated switches (one paced at 9600 baud), requests from curl,
the switches' frame logs, the audit trail and Prometheus' own checker."""

import json
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest
from concurrent.futures import ThreadPoolExecutor

from relayboxd import BIN_DIR, DAEMON, Relayboxd, SimSwitch, switching_frames

CLI = os.path.join(BIN_DIR, "relaybox-cli")

OUTLETS = """
[outlet web]
ports = rack-a 1 1, rack-b 1 2
delay = 0.2
"""


def curl(url, *args):
    """(HTTP status, answer as JSON) from curl."""
    done = subprocess.run(["curl", "-sS", "-w", "\n%{http_code}", *args, url],
                          capture_output=True, text=True, timeout=120)
    body, _, status = done.stdout.rpartition("\n")
    return int(status), json.loads(body) if body.startswith("{") else body


class DaemonServesTwoSwitches(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="relayboxd-")
        self.a = SimSwitch(os.path.join(self.folder, "a"), banks=4, extra=["--current", "2.5"])
        self.b = SimSwitch(os.path.join(self.folder, "b"), banks=3, pace=True)
        self.daemon = Relayboxd(self.folder, {"rack-a": self.a, "rack-b": self.b}, OUTLETS)

    def tearDown(self):
        status, output = self.daemon.stop()
        self.a.stop()
        self.b.stop()
        shutil.rmtree(self.folder, ignore_errors=True)
        self.assertEqual(status, 0, output)

    def post(self, path, *args):
        return curl(self.daemon.url + path, "-X", "POST", *args)

    def test_status_and_switching_confirmed_by_the_switch(self):
        status, answer = curl(self.daemon.url + "/api/v1/switches")
        self.assertEqual(status, 200)
        self.assertEqual([(s["name"], s["link"], s["banks"]) for s in answer["switches"]],
                         [("rack-a", "up", 4), ("rack-b", "up", 3)])
        status, detail = curl(self.daemon.url + "/api/v1/switches/rack-a")
        self.assertEqual((status, len(detail["banks"]), detail["banks"][3]["current"]),
                         (200, 4, 2.5))
        self.assertEqual(detail["banks"][0]["ports"][0],
                         {"port": 1, "on": False, "timer_flag": False})

        steps = [
            (self.a, "rack-a/banks/2/ports/3/on", ["/O023\\"], {2: "CCOCCCCC"}),
            (self.a, "rack-a/banks/1/ports/0/on", ["/O010\\"], {1: "OOOOOOOO"}),
            (self.b, "rack-b/banks/0/ports/0/on", ["/O000\\"], {1: "O" * 8, 3: "O" * 8}),
            (self.b, "rack-b/banks/2/ports/5/cycle?delay=0.2", ["/F025\\", "/O025\\"],
             {2: "O" * 8}),
            (self.a, "rack-a/banks/0/ports/0/off", ["/F000\\"], {1: "C" * 8, 2: "C" * 8}),
        ]
        for sim, path, frames, letters in steps:
            with self.subTest(path=path):
                before = len(switching_frames(sim))
                status, answer = self.post("/api/v1/switches/" + path)
                self.assertEqual(status, 200, answer)
                self.assertTrue(answer["confirmed"])
                self.assertEqual(answer["not_followed"], [])
                self.assertEqual(switching_frames(sim)[before:], frames)
                now = sim.switch_letters()
                self.assertEqual({bank: now[bank] for bank in letters}, letters)

        status, answer = self.post("/api/v1/outlets/web/on")
        self.assertEqual(status, 200, answer)
        self.assertEqual([(s["switch"], s["bank"], s["port"], s["confirmed"])
                          for s in answer["steps"]],
                         [("rack-a", 1, 1, True), ("rack-b", 1, 2, True)])
        self.assertEqual((self.a.switch_letters()[1][0], self.b.switch_letters()[1][1]),
                         ("O", "O"))
        status, outlets = curl(self.daemon.url + "/api/v1/outlets")
        self.assertEqual(outlets["outlets"][0]["state"], "on")
        self.assertEqual(len(self.daemon.audit_lines()), len(steps) + 1)

    def test_bad_requests_are_refused_and_send_nothing(self):
        big = os.path.join(self.folder, "big")
        with open(big, "wb") as out:
            out.write(b"1" * 100000)
        cases = [
            ("POST", "/api/v1/switches/rack-a/banks/17/ports/1/on", [], 400, "bank must be"),
            ("POST", "/api/v1/switches/rack-a/banks/1/ports/9/on", [], 400, "port must be"),
            ("POST", "/api/v1/switches/rack-a/banks/0/ports/3/off", [], 400, "takes port 0"),
            ("POST", "/api/v1/switches/rack-a/banks/1/ports/1/on?timeout=soon", [], 400,
             "timeout takes seconds"),
            ("POST", "/api/v1/switches/rack-a/banks/1/ports/1/on?colour=red", [], 400,
             "unknown parameter"),
            ("POST", "/api/v1/switches/rack-z/banks/1/ports/1/on", [], 404, "no switch"),
            ("POST", "/api/v1/switches/rack-b/banks/4/ports/1/on", [], 404, "has 3 banks"),
            ("POST", "/api/v1/outlets/nothing/on", [], 404, "no outlet"),
            ("PUT", "/api/v1/switches/rack-a/outlets/3/value", ["-d", "2"], 400, "1 (on) or 0"),
            ("GET", "/api/v1/switches/rack-a/outlets/129/value", [], 400, "1 to 128"),
            ("GET", "/api/v1/../../etc/passwd", [], 404, "no such resource"),
            ("GET", "/%00%ff/x", [], 404, "no such resource"),
            ("DELETE", "/api/v1/switches", [], 405, "GET is"),
            ("POST", "/api/v1/switches/rack-a/banks/1/ports/1/on", ["--data-binary", "@" + big],
             413, "larger than 4096"),
            ("POST", "/api/v1/switches/rack-a/banks/1/ports/1/on",
             [arg for i in range(40) for arg in ("-H", "X-Pad-%d: x" % i)], 431, "header"),
        ]
        before = (self.a.frames(), self.b.frames())
        for method, path, args, code, message in cases:
            with self.subTest(path=path, code=code):
                status, answer = curl(self.daemon.url + path, "--path-as-is", "-X", method,
                                      *args)
                self.assertEqual(status, code, answer)
                self.assertIn(message, answer["error"])
        self.assertEqual(switching_frames(self.a), [f for f in before[0] if f[1] in "OF"])
        self.assertEqual(switching_frames(self.b), [f for f in before[1] if f[1] in "OF"])
        refused = [line for line in self.daemon.audit_lines() if line["result"] == "refused"]
        self.assertEqual(len(refused), 9)

    def test_a_stuck_relay_is_named_and_does_not_hold_the_line(self):
        self.a.control("stuck 1 4 on")
        with ThreadPoolExecutor(2) as pool:
            stuck = pool.submit(self.post, "/api/v1/switches/rack-a/banks/1/ports/4/on?timeout=3")
            self.daemon.wait_until(lambda: "/O014\\" in switching_frames(self.a), "/O014\\ sent")
            started = time.monotonic()
            status, answer = self.post("/api/v1/switches/rack-a/banks/1/ports/5/on")
            self.assertEqual(status, 200, answer)
            self.assertLess(time.monotonic() - started, 2)
            status, answer = stuck.result()
        self.assertEqual(status, 409)
        self.assertFalse(answer["confirmed"])
        self.assertEqual(answer["not_followed"], [{"bank": 1, "port": 4}])
        self.assertEqual(answer["error"], "bank 1 port 4 stays off")
        record = [line for line in self.daemon.audit_lines() if line["port"] == 4][0]
        self.assertEqual((record["result"], record["not_followed"], record["action"]),
                         ("not_confirmed", [{"switch": "rack-a", "bank": 1, "port": 4}], "on"))
        self.assertRegex(record["client"]["address"], r"^127\.0\.0\.1:\d+$")
        self.assertRegex(record["time"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$")

    def test_a_silent_switch_is_down_and_comes_back_after_replug(self):
        link = lambda: {s["name"]: s["link"] for s in self.daemon.get(  # noqa: E731
            "/api/v1/switches")[1]["switches"]}
        self.b.control("silent on")
        self.daemon.wait_until(lambda: link()["rack-b"] == "down", "rack-b down")
        before = switching_frames(self.b)
        status, answer = self.post("/api/v1/switches/rack-b/banks/1/ports/1/on")
        self.assertEqual(status, 503)
        self.assertIn("line is down", answer["error"])
        self.assertEqual(switching_frames(self.b), before)
        self.assertEqual(self.post("/api/v1/switches/rack-a/banks/1/ports/1/on")[0], 200)
        self.assertEqual(self.daemon.audit_lines()[-2]["result"], "link_down")

        self.b.control("silent off")
        self.b.control("replug")
        self.daemon.wait_until(lambda: link()["rack-b"] == "up", "rack-b up again")
        status, answer = self.post("/api/v1/switches/rack-b/banks/1/ports/1/on")
        self.assertEqual(status, 200, answer)
        self.assertEqual(self.b.switch_letters()[1], "OCCCCCCC")

    def test_fifty_concurrent_clients_lose_nothing(self):
        ports = [("rack-a", bank, port) for bank in range(1, 5) for port in range(1, 9)][:26]
        ports += [("rack-b", bank, port) for bank in range(1, 4) for port in range(1, 9)]
        with ThreadPoolExecutor(len(ports)) as pool:
            answers = list(pool.map(
                lambda p: self.post("/api/v1/switches/%s/banks/%d/ports/%d/on?timeout=30" % p),
                ports))
        self.assertEqual([status for status, _ in answers], [200] * 50)
        self.assertTrue(all(answer["confirmed"] for _, answer in answers))
        for name, sim in (("rack-a", self.a), ("rack-b", self.b)):
            wanted = {(b, p) for n, b, p in ports if n == name}
            letters = sim.switch_letters()
            on = {(b, p) for b in letters for p in range(1, 9) if letters[b][p - 1] == "O"}
            self.assertEqual(on, wanted)
            frames = [f for f in sim.frames() if f[1] in "OFC"]
            switched = [f for f in frames if f[1] == "O"]
            self.assertEqual(sorted(switched),
                             sorted("/O%02d%d\\" % (b, p) for b, p in wanted))
            # One frame at a time: each switching frame is followed at once by a Status poll.
            for i, frame in enumerate(frames):
                if frame[1] == "O":
                    self.assertEqual(frames[i + 1], "/C\\", frames)
        self.assertEqual([line["result"] for line in self.daemon.audit_lines()],
                         ["confirmed"] * 50)

    def test_metrics_pass_promtool_and_match_the_switches(self):
        self.post("/api/v1/switches/rack-a/banks/3/ports/7/on")
        self.post("/api/v1/switches/rack-b/banks/2/ports/0/on")
        self.post("/api/v1/switches/rack-a/banks/9/ports/1/on")
        status, text = curl(self.daemon.url + "/metrics")
        self.assertEqual(status, 200)
        check = subprocess.run(["promtool", "check", "metrics"], input=text, text=True,
                               capture_output=True, timeout=60)
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
        values = {}
        for line in text.splitlines():
            match = re.match(r"^(\w+)(\{[^}]*\})? (\S+)$", line)
            if match:
                values[match.group(1) + (match.group(2) or "")] = float(match.group(3))
        for name, sim in (("rack-a", self.a), ("rack-b", self.b)):
            letters = sim.switch_letters()
            self.assertEqual(values['relaybox_banks{switch="%s"}' % name], len(letters))
            self.assertEqual(values['relaybox_link_up{switch="%s"}' % name], 1)
            for bank, text_letters in letters.items():
                for port in range(1, 9):
                    key = 'relaybox_port_on{bank="%d",port="%d",switch="%s"}' % (bank, port, name)
                    self.assertEqual(values[key], text_letters[port - 1] == "O", key)
        self.assertEqual(values['relaybox_bank_current_amperes{bank="4",switch="rack-a"}'], 2.5)
        self.assertEqual(values['relaybox_switching_requests_total{result="confirmed"}'], 2)
        self.assertEqual(values['relaybox_switching_requests_total{result="refused"}'], 1)
        self.assertEqual(values["relaybox_confirmation_seconds_count"], 2)


    def test_relaybox_cli_through_the_daemon_answers_as_on_its_own_port(self):
        # The same commands on a twin switch of its own port, and through relayboxd.
        twin = SimSwitch(os.path.join(self.folder, "twin"), banks=4, extra=["--current", "2.5"])
        self.addCleanup(twin.stop)
        for sim in (self.a, twin):
            sim.control("stuck 1 4 on")
        cases = [
            (["status"], 0), (["version"], 0), (["on", "2", "3"], 0), (["off", "0", "0"], 0),
            (["cycle", "2", "3", "--delay", "0.2"], 0), (["--timeout", "1", "on", "1", "4"], 1),
            (["on", "5", "1"], 2),
        ]
        ignored = {"seconds", "device", "server", "switch", "error", "steps"}
        for args, code in cases:
            with self.subTest(args=args):
                calls = [[CLI, "--json", "--port", twin.link, *args],
                         [CLI, "--json", "--server", self.daemon.url, "--switch", "rack-a", *args]]
                done = [subprocess.run(call, capture_output=True, text=True, timeout=60)
                        for call in calls]
                self.assertEqual([d.returncode for d in done], [code, code], done[1].stderr)
                own, served = (json.loads(d.stdout) for d in done)
                self.assertEqual(set(served), set(own) | {"server", "switch"})
                self.assertEqual({k: v for k, v in served.items() if k not in ignored},
                                 {k: v for k, v in own.items() if k not in ignored})
                self.assertEqual((served["server"], served["switch"]),
                                 (self.daemon.url, "rack-a"))
        self.assertEqual(twin.switch_letters(), self.a.switch_letters())
        # RELAYBOX_SERVER stands for --server; a server of two switches needs --switch.
        env = dict(os.environ, RELAYBOX_SERVER=self.daemon.url)
        done = subprocess.run([CLI, "status"], capture_output=True, text=True, env=env,
                              timeout=60)
        self.assertEqual(done.returncode, 2)
        self.assertIn("has 2 switches (rack-a, rack-b): name one with --switch", done.stderr)
        done = subprocess.run([CLI, "--switch", "rack-b", "status"], capture_output=True,
                              text=True, env=env, timeout=60)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(len(done.stdout.splitlines()), 4)


class ConfigurationErrors(unittest.TestCase):
    def test_each_error_names_file_line_and_key(self):
        head = "[daemon]\nlisten = 127.0.0.1:8080\naudit = /tmp/audit\n"
        switch = "[switch rack-a]\nport = /dev/ttyUSB0\n"
        cases = [
            (head + "colour = red\n" + switch, ":4: [daemon] colour: unknown key"),
            (head + switch + "[relay x]\n", ":6: [relay x]: unknown section"),
            (head + switch + "[switch rack-b]\nport = /dev/ttyUSB0\n",
             ":7: [switch rack-b] port: /dev/ttyUSB0 is already the port of switch rack-a"),
            (head + switch + "[outlet db]\nports = rack-c 1 1\n",
             ":7: [outlet db] ports: there is no [switch rack-c]"),
            (head + switch + "[outlet db]\nports = rack-a 2 9\n", ":7: [outlet db] ports: port"),
            (head + switch + "[outlet db]\nports = rack-a 17 1\n", ":7: [outlet db] ports: bank"),
            (head + switch + "[outlet db]\nports = rack-a 1 1, rack-a 1 1\n",
             ":7: [outlet db] ports: rack-a 1 1 is given twice"),
            (head + "poll = 0\n" + switch, ":4: [daemon] poll: seconds from 0.1"),
            ("[daemon]\nlisten = 10.1.2.3:8080\naudit = /tmp/audit\n" + switch,
             ":2: [daemon] listen: 10.1.2.3:8080 is reachable from other machines"),
            ("[daemon]\nlisten = 127.0.0.1:8080\n" + switch, ":1: [daemon] audit: required"),
        ]
        folder = tempfile.mkdtemp(prefix="relayboxd-config-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        path = os.path.join(folder, "relayboxd.conf")
        for text, message in cases:
            with self.subTest(message=message):
                with open(path, "w") as out:
                    out.write(text)
                for check in (["--check-config"], []):
                    done = subprocess.run([DAEMON, "--config", path, *check], capture_output=True,
                                          text=True, timeout=30)
                    self.assertEqual(done.returncode, 1)
                    self.assertIn(path + message, done.stderr)
        with open(path, "w") as out:
            out.write(head + switch)
        done = subprocess.run([DAEMON, "--config", path, "--check-config"], capture_output=True,
                              text=True, timeout=30)
        self.assertEqual((done.returncode, done.stderr), (0, ""))


if __name__ == "__main__":
    unittest.main()
