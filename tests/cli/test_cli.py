"""relaybox-cli end to end against the simulated switch: argument checks, switching confirmed
by read-back, a stuck relay, the output every script relies on, two calls on one port, a stop
signal mid-cycle, and which port the tool opens."""

import fcntl
import json
import os
import shutil
import signal
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
                self.assertEqual(len(err.splitlines()), 1, err)
                self.assertTrue(err.startswith("relaybox-cli: "), err)
                self.assertIn(message, err)
        self.assertEqual(self.sim.frames(), [])

    def test_switching_is_confirmed_by_the_switch(self):
        # Each step's frames after the Identify command, the banks it covered, and the letters of
        # banks 1 to 3 afterwards. A bank beyond 1 is first found in the Version answers.
        steps = [
            (["on", "2", "3"], ["/VER\\", "/O023\\", "/C\\"], [2],
             ["CCCCCCCC", "CCOCCCCC", "CCCCCCCC"]),
            (["on", "1", "0"], ["/O010\\", "/C\\"], [1], ["OOOOOOOO", "CCOCCCCC", "CCCCCCCC"]),
            (["off", "1", "8"], ["/F018\\", "/C\\"], [1], ["OOOOOOOC", "CCOCCCCC", "CCCCCCCC"]),
            (["on", "0", "0"], ["/O000\\", "/C\\"], [1, 2, 3], ["OOOOOOOO"] * 3),
            (["off", "0", "0"], ["/F000\\", "/C\\"], [1, 2, 3], ["CCCCCCCC"] * 3),
        ]
        for args, frames, banks, letters in steps:
            with self.subTest(args=args):
                before = len(self.sim.frames())
                status, out, err = self.cli("--json", *args)
                self.assertEqual(status, 0, err)
                result = json.loads(out)
                self.assertTrue(result["confirmed"])
                self.assertEqual((result["not_followed"], result["banks"]), ([], banks))
                self.assertEqual(self.sim.frames()[before:], ["/uni\\"] + frames)
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
        self.assertEqual(self.sim.frames(),
                         ["/uni\\", "/VER\\", "/F035\\", "/C\\", "/O035\\", "/C\\"])
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

    def test_every_outcome_prints_one_object_with_command_and_exit(self):
        # (control commands first, arguments, exit status, fields the object holds, its error)
        cases = [
            ([], ["status"], 0, {"command": "status"}, None),
            ([], ["ports"], 0, {"command": "ports"}, None),
            ([], ["frobnicate"], 2, {"command": None}, "unknown command"),
            ([], ["on", "17", "1"], 2, {"command": "on"}, "BANK must be 1 to 16"),
            ([], ["on", "5", "1"], 2, {"command": "on", "bank": 5},
             "bank 5 is beyond the switch's chain of 3 banks"),
            (["banks 2"], ["on", "0", "0"], 0, {"banks": [1, 2], "confirmed": True}, None),
            (["silent on"], ["off", "1", "1"], 3, {"command": "off", "device": self.sim.link},
             "no switch answered"),
        ]
        for controls, args, exit_status, fields, error in cases:
            with self.subTest(args=args, controls=controls):
                for control in controls:
                    self.sim.control(control)
                status, out, err = self.cli("--json", *args)
                self.assertEqual(status, exit_status, err)
                self.assertEqual(len(out.splitlines()), 1, out)
                result = json.loads(out)
                self.assertEqual(result["exit"], exit_status)
                self.assertEqual({k: result.get(k, "missing") for k in fields}, fields)
                self.assertLessEqual(len(err.splitlines()), 1, err)
                self.assertIn(error or "no error", result.get("error", "no error"))
        # The bank beyond the chain was refused before any switching frame.
        self.assertFalse([f for f in self.sim.frames() if f.startswith("/O05")])

    def test_port_held_by_another_program_fails_at_once(self):
        held = os.open(self.sim.link, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        try:
            fcntl.flock(held, fcntl.LOCK_EX | fcntl.LOCK_NB)
            started = time.monotonic()
            status, out, err = self.cli("--json", "status")
            self.assertLess(time.monotonic() - started, 3)
            self.assertEqual((status, json.loads(out)["exit"]), (4, 4))
            self.assertIn("in use by another program (python3, pid %d)" % os.getpid(), err)
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

    def test_two_calls_on_one_port_take_turns(self):
        first = subprocess.Popen([CLI, "--port", self.sim.link, "--json", "cycle", "1", "1",
                                  "--delay", "1"], stdout=subprocess.PIPE, text=True)
        self.sim.wait_for_frames(lambda frames: frames[:1] == ["/uni\\"])
        status, out, err = self.cli("--json", "--timeout", "10", "on", "1", "2")
        first_out = first.communicate(timeout=30)[0]
        self.assertEqual((first.returncode, status), (0, 0), err)
        self.assertTrue(json.loads(first_out)["confirmed"])
        self.assertTrue(json.loads(out)["confirmed"])
        self.assertEqual(self.sim.frames(), ["/uni\\", "/F011\\", "/C\\", "/O011\\", "/C\\",
                                             "/uni\\", "/O012\\", "/C\\"])

    def test_stop_signal_mid_cycle_reports_and_frees_the_port(self):
        port = os.path.realpath(self.sim.link)
        os.chmod(port, 0o666)  # for the unprivileged call below
        call = subprocess.Popen([CLI, "--port", port, "--json", "cycle", "1", "3", "--delay", "30"],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.sim.wait_for_frames(lambda frames: frames[-2:] == ["/F013\\", "/C\\"])
        call.send_signal(signal.SIGINT)
        out, err = call.communicate(timeout=10)
        self.assertEqual(call.returncode, 130, err)
        result = json.loads(out)
        self.assertEqual((result["error"], result["exit"], result["confirmed"]),
                         ("interrupted", 130, False))
        self.assertEqual([s["step"] for s in result["steps"]], ["off"])
        self.assertIn("interrupted by SIGINT", err)
        self.assertNotIn("/O013\\", self.sim.frames())
        # The exclusive use is cleared: a user without privileges opens the port again (root
        # would pass whatever the flag says).
        command = [CLI, "--port", port, "status"]
        if os.geteuid() == 0:
            command = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] + command
        again = subprocess.run(command, capture_output=True, text=True, timeout=60)
        self.assertEqual(again.returncode, 0, again.stderr)


class CliPortChoice(unittest.TestCase):
    """The tool opens only the port it was told: --port, or define.ini's ComPort from its own
    folder (as the manager). A board console sits in the table before the switch."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="relaybox-cli-ini-")
        self.cli = os.path.join(self.folder, "relaybox-cli")
        shutil.copy(CLI, self.cli)
        ports = os.path.join(self.folder, "ports")
        os.mkdir(ports)
        self.console = SimSwitch(os.path.join(ports, "board-console"), extra=["--silent"])
        self.sim = SimSwitch(os.path.join(ports, "relaybox-sim"), banks=2)

    def tearDown(self):
        self.sim.stop()
        self.console.stop()
        shutil.rmtree(self.folder, ignore_errors=True)

    def write_com_port(self, index):
        with open(os.path.join(self.folder, "define.ini"), "w") as ini:
            ini.write("[Form]\nComPort=%d\nAuto=0\n" % index)

    def test_only_the_port_named_is_opened(self):
        status, out, _ = run("--json", "ports", cli=self.cli)
        table = json.loads(out)["ports"]
        index = [p["index"] for p in table if p["name"] == "relaybox-sim"][0]
        host_ports = [p for p in table[1:] if p["name"] not in ("relaybox-sim", "board-console")]
        # (define.ini's ComPort or None, arguments, exit, what the console and switch received)
        cases = [
            (None, [], 2, [], []),
            (0, [], 2, [], []),
            (index, [], 0, [], ["/uni\\", "/O011\\", "/C\\"]),
            (None, ["--port", "auto", "--timeout", "1"], 3, ["/uni\\"], []),
            (None, ["--port", "AUTO", "--timeout", "5"], 0, ["/uni\\"], ["/uni\\", "/O011\\", "/C\\"]),
        ]
        for com_port, args, exit_status, console_frames, switch_frames in cases:
            with self.subTest(com_port=com_port, args=args):
                if "auto" in [a.lower() for a in args] and host_ports:
                    # The search would send to the host's own serial ports; tests never do.
                    self.skipTest("this host has serial ports of its own: %s" % host_ports)
                ini = os.path.join(self.folder, "define.ini")
                if com_port is None and os.path.exists(ini):
                    os.remove(ini)
                elif com_port is not None:
                    self.write_com_port(com_port)
                console_before, switch_before = len(self.console.frames()), len(self.sim.frames())
                started = time.monotonic()
                status, out, err = run("--json", *args, "on", "1", "1", cli=self.cli)
                self.assertEqual(status, exit_status, err)
                self.assertLess(time.monotonic() - started, 6)
                self.assertEqual(self.console.frames()[console_before:], console_frames)
                self.assertEqual(self.sim.frames()[switch_before:], switch_frames)
                if exit_status == 2:
                    self.assertIn("--port", err)
                    self.assertEqual(len(err.splitlines()), 1, err)


if __name__ == "__main__":
    unittest.main()
