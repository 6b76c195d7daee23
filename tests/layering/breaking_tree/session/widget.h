#pragma once
#include <QPushButton>
