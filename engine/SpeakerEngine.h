// SpeakerEngine.h - the state of the speech engine between the dialog's calls.
//
// One object serves one dialog at a time. The exported VRE_ functions
// (VoiceEngine.h) forward to it; every member function here has the meaning
// and the result of its VRE_ counterpart. Calls out of order, or with bad
// arguments, return 0 (or the documented default) and change nothing else.
#pragma once

#include "EndpointDetector.h"
#include "FeatureExtractor.h"
#include "FeatureMatrix.h"
#include "SpeakerModel.h"
#include "SpeakerScorer.h"
#include "TakeFeatures.h"
#include "VoicingAnalyzer.h"

#include <cstdint>
#include <string>
#include <vector>

class CSpeakerEngine {
public:
    static constexpr int kModeEnrol = 1;
    static constexpr int kModeVerify = 2;

    CSpeakerEngine();

    int Initialize();
    int Destruct();
    int DestructMemories();
    bool IsInitialized() const { return m_bInitialized; }

    int SetNetVersion(int value);
    int PutDir(const char* dir);
    int PutMode(int mode);
    int PutMaxRepeat(int count);
    int AnalParams(int sampleRate, int takeMs, int frameLength, int shift);
    int NoiseParams(int a, int b, int c, int d);
    int EngineParams(int cepstra, int channels, int minTakes, int maxTemplateFrames);
    int CopyParams(double maxCopyDistance);
    int SetSpeech(int value);
    int SameWordDist(float ratio);
    int HmmParams(int kind, double spreadFloor, double adaptMargin, double adaptRate, double maxDrift);
    int EpdParams(int marginMs, int maxGapMs, int minSpeechMs, int quietPower);
    int Security(float security);
    int PutId(const char* id);
    int PutPw(const char* word);
    int PutNick(const char* nick);
    int SetAdapt(int on);

    int GetEndpointShort(const short* samples, int count, int shortWord);
    int64_t GetEndpointValue() const;
    int GetShiftValue() const;
    int GetErrorNumber() const { return m_nError; }
    int CheckSexSpeech(const short* samples, int count, int index);
    const char* GetLabelString() const { return m_strLabel.c_str(); }
    int Train();
    int VCopy();
    int Verify();
    int GetUpdate() const { return m_bUpdate; }

    // Evaluation read-outs of the last Verify / VCopy.
    double LastScore() const { return m_fLastScore; }
    double LastScorePart(int index) const;
    double LastCopyDistance() const { return m_fLastCopyDistance; }
    double Threshold() const;
    double ModelPart(int index) const;

    // "<dir>" + separator + "work" + separator + nick + ".bin".
    std::string ModelPath() const;

private:
    void ResetFields();
    int BuildStages();
    int AnalyseTake(const short* samples, int count, int shortWord);
    bool BuildHalfShiftTake(const short* samples, int count, int frameLimit, float pitch);
    bool RefusedAsMarginal() const;
    int IsPlausibleSpeech() const;
    int MatchesEarlierTakes(int index);
    int LoadModelForTake();
    void Adapt(const float* parts);

    bool m_bInitialized;
    bool m_bStagesReady;
    int m_nMode;
    int m_nMaxRepeat;
    int m_nNetVersion;
    int m_nSpeechFlag;
    int m_nSampleRate, m_nTakeMs, m_nFrameLength, m_nShift;
    int m_nCepstra, m_nChannels, m_nMinTakes, m_nMaxTemplateFrames;
    int m_noiseParams[4];
    SEndpointParams m_epdParams;
    double m_fMaxCopyDistance;
    float m_fSameWordRatio;
    int m_nModelKind;
    double m_fSpreadFloor, m_fAdaptMargin, m_fAdaptRate, m_fMaxDrift;
    float m_fSecurity;
    bool m_bAdapt;
    std::string m_strDir, m_strId, m_strWord, m_strNick, m_strLabel;

    // Stages and their buffers, sized from the analysis parameters.
    CFeatureExtractor m_extractor;
    CEndpointDetector m_detector;
    CVoicingAnalyzer m_voicing;
    CSpeakerScorer m_scorer;
    CFeatureMatrix m_features;
    std::vector<float> m_levelDb;

    // The last take.
    SEndpointResult m_endpoint;
    int m_nError;
    bool m_bTakeReady;
    float m_fVoicedFraction;
    CTakeFeatures m_take;
    // Verification: the same word framed half a frame shift later, for the
    // replay check.
    CFeatureMatrix m_halfShiftFeatures;
    std::vector<float> m_halfShiftLevels;
    CTakeFeatures m_halfShiftTake;
    bool m_bHalfShiftTake;

    // Enrolment takes by take index.
    CTakeFeatures m_enrol[CSpeakerModel::kMaxTemplates];
    bool m_enrolFilled[CSpeakerModel::kMaxTemplates];

    // Verification.
    CSpeakerModel m_model;
    int m_bUpdate;
    double m_fLastScore;
    float m_lastParts[CSpeakerModel::kScoreParts];
    double m_fLastCopyDistance;
};
