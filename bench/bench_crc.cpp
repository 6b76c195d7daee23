// Table-driven CRC against the bit-by-bit reference, over the frame sizes the
// serial link carries: a bare read, a system-parameter reply and a block
// transfer.
#include "protocol/crc.h"

#include <benchmark/benchmark.h>

#include <QByteArray>

namespace {

QByteArray frameBytes(qsizetype size)
{
    QByteArray bytes(size, '\0');
    quint32 x = 0x12345678u;
    for (char &c : bytes) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    return bytes;
}

void tableCrc(benchmark::State &state)
{
    const QByteArray bytes = frameBytes(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(kalmo::crc16Modbus(bytes));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void bitwiseCrc(benchmark::State &state)
{
    const QByteArray bytes = frameBytes(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(kalmo::crc16ModbusBitwise(bytes));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void frameCheck(benchmark::State &state)
{
    const QByteArray bytes = frameBytes(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(kalmo::CrcCheck(bytes, bytes.size()));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(tableCrc)->Arg(7)->Arg(111)->Arg(519);
BENCHMARK(bitwiseCrc)->Arg(7)->Arg(111)->Arg(519);
BENCHMARK(frameCheck)->Arg(7)->Arg(111)->Arg(519);

BENCHMARK_MAIN();
