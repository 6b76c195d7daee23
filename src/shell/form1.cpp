#include "shell/form1.h"

namespace kalmo {

Form1::Form1(const ProgramOptions &options, QWidget *parent) : QMainWindow(parent)
{
    Q_UNUSED(options);
}

} // namespace kalmo
