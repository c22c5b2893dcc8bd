/* VoiceEngine.h - the speech engine's C interface (MarzetPcJpn38.dll).
 *
 * Plain C functions without name decoration. Integers are 32-bit, strings are
 * NUL-terminated ANSI (Shift-JIS) texts, samples are 16-bit signed mono.
 * The engine keeps its state between calls for one dialog at a time; the
 * calls come in this order:
 *   VRE_Initialize, VRE_SetbNetVersion, VRE_PutDir, VRE_PutMode
 *   [enrolment: VRE_PutMaxRepeat] VRE_AnalParams, VRE_NoiseParams, VRE_EngineParams,
 *   VRE_CopyParams, VRE_SetbSpeech, VRE_SameWordDist, VRE_HMMParams,
 *   VRE_EPDParams, VRE_Security, VRE_PutMode
 *   VRE_PutID, VRE_PutPW, VRE_PutNick [verification: VRE_Security]
 *   per take: VRE_GetEndpointShort, then VRE_GetEndpointValue and
 *   VRE_GetShiftValue (speech) or VRE_GetErrorNumber (none), VRE_CheckSexSpeech
 *   enrolment end: VRE_Train; verification: VRE_VCopy, VRE_Verify, VRE_GetbUpdate
 *   VRE_DestructMemories, VRE_Destruct
 * Unless stated otherwise a function returns 1 on success and 0 when it is
 * called before VRE_Initialize or with a value it cannot take.
 */
#ifndef SONVERA_ENGINE_VOICEENGINE_H
#define SONVERA_ENGINE_VOICEENGINE_H

#if defined(_WIN32)
#define VRE_CALL __cdecl
#else
#define VRE_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Start-up and shut-down. */
int VRE_CALL VRE_Initialize(void);                  /* resets everything to the defaults */
int VRE_CALL VRE_SetbNetVersion(int bNetVersion);
int VRE_CALL VRE_PutDir(const char* appDir);        /* model files go to appDir\work\<nick>.bin */
int VRE_CALL VRE_PutMode(int mode);                 /* 1 enrolment, 2 verification; starts a new series of takes */
int VRE_CALL VRE_DestructMemories(void);            /* forgets takes and model */
int VRE_CALL VRE_Destruct(void);                    /* back to the state before VRE_Initialize */

/* Set-up. */
/* Enrolment takes (3..5); an enrolment of fewer than VRE_EngineParams' minTrainTakes
 * trains on all of its takes. */
int VRE_CALL VRE_PutMaxRepeat(int takes);
/* Takes of up to 10000 ms; a set refused keeps the one before. */
int VRE_CALL VRE_AnalParams(int sampleRate, int takeMs, int frameLength, int frameShift);
/* Noise handling: spectral subtraction strength (0 off), a fixed floor in dB (0 none),
 * a margin over the floor in dB, 1 for a floor that follows the room. Kept as given;
 * the engine's floor always follows the room. */
int VRE_CALL VRE_NoiseParams(int subtraction, int fixedFloorDb, int floorMarginDb, int bAdaptiveFloor);
int VRE_CALL VRE_EngineParams(int cepstra, int melChannels, int minTrainTakes, int maxTemplateFrames);
int VRE_CALL VRE_CopyParams(double sensitivity);   /* replay check: larger catches more (2.4 shipped) */
int VRE_CALL VRE_SetbSpeech(int bSpeech);
int VRE_CALL VRE_SameWordDist(float ratio);         /* enrolment take check: allowed distance ratio */
int VRE_CALL VRE_HMMParams(int modelKind, double spreadFloor, double adaptMargin, double adaptRate,
                           double maxDrift);
int VRE_CALL VRE_EPDParams(int marginMs, int maxGapMs, int minSpeechMs, int quietPower);
int VRE_CALL VRE_Security(float security);          /* 0..1, higher is stricter; 0.3 shipped */

/* The pass phrase. */
int VRE_CALL VRE_PutID(const char* userId);
int VRE_CALL VRE_PutPW(const char* word);
int VRE_CALL VRE_PutNick(const char* nick);         /* names the model file */

/* Takes. */
/* Non-zero when the take holds a usable word; otherwise see VRE_GetErrorNumber.
 * In enrolment (mode 1) a marginal take (-4, -5) is refused (0) with its error
 * number, so that the dialog retakes it and counts the warning; in
 * verification (mode 2) it passes (non-zero) and VRE_GetErrorNumber still
 * tells -4 or -5. */
int VRE_CALL VRE_GetEndpointShort(const short* samples, int count, int bShortWord);
/* Low 32 bits the first, high 32 bits the last frame of the word (0 without one). */
long long VRE_CALL VRE_GetEndpointValue(void);
int VRE_CALL VRE_GetShiftValue(void);               /* samples per frame step */
/* 0 clean; -1 no speech or abnormal length, -2 too quiet, -3 too loud (clipping);
 * -4 low signal-to-noise ratio and -5 word cut by the take's edge (marginal:
 * refused in enrolment, usable in verification). */
int VRE_CALL VRE_GetErrorNumber(void);
/* Take check; index = take number - 1 in enrolment, 0 in verification.
 * 0 = refused; VRE_GetLabelString then gives the reason (Shift-JIS, may be empty;
 * empty for a marginal take in enrolment, which is refused here as well). */
int VRE_CALL VRE_CheckSexSpeech(const short* samples, int count, int index);
const char* VRE_CALL VRE_GetLabelString(void);

/* Enrolment end: builds and writes the model. Non-zero = model built. */
int VRE_CALL VRE_Train(void);

/* Verification of the last checked take against the model file. */
int VRE_CALL VRE_VCopy(void);      /* 0 = the take replays a recording the model has seen */
int VRE_CALL VRE_Verify(void);     /* non-zero = accepted */
int VRE_CALL VRE_GetbUpdate(void); /* non-zero = the model file was adapted and rewritten */

/* Evaluation and service switches; the voice dialog does not call these. */
int VRE_CALL VRE_SetbAdapt(int bAdapt);             /* model adaptation after accepts (default 1) */
double VRE_CALL VRE_GetScore(void);                 /* last VRE_Verify: fused distance, lower = more alike */
double VRE_CALL VRE_GetThreshold(void);             /* acceptance limit on VRE_GetScore at the set security */
double VRE_CALL VRE_GetScorePart(int part);         /* last VRE_Verify: raw distance 0 DTW, 1 mean, 2 NN, 3 pitch;
                                                       4..7 the same, mean over the neighbouring voices;
                                                       8..23 each neighbouring voice's four (moved -1, -0.5,
                                                       +0.5, +1 channel); 24 the word's duration,
                                                       25 its intonation against the model, 26
                                                       the intonation with octave errors folded,
                                                       27 its loudness contour and 28 its intonation
                                                       along the DTW path, 29 its voiced share;
                                                       30 its pitch contour's distance to the
                                                       nearest enrolment take's, semitones (0 when
                                                       none can be compared);
                                                       31 the take's noise over what the model's
                                                       templates keep of their own, dB (mean over
                                                       the filter channels of the excess);
                                                       32 the take's noise shape against the
                                                       model's enrolment takes' own noise, dB (the
                                                       spread over the channels of the difference;
                                                       0 for a model without it); 33 how the take
                                                       was held for its noise: 0 as its path holds
                                                       every take, 1 matched to its noise and held
                                                       to the matched threshold, 2 held stricter
                                                       unmatched, 3 over the matched bound (a held
                                                       or noisy take) matched and held to its own
                                                       base */
double VRE_CALL VRE_GetModelPart(int part);         /* loaded model: typical distance of part 0..3;
                                                       4: typical waveform similarity of its enrolment takes;
                                                       5: its enrolment takes' move in noise (0: none);
                                                       6: their noisy copies' mean snr, dB;
                                                       7: the near voices' move in noise;
                                                       8: its noisy copies' median margin on the
                                                       matched path (0: none) */
double VRE_CALL VRE_GetCopyDistance(void);          /* last VRE_VCopy: the nearer replay cue as a share of its
                                                       limit (at most 1: a replay) */
double VRE_CALL VRE_GetCopyPitchDistance(void);     /* last VRE_VCopy: pitch-contour distance, semitones
                                                       (an accepted take's scaled to the enrolment takes' limit) */
double VRE_CALL VRE_GetCopyWaveform(void);          /* last VRE_VCopy: waveform similarity / the model's typical
                                                       (an accepted take's weighted likewise) */
double VRE_CALL VRE_GetTakeSnr(void);               /* last take: word peak over the noise floor, dB */

#ifdef __cplusplus
}
#endif

#endif
