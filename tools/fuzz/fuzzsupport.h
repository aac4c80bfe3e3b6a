#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <cstddef>
#include <cstdint>

// What every fuzz target needs around the suite's classes.
namespace FuzzSupport {

// The application object and a quiet Qt message log (the parsers report
// every refused input there), made once per process by the
// LLVMFuzzerInitialize() of every target.
void start();

// A folder of this process for the files a target writes, removed at exit.
QString scratchPath(const QString& name);

// The input as bytes, without copying.
inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
}

// Reports an input as a finding and stops the run (libFuzzer keeps it).
[[noreturn]] void finding(const char* what);

// Replaces the file's content; a file that cannot be written stops the run.
void writeFile(const QString& path, const QByteArray& content);

// An input that takes longer than budgetMs (KELVARA_FUZZ_SLOW_MS when set)
// is a finding: slow inputs are what a user would see as a hang.
class TimeBudget
{
public:
    explicit TimeBudget(int budgetMs);
    ~TimeBudget();

private:
    QElapsedTimer m_elapsed;
    qint64 m_budgetMs;
};

// Reads an input a byte at a time; zeros once it is used up.
class ByteReader
{
public:
    ByteReader(const uint8_t* data, size_t size)
        : m_data(data)
        , m_size(size)
    {
    }

    bool atEnd() const { return m_position >= m_size; }
    uint8_t take() { return atEnd() ? 0 : m_data[m_position++]; }
    uint16_t take16() { return uint16_t((take() << 8) | take()); }
    QByteArray takeBytes(size_t count);

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0;
};

} // namespace FuzzSupport

#endif // FUZZSUPPORT_H
