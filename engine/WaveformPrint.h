// WaveformPrint.h - the word's waveform itself, as a replay carries it.
//
// A loudspeaker and a room are linear: what the microphone hears of a
// recording played back is the recording's own waveform, filtered, plus the
// room's echoes of it, later and weaker. Its spectrum and loudness course
// may be smeared past recognition, but at the delay of the direct sound the
// waveform still follows the original sample for sample. Two fresh takes of
// a word never do: a pitch a fraction of a per cent apart, or a syllable a
// millisecond later, puts their waveforms out of step within a few periods.
//
// The print is the sign of the take's waveform, whitened by linear
// prediction over the word and band-passed to kLowHz-kHighHz (where a
// loudspeaker passes the voice), of every kStep-th sample: kBits signs around
// the middle of the word's loudest frame. A take is compared by sliding the
// print along its signs near that frame (and near another stretch of the
// word about as loud: CSpeakerScorer::WaveformSearchFrames): the share of
// agreeing signs, as a correlation (1: the same waveform, 0: unrelated, -1:
// inverted).
#pragma once

#include <cstdint>
#include <vector>

class CWaveformPrint {
public:
    static constexpr int kBits = 1024;                 // 186 ms at 11025 Hz
    static constexpr int kBytes = kBits / 8;
    static constexpr int kStep = 2;                    // samples per sign
    static constexpr float kLowHz = 500.0f;
    static constexpr float kHighHz = 2500.0f;          // under half the rate of the signs

    // Signs (bit set: positive) of the samples first .. last after the
    // whitening and the band-pass, which starts a little before `first` so
    // that its settling lies outside: bits[p] and counts[p] (kStep of each)
    // receive those of every kStep-th sample from first + p. Returns
    // counts[0] (0 for an empty range or a bad rate).
    static int Signs(const short* samples, int count, int first, int last, int rate, std::vector<uint64_t>* bits,
                     int* counts);
    // The kBits signs from bit `start` of `bits` (clamped into the nbits
    // there are; 0 when fewer than kBits) into `print`. Returns 1 on success.
    static int Excerpt(const std::vector<uint64_t>& bits, int nbits, int start, unsigned char* print);
    // Largest |correlation| of two prints of different takes, one moved
    // against the other by up to kPairReach signs with at least
    // kPairMinOverlap of them in common: how alike two fresh takes of the
    // speaker's word are by chance (his voice's periodicity and the word's
    // formants, which the whitening leaves in part).
    static float PairSimilarity(const unsigned char* a, const unsigned char* b);
    static constexpr int kPairReach = 256;
    static constexpr int kPairMinOverlap = 768;

    // Largest |correlation| of the print with the signs of any phase
    // (bits, counts: kStep of each, as Signs gives them) at any position
    // where it lies wholly within them and its middle within `reach` signs
    // of sign `centre` (0 when it never does).
    static float Similarity(const std::vector<uint64_t>* bits, const int* counts, const unsigned char* print, int centre,
                            int reach);
};
