// Compiles the generated form once inside its own library, so a form that no
// longer builds fails here rather than in every user of the header.
#include "ui_mainwindow.h"
