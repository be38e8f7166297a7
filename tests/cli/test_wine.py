"""relaybox-cli.exe under Wine against the simulated switch: status, on with read-back, a stuck
relay, the registry port list, two calls that take turns at the port, and a call through
relayboxd (--server).

Safety: Wine maps COM1 to /dev/ttyS0 and opens the /dev/ttyS* devices to detect them, and
/dev/ttyS0 may be the system console. Every Wine process runs in a private mount namespace where
each /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM* is /dev/null; the test's own prefix maps COM5 to
the simulator's terminal and blanks the other COM numbers; the tool always gets --port COM5
(never the AUTO search); stray COM links are removed and the prefix is deleted afterwards."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from simswitch import SimSwitch

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "daemon"))
from relayboxd import Relayboxd  # noqa: E402

EXE = os.environ.get("RELAYBOX_CLI_EXE", "")
COM = "COM5"

# Every host serial device is /dev/null in the namespace this runs the session in.
SERIAL_FREE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "windows", "serial-free")

SESSION = r"""
set -u
out=$1
exe=$2
server=$3
wineboot -i >/dev/null 2>&1
wine regedit /S "$out/ports.reg"
wineserver -w
# Wine moves what it found in /dev to a COM number left free; keep only our own mapping.
find "$WINEPREFIX/dosdevices" -maxdepth 1 -name 'com*' ! -name com5 -delete
if ! wine reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' 2>/dev/null | grep -qw COM5; then
    wine reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v 'RelayboxTest' /d COM5 /f >/dev/null
fi
run() {
    name=$1
    shift
    wine "$exe" --port COM5 --json "$@" >"$out/$name.json" 2>"$out/$name.err"
    echo $? >"$out/$name.rc"
}
run status status
run on on 1 3
run stuck --timeout 1 on 2 1
run version version
wine "$exe" --json ports >"$out/ports.json" 2>"$out/ports.err"
echo $? >"$out/ports.rc"
wine "$exe" --server "$server" --json on 1 7 >"$out/server.json" 2>"$out/server.err"
echo $? >"$out/server.rc"
run first --timeout 60 cycle 1 4 --delay 1 &
run second --timeout 60 on 1 5 &
wait
wineserver -k
find "$WINEPREFIX/dosdevices" -maxdepth 1 -name 'com*' ! -name com5 -delete
"""


def ports_registry(pty):
    lines = ["Windows Registry Editor Version 5.00", "", r"[HKEY_LOCAL_MACHINE\Software\Wine\Ports]"]
    for number in range(1, 33):
        value = pty if number == 5 else ""
        lines.append('"COM%d"="%s"' % (number, value))
    return "\r\n".join(lines) + "\r\n"


@unittest.skipUnless(EXE and os.path.exists(EXE), "RELAYBOX_CLI_EXE names no relaybox-cli.exe")
@unittest.skipUnless(os.geteuid() == 0, "a private mount namespace needs root")
@unittest.skipUnless(shutil.which("wine") and shutil.which("unshare"), "wine is not installed")
class CliUnderWine(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="relaybox-wine-")
        self.sim = SimSwitch(os.path.join(self.folder, "switch"), banks=2)
        self.sim.control("stuck 2 1 on")
        self.prefix = os.path.join(self.folder, "prefix")
        with open(os.path.join(self.folder, "ports.reg"), "w", newline="") as reg:
            reg.write(ports_registry(os.path.realpath(self.sim.link)))
        self.served = SimSwitch(os.path.join(self.folder, "served"), banks=1)
        self.daemon = Relayboxd(self.folder, {"rack": self.served})

    def tearDown(self):
        self.daemon.stop()
        self.served.stop()
        self.sim.stop()
        shutil.rmtree(self.folder, ignore_errors=True)

    def result(self, name):
        with open(os.path.join(self.folder, name + ".rc")) as rc:
            status = int(rc.read())
        with open(os.path.join(self.folder, name + ".json")) as out:
            text = out.read()
        with open(os.path.join(self.folder, name + ".err")) as err:
            return status, json.loads(text) if text else None, err.read()

    def test_the_windows_tool_switches_and_reads_back(self):
        environment = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                           WINEDLLOVERRIDES="mscoree,mshtml=", DISPLAY="")
        subprocess.run([SERIAL_FREE, "bash", "-c", SESSION,
                        "session", self.folder, EXE, self.daemon.url], env=environment, check=True, timeout=150)

        status, result, err = self.result("status")
        self.assertEqual(status, 0, err)
        self.assertEqual(result["device"], "\\\\.\\COM5")
        self.assertEqual(len(result["banks"]), 2)

        status, result, err = self.result("on")
        self.assertEqual(status, 0, err)
        self.assertTrue(result["confirmed"])

        status, result, err = self.result("stuck")
        self.assertEqual(status, 1, err)
        self.assertEqual(result["not_followed"], [{"bank": 2, "port": 1}])
        self.assertIn("bank 2 port 1 stays off", err)

        status, result, err = self.result("version")
        self.assertEqual(status, 0, err)
        self.assertEqual([b["version"] for b in result["banks"]], ["1203", "1203"])

        status, result, err = self.result("ports")
        self.assertEqual(status, 0, err)
        listed = [(p["name"], p["path"]) for p in result["ports"]]
        self.assertIn(("COM5", "\\\\.\\COM5"), listed)

        for name in ("first", "second"):
            status, result, err = self.result(name)
            self.assertEqual((status, result["confirmed"]), (0, True), err)
        self.assertEqual(self.sim.switch_letters()[1], "CCOOOCCC")  # on 1 3, then these two

        self.assertEqual(self.sim.frames()[:5], ["/uni\\", "/C\\", "/uni\\", "/O013\\", "/C\\"])
        # The two calls took turns: one whole exchange after the other.
        turns = " ".join(self.sim.frames()[-8:])
        self.assertIn(turns, ["/uni\\ /F014\\ /C\\ /O014\\ /C\\ /uni\\ /O015\\ /C\\",
                              "/uni\\ /O015\\ /C\\ /uni\\ /F014\\ /C\\ /O014\\ /C\\"])
        status, result, err = self.result("server")
        self.assertEqual(status, 0, err)
        self.assertEqual((result["server"], result["confirmed"]), (self.daemon.url, True))
        self.assertEqual(self.served.switch_letters()[1], "CCCCCCOC")

        links = [n for n in os.listdir(os.path.join(self.prefix, "dosdevices"))
                 if n.startswith("com")]
        self.assertEqual(links, ["com5"])


if __name__ == "__main__":
    unittest.main()
