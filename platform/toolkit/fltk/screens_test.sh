#!/bin/sh
# Screenshot checks of the FLTK backend under a private Xvfb.
#
#   sh screens_test.sh DEMO OUTDIR
#
# Runs toolkit_fltk_demo (DEMO) for each window and message box, waits for
# its window, captures the screen into OUTDIR/*.png (kept for a person to look
# at), checks a few pixels and sizes, and drives the windows with xdotool to
# see that keys reach the dialog rules. Exits 77 (skip) when Xvfb, xdotool or
# ImageMagick is missing.
set -u
DEMO=$1
OUT=$2
HERE=$(cd "$(dirname "$0")" && pwd)

for tool in Xvfb xdotool import convert compare; do
  command -v $tool >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done

mkdir -p "$OUT"
rm -f "$OUT"/*.png "$OUT"/*.log
export KELVORA_MACHINE="$OUT/machine"
mkdir -p "$KELVORA_MACHINE/a" "$KELVORA_MACHINE/c" "$KELVORA_MACHINE/d"
printf 'A: removable a\nC: fixed c SYSTEM\nD: cdrom d CDROM\nX: network x \\\\server\\share\n' >"$KELVORA_MACHINE/drives"
export LSAN_OPTIONS="suppressions=$HERE/lsan.supp"

# ------------------------------------------------------------- the display
XVFB_PID=
cleanup() { [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null; }
trap cleanup EXIT
trap 'exit 1' INT TERM

tries=0
while [ -z "$XVFB_PID" ]; do
  tries=$((tries + 1))
  [ $tries -gt 10 ] && { echo "SKIP: no free display for Xvfb"; exit 77; }
  n=$(( $(od -An -N2 -tu2 /dev/urandom | tr -d ' ') % 500 + 200 ))
  [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$OUT/xvfb.log" 2>&1 &
  pid=$!
  # Ready when it answers; gone when the display was taken after all.
  i=0
  while [ $i -lt 100 ]; do
    if ! kill -0 $pid 2>/dev/null; then pid=; break; fi
    DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1 && break
    i=$((i + 1)); sleep 0.1
  done
  if [ -n "$pid" ] && [ $i -lt 100 ]; then XVFB_PID=$pid; export DISPLAY=":$n"; fi
done

# ----------------------------------------------------------------- helpers
FAILED=0
fail() { echo "FAIL: $*"; FAILED=1; }

DEMO_PID=
# start NAME ARGS...: runs the demo, its output in OUT/NAME.log
start() {
  name=$1; shift
  "$DEMO" "$@" >"$OUT/$name.log" 2>&1 &
  DEMO_PID=$!
}
# window CLASS: waits for a visible window of that class, prints its id
window() {
  timeout 20 xdotool search --sync --onlyvisible --classname "$1" 2>/dev/null | head -n 1
}
# finish NAME: waits for the demo to end (killing it after 20 s), prints its exit code
finish() {
  i=0
  while kill -0 "$DEMO_PID" 2>/dev/null && [ $i -lt 200 ]; do sleep 0.1; i=$((i + 1)); done
  if kill -0 "$DEMO_PID" 2>/dev/null; then
    kill "$DEMO_PID"; fail "$1: the demo did not end"
  fi
  wait "$DEMO_PID"
}
# shot NAME: the screen once the picture has settled (two shots in a row
# alike; at most 20 tries)
shot() {
  import -window root "$OUT/$1.prev.png"
  i=0
  while [ $i -lt 20 ]; do
    import -window root "$OUT/$1.png"
    compare -metric AE "$OUT/$1.png" "$OUT/$1.prev.png" null: >/dev/null 2>&1 && break
    mv "$OUT/$1.png" "$OUT/$1.prev.png"
    i=$((i + 1))
  done
  rm -f "$OUT/$1.prev.png"
}
# rgb FILE X Y: the pixel as r,g,b
rgb() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r+.5)],%[fx:int(255*p{$2,$3}.g+.5)],%[fx:int(255*p{$2,$3}.b+.5)]" info:
}
# pixel NAME X Y R,G,B WHAT: the screenshot's pixel at screen X,Y
pixel() {
  got=$(rgb "$OUT/$1.png" "$2" "$3")
  [ "$got" = "$4" ] || fail "$1: $5 at ($2,$3) is $got, expected $4"
}
# near NAME X Y R G B TOL WHAT: each component within TOL
near() {
  got=$(rgb "$OUT/$1.png" "$2" "$3")
  echo "$got" | awk -F, -v r="$4" -v g="$5" -v b="$6" -v t="$7" \
    'function d(a,b){return a>b?a-b:b-a} {exit !(d($1,r)<=t && d($2,g)<=t && d($3,b)<=t)}' ||
    fail "$1: $8 at ($2,$3) is $got, expected about $4,$5,$6"
}
# geometry WINDOW X Y W H NAME
geometry() {
  got=$(xdotool getwindowgeometry "$1" | awk '/Position/{p=$2} /Geometry/{g=$2} END{print p" "g}')
  [ "$got" = "$2,$3 $4x$5" ] || fail "$6: window at $got, expected $2,$3 $4x$5"
}
# says NAME TEXT: the demo printed the line
says() { grep -qxF "$2" "$OUT/$1.log" || fail "$1: no line '$2' in $(cat "$OUT/$1.log")"; }
# framed NAME X Y W H: the window with that client rectangle wears the outer
# frame of windows without a window manager: a dark outline, then a raised
# bevel (white top and left, grey bottom and right), checked mid-side.
framed() {
  mx=$(($2 + $4 / 2)) my=$(($3 + $5 / 2)) r=$(($2 + $4)) b=$(($3 + $5))
  pixel "$1" $mx $(($3 - 2)) 0,0,0 "frame outline top"
  pixel "$1" $mx $(($3 - 1)) 255,255,255 "frame bevel top"
  pixel "$1" $(($2 - 2)) $my 0,0,0 "frame outline left"
  pixel "$1" $(($2 - 1)) $my 255,255,255 "frame bevel left"
  pixel "$1" $r $my 128,128,128 "frame bevel right"
  pixel "$1" $((r + 1)) $my 0,0,0 "frame outline right"
  pixel "$1" $mx $b 128,128,128 "frame bevel bottom"
  pixel "$1" $mx $((b + 1)) 0,0,0 "frame outline bottom"
}

# ------------------------------------------------------ background window
# Maximised over the whole screen (no window manager: the work area is the
# screen), the gradient behind, the title red on blue at (8, 8); Alt+F4
# closes the main window, which ends the application.
start background background "Kelvora 数据库管理系统 & 报表工具 —— 一个很长很长的标题，超出屏幕的右边缘"
w=$(window F_bj1)
if [ -z "$w" ]; then fail "background: no window"; else
  geometry "$w" 0 0 1024 768 background
  shot background
  pixel background 8 8 0,0,255 "title background"
  red=$(convert "$OUT/background.png" -crop 400x56+8+8 -format %c histogram:info: | grep -c "(255,0,0)")
  [ "$red" -ge 1 ] || fail "background: no red title text"
  near background 1016 1 40 9 255 12 "gradient top row"
  near background 1016 766 2 6 72 12 "gradient bottom row"
  pixel background 1023 40 0,0,255 "title cut off at the right edge"
  xdotool key --window "$w" alt+F4
  finish background
  says background end
fi
start background_amp background "R&D 部"
w=$(window F_bj1)
[ -n "$w" ] && shot background_amp && xdotool key alt+F4
finish background_amp

# ----------------------------------------------------------- install dialog
# Centred 300 x 177; Panel3 (rows 0-120) and Panel1 (from row 122) with
# raised outer and lowered inner bevels; Esc clicks Exit, which ends the
# application (modal result 2).
X=362 Y=295
start install install
w=$(window F_azh1)
if [ -z "$w" ]; then fail "install: no window"; else
  geometry "$w" $X $Y 300 177 install
  shot install
  framed install $X $Y 300 177
  pixel install $((X + 150)) $Y 255,255,255 "Panel3 outer bevel top"
  pixel install $((X + 150)) $((Y + 120)) 128,128,128 "Panel3 outer bevel bottom"
  pixel install $((X + 150)) $((Y + 3)) 128,128,128 "Panel3 inner bevel top (border 2)"
  pixel install $((X + 150)) $((Y + 117)) 255,255,255 "Panel3 inner bevel bottom"
  pixel install $((X + 150)) $((Y + 121)) 192,192,192 "form row between the panels"
  pixel install $((X + 150)) $((Y + 122)) 255,255,255 "Panel1 outer bevel top"
  pixel install $((X + 150)) $((Y + 128)) 128,128,128 "Panel1 inner bevel top (border 5)"
  pixel install $((X + 72 + 50)) $((Y + 72 + 5)) 255,255,255 "drive selector background"
  xdotool key Escape
  finish install
  says install BitBtn2Click
  says install "modal result 2"
fi

# Tab moves the focus from Install to Exit; Enter then clicks Exit.
start install_tab install
w=$(window F_azh1)
if [ -n "$w" ]; then
  xdotool key Tab
  shot install_tab
  xdotool key Return
fi
finish install_tab
says install_tab BitBtn2Click

# Enter clicks Install (the default button): the demo switches to the
# progress panel; its bar is 60 of 150.
start install_progress install
w=$(window F_azh1)
if [ -n "$w" ]; then
  xdotool key Return
  sleep 0.5
  shot install_progress
  pixel install_progress $((X + 16 + 3)) $((Y + 72 + 13)) 0,0,128 "progress bar filled part"
  pixel install_progress $((X + 16 + 200)) $((Y + 72 + 13)) 192,192,192 "progress bar empty part"
  xdotool key Escape
fi
finish install_progress
says install_progress "BitBtn1Click drive c"
says install_progress "modal result 2"

# The disk prompt asked for from inside the Install click, as a run asks for
# the next disk: it paints its own background over the install dialog, where
# the dialog below has the top edge of its progress bar and its Label1 text,
# and it is framed so that its edges show over the dialog's face.
start install_disk install disk
w=$(window F_azh1)
if [ -n "$w" ]; then
  xdotool key Return
  p=$(window F_tsh1)
  if [ -z "$p" ]; then fail "install_disk: no disk prompt"; else
    PX=$(((1024 - 263) / 2)) PY=$(((768 - 142) / 2))
    shot install_disk
    pixel install_progress 420 367 128,128,128 "progress bar top edge below the prompt"
    pixel install_disk 420 367 192,192,192 "prompt face over the dialog's progress bar edge"
    # The first pixel of the dialog's label text within the prompt's top rows.
    text=$(convert "$OUT/install_progress.png" -crop 250x12+$((PX + 5))+$((PY + 2)) txt:- |
      awk -F'[,: ]+' 'NR > 1 && $0 !~ /#C0C0C0/ {print $1 + '$((PX + 5))', $2 + '$((PY + 2))'; exit}')
    if [ -z "$text" ]; then fail "install_progress: no label text under the prompt's top rows"; else
      pixel install_disk ${text% *} ${text#* } 192,192,192 "prompt face over the dialog's label text"
    fi
    framed install_disk $PX $PY 263 142
    xdotool key Escape
    sleep 0.3
  fi
  xdotool key Escape
fi
finish install_disk
says install_disk "disk prompt result 2"
says install_disk "modal result 2"

# A click on the drive selector opens its list.
start install_list install
w=$(window F_azh1)
if [ -n "$w" ]; then
  xdotool mousemove $((X + 100)) $((Y + 82)) click 1
  sleep 0.5
  shot install_list
  xdotool key Escape
  sleep 0.3
  xdotool key Escape
fi
finish install_list

# -------------------------------------------------------------- disk prompt
# Centred 263 x 142; the focus in the edit with the path selected: a typed
# letter replaces it and Enter clicks OK (modal result 1).
start disk disk 12
w=$(window F_tsh1)
if [ -z "$w" ]; then fail "disk: no window"; else
  geometry "$w" $(((1024 - 263) / 2)) $(((768 - 142) / 2)) 263 142 disk
  shot disk
  framed disk $(((1024 - 263) / 2)) $(((768 - 142) / 2)) 263 142
  xdotool key d
  sleep 0.3
  shot disk_typed
  xdotool key Return
  finish disk
  says disk "modal result 1"
  says disk "Edit1 d"
fi

# ------------------------------------------------------------ message boxes
# box SET KEY ANSWER: shows the set, answers it with KEY.
box() {
  start "box_$1" box "$1"
  w=$(window MessageBox)
  if [ -z "$w" ]; then fail "box $1: no window"; finish "box_$1"; return; fi
  shot "box_$1"
  set -- "$1" "$2" "$3" $(xdotool getwindowgeometry "$w" | awk '/Position/{print $2} /Geometry/{print $2}' | tr ',x' '  ')
  if [ $# -eq 7 ]; then framed "box_$1" "$4" "$5" "$6" "$7"; else fail "box $1: no window geometry"; fi
  xdotool key "$2"
  finish "box_$1"
  [ -n "$3" ] && says "box_$1" "answer $3"
}
box ok Return 1
box okcancel Escape 2
box abortretryignore r 4
box yesnocancel n 7
box yesno Return 6
box retrycancel Escape 2
box error Return ""
box fatal Return ""

[ $FAILED = 0 ] && echo "all screen checks passed; screenshots in $OUT"
exit $FAILED
