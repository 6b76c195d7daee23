#include "features/dialogs/slaves/slave_info_dialog.h"

#include "features/common/controls.h"
#include "protocol/device_catalogue.h"
#include "protocol/slave_record.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace kalmo {

using namespace controls;

SlaveInfoDialog::SlaveInfoDialog(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("SlaveInfoForm"));
    setWindowTitle(QStringLiteral("从设备信息"));

    auto *grid = new QGridLayout;
    grid->setVerticalSpacing(2);
    const QStringList headers = {QStringLiteral("设备地址"), QStringLiteral("从设备类型"),
                                 QStringLiteral("从设备通信格式"), QStringLiteral("扫描周期"),
                                 QStringLiteral("扫描功能号")};
    for (int c = 0; c < headers.size(); ++c)
        grid->addWidget(new QLabel(headers[c], this), 0, c + 1, Qt::AlignCenter);
    const QStringList types = slaveTypeListItems();
    for (int k = 0; k < int(rows.size()); ++k) {
        SlaveInfoRow &row = rows[std::size_t(k)];
        row.Label6 = new QLabel(QStringLiteral("%1号从设备").arg(k), this);
        row.Label6->setObjectName(indexedName(QStringLiteral("Label6"), k));
        row.Label6->setAutoFillBackground(true);
        row.txtAddr = lineEdit(this, indexedName(QStringLiteral("txtAddr"), k), 5);
        row.ComboSlave = comboBox(this, indexedName(QStringLiteral("ComboSlave"), k), 10);
        fillList(row.ComboSlave, types);
        row.ComboCommType = comboBox(this, indexedName(QStringLiteral("ComboCommType"), k), 10);
        fillList(row.ComboCommType, slaveFormatNames());
        row.txtScanTime = lineEdit(this, indexedName(QStringLiteral("txtScanTime"), k), 6);
        row.txtScanNo = lineEdit(this, indexedName(QStringLiteral("txtScanNo"), k), 5);
        QWidget *const cells[] = {row.Label6,        row.txtAddr,     row.ComboSlave,
                                  row.ComboCommType, row.txtScanTime, row.txtScanNo};
        for (int c = 0; c < 6; ++c)
            grid->addWidget(cells[c], k + 1, c);
    }

    Command1 = button(this, QStringLiteral("Command1"), QStringLiteral("写入"));
    Command2 = button(this, QStringLiteral("Command2"), QStringLiteral("退出"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);

    CheckTimer = new QTimer(this);
    CheckTimer->setObjectName(QStringLiteral("CheckTimer"));
    CheckTimer->setSingleShot(true);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
}

void SlaveInfoDialog::closeEvent(QCloseEvent *event)
{
    closing();
    event->accept();
}

} // namespace kalmo
