#pragma once
#include <QUdpSocket>
