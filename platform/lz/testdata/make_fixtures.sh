#!/bin/sh
# Rebuilds the SZDD golden fixtures in this directory with Debian's
# mscompress 0.4 (package mscompress): `mscompress FILE` writes FILE_.
# The plain files are committed too; the tests expand each FILE_ and compare
# it with FILE.
set -eu
cd "$(dirname "$0")"

# Around the 4096-byte window: the output wraps the window, and references
# reach back across the wrap.
yes 'The quick brown fox jumps over the lazy dog 0123456789.' | head -c 4095 > window4095.txt
yes 'The quick brown fox jumps over the lazy dog 0123456789.' | head -c 4096 > window4096.txt
seq 1 2000 | head -c 4097 > window4097.txt

# Blanks at the start, where they meet the blank-filled window, and runs of
# blanks later on.
{ printf '%300s' ''; echo 'indented text'; printf '%40s|\n' 'right' 'aligned' 'columns'; printf '%200s\n' ''; } > blanks.txt

# GB2312 text (double-byte characters, bytes 0xA1-0xF7).
for i in 1 2 3 4 5 6; do
  printf '第%s行：系统正在检测，请稍等...\r\n请插入第%s张安装盘：A:\\\r\n系统安装成功！\r\n' "$i" "$i"
done | iconv -f UTF-8 -t GB2312 > gb2312.txt

# A larger mixed file: text, pseudo-random bytes, long runs, text again.
python3 -c '
import sys
x = 12345
out = bytearray()
for i in range(800):
    out += b"line %d: value=%d\r\n" % (i, i * i % 977)
for i in range(6000):
    x = (x * 1103515245 + 12345) & 0x7FFFFFFF
    out.append(x >> 16 & 0xFF)
out += b"\0" * 2000 + b"\xff" * 1000
out += bytes(range(256)) * 8
out += b"MZ\x90\0" + b"PE\0\0" * 100
sys.stdout.buffer.write(bytes(out))
' > mixed.bin

for f in window4095.txt window4096.txt window4097.txt blanks.txt gb2312.txt mixed.bin; do
  rm -f "${f}_"
  mscompress "$f"
done
