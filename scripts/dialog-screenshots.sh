#!/bin/sh
# Screenshots of the editor's dialogs in every shipped language, as a user
# sees them under a window manager: the file dialog, the open progress,
# the edit progress, Volume, About and a question box.  For checking by
# eye that no text is cut and that Qt's own texts follow the language.
#
# Usage: scripts/dialog-screenshots.sh [OUTPUT-FOLDER]   (needs a built
# build/, xvfb-run, openbox, xdotool, ImageMagick, sox and lame; writes a
# one-hour MP3 to the temporary folder)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$PWD/dialog-screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Long enough that the progress dialogs stay up to be photographed (a WAV
# is copied too fast).
sox -n -r 44100 -c 2 -b 16 "$work/hour.wav" synth 3600 sine 440 vol 0.5
lame --quiet -b 128 "$work/hour.wav" "$work/hour.mp3"
rm "$work/hour.wav"

# language file, then the keys that open its Edit and Help menus
languages="English.ini:e:h German.ini:b:h French.ini:Eacute:a Spanish.ini:e:y Russian.ini:Cyrillic_pe:Cyrillic_es
Japanese.ini:e:h ChineseGB.ini:e:h ChineseBig5.ini:e:h"

cat >"$work/session.sh" <<'SESSION'
#!/bin/sh
# Inside xvfb-run: one language's dialogs.
set -u
language=$1 edit=$2 help=$3 wav=$4 out=$5 program=$6
name=${language%.ini}
shot() { sleep 0.4; import -window root "$out/$name-$1.png"; }
# Waits until a window other than the main one is up, then photographs it.
shot_dialog() {
    for _ in $(seq 200); do
        count=$(xdotool search --onlyvisible --class velmora 2>/dev/null | wc -l)
        # (a moment to paint: the body starts as soon as it is up)
        [ "$count" -gt 1 ] && { sleep 0.3; import -window root "$out/$name-$1.png"; return; }
        sleep 0.05
    done
}
openbox >/dev/null 2>&1 &
sleep 1
SDL_AUDIODRIVER=dummy "$program/velmora" >/dev/null 2>&1 &
editor=$!
for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name "^Velmora Audio Editor$" | head -1) && [ -n "$window" ] && break
    sleep 0.1
done
xdotool windowactivate --sync "$window"
sleep 0.5
xdotool key ctrl+o
shot file-dialog
xdotool type --delay 5 "$wav"
xdotool key Return
sleep 0.3  # the file dialog gone
shot_dialog open-progress
sleep 6
xdotool windowactivate --sync "$window"
xdotool key "alt+$edit" && sleep 0.3 && xdotool key Down Down Down Down Down Return
shot_dialog process-progress
sleep 8
xdotool key "alt+$edit" && sleep 0.3 && xdotool key Down Down Down Down Return
shot volume
xdotool key Escape
sleep 0.3
xdotool key "alt+$help" && sleep 0.3 && xdotool key Down Down Return
shot about
xdotool key Escape
sleep 0.3
xdotool key ctrl+w
shot question
xdotool key Escape
sleep 0.3
kill "$editor"
SESSION
chmod +x "$work/session.sh"

for entry in $languages; do
    language=${entry%%:*}
    keys=${entry#*:}
    # A program folder of its own for each language: the choice lives in its
    # Kelvane.ini.
    program="$work/program"
    rm -rf "$program"
    cp -r "$here/build/bin" "$program"
    printf '[General]\nLanguage=%s\n' "$language" >"$program/Kelvane.ini"
    TMPDIR="$work" xvfb-run -a -s "-screen 0 1024x768x24" \
        "$work/session.sh" "$language" "${keys%%:*}" "${keys#*:}" "$work/hour.mp3" "$out" "$program" >/dev/null 2>&1 || true
    echo "$language: $(ls "$out" | grep -c "^${language%.ini}-") screenshots"
done
