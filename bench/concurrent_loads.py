#!/usr/bin/python3
"""Two programs loading at once: each of two processes sends its own profile N times to a
simulator of its own, both appending to one record of loads. Then every line of the record
must be an intact JSON record, there must be 2*N of them, and each record's code digest must
be that of the codes of the file it names. Prints the figures.

    PYTHONPATH=build/python/module bench/concurrent_loads.py [N]     (default 500)

Exit status 0 when the record is intact, 1 otherwise.
"""
import hashlib
import json
import os
import pathlib
import select
import signal
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parents[1]
SIM = os.environ.get("TESSARON_SIM", str(ROOT / "build" / "bin" / "tessaron-sim"))


def worker(port, path, log, count):
    import tessaron
    profile = tessaron.Profile.open(path)
    with tessaron.Controller(port, speed=115200, timeout_ms=2000, log=log) as link:
        for _ in range(count):
            link.send(profile)


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 500
    import tessaron
    with tempfile.TemporaryDirectory() as folder:
        folder = pathlib.Path(folder)
        log = folder / "link.log"
        files, sims, digests = [], [], {}
        for k, diopters in enumerate((2.5, 5.0)):
            profile = tessaron.Profile.new(elements=256 + 128 * k)
            profile.generate_lens(diopters, 633e-9)
            path = folder / f"lens{k}.lcp"
            profile.save(path)
            files.append(path)
            codes = profile.codes().astype("<u2").tobytes()
            digests[str(path)] = hashlib.sha256(codes).hexdigest()
            sim = subprocess.Popen([SIM], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            if not select.select([sim.stdout], [], [], 10)[0]:
                sys.exit("the simulator named no port")
            sims.append((sim, sim.stdout.readline().decode().strip()))
        started = time.monotonic()
        workers = [subprocess.Popen([sys.executable, __file__, "--worker", port, str(path),
                                     str(log), str(count)])
                   for (_, port), path in zip(sims, files)]
        failed = [w.wait() for w in workers]
        elapsed = time.monotonic() - started
        for sim, _ in sims:
            sim.send_signal(signal.SIGINT)
            sim.wait(timeout=10)
        lines = (folder / "tessaron-loads.jsonl").read_bytes().split(b"\n")
        faults = []
        if lines[-1] != b"":
            faults.append("the record does not end with a line break")
        records = []
        for number, line in enumerate(lines[:-1], 1):
            try:
                records.append(json.loads(line))
            except ValueError:
                faults.append(f"line {number} is not intact JSON: {line[:80]!r}")
        mismatched = [r for r in records
                      if r["codes_sha256"] != digests.get(r["document"]["file"])
                      or r["result"] != "done"]
        print(f"{len(workers)} processes x {count} sends: {len(records)} records in "
              f"{elapsed:.1f} s ({len(records) / elapsed:.0f} sends/s), "
              f"{len(mismatched)} not matching their file's codes or not done, "
              f"worker exit codes {failed}")
        if len(records) != 2 * count or mismatched or any(failed):
            faults.append("records missing, wrong or failed")
        for fault in faults:
            print("FAULT:", fault)
        return 1 if faults else 0


if __name__ == "__main__":
    if len(sys.argv) > 1 and sys.argv[1] == "--worker":
        worker(sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5]))
    else:
        sys.exit(main())
