#include "GPreviewRenderer_Win.h"

#include "GStringEncodings.h"

#include <windows.h>

#include <wincodec.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <vector>

namespace
{
// Releases a COM interface at the end of its scope.
template <typename T>
class GComPointer
{
public:
    GComPointer() = default;
    ~GComPointer()
    {
        if (mPointer != nullptr)
        {
            mPointer->Release();
        }
    }
    GComPointer(const GComPointer&) = delete;
    GComPointer& operator=(const GComPointer&) = delete;
    T** Out() { return &mPointer; }
    T* operator->() const { return mPointer; }
    T* Get() const { return mPointer; }

private:
    T* mPointer = nullptr;
};

// COM on the calling thread for the duration of a scope.
class GComScope
{
public:
    GComScope() : mResult(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~GComScope()
    {
        if (SUCCEEDED(mResult))
        {
            CoUninitialize();
        }
    }
    // RPC_E_CHANGED_MODE: the thread has COM already, in the other model; it works all the same.
    bool Ok() const { return SUCCEEDED(mResult) || mResult == RPC_E_CHANGED_MODE; }

private:
    HRESULT mResult;
};

// A font file added to this process only, removed again at the end of the scope.
class GPrivateFont
{
public:
    explicit GPrivateFont(std::wstring path) : mPath(std::move(path))
    {
        mAdded = AddFontResourceExW(mPath.c_str(), FR_PRIVATE, nullptr) > 0;
    }
    ~GPrivateFont()
    {
        if (mAdded)
        {
            RemoveFontResourceExW(mPath.c_str(), FR_PRIVATE, nullptr);
        }
    }
    bool Added() const { return mAdded; }

private:
    std::wstring mPath;
    bool mAdded = false;
};

class GDrawing
{
public:
    GDrawing(int width, int height) : mWidth(width), mHeight(height), mContext(CreateCompatibleDC(nullptr))
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height; // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        if (mContext != nullptr)
        {
            mBitmap = CreateDIBSection(mContext, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&mPixels),
                                       nullptr, 0);
        }
        if (mBitmap != nullptr)
        {
            mOldBitmap = SelectObject(mContext, mBitmap);
            std::fill(mPixels, mPixels + static_cast<std::size_t>(width) * height * 4, 0xFF);
        }
    }
    ~GDrawing()
    {
        if (mOldFont != nullptr)
        {
            SelectObject(mContext, mOldFont);
        }
        if (mFont != nullptr)
        {
            DeleteObject(mFont);
        }
        if (mOldBitmap != nullptr)
        {
            SelectObject(mContext, mOldBitmap);
        }
        if (mBitmap != nullptr)
        {
            DeleteObject(mBitmap);
        }
        if (mContext != nullptr)
        {
            DeleteDC(mContext);
        }
    }
    GDrawing(const GDrawing&) = delete;
    GDrawing& operator=(const GDrawing&) = delete;

    bool Ok() const { return mPixels != nullptr; }
    HDC Context() const { return mContext; }
    BYTE* Pixels() const { return mPixels; }
    int Width() const { return mWidth; }
    int Height() const { return mHeight; }

    // Selects the font (owned from now on), replacing the one selected before.
    void UseFont(HFONT font)
    {
        HGDIOBJ previous = SelectObject(mContext, font);
        if (mOldFont == nullptr)
        {
            mOldFont = previous;
        }
        if (mFont != nullptr)
        {
            DeleteObject(mFont);
        }
        mFont = font;
    }

private:
    int mWidth;
    int mHeight;
    HDC mContext;
    HBITMAP mBitmap = nullptr;
    HGDIOBJ mOldBitmap = nullptr;
    HFONT mFont = nullptr;
    HGDIOBJ mOldFont = nullptr;
    BYTE* mPixels = nullptr;
};

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
    {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return text;
}

// The weight a style name stands for ("Bold Italic" -> 700).
LONG WeightOfStyle(const std::wstring& style)
{
    const std::wstring lower = Lower(style);
    const std::pair<const wchar_t*, LONG> weights[] = {
        {L"extrabold", FW_EXTRABOLD}, {L"ultrabold", FW_EXTRABOLD},   {L"semibold", FW_SEMIBOLD},
        {L"demibold", FW_SEMIBOLD},   {L"extralight", FW_EXTRALIGHT}, {L"ultralight", FW_EXTRALIGHT},
        {L"black", FW_HEAVY},         {L"heavy", FW_HEAVY},           {L"bold", FW_BOLD},
        {L"medium", FW_MEDIUM},       {L"light", FW_LIGHT},           {L"thin", FW_THIN},
    };
    for (const auto& [name, weight] : weights)
    {
        if (lower.find(name) != std::wstring::npos)
        {
            return weight;
        }
    }
    return FW_NORMAL;
}

// Whether the face selected into the context has the full name wanted.
bool SelectedFaceIs(HDC context, const std::wstring& fullName)
{
    const UINT size = GetOutlineTextMetricsW(context, 0, nullptr);
    if (size == 0 || fullName.empty())
    {
        return false;
    }
    std::vector<BYTE> buffer(size);
    auto* metrics = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.data());
    if (GetOutlineTextMetricsW(context, size, metrics) == 0)
    {
        return false;
    }
    // otmpFaceName holds the full name, otmpFullName the unique name; either may be asked for.
    for (const PSTR offset : {metrics->otmpFaceName, metrics->otmpFullName})
    {
        const std::size_t at = reinterpret_cast<std::size_t>(offset);
        if (at > 0 && at < size &&
            Lower(reinterpret_cast<const wchar_t*>(buffer.data() + at)) == Lower(fullName))
        {
            return true;
        }
    }
    return false;
}

bool WritePNG(const std::wstring& path, const BYTE* pixels, int width, int height, std::string& error)
{
    GComScope com;
    if (!com.Ok())
    {
        error = "COM is not available";
        return false;
    }
    GComPointer<IWICImagingFactory> factory;
    GComPointer<IWICStream> stream;
    GComPointer<IWICBitmapEncoder> encoder;
    GComPointer<IWICBitmapFrameEncode> frame;
    GComPointer<IPropertyBag2> options;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    const UINT stride = static_cast<UINT>(width) * 4;
    // Each step runs while the ones before it succeeded.
    HRESULT result = S_OK;
    const char* failed = nullptr;
    auto step = [&](const char* what, auto&& call)
    {
        if (failed == nullptr && FAILED(result = call()))
        {
            failed = what;
        }
    };
    step("creating the imaging factory",
         [&]
         {
             return CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IWICImagingFactory, reinterpret_cast<void**>(factory.Out()));
         });
    step("creating the stream", [&] { return factory->CreateStream(stream.Out()); });
    step("opening the file", [&] { return stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE); });
    step("creating the PNG encoder",
         [&] { return factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Out()); });
    step("starting the PNG encoder",
         [&] { return encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache); });
    step("creating the image", [&] { return encoder->CreateNewFrame(frame.Out(), options.Out()); });
    step("starting the image", [&] { return frame->Initialize(options.Get()); });
    step("sizing the image",
         [&] { return frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height)); });
    step("choosing the pixel format",
         [&]
         {
             const HRESULT set = frame->SetPixelFormat(&format);
             return SUCCEEDED(set) && !IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA)
                        ? WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT
                        : set;
         });
    step("writing the pixels",
         [&]
         {
             return frame->WritePixels(static_cast<UINT>(height), stride, stride * static_cast<UINT>(height),
                                       const_cast<BYTE*>(pixels));
         });
    step("completing the image", [&] { return frame->Commit(); });
    step("completing the file", [&] { return encoder->Commit(); });
    if (failed != nullptr)
    {
        char text[128];
        std::snprintf(text, sizeof(text), "%s failed (0x%08lx)", failed, static_cast<unsigned long>(result));
        error = text;
        return false;
    }
    return true;
}
} // namespace

bool GGdiPreviewRenderer::Render(const typehold::GPreviewImage& image, std::string& error)
{
    const int scale = std::max(1, image.scale);
    GPrivateFont font(OSMakeOSStringFromUTF8String(image.fontFile));
    if (!font.Added())
    {
        error = "GDI cannot load the font file";
        return false;
    }
    GDrawing drawing(image.width * scale, image.height * scale);
    if (!drawing.Ok())
    {
        error = "no bitmap of " + std::to_string(image.width * scale) + "x" +
                std::to_string(image.height * scale);
        return false;
    }

    // By the full name first; when GDI picks another face for it, by family, weight and slant.
    const std::wstring fullName = OSMakeOSStringFromUTF8String(image.fullName);
    const std::wstring style = OSMakeOSStringFromUTF8String(image.style);
    LOGFONTW wanted{};
    wanted.lfHeight = -MulDiv(image.pointSize * scale, 96, 72);
    wanted.lfCharSet = DEFAULT_CHARSET;
    wanted.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    wanted.lfQuality = ANTIALIASED_QUALITY;
    lstrcpynW(wanted.lfFaceName, fullName.c_str(), LF_FACESIZE);
    drawing.UseFont(CreateFontIndirectW(&wanted));
    if (fullName.size() >= LF_FACESIZE || !SelectedFaceIs(drawing.Context(), fullName))
    {
        lstrcpynW(wanted.lfFaceName, OSMakeOSStringFromUTF8String(image.family).c_str(), LF_FACESIZE);
        wanted.lfWeight = WeightOfStyle(style);
        const std::wstring lowerStyle = Lower(style);
        wanted.lfItalic = lowerStyle.find(L"italic") != std::wstring::npos ||
                          lowerStyle.find(L"oblique") != std::wstring::npos;
        drawing.UseFont(CreateFontIndirectW(&wanted));
    }

    SetTextColor(drawing.Context(), RGB(0, 0, 0));
    SetBkMode(drawing.Context(), TRANSPARENT);
    RECT area{2 * scale, 0, drawing.Width(), drawing.Height()};
    const std::wstring text = OSMakeOSStringFromUTF8String(image.text);
    DrawTextW(drawing.Context(), text.c_str(), static_cast<int>(text.size()), &area,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    GdiFlush();

    // Black ink whose opacity is the coverage GDI drew.
    BYTE* pixels = drawing.Pixels();
    const std::size_t count = static_cast<std::size_t>(drawing.Width()) * drawing.Height();
    for (std::size_t i = 0; i < count; ++i)
    {
        BYTE* pixel = pixels + i * 4;
        const BYTE lightest = std::min({pixel[0], pixel[1], pixel[2]});
        pixel[0] = pixel[1] = pixel[2] = 0;
        pixel[3] = static_cast<BYTE>(255 - lightest);
    }

    // Written beside the target, then moved over it: a reader never sees half an image.
    const std::wstring target = OSMakeOSStringFromUTF8String(image.pngPath);
    const std::wstring temporary = target + L".tmp-" + std::to_wstring(GetCurrentProcessId());
    if (!WritePNG(temporary, pixels, drawing.Width(), drawing.Height(), error))
    {
        DeleteFileW(temporary.c_str());
        return false;
    }
    if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    {
        error = "the image could not replace " + image.pngPath + " (error " + std::to_string(GetLastError()) +
                ")";
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}
