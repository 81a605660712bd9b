// Arbitrary bytes as panel messages, through the event library's listener as the host delivers
// them, on an enabled plug-in connected to a font manager with fonts, workgroups and smart lists.
// Every font-list file a message writes is deleted again by the panel's own request.

#include "FakePanelHost.h"
#include "GLogger.h"
#include "HTMLPanel.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace
{
struct GFixture
{
    GFixture() : panel(&events.library)
    {
        host.fonts = {{1001, "Carlito-Regular", "Carlito Regular", "Carlito"},
                      {1002, "Carlito-Bold", "Carlito Bold", "Carlito", 9},
                      {1003, "Carlito-Bold", "Carlito Bold 2", "Carlito", 10, 0, true},
                      {2001, "Caladea-Regular", "Caladea Regular", "Caladea", 4, 3}};
        host.tree = "Workgroups: 1\nSets: 5\n";
        panel.RegisterHandler();
    }

    FakePanelHost host;
    FakeEventLibrary events;
    HTMLPanel panel;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static GFixture* sFixture = new GFixture();
    GFixture& fixture = *sFixture;
    // Each input starts from the same font manager state (inputs that create smart lists would
    // otherwise grow it without end).
    fixture.events.dispatched.clear();
    fixture.host.calls.clear();
    fixture.host.keyMessages.clear();
    fixture.host.smartLists = {{1, FakeSmartList{"Titles", {1}, {5}, {}}}};
    fixture.host.longPreferences.clear();
    fixture.host.boolPreferences.clear();
    fixture.events.Deliver(std::string(reinterpret_cast<const char*>(data), size));
    fixture.panel.SelectSocket(true);
    fixture.panel.PopNotifications();
    while (!fixture.panel.GetTemporaryFiles().empty())
    {
        const std::string url = fixture.panel.GetTemporaryFiles().begin()->first;
        fixture.events.Deliver("{\"messageID\":13,\"filename\":\"" + url + "\"}");
        if (fixture.panel.GetTemporaryFiles().count(url) != 0)
        {
            __builtin_trap(); // the panel's own URL must delete its file
        }
    }
    return 0;
}
