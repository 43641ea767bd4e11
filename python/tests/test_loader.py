import os
import shutil
import struct
import textwrap

import pytest

import velnor
from velnor import _loader

from conftest import LIBRARY, run_python

PACKAGE = os.path.dirname(os.path.dirname(os.path.abspath(velnor.__file__)))
BITS = f"{struct.calcsize('P') * 8}-bit"
needs_library = pytest.mark.skipif(not os.path.isfile(LIBRARY), reason="VELNOR_LIBRARY not set")


def clean_env(**extra):
    env = {"VELNOR_LIBRARY": None, "VELNOR_SIM_LIBRARY": None, "LD_LIBRARY_PATH": None,
           "PYTHONPATH": PACKAGE}
    env.update(extra)
    return env


def test_candidates_in_order():
    bundle = os.path.join(os.path.dirname(velnor.__file__), "_libs")
    assert _loader.candidates(environ={}) == [
        ("package", os.path.join(bundle, "libvelnor.so")), ("system", "libvelnor.so")]
    assert _loader.candidates(environ={"VELNOR_LIBRARY": "/x/libvelnor.so"}) == [
        ("VELNOR_LIBRARY", "/x/libvelnor.so")]
    assert _loader.candidates("/y.so", environ={"VELNOR_LIBRARY": "/x.so"}) == [
        ("argument", "/y.so")]
    # The recording build alone, never the product in its place; "0" and "" mean unset.
    recording = [("VELNOR_RECORDING", os.path.join(bundle, "trace", "libvelnor.so"))]
    assert _loader.candidates(environ={"VELNOR_RECORDING": "1"}) == recording
    assert _loader.candidates(environ={"VELNOR_RECORDING": "yes"}) == recording
    for unset in ("0", ""):
        assert _loader.candidates(environ={"VELNOR_RECORDING": unset}) == \
            _loader.candidates(environ={})
    assert _loader.candidates(environ={"VELNOR_RECORDING": "1", "VELNOR_LIBRARY": "/x.so"}) == [
        ("VELNOR_LIBRARY", "/x.so")]


def load_error(env):
    result = run_python(textwrap.dedent("""
        import velnor
        try:
            velnor.device_count()
        except velnor.LibraryNotFoundError as error:
            assert isinstance(error, OSError)
            print(error)
    """), env)
    assert result.returncode == 0, result.stderr
    return result.stdout


def test_error_names_the_variable_and_says_what_the_place_is(tmp_path):
    # place VELNOR_LIBRARY names, what the text says of it
    cases = [
        ("/nonexistent/libvelnor.so", "no such file"),
        (str(tmp_path), "a directory, not the library file (there is no libvelnor.so in it)"),
    ]
    if os.path.isfile(LIBRARY):
        folder = os.path.dirname(LIBRARY)
        cases += [
            (folder, f"a directory, not the library file; name the file: {folder}/libvelnor.so"),
            (os.path.join(folder, "libvelnor_sim.so"), "the virtual platform's library "
             "(libvelnor_sim.so), not the Velnor library: name libvelnor.so, which uses it"),
        ]
    for place, why in cases:
        # No bitness advice: bitness is not the problem here.
        assert load_error(clean_env(VELNOR_LIBRARY=place)) == (
            "velnor: could not load the Velnor library (libvelnor.so). Looked in:\n"
            f"  VELNOR_LIBRARY: {place}: {why}\n"
            "Set VELNOR_LIBRARY to the library's path.\n")


def test_error_without_the_variable_names_the_package_and_the_system_search():
    lines = load_error(clean_env()).splitlines()
    bundle = os.path.join(PACKAGE, "velnor", "_libs", "libvelnor.so")
    assert lines[1] == f"  package: {bundle}: no such file"
    assert lines[2].startswith("  the system's search for libvelnor.so: libvelnor.so.1: cannot open")
    assert lines[3:] == ["Set VELNOR_LIBRARY to the library's path."]


def test_error_when_the_package_carries_no_recording_build():
    trace = os.path.join(PACKAGE, "velnor", "_libs", "trace", "libvelnor.so")
    assert load_error(clean_env(VELNOR_RECORDING="1")) == (
        "velnor: could not load the Velnor library (libvelnor.so). Looked in:\n"
        f"  VELNOR_RECORDING: {trace}: no such file: this copy of the package carries no "
        "recording build; set VELNOR_LIBRARY to one (lib/trace/libvelnor.so.1 of a build)\n"
        "Set VELNOR_LIBRARY to the library's path.\n")


def test_error_for_a_file_that_is_no_library(tmp_path):
    fake = tmp_path / "libvelnor.so"
    fake.write_text("not a library\n" * 20)
    lines = load_error(clean_env(VELNOR_LIBRARY=str(fake))).splitlines()
    assert lines[1].startswith(f"  VELNOR_LIBRARY: {fake}: ") and "invalid ELF header" in lines[1]


@needs_library
def test_error_for_a_library_of_the_other_bitness(tmp_path):
    data = bytearray(open(os.path.realpath(LIBRARY), "rb").read(4096))
    data[4] = 1  # ELFCLASS32
    fake = tmp_path / "libvelnor.so"
    fake.write_bytes(bytes(data))
    lines = load_error(clean_env(VELNOR_LIBRARY=str(fake))).splitlines()
    assert lines[1:] == [
        f"  VELNOR_LIBRARY: {fake}: {fake}: wrong ELF class: ELFCLASS32 "
        f"(built for another bitness than this {BITS} Python)",
        f"This Python is {BITS} (x86_64); the library must be built for the same.",
        "Set VELNOR_LIBRARY to the library's path."]


@needs_library
def test_error_for_a_library_without_the_exports(tmp_path):
    # A shared library, but neither the Velnor library nor its platform.
    import _ctypes

    other = tmp_path / "libvelnor.so"
    os.symlink(_ctypes.__file__, other)
    lines = load_error(clean_env(VELNOR_LIBRARY=str(other))).splitlines()
    assert lines[1] == (f"  VELNOR_LIBRARY: {other}: not the Velnor library: it lacks the "
                        "export vl_get_library_version")


SHOW = "import velnor, velnor.sim; print(velnor.library_path()); print(velnor.sim.library_path()); print(velnor.boards()[0].serial)"


@needs_library
def test_library_inside_the_package_is_used_with_its_own_virtual_platform(tmp_path):
    shutil.copytree(os.path.join(PACKAGE, "velnor"), tmp_path / "velnor",
                    ignore=shutil.ignore_patterns("__pycache__", "_libs"))
    bundle = tmp_path / "velnor" / "_libs"
    bundle.mkdir()
    shutil.copy(os.path.realpath(LIBRARY), bundle / "libvelnor.so")
    shutil.copy(os.path.join(os.path.dirname(LIBRARY), "libvelnor_sim.so"), bundle)
    result = run_python(SHOW, clean_env(PYTHONPATH=str(tmp_path)))
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == [
        str(bundle / "libvelnor.so"), str(bundle / "libvelnor_sim.so"), "VLN-SIM-0000"]
    # The variable comes first.
    result = run_python(SHOW, clean_env(PYTHONPATH=str(tmp_path), VELNOR_LIBRARY=LIBRARY))
    assert result.stdout.splitlines()[0] == os.path.abspath(LIBRARY)


RECORDING = os.path.join(os.path.dirname(LIBRARY), "trace", "libvelnor.so.1")


@pytest.mark.skipif(not os.path.isfile(RECORDING), reason="no recording build beside the library")
def test_recording_build_inside_the_package_records_on_the_package_platform(tmp_path):
    shutil.copytree(os.path.join(PACKAGE, "velnor"), tmp_path / "velnor",
                    ignore=shutil.ignore_patterns("__pycache__", "_libs"))
    bundle = tmp_path / "velnor" / "_libs"
    (bundle / "trace").mkdir(parents=True)
    shutil.copy(os.path.realpath(RECORDING), bundle / "trace" / "libvelnor.so")
    shutil.copy(os.path.join(os.path.dirname(LIBRARY), "libvelnor_sim.so"), bundle)
    temporary = tmp_path / "tmp"
    temporary.mkdir()
    result = run_python(SHOW, clean_env(PYTHONPATH=str(tmp_path), VELNOR_RECORDING="1",
                                        TMPDIR=str(temporary)))
    assert result.returncode == 0, result.stderr
    # The platform above the trace folder, not the one the build's RUNPATH names.
    assert result.stdout.splitlines() == [
        str(bundle / "trace" / "libvelnor.so"), str(bundle / "libvelnor_sim.so"), "VLN-SIM-0000"]
    assert [name.startswith("Velnor-trace-") for name in os.listdir(temporary)] == [True]


@needs_library
def test_system_search_is_last():
    result = run_python(SHOW, clean_env(LD_LIBRARY_PATH=os.path.dirname(LIBRARY)))
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == ["libvelnor.so.1", "libvelnor_sim.so", "VLN-SIM-0000"]


@needs_library
def test_a_second_load_of_another_library_is_refused():
    assert velnor.load_library() == velnor.library_path()
    with pytest.raises(RuntimeError, match="is loaded already"):
        velnor.load_library("/elsewhere/libvelnor.so")


@needs_library
def test_prototypes_are_set_at_load():
    import ctypes

    library = _loader.get().library
    function = library.vl_device_get_trigger_status
    assert function.restype is ctypes.c_int32
    assert function.argtypes == (ctypes.c_void_p, ctypes.POINTER(ctypes.c_uint32))
    # The package's own CDLL: not one that ctypes.cdll hands to every module that asks
    # for the same name (their prototypes would then replace these).
    assert isinstance(library, ctypes.CDLL)
    assert all(value is not library for value in vars(ctypes.cdll).values())


MINGW = os.path.join(PACKAGE, "..", "build", "mingw")
EXPORTS = sorted("""vl_get_library_version vl_get_device_count vl_device_open vl_device_close
    vl_device_get_driver_version vl_device_get_firmware_version vl_device_get_serial
    vl_device_get_id_led_state vl_device_set_id_led_state vl_device_get_trigger_polarity
    vl_device_set_trigger_polarity vl_device_get_trigger_status vl_device_set_trigger_status
    vl_device_ad9516_reg_write vl_device_ad9516_reg_read vl_device_set_clock vl_device_get_clock
    vl_device_update_start_async vl_device_update_get_status vl_device_update_write
    vl_device_update_complete vl_device_update_reset""".split())


@pytest.mark.skipif(not os.path.isfile(os.path.join(MINGW, "simulation", "Velnor.dll")),
                    reason="no MinGW build beside this one")
@pytest.mark.parametrize("dll, imports_sim", [("bin/Velnor.dll", False),
                                              ("simulation/Velnor.dll", True)])
def test_windows_dll_is_told_apart_by_its_imports(dll, imports_sim):
    from velnor import _pe

    info = _pe.read_pe(os.path.join(MINGW, dll))
    assert (info.machine, info.bits) == ("x64", 64)
    assert sorted(info.exports) == EXPORTS
    assert _pe.imports_dll(os.path.join(MINGW, dll), "VELNOR_SIM.DLL") is imports_sim


def test_a_file_that_is_no_dll_is_refused_by_the_pe_reader(tmp_path):
    from velnor import _pe

    fake = tmp_path / "Velnor.dll"
    fake.write_bytes(b"MZ" + bytes(100))
    with pytest.raises(ValueError, match="is not a Windows DLL"):
        _pe.read_pe(str(fake))


@needs_library
def test_velnor_sim_library_names_the_platform_the_library_binds_to(tmp_path):
    copy = tmp_path / "elsewhere" / "libvelnor_sim.so"
    copy.parent.mkdir()
    shutil.copy(os.path.join(os.path.dirname(LIBRARY), "libvelnor_sim.so"), copy)
    code = ("import velnor, velnor.sim as sim\n"
            "sim.add_board(serial='SEEN')\n"
            "print(sim.library_path()); print([b.serial for b in velnor.boards()])\n")
    result = run_python(code, clean_env(VELNOR_LIBRARY=LIBRARY, VELNOR_SIM_LIBRARY=str(copy)))
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == [str(copy), "['VLN-SIM-0000', 'SEEN']"]
    missing = load_error(clean_env(VELNOR_LIBRARY=LIBRARY,
                                   VELNOR_SIM_LIBRARY=str(tmp_path / "none.so")))
    assert f"VELNOR_SIM_LIBRARY={tmp_path / 'none.so'}: no such file" in missing
