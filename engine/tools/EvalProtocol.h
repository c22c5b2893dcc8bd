// EvalProtocol.h - drives the engine through the voice dialog's calls on a
// corpus of {digit}_{speaker}_{take}.wav recordings.
//
// Each recording is resampled to 11025 Hz and placed at 0.5 s into a 3-second
// take with low background noise (fixed seed per recording). A speaker's
// model of a digit is enrolled from a range of takes exactly as the dialog
// enrols (set-up, end points, take check, training); trials go through the
// verification calls with model adaptation off, so that every trial meets the
// same model.
#pragma once

#include "DialogEngineSetup.h"

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

struct STrialResult {
    bool bEndpoint;     // VRE_GetEndpointShort found the word
    bool bChecked;      // VRE_CheckSexSpeech let it through
    bool bAccepted;     // VRE_Verify
    bool bCopy;         // VRE_VCopy said "replay"
    double fScore;      // fused distance (1e9 when not scored)
    double fParts[4];   // raw distances (DTW, mean, NN, pitch)
    double fModel[4];   // the model's typical distances
    double fCopyDistance;
    double fVerifyMs;
};

class CEvalProtocol {
public:
    // Take geometry and noise of the protocol.
    static constexpr int kRate = SDialogEngineSetup::kSampleRate;
    static constexpr int kTakeSamples = SDialogEngineSetup::kTakeSamples;
    static constexpr int kOffsetSamples = 5513;    // 0.5 s
    static constexpr double kNoiseRms = 16.0;      // LSB, about -66 dBFS
    // Replay: louder, a little more noise, 0.1 s later.
    static constexpr double kReplayGainDb = 3.0;
    static constexpr double kReplayNoiseRms = 24.0;
    static constexpr int kReplayShiftSamples = 1103;

    // Reads every {digit}_{speaker}_{take}.wav of `dir` whose speaker is in
    // `speakers` (empty: all). Returns the number of recordings read.
    int LoadCorpus(const std::string& dir, const std::vector<std::string>& speakers);
    std::vector<std::string> Speakers() const;
    bool Has(int digit, const std::string& speaker, int take) const;

    // The protocol's take of a recording; `replay` makes the replayed version.
    std::vector<short> MakeTake(int digit, const std::string& speaker, int take, bool replay) const;

    // workDir: the engine's application folder (models in workDir/work).
    void SetWorkDir(const std::string& dir) { m_strWorkDir = dir; }
    // Extra gain on every recording (tuning runs simulate quiet speakers with it).
    void SetGainDb(double gainDb) { m_fGainDb = gainDb; }
    // Extra gain on one speaker's recordings only (a quiet speaker among loud ones).
    void SetSpeakerGainDb(const std::string& speaker, double gainDb) { m_speakerGainDb[speaker] = gainDb; }

    // Enrols speaker/digit from takes first..last. refused: takes the end-point
    // detector or the take check refused; missed: of those, the end-point
    // misses; marginal: of those, takes refused as marginal (-4 low SNR, -5 cut
    // by the edge), which the dialog would retake. trainMs: time of VRE_Train.
    // Returns 1 when a model was trained.
    int Enrol(int digit, const std::string& speaker, int first, int last, int& refused, int& missed,
              int& marginal, double& trainMs);
    // One verification trial of a take against the model enrolled last.
    STrialResult Trial(const std::vector<short>& take);
    // The engine's acceptance limit on the fused distance at the dialog's security.
    double OperatingThreshold();

private:
    void SetUp(int mode);
    std::string Nick(int digit, const std::string& speaker) const;

    std::map<std::tuple<int, std::string, int>, std::vector<float>> m_corpus;
    std::string m_strWorkDir = ".";
    std::string m_strNick;
    double m_fGainDb = 0.0;
    std::map<std::string, double> m_speakerGainDb;
};
