// The file error a call raises; one of no cause (CFileException::none) when it
// raises none.
#pragma once

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
    return CFileException();
}
} // namespace sonvera_test
