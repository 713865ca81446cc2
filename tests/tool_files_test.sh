#!/usr/bin/env bash
# How both tools treat the files they are given, tried as a careless or hostile user would:
# links, FIFOs, devices, standard input and output, permissions, interrupts, and a comparison
# that must never touch its reference. Everything happens in a temporary folder; devices are
# made there, and only when running as root.
#
#   tests/tool_files_test.sh PATH/TO/quillon-image PATH/TO/quillon-capture ASSETS
set -u

(($# == 3)) || { echo "usage: tool_files_test.sh IMAGE-TOOL CAPTURE-TOOL ASSETS" >&2; exit 2; }
image=$(realpath "$1")
capture=$(realpath "$2")
assets=$(realpath "$3")
source "$(dirname "$0")/script_checks.sh"

source "$(dirname "$0")/bmp_sample.sh"

# Names, kinds, sizes and permissions of everything in a folder.
listing() { find "$1" -mindepth 1 -printf '%P %y %s %m %l\n' | sort; }

mkdir "$work/d"
bmp "$work/in.bmp" 5 4 24
"$image" invert "$work/in.bmp" "$work/expected.bmp" || fail "the plain invert fails"

# Both ways of making the temporary: a nameless file, and a named one where that is missing.
for mode in nameless named; do
    if [[ $mode == named ]]; then
        export QUILLON_NO_NAMELESS_FILES=1
    fi
    d=$work/d
    rm -rf "${d:?}"/*

    # A link planted where the tool once put its temporary, at OUTPUT.partial-PID.
    echo victim > "$work/victim"
    (
        ln -s "$work/victim" "$d/out.bmp.partial-$BASHPID"
        exec "$image" invert "$work/in.bmp" "$d/out.bmp"
    )
    [[ $(cat "$work/victim") == victim ]] || fail "$mode: a planted link wrote over its target"
    rm -f "$d"/out.bmp*

    # A link is written through: the file it names is replaced, the link stays.
    echo old > "$d/target.bmp"
    ln -s target.bmp "$d/link.bmp"
    "$image" invert "$work/in.bmp" "$d/link.bmp" || fail "$mode: writing through a link fails"
    [[ -L $d/link.bmp ]] || fail "$mode: the link was replaced"
    cmp -s "$d/target.bmp" "$work/expected.bmp" || fail "$mode: the link's target is not the output"
    ln -s made.bmp "$d/dangling.bmp"
    "$image" invert "$work/in.bmp" "$d/dangling.bmp"
    [[ -L $d/dangling.bmp ]] && cmp -s "$d/made.bmp" "$work/expected.bmp" ||
        fail "$mode: a dangling link does not lead to a new file"

    # An existing output keeps its permission bits; a new one gets the umask's.
    printf old > "$d/private.bmp"
    chmod 600 "$d/private.bmp"
    "$image" invert "$work/in.bmp" "$d/private.bmp"
    [[ $(stat -c %a "$d/private.bmp") == 600 ]] || fail "$mode: a 0600 output changed permissions"
    (umask 027 && "$image" invert "$work/in.bmp" "$d/new.bmp")
    [[ $(stat -c %a "$d/new.bmp") == 640 ]] || fail "$mode: a new output ignores the umask"

    # An output name at the system's limit of a name's length, new and replaced.
    long=$d/$(printf 'x%.0s' {1..251}).bmp
    "$image" invert "$work/in.bmp" "$long" 2> "$work/err" || fail "$mode: a new 255-byte name: $(cat "$work/err")"
    "$image" invert "$work/in.bmp" "$long" 2> "$work/err" || fail "$mode: a 255-byte name replaced: $(cat "$work/err")"
    rm -f "$long"

    # Written whole or not at all: nothing is left but the outputs.
    [[ -z $(find "$d" -name '.quillon-*' -o -name '*partial*') ]] ||
        fail "$mode: a temporary was left behind: $(ls -A "$d")"
done
unset QUILLON_NO_NAMELESS_FILES
rm -rf "$work"/d/*

# A FIFO is written directly and stays a FIFO; "-" is standard output.
mkfifo "$work/d/fifo"
cat "$work/d/fifo" > "$work/from-fifo" &
reader=$!
"$image" invert "$work/in.bmp" "$work/d/fifo" || fail "writing into a FIFO fails"
wait $reader
[[ -p $work/d/fifo ]] || fail "the FIFO was replaced"
cmp -s "$work/from-fifo" "$work/expected.bmp" || fail "the FIFO did not carry the output"
"$image" invert "$work/in.bmp" - > "$work/from-stdout" || fail "writing to - fails"
cmp -s "$work/from-stdout" "$work/expected.bmp" || fail "- does not carry the output"

# The kernel's names for a pipe or a socket (/dev/stdout, a shell's >(...), /dev/fd/N) lead to
# no file: the output is written into what they hold.
"$image" invert "$work/in.bmp" /dev/stdout | cat > "$work/d/piped.bmp"
((PIPESTATUS[0] == 0)) && cmp -s "$work/d/piped.bmp" "$work/expected.bmp" ||
    fail "/dev/stdout, a pipe, does not carry the output"
"$image" invert "$work/in.bmp" >(cat > "$work/d/substituted.bmp") || fail "writing into >(...) fails"
wait $!
cmp -s "$work/d/substituted.bmp" "$work/expected.bmp" || fail ">(...) does not carry the output"
if command -v python3 > /dev/null; then
    python3 - "$image" invert "$work/in.bmp" /dev/stdout > "$work/d/socket.bmp" << 'EOF_PY'
import socket, subprocess, sys
ours, theirs = socket.socketpair()
tool = subprocess.Popen(sys.argv[1:], stdout=theirs)
theirs.close()
while chunk := ours.recv(1 << 16):
    sys.stdout.buffer.write(chunk)
sys.exit(tool.wait())
EOF_PY
    (($? == 0)) && cmp -s "$work/d/socket.bmp" "$work/expected.bmp" ||
        fail "/dev/stdout, a socket, does not carry the output"
fi
[[ -z $(find "$work/d" -name '.quillon-*') ]] || fail "a temporary was left: $(ls -A "$work/d")"

# Inputs: "-", a pipe and a FIFO are read whole; a folder is refused with the reason.
"$image" invert - "$work/d/a.bmp" < "$work/in.bmp" && cmp -s "$work/d/a.bmp" "$work/expected.bmp" ||
    fail "- as input is not read"
cat "$work/in.bmp" | "$image" invert - "$work/d/b.bmp" && cmp -s "$work/d/b.bmp" "$work/expected.bmp" ||
    fail "a pipe as input is not read"
cat "$work/in.bmp" > "$work/d/fifo" &
"$image" invert "$work/d/fifo" "$work/d/c.bmp" && cmp -s "$work/d/c.bmp" "$work/expected.bmp" ||
    fail "a FIFO as input is not read"
wait
"$image" invert "$work/d" "$work/d/e.bmp" 2> "$work/err"
(($? == 2)) && grep -q "Is a directory" "$work/err" && [[ ! -e $work/d/e.bmp ]] ||
    fail "a folder as input is not refused with the reason: $(cat "$work/err")"
"$image" invert "$work/in.bmp" "$work/d" 2> "$work/err"
(($? == 2)) && grep -q "Is a directory" "$work/err" ||
    fail "a folder as output is not refused with the reason: $(cat "$work/err")"

# Devices, made here and only as root: written directly as output, refused as input.
if (($(id -u) == 0)); then
    mknod "$work/d/null" c 1 3
    "$image" invert "$work/in.bmp" "$work/d/null" || fail "writing into a device fails"
    [[ -c $work/d/null ]] || fail "the device was replaced"
    "$image" invert "$work/d/null" "$work/d/f.bmp" 2> "$work/err"
    (($? == 2)) && grep -q "is a device" "$work/err" && [[ ! -e $work/d/f.bmp ]] ||
        fail "a device as input is not refused: $(cat "$work/err")"
    # A device that is always full: the failure says why.
    mknod "$work/d/full" c 1 7
    "$image" invert "$work/in.bmp" "$work/d/full" 2> "$work/err"
    (($? == 2)) && grep -q "cannot write '$work/d/full': No space left on device" "$work/err" ||
        fail "a full device does not say why: $(cat "$work/err")"
    "$capture" --frames 1 --assets "$assets" --out "$work/d/null" || fail "capture into a device fails"
    [[ -c $work/d/null ]] || fail "the capture replaced the device"
else
    echo "skipped: the device cases need root to make a device node"
fi

# Permissions, as nobody, since root may write anything. A read-only output, and a new file in a
# folder without write permission, are refused with the system's reason. A file the user may
# write is written, as cp writes it, even where its folder lets no temporary be made (the user's
# own read-only folder, root's folder) or put in its place (root's file in a sticky folder): in
# place, keeping its owner and permissions, and leaving nothing else.
as_user=()
if (($(id -u) != 0)); then
    as_user=(env)
elif command -v setpriv > /dev/null; then
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
elif command -v runuser > /dev/null; then
    as_user=(runuser -u nobody --)
fi
if ((${#as_user[@]} > 0)); then
    mkdir "$work/user" "$work/user/locked"
    chmod 755 "$work"
    printf keep > "$work/user/readonly.bmp"
    printf keep > "$work/user/locked/out.bmp"
    cp "$work/in.bmp" "$work/user/in.bmp"
    chown -R "$("${as_user[@]}" id -u)" "$work/user" 2> /dev/null
    chmod 444 "$work/user/readonly.bmp"
    chmod 644 "$work/user/locked/out.bmp"
    chmod 555 "$work/user/locked"
    for out in readonly.bmp locked/new.bmp; do
        "${as_user[@]}" "$image" invert "$work/user/in.bmp" "$work/user/$out" 2> "$work/err"
        (($? == 2)) && grep -q "cannot write '$work/user/$out': Permission denied" "$work/err" ||
            fail "$out is not refused with the reason: $(cat "$work/err")"
    done
    [[ $(cat "$work/user/readonly.bmp") == keep ]] || fail "the read-only output was changed"
    [[ $(stat -c %a "$work/user/readonly.bmp") == 444 ]] || fail "the read-only output changed"
    writable=(user/locked/out.bmp)
    if (($(id -u) == 0)); then
        mkdir "$work/rootdir" "$work/sticky"
        chmod 755 "$work/rootdir"
        chmod 1777 "$work/sticky"
        printf keep > "$work/rootdir/out.bmp"
        printf keep > "$work/sticky/out.bmp"
        chmod 666 "$work/rootdir/out.bmp" "$work/sticky/out.bmp"
        writable+=(rootdir/out.bmp sticky/out.bmp)
    fi
    for out in "${writable[@]}"; do
        owner=$(stat -c %u:%a "$work/$out")
        "${as_user[@]}" "$image" invert "$work/user/in.bmp" "$work/$out" 2> "$work/err" ||
            fail "$out, writable in a folder that is not, is refused: $(cat "$work/err")"
        cmp -s "$work/$out" "$work/expected.bmp" || fail "$out was not written"
        [[ $(stat -c %u:%a "$work/$out") == "$owner" ]] || fail "$out changed owner or permissions"
        [[ $(ls -A "$(dirname "$work/$out")") == out.bmp ]] ||
            fail "something was left beside $out: $(ls -A "$(dirname "$work/$out")")"
    done
    chmod 755 "$work/user/locked"
else
    echo "skipped: the permission cases need an unprivileged user (setpriv or runuser)"
fi

# INT, TERM and HUP leave the folder exactly as it was: during the operation, and while the
# output is being written (caught with the temporary open, and frozen there while signalled).
mkdir "$work/big"
"$image" resample 4096 4096 "$work/in.bmp" "$work/big.bmp" || fail "cannot make the big picture"
before=$(listing "$work/big")

# temporary_open PID: whether the process has a file of the big folder open: the output's
# temporary, since the input lies outside.
temporary_open() {
    ls -l "/proc/$1/fd" 2> /dev/null | grep -q "$work/big/"
}

# interrupt SIGNAL WHEN OPERATION...: starts the tool on the big picture and signals it.
interrupt() {
    local signal=$1 when=$2
    shift 2
    # A background job ignores SIGINT unless told otherwise.
    env --default-signal=INT "$image" "$@" "$work/big.bmp" "$work/big/out.bmp" 2> /dev/null &
    local pid=$! tries=0
    if [[ $when == during-write ]]; then
        while ! temporary_open $pid && ((tries++ < 20000)) && kill -0 $pid 2> /dev/null; do :; done
        kill -STOP $pid
        # On a busy machine the tool may have put the finished file in place before it froze:
        # then there is nothing left to interrupt.
        if [[ -e $work/big/out.bmp ]] || ! temporary_open $pid; then
            echo "note: the write was over before $signal ($*); the interrupt went untried"
            kill -CONT $pid
            wait $pid 2> /dev/null
            rm -f "$work/big/out.bmp"
            return
        fi
    else
        sleep 0.3
    fi
    kill -s "$signal" $pid
    kill -CONT $pid 2> /dev/null
    wait $pid 2> /dev/null
    local status=$?
    local expected=$((128 + $(kill -l "$signal")))
    if ((status == 0)); then
        echo "note: the tool finished before $signal ($when); the interrupt went untried"
        rm -f "$work/big/out.bmp"
        return
    fi
    ((status == expected)) || fail "$signal $when ($*): exit status $status, not $expected"
    [[ $(listing "$work/big") == "$before" ]] ||
        fail "$signal $when ($*): the folder changed: $(ls -A "$work/big")"
}
for signal in INT TERM HUP; do
    interrupt $signal during-operation rotate 30
    interrupt $signal during-write invert
    QUILLON_NO_NAMELESS_FILES=1 interrupt $signal during-write invert
done
# Not even SIGKILL leaves anything of a file with no name.
interrupt KILL during-write invert

# A file written in place (its folder lets no temporary be made) is whole when a signal comes
# during the write: caught with the file open, the tool finishes it and then dies of the signal.
# The old file is twice the new one, so that a write stopped before the file is trimmed shows.
if ((${#as_user[@]} > 0)); then
    mkdir "$work/inplace"
    "$image" invert "$work/big.bmp" "$work/big-inverted.bmp" || fail "cannot invert the big picture"
    cat "$work/big.bmp" "$work/big.bmp" > "$work/inplace/out.bmp"
    chmod 666 "$work/inplace/out.bmp"
    chmod 555 "$work/inplace"
    writing_in_place() {
        ls -l "/proc/$1/fd" 2> /dev/null | grep -q "$work/inplace/out.bmp"
    }
    for signal in INT TERM HUP; do
        cat "$work/big.bmp" "$work/big.bmp" > "$work/inplace/out.bmp"
        "${as_user[@]}" env --default-signal=INT \
            "$image" invert "$work/big.bmp" "$work/inplace/out.bmp" 2> /dev/null &
        pid=$! tries=0
        while ! writing_in_place $pid && ((tries++ < 20000)) && kill -0 $pid 2> /dev/null; do :; done
        kill -STOP $pid 2> /dev/null
        if ! writing_in_place $pid; then
            echo "note: the in-place write was not caught open; $signal went untried"
            kill -CONT $pid 2> /dev/null
            wait $pid 2> /dev/null
            continue
        fi
        kill -s $signal $pid
        kill -CONT $pid
        wait $pid 2> /dev/null
        status=$?
        ((status == 128 + $(kill -l $signal))) || fail "$signal in place: exit status $status"
        cmp -s "$work/inplace/out.bmp" "$work/big-inverted.bmp" ||
            fail "$signal in place: the file is not the whole picture"
        [[ $(ls -A "$work/inplace") == out.bmp ]] || fail "$signal in place: something was left"
    done
    chmod 755 "$work/inplace"
fi

# The capture tool: never writes over its reference, refuses what cannot be meant.
c=$work/c
mkdir "$c" "$c/series"
"$capture" --frames 2 --assets "$assets" --out "$c/ref.bmp" > /dev/null || fail "the capture fails"
cp "$c/ref.bmp" "$c/ref.orig"
ln -s ref.bmp "$c/ref-link.bmp"
ln "$c/ref.bmp" "$c/ref-hard.bmp"
cp "$c/ref.bmp" "$c/series/frame-00001.bmp"
# never_over REFERENCE OPTIONS...: refused with exit 2, the reference intact, nothing written.
never_over() {
    local reference=$1
    shift
    local listed
    listed=$(listing "$c")
    "$capture" --frames 2 --assets "$assets" "$@" --compare "$reference" > /dev/null 2> "$work/err"
    local status=$?
    ((status == 2)) && grep -q "reference" "$work/err" ||
        fail "--compare $reference with $*: status $status ($(cat "$work/err"))"
    cmp -s "$reference" "$c/ref.orig" || fail "--compare $reference with $*: the reference changed"
    [[ $(listing "$c") == "$listed" ]] || fail "--compare $reference with $*: something was written"
}
never_over "$c/ref.bmp" --out "$c/ref.bmp"
never_over "$c/ref.bmp" --out "$c/ref-link.bmp"
never_over "$c/ref.bmp" --out "$c/ref-hard.bmp"
never_over "$c/ref-link.bmp" --out "$c/ref.bmp"
never_over "$c/series/frame-00001.bmp" --out "$c/new.bmp" --every 1 "$c/series"
cp "$c/ref.bmp" "$c/ref.diff.bmp"
never_over "$c/ref.diff.bmp" --out "$c/ref.bmp"
rm "$c/ref.diff.bmp"
"$capture" --frames 2 --assets "$assets" --out "$c/same.bmp" --compare "$c/ref.bmp" > /dev/null ||
    fail "a capture of the same frames differs from its reference"
"$capture" --frames 2 --assets "$assets" --out - --compare "$c/ref.bmp" 2> /dev/null |
    cmp -s - "$c/ref.bmp" || fail "the capture does not write its frame to -"

# refused MESSAGE OPTIONS...: exit 2 with MESSAGE, and nothing written.
refused() {
    local message=$1
    shift
    (cd "$c" && "$capture" --assets "$assets" "$@" > /dev/null 2> "$work/err")
    local status=$?
    ((status == 2)) && grep -q -- "$message" "$work/err" ||
        fail "$*: status $status, message '$(cat "$work/err")'"
    [[ ! -e $c/capture.bmp ]] || fail "$*: a frame was written"
}
refused "--every needs a folder name" --frames 2 --every 1 ""
refused "after the last frame" --frames 10 --at 10 key:F
refused "after the last frame" --frames 10 --at 9 key:F --at 200 close
"$capture" --frames 2 --assets "$assets" --every 1 "$c/series" --out "$c/last.bmp" ||
    fail "a series fails"
[[ -f $c/series/frame-00000.bmp && -f $c/series/frame-00001.bmp ]] || fail "the series is missing"

# The capture's frame, series and difference picture go into pipes named by /dev paths, and
# the verdict keeps out of the picture.
p=$work/p
mkdir "$p" "$p/series"
"$image" invert "$c/ref.bmp" "$p/other.bmp" || fail "cannot make a reference that differs"
"$capture" --frames 2 --assets "$assets" --out /dev/stdout --compare "$c/ref.bmp" 2> /dev/null |
    cat > "$p/piped.bmp"
((PIPESTATUS[0] == 0)) && cmp -s "$p/piped.bmp" "$c/ref.bmp" ||
    fail "the capture does not write its frame alone into /dev/stdout"
ln -s /dev/stdout "$p/series/frame-00001.bmp"
"$capture" --frames 2 --assets "$assets" --every 1 "$p/series" --out "$p/last.bmp" |
    cat > "$p/series-piped.bmp"
((PIPESTATUS[0] == 0)) && cmp -s "$p/series-piped.bmp" "$c/ref.bmp" &&
    [[ -L $p/series/frame-00001.bmp && -f $p/series/frame-00000.bmp ]] ||
    fail "a series frame linked to /dev/stdout does not go into the pipe"
"$capture" --frames 2 --assets "$assets" --out "$p/last.bmp" --compare "$p/other.bmp" \
    --diff "$p/diff.bmp" > /dev/null
(($? == 1)) || fail "a differing frame with --diff FILE does not exit 1"
"$capture" --frames 2 --assets "$assets" --out "$p/last.bmp" --compare "$p/other.bmp" \
    --diff >(cat > "$p/diff-piped.bmp") > /dev/null
(($? == 1)) || fail "a differing frame with --diff >(...) does not exit 1"
wait $!
cmp -s "$p/diff-piped.bmp" "$p/diff.bmp" || fail "the difference picture does not go into >(...)"
rm -r "$p/series" "$p"/*.bmp

# The reference may come from -, a pipe or a FIFO, read whole; it still may not be the output,
# and one that cannot be read stops the capture before anything is written.
"$image" invert "$c/ref.bmp" "$p/other.bmp"
cp "$c/ref.bmp" "$p/ref.bmp"
mkfifo "$p/fifo"
# streamed REFERENCE: the capture compared with REFERENCE, fed with the reference frame.
streamed() {
    "$capture" --frames 2 --assets "$assets" --out "$p/out.bmp" --compare "$1" \
        < "$c/ref.bmp" > "$work/out" 2>&1
    (($? == 0)) && grep -q identical "$work/out" ||
        fail "--compare $1 (a stream) is not taken: $(cat "$work/out")"
}
streamed -
streamed <(cat "$c/ref.bmp")
cat "$c/ref.bmp" > "$p/fifo" &
streamed "$p/fifo"
wait
"$capture" --frames 2 --assets "$assets" --out "$p/ref.bmp" --compare - < "$p/ref.bmp" \
    > /dev/null 2> "$work/err"
(($? == 2)) && grep -q reference "$work/err" && cmp -s "$p/ref.bmp" "$c/ref.bmp" ||
    fail "--compare - from the output's own file is not refused: $(cat "$work/err")"
rm "$p/out.bmp"
"$capture" --frames 2 --assets "$assets" --out "$p/out.bmp" --compare - < /dev/null 2> "$work/err"
(($? == 2)) && grep -q "cannot read the reference from standard input" "$work/err" &&
    [[ ! -e $p/out.bmp ]] || fail "an empty reference on - is not refused first: $(cat "$work/err")"

# No difference picture beside standard output, a pipe, a FIFO or a device: the frame differs,
# the exit is 1 and nothing else is written; --diff FILE names one anywhere, a PNG by its name.
before=$(listing "$p")
differs() {
    "$capture" --frames 2 --assets "$assets" --compare "$p/other.bmp" "$@" > /dev/null 2> "$work/err"
    local status=$?
    ((status == 1)) || fail "a differing frame written to $*: status $status ($(cat "$work/err"))"
    [[ $(listing "$p") == "$before" ]] || fail "$*: something was written: $(ls -A "$p")"
}
(cd "$p" && differs --out -)
# A pipe by its /proc name, where no difference picture could be made, were one tried.
differs --out /proc/self/fd/3 3> >(cat > /dev/null)
cat "$p/fifo" > /dev/null &
differs --out "$p/fifo"
wait
if (($(id -u) == 0)); then
    mknod "$p/null" c 1 3
    before=$(listing "$p")
    differs --out "$p/null"
fi
if ((${#as_user[@]} > 0)); then
    # The other user reads a copy of the assets: the checkout may lie in a folder only we enter.
    cp -r "$assets" "$work/readable-assets" && chmod -R a+rX "$work/readable-assets"
    chmod a+rx "$p" && chmod a+r "$p/other.bmp"
    "${as_user[@]}" "$capture" --frames 2 --assets "$work/readable-assets" --compare "$p/other.bmp" \
        --out /dev/null > /dev/null 2> "$work/err"
    (($? == 1)) || fail "as another user, --out /dev/null and a differing frame: $(cat "$work/err")"
fi
"$capture" --frames 2 --assets "$assets" --out - --compare "$p/other.bmp" --diff "$p/diff.png" \
    > /dev/null 2>&1
(($? == 1)) && [[ $(head -c 4 "$p/diff.png" | od -An -tx1) == " 89 50 4e 47" ]] ||
    fail "--diff FILE.png with - as output is not written as a PNG"
(cd "$p" && "$capture" --assets "$assets" --frames 2 --diff d.bmp > /dev/null 2> "$work/err")
(($? == 2)) && grep -q -- "--diff needs --compare" "$work/err" ||
    fail "--diff without --compare is not refused: $(cat "$work/err")"

# A working folder deeper than any path the system hands back: the frame and the series are
# written there, never into the assets folder.
cp -r "$assets" "$work/assets"
(
    cd "$work" || exit 1
    for _ in {1..20}; do
        mkdir "$(printf 'd%.0s' {1..250})" && cd "$(printf 'd%.0s' {1..250})" || exit 1
    done
    "$capture" --frames 2 --assets "$work/assets" --out o.bmp --every 1 series \
        --compare "$c/ref.bmp" > /dev/null &&
        cmp -s o.bmp "$c/ref.bmp" && [[ -f series/frame-00001.bmp ]]
) || fail "a capture in a working folder over 4096 bytes deep is not written there"
[[ $(ls -A "$work/assets") == $(ls -A "$assets") ]] ||
    fail "a capture in a deep working folder wrote into the assets: $(ls -A "$work/assets")"

# The capture compares with what the frames report takes: a PNG reference as well as a BMP.
t=$work/taken
mkdir "$t"
"$capture" --frames 2 --assets "$assets" --out "$t/frame.png" 2> /dev/null
"$capture" --frames 2 --assets "$assets" --out "$t/again.bmp" --compare "$t/frame.png" > "$work/out" 2>&1 &&
    grep -q "identical to $t/frame.png" "$work/out" || fail "a PNG reference: $(cat "$work/out")"
printf 'GIF89a......' > "$t/odd.gif"
"$capture" --frames 2 --assets "$assets" --out "$t/again.bmp" --compare "$t/odd.gif" 2> "$work/err"
(($? == 2)) && grep -q "cannot read the reference '$t/odd.gif': a GIF" "$work/err" ||
    fail "a GIF reference: $(cat "$work/err")"

# A script the message queue cannot hold is refused in one line, not cut short without a word.
presses=()
for ((i = 0; i < 5001; ++i)); do presses+=(--at 0 key:F); done
"$capture" --frames 1 --assets "$assets" --out "$t/pressed.bmp" "${presses[@]}" 2> "$work/err"
(($? == 2)) && [[ $(wc -l < "$work/err") == 1 ]] && grep -q 'message queue cannot hold' "$work/err" ||
    fail "5001 presses before a frame: $(cat "$work/err")"
"$capture" --frames 1 --assets "$assets" --out "$t/pressed.bmp" "${presses[@]:3}" 2> "$work/err" ||
    fail "5000 presses before a frame are refused: $(cat "$work/err")"

# Without its texture the program draws on, silently; the capture says why, and keeps its status.
mkdir "$t/no-texture" "$t/four-bits"
source "$(dirname "$0")/bmp_sample.sh"
bmp "$t/four-bits/marquetile.bmp" 8 8 4
for folder in no-texture four-bits; do
    "$capture" --frames 1 --assets "$t/$folder" --out "$t/$folder.bmp" 2> "$work/err" ||
        fail "no texture in $folder changed the status"
    grep -q "the texture is not read" "$work/err" || fail "no word of the texture in $folder"
done
grep -q "is a 4-bit BMP" "$work/err" || fail "the 4-bit texture: $(cat "$work/err")"

finish "tool files"
