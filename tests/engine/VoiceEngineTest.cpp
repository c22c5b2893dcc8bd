// The engine through its C interface, in the voice dialog's order of calls.
#include "EngineTestData.h"
#include "SpeakerModel.h"
#include "VoiceEngine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using enginetest::FsddTake;
using enginetest::kTakeSamples;

const double kPi = 3.14159265358979323846;

// "別の言葉か、別の人の声のようです。"
const char kOtherWordSjis[] =
    "\x95\xCA\x82\xCC\x8C\xBE\x97\x74\x82\xA9\x81\x41\x95\xCA\x82\xCC\x90\x6C\x82\xCC\x90\xBA\x82\xCC\x82\xE6"
    "\x82\xA4\x82\xC5\x82\xB7\x81\x42";

class VoiceEngineTest : public ::testing::Test {
protected:
    void SetUp() override { m_dir = enginetest::MakeTempDir("api"); }
    void TearDown() override { VRE_Destruct(); }

    // The dialog's start and set-up, in its order.
    void DialogSetUp(int mode, const char* nick = "aaj")
    {
        ASSERT_NE(0, VRE_Initialize());
        VRE_SetbNetVersion(1);
        ASSERT_NE(0, VRE_PutDir(m_dir.c_str()));
        ASSERT_NE(0, VRE_PutMode(mode));
        if (mode == 1) {
            ASSERT_NE(0, VRE_PutMaxRepeat(5));
        }
        ASSERT_NE(0, VRE_AnalParams(11025, 3000, 240, 80));
        VRE_NoiseParams(0, 0, 0, 1);
        ASSERT_NE(0, VRE_EngineParams(16, 19, 5, 128));
        ASSERT_NE(0, VRE_CopyParams(2.4));
        VRE_SetbSpeech(0);
        ASSERT_NE(0, VRE_SameWordDist(1.2f));
        ASSERT_NE(0, VRE_HMMParams(1, 0.0005, 0.8, 0.1, 0.1));
        ASSERT_NE(0, VRE_EPDParams(60, 250, 200, 100000));
        ASSERT_NE(0, VRE_Security(0.3f));
        ASSERT_NE(0, VRE_PutMode(mode));
        ASSERT_NE(0, VRE_PutID("user01"));
        ASSERT_NE(0, VRE_PutPW("zero"));
        ASSERT_NE(0, VRE_PutNick(nick));
        if (mode == 2) VRE_Security(0.3f);
    }

    // Enrols the five takes 0_george_0 .. 4; returns VRE_Train's result.
    int EnrolGeorge(const char* nick = "aaj") { return Enrol("0_george_", 0, nick); }

    // Enrols the five takes <prefix><first> .. <prefix><first + 4>.
    int Enrol(const std::string& prefix, int first, const char* nick = "aaj")
    {
        DialogSetUp(1, nick);
        for (int take = 0; take < 5; ++take) {
            const std::string name = prefix + std::to_string(first + take);
            const std::vector<short> s = FsddTake(name, 0.0, 0, 16.0, 100 + take);
            EXPECT_NE(0, VRE_GetEndpointShort(s.data(), kTakeSamples, 0)) << name;
            EXPECT_NE(0, VRE_CheckSexSpeech(s.data(), kTakeSamples, take)) << name;
        }
        const int trained = VRE_Train();
        VRE_DestructMemories();
        VRE_Destruct();
        return trained;
    }

    struct SVerdict {
        int copy = -1, accepted = -1, update = -1;
        double score = 0.0;
    };

    // One verification attempt as the dialog makes it.
    SVerdict VerifyTake(const std::vector<short>& s, const char* nick = "aaj", bool adapt = false)
    {
        SVerdict v;
        DialogSetUp(2, nick);
        VRE_SetbAdapt(adapt ? 1 : 0);
        if (!VRE_GetEndpointShort(s.data(), kTakeSamples, 0)) return v;
        if (!VRE_CheckSexSpeech(s.data(), kTakeSamples, 0)) return v;
        v.copy = VRE_VCopy();
        v.accepted = VRE_Verify();
        v.score = VRE_GetScore();
        v.update = VRE_GetbUpdate();
        VRE_DestructMemories();
        VRE_Destruct();
        return v;
    }

    std::string ModelPath(const char* nick = "aaj") const { return m_dir + "/work/" + nick + ".bin"; }

    std::string m_dir;
};

} // namespace

TEST_F(VoiceEngineTest, NothingWorksBeforeInitialiseAndNothingCrashes)
{
    VRE_Destruct();
    const std::vector<short> s(kTakeSamples, 0);
    EXPECT_EQ(0, VRE_PutDir(m_dir.c_str()));
    EXPECT_EQ(0, VRE_PutMode(1));
    EXPECT_EQ(0, VRE_AnalParams(11025, 3000, 240, 80));
    EXPECT_EQ(0, VRE_GetEndpointShort(s.data(), kTakeSamples, 0));
    EXPECT_EQ(0, VRE_CheckSexSpeech(s.data(), kTakeSamples, 0));
    EXPECT_EQ(0, VRE_Train());
    EXPECT_EQ(0, VRE_Verify());
    EXPECT_EQ(0, VRE_GetbUpdate());
    EXPECT_EQ(0, VRE_GetShiftValue());
    EXPECT_EQ(0LL, VRE_GetEndpointValue());
    ASSERT_NE(nullptr, VRE_GetLabelString());
    EXPECT_STREQ("", VRE_GetLabelString());
}

TEST_F(VoiceEngineTest, RefusesValuesItCannotTake)
{
    ASSERT_NE(0, VRE_Initialize());
    EXPECT_EQ(0, VRE_PutMode(0));
    EXPECT_EQ(0, VRE_PutMode(3));
    EXPECT_EQ(0, VRE_PutMaxRepeat(9));
    EXPECT_EQ(0, VRE_AnalParams(11025, 3000, 240, 0));
    EXPECT_EQ(0, VRE_AnalParams(11025, 3000, 16, 8));
    EXPECT_EQ(0, VRE_EngineParams(30, 19, 5, 128));
    EXPECT_EQ(0, VRE_PutNick("..\\evil"));
    EXPECT_EQ(0, VRE_PutNick("a/b"));
    EXPECT_EQ(0, VRE_PutNick(""));
    EXPECT_EQ(0, VRE_PutDir(nullptr));
    EXPECT_EQ(0, VRE_HMMParams(1, 0.0005, 1.5, 0.1, 0.1));
    // A refused analysis set leaves the working one in place.
    EXPECT_EQ(80, VRE_GetShiftValue());
    const std::vector<short> s = FsddTake("0_george_0");
    EXPECT_EQ(0, VRE_GetEndpointShort(nullptr, kTakeSamples, 0));
    EXPECT_EQ(0, VRE_GetEndpointShort(s.data(), 0, 0));
    EXPECT_EQ(-1, VRE_GetErrorNumber());
}

TEST_F(VoiceEngineTest, EndPointsComeAsFramesOfTheShift)
{
    DialogSetUp(1);
    const std::vector<short> s = FsddTake("0_george_3");
    ASSERT_NE(0, VRE_GetEndpointShort(s.data(), kTakeSamples, 0));
    const long long v = VRE_GetEndpointValue();
    const int first = static_cast<int>(v & 0xFFFFFFFF), last = static_cast<int>(v >> 32);
    const int shift = VRE_GetShiftValue();
    EXPECT_EQ(80, shift);
    // The word was put at 0.5 s and lasts well under a second.
    EXPECT_LE(first * shift, enginetest::kWordOffset);
    EXPECT_GE(first * shift, enginetest::kWordOffset - 2000);
    EXPECT_GT(last, first + 20);
    EXPECT_LT(last * shift, enginetest::kWordOffset + 11025);
    EXPECT_EQ(0, VRE_GetErrorNumber());
}

TEST_F(VoiceEngineTest, ErrorNumbersForSilenceClippingQuietAndShortTakes)
{
    DialogSetUp(1);
    const std::vector<short> silence(kTakeSamples, 0);
    EXPECT_EQ(0, VRE_GetEndpointShort(silence.data(), kTakeSamples, 0));
    EXPECT_EQ(-1, VRE_GetErrorNumber());
    EXPECT_EQ(0LL, VRE_GetEndpointValue());

    const std::vector<short> clipped = FsddTake("0_george_1", 20.0);
    EXPECT_EQ(0, VRE_GetEndpointShort(clipped.data(), kTakeSamples, 0));
    EXPECT_EQ(-3, VRE_GetErrorNumber());

    const std::vector<short> quiet = FsddTake("0_george_1", -45.0, 0, 0.0);
    EXPECT_EQ(0, VRE_GetEndpointShort(quiet.data(), kTakeSamples, 0));
    EXPECT_EQ(-2, VRE_GetErrorNumber());

    std::vector<short> shortWord = enginetest::SyntheticWord(kTakeSamples, 8000, 1700, 8000.0);
    enginetest::AddNoise(shortWord, 16.0, 2);
    EXPECT_EQ(0, VRE_GetEndpointShort(shortWord.data(), kTakeSamples, 0));
    EXPECT_EQ(-1, VRE_GetErrorNumber());
    EXPECT_NE(0, VRE_GetEndpointShort(shortWord.data(), kTakeSamples, 1));
}

// The dialog reads the error number only after a refusal and counts -4 and
// -5 during enrolment; in verification a marginal take is still judged.
TEST_F(VoiceEngineTest, MarginalTakesAreRefusedInEnrolmentAndJudgedInVerification)
{
    // Speech that runs into the end of the take.
    const std::vector<short> late = FsddTake("0_george_1", 0.0, kTakeSamples - enginetest::kWordOffset - 3000);
    // A word with little margin over the room's noise.
    std::vector<short> faint = enginetest::SyntheticWord(kTakeSamples, 11025, 5000, 2000.0);
    enginetest::AddNoise(faint, 120.0, 13);
    DialogSetUp(1);
    EXPECT_EQ(0, VRE_GetEndpointShort(late.data(), kTakeSamples, 0));
    EXPECT_EQ(-5, VRE_GetErrorNumber());
    EXPECT_EQ(0, VRE_CheckSexSpeech(late.data(), kTakeSamples, 0));
    EXPECT_EQ(0, VRE_GetEndpointShort(faint.data(), kTakeSamples, 0));
    EXPECT_EQ(-4, VRE_GetErrorNumber());
    VRE_Destruct();

    DialogSetUp(2);
    EXPECT_NE(0, VRE_GetEndpointShort(late.data(), kTakeSamples, 0));
    EXPECT_EQ(-5, VRE_GetErrorNumber());
    EXPECT_NE(0, VRE_GetEndpointValue());
    EXPECT_NE(0, VRE_GetEndpointShort(faint.data(), kTakeSamples, 0));
    EXPECT_EQ(-4, VRE_GetErrorNumber());
}

TEST_F(VoiceEngineTest, AMarginalEnrolmentTakeIsNotKeptForTraining)
{
    DialogSetUp(1);
    for (int take = 0; take < 4; ++take) {
        const std::vector<short> s = FsddTake("0_george_" + std::to_string(take), 0.0, 0, 16.0, 100 + take);
        ASSERT_NE(0, VRE_GetEndpointShort(s.data(), kTakeSamples, 0)) << take;
        ASSERT_NE(0, VRE_CheckSexSpeech(s.data(), kTakeSamples, take)) << take;
    }
    // The fifth take is cut by the edge; a caller that checks it anyway does
    // not get it into the model, so the five takes training needs are not there.
    const std::vector<short> late = FsddTake("0_george_4", 0.0, kTakeSamples - enginetest::kWordOffset - 3000);
    EXPECT_EQ(0, VRE_GetEndpointShort(late.data(), kTakeSamples, 0));
    EXPECT_EQ(0, VRE_CheckSexSpeech(late.data(), kTakeSamples, 4));
    EXPECT_EQ(0, VRE_Train());
    // Its retake, clean, completes the enrolment.
    const std::vector<short> retake = FsddTake("0_george_4", 0.0, 0, 16.0, 104);
    ASSERT_NE(0, VRE_GetEndpointShort(retake.data(), kTakeSamples, 0));
    EXPECT_EQ(0, VRE_GetErrorNumber());
    ASSERT_NE(0, VRE_CheckSexSpeech(retake.data(), kTakeSamples, 4));
    EXPECT_NE(0, VRE_Train());
}

TEST_F(VoiceEngineTest, TrainingWritesAModelThatFitsTheBlock)
{
    ASSERT_NE(0, EnrolGeorge());
    const std::vector<unsigned char> bytes = enginetest::ReadBytes(ModelPath());
    ASSERT_FALSE(bytes.empty());
    EXPECT_LE(bytes.size(), static_cast<size_t>(CSpeakerModel::kMaxFileSize));
    CSpeakerModel m;
    ASSERT_EQ(1, m.Parse(bytes.data(), bytes.size()));
    EXPECT_EQ(5, m.nTemplates);
    EXPECT_EQ(5, m.nFingerprints);
    EXPECT_GT(m.templatePitch[0], 60.0f);
}

TEST_F(VoiceEngineTest, TrainingNeedsTheTakesAndTheEnrolmentMode)
{
    DialogSetUp(1);
    EXPECT_EQ(0, VRE_Train());                          // no takes yet
    const std::vector<short> s = FsddTake("0_george_0");
    ASSERT_NE(0, VRE_GetEndpointShort(s.data(), kTakeSamples, 0));
    ASSERT_NE(0, VRE_CheckSexSpeech(s.data(), kTakeSamples, 0));
    EXPECT_EQ(0, VRE_Train());                          // one take is not a model
    EXPECT_EQ(0, VRE_CheckSexSpeech(s.data(), kTakeSamples, 5));   // index past the takes
    VRE_Destruct();
    DialogSetUp(2);
    EXPECT_EQ(0, VRE_Train());
    EXPECT_FALSE(std::filesystem::exists(ModelPath()));
}

TEST_F(VoiceEngineTest, TheTakeCheckRefusesAnotherWordWithAReason)
{
    DialogSetUp(1);
    for (int take = 0; take < 2; ++take) {
        const std::vector<short> s = FsddTake("0_george_" + std::to_string(take));
        ASSERT_NE(0, VRE_GetEndpointShort(s.data(), kTakeSamples, 0));
        ASSERT_NE(0, VRE_CheckSexSpeech(s.data(), kTakeSamples, take));
    }
    const std::vector<short> other = FsddTake("1_george_0");
    ASSERT_NE(0, VRE_GetEndpointShort(other.data(), kTakeSamples, 0));
    EXPECT_EQ(0, VRE_CheckSexSpeech(other.data(), kTakeSamples, 2));
    EXPECT_STREQ(kOtherWordSjis, VRE_GetLabelString());
    // The same take number, spoken right, goes through and clears the reason.
    const std::vector<short> right = FsddTake("0_george_2");
    ASSERT_NE(0, VRE_GetEndpointShort(right.data(), kTakeSamples, 0));
    EXPECT_NE(0, VRE_CheckSexSpeech(right.data(), kTakeSamples, 2));
    EXPECT_STREQ("", VRE_GetLabelString());
}

TEST_F(VoiceEngineTest, TheTakeCheckRefusesSoundsThatAreNotSpeech)
{
    ASSERT_NE(0, EnrolGeorge());
    DialogSetUp(2);
    // A burst of hiss: loud enough for the end points, but no voice in it.
    std::vector<short> hiss(kTakeSamples, 0);
    std::vector<short> burst(8000, 0);
    enginetest::AddNoise(burst, 3000.0, 21);
    std::copy(burst.begin(), burst.end(), hiss.begin() + 9000);
    enginetest::AddNoise(hiss, 16.0, 22);
    ASSERT_NE(0, VRE_GetEndpointShort(hiss.data(), kTakeSamples, 0));
    EXPECT_EQ(0, VRE_CheckSexSpeech(hiss.data(), kTakeSamples, 0));
    EXPECT_STRNE("", VRE_GetLabelString());
    EXPECT_EQ(0, VRE_Verify());     // a refused take is not verified
    // A whistle and a hum: voiced all through, but their spectrum stands still.
    for (const bool hum : {false, true}) {
        std::vector<short> tone(kTakeSamples, 0);
        for (int i = 6000; i < 16000; ++i) {
            const double t = i / 11025.0;
            double v = 0.0;
            if (hum)
                for (int h = 1; h < 8; ++h) v += 800.0 / h * std::sin(2.0 * kPi * 120.0 * h * t);
            else
                v = 3000.0 * std::sin(2.0 * kPi * 1000.0 * t);
            tone[i] = static_cast<short>(v);
        }
        enginetest::AddNoise(tone, 16.0, 23);
        ASSERT_NE(0, VRE_GetEndpointShort(tone.data(), kTakeSamples, 0)) << hum;
        EXPECT_EQ(0, VRE_CheckSexSpeech(tone.data(), kTakeSamples, 0)) << hum;
    }
    const std::vector<short> word = FsddTake("0_george_7");
    ASSERT_NE(0, VRE_GetEndpointShort(word.data(), kTakeSamples, 0));
    EXPECT_NE(0, VRE_CheckSexSpeech(word.data(), kTakeSamples, 0));
}

TEST_F(VoiceEngineTest, AWordOfFricativesWithLittleVoicingIsStillSpeech)
{
    // Jackson's "six": long /s/ and /ks/, voiced for as little as a sixth
    // of its frames, and its spectrum changes less than a vowel-rich word's.
    ASSERT_NE(0, Enrol("6_jackson_", 40));
    for (int take = 15; take <= 17; ++take) {
        const SVerdict v = VerifyTake(FsddTake("6_jackson_" + std::to_string(take), 0.0, 0, 16.0, 300 + take));
        EXPECT_NE(-1, v.accepted) << "refused by the take check: " << take;
        EXPECT_EQ(1, v.copy) << take;
    }
}

TEST_F(VoiceEngineTest, TheSpeakerScoresBetterThanOtherSpeakers)
{
    ASSERT_NE(0, EnrolGeorge());
    std::vector<double> genuine, impostor;
    int accepted = 0, falseAccepts = 0;
    for (int take = 5; take <= 9; ++take) {
        const SVerdict v = VerifyTake(FsddTake("0_george_" + std::to_string(take), 0.0, 0, 16.0, 200 + take));
        ASSERT_NE(-1, v.accepted) << take;
        genuine.push_back(v.score);
        accepted += v.accepted;
        EXPECT_EQ(1, v.copy) << "a fresh take is no replay: " << take;
    }
    for (const char* other : {"jackson", "nicolas"})
        for (int take = 0; take <= 6; ++take) {
            const SVerdict v = VerifyTake(FsddTake(std::string("0_") + other + "_" + std::to_string(take)));
            if (v.accepted == -1) continue;   // refused by the take check: not accepted either
            impostor.push_back(v.score);
            falseAccepts += v.accepted;
        }
    ASSERT_GE(impostor.size(), 10u);
    double worstGenuine = -1e9, bestImpostor = 1e9;
    for (double g : genuine) worstGenuine = std::max(worstGenuine, g);
    for (double i : impostor) bestImpostor = std::min(bestImpostor, i);
    EXPECT_LT(worstGenuine, bestImpostor) << "every genuine take scores closer than every impostor";
    EXPECT_GE(accepted, 4);
    EXPECT_EQ(0, falseAccepts);
}

TEST_F(VoiceEngineTest, AStricterSecurityAcceptsLess)
{
    ASSERT_NE(0, EnrolGeorge());
    const std::vector<short> s = FsddTake("0_george_6");
    DialogSetUp(2);
    VRE_SetbAdapt(0);
    ASSERT_NE(0, VRE_GetEndpointShort(s.data(), kTakeSamples, 0));
    ASSERT_NE(0, VRE_CheckSexSpeech(s.data(), kTakeSamples, 0));
    ASSERT_NE(0, VRE_Security(0.0f));
    ASSERT_NE(0, VRE_Verify());
    const double score = VRE_GetScore();
    EXPECT_LE(score, VRE_GetThreshold());
    double previous = VRE_GetThreshold();
    for (float security : {0.3f, 0.6f, 1.0f}) {
        VRE_Security(security);
        EXPECT_LT(VRE_GetThreshold(), previous);
        previous = VRE_GetThreshold();
        EXPECT_EQ(score <= previous ? 1 : 0, VRE_Verify() != 0 ? 1 : 0) << security;
    }
}

TEST_F(VoiceEngineTest, ReplaysOfEnrolmentTakesAreCaughtLouderShiftedAndNoisy)
{
    ASSERT_NE(0, EnrolGeorge());
    for (int take = 0; take < 5; ++take) {
        const std::string name = "0_george_" + std::to_string(take);
        EXPECT_EQ(0, VerifyTake(FsddTake(name, 3.0, 1103, 24.0, 900 + take)).copy) << name << " louder";
        EXPECT_EQ(0, VerifyTake(FsddTake(name, -4.0, -700, 16.0, 950 + take)).copy) << name << " softer";
        // Shifted by an odd number of analysis frames and by half a frame:
        // the replay's frames fall between the original's.
        EXPECT_EQ(0, VerifyTake(FsddTake(name, 2.0, 240, 20.0, 970 + take)).copy) << name << " 3 frames";
        EXPECT_EQ(0, VerifyTake(FsddTake(name, 0.0, 40, 16.0, 990 + take)).copy) << name << " half a frame";
    }
    // Fresh takes of the same word by the same speaker are not replays.
    for (int take = 5; take < 10; ++take) {
        const std::string name = "0_george_" + std::to_string(take);
        EXPECT_EQ(1, VerifyTake(FsddTake(name, 0.0, 0, 16.0, 500 + take)).copy) << name;
    }
}

TEST_F(VoiceEngineTest, ReplaysOfAWordWithFewVoicedFramesAreCaught)
{
    // Most frames of this word are unvoiced hiss, whose fine detail the
    // replay's noise moves; its replays must still line up with the takes.
    ASSERT_NE(0, Enrol("6_jackson_", 40));
    for (int take = 40; take <= 44; ++take) {
        const std::string name = "6_jackson_" + std::to_string(take);
        EXPECT_EQ(0, VerifyTake(FsddTake(name, 3.0, 1103, 24.0, 700 + take)).copy) << name;
    }
}

TEST_F(VoiceEngineTest, ReplaysOfAQuietSpeakerAreCaughtWhereverTheFramesFall)
{
    // A quiet take's weak frames change most with where the analysis frames
    // fall; the replays, 3 dB louder, are shifted by about 0.1 s and by
    // fractions of a frame shift.
    DialogSetUp(1);
    for (int take = 0; take < 5; ++take) {
        const std::vector<short> s = FsddTake("2_george_" + std::to_string(40 + take), -20.0, 0, 16.0, 100 + take);
        ASSERT_NE(0, VRE_GetEndpointShort(s.data(), kTakeSamples, 0)) << take;
        ASSERT_NE(0, VRE_CheckSexSpeech(s.data(), kTakeSamples, take)) << take;
    }
    ASSERT_NE(0, VRE_Train());
    VRE_DestructMemories();
    VRE_Destruct();
    for (int take = 40; take <= 44; ++take) {
        const std::string name = "2_george_" + std::to_string(take);
        for (const int shift : {1090, 1100, 1110})
            EXPECT_EQ(0, VerifyTake(FsddTake(name, -17.0, shift, 24.0, 800 + take)).copy) << name << " " << shift;
    }
}

TEST_F(VoiceEngineTest, AnAcceptedTakeAdaptsTheModelAndItsReplayIsCaughtLater)
{
    ASSERT_NE(0, EnrolGeorge());
    const std::vector<unsigned char> before = enginetest::ReadBytes(ModelPath());
    const std::vector<short> fresh = FsddTake("0_george_8", 0.0, 0, 16.0, 300);
    EXPECT_EQ(1, VerifyTake(fresh, "aaj", false).copy);
    const SVerdict v = VerifyTake(fresh, "aaj", true);
    ASSERT_EQ(1, v.accepted);
    ASSERT_EQ(1, v.update);
    const std::vector<unsigned char> after = enginetest::ReadBytes(ModelPath());
    EXPECT_NE(before, after);
    CSpeakerModel m, old;
    ASSERT_EQ(1, m.Parse(after.data(), after.size()));
    ASSERT_EQ(1, old.Parse(before.data(), before.size()));
    EXPECT_EQ(1u, m.nAdaptations);
    EXPECT_EQ(6, m.nFingerprints);
    // The first three templates are the enrolment's for good; the take went
    // into the first adaptive slot.
    for (int t = 0; t < 3; ++t) {
        ASSERT_EQ(old.templateFrames[t], m.templateFrames[t]);
        EXPECT_EQ(0, std::memcmp(old.templates[t], m.templates[t], static_cast<size_t>(m.templateFrames[t]) * m.nDims)) << t;
    }
    EXPECT_TRUE(old.templateFrames[3] != m.templateFrames[3] ||
                std::memcmp(old.templates[3], m.templates[3], static_cast<size_t>(m.templateFrames[3]) * m.nDims) != 0);
    // Drift is bounded: the typical distances stay near the enrolment's.
    for (int p = 0; p < CSpeakerModel::kScoreParts; ++p) {
        EXPECT_GE(m.adaptedMean[p], 0.9f * m.enrolMean[p] - 1e-4f);
        EXPECT_LE(m.adaptedMean[p], 1.1f * m.enrolMean[p] + 1e-4f);
    }
    // The accepted take, played back later, is now known.
    EXPECT_EQ(0, VerifyTake(FsddTake("0_george_8", 3.0, 1103, 24.0, 301)).copy);
    // With adaptation off nothing is written.
    const SVerdict off = VerifyTake(FsddTake("0_george_9"), "aaj", false);
    EXPECT_EQ(0, off.update);
    EXPECT_EQ(after, enginetest::ReadBytes(ModelPath()));
}

TEST_F(VoiceEngineTest, ARejectedTakeNeverTouchesTheModel)
{
    ASSERT_NE(0, EnrolGeorge());
    const std::vector<unsigned char> before = enginetest::ReadBytes(ModelPath());
    const SVerdict v = VerifyTake(FsddTake("0_jackson_2"), "aaj", true);
    EXPECT_EQ(0, v.accepted);
    EXPECT_EQ(0, v.update);
    EXPECT_EQ(before, enginetest::ReadBytes(ModelPath()));
}

TEST_F(VoiceEngineTest, DamagedMissingOrForeignModelsRejectWithoutCrashing)
{
    ASSERT_NE(0, EnrolGeorge());
    const std::vector<unsigned char> good = enginetest::ReadBytes(ModelPath());
    const std::vector<short> s = FsddTake("0_george_5");
    ASSERT_EQ(1, VerifyTake(s).accepted);

    std::vector<std::vector<unsigned char>> damaged;
    damaged.push_back(std::vector<unsigned char>(good.begin(), good.begin() + good.size() / 2));  // truncated
    damaged.push_back(std::vector<unsigned char>(good.begin(), good.begin() + 10));
    damaged.push_back({});                                                                      // empty
    std::vector<unsigned char> flipped = good;
    flipped[good.size() / 3] ^= 0x01;
    damaged.push_back(flipped);
    std::vector<unsigned char> foreign(4000, 'x');
    damaged.push_back(foreign);
    for (size_t i = 0; i < damaged.size(); ++i) {
        ASSERT_TRUE(enginetest::WriteBytes(ModelPath(), damaged[i]));
        const SVerdict v = VerifyTake(s);
        EXPECT_EQ(0, v.accepted) << i;
        EXPECT_EQ(0, v.update) << i;
    }
    std::filesystem::remove(ModelPath());
    EXPECT_EQ(0, VerifyTake(s).accepted);
    // Another nick's model is another file.
    ASSERT_TRUE(enginetest::WriteBytes(ModelPath(), good));
    EXPECT_EQ(0, VerifyTake(s, "abj").accepted);
    EXPECT_EQ(1, VerifyTake(s, "aaj").accepted);
}

TEST_F(VoiceEngineTest, AModelMadeWithOtherAnalysisSettingsIsNotUsed)
{
    ASSERT_NE(0, EnrolGeorge());
    const std::vector<short> s = FsddTake("0_george_5");
    DialogSetUp(2);
    ASSERT_NE(0, VRE_EngineParams(12, 19, 5, 128));
    ASSERT_NE(0, VRE_GetEndpointShort(s.data(), kTakeSamples, 0));
    ASSERT_NE(0, VRE_CheckSexSpeech(s.data(), kTakeSamples, 0));
    EXPECT_EQ(0, VRE_Verify());
}

TEST_F(VoiceEngineTest, ModelPathJoinsTheFolderWithEitherSeparator)
{
    // A folder given with a trailing separator gets no second one.
    m_dir += "/";
    ASSERT_NE(0, EnrolGeorge("abj"));
    EXPECT_TRUE(std::filesystem::exists(m_dir + "work/abj.bin"));
}
