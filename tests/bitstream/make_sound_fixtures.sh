#!/usr/bin/env bash
# Makes the sound fixtures of the bitstream tests: a two-second clip (a tone that comes and goes
# over noise, so that a variable-rate encoder does vary) encoded by ffmpeg's and mencoder's
# writers (and by the LAME program) into AVI, and the first chunks of its sound stream kept, with their boundaries, in
# tests/bitstream/data/NAME.chunks (see first_chunks.py for the layout).
#
#   tests/bitstream/make_sound_fixtures.sh [OUT_DIR]     default: tests/bitstream/data
#   AVI_ONLY=DIR tests/bitstream/make_sound_fixtures.sh  makes only the AVI files, in DIR
#
# The encoders' output changes little between versions, but the tests only assert what any
# version writes (formats, rates, layouts), so the stored files need not be made again.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out="${1:-$here/data}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
if [ -n "${AVI_ONLY:-}" ]; then
    mkdir -p "$AVI_ONLY"
    work="$(cd "$AVI_ONLY" && pwd)"
    trap - EXIT
else
    mkdir -p "$out"
fi

# STREAM AVI NAME: the stream's first chunks kept as the fixture NAME.chunks.
first_chunks() {
    [ -z "${AVI_ONLY:-}" ] || return 0
    python3 "$here/first_chunks.py" "$2" "$1" "$out/$3.chunks" 16 8192
}

ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }

# The clip, in the layouts the encoders are given.
tone="sine=f=440:b=4:d=2:r=48000"
noise="anoisesrc=d=2:a=0.15:r=48000:s=7"
clip() {  # clip LAYOUT RATE OUT
    ff -f lavfi -i "$tone" -f lavfi -i "$noise" \
        -filter_complex "[0][1]amix=2,volume=2,aformat=channel_layouts=$1,aresample=$2" \
        -c:a pcm_s16le "$3"
}
clip stereo 44100 "$work/stereo44.wav"
clip stereo 48000 "$work/stereo48.wav"
clip 5.1 48000 "$work/surround48.wav"
clip mono 22050 "$work/mono22.wav"

# NAME INPUT ENCODER-OPTIONS...: ffmpeg's AVI writer, sound only.
encode() {
    local name="$1" input="$2"
    shift 2
    ff -i "$input" "$@" -f avi "$work/$name.avi"
    first_chunks 0 "$work/$name.avi" "$name"
}
encode mp3_cbr_192 "$work/stereo44.wav" -c:a libmp3lame -b:a 192k
encode mp3_vbr_q2 "$work/stereo44.wav" -c:a libmp3lame -q:a 2
encode mp3_abr_160 "$work/stereo44.wav" -c:a libmp3lame -abr 1 -b:a 160k
encode mp3_mono_22k "$work/mono22.wav" -c:a libmp3lame -b:a 32k
encode mp2_stereo "$work/stereo48.wav" -c:a mp2 -b:a 192k
encode ac3_stereo "$work/stereo48.wav" -c:a ac3 -b:a 192k
encode ac3_surround "$work/surround48.wav" -c:a ac3 -b:a 448k
encode eac3_stereo "$work/stereo48.wav" -c:a eac3 -b:a 96k
encode dts_surround "$work/surround48.wav" -strict -2 -c:a dca
encode aac_lc "$work/stereo44.wav" -c:a aac -b:a 128k
encode pcm_stereo "$work/stereo44.wav" -c:a pcm_s16le
encode pcm_surround "$work/surround48.wav" -c:a pcm_s16le

# AAC with its ADTS headers kept in the chunks, as a copy from an ADTS file writes it.
ff -i "$work/stereo44.wav" -c:a aac -b:a 96k -f adts "$work/adts.aac"
ff -i "$work/adts.aac" -c:a copy -f avi "$work/aac_adts.avi"
first_chunks 0 "$work/aac_adts.avi" aac_adts

# mencoder's AVI writer, which cuts the sound into chunks of its own size regardless of the
# frames: frames straddle the chunks' edges. It wants a picture, so a small one goes with it.
ff -f lavfi -i "testsrc=s=64x48:r=25:d=2" -i "$work/stereo44.wav" -c:v mpeg4 -c:a pcm_s16le \
    "$work/source.avi"
mencode() {  # NAME OPTIONS...
    local name="$1"
    shift
    mencoder -really-quiet "$work/source.avi" -ovc copy "$@" -o "$work/$name.avi" >/dev/null 2>&1
    first_chunks 1 "$work/$name.avi" "$name"
}
mencode mencoder_mp3_cbr -oac mp3lame -lameopts cbr:br=128
mencode mencoder_mp3_vbr -oac mp3lame -lameopts vbr=3:q=2
# MP3 files of the LAME program, whose first frame is its Xing (or, at a constant rate, "Info")
# header with LAME's tag, kept by mencoder's copy into AVI. (mencoder's own AC-3 and MP2 through
# libavcodec refuse the channel layouts of Debian 12's libavcodec, so they are not here.)
for lame_file in "vbr_v2:-V2" "abr_160:--abr 160" "cbr_192:-b 192"; do
    name="${lame_file%%:*}"
    # shellcheck disable=SC2086 # the options are words
    lame --quiet ${lame_file#*:} "$work/stereo44.wav" "$work/$name.mp3"
    mencoder -really-quiet "$work/source.avi" -audiofile "$work/$name.mp3" -ovc copy -oac copy \
        -o "$work/lame_$name.avi" >/dev/null 2>&1
    first_chunks 1 "$work/lame_$name.avi" "lame_$name"
done
[ -n "${AVI_ONLY:-}" ] || ls -l "$out" >&2
