#!/usr/bin/env bash
# The instructor's report on record files that the real program wrote in the end-to-end cases, with a hostile file
# among them, as a folder of pages opened in headless Chromium: every page shows what the files hold, a hostile file's
# markup as text, no script of a file runs, every link leads to a page and a place in the folder, and the index's grid
# holds the ratings the record files hold. The pages, their DOM as the browser built it and screenshots (the index,
# and a student's page in a 400-pixel window) are kept in the output folder.
#
#   report.sh <qadrill-report> <end-to-end output folder> <output folder>
set -euo pipefail
export LC_ALL=C

REPORT=$1
E2E=$2
OUT=$3
DOCUMENT=$(dirname "$0")/../../problems/problemset.txt # the course the program carries

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
"$REPORT" -r -o "$OUT/pages" --csv "$OUT/ratings.csv" "$OUT/class" 2>"$OUT/stderr.txt" || status=$?
((status == 0)) || fail "exit status $status: $(cat "$OUT/stderr.txt")"
grep -q 'send_0107Mallory.txt:22: a line that belongs to no block' "$OUT/stderr.txt" ||
    fail "the hostile file's stray line is not reported: $(cat "$OUT/stderr.txt")"
[[ -f $OUT/pages/index.html ]] || fail "no index page"

chromium() {
    local page=$1
    shift
    timeout 90 /usr/bin/chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync --user-data-dir="$PROFILE" \
        --window-size=1000,1400 "$@" "file://$OUT/pages/$page" 2>>"$OUT/chromium.log"
}
mkdir -p "$OUT/dom"
for page in "$OUT"/pages/*.html; do
    name=$(basename "$page")
    chromium "$name" --dump-dom >"$OUT/dom/$name" || fail "chromium could not open $name; see $OUT/chromium.log"
done
chromium index.html --screenshot="$OUT/report.png" >/dev/null || fail "no screenshot; see $OUT/chromium.log"
ann_page=$(grep -l '<h2><bdi>Ann Lee</bdi></h2>' "$OUT"/dom/student-*.html | head -n1)
[[ -n $ann_page ]] || fail "no page of Ann Lee"
chromium "$(basename "$ann_page")" --window-size=400,1400 --screenshot="$OUT/student-400.png" >/dev/null ||
    fail "no screenshot of a student's page; see $OUT/chromium.log"

dom=$OUT/all-dom.html
cat "$OUT"/dom/*.html >"$dom"
expect() {
    grep -qF -- "$1" "$dom" || fail "no page holds: $1"
}
# no script ran: each title is the report's, and no body carries a mark
[[ $(grep -o '<title>[^<]*</title>' "$OUT/dom/index.html") == '<title>Class report</title>' ]] ||
    fail "the index's title changed"
for page in "$OUT"/dom/*.html; do
    grep -qE '<title>[^<]*class report</title>|<title>Class report</title>' "$page" ||
        fail "the title of $(basename "$page") changed"
done
! grep -q 'data-pwned="' "$dom" || fail "a script of the hostile file ran"
! grep -qiE '<(script|iframe|img|b)[ >]' "$dom" || fail "the hostile file's markup became part of a page"
# the hostile text shows as typed
expect "&lt;script&gt;document.title='pwned';document.body.setAttribute('data-pwned','1')&lt;/script&gt;&lt;/td&gt;"
expect '&lt;img src=x onerror="document.body.setAttribute('"'"'data-pwned'"'"','"'"'2'"'"')"&gt; &amp; "quoted"'
expect 'confidence: <bdi>&lt;b onmouseover="x()"&gt;3&lt;/b&gt;</bdi>'
expect '&lt;iframe srcdoc="&lt;script&gt;parent.document.title=1&lt;/script&gt;"&gt;&lt;/iframe&gt;'
# what the real program recorded, student by student
for name in 'Ann Lee' 'Di' 'Ed' 'Mallory'; do
    grep -qF "<bdi>$name</bdi></a>" "$OUT/dom/index.html" || fail "the index does not link $name"
done
expect 'both methods agree'
expect 'remember: the lines meet at (3, 2)'
expect 'now I see it'
expect 'confidence: <bdi>2</bdi>'
expect 'self-critique: <bdi>3</bdi>'

# the files that were not read, counted by reason on the index and listed on a page of their own
sed -n '/<section id="not-read">/,/<\/section>/p' "$OUT/dom/index.html" | grep -qF '<td><bdi>a notes file' ||
    fail "the index does not count the notes file among the files not read"
grep -qF 'notes_Ann_Lee.txt</bdi></code>: <bdi>not read: a notes file' "$OUT/dom/not-read.html" ||
    fail "the page of files not read does not list the notes file"
# every page begins with a way past its links; the index with who needs attention first
for page in "$OUT"/dom/*.html; do
    grep -qF '<a class="skip" href="#main">Skip to the content</a>' "$page" && grep -qF '<main id="main">' "$page" ||
        fail "$(basename "$page") has no link past its line of links"
done
grep -qF '<section id="attention"><h2>Who needs attention first</h2>' "$OUT/dom/index.html" ||
    fail "the index does not open with who needs attention"

# every link stays in the folder and leads to a page there and to a place on it
for page in "$OUT"/dom/*.html; do
    while read -r href; do
        file=${href%%#*}
        fragment=${href#"$file"}
        fragment=${fragment#\#}
        [[ -n $file ]] || file=$(basename "$page")
        [[ $file != */* && $file != *:* ]] || fail "$(basename "$page") links out of the folder: $href"
        [[ -f $OUT/pages/$file ]] || fail "$(basename "$page") links to a page that is not there: $href"
        [[ -z $fragment ]] || grep -qF "id=\"$fragment\"" "$OUT/dom/$file" ||
            fail "$(basename "$page") links to a place that is not on $file: $href"
    done < <(grep -o 'href="[^"]*"' "$page" | sed 's/^href="//; s/"$//' | sort -u)
done

# The index's grid of assignment 001 against the send files it was made from: per student and question, the last
# confidence and self-critique ratings given (a self-critique belongs to the question before it), "-" for none, and
# "none" for a question that is not optional and has no response (its self-critique rating after it, if any).
grid=$(awk '
    /id="a1-grid"/ { on = 1 }
    on && /<thead>/ {
        line = $0
        while (match(line, />[0-9][0-9][0-9]\*?<\/a><\/th>/)) {
            questions[++n] = substr(line, RSTART + 1, 3)
            line = substr(line, RSTART + RLENGTH)
        }
    }
    on && /^<tr><th>/ {
        match($0, /<bdi>[^<]*<\/bdi>/)
        name = substr($0, RSTART + 5, RLENGTH - 11)
        cells = $0
        sub(/^<tr><th>.*<\/th><td/, "<td", cells)
        count = split(cells, cell, "</td>")
        for (i = 1; i < count; ++i) {
            text = cell[i]
            gsub(/<[^>]*>/, "", text)
            sub(/over-confident$/, "", text)
            print name "|" questions[i] "|" text
        }
    }
    on && /<\/table>/ { exit }
' "$OUT/dom/index.html" | grep -v '^Mallory|' | sort)
[[ -n $grid ]] || fail "the index has no grid of assignment 001"
questions=$(grep -o '>[0-9][0-9][0-9]\*\?</a></th>' "$OUT/dom/index.html" | head -n 100 | sed 's/^>//; s/<.*//' |
    awk '!seen[$0]++' | tr '\n' ' ')
expected=$(for send in $(find "$OUT/class" -name 'send_*.txt' ! -name '*Mallory*'); do
    name=$(basename "$send" .txt)
    name=${name#send_????}
    # a response after a given answer is its question's self-critique: the document says whose answer it is
    awk -v name="${name//_/ }" -v questions="$questions" '
        function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t]+$/, "", s); return s }
        BEGIN { sep = "......!!!!!!!!..................................."; closing = "................................................." }
        FNR == NR && /^= [0-9][0-9][0-9]\./ { inFirst = substr($0, 3, 3) == "001"; next }
        FNR == NR && inFirst && /^= `q[0-9][0-9][0-9]/ { asked = substr($0, 5, 3); next }
        FNR == NR && inFirst && /^= `a/ { answerOf[substr($0, 5)] = asked; next }
        FNR == NR { next }
        { sub(/\r$/, "") }
        $0 == sep && state == "head" {
            state = "body"
            isq = entry != ""
            q = isq ? entry : (answerIs != "" ? answerIs : q)
            next
        }
        $0 == sep { state = "head"; entry = ""; answerIs = ""; next }
        $0 == closing { state = ""; next }
        state == "head" && /^`q[0-9][0-9][0-9]/ { entry = substr($0, 3, 3) }
        state == "head" && ($0 in answerOf) { answerIs = answerOf[$0] }
        state == "head" { next }
        state == "body" && /^RESPONSE -->/ && isq { answered[q] = 1 }
        state == "body" && /^confidence assessment:/ { v = $0; sub(/^[^:]*:/, "", v); confidence[q] = trim(v) }
        state == "body" && /^self critique assessment:/ { v = $0; sub(/^[^:]*:/, "", v); critique[q] = trim(v) }
        END {
            count = split(questions, list, " ")
            for (i = 1; i <= count; ++i) {
                n = substr(list[i], 1, 3)
                # no response: "none", with the self-critique rating under it where one was given all the same
                if (!answered[n] && list[i] !~ /\*$/) {
                    print name "|" n "|none" (critique[n] == "" ? "" : "-" critique[n])
                    continue
                }
                print name "|" n "|" (confidence[n] == "" ? "-" : confidence[n]) (critique[n] == "" ? "-" : critique[n])
            }
        }' "$DOCUMENT" "$send"
done | sort)
[[ $grid == "$expected" ]] || fail "the index's grid differs from the record files:
$(diff <(echo "$expected") <(echo "$grid"))"

[[ -s $OUT/ratings.csv ]] || fail "no table written"
grep -q '^Ann Lee,001,' "$OUT/ratings.csv" || fail "the table has no row of Ann Lee"

colours=$(identify -format %k "$OUT/report.png")
((colours > 20)) || fail "the screenshot is blank ($colours colours)"
echo "PASS [report]: $OUT/report.png"
