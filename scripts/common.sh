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
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-qpa-plugins libgl-dev
    qt6-charts-dev libqt6opengl6-dev
    libsqlite3-dev
    fonts-liberation fonts-dejavu-core
    poppler-utils tzdata
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
