#include "TakeCondition.h"

#include "GaussianNoise.h"
#include "NoisyCopy.h"

#include <algorithm>
#include <cmath>

namespace {

const double kPi = 3.14159265358979323846;
// --- Room ------------------------------------------------------------------------
const double kTailEnergy = 0.5;            // reverberant tail / direct sound energy (+3 dB direct)
const double kDecayDb = 60.0;              // over the reverberation time
const uint64_t kRoomSeed = 0x5EED0F0A;     // one room for every take
// --- Speech-shaped noise ---------------------------------------------------------
const double kSpeechNoiseCornerHz = 500.0; // first-order low-pass: -6 dB per octave above

struct SCondition {
    const char* name;
    STakeConditionRecipe recipe;
};

STakeConditionRecipe Recipe(double gainDb, double low, double high, int order, bool wholeTake, double reverb,
                        double snr, bool speechShaped)
{
    STakeConditionRecipe s;
    s.fGainDb = gainDb;
    s.fBandLowHz = low;
    s.fBandHighHz = high;
    s.nBandOrder = order;
    s.bBandOnWholeTake = wholeTake;
    s.fReverbSeconds = reverb;
    s.fNoiseSnrDb = snr;
    s.bSpeechShapedNoise = speechShaped;
    return s;
}

const SCondition kConditions[] = {
    {"clean", Recipe(0, 0, 0, 0, false, 0, 0, false)},
    {"white20", Recipe(0, 0, 0, 0, false, 0, 20, false)},
    {"speech20", Recipe(0, 0, 0, 0, false, 0, 20, true)},
    {"white10", Recipe(0, 0, 0, 0, false, 0, 10, false)},
    {"soft12", Recipe(-12, 0, 0, 0, false, 0, 0, false)},
    {"phone", Recipe(0, 300, 3400, 4, true, 0, 0, false)},
    {"reverb", Recipe(0, 0, 0, 0, false, 0.3, 0, false)},
    {"replay", Recipe(0, 300, 5000, 2, false, 0.3, 30, false)},
};

// One RBJ biquad (direct form I).
class CBiquad {
public:
    CBiquad(bool highPass, double hz, double q, int rate)
    {
        const double w = 2.0 * kPi * hz / rate, alpha = std::sin(w) / (2.0 * q), c = std::cos(w);
        const double a0 = 1.0 + alpha;
        const double b1 = highPass ? -(1.0 + c) : 1.0 - c;
        m_b[0] = m_b[2] = (highPass ? (1.0 + c) : (1.0 - c)) / 2.0 / a0;
        m_b[1] = b1 / a0;
        m_a[0] = -2.0 * c / a0;
        m_a[1] = (1.0 - alpha) / a0;
    }
    void Run(std::vector<float>& x) const
    {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (float& v : x) {
            const double y = m_b[0] * v + m_b[1] * x1 + m_b[2] * x2 - m_a[0] * y1 - m_a[1] * y2;
            x2 = x1; x1 = v; y2 = y1; y1 = y;
            v = static_cast<float>(y);
        }
    }

private:
    double m_b[3];
    double m_a[2];
};

std::vector<float> Convolve(const std::vector<float>& x, const std::vector<float>& h)
{
    std::vector<float> y(x.size() + h.size() - 1, 0.0f);
    for (size_t i = 0; i < x.size(); ++i) {
        if (x[i] == 0.0f) continue;
        const float v = x[i];
        float* out = y.data() + i;
        for (size_t k = 0; k < h.size(); ++k) out[k] += v * h[k];
    }
    return y;
}

} // namespace

bool CTakeCondition::Find(const std::string& name, STakeConditionRecipe& recipe)
{
    for (const SCondition& c : kConditions)
        if (name == c.name) {
            recipe = c.recipe;
            return true;
        }
    return false;
}

std::vector<std::string> CTakeCondition::Names()
{
    std::vector<std::string> names;
    for (const SCondition& c : kConditions) names.push_back(c.name);
    return names;
}

std::vector<float> CTakeCondition::RoomResponse(double seconds, int rate, uint64_t seed)
{
    const size_t length = std::max<size_t>(2, static_cast<size_t>(seconds * rate));
    std::vector<float> h(length, 0.0f);
    CGaussianNoise noise(seed);
    // Amplitude falls by kDecayDb over `seconds`: exp(-k n) with k = ln(10^(60/20)) / length.
    const double k = kDecayDb / 20.0 * std::log(10.0) / static_cast<double>(length);
    double energy = 0.0;
    for (size_t n = 1; n < length; ++n) {
        h[n] = static_cast<float>(noise.Next() * std::exp(-k * static_cast<double>(n)));
        energy += static_cast<double>(h[n]) * h[n];
    }
    const double scale = energy > 0.0 ? std::sqrt(kTailEnergy / energy) : 0.0;
    for (size_t n = 1; n < length; ++n) h[n] = static_cast<float>(h[n] * scale);
    h[0] = 1.0f;
    return h;
}

void CTakeCondition::BandPass(std::vector<float>& x, double lowHz, double highHz, int order, int rate)
{
    // Fourth order: two sections with the Butterworth Qs; second order: one.
    const double qs4[2] = {0.5411961, 1.3065630};
    const double qs2[1] = {0.7071068};
    const double* qs = order >= 4 ? qs4 : qs2;
    const int sections = order >= 4 ? 2 : 1;
    for (int s = 0; s < sections; ++s) {
        if (lowHz > 0.0) CBiquad(true, lowHz, qs[s], rate).Run(x);
        if (highHz > 0.0 && highHz < 0.5 * rate) CBiquad(false, highHz, qs[s], rate).Run(x);
    }
}

std::vector<short> CTakeCondition::Make(const std::vector<float>& speech, const STakeConditionRecipe& recipe, int rate,
                                        int takeLength, int offset, double backgroundRms, uint64_t seed)
{
    std::vector<float> x = speech;
    const double gain = std::pow(10.0, recipe.fGainDb / 20.0);
    for (float& v : x) v = static_cast<float>(v * gain);
    const double level = CNoisyCopy::ActivePower(x, rate);
    if (recipe.fBandLowHz > 0.0 && !recipe.bBandOnWholeTake) BandPass(x, recipe.fBandLowHz, recipe.fBandHighHz, recipe.nBandOrder, rate);
    if (recipe.fReverbSeconds > 0.0) x = Convolve(x, RoomResponse(recipe.fReverbSeconds, rate, kRoomSeed));
    // Back to the speech's own active level: a loudspeaker or a room changes the
    // sound, not the loudness the protocol set.
    const double now = CNoisyCopy::ActivePower(x, rate);
    if (now > 0.0 && level > 0.0)
        for (float& v : x) v = static_cast<float>(v * std::sqrt(level / now));

    // Placed into the take over the room's low noise, as floats.
    std::vector<float> take(static_cast<size_t>(std::max(takeLength, 0)), 0.0f);
    CGaussianNoise room(seed);
    for (size_t i = 0; i < take.size(); ++i) {
        const long k = static_cast<long>(i) - offset;
        take[i] = static_cast<float>(backgroundRms * room.Next() + (k >= 0 && k < static_cast<long>(x.size()) ? x[k] : 0.0f));
    }
    if (recipe.fBandLowHz > 0.0 && recipe.bBandOnWholeTake) BandPass(take, recipe.fBandLowHz, recipe.fBandHighHz, recipe.nBandOrder, rate);
    if (recipe.fNoiseSnrDb > 0.0 && level > 0.0) {
        std::vector<float> noise(take.size());
        CGaussianNoise source(seed ^ 0x9E3779B97F4A7C15ULL);
        for (float& v : noise) v = static_cast<float>(source.Next());
        if (recipe.bSpeechShapedNoise) {
            // First-order low-pass: y = y + a (x - y).
            const double a = 1.0 - std::exp(-2.0 * kPi * kSpeechNoiseCornerHz / rate);
            double y = 0.0;
            for (float& v : noise) { y += a * (v - y); v = static_cast<float>(y); }
        }
        double power = 0.0;
        for (float v : noise) power += static_cast<double>(v) * v;
        power /= static_cast<double>(noise.size());
        const double scale = std::sqrt(level / std::pow(10.0, recipe.fNoiseSnrDb / 10.0) / power);
        for (size_t i = 0; i < take.size(); ++i) take[i] = static_cast<float>(take[i] + scale * noise[i]);
    }
    std::vector<short> out(take.size());
    for (size_t i = 0; i < take.size(); ++i)
        out[i] = static_cast<short>(std::clamp(std::lround(take[i]), -32768L, 32767L));
    return out;
}
