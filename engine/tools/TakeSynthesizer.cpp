#include "TakeSynthesizer.h"

#include "GaussianNoise.h"

#include <algorithm>
#include <cmath>

std::vector<short> CTakeSynthesizer::Make(const std::vector<float>& speech, const STakeRecipe& recipe)
{
    std::vector<short> take(std::max(recipe.nLength, 0), 0);
    CGaussianNoise noise(recipe.nSeed);
    const double gain = std::pow(10.0, recipe.fGainDb / 20.0);
    for (int i = 0; i < recipe.nLength; ++i) {
        double v = recipe.fNoiseRms * noise.Next();
        const long k = static_cast<long>(i) - recipe.nOffset;
        if (k >= 0 && k < static_cast<long>(speech.size())) v += gain * speech[k];
        take[i] = static_cast<short>(std::clamp(std::lround(v), -32768L, 32767L));
    }
    return take;
}
