#!/usr/bin/env bash
# Makes the bitstream tests' fixtures: a short clip encoded by real encoders into AVI, of which
# the first chunks of the video stream are kept in tests/bitstream/data/NAME.chunks (each
# chunk as a four-byte little-endian length and its bytes, so the chunk boundaries survive).
# Needs ffmpeg, mencoder and a built bitstream_probe (cmake --build --preset default --target
# bitstream_probe). Encoders change between releases: the tests' expected values are what the
# encoders of Debian 12 wrote (ffmpeg 5.1, libxvid 1.3.7, x264 core 164); run this again only
# to add fixtures, and check the tests' tables against the new files.
#
#   tests/bitstream/make_video_fixtures.sh [BUILD_DIR]      BUILD_DIR defaults to build/default
#   KEEP_AVI=DIR tests/bitstream/make_video_fixtures.sh     also keeps the whole AVI files in DIR,
#                                                     to hold the fixtures against other tools
#   AVI_ONLY=DIR tests/bitstream/make_video_fixtures.sh     makes only the AVI files, in DIR (no
#                                                     fixture is written, no probe needed)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
probe="${1:-$root/build/default}/tests/bitstream_probe"
out="$root/tests/bitstream/data"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
if [ -n "${AVI_ONLY:-}" ]; then
    mkdir -p "$AVI_ONLY"
    work="$(cd "$AVI_ONLY" && pwd)"
    trap - EXIT
elif [ -n "${KEEP_AVI:-}" ]; then
    mkdir -p "$KEEP_AVI"
    trap 'cp "$work"/*.avi "$KEEP_AVI"/; rm -rf "$work"' EXIT
fi

# Twelve chunks hold an I-frame and the B-frame pattern after it, and the placeholders of
# packed bitstream; a 64x48 picture keeps each file to a few kilobytes.
chunks=12
clip=(-f lavfi -i testsrc=size=64x48:rate=25 -t 0.6 -pix_fmt yuv420p)
ffmpeg -v error -y "${clip[@]}" -f yuv4mpegpipe "$work/clip.y4m"

keep() {  # NAME AVI
    [ -z "${AVI_ONLY:-}" ] || return 0
    "$probe" --chunks "$chunks" "$out/$1.chunks" "$2"
    echo "$1: $(stat -c %s "$out/$1.chunks") bytes" >&2
}
ffmpeg_avi() {  # NAME ENCODER-OPTIONS...
    local name="$1"
    shift
    ffmpeg -v error -y -i "$work/clip.y4m" "$@" "$work/$name.avi"
    keep "$name" "$work/$name.avi"
}
mencoder_avi() {  # NAME MENCODER-OPTIONS...
    local name="$1"
    shift
    mencoder "$work/clip.y4m" -really-quiet -o "$work/$name.avi" "$@" >/dev/null 2>&1
    keep "$name" "$work/$name.avi"
}

[ -n "${AVI_ONLY:-}" ] || mkdir -p "$out"
# Xvid through ffmpeg: with B-frames ffmpeg asks Xvid for packed bitstream in AVI.
ffmpeg_avi xvid_packed -c:v libxvid -bf 2 -vtag XVID
ffmpeg -v error -y -i "$work/xvid_packed.avi" -c copy -bsf:v mpeg4_unpack_bframes \
    "$work/xvid_unpacked.avi"
keep xvid_unpacked "$work/xvid_unpacked.avi"
ffmpeg_avi xvid_simple -c:v libxvid -bf 0 -vtag XVID
ffmpeg_avi xvid_gmc_qpel -c:v libxvid -bf 1 -gmc 1 -flags +qpel -vtag XVID
# Xvid through mencoder, whose AVI writer is its own.
mencoder_avi mencoder_xvid_packed -ovc xvid -xvidencopts packed:max_bframes=2:bitrate=200
mencoder_avi mencoder_xvid_mpeg_quant -ovc xvid \
    -xvidencopts max_bframes=1:quant_type=mpeg:interlacing:bitrate=200
# ffmpeg's own MPEG-4 encoder.
ffmpeg_avi lavc_bframes -c:v mpeg4 -bf 2
ffmpeg_avi lavc_qpel -c:v mpeg4 -bf 1 -flags +qpel
ffmpeg_avi lavc_fmp4 -c:v mpeg4 -vtag FMP4
ffmpeg_avi lavc_interlaced -c:v mpeg4 -flags +ildct+ilme -vtag DX50
# x264, with heights that need cropping (neither 42 nor 44 is a whole number of macroblocks;
# an interlaced picture must be a multiple of 4 high).
h264_clip=(-vf scale=64:42)
ffmpeg_avi x264_baseline "${h264_clip[@]}" -c:v libx264 -profile:v baseline -vtag H264
ffmpeg_avi x264_main "${h264_clip[@]}" -c:v libx264 -profile:v main -vtag H264
ffmpeg_avi x264_high "${h264_clip[@]}" -c:v libx264 -profile:v high -level 3.1 -vtag H264
ffmpeg_avi x264_interlaced -vf scale=64:44 -c:v libx264 -profile:v high -x264-params \
    interlaced=1:bframes=3 -vtag H264
ffmpeg_avi x264_high10 "${h264_clip[@]}" -pix_fmt yuv420p10le -c:v libx264 -profile:v high10 \
    -vtag H264
