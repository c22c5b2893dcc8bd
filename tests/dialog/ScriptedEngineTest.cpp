// The scripted engine double stands in for the engine: a program linked
// against the engine gets the double when it runs beside it, finds every
// export of the engine's list there, and sees the scripted results in order.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "ScriptedEngine.h"
#include "engine/VoiceEngine.h"

namespace {

using voicetest::CScriptedEngine;

TEST(ScriptedEngine, IsTheEngineOfProgramsBesideIt)
{
    CScriptedEngine script;
    ASSERT_TRUE(script.IsLoaded());
    const HMODULE engine = GetModuleHandleA("MarzetPcJpn38.dll");
    std::ifstream list(SONVERA_TEST_DATA "/../../engine/MarzetPcJpn38.def");
    ASSERT_TRUE(list.good());
    int names = 0;
    for (std::string word; list >> word;) {
        if (word.rfind("VRE_", 0) != 0)
            continue;
        ++names;
        EXPECT_NE(nullptr, reinterpret_cast<void*>(GetProcAddress(engine, word.c_str()))) << word;
    }
    EXPECT_EQ(35, names);
}

TEST(ScriptedEngine, GivesScriptedResultsThenDefaultsAndLogsTheCalls)
{
    CScriptedEngine script;
    ASSERT_TRUE(script.IsLoaded());
    script.Reset();
    ASSERT_TRUE(script.Push("VRE_Verify", {0, 0, 1}));
    ASSERT_TRUE(script.Push("VRE_GetEndpointShort", {0}));
    ASSERT_TRUE(script.Push("VRE_GetErrorNumber", {-3}));
    EXPECT_FALSE(script.Push("VRE_PutMode", {1}));
    script.SetEndpoints(10, 90, 80);
    script.SetLabel("reason");

    EXPECT_EQ(0, VRE_Verify());
    EXPECT_EQ(0, VRE_Verify());
    EXPECT_EQ(1, VRE_Verify());
    EXPECT_EQ(1, VRE_Verify());   // the default once the script has run out
    const std::vector<short> take = {0, -1200, 30};
    EXPECT_EQ(0, VRE_GetEndpointShort(take.data(), 3, 1));
    EXPECT_EQ(-3, VRE_GetErrorNumber());
    EXPECT_EQ(1, VRE_GetEndpointShort(take.data(), 3, 0));
    EXPECT_EQ((90LL << 32) | 10, VRE_GetEndpointValue());
    EXPECT_STREQ("reason", VRE_GetLabelString());
    VRE_HMMParams(1, 0.0005, 0.8, 0.1, 0.1);
    VRE_PutPW("zero");

    EXPECT_EQ(4, script.Count("VRE_Verify"));
    EXPECT_EQ((std::vector<std::string>{"VRE_GetEndpointShort(3,peak=1200,1)", "VRE_GetEndpointShort(3,peak=1200,0)",
                                        "VRE_HMMParams(1,0.0005,0.8,0.1,0.1)", "VRE_PutPW(\"zero\")"}),
              script.CallsOf({"VRE_GetEndpointShort", "VRE_HMMParams", "VRE_PutPW"}));
    script.Reset();
    EXPECT_TRUE(script.Calls().empty());
}

}  // namespace
