#!/usr/bin/env bash
# Installs the package built by `make deb` as a user would (apt-get, as root), tries what it
# installed (the programs, also without a display, the man pages, the completions, the
# desktop metadata), then removes
# it again. Refuses to run where korvid is installed already, so a user's own copy is never
# replaced or removed.
#   check-deb.sh DEB_BUILD_FOLDER
set -euo pipefail
folder=$(cd "$1" && pwd)
deb=$(ls "$folder"/korvid_*.deb)
here=$(cd "$(dirname "$0")/.." && pwd)

if dpkg-query -W -f='${Status}' korvid 2>/dev/null | grep -q 'install ok installed'; then
    echo "check-deb: the package korvid is installed already; not touching it" >&2
    exit 1
fi

echo "check-deb: installing $deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
trap 'DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq korvid >/dev/null' EXIT

dpkg-query -W -f='${Package} ${Version} ${Architecture}\nDepends: ${Depends}\n' korvid
/usr/bin/korvid-cli --version
env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/korvid --version
env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/korvid --help >/dev/null
# Without a display the window says so in words and exits 1 (not the toolkit's abort).
status=0
message=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/korvid 2>&1) || status=$?
if [ "$status" -ne 1 ] ||
    ! grep -qF 'korvid: no display (DISPLAY / WAYLAND_DISPLAY is not set)' <<<"$message"; then
    echo "check-deb: korvid without a display exited $status: $message" >&2
    exit 1
fi
dpkg-query -W -f='${Recommends}\n' korvid | grep -q fonts-liberation2
man -w korvid-cli
man -w korvid
man korvid-cli 2>/dev/null | grep -q 'dataset update'
bash "$here/tests/package/bash_completion_test.sh" /usr/share/bash-completion/completions/korvid-cli
test -f /usr/share/zsh/vendor-completions/_korvid-cli
test -f /usr/share/fish/vendor_completions.d/korvid-cli.fish
desktop-file-validate /usr/share/applications/korvid.desktop
appstreamcli validate --no-net /usr/share/metainfo/io.github.korvid.Korvid.metainfo.xml >/dev/null
for size in 16x16 24x24 32x32 48x48 64x64 128x128 256x256; do
    test -f "/usr/share/icons/hicolor/$size/apps/korvid.png"
done
test -f /usr/share/icons/hicolor/scalable/apps/korvid.svg
test -f /usr/share/doc/korvid/copyright

trap - EXIT
DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq korvid >/dev/null
if [ -e /usr/bin/korvid-cli ] || [ -e /usr/bin/korvid ] || [ -e /usr/share/doc/korvid ]; then
    echo "check-deb: files are left after the package was removed" >&2
    exit 1
fi
echo "check-deb: installed, tried and removed cleanly"
