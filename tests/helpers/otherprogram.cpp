// Appends records to a data file as the program saves a contact: open,
// append, close, one record at a time.
// Usage: recordwriter FILE WRITER COUNT   (a COUNT of 0 writes until killed)

#include "data/recordfile.h"

#include "writerrecords.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: recordwriter FILE WRITER COUNT\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int writer = std::atoi(argv[2]);
    const int count = std::atoi(argv[3]);
    // Many writers may queue for the lock far longer than a user would wait.
    const std::chrono::minutes lockTimeout(10);
    for (int sequence = 0; count == 0 || sequence < count; ++sequence) {
        RecordFile file(path);
        if (!file.open(RecordFile::CreateIfMissing)
            || !file.appendRecord(WriterRecords::record(writer, sequence), lockTimeout)) {
            std::fprintf(stderr, "%s\n", qPrintable(file.errorString()));
            return 1;
        }
    }
    return 0;
}
