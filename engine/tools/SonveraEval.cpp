// sonvera-eval - speaker-verification figures of the engine on corpora of
// WORD_SPEAKER_TAKE.wav recordings, by a fixed protocol:
//   for every speaker and word: enrol takes 0..4 (clean) through the dialog's calls;
//   genuine trials: the speaker's other takes of that word;
//   impostor trials: the other takes of every other speaker of the same corpus, same word;
//   per condition (TakeCondition.h) the trial takes are put through it; the
//   condition "replay" plays each enrolment take back through a loudspeaker
//   into a room, and "clean" also has today's digital copies (each
//   enrolment take again, +3 dB, more noise, 0.1 s later).
// With --adapt-takes A-B every model first meets its speaker's takes A..B as
// logins with adaptation on (the ones it learns join its known takes, and
// their replays and digital copies join the enrolment takes' as trials of
// kind 'r'); the trials then run with adaptation off as always.
// Enrolment takes the engine refuses as marginal (-4, -5; the dialog would
// retake them) are counted as enrol_marginal.
// Per condition the report gives
//   EER=..% FAR@op=..% FRR@op=..% replay_caught=..% replay_false=..% enrol_fail=n epd_miss=n take_ms=.. train_ms=..
// (epd_miss: genuine trial takes without end points; take_ms: end points,
// take check, replay check and verification of one take, mean), the worst
// model/impostor pair at the operating point, FAR per word and FRR per speaker.
//
// Usage: sonvera-eval --data DIR [--data DIR]... [--speakers a,b,...] [--conditions c,d,...]
//                     [--words corpus/word,...] [--plots DIR] [--work DIR] [--enrol-takes A-B] [--trial-takes A-B]
//                     [--dump FILE] [--speaker-gain NAME=G]... [--adapt-takes A-B]
#include "EvalProtocol.h"
#include "SvgPlot.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>


namespace {

struct SOptions {
    std::vector<std::string> data;
    std::string strPlots;
    std::string strWork = "sonvera-eval-work";
    std::string strDump;
    std::vector<std::string> speakers;
    std::vector<std::string> conditions;
    std::vector<std::string> words;          // "corpus/word"; empty: all
    int nEnrolFirst = 0, nEnrolLast = 4;
    int nTrialFirst = -1, nTrialLast = -1;   // -1: every take not enrolled
    int nAdaptFirst = -1, nAdaptLast = -1;   // -1: no adapting logins
    std::vector<std::pair<std::string, double>> speakerGains;
};

struct STrial {
    char kind;   // 'g' genuine, 'i' impostor, 'r' replay
    std::string model, word, test;
    int take;
    STrialResult r;
};

bool ParseRange(const char* text, int& first, int& last)
{
    return std::sscanf(text, "%d-%d", &first, &last) == 2 && first >= 0 && last >= first;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: sonvera-eval --data DIR [--data DIR]... [--speakers a,b,...] [--conditions c,d,...]\n"
                 "                    [--words corpus/word,...]\n"
                 "                    [--plots DIR] [--work DIR] [--enrol-takes A-B] [--trial-takes A-B]\n"
                 "                    [--dump FILE] [--speaker-gain NAME=G]... [--adapt-takes A-B]\n");
    return 2;
}

bool ParseArgs(int argc, char** argv, SOptions& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--data" && hasValue) o.data.push_back(argv[++i]);
        else if (a == "--plots" && hasValue) o.strPlots = argv[++i];
        else if (a == "--work" && hasValue) o.strWork = argv[++i];
        else if (a == "--dump" && hasValue) o.strDump = argv[++i];
        else if (a == "--speaker-gain" && hasValue) {
            const std::string v = argv[++i];
            const size_t eq = v.find('=');
            if (eq == std::string::npos) return false;
            o.speakerGains.emplace_back(v.substr(0, eq), std::atof(v.c_str() + eq + 1));
        }
        else if (a == "--speakers" && hasValue) o.speakers = CEvalProtocol::SplitList(argv[++i], ',');
        else if (a == "--conditions" && hasValue) o.conditions = CEvalProtocol::SplitList(argv[++i], ',');
        else if (a == "--words" && hasValue) o.words = CEvalProtocol::SplitList(argv[++i], ',');
        else if (a == "--enrol-takes" && hasValue) { if (!ParseRange(argv[++i], o.nEnrolFirst, o.nEnrolLast)) return false; }
        else if (a == "--trial-takes" && hasValue) { if (!ParseRange(argv[++i], o.nTrialFirst, o.nTrialLast)) return false; }
        else if (a == "--adapt-takes" && hasValue) { if (!ParseRange(argv[++i], o.nAdaptFirst, o.nAdaptLast)) return false; }
        else return false;
    }
    if (o.conditions.empty()) o.conditions = CTakeCondition::Names();
    STakeConditionRecipe recipe;
    for (const std::string& c : o.conditions)
        if (!CTakeCondition::Find(c, recipe)) return false;
    return !o.data.empty() && o.nEnrolLast - o.nEnrolFirst + 1 <= 5;
}

// Equal error rate: the threshold sweep over every score; at the crossing of
// the false-rejection and false-acceptance curves their mean is the EER.
double EqualErrorRate(std::vector<double> genuine, std::vector<double> impostor)
{
    if (genuine.empty() || impostor.empty()) return 0.0;
    std::sort(genuine.begin(), genuine.end());
    std::sort(impostor.begin(), impostor.end());
    std::vector<double> cuts = genuine;
    cuts.insert(cuts.end(), impostor.begin(), impostor.end());
    std::sort(cuts.begin(), cuts.end());
    double best = 1.0, eer = 0.5;
    for (double t : cuts) {
        const double frr = static_cast<double>(genuine.end() - std::upper_bound(genuine.begin(), genuine.end(), t)) / genuine.size();
        const double far = static_cast<double>(std::upper_bound(impostor.begin(), impostor.end(), t) - impostor.begin()) / impostor.size();
        if (std::abs(frr - far) < best) { best = std::abs(frr - far); eer = 0.5 * (frr + far); }
    }
    return eer;
}

double Percent(long part, long whole) { return whole > 0 ? 100.0 * part / whole : 0.0; }

struct SCount {
    long n = 0, hits = 0;
    void Add(bool hit) { ++n; hits += hit ? 1 : 0; }
    double Rate() const { return Percent(hits, n); }
};

// The report of one condition (see the head of the file).
void Report(const std::string& condition, const std::vector<STrial>& trials, double threshold, long enrolFail,
            double trainMs, const std::string& plots)
{
    std::vector<double> genuine, impostor;
    SCount far, frr, caught, falseReplay, miss;
    std::map<std::string, SCount> farByWord, frrBySpeaker;
    std::map<std::string, SCount> pairs;   // model speaker | word | impostor
    double takeMs = 0.0, takeMsMax = 0.0;
    long timed = 0;
    for (const STrial& t : trials) {
        if (t.r.bChecked) {
            takeMs += t.r.fTakeMs;
            takeMsMax = std::max(takeMsMax, t.r.fTakeMs);
            ++timed;
        }
        if (t.kind == 'r') {
            caught.Add(t.r.bCopy);
        } else if (t.kind == 'g') {
            genuine.push_back(t.r.fScore);
            frr.Add(!t.r.bAccepted);
            frrBySpeaker[t.model].Add(!t.r.bAccepted);
            falseReplay.Add(t.r.bCopy);
            miss.Add(!t.r.bEndpoint);
        } else {
            impostor.push_back(t.r.fScore);
            far.Add(t.r.bAccepted);
            farByWord[t.word].Add(t.r.bAccepted);
            pairs[t.model + " " + t.word + " " + t.test].Add(t.r.bAccepted);
        }
    }
    std::string worst = "-";
    double worstRate = -1.0;
    for (const auto& p : pairs)
        if (p.second.Rate() > worstRate) { worstRate = p.second.Rate(); worst = p.first; }
    std::printf("== %s\n", condition.c_str());
    std::printf("genuine=%zu impostor=%zu replay=%ld pairs=%zu\n", genuine.size(), impostor.size(), caught.n,
                pairs.size());
    std::printf("EER=%.2f%% FAR@op=%.2f%% FRR@op=%.2f%% replay_caught=%.2f%% replay_false=%.2f%% enrol_fail=%ld "
                "epd_miss=%ld take_ms=%.3f take_ms_max=%.3f train_ms=%.3f\n",
                100.0 * EqualErrorRate(genuine, impostor), far.Rate(), frr.Rate(), caught.Rate(), falseReplay.Rate(),
                enrolFail, miss.hits, timed > 0 ? takeMs / timed : 0.0, takeMsMax, trainMs);
    if (worstRate >= 0.0)
        std::printf("worst_pair (model word impostor): %s FAR=%.1f%% (%ld/%ld)\n", worst.c_str(), worstRate,
                    pairs[worst].hits, pairs[worst].n);
    std::printf("far_by_word:");
    for (const auto& w : farByWord) std::printf(" %s=%.2f%%", w.first.c_str(), w.second.Rate());
    std::printf("\nfrr_by_speaker:");
    for (const auto& s : frrBySpeaker) std::printf(" %s=%.1f%%", s.first.c_str(), s.second.Rate());
    std::printf("\n");
    if (!plots.empty() && !genuine.empty() && !impostor.empty()) {
        CSvgPlot::WriteDet(plots + "/det-" + condition + ".svg", genuine, impostor, threshold);
        CSvgPlot::WriteHistogram(plots + "/scores-" + condition + ".svg", genuine, impostor, threshold);
    }
}

} // namespace

int main(int argc, char** argv)
{
    SOptions opt;
    if (!ParseArgs(argc, argv, opt)) return Usage();
    CEvalProtocol protocol;
    int recordings = 0;
    // Only the takes the protocol uses are read (and resampled).
    const int lastTake = opt.nTrialFirst < 0 ? -1 : std::max({opt.nEnrolLast, opt.nTrialLast, opt.nAdaptLast});
    for (const std::string& dir : opt.data) recordings += protocol.LoadCorpus(dir, opt.speakers, opt.words, lastTake);
    if (recordings == 0) {
        std::fprintf(stderr, "sonvera-eval: no recordings\n");
        return 1;
    }
    CEvalProtocol::MakeFolder(opt.strWork);
    CEvalProtocol::MakeFolder(opt.strWork + "/work");
    protocol.SetWorkDir(opt.strWork);
    for (const auto& sg : opt.speakerGains) protocol.SetSpeakerGainDb(sg.first, sg.second);

    std::map<std::string, std::vector<STrial>> results;
    std::map<std::string, STakeConditionRecipe> recipes;
    for (const std::string& c : opt.conditions) CTakeCondition::Find(c, recipes[c]);
    STakeConditionRecipe clean;
    CTakeCondition::Find("clean", clean);
    long enrolFail = 0, enrolMarginal = 0, trainCalls = 0;
    double trainMs = 0.0;
    const std::vector<std::string> speakers = protocol.Speakers();
    // Every model first; then each condition's take of every trial recording
    // is made once and tried against every model of its word.
    std::map<std::string, std::vector<std::string>> models;   // word -> speakers with a model
    std::map<std::string, std::vector<int>> enrolled;         // speaker|word -> enrolment takes
    for (const std::string& speaker : speakers) {
        for (const std::string& word : protocol.Words(speaker)) {
            if (!opt.words.empty() && std::find(opt.words.begin(), opt.words.end(), word) == opt.words.end()) continue;
            std::vector<int> enrolTakes;
            for (int take = opt.nEnrolFirst; take <= opt.nEnrolLast; ++take)
                if (protocol.Has(word, speaker, take)) enrolTakes.push_back(take);
            if (enrolTakes.empty()) continue;
            int refused = 0, missed = 0, marginal = 0;
            double ms = 0.0;
            const int trained = protocol.Enrol(word, speaker, enrolTakes, refused, missed, marginal, ms);
            enrolMarginal += marginal;
            trainMs += ms;
            ++trainCalls;
            if (!trained || refused > 0) ++enrolFail;
            if (refused > 0)
                std::fprintf(stderr, "enrolment: %s %s: %d take(s) refused (%d without end points, %d marginal)\n",
                             speaker.c_str(), word.c_str(), refused, missed, marginal);
            if (!trained) {
                std::fprintf(stderr, "enrolment failed: %s %s\n", speaker.c_str(), word.c_str());
                continue;
            }
            models[word].push_back(speaker);
            enrolled[speaker + "|" + word] = enrolTakes;
            if (!opt.strDump.empty()) {
                std::fprintf(stderr, "enrolment snr: %s %s", speaker.c_str(), word.c_str());
                for (double snr : protocol.EnrolSnrDb(word, speaker)) std::fprintf(stderr, " %.2f", snr);
                std::fprintf(stderr, "\n");
            }
        }
    }
    long adapted = 0;
    for (const auto& wm : models)
        for (const std::string& speaker : wm.second)
            for (int take = opt.nAdaptFirst; opt.nAdaptFirst >= 0 && take <= opt.nAdaptLast; ++take) {
                if (!protocol.Has(wm.first, speaker, take)) continue;
                protocol.SelectModel(wm.first, speaker);
                if (!protocol.AdaptingLogin(protocol.MakeTake(wm.first, speaker, take, clean, false))) continue;
                enrolled[speaker + "|" + wm.first].push_back(take);
                ++adapted;
            }
    for (const std::string& condition : opt.conditions) {
        std::vector<STrial>& out = results[condition];
        const STakeConditionRecipe& recipe = recipes[condition];
        for (const auto& wm : models) {
            const std::string& word = wm.first;
            if (condition == "replay" || condition == "clean")
                for (const std::string& speaker : wm.second)
                    for (int take : enrolled[speaker + "|" + word]) {
                        protocol.SelectModel(word, speaker);
                        out.push_back({'r', speaker, word, speaker, take,
                                       protocol.Trial(protocol.MakeTake(word, speaker, take, recipe, true))});
                    }
            if (condition == "replay") continue;
            for (const std::string& other : speakers) {
                for (int take : protocol.Takes(word, other)) {
                    const bool inEnrolment = take >= opt.nEnrolFirst && take <= opt.nEnrolLast;
                    const bool inRange = opt.nTrialFirst < 0 ? !inEnrolment
                                                             : take >= opt.nTrialFirst && take <= opt.nTrialLast;
                    if (!inRange) continue;
                    const std::vector<short> samples = protocol.MakeTake(word, other, take, recipe, false);
                    for (const std::string& speaker : wm.second) {
                        protocol.SelectModel(word, speaker);
                        out.push_back({other == speaker ? 'g' : 'i', speaker, word, other, take, protocol.Trial(samples)});
                    }
                }
            }
        }
        std::fprintf(stderr, "condition %s done\n", condition.c_str());
    }

    const double threshold = protocol.OperatingThreshold();
    if (!opt.strPlots.empty()) CEvalProtocol::MakeFolder(opt.strPlots);
    std::FILE* dump = opt.strDump.empty() ? nullptr : std::fopen(opt.strDump.c_str(), "w");
    if (dump) std::fprintf(dump, "condition,kind,model_speaker,word,test_speaker,take,score,d0,d1,d2,d3,copy,accept,epd,snr,take_ms,err,m0,m1,m2,m3,copy_pitch,n0,n1,n2,n3,copy_typical,copy_wave,noise_move,noise_snr,threshold,noise_imp");
    // Each neighbouring voice's four distances (moved -1, -0.5, +0.5, +1 channel).
    for (int v = 0; dump && v < 4; ++v)
        for (int p = 0; p < 4; ++p) std::fprintf(dump, ",v%d_d%d", v, p);
    // The word's cues against the model: duration, intonation, the
    // intonation with each frame's octave error folded back, the loudness
    // contour and the intonation along the DTW path, the voiced share, the
    // pitch contour's distance to the enrolment takes.
    if (dump) std::fprintf(dump, ",cue_dur,cue_int,cue_int_fold,cue_loud,cue_int_path,cue_voiced,cue_contour");
    // The take's noise over what the model's templates keep of their own, dB.
    if (dump) std::fprintf(dump, ",noise_excess");
    // The take's noise shape against its model's enrolment noise, dB, and
    // how it was held for its noise (0 its path's, 1 matched, 2 shifted,
    // 3 matched over the bound).
    if (dump) std::fprintf(dump, ",enrol_noise_shape,noise_hold");
    // Where the model's own noisy copies land on the matched path.
    if (dump) std::fprintf(dump, ",matched_margin");
    if (dump) std::fprintf(dump, "\n");
    std::printf("speakers=%zu enrol_marginal=%ld adapted=%ld threshold=%.4f\n", speakers.size(), enrolMarginal, adapted,
                threshold);
    for (const std::string& condition : opt.conditions) {
        const std::vector<STrial>& trials = results[condition];
        Report(condition, trials, threshold, enrolFail, trainCalls > 0 ? trainMs / trainCalls : 0.0, opt.strPlots);
        if (!dump) continue;
        for (const STrial& t : trials) {
            std::fprintf(dump, "%s,%c,%s,%s,%s,%d,%.5f,%.5f,%.5f,%.5f,%.5f,%.5f,%d,%d,%.2f,%.3f,%d,%.5f,%.5f,%.5f,%.5f,%.5f,%.5f,%.5f,%.5f,%.5f,%.5f,%.5f,%.5f,%.3f,%.5f,%.5f", condition.c_str(), t.kind,
                         t.model.c_str(), t.word.c_str(), t.test.c_str(), t.take, t.r.fScore, t.r.fParts[0],
                         t.r.fParts[1], t.r.fParts[2], t.r.fParts[3], t.r.fCopyDistance, t.r.bAccepted ? 1 : 0,
                         t.r.bEndpoint ? 1 : 0, t.r.fSnrDb, t.r.fTakeMs, t.r.nError,
                         t.r.fModelParts[0], t.r.fModelParts[1], t.r.fModelParts[2], t.r.fModelParts[3],
                         t.r.fCopyPitchDistance, t.r.fParts[4], t.r.fParts[5], t.r.fParts[6], t.r.fParts[7], t.r.fCopyTypical,
                         t.r.fCopyWaveform, t.r.fNoiseMove, t.r.fNoiseCopySnrDb, t.r.fThreshold,
                         t.r.fNoiseImpostorMove);
            for (int p = 8; p < kScorePartCount; ++p) std::fprintf(dump, ",%.5f", t.r.fParts[p]);
            std::fprintf(dump, ",%.5f\n", t.r.fMatchedMargin);
        }
    }
    if (dump) std::fclose(dump);
    return 0;
}
