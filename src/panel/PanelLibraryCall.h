#pragma once
// Calls of the font manager's interface library from the panel: through the host's loader, with
// the plugin facade first. Without a loader, or an entry, nothing is called and the result is
// value-initialised (0).

#include "LPILoader.h"
#include "PanelHost.h"

template <typename Proc, typename... Args>
auto PanelLibraryCall(Proc LPILoader::*entry, Args... args)
    -> decltype(std::declval<Proc>()(LPIFacade(), args...))
{
    return LPICallWithFacadeOn(PanelHost::Get().GetLPILoader(), entry, args...);
}
