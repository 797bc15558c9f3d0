// The cost of cutting a received burst into frames, against a plain copy of
// the same bytes, for bursts of two sizes to show that the cost is linear.

#include "serviceprotocol.h"

#include <benchmark/benchmark.h>

namespace {

// Back-to-back 29-byte RS232C-settings replies, as many as fit in `bytes`.
QByteArray burstOfReplies(int bytes)
{
    Rs232cSettings settings;
    settings.bitrate = 115200;
    settings.stopbits = 1;
    settings.termcharCode = 0x0A;
    settings.idnQuery = "*IDN?";
    QByteArray reply = encodeRs232cSettings(settings);
    reply[2] = static_cast<char>(FrameType::Rs232cSyncFrom);

    QByteArray burst;
    burst.reserve(bytes);
    for (int i = 0; i < bytes / reply.size(); ++i)
        burst += reply;
    return burst;
}

void reassembleBurst(benchmark::State &state)
{
    const QByteArray burst = burstOfReplies(static_cast<int>(state.range(0)));
    const int64_t frames = burst.size() / 29;
    for (auto _ : state) {
        FrameBuffer buffer;
        buffer.append(burst);
        int64_t taken = 0;
        while (const std::optional<QByteArray> frame = buffer.takeFrame()) {
            benchmark::DoNotOptimize(frame->constData());
            ++taken;
        }
        if (taken != frames) {
            state.SkipWithError("the burst did not come out as whole frames");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * burst.size());
    state.counters["frames"] = benchmark::Counter(static_cast<double>(state.iterations() * frames),
                                                  benchmark::Counter::kIsRate);
}

void copyBurst(benchmark::State &state)
{
    const QByteArray burst = burstOfReplies(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        QByteArray copy(burst.constData(), burst.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * burst.size());
}

BENCHMARK(reassembleBurst)->Arg(64 * 1024)->Arg(1024 * 1024);
BENCHMARK(copyBurst)->Arg(64 * 1024)->Arg(1024 * 1024);

} // namespace

BENCHMARK_MAIN();
