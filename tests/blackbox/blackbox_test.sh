#!/usr/bin/env bash
# Black-box tests of the real setup binary: it runs in a virtual X display on
# a fresh machine holding the demo distribution, is driven by keys as a person
# would drive it, and is judged from the machine root (files, registry hive,
# Program Manager groups), the trace and the exit code.
#
#   blackbox_test.sh BIN_DIR SCENARIO
# Exits 77 (skipped) when there is no Xvfb, xdotool or mscompress.
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
bin=$(cd "$1" && pwd)
scenario=$2
for tool in Xvfb xdotool import mscompress iconv; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
. "$here/scripts/xsession.sh"
work=$(mktemp -d)
root="$work/machine"
trace="$work/trace.txt"
trap 'xs_stop; rm -rf "$work"' EXIT
# Leaks inside the font libraries (caches kept until exit) are not the program's.
export LSAN_OPTIONS="suppressions=$here/platform/toolkit/fltk/lsan.supp"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { [ "$1" = "$2" ] || fail "$3: expected '$2', got '$1'"; }
# expect_box REGEX: the next message box shows text matching REGEX.
expect_box() {
  local line
  line=$(xs_wait_trace "$trace" '^msgbox ') || { fail "no message box (wanted $1)"; return; }
  [[ $line =~ $1 ]] || fail "message box: $line (wanted $1)"
  xs_window MessageBox >/dev/null || fail "message box window not seen"
}
gbk_file_has() { iconv -f GB2312 -t UTF-8 "$1" 2>/dev/null | grep -qF -- "$2"; }

"$here/scripts/prepare-machine" "$root" >/dev/null || { echo "cannot prepare the machine"; exit 1; }
disk1="$root/floppy/DISK1"
xs_start_display || exit 1
xs_start_progman "$bin" "$root" || exit 1

install_and_reach_disk_prompt() {
  xs_start_setup "$bin" "$root" "$disk1" "$trace"
  xs_wait_trace "$trace" '^show F_azh1' >/dev/null || fail "no install dialog"
  xs_window F_azh1 >/dev/null
  xs_keys Return
  xs_wait_trace "$trace" '^show F_tsh1' >/dev/null || fail "no disk prompt"
  xs_window F_tsh1 >/dev/null
}

case "$scenario" in
  two-disk-success)
    install_and_reach_disk_prompt
    xs_type 'A:\DISK2'
    xs_keys Return
    expect_box '^msgbox \[提示\] 系统安装成功！ \{OK\}$'
    xs_keys Return
    xs_wait_exit; expect_eq "$XS_EXIT" 0 "exit code"
    [ -f "$root/drive_c/KSALES/DATA/ORDERS.DB" ] || fail "ORDERS.DB not installed"
    expect_eq "$(stat -c %s "$root/drive_c/KSALES/DATA/ORDERS.DB")" 250000 "expanded size of ORDERS.DB"
    expect_eq "$(stat -c %s "$root/drive_c/KSALES/DATA/REGION.DB")" 3000 "size of the plain REGION.DB"
    [ -d "$root/drive_c/KSALES/REPORTS/MONTHLY" ] || fail "nested directory missing"
    grep -q '"BLAPIPATH"="C:\\\\KSALES"' "$root/system.reg" || fail "BLAPIPATH not in the hive"
    grep -q '"LANGDRIVER"="china"' "$root/system.reg" || fail "LANGDRIVER not in the hive"
    group=$(ls "$root"/progman/*.txt 2>/dev/null | head -n 1)
    [ -n "$group" ] && gbk_file_has "$group" 'Caption=销售管理系统' || fail "program group item missing"
    ;;
  wrong-path-then-right)
    install_and_reach_disk_prompt
    xs_type 'A:\NOWHERE'
    xs_keys Return
    xs_wait_trace "$trace" '^modal result F_tsh1 1' >/dev/null || fail "prompt not confirmed"
    xs_wait_trace "$trace" '^show F_tsh1' >/dev/null || fail "the prompt did not come back"
    xs_window F_tsh1 >/dev/null
    xs_keys Tab shift+Tab   # out of the field and back: its text is selected
    xs_type 'A:\DISK2'
    xs_keys Return
    expect_box '系统安装成功！'
    xs_keys Return
    xs_wait_exit; expect_eq "$XS_EXIT" 0 "exit code"
    [ -f "$root/drive_c/KSALES/DATA/CUSTOMER.DB" ] || fail "disk 2 not installed"
    ;;
  ignore-fails)
    rm "$disk1/FAREAST.BL_"
    xs_start_setup "$bin" "$root" "$disk1" "$trace"
    xs_wait_trace "$trace" '^show F_azh1' >/dev/null || fail "no install dialog"
    xs_window F_azh1 >/dev/null
    xs_keys Return
    expect_box '^msgbox \[提示\] A:\\DISK1\\FAREAST\.BL_不能正常安装！ \{Abort/Retry/Ignore\}$'
    xs_keys alt+i
    xs_wait_trace "$trace" '^show F_tsh1' >/dev/null || fail "no disk prompt"
    xs_window F_tsh1 >/dev/null
    xs_type 'A:\DISK2'
    xs_keys Return
    expect_box '^msgbox \[提示\] 系统安装失败！'
    xs_keys Return
    xs_wait_trace "$trace" '^answer 1' >/dev/null
    xs_window F_azh1 >/dev/null
    xs_keys Escape
    xs_wait_exit; expect_eq "$XS_EXIT" 0 "exit code"
    grep -q '"LANGDRIVER"="china"' "$root/system.reg" || fail "registry not written after Ignore"
    ;;
  close-box-leaves-background)
    xs_start_setup "$bin" "$root" "$disk1" "$trace"
    xs_wait_trace "$trace" '^show F_azh1' >/dev/null || fail "no install dialog"
    w=$(xs_window F_azh1)
    xs_keys alt+F4
    xs_wait_trace "$trace" '^modal result F_azh1 2' >/dev/null || fail "the dialog did not close"
    bg=$(xs_window F_bj1)
    [ -n "$bg" ] || fail "the background window is gone"
    kill -0 "$XS_SETUP_PID" 2>/dev/null || fail "setup ended with the dialog"
    xs_keys alt+F4
    xs_wait_exit; expect_eq "$XS_EXIT" 0 "exit code"
    [ -d "$root/drive_c/KSALES" ] && fail "something was installed"
    ;;
  missing-script)
    xs_start_setup "$bin" "$root" "$root/floppy" "$trace"
    expect_box '^msgbox \[错误\] A:\\SETUP\.INI 不存在,不能安装！ \{OK\}$'
    xs_keys Return
    xs_wait_exit; expect_eq "$XS_EXIT" 0 "exit code"
    grep -q '^show' "$trace" && fail "a window was shown"
    ;;
  *)
    echo "unknown scenario $scenario"
    exit 2
    ;;
esac

if [ "$failures" -ne 0 ]; then
  echo "--- trace"
  cat "$trace"
  echo "--- output"
  cat "$trace.out"
  exit 1
fi
echo "ok: $scenario"
