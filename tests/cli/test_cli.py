"""relaybox-cli end to end against the simulated switch: argument checks, switching confirmed
by read-back, a stuck relay, the exit statuses and define.ini's ComPort."""

import fcntl
import json
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from simswitch import CLI, SimSwitch


def run(*args, cli=CLI, timeout=60):
    done = subprocess.run([cli, *args], capture_output=True, text=True, timeout=timeout)
    return done.returncode, done.stdout, done.stderr


class CliAgainstSimulator(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="relaybox-cli-")
        self.sim = SimSwitch(os.path.join(self.folder, "switch"), banks=3,
                             extra=["--current", "2.5"])

    def tearDown(self):
        self.sim.stop()
        shutil.rmtree(self.folder, ignore_errors=True)

    def cli(self, *args, **kwargs):
        return run("--port", self.sim.link, *args, **kwargs)

    def test_bad_arguments_exit_2_and_send_nothing(self):
        cases = [
            (["on", "17", "1"], "BANK must be 1 to 16"),
            (["on", "1", "9"], "PORT must be 1 to 8"),
            (["on", "1"], "on needs BANK PORT"),
            (["off"], "off needs BANK PORT"),
            (["on", "1", "1", "1"], "too many arguments"),
            (["on", "x", "1"], "BANK must be"),
            (["off", "0", "3"], "BANK 0 means all banks and takes PORT 0"),
            (["frobnicate"], 'unknown command "frobnicate"'),
            ([], "no command given"),
            (["status", "extra"], "status takes no arguments"),
            (["--timeout", "0", "status"], "--timeout takes seconds above 0"),
            (["--timeout", "soon", "status"], "--timeout takes seconds above 0"),
            (["status", "--delay", "1"], "--delay belongs to cycle"),
            (["cycle", "1", "1", "--delay", "-1"], "--delay takes seconds"),
            (["--verbose", "status"], "unknown option --verbose"),
            (["status", "--port"], "--port needs a value"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                status, out, err = self.cli(*args)
                self.assertEqual(status, 2)
                self.assertEqual(out, "")
                self.assertEqual(err.splitlines()[0][:13], "relaybox-cli:")
                self.assertIn(message, err.splitlines()[0])
        status, out, err = self.cli("--json", "on", "17", "1")
        self.assertEqual((status, json.loads(out)["exit"]), (2, 2))
        self.assertEqual(self.sim.frames(), [])

    def test_switching_is_confirmed_by_the_switch(self):
        # Each step's expected letters of banks 1 to 3 afterwards.
        steps = [
            (["on", "2", "3"], "/O023\\", ["CCCCCCCC", "CCOCCCCC", "CCCCCCCC"]),
            (["on", "1", "0"], "/O010\\", ["OOOOOOOO", "CCOCCCCC", "CCCCCCCC"]),
            (["off", "1", "8"], "/F018\\", ["OOOOOOOC", "CCOCCCCC", "CCCCCCCC"]),
            (["on", "0", "0"], "/O000\\", ["OOOOOOOO"] * 3),
            (["off", "0", "0"], "/F000\\", ["CCCCCCCC"] * 3),
        ]
        for args, frame, letters in steps:
            with self.subTest(args=args):
                before = len(self.sim.frames())
                status, out, err = self.cli("--json", *args)
                self.assertEqual(status, 0, err)
                result = json.loads(out)
                self.assertTrue(result["confirmed"])
                self.assertEqual(result["not_followed"], [])
                self.assertEqual(self.sim.frames()[before:], ["/uni\\", frame, "/C\\"])
                self.assertEqual(self.sim.switch_letters(), {1: letters[0], 2: letters[1],
                                                             3: letters[2]})

    def test_cycle_confirms_off_then_on(self):
        self.sim.control("flag 1 1 on")
        started = time.monotonic()
        status, out, err = self.cli("--json", "cycle", "3", "5", "--delay", "0.5")
        self.assertEqual(status, 0, err)
        self.assertGreaterEqual(time.monotonic() - started, 0.5)
        result = json.loads(out)
        self.assertEqual([(s["step"], s["confirmed"]) for s in result["steps"]],
                         [("off", True), ("on", True)])
        self.assertEqual(self.sim.frames(), ["/uni\\", "/F035\\", "/C\\", "/O035\\", "/C\\"])
        self.assertEqual(self.sim.switch_letters()[3], "CCCCOCCC")

    def test_stuck_relay_is_not_confirmed_and_named(self):
        self.sim.control("stuck 2 4 on")  # stuck while off
        cases = [
            (["on", "2", "4"], "bank 2 port 4 stays off"),
            (["on", "2", "0"], "bank 2 port 4 stays off"),
            (["cycle", "2", "4", "--delay", "0"], None),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                started = time.monotonic()
                status, out, err = self.cli("--json", "--timeout", "1", *args)
                self.assertEqual(status, 1, err)
                self.assertLess(time.monotonic() - started, 5)
                result = json.loads(out)
                self.assertFalse(result["confirmed"])
                if message:
                    self.assertIn(message, err)
                    self.assertEqual(result["not_followed"], [{"bank": 2, "port": 4}])
        # The cycle's off step was confirmed (the port is off), the on step was not.
        self.assertEqual(result["steps"][1]["not_followed"], [{"bank": 2, "port": 4}])
        self.sim.control("stuck 2 4 off")
        self.cli("on", "2", "4")
        self.sim.control("stuck 2 4 on")  # stuck while on
        status, out, err = self.cli("--timeout", "0.5", "cycle", "2", "4", "--delay", "0")
        self.assertEqual(status, 1)
        self.assertIn("bank 2 port 4 stays on", err)
        self.assertNotIn("/O024\\", self.sim.frames()[-3:])

    def test_bank_beyond_the_chain_is_not_confirmed(self):
        status, out, err = self.cli("--timeout", "1", "on", "5", "1")
        self.assertEqual(status, 1)
        self.assertIn("the switch has 3 banks, no bank 5", err)

    def test_status_and_version_as_json(self):
        self.sim.control("flag 2 6 on")
        self.cli("on", "2", "1")
        status, out, err = self.cli("--json", "status")
        self.assertEqual(status, 0, err)
        banks = json.loads(out)["banks"]
        self.assertEqual([b["bank"] for b in banks], [1, 2, 3])
        self.assertEqual([b["current"] for b in banks], [2.5] * 3)
        self.assertEqual([p["on"] for p in banks[1]["ports"]], [True] + [False] * 7)
        self.assertEqual([p["timer_flag"] for p in banks[1]["ports"]],
                         [False] * 5 + [True] + [False] * 2)
        status, out, err = self.cli("status")
        self.assertEqual(status, 0, err)
        self.assertIn("2     on   off  off  off  off  off* off  off  2.5 A", out)
        self.sim.control("status split")  # letters and currents on lines of their own
        status, out, err = self.cli("--json", "on", "3", "8")
        self.assertEqual(status, 0, err)
        status, out, err = self.cli("--json", "status")
        self.assertEqual([b["current"] for b in json.loads(out)["banks"]], [2.5] * 3)
        self.assertTrue(json.loads(out)["banks"][2]["ports"][7]["on"])
        status, out, err = self.cli("--json", "version")
        self.assertEqual(status, 0, err)
        self.assertEqual(json.loads(out)["banks"],
                         [{"bank": b, "version": "1203"} for b in (1, 2, 3)])

    def test_silent_switch_exits_3(self):
        self.sim.control("silent on")
        status, out, err = self.cli("--json", "on", "1", "1")
        self.assertEqual(status, 3)
        self.assertIn("no switch answered on " + self.sim.link, err)
        self.assertEqual(json.loads(out)["exit"], 3)
        self.assertEqual(self.sim.frames(), ["/uni\\"])

    def test_port_that_cannot_be_opened_exits_4_with_the_reason(self):
        held = os.open(self.sim.link, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        try:
            fcntl.flock(held, fcntl.LOCK_EX | fcntl.LOCK_NB)
            status, _, err = self.cli("status")
            self.assertEqual(status, 4)
            self.assertIn("in use by another program", err)
        finally:
            os.close(held)
        for port, reason in [(os.path.join(self.folder, "none"), "no such port"),
                             ("/dev/console", "is a system console"),
                             ("/dev/tty1", "is a system console")]:
            with self.subTest(port=port):
                status, _, err = run("--port", port, "status")
                self.assertEqual(status, 4)
                self.assertIn(reason, err)
        self.assertEqual(self.sim.frames(), [])


class CliPortFromDefineIni(unittest.TestCase):
    """Without --port the tool takes define.ini's ComPort from its own folder, as the manager."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="relaybox-cli-ini-")
        self.cli = os.path.join(self.folder, "relaybox-cli")
        shutil.copy(CLI, self.cli)
        os.mkdir(os.path.join(self.folder, "ports"))
        self.sim = SimSwitch(os.path.join(self.folder, "ports", "relaybox-sim"), banks=2)

    def tearDown(self):
        self.sim.stop()
        shutil.rmtree(self.folder, ignore_errors=True)

    def write_com_port(self, index):
        with open(os.path.join(self.folder, "define.ini"), "w") as ini:
            ini.write("[Form]\nComPort=%d\nAuto=0\n" % index)

    def test_com_port_index_names_the_table_entry(self):
        status, out, _ = run("--json", "ports", cli=self.cli)
        self.assertEqual(status, 0)
        table = json.loads(out)
        self.assertFalse(table["settings_found"])
        entry = [p for p in table["ports"] if p["name"] == "relaybox-sim"][0]
        self.write_com_port(entry["index"])
        status, out, err = run("--json", "on", "2", "2", cli=self.cli)
        self.assertEqual(status, 0, err)
        self.assertEqual(json.loads(out)["device"], entry["path"])
        self.assertEqual(self.sim.switch_letters()[2], "COCCCCCC")

    def test_auto_searches_the_table_with_the_probe(self):
        status, out, _ = run("--json", "ports", cli=self.cli)
        others = [p for p in json.loads(out)["ports"][1:] if p["name"] != "relaybox-sim"]
        if others:
            # The search would probe the host's own serial ports; tests never open them.
            self.skipTest("this host has serial ports of its own: %s" % others)
        self.write_com_port(0)
        status, out, err = run("on", "1", "0", cli=self.cli)
        self.assertEqual(status, 0, err)
        self.assertEqual(self.sim.frames()[:2], ["/uni\\", "/VER\\"])  # the probe
        self.assertEqual(self.sim.switch_letters()[1], "OOOOOOOO")


if __name__ == "__main__":
    unittest.main()
