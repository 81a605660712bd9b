#include "GErrorReport.h"

void ReportCheckFailure(const char* category, TSInt32 level, TErrorCode code, const char* file, int line,
                        const char* expression)
{
    GLogger& logger = GLogger::GetInstance();
    // The name lookup is only worth its cost when the line will be written.
    if (!logger.IsLogged(category != nullptr ? category : "", level))
    {
        return;
    }
    const TUTF8String name = ErrorCodeToString(code);
    logger.Log(category, level, "Error='%s'  File='%s'  Line=%d  Expression='%s'  Code='%u'  ", name.c_str(),
               file != nullptr ? file : "", line, expression != nullptr ? expression : "",
               static_cast<unsigned>(code));
}
