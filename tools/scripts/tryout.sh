#!/usr/bin/env bash
# tryout.sh BUILD_DIR PROGRAM: lays out ./tryout and starts PROGRAM there with
# the simulated sign behind COM1 and 127.0.0.1:3001.
set -euo pipefail
build=$(cd "$1" && pwd)
program=$2
top=$(pwd)
tryout=$top/tryout
mkdir -p "$tryout/messages"
export LEDSIGN_PROGRAM_DIR=$tryout
export LEDSIGN_SYSTEM_DIR=$tryout

# Sample sign fonts, made once from fonts in Debian's packages.
if [ -x "$build/tools/signfontmaker" ] && ! ls "$tryout"/*.PTN >/dev/null 2>&1; then
  "$build/tools/signfontmaker" sample "$tryout"
fi

# Sample message files in messages/ and a settings file whose first sign is
# the simulated one (TCP/IP 127.0.0.1, COM1 for RS-232); both only when missing.
if [ -x "$build/tools/marvanex_samples" ]; then
  "$build/tools/marvanex_samples" "$tryout"
fi

# The editor's sample message (messages/WELCOME.SML and its .MSG), only when missing.
if [ -x "$build/tools/selvanex_samples" ]; then
  "$build/tools/selvanex_samples" "$tryout"
fi

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

if [ -x "$build/tools/signsim" ]; then
  "$build/tools/signsim" --pty-link "$tryout/COM1" --tcp 3001 --log "$tryout/sign.log" &
  pids+=($!)
  for _ in $(seq 50); do [ -e "$tryout/COM1" ] && break; sleep 0.1; done
  export LEDSIGN_COM1=$tryout/COM1
  echo "Simulated sign on $LEDSIGN_COM1 and 127.0.0.1:3001; its log is $tryout/sign.log"
fi

case "$program" in
  marvanex|Marvanex) exe=$build/controller/Marvanex ;;
  selvanex|Selvanex) exe=$build/editor/Selvanex ;;
  pictanex|Pictanex) exe=$build/draw/Pictanex ;;
  *) echo "unknown program: $program (marvanex, selvanex or pictanex)"; exit 2 ;;
esac
if [ ! -x "$exe" ]; then
  echo "$program is not built yet in this version of the suite."
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display: start $program from a desktop session (or under xvfb-run)."
  exit 1
fi
cd "$tryout/messages"
"$exe"
