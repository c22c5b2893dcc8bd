// sonvera-eval - speaker-verification figures of the engine on a corpus of
// {digit}_{speaker}_{take}.wav recordings, by a fixed protocol:
//   for every speaker and digit: enrol takes 0..4 through the dialog's calls;
//   genuine trials: takes 5..49 of that speaker and digit;
//   impostor trials: takes 5..49 of every other speaker, same digit;
//   replay trials: each enrolment take again, +3 dB, a little noise, 0.1 s later.
// Enrolment takes the engine refuses as marginal (-4, -5; the dialog would
// retake them) are counted as enrol_marginal on the line before the last.
// The last line of output sums it up:
//   EER=..% FAR@op=..% FRR@op=..% replay_caught=..% replay_false=..% enrol_fail=n epd_miss=n verify_ms=.. train_ms=..
//
// Usage: sonvera-eval --data DIR [--speakers a,b,...] [--plots DIR] [--work DIR]
//                     [--enrol-takes A-B] [--trial-takes A-B] [--dump FILE] [--gain-db G]
//                     [--speaker-gain NAME=G]...
// The options after --work exist for tuning runs on a split kept apart from
// the reported trials (other takes, fewer speakers, quieter recordings).
#include "EvalProtocol.h"
#include "SvgPlot.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#endif

namespace {

struct SOptions {
    std::string strData;
    std::string strPlots;
    std::string strWork = "sonvera-eval-work";
    std::string strDump;
    std::vector<std::string> speakers;
    int nEnrolFirst = 0, nEnrolLast = 4;
    int nTrialFirst = 5, nTrialLast = 49;
    double fGainDb = 0.0;
    std::vector<std::pair<std::string, double>> speakerGains;
};

void MakeDir(const std::string& path)
{
#ifdef _WIN32
    _mkdir(path.c_str());
#else
    mkdir(path.c_str(), 0777);
#endif
}

std::vector<std::string> Split(const std::string& s, char sep)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= s.size()) {
        const size_t end = s.find(sep, start);
        const std::string item = s.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!item.empty()) out.push_back(item);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

bool ParseRange(const char* text, int& first, int& last)
{
    return std::sscanf(text, "%d-%d", &first, &last) == 2 && first >= 0 && last >= first;
}

int Usage()
{
    std::fprintf(stderr, "usage: sonvera-eval --data DIR [--speakers a,b,...] [--plots DIR] [--work DIR]\n"
                         "                    [--enrol-takes A-B] [--trial-takes A-B] [--dump FILE] [--gain-db G]\n"
                         "                    [--speaker-gain NAME=G]...\n");
    return 2;
}

bool ParseArgs(int argc, char** argv, SOptions& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--data" && hasValue) o.strData = argv[++i];
        else if (a == "--plots" && hasValue) o.strPlots = argv[++i];
        else if (a == "--work" && hasValue) o.strWork = argv[++i];
        else if (a == "--dump" && hasValue) o.strDump = argv[++i];
        else if (a == "--gain-db" && hasValue) o.fGainDb = std::atof(argv[++i]);
        else if (a == "--speaker-gain" && hasValue) {
            const std::string v = argv[++i];
            const size_t eq = v.find('=');
            if (eq == std::string::npos) return false;
            o.speakerGains.emplace_back(v.substr(0, eq), std::atof(v.c_str() + eq + 1));
        }
        else if (a == "--speakers" && hasValue) o.speakers = Split(argv[++i], ',');
        else if (a == "--enrol-takes" && hasValue) { if (!ParseRange(argv[++i], o.nEnrolFirst, o.nEnrolLast)) return false; }
        else if (a == "--trial-takes" && hasValue) { if (!ParseRange(argv[++i], o.nTrialFirst, o.nTrialLast)) return false; }
        else return false;
    }
    return !o.strData.empty() && o.nEnrolLast - o.nEnrolFirst + 1 <= 5;
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

} // namespace

int main(int argc, char** argv)
{
    SOptions opt;
    if (!ParseArgs(argc, argv, opt)) return Usage();
    CEvalProtocol protocol;
    if (protocol.LoadCorpus(opt.strData, opt.speakers) == 0) {
        std::fprintf(stderr, "sonvera-eval: no recordings in %s\n", opt.strData.c_str());
        return 1;
    }
    MakeDir(opt.strWork);
    MakeDir(opt.strWork + "/work");
    protocol.SetWorkDir(opt.strWork);
    protocol.SetGainDb(opt.fGainDb);
    for (const auto& sg : opt.speakerGains) protocol.SetSpeakerGainDb(sg.first, sg.second);
    std::FILE* dump = opt.strDump.empty() ? nullptr : std::fopen(opt.strDump.c_str(), "w");
    if (dump) std::fprintf(dump, "kind,model_speaker,digit,test_speaker,take,score,d0,d1,d2,d3,m0,m1,m2,m3,copy,accept\n");

    const std::vector<std::string> speakers = protocol.Speakers();
    std::vector<double> genuine, impostor;
    long genuineTrials = 0, genuineRejected = 0, impostorTrials = 0, impostorAccepted = 0;
    long replayTrials = 0, replayCaught = 0, replayFalse = 0;
    long enrolFail = 0, epdMiss = 0, enrolMarginal = 0, verifyCalls = 0, trainCalls = 0;
    double verifyMs = 0.0, trainMs = 0.0, threshold = 0.0;

    auto record = [&](const char* kind, const std::string& model, int digit, const std::string& test, int take,
                      const STrialResult& r) {
        if (!dump) return;
        std::fprintf(dump, "%s,%s,%d,%s,%d,%.5f,%.5f,%.5f,%.5f,%.5f,%.5f,%.5f,%.5f,%.5f,%.4f,%d\n", kind, model.c_str(),
                     digit, test.c_str(), take, r.fScore, r.fParts[0], r.fParts[1], r.fParts[2], r.fParts[3], r.fModel[0],
                     r.fModel[1], r.fModel[2], r.fModel[3], r.fCopyDistance, r.bAccepted ? 1 : 0);
    };

    for (const std::string& speaker : speakers) {
        for (int digit = 0; digit <= 9; ++digit) {
            if (!protocol.Has(digit, speaker, opt.nEnrolFirst)) continue;
            int refused = 0, missed = 0, marginal = 0;
            double ms = 0.0;
            const int trained =
                protocol.Enrol(digit, speaker, opt.nEnrolFirst, opt.nEnrolLast, refused, missed, marginal, ms);
            epdMiss += missed;
            enrolMarginal += marginal;
            trainMs += ms;
            ++trainCalls;
            if (!trained || refused > 0) ++enrolFail;
            if (refused > 0)
                std::fprintf(stderr,
                             "enrolment: %s digit %d: %d take(s) refused (%d without end points, %d marginal)\n",
                             speaker.c_str(), digit, refused, missed, marginal);
            if (!trained) {
                std::fprintf(stderr, "enrolment failed: %s digit %d\n", speaker.c_str(), digit);
                continue;
            }
            for (int take = opt.nTrialFirst; take <= opt.nTrialLast; ++take) {
                for (const std::string& other : speakers) {
                    if (!protocol.Has(digit, other, take)) continue;
                    const STrialResult r = protocol.Trial(protocol.MakeTake(digit, other, take, false));
                    if (!r.bEndpoint) ++epdMiss;
                    if (r.bChecked) { verifyMs += r.fVerifyMs; ++verifyCalls; }
                    if (other == speaker) {
                        ++genuineTrials;
                        genuine.push_back(r.fScore);
                        if (!r.bAccepted) ++genuineRejected;
                        if (r.bCopy) ++replayFalse;
                        record("g", speaker, digit, other, take, r);
                    } else {
                        ++impostorTrials;
                        impostor.push_back(r.fScore);
                        if (r.bAccepted) ++impostorAccepted;
                        record("i", speaker, digit, other, take, r);
                    }
                }
            }
            for (int take = opt.nEnrolFirst; take <= opt.nEnrolLast; ++take) {
                const STrialResult r = protocol.Trial(protocol.MakeTake(digit, speaker, take, true));
                ++replayTrials;
                if (r.bCopy) ++replayCaught;
                record("r", speaker, digit, speaker, take, r);
            }
        }
        std::fprintf(stderr, "speaker %s done\n", speaker.c_str());
    }
    if (dump) std::fclose(dump);

    // The operating point's threshold, as the engine reports it at security 0.3.
    threshold = protocol.OperatingThreshold();
    if (!opt.strPlots.empty()) {
        MakeDir(opt.strPlots);
        CSvgPlot::WriteDet(opt.strPlots + "/det.svg", genuine, impostor, threshold);
        CSvgPlot::WriteHistogram(opt.strPlots + "/scores.svg", genuine, impostor, threshold);
    }
    std::printf("speakers=%zu genuine=%ld impostor=%ld replay=%ld enrol_marginal=%ld\n", speakers.size(),
                genuineTrials, impostorTrials, replayTrials, enrolMarginal);
    std::printf("EER=%.2f%% FAR@op=%.2f%% FRR@op=%.2f%% replay_caught=%.2f%% replay_false=%.2f%% enrol_fail=%ld "
                "epd_miss=%ld verify_ms=%.3f train_ms=%.3f\n",
                100.0 * EqualErrorRate(genuine, impostor), Percent(impostorAccepted, impostorTrials),
                Percent(genuineRejected, genuineTrials), Percent(replayCaught, replayTrials),
                Percent(replayFalse, genuineTrials), enrolFail, epdMiss,
                verifyCalls > 0 ? verifyMs / verifyCalls : 0.0, trainCalls > 0 ? trainMs / trainCalls : 0.0);
    return 0;
}
