// EvalProtocol.h - drives the engine through the voice dialog's calls on
// corpora of WORD_SPEAKER_TAKE.wav recordings.
//
// A corpus is a folder; its name tells its words apart from another corpus's
// words of the same name (the digits of two languages are different words).
// Each recording is resampled to 11025 Hz and placed at 0.5 s into a 3-second
// take with low background noise (fixed seed per recording), after the
// trial's condition (TakeCondition.h). A speaker's model of a word is
// enrolled from a range of takes exactly as the dialog enrols (set-up, end
// points, take check, training); trials go through the verification calls
// with model adaptation off, so that every trial meets the same model.
#pragma once

#include "DialogEngineSetup.h"
#include "TakeCondition.h"

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

// VRE_GetScorePart's parts: the four raw distances to the model, their
// means over the four neighbouring voices, then each voice's four, then
// the word's cues: duration, intonation, intonation with octave errors
// folded back, loudness contour, intonation along the DTW path, voiced
// share, pitch contour's distance to the enrolment takes; the take's noise
// over the templates' own, its noise shape against the enrolment's and how
// it was held for its noise.
constexpr int kScorePartCount = 4 + 4 + 4 * 4 + 7 + 1 + 1 + 1;

struct STrialResult {
    bool bEndpoint;     // VRE_GetEndpointShort found the word
    bool bChecked;      // VRE_CheckSexSpeech let it through
    bool bAccepted;     // VRE_Verify
    bool bCopy;         // VRE_VCopy said "replay"
    double fScore;      // the decision's score (1e9 when not scored)
    // Raw distances (DTW, mean, NN, pitch), their means over the
    // neighbouring voices, then each neighbouring voice's, then the cues.
    double fParts[kScorePartCount];
    double fModelParts[4];   // the model's typical distances (leave-one-out over its enrolment takes)
    double fCopyDistance;      // the replay check's nearer cue as a share of its limit (<= 1: a replay)
    double fCopyTypical;       // the model's typical waveform similarity between its enrolment takes
    double fCopyPitchDistance;
    double fCopyWaveform;      // waveform similarity to the known takes, relative to the typical
    double fNoiseMove;         // the model's move in noise (VRE_GetModelPart(5), 0: none)
    double fNoiseCopySnrDb;    // its noisy copies' mean snr (VRE_GetModelPart(6))
    double fNoiseImpostorMove; // its near voices' move in noise (VRE_GetModelPart(7))
    double fMatchedMargin;     // its noisy copies' margin on the matched path (VRE_GetModelPart(8), 0: none)
    double fThreshold;         // the limit the engine applied (VRE_GetThreshold)
    double fSnrDb;      // the word's peak over the take's noise floor
    double fTakeMs;     // end points, take check, replay check and verification
    double fStageMs[4]; // each of them (0 for a stage the take did not reach)
    int nError;         // VRE_GetErrorNumber after the end points (0, or -1 .. -5)
};

class CEvalProtocol {
public:
    // Take geometry and noise of the protocol.
    static constexpr int kRate = SDialogEngineSetup::kSampleRate;
    static constexpr int kTakeSamples = SDialogEngineSetup::kTakeSamples;
    static constexpr int kOffsetSamples = 5513;    // 0.5 s
    static constexpr double kNoiseRms = 16.0;      // LSB, about -66 dBFS
    // A digital copy: louder, a little more noise, 0.1 s later.
    static constexpr double kReplayGainDb = 3.0;
    static constexpr double kReplayNoiseRms = 24.0;
    static constexpr int kReplayShiftSamples = 1103;

    // Reads every WORD_SPEAKER_TAKE.wav of `dir` (word and speaker of letters
    // and digits) whose speaker is in `speakers` and whose word is in `words`
    // (empty: all) and whose take is at most `lastTake` (-1: any); its words
    // are named "<folder name>/<word>". Returns the number of recordings read.
    int LoadCorpus(const std::string& dir, const std::vector<std::string>& speakers,
                   const std::vector<std::string>& words = {}, int lastTake = -1);
    // The name a corpus's words are prefixed with: its folder's last part.
    static std::string CorpusName(std::string dir);
    std::vector<std::string> Speakers() const;
    // The words `speaker` has recorded.
    std::vector<std::string> Words(const std::string& speaker) const;
    // The takes of word and speaker, ascending.
    std::vector<int> Takes(const std::string& word, const std::string& speaker) const;
    bool Has(const std::string& word, const std::string& speaker, int take) const;

    // The protocol's take of a recording under `condition`; `copy` makes the
    // replayed version (louder, later, more noise) of an enrolment take.
    std::vector<short> MakeTake(const std::string& word, const std::string& speaker, int take,
                                const STakeConditionRecipe& condition, bool copy) const;

    // The clock of trainMs and the take path's times, ms (processor time of
    // this process unless set: the figures hold on a busy machine too).
    using Clock = double (*)();
    void SetClock(Clock nowMs) { m_clock = nowMs; }
    static double ProcessorMs();

    // workDir: the engine's application folder (models in workDir/work).
    void SetWorkDir(const std::string& dir) { m_strWorkDir = dir; }
    // Extra gain on one speaker's recordings only (a quiet speaker among loud ones).
    void SetSpeakerGainDb(const std::string& speaker, double gainDb) { m_speakerGainDb[speaker] = gainDb; }
    // Takes a model needs (the dialog's 5 unless set): a model of four
    // enrolment takes scores the fifth, left out, as a login.
    void SetMinTrainTakes(int takes) { m_nMinTrainTakes = takes; }

    // Enrols speaker/word from `takes`. refused: takes the end-point detector
    // or the take check refused; missed: of those, the end-point misses;
    // marginal: of those, takes refused as marginal (-4 low SNR, -5 cut by
    // the edge), which the dialog would retake. trainMs: time of VRE_Train.
    // Returns 1 when a model was trained.
    int Enrol(const std::string& word, const std::string& speaker, const std::vector<int>& takes, int& refused,
              int& missed, int& marginal, double& trainMs);
    // The model the trials that follow verify against (enrolled earlier;
    // Enrol selects the model it trains).
    void SelectModel(const std::string& word, const std::string& speaker) { m_strNick = Nick(word, speaker); }
    // One verification trial of a take against the selected model.
    STrialResult Trial(const std::vector<short>& take);
    // A login with adaptation on, as the dialog makes it: the selected
    // model learns the take when it accepts it clearly. Returns 1 when the
    // model file was adapted.
    int AdaptingLogin(const std::vector<short>& take);
    // The signal-to-noise ratio of each enrolment take of speaker/word the
    // end points found (dB, word peak over the take's noise floor).
    std::vector<double> EnrolSnrDb(const std::string& word, const std::string& speaker) const
    {
        const auto it = m_enrolSnrDb.find(Nick(word, speaker));
        return it == m_enrolSnrDb.end() ? std::vector<double>() : it->second;
    }
    // The engine's acceptance limit on the score at the dialog's security.
    double OperatingThreshold();

    // For the tools' options and folders: the non-empty items of a list
    // separated by `sep` ("a,,b" is a and b), and a folder made (the engine
    // makes its "work" folder inside the application folder, which must exist).
    static std::vector<std::string> SplitList(const std::string& text, char sep);
    static void MakeFolder(const std::string& path);

private:
    void SetUp(int mode);
    std::string Nick(const std::string& word, const std::string& speaker) const;
    uint64_t SeedOf(const std::string& word, const std::string& speaker, int take, bool copy) const;

    std::map<std::tuple<std::string, std::string, int>, std::vector<float>> m_corpus;
    Clock m_clock = ProcessorMs;
    std::string m_strWorkDir = ".";
    std::string m_strNick;
    int m_nMinTrainTakes = SDialogEngineSetup::kMinTrainTakes;
    std::map<std::string, double> m_speakerGainDb;
    std::map<std::string, std::vector<double>> m_enrolSnrDb;   // by model nick
};
