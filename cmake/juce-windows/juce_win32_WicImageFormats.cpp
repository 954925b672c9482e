/*
  JPEG and PNG for JUCE's Windows build through the Windows Imaging Component (WIC), in place of
  juce_JPEGLoader.cpp and juce_PNGLoader.cpp, which need libjpeg and libpng. Included by
  juce_graphics.cpp on Windows (see cmake/juce-windows/patches/02-wic-image-formats.patch).

  Decoding converts any frame WIC can read to 32-bit premultiplied BGRA, which is the memory
  layout of JUCE's ARGB images; encoding writes the image's ARGB pixels through WIC's encoder of
  the same container format. COM is initialised for the calling thread when it is not yet.
*/

#include <wincodec.h>

namespace juce {

namespace WicImageFormats {
// COM for the duration of one call, balanced only when this call initialised it.
struct ScopedComInit {
    ScopedComInit() : hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ScopedComInit() {
        if (SUCCEEDED(hr)) CoUninitialize();
    }
    HRESULT hr;
};

static ComSmartPtr<IWICImagingFactory> createFactory() {
    ComSmartPtr<IWICImagingFactory> factory;
    factory.CoCreateInstance(CLSID_WICImagingFactory);
    return factory;
}

static Image decode(InputStream& in) {
    ScopedComInit com;
    MemoryBlock data;
    in.readIntoMemoryBlock(data);

    auto factory = createFactory();
    if (factory == nullptr || data.getSize() == 0) return {};

    ComSmartPtr<IWICStream> stream;
    ComSmartPtr<IWICBitmapDecoder> decoder;
    ComSmartPtr<IWICBitmapFrameDecode> frame;
    ComSmartPtr<IWICFormatConverter> converter;

    if (FAILED(factory->CreateStream(stream.resetAndGetPointerAddress())) ||
        FAILED(stream->InitializeFromMemory(static_cast<BYTE*>(data.getData()), (DWORD)data.getSize())) ||
        FAILED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnLoad,
                                                decoder.resetAndGetPointerAddress())) ||
        FAILED(decoder->GetFrame(0, frame.resetAndGetPointerAddress())) ||
        FAILED(factory->CreateFormatConverter(converter.resetAndGetPointerAddress())) ||
        FAILED(converter->Initialize(frame, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return {};

    UINT width = 0, height = 0;
    if (FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0) return {};

    Image image(Image::ARGB, (int)width, (int)height, false);
    const Image::BitmapData pixels(image, Image::BitmapData::writeOnly);

    if (FAILED(converter->CopyPixels(nullptr, (UINT)pixels.lineStride, (UINT)(pixels.lineStride * pixels.height),
                                     pixels.data)))
        return {};

    return image;
}

static bool encode(const Image& source, OutputStream& out, const GUID& container, float quality) {
    ScopedComInit com;
    auto factory = createFactory();
    if (factory == nullptr || !source.isValid()) return false;

    const Image image(source.convertedToFormat(Image::ARGB));
    const Image::BitmapData pixels(image, Image::BitmapData::readOnly);

    ComSmartPtr<IStream> memory;
    ComSmartPtr<IWICBitmapEncoder> encoder;
    ComSmartPtr<IWICBitmapFrameEncode> frame;
    ComSmartPtr<IPropertyBag2> options;

    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, memory.resetAndGetPointerAddress())) ||
        FAILED(factory->CreateEncoder(container, nullptr, encoder.resetAndGetPointerAddress())) ||
        FAILED(encoder->Initialize(memory, WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.resetAndGetPointerAddress(), options.resetAndGetPointerAddress())))
        return false;

    if (quality >= 0.0f && options != nullptr) {
        PROPBAG2 option = {};
        option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_R4;
        value.fltVal = jlimit(0.0f, 1.0f, quality);
        options->Write(1, &option, &value);
    }

    WICPixelFormatGUID format = GUID_WICPixelFormat32bppPBGRA;

    if (FAILED(frame->Initialize(options)) || FAILED(frame->SetSize((UINT)pixels.width, (UINT)pixels.height)) ||
        FAILED(frame->SetPixelFormat(&format)))
        return false;

    // The encoder may ask for another layout (JPEG has no alpha): convert through a bitmap.
    ComSmartPtr<IWICBitmap> bitmap;
    if (FAILED(factory->CreateBitmapFromMemory((UINT)pixels.width, (UINT)pixels.height, GUID_WICPixelFormat32bppPBGRA,
                                               (UINT)pixels.lineStride, (UINT)(pixels.lineStride * pixels.height),
                                               pixels.data, bitmap.resetAndGetPointerAddress())) ||
        FAILED(frame->WriteSource(bitmap, nullptr)) || FAILED(frame->Commit()) || FAILED(encoder->Commit()))
        return false;

    HGLOBAL global = nullptr;
    if (FAILED(GetHGlobalFromStream(memory, &global))) return false;

    STATSTG stat = {};
    if (FAILED(memory->Stat(&stat, STATFLAG_NONAME))) return false;

    const void* bytes = GlobalLock(global);
    const bool written = bytes != nullptr && out.write(bytes, (size_t)stat.cbSize.QuadPart);
    GlobalUnlock(global);
    return written;
}
}  // namespace WicImageFormats

//==============================================================================
JPEGImageFormat::JPEGImageFormat() : quality(-1.0f) {}
JPEGImageFormat::~JPEGImageFormat() {}

void JPEGImageFormat::setQuality(const float newQuality) { quality = newQuality; }

String JPEGImageFormat::getFormatName() { return "JPEG"; }
bool JPEGImageFormat::usesFileExtension(const File& f) { return f.hasFileExtension("jpeg;jpg"); }

bool JPEGImageFormat::canUnderstand(InputStream& in) {
    uint8 header[3];
    return in.read(header, 3) == 3 && header[0] == 0xff && header[1] == 0xd8 && header[2] == 0xff;
}

Image JPEGImageFormat::decodeImage(InputStream& in) { return WicImageFormats::decode(in); }

bool JPEGImageFormat::writeImageToStream(const Image& image, OutputStream& out) {
    return WicImageFormats::encode(image, out, GUID_ContainerFormatJpeg, quality);
}

//==============================================================================
PNGImageFormat::PNGImageFormat() {}
PNGImageFormat::~PNGImageFormat() {}

String PNGImageFormat::getFormatName() { return "PNG"; }
bool PNGImageFormat::usesFileExtension(const File& f) { return f.hasFileExtension("png"); }

bool PNGImageFormat::canUnderstand(InputStream& in) {
    char header[4];
    return in.read(header, 4) == 4 && header[1] == 'P' && header[2] == 'N' && header[3] == 'G';
}

Image PNGImageFormat::decodeImage(InputStream& in) { return WicImageFormats::decode(in); }

bool PNGImageFormat::writeImageToStream(const Image& image, OutputStream& out) {
    return WicImageFormats::encode(image, out, GUID_ContainerFormatPng, -1.0f);
}

}  // namespace juce
