# What the Windows tests' scripts share. They set work (a folder of their
# own), wine_run, dll_folders and plugin_folders before they source this.

# A record whose Nombre is the given text and whose other fields are spaces.
record() {
    printf '%s' "$1" | iconv -f UTF-8 -t CP1252 > "$work/nombre"
    cat "$work/nombre"
    printf "%$((255 - $(wc -c < "$work/nombre")))s" ''
}

# A Linux path as Windows programs under Wine name it.
windows_path() {
    printf 'Z:%s' "$1" | tr / '\\'
}

# Runs a Windows program under Wine on the offscreen platform (or the one
# that platform names), with the test plugin (tests/probe) reporting what its
# window shows.
probed() {
    QT_QPA_PLATFORM=${platform:-offscreen} QT_PLUGIN_PATH="$plugin_folders" QT_QPA_GENERIC_PLUGINS=ventoliaprobe \
        "$wine_run" "$dll_folders" "$@"
}

# Waits, up to half a minute, for a line that matches in a file.
await() {
    for _ in $(seq 300); do
        grep -q "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "no '$2' in $1:" >&2
    cat "$1" >&2
    return 1
}

# Starts a program that holds the file until its standard input, written
# through fd 8, ends. No other program may keep fd 8 open: each is started
# with it closed (Wine's server, started once, would keep it for good).
hold() {
    rm -f "$work/holder.in"
    mkfifo "$work/holder.in"
    "$@" < "$work/holder.in" > "$work/holder.out" &
    holder=$!
    exec 8> "$work/holder.in"
    await "$work/holder.out" '^held'
}
let_go() {
    exec 8>&-
    wait "$holder"
}
