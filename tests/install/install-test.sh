#!/bin/sh
# Installs the build into a temporary prefix and uses the installed
# programs from there: the layout, the desktop entry, the editor started
# offscreen (its Kelvane.ini in the user's configuration folder, not in the
# program folder), velmora-cli finding its encoder plugins.
# Usage: install-test.sh CMAKE BUILD-FOLDER
set -eu
cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install-test: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$prefix" >/dev/null
for link in velmora velmora-cli; do
    [ -L "$prefix/bin/$link" ] || fail "bin/$link is not a link"
done
for file in velmora velmora-cli liblame_enc.so libwmaudsdk.so velmora_ffmpeg_decode.so user-config KVLanguage/English.ini \
            KVLanguage/Help/English/index.html KVLanguage/Help/help.css; do
    [ -e "$prefix/lib/velmora/$file" ] || fail "lib/velmora/$file is missing"
done
[ -f "$prefix/share/icons/hicolor/scalable/apps/velmora.svg" ] || fail "the icon is missing"
for page in velmora velmora-cli; do
    [ -f "$prefix/share/man/man1/$page.1.gz" ] || fail "the manual page of $page is missing"
done
for doc in copyright changelog.gz README.md; do
    [ -f "$prefix/share/doc/velmora/$doc" ] || fail "share/doc/velmora/$doc is missing"
done
desktop-file-validate "$prefix/share/applications/velmora.desktop" || fail "the desktop entry is not valid"

# The installed editor, started through its link.
config="$prefix/config"
XDG_CONFIG_HOME="$config" QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy LANG=ru_RU.UTF-8 \
    "$prefix/bin/velmora" >/dev/null 2>&1 &
pid=$!
waited=0
while [ ! -s "$config/velmora/Kelvane.ini" ] && [ "$waited" -lt 200 ]; do
    sleep 0.1
    waited=$((waited + 1))
done
kill -TERM "$pid"
wait "$pid" || true
grep -q '^Language=Russian.ini' "$config/velmora/Kelvane.ini" || fail "no Kelvane.ini in the configuration folder"
[ ! -e "$prefix/lib/velmora/Kelvane.ini" ] || fail "the installed editor wrote into its program folder"

# The installed velmora-cli, through its link, finds its plugins and its
# decoder.
sox -n -r 8000 -c 1 -b 16 "$prefix/in.wav" synth 1 sine 440
"$prefix/bin/velmora-cli" "$prefix/in.wav" --save "$prefix/out.mp3" --save "$prefix/out.wma" || fail "velmora-cli could not save"
ffmpeg -v error -i "$prefix/out.mp3" -f null - || fail "the MP3 does not decode"
ffmpeg -v error -i "$prefix/out.wma" -f null - || fail "the WMA does not decode"
"$prefix/bin/velmora-cli" "$prefix/out.mp3" --info | grep -q '^SampleRate=8000' || fail "velmora-cli could not open its MP3"
echo "install-test: the installed programs work"
