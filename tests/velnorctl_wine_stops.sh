#!/usr/bin/env bash
# velnorctl.exe under Wine, stopped half-way through a firmware update by
# each signal a user sends it there. Wine turns SIGINT into the console's
# Ctrl-C event, which the tool catches: it resets the board's update and
# exits with 130. SIGTERM and SIGHUP end a Windows program under Wine at
# once, with no event it could catch: the shell reports 143 and 129, and
# the tool, killed, says nothing (so no line claims a reset).
#
#   velnorctl_wine_stops.sh VELNORCTL_EXE   (the tool's virtual-platform build)
set -uo pipefail
tool=$1
wine=${WINE:-wine}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

head -c 5000 /dev/zero | tr '\0' 'x' >p.bin
if ! "$wine" "$tool" firmware pack p.bin --version 1.4.0 -o fw.vlfw >/dev/null 2>pack.err; then
  echo "cannot pack the image: $(cat pack.err)"
  exit 1
fi

reset_line="velnorctl: firmware update interrupted by Ctrl-C; the board's update was reset \
(update state idle, 0 bytes received)"
for case in "INT 130 reset" "TERM 143 killed" "HUP 129 killed"; do
  read -r signal code outcome <<<"$case"
  rm -f out
  mkfifo out
  # Paced: 100 ms after every request, so the signal lands among the blocks.
  "$wine" "$tool" --sim-pace 100 firmware update fw.vlfw >out 2>err &
  pid=$!
  exec 3<out
  seen=""
  while IFS= read -r -u 3 line; do
    seen+="$line"$'\n'
    [[ $line == sent* ]] && break
  done
  kill -"$signal" "$pid"
  seen+=$(cat <&3)
  exec 3<&-
  wait "$pid"
  status=$?
  errors=$(tr -d '\r' <err)
  echo "SIG$signal: exit $status; standard error: ${errors:-(nothing)}"
  [[ $seen == *"sent 1024 of 5064 bytes"* ]] || fail "SIG$signal came before the blocks: $seen"
  ((status == code)) || fail "SIG$signal: exit $status, not $code"
  if [[ $outcome == reset ]]; then
    [[ $errors == "$reset_line" ]] || fail "SIG$signal: no reset said: '$errors'"
  else
    [[ -z $errors ]] || fail "SIG$signal: a killed tool said '$errors'"
  fi
done
((failures == 0)) && echo "every stop as documented"
exit $((failures != 0))
