#include "features/dialogs/control/control_dialog.h"

#include "features/common/controls.h"
#include "protocol/control_block.h"

#include <QHBoxLayout>

namespace kalmo {

using namespace controls;

namespace {

const QStringList kZigbeeOptions = {
    QStringLiteral("ZigBee报告从设备"), QStringLiteral("ZigBee报告状态"),
    QStringLiteral("ZigBee忽略高信道"), QStringLiteral("ZigBee硬件初始"),
    QStringLiteral("ZigBee路由发现")};

} // namespace

ControlDialog::ControlDialog(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form_Ctrl"));
    setWindowTitle(QStringLiteral("控制信息"));

    QHash<QString, QString> labels;
    for (const ControlNumber &f : controlNumbers()) {
        boxes.insert(f.name, lineEdit(this, f.name, f.width == NumberWidth::Int32 ? 10 : 6));
        labels.insert(f.name, f.label);
    }
    for (const ControlHex &f : controlHexFields()) {
        QLineEdit *box = lineEdit(this, f.name, int(2 * f.length));
        box->setReadOnly(true);
        boxes.insert(f.name, box);
        labels.insert(f.name, f.label);
    }
    for (const ControlList &l : controlLists()) {
        QComboBox *list = comboBox(this, l.name);
        list->addItems(l.items);
        list->setCurrentIndex(l.initial);
        lists.insert(l.name, list);
        labels.insert(l.name, l.label);
    }
    for (const ControlBit &b : controlBits())
        checks.insert(b.name, checkBox(this, b.name, QString()));
    for (int j = 0; j < kZigbeeOptions.size(); ++j)
        checks.value(QStringLiteral("ck_zigbee_%1").arg(j))->setText(kZigbeeOptions[j]);

    // A frame of caption rows for these controls.
    const auto rows = [&](const QString &name, const QString &title, const QStringList &names) {
        QGroupBox *box = frame(this, name, title);
        auto *grid = new QGridLayout(box);
        for (int i = 0; i < names.size(); ++i) {
            QWidget *control = boxes.value(names[i]);
            if (!control) control = lists.value(names[i]);
            if (!control) control = checks.value(names[i]);
            control->setParent(box);
            if (labels.contains(names[i]))
                addRow(grid, i, labels.value(names[i]), control);
            else
                grid->addWidget(control, i, 1);
        }
        closeRows(grid);
        return box;
    };

    QGroupBox *run = rows(QStringLiteral("runFrame"), QStringLiteral("功能块"),
                          {"cb_Run", "cb_sm", "txt_fbdCheck", "txt_QAQ", "txt_fbdCount",
                           "cb_runType", "cb_DQAQ", "txt_delayTime", "txt_WPC", "txt_PS"});
    QGroupBox *output =
        frame(this, QStringLiteral("freezeFrame"), QStringLiteral("输出冻结与输出保持"));
    {
        auto *grid = new QGridLayout(output);
        grid->addWidget(new QLabel(QStringLiteral("冻结值"), output), 0, 1);
        for (int k = 0; k < 2; ++k) {
            QLineEdit *box = boxes.value(QStringLiteral("txt_freeze_%1").arg(k));
            box->setParent(output);
            addRow(grid, k + 1, QStringLiteral("Q%1").arg(k), box);
        }
        closeRows(grid);
    }
    QGroupBox *vKeep = frame(this, QStringLiteral("vKeepFrame"), QStringLiteral("V区保持"));
    {
        auto *grid = new QGridLayout(vKeep);
        grid->setVerticalSpacing(2);
        grid->addWidget(new QLabel(QStringLiteral("偏移地址"), vKeep), 0, 1);
        grid->addWidget(new QLabel(QStringLiteral("保持长度"), vKeep), 0, 2);
        for (int m = 0; m < 10; ++m) {
            grid->addWidget(new QLabel(QStringLiteral("%1段").arg(m), vKeep), m + 1, 0);
            for (int c = 0; c < 2; ++c) {
                QLineEdit *box = boxes.value((c == 0 ? QStringLiteral("txt_VKeepAddr_%1")
                                                     : QStringLiteral("txt_VKeepLen_%1"))
                                                 .arg(m));
                box->setParent(vKeep);
                grid->addWidget(box, m + 1, c + 1);
            }
        }
        closeRows(grid);
    }

    QGroupBox *network = rows(QStringLiteral("netFrame"), QStringLiteral("以太网"),
                              {"cb_bandWidth", "cb_workType", "cb_writeFBD", "txt_netWrongTime",
                               "txt_netOverTime", "txt_netRMinTime", "txt_netWMinTime"});
    QGroupBox *forwarding = rows(QStringLiteral("resendFrame"), QStringLiteral("转发"),
                                 {"txt_resendKeepTime", "txt_resendFreshTime", "cb_resendEnabled"});
    QGroupBox *redundancy = rows(QStringLiteral("ryFrame"), QStringLiteral("冗余"),
                                 {"txt_ryMaxError", "txt_clockSync", "txt_ryDataSync",
                                  "txt_ryDataSend", "txt_errorCheck", "txt_rySlave"});
    QGroupBox *other = rows(QStringLiteral("otherFrame"), QStringLiteral("其它"),
                            {"cb_AQOut", "txt_outFre", "ck_zigbee_0", "ck_zigbee_1", "ck_zigbee_2",
                             "ck_zigbee_3", "ck_zigbee_4"});

    QGroupBox *slaves = frame(this, QStringLiteral("slaveFrame"),
                              QStringLiteral("AQ、DQ扫描时间 与 资源单独命令映射配置"));
    {
        auto *grid = new QGridLayout(slaves);
        grid->setVerticalSpacing(2);
        const QStringList headers = {QStringLiteral("AQDQ扫描时间"), QStringLiteral("AI"),
                                     QStringLiteral("AQ"), QStringLiteral("DI"),
                                     QStringLiteral("DQ")};
        for (int c = 0; c < headers.size(); ++c)
            grid->addWidget(new QLabel(headers[c], slaves), 0, c + 1, Qt::AlignCenter);
        const QString kinds[4] = {QStringLiteral("ck_ai"), QStringLiteral("ck_aq"),
                                  QStringLiteral("ck_di"), QStringLiteral("ck_dq")};
        for (int i = 0; i < 16; ++i) {
            grid->addWidget(new QLabel(QStringLiteral("%1从设备").arg(i), slaves), i + 1, 0);
            QLineEdit *time = boxes.value(QStringLiteral("txt_SlaveADQ_%1").arg(i));
            time->setParent(slaves);
            grid->addWidget(time, i + 1, 1);
            for (int k = 0; k < 4; ++k) {
                QCheckBox *check = checks.value(QStringLiteral("%1_%2").arg(kinds[k]).arg(i));
                check->setParent(slaves);
                grid->addWidget(check, i + 1, k + 2, Qt::AlignCenter);
            }
        }
        closeRows(grid);
    }

    bt_readCtrl = button(this, QStringLiteral("bt_readCtrl"), QStringLiteral("读取"));
    bt_writeCtrl = button(this, QStringLiteral("bt_writeCtrl"), QStringLiteral("写入"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bt_readCtrl);
    buttons->addWidget(bt_writeCtrl);

    auto *columns = new QHBoxLayout;
    columns->addLayout(column({run, output}));
    columns->addLayout(column({vKeep, other}));
    columns->addLayout(column({network, forwarding, redundancy}));
    columns->addLayout(column({slaves}));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(buttons);
}

} // namespace kalmo
