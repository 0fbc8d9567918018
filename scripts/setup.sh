# Shared by ./run and ./test: installs the Debian packages that are missing, then configures and
# builds into build/ with Ninja. Sourced, not run: it leaves BUILD_DIR set for the caller.
# Set CALVENTO_NO_INSTALL=1 to skip the package check (for machines set up by other means).

CALVENTO_PACKAGES=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-serialport-dev qt6-multimedia-dev
    multimon-ng pulseaudio pulseaudio-utils sox socat xvfb
    fonts-liberation fonts-liberation2
)

calvento_install_packages() {
    [ "${CALVENTO_NO_INSTALL:-0}" = 1 ] && return 0
    local missing=()
    for p in "${CALVENTO_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

calvento_build() {
    BUILD_DIR=${BUILD_DIR:-build}
    if [ ! -f "$BUILD_DIR/build.ninja" ]; then
        cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    fi
    cmake --build "$BUILD_DIR" --parallel 2
}
