#!/usr/bin/env bash
# Installs, with apt-get, every Debian 12 package that building and testing Korvid needs.
# Packages already present are left alone; nothing is done when all of them are there.
set -euo pipefail

packages=(
    build-essential cmake make pkg-config
    dpkg-dev               # dpkg-buildflags: the hardening flags of make deb
    libcurl4-openssl-dev   # HTTP
    libsqlite3-dev zlib1g-dev   # the local film database and its gzip files
    nlohmann-json3-dev     # JSON output of korvid-cli
    libutf8proc-dev        # typed text composed (NFC) before it becomes Latin-1
    libcli11-dev           # the command line of korvid-cli
    libgtest-dev libgmock-dev libbenchmark-dev
    id3v2                  # writes real ID3v1 tags for the tag tests
    libxml2-utils          # xmllint, which reads the NFO documents back in the tests
    qt6-base-dev qt6-qpa-plugins libgl-dev   # the desktop window (Qt 6 Widgets, offscreen tests)
    xvfb xdotool libx11-dev  # the benchmark of the window answering under an X server
    libjpeg62-turbo-dev    # covers and the banner logo
    libpng-dev             # the built-in icons, read without the toolkit's plugin scan
    fonts-dejavu-core fonts-liberation2      # free stand-ins for the layout's fonts
    clang libclang-rt-14-dev                 # the fuzz targets (libFuzzer and the sanitizers)
    scdoc                  # the man pages, made from their sources at build time
    bash-completion desktop-file-utils appstream   # the tests of the completion and metadata
    lintian                # make deb checks the package
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    SUDO=sudo
else
    SUDO=
fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
