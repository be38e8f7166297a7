"""labgrid switches a target's power through relaybox-cli: an ExternalPowerDriver in a labgrid
environment file, driven through labgrid's own Python API. A relay that does not switch must
make labgrid raise."""

import os
import shutil
import subprocess
import tempfile
import unittest

from simswitch import CLI, SimSwitch

try:
    from labgrid import Environment
except ImportError:
    Environment = None

ENVIRONMENT = """\
targets:
  board:
    drivers:
      ExternalPowerDriver:
        cmd_on: "{cli} --port {link} --timeout 2 on 1 {port}"
        cmd_off: "{cli} --port {link} --timeout 2 off 1 {port}"
        cmd_cycle: "{cli} --port {link} --timeout 2 cycle 1 {port} --delay 0.2"
"""


class LabgridPowersTheBoard(unittest.TestCase):
    def setUp(self):
        if Environment is None:
            self.skipTest("labgrid is not installed (scripts/install-deps installs it)")
        self.folder = tempfile.mkdtemp(prefix="relaybox-labgrid-")
        self.sim = SimSwitch(os.path.join(self.folder, "switch"), banks=1)

    def tearDown(self):
        if hasattr(self, "sim"):
            self.sim.stop()
            shutil.rmtree(self.folder, ignore_errors=True)

    def power(self, port):
        path = os.path.join(self.folder, "env-%d.yaml" % port)
        with open(path, "w") as out:
            out.write(ENVIRONMENT.format(cli=CLI, link=self.sim.link, port=port))
        target = Environment(config_file=path).get_target("board")
        power = target.get_driver("PowerProtocol")
        target.activate(power)
        return power

    def test_on_off_cycle(self):
        power = self.power(6)
        power.on()
        self.assertEqual(self.sim.switch_letters()[1], "CCCCCOCC")
        power.cycle()
        switched = [f for f in self.sim.frames() if f[1] in "OF"]
        self.assertEqual(switched, ["/O016\\", "/F016\\", "/O016\\"])
        power.off()
        self.assertEqual(self.sim.switch_letters()[1], "CCCCCCCC")

    def test_a_stuck_relay_makes_labgrid_raise(self):
        self.sim.control("stuck 1 2 on")
        power = self.power(2)
        # labgrid runs the command on a terminal and raises with its exit status and output.
        with self.assertRaises(subprocess.CalledProcessError) as raised:
            power.cycle()
        self.assertEqual(raised.exception.returncode, 1)
        self.assertIn(b"bank 1 port 2 stays off", raised.exception.output)
        self.sim.control("stuck 1 2 off")
        power.on()
        self.sim.control("stuck 1 2 on")
        with self.assertRaises(subprocess.CalledProcessError):
            power.off()


if __name__ == "__main__":
    unittest.main()
