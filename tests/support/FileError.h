// The file error a call raises; when it raises none, the test fails and an
// error of no cause comes back.
#pragma once

#include <gtest/gtest.h>

#include "fw/FileException.h"

namespace sonvera_test
{
template <class Call>
CFileException FileErrorOf(Call call)
{
    try {
        call();
    } catch (const CFileException& e) {
        return e;
    }
    ADD_FAILURE() << "no CFileException";
    return CFileException();
}
} // namespace sonvera_test
