#pragma once
// Files of the host's machine that the panel page may read through the bridge: those whose file
// URL the host side sent the panel (font-list files, previews), and no other.

#include <string>
#include <vector>

// Every file URL ("file:..." string value, at any depth) in the data of a host-side event. The
// data is JSON, or "(" JSON ")" as the plug-in sends it; anything else holds none.
std::vector<std::string> FileUrlsInEventData(const std::string& data);

// The Windows path a file URL names: "file:///C:/a/b", "file://C:/a/b" (any drive letter),
// percent-escapes decoded, "/" made "\". False with why for another form, an empty path, a ".."
// segment, a backslash, a NUL or a malformed escape.
bool HostFilePathFromUrl(const std::string& url, std::string& path, std::string& why);

// The content type of a host file: PNG images by their extension, text otherwise.
std::string HostFileContentType(const std::string& path);
