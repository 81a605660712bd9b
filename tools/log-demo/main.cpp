// portolan-log-demo LOGFILE
// Exercises the core utilities' logging the way the plug-in does: a file destination, the
// plug-in trace, failed-check reports from several modules and threads, and lock failures.
#include "GBlockingLockStrategy.h"
#include "GDateTime.h"
#include "GErrorReport.h"
#include "GFileLogDestination.h"
#include "GMutex.h"
#include "GScopedLock.h"

#include <cstdio>
#include <thread>
#include <vector>

namespace
{
constexpr const char* kLogCategory = "Miscellaneous";

TErrorCode OpenDocument(const char* path, bool exists)
{
    TraceLog(1, "Entering %s(path=%s)", "OpenDocument", path);
    G_FAIL_IF(!exists, MakeErrorCode(1, ErrorModule::kGFileSystem));
    TraceLog(-1, "Exiting %s()", "OpenDocument");
    return CoreErrorCodes::kSuccess;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: portolan-log-demo LOGFILE\n");
        return 2;
    }
    if (!EnableFileLogging(argv[1]))
    {
        std::fprintf(stderr, "portolan-log-demo: cannot open '%s' for writing\n", argv[1]);
        return 1;
    }
    GLogger& logger = GLogger::GetInstance();
    logger.Log("Plugin", GLogger::kWarning, "log opened with the default thresholds (Warning)");
    logger.Log("Plugin", GLogger::kInfo, "an Info line is filtered out by default");

    // Raise the plug-in trace and the lock category to see their lines.
    logger.SetThreshold("Plugin", GLogger::kInfo);
    logger.SetThreshold("Lockable", GLogger::kDebug);

    OpenDocument("C:\\Documents\\poster.psd", true);
    const TErrorCode missing = OpenDocument("C:\\Documents\\missing.psd", false);
    TraceLog(0, "OpenDocument returned %s (0x%08X)", ErrorCodeToString(missing).c_str(), missing);

    GDateTime parsed("2026-13-01T10:00:00Z");
    TraceLog(0, "date after a failed parse formats as '%s'", parsed.ToISO8601String().c_str());
    TraceLog(0, "distant future is %s", GDateTime::DistantFuture().ToISO8601String().c_str());

    GMutex mutex;
    {
        GScopedLock outer(mutex, true, new GBlockingLockStrategy);
        GScopedLock inner(mutex, true, new GBlockingLockStrategy);
        TraceLog(0, "second lock on the same thread: locked=%d", inner.IsLocked() ? 1 : 0);
    }

    std::vector<std::thread> workers;
    for (int id = 0; id < 3; ++id)
    {
        workers.emplace_back(
            [id, &mutex]
            {
                GScopedLock lock(mutex, true, new GBlockingLockStrategy);
                GLogger::GetInstance().Log("Plugin", GLogger::kWarning, "worker %d holds the shared mutex",
                                           id);
            });
    }
    for (std::thread& worker : workers)
    {
        worker.join();
    }
    logger.Log("Plugin", GLogger::kWarning, "done");
    return 0;
}
