# Shared by scripts/run and scripts/test: packages, build, program folder.
# shellcheck shell=bash
set -euo pipefail

QV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QV_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6network6 libqt6sql6-sqlite libqt6sql6-psql libgl-dev
  libsodium-dev libsqlite3-dev libpq-dev sqlite3 fonts-noto-cjk qt6-translations-l10n poppler-utils xvfb xauth
  postgresql librsvg2-bin desktop-file-utils appstream
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the Debian packages that are missing.
qv_install() {
  local missing=()
  for p in "${QV_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "== installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# qv_build DIR [cmake options...]
qv_build() {
  local dir=$1; shift
  cmake -S "$QV_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}

# qv_package DIR: a release build without tests in DIR, and its Debian package.
qv_package() {
  local dir=$1
  rm -f "$dir"/quorvane_*.deb
  qv_build "$dir" -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF -DQV_PACKAGE=ON
  (cd "$dir" && cpack -G DEB >/dev/null)
}
