#!/usr/bin/env bash
# tryout.sh BUILD_DIR PROGRAM: lays out ./tryout and starts PROGRAM in
# ./tryout/messages with the simulated sign behind COM1 and 127.0.0.1:3001.
# Try-outs side by side on one folder share its one simulated sign.
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

# The editor's sample message (messages/SHOP.SML and its .MSG), only when missing.
if [ -x "$build/tools/selvanex_samples" ]; then
  "$build/tools/selvanex_samples" "$tryout"
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

# The simulated sign of this folder, shared by every try-out running on it:
# the first starts it, the last one to end stops it. .sign.start serialises
# starting and stopping; each try-out holds .sign.users shared while it runs.
port=${TRYOUT_SIGN_PORT:-3001}  # another port only for the script's own test
pidfile=$tryout/sign.pid
exec 8>"$tryout/.sign.start" 9>"$tryout/.sign.users"

# The sign of this folder still running, or nothing.
live_sign() {
  local pid
  pid=$(cat "$pidfile" 2>/dev/null) || return 1
  [ -n "$pid" ] && [ -e "$tryout/COM1" ] || return 1
  tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF -- "--pty-link $tryout/COM1 " || return 1
  echo "$pid"
}

stop_sign_if_last() {
  exec 9>&-
  flock 8
  exec 7>"$tryout/.sign.users"
  if flock -n -x 7; then
    local pid
    if pid=$(live_sign); then
      kill "$pid" 2>/dev/null || true
      # It removes its COM1 link as it ends.
      for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    fi
    rm -f "$pidfile"
  fi
  exec 7>&- 8>&-
}

if [ -x "$build/tools/signsim" ]; then
  flock 8
  if pid=$(live_sign); then
    echo "Simulated sign on $tryout/COM1 and 127.0.0.1:$port, already running for this try-out; its log is $tryout/sign.log"
  else
    # In a session of its own, so that Ctrl+C in this terminal leaves it to
    # the other try-outs that use it.
    setsid "$build/tools/signsim" --pty-link "$tryout/COM1" --tcp "$port" --log "$tryout/sign.log" \
      </dev/null >"$tryout/sign.out" 2>&1 7>&- 8>&- 9>&- &
    pid=$!
    # It prints its pseudo-terminal and its port once both are open.
    for _ in $(seq 50); do
      grep -q "^signsim: tcp" "$tryout/sign.out" && break
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    if ! grep -q "^signsim: tcp" "$tryout/sign.out" || ! kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      echo "The simulated sign did not start:" >&2
      sed 's/^/  /' "$tryout/sign.out" >&2
      exit 1
    fi
    echo "$pid" >"$pidfile"
    echo "Simulated sign on $tryout/COM1 and 127.0.0.1:$port; its log is $tryout/sign.log"
  fi
  flock -s 9
  flock -u 8
  trap stop_sign_if_last EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  trap 'exit 129' HUP
  export LEDSIGN_COM1=$tryout/COM1
fi

cd "$tryout/messages"
"$exe" 8>&- 9>&-
