// SpeakerEngine.h - the state of the speech engine between the dialog's calls.
//
// One object serves one dialog at a time. The exported VRE_ functions
// (VoiceEngine.h) map to it; each member function has the meaning and the
// result of the VRE_ function named beside it, under a name that says what
// it does. Calls out of order, or with bad arguments, return 0 (or the
// documented default) and change nothing else.
#pragma once

#include "EndpointDetector.h"
#include "FeatureExtractor.h"
#include "FeatureMatrix.h"
#include "SpeakerModel.h"
#include "SpeakerScorer.h"
#include "TakeChecker.h"
#include "TakeFeatures.h"
#include "VoicingAnalyzer.h"
#include "WaveformPrint.h"

#include <cstdint>
#include <string>
#include <vector>

// VRE_NoiseParams' four values. The engine keeps them as given: its noise
// floor always follows the room (the dialog asks for that with 0, 0, 0, 1).
struct SNoiseParams {
    int nSubtraction;     // spectral subtraction strength (0: off)
    int nFixedFloorDb;    // a fixed noise floor, dB (0: none)
    int nFloorMarginDb;   // added to the floor, dB
    int bAdaptiveFloor;   // 1: the floor follows the room's noise
};

class CSpeakerEngine {
public:
    static constexpr int kModeEnrol = 1;
    static constexpr int kModeVerify = 2;

    CSpeakerEngine();

    // Start-up and shut-down (VRE_Initialize, VRE_Destruct, VRE_DestructMemories).
    int Initialize();
    int Shutdown();
    int ForgetTakes();
    bool IsInitialized() const { return m_bInitialized; }

    // Set-up (VRE_SetbNetVersion, VRE_PutDir, VRE_PutMode, VRE_PutMaxRepeat,
    // VRE_AnalParams, VRE_NoiseParams, VRE_EngineParams, VRE_CopyParams,
    // VRE_SetbSpeech, VRE_SameWordDist, VRE_HMMParams, VRE_EPDParams,
    // VRE_Security, VRE_SetbAdapt).
    int SetNetVersion(int value);
    int SetFolder(const char* dir);
    int SetMode(int mode);
    int SetEnrolTakes(int count);
    int SetAnalysis(int sampleRate, int takeMs, int frameLength, int shift);
    int SetNoiseParams(const SNoiseParams& params);
    int SetModelShape(int cepstra, int channels, int minTakes, int maxTemplateFrames);
    int SetReplaySensitivity(double sensitivity);
    int SetSpeechFlag(int value);
    int SetSameWordRatio(float ratio);
    int SetAdaptation(int kind, double spreadFloor, double adaptMargin, double adaptRate, double maxDrift);
    int SetEndpointParams(int marginMs, int maxGapMs, int minSpeechMs, int quietPower);
    int SetSecurity(float security);
    int SetAdaptationOn(int on);

    // The pass phrase (VRE_PutID, VRE_PutPW, VRE_PutNick).
    int SetUserId(const char* id);
    int SetWord(const char* word);
    int SetNick(const char* nick);

    // Takes (VRE_GetEndpointShort, VRE_GetEndpointValue, VRE_GetShiftValue,
    // VRE_GetErrorNumber, VRE_CheckSexSpeech, VRE_GetLabelString).
    int FindWord(const short* samples, int count, int shortWord);
    int64_t WordFrames() const;
    int FrameShift() const;
    int ErrorNumber() const { return m_nError; }
    int CheckTake(const short* samples, int count, int index);
    // The word's features of a take as enrolment keeps them (the short-word
    // flag on), for tools that learn from recordings; 0 when no usable word
    // was found.
    int WordFeatures(const short* samples, int count, CTakeFeatures& out);
    const char* Reason() const { return m_strReason.c_str(); }

    // Enrolment end and verification (VRE_Train; VRE_VCopy, which returns
    // 0 for a replay, is !IsReplay(); VRE_Verify; VRE_GetbUpdate).
    int Train();
    int IsReplay();
    int Verify();
    int ModelUpdated() const { return m_bUpdate; }

    // Evaluation read-outs of the last Verify / IsReplay.
    double LastScore() const { return m_fLastScore; }
    double LastScorePart(int index) const;
    // The replay check's nearer cue as a share of its limit (at most 1: a
    // replay).
    double LastReplayDistance() const { return m_fLastReplayDistance; }
    double LastReplayPitchDistance() const { return m_fLastReplayPitchDistance; }
    double LastReplayWaveform() const { return m_fLastReplayWaveform; }
    // The last take's word peak over its noise floor, dB.
    double TakeSnr() const { return m_endpoint.fSnrDb; }
    // The limit the last take's score is held to (its own path's: with the
    // model's weights or without).
    double Threshold() const;
    double ModelPart(int index) const;

    // "<dir>" + separator + "work" + separator + nick + ".bin", the folder
    // walked by character (its last byte may be a trail byte 0x5C).
    std::string ModelPath() const;

private:
    void ResetFields();
    // The take, the enrolment takes gathered so far and the loaded model.
    void ClearTakesAndModel();
    int BuildStages();
    int AnalyseTake(const short* samples, int count, int shortWord);
    void StoreWaveformPrint(const short* samples, int count, int frames);
    void ForgetAnalysis();
    bool RefusedAsMarginal() const;
    int LoadModelForTake();
    // weighted: the take was scored with the model's weights.
    void Adapt(const float* parts, bool weighted);
    // The current nick's model is the one loaded.
    bool OwnModelLoaded() const;
    // The path the last take is scored and held to (CSpeakerScorer::TakePath;
    // before any take, or with another nick's model loaded, a clean take's
    // without the weights).
    CSpeakerScorer::EScorePath TakePath() const;
    // The model's enrolment snr when it is the current nick's (0: unknown).
    float OwnEnrolSnrDb() const;
    // The limit on the score of a take on path, at the set security.
    float ThresholdOnPath(CSpeakerScorer::EScorePath path) const;
    // The last take's word peak over its noise floor (a clean take's before
    // any take), which the threshold and the unweighted path go by.
    float TakeSnrDb() const;
    // At training, after the scorer's: each enrolment take (its features,
    // samples and snr) and its noisy copy (CNoisyCopy) scored against the
    // other takes; the mean move goes into model (noiseMove,
    // noiseCopySnrDb), or none when fewer than three copies were scored;
    // and each copy on the matched path (matchedMargin, likewise).
    void MeasureNoiseMove(const CTakeFeatures* takes, const std::vector<short>* const* samples, const float* snrs,
                          int count, CSpeakerModel& model);
    // A take made at training: the front end, the end points and the word's
    // features, in the analysis buffers. Returns 1 when its word was found.
    int AnalyseCopy(const std::vector<short>& samples, CTakeFeatures& out, float& snrDb);

    bool m_bInitialized;
    bool m_bStagesReady;
    int m_nMode;
    int m_nMaxRepeat;
    int m_nNetVersion;
    int m_nSpeechFlag;
    int m_nSampleRate, m_nTakeMs, m_nFrameLength, m_nShift;
    int m_nCepstra, m_nChannels, m_nMinTakes, m_nMaxTemplateFrames;
    SNoiseParams m_noiseParams;
    SEndpointParams m_epdParams;
    double m_fReplaySensitivity;
    int m_nModelKind;
    double m_fSpreadFloor, m_fAdaptMargin, m_fAdaptRate, m_fMaxDrift;
    float m_fSecurity;
    bool m_bAdapt;
    std::string m_strDir, m_strId, m_strWord, m_strNick, m_strReason;
    // Whose model m_model holds since a verification loaded it or a training
    // wrote it (empty: none).
    std::string m_strModelNick;

    // Stages and their buffers, sized from the analysis parameters.
    CFeatureExtractor m_extractor;
    CEndpointDetector m_detector;
    CVoicingAnalyzer m_voicing;
    CTakeChecker m_checker;
    CSpeakerScorer m_scorer;
    SChannelRange m_lineBand = {-1, -1};   // the channels a telephone line passes
    bool m_bLineLimited = false;           // the take came through such a line
    CFeatureMatrix m_features;
    std::vector<float> m_levelDb;
    std::vector<float> m_bandDb;        // the waveform print's band level per frame
    std::vector<uint64_t> m_wordSigns[CWaveformPrint::kStep];  // the word's waveform signs, at each phase
    int m_nWordSigns[CWaveformPrint::kStep] = {};
    // Middles in m_wordSigns of the frames the prints are looked for around
    // (the loudest first: the take's own print is taken there).
    int m_searchSigns[CSpeakerScorer::kMaxSearchCentres] = {};
    int m_nSearchSigns = 0;

    // The last take's hash, which tells it from the next one.
    uint64_t m_nTakeHash;
    int m_nTakeCount;
    int m_nAnalysedShortWord;
    bool m_bAnalysed;     // the fields below belong to the take of m_nTakeHash
    bool m_bAnalysisOk;   // ... and it holds a usable word
    bool m_bModelReady;   // the model is loaded into the scorer for this take
    bool m_bTakeReplayed; // the replay check recognised this take: Verify refuses it
    SEndpointResult m_endpoint;
    int m_nError;
    bool m_bTakeReady;
    float m_fVoicedFraction;
    CTakeFeatures m_take;
    // Enrolment takes by take index.
    CTakeFeatures m_enrol[CSpeakerModel::kMaxTemplates];
    bool m_enrolFilled[CSpeakerModel::kMaxTemplates];
    float m_enrolSnrDb[CSpeakerModel::kMaxTemplates];   // each enrolment take's word peak over its noise
    std::vector<short> m_enrolSamples[CSpeakerModel::kMaxTemplates];   // kept until training

    // Verification.
    CSpeakerModel m_model;
    int m_bUpdate;
    double m_fLastScore;
    bool m_bTakeScored = false;   // m_scorer scored the take of m_nTakeHash (its LastTypical is the take's)
    // The model's distances, the neighbours' means, then each neighbour's,
    // then the word's cues (CSpeakerScorer::LastCue), then the take's noise
    // over the templates' own (CSpeakerScorer::NoiseExcessDb), its shape
    // against the model's enrolment noise (CSpeakerScorer::
    // EnrolNoiseShapeDb) and how it was held for its noise (ENoiseHold's
    // value).
    static constexpr int kCuePartsAt = (2 + CSpeakerScorer::kNeighbours) * CSpeakerModel::kScoreParts;
    static constexpr int kNoiseExcessPartAt = kCuePartsAt + CSpeakerScorer::kCues;
    static constexpr int kEnrolNoiseShapePartAt = kNoiseExcessPartAt + 1;
    static constexpr int kNoiseHoldPartAt = kEnrolNoiseShapePartAt + 1;
    float m_lastParts[kNoiseHoldPartAt + 1];
    // How the scored take is held for its noise (meaningful with m_bTakeScored).
    CSpeakerScorer::ENoiseHold m_lastHold = CSpeakerScorer::ENoiseHold::kPath;
    double m_fLastReplayDistance;
    double m_fLastReplayPitchDistance;
    double m_fLastReplayWaveform;
};
