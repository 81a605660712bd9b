#pragma once
// A registered HTML panel on a fake event library and a fake plug-in.

#include "FakePanelHost.h"
#include "HTMLPanel.h"
#include "PanelManager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

class PanelTest : public ::testing::Test
{
protected:
    PanelTest() : panel(&events.library) { EXPECT_EQ(panel.RegisterHandler(), 0u); }

    // Sends a message as the panel does and answers what the plug-in sent back (JSON texts).
    std::vector<std::string> Send(const std::string& message)
    {
        events.dispatched.clear();
        events.Deliver(message);
        return events.Messages();
    }

    FakePanelHost host;
    FakeEventLibrary events;
    HTMLPanel panel;
};
