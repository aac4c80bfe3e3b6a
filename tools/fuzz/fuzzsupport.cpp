#include "fuzzsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace FuzzSupport {

namespace {

void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "Qt fatal: %s\n", qPrintable(message));
        std::abort();
    }
}

QTemporaryDir* scratch = nullptr;

} // namespace

void start()
{
    if (QCoreApplication::instance())
        return;
    qInstallMessageHandler(quietMessages);
    static int argc = 1;
    static char name[] = "kelvara-fuzz";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
    scratch = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/kelvara-fuzz-XXXXXX"));
    std::atexit([] { delete scratch; });
}

QString scratchPath(const QString& name)
{
    return scratch->filePath(name);
}

void finding(const char* what)
{
    std::fprintf(stderr, "\n==== finding: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

TimeBudget::TimeBudget(int budgetMs)
    : m_budgetMs(budgetMs)
{
    bool ok = false;
    const int fromEnvironment = qEnvironmentVariableIntValue("KELVARA_FUZZ_SLOW_MS", &ok);
    if (ok && fromEnvironment > 0)
        m_budgetMs = fromEnvironment;
    m_elapsed.start();
}

TimeBudget::~TimeBudget()
{
    const qint64 elapsed = m_elapsed.elapsed();
    if (elapsed > m_budgetMs) {
        std::fprintf(stderr, "\n==== input took %lld ms (budget %lld ms)\n",
                     static_cast<long long>(elapsed), static_cast<long long>(m_budgetMs));
        finding("slow input");
    }
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(content) != content.size())
        finding("cannot write a scratch file");
}

QByteArray ByteReader::takeBytes(size_t count)
{
    QByteArray out;
    while (count-- > 0 && !atEnd())
        out.append(char(take()));
    return out;
}

} // namespace FuzzSupport

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::start();
    return 0;
}
