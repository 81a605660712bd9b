#include "SuiteTables.h"

#include <atomic>

namespace
{
std::atomic<UnimplementedReporter> sReporter{nullptr};
} // namespace

const char* SuiteDisplayName(SuiteId suite)
{
    switch (suite)
    {
    case SuiteId::kActionControl:
        return "action control";
    case SuiteId::kActionDescriptor:
        return "action descriptor";
    case SuiteId::kActionReference:
        return "action reference";
    case SuiteId::kActionList:
        return "action list";
    case SuiteId::kHandle1:
        return "handle v1";
    case SuiteId::kHandle2:
        return "handle v2";
    case SuiteId::kCount:
        break;
    }
    return "?";
}

void SetUnimplementedReporter(UnimplementedReporter reporter)
{
    sReporter.store(reporter);
}

void ReportUnimplemented(SuiteId suite, std::size_t slot)
{
    const UnimplementedReporter reporter = sReporter.load();
    if (reporter != nullptr)
    {
        reporter(suite, slot);
    }
}
