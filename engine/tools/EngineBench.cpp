// sonvera-engine-bench - how fast the engine trains and verifies, through
// the voice dialog's calls and set-up values (DialogEngineSetup.h).
//
// One speaker's word is enrolled from five takes (the evaluation's way:
// EvalProtocol.h), over and over, timing training (VRE_Train); then one of
// the speaker's other recordings, made into a 3-s take as the evaluation
// makes a clean trial take, goes through the whole take path over and over:
// end points (VRE_GetEndpointShort), take check (VRE_CheckSexSpeech), replay
// check (VRE_VCopy) and verification (VRE_Verify), each timed. Wall time of
// the steady clock, or with --clock processor this process's processor time
// (which a busy machine's other work does not add to); the warm-up
// repetitions are not counted. One line per figure: median, 90th percentile
// and maximum in ms, and each stage's share of the whole take path. The same
// recording then goes through the take path again with white noise 20 dB
// under the word (the evaluation's white20): a take that noisy is compared
// with the templates given its noise, verification's costliest way, which
// the clean take never takes; its line says whether it was. Then 12 dB
// softer (the evaluation's soft12), which over the matched path's bound is
// matched too when the room's noise stands far enough over the templates'
// own under its word.
//
// Usage: sonvera-engine-bench [--data DIR] [--speaker NAME] [--word WORD] [--take N]
//                             [--repetitions N] [--warm-up N] [--work DIR] [--clock wall|processor]
#include "EvalProtocol.h"
#include "TakeCondition.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#ifndef SONVERA_BENCH_FSDD
#define SONVERA_BENCH_FSDD "tests/data/fsdd"
#endif
#ifndef SONVERA_BUILD_TYPE
#define SONVERA_BUILD_TYPE "unknown"
#endif

namespace {

// Limits the engine is held to: a 3-s take verified, a model trained.
const double kTakePathLimitMs = 5.0;
const double kTrainingLimitMs = 50.0;

struct SBenchOptions {
    std::string strData = SONVERA_BENCH_FSDD;
    std::string strSpeaker = "george";
    std::string strWord = "0";
    std::string strWork = "sonvera-engine-bench-work";
    int nTrialTake = 5;     // the first take after the enrolment takes 0-4
    int nRepetitions = 200;
    int nWarmUp = 10;
    bool bProcessorTime = false;
};

bool ParseCount(const char* text, int minimum, int& value)
{
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < minimum || v > 1000000) return false;
    value = static_cast<int>(v);
    return true;
}

bool ParseArgs(int argc, char** argv, SBenchOptions& o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        const char* v = argv[i + 1];
        if (a == "--data") o.strData = v;
        else if (a == "--speaker") o.strSpeaker = v;
        else if (a == "--word") o.strWord = v;
        else if (a == "--work") o.strWork = v;
        else if (a == "--clock" && (std::string(v) == "wall" || std::string(v) == "processor"))
            o.bProcessorTime = std::string(v) == "processor";
        else if (a == "--take") { if (!ParseCount(v, 0, o.nTrialTake)) return false; }
        else if (a == "--repetitions") { if (!ParseCount(v, 1, o.nRepetitions)) return false; }
        else if (a == "--warm-up") { if (!ParseCount(v, 0, o.nWarmUp)) return false; }
        else return false;
    }
    return argc % 2 == 1;
}

double WallMs()
{
    using Clock = std::chrono::steady_clock;
    static const Clock::time_point start = Clock::now();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The kernel's clock source, where the system tells it.
std::string ClockSource()
{
    std::ifstream file("/sys/devices/system/clocksource/clocksource0/current_clocksource");
    std::string name;
    if (file >> name) return "clocksource " + name;
    return "clock source not readable here";
}

std::string ClockLine(bool processorTime)
{
    return (processorTime ? "processor time of this process (std::clock); " : "wall time (steady_clock); ") +
           ClockSource();
}

std::string BuildType()
{
    std::string type = SONVERA_BUILD_TYPE;
#if defined(__SANITIZE_ADDRESS__)
    type += ", address sanitizer";
#endif
#if !defined(NDEBUG)
    type += ", assertions on";
#endif
    return type;
}

// The value with `share` of the values at or below it (nearest rank).
double Percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    const size_t rank = static_cast<size_t>(share * static_cast<double>(values.size()) + 0.999999);
    return values[std::min(std::max<size_t>(rank, 1), values.size()) - 1];
}

double Sum(const std::vector<double>& values)
{
    double sum = 0.0;
    for (double v : values) sum += v;
    return sum;
}

void PrintFigure(const char* what, const std::vector<double>& ms, const std::string& tail)
{
    std::printf("%-22s median %7.3f ms   p90 %7.3f ms   max %7.3f ms   %s\n", what, Percentile(ms, 0.5),
                Percentile(ms, 0.9), *std::max_element(ms.begin(), ms.end()), tail.c_str());
}

std::string Limit(double ms)
{
    char text[40];
    std::snprintf(text, sizeof text, "(limit %.0f ms)", ms);
    return text;
}

std::string Share(const std::vector<double>& stage, const std::vector<double>& whole)
{
    char text[40];
    std::snprintf(text, sizeof text, "(%4.1f %% of the path)", 100.0 * Sum(stage) / Sum(whole));
    return text;
}

// The protocol's name of `word` ("<corpus folder>/<word>", or given so),
// empty when the speaker has not recorded it.
std::string CorpusWord(const CEvalProtocol& protocol, const std::string& speaker, const std::string& word)
{
    for (const std::string& w : protocol.Words(speaker))
        if (w == word || (w.size() > word.size() && w.compare(w.size() - word.size() - 1, std::string::npos,
                                                              "/" + word) == 0))
            return w;
    return std::string();
}

// Training times of `count` enrolments; empty when one failed.
std::vector<double> TimeTraining(CEvalProtocol& protocol, const SBenchOptions& o, int count)
{
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        int refused = 0, missed = 0, marginal = 0;
        double trainMs = 0.0;
        if (!protocol.Enrol(o.strWord, o.strSpeaker, {0, 1, 2, 3, 4}, refused, missed, marginal, trainMs) ||
            refused > 0)
            return {};
        ms.push_back(trainMs);
    }
    return ms;
}

struct STakePathTimes {
    std::vector<double> wholeMs, stageMs[4];
    STrialResult last{};
};

// How verification held the last take for its noise
// (CSpeakerScorer::ENoiseHold's value).
constexpr int kNoiseHoldPart = kScorePartCount - 1;

const char* HoldName(const STrialResult& r)
{
    const float hold = r.fParts[kNoiseHoldPart];
    if (hold == 1.0f) return "matched to its noise";
    if (hold == 2.0f) return "held stricter unmatched";
    if (hold == 3.0f) return "matched over the bound";
    return "not matched";
}

// The take path's times of the trial take under `condition` over the
// repetitions after the warm-up; false when the take did not reach
// verification.
bool TimeTakePath(CEvalProtocol& protocol, const SBenchOptions& o, const char* condition, STakePathTimes& times)
{
    STakeConditionRecipe recipe;
    if (!CTakeCondition::Find(condition, recipe)) return false;
    const std::vector<short> take = protocol.MakeTake(o.strWord, o.strSpeaker, o.nTrialTake, recipe, false);
    for (int i = 0; i < o.nWarmUp + o.nRepetitions; ++i) {
        times.last = protocol.Trial(take);
        if (!times.last.bChecked) return false;
        if (i < o.nWarmUp) continue;
        times.wholeMs.push_back(times.last.fTakeMs);
        for (int s = 0; s < 4; ++s) times.stageMs[s].push_back(times.last.fStageMs[s]);
    }
    return true;
}

void PrintReport(const SBenchOptions& o, const std::vector<double>& trainMs, const STakePathTimes& path,
                 const STakePathTimes& noisy, const STakePathTimes& soft)
{
    std::printf("sonvera-engine-bench: %s by %s, enrolment takes 0-4, trial take %d (%s, %s)\n", o.strWord.c_str(),
                o.strSpeaker.c_str(), o.nTrialTake, path.last.bAccepted ? "accepted" : "rejected",
                path.last.bCopy ? "taken for a replay" : "not a replay");
    std::printf("build %s; clock: %s\n", BuildType().c_str(), ClockLine(o.bProcessorTime).c_str());
    std::printf("%d repetitions per figure after %d warm-up\n", o.nRepetitions, o.nWarmUp);
    PrintFigure("training, 5 takes", trainMs, Limit(kTrainingLimitMs));
    PrintFigure("take path, 3-s take", path.wholeMs, Limit(kTakePathLimitMs));
    const char* stages[4] = {"  end points", "  take check", "  replay check", "  verification"};
    for (int s = 0; s < 4; ++s) PrintFigure(stages[s], path.stageMs[s], Share(path.stageMs[s], path.wholeMs));
    const struct {
        const char* what;
        const char* label;
        const STakePathTimes& times;
    } others[] = {{"under white noise 20 dB down", "take path, white20", noisy},
                  {"12 dB softer", "take path, soft12", soft}};
    for (const auto& t : others) {
        std::printf("the trial take %s (%s, %s):\n", t.what, t.times.last.bAccepted ? "accepted" : "rejected",
                    HoldName(t.times.last));
        PrintFigure(t.label, t.times.wholeMs, Limit(kTakePathLimitMs));
        PrintFigure("  verification", t.times.stageMs[3], Share(t.times.stageMs[3], t.times.wholeMs));
    }
}

int Fail(const std::string& why)
{
    std::fprintf(stderr, "sonvera-engine-bench: %s\n", why.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    SBenchOptions o;
    if (!ParseArgs(argc, argv, o)) {
        std::fprintf(stderr, "usage: sonvera-engine-bench [--data DIR] [--speaker NAME] [--word WORD] [--take N]\n"
                             "                            [--repetitions N] [--warm-up N] [--work DIR]\n"
                             "                            [--clock wall|processor]\n");
        return 2;
    }
    CEvalProtocol protocol;
    protocol.SetClock(o.bProcessorTime ? CEvalProtocol::ProcessorMs : WallMs);
    protocol.LoadCorpus(o.strData, {o.strSpeaker});
    const std::string word = CorpusWord(protocol, o.strSpeaker, o.strWord);
    if (word.empty()) return Fail("no takes of word " + o.strWord + " by " + o.strSpeaker + " in " + o.strData);
    o.strWord = word;
    for (int take : {0, 1, 2, 3, 4, o.nTrialTake})
        if (!protocol.Has(o.strWord, o.strSpeaker, take))
            return Fail(o.strSpeaker + " has no take " + std::to_string(take) + " of " + o.strWord +
                        " (enrolment takes 0-4, trial take " + std::to_string(o.nTrialTake) + ")");
    CEvalProtocol::MakeFolder(o.strWork);
    CEvalProtocol::MakeFolder(o.strWork + "/work");
    protocol.SetWorkDir(o.strWork);

    TimeTraining(protocol, o, o.nWarmUp);
    const std::vector<double> trainMs = TimeTraining(protocol, o, o.nRepetitions);
    if (trainMs.empty()) return Fail("the enrolment of " + o.strSpeaker + " " + o.strWord + " failed");
    STakePathTimes path, noisy, soft;
    if (!TimeTakePath(protocol, o, "clean", path))
        return Fail("take " + std::to_string(o.nTrialTake) + " did not reach verification (error " +
                    std::to_string(path.last.nError) + ")");
    const std::pair<const char*, STakePathTimes*> conditions[] = {{"white20", &noisy}, {"soft12", &soft}};
    for (const auto& c : conditions)
        if (!TimeTakePath(protocol, o, c.first, *c.second))
            return Fail("take " + std::to_string(o.nTrialTake) + " under " + c.first +
                        " did not reach verification (error " + std::to_string(c.second->last.nError) + ")");
    PrintReport(o, trainMs, path, noisy, soft);
    return 0;
}
