"""Profiles and volt-phase tables through the module: the editor's checks and messages, the
data both ways, the files, and codes identical to the command line tool's."""
import json
import warnings

import numpy as np
import pytest
import tessaron
from conftest import DATA, cli

RANGE_1_512 = "Please enter an integer between 1 and 512."
LIMITS = "Low limit must be less then high limit.\nHigh limit must be less or equal maximum phase."
TOO_FEW = "Number of elements invalid (file must contain one or more\nempty lines after last number)"
NO_TABLE = "Can't open a file with correction table"


def lens(**parameters):
    profile = tessaron.Profile.new(**parameters)
    profile.generate_lens(5, 633e-9)
    return profile


def write(path, text):
    path.write_text(text)
    return path


# Each refusal: what the script does, and the program's message it gets.
REFUSALS = [
    (lambda t: tessaron.Profile.new(elements=0), RANGE_1_512),
    (lambda t: tessaron.Profile.new(dac_digits=20), "Please enter an integer between 10 and 16."),
    (lambda t: tessaron.Profile.new(aperture=11), "Please enter a number between 0 and 10."),
    (lambda t: tessaron.Profile.new().set(low_limit=5, high_limit=4), LIMITS),
    (lambda t: setattr(tessaron.Profile.new(), "max_phase", 4), LIMITS),
    (lambda t: tessaron.Profile.new().generate_polynomial(64, 0, 0, 0),
     "Please enter a number between -63 and 63."),
    (lambda t: tessaron.Profile.new(high_limit=1).generate_lens(50, 633e-9, max_jumps=0),
     "Wizard can't generate data, with this parameters"),
    (lambda t: setattr(tessaron.Profile.new(), "phases", np.zeros(3)), TOO_FEW),
    (lambda t: setattr(tessaron.Profile.new(), "phases", np.full(256, 9.0)),
     "Some numbers in array are greater then maximum phase"),
    (lambda t: tessaron.Profile.new().set_value(0, 9), "Please enter a number between 0 and 8."),
    (lambda t: tessaron.Profile.new().use_correction_table(t / "missing"), NO_TABLE),
    (lambda t: tessaron.Profile.new(dac_digits=10).use_correction_table(
        write(t / "short.txt", "1 2 3\n")), TOO_FEW),
    (lambda t: tessaron.Profile.new(dac_digits=10).use_correction_table(
        write(t / "big.txt", "512\n" * 512)), "Some element(s) of correction table is too large"),
    (lambda t: setattr(tessaron.Profile.new(), "use_correction", True), NO_TABLE),
    (lambda t: tessaron.Profile.open(t / "missing.lcp"), "Failed to open document."),
    (lambda t: tessaron.Profile.open(DATA / "profile-v3.lcp"), "Unexpected file format."),
    (lambda t: tessaron.Profile.new().save(t / "no" / "such" / "folder.lcp"),
     "Failed to save document."),
    (lambda t: tessaron.Profile.new().import_phases(t / "missing.txt"), "Can't open a file"),
    (lambda t: tessaron.Profile.new().export_codes(t / "c.dat", corrected=True), NO_TABLE),
    (lambda t: tessaron.VoltPhase.new(section=0), "Please enter an integer between 1 and 256."),
    (lambda t: tessaron.VoltPhase.new(level1=40000), "Please enter an integer between 0 and 32767."),
    (lambda t: tessaron.VoltPhase.open(DATA / "default-v2.lcp"), "Unexpected file format."),
]


@pytest.mark.parametrize("operation,message", REFUSALS)
def test_refusals_raise_the_programs_message(tmp_path, operation, message):
    with pytest.raises(tessaron.Error) as raised:
        operation(tmp_path)
    assert str(raised.value).startswith(message)
    assert raised.value.message.startswith(message)


def test_a_refused_change_leaves_the_document_as_it_was():
    profile = lens()
    before = profile.phases, profile.parameters
    for change in (lambda: profile.set(elements=128, low_limit=9),
                   lambda: setattr(profile, "phases", np.full(256, -1.0))):
        with pytest.raises(tessaron.Error):
            change()
    assert np.array_equal(profile.phases, before[0]) and profile.parameters == before[1]
    # The form writes a field as it reads it: a later bad field must not leave earlier ones.
    volt = tessaron.VoltPhase.new(elements=8, section=2, level1=7)
    with pytest.raises(tessaron.Error):
        volt.set(elements=10, level1=99999)
    assert volt.elements == 8 and list(volt.element_codes) == [7, 7, 0, 0] * 2


def test_new_profile_takes_the_settings_then_the_parameters(tmp_path):
    settings = write(tmp_path / "s.ini", "[Settings]\nNumber of elements=64\nDAC Digit=12\n")
    profile = tessaron.Profile.new(settings=settings, max_phase=6, high_limit=6)
    assert (profile.elements, profile.dac_digits, profile.max_phase, profile.high_limit) == (
        64, 12, 6.0, 6.0)
    assert profile.path is None
    with pytest.raises(TypeError):
        tessaron.Profile.new(element=3)


def test_phases_codes_and_files_agree_with_the_command_line_tool(tmp_path):
    profile = lens()
    path = tmp_path / "lens.lcp"
    profile.save(path)
    assert profile.path == str(path) and not profile.modified
    listed = [int(c) for c in cli("codes", path).stdout.split()]
    codes = profile.codes()
    assert codes.dtype == np.uint16 and codes.tolist() == listed
    shown = json.loads(cli("show", path, "--json").stdout)
    assert shown["phases"] == profile.phases.tolist()  # exact, both ways
    assert shown["parameters"] == profile.parameters
    again = tessaron.Profile.open(path)
    assert np.array_equal(again.phases, profile.phases) and again.parameters == profile.parameters


def test_data_in_and_out(tmp_path):
    profile = lens(elements=16)
    values = np.linspace(0, 8, 16)
    profile.phases = values
    assert np.array_equal(profile.phases, values) and profile.modified
    profile.set_value(3, 1.25)
    assert profile.phases[3] == 1.25
    profile.export_phases(tmp_path / "p.txt")
    profile.export_codes(tmp_path / "c.dat")
    other = tessaron.Profile.new(elements=16)
    other.import_phases(tmp_path / "p.txt")
    assert np.allclose(other.phases, profile.phases, rtol=1e-6)
    other.import_codes(tmp_path / "c.dat")
    assert np.allclose(other.phases, profile.phases, atol=8 / 32767)
    other.clear()  # the question is answered OK
    assert not other.phases.any() and len(other.phases) == 16
    with pytest.raises(IndexError):
        other.set_value(16, 0)


def test_wizard_options_and_polynomial():
    profile = tessaron.Profile.new(elements=32)
    profile.generate_polynomial(3.14159, 0.5, 0, 0, max_jumps=2, min_voltage=True)
    assert profile.creation_mode == tessaron.POLYNOMIAL
    assert profile.coefficients == (3.14159, 0.5, 0.0, 0.0)
    assert profile.max_jumps == 2 and profile.min_voltage and not profile.use_aperture
    assert ((profile.phases >= 0) & (profile.phases <= 8)).all()
    profile.generate_lens(2.5)  # the profile's own wave length
    assert profile.creation_mode == tessaron.LENS and profile.wavelength == 7.8e-07
    assert profile.max_jumps is None
    profile.note = "bench 3\nline two"
    assert profile.note == "bench 3\nline two"


def test_correction_table_is_used_and_a_lost_one_warns_on_open(tmp_path):
    table = write(tmp_path / "t.txt", "\n".join(str(511 - k) for k in range(512)) + "\n")
    profile = tessaron.Profile.new(elements=4, dac_digits=10, max_phase=8, high_limit=8)
    profile.phases = np.array([0, 0, 8, 8.0])
    profile.use_correction_table(table)
    assert profile.use_correction and profile.correction_path == str(table)
    assert profile.codes().tolist() == [512 + 511, 512 + 511, 512, 512, 0, 0, 511, 511]
    profile.save(tmp_path / "c.lcp")
    table.unlink()
    with pytest.warns(tessaron.TessaronWarning, match=NO_TABLE):
        reopened = tessaron.Profile.open(tmp_path / "c.lcp")
    assert not reopened.use_correction and reopened.modified


def test_volt_phase_table(tmp_path):
    volt = tessaron.VoltPhase.new(elements=5, section=2, level1=7, level0=3, ref_voltage=10,
                                  dac_digits=10, comment="cal")
    assert volt.element_codes.tolist() == [7, 7, 3, 3, 7]
    assert volt.codes().tolist() == [519, 519, 515, 515, 519, 504, 504, 508, 508, 504]
    assert volt.code_voltage(1022) == 10.0
    volt.ref_voltage = 2.5
    volt.save(tmp_path / "v.vf")
    listed = [int(c) for c in cli("codes", tmp_path / "v.vf").stdout.split()]
    again = tessaron.VoltPhase.open(tmp_path / "v.vf")
    assert again.parameters == volt.parameters and again.codes().tolist() == listed


def test_text_that_is_not_utf8_survives(tmp_path):
    profile = tessaron.Profile.new(elements=4)
    profile.note = b"\xe9t\xe9".decode("utf-8", "surrogateescape")  # a note in code page 1251
    profile.save(tmp_path / "n.lcp")
    assert tessaron.Profile.open(tmp_path / "n.lcp").note.encode("utf-8", "surrogateescape") \
        == b"\xe9t\xe9"


def test_warnings_can_be_made_errors(tmp_path):
    table = write(tmp_path / "t.txt", "0\n" * 512)
    profile = tessaron.Profile.new(elements=4, dac_digits=10)
    profile.use_correction_table(table)
    profile.save(tmp_path / "w.lcp")
    table.unlink()
    with warnings.catch_warnings():
        warnings.simplefilter("error", tessaron.TessaronWarning)
        with pytest.raises(tessaron.TessaronWarning):
            tessaron.Profile.open(tmp_path / "w.lcp")
