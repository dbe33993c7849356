#!/usr/bin/env bash
# run_test.sh RUN ENSURE_PACKAGES: ./run configures its build folder only when
# it is new (Ninja runs CMake again itself when a CMake file changed), checks
# the packages with one dpkg-query, and installs only the missing ones. The
# script runs in a folder of its own, with stand-ins for cmake, dpkg-query,
# apt-get and the try-out that record how they were called.
set -uo pipefail
run=$1
ensure=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
top=$work/top
bin=$work/bin
export CALLS=$work/calls
mkdir -p "$top/tools/scripts" "$bin"
cp "$run" "$top/run"
cp "$ensure" "$top/tools/scripts/ensure-packages.sh"
cat >"$top/tools/scripts/tryout.sh" <<'EOF'
#!/usr/bin/env bash
echo "tryout $*" >>"$CALLS"
EOF
cat >"$bin/cmake" <<'EOF'
#!/usr/bin/env bash
echo "cmake $*" >>"$CALLS"
# A configure leaves what a configured Ninja folder holds.
if [ "$1" = "-S" ]; then mkdir -p "$4" && : >"$4/build.ninja" && : >"$4/CMakeCache.txt"; fi
EOF
# Knows every package but those named in $MISSING; takes -W and one -f format.
cat >"$bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
echo "dpkg-query $*" >>"$CALLS"
fmt='${Status}'
names=()
for a in "$@"; do
  case $a in
    -W) ;;
    -f=*) fmt=${a#-f=} ;;
    *) names+=("$a") ;;
  esac
done
rc=0
for n in "${names[@]}"; do
  if [[ " ${MISSING:-} " == *" $n "* ]]; then
    echo "dpkg-query: no packages found matching $n" >&2
    rc=1
    continue
  fi
  out=${fmt//'${Package}'/$n}
  printf '%b' "${out//'${Status}'/install ok installed}"
done
exit $rc
EOF
printf '#!/usr/bin/env bash\necho "apt-get $*" >>"$CALLS"\n' >"$bin/apt-get"
printf '#!/usr/bin/env bash\nexec "$@"\n' >"$bin/sudo"
chmod +x "$top/run" "$top/tools/scripts/tryout.sh" "$bin"/*
export PATH=$bin:$PATH

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# run_once ARGS...: one ./run; its calls in $calls.
run_once() {
  : >"$CALLS"
  (cd "$top" && ./run "$@") >"$work/out" 2>&1 || fail "./run $* ended with an error: $(cat "$work/out")"
  calls=$(cat "$CALLS")
}
count() { grep -c -- "$1" <<<"$calls"; }

# A new build folder: configured, built, then the try-out.
run_once
[ "$(count '^dpkg-query')" -eq 1 ] || fail "first start: $(count '^dpkg-query') dpkg-query calls, not one"
[ "$(count '^cmake -S')" -eq 1 ] || fail "first start: the new build folder was not configured"
[ "$(count '^cmake --build build/release')" -eq 1 ] || fail "first start: no build"
grep -qx 'tryout build/release marvanex' <<<"$calls" || fail "first start: no try-out of the controller"
[ "$(count '^apt-get')" -eq 0 ] || fail "first start: apt-get with every package there"

# Nothing changed: no configure, one dpkg-query, the build (a no-op for Ninja).
run_once selvanex
[ "$(count '^cmake -S')" -eq 0 ] || fail "second start: configured again"
[ "$(count '^dpkg-query')" -eq 1 ] || fail "second start: $(count '^dpkg-query') dpkg-query calls, not one"
[ "$(count '^cmake --build build/release')" -eq 1 ] || fail "second start: no build"
grep -qx 'tryout build/release selvanex' <<<"$calls" || fail "second start: no try-out of the editor"

# A configure that stopped half-way (a cache, no build.ninja) is done again.
rm "$top/build/release/build.ninja"
run_once
[ "$(count '^cmake -S')" -eq 1 ] || fail "a build folder without build.ninja was not configured"

# Missing packages are installed, and only they, in one apt-get.
MISSING="xauth unifont" run_once
[ "$(count '^dpkg-query')" -eq 1 ] || fail "missing packages: $(count '^dpkg-query') dpkg-query calls, not one"
grep -q '^apt-get update' <<<"$calls" || fail "missing packages: no apt-get update"
install=$(grep '^apt-get install' <<<"$calls")
[ "${install##* --no-install-recommends }" = "xauth unifont" ] ||
  fail "missing packages: installed '${install##* --no-install-recommends }', not 'xauth unifont'"

if ((failures)); then
  echo "$failures failure(s)"
  exit 1
fi
echo "run script: all checks passed"
