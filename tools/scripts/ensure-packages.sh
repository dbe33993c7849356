# Sourced by ./run and ./test: installs the Debian packages the suite needs
# when any of them is missing.
suite_packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev libfuzzer-14-dev
  xvfb xauth
  console-setup-linux unifont
)
missing=()
for p in "${suite_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
