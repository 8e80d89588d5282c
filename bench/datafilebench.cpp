// The record file alone: each benchmark opens, does one thing and closes, as
// the window does it.

#include "benchfolder.h"

#include "data/addressrecord.h"
#include "data/recordfile.h"

#include <benchmark/benchmark.h>

namespace {

AddressRecord newContact()
{
    AddressRecord record;
    record.setField(AddressRecord::Nombre, QStringLiteral("Zoe"));
    return record;
}

// A benchmark cannot go on from a failed file operation.
void orDie(bool succeeded, const RecordFile &file)
{
    if (!succeeded)
        qFatal("%s", qPrintable(file.errorString()));
}

void count(benchmark::State &state, const BenchFolder &folder)
{
    for (auto _ : state) {
        RecordFile file(folder.dataFilePath());
        orDie(file.open(RecordFile::Access::Read), file);
        benchmark::DoNotOptimize(file.countRecords());
        file.close();
    }
}

void countRecords(benchmark::State &state)
{
    count(state, BenchFolder(int(state.range(0))));
}
BENCHMARK(countRecords)->Name("Data/Count")->Arg(0)->Arg(1000)->Arg(32767);

// A preallocated file of 5 GiB of NUL bytes, as a sparse file: far past the
// most records, which the count tells from the file's end alone.
void countSparseFile(benchmark::State &state)
{
    count(state, BenchFolder(0, qint64(5) << 30));
}
BENCHMARK(countSparseFile)->Name("Data/Count/5GiB");

void readRecord(benchmark::State &state)
{
    static const BenchFolder folder(RecordFile::MaxRecords);
    const auto number = qint16(state.range(0));
    AddressRecord record;
    for (auto _ : state) {
        RecordFile file(folder.dataFilePath());
        orDie(file.open(RecordFile::Access::Read), file);
        orDie(file.readRecord(number, record), file);
        file.close();
    }
}
BENCHMARK(readRecord)->Name("Data/ReadRecord")->Arg(1)->Arg(32767);

// Open, lock, count, write, flush to stable storage, unlock, close.
void appendDurably(benchmark::State &state)
{
    const BenchFolder folder(1000);
    const AddressRecord record = newContact();
    for (auto _ : state) {
        RecordFile file(folder.dataFilePath());
        orDie(file.open(RecordFile::Access::ReadWrite), file);
        orDie(file.appendRecord(record).has_value(), file);
        file.close();
    }
}
BENCHMARK(appendDurably)->Name("Data/Append/Flushed")->Iterations(2000)->UseRealTime();

// Open, write the record after the last one, close: no lock and no flush.
void appendWithoutFlush(benchmark::State &state)
{
    const BenchFolder folder(1000);
    const AddressRecord record = newContact();
    for (auto _ : state) {
        RecordFile file(folder.dataFilePath());
        orDie(file.open(RecordFile::Access::ReadWrite), file);
        orDie(file.writeRecord(1001, record), file);
        file.close();
    }
}
BENCHMARK(appendWithoutFlush)->Name("Data/Append/NotFlushed")->UseRealTime();

} // namespace
