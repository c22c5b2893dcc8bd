// A voice dictionary in a scratch application folder with its work folder,
// and raw views of its slots.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/support/Bytes.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"
#include "userdata/AppUserVoiceDic.h"
#include "userdata/Crypto.h"

namespace sonvera_test {

const size_t kSlot = 125000;

class VoiceDicTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CreateDirectoryA(m_folder.File("work"), nullptr));
        m_voice.SetVoiceDicPath(m_folder.Path());
        m_dicPath = m_folder.File("marzetuvd.dat");
    }

    CString ModelPath(const char* nick) const { return m_folder.File("work") + "\\" + nick + ".bin"; }
    std::string Dic() const { return sonvera_test::ReadRaw(m_dicPath); }
    void PutModel(const char* nick, const std::string& bytes) { ASSERT_TRUE(sonvera_test::WriteRaw(ModelPath(nick), bytes)); }
    std::string Model(const char* nick) const { return sonvera_test::ReadRaw(ModelPath(nick)); }

    // The decrypted text held at a length word's offset in slot k.
    std::string SlotText(size_t slot, size_t lengthOffset) const
    {
        const std::string bytes = Dic();
        const unsigned long length = Word(bytes, slot * kSlot + lengthOffset);
        if (length > 240)
            return "<bad length>";
        CCrypto crypto;
        const CString cipher(bytes.data() + slot * kSlot + lengthOffset + 4, static_cast<int>(length));
        return crypto.DecryptString(cipher, CCrypto::GetProcessKey()).str();
    }

    int FindSlot(const char* id, const char* key)
    {
        CFile file(m_dicPath, CFile::modeRead | CFile::typeBinary);
        return m_voice.FindIDPos(id, key, file);
    }

    sonvera_test::CTempFolder m_folder;
    CString m_dicPath;
    CAppUserVoiceDic m_voice;
};

} // namespace sonvera_test
