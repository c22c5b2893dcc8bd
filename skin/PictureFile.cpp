#include "skin/PictureFile.h"

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <string>

#include "fw/File.h"

namespace {

// Larger files are not taken for skin pictures (a full-screen 32-bit bitmap
// is under 40 MB).
const ULONGLONG kMaxPictureFileBytes = 64ull * 1024 * 1024;

// The loader decodes JPEG and GIF through COM objects, which need COM on the
// calling thread. A host that already runs COM keeps its own set-up.
class CComScope {
public:
    CComScope() : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~CComScope()
    {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    CComScope(const CComScope&) = delete;
    CComScope& operator=(const CComScope&) = delete;

private:
    HRESULT m_hr;
};

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

// The whole file, or false when it cannot be read or is no size for a picture.
bool ReadPictureBytes(const CString& path, std::string& bytes)
{
    try {
        CFile file(path, CFile::modeRead | CFile::shareDenyWrite);
        const ULONGLONG length = file.GetLength();
        if (length == 0 || length > kMaxPictureFileBytes)
            return false;
        bytes.resize(static_cast<size_t>(length));
        file.ReadExact(&bytes[0], static_cast<UINT>(length));
        return true;
    } catch (const CFileException&) {
        return false;
    }
}

// A stream over a copy of the bytes; the stream frees the copy.
bool OpenMemoryStream(const std::string& bytes, CReleaser<IStream>& stream)
{
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (memory == nullptr)
        return false;
    void* target = ::GlobalLock(memory);
    if (target == nullptr) {
        ::GlobalFree(memory);
        return false;
    }
    memcpy(target, bytes.data(), bytes.size());
    ::GlobalUnlock(memory);
    if (FAILED(::CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        ::GlobalFree(memory);
        return false;
    }
    return true;
}

} // namespace

BOOL LoadPictureFile(const CString& path, CBitmap& picture)
{
    picture.DeleteObject();
    std::string bytes;
    if (!ReadPictureBytes(path, bytes))
        return FALSE;

    CComScope com;
    CReleaser<IStream> stream;
    if (!OpenMemoryStream(bytes, stream))
        return FALSE;
    CReleaser<IPicture> decoded;
    if (FAILED(::OleLoadPicture(stream.get(), static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
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
