// EndpointDetector.h - finds the spoken word in a take and judges its level.
//
// Works on two tracks that CFeatureExtractor gives: the raw frame levels (dB)
// and the frames' spectral signal-to-noise ratio (the mean over the filter
// channels of each channel's energy over its noise, dB). The word is looked
// for in the second: a soft voice whose broadband level rises only a few dB
// over a noise spread across the whole band still stands well out of the few
// channels it fills. The noise floor of a track is tracked, not fixed: at
// every frame it is the lowest smoothed value within a window of 1.25 s
// either side, so a louder room, or a fan that slowly speeds up, moves the
// floor with it. Speech is where the track stands clearly above that floor;
// short pauses inside a word are bridged, and the strongest stretch of speech
// is taken as the pass phrase. Its level (too quiet, little over the noise)
// is judged on the raw levels.
#pragma once

#include <vector>

// Error numbers, as the voice dialog reads them after a take.
enum {
    kEpdOk = 0,
    kEpdLengthAbnormal = -1,   // no speech, or a length no pass phrase has
    kEpdTooQuiet = -2,
    kEpdTooLoud = -3,          // clipping
    kEpdLowSnr = -4,           // usable but marginal: little margin over the noise
    kEpdCutByEdge = -5         // usable but marginal: speech touches the take's edge
};

struct SEndpointResult {
    int bSpeech;       // 1: a usable word was found
    int nError;        // kEpd... code; kEpdLowSnr / kEpdCutByEdge come with bSpeech = 1
    int nFirstFrame;   // first frame of the word, margin included
    int nLastFrame;    // last frame of the word, margin included
    int nCoreFirst;    // first frame above the hold level (what the scorer sees)
    int nCoreLast;     // last frame above the hold level
    float fSnrDb;      // word peak over the noise floor (raw levels), dB
    float fSpectralSnrDb;   // word peak over the floor of the spectral track, dB
    float fPeakDb;     // word peak frame level, dB re 1 LSB^2
};

struct SEndpointParams {
    int nMarginMs;       // added before and after the detected word
    int nMaxGapMs;       // pauses up to this long are bridged inside a word
    int nMinSpeechMs;    // shortest ordinary word
    int nQuietPower;     // the word's loudest frame must reach this energy (sum of squares), LSB^2
};

class CEndpointDetector {
public:
    // sampleRate/shift/frameLength: analysis framing; maxFrames: longest take in
    // frames. params: see SEndpointParams (values <= 0 fall back to defaults).
    // Returns 1 on success, 0 for unusable framing.
    int Init(int sampleRate, int frameLength, int shift, int maxFrames, const SEndpointParams& params);
    void Reset();

    // levelDb/frames: raw frame levels of the take; spectralSnrDb: the
    // frames' spectral signal-to-noise ratio; samples/count: the take itself (for the clipping
    // check); bShortWord: the pass phrase is a short word, so a shorter
    // minimum length applies.
    // result: always filled. Returns result.bSpeech.
    int Detect(const float* levelDb, const float* spectralSnrDb, int frames, const short* samples, int count,
               int bShortWord, SEndpointResult& result);

    // The adaptive noise floor of the raw levels in the last Detect call, one
    // value per frame (dB).
    const float* Floor() const { return m_floor.data(); }

private:
    int CountClipped(const short* samples, int count) const;
    // Smooths `track` into `smooth` and tracks its floor into `floor`.
    void TrackFloor(const float* track, int frames, float* smooth, float* floor);

    int m_nSampleRate = 0;
    int m_nFrameLength = 0;
    int m_nShift = 0;
    int m_nMaxFrames = 0;
    SEndpointParams m_params = {0, 0, 0, 0};
    std::vector<float> m_smooth;   // 3-frame mean level
    std::vector<float> m_floor;    // tracked noise floor
    std::vector<float> m_spectralSmooth;   // the same for the spectral track
    std::vector<float> m_spectralFloor;
    std::vector<char> m_active;    // frame above the speech threshold
    std::vector<int> m_floorQueue;   // TrackFloor's frames that may still be a window's least
};
