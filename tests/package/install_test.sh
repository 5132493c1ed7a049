#!/usr/bin/env bash
# `cmake --install` works after a build of the two programs alone (what make run builds): the
# files install takes from the build (man pages, changelog) are made with the programs.
#   install_test.sh BUILD_FOLDER
set -u
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
rm -f "$build"/packaging/*.1.gz "$build"/packaging/changelog.gz
cmake --build "$build" --target korvid korvid-cli >/dev/null || { echo "FAIL: the build"; exit 1; }
if ! cmake --install "$build" --prefix "$prefix" >/dev/null; then
    echo "FAIL: cmake --install after a build of the programs alone"
    exit 1
fi
for file in bin/korvid-cli share/man/man1/korvid-cli.1.gz share/man/man1/korvid.1.gz \
    share/doc/korvid/changelog.gz; do
    [ -f "$prefix/$file" ] || { echo "FAIL: $file was not installed"; exit 1; }
done
echo "1 passed, 0 failed"
