#include "skin/PictureFile.h"

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include "fw/ComScope.h"
#include "fw/File.h"
#include "fw/GlobalBlock.h"

namespace {

// Larger files are not taken for skin pictures (a full-screen 32-bit bitmap
// is under 40 MB).
const ULONGLONG kMaxPictureFileBytes = 64ull * 1024 * 1024;

// Releases a COM interface when the scope ends.
template <typename Interface>
class CReleaser {
public:
    CReleaser() = default;
    ~CReleaser()
    {
        if (m_p != nullptr)
            m_p->Release();
    }
    CReleaser(const CReleaser&) = delete;
    CReleaser& operator=(const CReleaser&) = delete;
    Interface** operator&() { return &m_p; }
    Interface* operator->() const { return m_p; }
    Interface* get() const { return m_p; }

private:
    Interface* m_p = nullptr;
};

// Reads the whole file into the block; false when the file cannot be read or
// is no size for a picture.
bool ReadPictureFile(const CString& path, CGlobalBlock& block)
{
    try {
        CFile file(path, CFile::modeRead | CFile::shareDenyWrite);
        const ULONGLONG length = file.GetLength();
        if (length == 0 || length > kMaxPictureFileBytes || !block.Allocate(static_cast<DWORD>(length)))
            return false;
        file.ReadExact(block.Data(), block.Size());
        return true;
    } catch (const CFileException&) {
        return false;
    }
}

} // namespace

BOOL LoadPictureFile(const CString& path, CBitmap& picture)
{
    picture.DeleteObject();
    // The block outlives the stream and the picture that read from it.
    CGlobalBlock file;
    if (!ReadPictureFile(path, file))
        return FALSE;
    // JPEG and GIF are decoded by COM objects.
    CComScope com;
    CReleaser<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(file.Handle(), FALSE, &stream)))
        return FALSE;
    CReleaser<IPicture> decoded;
    if (FAILED(::OleLoadPicture(stream.get(), static_cast<LONG>(file.Size()), FALSE, IID_IPicture,
                                reinterpret_cast<void**>(&decoded))))
        return FALSE;
    SHORT type = PICTYPE_NONE;
    OLE_HANDLE handle = 0;
    if (FAILED(decoded->get_Type(&type)) || type != PICTYPE_BITMAP || FAILED(decoded->get_Handle(&handle)))
        return FALSE;
    // The picture object owns its bitmap and deletes it on release; keep a copy.
    HANDLE copy = ::CopyImage(reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(handle)), IMAGE_BITMAP, 0, 0, 0);
    return picture.Attach(copy);
}
