#!/usr/bin/env bash
# Hostile and careless input to the replay tool: each case must end in bounded time and
# memory with the expected status and message, print nothing it should not, and leave the
# files it was pointed at in place.
#   run_hostile_inputs.sh REPLAY [sanitized]
set -uo pipefail
replay=$1
sanitized=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fails=0
max_kb=400000  # peak resident memory allowed to any case
# Protects the machine should a case run away; the sanitizers reserve far more address space.
[[ -z "$sanitized" ]] && ulimit -v 2000000

# case NAME STATUS STDERR_PATTERN STDOUT_LINES INPUT [ARGS...]
# STDERR_PATTERN '-' wants nothing on standard error. MAX_KB lowers the memory cap. INPUT is a shell command whose output
# is the script on standard input; '-' gives none, 'closed' closes standard input. The tool's
# standard output goes to $OUT when set (its lines are then not counted).
case_() {
  local name=$1 want=$2 pattern=$3 lines=$4 input=$5
  shift 5
  local status peak out=${OUT:-out.txt}
  : >out.txt
  local run=(/usr/bin/time -o time.txt -f %M timeout 20)
  if [[ "$input" == "-" ]]; then
    "${run[@]}" "$replay" "$@" >"$out" 2>err.txt
  elif [[ "$input" == "closed" ]]; then
    "${run[@]}" bash -c 'exec "$0" "$@" <&-' "$replay" "$@" >"$out" 2>err.txt
  else
    bash -c "$input" | "${run[@]}" "$replay" "$@" >"$out" 2>err.txt
  fi
  status=${PIPESTATUS[-1]}
  peak=$(tail -n 1 time.txt)
  local problems=()
  [[ "$status" == "$want" ]] || problems+=("status $status, want $want")
  if [[ "$pattern" == "-" ]]; then
    [[ -s err.txt ]] && problems+=("unexpected stderr")
  else
    grep -qE -e "$pattern" err.txt || problems+=("stderr lacks /$pattern/")
  fi
  [[ $(grep -o 'cannot write' err.txt | wc -l) -le 1 ]] || problems+=("'cannot write' repeated")
  [[ -n "${OUT:-}" || $(wc -l <out.txt) == "$lines" ]] ||
    problems+=("$(wc -l <out.txt) stdout lines, want $lines")
  [[ "$peak" =~ ^[0-9]+$ && "$peak" -lt ${MAX_KB:-$max_kb} ]] || problems+=("peak memory ${peak} KB")
  # C0 (with ESC), DEL, and C1 raw or as UTF-8 (0x9B and U+009B are CSI to a terminal).
  if LC_ALL=C grep -qP '[\x01-\x08\x0b-\x1f\x7f]|\xc2[\x80-\x9f]|(^|[\x00-\x7f])[\x80-\x9f]' err.txt; then
    problems+=("control characters")
  fi
  if [[ ${#problems[@]} -ne 0 ]]; then
    echo "FAIL $name: ${problems[*]}; stderr: $(head -c 300 err.txt | cat -v)"
    fails=$((fails + 1))
  fi
}

nest() {  # nest LEVELS COUNT: LEVELS nested repeat blocks around one dump
  echo "python3 -c \"print('repeat $2\\n' * $1 + 'dump\\n' + 'end\\n' * $1, end='')\""
}

# Nesting: capped with the line that goes too deep, whatever the count.
case_ "30000 nested repeat 1" 2 '^fpu-sample-replay: line 257: .*nested deeper than 256' 0 "$(nest 30000 1)"
case_ "400000 nested repeat 0" 2 'line 257: .*nested' 0 "$(nest 400000 0)"
case_ "256 levels are fine" 0 - 1 "$(nest 256 1)"
# Memory: a second window creation, and lines too long to split into words.
case_ "repeated creation" 2 "line 2: 'msg 1' is the creation message" 0 \
  "printf 'repeat 3000\nmsg 1 0 0\nend\n'"
case_ "50 MB key line" 2 'line 2: longer than 65536 bytes' 0 \
  "printf 'dump\nkey'; yes ' a' | head -c 50000000 | tr -d '\n'"
case_ "200 MB line without end" 2 'line 1: longer than 65536 bytes' 0 \
  "head -c 200000000 /dev/zero | tr '\0' x"
case_ "line of exactly 64 KiB" 2 "line 1: unknown command 'xxxx" 0 \
  "head -c 65536 /dev/zero | tr '\0' x; echo"
# Counts: in range or refused; empty bodies cost nothing; steps can be bounded.
case_ "count past 2^32" 2 "line 1: repeat count '99999999999999999999' is not in 0 to" 0 \
  "printf 'repeat 99999999999999999999\nkey F1\nend\n'"
case_ "count 2^32 in hex" 2 "repeat count '0x100000000'" 0 "printf 'repeat 0x100000000\nend\n'"
case_ "negative count" 2 "line 1: repeat count '-1'" 0 "printf 'repeat -1\nkey F1\nend\n'"
case_ "nested empty bodies" 0 - 1 \
  "printf 'repeat 4294967295\nrepeat 4294967295\n# nothing\nend\nrepeat 0\nkey F1\nend\nend\ndump\n'"
case_ "step limit" 1 'line 2: stopped at the step limit of 5 lines' 4 \
  "printf 'repeat 4294967295\nkey F1\nend\n'" --max-steps 5
case_ "step limit needs a number" 1 '--max-steps takes a whole number' 0 - --max-steps -3
# Size: a plain line costs a few bytes once read, and scripts are bounded unless allowed more.
# (Sanitized builds are slower and larger: a smaller script, and the common memory cap.)
ticks_mb=100 tick_kb=250000 png_kb=60000
[[ -n "$sanitized" ]] && ticks_mb=20 tick_kb=$max_kb png_kb=$max_kb
MAX_KB=$tick_kb case_ "$ticks_mb MB of tick lines" 1 'line 2: stopped at the step limit of 1' 0 \
  "yes tick | head -c ${ticks_mb}000000" --max-steps 1 --max-script-bytes ${ticks_mb}000000
case_ "script over the size limit" 2 'line 4: script larger than 16 bytes' 0 \
  "printf 'tick\ntick\ntick\ntick\n'" --max-script-bytes 16
# Options are refused when they do not fit where they go; message-line numbers are taken
# modulo 2^32, as scripts have always been read, so a far code is still the creation message.
case_ "--ticks past 32 bits" 1 "--ticks takes a whole number from 0 to 4294967295, not '4294967296'" \
  0 - --ticks 4294967296
case_ "creation modulo 2^32" 2 "line 1: 'msg 0x100000001' is the creation" 0 \
  "printf 'msg 0x100000001 0 0\n'"
# Large images are written a row at a time, not as one enlarged copy.
MAX_KB=$png_kb case_ "png at scale 8" 0 - 0 "printf 'key P\nkey S\npaint\npng big.png\n'" --scale 8 --trace none
[[ $(od -An -tu1 -j16 -N8 big.png | tr -s ' ') == " 0 0 21 224 0 0 20 112" ]] ||
  { echo "FAIL png at scale 8: not 5600 x 5232"; fails=$((fails + 1)); }
# Small edges: a byte-order mark, key names in either case, one recording, GIF names.
case_ "byte-order mark" 0 - 1 "printf '\xef\xbb\xbfkey A\ndump\n'"
case_ "lower-case key names" 0 - 1 "printf 'key a\nkey f1\nkey escape\n'" --trace none
case_ "--record twice" 1 '--record given twice' 0 - --record a.gif --record b.gif
case_ "--record to a .png" 1 "--record writes a GIF, so its file name must end in .gif" 0 - \
  --record x.png
[[ -e a.gif || -e b.gif || -e x.png ]] && { echo "FAIL a refused recording was written"; fails=$((fails + 1)); }
# Reading: failures are errors, with the reason.
case_ "folder as script" 1 "cannot open script '.*': Is a directory" 0 - "$work"
case_ "missing script" 1 "cannot open script 'nowhere.txt': No such file" 0 - nowhere.txt
case_ "closed standard input" 1 'cannot read the script from standard input: Bad file descriptor' 0 \
  closed
# A bad line anywhere means nothing runs.
case_ "bad last line" 2 "line 4: unknown command 'bogus'" 0 "printf 'dump\nkey F1\npng x.png\nbogus\n'"
[[ -e x.png ]] && { echo "FAIL bad last line: a png was written"; fails=$((fails + 1)); }
# Images: names are masked and said once; nothing the tool did not make is removed.
# Control bytes in a name are refused before anything runs: a NUL would write another file.
case_ "control characters in a png name" 2 \
  "^fpu-sample-replay: line 1: the file name '/nonexistent/a\\?\\[31mred.png' holds a control" 0 \
  "printf 'png /nonexistent/a\033[31mred.png\n'"
case_ "NUL in a png name" 2 "^fpu-sample-replay: line 2: the file name 'a\\?b.png' holds a control" 0 \
  "printf 'paint\npng a\\0b.png\n'"
[[ -e a ]] && { echo "FAIL NUL in a png name: 'a' was written"; fails=$((fails + 1)); }
# Quoted input is masked wherever a message shows it: ESC, 0x9B and U+009B.
case_ "ESC in --trace" 1 "^fpu-sample-replay: --trace takes .* not '\\?\\[31mx'" 0 - --trace $'\e[31mx'
case_ "0x9B in --scale" 1 "^fpu-sample-replay: --scale takes .* not '\\?31m'" 0 - --scale $'\x9b31m'
case_ "U+009B in an option" 1 "^fpu-sample-replay: unknown option '--\\?31m'" 0 - $'--\xc2\x9b31m'
# C1 controls in a png name, raw, as UTF-8 and in an overlong form: refused like C0.
for name in $'a\x9b' $'a\xc2\x9b' $'a\xc2\x85' $'a\xe0\x82\x9b'; do
  printf 'png %s.png\n' "$name" >c1-name.txt
  case_ "C1 control in a png name ($(printf '%s' "$name" | od -An -tx1 | tr -d ' '))" 2 \
    "^fpu-sample-replay: line 1: the file name 'a\\?+\\.png' holds a control" 0 "cat c1-name.txt"
done
# Folder names from the environment, quoted in the trace-delivery notices.
XDG_RUNTIME_DIR= TMPDIR=$'/nonexistent\e[31m\xc2\x9b' case_ "ESC and U+009B in TMPDIR" 0 \
  "trace delivery is off: the folder /nonexistent\\?\\[31m\\? is missing" 0 "printf 'key W\n'" \
  --trace viewer
case_ "U+009B in a script word" 2 "^fpu-sample-replay: line 1: .*'\\?31m'" 0 "printf 'key \\302\\23331m\n'"
case_ "ESC in the --record name" 1 "cannot write '\\?\\[31m.gif': name: " 0 "printf 'paint\n'" \
  --record $'\e[31m.gif'
viewer=$(dirname "$replay")/fpu-trace-viewer
if [[ -x "$viewer" ]]; then
  : >not-a-folder
  status=0
  timeout 20 "$viewer" --headless --dir "$work/not-a-folder/"$'\e[31m' >/dev/null 2>err.txt || status=$?
  if [[ $status == 0 || $status == 124 ]] || LC_ALL=C grep -q $'\e' err.txt; then
    echo "FAIL ESC in the viewer's --dir: status $status; stderr: $(cat -v err.txt)"
    fails=$((fails + 1))
  fi
fi
ln -s /proc/self/fd/1 to-stdout.png
OUT=/dev/full case_ "symlink to a full standard output" 1 "cannot write .*No space left" 0 \
  "printf 'png to-stdout.png\n'"
[[ -L to-stdout.png ]] || { echo "FAIL the symlink to standard output was removed"; fails=$((fails + 1)); }
if mknod null-device c 1 3 2>/dev/null && mknod full-device c 1 7 2>/dev/null; then
  case_ "png to a device" 0 - 0 "printf 'png null-device\n'"
  case_ "png to a full device" 1 "cannot write 'full-device': write: No space left" 0 \
    "printf 'png full-device\n'"
  # A recording is written in place on a device too, and its first write error ends the run.
  mknod null-device.gif c 1 3 && mknod full-device.gif c 1 7
  case_ "record to a device" 0 - 0 "printf 'paint\n'" --record null-device.gif
  case_ "record to a full device stops at once" 1 \
    "^fpu-sample-replay: line [0-9]+: cannot write 'full-device.gif': write: No space left" 0 \
    "printf 'key R\nrepeat 4294967295\ntick\npaint\nend\n'" --record full-device.gif --trace none
  [[ -c null-device && -c full-device && -c null-device.gif && -c full-device.gif ]] ||
    { echo "FAIL a device node was replaced"; fails=$((fails + 1)); }
fi
printf 'old' >kept.png
chmod 640 kept.png
ln -s kept.png link.png
case_ "png replaces through a symlink" 0 - 0 "printf 'png link.png\n'"
[[ -L link.png && $(head -c 4 kept.png | od -An -tx1 | tr -d ' ') == 89504e47 &&
  $(stat -c %a kept.png) == 640 && -z $(ls -A | grep '\.tmp-') ]] ||
  { echo "FAIL png through a symlink: $(ls -la)"; fails=$((fails + 1)); }

# Recordings: a link stays a link, a FIFO is written in place, and nobody reading it is an
# error, not a wait for ever.
printf 'old' >kept.gif
chmod 604 kept.gif
ln -s kept.gif link.gif
case_ "record through a symlink" 0 - 0 "printf 'paint\n'" --record link.gif
[[ -L link.gif && $(head -c 6 kept.gif) == GIF89a && $(stat -c %a kept.gif) == 604 ]] ||
  { echo "FAIL record through a symlink: $(ls -la)"; fails=$((fails + 1)); }
mkfifo fifo.gif
case_ "png to a FIFO nobody reads" 1 "cannot write 'fifo.gif': open: no process reads from the FIFO" 0 \
  "printf 'paint\npng fifo.gif\n'"
case_ "record to a FIFO nobody reads" 1 "cannot write 'fifo.gif': open: no process reads" 0 \
  "printf 'paint\n'" --record fifo.gif
exec {reader}<>fifo.gif  # a reader that never blocks; the GIF fits in the pipe
case_ "record to a FIFO" 0 - 0 "printf 'paint\n'" --record fifo.gif
timeout 5 head -c 6 <&"$reader" >from-fifo.txt
exec {reader}<&-
[[ -p fifo.gif && $(cat from-fifo.txt) == GIF89a ]] ||
  { echo "FAIL record to a FIFO: $(ls -la fifo.gif; cat -v from-fifo.txt)"; fails=$((fails + 1)); }

# An interrupted recording leaves neither its temporary file nor a file under its name:
# whatever signal ends it (the file size limit's SIGXFSZ, when the recording outgrows it).
mkdir fsize
prlimit --fsize=200000 "$replay" --trace none --record fsize/a.gif \
  < <(printf 'key R\nrepeat 4294967295\ntick\npaint\nend\n') >/dev/null 2>&1
[[ -z $(ls -A fsize) ]] || { echo "FAIL SIGXFSZ left $(ls -A fsize)"; fails=$((fails + 1)); }
for signal in TERM INT USR1 ALRM; do
  mkdir "interrupted-$signal"
  env --default-signal=INT,TERM "$replay" --trace none --record "interrupted-$signal/a.gif" \
    < <(printf 'key R\nrepeat 4294967295\ntick\npaint\nend\n') 2>/dev/null &
  pid=$!
  sleep 0.5  # the recording under way (its temporary file has no name to wait for)
  kill -s "$signal" "$pid"
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -s KILL "$pid" 2>/dev/null && { echo "FAIL SIG$signal did not end the run"; fails=$((fails + 1)); }
  wait "$pid"
  [[ -z $(ls -A "interrupted-$signal") ]] ||
    { echo "FAIL SIG$signal left $(ls -A "interrupted-$signal")"; fails=$((fails + 1)); }
done

# A reader that goes away mid-run (`| head -n 1`) ends the run: no temporary file, no
# half-written recording under its name.
mkdir piped
timeout 20 "$replay" --trace stdout --record piped/a.gif \
  < <(printf 'key R\nrepeat 100000\ntick\npaint\nend\n') 2>/dev/null | head -n 1 >/dev/null
[[ -z $(ls -A piped) ]] || { echo "FAIL a closed pipe left $(ls -A piped)"; fails=$((fails + 1)); }

# A descriptor of this process is written in place: what went before and after on standard
# output stays, whether it was opened to replace or to append.
script='key 1\ndump\npaint\npng %s\nkey 1\ndump\n'
for name in /dev/stdout /dev/fd/1 /proc/self/fd/1; do
  for mode in replace append; do
    printf '{"earlier":1}\n' >inplace.txt
    if [[ $mode == replace ]]; then
      printf "$script" "$name" | timeout 20 "$replay" --trace none >inplace.txt 2>err.txt
    else
      printf "$script" "$name" | timeout 20 "$replay" --trace none >>inplace.txt 2>err.txt
    fi
    status=$?
    [[ $mode == replace ]] && first='{"centre_x"' || first='{"earlier":1}'
    [[ $status == 0 && ! -s err.txt && $(head -n 1 inplace.txt) == "$first"* &&
      $(grep -ao '{"centre_x"' inplace.txt | wc -l) == 2 && $(grep -c $'\x89PNG' inplace.txt) == 1 ]] ||
      { echo "FAIL png $name ($mode): status $status, $(cat err.txt), output $(head -c 100 inplace.txt | cat -v)"; fails=$((fails + 1)); }
  done
done
OUT=inplace.txt case_ "png to standard input opened read-only" 1 "check: descriptor 0 is not open for writing" 0 \
  "printf 'paint\npng /dev/fd/0\n'"

# Owners and planted links need root: a file of another user, and that user's link.
if [[ $(id -u) != 0 ]]; then
  echo "SKIP owner and planted-link cases: not root"
else
  printf 'old' >nobodys.gif
  chown nobody nobodys.gif && chmod 600 nobodys.gif
  case_ "record keeps the owner and mode" 0 - 0 "printf 'paint\n'" --record nobodys.gif
  [[ $(stat -c %U:%a nobodys.gif) == nobody:600 && $(head -c 6 nobodys.gif) == GIF89a ]] ||
    { echo "FAIL record owner and mode: $(ls -la nobodys.gif)"; fails=$((fails + 1)); }
  # In a sticky world-writable folder, another user's link is not followed (whatever
  # fs.protected_symlinks says); one's own is.
  mkdir -m 1777 shared
  printf 'root' >roots-file
  ln -s "$work/roots-file" shared/planted.png
  ln -s "$work/roots-file" shared/planted.gif
  chown -h nobody shared/planted.png shared/planted.gif
  case_ "png through a planted link" 1 \
    "cannot write 'shared/planted.png': check: 'planted.png' is a symbolic link of another user \\(uid [0-9]+\\): not followed" 0 \
    "printf 'paint\npng shared/planted.png\n'"
  case_ "record through a planted link" 1 "cannot write 'shared/planted.gif': check: .*another user" 0 \
    "printf 'paint\n'" --record shared/planted.gif
  [[ $(cat roots-file) == root ]] || { echo "FAIL a planted link was followed"; fails=$((fails + 1)); }
  # A link of another user in the middle of the path is not followed either: in a sticky
  # shared folder, or in a folder of that user's own.
  mkdir roots-folder && printf 'root' >roots-folder/important.conf && chmod 600 roots-folder/important.conf
  ln -s "$work/roots-folder" shared/d && chown -h nobody shared/d
  mkdir nobodys && ln -s "$work/roots-folder" nobodys/d && chown -hR nobody nobodys
  for via in shared nobodys; do
    case_ "png through $via/d/" 1 "cannot write '$via/d/important.conf': check: 'd' is a symbolic link of another user" 0 \
      "printf 'paint\npng $via/d/important.conf\n'"
    case_ "record through $via/d/" 1 "cannot write '$via/d/x.gif': check: 'd' is a symbolic link of another user" 0 \
      "printf 'paint\n'" --record "$via/d/x.gif"
  done
  [[ $(cat roots-folder/important.conf) == root && -z $(ls -A roots-folder | grep -v important.conf) ]] ||
    { echo "FAIL a link in the middle of a path was followed: $(ls -A roots-folder)"; fails=$((fails + 1)); }
  ln -s "$work/roots-folder" own-d
  case_ "png through one's own link in the middle" 0 - 0 "printf 'paint\npng own-d/mine.png\n'"
  [[ -f roots-folder/mine.png ]] || { echo "FAIL one's own folder link was not followed"; fails=$((fails + 1)); }
  ln -s "$work/roots-file" shared/own.png
  case_ "png through one's own link there" 0 - 0 "printf 'paint\npng shared/own.png\n'"
  [[ $(head -c 4 roots-file | od -An -tx1 | tr -d ' ') == 89504e47 ]] ||
    { echo "FAIL one's own link was not followed"; fails=$((fails + 1)); }
fi

if [[ $fails -ne 0 ]]; then
  exit 1
fi
echo "all hostile inputs pass"
