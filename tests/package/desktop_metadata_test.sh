#!/usr/bin/env bash
# The desktop entry and the AppStream metadata pass their validators (never on the network),
# and the desktop entry has search words.
#   desktop_metadata_test.sh SOURCE_FOLDER
set -u
source=$1
failed=0
desktop-file-validate "$source/shell/resources/korvid.desktop" || failed=1
appstreamcli validate --no-net "$source/packaging/io.github.korvid.Korvid.metainfo.xml" || failed=1
# Search words for menus and launchers, beside the name.
grep -qE '^Keywords=([^;]+;)+$' "$source/shell/resources/korvid.desktop" ||
    { echo "FAIL: the desktop entry has no Keywords"; failed=1; }
[ "$failed" -eq 0 ] && echo "3 passed, 0 failed"
exit "$failed"
