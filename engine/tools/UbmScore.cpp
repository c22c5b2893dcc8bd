// sonvera-ubm-score: a score of another kind beside the engine's, measured
// offline: how much likelier a take's word frames are under a mixture
// adapted to the speaker's enrolment takes than under a background mixture
// learnt from other voices (GMM-UBM; BackgroundMixture.h).
//
// Frames: the word's frames as enrolment and verification keep them
// (CTakeFeatures: paired frames, end points, cepstral mean over the loud
// frames taken off), the DTW vector's values less c1's static (weight 0
// there, so constant): c2..c16, the energy and, unless --statics, the 17
// first differences (33 or 16 values). The differences carry how the word
// moves, which a frame-by-frame model has no other way of seeing.
//
// sonvera-ubm-score --ubm DIR:SPEAKERS:WORDS:TAKES [--ubm ...]
//                   --data DIR [--data DIR]... --models a,b,... --tests a,b,...
//                   --words corpus/w,... [--conditions clean,...]
//                   [--components 16,32,64] [--relevance 4,16] [--top 5]
//                   [--iterations 20] [--statics] [--norm-out FILE]
//                   [--moves NAME:s,s,... [--moves ...]] --out FILE
//   Every mixture size is learnt once on the --ubm recordings (never a
//   trial take); every model (--models speaker, word) is adapted from its
//   clean takes 0-4 and scored against every --tests speaker's takes 5-9
//   of its word under each condition (kind g for its own speaker, i for the
//   others), as the evaluation enrols and tries. One CSV line per trial:
//   the key of sonvera-eval's dumps, the word's frames and one column per
//   size and relevance, llr_k<K>_r<R> (empty when the take has no word or
//   the model no enrolment take). On stderr: the learning, and the median
//   times of adapting one model and of scoring one take (its frames given).
//
//   --norm-out FILE: each model's levels, per size and relevance, for
//   normalising its ratio (one CSV line per model):
//   loo_*  each enrolment take scored against the mixture adapted from the
//          model's other enrolment takes (leave one out): where the model's
//          own voice lies, from its training takes alone;
//   zo_*   the learning takes of words other than the model's: where other
//          voices lie, from recordings a product could carry (it never has
//          other voices saying a user's own pass phrase);
//   zw_*   the learning takes of the model's own word, beside it to show how
//          much the word's mismatch costs (no product has these takes).
//   Each as mean, sample sd and count; the median times of the leave-one-out
//   adaptations and of one background take's score are on stderr.
//
//   --moves NAME:s,s,... (with --norm-out, repeatable): where other voices
//   saying the model's own word lie, from its enrolment takes alone: each
//   take's filter energies moved s channels along the mel scale, one copy
//   per s (CTakeFeatures::ShiftedCopies, the engine's neighbouring voices;
//   a larger move is a vocal tract further from the speaker's). Two levels
//   per set of moves:
//   mo-NAME_*  every moved copy scored against the model adapted from all
//              its enrolment takes (what a model trained as it ships sees);
//   ml-NAME_*  the moved copies of each left-out take scored against the
//              mixture adapted from the others, beside loo_* (the move the
//              only difference between the two).
//   The median time of scoring one moved copy is on stderr.
#include "BackgroundMixture.h"
#include "DialogEngineSetup.h"
#include "WordTakes.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kEnrolFirst = 0, kEnrolLast = 4, kTrialFirst = 5, kTrialLast = 9;
constexpr uint64_t kSeed = 20261209;

// A named set of moves along the mel scale (channels; negative: down).
struct SMoveSet {
    std::string strName;
    std::vector<float> channels;
};

struct SOptions {
    std::vector<SWordSource> ubm;
    std::vector<std::string> dataDirs, models, tests, words, conditions{"clean"};
    std::vector<int> components{16, 32, 64};
    std::vector<double> relevance{4.0, 16.0};
    int nTop = 5, nIterations = 20;
    bool bStatics = false;
    std::string strOut, strNormOut;
    std::vector<SMoveSet> moves;
};

// The frame values the mixtures see, appended row after row; the frames added.
int AppendFrames(const CTakeFeatures& f, bool staticsOnly, std::vector<float>& out)
{
    const int vd = staticsOnly ? f.Dims() : f.VectorDims();
    for (int i = 0; i < f.Frames(); ++i) {
        const float* row = f.Vectors() + i * f.VectorDims();
        out.insert(out.end(), row + 1, row + vd);   // c1's static is 0 in every frame
    }
    return f.Frames();
}

int FrameDims(const CTakeFeatures& f, bool staticsOnly) { return (staticsOnly ? f.Dims() : f.VectorDims()) - 1; }

std::vector<int> ParseInts(const std::string& text)
{
    std::vector<int> v;
    for (const std::string& s : CEvalProtocol::SplitList(text, ',')) v.push_back(std::atoi(s.c_str()));
    return v;
}

std::vector<double> ParseDoubles(const std::string& text)
{
    std::vector<double> v;
    for (const std::string& s : CEvalProtocol::SplitList(text, ',')) v.push_back(std::atof(s.c_str()));
    return v;
}

bool ParseMoveSet(const std::string& text, SMoveSet& out)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    out.strName = text.substr(0, colon);
    out.channels.clear();
    for (double d : ParseDoubles(text.substr(colon + 1))) out.channels.push_back(static_cast<float>(d));
    return !out.channels.empty();
}

bool ParseOptions(int argc, char** argv, SOptions& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--statics") {
            o.bStatics = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const std::string v = argv[++i];
        SWordSource s;
        SMoveSet m;
        if (a == "--ubm" && ParseWordSource(v, s)) o.ubm.push_back(s);
        else if (a == "--moves" && ParseMoveSet(v, m)) o.moves.push_back(m);
        else if (a == "--data") o.dataDirs.push_back(v);
        else if (a == "--models") o.models = CEvalProtocol::SplitList(v, ',');
        else if (a == "--tests") o.tests = CEvalProtocol::SplitList(v, ',');
        else if (a == "--words") o.words = CEvalProtocol::SplitList(v, ',');
        else if (a == "--conditions") o.conditions = CEvalProtocol::SplitList(v, ',');
        else if (a == "--components") o.components = ParseInts(v);
        else if (a == "--relevance") o.relevance = ParseDoubles(v);
        else if (a == "--top") o.nTop = std::atoi(v.c_str());
        else if (a == "--iterations") o.nIterations = std::atoi(v.c_str());
        else if (a == "--out") o.strOut = v;
        else if (a == "--norm-out") o.strNormOut = v;
        else return false;
    }
    if (!o.moves.empty() && o.strNormOut.empty()) return false;
    return !o.ubm.empty() && !o.dataDirs.empty() && !o.models.empty() && !o.words.empty() && !o.strOut.empty() &&
           !o.components.empty() && !o.relevance.empty();
}

struct SModelKey {
    std::string strSpeaker, strWord;
    bool operator<(const SModelKey& o) const
    {
        return strSpeaker != o.strSpeaker ? strSpeaker < o.strSpeaker : strWord < o.strWord;
    }
};

// A learning take's frames kept apart, for scoring the models against voices
// the mixture has heard.
struct SLearningTake {
    std::string strWord;
    std::vector<float> frames;
};

// An enrolment take's frames and, per set of moves, each moved copy's.
struct SEnrolTake {
    std::vector<float> frames;
    std::vector<std::vector<std::vector<float>>> moved;   // [set][move] frames
};

struct SLevel {
    double sum = 0.0, sumSq = 0.0;
    int n = 0;
    void Add(double v)
    {
        sum += v;
        sumSq += v * v;
        ++n;
    }
    double Mean() const { return n ? sum / n : 0.0; }
    double Sd() const { return n > 1 ? std::sqrt(std::max(0.0, (sumSq - sum * sum / n) / (n - 1))) : 0.0; }
};

void PrintLevel(FILE* out, const SLevel& l)
{
    if (l.n) std::fprintf(out, ",%.5f,%.5f,%d", l.Mean(), l.Sd(), l.n);
    else std::fprintf(out, ",,,0");
}

double Median(std::vector<double> v)
{
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Every model's levels (--norm-out): leave-one-out over its enrolment takes,
// and its ratio on the learning takes of other words and of its own word.
bool WriteLevels(const SOptions& o, const std::vector<CBackgroundMixture>& mixtures, int dims,
                 const std::map<SModelKey, std::vector<std::vector<double>>>& adapted,
                 const std::map<SModelKey, std::vector<SEnrolTake>>& enrolTakes,
                 const std::vector<SLearningTake>& learningTakes)
{
    FILE* out = std::fopen(o.strNormOut.c_str(), "w");
    if (!out) return false;
    std::fprintf(out, "model_speaker,word,enrol_takes");
    for (int k : o.components)
        for (double r : o.relevance) {
            for (const char* kind : {"loo", "zo", "zw"})
                std::fprintf(out, ",%s_k%d_r%g_mean,%s_k%d_r%g_sd,%s_k%d_r%g_n", kind, k, r, kind, k, r, kind, k, r);
            for (const SMoveSet& mv : o.moves)
                for (const char* kind : {"mo", "ml"}) {
                    const std::string name = std::string(kind) + "-" + mv.strName;
                    std::fprintf(out, ",%s_k%d_r%g_mean,%s_k%d_r%g_sd,%s_k%d_r%g_n", name.c_str(), k, r,
                                 name.c_str(), k, r, name.c_str(), k, r);
                }
        }
    std::fprintf(out, "\n");
    std::vector<std::vector<double>> leaveOneOutMs(mixtures.size()), backgroundMs(mixtures.size()),
        movedMs(mixtures.size());
    for (const auto& [key, means] : adapted) {
        const std::vector<SEnrolTake>& takes = enrolTakes.at(key);
        std::fprintf(out, "%s,%s,%zu", key.strSpeaker.c_str(), key.strWord.c_str(), takes.size());
        size_t j = 0;
        for (size_t k = 0; k < mixtures.size(); ++k)
            for (double r : o.relevance) {
                const CBackgroundMixture& m = mixtures[k];
                SLevel loo, zo, zw;
                std::vector<SLevel> movedOwn(o.moves.size()), movedLeftOut(o.moves.size());
                const auto ratioOf = [&](const std::vector<float>& x, const std::vector<double>& model) {
                    return m.MeanLogRatio(x.data(), static_cast<int>(x.size()) / dims, model, o.nTop);
                };
                // A single take leaves nothing to adapt from.
                for (size_t left = 0; takes.size() > 1 && left < takes.size(); ++left) {
                    const auto start = std::chrono::steady_clock::now();
                    std::vector<float> others;
                    for (size_t t = 0; t < takes.size(); ++t)
                        if (t != left) others.insert(others.end(), takes[t].frames.begin(), takes[t].frames.end());
                    const std::vector<double> leftOut =
                        m.AdaptMeans(others.data(), static_cast<int>(others.size()) / dims, r);
                    loo.Add(ratioOf(takes[left].frames, leftOut));
                    leaveOneOutMs[k].push_back(
                        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
                    for (size_t v = 0; v < o.moves.size(); ++v)
                        for (const std::vector<float>& x : takes[left].moved[v]) movedLeftOut[v].Add(ratioOf(x, leftOut));
                }
                for (const SEnrolTake& take : takes)
                    for (size_t v = 0; v < o.moves.size(); ++v)
                        for (const std::vector<float>& x : take.moved[v]) {
                            const auto start = std::chrono::steady_clock::now();
                            movedOwn[v].Add(ratioOf(x, means[j]));
                            movedMs[k].push_back(std::chrono::duration<double, std::milli>(
                                                     std::chrono::steady_clock::now() - start).count());
                        }
                for (const SLearningTake& l : learningTakes) {
                    const auto start = std::chrono::steady_clock::now();
                    const double v = m.MeanLogRatio(l.frames.data(), static_cast<int>(l.frames.size()) / dims,
                                                    means[j], o.nTop);
                    backgroundMs[k].push_back(
                        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
                    (l.strWord == key.strWord ? zw : zo).Add(v);
                }
                PrintLevel(out, loo);
                PrintLevel(out, zo);
                PrintLevel(out, zw);
                for (size_t v = 0; v < o.moves.size(); ++v) {
                    PrintLevel(out, movedOwn[v]);
                    PrintLevel(out, movedLeftOut[v]);
                }
                ++j;
            }
        std::fprintf(out, "\n");
    }
    for (size_t k = 0; k < mixtures.size(); ++k)
        std::fprintf(stderr, "one leave-one-out take (adapting from the others, scoring it), %d components: "
                             "median %.4f ms over %zu\n",
                     o.components[k], Median(leaveOneOutMs[k]), leaveOneOutMs[k].size());
    for (size_t k = 0; k < mixtures.size(); ++k)
        std::fprintf(stderr, "scoring one background take against a model, %d components: median %.4f ms over %zu\n",
                     o.components[k], Median(backgroundMs[k]), backgroundMs[k].size());
    for (size_t k = 0; k < mixtures.size() && !o.moves.empty(); ++k)
        std::fprintf(stderr, "scoring one moved enrolment copy against its model, %d components: median %.4f ms over %zu\n",
                     o.components[k], Median(movedMs[k]), movedMs[k].size());
    return std::fclose(out) == 0;
}

// Each set's moved copies of an enrolment take, as the engine makes its
// neighbouring voices (over the analysis' own channel count).
bool MoveTake(const CTakeFeatures& f, const SOptions& o, SEnrolTake& take)
{
    for (const SMoveSet& mv : o.moves) {
        std::vector<CTakeFeatures> copies(mv.channels.size());
        std::vector<CTakeFeatures*> out;
        for (CTakeFeatures& c : copies) out.push_back(&c);
        if (!f.ShiftedCopies(mv.channels.data(), static_cast<int>(mv.channels.size()),
                             SDialogEngineSetup::kMelChannels, out.data()))
            return false;
        take.moved.emplace_back();
        for (const CTakeFeatures& c : copies) {
            take.moved.back().emplace_back();
            AppendFrames(c, o.bStatics, take.moved.back().back());
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    SOptions o;
    if (!ParseOptions(argc, argv, o)) {
        std::fprintf(stderr, "usage: sonvera-ubm-score --ubm DIR:SPEAKERS:WORDS:TAKES [--ubm ...] --data DIR... "
                             "--models a,b --tests a,b --words corpus/w,... [--conditions c,...] "
                             "[--components 16,32,64] [--relevance 4,16] [--top 5] [--iterations 20] "
                             "[--statics] [--norm-out FILE] [--moves NAME:s,s,...] --out FILE\n");
        return 2;
    }
    if (o.tests.empty()) o.tests = o.models;
    std::unique_ptr<CSpeakerEngine> engine = MakeEnrolmentEngine();

    // The background's frames: learning recordings only.
    std::vector<float> learning;
    std::vector<SLearningTake> learningTakesKept;
    int learningTakes = 0, dims = 0;
    for (const SWordSource& s : o.ubm) {
        int missed = 0;
        for (const SWordTake& w : ReadWordSource(s, *engine, missed)) {
            AppendFrames(w.features, o.bStatics, learning);
            if (!o.strNormOut.empty()) {
                learningTakesKept.push_back(SLearningTake{w.strWord, {}});
                AppendFrames(w.features, o.bStatics, learningTakesKept.back().frames);
            }
            dims = FrameDims(w.features, o.bStatics);
            ++learningTakes;
        }
        std::fprintf(stderr, "background %s: %d takes so far, %d without a word found\n", s.strDir.c_str(),
                     learningTakes, missed);
    }
    if (dims <= 0) return 1;
    const int learningFrames = static_cast<int>(learning.size()) / dims;
    std::fprintf(stderr, "background frames %d of %d values\n", learningFrames, dims);
    std::vector<CBackgroundMixture> mixtures(o.components.size());
    for (size_t k = 0; k < o.components.size(); ++k) {
        if (!mixtures[k].Learn(learning.data(), learningFrames, dims, o.components[k], o.nIterations, kSeed))
            return 1;
        std::fprintf(stderr, "mixture %d: mean log-likelihood %.3f\n", o.components[k],
                     mixtures[k].MeanLogLikelihood(learning.data(), learningFrames));
    }

    CEvalProtocol protocol;
    std::vector<std::string> speakers = o.models;
    for (const std::string& t : o.tests)
        if (std::find(speakers.begin(), speakers.end(), t) == speakers.end()) speakers.push_back(t);
    for (const std::string& dir : o.dataDirs) protocol.LoadCorpus(dir, speakers, o.words, kTrialLast);

    // Every model's adapted means, per size and relevance.
    STakeConditionRecipe clean;
    CTakeCondition::Find("clean", clean);
    std::map<SModelKey, std::vector<std::vector<double>>> adapted;
    std::map<SModelKey, std::vector<SEnrolTake>> enrolTakes;   // each found take's frames and moved copies
    std::vector<std::vector<double>> adaptingMs(mixtures.size());   // per mixture size
    for (const std::string& speaker : o.models)
        for (const std::string& word : protocol.Words(speaker)) {
            std::vector<float> frames;
            std::vector<SEnrolTake> takes;
            for (int take : protocol.Takes(word, speaker)) {
                CTakeFeatures f;
                if (take < kEnrolFirst || take > kEnrolLast) continue;
                if (TakeWordFeatures(*engine, protocol, word, speaker, take, clean, f)) {
                    AppendFrames(f, o.bStatics, frames);
                    takes.emplace_back();
                    AppendFrames(f, o.bStatics, takes.back().frames);
                    if (!MoveTake(f, o, takes.back())) return 1;
                }
            }
            if (frames.empty()) continue;
            enrolTakes[SModelKey{speaker, word}] = std::move(takes);
            auto& means = adapted[SModelKey{speaker, word}];
            for (size_t k = 0; k < mixtures.size(); ++k)
                for (double r : o.relevance) {
                    const auto start = std::chrono::steady_clock::now();
                    means.push_back(mixtures[k].AdaptMeans(frames.data(), static_cast<int>(frames.size()) / dims, r));
                    adaptingMs[k].push_back(
                        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
                }
        }

    if (!o.strNormOut.empty() &&
        !WriteLevels(o, mixtures, dims, adapted, enrolTakes, learningTakesKept))
        return 1;

    FILE* out = std::fopen(o.strOut.c_str(), "w");
    if (!out) return 1;
    std::fprintf(out, "condition,kind,model_speaker,word,test_speaker,take,frames");
    for (int k : o.components)
        for (double r : o.relevance) std::fprintf(out, ",llr_k%d_r%g", k, r);
    std::fprintf(out, "\n");
    std::vector<std::vector<double>> scoringMs(mixtures.size());   // per mixture size
    for (const std::string& name : o.conditions) {
        STakeConditionRecipe recipe;
        if (!CTakeCondition::Find(name, recipe)) return 2;
        for (const std::string& tester : o.tests)
            for (const std::string& word : protocol.Words(tester))
                for (int take : protocol.Takes(word, tester)) {
                    if (take < kTrialFirst || take > kTrialLast) continue;
                    CTakeFeatures f;
                    std::vector<float> frames;
                    if (TakeWordFeatures(*engine, protocol, word, tester, take, recipe, f))
                        AppendFrames(f, o.bStatics, frames);
                    const int n = static_cast<int>(frames.size()) / dims;
                    for (const std::string& model : o.models) {
                        // Impostors say the model's own word; a speaker without it has no model to try.
                        if (protocol.Takes(word, model).empty()) continue;
                        const auto it = adapted.find(SModelKey{model, word});
                        std::fprintf(out, "%s,%s,%s,%s,%s,%d,%d", name.c_str(), model == tester ? "g" : "i",
                                     model.c_str(), word.c_str(), tester.c_str(), take, n);
                        std::vector<double> llr;
                        if (n > 0 && it != adapted.end()) {
                            size_t j = 0;
                            for (size_t k = 0; k < mixtures.size(); ++k)
                                for (size_t r = 0; r < o.relevance.size(); ++r, ++j) {
                                    const auto start = std::chrono::steady_clock::now();
                                    llr.push_back(mixtures[k].MeanLogRatio(frames.data(), n, it->second[j], o.nTop));
                                    scoringMs[k].push_back(std::chrono::duration<double, std::milli>(
                                                               std::chrono::steady_clock::now() - start).count());
                                }
                        }
                        for (size_t j = 0; j < o.components.size() * o.relevance.size(); ++j) {
                            if (j < llr.size()) std::fprintf(out, ",%.5f", llr[j]);
                            else std::fprintf(out, ",");
                        }
                        std::fprintf(out, "\n");
                    }
                }
    }
    for (size_t k = 0; k < mixtures.size(); ++k)
        std::fprintf(stderr, "adapting one model's means from its enrolment frames, %d components: median %.4f ms over %zu\n",
                     o.components[k], Median(adaptingMs[k]), adaptingMs[k].size());
    for (size_t k = 0; k < mixtures.size(); ++k)
        std::fprintf(stderr, "scoring one take's frames, %d components, top %d: median %.4f ms over %zu\n",
                     o.components[k], o.nTop, Median(scoringMs[k]), scoringMs[k].size());
    return std::fclose(out) == 0 ? 0 : 1;
}
