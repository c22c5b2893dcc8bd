#include "skin/PictureFile.h"

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include "fw/ComScope.h"
#include "fw/File.h"

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

// Movable global memory, freed unless it is handed on.
class CGlobalBlock {
public:
    explicit CGlobalBlock(SIZE_T size) : m_h(::GlobalAlloc(GMEM_MOVEABLE, size)) {}
    ~CGlobalBlock()
    {
        if (m_h != nullptr)
            ::GlobalFree(m_h);
    }
    CGlobalBlock(const CGlobalBlock&) = delete;
    CGlobalBlock& operator=(const CGlobalBlock&) = delete;
    HGLOBAL get() const { return m_h; }
    HGLOBAL HandOn()
    {
        HGLOBAL h = m_h;
        m_h = nullptr;
        return h;
    }

private:
    HGLOBAL m_h;
};

// The whole file in movable global memory, for a stream to own; null when
// the file cannot be read or is no size for a picture.
HGLOBAL ReadPictureFile(const CString& path, ULONGLONG& length)
{
    try {
        CFile file(path, CFile::modeRead | CFile::shareDenyWrite);
        length = file.GetLength();
        if (length == 0 || length > kMaxPictureFileBytes)
            return nullptr;
        CGlobalBlock block(static_cast<SIZE_T>(length));
        void* bytes = block.get() != nullptr ? ::GlobalLock(block.get()) : nullptr;
        if (bytes == nullptr)
            return nullptr;
        file.ReadExact(bytes, static_cast<UINT>(length));
        ::GlobalUnlock(block.get());
        return block.HandOn();
    } catch (const CFileException&) {
        return nullptr;
    }
}

} // namespace

BOOL LoadPictureFile(const CString& path, CBitmap& picture)
{
    picture.DeleteObject();
    ULONGLONG length = 0;
    HGLOBAL memory = ReadPictureFile(path, length);
    if (memory == nullptr)
        return FALSE;
    CReleaser<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        ::GlobalFree(memory);
        return FALSE;
    }

    // JPEG and GIF are decoded by COM objects.
    CComScope com;
    CReleaser<IPicture> decoded;
    if (FAILED(::OleLoadPicture(stream.get(), static_cast<LONG>(length), FALSE, IID_IPicture,
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
