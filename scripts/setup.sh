# Shared by ./run and ./test: installs the Debian packages that are missing, then configures and
# builds with Ninja. Sourced, not run.
# Set CALVENTO_NO_INSTALL=1 to skip the package check (for machines set up by other means).

CALVENTO_PACKAGES=(
    g++ cmake ninja-build pkg-config dpkg-dev file ccache
    qt6-base-dev qt6-serialport-dev qt6-multimedia-dev libhamlib-dev
    fonts-liberation fonts-liberation2
)
# What the tests use besides: a DTMF decoder, a sound server, X without a screen, the fuzzers,
# an independent CSV reader (Python's) for the send log, and the independent signals of the
# receive side: speech that must not pass for keys, Morse made by other programs.
CALVENTO_TEST_PACKAGES=(
    multimon-ng pulseaudio pulseaudio-utils sox socat xvfb xauth xdotool libhamlib-utils
    clang libclang-rt-dev python3 espeak-ng ebook2cw
)

# The Windows build and its tests under Wine, where a Qt built for Windows is at hand
# (cmake/mingw-w64.cmake says where it is looked for).
CALVENTO_QT_WINDOWS=${CALVENTO_QT_WINDOWS:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/shared/qt6-mingw}
CALVENTO_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine64 x11-utils osslsigncode openssl nsis)

calvento_install_packages() {
    [ "${CALVENTO_NO_INSTALL:-0}" = 1 ] && return 0
    local missing=()
    for p in "$@"; do
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

# The compiler cache (CMake uses ccache when it is there) keys paths from the checkout's own
# folder, so that another clone on the same machine builds from the same cache.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true

# calvento_build DIR [cmake options]: configures DIR once, then builds it.
calvento_build() {
    local dir=$1
    shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    fi
    cmake --build "$dir" --parallel 2
}
