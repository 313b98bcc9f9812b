#include "qr/qr_picture.h"

#include <commdlg.h>
#include <objbase.h>
#include <wincodec.h>

#include <cstring>
#include <vector>

#include "base/core/failure.h"
#include "base/handles.h"
#include "base/system_library.h"
#include "base/text.h"
#include "qr/core/qr_texts.h"

namespace pix::qr {

namespace {

// The clipboard, open for one scope and emptied for what it will hold. Some
// other program (a clipboard viewer) may hold it for a moment: a few tries.
class OpenClipboardFor {
public:
    explicit OpenClipboardFor(HWND owner) {
        for (int attempt = 0; attempt < 10 && !open_; ++attempt) {
            open_ = OpenClipboard(owner) != FALSE;
            if (!open_) Sleep(20);
        }
        if (!open_) throw Failure(u"ClipboardError", u"Cannot open the clipboard");
        if (!EmptyClipboard()) throw Failure(u"ClipboardError", u"Cannot empty the clipboard");
    }
    ~OpenClipboardFor() { CloseClipboard(); }
    OpenClipboardFor(const OpenClipboardFor&) = delete;
    OpenClipboardFor& operator=(const OpenClipboardFor&) = delete;

    // The clipboard owns the memory from here on.
    void Put(UINT format, UniqueGlobal memory) {
        if (!SetClipboardData(format, memory.Get())) throw Failure(u"ClipboardError", u"Cannot put data on the clipboard");
        memory.Release();
    }

private:
    bool open_ = false;
};

// Movable global memory of `size` bytes, filled by fill(pointer).
template <class Fill>
UniqueGlobal GlobalWith(std::size_t size, Fill fill) {
    UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!memory) throw Failure(u"ClipboardError", u"Not enough memory for the clipboard");
    void* pointer = GlobalLock(memory.Get());
    if (!pointer) throw Failure(u"ClipboardError", u"Not enough memory for the clipboard");
    fill(static_cast<std::uint8_t*>(pointer));
    GlobalUnlock(memory.Get());
    return memory;
}

void Check(HRESULT result, const char16_t* what) {
    if (SUCCEEDED(result)) return;
    wchar_t code[16];
    wsprintfW(code, L" (0x%08lX)", static_cast<unsigned long>(result));
    throw Failure(u"ImageError", what + std::u16string(U16(code)));
}

// A file this program began to write: deleted when the scope ends unless it
// was finished. Made before the stream that writes it, so that the stream
// has let go of the file by then.
class UnfinishedFile {
public:
    explicit UnfinishedFile(const std::wstring& path) : path_(path) {}
    ~UnfinishedFile() {
        if (begun_ && !finished_) DeleteFileW(path_.c_str());
    }
    UnfinishedFile(const UnfinishedFile&) = delete;
    UnfinishedFile& operator=(const UnfinishedFile&) = delete;
    void Begun() noexcept { begun_ = true; }
    void Finished() noexcept { finished_ = true; }

private:
    const std::wstring& path_;
    bool begun_ = false, finished_ = false;
};

}  // namespace

void CopyText(HWND owner, std::u16string_view text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(char16_t);
    UniqueGlobal memory = GlobalWith(bytes, [&](std::uint8_t* to) {
        std::memcpy(to, text.data(), text.size() * sizeof(char16_t));
        std::memset(to + text.size() * sizeof(char16_t), 0, sizeof(char16_t));
    });
    OpenClipboardFor clipboard(owner);
    clipboard.Put(CF_UNICODETEXT, std::move(memory));
}

void CopyPicture(HWND owner, const Picture& picture) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = picture.width;
    header.biHeight = picture.height;  // positive: bottom row first
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(picture.stride * static_cast<std::size_t>(picture.height));
    UniqueGlobal memory = GlobalWith(sizeof header + header.biSizeImage, [&](std::uint8_t* to) {
        std::memcpy(to, &header, sizeof header);
        to += sizeof header;
        for (int y = picture.height - 1; y >= 0; --y, to += picture.stride)
            std::memcpy(to, picture.Row(y), picture.stride);
    });
    OpenClipboardFor clipboard(owner);
    clipboard.Put(CF_DIB, std::move(memory));
}

namespace {

// The save dialog's library, bound the first time a picture is saved and
// kept from then on: linked by import, it and the six libraries it brings
// (shell32 among them) were loaded at every start of the program.
struct SaveDialogFunctions {
    using GetSaveFileNameFunction = BOOL(WINAPI*)(OPENFILENAMEW*);
    using ExtendedErrorFunction = DWORD(WINAPI*)();
    SystemLibrary comdlg32{L"comdlg32.dll"};
    GetSaveFileNameFunction getSaveFileName = comdlg32.Find<GetSaveFileNameFunction>("GetSaveFileNameW");
    ExtendedErrorFunction extendedError = comdlg32.Find<ExtendedErrorFunction>("CommDlgExtendedError");
};

}  // namespace

std::optional<std::wstring> AskWhereToSavePng(HWND owner) {
    static const SaveDialogFunctions functions;
    if (!functions.getSaveFileName || !functions.extendedError)
        throw Failure(u"ImageError", u"The save dialog could not be shown");
    std::vector<wchar_t> file(32768, L'\0');
    const std::wstring proposed = W(kPngName);
    std::copy(proposed.begin(), proposed.end(), file.begin());
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = W(kPngFilter);
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = W(kSaveTitle);
    dialog.lpstrDefExt = W(kPngExtension);
    // The program's current folder stays where it was.
    dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (functions.getSaveFileName(&dialog)) return std::wstring(file.data());
    if (functions.extendedError() != 0) throw Failure(u"ImageError", u"The save dialog could not be shown");
    return std::nullopt;
}

void SavePng(const std::wstring& path, const Picture& picture) {
    // The imaging component comes through COM, which loads it by the full
    // path it was registered with in the system folder: nothing beside the
    // program can stand in for it, and the program imports none of it.
    IWICImagingFactory* factory = nullptr;
    Check(CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                           reinterpret_cast<void**>(&factory)),
          u"Cannot start the imaging component");
    const UniqueCom<IWICImagingFactory> ownedFactory(factory);

    UnfinishedFile file(path);
    IWICStream* stream = nullptr;
    Check(factory->CreateStream(&stream), u"Cannot write the PNG file");
    const UniqueCom<IWICStream> ownedStream(stream);
    Check(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE), u"Cannot create the PNG file");
    file.Begun();

    IWICBitmapEncoder* encoder = nullptr;
    Check(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder), u"Cannot make a PNG encoder");
    const UniqueCom<IWICBitmapEncoder> ownedEncoder(encoder);
    Check(encoder->Initialize(stream, WICBitmapEncoderNoCache), u"Cannot write the PNG file");
    IWICBitmapFrameEncode* frame = nullptr;
    Check(encoder->CreateNewFrame(&frame, nullptr), u"Cannot write the PNG file");
    const UniqueCom<IWICBitmapFrameEncode> ownedFrame(frame);
    Check(frame->Initialize(nullptr), u"Cannot write the PNG file");
    Check(frame->SetSize(static_cast<UINT>(picture.width), static_cast<UINT>(picture.height)),
          u"Cannot write the PNG file");
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    Check(frame->SetPixelFormat(&format), u"Cannot write the PNG file");
    // The encoder may only offer a format of its own; the picture is in no other.
    if (!IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
        throw Failure(u"ImageError", u"The PNG encoder does not take 24-bit pixels");
    Check(frame->WritePixels(static_cast<UINT>(picture.height), static_cast<UINT>(picture.stride),
                             static_cast<UINT>(picture.pixels.size()),
                             const_cast<BYTE*>(picture.pixels.data())),
          u"Cannot write the PNG file");
    Check(frame->Commit(), u"Cannot write the PNG file");
    Check(encoder->Commit(), u"Cannot write the PNG file");
    file.Finished();
}

}  // namespace pix::qr
