# Sourced with $build set to the build tree: a Wine prefix of our own inside the build tree, never the user's
# ~/.wine, created on first use. Mono and Gecko are switched off so that creating it never
# stops at an installer dialog.
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating the Wine prefix in $WINEPREFIX (first start takes a while)"
    # The first start grumbles about rundll32.exe; that is harmless, so it is kept quiet.
    if ! { wineboot -i && wineserver -w; } > "$build/wineboot.log" 2>&1; then
        echo "wine: wineboot failed, see $build/wineboot.log" >&2
        exit 1
    fi
fi
