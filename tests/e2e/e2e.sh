#!/usr/bin/env bash
# End-to-end cases: the built program in an X server of its own, driven the way a student drives it (typing into
# the boxes, clicking the buttons at their places), and the record files it leaves compared byte for byte.
#
#   e2e.sh <qadrill binary> <expected files folder> <output folder> <case>
#
# A Windows build (qadrill.exe) runs under Wine, each run in a fresh Wine prefix copied from $QADRILL_WINE_PREFIX;
# the prefix's drive c: is the run's home folder, so c:\tavimora is where ~/tavimora is for the Linux build, and the
# drives d: and e: lead there too, so that a typed d:\work is the same folder on both.
#
# Every wait polls for a condition under a deadline. The output folder keeps the window's screenshot; a failing case
# also keeps a screenshot of the whole screen, the record files and the program's output there.
set -euo pipefail
export LC_ALL=C

BIN=$1
EXPECTED=$2
OUT=$3
CASE=$4

# Control centres in window coordinates (the geometry of Form1.ui); some buttons overlap their neighbours by a pixel.
declare -A AT=(
    [next]="48 24" [enter]="404 32" [notes]="460 32" [sendfile]="316 32" [notefile]="220 32"
    [quit]="704 16" [answer]="544 156" [paragraph]="520 32"
)
# Insides of the two large boxes (width x height + left + top), clear of frame and scroll bar.
declare -A INSIDE=([question]="320x205+20+52" [answer]="312x205+380+52")

WORK=$(mktemp -d "${TMPDIR:-/tmp}/qadrill-e2e.XXXXXX")
XVFB_PID=
APP_PID=
FORM=
BOX=
LAST_BOX=
RUN=0
RUN_HOME=
WINE=()
WINE_PREFIXES=()
if [[ $BIN == *.exe ]]; then
    [[ -d ${QADRILL_WINE_PREFIX:-} ]] || { echo "FAIL [$CASE]: QADRILL_WINE_PREFIX names no Wine prefix" >&2; exit 1; }
    WINE=(wine64)
    WINESERVER=wineserver
    if ! command -v wine64 >/dev/null; then # Debian's wine64 alone puts its programs off the PATH
        WINE=(/usr/lib/wine/wine64)
        WINESERVER=/usr/lib/wine/wineserver
    fi
fi

fail() {
    echo "FAIL [$CASE]: $*" >&2
    exit 1
}

now_ms() {
    local t=${EPOCHREALTIME/./}
    echo $((t / 1000))
}

# poll <seconds> <what> <command...>: runs the command until it succeeds, failing the case at the deadline.
poll() {
    local seconds=$1 what=$2
    shift 2
    local deadline=$(($(now_ms) + seconds * 1000))
    until "$@"; do
        (($(now_ms) < deadline)) || fail "no $what within ${seconds}s"
        sleep 0.05
    done
}

xdo() {
    timeout 10 xdotool "$@" || fail "xdotool $* failed"
}

cleanup() {
    local status=$?
    set +e
    if ((status != 0)); then
        mkdir -p "$OUT/failed"
        [[ -n ${DISPLAY:-} ]] && timeout 10 import -silent -window root "$OUT/failed/screen.png"
        # a Wine prefix is hundreds of megabytes: of it only the record folders are kept
        [[ -d $WORK ]] && tar -C "$WORK" --exclude='./run*/prefix' -cf - . | tar -C "$OUT/failed" -xf - 2>/dev/null
        for prefix in "$WORK"/run*/prefix; do
            [[ -d $prefix ]] || continue
            local kept="$OUT/failed/$(basename "$(dirname "$prefix")")/drive_c"
            mkdir -p "$kept"
            find "$prefix/drive_c" -path '*/windows' -prune -o -type f \( -name '*.txt' -o -name '.unsent_*' \) \
                -exec cp {} "$kept/" \;
        done
        echo "FAIL [$CASE]: screenshot, record files and program output kept in $OUT/failed" >&2
    fi
    stop "$APP_PID"
    for prefix in "${WINE_PREFIXES[@]}"; do
        WINEPREFIX=$prefix timeout 20 "$WINESERVER" -k 2>/dev/null
    done
    stop "$XVFB_PID"
    rm -rf "$WORK"
    exit "$status"
}
trap cleanup EXIT

# Ends a process this script started: asked first, killed when it has not gone within five seconds.
stop() {
    [[ -n $1 ]] || return 0
    kill "$1" 2>/dev/null
    local tries
    for ((tries = 0; tries < 100; tries++)); do
        process_gone "$1" && break
        sleep 0.05
    done
    process_gone "$1" || kill -KILL "$1" 2>/dev/null
    wait "$1" 2>/dev/null
}

# Xvfb on the first free display number, which it reports when it is ready. Without -noreset it would start over
# each time its last client leaves (every xdotool call is one), and a program starting just then could not connect.
start_x() {
    Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp 3>"$WORK/display" 2>"$WORK/xvfb.log" &
    XVFB_PID=$!
    poll 20 "display number from Xvfb" test -s "$WORK/display"
    DISPLAY=":$(head -n1 "$WORK/display")"
    export DISPLAY
}

# --- the program ---------------------------------------------------------------------------------------------------

# Starts the program in a fresh home folder, or in the last run's with "same-home"; the run's files stay in
# $WORK/run<N>.
launch() {
    RUN=$((RUN + 1))
    if [[ ${1:-} != same-home ]]; then
        RUN_HOME="$WORK/run$RUN/home"
        if ((${#WINE[@]})); then
            WINEPREFIX="$WORK/run$RUN/prefix"
            mkdir -p "$WORK/run$RUN"
            cp -a "$QADRILL_WINE_PREFIX" "$WINEPREFIX"
            ln -s ../drive_c "$WINEPREFIX/dosdevices/d:"
            ln -s ../drive_c "$WINEPREFIX/dosdevices/e:"
            ln -s prefix/drive_c "$RUN_HOME"
            WINE_PREFIXES+=("$WINEPREFIX")
        fi
    fi
    mkdir -p "$RUN_HOME/" "$WORK/run$RUN/runtime"
    chmod 700 "$WORK/run$RUN/runtime"
    FORM=''
    BOX=''
    LAST_BOX=''
    DATE_BEFORE=$(date +%m-%d-%Y)
    (
        export HOME=$RUN_HOME XDG_RUNTIME_DIR="$WORK/run$RUN/runtime" QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LC_ALL=C.UTF-8
        unset DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER
        # Wine without its debugging output, and without offering to install .NET and a browser engine
        export WINEPREFIX=${WINEPREFIX:-} WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
        exec "${WINE[@]}" "$BIN"
    ) >"$WORK/run$RUN/program.log" 2>&1 &
    APP_PID=$!
    poll 15 "first start-up box" new_box
    [[ -z $(visible Form1) ]] || fail "Form1 is shown before the start-up boxes are answered"
}

# The desktop ends the session: SIGTERM on Linux; on Windows the log-off messages that every window gets, which
# Wine's wineboot sends before it ends every process.
end_session() {
    if ((${#WINE[@]})); then
        local status=0
        WINEPREFIX=$WINEPREFIX WINEDEBUG=-all timeout 30 "${WINE[@]}" wineboot --end-session || status=$?
        # 124: still waiting after 30 seconds, as it does while the program does not answer the log-off messages
        ((status == 0)) || fail "wineboot --end-session failed with status $status"
    else
        kill -TERM "$APP_PID"
    fi
}

visible() {
    xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true
}

# True when one box titled "qadrill" is up and it is not the one answered last; sets BOX.
new_box() {
    local ids
    ids=$(visible qadrill)
    [[ -n $ids && $ids != *$'\n'* && $ids != "$LAST_BOX" ]] || return 1
    BOX=$ids
}

# Types the text into the next box (input box or message box) and presses Return.
answer_box() {
    poll 15 "box titled qadrill" new_box
    xdo windowfocus --sync "$BOX"
    [[ -z $1 ]] || xdo type --delay 8 "$1"
    xdo key Return
    LAST_BOX=$BOX
    # a click that comes while the box is still up goes nowhere: the box is modal (Wine takes it down slowly)
    poll 15 "box $BOX gone" box_gone
}

box_gone() {
    ! visible qadrill | grep -qx "$LAST_BOX"
}

form_shown() {
    FORM=$(visible Form1)
    [[ -n $FORM ]]
}

# Waits for the window after the start-up boxes and checks its client area.
await_form() {
    poll 15 "window titled Form1" form_shown
    local size
    size=$(xwininfo -id "$FORM" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}')
    [[ $size == 725x566 ]] || fail "Form1 is $size, not 725x566"
    DATE_AFTER=$(date +%m-%d-%Y)
}

click() {
    read -r x y <<<"${AT[$1]}"
    xdo mousemove --window "$FORM" "$x" "$y" click 1
}

# Clicks into the answer box and types; the window gets the keyboard first, as no window manager hands it over.
# Line breaks are typed as the Return key (xdotool would send a line feed, which no keyboard has).
type_answer() {
    xdo windowfocus --sync "$FORM"
    click answer
    local line first=1
    while IFS= read -r line; do
        ((first)) || xdo key Return
        first=0
        [[ -z $line ]] || xdo type --delay 8 "$line"
    done <<<"$1"
}

# Presses "Enter Response" and answers the rating box that follows.
enter_response() {
    click enter
    answer_box "$1"
}

# Waits for the program to end and keeps its exit status in EXIT_STATUS.
await_exit() {
    poll 15 "end of the program" process_gone "$APP_PID"
    EXIT_STATUS=0
    wait "$APP_PID" || EXIT_STATUS=$?
    APP_PID=
}

# Gone, or ended and not yet reaped by this shell.
process_gone() {
    [[ ! -e /proc/$1 || $(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) == Z ]]
}

shot() {
    timeout 10 import -silent -window "$FORM" "$OUT/$1.png" || fail "no screenshot $1"
}

# True when the inside of the named box is one colour, that is, empty.
box_empty() {
    local colours
    colours=$(timeout 10 import -silent -window "$FORM" -crop "${INSIDE[$1]}" png:- | identify -format %k -)
    [[ $colours == 1 ]]
}

box_filled() {
    ! box_empty "$1"
}

# --- the record files ----------------------------------------------------------------------------------------------

# Number of closing separators (one per block written) in a record file.
blocks_in() {
    [[ -f $1 ]] || {
        echo 0
        return
    }
    grep -c $'^\.\{49\}\r$' "$1" || true
}

has_blocks() {
    [[ $(blocks_in "$1") == "$2" ]]
}

# The run's date as its send file names it: the day it started, before or after midnight.
run_date() {
    local folder=$1 name=$2 d
    for d in "$DATE_BEFORE" "$DATE_AFTER"; do
        if [[ -f $folder/send_${d:0:2}${d:3:2}$name.txt ]]; then
            echo "$d"
            return
        fi
    done
    fail "no send file for $name in $folder"
}

# Compares a record file with an expected one. Times, the run's date and the headers' filler lines (random
# characters of the code page's upper half, at the start of the file or after a block's closing separator) are
# matched by pattern and stand as placeholders in the expected file.
check_record() {
    local actual=$1 expected=$EXPECTED/$2 date=$3
    [[ -f $actual ]] || fail "missing record file $actual"
    local normal="$WORK/normal.txt"
    RUN_DATE=$date perl -pe '
        BEGIN { $d = quotemeta $ENV{RUN_DATE}; $t = qr/(?:[01]\d|2[0-3]):[0-5]\d:[0-5]\d/ }
        $after_block = $previous =~ /^\.{49}\r\n\z/;
        $previous = $_;
        $_ = "<filler>\r\n" if ($. == 1 || $after_block) && /^[\x42-\xff]{19,56}\r\n\z/;
        s/^( {36})$t\r\n\z/$1hh:mm:ss\r\n/;
        s/^( {36})$d$t\r\n\z/$1MM-DD-YYYYhh:mm:ss\r\n/;
        s/^$d\r\n\z/MM-DD-YYYY\r\n/;
    ' "$actual" >"$normal"
    if ! cmp -s "$normal" "$expected"; then
        diff <(cat -A "$expected") <(cat -A "$normal") | head -40 >&2 || true
        fail "$(basename "$actual") differs from $2 (lines marked > are the program's)"
    fi
}

# The folder holds exactly the named files.
check_listing() {
    local folder=$1
    shift
    local actual expected
    actual=$(find "$folder" -mindepth 1 -maxdepth 1 -printf '%f\n' | sort | xargs)
    expected=$(printf '%s\n' "$@" | sort | xargs)
    [[ $actual == "$expected" ]] || fail "$folder holds [$actual], not [$expected]"
}

# check_kept <file> <reason> <text>: the kept-text file holds exactly one entry, of a one-line text, kept so.
check_kept() {
    local file=$1 reason=$2 text=$3
    [[ -f $file ]] || fail "no kept-text file $file"
    local lines
    mapfile -t lines < <(tr -d '\r' <"$file")
    ((${#lines[@]} == 4)) || fail "$file holds ${#lines[@]} lines, not 4: ${lines[*]}"
    [[ ${lines[0]} =~ ^====\ kept\ [0-9]{2}-[0-9]{2}-[0-9]{4}\ [0-9:]{8},\ assignment\ 001,\ $reason:\ 1\ line$ ]] ||
        fail "head line of $file: ${lines[0]}"
    [[ ${lines[1]} == "Typed under: "* && ${lines[2]} == "$text" && -z ${lines[3]} ]] ||
        fail "entry of $file: ${lines[*]}"
    [[ $(grep -c $'\r$' "$file") == 4 ]] || fail "$file has lines that do not end in CR LF"
}

# --- the cases -----------------------------------------------------------------------------------------------------

# A whole assignment: a response and a rating after every block, one note, the notes and the send file shown, and
# the run ends by itself at the following assignment's heading.
case_whole_assignment() {
    local folder name=Ann_Lee
    launch
    answer_box "Ann Lee"
    answer_box ""
    answer_box "1"
    await_form
    shot form1
    folder="$RUN_HOME/tavimora"
    local master="$folder/masterFile_$name.txt"

    # response, rating; a response typed on several lines keeps its line breaks
    local -a responses=("x = 8" $'ok, I checked it\nwith x = 8' "x = 3, y = 2" "both methods agree" "x = 5/2 or x = -1"
        "forgot the check" "x = 2 +- sqrt(3)" "ok" "(0.268, 3.732); [-1, 4]; 5 m by 10 m" "right" "done")
    local -a ratings=(2 3 3 2 1 0 2 3 2 3 3)
    local i written=0
    for i in "${!responses[@]}"; do
        click next
        type_answer "${responses[$i]}"
        if ((i == 2)); then
            # the README's picture (docs/screenshot.png): a question and a response being typed; the keyboard goes
            # to a button that does nothing, so that no caret blinks, and the shot is kept once two in a row agree
            click paragraph
            poll 10 "settled window" settled screenshot
        fi
        enter_response "${ratings[$i]}"
        written=$((written + 1))
        poll 10 "block $written in the master file" has_blocks "$master" "$written"
        poll 10 "empty boxes after the response" boxes_empty
        if ((i == 3)); then
            type_answer "remember: the lines meet at (3, 2)"
            click notes
            written=$((written + 1))
            poll 10 "note in the notes file" has_blocks "$folder/notes_$name.txt" 1
            poll 10 "empty boxes after the note" boxes_empty
            click notefile
            poll 10 "notes file shown in the question box" box_filled question
        fi
        if ((i == 5)); then
            click sendfile
            poll 10 "send file shown in the question box" box_filled question
        fi
    done
    click next
    await_exit
    ((EXIT_STATUS == 0)) || fail "exit status $EXIT_STATUS, not 0"

    local date
    date=$(run_date "$folder" "$name")
    check_listing "$folder" "masterFile_$name.txt" "send_${date:0:2}${date:3:2}$name.txt" "notes_$name.txt"
    check_record "$master" whole_assignment_master.txt "$date"
    check_record "$folder/send_${date:0:2}${date:3:2}$name.txt" whole_assignment_send.txt "$date"
    check_record "$folder/notes_$name.txt" whole_assignment_notes.txt "$date"
}

boxes_empty() {
    box_empty question && box_empty answer
}

# Two screenshots in a row that agree are kept as the README's picture.
settled() {
    local previous="$WORK/settle-previous.png" current="$WORK/settle.png"
    timeout 10 import -silent -window "$FORM" "$current" || return 1
    if [[ -f $previous ]] && cmp -s "$previous" "$current" && box_filled answer; then
        cp "$current" "$OUT/$1.png"
        return 0
    fi
    mv "$current" "$previous"
    return 1
}

# The work folder changed at start: a drive letter stands for the home folder, backslashes are separators.
case_work_folder() {
    local typed target name=Bo_Ek
    for row in drive nested; do
        launch
        case $row in
        drive)
            typed='d:\work'
            target="$RUN_HOME/work"
            ;;
        nested)
            typed=$'E:\\course\\records\\' # a trailing separator too
            target="$RUN_HOME/course/records"
            ;;
        esac
        mkdir -p "$target"
        answer_box "Bo Ek"
        answer_box "1"
        answer_box "$typed"
        answer_box "001"
        await_form
        shot "form1-$row"
        poll 10 "header in the master file [$row]" test -s "$target/masterFile_$name.txt"
        click quit
        await_exit

        local date
        date=$(run_date "$target" "$name")
        check_listing "$target" "masterFile_$name.txt" "send_${date:0:2}${date:3:2}$name.txt"
        check_listing "$RUN_HOME/tavimora"
        check_record "$target/masterFile_$name.txt" header_001.txt "$date"
        check_record "$target/send_${date:0:2}${date:3:2}$name.txt" header_001.txt "$date"
    done
}

# An assignment the document lacks: a message, the number asked again; a good one opens it, nothing ends the run.
case_unknown_assignment() {
    local name=Cy
    for row in good nothing; do
        launch
        answer_box "Cy"
        answer_box ""
        answer_box "9"
        answer_box "" # the message box
        if [[ $row == good ]]; then
            answer_box "2"
            await_form
            shot form1
            poll 10 "header in the master file" test -s "$RUN_HOME/tavimora/masterFile_$name.txt"
            click quit
            await_exit
            local date folder="$RUN_HOME/tavimora"
            date=$(run_date "$folder" "$name")
            check_record "$folder/masterFile_$name.txt" header_002.txt "$date"
            check_record "$folder/send_${date:0:2}${date:3:2}$name.txt" header_002.txt "$date"
        else
            answer_box ""
            await_exit
            check_listing "$RUN_HOME/tavimora"
        fi
        ((EXIT_STATUS == 0)) || fail "exit status $EXIT_STATUS, not 0 [$row]"
    done
}

# "quit program" in the middle of a run: a response typed but not entered is not recorded.
case_quit_mid_run() {
    local name=Di folder
    launch
    answer_box "Di"
    answer_box ""
    answer_box "1"
    await_form
    folder="$RUN_HOME/tavimora"
    click next
    type_answer "x = 8"
    enter_response 1
    poll 10 "block in the master file" has_blocks "$folder/masterFile_$name.txt" 1
    click next
    type_answer "half an answer"
    click quit
    await_exit
    ((EXIT_STATUS == 0)) || fail "exit status $EXIT_STATUS, not 0"

    local date
    date=$(run_date "$folder" "$name")
    # the text in the box at quit is kept beside the record files, and the run's draft is gone
    check_listing "$folder" "masterFile_$name.txt" "send_${date:0:2}${date:3:2}$name.txt" "unsent_$name.txt"
    check_record "$folder/masterFile_$name.txt" quit_mid_run_master.txt "$date"
    check_record "$folder/send_${date:0:2}${date:3:2}$name.txt" quit_mid_run_send.txt "$date"
    check_kept "$folder/unsent_$name.txt" "in the answer box when the run ended" "half an answer"
}

# Two presses of "Next Question / Answer" without a response put the fixed prompt into the answer box; "Enter
# Response" on the untouched prompt writes nothing and empties both boxes, and the run goes on.
case_untouched_prompt() {
    local name=Ed folder
    launch
    answer_box "Ed"
    answer_box ""
    answer_box "1"
    await_form
    folder="$RUN_HOME/tavimora"
    local master="$folder/masterFile_$name.txt"
    poll 10 "header in the master file" test -s "$master"
    local header
    header=$(wc -c <"$master")
    click next
    click next
    poll 10 "prompt in the answer box" box_filled answer
    shot prompt
    click enter
    poll 10 "empty boxes after the untouched prompt" boxes_empty
    [[ $(wc -c <"$master") == "$header" ]] || fail "the untouched prompt was recorded"
    type_answer "now I see it"
    enter_response 2
    poll 10 "block in the master file" has_blocks "$master" 1
    click quit
    await_exit

    local date
    date=$(run_date "$folder" "$name")
    check_record "$master" untouched_prompt_master.txt "$date"
    check_record "$folder/send_${date:0:2}${date:3:2}$name.txt" untouched_prompt_send.txt "$date"
}

# What the student typed and did not enter is never lost: the prompt that takes its place is undone with Ctrl+Z and
# the answer entered with Ctrl+Return; a run killed while the student types leaves a draft that the next start
# under the same name keeps, and tells of. The record files hold exactly what the presses gave.
# Starts Flo's run again in the same home folder and answers the message that tells of the kept text.
restart_telling_kept() {
    launch same-home
    answer_box "Flo"
    answer_box ""
    answer_box "1"
    await_form
    answer_box "" # the message that tells of the kept text
}

case_unsent_text() {
    local name=Flo folder
    launch
    answer_box "Flo"
    answer_box ""
    answer_box "1"
    await_form
    folder="$RUN_HOME/tavimora"
    local master="$folder/masterFile_$name.txt"
    click next
    type_answer "my answer"
    click next
    poll 10 "the prompt in the answer box" box_filled answer
    click answer
    xdo key ctrl+z
    xdo key ctrl+Return
    answer_box 3
    poll 10 "block in the master file" has_blocks "$master" 1
    grep -q $'^RESPONSE -->  \r$' "$master" && grep -q 'my answer' "$master" ||
        fail "the answer brought back by Ctrl+Z was not recorded"
    grep -q 'Enter, as appropriate' "$master" && fail "the prompt was recorded"

    # no window manager gives the window the keyboard back once the rating box has gone
    xdo windowfocus --sync "$FORM"
    xdo key alt+n
    poll 10 "the next question in the question box" box_filled question
    type_answer "typed before the crash"
    sleep 3
    kill -KILL "$APP_PID"
    poll 10 "end of the killed program" process_gone "$APP_PID"
    wait "$APP_PID" 2>/dev/null || true
    APP_PID=
    compgen -G "$folder/.unsent_$name.*.draft" >/dev/null || fail "no draft left by the killed run"

    restart_telling_kept
    local kept="$folder/unsent_$name.txt"
    [[ -f $kept ]] || fail "no kept-text file after the restart"
    grep -q $'^==== kept .*, assignment 001, recovered from the draft of run [0-9a-f-]*, which did not end: 1 line\r$' \
        "$kept" && grep -q $'^typed before the crash\r$' "$kept" ||
        fail "the typed text is not in $kept: $(cat -A "$kept")"
    grep -q 'typed before the crash' "$master" && fail "the unsent text reached the master file"

    # the desktop ends the session while the student types: the program ends as "quit program" does, and what was
    # typed a moment before, not yet in the draft, is kept
    click next
    type_answer "typed as the session ended"
    end_session
    await_exit
    if ((${#WINE[@]})); then
        # Windows ends every process itself once its windows have answered the log-off (137: Wine's kill)
        ((EXIT_STATUS == 0 || EXIT_STATUS == 137)) || fail "exit status $EXIT_STATUS at the session's end"
    else
        ((EXIT_STATUS == 0)) || fail "exit status $EXIT_STATUS at the session's end, not 0"
    fi
    grep -q $'^==== kept .*, assignment 001, in the answer box when the session ended: 1 line\r$' "$kept" &&
        grep -q $'^ *typed as the session ended\r$' "$kept" || fail "the text typed at SIGTERM is not in $kept"

    local date
    date=$(run_date "$folder" "$name")
    check_listing "$folder" "masterFile_$name.txt" "send_${date:0:2}${date:3:2}$name.txt" "unsent_$name.txt"
    check_record "$master" unsent_text_master.txt "$date"
    check_record "$folder/send_${date:0:2}${date:3:2}$name.txt" unsent_text_send.txt "$date"

    # the session ends while a press waits in its rating box: the answer is kept, and no block is written for it
    restart_telling_kept
    local blocks
    blocks=$(blocks_in "$master")
    click next
    type_answer "typed before the rating"
    click enter
    poll 15 "the rating box" new_box
    end_session
    await_exit
    ((EXIT_STATUS == 0 || (${#WINE[@]} && EXIT_STATUS == 137))) || fail "exit status $EXIT_STATUS in the rating box"
    grep -q $'^==== kept .*, in the answer box when the session ended: 1 line\r$' "$kept" &&
        grep -q $'^ *typed before the rating\r$' "$kept" || fail "the text typed before the rating is not in $kept"
    [[ $(blocks_in "$master") == "$blocks" ]] && ! grep -q 'typed before the rating' "$master" ||
        fail "the master file holds a block for the answer that was never rated"
    check_listing "$folder" "masterFile_$name.txt" "send_${date:0:2}${date:3:2}$name.txt" "unsent_$name.txt"
}

# A drill built with the repository's second course (its build folder beside this one): a whole assignment of it, a
# response after every press, and the run ends at the next heading by itself. The record files follow the course's
# text, and the report shows the course: the one the report was built with, or the one --course names.
case_second_course() {
    local name=Gus_Ray folder
    [[ -f ${QADRILL_COURSE_FILE:-} && -x ${QADRILL_REPORT:-} && -x ${QADRILL_COURSE_REPORT:-} ]] ||
        fail "QADRILL_COURSE_FILE, QADRILL_REPORT and QADRILL_COURSE_REPORT must name the course and both reports"
    launch
    answer_box "Gus Ray"
    answer_box ""
    answer_box "2"
    await_form
    shot form1
    folder="$RUN_HOME/tavimora"
    local master="$folder/masterFile_$name.txt"
    # the text before the first question asks for no rating; then a question and its answer in turn, and the
    # closing line after the last answer
    local -a ratings=("" 2 3 1 2 3 3 2 1 3)
    local i
    for i in "${!ratings[@]}"; do
        click next
        poll 10 "press $((i + 1)) in the question box" box_filled question
        type_answer "response $((i + 1))"
        if [[ -z ${ratings[$i]} ]]; then
            click enter
        else
            enter_response "${ratings[$i]}"
        fi
        poll 10 "block $((i + 1)) in the master file" has_blocks "$master" $((i + 1))
        poll 10 "empty boxes after response $((i + 1))" boxes_empty
    done
    click next
    await_exit
    ((EXIT_STATUS == 0)) || fail "exit status $EXIT_STATUS, not 0"

    local date
    date=$(run_date "$folder" "$name")
    check_listing "$folder" "masterFile_$name.txt" "send_${date:0:2}${date:3:2}$name.txt"
    check_record "$master" second_course_master.txt "$date"
    check_record "$folder/send_${date:0:2}${date:3:2}$name.txt" second_course_send.txt "$date"

    local report
    for report in carried named; do
        if [[ $report == carried ]]; then
            "$QADRILL_COURSE_REPORT" -o "$OUT/report-$report" "$folder" 2>"$WORK/report.log" ||
                fail "the course build's report failed: $(cat "$WORK/report.log")"
        else
            "$QADRILL_REPORT" --course "$QADRILL_COURSE_FILE" -o "$OUT/report-$report" "$folder" 2>"$WORK/report.log" ||
                fail "qadrill-report --course failed: $(cat "$WORK/report.log")"
        fi
        grep -q 'Forces and the Laws of Motion' "$OUT/report-$report"/*.html ||
            fail "the report [$report] does not show the course's heading"
        ! grep -q 'Functions and Graphs' "$OUT/report-$report"/*.html ||
            fail "the report [$report] shows the drill's own course"
    done
}

declare -F "case_$CASE" >/dev/null || fail "no such case"
rm -rf "$OUT"
mkdir -p "$OUT"
start_x
started=$(now_ms)
"case_$CASE"
# the record files the case's runs left, for the report's end-to-end case
for run in "$WORK"/run*; do
    [[ -d $run/home ]] || continue # a later run in the same home folder as an earlier one
    mkdir -p "$OUT/records/${run##*/}"
    find -H "$run/home" -path '*/windows' -prune -o -name '*.txt' -exec cp {} "$OUT/records/${run##*/}/" \;
done
echo "PASS [$CASE] in $(($(now_ms) - started)) ms"
