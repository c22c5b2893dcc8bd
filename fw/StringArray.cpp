#include "fw/StringArray.h"

#include "fw/Archive.h"

void CStringArray::Serialize(CArchive& ar)
{
    SerializeElements(ar, 1);   // a string takes at least its one-byte length
}
