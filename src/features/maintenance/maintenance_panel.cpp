#include "features/maintenance/maintenance_panel.h"

#include "features/common/controls.h"

#include <QGridLayout>
#include <QHBoxLayout>

namespace kalmo {

using namespace controls;

MaintenancePanel::MaintenancePanel(QWidget *parent) : QWidget(parent)
{
    auto *ram = frame(this, QStringLiteral("ramTestFrame"), QStringLiteral("扩展RAM测试"));
    bt_CheckRAM = button(ram, QStringLiteral("bt_CheckRAM"), QStringLiteral("测试RAM"));
    {
        auto *grid = new QGridLayout(ram);
        grid->setVerticalSpacing(2);
        grid->addWidget(bt_CheckRAM, 0, 0, 2, 1, Qt::AlignVCenter);
        ram_sap = makeArray<8>([&](int i) {
            Lamp *l = lamp(ram, indexedName(QStringLiteral("ram_sap"), i));
            l->setToolTip(QStringLiteral("RAM区 %1").arg(i));
            auto *number = new QLabel(QString::number(i), ram);
            number->setAlignment(Qt::AlignCenter);
            grid->addWidget(l, 0, i + 1, Qt::AlignHCenter);
            grid->addWidget(number, 1, i + 1, Qt::AlignHCenter);
            return l;
        });
        grid->setColumnStretch(9, 1);
    }

    auto *program = frame(this, QStringLiteral("lightBoardFrame"), QStringLiteral("灯板与指令"));
    cmdCheckLight =
        button(program, QStringLiteral("cmdCheckLight"), QStringLiteral("启动灯板检测"));
    cmdStopCheck = button(program, QStringLiteral("cmdStopCheck"), QStringLiteral("停止灯板检测"));
    cmdClearCode = button(program, QStringLiteral("cmdClearCode"), QStringLiteral("清除指令"));
    {
        auto *row = new QHBoxLayout(program);
        row->addWidget(cmdCheckLight);
        row->addWidget(cmdStopCheck);
        row->addWidget(cmdClearCode);
        row->addStretch();
    }

    auto *profibus = frame(this, QStringLiteral("profibusFrame"), QStringLiteral("Profibus"));
    btRProfibus = button(profibus, QStringLiteral("btRProfibus"), QStringLiteral("读Profibus状态"));
    ckProfibus = checkBox(profibus, QStringLiteral("ckProfibus"), QStringLiteral("关闭"));
    {
        auto *row = new QHBoxLayout(profibus);
        row->addWidget(btRProfibus);
        row->addWidget(ckProfibus);
        row->addStretch();
    }

    auto *params =
        frame(this, QStringLiteral("parameterStoreFrame"), QStringLiteral("参数保存与恢复"));
    Command_STORE = button(params, QStringLiteral("Command_STORE"), QStringLiteral("保存参数"));
    Command_Resume = button(params, QStringLiteral("Command_Resume"), QStringLiteral("恢复参数"));
    Cmd_DefaultParam =
        button(params, QStringLiteral("Cmd_DefaultParam"), QStringLiteral("恢复默认参数"));
    {
        auto *row = new QHBoxLayout(params);
        row->addWidget(Command_STORE);
        row->addWidget(Command_Resume);
        row->addWidget(Cmd_DefaultParam);
        row->addStretch();
    }

    auto *selected =
        frame(this, QStringLiteral("resumeSelectedFrame"), QStringLiteral("恢复选中参数"));
    {
        static const char *const kGroups[8] = {"恢复控制参数",   "SM掉电保持区", "从设备参数",
                                               "恢复描述参数",   "恢复设备参数", "恢复转发参数",
                                               "恢复ZigBee参数", "恢复冗余参数"};
        Check_SysParam = makeArray<8>([&](int i) {
            return checkBox(selected, indexedName(QStringLiteral("Check_SysParam"), i),
                            QString::fromUtf8(kGroups[i]));
        });
        Cmd_ResumeParam =
            button(selected, QStringLiteral("Cmd_ResumeParam"), QStringLiteral("恢复选中参数"));
        auto *grid = new QGridLayout(selected);
        for (int i = 0; i < 8; ++i)
            grid->addWidget(Check_SysParam[i], i / 2, i % 2);
        auto *row = new QHBoxLayout;
        row->addWidget(Cmd_ResumeParam);
        row->addStretch();
        grid->addLayout(row, 4, 0, 1, 2);
        grid->setColumnStretch(2, 1);
        closeRows(grid);
    }

    // Controls start as after a stop: these need a connected device.
    for (QWidget *w : std::initializer_list<QWidget *>{cmdClearCode, cmdCheckLight, cmdStopCheck,
                                                       btRProfibus, ckProfibus})
        w->setEnabled(false);

    QVBoxLayout *layout = column({ram, program, profibus, params, selected});
    layout->setContentsMargins(0, 0, 0, 0);
    setLayout(layout);
}

} // namespace kalmo
