#pragma once
// The main window.
#include "shell/program_options.h"

#include <QMainWindow>

namespace kalmo {

class Form1 : public QMainWindow
{
    Q_OBJECT
public:
    explicit Form1(const ProgramOptions &options, QWidget *parent = nullptr);
};

} // namespace kalmo
