# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the Windows checks (scripts/check-windows, e2e/windows/*.sh)
# and bench/windows-startup.sh: Debian's Wine, kept apart from the user's.
#
#   wine_check          fails with the name of a file missing from Debian's Wine
#   wine_use DIR        Wine's prefix in DIR/prefix, and a HOME and XDG folders
#                       of its own in DIR/home (winemenubuilder writes menu
#                       entries into HOME, Mesa a cache into XDG_CACHE_HOME)
#   wine_boot           makes the prefix when missing (about 15 s) with fonts
#                       that have every letter and windows that no window
#                       manager handles, and starts its server
#   wine_stop           ends the prefix's programs and server
#   windows_path PATH   the Linux path as Wine's Windows programs name it (Z:)
#   wine ...            runs a Windows program
#
# The X display Wine draws on is started by testsupport/xdisplay.sh
# (xvfb_start), as every display of the project's scripts is.

WINE_LOADER=/usr/lib/wine/wine64
WINE_SERVER=/usr/lib/wine/wineserver

wine_check() {
    # The loader, the server, and the Windows and Unix halves of Wine's core:
    # with one missing, Wine fails on a path it does not name.
    for f in "$WINE_LOADER" "$WINE_SERVER" /usr/lib/wine/wineserver64 \
             /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/ntdll.dll \
             /usr/lib/x86_64-linux-gnu/wine/x86_64-unix/ntdll.so \
             /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/wineboot.exe \
             /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/msiexec.exe; do
        if [ ! -e "$f" ]; then
            echo "cifrelle: Wine is incomplete: $f is missing (reinstall Debian's wine64," \
                 "libwine and wine: scripts/setup --windows)" >&2
            return 1
        fi
    done
}

wine_use() {
    mkdir -p "$1"
    WINEPREFIX="$(cd "$1" && pwd)/prefix"
    HOME="$(cd "$1" && pwd)/home"
    XDG_CONFIG_HOME="$HOME/.config"
    XDG_DATA_HOME="$HOME/.local/share"
    XDG_CACHE_HOME="$HOME/.cache"
    # No debug chatter, no offer to install Wine's .NET and HTML engines,
    # no menu entries written for the Linux desktop.
    WINEDEBUG=-all
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    export WINEPREFIX HOME XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME WINEDEBUG WINEDLLOVERRIDES
    mkdir -p "$HOME"
}

wine() {
    "$WINE_LOADER" "$@"
}

wine_stop() {
    "$WINE_SERVER" -k </dev/null >/dev/null 2>&1 || true
    "$WINE_SERVER" -w </dev/null >/dev/null 2>&1 || true
}

wine_boot() {
    wine_stop # one left over from an interrupted run
    fresh=0
    [ -f "$WINEPREFIX/system.reg" ] || fresh=1
    mkdir -p "$WINEPREFIX"
    # The server and the prefix's services start detached from every
    # standard stream: otherwise they hold a caller's output pipe open (and
    # CTest waits for them).
    "$WINE_SERVER" -p </dev/null >/dev/null 2>&1
    wine wineboot -i </dev/null >/dev/null 2>&1
    wine_desktop
    [ $fresh -eq 0 ] || wine_settings
}

# Starts the desktop's process, which the first program with a window would
# start otherwise, detached like the services. Wine ends it soon after the
# last program with a window, and starting it again then takes 3 to 10 s
# (its RPC service fails to restart and Wine waits): call this after a pause
# before timing a program's start.
wine_desktop() {
    wine rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1
}

# A bare prefix has no font with letters: Debian's Wine looks for its own
# fonts (fonts-wine) where Debian does not put them. They go into the
# prefix's font folder, and Windows' usual faces are drawn with the
# Liberation faces (fonts-liberation), which have their metrics.
# No window manager runs on the display: Wine places its windows itself
# (otherwise hiding a window waits 2 s for a window manager to let it go).
wine_settings() {
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
    reg="$WINEPREFIX/drive_c/cifrelle-settings.reg"
    printf '%s\r\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
        '"Arial"="Liberation Sans"' '"Microsoft Sans Serif"="Liberation Sans"' \
        '"MS Sans Serif"="Liberation Sans"' '"Times New Roman"="Liberation Serif"' \
        '"Courier New"="Liberation Mono"' '' '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' \
        '"Managed"="N"' >"$reg"
    wine regedit /S 'C:\cifrelle-settings.reg' </dev/null >/dev/null 2>&1
    rm -f "$reg"
}

windows_path() {
    printf 'Z:%s' "$1" | tr / '\\'
}
