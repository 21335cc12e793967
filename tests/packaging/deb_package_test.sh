#!/usr/bin/env bash
# The Debian package: packs the build (cpack -G DEB, which only packs what the build
# made) into a scratch folder, unpacks it into a scratch root (dpkg -x) and checks it:
#   - usr/bin/tallowick is an executable ELF program;
#   - usr/share/applications/tallowick.desktop is a valid desktop entry for it;
#   - the icon is in the hicolor theme in 16, 32 and 48 pixels (PNG of that size);
#   - the package depends on the Qt and FFmpeg libraries, the extra encoders and the font.
#   deb_package_test.sh BUILD_DIR
set -euo pipefail

build=$1
for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate; do
  if ! command -v "$tool" >/dev/null; then
    echo "FAILED: $tool is not installed (bash scripts/deps.sh test installs it)"
    exit 1
  fi
done

work=$(mktemp -d /tmp/tallowick-deb-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
debs=("$work"/out/tallowick_*.deb)
[ -f "${debs[0]}" ] || { echo "FAILED: cpack made no tallowick_*.deb"; ls "$work/out"; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb")"
dpkg-deb -x "$deb" "$work/root"
root=$work/root

# The program.
program=$root/usr/bin/tallowick
if [ -f "$program" ] && [ -x "$program" ] && [ "$(head -c 4 "$program" | od -An -c | tr -d ' ')" = '177ELF' ]; then
  echo "ok: usr/bin/tallowick is an executable program"
else
  fail "usr/bin/tallowick is missing or not an executable program"
fi

# The desktop entry.
entry=$root/usr/share/applications/tallowick.desktop
if [ -f "$entry" ] && desktop-file-validate "$entry"; then
  echo "ok: the desktop entry is valid"
else
  fail "usr/share/applications/tallowick.desktop is missing or invalid"
fi
grep -qE '^Exec=tallowick( |$)' "$entry" 2>/dev/null || fail "the desktop entry does not start tallowick"
grep -qx 'Icon=tallowick' "$entry" 2>/dev/null || fail "the desktop entry does not name the tallowick icon"

# The icons: width and height are the two big-endian words after the PNG's IHDR tag.
png_size() {
  local bytes
  bytes=$(od -An -tu1 -j16 -N8 "$1" | tr -s ' ' | sed 's/^ //')
  set -- $bytes
  echo "$(( ($1 << 24) + ($2 << 16) + ($3 << 8) + $4 ))x$(( ($5 << 24) + ($6 << 16) + ($7 << 8) + $8 ))"
}
for size in 16 32 48; do
  icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/tallowick.png
  if [ -f "$icon" ] && [ "$(head -c 8 "$icon" | od -An -c | tr -d ' ')" = '211PNG\r\n032\n' ] &&
     [ "$(png_size "$icon")" = "${size}x${size}" ]; then
    echo "ok: ${size}x${size} icon"
  else
    fail "no ${size}x${size} PNG icon at usr/share/icons/hicolor/${size}x${size}/apps/tallowick.png"
  fi
done

# The dependencies.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in 'libqt6widgets6' 'libqt6gui6' 'libqt6core6' 'libqt6multimedia6' 'libavformat[0-9]+' \
               'libavcodec[0-9]+' 'libavutil[0-9]+' 'libswresample[0-9]+' 'libavcodec-extra' 'fonts-dejavu-core'; do
  echo "$depends" | tr ',' '\n' | grep -qE "^ *${package}( |$)" || fail "Depends lacks $package"
done

[ "$failures" -eq 0 ] || exit 1
echo "passed"
