#!/usr/bin/env bash
# The instructor's report on record files that the real program wrote in the end-to-end cases, with a hostile file
# among them, opened in headless Chromium: the page shows what the files hold, a hostile file's markup as text, and no
# script of a file runs. The page, its DOM as the browser built it and a screenshot are kept in the output folder.
#
#   report.sh <qadrill-report> <end-to-end output folder> <output folder>
set -euo pipefail
export LC_ALL=C

REPORT=$1
E2E=$2
OUT=$3

fail() {
    echo "FAIL [report]: $*" >&2
    exit 1
}

rm -rf "$OUT"
mkdir -p "$OUT/class"
PROFILE=$(mktemp -d "${TMPDIR:-/tmp}/qadrill-chromium.XXXXXX")
trap 'rm -rf "$PROFILE"' EXIT

# the runs of three students, each in a folder of its own, as a class hands them in
for student in whole_assignment quit_mid_run untouched_prompt; do
    [[ -d $E2E/$student/records ]] || fail "no record files from the end-to-end case $student"
    cp -r "$E2E/$student/records" "$OUT/class/$student"
done
ann_send=$(find "$OUT/class/whole_assignment" -name 'send_*Ann_Lee.txt' | head -n1)
[[ -n $ann_send ]] || fail "no send file of Ann Lee"
question=$(grep -a -m1 '^`q' "$ann_send" | tr -d '\r')
filler=$(head -n1 "$ann_send" | tr -d '\r' | tr 'A-Za-z' 'B-ZAb-za')

# A student's send file that tries to run a script in the instructor's browser: in a response, a rating, a note, the
# heading, and lines outside any block. Each script would change the page's title or mark its body.
hostile() {
    local sep='......!!!!!!!!...................................' closing='.................................................'
    printf '%s\r\n' "$filler" 'assignment #001' '001.  Algebra<script>document.title="pwned"</script>' 'brisendal' \
        '01-07-2026'
    printf '%s\r\n' "$sep" "                                    09:30:05" "$question" "$sep" 'RESPONSE -->  ' \
        "<script>document.title='pwned';document.body.setAttribute('data-pwned','1')</script></td></tr></table>" \
        '<img src=x onerror="document.body.setAttribute('"'"'data-pwned'"'"','"'"'2'"'"')"> & "quoted"' \
        'confidence assessment:  <b onmouseover="x()">3</b>' "$closing"
    printf '%s\r\n' "$sep" "                                    09:31:00" "                                    01-07-202609:31:00" \
        "$question" "$sep" 'NOTES -------> <iframe srcdoc="<script>parent.document.title=1</script>"></iframe>' "$closing"
    printf '%s\r\n' '<script>document.body.setAttribute("data-pwned","3")</script>'
}
hostile >"$OUT/class/send_0107Mallory.txt"

status=0
"$REPORT" -r -o "$OUT/report.html" --csv "$OUT/ratings.csv" "$OUT/class" 2>"$OUT/stderr.txt" || status=$?
((status == 0)) || fail "exit status $status: $(cat "$OUT/stderr.txt")"
grep -q 'send_0107Mallory.txt:22: a line that belongs to no block' "$OUT/stderr.txt" ||
    fail "the hostile file's stray line is not reported: $(cat "$OUT/stderr.txt")"

chromium() {
    timeout 90 /usr/bin/chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync --user-data-dir="$PROFILE" \
        --window-size=1000,1400 "$@" "file://$OUT/report.html" 2>>"$OUT/chromium.log"
}
chromium --dump-dom >"$OUT/dom.html" || fail "chromium could not open the page; see $OUT/chromium.log"
chromium --screenshot="$OUT/report.png" >/dev/null || fail "no screenshot; see $OUT/chromium.log"

dom=$OUT/dom.html
expect() {
    grep -qF -- "$1" "$dom" || fail "the page lacks: $1"
}
# no script ran: the title is the report's, and the body carries no mark
[[ $(grep -o '<title>[^<]*</title>' "$dom") == '<title>Class report</title>' ]] || fail "the page's title changed"
! grep -q 'data-pwned="' "$dom" || fail "a script of the hostile file ran"
! grep -qiE '<(script|iframe|img|b)[ >]' "$dom" || fail "the hostile file's markup became part of the page"
# the hostile text shows as typed
expect "&lt;script&gt;document.title='pwned';document.body.setAttribute('data-pwned','1')&lt;/script&gt;&lt;/td&gt;"
expect '&lt;img src=x onerror="document.body.setAttribute('"'"'data-pwned'"'"','"'"'2'"'"')"&gt; &amp; "quoted"'
expect 'confidence: &lt;b onmouseover="x()"&gt;3&lt;/b&gt;'
expect '&lt;iframe srcdoc="&lt;script&gt;parent.document.title=1&lt;/script&gt;"&gt;&lt;/iframe&gt;'
# what the real program recorded, student by student
for name in 'Ann Lee' 'Di' 'Ed' 'Mallory'; do
    expect ">$name</a>"
done
expect 'both methods agree'
expect 'remember: the lines meet at (3, 2)'
expect 'now I see it'
expect 'confidence: 2'
expect 'self-critique: 3'
[[ -s $OUT/ratings.csv ]] || fail "no table written"
grep -q '^Ann Lee,001,' "$OUT/ratings.csv" || fail "the table has no row of Ann Lee"

colours=$(identify -format %k "$OUT/report.png")
((colours > 20)) || fail "the screenshot is blank ($colours colours)"
echo "PASS [report]: $OUT/report.png"
