// sonvera-global-weights: one weighting of the feature dimensions learnt
// from many voices: how much more a dimension differs between two speakers
// than between two takes of one speaker, on aligned frames of one word.
//
// Every take's word goes through the engine's own front end, end points and
// CTakeFeatures, as enrolment keeps it. For every pair of takes of one word
// the unweighted DTW path is taken (as CDimensionWeights learns along it),
// and at each aligned frame pair, for each static dimension d, the squared
// difference the DTW sums for d: its static's and its first difference's,
// as the DTW vector holds them. Pairs of one speaker count to within_d,
// pairs of two speakers to between_d; each is the mean over the words of
// the word's mean over its aligned frame pairs (every word counts once,
// however many takes it has). g_d = between_d / within_d, scaled to a mean
// of 1, clipped to [1/2, 2], scaled to a mean of 1 again.
//
// sonvera-global-weights --source DIR:SPEAKERS:WORDS:TAKES [--source ...]
//                        [--table FILE]
//   SPEAKERS and WORDS comma-separated (words without the corpus), TAKES
//   "A-B" or "all". Prints each dimension's within, between, ratio and g;
//   --table writes g as a C++ initialiser list.
// A tuning aid: give it learning recordings only, never a trial take.
#include "WordTakes.h"

#include "Dtw.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr float kClip = 2.0f;

// Sums of one word's aligned frame pairs, per dimension.
struct SPairSums {
    std::vector<double> sum;
    long long frames = 0;
};

// Every found word of one source, by corpus word.
int ReadSource(const SWordSource& source, CSpeakerEngine& engine, std::map<std::string, std::vector<SWordTake>>& byWord)
{
    int missed = 0;
    std::vector<SWordTake> takes = ReadWordSource(source, engine, missed);
    for (SWordTake& w : takes) byWord[w.strWord].push_back(std::move(w));
    std::fprintf(stderr, "%s: %zu takes, %d without a word found\n", source.strDir.c_str(), takes.size(), missed);
    return static_cast<int>(takes.size());
}

// Adds the squared differences along the unweighted path of a and b.
void AddPair(CDtw& dtw, const CTakeFeatures& a, const CTakeFeatures& b, SPairSums& sums)
{
    const int dims = a.Dims(), vd = a.VectorDims();
    std::vector<int> pathA, pathB;
    const int n = dtw.Path(a.Vectors(), a.Frames(), b.Vectors(), b.Frames(), vd, pathA, pathB);
    for (int k = 0; k < n; ++k) {
        const float* x = a.Vectors() + pathA[k] * vd;
        const float* y = b.Vectors() + pathB[k] * vd;
        for (int d = 0; d < dims; ++d) {
            const double s = x[d] - y[d], delta = x[dims + d] - y[dims + d];
            sums.sum[d] += s * s + delta * delta;
        }
    }
    sums.frames += n;
}

// The mean over words of each word's mean squared difference.
void AddWordMean(const SPairSums& word, std::vector<double>& total, int& words)
{
    if (word.frames == 0) return;
    for (size_t d = 0; d < total.size(); ++d) total[d] += word.sum[d] / static_cast<double>(word.frames);
    ++words;
}

void ScaleToMeanOne(std::vector<double>& v)
{
    double sum = 0.0;
    for (double x : v) sum += x;
    if (!(sum > 0.0)) return;
    for (double& x : v) x *= static_cast<double>(v.size()) / sum;
}

// Every pair of takes of each word, aligned: within[d] and between[d], the
// mean over the words of their mean squared differences. Returns 0 when
// either side has no word.
int SpreadsOfPairs(const std::map<std::string, std::vector<SWordTake>>& byWord, int dims,
                   std::vector<double>& within, std::vector<double>& between)
{
    CDtw dtw;
    dtw.Init(CTakeFeatures::kMaxFrames);
    within.assign(dims, 0.0);
    between.assign(dims, 0.0);
    int withinWords = 0, betweenWords = 0;
    long long withinPairs = 0, betweenPairs = 0;
    for (const auto& [word, takes] : byWord) {
        SPairSums same{std::vector<double>(dims, 0.0)}, other{std::vector<double>(dims, 0.0)};
        for (size_t i = 0; i < takes.size(); ++i)
            for (size_t j = i + 1; j < takes.size(); ++j) {
                const bool one = takes[i].strSpeaker == takes[j].strSpeaker;
                AddPair(dtw, takes[i].features, takes[j].features, one ? same : other);
                ++(one ? withinPairs : betweenPairs);
            }
        AddWordMean(same, within, withinWords);
        AddWordMean(other, between, betweenWords);
    }
    std::printf("words %zu, pairs within %lld between %lld\n", byWord.size(), withinPairs, betweenPairs);
    if (withinWords == 0 || betweenWords == 0) return 0;
    for (int d = 0; d < dims; ++d) {
        within[d] /= withinWords;
        between[d] /= betweenWords;
    }
    return 1;
}

// g as the engine would keep it: the ratio scaled to a mean of 1, clipped,
// scaled again.
std::vector<double> WeightsOfRatios(const std::vector<double>& ratio)
{
    std::vector<double> g = ratio;
    ScaleToMeanOne(g);
    for (double& x : g) x = std::clamp(x, 1.0 / kClip, static_cast<double>(kClip));
    ScaleToMeanOne(g);
    return g;
}

int WriteTable(const std::string& path, const std::vector<double>& g)
{
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return 0;
    for (size_t d = 0; d < g.size(); ++d) std::fprintf(f, "%s%.4ff", d ? ", " : "", g[d]);
    std::fprintf(f, "\n");
    return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<SWordSource> sources;
    std::string table;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i], v = argv[i + 1];
        SWordSource s;
        if (a == "--source" && ParseWordSource(v, s)) sources.push_back(s);
        else if (a == "--table") table = v;
        else sources.clear(), i = argc;
    }
    if (sources.empty() || argc % 2 == 0) {
        std::fprintf(stderr, "usage: sonvera-global-weights --source DIR:SPEAKERS:WORDS:TAKES [--source ...] "
                             "[--table FILE]\n");
        return 2;
    }
    std::unique_ptr<CSpeakerEngine> engine = MakeEnrolmentEngine();
    std::map<std::string, std::vector<SWordTake>> byWord;
    for (const SWordSource& s : sources) ReadSource(s, *engine, byWord);
    if (byWord.empty()) return 1;
    const int dims = byWord.begin()->second.front().features.Dims();
    std::vector<double> within, between;
    if (!SpreadsOfPairs(byWord, dims, within, between)) return 1;
    std::vector<double> ratio(dims);
    for (int d = 0; d < dims; ++d) ratio[d] = within[d] > 0.0 ? between[d] / within[d] : 1.0;
    const std::vector<double> g = WeightsOfRatios(ratio);
    std::printf("dim,within,between,ratio,g\n");
    for (int d = 0; d < dims; ++d)
        std::printf("%d,%.4f,%.4f,%.4f,%.4f\n", d, within[d], between[d], ratio[d], g[d]);
    return table.empty() || WriteTable(table, g) ? 0 : 1;
}
