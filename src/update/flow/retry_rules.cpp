#include "update/flow/retry_rules.h"

int countAttempt(int nAttempt, int httpStatus, unsigned errorCode) {
    if (httpStatus == 503 || errorCode == 12002)
        return kAttemptsUseless;
    return nAttempt + 1;
}

std::string networkFailureText(const std::string& request, unsigned errorCode,
                               const std::string& systemText, int httpStatus) {
    return "Network error, Request: " + request +
           "\n  .. System error code: " + std::to_string(errorCode) + ", " + systemText +
           "\n  .. Http error code: " + std::to_string(httpStatus);
}
