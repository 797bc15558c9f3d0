# Sourced by the scripts in this folder: installs the Debian packages that are
# missing, through sudo when not running as root.

ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" \
            || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

BUILD_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qtbase5-dev libqt5serialport5-dev qttools5-dev-tools
    libbenchmark-dev
)
