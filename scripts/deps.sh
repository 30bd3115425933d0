# Sourced by scripts/run and scripts/test: installs from Debian whatever is missing.
# Quick when everything is there: only dpkg is asked.

BUILD_PACKAGES=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-serialport-dev
    qt6-svg-dev
    libgsf-1-dev
    qt6-translations-l10n
)
# scripts/package and its check: shlibdeps, and the validators of the package's files.
PACKAGE_PACKAGES=(
    dpkg-dev file fakeroot
    lintian desktop-file-utils appstream man-db
)
TEST_PACKAGES=(
    locales xvfb xauth fonts-dejavu-core
    clang libclang-rt-14-dev clang-format
    python3 python3-dbfread python3-dbf python3-xlrd python3-xlwt python3-olefile
    poppler-utils gnumeric libreoffice-calc-nogui
    fonts-urw-base35
)

ensure_packages() {
    local missing=()
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing from Debian: ${missing[*]}" >&2
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The tests run part of their checks under a Russian locale, to prove that a comma never
# reaches a file. Generate it where the machine lacks it.
ensure_ru_locale() {
    if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
        local sudo=""
        [ "$(id -u)" -ne 0 ] && sudo="sudo"
        if [ -f /etc/locale.gen ]; then
            $sudo sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
            grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
            $sudo locale-gen >/dev/null
        else
            $sudo localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
        fi
    fi
}

jobs_count() { nproc 2>/dev/null || echo 2; }
