"""The link to the controller from Python, against tessaron-sim on a real pseudo-terminal:
loads, the record of loads, the simulator's faults, Ctrl+C, and the JSON output of
tessaron-cli validated against docs/json.schema.json."""
import hashlib
import json
import os
import signal
import subprocess
import sys
import textwrap
import time

import jsonschema
import pytest
import tessaron
from conftest import CLI, ROOT, cli, wait_for

SCHEMA = json.loads((ROOT / "docs" / "json.schema.json").read_text())
CONNECT_FAILED = "Can't connect to controller"
SEND_FAILED = "Error during send data to controller"


def validate(instance, shape):
    jsonschema.validate(instance, {"$ref": f"#/$defs/{shape}", "$defs": SCHEMA["$defs"]})


def lens(diopters=5.0, elements=256):
    profile = tessaron.Profile.new(elements=elements)
    profile.generate_lens(diopters, 633e-9)
    return profile


def last_record(path):
    return json.loads(open(path, "rb").read().splitlines()[-1])


def test_a_load_reaches_the_controller_and_is_recorded(tmp_path, simulator):
    sim = simulator()
    profile = lens()
    log = tmp_path / "link.log"
    with tessaron.Controller(sim.port, speed=115200, log=log, line_divisor=4) as link:
        first = link.send(profile)  # never saved
        profile.save(tmp_path / "lens.lcp")
        second = link.send(profile)
        profile.note = "changed"
        third = link.send(tessaron.VoltPhase.new(elements=8, section=2, level1=5))
        fourth = link.send(profile)
    assert not link.connected and link.line_divisor == 4
    codes = profile.codes()
    assert sim.codes()[:2] == [codes.tolist()] * 2
    digest = hashlib.sha256(codes.astype("<u2").tobytes()).hexdigest()
    file_digest = hashlib.sha256((tmp_path / "lens.lcp").read_bytes()).hexdigest()
    assert [r["document"]["file_state"] for r in (first, second, fourth)] == [
        "never saved", "as saved", "changed since saved"]
    assert first["document"]["file"] is None and second["document"]["file_sha256"] == file_digest
    assert first["codes_sha256"] == second["codes_sha256"] == digest
    assert json.loads(cli("codes", tmp_path / "lens.lcp", "--json").stdout)["codes_sha256"] == digest
    assert third["document"]["kind"] == "volt-phase" and third["elements"] == 8
    assert (first["port"], first["speed"], first["result"], first["blocks"]) == (
        sim.port, 115200, "done", 1)
    records = tessaron.loads(tmp_path / "tessaron-loads.jsonl")
    assert records == [first, second, third, fourth]
    assert tessaron.loads(tmp_path / "tessaron-loads.jsonl", last=1) == [fourth]
    for record in records:
        validate(record, "loadRecord")
    assert "params line=4 frame=1" in sim.record.read_text()


# The simulator's faults: its options, and the message, the failed step and whether the link
# opened (then the send fails and its record says so).
FAULTS = [
    (["--silent"], CONNECT_FAILED, "connect ENQ: not acknowledged after 3 transmissions", False),
    (["--wrong-byte", "1000"], CONNECT_FAILED,
     "connect ENQ: not acknowledged after 3 transmissions", False),
    (["--silent-after", "6"], SEND_FAILED, "profile ENQ: not acknowledged after 3 transmissions",
     True),
    (["--hang-up-after", "7"], SEND_FAILED,
     "profile command block: not acknowledged after 1 transmission", True),
]


@pytest.mark.parametrize("options,message,step,opened", FAULTS)
def test_faults_raise_the_programs_message_within_the_time_out(tmp_path, simulator, options,
                                                               message, step, opened):
    sim = simulator(*options)
    timeout_ms = 150
    started = time.monotonic()
    with pytest.raises(tessaron.Error) as raised:
        with tessaron.Controller(sim.port, speed=115200, timeout_ms=timeout_ms,
                                 log=tmp_path / "l.log") as link:
            link.send(lens())
    # At most three attempts of the failed step, each with its reply time, plus the waits for
    # replies still owed and the disconnect that follows.
    assert time.monotonic() - started < 12 * timeout_ms / 1000 + 2
    error = raised.value
    assert (str(error), error.message, error.detail) == (f"{message}\n{step}", message, step)
    if opened:
        assert error.record == last_record(tmp_path / "tessaron-loads.jsonl")
        assert (error.record["result"], error.record["message"]) == ("failed", SEND_FAILED)
        assert not error.record["steps"][-1]["acknowledged"]
    else:
        assert error.record is None and not (tmp_path / "tessaron-loads.jsonl").exists()


@pytest.mark.parametrize("make,message", [
    (lambda port: tessaron.Controller(port, speed=1234), "the speed is one of 1200 2400"),
    (lambda port: tessaron.Controller(port, timeout_ms=0), "the time-out is a number"),
    (lambda port: tessaron.Controller(port, frame_divisor=3), "a divisor is 1, 2, 4 or 8"),
    (lambda port: tessaron.Controller("/dev/no-such-port", speed=115200).connect(),
     "Can't open COM-port\n/dev/no-such-port"),
    (lambda port: tessaron.Controller(port, speed=115200).send(lens()),
     "The link to the controller is not open"),
])
def test_link_refusals(simulator, make, message):
    sim = simulator()
    with pytest.raises(tessaron.Error, match=message):
        make(sim.port)
    with pytest.raises(TypeError):
        tessaron.Controller(sim.port).send("lens.lcp")


def test_a_record_that_cannot_be_written_warns_once_and_the_load_goes_on(tmp_path, simulator):
    sim = simulator()
    (tmp_path / "ro").mkdir()
    (tmp_path / "ro" / "tessaron-loads.jsonl").mkdir()  # not a file: no line can go in
    with tessaron.Controller(sim.port, speed=115200, log=tmp_path / "ro" / "l.log") as link:
        with pytest.warns(tessaron.TessaronWarning, match="Can't add the load to the record"):
            assert link.send(lens()) is None
        assert link.send(lens()) is None  # said once a run
    assert len(sim.codes()) == 2


INTERRUPTED = textwrap.dedent("""
    import fcntl, os, sys, tessaron
    port, log = sys.argv[1], sys.argv[2]
    profile = tessaron.Profile.new(elements=512)
    profile.generate_lens(5, 633e-9)
    link = tessaron.Controller(port, speed=1200, log=log)
    link.connect()
    try:
        link.send(profile)
    except KeyboardInterrupt:
        fd = os.open(port, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)  # raises while the link holds the port
        print("released", link.connected, tessaron.loads(link.record_path)[-1]["result"])
""")


def test_ctrl_c_cancels_a_slow_send_and_releases_the_port(tmp_path, simulator):
    sim = simulator("--pace", "1200")  # a large block takes 8.6 s on the wire
    log = tmp_path / "link.log"
    script = tmp_path / "send.py"
    script.write_text(INTERRUPTED)
    process = subprocess.Popen([sys.executable, str(script), sim.port, str(log)],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        under_way = "Отправка большого блока".encode("cp1251")
        wait_for(lambda: log.exists() and under_way in log.read_bytes(), 30, "data block")
        process.send_signal(signal.SIGINT)
        # Well before the block's own acknowledgement could have come.
        out, err = process.communicate(timeout=5)
    finally:
        process.kill()
    assert process.returncode == 0, err
    assert out.split() == ["released", "False", "cancelled"]
    record = last_record(tmp_path / "tessaron-loads.jsonl")
    assert record["message"] == "The load was cancelled; the link to the controller was closed."


def test_cli_json_output_has_the_documented_shape(tmp_path, simulator):
    lens().save(tmp_path / "lens.lcp")
    tessaron.VoltPhase.new(elements=6, section=3, level1=9, ref_voltage=5).save(tmp_path / "v.vf")
    for args, shape in [(["show", tmp_path / "lens.lcp"], "showProfile"),
                        (["show", tmp_path / "v.vf"], "showVolt"),
                        (["codes", tmp_path / "lens.lcp"], "codes"),
                        (["codes", tmp_path / "v.vf"], "codes")]:
        validate(json.loads(cli(*args, "--json").stdout), shape)
    # Phases are the shortest text that reads back as the very same double.
    shown = json.loads(cli("show", tmp_path / "lens.lcp", "--json").stdout)
    assert shown["phases"] == tessaron.Profile.open(tmp_path / "lens.lcp").phases.tolist()
    sim = simulator()
    sent = cli("send", tmp_path / "lens.lcp", "--port", sim.port, "--speed", "115200", "--log",
               tmp_path / "l.log", "--json")
    record = json.loads(sent.stdout)
    validate(record, "loadRecord")
    assert record["program"] == "tessaron-cli"
    listed = json.loads(cli("loads", "--json", "--record", tmp_path / "tessaron-loads.jsonl").stdout)
    validate(listed, "loads")
    assert listed == [record]
    text = cli("loads", "--last", "1", "--record", tmp_path / "tessaron-loads.jsonl").stdout
    assert text.count("\n") == 1 and " done " in text and str(tmp_path / "lens.lcp") in text


def test_loads_lists_good_lines_and_names_bad_ones(tmp_path):
    record = tmp_path / "r.jsonl"
    good = {"result": "done", "time": "2026-01-01T10:00:00.000+00:00", "elements": 4}
    record.write_text(json.dumps(good) + "\n{cut off\n" + json.dumps(good) + "\n")
    result = cli("loads", "--json", "--record", record)
    assert json.loads(result.stdout) == [good, good]
    assert result.stderr == f"{record}: line 2 is not a load record\n"
    with pytest.warns(tessaron.TessaronWarning, match="line 2 is not a load record"):
        assert len(tessaron.loads(record)) == 2
    assert cli("loads", "--record", tmp_path / "none.jsonl").stdout == ""
    assert cli("loads", "--last", "0", check=False).returncode == 2


def test_two_programs_appending_at_once_keep_every_line_intact():
    bench = ROOT / "bench" / "concurrent_loads.py"
    result = subprocess.run([sys.executable, str(bench), "25"], capture_output=True, text=True,
                            timeout=120, env=dict(os.environ))
    assert result.returncode == 0, result.stdout + result.stderr
    assert "50 records" in result.stdout
