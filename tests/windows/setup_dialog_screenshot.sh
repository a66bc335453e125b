#!/bin/sh
# Takes a picture of the setup dialog as Wine draws it on a virtual display: the x86_64 build's
# test host opens the dialog from Quorvane.dll, and ImageMagick's import grabs its window.
# Wine is told to draw the caption and frame itself, since no window manager runs on the display.
#
# Usage: setup_dialog_screenshot.sh X86_64_BUILD_FOLDER WORK_FOLDER OUTPUT.png
set -eu
build=$1
work=$2
output=$(realpath -m "$3")
here=$(dirname "$(realpath "$0")")

wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64)
export WINEPREFIX="$work/prefix"
mkdir -p "$WINEPREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null
"$wineserver" -w
# The caption's close box is a glyph of the Marlett font, which this Wine finds only in the prefix.
for font in /usr/share/wine/fonts/marlett.ttf; do
    [ -f "$font" ] && cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
done

host="$work/host"
rm -rf "$host"
mkdir -p "$host"
cp "$build/tests/windows/test_host.exe" "$build/standin/DVBCore.dll" "$build/host/Quorvane.dll" "$host/"
cd "$host"
# The dialog stays open for 20 s; the picture is taken once it has been drawn.
xvfb-run -a -s "-screen 0 1024x768x24" sh -c "
    '$wine' test_host.exe --show-setup 20000 &
    for attempt in \$(seq 1 60); do
        sleep 0.5
        if xwininfo -name 'Quorvane v1.0' >/dev/null 2>&1; then break; fi
    done
    sleep 2
    import -window 'Quorvane v1.0' '$output'
    wait
"
echo "$output"
