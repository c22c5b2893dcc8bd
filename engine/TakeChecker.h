// TakeChecker.h - is a take a spoken word, and the same word as the earlier takes?
//
// The check the dialog runs on every take before it trains or verifies.
// Plausible speech: a good share of the word is voiced and its spectrum keeps
// changing; hiss has no voiced frames, a whistle or a hum is voiced but its
// spectrum stands still. Same word (enrolment only): the take's distances to
// the takes already kept - the DTW distance and the distance of the mean
// cepstra, each over its typical same-speaker, same-word value - must on
// average stay within the dialog's same-word ratio. A take of another word,
// or of another voice, lies further out.
#pragma once

#include "Dtw.h"
#include "TakeFeatures.h"

class CTakeChecker {
public:
    enum EVerdict {
        kTakeOk = 1,
        kNotSpeech = 2,   // hiss, hum, a whistle, clicks
        kOtherWord = 3    // another word or another voice than the earlier takes
    };

    // Builds the alignment's buffers for words of up to CTakeFeatures::kMaxFrames.
    // Returns 1 on success.
    int Init();
    // Back to the state before Init, with the default same-word ratio.
    void Reset();

    // ratio: the largest mean of the two normalised distances a take may
    // have to the earlier takes (the dialog passes 1.2). Returns 1, or 0 for
    // a ratio that is not a positive number (the old one stays).
    int SetSameWordRatio(float ratio);

    // take: the word's features; voicedFraction: share of its frames the
    // voicing analysis found voiced (0..1). Returns kTakeOk or kNotSpeech.
    EVerdict CheckSpeech(const CTakeFeatures& take, float voicedFraction);
    // take against the `count` takes of `earlier` (an enrolment's takes so far;
    // none: always kTakeOk). Returns kTakeOk or kOtherWord.
    EVerdict CheckSameWord(const CTakeFeatures& take, const CTakeFeatures* const* earlier, int count);

    // The reason the dialog shows for a verdict (Shift-JIS; empty for kTakeOk).
    static const char* Reason(EVerdict verdict);

    // What the last checks measured: mean cepstral change per word frame (dB)
    // and the mean normalised distance to the earlier takes.
    float LastCepstralChange() const { return m_fLastChange; }
    float LastSameWordRatio() const { return m_fLastRatio; }

private:
    CDtw m_dtw;
    float m_fSameWordRatio;
    float m_fLastChange;
    float m_fLastRatio;
};
