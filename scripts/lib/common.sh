# Shared by scripts/run, scripts/test, scripts/bench and scripts/i686-tier:
# where things are, the one-time installation of what the project needs from
# Debian's packages, and the build of a preset.

PIX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
PIX_BUILD=${PIX_BUILD:-$PIX_ROOT/build}

PIX_PACKAGES=(
    cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev clang libfuzzer-14-dev
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
    wine wine64 fonts-wine xvfb xauth x11-utils imagemagick icoutils
    nlohmann-json3-dev python3 nodejs openssl
    python3-zxing-cpp python3-pil
)

# The independent BR Code reader of the bank 001 tests, from npm, kept in the
# build folder. Debian's npm comes along unless a node that carries its own is there.
PIX_NPM_PACKAGES=(pix-utils@2.8.2)
PIX_NODE_MODULES=$PIX_BUILD/node

# Third-party source tarballs the build unpacks (cmake/qrcodegen.cmake).
export PIX_DOWNLOADS=${PIX_DOWNLOADS:-$PIX_BUILD/downloads}

pix_log() { printf '%s\n' "$*" >&2; }

# Installs whatever is missing; quick when everything is there.
pix_install_packages() {
    local missing=()
    local package
    for package in "${PIX_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    pix_log "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Installs the npm packages into $PIX_NODE_MODULES; quick when they are there.
pix_install_npm() {
    [ -f "$PIX_NODE_MODULES/.installed" ] && [ "$(cat "$PIX_NODE_MODULES/.installed")" = "${PIX_NPM_PACKAGES[*]}" ] && return 0
    if ! command -v npm >/dev/null; then
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo=sudo
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends npm >/dev/null || return 1
    fi
    pix_log "Installing from npm: ${PIX_NPM_PACKAGES[*]}"
    mkdir -p "$PIX_NODE_MODULES"
    npm install --prefix "$PIX_NODE_MODULES" --no-audit --no-fund --silent "${PIX_NPM_PACKAGES[@]}" >/dev/null || return 1
    printf '%s' "${PIX_NPM_PACKAGES[*]}" >"$PIX_NODE_MODULES/.installed"
}

# Fetches the upstream source the programs link (the QR Code generator)
# unless it is there with its recorded hash; the build checks it again.
pix_fetch_sources() {
    bash "$PIX_ROOT/scripts/lib/qrcodegen.sh" "$PIX_DOWNLOADS" >/dev/null
}

# The ZIP a user downloads, made in a Windows preset's tree.
pix_package() {
    local preset=$1 out
    if ! out=$(cmake --build "$PIX_BUILD/$preset" --target package 2>&1); then
        printf '%s\n' "$out" >&2
        pix_log "packaging $preset failed"
        return 1
    fi
}

# Configures one preset (again whenever the presets or the toolchain files
# are newer than its configuration) and builds it. Quiet when all goes well;
# on failure the whole output of the failing step is shown.
pix_build() {
    local preset=$1 dir=$PIX_BUILD/$1 out
    local stamp=$dir/build.ninja
    if [ ! -f "$stamp" ] || [ -n "$(find "$PIX_ROOT/CMakePresets.json" "$PIX_ROOT/cmake" -newer "$stamp" -print -quit)" ]; then
        if ! out=$(cmake --preset "$preset" -B "$dir" 2>&1); then
            printf '%s\n' "$out" >&2
            pix_log "configuring $preset failed"
            return 1
        fi
        touch "$stamp"
    fi
    if ! out=$(cmake --build "$dir" 2>&1); then
        printf '%s\n' "$out" >&2
        pix_log "building $preset failed"
        return 1
    fi
}
