#pragma once
// The control-parameter block, 242 bytes, described as tables of the fields
// the dialog shows: numbers, option lists (some sharing a byte), check-box
// bits and two read-only hexadecimal fields. Every byte and bit no field
// names is kept from the block last read.
#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <optional>
#include <span>

namespace kalmo {

inline constexpr qsizetype kControlLength = 242;

enum class NumberWidth { UnsignedByte, Int16, Int32 };

struct ControlNumber
{
    qsizetype offset;
    NumberWidth width;
    QString name;  // the box's object name
    QString label; // its caption, named by a refused write
};

struct ControlList
{
    qsizetype offset;
    quint8 mask; // the bits of the byte at `offset` that hold the index
    QString name;
    QString label;
    QStringList items;
    int initial; // the entry a fresh dialog selects
};

struct ControlBit
{
    qsizetype offset;
    int bit;
    QString name; // the check box's object name
};

struct ControlHex
{
    qsizetype offset;
    qsizetype length;
    QString name;
    QString label;
};

std::span<const ControlNumber> controlNumbers();
std::span<const ControlList> controlLists();
std::span<const ControlBit> controlBits();
std::span<const ControlHex> controlHexFields();

qint64 numberAt(QByteArrayView block, const ControlNumber &field);
bool numberFits(const ControlNumber &field, qint64 value);
void setNumberAt(QByteArray &block, const ControlNumber &field, qint64 value);
int listIndexAt(QByteArrayView block, const ControlList &list);
void setListIndexAt(QByteArray &block, const ControlList &list, int index);

// Nothing when the block can be shown; otherwise the label of what is wrong:
// a short block, or the first list byte outside its list.
std::optional<QString> controlBlockFault(QByteArrayView block);

} // namespace kalmo
