// The module handle, the object base and the error mapping: small pieces
// that the rest of the library builds on.
#include <gtest/gtest.h>
#include <windows.h>

#include "fw/FileException.h"
#include "fw/Module.h"
#include "fw/Object.h"

namespace {

TEST(Module, IsTheProgramThatLinksTheCodeStatically)
{
    // Linked into this test program, the code's module is the program itself,
    // so resources come from the same place as inside Sonvera.dll.
    ASSERT_NE(GetSonveraModule(), nullptr);
    EXPECT_EQ(GetSonveraModule(), GetModuleHandleW(nullptr));
    EXPECT_NE(GetSonveraModule(), GetModuleHandleW(L"kernel32.dll"));
}

class CDerived : public CObject {
public:
    static const CRuntimeClass classCDerived;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCDerived; }
};
const CRuntimeClass CDerived::classCDerived = {"CDerived", static_cast<int>(sizeof(CDerived)), 0xFFFF,
                                               &CObject::classCObject};

TEST(Object, RunTimeClassChain)
{
    CDerived derived;
    const CObject& base = derived;
    EXPECT_STREQ(base.GetRuntimeClass()->m_lpszClassName, "CDerived");
    EXPECT_TRUE(base.IsKindOf(&CObject::classCObject));
    EXPECT_TRUE(base.IsKindOf(&CDerived::classCDerived));
    const CRuntimeClass unrelated = {"CUnrelated", 0, 0, nullptr};
    EXPECT_FALSE(base.IsKindOf(&unrelated));
}

TEST(FileExceptionCauses, Win32ErrorsMapToTheClassicCauses)
{
    EXPECT_EQ(CFileException::OsErrorToCause(ERROR_FILE_NOT_FOUND), CFileException::fileNotFound);
    EXPECT_EQ(CFileException::OsErrorToCause(ERROR_PATH_NOT_FOUND), CFileException::badPath);
    EXPECT_EQ(CFileException::OsErrorToCause(ERROR_ACCESS_DENIED), CFileException::accessDenied);
    EXPECT_EQ(CFileException::OsErrorToCause(ERROR_SHARING_VIOLATION), CFileException::sharingViolation);
    EXPECT_EQ(CFileException::OsErrorToCause(ERROR_LOCK_VIOLATION), CFileException::lockViolation);
    EXPECT_EQ(CFileException::OsErrorToCause(ERROR_DISK_FULL), CFileException::diskFull);
    EXPECT_EQ(CFileException::OsErrorToCause(ERROR_HANDLE_DISK_FULL), CFileException::diskFull);
    EXPECT_EQ(CFileException::OsErrorToCause(ERROR_HANDLE_EOF), CFileException::endOfFile);
    EXPECT_EQ(CFileException::OsErrorToCause(ERROR_NEGATIVE_SEEK), CFileException::badSeek);
    EXPECT_EQ(CFileException::OsErrorToCause(ERROR_TOO_MANY_OPEN_FILES), CFileException::tooManyOpenFiles);
    EXPECT_EQ(CFileException::OsErrorToCause(12345), CFileException::genericException);
}

TEST(FileExceptionCauses, ThrownByValueCaughtByReference)
{
    try {
        CFileException::ThrowOsError(ERROR_DISK_FULL, "D:\\x.dat", "WriteFile");
    } catch (const std::exception& e) {
        const auto* fileError = dynamic_cast<const CFileException*>(&e);
        ASSERT_NE(fileError, nullptr);
        EXPECT_EQ(fileError->m_cause, CFileException::diskFull);
        EXPECT_EQ(fileError->m_lOsError, static_cast<LONG>(ERROR_DISK_FULL));
        EXPECT_EQ(fileError->m_strApiName, "WriteFile");
        EXPECT_NE(std::string(e.what()).find("diskFull"), std::string::npos);
    }
}

} // namespace
