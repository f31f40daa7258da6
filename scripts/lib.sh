# Shared by the scripts: package installation and the build.
# shellcheck shell=bash

QUILLET_SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export QUILLET_SRC

# Installs the Debian packages listed in scripts/packages/<set>.txt that are
# not installed yet. Needs root or sudo.
install_packages() {
    local wanted=() missing=() set pkg
    for set in "$@"; do
        while read -r pkg; do
            [[ -z "$pkg" || "$pkg" == \#* ]] && continue
            wanted+=("$pkg")
        done < "$QUILLET_SRC/scripts/packages/$set.txt"
    done
    for pkg in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [[ ${#missing[@]} -eq 0 ]] && return 0
    local sudo=()
    [[ $(id -u) -ne 0 ]] && sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Configures and builds into $1 with the given CMake build type.
build_tree() {
    local dir=$1 type=$2
    shift 2
    cmake -S "$QUILLET_SRC" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}
