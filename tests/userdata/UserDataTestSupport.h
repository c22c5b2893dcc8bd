// The user dictionary in a scratch folder, and readers of the dictionaries'
// files that do not go through the classes under test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/Bytes.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/RawFile.h"
#include "tests/support/StringLists.h"
#include "tests/support/TempFolder.h"
#include "fw/FileException.h"
#include "userdata/AppUserDic.h"
#include "userdata/Crypto.h"

namespace sonvera_test {

inline std::string Decrypted(const std::string& cipher)
{
    CCrypto crypto;
    return crypto.DecryptString(CString(cipher.data(), static_cast<int>(cipher.size())), CCrypto::GetProcessKey()).str();
}

// The records of a user dictionary file, decrypted entry by entry; bytes that
// cannot be framed read as "<damaged>".
inline Strings StoredRecords(const CString& path)
{
    const std::string bytes = ReadRaw(path);
    Strings records;
    for (size_t pos = 0; pos + 4 <= bytes.size();) {
        const unsigned long length = Word(bytes, pos);
        if (length > bytes.size() - pos - 4) {
            records.push_back("<damaged>");
            break;
        }
        records.push_back(Decrypted(bytes.substr(pos + 4, length)));
        pos += 4 + length;
    }
    return records;
}

// A user dictionary file of the given records, written as the format says.
inline std::string DictionaryImage(const Strings& records)
{
    CCrypto crypto;
    std::string image;
    for (const std::string& record : records)
        image += LengthRecord(crypto.EncryptString(CString(record), CCrypto::GetProcessKey()).str());
    return image;
}

class UserDicTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = m_folder.File("users.dic");
        ASSERT_EQ(1, m_dic.SetUserDicFilePath(m_path));
    }

    void AddAlice() { ASSERT_EQ(1, m_dic.CreateUser("first text", "Alice", "KEY-A", "Secret", 1, 1, 0, 1, "aaj,abj")); }
    void AddBob() { ASSERT_EQ(1, m_dic.CreateUser("t", "Bob", "K", "p", 0, 1, 1, 1, "acj")); }

    CTempFolder m_folder;
    CString m_path;
    CAppUserDic m_dic;
};

} // namespace sonvera_test
