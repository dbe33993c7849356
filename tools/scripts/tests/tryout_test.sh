#!/usr/bin/env bash
# tryout_test.sh SIGNSIM TRYOUT_SH MARVANEX_SAMPLES SELVANEX_SAMPLES: try-outs
# side by side on one folder share one simulated sign, and the folder's sample
# messages are told apart by name. Each try-out runs tryout.sh on a build folder holding the real
# simulated sign and, for the controller, a stand-in that reports where it runs
# and waits to be told to end. The test writes records to COM1 and to the TCP
# port itself and reads them back from the sign's log.
set -uo pipefail
signsim=$1
tryout_sh=$2
marvanex_samples=$3
selvanex_samples=$4

work=$(mktemp -d)
control=$work/control
mkdir -p "$work/build/tools" "$work/build/controller" "$control" "$work/top" "$work/other"
ln -s "$signsim" "$work/build/tools/signsim"
ln -s "$marvanex_samples" "$work/build/tools/marvanex_samples"
ln -s "$selvanex_samples" "$work/build/tools/selvanex_samples"
cat >"$work/build/controller/Marvanex" <<'STANDIN'
#!/usr/bin/env bash
echo "$PWD ${LEDSIGN_COM1:-}" >"$TRYOUT_CONTROL/$TRYOUT_NAME.ready"
while [ ! -e "$TRYOUT_CONTROL/$TRYOUT_NAME.quit" ]; do sleep 0.05; done
STANDIN
chmod +x "$work/build/controller/Marvanex"

export TRYOUT_CONTROL=$control QT_QPA_PLATFORM=offscreen
# A free port, so that a try-out a user runs on 3001 meanwhile is not in the way.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
export TRYOUT_SIGN_PORT=$port

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
declare -A runs
others=()
finish() {
  for name in "${!runs[@]}"; do touch "$control/$name.quit"; done
  for name in "${!runs[@]}"; do wait "${runs[$name]}" 2>/dev/null; done
  for p in "${others[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap finish EXIT

tryout=$work/top/tryout
com1=$tryout/COM1
log=$tryout/sign.log

# start NAME [TOP]: a try-out in TOP (default $work/top), its output in $work/NAME.out.
start() {
  local name=$1 top=${2:-$work/top}
  (cd "$top" && TRYOUT_NAME=$name exec "$tryout_sh" "$work/build" marvanex) >"$work/$name.out" 2>&1 &
  runs[$name]=$!
}
# ready NAME: waits until NAME's program runs; false when its try-out ended first.
ready() {
  for _ in $(seq 100); do
    [ -e "$control/$1.ready" ] && return 0
    kill -0 "${runs[$1]}" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
# quit NAME: ends NAME's program and waits for its try-out; its exit status.
quit() {
  touch "$control/$1.quit"
  wait "${runs[$1]}"
  local rc=$?
  unset "runs[$1]"
  return $rc
}
# logged TEXT: waits until the sign's log shows a record holding TEXT.
logged() {
  for _ in $(seq 50); do
    grep -q -- "$1" "$log" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}
# over_com1 TEXT and over_tcp TEXT: one record to the sign, seen in its log.
over_com1() {
  [ -e "$com1" ] || return 1
  printf '{%s}\x00\x00' "$1" >"$com1" 2>/dev/null || return 1
  logged "$1"
}
over_tcp() {
  (exec 3<>"/dev/tcp/127.0.0.1/$port" && printf '{%s}\x00\x00' "$1" >&3 && sleep 0.3) 2>/dev/null || return 1
  logged "$1"
}

# The first try-out starts the sign.
start first
ready first || fail "the first program did not start: $(cat "$work/first.out")"
grep -q "Simulated sign on $com1 and 127.0.0.1:$port" "$work/first.out" || fail "the first sign was not announced"
over_com1 first-com1 || fail "COM1 does not reach the sign of the first try-out"
over_tcp first-tcp || fail "TCP does not reach the sign of the first try-out"

# The programs start in messages/, which holds the four sample message files,
# no two of them named alike but for case (the sign knows a message by its
# name in capitals).
[ "$(cut -d' ' -f1 "$control/first.ready" 2>/dev/null)" = "$tryout/messages" ] ||
  fail "the program does not start in $tryout/messages"
samples=$(cd "$tryout/messages" && ls -- *.MSG 2>/dev/null)
[ "$(echo "$samples" | wc -l)" -eq 4 ] || fail "the sample message files are not four: $samples"
alike=$(echo "$samples" | tr '[:lower:]' '[:upper:]' | sort | uniq -d)
[ -z "$alike" ] || fail "sample message files differ only in case: $alike"

# A second one on the same folder uses that sign and starts none of its own.
start second
ready second || fail "the second program did not start: $(cat "$work/second.out")"
[ "$(cut -d' ' -f2 "$control/second.ready" 2>/dev/null)" = "$com1" ] || fail "the second program's COM1 is not $com1"
grep -q "listen on" "$work/second.out" && fail "the second try-out started a sign: $(cat "$work/second.out")"
[ "$(grep -c "listening on" "$log")" -eq 1 ] || fail "more than one sign listened: $(grep "listening on" "$log")"
over_com1 second-com1 || fail "COM1 does not reach the sign while two try-outs run"
over_tcp second-tcp || fail "TCP does not reach the sign while two try-outs run"

# The second ending leaves COM1 and the port to the first.
quit second || fail "the second try-out ended with an error: $(cat "$work/second.out")"
over_com1 after-second-com1 || fail "COM1 is gone after the second try-out ended"
over_tcp after-second-tcp || fail "TCP is gone after the second try-out ended"

# The one that started the sign ending first leaves it to the one still running.
start third
ready third || fail "the third program did not start: $(cat "$work/third.out")"
quit first || fail "the first try-out ended with an error: $(cat "$work/first.out")"
over_com1 after-first-com1 || fail "COM1 is gone after the try-out that started the sign ended"
over_tcp after-first-tcp || fail "TCP is gone after the try-out that started the sign ended"

# The last one ending stops the sign, which removes its link.
quit third || fail "the third try-out ended with an error: $(cat "$work/third.out")"
for _ in $(seq 30); do [ -L "$com1" ] || break; sleep 0.1; done
[ -L "$com1" ] && fail "COM1 is left behind after the last try-out ended"

# A sign that cannot listen is a failure: not announced, no program started.
"$signsim" --tcp "$port" >/dev/null 2>&1 &
others+=($!)
sleep 0.3
start refused "$work/other"
if ready refused; then
  fail "a program started without its simulated sign"
  touch "$control/refused.quit"
fi
wait "${runs[refused]}"
rc=$?
unset "runs[refused]"
[ "$rc" -ne 0 ] || fail "a try-out whose sign did not start ended without an error"
grep -q "Simulated sign on" "$work/refused.out" && fail "a sign that did not start was announced: $(cat "$work/refused.out")"
grep -q "did not start" "$work/refused.out" || fail "the failure is not reported: $(cat "$work/refused.out")"
[ -L "$work/other/tryout/COM1" ] && fail "a sign that did not start left COM1 behind"

if [ "$failures" -eq 0 ]; then echo "tryout: all checks passed"; fi
exit $((failures > 0))
