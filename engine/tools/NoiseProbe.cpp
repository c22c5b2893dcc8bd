// sonvera-noise-probe: how far each model's own enrolment takes move under
// a trial condition. For every speaker and word, each of the enrolment takes
// 0-4 is left out in turn, a model is trained on the other four, and the
// left-out take is verified against it clean and under every condition
// given. One CSV line per take and condition on stdout:
//   speaker,word,take,condition,score,snr,checked
// A tuning aid: it reads enrolment takes only, never a trial take.
//
// sonvera-noise-probe --data DIR [--data DIR]... [--speakers a,b] [--words c/w,...]
//                     [--conditions c,...] [--work DIR]
#include "EvalProtocol.h"
#include "TakeCondition.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct SProbeOptions {
    std::vector<std::string> data, speakers, words;
    std::vector<std::string> conditions{"clean", "white20", "speech20", "soft12"};
    std::string strWork = "noise-probe-work";
};

bool ParseArgs(int argc, char** argv, SProbeOptions& o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i], v = argv[i + 1];
        if (a == "--data") o.data.push_back(v);
        else if (a == "--speakers") o.speakers = CEvalProtocol::SplitList(v, ',');
        else if (a == "--words") o.words = CEvalProtocol::SplitList(v, ',');
        else if (a == "--conditions") o.conditions = CEvalProtocol::SplitList(v, ',');
        else if (a == "--work") o.strWork = v;
        else return false;
    }
    STakeConditionRecipe recipe;
    for (const std::string& c : o.conditions)
        if (!CTakeCondition::Find(c, recipe)) return false;
    return argc % 2 == 1 && !o.data.empty();
}

} // namespace

int main(int argc, char** argv)
{
    SProbeOptions opt;
    if (!ParseArgs(argc, argv, opt)) {
        std::fprintf(stderr, "usage: sonvera-noise-probe --data DIR [--data DIR]... [--speakers a,b] "
                             "[--words c/w,...] [--conditions c,...] [--work DIR]\n");
        return 2;
    }
    const int kEnrolTakes = 5;
    CEvalProtocol protocol;
    for (const std::string& dir : opt.data) protocol.LoadCorpus(dir, opt.speakers, opt.words, kEnrolTakes - 1);
    CEvalProtocol::MakeFolder(opt.strWork);
    protocol.SetWorkDir(opt.strWork);
    protocol.SetMinTrainTakes(kEnrolTakes - 1);
    std::printf("speaker,word,take,condition,score,snr,checked\n");
    for (const std::string& speaker : protocol.Speakers())
        for (const std::string& word : protocol.Words(speaker))
            for (int left = 0; left < kEnrolTakes; ++left) {
                std::vector<int> others;
                for (int t = 0; t < kEnrolTakes; ++t)
                    if (t != left && protocol.Has(word, speaker, t)) others.push_back(t);
                int refused = 0, missed = 0, marginal = 0;
                double trainMs = 0.0;
                if (!protocol.Has(word, speaker, left) ||
                    !protocol.Enrol(word, speaker, others, refused, missed, marginal, trainMs))
                    continue;
                for (const std::string& c : opt.conditions) {
                    STakeConditionRecipe recipe;
                    CTakeCondition::Find(c, recipe);
                    const STrialResult r = protocol.Trial(protocol.MakeTake(word, speaker, left, recipe, false));
                    std::printf("%s,%s,%d,%s,%.5f,%.2f,%d\n", speaker.c_str(), word.c_str(), left, c.c_str(),
                                r.fScore, r.fSnrDb, r.bChecked ? 1 : 0);
                }
            }
    return 0;
}
