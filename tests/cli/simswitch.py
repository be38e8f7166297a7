"""The simulated switch as a child process for the relaybox-cli tests: its link, its control
commands and what it saw."""

import os
import subprocess
import threading
import time

BIN_DIR = os.environ.get("RELAYBOX_BIN_DIR", os.path.join(os.getcwd(), "bin"))
CLI = os.path.join(BIN_DIR, "relaybox-cli")
SIM = os.path.join(BIN_DIR, "relaybox-sim")


class SimSwitch:
    def __init__(self, link, banks=1, pace=False, extra=()):
        args = [SIM, "--banks", str(banks), "--link", link, *extra]
        if pace:
            args.append("--pace")
        self._process = subprocess.Popen(
            args, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1
        )
        self._lines = []
        self._changed = threading.Condition()
        first = self._process.stdout.readline().split()
        if first[:1] != ["LINK"]:
            raise RuntimeError("the simulator did not start: %r" % first)
        self.link = first[1]
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self._process.stdout:
            with self._changed:
                self._lines.append(line.rstrip("\n"))
                self._changed.notify_all()

    def _wait_for(self, predicate, timeout=10):
        end = time.monotonic() + timeout
        with self._changed:
            while True:
                found = predicate(self._lines)
                if found is not None:
                    return found
                left = end - time.monotonic()
                if left <= 0:
                    raise TimeoutError("the simulator did not answer")
                self._changed.wait(left)

    def control(self, command):
        """Sends a control command; returns the lines it printed up to its OK."""
        with self._changed:
            start = len(self._lines)
        self._process.stdin.write(command + "\n")
        self._process.stdin.flush()

        def answered(lines):
            for i in range(start, len(lines)):
                if lines[i] == "OK " + command:
                    return lines[start:i]
                if lines[i].startswith("ERROR"):
                    raise RuntimeError(lines[i])
            return None

        return self._wait_for(answered)

    def frames(self):
        """Every frame the switch received, in order."""
        with self._changed:
            return [l.split(" RX ", 1)[1] for l in self._lines if " RX " in l]

    def wait_for_frames(self, predicate, timeout=10):
        """Waits until predicate(every frame received so far) holds."""
        self._wait_for(lambda lines: True if predicate(
            [l.split(" RX ", 1)[1] for l in lines if " RX " in l]) else None, timeout)

    def switch_letters(self):
        """{bank: "OOCCCCCC"} as the switch holds them."""
        letters = {}
        for line in self.control("state"):
            fields = dict(f.split("=", 1) for f in line.split() if "=" in f)
            if "bank" in fields:
                letters[int(fields["bank"])] = fields["switch"]
        return letters

    def stop(self):
        if self._process.poll() is None:
            try:
                self._process.stdin.write("quit\n")
                self._process.stdin.close()
                self._process.wait(timeout=10)
            except (OSError, subprocess.TimeoutExpired):
                self._process.kill()
                self._process.wait()
        self._process.stdout.close()
