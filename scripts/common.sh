# Shared by the project's scripts: installs Debian packages that are missing.
# Quiet when everything is already there.
install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installo: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Packages needed to build and run the program and its tests.
build_packages=(
    cmake g++ make
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-qpa-plugins libgl-dev qt6-translations-l10n
    qt6-charts-dev libqt6opengl6-dev
    libsqlite3-dev
    libqt6sql6-psql libpq-dev
    fonts-liberation fonts-dejavu-core
    poppler-utils tzdata
)

# Packages needed to build and check the installation and the Debian package.
package_packages=(
    dpkg-dev fakeroot file lintian man-db desktop-file-utils appstream
)

# Packages the tests need besides: the accessibility test runs the program on a
# virtual X display (xvfb), drives it with real key events (xdotool) and reads it
# through a D-Bus session bus and the AT-SPI registry with Debian's Python
# (python3-pyatspi); it reads the archive with sqlite3. The tests of the server
# archive start a throw-away PostgreSQL server (scripts/testserver.sh) with
# certificates made by openssl.
test_packages=(
    xvfb xdotool dbus-daemon dbus-bin at-spi2-core python3-pyatspi gir1.2-atspi-2.0 sqlite3
    postgresql-15 openssl
)

# Builds quietly: the compiler's output is shown only when the build fails.
build_quietly() {
    local dir=$1
    if ! cmake --build "$dir" --parallel "$(nproc)" > "$dir/build.log" 2>&1; then
        cat "$dir/build.log" >&2
        echo "La compilazione non è riuscita (registro: $dir/build.log)." >&2
        return 1
    fi
}
