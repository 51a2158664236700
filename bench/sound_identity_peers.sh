#!/usr/bin/env bash
# Checks the sound identity against two peers on files made here: ffmpeg's encoders (libmp3lame
# at a constant, variable and average rate, mp2, ac3 in 2.0 and 5.1, eac3, dca, aac, 16-bit
# stereo and 6-channel PCM), mencoder's AVI writer with LAME, and LAME's own files (with their
# Xing and LAME tags) copied into AVI by mencoder. Each file's sound stream is cut to its first
# chunks as the inspection reads them (64 chunks, 1 MiB), tests/bitstream/print_sound_identity
# says what they are, and each field is set beside ffprobe's (codec_name, profile, channels,
# channel_layout, sample_rate) and, where ffprobe is silent, mediainfo's (format version and
# profile, bit rate mode, writing library). Prints one line per field that differs and the
# count of those that agree. Not run by the tests: the files are large and the peers slow.
#
#   bench/sound_identity_peers.sh [SECONDS]     length of the clip (default 10)
#
#   PRINT_SOUND_IDENTITY=path   the program (default: the default preset's build, made when
#                               it is missing)
set -euo pipefail

# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"
ensure_packages ffmpeg mediainfo mencoder lame python3

seconds="${1:-10}"
tool="${PRINT_SOUND_IDENTITY:-$STROVANIK_ROOT/build/default/tests/print_sound_identity}"
if [ ! -x "$tool" ]; then
    (cd "$STROVANIK_ROOT" && cmake --preset default >&2 && cmake --build --preset default --target print_sound_identity >&2)
fi
extract="$STROVANIK_ROOT/tests/bitstream/first_chunks.py"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }
clip() {  # LAYOUT RATE OUT
    ff -f lavfi -i "sine=f=440:b=4:d=$seconds:r=48000" -f lavfi -i "anoisesrc=d=$seconds:a=0.15:r=48000:s=7" \
        -filter_complex "[0][1]amix=2,volume=2,aformat=channel_layouts=$1,aresample=$2" -c:a pcm_s16le "$3"
}
clip stereo 44100 "$work/stereo44.wav"
clip stereo 48000 "$work/stereo48.wav"
clip 5.1 48000 "$work/surround48.wav"
ff -f lavfi -i "testsrc=s=320x240:r=25:d=$seconds" -i "$work/stereo44.wav" -c:v mpeg4 -c:a pcm_s16le \
    "$work/source.avi"

files=()
# NAME INPUT OPTIONS...: a picture and sound, the sound from INPUT, by ffmpeg's AVI writer.
make() {
    local name="$1" input="$2"
    shift 2
    ff -f lavfi -i "testsrc=s=320x240:r=25:d=$seconds" -i "$input" -map 0:v -map 1:a -c:v mpeg4 "$@" \
        "$work/$name.avi"
    files+=("$name")
}
make mp3_cbr "$work/stereo44.wav" -c:a libmp3lame -b:a 192k
make mp3_vbr "$work/stereo44.wav" -c:a libmp3lame -q:a 2
make mp3_abr "$work/stereo44.wav" -c:a libmp3lame -abr 1 -b:a 160k
make mp2 "$work/stereo48.wav" -c:a mp2 -b:a 192k
make ac3_stereo "$work/stereo48.wav" -c:a ac3 -b:a 192k
make ac3_surround "$work/surround48.wav" -c:a ac3 -b:a 448k
make eac3 "$work/stereo48.wav" -c:a eac3 -b:a 96k
make dts "$work/surround48.wav" -strict -2 -c:a dca
make aac "$work/stereo44.wav" -c:a aac -b:a 128k
make pcm_stereo "$work/stereo44.wav" -c:a pcm_s16le
make pcm_surround "$work/surround48.wav" -c:a pcm_s16le
mencoder -really-quiet "$work/source.avi" -ovc copy -oac mp3lame -lameopts cbr:br=128 \
    -o "$work/mencoder_cbr.avi" >/dev/null 2>&1 && files+=(mencoder_cbr)
mencoder -really-quiet "$work/source.avi" -ovc copy -oac mp3lame -lameopts vbr=3:q=2 \
    -o "$work/mencoder_vbr.avi" >/dev/null 2>&1 && files+=(mencoder_vbr)
for lame_file in "vbr:-V2" "abr:--abr 160" "cbr:-b 192"; do
    name="lame_${lame_file%%:*}"
    # shellcheck disable=SC2086 # the options are words
    lame --quiet ${lame_file#*:} "$work/stereo44.wav" "$work/$name.mp3"
    mencoder -really-quiet "$work/source.avi" -audiofile "$work/$name.mp3" -ovc copy -oac copy \
        -o "$work/$name.avi" >/dev/null 2>&1 && files+=("$name")
done

for name in "${files[@]}"; do
    python3 "$extract" "$work/$name.avi" 1 "$work/$name.chunks"
    {
        printf 'name=%s\t' "$name"
        "$tool" "$work/$name.chunks" | cut -f2-
    } >"$work/$name.ours"
    ffprobe -v error -select_streams a:0 -show_streams -of flat=s=_ "$work/$name.avi" >"$work/$name.ffprobe"
    mediainfo --Output=JSON "$work/$name.avi" >"$work/$name.mediainfo"
done

python3 - "$work" "${files[@]}" <<'PY'
import base64, json, sys

work, names = sys.argv[1], sys.argv[2:]

def fields(text, sep="\t"):
    out = {}
    for part in text.strip().split(sep):
        if "=" in part:
            k, v = part.split("=", 1)
            out[k.strip()] = v.strip().strip('"')
    return out

LAYOUTS = {"mono": "1.0", "stereo": "2.0", "5.1": "5.1", "5.1(side)": "5.1", "2.1": "2.1",
           "quad": "4.0", "3.0": "3.0", "4.0": "4.0", "5.0": "5.0", "5.0(side)": "5.0",
           "7.1": "7.1", "6.1": "6.1"}
AAC_PROFILES = {"LC": "AAC LC", "HE-AAC": "HE-AAC", "HE-AACv2": "HE-AACv2", "Main": "AAC Main"}

agreed = total = 0
for name in names:
    ours = fields(open(f"{work}/{name}.ours").read())
    probe = {k.replace("streams_stream_0_", ""): v for k, v in
             fields(open(f"{work}/{name}.ffprobe").read(), "\n").items()}
    tracks = json.load(open(f"{work}/{name}.mediainfo"))["media"]["track"]
    mi = next((t for t in tracks if t.get("@type") == "Audio"), {})
    checks = []  # (field, ours, peer's, peer)
    codec = probe.get("codec_name", "")
    checks.append(("format", ours.get("format"), "pcm" if codec.startswith("pcm_") else codec, "ffprobe"))
    checks.append(("channels", ours.get("channels"), probe.get("channels"), "ffprobe"))
    if probe.get("channel_layout", "unknown") != "unknown":
        checks.append(("channel_layout", ours.get("channel_layout"),
                       LAYOUTS.get(probe["channel_layout"], probe["channel_layout"]), "ffprobe"))
    elif mi.get("ChannelLayout"):
        # mediainfo names the speakers ("L R C LFE Ls Rs"): full-range ones and the LFE.
        speakers = mi["ChannelLayout"].split()
        lfe = sum(1 for s in speakers if s.startswith("LFE"))
        checks.append(("channel_layout", ours.get("channel_layout"), f"{len(speakers) - lfe}.{lfe}", "mediainfo"))
    checks.append(("sample_rate", ours.get("sample_rate"), probe.get("sample_rate"), "ffprobe"))
    profile = probe.get("profile", "unknown")
    if codec == "aac":
        checks.append(("profile", ours.get("profile"), AAC_PROFILES.get(profile, profile), "ffprobe"))
    elif codec == "dts":
        checks.append(("profile", ours.get("profile"), profile, "ffprobe"))
    elif codec in ("mp1", "mp2", "mp3"):
        version = "MPEG-" + mi.get("Format_Version", "").replace("Version ", "")
        checks.append(("profile", ours.get("profile"), f"{version} {mi.get('Format_Profile', '')}", "mediainfo"))
    elif codec in ("ac3", "eac3"):
        checks.append(("profile", ours.get("profile"), mi.get("Format"), "mediainfo"))
    if mi.get("BitRate_Mode"):
        checks.append(("mode", ours.get("mode"), mi["BitRate_Mode"], "mediainfo"))
    if mi.get("Encoded_Library") or ours.get("encoder"):
        library = mi.get("Encoded_Library", "")
        if isinstance(library, dict):  # bytes mediainfo could not put into text, in base64
            library = base64.b64decode(library.get("#value", "")).decode("latin-1")
        # mediainfo keeps whatever follows LAME's name in a frame's spare bits (its filler
        # bytes); the name is what is compared.
        if ours.get("encoder") and library.startswith(ours["encoder"]) and library != ours["encoder"]:
            print(f"{name}: encoder: mediainfo {library!r} carries bytes after the name")
            library = ours["encoder"]
        checks.append(("encoder", ours.get("encoder", ""), library, "mediainfo"))
    for field, mine, theirs, peer in checks:
        total += 1
        if mine == theirs:
            agreed += 1
        else:
            print(f"{name}: {field}: ours {mine!r}, {peer} {theirs!r}")
    print(f"{name}: " + " ".join(f"{k}={v}" for k, v in ours.items() if k != "name"))
print(f"agreed: {agreed} of {total} fields")
PY
