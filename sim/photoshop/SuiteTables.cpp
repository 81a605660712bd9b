#include "SuiteTables.h"

#include <atomic>

namespace
{
std::atomic<UnexpectedCallReporter> sReporter{nullptr};
} // namespace

const char* SuiteDisplayName(SuiteId suite)
{
    switch (suite)
    {
    case SuiteId::kBasic:
        return "SP basic";
    case SuiteId::kActionControl:
        return "action control";
    case SuiteId::kBasicActionControl:
        return "basic action control";
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
    case SuiteId::kScripting:
        return "JavaScript scripting";
    case SuiteId::kCount:
        break;
    }
    return "?";
}

void SetUnexpectedCallReporter(UnexpectedCallReporter reporter)
{
    sReporter.store(reporter);
}

void ReportUnexpectedCall(SuiteId suite, std::size_t slot)
{
    const UnexpectedCallReporter reporter = sReporter.load();
    if (reporter != nullptr)
    {
        reporter(suite, slot);
    }
}
