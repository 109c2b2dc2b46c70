# Installs the Debian packages Torvanel needs that are missing. Sourced by run and test.
torvanel_install_missing() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

TORVANEL_BUILD_PACKAGES=(cmake g++ make qt6-base-dev qt6-serialport-dev libgl-dev libhamlib-dev)
TORVANEL_TEST_PACKAGES=(dbus dbus-bin xvfb xauth x11-utils openbox libxtst-dev libhamlib-utils desktop-file-utils
                        clang libclang-rt-14-dev)
