// kelvara-bench-startup's floor for "kelvara-suite -h": the application
// object of Qt Core and one line printed, in a program linked against the
// same libraries as kelvara-suite, so that loading them costs the same.

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    std::printf("usage: %s\n", argv[0]);
    return 0;
}
