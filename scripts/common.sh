# Shared by ./run and ./test: install what is missing, then configure and build.
set -euo pipefail

SEWER_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SEWER_BUILD="${SEWER_BUILD:-$SEWER_ROOT/build}"

sewer_packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libgl-dev fonts-liberation
  googletest libgtest-dev
  clang libclang-rt-14-dev
  python3 python3-ezdxf
  xvfb xauth xdotool
  libzip-dev libexpat1-dev libxlsxwriter-dev libdbus-1-dev
  python3-openpyxl python3-xlwt dbus
)

sewer_install_missing() {
  local missing=()
  for p in "${sewer_packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# Configures, then builds the targets named in SEWER_TARGETS (everything when
# it is empty: the program, tests, benches and fuzz helpers).
sewer_build() {
  cmake -S "$SEWER_ROOT" -B "$SEWER_BUILD" -G Ninja "$@" >/dev/null
  # shellcheck disable=SC2086  # the names are meant to split
  cmake --build "$SEWER_BUILD" -j"$(nproc)" ${SEWER_TARGETS:+--target $SEWER_TARGETS}
}
