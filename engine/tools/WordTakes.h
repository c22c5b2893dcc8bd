// WordTakes.h - a take's word as enrolment keeps it, for the tuning aids
// that learn from recordings (sonvera-global-weights, sonvera-ubm-score).
#pragma once

#include "EvalProtocol.h"
#include "SpeakerEngine.h"
#include "TakeFeatures.h"

#include <memory>
#include <string>
#include <vector>

// A set of learning recordings: DIR:SPEAKERS:WORDS:TAKES, SPEAKERS and WORDS
// comma-separated (words without the corpus), TAKES "A-B" or "all".
struct SWordSource {
    std::string strDir;
    std::vector<std::string> speakers, words;
    int nFirstTake = 0, nLastTake = -1;   // -1: every take
};

// Parses DIR:SPEAKERS:WORDS:TAKES. Returns false when it is malformed.
bool ParseWordSource(const std::string& text, SWordSource& out);

// The dialog's engine set-up, as the evaluation makes it for enrolment.
std::unique_ptr<CSpeakerEngine> MakeEnrolmentEngine();

// The word of one of the protocol's takes (recording under `condition`)
// through the engine's front end, end points and CTakeFeatures, the
// short-word flag on. Returns 0 when no word is found.
int TakeWordFeatures(CSpeakerEngine& engine, const CEvalProtocol& protocol, const std::string& word,
                     const std::string& speaker, int take, const STakeConditionRecipe& condition,
                     CTakeFeatures& out);

// Each found word of a source, clean, with its speaker and corpus word;
// `missed` counts the takes without a word found.
struct SWordTake {
    std::string strSpeaker, strWord;
    int nTake = 0;
    CTakeFeatures features;
};
std::vector<SWordTake> ReadWordSource(const SWordSource& source, CSpeakerEngine& engine, int& missed);
