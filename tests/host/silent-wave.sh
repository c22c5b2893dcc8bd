# Sourced by the host tests: silent_wave PATH writes one second of silence as
# a mono 16-bit PCM WAV file at 11025 Hz, a take in which nobody speaks.
silent_wave_le16() { printf "$(printf '\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)))"; }
silent_wave_le32() { silent_wave_le16 $(($1 & 65535)); silent_wave_le16 $(($1 >> 16)); }
silent_wave() {
  { printf 'RIFF'; silent_wave_le32 $((36 + 22050)); printf 'WAVEfmt '; silent_wave_le32 16
    silent_wave_le16 1; silent_wave_le16 1; silent_wave_le32 11025; silent_wave_le32 22050
    silent_wave_le16 2; silent_wave_le16 16; printf 'data'; silent_wave_le32 22050
    head -c 22050 /dev/zero; } >"$1"
}
