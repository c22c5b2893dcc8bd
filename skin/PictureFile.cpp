#include "skin/PictureFile.h"

#include <cstdlib>
#include <cstring>

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

// Whether a bitmap file ("BM") holds fewer bytes than its header promises.
// The system's decoder reads an uncompressed bitmap's rows by the header
// alone: given a file that was cut short (a copy broken off), it reads past
// the end of the file's memory, and a 32-bit one takes the program down.
bool IsCutShortBitmap(const BYTE* data, DWORD length)
{
    BITMAPFILEHEADER file{};
    if (length < sizeof file.bfType || data[0] != 'B' || data[1] != 'M')
        return false;
    DWORD infoBytes = 0;
    if (length < sizeof file + sizeof infoBytes)
        return true;
    std::memcpy(&file, data, sizeof file);
    std::memcpy(&infoBytes, data + sizeof file, sizeof infoBytes);

    // The old core header or any later one, which all begin as BITMAPINFOHEADER does.
    ULONGLONG width = 0, rows = 0, bitsPerPixel = 0;
    DWORD compression = BI_RGB;
    if (infoBytes == sizeof(BITMAPCOREHEADER)) {
        BITMAPCOREHEADER core{};
        if (length < sizeof file + sizeof core)
            return true;
        std::memcpy(&core, data + sizeof file, sizeof core);
        width = core.bcWidth;
        rows = core.bcHeight;
        bitsPerPixel = core.bcBitCount;
    } else {
        BITMAPINFOHEADER info{};
        if (length < sizeof file + sizeof info)
            return true;
        std::memcpy(&info, data + sizeof file, sizeof info);
        // A negative height is a top-down bitmap of as many rows.
        width = static_cast<ULONGLONG>(std::llabs(info.biWidth));
        rows = static_cast<ULONGLONG>(std::llabs(info.biHeight));
        bitsPerPixel = info.biBitCount;
        compression = info.biCompression;
    }
    // Compressed rows are read only as far as their data goes.
    if (compression != BI_RGB && compression != BI_BITFIELDS)
        return false;
    const ULONGLONG rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
    if (file.bfOffBits > length)
        return true;
    return rowBytes != 0 && rows > (length - file.bfOffBits) / rowBytes;
}

} // namespace

BOOL LoadPictureFile(const CString& path, CBitmap& picture)
{
    picture.DeleteObject();
    // The block outlives the stream and the picture that read from it.
    CGlobalBlock file;
    if (!ReadPictureFile(path, file) || IsCutShortBitmap(static_cast<const BYTE*>(file.Data()), file.Size()))
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
