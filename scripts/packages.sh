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

# The fonts are what offscreen windows and screenshots draw their text with;
# the plain build also builds the benchmarks.
BUILD_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qtbase5-dev libqt5serialport5-dev fonts-dejavu-core
    libbenchmark-dev
)

# The sanitizer build's compiler; a virtual X display for the start-up test;
# python3 for the icon script and the manual's test; ansible-core and pytest
# for the Ansible collection's test, with the linters ansible-test's sanity
# tests run and python's virtual environments to run them in.
TEST_PACKAGES=(
    clang libclang-rt-14-dev xvfb xauth xdotool python3 ansible-core python3-pytest
    python3-venv python3-voluptuous pylint pycodestyle yamllint
)

# The Ansible collection's tarball.
COLLECTION_PACKAGES=(
    ansible-core
)

# The Windows launcher: its cross compilers, Wine to run its 64-bit test
# build (64-bit only: no i386 architecture needed) and wrestool to read its
# resources. The plain build needs them; the sanitizer build skips the launcher.
CROSS_COMPILER_PACKAGES=(
    g++-mingw-w64-i686 g++-mingw-w64-x86-64
)
LAUNCHER_PACKAGES=(
    "${CROSS_COMPILER_PACKAGES[@]}" wine64 icoutils
)

# The Debian package: dpkg-shlibdeps and file for its dependencies, python3
# for its bill of materials, and for its test lintian and
# desktop-file-validate.
PACKAGE_PACKAGES=(
    dpkg-dev file python3 lintian desktop-file-utils
)

# The Windows build of the programs (plain build only) needs the launcher's
# cross compiler and Wine as well, and Qt for Windows from ../shared/; its
# Wine tests take a screenshot with imagemagick's import.
WINDOWS_PACKAGES=(
    imagemagick
)

# The Windows packages: wixl makes the MSI, msitools sets its package code
# and reads it back in the tests, zip makes the zip, faketime gives wixl
# the release's clock, osslsigncode signs (and the tests check signatures
# made with a certificate from openssl), python3 writes the bills of
# materials. diffoscope shows where two builds of the packages differ.
WINDOWS_PACKAGING_PACKAGES=(
    wixl msitools zip faketime osslsigncode openssl python3 diffoscope-minimal
)

# The yardstick of zorvel's benchmark: a script with pyserial, and GNU time
# to take each run's peak memory. Only bench/run needs them.
ZORVEL_BENCH_PACKAGES=(
    python3-serial time
)
