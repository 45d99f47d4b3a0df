// What the main frame keeps of its exchange with the worker, for tests: the error reports the
// worker is waiting on.
#pragma once

#include "shell/MainFrame.h"

#include <cstddef>
#include <mutex>

struct MainFrameTestAccess {
    static std::size_t PendingErrorReports(CMainFrame& frame) {
        std::lock_guard lock(frame.m_errorMutex);
        return frame.m_pendingErrors.size();
    }
};
