// TakeCondition.h - the rooms, channels and attacks the evaluation puts a
// recording through before it becomes a 3-second take.
//
// A condition is applied to the recording (floats at the take's rate), which
// is then placed into the take over the protocol's low background noise;
// noise at a signal-to-noise ratio covers the whole take. The order follows
// the sound's way: gain (the speaker), loudspeaker (a replay), room
// (reverberation), microphone line (telephone band, which also takes the
// room's noise), noise.
//   clean       as recorded
//   white20     white noise over the take, 20 dB under the speech's active level
//   speech20    speech-shaped noise (flat to 500 Hz, then -6 dB per octave), 20 dB
//   white10     white noise, 10 dB
//   soft12      the speech 12 dB softer than at enrolment
//   phone       300-3400 Hz band (fourth-order Butterworth edges)
//   reverb      a room with a reverberation time of 0.3 s
//   replay      an enrolment take played back through a small loudspeaker
//               (300-5000 Hz, second-order edges) into that room, with room
//               noise 30 dB under it
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct STakeConditionRecipe {
    double fGainDb = 0.0;
    double fBandLowHz = 0.0;        // 0: no band limit
    double fBandHighHz = 0.0;
    int nBandOrder = 0;             // 2 or 4
    bool bBandOnWholeTake = false;  // the band limits the room's noise too (a telephone line)
    double fReverbSeconds = 0.0;    // 0: no room
    double fNoiseSnrDb = 0.0;       // 0: no added noise
    bool bSpeechShapedNoise = false;
};

class CTakeCondition {
public:
    // The named condition (see above). Returns false for an unknown name.
    static bool Find(const std::string& name, STakeConditionRecipe& recipe);
    // Every name Find knows, in report order.
    static std::vector<std::string> Names();

    // speech: the recording at `rate`; takeLength/offset: where it goes;
    // backgroundRms: the protocol's room noise (LSB); seed: noise seed.
    // Returns the 16-bit take.
    static std::vector<short> Make(const std::vector<float>& speech, const STakeConditionRecipe& recipe, int rate,
                                   int takeLength, int offset, double backgroundRms, uint64_t seed);

    // A room's impulse response: the direct sound, then a tail of decaying
    // noise (60 dB down after `seconds`) holding half the direct sound's energy.
    static std::vector<float> RoomResponse(double seconds, int rate, uint64_t seed);
    // Butterworth band-pass of `order` (2 or 4) per edge, in place.
    static void BandPass(std::vector<float>& x, double lowHz, double highHz, int order, int rate);
};
