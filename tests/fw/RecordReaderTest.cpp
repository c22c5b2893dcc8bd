// CRecordReader: each length is checked against what is left, so a damaged store
// ends its list with the right cause and the position on the damaged record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/FileException.h"
#include "fw/RecordReader.h"
#include "tests/support/Bytes.h"

namespace {

using namespace sonvera_test;

struct SImageCase {
    const char* name;
    std::string image;
    std::vector<std::string> records; // read before the end or the damage
    int cause;                        // CFileException::none for a clean end
};

TEST(RecordReader, ReadsUpToTheEndOrTheFirstDamagedLength)
{
    const SImageCase cases[] = {
        {"empty", "", {}, CFileException::none},
        {"exact fit", LengthRecord("ab") + LengthRecord("") + LengthRecord("xyz"), {"ab", "", "xyz"},
         CFileException::none},
        {"length one past the end", LengthRecord("ab") + WordBytes(4) + "abc", {"ab"}, CFileException::invalidFile},
        {"huge length", WordBytes(0xFFFFFFFFul) + "a", {}, CFileException::invalidFile},
        {"length past the end by its high byte alone", LengthRecord("ab") + WordBytes(0x01000001ul) + "z", {"ab"},
         CFileException::invalidFile},
        {"length word one byte short", LengthRecord("ab") + std::string("\x01\x00\x00", 3), {"ab"},
         CFileException::endOfFile},
    };
    for (const SImageCase& c : cases) {
        SCOPED_TRACE(c.name);
        CRecordReader reader(c.image.data(), c.image.size(), "store.dat");
        std::vector<std::string> records;
        int cause = CFileException::none;
        size_t damagedAt = 0;
        try {
            while (!reader.AtEnd()) {
                damagedAt = reader.Position();
                const CString record = reader.Next();
                records.emplace_back(record.GetString(), record.GetLength());
            }
        } catch (const CFileException& e) {
            cause = e.m_cause;
        }
        EXPECT_EQ(records, c.records);
        EXPECT_EQ(cause, c.cause);
        if (c.cause != CFileException::none) {
            EXPECT_EQ(reader.Position(), damagedAt);
            CString record;
            EXPECT_FALSE(reader.TryNext(record));
        }
    }
}

} // namespace
