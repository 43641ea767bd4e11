#!/usr/bin/python3
"""Builds the Python package's wheels with the library inside, and checks them.

    scripts/build-python-wheels.py [--host BUILD_DIR] [--mingw BUILD_DIR] [--out DIR]
                                   [--install-check] [--no-linux | --no-windows]

--host (default build/host-debug): a Linux build with libvelnor.so, libvelnor_sim.so,
  libvelnor_watch.so.1 and the recording build lib/trace/libvelnor.so; gives
  velnor-<v>-py3-none-linux_<machine>.whl.
--mingw (default build/mingw, skipped when it has no DLLs; a folder that does not
  exist is an error only when given): gives velnor-<v>-py3-none-win_amd64.whl with the
  product Velnor.dll and VelnorWatch.dll, the simulation build
  (simulation/Velnor.dll, simulation/VelnorWatch.dll, velnor_sim.dll) and the
  recording build (trace/Velnor.dll).
--no-linux / --no-windows: build only the other one.
--install-check: installs the Linux wheel offline into a fresh folder, lists the
  virtual board through it and watches a board arrive, with VELNOR_LIBRARY unset; then,
  with VELNOR_RECORDING=1, makes one call through the recording build and finds its
  trace in the temporary folder.

Wheels are built offline with Debian's setuptools and wheel (pip --no-build-isolation
--no-index). No Windows Python runs here, so the Windows wheel is checked from its
contents: every file in place, each DLL x64, the 22 exports (the watch's 2), the
simulation builds importing velnor_sim.dll and the product's and the recording build's
not, the recording build's version resource saying so, and no DLL outside the system's
and the wheel's own.
"""

import argparse
import os
import platform
import shutil
import subprocess
import sys
import tempfile
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "python"))
from velnor import _pe  # noqa: E402
from velnor._native import PROTOTYPES  # noqa: E402
from velnor._watch import PROTOTYPES as WATCH_PROTOTYPES  # noqa: E402

EXPORTS = sorted(name for name, _ in PROTOTYPES)
WATCH_EXPORTS = sorted(name for name, _ in WATCH_PROTOTYPES)
SYSTEM_DLLS = {"kernel32.dll", "cfgmgr32.dll", "msvcrt.dll", "advapi32.dll", "user32.dll",
               "ntdll.dll", "ucrtbase.dll"}


def fail(message):
    sys.exit(f"build-python-wheels: {message}")


def build_wheel(libraries, tag, out):
    """libraries: (source file, path inside velnor/_libs)."""
    with tempfile.TemporaryDirectory() as stage:
        package = os.path.join(stage, "python")
        shutil.copytree(os.path.join(ROOT, "python"), package,
                        ignore=shutil.ignore_patterns("__pycache__", "build", "*.egg-info",
                                                      "tests", "bench", "_libs"))
        for source, target in libraries:
            if not os.path.isfile(source):
                fail(f"{source} is missing: build it first")
            destination = os.path.join(package, "velnor", "_libs", target)
            os.makedirs(os.path.dirname(destination), exist_ok=True)
            shutil.copyfile(source, destination)
        env = dict(os.environ, VELNOR_WHEEL_PLATFORM=tag)
        built = os.path.join(stage, "wheels")
        subprocess.run([sys.executable, "-m", "pip", "wheel", "--no-build-isolation", "--no-index",
                        "--no-deps", "-q", "-w", built, package], check=True, env=env)
        (name,) = os.listdir(built)
        if not name.endswith(f"-py3-none-{tag}.whl"):
            fail(f"{name} is not tagged py3-none-{tag}")
        os.makedirs(out, exist_ok=True)
        shutil.move(os.path.join(built, name), os.path.join(out, name))
        return os.path.join(out, name)


def contents(wheel):
    with zipfile.ZipFile(wheel) as archive:
        return {info.filename: info for info in archive.infolist()}, archive.read


def check_common(wheel, expected_libraries):
    names, _ = contents(wheel)
    for name in ["velnor/__init__.py", "velnor/sim.py", "velnor/pytest_plugin.py",
                 "velnor/py.typed"] + expected_libraries:
        if name not in names:
            fail(f"{wheel} lacks {name}")
    libraries = sorted(name for name in names if name.startswith("velnor/_libs/"))
    if libraries != sorted(expected_libraries):
        fail(f"{wheel} bundles {libraries}, expected {sorted(expected_libraries)}")
    entry_points = [name for name in names if name.endswith(".dist-info/entry_points.txt")]
    with zipfile.ZipFile(wheel) as archive:
        text = archive.read(entry_points[0]).decode() if entry_points else ""
    if "[pytest11]" not in text or "velnor = velnor.pytest_plugin" not in text:
        fail(f"{wheel} has no pytest11 entry point for velnor.pytest_plugin")


# The recording build's version resource describes it so (cmake/VelnorVersionResource.cmake);
# its strings are UTF-16LE.
RECORDING_TEXT = "recording build (writes a trace)".encode("utf-16-le")


def check_windows(wheel):
    product, simulation, sim = ("velnor/_libs/Velnor.dll", "velnor/_libs/simulation/Velnor.dll",
                                "velnor/_libs/simulation/velnor_sim.dll")
    watch, simulation_watch = ("velnor/_libs/VelnorWatch.dll",
                               "velnor/_libs/simulation/VelnorWatch.dll")
    recording = "velnor/_libs/trace/Velnor.dll"
    check_common(wheel, [product, simulation, sim, watch, simulation_watch, recording])
    bundled = {"velnor_sim.dll"}
    with tempfile.TemporaryDirectory() as folder, zipfile.ZipFile(wheel) as archive:
        for name in (product, simulation, sim, watch, simulation_watch, recording):
            path = archive.extract(name, folder)
            info = _pe.read_pe(path)
            if (info.machine, info.bits) != ("x64", 64):
                fail(f"{name} is {info.machine} {info.bits}-bit, not x64")
            foreign = [dll for dll in info.imports
                       if dll.lower() not in SYSTEM_DLLS | bundled]
            if foreign:
                fail(f"{name} imports {foreign}, which neither Windows nor the wheel has")
            imports_sim = any(dll.lower() == "velnor_sim.dll" for dll in info.imports)
            if name == sim:
                if not all(export in info.exports for export in
                           ("vlsim_reset", "vlsim_add_board", "vlsim_fail_next")):
                    fail(f"{name} lacks the virtual platform's exports")
                continue
            if name in (watch, simulation_watch):
                if sorted(info.exports) != WATCH_EXPORTS:
                    fail(f"{name} exports {sorted(info.exports)}, not the watch's {WATCH_EXPORTS}")
            elif sorted(info.exports) != EXPORTS:
                fail(f"{name} exports {sorted(info.exports)}, not the library's 22")
            virtual = name in (simulation, simulation_watch)
            if imports_sim != virtual:
                fail(f"{name} {'does not import' if virtual else 'imports'} velnor_sim.dll")
            with open(path, "rb") as dll:
                says_recording = RECORDING_TEXT in dll.read()
            if says_recording != (name == recording):
                fail(f"{name}'s version resource {'lacks' if name == recording else 'has'} "
                     "\"recording build (writes a trace)\"")
    print(f"checked {wheel}: product, simulation and recording Velnor.dll (x64, 22 exports) "
          "and VelnorWatch.dll (2 exports), velnor_sim.dll")


def check_install(wheel):
    with tempfile.TemporaryDirectory() as target:
        subprocess.run([sys.executable, "-m", "pip", "install", "--no-index", "--no-deps", "-q",
                        "--target", target, wheel], check=True)
        env = {key: value for key, value in os.environ.items()
               if key not in ("VELNOR_LIBRARY", "VELNOR_SIM_LIBRARY", "LD_LIBRARY_PATH")}
        env["PYTHONPATH"] = target
        code = ("import importlib.metadata as m, velnor, velnor.sim\n"
                "bundle = velnor.__file__.rsplit('/', 1)[0] + '/_libs/'\n"
                "assert velnor.library_path() == bundle + 'libvelnor.so'\n"
                "assert velnor.sim.library_path() == bundle + 'libvelnor_sim.so'\n"
                "assert [e.value for e in m.entry_points(group='pytest11') if e.name == 'velnor']"
                " == ['velnor.pytest_plugin']\n"
                "print(velnor.library_path()); print(velnor.boards())\n"
                # The bundled watch hears the board present and one that arrives.
                "with velnor.watch(present=True) as watcher:\n"
                "    assert velnor.watch_library_path() == bundle + 'libvelnor_watch.so.1'\n"
                "    velnor.sim.add_board(serial='ARRIVING')\n"
                "    events = [watcher.get(timeout=10) for _ in range(2)]\n"
                "print(velnor.watch_library_path())\n"
                "for event in events: print(event.kind.name, event.path)\n")
        result = subprocess.run([sys.executable, "-c", code], env=env, cwd=target,
                                capture_output=True, text=True)
        guid = "#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}"
        heard = [f"ARRIVED \\\\?\\ROOT#VELNOR#{board:04d}{guid}" for board in (0, 1)]
        if (result.returncode != 0 or "VLN-SIM-0000" not in result.stdout
                or result.stdout.splitlines()[-2:] != heard):
            fail(f"the installed wheel does not list the virtual board and hear one arrive:\n"
                 f"{result.stdout}{result.stderr}")
        print(f"installed {os.path.basename(wheel)} offline; it lists and hears:\n"
              f"{result.stdout.strip()}")
        check_recording(target, env)


def check_recording(target, env):
    """One call through the installed wheel's recording build: its trace appears in the
    temporary folder."""
    with tempfile.TemporaryDirectory() as temporary:
        code = ("import velnor, velnor.sim\n"
                "print(velnor.library_path()); print(velnor.sim.library_path())\n"
                "print(velnor.device_count())\n")
        result = subprocess.run([sys.executable, "-c", code], cwd=target, capture_output=True,
                                text=True, env=dict(env, VELNOR_RECORDING="1", TMPDIR=temporary))
        bundle = os.path.join(target, "velnor", "_libs")
        recording = os.path.join(bundle, "trace", "libvelnor.so")
        # On the wheel's own virtual platform, above the trace folder.
        expected = [recording, os.path.join(bundle, "libvelnor_sim.so"), "1"]
        traces = [name for name in os.listdir(temporary)
                  if name.startswith("Velnor-trace-") and name.endswith(".pcapng")]
        if result.returncode != 0 or result.stdout.splitlines() != expected or len(traces) != 1:
            fail(f"VELNOR_RECORDING=1 with the installed wheel left the traces {traces} and said:\n"
                 f"{result.stdout}{result.stderr}")
        print(f"VELNOR_RECORDING=1 loaded {recording} and wrote {traces[0]}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--host", default=os.path.join(ROOT, "build", "host-debug"))
    parser.add_argument("--mingw")
    parser.add_argument("--out", default=os.path.join(ROOT, "build", "wheels"))
    parser.add_argument("--install-check", action="store_true")
    parser.add_argument("--no-linux", action="store_true", help="only the Windows wheel")
    parser.add_argument("--no-windows", action="store_true", help="only the Linux wheel")
    args = parser.parse_args()

    if not args.no_linux:
        lib = os.path.join(args.host, "lib")
        tag = f"linux_{platform.machine()}"
        wheel = build_wheel([(os.path.realpath(os.path.join(lib, "libvelnor.so")), "libvelnor.so"),
                             (os.path.join(lib, "libvelnor_sim.so"), "libvelnor_sim.so"),
                             (os.path.realpath(os.path.join(lib, "libvelnor_watch.so.1")),
                              "libvelnor_watch.so.1"),
                             (os.path.realpath(os.path.join(lib, "trace", "libvelnor.so")),
                              "trace/libvelnor.so")],
                            tag, args.out)
        check_common(wheel, ["velnor/_libs/libvelnor.so", "velnor/_libs/libvelnor_sim.so",
                             "velnor/_libs/libvelnor_watch.so.1", "velnor/_libs/trace/libvelnor.so"])
        print(f"built {wheel}")
        if args.install_check:
            check_install(wheel)

    mingw = args.mingw or os.path.join(ROOT, "build", "mingw")
    if args.no_windows:
        return
    if args.mingw or os.path.isfile(os.path.join(mingw, "bin", "Velnor.dll")):
        wheel = build_wheel([(os.path.join(mingw, "bin", "Velnor.dll"), "Velnor.dll"),
                             (os.path.join(mingw, "simulation", "Velnor.dll"),
                              "simulation/Velnor.dll"),
                             (os.path.join(mingw, "bin", "velnor_sim.dll"),
                              "simulation/velnor_sim.dll"),
                             (os.path.join(mingw, "bin", "VelnorWatch.dll"), "VelnorWatch.dll"),
                             (os.path.join(mingw, "simulation", "VelnorWatch.dll"),
                              "simulation/VelnorWatch.dll"),
                             (os.path.join(mingw, "trace", "Velnor.dll"), "trace/Velnor.dll")],
                            "win_amd64", args.out)
        check_windows(wheel)
        print(f"built {wheel}")


if __name__ == "__main__":
    main()
