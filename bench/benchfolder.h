#ifndef BENCHFOLDER_H
#define BENCHFOLDER_H

#include <QString>
#include <QTemporaryDir>

// A program folder for a benchmark, with a data file of a given number of
// records, or none, and after them so many NUL bytes, as a sparse file has
// them. It lies under the current directory, on a real disk, so that
// flushes to stable storage cost what they cost.
class BenchFolder
{
public:
    static constexpr int NoFile = -1;

    explicit BenchFolder(int records, qint64 nulTail = 0);

    QString path() const { return m_directory.path(); }
    QString dataFilePath() const { return m_directory.filePath(QStringLiteral("Ventolia.dat")); }
    void removeDataFile() const;

private:
    QTemporaryDir m_directory;
};

#endif // BENCHFOLDER_H
