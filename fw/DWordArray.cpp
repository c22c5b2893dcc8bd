#include "fw/DWordArray.h"

#include "fw/Archive.h"

void CDWordArray::Serialize(CArchive& ar)
{
    SerializeElements(ar, 4);
}
