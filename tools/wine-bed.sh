#!/usr/bin/env bash
# The Wine test bed of one build tree: a fresh prefix without the Z: drive,
# an Xvfb display and a persistent wineserver.
#
#   wine-bed.sh up   BED_DIR DIR...   fresh prefix; DIRs become drives P:, T:, ...
#   wine-bed.sh down BED_DIR          ends the bed's wineserver and Xvfb
# WINE_BED_DISPLAY=:N makes `up` use that display instead of a new Xvfb;
# WINE_BED_DESKTOP=WxH puts the programs in a Wine desktop of that size.
#
# Nothing inside the prefix can reach the host's files: the only drives are
# C: (the prefix itself) and the given build directories.
set -euo pipefail

cmd=${1:?usage: wine-bed.sh up|down BED_DIR [DIR...]}
bed=${2:?usage: wine-bed.sh up|down BED_DIR [DIR...]}
bed=$(realpath -m "$bed")
shift 2
prefix="$bed/prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEARCH=win64
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
# No Mono or Gecko download prompts in a sandbox without network.
export WINEDLLOVERRIDES="mscoree,mshtml="

down() {
    if [ -d "$prefix" ]; then
        WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    fi
    if [ -f "$bed/xvfb.pid" ]; then
        kill "$(cat "$bed/xvfb.pid")" 2>/dev/null || true
        rm -f "$bed/xvfb.pid"
    fi
    rm -f "$bed/display"
}

# Refuses to go on when any drive of the prefix maps the host's root.
check_sandbox() {
    local link target
    for link in "$prefix"/dosdevices/*; do
        [ -L "$link" ] || continue
        case "$(basename "$link")" in *::) continue ;; esac
        target=$(readlink -f "$link")
        if [ "$target" = "/" ] || [ "$(basename "$link")" = "z:" ]; then
            echo "wine-bed: $link maps $target; refusing to run" >&2
            return 1
        fi
    done
}

start_display() {
    # The demo may use the user's own display instead.
    if [ -n "${WINE_BED_DISPLAY:-}" ]; then
        echo "$WINE_BED_DISPLAY" >"$bed/display"
        return
    fi
    local fifo="$bed/displayfd"
    rm -f "$fifo"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" </dev/null >/dev/null 2>&1 &
    echo $! >"$bed/xvfb.pid"
    local number
    read -r -t 20 number <"$fifo"
    rm -f "$fifo"
    [ -n "$number" ] || { echo "wine-bed: Xvfb did not start" >&2; return 1; }
    echo ":$number" >"$bed/display"
}

# WINE_BED_DESKTOP=WxH runs the programs in a Wine desktop window of that
# size, which draws the windows' captions even without a window manager.
desktop_entries() {
    [ -n "${WINE_BED_DESKTOP:-}" ] || return 0
    printf '%s\n' '' '[HKEY_CURRENT_USER\Software\Wine\Explorer]' '"Desktop"="Default"' \
        '' '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' "\"Default\"=\"$WINE_BED_DESKTOP\""
}

up() {
    down
    rm -rf "$prefix"
    mkdir -p "$bed"
    start_display
    export DISPLAY
    DISPLAY=$(cat "$bed/display")

    wineboot -i >/dev/null 2>&1
    wineserver -w
    rm -f "$prefix/dosdevices/z:"

    # Build directories as drives, in order: P:, T:, ...
    local letters=(p t u v w) i=0 dir
    for dir in "$@"; do
        mkdir -p "$dir"
        ln -sfn "$(readlink -f "$dir")" "$prefix/dosdevices/${letters[$i]}:"
        i=$((i + 1))
    done
    check_sandbox

    # The dialogs ask for "ＭＳ Ｐゴシック"; the bed has the IPA fonts instead.
    # Xvfb has no window manager: Wine would wait 2 s for one on every
    # hidden top-level window unless its windows are unmanaged.
    local reg="$bed/fonts.reg"
    {
        printf '%s\n' 'Windows Registry Editor Version 5.00' '' \
            '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
            '"ＭＳ Ｐゴシック"="IPAPGothic"' '"ＭＳ ゴシック"="IPAGothic"' \
            '"MS UI Gothic"="IPAPGothic"' '"MS Shell Dlg"="IPAPGothic"' \
            '' '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"'
        desktop_entries
    } | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg"
    cp "$reg" "$prefix/drive_c/windows/temp/fonts.reg"
    wine regedit /S 'C:\windows\temp\fonts.reg' >/dev/null 2>&1
    wineserver -w

    # Wine draws the caption buttons with Marlett, but finds its own copy
    # (from fonts-wine) only in the prefix's Fonts folder: without it every
    # title bar shows "0 1 r".
    cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/"

    # Wine makes no junction or symbolic link itself (CreateSymbolicLinkA
    # answers TRUE and creates nothing) but reports a link of the prefix's
    # own file system as a reparse point: the file tests need one that leads
    # out of the tree it lies in, to C:\bed-links\outside.
    mkdir -p "$prefix/drive_c/bed-links/tree" "$prefix/drive_c/bed-links/outside"
    ln -sfn ../outside "$prefix/drive_c/bed-links/tree/away"

    # One server for the whole run keeps each test start fast.
    wineserver -p </dev/null >/dev/null 2>&1
    echo "wine-bed: prefix $prefix on display $DISPLAY"
}

case "$cmd" in
up) up "$@" ;;
down) down ;;
*) echo "usage: wine-bed.sh up|down BED_DIR [DIR...]" >&2; exit 2 ;;
esac
