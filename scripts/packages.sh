# Sourced by the project's scripts: installs the Debian packages they need
# when any is missing.

# Everything the build, the tests and the demo use.
MS_PACKAGES=(
  cmake make g++ pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev
  xvfb xauth
  clang libclang-rt-14-dev
  desktop-file-utils
  qt6-svg-dev
  # Only for bench/trends_plotting, which weighs the trends program's plain
  # painter against these two; Qt Charts needs the OpenGL files named apart.
  qt6-charts-dev libqt6opengl6-dev libqcustomplot-dev
  # The feed to a site's MQTT broker (Paho C with TLS), and the broker, its
  # clients and openssl for the tests that publish to a real one.
  libpaho-mqtt-dev libssl-dev mosquitto mosquitto-clients openssl
)

# The Windows cross-build and its tests under Wine (scripts/windows), apart
# from the rest so that a Linux-only run installs none of them.
MS_WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine64 wine
  # The line between the serial device's tests and their far end.
  socat
  # The window under a display of its own, driven as an operator drives it.
  xvfb xauth xdotool
  # The installer.
  nsis
)

ms_ensure_packages() {
  local missing=()
  local pkg
  for pkg in "${MS_PACKAGES[@]}" "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}
