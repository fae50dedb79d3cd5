#!/usr/bin/env bash
# Builds the Debian package from build/ and checks its file list.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
dir=$(scripts/build.sh | tail -n 1)
(cd "$dir" && cpack -G DEB >/dev/null)
package=$(ls -t "$dir"/quelvar-gsm_*.deb | head -n 1)
listing=$(dpkg-deb -c "$package" | awk '{print $NF}')
missing=0
for path in ./usr/bin/quelvar-gsm ./usr/bin/quelvar-gsm-cli \
            ./usr/lib/udev/rules.d/70-quelvar-gsm.rules \
            ./usr/share/applications/quelvar-gsm.desktop \
            ./usr/share/icons/hicolor/48x48/apps/quelvar-gsm.png \
            ./usr/share/icons/hicolor/256x256/apps/quelvar-gsm.png; do
    if ! grep -qx "$path" <<<"$listing"; then
        echo "package lacks $path" >&2
        missing=1
    fi
done
[ "$missing" -eq 0 ] || exit 1
echo "package $(basename "$package"): $(wc -l <<<"$listing") entries, all expected files present"
dpkg-deb -f "$package" Package Version Depends
