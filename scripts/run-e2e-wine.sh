#!/usr/bin/env bash
# Runs the real Velnor.dll end to end against the kernel-mode virtual board
# driver under Wine, in a Wine prefix made for this run and removed after it.
#
#   scripts/run-e2e-wine.sh [BUILD_DIR]      (default: build/mingw)
#
# Builds what is missing (the mingw configuration with the driver), installs
# the driver with two boards from its .inf through SetupAPI (as the device
# installer does) and the harness's cfgmgr32.dll in the prefix's system
# folder (the only place Velnor.dll loads it from), then in one Wine session
# runs the trace session through the recording Velnor.dll, the end-to-end
# tests on the harness's cfgmgr32.dll, the check on Wine's own cfgmgr32.dll,
# the check that a cfgmgr32.dll planted beside the application is not
# loaded, velnorctl.exe killed half-way through an update, and the
# request-time benchmark; then velnor-panel.exe, driven by the page's
# browser tests, in a new session for each test. The trace session's trace and
# results stay in BUILD_DIR/tests/e2e/trace_session; its results must be
# those of tests/e2e/wine_trace, and the host build's trace_session_replay
# (when there is one) replays the trace with the same results. Exit status:
# 0 when every run passed.
#
# Environment: VELNOR_E2E_BENCH_REQUESTS (default 2000; 0 skips the benchmark),
# VELNOR_E2E_RUN_TIMEOUT (seconds per Wine run, default 120), VELNOR_E2E_KEEP=1
# keeps the prefix for inspection, VELNOR_E2E_INSTALL=reg imports the
# registry file instead of installing from the .inf, VELNOR_E2E_TRACE_REPLAY
# (default build/host-debug/bin/trace_session_replay), WINE and WINESERVER.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$root/build/mingw}")
bench_requests=${VELNOR_E2E_BENCH_REQUESTS:-2000}
run_timeout=${VELNOR_E2E_RUN_TIMEOUT:-120}
wine=${WINE:-wine}
wineserver=${WINESERVER:-wineserver}
export WINEDEBUG=-all
unset WINEDLLOVERRIDES

say() { printf 'run-e2e-wine: %s\n' "$*"; }

files_env=$build/tests/e2e/e2e_files.env
package_env=$build/tests/sdk/driver_package.env
install_from=${VELNOR_E2E_INSTALL:-inf}
targets=(velnor velnor_watch velnor_e2e_test velnor_e2e_cfgmgr32 velnor_e2e_planted_cfgmgr32 velnor_board_driver
  velnor_install_driver velnor_recording velnor_e2e_trace_session velnorctl velnor-panel)
if [[ ! -f $build/CMakeCache.txt ]]; then
  say "configuring $build"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DVELNOR_BUILD_DRIVER=ON >/dev/null
fi
if [[ ! -f $files_env ]]; then
  say "no end-to-end targets in $build (configure it with VELNOR_BUILD_DRIVER=ON)" >&2
  exit 2
fi
# shellcheck source=/dev/null
source "$files_env"
driver_files=("$DRIVER_REG")
if [[ $install_from == inf ]]; then
  if [[ ! -f $package_env ]]; then
    say "no driver installer in $build; set VELNOR_E2E_INSTALL=reg to import the .reg file" >&2
    exit 2
  fi
  # shellcheck source=/dev/null
  source "$package_env"
  driver_files=("$INSTALL_DRIVER_EXE" "$DRIVER_INF")
fi
for f in "$VELNOR_DLL" "$WATCH_DLL" "$E2E_EXE" "$CFGMGR32_DLL" "$PLANTED_CFGMGR32_DLL" "$DRIVER_SYS" \
  "$RECORDING_DLL" "$TRACE_SESSION_EXE" "$VELNORCTL_EXE" "$PANEL_EXE" "${driver_files[@]}"; do
  if [[ ! -f $f ]]; then
    say "building ${targets[*]}"
    cmake --build "$build" -j2 --target "${targets[@]}"
    break
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/velnor-e2e.XXXXXX")
export WINEPREFIX=$work/prefix
# shellcheck disable=SC2317  # called through the trap
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  "$wineserver" -w >/dev/null 2>&1 || true
  if [[ ${VELNOR_E2E_KEEP:-0} == 1 ]]; then
    say "prefix kept in $WINEPREFIX"
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT

started=$SECONDS
say "making a Wine prefix in $WINEPREFIX"
# No Mono or Gecko: the prefix needs neither, and their installers would prompt.
WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot -i >/dev/null 2>&1
"$wineserver" -w

drive_c=$WINEPREFIX/drive_c
mkdir -p "$drive_c/velnor-e2e/app" "$drive_c/velnor-e2e/planted" "$drive_c/velnor-e2e/driver"
if [[ $install_from == inf ]]; then
  say "installing velnor_board.sys with two boards from velnor_board.inf"
  cp "$DRIVER_SYS" "$DRIVER_INF" "$INSTALL_DRIVER_EXE" "$drive_c/velnor-e2e/driver/"
  if ! "$wine" 'C:\velnor-e2e\driver\install_driver.exe' 'C:\velnor-e2e\driver\velnor_board.inf' 2 \
    2>&1 | tr -d '\r'; then
    say "the driver could not be installed from its .inf"
    exit 1
  fi
else
  say "installing velnor_board.sys with two boards from velnor_board.reg"
  cp "$DRIVER_SYS" "$drive_c/windows/system32/drivers/velnor_board.sys"
  cp "$DRIVER_REG" "$drive_c/velnor-e2e/velnor_board.reg"
  "$wine" regedit /S 'C:\velnor-e2e\velnor_board.reg' >/dev/null 2>&1
fi
# services.exe reads its service list only when a session starts. The
# installer's session may have ended already, which -k reports as a failure.
"$wineserver" -k 2>/dev/null || true
"$wineserver" -w

# The harness's cfgmgr32.dll replaces Wine's stand-in in this prefix's
# system folder; a run takes it with the native DLL preferred
# (cfgmgr32=n,b), or Wine's own with cfgmgr32=b. Two application folders:
# the second also holds a made-up cfgmgr32.dll, planted beside the binary.
cp "$CFGMGR32_DLL" "$drive_c/windows/system32/cfgmgr32.dll"
cp "$E2E_EXE" "$VELNOR_DLL" "$WATCH_DLL" "$drive_c/velnor-e2e/app/"
cp "$E2E_EXE" "$VELNOR_DLL" "$WATCH_DLL" "$PLANTED_CFGMGR32_DLL" "$drive_c/velnor-e2e/planted/"
exe=$(basename "$E2E_EXE")

# One session for every run: the driver lives only as long as the session.
"$wineserver" -p
"$wine" cmd /c exit >/dev/null 2>&1

status=0
run() {
  local log=$1
  shift
  set +e
  # The Windows runtime writes CR LF to the console.
  timeout -k 10 "$run_timeout" "$@" 2>&1 | tr -d '\r' | tee "$work/$log"
  local rc=${PIPESTATUS[0]}
  set -e
  if ((rc != 0)); then
    status=1
  fi
  return 0
}
# Runs one of this script's checks (a function) with its output kept in
# $work/LOG; its exit status goes to step_rc, and a failure fails the run.
run_check() {
  local log=$1
  shift
  set +e
  ("$@") 2>&1 | tee "$work/$log"
  step_rc=${PIPESTATUS[0]}
  set -e
  if ((step_rc != 0)); then
    status=1
  fi
}

# The trace session first, while both boards are in their power-on state:
# the recording Velnor.dll writes its trace into a temporary folder of the
# session's own. The trace and the results stay in the build folder, and the
# results must be those of the session recorded in tests/e2e/wine_trace.
trace_out=$build/tests/e2e/trace_session
fixture=$root/tests/e2e/wine_trace
say "the trace session through the recording Velnor.dll"
mkdir -p "$drive_c/velnor-e2e/trace/tmp"
cp "$TRACE_SESSION_EXE" "$drive_c/velnor-e2e/trace/trace_session.exe"
cp "$RECORDING_DLL" "$drive_c/velnor-e2e/trace/Velnor.dll"
run trace_session.txt env WINEDLLOVERRIDES="cfgmgr32=n,b" "$wine" cmd /c \
  'set TMP=C:\velnor-e2e\trace\tmp&& set TEMP=C:\velnor-e2e\trace\tmp&& C:\velnor-e2e\trace\trace_session.exe C:\velnor-e2e\trace\session.txt'
check_trace_session() {
  local traces=("$drive_c"/velnor-e2e/trace/tmp/Velnor-trace-*.pcapng)
  rm -rf "$trace_out"
  mkdir -p "$trace_out"
  if ((${#traces[@]} != 1)) || [[ ! -f ${traces[0]} ]]; then
    echo "expected one trace, found: ${traces[*]}"
    return 1
  fi
  cp "${traces[0]}" "$trace_out/session.pcapng"
  cp "$drive_c/velnor-e2e/trace/session.txt" "$trace_out/session.txt" || return 1
  if [[ -f $drive_c/velnor-e2e/trace/tmp/Velnor.log ]]; then
    cp "$drive_c/velnor-e2e/trace/tmp/Velnor.log" "$trace_out/Velnor.log"
    if grep -F '[trace]' "$trace_out/Velnor.log"; then
      return 1
    fi
  fi
  if ! diff -u "$fixture/session.txt" "$trace_out/session.txt"; then
    echo "the session's results differ from $fixture/session.txt"
    return 1
  fi
  # The Linux replay of this very trace, when the host build is there
  # (scripts/test-all.sh builds it first); the host suite always replays
  # the recorded one.
  local replay=${VELNOR_E2E_TRACE_REPLAY:-$root/build/host-debug/bin/trace_session_replay}
  if [[ ! -x $replay ]]; then
    echo "no $replay: this trace is not replayed here (host ctest replays $fixture)"
    return 0
  fi
  cmake -DREPLAY="$replay" -DTRACE="$trace_out/session.pcapng" -DRESULTS="$trace_out/session.txt" \
    -DWORK_DIR="$trace_out/replay" -DTSHARK="$(command -v tshark || true)" \
    -DDISSECTOR="$root/tools/wireshark/velnor_trace.lua" -P "$root/tests/trace_wine_replay_test.cmake" &&
    echo "replayed on the virtual platform with the same results; decoded by tshark"
}
run_check trace_check.txt check_trace_session
trace_rc=$step_rc

say "end-to-end tests on the harness's cfgmgr32.dll"
run harness.txt env WINEDLLOVERRIDES="cfgmgr32=n,b" "$wine" "C:\\velnor-e2e\\app\\$exe"
say "discovery on Wine's own cfgmgr32.dll"
run system.txt env WINEDLLOVERRIDES="cfgmgr32=b" "$wine" "C:\\velnor-e2e\\app\\$exe" \
  --system-cfgmgr32
say "a cfgmgr32.dll planted beside the application"
run planted.txt env WINEDLLOVERRIDES="cfgmgr32=n,b" "$wine" "C:\\velnor-e2e\\planted\\$exe" \
  --planted-cfgmgr32
# velnorctl.exe killed half-way through an update of board 1 by SIGTERM,
# which Wine does not turn into a console event: nothing resets the board,
# the shell's 143 comes without the tool's reset line, and the next runs
# say where the board stands and bring it back.
killed_update() {
  local app=$drive_c/velnor-e2e/app tool='C:\velnor-e2e\app\velnorctl.exe'
  local ctl=(env WINEDLLOVERRIDES="cfgmgr32=n,b" "$wine" "$tool" --board 1)
  cp "$VELNORCTL_EXE" "$app/"
  cd "$app" || return 1
  head -c 4000000 /dev/urandom >big.bin
  "${ctl[@]}" firmware pack big.bin --version 1.9.0 -o big.vlfw >/dev/null || return 1
  rm -f "$work/progress"
  mkfifo "$work/progress"
  (exec "${ctl[@]}" firmware update big.vlfw >"$work/progress" 2>"$work/killed.err") &
  local pid=$! line rc=0
  exec 4<"$work/progress"
  while IFS= read -r -u 4 line; do
    [[ $line == sent* ]] && break
  done
  kill -TERM "$pid"
  cat <&4 >/dev/null
  exec 4<&-
  wait "$pid" || rc=$?
  echo "killed by SIGTERM: exit $rc, standard error '$(tr -d '\r' <"$work/killed.err")'"
  ((rc == 143)) && [[ ! -s $work/killed.err ]] || return 1
  local state
  state=$("${ctl[@]}" firmware status | tr -d '\r')
  echo "next run, firmware status: $state"
  [[ $state =~ ^(erasing|ready),\ [0-9]+\ bytes\ received$ ]] || return 1
  rc=0
  "${ctl[@]}" firmware update big.vlfw >/dev/null 2>"$work/next.err" || rc=$?
  echo "next run, firmware update: exit $rc"
  tr -d '\r' <"$work/next.err"
  local expected="velnorctl: the board is in the middle of an update (update state ${state%%,*}, \
${state#*, }): another one is running or was stopped half-way; when none is running, \
'velnorctl firmware reset' abandons it and a new update can start"
  ((rc == 1)) && [[ $(tr -d '\r' <"$work/next.err" | tail -n 1) == "$expected" ]] || return 1
  "${ctl[@]}" firmware reset >/dev/null || return 1
  state=$("${ctl[@]}" firmware status | tr -d '\r')
  echo "after firmware reset: $state"
  [[ $state == "idle, 0 bytes received" ]]
}
say "velnorctl.exe killed half-way through an update"
run_check killed_update.txt killed_update
killed_rc=$step_rc

if ((bench_requests > 0)); then
  say "request time"
  run bench.txt env WINEDLLOVERRIDES="cfgmgr32=n,b" "$wine" "C:\\velnor-e2e\\app\\$exe" \
    --bench "$bench_requests"
  say "a board's interface change to the watch's callback"
  run watch_bench.txt env WINEDLLOVERRIDES="cfgmgr32=n,b" "$wine" "C:\\velnor-e2e\\app\\$exe" \
    --watch-bench 200
fi

# velnor-panel.exe on the product Velnor.dll, driven from Linux by the page's
# browser tests tagged @wine in Debian's Chromium. Each test starts its panel
# through start_panel.sh, in a new Wine session, so that the driver's boards
# are at their power-on state.
panel_page() {
  local tests=$root/tests/panel_page
  if [[ ! -f $tests/node_modules/@playwright/test/cli.js ]]; then
    echo "no Playwright in $tests/node_modules (scripts/install-deps.sh runs npm ci there)"
    return 1
  fi
  cp "$PANEL_EXE" "$drive_c/velnor-e2e/app/"
  cat >"$work/start_panel.sh" <<EOF
#!/usr/bin/env bash
"$wineserver" -k 2>/dev/null
"$wineserver" -w
"$wineserver" -p
"$wine" cmd /c exit >/dev/null 2>&1
exec env WINEDLLOVERRIDES="cfgmgr32=n,b" "$wine" 'C:\velnor-e2e\app\velnor-panel.exe' --no-browser
EOF
  chmod +x "$work/start_panel.sh"
  VELNOR_PANEL_WINE=$work/start_panel.sh VELNOR_PANEL_PAGE_OUTPUT=$build/tests/e2e/panel_page \
    node "$tests/node_modules/@playwright/test/cli.js" test --config "$tests/playwright.config.mjs" \
    --grep @wine --workers 1 --global-timeout $((run_timeout * 1000))
}
say "velnor-panel.exe driven by the page's browser tests"
run_check panel_page.txt panel_page
panel_rc=$step_rc

summary() {
  local name=$1 file=$2 line
  line=$(grep -E '^\[  (PASSED|FAILED)  \] [0-9]+ tests?\.' "$file" | tr '\n' ' ' || true)
  printf '  %-24s %s\n' "$name" "${line:-no gtest result (crashed?)}"
  grep -E '^\[  FAILED  \] [A-Za-z0-9_]+\.[A-Za-z0-9_]+$' "$file" | sed 's/^/    /' || true
}
say "summary ($((SECONDS - started)) s)"
summary "harness cfgmgr32.dll" "$work/harness.txt"
summary "Wine's cfgmgr32.dll" "$work/system.txt"
summary "planted cfgmgr32.dll" "$work/planted.txt"
if ((trace_rc == 0)); then
  printf '  %-24s %s\n' "trace session" "recorded in $trace_out; $(tail -n 1 "$work/trace_check.txt")"
else
  printf '  %-24s %s\n' "trace session" "FAILED (see above)"
fi
if ((killed_rc == 0)); then
  printf '  %-24s %s\n' "killed update" "not reset, said by the next run, recovered by firmware reset"
else
  printf '  %-24s %s\n' "killed update" "FAILED (see above)"
fi
panel_line=$(grep -E '^ +[0-9]+ (passed|failed|flaky|skipped)' "$work/panel_page.txt" | xargs || true)
printf '  %-24s %s\n' "velnor-panel.exe" "${panel_line:-no Playwright result}$( ((panel_rc == 0)) || echo ' (FAILED)')"
if ((bench_requests > 0)); then
  grep -h '^bench:' "$work/bench.txt" "$work/watch_bench.txt" | sed 's/^/  /' || true
fi
if ((status == 0)); then
  say "PASSED"
else
  say "FAILED"
fi
exit $status
