// kelvara-suite: the configuration suite's window, or with "-i" one
// windowless read or write of a controller register.

#include "suitestartup.h"

int main(int argc, char* argv[])
{
    return SuiteStartup::run(argc, argv);
}
