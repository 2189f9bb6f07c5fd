#!/usr/bin/env bash
# The Debian package on an X11 desktop (run inside scripts/with-desktop.sh): cpack builds it from this
# build, its contents and fields are what an installation needs, and unpacked into a scratch root
# its programs run from there, finding their resources beside them.
# Usage: DebianPackageOnTheDesktop.sh <cpack> <build folder>
set -uo pipefail
cpack=$1
build=$2
source "$(dirname "$0")/DesktopTestSupport.sh"

# 1. The package, built into a folder of its own so that nothing else's packing meets it.
started=$(milliseconds)
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAILED: cpack" >&2
  exit 1
fi
deb=$(compgen -G "$work/package/pupnik_*.deb" | head -1)
[[ -f $deb ]] || { cat "$work/cpack.log" >&2; echo "FAILED: no pupnik_*.deb in $work/package" >&2; exit 1; }
pass "cpack built ${deb##*/} ($(stat -c %s "$deb") bytes) in $(($(milliseconds) - started)) ms"

# 2. Its contents.
dpkg-deb -c "$deb" | awk '{print $6}' >"$work/contents.txt"
for path in ./usr/bin/Pupnik ./usr/libexec/pupnik/pupnik-agent ./usr/share/applications/pupnik.desktop \
  ./usr/share/icons/hicolor/256x256/apps/pupnik.png ./usr/share/pupnik/i18n/en.json \
  ./usr/share/pupnik/Sprites/manifest.json ./usr/share/pupnik/entitlements.json; do
  grep -qxF "$path" "$work/contents.txt" || fail "the package holds no $path"
done
grep -v '^\./usr/' "$work/contents.txt" | grep -qvx '\./' && fail "the package holds files outside /usr: $(grep -v '^\./usr/' "$work/contents.txt")"
grep -qE '_CPack_Packages|/tmp/|build' "$work/contents.txt" && fail "the package holds paths of the build: $(grep -E '_CPack_Packages|/tmp/|build' "$work/contents.txt")"
((failures == 0)) && pass "the package holds the programs, the share folder, the desktop entry and the icon ($(wc -l <"$work/contents.txt") entries)"

# 3. Its fields: name, and dependencies this system can satisfy, found from the programs' libraries.
[[ $(dpkg-deb -f "$deb" Package) == pupnik ]] || fail "the package is called $(dpkg-deb -f "$deb" Package)"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libc6 libqt6widgets6 libx11-6 qt6-qpa-plugins; do
  grep -qE "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
for name in $(tr ',' '\n' <<<"$depends" | sed 's/(.*)//; s/|.*//; s/ //g'); do
  dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "install ok installed" || fail "Depends names $name, which no installed package provides"
done
((failures == 0)) && pass "Depends: $depends"
# The fonts that draw the language menu's Chinese, Japanese, Korean, Thai and Hindi names.
recommends=$(dpkg-deb -f "$deb" Recommends)
for needed in fonts-noto-cjk fonts-thai-tlwg fonts-lohit-deva; do
  grep -qE "(^|, | \| )$needed( |,|$)" <<<"$recommends" || fail "Recommends lacks $needed: $recommends"
done
for name in $(tr ',|' '\n\n' <<<"$recommends" | sed 's/(.*)//; s/ //g'); do
  apt-cache show "$name" >/dev/null 2>&1 || fail "Recommends names $name, which apt does not know"
done
((failures == 0)) && pass "Recommends: $recommends"

# 4. Unpacked into a scratch root, the desktop entry names the packaged program.
root=$work/root
dpkg-deb -x "$deb" "$root" || { fail "dpkg-deb -x failed"; finish; }
entry=$root/usr/share/applications/pupnik.desktop
grep -qxF 'Exec=/usr/bin/Pupnik %u' "$entry" || fail "the entry's Exec line is $(grep '^Exec=' "$entry")"
grep -qxF 'MimeType=x-scheme-handler/pupnik;' "$entry" || fail "the entry does not take pupnik: URLs"
grep -qxF 'Icon=pupnik' "$entry" || fail "the entry names no icon"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" >"$work/validate.log" 2>&1 || fail "desktop-file-validate: $(cat "$work/validate.log")"
fi
[[ $(identify -format '%wx%h' "$root/usr/share/icons/hicolor/256x256/apps/pupnik.png" 2>/dev/null) == 256x256 ]] \
  || fail "the icon is not 256 by 256 pixels"
((failures == 0)) && pass "the entry starts /usr/bin/Pupnik with a URL, and the icon is 256 px"

# 5. The programs run from the scratch root.
use_private_home
export PUPNIK_SKIP_ONBOARDING=1 LANGUAGE=en LANG=C.UTF-8 LC_ALL=C.UTF-8
unset DBUS_SESSION_BUS_ADDRESS
if "$root/usr/libexec/pupnik/pupnik-agent" selftest >"$work/agent.out" 2>"$work/agent.log" && [[ -s $PUPNIK_SUPPORT_DIR/events.jsonl ]]; then
  pass "the unpacked agent tool recorded its test event"
else
  fail "the unpacked agent tool's selftest failed"
fi
"$root/usr/bin/Pupnik" 2>"$work/pupnik.log" &
pupnik_pid=$!
pids+=("$pupnik_pid")
if wait_for 30 pet_window >/dev/null; then pass "the unpacked Pupnik shows its pet"; else fail "the unpacked Pupnik showed no pet"; fi
grep -qE "no sprite directory|using placeholders|missing frame" "$work/pupnik.log" && fail "the unpacked Pupnik did not find its sprites"
if timeout 15 "$root/usr/bin/Pupnik" pupnik://demo/happy 2>"$work/later.log"; then
  pass "a later start of the unpacked Pupnik handed its URL over"
else
  fail "a later start of the unpacked Pupnik failed: $(cat "$work/later.log")"
fi
finish
