"""Fixtures of the module's tests: the programs, a simulator on a real pseudo-terminal, and a
home of its own for every test, so that no test touches the user's settings or records."""
import os
import pathlib
import select
import signal
import subprocess
import time

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
DATA = ROOT / "tests" / "data"
CLI = os.environ.get("TESSARON_CLI", str(ROOT / "build" / "bin" / "tessaron-cli"))
SIM = os.environ.get("TESSARON_SIM", str(ROOT / "build" / "bin" / "tessaron-sim"))


def wait_for(condition, seconds, what):
    """Waits until condition() is true; fails after `seconds`."""
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            pytest.fail(f"no {what} within {seconds} s")
        time.sleep(0.01)


class Simulator:
    """tessaron-sim as a program: its pseudo-terminal, what it recorded, and its end."""

    def __init__(self, folder, *options):
        self.record = folder / f"sim-{id(self)}.txt"
        self.process = subprocess.Popen([SIM, "--record", str(self.record), *options],
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        ready, _, _ = select.select([self.process.stdout], [], [], 10)
        assert ready, "the simulator named no port"
        self.port = self.process.stdout.readline().decode().strip()

    def codes(self):
        """The codes of every load it took, in order."""
        lines = self.record.read_text().splitlines() if self.record.exists() else []
        return [[int(c) for c in lines[i + 1].split()] for i, line in enumerate(lines)
                if line.startswith("profile ")]

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGINT)
        self.process.communicate(timeout=10)


@pytest.fixture(autouse=True)
def home(tmp_path, monkeypatch):
    """Every test has a home and a configuration folder of its own."""
    monkeypatch.setenv("HOME", str(tmp_path))
    monkeypatch.setenv("XDG_CONFIG_HOME", str(tmp_path / "config"))
    return tmp_path


@pytest.fixture
def simulator(tmp_path):
    started = []

    def start(*options):
        started.append(Simulator(tmp_path, *options))
        return started[-1]

    yield start
    for sim in started:
        sim.stop()


def cli(*args, check=True):
    result = subprocess.run([CLI, *map(str, args)], capture_output=True, text=True, timeout=120)
    if check:
        assert result.returncode == 0, result.stderr
    return result
