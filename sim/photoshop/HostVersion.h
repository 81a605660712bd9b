#pragma once
// Playing another Photoshop version: the plug-in reads the host version from the version
// resource of the running executable, so photoshop-sim copies itself (with the DLLs beside it)
// into a scratch folder, rewrites the copy's version resource, checks it by reading it back, runs
// the copy with the given arguments and passes its exit code through.

#include "VersionResource.h"

#include <string>
#include <vector>

// arguments: the command line without the program name and without --host-version. Returns the
// copy's exit code, or 2 when the copy could not be made or started.
int RunAsHostVersion(const VersionNumbers& version, const std::vector<std::wstring>& arguments);

// This program's full path.
std::wstring ExecutablePath();
// The fixed file version of a file's version resource, as the plug-in reads its host's.
bool ReadFileVersion(const std::wstring& path, VersionNumbers& version);
