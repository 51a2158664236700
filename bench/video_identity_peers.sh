#!/usr/bin/env bash
# Holds the video identity read from each stream's first chunks against two peers, field by
# field, on files made here by real encoders (ffmpeg's libxvid, mpeg4 and libx264, and
# mencoder's Xvid and libavcodec with its own AVI writer): ffprobe for the codec, profile,
# level, B-frames and size, and mediainfo where ffprobe is silent (the writing library, x264's
# settings, BVOP, quarter-pel, GMC, packed bitstream, CABAC, reference frames, scan type).
# Prints one line per field compared and how many agree. Not run by the test suite.
#
#   bench/video_identity_peers.sh [BUILD_DIR]     BUILD_DIR defaults to build/default, where
#                                                 the bitstream_probe target must be built
#   KEEP=DIR bench/video_identity_peers.sh        keeps the files made in DIR
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
probe="${1:-$root/build/default}/tests/bitstream_probe"
for tool in ffmpeg ffprobe mediainfo mencoder "$probe"; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
work="${KEEP:-$(mktemp -d)}"
mkdir -p "$work"
[ -n "${KEEP:-}" ] || trap 'rm -rf "$work"' EXIT

# Two seconds of a moving test picture, as a camera-sized clip.
ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -t 2 -pix_fmt yuv420p \
    -f yuv4mpegpipe "$work/clip.y4m"
ff() {  # NAME OPTIONS...
    local name="$1"
    shift
    ffmpeg -v error -y -i "$work/clip.y4m" "$@" "$work/$name.avi"
}
menc() {  # NAME OPTIONS...
    local name="$1"
    shift
    mencoder "$work/clip.y4m" -really-quiet -o "$work/$name.avi" "$@" >/dev/null 2>&1
}
ff xvid_packed -c:v libxvid -bf 2 -vtag XVID
ffmpeg -v error -y -i "$work/xvid_packed.avi" -c copy -bsf:v mpeg4_unpack_bframes \
    "$work/xvid_unpacked.avi"
ff xvid_no_b -c:v libxvid -bf 0 -vtag XVID
ff xvid_gmc_qpel -c:v libxvid -bf 1 -gmc 1 -flags +qpel -vtag XVID
menc mencoder_xvid_packed -ovc xvid -xvidencopts packed:max_bframes=2:bitrate=800
menc mencoder_xvid -ovc xvid -xvidencopts max_bframes=2:bitrate=800
menc mencoder_xvid_mpeg_interlaced -ovc xvid \
    -xvidencopts max_bframes=1:quant_type=mpeg:interlacing:bitrate=800
menc mencoder_lavc -ovc lavc -lavcopts vcodec=mpeg4:vmax_b_frames=2
ff lavc_bframes -c:v mpeg4 -bf 2
ff lavc_qpel -c:v mpeg4 -bf 1 -flags +qpel
ff lavc_fmp4 -c:v mpeg4 -vtag FMP4
ff lavc_dx50 -c:v mpeg4 -bf 1 -vtag DX50
ff x264_baseline -c:v libx264 -profile:v baseline -vtag H264
ff x264_main -c:v libx264 -profile:v main -vtag H264
ff x264_high -c:v libx264 -profile:v high -level 3.1 -vtag H264
ff x264_high10 -pix_fmt yuv420p10le -c:v libx264 -profile:v high10 -vtag H264
ff x264_interlaced -c:v libx264 -x264-params interlaced=1 -vtag H264

agreed=0
compared=0
declare -A disagreements=()
# FILE FIELD PEER OURS THEIRS: one comparison, in a column each.
compare() {
    local verdict=agrees
    compared=$((compared + 1))
    if [ "$4" = "$5" ]; then
        agreed=$((agreed + 1))
    else
        verdict=DIFFERS
        disagreements["$3 $2"]=$((${disagreements["$3 $2"]:-0} + 1))
    fi
    printf '%-30s %-16s %-10s %-28s %-28s %s\n' "$1" "$2" "$3" "${4:0:28}" "${5:0:28}" "$verdict"
}
yes_no() { case "$1" in true) echo Yes ;; false) echo No ;; *) echo "$1" ;; esac; }

printf '%-30s %-16s %-10s %-28s %-28s %s\n' FILE FIELD PEER OURS THEIRS VERDICT
for file in "$work"/*.avi; do
    name="$(basename "$file" .avi)"
    declare -A our=()
    while IFS='=' read -r key value; do our["$key"]="$value"; done < <("$probe" "$file")
    declare -A ffp=()
    while IFS='=' read -r key value; do ffp["$key"]="$value"; done < <(
        ffprobe -v error -select_streams v:0 -of default=nw=1 \
            -show_entries stream=codec_name,profile,level,has_b_frames,width,height,field_order "$file")
    IFS='|' read -r mi_profile mi_library mi_name mi_version mi_bvop mi_qpel mi_gmc mi_muxing mi_cabac \
        mi_refs mi_scan mi_settings < <(mediainfo --Inform="Video;%Format_Profile%|\
%Encoded_Library%|%Encoded_Library_Name%|%Encoded_Library_Version%|%Format_Settings_BVOP%|\
%Format_Settings_QPel%|%Format_Settings_GMC%|%MuxingMode%|%Format_Settings_CABAC%|\
%Format_Settings_RefFrames%|%ScanType%|%Encoded_Library_Settings%" "$file")

    profile="${our[profile]:-}"
    codec="${our[format]:-}"
    [ "$codec" = mpeg4-visual ] && codec=mpeg4
    compare "$name" codec_name ffprobe "$codec" "${ffp[codec_name]:-}"
    # ffprobe: "Advanced Simple Profile" and level 5; "High" and level 31.
    if [ "${our[format]}" = mpeg4-visual ]; then
        compare "$name" profile ffprobe "${profile%@*} Profile" "${ffp[profile]:-}"
        compare "$name" level ffprobe "${profile#*@L}" "${ffp[level]:-}"
    else
        compare "$name" profile ffprobe "${profile%@*}" "${ffp[profile]:-}"
        level="${profile#*@L}"
        compare "$name" level ffprobe "$((${level%.*} * 10 + $([[ $level == *.* ]] && echo "${level#*.}" || echo 0)))" "${ffp[level]:-}"
    fi
    compare "$name" width ffprobe "${our[width]:-}" "${ffp[width]:-}"
    compare "$name" height ffprobe "${our[height]:-}" "${ffp[height]:-}"
    # ffprobe's has_b_frames is the decoder's reordering delay: only whether there are any.
    compare "$name" has_b_frames ffprobe "$([ "${our[bFrames]:-0}" -gt 0 ] && echo yes || echo no)" \
        "$([ "${ffp[has_b_frames]:-0}" -gt 0 ] && echo yes || echo no)"

    # Where ffprobe knows the field order at all (it does not for MPEG-4 Visual).
    if [ "${ffp[field_order]:-unknown}" != unknown ]; then
        compare "$name" interlaced ffprobe "${our[interlaced]:-}" \
            "$([ "${ffp[field_order]}" = progressive ] && echo false || echo true)"
    fi

    compare "$name" profile mediainfo "$profile" "$mi_profile"
    if [ "${our[encoder.name]:-}" = x264 ]; then
        compare "$name" library mediainfo "${our[encoder.name]:-}" "$mi_name"
        # mediainfo keeps the revision's hash: "core 164 r3095 baee400".
        compare "$name" version mediainfo "${our[encoder.version]:-}" "${mi_version% *}"
        compare "$name" settings mediainfo "${our[settings]:-}" "${mi_settings// \/ / }"
        compare "$name" cabac mediainfo "$(yes_no "${our[cabac]:-}")" "$mi_cabac"
        compare "$name" ref_frames mediainfo "${our[refFrames]:-}" "$mi_refs"
    else
        # The user-data string, "XviD0069" or "Lavc59.37.100"; mediainfo splits Xvid's only.
        compare "$name" library mediainfo "${our[encoder.text]:-}" "$mi_library"
        compare "$name" version mediainfo "${our[encoder.version]:-}" \
            "${mi_version:-${mi_library#Lavc}}"
        compare "$name" bvop mediainfo "$([ "${our[bFrames]:-0}" -gt 0 ] && echo "${our[bFrames]}" || echo No)" "$mi_bvop"
        compare "$name" qpel mediainfo "$(yes_no "${our[quarterPel]:-}")" "$mi_qpel"
        compare "$name" gmc mediainfo "${our[gmcWarpPoints]:-}" "$mi_gmc"
        compare "$name" packed mediainfo "$([ "${our[packedBitstream]:-}" = true ] && echo "Packed bitstream" || echo "")" "$mi_muxing"
    fi
    compare "$name" scan_type mediainfo "$([ "${our[interlaced]:-}" = true ] && echo Interlaced || echo Progressive)" "$mi_scan"
    unset our ffp
done
echo
echo "$agreed of $compared fields agree"
for key in "${!disagreements[@]}"; do echo "  differs: $key (${disagreements[$key]} files)"; done
