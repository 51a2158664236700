#!/usr/bin/env bash
# The repaired copy measured: side by side with a remux by ffmpeg (-c copy) on the same damaged
# files (chunks kept per stream, headers kept, time taken, whether the copy decodes without an
# error line), then against cp of one large file from a warm page cache, then on a cut OpenDML
# file over 1 GiB, whose copy ffprobe must read to its full length. Prints Markdown tables for
# docs/repair.md.
#
#   bench/repair_peers.sh [BUILD_FOLDER [PART...]]    (default build/default; PART: peers, cp,
#                                                      odml, by default all three)
#
# Needs ffmpeg, ffprobe, mencoder (its file is left out without it), python3 and /usr/bin/time;
# takes about 4 GB of room in $TMPDIR.
set -euo pipefail

build=${1:-build/default}
if [ "$#" -gt 0 ]; then shift; fi
parts=(peers cp odml)
if [ "$#" -gt 0 ]; then parts=("$@"); fi
report="$(realpath "$build/src/cli/strovanik-report")"
[ -x "$report" ] || { echo "no $report: build strovanik-report first" >&2; exit 2; }
for tool in ffmpeg ffprobe python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"

# Packets per stream as ffprobe reads them: "a/b".
packets() {
    ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$1" |
        paste -sd/
}

# The header records a remux must keep: each stream's handler and format, and the INFO texts.
headers() {
    python3 - "$1" <<'EOF'
import hashlib, struct, sys
data = open(sys.argv[1], 'rb').read()
movi = data.find(b'movi')
head = data[:movi if movi > 0 else len(data)]
kept = []
for tag in (b'strf', b'ISFT', b'INAM', b'strn'):
    at = head.find(tag)
    while at >= 0:
        size = struct.unpack('<I', head[at + 4:at + 8])[0]
        kept.append(tag + head[at + 8:at + 8 + size])
        at = head.find(tag, at + 4)
at = head.find(b'strh')
while at >= 0:
    kept.append(head[at + 12:at + 16])  # fccHandler
    at = head.find(b'strh', at + 4)
print(hashlib.sha1(b'|'.join(kept)).hexdigest()[:12])
EOF
}

seconds() { /usr/bin/time -f %e "$@" 2>&1 >/dev/null | tail -1; }

# The damages: a cut at 61%, 64 KiB of noise in the middle, the index renamed JUNK.
damage() {  # SOURCE KIND OUT
    python3 - "$@" <<'EOF'
import random, sys
source, kind, out = sys.argv[1:]
data = bytearray(open(source, 'rb').read())
if kind == 'cut':
    data = data[:len(data) * 61 // 100]
elif kind == 'noise':
    rng = random.Random(27)
    middle = len(data) // 2
    data[middle:middle + 65536] = bytes(rng.getrandbits(8) for _ in range(65536))
elif kind == 'noindex':
    for tag in (b'idx1', b'indx'):
        at = data.find(tag)
        while at >= 0:
            data[at:at + 4] = b'JUNK'
            at = data.find(tag, at + 4)
open(out, 'wb').write(data)
EOF
}

peers() {
input="-f lavfi -i testsrc=size=640x360:rate=25,noise=alls=12:allf=t -f lavfi -i sine=sample_rate=44100 -t 60"
ffmpeg -nostdin -v error -y $input -c:v libxvid -bf 2 -vtag XVID -b:v 1500k -c:a libmp3lame -b:a 128k xvid_mp3.avi
ffmpeg -nostdin -v error -y $input -c:v libx264 -preset veryfast -b:v 1500k -c:a ac3 h264_ac3.avi
ffmpeg -nostdin -v error -y $input -c:v mpeg4 -b:v 1500k -c:a pcm_s16le mpeg4_pcm.avi
sources=(xvid_mp3 h264_ac3 mpeg4_pcm)
if command -v mencoder >/dev/null; then
    ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=640x360:rate=25,noise=alls=12:allf=t \
        -t 60 -pix_fmt yuv420p clip.y4m
    ffmpeg -nostdin -v error -y -f lavfi -i sine=sample_rate=44100 -t 60 clip.wav
    mencoder clip.y4m -really-quiet -audiofile clip.wav -ovc xvid \
        -xvidencopts packed:max_bframes=2:bitrate=1500 -oac mp3lame -o mencoder_xvid.avi \
        >/dev/null 2>&1
    sources+=(mencoder_xvid)
fi

echo "## Side by side with ffmpeg -c copy"
echo
echo "$(nproc) processors, load $(cut -d' ' -f1-3 /proc/loadavg); files of 60 s, 640x360, about" \
     "$(( $(stat -c %s xvid_mp3.avi) / 1000000 )) MB each, read from the page cache."
echo
echo "| File | Damage | Packets in the damaged file | Repair: packets | headers kept | s | decodes clean | ffmpeg -c copy: packets | headers kept | s | decodes clean |"
echo "|---|---|---|---|---|---|---|---|---|---|---|"
for name in "${sources[@]}"; do
    original=$(headers "$name.avi")
    for kind in cut noise noindex; do
        damage "$name.avi" "$kind" broken.avi
        cat broken.avi >/dev/null
        rm -f repaired.avi remuxed.avi
        t1=$(seconds "$report" --repair repaired.avi --even-if-complete broken.avi)
        t2=$(seconds ffmpeg -nostdin -v error -fflags +genpts -i broken.avi -map 0 -c copy remuxed.avi)
        row="| $name | $kind | $(packets broken.avi)"
        for copy in repaired.avi remuxed.avi; do
            if [ -s "$copy" ]; then
                same=no
                [ "$(headers "$copy")" = "$original" ] && same=yes
                clean=yes
                [ -z "$(ffmpeg -nostdin -v error -i "$copy" -f null - 2>&1)" ] || clean=no
                [ "$copy" = repaired.avi ] && t=$t1 || t=$t2
                row="$row | $(packets "$copy") | $same | $t | $clean"
            else
                row="$row | (no copy) | | | "
            fi
        done
        echo "$row |"
    done
done

}

against_cp() {
echo
echo "## Against cp, warm cache"
echo
# 1.5 GB of MJPEG chunks and no index, written sparse: a damaged file (no index) to repair.
python3 - big.avi <<'EOF'
import struct, sys
n, size = 1500, 1 << 20
def chunk(id, data): return id + struct.pack('<I', len(data)) + data
avih = struct.pack('<14i', 40000, 0, 0, 0, n, 0, 1, 0, 320, 240, 0, 0, 0, 0)
strh = b'vidsMJPG' + struct.pack('<12I', 0, 0, 0, 1, 25, 0, n, 0, 10000, 0, 0, 0)
strf = struct.pack('<IiiHH4sIiiII', 40, 320, 240, 1, 24, b'MJPG', 0, 0, 0, 0, 0)
strl = chunk(b'strh', strh) + chunk(b'strf', strf)
hdrl = b'hdrl' + chunk(b'avih', avih) + b'LIST' + struct.pack('<I', 4 + len(strl)) + b'strl' + strl
movi = 4 + n * (8 + size)
with open(sys.argv[1], 'wb') as f:
    f.write(b'RIFF' + struct.pack('<I', 20 + len(hdrl) + movi) + b'AVI ' + b'LIST' +
            struct.pack('<I', len(hdrl)) + hdrl + b'LIST' + struct.pack('<I', movi) + b'movi')
    for i in range(n):
        f.write(b'00dc' + struct.pack('<I', size) + b'\xff\xd8' + bytes(14))
        f.seek(size - 16, 1)
    f.truncate()
EOF
# Made real: a file read from the cache holds its bytes, holes would read faster than data.
cp --sparse=never big.avi big_full.avi && mv big_full.avi big.avi
cat big.avi >/dev/null
echo "| Run | cp s | repair s | repair peak memory |"
echo "|---|---|---|---|"
for run in 1 2 3; do
    rm -f copy.avi repaired.avi
    tc=$(seconds cp big.avi copy.avi)
    rm -f copy.avi
    out=$(/usr/bin/time -f "%e %M" "$report" --repair repaired.avi big.avi 2>&1 >/dev/null | tail -1)
    echo "| $run | $tc | ${out% *} | $(( ${out#* } / 1024 )) MB |"
done
rm -f big.avi repaired.avi copy.avi
}

cut_odml() {
echo
echo "## A cut OpenDML file over 1 GiB"
echo
# ffmpeg writes raw video past 1 GiB as OpenDML; cut at 80%.
ffmpeg -nostdin -v error -y -f lavfi -i color=c=black:size=640x480:rate=25 -t 70 \
    -c:v rawvideo -pix_fmt bgr24 odml.avi
python3 -c "import os; os.truncate('odml.avi', os.path.getsize('odml.avi') * 8 // 10)"
cat odml.avi >/dev/null
t=$(seconds "$report" --repair odml_repaired.avi odml.avi)
echo "| | Bytes | RIFFs | Packets | ffprobe duration s | check |"
echo "|---|---|---|---|---|---|"
riffs() { python3 -c "import sys; print(open(sys.argv[1],'rb').read().count(b'AVIX') + 1)" "$1"; }
echo "| cut file | $(stat -c %s odml.avi) | $(riffs odml.avi) | $(packets odml.avi) |" \
     "$(ffprobe -v error -show_entries format=duration -of csv=p=0 odml.avi) |" \
     "$("$report" --check --layout english odml.avi | head -1 | cut -d: -f2 | cut -d, -f1) |"
echo "| repaired copy ($t s) | $(stat -c %s odml_repaired.avi) | $(riffs odml_repaired.avi) |" \
     "$(packets odml_repaired.avi) |" \
     "$(ffprobe -v error -show_entries format=duration -of csv=p=0 odml_repaired.avi) |" \
     "$("$report" --check --layout english odml_repaired.avi | head -1 | cut -d: -f2 | cut -d, -f1) |"
}

for part in "${parts[@]}"; do
    case "$part" in
        peers) peers ;;
        cp) against_cp ;;
        odml) cut_odml ;;
        *) echo "no part named $part (peers, cp, odml)" >&2; exit 2 ;;
    esac
done
