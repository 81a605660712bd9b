#include "HTMLPanel.h"

#include "GErrorReport.h"
#include "GHostGuard.h"
#include "GJSONUtils.h"
#include "GLogger.h"
#include "PanelHost.h"
#include "PanelMessageKeys.h"
#include "PanelSupport.h"
#include "PlugPlugLibrary.h"
#include "XCFUtils.h"

#include <algorithm>

using namespace PanelKey;

namespace
{
constexpr const char* kLogCategory = "Miscellaneous";

// A preview image's path as a URL: forward slashes, "file://" directly before the path.
TUTF8String ImageURL(CFDictionaryRef image, CFStringRef key)
{
    CFStringRef path = image != nullptr ? XCFDictionaryGetString(image, key) : nullptr;
    if (path == nullptr)
    {
        return TUTF8String();
    }
    TUTF8String url = XCFStringCopyUTF8(path);
#ifdef _WIN32
    std::replace(url.begin(), url.end(), '\\', '/');
#endif
    return "file://" + url;
}
} // namespace

TErrorCode HTMLPanel::RegisterHandler()
{
    mUIThread = std::this_thread::get_id();
    const TSInt32 result =
        mPlugPlug != nullptr ? mPlugPlug->AddEventListener(kPanelToPluginEvent, EventCallback, this) : 1;
    if (result != csxs::event::kEventErrorCode_Success)
    {
        ReportCheckFailure(
            kLogCategory, GLogger::kDebug, CoreErrorCodes::kNotInitialized, __FILE__, __LINE__,
            "mPlugPlug->AddEventListener(\"com.lumorand.PanelToPlugin\", EventCallback, this) != "
            "csxs::event::kEventErrorCode_Success");
        return CoreErrorCodes::kNotInitialized;
    }
    return CoreErrorCodes::kSuccess;
}

void HTMLPanel::EventCallback(const csxs::event::Event* event, void* context)
{
    GuardForHost("HTMLPanel::EventCallback",
                 [&]
                 {
                     if (context == nullptr)
                     {
                         return;
                     }
                     const char* data = event != nullptr ? event->data : nullptr;
                     static_cast<HTMLPanel*>(context)->Receive(data != nullptr ? TUTF8String(data)
                                                                               : TUTF8String());
                 });
}

void HTMLPanel::Receive(const TUTF8String& message)
{
    if (std::this_thread::get_id() != mUIThread)
    {
        std::lock_guard<std::mutex> lock(mHandedOverLock);
        mHandedOver.push_back(message);
        return;
    }
    HandleGuarded(message);
}

void HTMLPanel::HandleGuarded(const TUTF8String& message)
{
    // The JSON layer throws on invalid UTF-8 and on a non-integer element of an integer array:
    // such a message ends as a failed one, nothing is sent.
    try
    {
        HandleMessage(message);
    }
    catch (const std::exception& exception)
    {
        GLogger::GetInstance().LogError(kLogCategory, "A panel message was dropped: %s", exception.what());
    }
}

TErrorCode HTMLPanel::SelectSocket(bool /*closeListeningSocket*/)
{
    std::deque<TUTF8String> messages;
    {
        std::lock_guard<std::mutex> lock(mHandedOverLock);
        messages.swap(mHandedOver);
    }
    for (const TUTF8String& message : messages)
    {
        HandleGuarded(message);
    }
    return CoreErrorCodes::kSuccess;
}

TErrorCode HTMLPanel::SendMessage(const TUTF8String& message)
{
    G_FAIL_IF(mPlugPlug == nullptr, CoreErrorCodes::kNullPointer);
    csxs::event::Event event{};
    event.type = kPluginToPanelEvent;
    event.scope = csxs::event::kEventScope_Application;
    event.appId = "HTML";
    event.extensionId = nullptr;
    event.data = message.c_str();
    // The library's answer is not the panel's concern: a message that does not arrive is lost.
    mPlugPlug->DispatchEvent(event);
    return CoreErrorCodes::kSuccess;
}

void HTMLPanel::AddFontImage(TUInt32 fontID, const TUTF8String& url, const TUTF8String& url2x)
{
    mFontImages.push_back(FontImage{fontID, url, url2x});
}

TErrorCode HTMLPanel::SendFontImages(CFDictionaryRef fontImages)
{
    if (!PanelHost::Get().IsConnectedToCore())
    {
        return CoreErrorCodes::kSuccess;
    }
    mFontImages.clear();
    if (fontImages != nullptr && CFGetTypeID(fontImages) == CFDictionaryGetTypeID())
    {
        const CFIndex count = CFDictionaryGetCount(fontImages);
        std::vector<const void*> keys(static_cast<std::size_t>(count));
        std::vector<const void*> values(static_cast<std::size_t>(count));
        CFDictionaryGetKeysAndValues(fontImages, keys.data(), values.data());
        for (CFIndex index = 0; index < count; ++index)
        {
            long long fontID = 0;
            if (keys[index] == nullptr || CFGetTypeID(keys[index]) != CFNumberGetTypeID() ||
                !CFNumberGetValue(static_cast<CFNumberRef>(keys[index]), kCFNumberLongLongType, &fontID))
            {
                continue;
            }
            CFDictionaryRef image =
                values[index] != nullptr && CFGetTypeID(values[index]) == CFDictionaryGetTypeID()
                    ? static_cast<CFDictionaryRef>(values[index])
                    : nullptr;
            AddFontImage(static_cast<TUInt32>(fontID), ImageURL(image, CFSTR("pngFilename")),
                         ImageURL(image, CFSTR("2xPNGFilename")));
        }
    }
    JsonParser parser;
    JsonNode root = PanelSupport::NewObject(parser);
    JsonNode value;
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(PanelMessage::kGetFontPNG, kMessageIDKey, root, value));
    JsonNode fonts;
    G_FAIL_IF_ERROR(GJSONUtils::AddArrayForKey(kFontsKey, root, fonts));
    for (const FontImage& image : mFontImages)
    {
        JsonNode entry;
        G_FAIL_IF_ERROR(GJSONUtils::AddMapToArray(fonts, entry));
        G_FAIL_IF_ERROR(
            GJSONUtils::SetValueForKey(static_cast<TSInt64>(image.fontID), kFontIDKey, entry, value));
        G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(image.url, kPNGFilenameKey, entry, value));
        G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(image.url2x, k2xPNGFilenameKey, entry, value));
    }
    return SendJSON(root, "32");
}
