# Shared by ./run and ./test: installs the Debian packages the project needs
# and builds it. Sourced, not run.

# Runs a command as root: directly when we are root, else through sudo.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "vetfaq: need root rights to install packages ($*); run as root or install sudo" >&2
        return 1
    fi
}

# Installs those of the given Debian packages that are missing; quick when
# every one is there already.
ensure_packages() {
    local missing=()
    local p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "vetfaq: installing ${missing[*]}" >&2
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq || return 1
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || return 1
}

# What building and running the program needs; qt6-wayland is the platform
# plugin for Wayland sessions.
RUNTIME_PACKAGES=(cmake make g++ pkg-config qt6-base-dev libgl-dev unixodbc unixodbc-dev
                  libsqliteodbc odbc-postgresql sqlite3 fonts-liberation2 fontconfig libfontconfig-dev qt6-wayland)
# What the test suite needs on top.
# postgresql-15 brings the server the tests start a throwaway cluster of,
# pgbouncer the pooler the provisioning can put in front of it.
TEST_PACKAGES=(libgtest-dev libgmock-dev libsqlite3-dev libbenchmark-dev libpq-dev postgresql-15 pgbouncer)
# What tools/package needs on top: dpkg-shlibdeps and the flags of dpkg-dev.
PACKAGE_PACKAGES=(dpkg-dev file)

# configure_and_build BUILD_DIR [cmake options...]
configure_and_build() {
    local dir=$1
    shift
    mkdir -p "$dir"
    local log="$dir/build.log"
    echo "vetfaq: building in $dir" >&2
    if ! { cmake -S "$ROOT" -B "$dir" "$@" && cmake --build "$dir" --parallel "$(nproc)"; } >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "vetfaq: the build failed; the whole log is $log" >&2
        return 1
    fi
}
