// DialogEngineSetup.h - the values the voice dialog gives the speech engine.
//
// One table for everyone who sets the engine up as the dialog does: the voice
// dialog itself, the sample host, the evaluation tool and the tests. Plain
// constants, no platform header. The calls, in the dialog's order:
//   VRE_Initialize; VRE_SetbNetVersion(kNetVersion); VRE_PutDir; VRE_PutMode(mode)
//   enrolment only: VRE_PutMaxRepeat(kEnrolTakes)
//   VRE_AnalParams(kSampleRate, kTakeMs, kFrameLength, kFrameShift)
//   VRE_NoiseParams(kNoiseSubtraction, kFixedNoiseFloorDb, kNoiseFloorMarginDb, kAdaptiveNoiseFloor)
//   VRE_EngineParams(kCepstra, kMelChannels, kMinTrainTakes, kMaxTemplateFrames)
//   VRE_CopyParams(kReplaySensitivity); VRE_SetbSpeech(kSpeechFlag); VRE_SameWordDist(kSameWordRatio)
//   VRE_HMMParams(kModelKind, kSpreadFloor, kAdaptMargin, kAdaptRate, kMaxDrift)
//   VRE_EPDParams(kMarginMs, kMaxGapMs, kMinSpeechMs, kQuietPower); VRE_Security(kSecurity)
//   VRE_PutMode(mode) again, except in the password-first start
//   first take: VRE_PutID, VRE_PutPW, VRE_PutNick; verification: VRE_Security(kSecurity)
//   every take: kTakeSamples samples
#pragma once

struct SDialogEngineSetup {
    static constexpr int kModeEnrol = 1;
    static constexpr int kModeVerify = 2;
    static constexpr int kNetVersion = 1;

    // Takes of one enrolment.
    static constexpr int kEnrolTakes = 5;

    // Analysis: the recorder's rate and take, frames of 21.8 ms every 7.3 ms.
    static constexpr int kSampleRate = 11025;     // Hz
    static constexpr int kTakeMs = 3000;
    static constexpr int kFrameLength = 240;      // samples
    static constexpr int kFrameShift = 80;        // samples
    static constexpr int kTakeSamples = kSampleRate * kTakeMs / 1000;   // 33075

    // Noise handling: no subtraction, no fixed floor, no margin over the
    // floor, a floor that follows the room.
    static constexpr int kNoiseSubtraction = 0;   // 0: off
    static constexpr int kFixedNoiseFloorDb = 0;  // 0: none
    static constexpr int kNoiseFloorMarginDb = 0;
    static constexpr int kAdaptiveNoiseFloor = 1;

    // Model shape.
    static constexpr int kCepstra = 16;
    static constexpr int kMelChannels = 19;
    static constexpr int kMinTrainTakes = 5;
    static constexpr int kMaxTemplateFrames = 128;

    static constexpr double kReplaySensitivity = 2.4;   // larger catches more replays
    static constexpr int kSpeechFlag = 0;
    static constexpr float kSameWordRatio = 1.2f;      // enrolment take check

    // Model adaptation after an accepted take.
    static constexpr int kModelKind = 1;
    static constexpr double kSpreadFloor = 0.0005;
    static constexpr double kAdaptMargin = 0.8;   // adapt when the score is within this share of the threshold
    static constexpr double kAdaptRate = 0.1;
    static constexpr double kMaxDrift = 0.1;

    // End points.
    static constexpr int kMarginMs = 60;
    static constexpr int kMaxGapMs = 250;
    static constexpr int kMinSpeechMs = 200;
    static constexpr int kQuietPower = 100000;    // loudest frame's sum of squares, LSB^2

    static constexpr float kSecurity = 0.3f;      // 0..1, higher is stricter
};
