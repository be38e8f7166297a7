"""The Windows manager as an operator meets it, under Wine on Xvfb with openbox and a notification
area: the installer installs it silently, it finds the simulated switch on COM5 through the
detection dialog, shows the bank panels, switches a port on a real click and another through
relaybox-cli.exe while the window shares its line, hides to the notification area and comes
back from the icon, uploads firmware byte for byte through the
Windows serial layer, and the uninstaller removes what was installed.

Safety: every Wine process runs through tests/windows/serial-free (every /dev/ttyS*, ttyUSB*,
ttyACM* is /dev/null there), in a prefix of the test's own that maps COM5 to the simulator's
terminal and blanks every other COM number; define.ini names COM5, never the AUTO search.

Environment: RELAYBOX_WINDOWS_PACKAGE names the folder scripts/package-windows wrote,
RELAYBOX_BIN_DIR the host build's bin folder (relaybox-sim), RELAYBOX_KEEP_TEST_FILES=1 keeps
the screenshots and logs."""

import getpass
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "cli"))
from simswitch import SimSwitch  # noqa: E402

SERIAL_FREE = os.path.join(HERE, "serial-free")
PACKAGE = os.environ.get("RELAYBOX_WINDOWS_PACKAGE", "")
SETUP = os.path.join(PACKAGE, "relaybox-setup-1.0.0.exe")
INSTALLED = r"C:\Program Files\KESTRANE Relaybox"
MAIN_TITLE = "^KESTRANE Relaybox Management$"
DETECTION_TITLE = "^KESTRANE Relaybox$"
UPGRADE_TITLE = "^Upgrade Process$"
SCREEN = (1280, 1024)
# trayer at the top right, 120 x 24; the program's icon, its only one, at its right end.
TRAY_ICON = (SCREEN[0] - 12, 12)

# The bank panel's layout (resources/faceplategeometry.h): panels 590 x 99 at x 20, the first
# 25 pixels below the menu bar; port buttons 29 x 28 at y 15; the lamps of ports 2 to 8.
PANEL_LEFT, PANEL_TOP = 20, 25
PANEL_SIZE = (590, 99)
BUTTON_LEFT = [133, 176, 220, 263, 306, 349, 393, 436]
BUTTON_TOP, BUTTON_SIZE = 15, (29, 28)
LAMP_LEFT = {2: 171, 3: 214, 4: 257, 5: 301, 6: 344, 7: 387, 8: 430}
LAMP_TOP, LAMP_SIZE = 48, (21, 28)
PLATE_METAL = (0x34, 0x38, 0x3F)


def wait_until(predicate, timeout, step=0.2):
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > end:
            return value
        time.sleep(step)


class Simulator(SimSwitch):
    def wait_for(self, pattern, timeout=20):
        """The first output line matching the pattern, or None after the timeout."""
        expression = re.compile(pattern)
        try:
            return self._wait_for(
                lambda lines: next((l for l in lines if expression.search(l)), None), timeout)
        except TimeoutError:
            return None

    def output(self):
        with self._changed:
            return "\n".join(self._lines)


class Desktop:
    """Xvfb with openbox and trayer; xdotool for the hand, import for the eye."""

    def __init__(self, folder):
        self.folder = folder
        self.processes = []
        server = subprocess.Popen(
            ["Xvfb", "-displayfd", "1", "-screen", "0", "%dx%dx24" % SCREEN, "-nolisten", "tcp",
             "-noreset"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.processes.append(server)
        self.display = ":" + server.stdout.readline().decode().strip()
        self.environment = dict(os.environ, DISPLAY=self.display)
        self.spawn(["openbox", "--sm-disable"])
        if not wait_until(lambda: b"window id" in self.run("xprop", "-root",
                                                          "_NET_SUPPORTING_WM_CHECK"), 30):
            raise RuntimeError("openbox did not take the display")
        self.spawn(["trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel",
                    "--width", "120", "--height", "24"])
        if not wait_until(lambda: self.windows("^panel$", visible=False), 10):
            raise RuntimeError("the notification area did not start")

    def spawn(self, command):
        self.processes.append(subprocess.Popen(command, env=self.environment,
                                               stdout=subprocess.DEVNULL,
                                               stderr=subprocess.DEVNULL))

    def run(self, *command):
        done = subprocess.run(command, env=self.environment, capture_output=True, timeout=30)
        return done.stdout if done.returncode == 0 else b""

    def xdotool(self, *arguments):
        return subprocess.run(["xdotool", *map(str, arguments)], env=self.environment,
                              capture_output=True, timeout=30).returncode == 0

    def windows(self, title, visible=True):
        arguments = ["search"] + (["--onlyvisible"] if visible else []) + ["--name", title]
        return self.run("xdotool", *arguments).decode().split()

    def wait_for_window(self, title, timeout=30):
        found = wait_until(lambda: self.windows(title), timeout)
        return found[0] if found else None

    def click(self, window, x, y):
        return self.xdotool("mousemove", "--window", window, x, y, "click", "1")

    def key(self, *keys):
        return self.xdotool("key", "--delay", "100", *keys)

    def picture(self, name, window="root"):
        """The window (or the screen) as width, height and RGB bytes; also saved as NAME.png."""
        path = os.path.join(self.folder, name + ".png")
        self.run("import", "-window", window, path)
        size = subprocess.run(["identify", "-format", "%w %h", path], capture_output=True,
                              text=True).stdout.split()
        pixels = subprocess.run(["/usr/bin/convert", path, "-depth", "8", "rgb:-"],
                                capture_output=True).stdout
        return Picture(int(size[0]), int(size[1]), pixels, path)

    def close(self):
        for process in reversed(self.processes):
            process.terminate()
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        if self.processes[0].stdout:
            self.processes[0].stdout.close()


class Picture:
    def __init__(self, width, height, pixels, path):
        self.width, self.height, self.pixels, self.path = width, height, pixels, path

    def at(self, x, y):
        offset = 3 * (y * self.width + x)
        return tuple(self.pixels[offset:offset + 3])

    def mean(self, left, top, width, height):
        sums = [0, 0, 0]
        for y in range(top, top + height):
            for x in range(left, left + width):
                for channel, value in enumerate(self.at(x, y)):
                    sums[channel] += value
        return tuple(total // (width * height) for total in sums)


def near(colour, expected, tolerance):
    return all(abs(a - b) <= tolerance for a, b in zip(colour, expected))


class Wine:
    """Every Wine process of the test: inside serial-free, in the test's own prefix."""

    def __init__(self, prefix, display):
        self.prefix = prefix
        self.environment = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all",
                                WINEDLLOVERRIDES="mscoree,mshtml=", DISPLAY=display)

    def run(self, *command, timeout=180):
        return subprocess.run([SERIAL_FREE, *command], env=self.environment, capture_output=True,
                              text=True, timeout=timeout)

    def start(self, *command, log):
        return subprocess.Popen([SERIAL_FREE, *command], env=self.environment, stdout=log,
                                stderr=subprocess.STDOUT)

    def settle(self):
        """Waits until every process of the prefix has ended."""
        self.run("wineserver", "-w")

    def path(self, windows_path):
        drive, rest = windows_path.split(":", 1)
        assert drive.upper() == "C"
        return os.path.join(self.prefix, "drive_c", *rest.strip("\\").split("\\"))

    def prepare(self, pty, folder):
        """A new prefix whose only COM port is COM5, the simulator's terminal."""
        lines = ["Windows Registry Editor Version 5.00", "",
                 r"[HKEY_LOCAL_MACHINE\Software\Wine\Ports]"]
        lines += ['"COM%d"="%s"' % (n, pty if n == 5 else "") for n in range(1, 33)]
        registry = os.path.join(folder, "ports.reg")
        with open(registry, "w", newline="") as out:
            out.write("\r\n".join(lines) + "\r\n")
        self.run("wineboot", "-i", timeout=300)
        self.run("wine", "regedit", "/S", registry)
        self.settle()
        self.remove_stray_com_links()
        listed = self.run("wine", "reg", "query", r"HKLM\HARDWARE\DEVICEMAP\SERIALCOMM").stdout
        if not re.search(r"\bCOM5\b", listed):
            self.run("wine", "reg", "add", r"HKLM\HARDWARE\DEVICEMAP\SERIALCOMM", "/v",
                     "RelayboxTest", "/d", "COM5", "/f")

    def remove_stray_com_links(self):
        # Wine moves what it found in /dev to a COM number left free; keep only our own mapping.
        devices = os.path.join(self.prefix, "dosdevices")
        for name in os.listdir(devices):
            if name.startswith("com") and name != "com5":
                os.remove(os.path.join(devices, name))


@unittest.skipUnless(os.path.isfile(SETUP), "RELAYBOX_WINDOWS_PACKAGE has no installer")
@unittest.skipUnless(os.geteuid() == 0, "a private mount namespace needs root")
class WindowsManagerUnderWine(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="relaybox-windows-gui-")
        self.image = os.path.join(self.folder, "image.x")
        with open(self.image, "wb") as out:
            out.write(bytes((i * 131 + 17) & 0xFF for i in range(4096)))
        self.sim = Simulator(os.path.join(self.folder, "switch"), banks=3,
                             extra=("--expect-image", self.image))
        self.desktop = Desktop(self.folder)
        self.wine = Wine(os.path.join(self.folder, "prefix"), self.desktop.display)
        self.log = open(os.path.join(self.folder, "relaybox.log"), "w")
        self.manager = None

    def tearDown(self):
        if self.manager and self.manager.poll() is None:
            self.wine.run("wineserver", "-k")
            self.manager.wait(timeout=30)
        self.log.close()
        self.desktop.close()
        self.sim.stop()
        if os.environ.get("RELAYBOX_KEEP_TEST_FILES") == "1":
            print("test files kept in", self.folder, file=sys.stderr)
        else:
            shutil.rmtree(self.folder, ignore_errors=True)

    def installed(self, *parts):
        return os.path.join(self.wine.path(INSTALLED), *parts)

    def test_installed_manager_runs_the_switch(self):
        wine, desktop, sim = self.wine, self.desktop, self.sim
        wine.prepare(os.path.realpath(sim.link), self.folder)

        # The installer, silently.
        wine.run("wine", SETUP, "/S")
        wine.settle()
        shipped = ["relaybox.exe", "relaybox-cli.exe", "Qt6Core.dll", "Qt6Gui.dll",
                   "Qt6Widgets.dll", os.path.join("platforms", "qwindows.dll"), "uninstall.exe"]
        for name in shipped:
            self.assertTrue(os.path.isfile(self.installed(name)), name + " was not installed")
        shortcut = os.path.join(self.wine.path(r"C:\ProgramData"), "Microsoft", "Windows",
                                "Start Menu", "Programs", "KESTRANE Relaybox Management.lnk")
        self.assertTrue(os.path.isfile(shortcut), "no Start-menu entry")

        # define.ini names COM5 by its index in the host port table.
        ports = wine.run("wine", INSTALLED + r"\relaybox-cli.exe", "--json", "ports")
        self.assertEqual(ports.returncode, 0, ports.stderr)
        index = [p["index"] for p in json.loads(ports.stdout)["ports"] if p["name"] == "COM5"]
        self.assertEqual(len(index), 1, ports.stdout)
        with open(self.installed("define.ini"), "w", newline="") as out:
            out.write("[Form]\r\nComPort=%d\r\nAuto=1\r\nPrompt=0\r\nComMeg=1\r\nSetRTC=0\r\n"
                      "RestoreStatus=1\r\nShare=1\r\n" % index[0])

        # Start-up with Auto on: the detection dialog finds the switch; OK starts the link.
        self.manager = wine.start("wine", INSTALLED + r"\relaybox.exe", log=self.log)
        dialog = desktop.wait_for_window(DETECTION_TITLE, 60)
        self.assertTrue(dialog, "no detection dialog")
        self.assertTrue(sim.wait_for(r" RX /uni\\", 30), sim.output())
        time.sleep(1.5)  # the probe's answer and the dialog's pause after "Found!"
        desktop.picture("1-detection")
        self.assertTrue(wait_until(lambda: not desktop.windows(DETECTION_TITLE) or (
            desktop.xdotool("windowactivate", "--sync", dialog) and desktop.key("Return")
            and False), 20, step=1), "the detection dialog stayed")
        window = desktop.wait_for_window(MAIN_TITLE, 30)
        self.assertTrue(window, "no main window")
        self.assertTrue(sim.wait_for(r" RX /C\\", 20), sim.output())

        # The three bank panels, drawn: find the first one below the menu bar.
        def panels_drawn():
            picture = desktop.picture("2-panels", window)
            return picture if self.panel_top(picture) is not None else None
        picture = wait_until(panels_drawn, 20, step=1)
        self.assertTrue(picture, "no bank panel in the window")
        top = self.panel_top(picture)
        for panel in range(3):
            origin = (PANEL_LEFT, top + panel * 109)
            self.assertTrue(self.looks_like_panel(picture, origin), "panel %d" % (panel + 1))
        lamp = (PANEL_LEFT + LAMP_LEFT[3] + LAMP_SIZE[0] // 2,
                top + LAMP_TOP + LAMP_SIZE[1] * 3 // 4)
        lamp_off = picture.mean(lamp[0] - 3, lamp[1] - 2, 6, 4)

        # A real click on port 3's button of bank 1 switches it on; the lamp follows.
        button = (PANEL_LEFT + BUTTON_LEFT[2] + BUTTON_SIZE[0] // 2,
                  top + BUTTON_TOP + BUTTON_SIZE[1] // 2)
        self.assertTrue(desktop.click(window, *button))
        self.assertTrue(sim.wait_for(r" RX /O013\\", 20), sim.output())
        self.assertEqual(sim.switch_letters()[1], "CCOCCCCC")

        def lamp_lit():
            shown = desktop.picture("3-port-on", window)
            colour = shown.mean(lamp[0] - 3, lamp[1] - 2, 6, 4)
            return colour[1] > lamp_off[1] + 60 and colour[1] > colour[0] + 40
        self.assertTrue(wait_until(lamp_lit, 20, step=1), "port 3's green lamp did not light")

        # Sharing: the manager holds COM5, so relaybox-cli.exe finds the window's loopback port
        # and token in the user's folder and switches through it; the frame leaves through the
        # window, followed at once by a status poll, and the audit file names the tool.
        shared = wine.run("wine", INSTALLED + r"\relaybox-cli.exe", "--port", "COM5", "--json",
                          "on", "1", "6", timeout=60)
        self.assertEqual(shared.returncode, 0, shared.stderr)
        result = json.loads(shared.stdout)
        self.assertEqual((result["via"], result["confirmed"]), ("manager", True), result)
        frames = sim.frames()
        self.assertEqual(frames.count("/O016\\"), 1, frames)
        self.assertEqual(frames[frames.index("/O016\\") + 1], "/C\\")
        self.assertEqual(sim.switch_letters()[1], "CCOCCOCC")
        # Any local program reaches the loopback port; only the token admits a request.
        user = wine.path(r"C:\users\%s\AppData" % getpass.getuser())
        with open(os.path.join(user, "Local", "kestrane", "relaybox", "share", "port-COM5")) as f:
            url, token = f.read().split()
        self.assertRegex(url, r"^http://127\.0\.0\.1:\d+$")
        for headers, status in (({}, 401), ({"Authorization": "Bearer " + token}, 200)):
            try:
                with urllib.request.urlopen(urllib.request.Request(
                        url + "/api/v1/switches", headers=headers), timeout=20) as answer:
                    self.assertEqual(answer.status, status)
            except urllib.error.HTTPError as error:
                self.assertEqual(error.code, status)
        roaming = os.path.join(user, "Roaming")
        with open(os.path.join(roaming, "kestrane", "relaybox", "remote-commands.log")) as audit:
            self.assertIn('"program":"relaybox-cli"', audit.read())

        # Minimised it leaves the screen for the notification area; the icon brings it back.
        self.assertTrue(desktop.xdotool("windowminimize", window))
        self.assertTrue(wait_until(lambda: not desktop.windows(MAIN_TITLE), 20),
                        "the minimised window stayed on the screen")
        time.sleep(1)
        desktop.picture("4-in-tray")
        self.assertTrue(desktop.xdotool("mousemove", *TRAY_ICON, "click", "1"))
        self.assertTrue(desktop.wait_for_window(MAIN_TITLE, 20),
                        "the icon did not bring the window back")
        time.sleep(1)
        desktop.picture("5-restored")

        # Tools > Upgrade from the keyboard, then the image's path typed into the file dialog.
        window = desktop.wait_for_window(MAIN_TITLE)
        desktop.xdotool("windowactivate", "--sync", window)
        self.assertTrue(desktop.key("alt", "Right", "Right", "Down", "Return"))
        time.sleep(3)
        desktop.picture("6-file-dialog")
        windows_image = "Z:" + self.image.replace("/", "\\")
        self.assertTrue(desktop.xdotool("type", "--delay", "20", windows_image))
        self.assertTrue(desktop.key("Return"))
        self.assertTrue(sim.wait_for("UPLOAD BEGIN", 30), sim.output())
        ended = sim.wait_for("UPLOAD END", 180)
        desktop.picture("7-uploaded")
        self.assertTrue(ended, sim.output())
        self.assertRegex(ended, r"UPLOAD END bytes=4096 \S+ ok")
        desktop.key("Return")

        # The uninstaller removes what was installed and leaves the operator's define.ini.
        wine.run("wineserver", "-k")
        self.manager.wait(timeout=30)
        wine.run("wine", INSTALLED + r"\uninstall.exe", "/S")
        wine.settle()
        self.assertFalse(os.path.exists(shortcut), "the Start-menu entry stayed")
        self.assertEqual(os.listdir(self.installed()), ["define.ini"])

    @staticmethod
    def panel_top(picture):
        """The y of the first bank panel: where the light window background below the menu bar
        gives way to the plate's dark metal, right of port 8's button."""
        x = PANEL_LEFT + 480
        for top in range(5, min(150, picture.height - PANEL_SIZE[1])):
            above = picture.at(x, top - 1)
            plate = [picture.at(x, top + k) for k in range(4)]
            if min(above) > 150 and all(max(c) < 140 for c in plate):
                if WindowsManagerUnderWine.looks_like_panel(picture, (PANEL_LEFT, top)):
                    return top
        return None

    @staticmethod
    def looks_like_panel(picture, origin):
        """The plate's metal around the buttons, and a button face that is not metal."""
        x, y = origin
        if y + PANEL_SIZE[1] > picture.height or x + PANEL_SIZE[0] > picture.width:
            return False
        # The strip of plate between the port labels' row and the buttons, left of port 1.
        metal = picture.mean(x + 100, y + 16, 20, 6)
        button = picture.mean(x + BUTTON_LEFT[0] + 8, y + BUTTON_TOP + 8, 12, 12)
        return near(metal, PLATE_METAL, 40) and not near(button, metal, 12)


if __name__ == "__main__":
    unittest.main()
