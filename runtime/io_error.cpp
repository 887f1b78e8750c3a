// One pending I/O error per thread.
#include "runtime/io_error.hpp"

namespace {
thread_local int pendingError = 0;
}

void SetIoError(int code) {
    if (code != 0) pendingError = code;
}

bool IoErrorPending() { return pendingError != 0; }

int TakeIoError() {
    const int code = pendingError;
    pendingError = 0;
    return code;
}
