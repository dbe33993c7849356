# Sourced by ./run and ./test: installs the Debian packages the suite needs
# when any of them is missing. One dpkg-query for all of them, so that a start
# with everything in place costs next to nothing.
suite_packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev libfuzzer-14-dev
  xvfb xauth
  console-setup-linux unifont
)
# One line per package it knows ("name status"); an unknown one only
# complains on stderr, and is missing all the same.
declare -A suite_installed=()
while read -r name status; do
  [ "$status" = "install ok installed" ] && suite_installed[$name]=1
done < <(dpkg-query -W -f='${Package} ${Status}\n' "${suite_packages[@]}" 2>/dev/null || true)
missing=()
for p in "${suite_packages[@]}"; do
  [ -n "${suite_installed[$p]:-}" ] || missing+=("$p")
done
unset suite_installed
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
