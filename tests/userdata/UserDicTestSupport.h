// A user dictionary in a scratch folder, and a reader of its file that does
// not go through CAppUserDic, for checking what was stored.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/Bytes.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"
#include "fw/FileException.h"
#include "userdata/AppUserDic.h"
#include "userdata/Crypto.h"

namespace sonvera_test {

// The records of a dictionary file, decrypted entry by entry.
inline std::vector<std::string> StoredRecords(const CString& path)
{
    const std::string bytes = sonvera_test::ReadRaw(path);
    std::vector<std::string> records;
    CCrypto crypto;
    const CString key = CCrypto::GetProcessKey();
    size_t pos = 0;
    while (pos + 4 <= bytes.size()) {
        const unsigned long length = Word(bytes, pos);
        pos += 4;
        if (length > bytes.size() - pos) {
            records.push_back("<damaged>");
            break;
        }
        const CString cipher(bytes.data() + pos, static_cast<int>(length));
        records.push_back(crypto.DecryptString(cipher, key).str());
        pos += length;
    }
    return records;
}

// A dictionary file of the given records, written the way the format says.
inline std::string DictionaryImage(const std::vector<std::string>& records)
{
    CCrypto crypto;
    const CString key = CCrypto::GetProcessKey();
    std::string image;
    for (const std::string& record : records) {
        const CString cipher = crypto.EncryptString(CString(record), key);
        image += WordBytes(static_cast<unsigned long>(cipher.GetLength()));
        image += cipher.str();
    }
    return image;
}

inline std::vector<std::string> Texts(const CStringArray& array)
{
    std::vector<std::string> out;
    for (int i = 0; i < array.GetSize(); ++i)
        out.push_back(array[i].str());
    return out;
}

class UserDicTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = m_folder.File("users.dic");
        ASSERT_EQ(1, m_dic.SetUserDicFilePath(m_path));
    }

    // Alice with a known certi key and two nicks.
    void AddAlice()
    {
        ASSERT_EQ(1, m_dic.CreateUser("first text", "Alice", "KEY-A", "Secret", 1, 1, 0, 1, "aaj,abj"));
    }

    // A second object on the same file: what the file holds, seen afresh.
    std::vector<std::string> Reloaded()
    {
        CAppUserDic other;
        other.SetUserDicFilePath(m_path);
        std::vector<std::string> records;
        CStringArray ids;
        other.GetUserIDList(ids);
        for (int i = 0; i < ids.GetSize(); ++i)
            records.push_back(other.GetUserWholeInfo(ids[i]).str());
        return records;
    }

    sonvera_test::CTempFolder m_folder;
    CString m_path;
    CAppUserDic m_dic;
};

} // namespace sonvera_test
