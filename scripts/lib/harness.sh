#!/usr/bin/env bash
# harness.sh: runs the Windows-side test programs under Wine, the way a person
# would meet PixGen: on a screen (a private Xvfb), inside a Wine virtual
# desktop, in a Wine prefix of the build tree's own.
#
# Commands (BUILD is a Windows build tree; all the harness keeps lies in
# BUILD/wine/). An x86_64 tree runs under the machine's wine64; an i686 tree
# (told apart by its PixGen.exe) runs inside the emulated 32-bit Wine of
# scripts/i686-env, on the same kind of Xvfb, with the build tree shared into
# its root at the same path:
#   harness.sh start BUILD [--anchor EXE]
#       Opens a session: Xvfb on a free display, the prefix (prepared on first
#       use), and the virtual desktop, held open by EXE (session_anchor.exe).
#       Its state goes to BUILD/wine/session.env. A live session is reused.
#   harness.sh stop BUILD
#       Ends the session of BUILD/wine/session.env: the prefix's Wine
#       processes (wineserver -k: the prefix is ours alone) and its Xvfb.
#   harness.sh run BUILD [--name NAME] [--timeout SECONDS] [--anchor EXE]
#                  [--file VAR=PATH ...] -- PROGRAM [ARG ...]
#       Runs one test program in the open session, or in a session of its own
#       that it opens and ends around the run when none is open. The program
#       runs in a fresh folder BUILD/wine/runs/NAME and gets, as Windows paths:
#         PIX_SCRATCH             that folder
#         PIX_EXE                 PATH of --file PIX_EXE=..., else BUILD/PixGen.exe
#         PIX_QUELVANO            else BUILD/Quelvano.dll
#         PIX_QUELVANO_RECORDING  else BUILD/recording/Quelvano.dll
#         VAR                     for every further --file VAR=PATH
#       A watchdog stops the program after SECONDS (default 180), with a
#       screenshot first. On failure the screen is kept in
#       BUILD/wine/shots/NAME*.png (with the program's own captures of the
#       moments its checks failed) and the paths are printed.
#       The exit code is the program's (77 with "SKIP: reason" when this
#       machine has no Wine or no Xvfb).
#   harness.sh prepare BUILD
#       Only prepares the prefix (needs no session).
#   harness.sh shot BUILD FILE.png
#       A screenshot of the open session.
#
# The prefix: `wineboot -i` with a display, Wine's Tahoma and Marlett in its
# Fonts folder, 96 DPI, the default desktop turned into a 1280x800 virtual desktop,
# no crash dialog, no offer to install Mono or Gecko. A stamp marks it ready;
# preparation is serialised with flock, so concurrent first use is safe.
# Only processes the harness started are ever stopped, by their ids.

set -euo pipefail

readonly SCREEN_SIZE=1280x800
readonly PREFIX_RECIPE='pixtest prefix 2: wineboot -i; tahoma, marlett; LogPixels 96; desktop Default 1280x800; no crash dialog'
readonly DEFAULT_TIMEOUT=180

say() { printf 'harness: %s\n' "$*" >&2; }
die() { say "error: $*"; exit 1; }
skip() { printf 'SKIP: %s\n' "$*"; exit 77; }
usage() {
    say "usage: harness.sh start|stop|prepare BUILD | run BUILD [options] -- PROGRAM [ARG ...] | shot BUILD FILE"
    exit 2
}

require_tools() {
    local tool
    for tool in wine wineserver Xvfb flock; do
        command -v "$tool" >/dev/null || skip "$tool is not installed (packages wine, wine64, xvfb, util-linux)"
    done
    if [[ $ARCH == i686 ]]; then
        local status
        status=$("$I686_ENV" status 2>&1) || skip "the emulated 32-bit Wine is not prepared (scripts/i686-env prepare): ${status%%$'\n'*}"
    fi
}

# --- Wine, native or emulated ------------------------------------------------

# The machine of BUILD/PixGen.exe: 14c is i686, 8664 x86_64.
pe_machine() {
    local pe
    pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' '
}

# Runs a Wine command ("wine", "wineserver", "wineboot") with the variables
# given before it as VAR=VALUE. The emulated Wine lives in its own root and
# sees only what it is handed.
wine_do() { (wine_exec "$@"); }

# The same in place of the calling shell, so that its process id is Wine's
# (the session's state names the anchor by it).
wine_exec() {
    local -a vars=()
    while [[ $# -gt 0 && $1 == *=* ]]; do vars+=("$1"); shift; done
    if [[ $ARCH == i686 ]]; then
        exec "$I686_ENV" run WINEPREFIX="$WINEPREFIX" WINEDEBUG="$WINEDEBUG" WINEDLLOVERRIDES="$WINEDLLOVERRIDES" \
            WINEARCH="$WINEARCH" DISPLAY="${DISPLAY:-}" "${vars[@]}" -- "$@"
    else
        exec env "${vars[@]}" "$@"
    fi
}

# --- paths -----------------------------------------------------------------------

set_paths() {
    [[ -d $1 ]] || die "no build tree at $1"
    BUILD=$(cd "$1" && pwd -P)
    WINE_DIR=$BUILD/wine
    PREFIX=$WINE_DIR/prefix
    PREFIX_STAMP=$WINE_DIR/prefix.ready
    STATE=$WINE_DIR/session.env
    PRIVATE_STATE=$WINE_DIR/session.private.env
    LOGS=$WINE_DIR/logs
    RUNS=$WINE_DIR/runs
    SHOTS=$WINE_DIR/shots
    ANCHOR=$BUILD/tests/wine/session_anchor.exe
    mkdir -p "$WINE_DIR" "$LOGS" "$RUNS" "$SHOTS"
    export WINEPREFIX=$PREFIX WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
    ARCH=x86_64
    export WINEARCH=win64
    if [[ -f $BUILD/PixGen.exe && $(pe_machine "$BUILD/PixGen.exe") == 014c ]]; then
        ARCH=i686
        export WINEARCH=win32
        I686_ENV=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/i686-env
        export PIXGEN_I386_SHARE=$BUILD
    fi
}

# Z: is Wine's drive for the Unix root.
windows_path() {
    local path
    path=$(realpath -m "$1")
    printf 'Z:%s' "${path//\//\\}"
}

# --- the prefix ----------------------------------------------------------------------

prefix_ready() {
    [[ -f $PREFIX_STAMP && $(head -n 1 "$PREFIX_STAMP") == "$PREFIX_RECIPE" ]]
}

# Needs DISPLAY: a prefix booted without one keeps a desktop process that
# has none, and later windows never appear.
prepare_prefix() {
    prefix_ready && return 0
    exec 8>"$WINE_DIR/prefix.lock"
    flock -w 600 8 || die "the prefix lock is held for more than 10 minutes"
    if ! prefix_ready; then
        local started=$SECONDS
        say "preparing the Wine prefix $PREFIX"
        rm -rf "$PREFIX"
        { wine_do wineboot -i && wine_do wineserver -w; } >"$LOGS/wineboot.log" 2>&1 8>&- 9>&- \
            || die "wineboot failed (log: $LOGS/wineboot.log)"
        local fonts=/usr/share/wine/fonts
        # Tahoma for the dialog font, Marlett for the glyphs of the caption
        # buttons; Wine does not find its own copies by itself.
        local font
        for font in tahoma.ttf tahomabd.ttf marlett.ttf; do
            [[ -f $fonts/$font ]] || die "Wine's $font is missing (package fonts-wine)"
            cp "$fonts/$font" "$PREFIX/drive_c/windows/Fonts/"
        done
        cat >"$WINE_DIR/prefix.reg" <<EOF
REGEDIT4

[HKEY_CURRENT_USER\\Control Panel\\Desktop]
"LogPixels"=dword:00000060

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"Default"="$SCREEN_SIZE"

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000
EOF
        { wine_do wine reg import "$(windows_path "$WINE_DIR/prefix.reg")" && wine_do wineserver -w; } \
            >>"$LOGS/wineboot.log" 2>&1 8>&- 9>&- || die "the prefix's settings failed (log: $LOGS/wineboot.log)"
        printf '%s\nprepared %s in %d s\n' "$PREFIX_RECIPE" "$(date -u +%FT%TZ)" $((SECONDS - started)) \
            >"$PREFIX_STAMP"
        say "prefix ready in $((SECONDS - started)) s"
    fi
    exec 8>&-
}

# --- sessions --------------------------------------------------------------------------

# Reads a state file into S_DISPLAY, S_XVFB, S_ANCHOR.
read_state() {
    S_DISPLAY='' S_XVFB='' S_ANCHOR=''
    [[ -f $1 ]] || return 1
    local key value
    while IFS='=' read -r key value; do
        case $key in
            DISPLAY) S_DISPLAY=$value ;;
            XVFB_PID) S_XVFB=$value ;;
            ANCHOR_PID) S_ANCHOR=$value ;;
        esac
    done <"$1"
    [[ -n $S_DISPLAY && -n $S_XVFB && -n $S_ANCHOR ]]
}

# True when the process PID still is the one we started (its command line
# names WHAT), not a stranger that got its number.
is_ours() {
    local pid=$1 what=$2
    [[ -n $pid && -r /proc/$pid/cmdline ]] && tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qF -- "$what"
}

session_alive() {
    read_state "$1" && is_ours "$S_XVFB" Xvfb && is_ours "$S_ANCHOR" session_anchor
}

wait_gone() {
    local pid=$1 tenths=$2
    while ((tenths-- > 0)); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}

stop_pid() {
    local pid=$1 what=$2
    is_ours "$pid" "$what" || return 0
    kill -TERM "$pid" 2>/dev/null || true
    wait_gone "$pid" 50 || { kill -KILL "$pid" 2>/dev/null || true; wait_gone "$pid" 20 || true; }
}

# Ends the session of a state file: every Wine process of the private prefix,
# then the Xvfb it started.
stop_session() {
    local state=$1
    read_state "$state" || { rm -f "$state"; return 0; }
    DISPLAY=$S_DISPLAY wine_do wineserver -k >/dev/null 2>&1 8>&- 9>&- || true
    stop_pid "$S_ANCHOR" session_anchor
    stop_pid "$S_XVFB" Xvfb
    rm -f "$state"
}

# Opens a session and writes its state file.
start_session() {
    local state=$1 started=$SECONDS
    [[ -f $ANCHOR ]] || die "no session anchor at $ANCHOR (build the tests first, or give --anchor)"
    start_display "$state"
    prepare_prefix

    # A wineserver of an earlier session that is still going down can make
    # the first program of the next one fail at once: one more try then.
    local try why
    for try in 1 2; do
        why=$(start_anchor "$state") && break
        say "the desktop did not open (try $try): $why"
        wine_do wineserver -k >/dev/null 2>&1 8>&- 9>&- || true
        sleep 1
    done
    [[ -z $why ]] || { stop_session "$state"; die "the desktop did not open: $why"; }
    say "session on display $DISPLAY ready in $((SECONDS - started)) s"
}

# Starts the anchor and waits for its "ready WIDTHxHEIGHT" line; on failure
# prints why and fails.
start_anchor() {
    local state=$1 anchor_log=$LOGS/anchor.log line
    : >"$anchor_log"
    (cd "$WINE_DIR" && wine_exec wine "$ANCHOR") </dev/null >"$anchor_log" 2>&1 8>&- 9>&- &
    local anchor=$!
    printf 'DISPLAY=%s\nXVFB_PID=%s\nANCHOR_PID=%s\n' "$DISPLAY" "$S_XVFB" "$anchor" >"$state"
    local tenths=900
    while ((tenths-- > 0)); do
        line=$(tr -d '\r' <"$anchor_log" | grep -m1 '^ready [0-9]*x[0-9]*$' || true)
        [[ -z $line ]] || break
        kill -0 "$anchor" 2>/dev/null || { echo "the anchor ended: $(head -c 200 "$anchor_log")"; return 1; }
        sleep 0.1
    done
    [[ $line == "ready $SCREEN_SIZE" ]] && return 0
    kill "$anchor" 2>/dev/null || true
    echo "the anchor said '${line:-nothing}' where 'ready $SCREEN_SIZE' was expected: $(head -c 200 "$anchor_log")"
    return 1
}

# The first half of a session: leftovers cleared, then a fresh Xvfb, whose
# display goes to DISPLAY and, with its id, to the state file. The caller
# holds the session lock, and no live session exists, so any Wine process of
# the prefix and any Xvfb of an earlier state file are leftovers of a run
# that was killed.
start_display() {
    local state=$1
    stop_session "$STATE"
    stop_session "$PRIVATE_STATE"
    wine_do wineserver -k >/dev/null 2>&1 8>&- 9>&- || true

    # Xvfb picks a free display itself and says which (no race with others
    # probing lock files).
    local display_file=$LOGS/xvfb.display
    : >"$display_file"
    Xvfb -displayfd 3 -screen 0 "${SCREEN_SIZE}x24" -nolisten tcp \
        3>"$display_file" </dev/null >"$LOGS/xvfb.log" 2>&1 8>&- 9>&- &
    local xvfb=$!
    local tenths=150
    while [[ ! -s $display_file ]] && ((tenths-- > 0)); do
        kill -0 "$xvfb" 2>/dev/null || die "Xvfb ended at once (log: $LOGS/xvfb.log)"
        sleep 0.1
    done
    [[ -s $display_file ]] || { kill "$xvfb" 2>/dev/null; die "Xvfb named no display (log: $LOGS/xvfb.log)"; }
    export DISPLAY=:$(tr -dc 0-9 <"$display_file")
    S_XVFB=$xvfb
    # Written now, so that a failure from here on is cleaned up by stop.
    printf 'DISPLAY=%s\nXVFB_PID=%s\nANCHOR_PID=%s\n' "$DISPLAY" "$xvfb" "-" >"$state"
}

take_session_lock() {
    exec 9>"$WINE_DIR/session.lock"
    flock -w 900 9 || die "another run has held $WINE_DIR/session.lock for 15 minutes"
}

drop_session_lock() { exec 9>&-; }

screenshot() {
    local file=$1
    command -v import >/dev/null || { say "no screenshot: imagemagick's import is not installed"; return 0; }
    if DISPLAY=$SESSION_DISPLAY import -window root "$file" 2>/dev/null; then
        say "screenshot: $file"
    else
        say "screenshot failed: $file"
    fi
}

# --- commands ------------------------------------------------------------------------

cmd_start() {
    set_paths "$1"
    shift
    while [[ $# -gt 0 ]]; do
        case $1 in
            --anchor) ANCHOR=$2; shift 2 ;;
            *) usage ;;
        esac
    done
    require_tools
    take_session_lock
    if session_alive "$STATE"; then
        say "session on display $S_DISPLAY is already open"
        return 0
    fi
    trap 'stop_session "$STATE"' EXIT
    start_session "$STATE"
    trap - EXIT
}

cmd_stop() {
    set_paths "$1"
    require_tools
    take_session_lock
    stop_session "$STATE"
}

cmd_prepare() {
    set_paths "$1"
    require_tools
    take_session_lock
    prefix_ready && return 0
    # wineboot needs a display; no session can be open on an unprepared prefix.
    trap 'stop_session "$PRIVATE_STATE"' EXIT
    start_display "$PRIVATE_STATE"
    prepare_prefix
}

cmd_shot() {
    set_paths "$1"
    [[ $# -eq 2 ]] || usage
    session_alive "$STATE" || die "no open session"
    SESSION_DISPLAY=$S_DISPLAY screenshot "$2"
}

TEST_PID=''
OWN_SESSION=0
cleanup_run() {
    if [[ -n $TEST_PID ]] && kill -0 "$TEST_PID" 2>/dev/null; then
        { kill -KILL "$TEST_PID"; wait "$TEST_PID"; } 2>/dev/null || true
    fi
    if [[ $OWN_SESSION == 1 ]]; then
        OWN_SESSION=0
        stop_session "$PRIVATE_STATE"
    fi
}

cmd_run() {
    set_paths "$1"
    shift
    local name='' timeout=$DEFAULT_TIMEOUT
    declare -A files=(
        [PIX_EXE]=$BUILD/PixGen.exe
        [PIX_QUELVANO]=$BUILD/Quelvano.dll
        [PIX_QUELVANO_RECORDING]=$BUILD/recording/Quelvano.dll
    )
    while [[ $# -gt 0 && $1 != -- ]]; do
        case $1 in
            --name) name=$2; shift 2 ;;
            --timeout) timeout=$2; shift 2 ;;
            --anchor) ANCHOR=$2; shift 2 ;;
            --file)
                [[ $2 == *=* ]] || usage
                files[${2%%=*}]=${2#*=}
                shift 2 ;;
            *) usage ;;
        esac
    done
    [[ $# -ge 2 && $1 == -- ]] || usage
    shift
    local program=$1
    shift
    [[ -f $program ]] || die "no test program at $program"
    program=$(realpath "$program")
    [[ -n $name ]] || name=$(basename "$program" .exe)${1:+.$1}
    [[ $name =~ ^[A-Za-z0-9._-]+$ ]] || die "--name may hold letters, digits, '.', '_' and '-' only"
    [[ $timeout =~ ^[0-9]+$ ]] || die "--timeout takes whole seconds"
    require_tools

    local var
    local -a environment=()
    for var in "${!files[@]}"; do
        [[ -e ${files[$var]} ]] || die "$var: no file at ${files[$var]}"
        environment+=("$var=$(windows_path "${files[$var]}")")
    done

    trap cleanup_run EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    take_session_lock
    if session_alive "$STATE"; then
        drop_session_lock
    else
        # Nobody opened a session: this run has one of its own, and keeps the
        # lock so that no other run opens one on the same prefix meanwhile.
        OWN_SESSION=1
        start_session "$PRIVATE_STATE"
        read_state "$PRIVATE_STATE"
    fi
    SESSION_DISPLAY=$S_DISPLAY

    local scratch=$RUNS/$name
    rm -rf "$scratch"
    mkdir -p "$scratch"
    rm -f "$SHOTS/$name".png "$SHOTS/$name"-*.png
    environment+=("PIX_SCRATCH=$(windows_path "$scratch")")

    local started=$SECONDS timed_out=0 rc=0
    (cd "$scratch" && DISPLAY=$SESSION_DISPLAY wine_exec "${environment[@]}" wine "$program" "$@") \
        </dev/null 8>&- 9>&- &
    TEST_PID=$!
    while kill -0 "$TEST_PID" 2>/dev/null; do
        if ((SECONDS - started >= timeout)); then
            say "$name is still running after $timeout s: stopping it"
            screenshot "$SHOTS/$name-timeout.png"
            # The processes it started are in a job that dies with it.
            kill -KILL "$TEST_PID" 2>/dev/null || true
            timed_out=1
            break
        fi
        sleep 0.2
    done
    # (Quietly: bash would announce the kill of a job on stderr.)
    { wait "$TEST_PID" || rc=$?; } 2>/dev/null
    TEST_PID=''
    ((timed_out == 0)) || rc=124

    if ((rc != 0 && rc != 77)); then
        screenshot "$SHOTS/$name.png"
        local bmp png
        for bmp in "$scratch"/failure-*.bmp; do
            [[ -f $bmp ]] || continue
            png=$SHOTS/$name-$(basename "$bmp" .bmp).png
            if command -v convert >/dev/null && convert "$bmp" "$png" 2>/dev/null; then
                say "screenshot at a failed check: $png"
            else
                say "screenshot at a failed check: $bmp"
            fi
        done
    fi
    say "$name: exit code $rc after $((SECONDS - started)) s"
    return "$rc"
}

main() {
    [[ $# -ge 2 ]] || usage
    local command=$1
    shift
    case $command in
        start) cmd_start "$@" ;;
        stop) cmd_stop "$@" ;;
        prepare) cmd_prepare "$@" ;;
        run) cmd_run "$@" ;;
        shot) cmd_shot "$@" ;;
        *) usage ;;
    esac
}

main "$@"
