// BMP, PNG, JPEG, GIF and TIFF through the Windows Imaging Component. Files
// are read and written by the shared front end; WIC only sees memory, so
// paths never pass through a narrow code page.
#ifdef _WIN32

#include <windows.h>
#include <objbase.h>
#include <shlwapi.h>
#include <wincodec.h>

#include <cstring>

#include "imaging/ImageFileCodec.h"

namespace zelko::imagefile {

namespace {

// Just enough of a COM smart pointer: owns one reference.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* p) : p_(p) {}
    ~ComPtr() {
        if (p_) p_->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    T** put() { return &p_; }
    void** putVoid() { return reinterpret_cast<void**>(&p_); }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// COM for the duration of one call. A thread already in another apartment
// (the editor's UI thread) keeps it: WIC's factory works in either.
class ComScope {
public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    HRESULT Status() const { return hr_ == RPC_E_CHANGED_MODE ? S_OK : hr_; }

private:
    HRESULT hr_;
};

const GUID* ContainerGuid(ImageFileFormat format) {
    switch (format) {
    case ImageFileFormat::BMP: return &GUID_ContainerFormatBmp;
    case ImageFileFormat::PNG: return &GUID_ContainerFormatPng;
    case ImageFileFormat::JPEG: return &GUID_ContainerFormatJpeg;
    case ImageFileFormat::GIF: return &GUID_ContainerFormatGif;
    case ImageFileFormat::TIFF: return &GUID_ContainerFormatTiff;
    default: return nullptr;
    }
}

HRESULT CreateFactory(ComPtr<IWICImagingFactory>& factory) {
    return CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                            factory.putVoid());
}

#define ZELKO_TRY(expr)                       \
    do {                                      \
        HRESULT hr_ = (expr);                 \
        if (FAILED(hr_)) return HResult(hr_); \
    } while (0)

// Some GIF encoders (Wine's) write no graphic control block, so the
// transparent palette entry would read back opaque. Adds one before the first
// image, or marks an existing one; blocks are walked, not searched, so pixel
// data is never mistaken for one.
void EnsureGifTransparency(std::vector<uint8_t>& gif, int transparentIndex) {
    if (transparentIndex < 0 || gif.size() < 13) return;
    size_t pos = 13;
    if (gif[10] & 0x80) pos += size_t(3) << ((gif[10] & 7) + 1);
    while (pos < gif.size()) {
        if (gif[pos] == 0x2C) {
            const uint8_t block[8] = {0x21, 0xF9, 4, 1, 0, 0, uint8_t(transparentIndex), 0};
            gif.insert(gif.begin() + std::ptrdiff_t(pos), block, block + 8);
            return;
        }
        if (gif[pos] != 0x21 || pos + 2 >= gif.size()) return;
        if (gif[pos + 1] == 0xF9) {
            // Present: make sure it names our transparent entry.
            if (gif[pos + 2] == 4 && pos + 6 < gif.size()) {
                gif[pos + 3] |= 1;
                gif[pos + 6] = uint8_t(transparentIndex);
            }
            return;
        }
        pos += 2;
        while (pos < gif.size() && gif[pos] != 0) pos += size_t(gif[pos]) + 1;
        ++pos;
    }
}

HResult ReadStream(IStream* stream, std::vector<uint8_t>& out) {
    LARGE_INTEGER zero{};
    ULARGE_INTEGER end{};
    ZELKO_TRY(stream->Seek(zero, STREAM_SEEK_END, &end));
    if (end.QuadPart > 0x7FFFFFFF) return kOutOfMemory;
    ZELKO_TRY(stream->Seek(zero, STREAM_SEEK_SET, nullptr));
    std::vector<uint8_t> bytes(size_t(end.QuadPart));
    ULONG read = 0;
    ZELKO_TRY(stream->Read(bytes.data(), ULONG(bytes.size()), &read));
    if (read != bytes.size()) return kFail;
    out = std::move(bytes);
    return kOk;
}

// Writes 32-bit BGRA pixels, converting when the encoder asks for another
// pixel format (JPEG and BMP encoders want 24-bit).
HResult WriteBgraFrame(IWICImagingFactory* factory, IWICBitmapFrameEncode* frame, const Bgra& picture,
                       const GUID& wanted) {
    const UINT w = UINT(picture.width), h = UINT(picture.height);
    WICPixelFormatGUID format = wanted;
    ZELKO_TRY(frame->SetPixelFormat(&format));
    BYTE* pixels = const_cast<BYTE*>(picture.pixels.data());
    const UINT size = UINT(picture.pixels.size());
    if (IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA)) return HResult(frame->WritePixels(h, w * 4, size, pixels));
    ComPtr<IWICBitmap> bitmap;
    ZELKO_TRY(factory->CreateBitmapFromMemory(w, h, GUID_WICPixelFormat32bppBGRA, w * 4, size, pixels, bitmap.put()));
    ComPtr<IWICFormatConverter> converter;
    ZELKO_TRY(factory->CreateFormatConverter(converter.put()));
    ZELKO_TRY(
        converter->Initialize(bitmap.get(), format, WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom));
    return HResult(frame->WriteSource(converter.get(), nullptr));
}

// 8-bit indexed with our own palette: WIC's automatic one is approximate.
HResult WriteGifFrame(IWICImagingFactory* factory, IWICBitmapFrameEncode* frame, const Bgra& picture,
                      const Indexed& indexed) {
    const UINT w = UINT(picture.width), h = UINT(picture.height);
    std::vector<WICColor> colours(indexed.paletteRgb.size() / 3);
    for (size_t i = 0; i < colours.size(); ++i) {
        const uint8_t* c = &indexed.paletteRgb[i * 3];
        const WICColor alpha = int(i) == indexed.transparentIndex ? 0u : 0xFF000000u;
        colours[i] = alpha | WICColor(c[0]) << 16 | WICColor(c[1]) << 8 | c[2];
    }
    ComPtr<IWICPalette> palette;
    ZELKO_TRY(factory->CreatePalette(palette.put()));
    ZELKO_TRY(palette->InitializeCustom(colours.data(), UINT(colours.size())));
    WICPixelFormatGUID format = GUID_WICPixelFormat8bppIndexed;
    ZELKO_TRY(frame->SetPixelFormat(&format));
    if (!IsEqualGUID(format, GUID_WICPixelFormat8bppIndexed)) return kNotSupported;
    ZELKO_TRY(frame->SetPalette(palette.get()));
    if (indexed.transparentIndex >= 0) {
        // Where the encoder offers metadata, say it the documented way too.
        ComPtr<IWICMetadataQueryWriter> writer;
        if (SUCCEEDED(frame->GetMetadataQueryWriter(writer.put())) && writer) {
            PROPVARIANT value;
            PropVariantInit(&value);
            value.vt = VT_BOOL;
            value.boolVal = VARIANT_TRUE;
            writer->SetMetadataByName(L"/grctlext/TransparencyFlag", &value);
            value.vt = VT_UI1;
            value.bVal = BYTE(indexed.transparentIndex);
            writer->SetMetadataByName(L"/grctlext/TransparentColorIndex", &value);
        }
    }
    return HResult(frame->WritePixels(h, w, w * h, const_cast<BYTE*>(indexed.indices.data())));
}

} // namespace

HResult DecodeWithBackEnd(const uint8_t* data, size_t size, ImageFileFormat format, Bgra& picture) {
    const GUID* container = ContainerGuid(format);
    if (!container) return kNotSupported;
    if (size > 0x7FFFFFFF) return kInvalidArg;
    ComScope com;
    ZELKO_TRY(com.Status());
    ComPtr<IWICImagingFactory> factory;
    ZELKO_TRY(CreateFactory(factory));
    ComPtr<IWICStream> stream;
    ZELKO_TRY(factory->CreateStream(stream.put()));
    ZELKO_TRY(stream->InitializeFromMemory(const_cast<BYTE*>(data), DWORD(size)));
    // The decoder of the detected type only: WIC would also take ICO, JPEG XR...
    ComPtr<IWICBitmapDecoder> decoder;
    ZELKO_TRY(factory->CreateDecoder(*container, nullptr, decoder.put()));
    ZELKO_TRY(decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand));
    ComPtr<IWICBitmapFrameDecode> frame;
    ZELKO_TRY(decoder->GetFrame(0, frame.put()));
    UINT width = 0, height = 0;
    ZELKO_TRY(frame->GetSize(&width, &height));
    HResult hr = CheckDimensions(width, height);
    if (Failed(hr)) return hr;
    ComPtr<IWICFormatConverter> converter;
    ZELKO_TRY(factory->CreateFormatConverter(converter.put()));
    ZELKO_TRY(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                    WICBitmapPaletteTypeCustom));
    std::vector<uint8_t> pixels(size_t(width) * height * 4);
    ZELKO_TRY(converter->CopyPixels(nullptr, width * 4, UINT(pixels.size()), pixels.data()));
    picture.width = width;
    picture.height = height;
    picture.pixels = std::move(pixels);
    return kOk;
}

HResult EncodeWithBackEnd(const Bgra& picture, ImageFileFormat format, std::vector<uint8_t>& out) {
    const GUID* container = ContainerGuid(format);
    if (!container) return kNotSupported;
    ComScope com;
    ZELKO_TRY(com.Status());
    ComPtr<IWICImagingFactory> factory;
    ZELKO_TRY(CreateFactory(factory));
    ComPtr<IStream> stream(SHCreateMemStream(nullptr, 0));
    if (!stream) return kOutOfMemory;
    ComPtr<IWICBitmapEncoder> encoder;
    ZELKO_TRY(factory->CreateEncoder(*container, nullptr, encoder.put()));
    ZELKO_TRY(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache));
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    ZELKO_TRY(encoder->CreateNewFrame(frame.put(), options.put()));
    if (format == ImageFileFormat::JPEG && options) {
        PROPBAG2 name{};
        name.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
        VARIANT quality;
        VariantInit(&quality);
        quality.vt = VT_R4;
        quality.fltVal = 0.9f;
        options->Write(1, &name, &quality); // a refusal keeps the default quality
    }
    ZELKO_TRY(frame->Initialize(options.get()));
    ZELKO_TRY(frame->SetSize(UINT(picture.width), UINT(picture.height)));
    Indexed indexed;
    if (format == ImageFileFormat::GIF) {
        indexed = ToIndexed(picture);
        ZELKO_TRY(WriteGifFrame(factory.get(), frame.get(), picture, indexed));
    } else {
        // Opaque BMPs (translucent ones never get here) and JPEGs are 24-bit.
        const bool rgb = format == ImageFileFormat::BMP || format == ImageFileFormat::JPEG;
        ZELKO_TRY(WriteBgraFrame(factory.get(), frame.get(), picture,
                                 rgb ? GUID_WICPixelFormat24bppBGR : GUID_WICPixelFormat32bppBGRA));
    }
    ZELKO_TRY(frame->Commit());
    ZELKO_TRY(encoder->Commit());
    std::vector<uint8_t> bytes;
    ZELKO_TRY(ReadStream(stream.get(), bytes));
    if (format == ImageFileFormat::GIF) EnsureGifTransparency(bytes, indexed.transparentIndex);
    out = std::move(bytes);
    return kOk;
}

} // namespace zelko::imagefile

#endif // _WIN32
