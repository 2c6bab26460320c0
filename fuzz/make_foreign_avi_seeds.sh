#!/usr/bin/env bash
# Writes the seeds of foreign_avi_fuzz: tiny AVIs that ffmpeg makes with each foreign codec
# and sound format (a few frames of 32x24, a fraction of a second of sound).
set -eu
out=$(cd "$(dirname "$0")" && pwd)/corpus/foreign_avi_fuzz
mkdir -p "$out"
make() {  # name, video options, sound options
  ffmpeg -nostdin -y -v error -f lavfi -i testsrc2=size=32x24:rate=10 \
    -f lavfi -i sine=frequency=440:sample_rate=11025 -t 0.3 $2 $3 "$out/$1.avi"
}
make xvid_mp3 "-c:v mpeg4 -vtag XVID -g 3" "-c:a libmp3lame -b:a 32k"
make divx_bframes_ac3 "-c:v mpeg4 -vtag DIVX -bf 2 -g 4" "-c:a ac3 -b:a 64k"
make h264_adpcm "-c:v libx264 -preset ultrafast -g 3 -bf 2" "-c:a adpcm_ms"
make hfyu_pcm24 "-c:v huffyuv" "-c:a pcm_s24le"
make ffv1_ima "-c:v ffv1 -g 2" "-c:a adpcm_ima_wav"
make cvid_mp3 "-c:v cinepak" "-c:a libmp3lame -b:a 32k"
make div3_pcmu8 "-c:v msmpeg4" "-c:a pcm_u8"
