#include "update/flow/download_progress.h"

#include <algorithm>

ProgressView computeProgress(const ByteCounters& bytes, uint64_t runBytes, uint64_t unpackedKb,
                             bool launcherOnly) {
    ProgressView view;
    view.receivedKb = static_cast<float>(bytes.nBytesReceived / 1024);
    view.totalKb = static_cast<float>(bytes.nBytesTotal / 1024);
    if (view.totalKb == 0)
        view.totalKb = view.receivedKb;
    view.downloadPhase = view.totalKb > view.receivedKb || launcherOnly;
    if (view.downloadPhase) {
        view.percent = view.totalKb == 0 ? 100.0f : view.receivedKb * 100 / view.totalKb;
    } else {
        const uint64_t runKb = runBytes / 1024;
        view.percent = runKb == 0 ? 100.0f : static_cast<float>(unpackedKb * 100 / runKb);
    }
    view.barValue = std::clamp(static_cast<int>(view.percent), 0, 100);
    return view;
}
