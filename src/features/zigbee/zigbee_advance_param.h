#pragma once
// The modal dialog "Zigbee高级参数配置": the four timing values of the Zigbee
// block. Each box keeps a number the block can hold while it is typed into;
// "确定" accepts the values only when the device can work with them.
#include "protocol/zigbee_block.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include <array>
#include <functional>

namespace kalmo {

class ZigbeeAdvanceParam : public QDialog
{
    Q_OBJECT
public:
    // `tell` shows a message box.
    explicit ZigbeeAdvanceParam(std::function<void(const QString &)> tell,
                                QWidget *parent = nullptr);

    // The boxes from the record's timing values, and not confirmed.
    void load(const ZigbeeRecord &record);
    // Whether "确定" closed the dialog since it was loaded.
    bool confirmed() const;
    // The four values, low 16 bits: read and write interval, wait count,
    // self-check time.
    std::array<quint16, 4> values() const;

    void Text_Change(int box);
    void Cmd_Ok_Click();
    void Cmd_Cancel_Click();

    QLineEdit *Text1 = nullptr; // "读时间间隔"
    QLineEdit *Text2 = nullptr; // "写时间间隔"
    QLineEdit *Text3 = nullptr; // "最大等待次数"
    QLineEdit *Text4 = nullptr; // "在线自检时间"
    QLineEdit *Text5 = nullptr; // hidden: "1" confirmed, "0" not
    QPushButton *Cmd_Ok = nullptr;
    QPushButton *Cmd_Cancel = nullptr;

private:
    std::array<QLineEdit *, 4> boxes() const { return {Text1, Text2, Text3, Text4}; }

    std::function<void(const QString &)> m_tell;
};

} // namespace kalmo
