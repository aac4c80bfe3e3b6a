#ifndef STDOUTCAPTURE_H
#define STDOUTCAPTURE_H

#include <QString>

#include <cstdio>
#include <unistd.h>

// Collects what the code under test writes to standard output (the
// diagnostic lines of the parameter model). Keep the captured region small:
// the test framework's own output would be collected too.
class StdoutCapture
{
public:
    StdoutCapture()
    {
        std::fflush(stdout);
        m_file = std::tmpfile();
        m_savedFd = dup(fileno(stdout));
        dup2(fileno(m_file), fileno(stdout));
    }

    ~StdoutCapture() { finish(); }

    // Stops capturing and returns everything written since construction.
    QString finish()
    {
        if (!m_file)
            return m_text;
        std::fflush(stdout);
        dup2(m_savedFd, fileno(stdout));
        close(m_savedFd);
        std::rewind(m_file);
        QByteArray bytes;
        char buffer[4096];
        size_t count = 0;
        while ((count = std::fread(buffer, 1, sizeof buffer, m_file)) > 0)
            bytes.append(buffer, static_cast<int>(count));
        std::fclose(m_file);
        m_file = nullptr;
        m_text = QString::fromUtf8(bytes);
        return m_text;
    }

private:
    std::FILE* m_file = nullptr;
    int m_savedFd = -1;
    QString m_text;
};

template<typename Function>
QString capturedStdout(Function function)
{
    StdoutCapture capture;
    function();
    return capture.finish();
}

#endif // STDOUTCAPTURE_H
