"""pdudaemon drives the simulated switch through relaybox-cli: one PDU per bank with the
localcmdline driver, requests through the daemon's own HTTP listener."""

import json
import os
import shutil
import socket
import subprocess
import tempfile
import time
import unittest
import urllib.request

from simswitch import CLI, SimSwitch


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class PduDaemonDrivesTheSwitch(unittest.TestCase):
    def setUp(self):
        if not shutil.which("pdudaemon"):
            self.skipTest("pdudaemon is not installed (scripts/install-deps installs it)")
        self.folder = tempfile.mkdtemp(prefix="relaybox-pdud-")
        self.sim = SimSwitch(os.path.join(self.folder, "switch"), banks=2)
        self.port = free_port()
        pdus = {
            "relaybox-bank%d" % bank: {
                "driver": "localcmdline",
                "cmd_on": "%s --port %s on %d %%s" % (CLI, self.sim.link, bank),
                "cmd_off": "%s --port %s off %d %%s" % (CLI, self.sim.link, bank),
            }
            for bank in (1, 2)
        }
        config = {
            "daemon": {"hostname": "127.0.0.1", "port": self.port, "listener": "http"},
            "pdus": pdus,
        }
        conf = os.path.join(self.folder, "pdudaemon.conf")
        with open(conf, "w") as out:
            json.dump(config, out, indent=4)
        self.daemon = subprocess.Popen(
            ["pdudaemon", "--conf", conf, "--loglevel", "DEBUG",
             "--logfile", os.path.join(self.folder, "pdudaemon.log")],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wait_for_listener()

    def tearDown(self):
        if hasattr(self, "daemon"):
            self.daemon.terminate()
            try:
                self.daemon.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.daemon.kill()
                self.daemon.wait()
        if hasattr(self, "sim"):
            self.sim.stop()
            shutil.rmtree(self.folder, ignore_errors=True)

    def wait_for_listener(self):
        end = time.monotonic() + 30
        while time.monotonic() < end:
            if self.daemon.poll() is not None:
                self.fail("pdudaemon ended: see %s/pdudaemon.log" % self.folder)
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return
            except OSError:
                time.sleep(0.2)
        self.fail("pdudaemon did not listen on port %d" % self.port)

    def request(self, command, hostname, port, **extra):
        query = "hostname=%s&port=%d" % (hostname, port)
        query += "".join("&%s=%s" % item for item in extra.items())
        url = "http://127.0.0.1:%d/power/control/%s?%s" % (self.port, command, query)
        with urllib.request.urlopen(url, timeout=60) as answer:
            return answer.status, answer.read().decode()

    def test_on_off_and_reboot_reach_the_switch(self):
        self.assertEqual(self.request("on", "relaybox-bank2", 3),
                         (200, "OK - accepted request\n"))
        self.assertEqual(self.sim.switch_letters(), {1: "CCCCCCCC", 2: "CCOCCCCC"})
        self.assertEqual(self.request("on", "relaybox-bank1", 8)[0], 200)
        self.assertEqual(self.sim.switch_letters()[1], "CCCCCCCO")

        before = len(self.sim.frames())
        self.assertEqual(self.request("reboot", "relaybox-bank2", 3, delay=1)[0], 200)
        switched = [f for f in self.sim.frames()[before:] if f[1] in "OF"]
        self.assertEqual(switched, ["/F023\\", "/O023\\"])
        self.assertEqual(self.sim.switch_letters()[2], "CCOCCCCC")

        self.assertEqual(self.request("off", "relaybox-bank2", 3)[0], 200)
        self.assertEqual(self.sim.switch_letters()[2], "CCCCCCCC")


if __name__ == "__main__":
    unittest.main()
