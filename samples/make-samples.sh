#!/usr/bin/env bash
# Makes the small AVI files of this folder with ffmpeg; the README's example report and the
# command-line tests read them. Run it from anywhere: it writes the files beside
# itself. The files are committed, so this is only needed to change or remake them; a newer
# ffmpeg may write slightly different bytes (the tests compare with ffprobe, not with fixed
# numbers, so they keep passing).
#
#   mp3_sound.avi   MPEG-4 video tagged XVID, 160 x 120 at 25 frames a second, 2 seconds,
#                   with one MP3 sound stream (stereo, 44,100 Hz, 32 kbit/s)
#   silent.avi      MPEG-4 video tagged DX50, 176 x 144 at 30000/1001 frames a second,
#                   no sound stream
#   two_sounds.avi  MPEG-4 video tagged XVID, 128 x 96 at 25 frames a second, with two
#                   sound streams: MP3 (mono, 22,050 Hz, 24 kbit/s) and AC-3 (stereo, 48,000 Hz, 32 kbit/s)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
if ! command -v ffmpeg >/dev/null; then
    echo "make-samples.sh: ffmpeg is needed (apt-get install ffmpeg)" >&2
    exit 1
fi

# bitexact keeps the encoder's version text out of the files, so that remaking them with the
# same ffmpeg gives the same bytes.
common=(-hide_banner -loglevel error -y -fflags +bitexact -flags:v +bitexact -flags:a +bitexact)
video() { # size rate seconds
    echo -f lavfi -i "testsrc=size=$1:rate=$2:duration=$3"
}

ffmpeg "${common[@]}" $(video 160x120 25 2) \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" \
    -map 0:v -map 1:a -c:v mpeg4 -vtag XVID -q:v 31 -g 50 \
    -c:a libmp3lame -b:a 32k -ac 2 \
    "$here/mp3_sound.avi"

ffmpeg "${common[@]}" $(video 176x144 30000/1001 1) \
    -map 0:v -c:v mpeg4 -vtag DX50 -q:v 31 -g 50 \
    "$here/silent.avi"

ffmpeg "${common[@]}" $(video 128x96 25 1) \
    -f lavfi -i "sine=frequency=330:sample_rate=22050:duration=1" \
    -f lavfi -i "sine=frequency=550:sample_rate=48000:duration=1" \
    -map 0:v -map 1:a -map 2:a -c:v mpeg4 -vtag XVID -q:v 31 -g 50 \
    -c:a:0 libmp3lame -b:a:0 24k -ac:a:0 1 \
    -c:a:1 ac3 -b:a:1 32k -ac:a:1 2 \
    "$here/two_sounds.avi"

ls -l "$here"/*.avi
