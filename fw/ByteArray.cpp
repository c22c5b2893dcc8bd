#include "fw/ByteArray.h"

#include "fw/Archive.h"

void CByteArray::Serialize(CArchive& ar)
{
    SerializeElements(ar, 1);
}
