#!/usr/bin/env bash
# The Debian package on an X11 desktop (run inside scripts/with-desktop.sh): cpack builds it from this
# build, its contents and fields are what an installation needs, lintian (when installed) finds nothing
# to report, and unpacked into a scratch root its programs run from there, finding their resources
# beside them.
# Usage: DebianPackageOnTheDesktop.sh <cpack> <build folder>
set -uo pipefail
cpack=$1
build=$2
source "$(dirname "$0")/DesktopTestSupport.sh"

# 1. The package, built into a folder of its own so that nothing else's packing meets it.
packed() { "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 && compgen -G "$work/package/pupnik_*.deb"; }
expect --seen 'tail -n 5 "$work/cpack.log"; ls "$work/package"' 0 "cpack builds pupnik_*.deb" packed || finish
deb=$(compgen -G "$work/package/pupnik_*.deb" | head -1)

# 2. Its contents.
dpkg-deb -c "$deb" | awk '{print $6}' >"$work/contents.txt"
# The package's contents are settled once dpkg-deb has listed them: each is looked at once.
for path in ./usr/bin/Pupnik ./usr/libexec/pupnik/pupnik-agent ./usr/share/applications/pupnik.desktop \
  ./usr/share/icons/hicolor/256x256/apps/pupnik.png ./usr/share/pupnik/i18n/en.json \
  ./usr/share/pupnik/Sprites/manifest.json ./usr/share/pupnik/entitlements.json \
  ./usr/share/man/man1/Pupnik.1.gz ./usr/share/man/man1/pupnik-agent.1.gz \
  ./usr/share/doc/pupnik/copyright ./usr/share/doc/pupnik/changelog.Debian.gz ./usr/share/lintian/overrides/pupnik; do
  expect --seen 'echo "$(wc -l <"$work/contents.txt") entries, none of them that"' 0 "the package holds $path" grep -qxF "$path" "$work/contents.txt"
done
outside_usr() { grep -v '^\./usr/' "$work/contents.txt" | grep -vx '\./'; }
expect_never 0 "no files outside /usr in the package" outside_usr
expect_never 0 "no paths of the build in the package" grep -E '_CPack_Packages|/tmp/|build' "$work/contents.txt"

# 3. Its fields: name, and dependencies this system can satisfy, found from the programs' libraries.
named_pupnik() { [[ $(dpkg-deb -f "$deb" Package) == pupnik ]]; }
expect --seen 'dpkg-deb -f "$deb" Package' 0 "the package called pupnik" named_pupnik
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libc6 libqt6widgets6 libx11-6 qt6-qpa-plugins; do
  expect --seen 'echo "$depends"' 0 "Depends names $needed" grep -qE "(^|, )$needed( |,|$)" <<<"$depends"
done
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
for name in $(tr ',' '\n' <<<"$depends" | sed 's/(.*)//; s/|.*//; s/ //g'); do
  expect --seen "dpkg-query -W -f='\${Status}' $name" 0 "Depends' $name provided by an installed package" installed "$name"
done
# The fonts that draw the language menu's Chinese, Japanese, Korean, Thai and Hindi names.
recommends=$(dpkg-deb -f "$deb" Recommends)
for needed in fonts-noto-cjk fonts-thai-tlwg fonts-lohit-deva; do
  expect --seen 'echo "$recommends"' 0 "Recommends names $needed" grep -qE "(^|, | \| )$needed( |,|$)" <<<"$recommends"
done
known_to_apt() { apt-cache show "$1" >/dev/null 2>&1; }
for name in $(tr ',|' '\n\n' <<<"$recommends" | sed 's/(.*)//; s/ //g'); do
  expect 0 "Recommends' $name known to apt" known_to_apt "$name"
done

# 4. What Debian's checker makes of it: informational notes only, no error and no warning.
if command -v lintian >/dev/null; then
  lintian --no-cfg "$deb" >"$work/lintian.log" 2>&1
  expect_never 0 "no lintian error or warning" grep -E '^[EW]: ' "$work/lintian.log"
else
  echo "lintian is not installed: the package is not checked with it"
fi

# 5. Unpacked into a scratch root, the desktop entry names the packaged program.
root=$work/root
expect 0 "dpkg-deb unpacks the package" dpkg-deb -x "$deb" "$root" || finish
entry=$root/usr/share/applications/pupnik.desktop
expect --seen 'grep "^Exec=" "$entry"' 0 "the entry starts /usr/bin/Pupnik with a URL" grep -qxF 'Exec=/usr/bin/Pupnik %u' "$entry"
expect --seen 'grep "^MimeType=" "$entry"' 0 "the entry takes pupnik: URLs" grep -qxF 'MimeType=x-scheme-handler/pupnik;' "$entry"
expect --seen 'grep "^Icon=" "$entry"' 0 "the entry names the icon" grep -qxF 'Icon=pupnik' "$entry"
if command -v desktop-file-validate >/dev/null; then
  expect 0 "desktop-file-validate passes the entry" desktop-file-validate "$entry"
fi
icon_size() { [[ $(identify -format '%wx%h' "$root/usr/share/icons/hicolor/256x256/apps/pupnik.png" 2>/dev/null) == 256x256 ]]; }
expect --seen 'identify "$root/usr/share/icons/hicolor/256x256/apps/pupnik.png"' 0 "the icon 256 by 256 pixels" icon_size

# 6. The programs run from the scratch root.
use_private_home
export PUPNIK_SKIP_ONBOARDING=1 LANGUAGE=en LANG=C.UTF-8 LC_ALL=C.UTF-8
unset DBUS_SESSION_BUS_ADDRESS
selftest() { "$root/usr/libexec/pupnik/pupnik-agent" selftest >"$work/agent.out" 2>"$work/agent.log" && [[ -s $PUPNIK_SUPPORT_DIR/events.jsonl ]]; }
expect --seen 'cat "$work/agent.out" "$work/agent.log"' 0 "the unpacked agent tool records its test event" selftest
"$root/usr/bin/Pupnik" 2>"$log" &
pupnik_pid=$!
pids+=("$pupnik_pid")
expect --seen log_tail 30 "the unpacked Pupnik ends its launch" started
expect_never 1 "the unpacked Pupnik to find its sprites" logged_like "no sprite directory|using placeholders|missing frame"
hands_over() { timeout 15 "$root/usr/bin/Pupnik" pupnik://demo/happy 2>"$work/later.log"; }
expect --seen 'cat "$work/later.log"' 0 "a later start of the unpacked Pupnik hands its URL over" hands_over
finish
