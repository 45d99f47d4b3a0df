# Shared by ./run and ./test: installs the Debian packages the project needs (only those
# that are missing) and configures and builds a build folder.
set -euo pipefail

TESSARON_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Everything the build, the tests and the sanitizer runs need on a fresh Debian 12.
TESSARON_PACKAGES=(
  cmake ninja-build g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev libgsl-dev libcli11-dev nlohmann-json3-dev
  qt6-base-dev fonts-dejavu-core
  desktop-file-utils shared-mime-info appstream poppler-utils librsvg2-bin
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

ensure_packages() {
  local missing=() pkg
  for pkg in "${TESSARON_PACKAGES[@]}" "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # The package lists may be missing on a fresh machine or too old for the install.
  if ! as_root apt-get install -y --no-install-recommends "${missing[@]}"; then
    as_root apt-get update
    as_root apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

# build_tree DIR [extra cmake arguments...]; TESSARON_BUILD_TARGET limits the build to one target.
build_tree() {
  local dir="$1"; shift
  cmake -S "$TESSARON_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" --parallel "$(nproc)" ${TESSARON_BUILD_TARGET:+--target "$TESSARON_BUILD_TARGET"}
}
