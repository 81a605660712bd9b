#pragma once
// The panel page's files, as the bridge serves them from the extension folder.

#include <string>

// The file a request path names below the folder (both UTF-8): "/" is "index.html"; a path with
// a ".." segment, a backslash, a colon or a NUL, or one that leads outside the folder once links
// are followed, is refused (false, why says it). The file need not exist.
bool ResolvePanelFile(const std::string& folder, const std::string& requestPath, std::string& file,
                      std::string& why);

// The content type of a file by its extension (case-insensitive); "application/octet-stream"
// for an unknown one.
std::string PanelContentType(const std::string& file);
