#include "fw/WordArray.h"

#include "fw/Archive.h"

void CWordArray::Serialize(CArchive& ar)
{
    SerializeElements(ar, 2);
}
