#!/usr/bin/env bash
# Installs the build into a scratch root, validates the launcher and the
# metainfo, builds the Debian package and checks its file list and, where
# lintian is installed, the package as Debian's own tools do: an error
# fails, a warning is shown.
set -euo pipefail
build=$1
source=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

DESTDIR="$scratch/root" cmake --install "$build" --prefix /usr >/dev/null
expected=(
    usr/bin/krt418
    usr/share/applications/org.krt418.controller.desktop
    usr/share/metainfo/org.krt418.controller.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/org.krt418.controller.svg
    usr/share/man/man1/krt418.1.gz
    usr/share/doc/krt418/copyright
    usr/share/doc/krt418/changelog.gz
)
if [ -e "$build/krt418-sim" ]; then
    expected+=(usr/bin/krt418-sim usr/share/man/man1/krt418-sim.1.gz)
fi
for f in "${expected[@]}"; do
    [ -e "$scratch/root/$f" ] || { echo "not installed: $f"; exit 1; }
done
grep -qx 'Name=KRT 418 controller' "$scratch/root/usr/share/applications/org.krt418.controller.desktop"
grep -qx 'Categories=Utility;Electronics;' "$scratch/root/usr/share/applications/org.krt418.controller.desktop"

if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$source/org.krt418.controller.metainfo.xml"
else
    echo "appstreamcli not found: metainfo not validated"
fi
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$source/org.krt418.controller.desktop"
fi

if command -v dpkg-deb >/dev/null; then
    (cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >/dev/null)
    deb=$(ls "$scratch"/pkg/krt418_*.deb | head -1)
    listing=$(dpkg-deb -c "$deb")
    for f in "${expected[@]}"; do
        grep -q "\./$f\$" <<<"$listing" || { echo "not in package: $f"; exit 1; }
    done
    depends=$(dpkg-deb -f "$deb" Depends)
    for d in libqt6widgets6 libqt6serialport6 libqt6svg6; do
        grep -q "$d" <<<"$depends" || { echo "package does not depend on $d"; exit 1; }
    done
    echo "package $(basename "$deb") holds ${#expected[@]} expected files"

    if command -v lintian >/dev/null; then
        # Errors fail; warnings are shown (a newer lintian may know new ones).
        # Informational and pedantic tags are left out.
        status=0
        report=$(lintian --fail-on error --display-level '>=warning' "$deb" 2>&1) || status=$?
        report=$(grep -v '^running with root privileges' <<<"$report" || true)
        if ((status != 0)); then
            echo "lintian finds errors in $(basename "$deb"):"
            echo "$report"
            exit 1
        fi
        if [ -n "$report" ]; then
            echo "lintian warns about $(basename "$deb"):"
            echo "$report"
        else
            echo "lintian: no error, no warning"
        fi
    else
        echo "lintian not found: package not checked by it"
    fi
fi
